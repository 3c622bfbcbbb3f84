// Where a desktop keeps its recent files between runs, and how its file system
// spells a file: the Qt shell keeps them in its settings file, the Win32 shell
// in the registry. Names are UTF-8 on this side.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

class IRecentFileStore {
public:
    virtual ~IRecentFileStore() = default;

    // The values File1 ... File<count>; "" where one is missing.
    virtual std::vector<std::string> Load(int count) = 0;
    // One entry per value File1 ...: the file it holds, or none (the value goes).
    virtual void Save(const std::vector<std::optional<std::string>>& entries) = 0;

    // A name as the list keeps it: absolute, as this system spells it.
    virtual std::string FullPath(const std::string& path) const = 0;
    // Whether two spellings name one file (Windows ignores case).
    virtual bool SameFile(const std::string& a, const std::string& b) const = 0;
};

}  // namespace app
