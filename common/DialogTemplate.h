// Dialog templates as data: every control with its resource ID, kind, style,
// rectangle in dialog units and caption, in one language. Hosts create their
// windows from these; the scripted test window takes initial visibility,
// enabled state and read-only styles from them.
#pragma once

#include <string>
#include <vector>

#include "common/Win.h"

namespace fw {

enum class ControlKind {
    Static,
    Edit,
    PushButton,
    CheckBox,
    RichEdit,
    ProgressBar,
    Icon,
    RadioButton,
    ComboBox,  // an edit with a drop-down list of items
};

// Style bits, named after the window styles they stand for.
enum ControlStyle : unsigned {
    kHidden = 1u << 0,  // not WS_VISIBLE
    kDisabled = 1u << 1,
    kReadOnly = 1u << 2,
    kBorder = 1u << 3,
    kAutoHScroll = 1u << 4,
    kAutoVScroll = 1u << 5,
    kVScroll = 1u << 6,
    kMultiLine = 1u << 7,
    kTabStop = 1u << 8,
    kGroup = 1u << 9,
    kNumber = 1u << 10,  // digits only
    kDefaultButton = 1u << 11,
    kLeft = 1u << 12,
    kPassword = 1u << 13,  // an edit that never shows what is typed
};

struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ControlTemplate {
    int id = -1;
    ControlKind kind = ControlKind::Static;
    unsigned style = 0;
    DialogRect rect;
    std::string caption;  // UTF-8
};

struct DialogTemplate {
    UINT id = 0;
    std::string caption;   // UTF-8; empty for a child form
    std::string fontFace;  // UTF-8
    int fontPoints = 9;
    int width = 0;  // dialog units
    int height = 0;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* Find(int controlId) const {
        for (const auto& c : controls) {
            if (c.id == controlId) {
                return &c;
            }
        }
        return nullptr;
    }

    // The radio buttons that check one another out: a group starts at a
    // control with kGroup and runs up to the next such control, as in a Win32
    // dialog. Empty when the control is no radio button.
    std::vector<int> RadioGroup(int controlId) const {
        std::vector<int> group;
        bool found = false;
        for (const auto& c : controls) {
            if ((c.style & kGroup) != 0) {
                if (found) {
                    break;
                }
                group.clear();
            }
            if (c.kind == ControlKind::RadioButton) {
                group.push_back(c.id);
                found = found || c.id == controlId;
            }
        }
        return found ? group : std::vector<int>{};
    }
};

}  // namespace fw
