#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "framework/HeadlessWindow.h"
#include "framework/MessageLoop.h"
#include "framework/WindowSiteCore.h"
#include "res/ResourceIds.h"

namespace {

using namespace std::chrono_literals;

class RecordingWnd : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM) override {
        received.push_back({message, wParam, busy != nullptr && *busy});
        return 0;
    }
    struct Message {
        fw::UINT message;
        fw::WPARAM wParam;
        bool busy;
    };
    std::vector<Message> received;
    const bool* busy = nullptr;
};

// A host with no controls: it counts announcements, keeps timers in a list and
// shows whether a handler runs while it is busy.
class FakeHost : public fw::CWindowSiteCore {
public:
    explicit FakeHost(RecordingWnd& window) : CWindowSiteCore(window) { window.busy = &busy_; }

    using CWindowSiteCore::DeliverPosted;
    using CWindowSiteCore::Dispatch;

    int announced = 0;
    std::vector<fw::UINT> running;
    bool givesTimers = true;

    void ShowControl(int, int) override {}
    bool IsControlVisible(int) const override { return false; }
    void EnableControl(int, bool) override {}
    bool IsControlEnabled(int) const override { return false; }
    void FocusControl(int) override {}
    void SetControlText(int, const std::string&) override {}
    std::string GetControlText(int) const override { return {}; }
    void SetControlCheck(int, int) override {}
    int GetControlCheck(int) const override { return 0; }
    void AppendControlText(int, const std::string&) override {}
    void SetRichEditLook(int, const fw::RichEditLook&) override {}
    void SetControlSizePixels(int, int, int) override {}
    int MessageBoxById(fw::UINT, fw::UINT, fw::UINT, const fw::MessageArgs&) override {
        return fw::IDOK;
    }

private:
    void AnnouncePosted() override { ++announced; }
    bool StartTimer(fw::UINT id, fw::UINT) override {
        if (!givesTimers) {
            return false;
        }
        std::erase(running, id);
        running.push_back(id);
        return true;
    }
    bool StopTimer(fw::UINT id) override { return std::erase(running, id) != 0; }
    void WhileBusy(const std::function<void()>& handle) override {
        busy_ = true;
        handle();
        busy_ = false;
    }

    bool busy_ = false;
};

TEST(WindowSiteCore, APostWaitsUntilTheLoopComesBackForIt) {
    RecordingWnd window;
    FakeHost site(window);
    site.PostMessage(fw::WM_USER + 5, 7, 0);
    EXPECT_EQ(site.announced, 1);
    EXPECT_TRUE(window.received.empty());
    site.DeliverPosted();
    ASSERT_EQ(window.received.size(), 1u);
    EXPECT_EQ(window.received[0].message, fw::WM_USER + 5);
    EXPECT_EQ(window.received[0].wParam, 7u);
    EXPECT_TRUE(window.received[0].busy);
    // An announcement that finds nothing left delivers nothing.
    site.DeliverPosted();
    EXPECT_EQ(window.received.size(), 1u);
}

TEST(WindowSiteCore, PostsFromOtherThreadsArriveInTheOrderOfPosting) {
    RecordingWnd window;
    FakeHost site(window);
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i) {
            site.PostMessage(fw::WM_USER + 1, static_cast<fw::WPARAM>(i), 0);
        }
    });
    poster.join();
    EXPECT_EQ(site.announced, 200);
    for (int i = 0; i < 200; ++i) {
        site.DeliverPosted();
    }
    ASSERT_EQ(window.received.size(), 200u);
    for (std::size_t i = 0; i < window.received.size(); ++i) {
        EXPECT_EQ(window.received[i].wParam, i);
    }
}

TEST(WindowSiteCore, TimerZeroDoesNotExistAndTheHostMayRefuseOne) {
    RecordingWnd window;
    FakeHost site(window);
    EXPECT_EQ(site.SetTimer(0, 10), 0u);
    EXPECT_TRUE(site.running.empty());
    EXPECT_EQ(site.SetTimer(3, 10), 3u);
    EXPECT_EQ(site.SetTimer(3, 20), 3u);
    EXPECT_EQ(site.running, std::vector<fw::UINT>{3});
    EXPECT_TRUE(site.KillTimer(3));
    EXPECT_FALSE(site.KillTimer(3));
    site.givesTimers = false;
    EXPECT_EQ(site.SetTimer(4, 10), 0u);
}

TEST(WindowSiteCore, CommandsAreBusyTicksAreNotAndTheOwnerHearsAfterEach) {
    RecordingWnd window;
    FakeHost site(window);
    std::vector<std::size_t> seenAfter;
    site.SetAfterDispatch([&] { seenAfter.push_back(window.received.size()); });
    site.SendCommand(42);
    site.Dispatch(fw::WM_TIMER, 3, 0, false);
    ASSERT_EQ(window.received.size(), 2u);
    EXPECT_EQ(window.received[0].message, fw::WM_COMMAND);
    EXPECT_EQ(window.received[0].wParam, 42u);
    EXPECT_TRUE(window.received[0].busy);
    EXPECT_EQ(window.received[1].message, fw::WM_TIMER);
    EXPECT_FALSE(window.received[1].busy);
    EXPECT_EQ(seenAfter, (std::vector<std::size_t>{1, 2}));
}

TEST(WindowSiteCore, TheHeadlessWindowPostsAndTimesThroughTheLoop) {
    fw::CMessageLoop loop;
    RecordingWnd window;
    fw::CHeadlessWindow site(loop, window, res::IDD_TIRVEL2_FORM, fw::Language::English);
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i) {
            site.PostMessage(fw::WM_USER + 2, static_cast<fw::WPARAM>(i), 0);
        }
    });
    poster.join();
    EXPECT_EQ(site.SetTimer(0, 1), 0u);
    EXPECT_EQ(site.SetTimer(9, 1), 9u);
    EXPECT_TRUE(loop.HasTimer(&window, 9));
    ASSERT_TRUE(loop.RunUntil([&] { return window.received.size() >= 51; }, 5s));
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(window.received[i].message, fw::WM_USER + 2);
        EXPECT_EQ(window.received[i].wParam, i);
    }
    EXPECT_EQ(window.received[50].message, fw::WM_TIMER);
    EXPECT_EQ(window.received[50].wParam, 9u);
    EXPECT_TRUE(site.KillTimer(9));
    EXPECT_FALSE(loop.HasTimer(&window, 9));
    EXPECT_FALSE(site.KillTimer(9));
}

TEST(WindowSiteCore, WhatAGoneHeadlessWindowHadQueuedIsNeverDelivered) {
    fw::CMessageLoop loop;
    RecordingWnd window;
    {
        fw::CHeadlessWindow site(loop, window, res::IDD_TIRVEL2_FORM, fw::Language::English);
        site.PostMessage(fw::WM_USER + 3, 0, 0);
        site.SetTimer(1, 1);
    }
    EXPECT_FALSE(loop.HasTimer(&window, 1));
    EXPECT_FALSE(loop.PumpOne(fw::CMessageLoop::Clock::now() + 20ms));
    EXPECT_TRUE(window.received.empty());
}

}  // namespace
