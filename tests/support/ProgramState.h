// What one test may change for the whole process: the language, the installed
// main frame and dialog host, the view's item count and preset flag, and the
// environment the program reads (where its settings live, the locale, the
// scratch folder). Each is kept when the object is made and put back when it
// ends, so no test hands its choices on to the next one that runs in the same
// process.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "form/MainFrame.h"
#include "framework/Dialog.h"
#include "framework/Language.h"

#include "common/NonCopyable.h"

namespace testsupport {

// Environment variables changed for as long as the object lives; no value
// removes one.
class ScopedEnvironment : NonCopyable {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();

    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    // In the order first changed, each with what the process had.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class SavedProgramState : NonCopyable {
public:
    SavedProgramState();
    ~SavedProgramState();

    void SetEnv(const std::string& name, const std::optional<std::string>& value) {
        env_.Set(name, value);
    }

private:
    fw::Language language_;
    CMainFrame* frame_;
    fw::IDialogHost* dialogHost_;
    int itemCount_;
    bool echoes_;
    bool preset_;
    ScopedEnvironment env_;
};

// The environment variable as the process has it now.
std::optional<std::string> GetEnv(const std::string& name);
// Its value, or otherwise where it is not set or empty.
std::string EnvOr(const std::string& name, const std::string& otherwise = "");

}  // namespace testsupport
