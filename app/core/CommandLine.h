// The desktop's command line, the same on every desktop: --lang, --help,
// --version and the hidden options the tests, screenshots and measurements
// drive the program with. Both shells read it with ParseCommandLine, the Qt
// shell before Qt starts: help and a wrong line need no display.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Win.h"
#include "framework/Language.h"

namespace app {

// What --quit-after-start prints, a line on standard output, once the window
// has painted: a start-up bench stops its clock there rather than at the exit,
// which under Wine without a window manager waits seconds for the windows to go.
inline constexpr char kFirstPaintLine[] = "first paint";

struct AppOptions {
    std::optional<fw::Language> language;  // --lang; else from the environment
    std::string devicePath;                // --device: a path instead of the COM number
    std::string firmwarePath;              // --firmware FILE: the image Update File sends
    bool autostart = false;                // --autostart: Start Config once the window is up
    bool quitAfterStart = false;           // --quit-after-start: exit after the first paint
    // Pictures for the documentation; only a shell that can take them has these.
    std::string screenshot;          // --screenshot FILE: the window, once Connected, then exit
    std::string aboutScreenshot;     // --about-screenshot FILE: the About box, then exit
    std::string logScreenshot;       // --log-screenshot FILE: Show Log, once the log is still
    std::string transferScreenshot;  // --transfer-screenshot FILE: the transfer dialog mid-way
};

// The options from the command line; a message and an exit status when the
// line is wrong or asked for help or the version.
struct ParseResult {
    AppOptions options;
    std::optional<int> exitStatus;
    std::string message;
};

// A hidden option: for tests, screenshots and measurements, not part of the
// operator's tool. It takes a value (valueName) or is a switch.
struct HiddenOption {
    std::string_view name;       // without the leading "--"
    std::string_view valueName;  // empty: a switch
    std::string AppOptions::*value = nullptr;
    bool AppOptions::*flag = nullptr;
    bool screenshot = false;  // a picture: only where the shell takes them
};

std::span<const HiddenOption> HiddenOptions();

// --lang's value; false, with the usage error in result, when it names no
// language of the program.
bool SetLanguageOption(const std::string& value, ParseResult& result);

// What --version prints: "Tirvel" and the version.
std::string VersionText();

// An option as the help lists it: how it is written and the string that says
// what it does.
struct OptionHelp {
    std::string_view spelling;
    fw::UINT text;
};

// "Usage: " and the synopsis, the program's description, then the options in
// aligned columns, all in the language given.
std::string FormatHelp(const std::string& synopsis, fw::UINT description,
                       std::span<const OptionHelp> options, fw::Language language);

// An option the toolkit takes off the line itself when it starts (Qt's
// -platform, -style...), written with one dash or two, its value after it or
// after "=".
struct ToolkitOption {
    std::string_view name;  // without the dash
    bool takesValue = false;
};

// The line without the toolkit's options and their values: what the program
// will see once the toolkit has started, known before it starts.
std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& arguments,
                                               std::span<const ToolkitOption> toolkit);

// The line read without a toolkit: "--name value" or "--name=value";
// --help, -h and /? for help, --version and -v for the version. A shell
// without screenshots refuses their options like any unknown one.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments, bool withScreenshots);

}  // namespace app
