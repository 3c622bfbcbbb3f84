#include "app/win32/RecentFileList.h"

#include "framework/win32/Win32Api.h"

#include <algorithm>

namespace app::win32 {
namespace {

std::wstring ValueName(int index) {
    return L"File" + std::to_wstring(index + 1);
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) {
        return path;
    }
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written < length ? written : 0);
    return full.empty() ? path : full;
}

// Windows file names ignore case: two spellings of one file are one entry.
bool SameFile(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

CRecentFileList::CRecentFileList(int size, std::wstring key) : size_(size), key_(std::move(key)) {
    ReadList();
}

void CRecentFileList::Add(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    std::erase_if(files_, [&](const std::wstring& file) { return SameFile(file, full); });
    files_.insert(files_.begin(), full);
    if (files_.size() > static_cast<std::size_t>(size_)) {
        files_.resize(static_cast<std::size_t>(size_));
    }
    WriteList();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < files_.size()) {
        files_.erase(files_.begin() + index);
        WriteList();
    }
}

void CRecentFileList::ReadList() {
    files_.clear();
    HKEY section = nullptr;
    const std::wstring path = key_ + L"\\" + kRecentFileSection;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &section) != ERROR_SUCCESS) {
        return;
    }
    for (int i = 0; i < size_; ++i) {
        DWORD type = 0;
        DWORD bytes = 0;
        const std::wstring name = ValueName(i);
        if (RegQueryValueExW(section, name.c_str(), nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS ||
            type != REG_SZ || bytes < sizeof(wchar_t)) {
            continue;
        }
        std::wstring value(bytes / sizeof(wchar_t), L'\0');
        if (RegQueryValueExW(section, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS) {
            continue;
        }
        // The stored string may or may not carry its terminating null.
        value.resize(std::min<std::size_t>(value.size(), bytes / sizeof(wchar_t)));
        while (!value.empty() && value.back() == L'\0') {
            value.pop_back();
        }
        if (!value.empty()) {
            files_.push_back(value);
        }
    }
    RegCloseKey(section);
}

void CRecentFileList::WriteList() const {
    HKEY section = nullptr;
    const std::wstring path = key_ + L"\\" + kRecentFileSection;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &section, nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (int i = 0; i < size_; ++i) {
        const std::wstring name = ValueName(i);
        if (static_cast<std::size_t>(i) < files_.size()) {
            const std::wstring& file = files_[static_cast<std::size_t>(i)];
            RegSetValueExW(section, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(file.c_str()),
                           static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(section, name.c_str());
        }
    }
    RegCloseKey(section);
}

}  // namespace app::win32
