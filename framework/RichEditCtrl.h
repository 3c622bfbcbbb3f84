// A rich-edit pane the system writes to: the help pane and the device's log.
// The pane's content is kept here as the bytes that were put into it, so what
// is saved is exactly what arrived, whatever the display could make of it.
#pragma once

#include <string>
#include <string_view>

#include "framework/DataExchange.h"
#include "framework/WindowSite.h"

namespace fw {

class CRichEditCtrl : public CControlBinding {
public:
    void SetLook(const RichEditLook& look);

    // The pane's text as bytes in the code page.
    const std::string& GetTextBytes() const { return bytes_; }
    bool IsEmpty() const { return bytes_.empty(); }

    // Replaces the empty selection at the end with these bytes.
    void AppendBytes(std::string_view bytes);
    // Replaces the last character (not byte) with nothing; nothing on an empty pane.
    void DeleteLastCharacter();
    void Clear();

    void SetSizePixels(int width, int height);
    void SetFocus();

private:
    // Shows the whole text again, holding back an incomplete last character.
    void Redraw();

    std::string bytes_;
    std::size_t pending_ = 0;  // trailing bytes of a character not complete yet
};

}  // namespace fw
