#include "app/qt/QtCommandLine.h"
#include "app/qt/Tirvel2App.h"
#include "framework/Language.h"

int main(int argc, char** argv) {
    // The environment's language already for the command line's own texts.
    fw::SetLanguage(fw::LanguageFromEnvironment());
    const app::ParseResult parsed = app::ParseCommandLine(app::qt::OwnArguments(argc, argv), true);
    if (parsed.exitStatus) {
        app::qt::PrintAnswer(parsed.message, *parsed.exitStatus);
        return *parsed.exitStatus;
    }
    app::CTirvel2App app(argc, argv);
    return app.Run(parsed.options);
}
