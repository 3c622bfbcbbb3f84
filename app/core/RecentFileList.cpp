#include "app/core/RecentFileList.h"

#include <algorithm>
#include <optional>

namespace app {

CRecentFileList::CRecentFileList(IRecentFileStore& store, int size) : store_(store), size_(size) {
    ReadList();
}

void CRecentFileList::Add(const std::string& path) {
    const std::string full = store_.FullPath(path);
    std::erase_if(files_, [&](const std::string& file) { return store_.SameFile(file, full); });
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
    for (std::string& file : store_.Load(size_)) {
        if (!file.empty()) {
            files_.push_back(std::move(file));
        }
    }
}

void CRecentFileList::WriteList() const {
    // Every value is written: one the list no longer fills is removed,
    // so the next run does not read a file this one dropped.
    std::vector<std::optional<std::string>> entries(static_cast<std::size_t>(std::max(size_, 0)));
    std::copy(files_.begin(),
              files_.begin() + static_cast<std::ptrdiff_t>(std::min(files_.size(), entries.size())),
              entries.begin());
    store_.Save(entries);
}

}  // namespace app
