#include "framework/MessageLoop.h"

#include <algorithm>

#include "framework/Wnd.h"

namespace fw {
namespace {

auto IsTimer(CWnd* target, UINT id) {
    return [=](const auto& timer) { return timer.target == target && timer.id == id; };
}

}  // namespace

void CMessageLoop::Post(CWnd* target, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({target, message, wParam, lParam});
    }
    wake_.notify_all();
}

void CMessageLoop::Quit(int exitCode) {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        exitCode_ = exitCode;
    }
    wake_.notify_all();
}

bool CMessageLoop::QuitRequested() const {
    std::lock_guard lock(mutex_);
    return quit_;
}

UINT CMessageLoop::SetTimer(CWnd* target, UINT id, UINT periodMs) {
    if (id == 0) {
        return 0;
    }
    const auto period = std::chrono::milliseconds(std::max<UINT>(periodMs, 1));
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(timers_.begin(), timers_.end(), IsTimer(target, id));
        Timer timer{target, id, period, Clock::now() + period};
        if (it != timers_.end()) {
            *it = timer;
        } else {
            timers_.push_back(timer);
        }
    }
    wake_.notify_all();
    return id;
}

bool CMessageLoop::KillTimer(CWnd* target, UINT id) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(timers_.begin(), timers_.end(), IsTimer(target, id));
    if (it == timers_.end()) {
        return false;
    }
    timers_.erase(it);
    return true;
}

bool CMessageLoop::HasTimer(CWnd* target, UINT id) const {
    std::lock_guard lock(mutex_);
    return std::any_of(timers_.begin(), timers_.end(), IsTimer(target, id));
}

void CMessageLoop::Forget(CWnd* target) {
    std::lock_guard lock(mutex_);
    std::erase_if(queue_, [&](const Posted& p) { return p.target == target; });
    std::erase_if(timers_, [&](const Timer& t) { return t.target == target; });
}

bool CMessageLoop::PumpOne(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!queue_.empty()) {
            Posted p = queue_.front();
            queue_.pop_front();
            lock.unlock();
            p.target->WindowProc(p.message, p.wParam, p.lParam);
            return true;
        }
        const auto now = Clock::now();
        auto earliest =
            std::min_element(timers_.begin(), timers_.end(),
                             [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (earliest != timers_.end() && earliest->due <= now) {
            // Ticks that were missed while the thread was busy collapse into one.
            earliest->due = now + earliest->period;
            CWnd* target = earliest->target;
            UINT id = earliest->id;
            lock.unlock();
            target->WindowProc(WM_TIMER, id, 0);
            return true;
        }
        if (quit_ || now >= deadline) {
            return false;
        }
        auto wakeAt = deadline;
        if (earliest != timers_.end()) {
            wakeAt = std::min(wakeAt, earliest->due);
        }
        wake_.wait_until(lock, wakeAt);
    }
}

bool CMessageLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline || QuitRequested()) {
            return done();
        }
        PumpOne(deadline);
    }
    return true;
}

void CMessageLoop::RunFor(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (Clock::now() < deadline && !QuitRequested()) {
        PumpOne(deadline);
    }
}

int CMessageLoop::Run() {
    while (!QuitRequested()) {
        PumpOne(Clock::now() + std::chrono::hours(24));
    }
    std::lock_guard lock(mutex_);
    return exitCode_;
}

}  // namespace fw
