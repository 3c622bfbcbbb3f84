#include <windows.h>

#include <algorithm>
#include <memory>
#include <system_error>
#include <type_traits>

#include "station/WorkerProcess.h"

#include "station/StationEvents.h"

#include "common/Utf16Win32.h"

namespace station {
namespace {

[[noreturn]] void ThrowLastError(const std::string& what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

HANDLE AsHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// One argument as the C runtime's command-line parser reads it back:
// backslashes count only before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) {
        line += L' ';
    }
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            line.append(backslashes * 2 + 1, L'\\');
        } else {
            line.append(backslashes, L'\\');
        }
        backslashes = 0;
        line += c;
    }
    // The closing quote must not be escaped by the argument's own backslashes.
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// Makes a pipe whose ends are not inherited; the child's end is made
// inheritable only for its own CreateProcess call.
void MakePipe(HANDLE& read, HANDLE& write) {
    if (!::CreatePipe(&read, &write, nullptr, 0)) {
        ThrowLastError("CreatePipe");
    }
}

struct AttributeListDeleter {
    void operator()(LPPROC_THREAD_ATTRIBUTE_LIST list) const {
        ::DeleteProcThreadAttributeList(list);
        ::HeapFree(::GetProcessHeap(), 0, list);
    }
};

}  // namespace

WorkerProcess::WorkerProcess(const std::string& program, const std::vector<std::string>& args) {
    HANDLE childIn = nullptr;
    HANDLE ourIn = nullptr;
    HANDLE ourOut = nullptr;
    HANDLE childOut = nullptr;
    MakePipe(childIn, ourIn);
    try {
        MakePipe(ourOut, childOut);
    } catch (...) {
        ::CloseHandle(childIn);
        ::CloseHandle(ourIn);
        throw;
    }
    input_ = reinterpret_cast<std::intptr_t>(ourIn);
    output_ = reinterpret_cast<std::intptr_t>(ourOut);
    auto closeChildEnds = [&] {
        ::CloseHandle(childIn);
        ::CloseHandle(childOut);
    };
    auto fail = [&](const std::string& what) {
        const DWORD error = ::GetLastError();
        closeChildEnds();
        CloseEnd(input_);
        CloseEnd(output_);
        ::SetLastError(error);
        ThrowLastError(what);
    };

    // Only the handles named in the list are inherited, so a worker started
    // by another thread at the same moment gets none of these. The list may
    // not name a handle twice: stdout and stderr share one entry.
    ::SetHandleInformation(childIn, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    ::SetHandleInformation(childOut, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    HANDLE inherited[2] = {childIn, childOut};
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::unique_ptr<std::remove_pointer_t<LPPROC_THREAD_ATTRIBUTE_LIST>, AttributeListDeleter> list(
        static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(::HeapAlloc(::GetProcessHeap(), 0, listSize)));
    if (!list) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        fail("HeapAlloc");
    }
    if (!::InitializeProcThreadAttributeList(list.get(), 1, 0, &listSize)) {
        ::HeapFree(::GetProcessHeap(), 0, list.release());
        fail("InitializeProcThreadAttributeList");
    }
    if (!::UpdateProcThreadAttribute(list.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     sizeof inherited, nullptr, nullptr)) {
        fail("UpdateProcThreadAttribute");
    }

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = childIn;
    startup.StartupInfo.hStdOutput = childOut;
    startup.StartupInfo.hStdError = childOut;
    startup.lpAttributeList = list.get();

    const std::wstring application = ToWide(program);
    std::wstring commandLine;
    AppendQuoted(commandLine, application);
    for (const std::string& arg : args) {
        AppendQuoted(commandLine, ToWide(arg));
    }
    // The worker needs no console: it is told to cancel on its input. A
    // console of its own stays hidden (started from a window it would show
    // one), and the operator's Ctrl+C and closing the console reach only the
    // supervisor, which cancels its workers safely.
    const DWORD flags = CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT |
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                          nullptr, nullptr, &startup.StartupInfo, &info)) {
        fail("cannot run " + program);
    }
    closeChildEnds();
    ::CloseHandle(info.hThread);
    process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    pid_ = static_cast<long long>(info.dwProcessId);
}

void WorkerProcess::CloseEnd(std::intptr_t& value) {
    if (value != 0 && value != -1) {
        ::CloseHandle(AsHandle(value));
    }
    value = -1;
}

void WorkerProcess::CloseOutput() {
    CloseEnd(output_);
    CloseEnd(process_);
}

std::size_t WorkerProcess::ReadOutput(char* into, std::size_t room) {
    DWORD got = 0;
    // Broken pipe: every holder of the write end, the child and any
    // process it started, has gone.
    const bool ok =
        ::ReadFile(AsHandle(output_), into, static_cast<DWORD>(room), &got, nullptr) != 0;
    return ok ? got : 0;
}

bool WorkerProcess::Write(const std::string& text) {
    std::lock_guard lock(inputMutex_);
    if (input_ == -1) {
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 30));
        if (!::WriteFile(AsHandle(input_), text.data() + done, size, &wrote, nullptr)) {
            return false;  // ERROR_NO_DATA or ERROR_BROKEN_PIPE: the child has gone
        }
        done += wrote;
    }
    return true;
}

void WorkerProcess::Cancel() {
    {
        std::lock_guard lock(exitMutex_);
        if (reaped_) {
            return;
        }
    }
    // A console's Ctrl+Break reaches no process of another console, and none
    // at all under Wine: the line on its input reaches it wherever it runs.
    Write(std::string(kCancelLine) + "\n");
}

void WorkerProcess::KillRunning() {
    ::TerminateProcess(AsHandle(process_), 1);
}

WorkerExit WorkerProcess::Wait() {
    // The open process handle keeps the id from being reused, so waiting
    // needs no lock; the lock only guards the stored result.
    ::WaitForSingleObject(AsHandle(process_), INFINITE);
    std::lock_guard lock(exitMutex_);
    if (!reaped_) {
        DWORD code = 0;
        exit_.code = ::GetExitCodeProcess(AsHandle(process_), &code) ? static_cast<int>(code) : -1;
        reaped_ = true;
    }
    return exit_;
}

std::string OwnExecutablePath(const char* argv0) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            break;
        }
        if (n < path.size()) {
            path.resize(n);
            return ToUtf8(path);
        }
        path.resize(path.size() * 2);  // cut short: try a larger buffer
    }
    return argv0 != nullptr ? argv0 : "";
}

}  // namespace station
