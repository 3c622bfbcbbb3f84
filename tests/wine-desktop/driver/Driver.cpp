// tirvel-driver: drives tirvel.exe from outside its process, as an operator
// or an automation tool would, so a whole flow runs in one Wine process
// start. It must run in the same wineserver as tirvel.exe to reach its
// windows.
//
//   tirvel-driver SCRIPT      one command per line, UTF-8; "#" starts a comment
//
// The script's commands act on the current window: the frame once "frame" has
// found it, or the dialog the last "dialog" found. Controls are found by their
// IDs among all descendants of the current window. Every wait gives up after
// its seconds (default 30) and the driver exits 1, naming the line and
// listing the process's windows; 0 when every line passed.
//
//   start PATH [-- ARGS]       start tirvel.exe (or tirvel-station.exe) with ARGS as they
//                              stand; "frame" then finds this process's frame
//   frame [S]                  wait for the window of class "tirvel" or "tirvel-station"
//   command ID [S]             a toolbar button's command, once it is enabled
//   enabled ID [S]             until the toolbar button ID is enabled
//   dialog ID [S]              wait for a dialog of the process holding control ID
//   type ID TEXT               empty the edit ID, then type TEXT into it
//   set ID TEXT                WM_SETTEXT (combo boxes, file name fields)
//   click ID                   BM_CLICK on the button ID (posted: it may open a dialog)
//   check ID 0|1               click the check box ID until it shows the state
//   wait-text ID TEXT [S]      until the text of ID contains TEXT
//   wait-enabled ID [S]        until the control ID is enabled
//   expect-checked ID 0|1      the check box's state now
//   print ID                   the text of ID on stdout, as "ID=text"
//   box TEXT [S]               wait for a message box whose text contains TEXT, press OK
//   reply ID TEXT [S]          the same, pressing the button ID (6 Yes, 7 No, 2 Cancel)
//   ok / cancel                IDOK / IDCANCEL to the current dialog
//   file PATH [S]              in a file dialog: the file name, then OK
//   gone ID [S]                until no dialog of the process holds control ID
//   close                      WM_CLOSE to the frame
//   wait-exit [S]              until the frame's process has ended; prints "exit=CODE"
//                              for a process "start" started
//   wait-file PATH [S]         until the file exists (a script outside says it is done)
//   sleep MS
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// A window of another thread may be busy (a handler talking to the device):
// sent messages wait for it, but never for ever.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 15000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
    const auto length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto got = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 255);
    return name;
}

HWND ChildById(HWND parent, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (GetDlgCtrlID(child) == s->id) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> TopWindowsOf(DWORD process) {
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{process, {}};
    EnumWindows(
        [](HWND window, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == s->process && IsWindowVisible(window)) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Failure {
    std::string what;
};

class Driver {
public:
    void Run(std::istream& script) {
        std::string line;
        while (std::getline(script, line)) {
            ++lineNumber_;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const auto start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line[start] == '#') {
                continue;
            }
            std::fprintf(stderr, "driver: %s\n", line.c_str() + start);
            Execute(line.substr(start));
        }
    }

    int LineNumber() const { return lineNumber_; }

    // What the process shows, for the report of a failed line.
    void DumpWindows() const {
        if (process_ == 0) {
            std::fprintf(stderr, "driver: no tirvel window was found\n");
            return;
        }
        for (HWND top : TopWindowsOf(process_)) {
            std::fprintf(stderr, "driver: window %s \"%s\"\n", Utf8(ClassOf(top)).c_str(),
                         Utf8(TextOf(top)).c_str());
            if (ClassOf(top) == L"#32770") {
                EnumChildWindows(
                    top,
                    [](HWND child, LPARAM) -> BOOL {
                        std::fprintf(stderr, "driver:   %d %s \"%s\"\n", GetDlgCtrlID(child),
                                     Utf8(ClassOf(child)).c_str(), Utf8(TextOf(child)).c_str());
                        return TRUE;
                    },
                    0);
            }
        }
    }

private:
    static std::chrono::milliseconds Seconds(std::istream& in, int fallback = 30) {
        int seconds = fallback;
        if (!(in >> seconds)) {
            seconds = fallback;
        }
        return std::chrono::milliseconds(seconds * 1000);
    }

    // The rest of the line after one space, as typed.
    static std::string Rest(std::istringstream& in) {
        std::string rest;
        std::getline(in, rest);
        if (!rest.empty() && rest.front() == ' ') {
            rest.erase(0, 1);
        }
        return rest;
    }

    // A text argument followed by an optional number of seconds: the last
    // word counts as seconds only when it is a number.
    static std::pair<std::string, std::chrono::milliseconds> TextAndSeconds(
        std::istringstream& in) {
        std::string rest = Rest(in);
        const auto space = rest.find_last_of(' ');
        if (space != std::string::npos && space + 1 < rest.size() &&
            rest.find_first_not_of("0123456789", space + 1) == std::string::npos) {
            const int seconds = std::stoi(rest.substr(space + 1));
            return {rest.substr(0, space), std::chrono::milliseconds(seconds * 1000)};
        }
        return {rest, 30s};
    }

    static void Fail(const std::string& what) { throw Failure{what}; }

    static void WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                        const std::string& what) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) {
                Fail("timed out waiting for " + what);
            }
            std::this_thread::sleep_for(50ms);
        }
    }

    HWND Current() const {
        if (current_ == nullptr || !IsWindow(current_)) {
            Fail("no current window (run \"frame\" or \"dialog\" first)");
        }
        return current_;
    }

    HWND Control(int id) const {
        HWND control = ChildById(Current(), id);
        if (control == nullptr) {
            Fail("no control " + std::to_string(id) + " in the current window");
        }
        return control;
    }

    HWND DialogWith(int id) const {
        for (HWND top : TopWindowsOf(process_)) {
            if (ClassOf(top) == L"#32770" && ChildById(top, id) != nullptr) {
                return top;
            }
        }
        return nullptr;
    }

    HWND BoxWith(const std::wstring& text) const {
        for (HWND top : TopWindowsOf(process_)) {
            if (ClassOf(top) != L"#32770") {
                continue;
            }
            HWND message = ChildById(top, 0xFFFF);
            if (message != nullptr && TextOf(message).find(text) != std::wstring::npos) {
                return top;
            }
        }
        return nullptr;
    }

    // All message box texts of the process, for a failed wait.
    std::string Boxes() const {
        std::string texts;
        for (HWND top : TopWindowsOf(process_)) {
            HWND message = ClassOf(top) == L"#32770" ? ChildById(top, 0xFFFF) : nullptr;
            if (message != nullptr) {
                texts += " [" + Utf8(TextOf(message)) + "]";
            }
        }
        return texts.empty() ? " (none open)" : texts;
    }

    void Execute(const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb == "start") {
            const std::string rest = Rest(in);
            const auto split = rest.find(" -- ");
            std::wstring command = L"\"" + Wide(rest.substr(0, split)) + L"\"";
            if (split != std::string::npos) {
                command += L" " + Wide(rest.substr(split + 4));
            }
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &info)) {
                Fail("cannot start " + Utf8(command));
            }
            CloseHandle(info.hThread);
            started_ = info.hProcess;
            process_ = info.dwProcessId;
        } else if (verb == "frame") {
            const auto timeout = Seconds(in, 60);
            // Other cases may run their own tirvel.exe in the same wineserver.
            WaitFor(
                [&] {
                    if (started_ == nullptr) {
                        return (frame_ = FindWindowW(L"tirvel", nullptr)) != nullptr ||
                               (frame_ = FindWindowW(L"tirvel-station", nullptr)) != nullptr;
                    }
                    for (HWND top : TopWindowsOf(process_)) {
                        if (ClassOf(top) == L"tirvel" || ClassOf(top) == L"tirvel-station") {
                            frame_ = top;
                            return true;
                        }
                    }
                    return false;
                },
                timeout, "the frame window \"tirvel\" or \"tirvel-station\"");
            GetWindowThreadProcessId(frame_, &process_);
            WaitFor([&] { return IsWindowVisible(frame_) != FALSE; }, timeout, "the frame to show");
            current_ = frame_;
        } else if (verb == "command" || verb == "enabled") {
            int id = 0;
            in >> id;
            const auto timeout = Seconds(in);
            if (frame_ == nullptr) {
                Fail("no frame");
            }
            HWND toolbar = ChildById(frame_, 0xE800);
            if (toolbar == nullptr) {
                Fail("no toolbar 0xE800 in the frame");
            }
            if (Send(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(id), 0) < 0) {
                Fail("the toolbar has no button " + std::to_string(id));
            }
            WaitFor([&] { return Send(toolbar, TB_ISBUTTONENABLED, id, 0) != 0; }, timeout,
                    "toolbar button " + std::to_string(id) + " to be enabled");
            if (verb == "enabled") {
                return;
            }
            // What the toolbar sends its owner for a click; posted, since the
            // handler may run a modal loop.
            PostMessageW(frame_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(toolbar));
        } else if (verb == "dialog") {
            int id = 0;
            in >> id;
            const auto timeout = Seconds(in);
            HWND dialog = nullptr;
            WaitFor([&] { return (dialog = DialogWith(id)) != nullptr; }, timeout,
                    "a dialog with control " + std::to_string(id));
            current_ = dialog;
        } else if (verb == "gone") {
            int id = 0;
            in >> id;
            const auto timeout = Seconds(in);
            WaitFor([&] { return DialogWith(id) == nullptr; }, timeout,
                    "the dialog with control " + std::to_string(id) + " to close");
            current_ = frame_;
        } else if (verb == "type") {
            int id = 0;
            in >> id;
            HWND edit = Control(id);
            Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
            for (wchar_t c : Wide(Rest(in))) {
                Send(edit, WM_CHAR, c, 1);
            }
        } else if (verb == "set") {
            int id = 0;
            in >> id;
            const std::wstring text = Wide(Rest(in));
            Send(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (verb == "click") {
            int id = 0;
            in >> id;
            HWND button = Control(id);
            WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, 30s,
                    "button " + std::to_string(id) + " to be enabled");
            PostMessageW(button, BM_CLICK, 0, 0);
        } else if (verb == "check") {
            int id = 0;
            int want = 1;
            in >> id >> want;
            HWND box = Control(id);
            if (Send(box, BM_GETCHECK, 0, 0) != want) {
                Send(box, BM_CLICK, 0, 0);
            }
            WaitFor([&] { return Send(box, BM_GETCHECK, 0, 0) == want; }, 5s,
                    "check box " + std::to_string(id) + " to show " + std::to_string(want));
        } else if (verb == "expect-checked") {
            int id = 0;
            int want = 1;
            in >> id >> want;
            const auto state = Send(Control(id), BM_GETCHECK, 0, 0);
            if (state != want) {
                Fail("check box " + std::to_string(id) + " is " + std::to_string(state));
            }
        } else if (verb == "wait-text") {
            int id = 0;
            in >> id;
            const auto [text, timeout] = TextAndSeconds(in);
            const std::wstring wanted = Wide(text);
            WaitFor([&] { return TextOf(Control(id)).find(wanted) != std::wstring::npos; }, timeout,
                    "control " + std::to_string(id) + " to show \"" + text + "\" (it shows \"" +
                        Utf8(TextOf(Control(id))) + "\"; message boxes:" + Boxes() + ")");
        } else if (verb == "wait-enabled") {
            int id = 0;
            in >> id;
            const auto timeout = Seconds(in);
            HWND control = Control(id);
            WaitFor(
                [&] { return IsWindowEnabled(control) != FALSE; }, timeout,
                "control " + std::to_string(id) + " to be enabled (message boxes:" + Boxes() + ")");
        } else if (verb == "print") {
            int id = 0;
            in >> id;
            std::printf("%d=%s\n", id, Utf8(TextOf(Control(id))).c_str());
            std::fflush(stdout);
        } else if (verb == "box" || verb == "reply") {
            int button = IDOK;
            if (verb == "reply") {
                in >> button;
            }
            const auto [text, timeout] = TextAndSeconds(in);
            const std::wstring wanted = Wide(text);
            HWND box = nullptr;
            const auto end = std::chrono::steady_clock::now() + timeout;
            while ((box = BoxWith(wanted)) == nullptr) {
                if (std::chrono::steady_clock::now() > end) {
                    Fail("timed out waiting for the message box \"" + text +
                         "\"; message boxes:" + Boxes());
                }
                std::this_thread::sleep_for(50ms);
            }
            std::printf("box=%s|%s\n", Utf8(TextOf(box)).c_str(),
                        Utf8(TextOf(ChildById(box, 0xFFFF))).c_str());
            std::fflush(stdout);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
            WaitFor([&] { return IsWindow(box) == FALSE; }, 10s, "the message box to close");
        } else if (verb == "ok" || verb == "cancel") {
            const int id = verb == "ok" ? IDOK : IDCANCEL;
            HWND dialog = Current();
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        } else if (verb == "file") {
            const auto [path, timeout] = TextAndSeconds(in);
            HWND dialog = nullptr;
            HWND name = nullptr;
            WaitFor(
                [&] {
                    for (int id : {0x47C, 0x480}) {
                        if ((dialog = DialogWith(id)) != nullptr) {
                            name = ChildById(dialog, id);
                            return true;
                        }
                    }
                    return false;
                },
                timeout, "a file dialog");
            const std::wstring text = Wide(path);
            Send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            WaitFor([&] { return IsWindow(dialog) == FALSE; }, 15s,
                    "the file dialog to take \"" + path + "\"");
            current_ = frame_;
        } else if (verb == "close") {
            if (frame_ == nullptr) {
                Fail("no frame");
            }
            PostMessageW(frame_, WM_CLOSE, 0, 0);
        } else if (verb == "wait-exit") {
            const auto timeout = Seconds(in);
            if (started_ != nullptr) {
                if (WaitForSingleObject(started_, static_cast<DWORD>(timeout.count())) !=
                    WAIT_OBJECT_0) {
                    Fail("the process did not end");
                }
                DWORD code = 0;
                GetExitCodeProcess(started_, &code);
                std::printf("exit=%lu\n", static_cast<unsigned long>(code));
                std::fflush(stdout);
                return;
            }
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_);
            if (process == nullptr) {
                return;  // already gone
            }
            const DWORD waited = WaitForSingleObject(
                process, static_cast<DWORD>(std::chrono::milliseconds(timeout).count()));
            CloseHandle(process);
            if (waited != WAIT_OBJECT_0) {
                Fail("the process did not end");
            }
        } else if (verb == "wait-file") {
            const auto [path, timeout] = TextAndSeconds(in);
            const std::wstring file = Wide(path);
            WaitFor([&] { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; },
                    timeout, "the file " + path);
        } else if (verb == "sleep") {
            int ms = 0;
            in >> ms;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else {
            Fail("unknown command \"" + verb + "\"");
        }
    }

    HWND frame_ = nullptr;
    HANDLE started_ = nullptr;
    HWND current_ = nullptr;
    DWORD process_ = 0;
    int lineNumber_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tirvel-driver SCRIPT (\"-\": standard input)\n");
        return 2;
    }
    std::ifstream file;
    std::istream* script = &std::cin;
    if (std::string(argv[1]) != "-") {
        file.open(argv[1], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "tirvel-driver: cannot read %s\n", argv[1]);
            return 2;
        }
        script = &file;
    }
    Driver driver;
    try {
        driver.Run(*script);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "tirvel-driver: line %d: %s\n", driver.LineNumber(),
                     failure.what.c_str());
        driver.DumpWindows();
        return 1;
    }
    return 0;
}
