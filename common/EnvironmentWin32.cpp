#include <cstdlib>

#include "common/Environment.h"
#include "common/Utf16Win32.h"

std::string EnvironmentVariable(const char* name) {
    const std::wstring wide(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide.c_str());
    return value != nullptr ? ToUtf8(value) : std::string();
}
