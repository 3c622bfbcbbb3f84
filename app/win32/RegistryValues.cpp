#include "app/win32/RegistryValues.h"

#include <algorithm>

namespace app::win32 {

// One stored value ("" when it is missing or no string).
std::wstring ReadRegistryString(HKEY section, const std::wstring& name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(section, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || bytes < sizeof(wchar_t)) {
        return {};
    }
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(section, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS) {
        return {};
    }
    // The stored string may or may not carry its terminating null.
    value.resize(std::min<std::size_t>(value.size(), bytes / sizeof(wchar_t)));
    while (!value.empty() && value.back() == L'\0') {
        value.pop_back();
    }
    return value;
}

void WriteRegistryString(HKEY section, const std::wstring& name, const std::wstring& value) {
    RegSetValueExW(section, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace app::win32
