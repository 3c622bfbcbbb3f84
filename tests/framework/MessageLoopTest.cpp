#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "framework/MessageLoop.h"
#include "framework/Wnd.h"

namespace {

class RecordingWnd : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override {
        received.push_back({message, wParam, lParam});
        if (onMessage) {
            onMessage(message, wParam);
        }
        return 0;
    }
    struct Message {
        fw::UINT message;
        fw::WPARAM wParam;
        fw::LPARAM lParam;
    };
    std::vector<Message> received;
    std::function<void(fw::UINT, fw::WPARAM)> onMessage;
};

using namespace std::chrono_literals;

TEST(MessageLoop, DeliversPostsFromOtherThreadsInOrder) {
    fw::CMessageLoop loop;
    RecordingWnd wnd;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.Post(&wnd, fw::WM_USER + 1, static_cast<fw::WPARAM>(i), 0);
        }
    });
    poster.join();
    ASSERT_TRUE(loop.RunUntil([&] { return wnd.received.size() == 100; }, 2s));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(wnd.received[static_cast<std::size_t>(i)].wParam, static_cast<fw::WPARAM>(i));
    }
}

TEST(MessageLoop, TimersTickUntilKilledAndDoNotPileUp) {
    fw::CMessageLoop loop;
    RecordingWnd wnd;
    int ticks = 0;
    wnd.onMessage = [&](fw::UINT message, fw::WPARAM id) {
        if (message == fw::WM_TIMER && id == 7) {
            if (++ticks == 1) {
                // A handler that blocks for many periods gets one tick afterwards,
                // not a backlog.
                std::this_thread::sleep_for(120ms);
            }
        }
    };
    EXPECT_EQ(loop.SetTimer(&wnd, 7, 10), 7u);
    loop.RunUntil([&] { return ticks >= 3; }, 2s);
    EXPECT_GE(ticks, 3);
    EXPECT_TRUE(loop.KillTimer(&wnd, 7));
    EXPECT_FALSE(loop.KillTimer(&wnd, 7));
    const int afterKill = ticks;
    loop.RunFor(50ms);
    EXPECT_EQ(ticks, afterKill);
}

TEST(MessageLoop, PostedMessagesGoBeforeDueTimers) {
    fw::CMessageLoop loop;
    RecordingWnd wnd;
    loop.SetTimer(&wnd, 1, 1);
    std::this_thread::sleep_for(5ms);
    loop.Post(&wnd, fw::WM_USER, 0, 0);
    loop.PumpOne(fw::CMessageLoop::Clock::now() + 1s);
    ASSERT_EQ(wnd.received.size(), 1u);
    EXPECT_EQ(wnd.received[0].message, fw::WM_USER);
}

TEST(MessageLoop, ForgetDropsAWindowsMessagesAndTimers) {
    fw::CMessageLoop loop;
    RecordingWnd gone;
    RecordingWnd stays;
    loop.Post(&gone, fw::WM_USER, 1, 0);
    loop.SetTimer(&gone, 1, 1);
    loop.Post(&stays, fw::WM_USER, 2, 0);
    loop.Forget(&gone);
    loop.RunFor(20ms);
    EXPECT_TRUE(gone.received.empty());
    ASSERT_EQ(stays.received.size(), 1u);
}

TEST(MessageLoop, QuitEndsRunFromAnotherThread) {
    fw::CMessageLoop loop;
    std::thread quitter([&] {
        std::this_thread::sleep_for(20ms);
        loop.Quit(42);
    });
    EXPECT_EQ(loop.Run(), 42);
    quitter.join();
}

}  // namespace
