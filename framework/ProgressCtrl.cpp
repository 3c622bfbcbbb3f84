#include "framework/ProgressCtrl.h"

#include <algorithm>

namespace fw {

void CProgressCtrl::SetRange(int low, int high) {
    low_ = low;
    high_ = std::max(low, high);
    pos_ = std::clamp(pos_, low_, high_);
    if (IWindowSite* site = Site()) {
        site->SetProgressRange(ControlId(), low_, high_);
        site->SetProgressPos(ControlId(), pos_);
    }
}

void CProgressCtrl::SetPos(int pos) {
    pos_ = std::clamp(pos, low_, high_);
    if (IWindowSite* site = Site()) {
        site->SetProgressPos(ControlId(), pos_);
    }
}

}  // namespace fw
