#include "app/core/LineReader.h"

#include <algorithm>

namespace app {
namespace {

std::string NamePart(const std::string& argument) {
    return argument.substr(0, argument.find('='));
}

}  // namespace

CLineReader::CLineReader() {
    line_.allow_extras();
    line_.set_help_flag("-h,--help");
    line_.set_version_flag("-v,--version", std::string());
    line_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

LineRead CLineReader::Read(std::vector<std::string> arguments) {
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (*it == "/?") {
            *it = "--help";
            continue;
        }
        // The parser would take the next argument for an empty value.
        const CLI::Option* option = it->ends_with('=') && it->starts_with("--")
                                        ? line_.get_option_no_throw(NamePart(*it))
                                        : nullptr;
        if (option != nullptr && option->get_expected_min() > 0) {
            it->pop_back();
            it = arguments.insert(it + 1, std::string());
        }
    }
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        line_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {LineRead::Outcome::Help, {}};
    } catch (const CLI::CallForVersion&) {
        return {LineRead::Outcome::Version, {}};
    } catch (const CLI::ParseError&) {
        // The parser stops at an option wanting a value at the end of the
        // line, or at a switch given one; help or the version asked before
        // it is still answered.
        if (line_.get_help_ptr()->count() > 0) {
            return {LineRead::Outcome::Help, {}};
        }
        if (line_.get_option("--version")->count() > 0) {
            return {LineRead::Outcome::Version, {}};
        }
        const CLI::Option* last =
            arguments.empty() ? nullptr : line_.get_option_no_throw(arguments.back());
        if (last != nullptr && last->get_expected_min() > 0) {
            return {LineRead::Outcome::NoValue, arguments.back()};
        }
        const auto given = std::find_if(arguments.begin(), arguments.end(), [this](auto& a) {
            const CLI::Option* option = line_.get_option_no_throw(NamePart(a));
            return a.find('=') != std::string::npos && option != nullptr &&
                   option->get_expected_min() == 0;
        });
        return {LineRead::Outcome::Unknown, given != arguments.end() ? *given : arguments.front()};
    }
    if (!line_.remaining().empty()) {
        return {LineRead::Outcome::Unknown, line_.remaining().front()};
    }
    return {};
}

std::optional<std::string> GivenValue(const CLI::Option& option) {
    if (option.results().empty()) {
        return std::nullopt;
    }
    return option.results().back();
}

}  // namespace app
