#include "framework/ComboBox.h"

#include "framework/Wnd.h"

namespace fw {

void CComboBox::SetItems(std::vector<std::string> utf8Items) {
    items_ = std::move(utf8Items);
    if (Owner() != nullptr && Owner()->Site() != nullptr) {
        Owner()->Site()->SetControlItems(ControlId(), items_);
    }
}

}  // namespace fw
