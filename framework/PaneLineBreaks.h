// The line-break rule of the rich-edit panes. A pane takes CR LF, a lone CR
// and a lone LF each as one line break and keeps a single character of its
// own for it (LF in a Qt text document, CR in a Win32 rich edit). The device
// sends its log in pieces, so a CR may end one piece and its LF start the
// next: each pane remembers how its text ended.
//
// The rule works on UTF-8: CR and LF never occur inside a longer character,
// so the hosts convert to their own strings afterwards.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace fw {

// continuesCr: the text before this piece ended with CR.
std::string ToLineBreaks(std::string_view utf8, char lineBreak, bool continuesCr, bool* endsWithCr);

class CPaneLineBreaks {
public:
    explicit CPaneLineBreaks(char lineBreak) : lineBreak_(lineBreak) {}

    // The whole new text of a pane.
    std::string Replace(int id, std::string_view utf8);
    // A piece added at the end of a pane's text.
    std::string Append(int id, std::string_view utf8);

private:
    char lineBreak_;
    std::map<int, bool> endsWithCr_;
};

}  // namespace fw
