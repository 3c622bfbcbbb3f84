#include "framework/RichEditCtrl.h"

#include "framework/CodePage.h"

namespace fw {

void CRichEditCtrl::SetLook(const RichEditLook& look) {
    if (IWindowSite* site = Site()) {
        site->SetRichEditLook(ControlId(), look);
    }
}

void CRichEditCtrl::AppendBytes(std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    // Decode from the start of a character that was still incomplete, so a
    // double-byte character split between two pieces shows as one.
    const std::size_t from = bytes_.size() - pending_;
    bytes_.append(bytes);
    std::size_t tail = 0;
    std::string utf8 =
        DecodeCodePagePrefix(std::string_view(bytes_).substr(from), CurrentLanguage(), &tail);
    pending_ = tail;
    if (IWindowSite* site = Site(); site != nullptr && !utf8.empty()) {
        site->AppendControlText(ControlId(), utf8);
    }
}

void CRichEditCtrl::DeleteLastCharacter() {
    if (bytes_.empty()) {
        return;
    }
    bytes_.erase(LastCharacterStart(bytes_, CurrentLanguage()));
    Redraw();
}

void CRichEditCtrl::Clear() {
    bytes_.clear();
    Redraw();
}

void CRichEditCtrl::SetSizePixels(int width, int height) {
    if (IWindowSite* site = Site()) {
        site->SetControlSizePixels(ControlId(), width, height);
    }
}

void CRichEditCtrl::SetFocus() {
    if (IWindowSite* site = Site()) {
        site->FocusControl(ControlId());
    }
}

void CRichEditCtrl::Redraw() {
    std::size_t tail = 0;
    std::string utf8 = DecodeCodePagePrefix(bytes_, CurrentLanguage(), &tail);
    pending_ = tail;
    if (IWindowSite* site = Site()) {
        site->SetControlText(ControlId(), utf8);
    }
}

}  // namespace fw
