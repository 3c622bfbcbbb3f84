#include "records/StopSignal.h"

namespace records {

void StopSignal::Raise() {
    std::lock_guard lock(mutex_);
    if (raised_.exchange(true)) {
        return;
    }
    WakeWaiters();
    if (cancel_) {
        cancel_();
    }
}

void StopSignal::OnRaise(std::function<void()> cancel) {
    std::lock_guard lock(mutex_);
    cancel_ = std::move(cancel);
    if (cancel_ && raised_) {
        cancel_();
    }
}

}  // namespace records
