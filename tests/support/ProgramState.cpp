#include "ProgramState.h"

#include <stdlib.h>

#include <algorithm>

#include "cfgfile/Preset.h"
#include "protocol/AtExchange.h"

namespace testsupport {
namespace {

void PutEnv(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // An empty value is how the C runtime removes a variable.
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
#endif
}

}  // namespace

std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::string EnvOr(const std::string& name, const std::string& otherwise) {
    const std::optional<std::string> value = GetEnv(name);
    return value && !value->empty() ? *value : otherwise;
}

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        PutEnv(it->first, it->second);
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::optional<std::string>& value) {
    const bool seen = std::any_of(saved_.begin(), saved_.end(),
                                  [&](const auto& saved) { return saved.first == name; });
    if (!seen) {
        saved_.emplace_back(name, GetEnv(name));
    }
    PutEnv(name, value);
}

SavedProgramState::SavedProgramState()
    : language_(fw::CurrentLanguage()),
      frame_(AfxGetMainFrame()),
      dialogHost_(fw::GetDialogHost()),
      itemCount_(g_nItemCount),
      echoes_(DeviceEchoes()),
      preset_(g_bPreset) {}

SavedProgramState::~SavedProgramState() {
    g_bPreset = preset_;
    g_nItemCount = itemCount_;
    SetDeviceEchoes(echoes_);
    fw::SetDialogHost(dialogHost_);
    AfxSetMainFrame(frame_);
    fw::SetLanguage(language_);
}

}  // namespace testsupport
