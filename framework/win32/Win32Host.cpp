#include "framework/win32/Win32Host.h"

#include <mutex>

namespace fw::win32 {
namespace {

const wchar_t* g_richEditClass = nullptr;

}  // namespace

bool InitWin32Controls() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS;
        InitCommonControlsEx(&controls);
        // The libraries stay loaded for the life of the process: every pane
        // created later needs its window class.
        if (LoadLibraryW(L"Msftedit.dll") != nullptr) {
            g_richEditClass = MSFTEDIT_CLASS;
        } else if (LoadLibraryW(L"Riched20.dll") != nullptr) {
            g_richEditClass = RICHEDIT_CLASSW;
        }
    });
    return g_richEditClass != nullptr;
}

const wchar_t* RichEditClassName() {
    InitWin32Controls();
    return g_richEditClass != nullptr ? g_richEditClass : RICHEDIT_CLASSW;
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace fw::win32
