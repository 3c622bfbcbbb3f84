// XDG_CONFIG_HOME pointed at a fresh temporary directory while the object
// lives, so port links never touch the real home directory.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class TempConfigHome {
public:
    TempConfigHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tirvel-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    }
    ~TempConfigHome() {
        ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    const std::filesystem::path& Path() const { return dir_; }
    std::filesystem::path PortDirectory() const { return dir_ / "tirvel" / "ports"; }

private:
    std::filesystem::path dir_;
};
