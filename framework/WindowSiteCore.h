// What every window site does alike, whatever shows its controls: it serves
// one CWnd and hands it commands, posted messages and timer ticks on the
// user-interface thread, one at a time, telling its owner after each (a modal
// dialog closes there once it has ended).
//
// Posting is the one thing other threads do. A post waits in the site's own
// queue and the host's loop is only asked to come back for it, so the
// announcement carries no data, the order is the order of posting, and what a
// site still holds goes with it when it goes.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "framework/WindowSite.h"
#include "framework/Wnd.h"

namespace fw {

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// First in, first out, from any thread.
class CPostedQueue {
public:
    void Push(const PostedMessage& posted);
    std::optional<PostedMessage> Pop();

private:
    std::mutex mutex_;
    std::deque<PostedMessage> queue_;
};

class CWindowSiteCore : public IWindowSite {
public:
    explicit CWindowSiteCore(CWnd& window) : window_(window) {}

    CWnd& Window() const { return window_; }

    // A command as a click gives it: WM_COMMAND with the ID, shown as busy,
    // since handlers block on the device.
    void SendCommand(UINT id);
    // Runs after every message this site delivered.
    void SetAfterDispatch(std::function<void()> afterDispatch) {
        afterDispatch_ = std::move(afterDispatch);
    }

    // Any thread: queued, then announced to the host's loop.
    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // No timer has the ID 0; an ID that runs already starts its period again.
    UINT SetTimer(UINT id, UINT periodMs) final;
    bool KillTimer(UINT id) final;

protected:
    // Delivers to the window's WindowProc; a busy message under the host's
    // sign of being busy.
    void Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool busy);
    // The oldest posted message, if one still waits. The host's loop calls
    // this once for every announcement.
    void DeliverPosted();

private:
    // Any thread: have the loop call DeliverPosted once.
    virtual void AnnouncePosted() = 0;
    // WM_TIMER with the ID every periodMs; false when the host gives no timer.
    virtual bool StartTimer(UINT id, UINT periodMs) = 0;
    virtual bool StopTimer(UINT id) = 0;
    // Runs the handler while the host shows it is busy (the wait cursor).
    virtual void WhileBusy(const std::function<void()>& handle) { handle(); }

    CWnd& window_;
    std::function<void()> afterDispatch_;
    CPostedQueue posted_;
};

}  // namespace fw
