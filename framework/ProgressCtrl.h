// A progress bar the system drives (the transfer dialog's), bound to its window
// by DDX_Control. The position is kept inside the range here, so every host
// shows a value past the end as a full bar.
#pragma once

#include "framework/DataExchange.h"
#include "framework/WindowSite.h"

namespace fw {

class CProgressCtrl : public CControlBinding {
public:
    // A range with high below low is taken as empty (low..low).
    void SetRange(int low, int high);
    void SetPos(int pos);

private:
    int low_ = 0;
    int high_ = 100;
    int pos_ = 0;
};

}  // namespace fw
