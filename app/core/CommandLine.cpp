#include "app/core/CommandLine.h"

#include <algorithm>

#include "app/core/LineReader.h"
#include "framework/StringTable.h"
#include "job/OptionChecks.h"
#include "res/ResourceIds.h"

#ifndef TIRVEL_VERSION
#error "TIRVEL_VERSION comes from the CMake project"
#endif

namespace app {
namespace {

constexpr HiddenOption kHiddenOptions[] = {
    {"device", "path", &AppOptions::devicePath},
    {"autostart", {}, nullptr, &AppOptions::autostart},
    {"screenshot", "file", &AppOptions::screenshot, nullptr, true},
    {"about-screenshot", "file", &AppOptions::aboutScreenshot, nullptr, true},
    {"quit-after-start", {}, nullptr, &AppOptions::quitAfterStart},
    {"log-screenshot", "file", &AppOptions::logScreenshot, nullptr, true},
    {"transfer-screenshot", "file", &AppOptions::transferScreenshot, nullptr, true},
    {"firmware", "file", &AppOptions::firmwarePath},
};

constexpr OptionHelp kOptionHelp[] = {
    {"--lang en|zh", res::IDS_APP_OPTION_LANG},
    {"-h, --help", res::IDS_APP_OPTION_HELP},
    {"-v, --version", res::IDS_APP_OPTION_VERSION},
};

std::string HelpText(fw::Language language) {
    return FormatHelp("tirvel [--lang en|zh]", res::IDS_APP_USAGE, kOptionHelp, language);
}

}  // namespace

std::span<const HiddenOption> HiddenOptions() {
    return kHiddenOptions;
}

bool SetLanguageOption(const std::string& value, ParseResult& result) {
    result.options.language = fw::ParseLanguage(value);
    if (!result.options.language) {
        result.message = job::LanguageRefusal(value);
        result.exitStatus = 2;
        return false;
    }
    return true;
}

std::string VersionText() {
    return std::string("Tirvel ") + TIRVEL_VERSION;
}

std::string FormatHelp(const std::string& synopsis, fw::UINT description,
                       std::span<const OptionHelp> options, fw::Language language) {
    std::size_t width = 0;
    for (const OptionHelp& option : options) {
        width = std::max(width, option.spelling.size());
    }
    std::string text =
        fw::FormatMessageText(fw::LoadString(res::IDS_APP_HELP_USAGE, language), {synopsis});
    text += "\n\n" + fw::LoadString(description, language) + "\n";
    for (const OptionHelp& option : options) {
        text += "\n  " + std::string(option.spelling) +
                std::string(width + 3 - option.spelling.size(), ' ') +
                fw::LoadString(option.text, language);
    }
    return text;
}

std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& arguments,
                                               std::span<const ToolkitOption> toolkit) {
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        if (name.starts_with("--")) {
            name.remove_prefix(1);
        }
        bool valueAttached = false;
        if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
            name = name.substr(0, equals);
            valueAttached = true;
        }
        const auto own = std::find_if(toolkit.begin(), toolkit.end(), [name](const auto& option) {
            return name.size() > 1 && name[0] == '-' && name.substr(1) == option.name;
        });
        if (own == toolkit.end() || (valueAttached && !own->takesValue)) {
            kept.push_back(arguments[i]);
        } else if (own->takesValue && !valueAttached) {
            ++i;
        }
    }
    return kept;
}

ParseResult ParseCommandLine(const std::vector<std::string>& arguments, bool withScreenshots) {
    ParseResult result;
    CLineReader reader;
    CLI::App& line = reader.Options();
    const CLI::Option* language = line.add_option("--lang");
    for (const HiddenOption& option : kHiddenOptions) {
        const std::string name = "--" + std::string(option.name);
        if (option.screenshot && !withScreenshots) {
            continue;
        }
        if (option.value != nullptr) {
            line.add_option(name, result.options.*option.value);
        } else {
            line.add_flag(name, result.options.*option.flag)->disable_flag_override();
        }
    }
    const LineRead read = reader.Read(arguments);
    if (const std::optional<std::string> named = GivenValue(*language);
        named && !SetLanguageOption(*named, result)) {
        return result;
    }
    // Help and usage errors in the language the line names.
    const fw::Language shown = result.options.language.value_or(fw::CurrentLanguage());
    switch (read.outcome) {
        case LineRead::Outcome::Options:
            return result;
        case LineRead::Outcome::Help:
            result.message = HelpText(shown);
            result.exitStatus = 0;
            return result;
        case LineRead::Outcome::Version:
            result.message = VersionText();
            result.exitStatus = 0;
            return result;
        case LineRead::Outcome::Unknown:
        case LineRead::Outcome::NoValue:
            break;
    }
    result.message = read.argument + "\n" + HelpText(shown);
    result.exitStatus = 2;
    return result;
}

}  // namespace app
