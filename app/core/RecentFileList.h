// The most recently used files, newest first, kept between runs where the
// desktop framework's generated applications keep them ("Recent File List",
// File1 ... FileN); the store says where that is on each system.
#pragma once

#include <string>
#include <vector>

#include "app/core/RecentFileStore.h"

namespace app {

class CRecentFileList {
public:
    // Reads the list the last run left.
    explicit CRecentFileList(IRecentFileStore& store, int size = 4);

    // Moves the file to the front (an entry that names the same file, or the
    // oldest beyond the list's size, goes) and saves the list.
    void Add(const std::string& path);
    void Remove(int index);
    const std::vector<std::string>& Files() const { return files_; }
    int Size() const { return size_; }

    void ReadList();
    void WriteList() const;

private:
    IRecentFileStore& store_;
    int size_;
    std::vector<std::string> files_;
};

}  // namespace app
