#include "common/LeanWindows.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>

#include "cfgfile/DocumentsFolder.h"
#include "cfgfile/NativePath.h"

namespace cfgfile {

// Asked of the shell: the folder may have been moved off the profile (to
// another drive, to a redirected network share), and its name is translated.
std::string DocumentsFolder() {
    PWSTR folder = nullptr;
    std::string found;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &folder))) {
        found = Utf8Path(std::filesystem::path(folder));
    }
    // Freed whatever the outcome: a failed call may still have given memory.
    ::CoTaskMemFree(folder);
    return found;
}

}  // namespace cfgfile
