#include "job/SignedIn.h"

#include <iterator>

#include "common/LeanWindows.h"
#include "common/Utf16Win32.h"

namespace job {

std::string HostName() {
    wchar_t name[256];
    DWORD size = static_cast<DWORD>(std::size(name));
    return GetComputerNameExW(ComputerNameDnsHostname, name, &size) ? ToUtf8(name) : std::string();
}

std::string SignedInUser() {
    wchar_t name[257];
    DWORD size = static_cast<DWORD>(std::size(name));
    return GetUserNameW(name, &size) ? ToUtf8(name) : std::string();
}

}  // namespace job
