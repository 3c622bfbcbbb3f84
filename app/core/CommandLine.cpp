#include "app/core/CommandLine.h"

#include <algorithm>

#include "framework/StringTable.h"
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

const HiddenOption* FindHiddenOption(const std::string& argument, bool withScreenshots) {
    if (!argument.starts_with("--")) {
        return nullptr;
    }
    const std::string_view name = std::string_view(argument).substr(2);
    for (const HiddenOption& option : kHiddenOptions) {
        if (option.name == name && (withScreenshots || !option.screenshot)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const HiddenOption> HiddenOptions() {
    return kHiddenOptions;
}

bool SetLanguageOption(const std::string& value, ParseResult& result) {
    result.options.language = fw::ParseLanguage(value);
    if (!result.options.language) {
        result.message = fw::FormatMessageText(fw::LoadString(res::IDS_CLI_BAD_LANGUAGE), {value});
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
    // Help and usage errors in the language named before them on the line.
    const auto language = [&result] {
        return result.options.language.value_or(fw::CurrentLanguage());
    };
    const auto usageError = [&result, &language](const std::string& message) {
        result.message = message + "\n" + HelpText(language());
        result.exitStatus = 2;
        return result;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        std::string value;
        bool hasValue = false;
        // "--lang=zh" as well as "--lang zh".
        if (const std::size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.resize(equals);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= arguments.size()) {
                return false;
            }
            value = arguments[++i];
            return true;
        };
        if (argument == "--help" || argument == "-h" || argument == "/?") {
            result.message = HelpText(language());
            result.exitStatus = 0;
            return result;
        }
        if (argument == "--version" || argument == "-v") {
            result.message = VersionText();
            result.exitStatus = 0;
            return result;
        }
        if (argument == "--lang") {
            if (!takeValue()) {
                return usageError(argument);
            }
            if (!SetLanguageOption(value, result)) {
                return result;
            }
            continue;
        }
        const HiddenOption* option = FindHiddenOption(argument, withScreenshots);
        if (option != nullptr && option->value != nullptr) {
            if (!takeValue()) {
                return usageError(argument);
            }
            result.options.*option->value = value;
            continue;
        }
        if (option != nullptr && !hasValue) {
            result.options.*option->flag = true;
            continue;
        }
        return usageError(arguments[i]);
    }
    return result;
}

}  // namespace app
