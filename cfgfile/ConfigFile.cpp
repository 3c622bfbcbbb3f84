#include "cfgfile/ConfigFile.h"

namespace cfgfile {

std::string FormatConfigFile(const std::vector<ConfigEntry>& entries) {
    // The profile writer creates the section with its first key; without a key
    // the file stays empty.
    if (entries.empty()) {
        return {};
    }
    std::string out = "[CFG]\r\n";
    for (const ConfigEntry& entry : entries) {
        out += entry.key;
        out += '=';
        out += entry.value;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string_view> SplitTextLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        // Only the CR of a CR LF pair goes; text mode keeps any other CR.
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (lf == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(lf + 1);
    }
    return lines;
}

std::vector<ProfileLine> ParseProfile(std::string_view bytes) {
    std::vector<ProfileLine> entries;
    for (std::string_view line : SplitTextLines(bytes)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            entries.push_back({line.substr(0, equals), line.substr(equals + 1)});
        }
    }
    return entries;
}

}  // namespace cfgfile
