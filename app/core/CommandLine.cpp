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

std::string HelpText() {
    std::string text = "Usage: tirvel [--lang en|zh]\n\n";
    text += fw::LoadString(res::IDS_APP_USAGE);
    text += "\n\n  --lang en|zh   ";
    text += fw::LoadString(res::IDS_APP_OPTION_LANG);
    text += "\n  --help\n  --version";
    return text;
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

ParseResult ParseCommandLine(const std::vector<std::string>& arguments, bool withScreenshots) {
    ParseResult result;
    const auto usageError = [&result](const std::string& message) {
        result.message = message + "\n" + HelpText();
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
            result.message = HelpText();
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
