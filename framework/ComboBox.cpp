#include "framework/ComboBox.h"

#include "framework/Wnd.h"

namespace fw {

void CComboBox::SetItems(std::vector<std::string> utf8Items) {
    items_ = std::move(utf8Items);
    if (IWindowSite* site = Site()) {
        site->SetControlItems(ControlId(), items_);
    }
}

}  // namespace fw
