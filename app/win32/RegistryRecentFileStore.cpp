#include "app/win32/RegistryRecentFileStore.h"

#include "framework/win32/Win32Api.h"

#include <algorithm>

#include "app/win32/RegistryValues.h"
#include "framework/win32/Win32Host.h"

namespace app::win32 {
namespace {

std::wstring ValueName(std::size_t index) {
    return L"File" + std::to_wstring(index + 1);
}

std::wstring FullPathW(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) {
        return path;
    }
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written < length ? written : 0);
    return full.empty() ? path : full;
}

}  // namespace

std::vector<std::string> CRegistryRecentFileStore::Load(int count) {
    std::vector<std::string> values;
    HKEY section = nullptr;
    const std::wstring path = key_ + L"\\" + kRecentFileSection;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &section) != ERROR_SUCCESS) {
        return values;
    }
    for (int i = 0; i < count; ++i) {
        values.push_back(
            fw::win32::Narrow(ReadRegistryString(section, ValueName(static_cast<std::size_t>(i)))));
    }
    RegCloseKey(section);
    return values;
}

void CRegistryRecentFileStore::Save(const std::vector<std::optional<std::string>>& entries) {
    HKEY section = nullptr;
    const std::wstring path = key_ + L"\\" + kRecentFileSection;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &section, nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::wstring name = ValueName(i);
        if (entries[i]) {
            WriteRegistryString(section, name, fw::win32::Widen(*entries[i]));
        } else {
            RegDeleteValueW(section, name.c_str());
        }
    }
    RegCloseKey(section);
}

std::string CRegistryRecentFileStore::FullPath(const std::string& path) const {
    return fw::win32::Narrow(FullPathW(fw::win32::Widen(path)));
}

// Windows file names ignore case: two spellings of one file are one entry.
bool CRegistryRecentFileStore::SameFile(const std::string& a, const std::string& b) const {
    const std::wstring wideA = fw::win32::Widen(a);
    const std::wstring wideB = fw::win32::Widen(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace app::win32
