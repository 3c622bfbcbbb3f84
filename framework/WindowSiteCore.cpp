#include "framework/WindowSiteCore.h"

namespace fw {

void CPostedQueue::Push(const PostedMessage& posted) {
    std::lock_guard lock(mutex_);
    queue_.push_back(posted);
}

std::optional<PostedMessage> CPostedQueue::Pop() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
        return std::nullopt;
    }
    const PostedMessage posted = queue_.front();
    queue_.pop_front();
    return posted;
}

void CWindowSiteCore::SendCommand(UINT id) {
    Dispatch(WM_COMMAND, static_cast<WPARAM>(id), 0, true);
}

void CWindowSiteCore::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    posted_.Push({message, wParam, lParam});
    AnnouncePosted();
}

UINT CWindowSiteCore::SetTimer(UINT id, UINT periodMs) {
    if (id == 0) {
        return 0;
    }
    return StartTimer(id, periodMs) ? id : 0;
}

bool CWindowSiteCore::KillTimer(UINT id) {
    return StopTimer(id);
}

void CWindowSiteCore::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool busy) {
    const auto handle = [&] { window_.WindowProc(message, wParam, lParam); };
    if (busy) {
        WhileBusy(handle);
    } else {
        handle();
    }
    if (afterDispatch_) {
        afterDispatch_();
    }
}

void CWindowSiteCore::DeliverPosted() {
    if (const std::optional<PostedMessage> posted = posted_.Pop()) {
        Dispatch(posted->message, posted->wParam, posted->lParam, true);
    }
}

}  // namespace fw
