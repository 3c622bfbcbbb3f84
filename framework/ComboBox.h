// A drop-down list the system fills (the station's port list), bound to its
// window by DDX_Control. The items are the system's own names, in UTF-8; the
// text of the edit part goes through the window's text exchange as an edit's.
#pragma once

#include <string>
#include <vector>

#include "framework/DataExchange.h"

namespace fw {

class CComboBox : public CControlBinding {
public:
    // Replaces the list; what is typed in the edit part stays.
    void SetItems(std::vector<std::string> utf8Items);
    const std::vector<std::string>& GetItems() const { return items_; }

private:
    std::vector<std::string> items_;
};

}  // namespace fw
