// What the line bench turns into figures: the open loop's accounting, the
// process's CPU and memory as /proc tells them, and the change a browser's
// event names. A fault in any of them would make a figure wrong unseen.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "OpenLoop.h"
#include "ProcessUsage.h"
#include "StateMarks.h"

namespace {

TEST(OpenLoop, SendsEverySlotOnceAndCountsWhatFailed) {
    std::vector<std::atomic<int>> sent(500);
    const bench::OpenLoopRun run = bench::RunOpenLoop(100000, 500, 4, [&](long slot) {
        ++sent[static_cast<std::size_t>(slot)];
        if (slot % 50 == 7) {
            throw std::runtime_error("no connection");
        }
        return slot % 10 != 3;
    });
    for (const auto& times : sent) {
        EXPECT_EQ(times, 1);
    }
    EXPECT_EQ(run.failures, 50 + 10);
    EXPECT_EQ(run.milliseconds.size(), 500u - 60u);
}

// The point of the loop: a slot due while the server stalls waits for it,
// and the wait is in its latency, not lost because it was sent late.
TEST(OpenLoop, AStallCountsForTheSlotsDueDuringIt) {
    const auto stall = std::chrono::milliseconds(300);
    const bench::OpenLoopRun run = bench::RunOpenLoop(1000, 10, 1, [&](long slot) {
        if (slot == 0) {
            std::this_thread::sleep_for(stall);
        }
        return true;
    });
    ASSERT_EQ(run.milliseconds.size(), 10u);
    // Slot 9 was due 9 ms after slot 0 and could not go before the stall ended.
    for (const double ms : run.milliseconds) {
        EXPECT_GE(ms, 300.0 - 9.0);
    }
}

TEST(ProcessUsage, CpuTimesAreCountedFromTheNamesLastParenthesis) {
    // A name with spaces and parentheses of its own, as a program may be called.
    const std::string stat =
        "4242 (tirvel (line) x) S 1 4242 4242 0 -1 4194560 812 0 3 0 250 50 7 9 20 0 5 0 "
        "123456 104857600 2560 18446744073709551615\n";
    EXPECT_DOUBLE_EQ(bench::CpuSecondsOfStat(stat, 100), 3.0);
    EXPECT_THROW(bench::CpuSecondsOfStat("4242 tirvel S 1", 100), std::runtime_error);
    EXPECT_THROW(bench::CpuSecondsOfStat("4242 (tirvel) S 1 2 3", 100), std::runtime_error);
}

TEST(ProcessUsage, StatusFieldsAreFoundByTheirWholeName) {
    const std::string status =
        "Name:\ttirvel-line\nVmPeak:\t  300000 kB\nVmHWM:\t   20480 kB\nVmRSS:\t   10240 kB\n";
    EXPECT_EQ(bench::StatusKb(status, "VmRSS"), 10240);
    EXPECT_EQ(bench::StatusKb(status, "VmHWM"), 20480);
    EXPECT_EQ(bench::StatusKb(status, "VmSwap"), -1);
}

TEST(ProcessUsage, ARunningProcessShowsTheMemoryItTouches) {
    const bench::ProcessUsage before = bench::UsageOf(getpid());
    std::vector<char> touched(64 << 20);
    std::memset(touched.data(), 1, touched.size());
    const bench::ProcessUsage after = bench::UsageOf(getpid());
    EXPECT_GE(after.rssKb - before.rssKb, 60 * 1024);
    EXPECT_GE(after.peakKb, after.rssKb);
    EXPECT_GT(after.cpuSeconds, 0);
    EXPECT_EQ(touched[touched.size() / 2], 1);
}

// utime and stime, not the fields beside them: a child that has burnt 0.3 s
// of CPU by its own clock shows at least that, and its waiting parent none.
TEST(ProcessUsage, CpuTimeIsTheProcesssOwn) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        timespec used{};
        do {
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
        } while (used.tv_sec == 0 && used.tv_nsec < 300'000'000);
        [[maybe_unused]] const ssize_t told = write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    const double burnt = bench::UsageOf(child).cpuSeconds;
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0) {
    }
    close(ready[0]);
    close(ready[1]);
    EXPECT_GE(burnt, 0.29);
    EXPECT_LT(burnt, bench::UsageOf(getpid()).cpuSeconds + 10);
}

TEST(ProcessUsage, AProcessGoneIsAnError) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    while (waitpid(child, nullptr, 0) < 0) {
    }
    EXPECT_THROW(bench::UsageOf(child), std::runtime_error);
}

// A station as the event stream sends it: keys in the server's order, the
// mark on port 0 only.
std::string StationData(const std::string& name, const std::string& firstState,
                        const std::string& otherState) {
    nlohmann::json ports = nlohmann::json::array();
    for (int port = 0; port < 3; ++port) {
        ports.push_back({{"port_no", port},
                         {"label", "/dev/ttyUSB" + std::to_string(port)},
                         {"state_text", port == 0 ? firstState : otherState},
                         {"permille", 500}});
    }
    return nlohmann::json{{"station", name}, {"phase", "running"}, {"ports", ports}}.dump();
}

TEST(StateMarks, TheEventNamesItsStationAndChange) {
    const auto mark =
        bench::MarkOf(StationData("line-st07", bench::MarkedState(65535), "writing 12 of 31"));
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->station, "line-st07");
    EXPECT_EQ(mark->sequence, 65535);
}

TEST(StateMarks, WordsThatQuoteAStationDoNotNameIt) {
    const auto mark = bench::MarkOf(
        StationData("line-st02", bench::MarkedState(12), "\"station\":\"line-st09\" asked"));
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->station, "line-st02");
}

TEST(StateMarks, AStationWithoutAMarkIsNoChangeOfTheBenchs) {
    EXPECT_FALSE(bench::MarkOf(StationData("line-st01", "idle", "idle")));
    EXPECT_FALSE(bench::MarkOf(StationData("line-st01", bench::MarkedState(3).substr(0, 10), "")));
    EXPECT_FALSE(bench::MarkOf("{}"));
}

}  // namespace
