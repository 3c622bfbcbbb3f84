// Looking for a piece of text in what a program printed or a device received.
#pragma once

#include <string>

namespace testsupport {

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// How often part stands in text, overlapping ones counted too: a reply the
// device sent twice shows as two.
inline int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace testsupport
