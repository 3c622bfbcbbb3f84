// The view's window on the console: the headless window keeps the form's
// controls, message boxes become lines on stderr, and posted messages are
// counted on their way through the loop so the host can tell when nothing
// more is coming for the view.
#pragma once

#include <atomic>

#include "cli/Console.h"
#include "form/Tirvel2View.h"
#include "framework/HeadlessWindow.h"

namespace cli {

class ConsoleWindow : public fw::CHeadlessWindow {
public:
    ConsoleWindow(fw::CMessageLoop& loop, CTirvel2View& view, Console& console);
    ~ConsoleWindow() override;

    // Prints the box's text, records it, and answers OK.
    int MessageBoxById(fw::UINT textId, fw::UINT captionId, fw::UINT type,
                       const fw::MessageArgs& args) override;
    // Any thread.
    void PostMessage(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;

    // Posted to the view and not delivered yet.
    int PendingPosts() const { return pending_.load(); }
    // Stop commands that arrived as posted messages (Ctrl+C), delivered so far.
    int PostedStopsDelivered() const { return postedStops_.load(); }
    bool ShownSince(std::size_t mark, fw::UINT textId) const;
    // While a modal dialog runs on the loop, a posted Stop (Ctrl+C) must not
    // reach the view: Stop would close the port under the dialog's worker. The
    // dialog's host cancels the dialog instead, and the view stops itself
    // after it.
    void SetModalOpen(bool open) { modalOpen_ = open; }

private:
    // Stands between the loop and the view: whatever the loop delivers was
    // posted through this window.
    class Relay : public fw::CWnd {
    public:
        explicit Relay(ConsoleWindow& owner) : owner_(owner) {}
        fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;

    private:
        ConsoleWindow& owner_;
    };

    fw::CMessageLoop& loop_;
    CTirvel2View& view_;
    Console& console_;
    Relay relay_{*this};
    std::atomic<int> pending_{0};
    std::atomic<int> postedStops_{0};
    bool modalOpen_ = false;  // loop thread only
};

}  // namespace cli
