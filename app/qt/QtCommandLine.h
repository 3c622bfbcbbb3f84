// What the Qt desktops do with their command line before Qt starts: Qt looks
// for a display as the application object is made and aborts where there is
// none, so help, the version and a wrong line are answered first, from the
// line without the options Qt takes itself.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/core/CommandLine.h"

namespace app::qt {

// Qt's own options (QGuiApplication's, QApplication's and the X11 platform's):
// Qt takes them off the line when it starts.
inline constexpr ToolkitOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"display", true},
    {"geometry", true},
    {"title", true},
    {"icon", true},
    {"name", true},
    {"visual", true},
    {"ncols", true},
    {"qmljsdebugger", true},
    {"reverse", false},
    {"testability", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"cmap", false},
};

// The program's own arguments, without its name and Qt's options.
inline std::vector<std::string> OwnArguments(int argc, char** argv) {
    return WithoutToolkitOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc),
                                 kQtOptions);
}

// Help and the version on standard output, anything else on standard error.
inline void PrintAnswer(const std::string& message, int exitStatus) {
    std::FILE* out = exitStatus == 0 ? stdout : stderr;
    std::fputs(message.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

// Whether Qt will find a window system to show a message box on.
inline bool WindowSystemNamed(int argc, char** argv) {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-platform" || argument == "--platform") {
            return true;
        }
    }
    return false;
}

}  // namespace app::qt
