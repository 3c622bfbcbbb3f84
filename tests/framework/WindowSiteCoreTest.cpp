#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "framework/HeadlessWindow.h"
#include "res/ResourceIds.h"

namespace {

using namespace std::chrono_literals;

class RecordingWnd : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM) override {
        received.push_back({message, wParam, busy});
        return 0;
    }
    struct Message {
        fw::UINT message;
        fw::WPARAM wParam;
        bool busy;
    };
    std::vector<Message> received;
    bool busy = false;
};

// The headless window on the core, showing when it is busy as a desktop shows
// the wait cursor.
class BusyShowingWindow : public fw::CHeadlessWindow {
public:
    BusyShowingWindow(fw::CMessageLoop& loop, RecordingWnd& window)
        : CHeadlessWindow(loop, window, res::IDD_TIRVEL2_FORM, fw::Language::English),
          window_(window) {}

private:
    void WhileBusy(const std::function<void()>& handle) override {
        window_.busy = true;
        handle();
        window_.busy = false;
    }
    RecordingWnd& window_;
};

TEST(WindowSiteCore, PostsFromOtherThreadsArriveInOrderAndLikeClicksAreBusy) {
    fw::CMessageLoop loop;
    RecordingWnd window;
    BusyShowingWindow site(loop, window);
    int afterEach = 0;
    site.SetAfterDispatch([&] { ++afterEach; });
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            site.PostMessage(fw::WM_USER + 2, static_cast<fw::WPARAM>(i), 0);
        }
    });
    poster.join();
    EXPECT_TRUE(window.received.empty());
    ASSERT_TRUE(loop.RunUntil([&] { return window.received.size() == 100; }, 5s));
    for (std::size_t i = 0; i < window.received.size(); ++i) {
        EXPECT_EQ(window.received[i].message, fw::WM_USER + 2);
        EXPECT_EQ(window.received[i].wParam, i);
        EXPECT_TRUE(window.received[i].busy);
    }
    EXPECT_EQ(afterEach, 100);

    site.SendCommand(42);
    EXPECT_EQ(window.received.back().message, fw::WM_COMMAND);
    EXPECT_EQ(window.received.back().wParam, 42u);
    EXPECT_TRUE(window.received.back().busy);
}

TEST(WindowSiteCore, TimerZeroDoesNotExistAndAKilledTimerIsGone) {
    fw::CMessageLoop loop;
    RecordingWnd window;
    BusyShowingWindow site(loop, window);
    EXPECT_EQ(site.SetTimer(0, 1), 0u);
    EXPECT_FALSE(loop.HasTimer(&window, 0));
    EXPECT_EQ(site.SetTimer(9, 1), 9u);
    ASSERT_TRUE(loop.RunUntil([&] { return !window.received.empty(); }, 5s));
    EXPECT_EQ(window.received[0].message, fw::WM_TIMER);
    EXPECT_EQ(window.received[0].wParam, 9u);
    EXPECT_FALSE(window.received[0].busy);
    EXPECT_TRUE(site.KillTimer(9));
    EXPECT_FALSE(loop.HasTimer(&window, 9));
    EXPECT_FALSE(site.KillTimer(9));
}

TEST(WindowSiteCore, WhatAGoneWindowHadQueuedIsNeverDelivered) {
    fw::CMessageLoop loop;
    RecordingWnd window;
    {
        fw::CHeadlessWindow site(loop, window, res::IDD_TIRVEL2_FORM, fw::Language::English);
        site.PostMessage(fw::WM_USER + 3, 0, 0);
        site.SetTimer(1, 1);
    }
    EXPECT_FALSE(loop.HasTimer(&window, 1));
    EXPECT_FALSE(loop.PumpOne(fw::CMessageLoop::Clock::now()));
    EXPECT_TRUE(window.received.empty());
}

}  // namespace
