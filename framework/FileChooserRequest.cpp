#include "framework/FileChooserRequest.h"

namespace fw {

std::vector<FileFilterEntry> ParseFileFilter(std::string_view utf8Filter) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t bar = utf8Filter.find('|');
        parts.push_back(utf8Filter.substr(0, bar));
        if (bar == std::string_view::npos) {
            break;
        }
        utf8Filter.remove_prefix(bar + 1);
    }
    std::vector<FileFilterEntry> entries;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) {
            break;  // "||" ends the list
        }
        entries.push_back({std::string(parts[i]), std::string(parts[i + 1])});
    }
    return entries;
}

FileChooserRules ReadFileChooserRules(const FileDialogRequest& request) {
    FileChooserRules rules;
    rules.mustExist = !request.save && (request.flags & OFN_FILEMUSTEXIST) != 0;
    rules.createPrompt = (request.flags & OFN_CREATEPROMPT) != 0 && !rules.mustExist;
    rules.overwritePrompt = request.save && (request.flags & OFN_OVERWRITEPROMPT) != 0;
    return rules;
}

}  // namespace fw
