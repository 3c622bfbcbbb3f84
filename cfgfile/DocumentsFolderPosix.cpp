#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "cfgfile/DocumentsFolder.h"

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR";

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

// The folder one line of user-dirs.dirs gives the key, read the way
// xdg-user-dirs itself reads it: KEY="$HOME/rest" or KEY="/absolute", a
// backslash taking the next character as it is. Any other line (a comment,
// another key, an unquoted or relative value) gives nothing.
std::optional<fs::path> DocumentsLine(std::string_view line, const fs::path& home) {
    line = SkipBlanks(line);
    if (line.substr(0, kKey.size()) != kKey) {
        return std::nullopt;
    }
    line = SkipBlanks(line.substr(kKey.size()));
    if (line.empty() || line.front() != '=') {
        return std::nullopt;
    }
    line = SkipBlanks(line.substr(1));
    if (line.empty() || line.front() != '"') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    bool relative = false;
    if (line.substr(0, 5) == "$HOME" && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
        line.remove_prefix(5);
        relative = true;
    } else if (line.empty() || line.front() != '/') {
        return std::nullopt;
    }
    std::string value;
    for (std::size_t at = 0; at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size()) {
            ++at;
        }
        value += line[at];
    }
    if (!relative) {
        return fs::path(value);
    }
    if (home.empty()) {
        return std::nullopt;
    }
    return fs::path(home.native() + value);
}

// The last line that names the folder wins, as it does for xdg-user-dirs.
std::optional<fs::path> FromUserDirs(const fs::path& file, const fs::path& home) {
    std::ifstream in(file);
    std::optional<fs::path> found;
    for (std::string line; std::getline(in, line);) {
        if (std::optional<fs::path> named = DocumentsLine(line, home)) {
            found = std::move(named);
        }
    }
    return found;
}

fs::path ConfigHome(const fs::path& home) {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    return home.empty() ? fs::path() : home / ".config";
}

// xdg-user-dirs points a folder the user turned off at the home folder.
bool IsHome(const fs::path& folder, const fs::path& home) {
    const auto plain = [](const fs::path& path) {
        fs::path normal = path.lexically_normal();
        return normal.has_filename() ? normal : normal.parent_path();
    };
    return plain(folder) == plain(home);
}

}  // namespace

std::string DocumentsFolder() {
    if (const char* documents = std::getenv("XDG_DOCUMENTS_DIR");
        documents != nullptr && documents[0] == '/') {
        return documents;
    }
    const char* homeVariable = std::getenv("HOME");
    const fs::path home = homeVariable != nullptr ? fs::path(homeVariable) : fs::path();
    if (const fs::path config = ConfigHome(home); !config.empty()) {
        const std::optional<fs::path> named = FromUserDirs(config / "user-dirs.dirs", home);
        if (named && !IsHome(*named, home)) {
            return named->string();
        }
    }
    return home.empty() ? std::string() : (home / "Documents").string();
}

}  // namespace cfgfile
