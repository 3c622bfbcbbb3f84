// Watches a file being read by another process (inotify on its folder): how
// many times it was opened, and a hook after each time it was closed without
// being written, where a test can change the file as an editor saving it
// would. The hook runs on the watch's own thread. Linux only.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace testsupport {

class FileReads {
public:
    // afterRead is told how many reads have ended so far.
    FileReads(const std::filesystem::path& file, std::function<void(int)> afterRead);
    ~FileReads();
    FileReads(const FileReads&) = delete;
    FileReads& operator=(const FileReads&) = delete;

    int Opens() const { return opens_.load(); }

private:
    void Run(const std::string& name, const std::function<void(int)>& afterRead);

    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> opens_{0};
    std::thread thread_;
};

}  // namespace testsupport
