// How a host reads a file chooser request: the filter as a list of entries and
// what the flags ask of a chooser that has to honour them itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/Dialog.h"

namespace fw {

struct FileFilterEntry {
    std::string description;  // UTF-8
    std::string patterns;     // "*.a;*.b"
};

// "desc|*.a;*.b|desc2|*.c||": a description and its patterns, pair after pair,
// until an empty description ("||") or a description without patterns.
std::vector<FileFilterEntry> ParseFileFilter(std::string_view utf8Filter);

struct FileChooserRules {
    // Only an existing file is taken (never with a save chooser).
    bool mustExist = false;
    // A name that does not exist yet is only taken once the operator agrees to
    // create it. An open chooser that insists on an existing file has no name
    // to create.
    bool createPrompt = false;
    // A save chooser asks before it replaces an existing file.
    bool overwritePrompt = false;
};

FileChooserRules ReadFileChooserRules(const FileDialogRequest& request);

}  // namespace fw
