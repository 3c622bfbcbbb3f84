// The pipes to a station worker: lines out (stderr among them), lines in, the
// ways a worker ends, and the one leak that would keep a worker's end of
// output from ever arriving. The workers are tiny shell scripts; the class
// runs any program.
#include "station/WorkerProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#endif

namespace {

using station::WorkerProcess;

std::vector<std::string> ReadAll(station::WorkerProcess& worker) {
    std::vector<std::string> lines;
    while (std::optional<std::string> line = worker.ReadLine()) {
        lines.push_back(*line);
    }
    return lines;
}

// The test program started again as a worker of itself, the way the station
// mode starts tirvelctl.
TEST(WorkerProcess, StartsItsOwnProgramAgain) {
    station::WorkerProcess worker(station::OwnExecutablePath(nullptr),
                                  {"--gtest_list_tests", "--gtest_filter=WorkerProcess.*"});
    const std::vector<std::string> lines = ReadAll(worker);
    // gtest_main's own greeting comes first.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "WorkerProcess."), lines.end());
    EXPECT_EQ(worker.Wait().code, 0);
}

TEST(WorkerProcess, AProgramThatCannotRunThrows) {
#ifdef _WIN32
    const std::string missing = "C:\\no\\such\\worker.exe";
#else
    const std::string missing = "/no/such/worker";
#endif
    EXPECT_THROW(station::WorkerProcess(missing, {}), std::system_error);
#ifndef _WIN32
    // Passes the access check as root; the spawn itself refuses it.
    EXPECT_THROW(station::WorkerProcess("/", {}), std::system_error);
#endif
}

#ifdef _WIN32

// cmd.exe stands in for a worker; Wine has one too.
station::WorkerProcess Script(const std::string& script) {
    wchar_t system[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    std::string cmd;
    for (UINT i = 0; i < n; ++i) {
        cmd += static_cast<char>(system[i]);  // the system directory is ASCII
    }
    return station::WorkerProcess(cmd + "\\cmd.exe", {"/d", "/v:on", "/c", script});
}

TEST(WorkerProcess, StderrArrivesInTheSameStreamAndTheExitCodeIsKept) {
    station::WorkerProcess worker = Script("echo event& echo crashed>&2& exit /b 3");
    EXPECT_EQ(ReadAll(worker), (std::vector<std::string>{"event", "crashed"}));
    EXPECT_EQ(worker.Wait().code, 3);
}

TEST(WorkerProcess, RepliesReachTheChild) {
    station::WorkerProcess worker = Script("set /p reply=& echo got !reply!");
    ASSERT_TRUE(worker.Write("yes\r\n"));
    EXPECT_EQ(ReadAll(worker), (std::vector<std::string>{"got yes"}));
    EXPECT_EQ(worker.Wait().code, 0);
}

// A second worker holding the first one's pipe ends would keep the first
// one's output open for as long as it runs.
TEST(WorkerProcess, AWorkerEndsWhileOneStartedAfterItRunsAndKillEndsThatOne) {
    station::WorkerProcess first = Script("set /p reply=& echo !reply!");
    station::WorkerProcess second = Script("set /p reply=& echo late");
    ASSERT_TRUE(first.Write("first\r\n"));
    EXPECT_EQ(ReadAll(first), (std::vector<std::string>{"first"}));
    second.Kill();
    EXPECT_EQ(second.Wait().code, 1);
    EXPECT_EQ(second.Wait().code, 1);
    EXPECT_FALSE(second.ReadLine());
}

#else

station::WorkerProcess Script(const std::string& script) {
    return station::WorkerProcess("/bin/sh", {"-c", script});
}

TEST(WorkerProcess, LinesEndWithOrWithoutCarriageReturnAndTheLastNeedsNoNewline) {
    station::WorkerProcess worker = Script("printf 'one\\ntwo\\r\\n\\nthree'");
    EXPECT_EQ(ReadAll(worker), (std::vector<std::string>{"one", "two", "", "three"}));
    EXPECT_FALSE(worker.ReadLine());  // the end stays the end
}

TEST(WorkerProcess, StderrArrivesInTheSameStream) {
    station::WorkerProcess worker = Script("echo event; echo crashed >&2; exit 3");
    EXPECT_EQ(ReadAll(worker), (std::vector<std::string>{"event", "crashed"}));
    const station::WorkerExit exit = worker.Wait();
    EXPECT_FALSE(exit.signalled);
    EXPECT_EQ(exit.code, 3);
}

TEST(WorkerProcess, RepliesReachTheChildAndClosingInputEndsIt) {
    station::WorkerProcess worker = Script("read reply; echo \"got $reply\"; cat; echo done");
    ASSERT_TRUE(worker.Write("yes\n"));
    EXPECT_EQ(worker.ReadLine(), "got yes");
    ASSERT_TRUE(worker.Write("echoed\n"));
    EXPECT_EQ(worker.ReadLine(), "echoed");
    worker.CloseInput();
    EXPECT_EQ(ReadAll(worker), (std::vector<std::string>{"done"}));
    EXPECT_FALSE(worker.Write("late\n"));
}

TEST(WorkerProcess, WritingToAWorkerThatHasGoneFailsQuietly) {
    // SIGPIPE keeps its default in this process: a stray one would end the test.
    signal(SIGPIPE, SIG_DFL);
    station::WorkerProcess worker = Script("exit 0");
    worker.Wait();
    EXPECT_FALSE(worker.Write(std::string(256 * 1024, 'x')));
}

TEST(WorkerProcess, KillEndsTheWorkerWithSigkillAndWaitRepeatsTheResult) {
    station::WorkerProcess worker = Script("echo ready; exec sleep 60");
    ASSERT_EQ(worker.ReadLine(), "ready");
    station::WorkerExit fromThread;
    std::thread waiter([&] { fromThread = worker.Wait(); });
    worker.Kill();
    waiter.join();
    EXPECT_TRUE(fromThread.signalled);
    EXPECT_EQ(fromThread.code, SIGKILL);
    const station::WorkerExit again = worker.Wait();
    EXPECT_EQ(again.signalled, fromThread.signalled);
    EXPECT_EQ(again.code, fromThread.code);
    EXPECT_FALSE(worker.ReadLine());
}

// The supervisor blocks SIGINT and SIGTERM and ignores SIGPIPE; a worker
// started from such a thread must still be able to stop on Cancel.
class WorkerProcessFromBlockingThread : public ::testing::Test {
protected:
    void SetUp() override {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigaddset(&blocked, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &blocked, &savedMask_);
        savedPipe_ = signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override {
        pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
        signal(SIGPIPE, savedPipe_);
    }
    sigset_t savedMask_{};
    void (*savedPipe_)(int) = SIG_DFL;
};

TEST_F(WorkerProcessFromBlockingThread, CancelIsSigtermTheWorkerCanHandle) {
    station::WorkerProcess worker = Script(
        "trap 'echo stopping; exit 7' TERM; echo ready;"
        " while :; do sleep 0.05; done");
    ASSERT_EQ(worker.ReadLine(), "ready");
    worker.Cancel();
    EXPECT_EQ(worker.ReadLine(), "stopping");
    const station::WorkerExit exit = worker.Wait();
    EXPECT_FALSE(exit.signalled);
    EXPECT_EQ(exit.code, 7);
}

TEST_F(WorkerProcessFromBlockingThread, TheWorkerStartsWithNothingBlockedOrIgnored) {
    if (access("/proc/self/status", R_OK) != 0) {
        GTEST_SKIP() << "no /proc to read the signal state from";
    }
    // The shell opens /proc/self itself, so the state read is the worker's own.
    station::WorkerProcess worker =
        Script("while read -r line; do echo \"$line\"; done < /proc/self/status");
    unsigned long long blocked = ~0ull;
    unsigned long long ignored = ~0ull;
    for (const std::string& line : ReadAll(worker)) {
        if (line.rfind("SigBlk:", 0) == 0) {
            blocked = std::stoull(line.substr(7), nullptr, 16);
        } else if (line.rfind("SigIgn:", 0) == 0) {
            ignored = std::stoull(line.substr(7), nullptr, 16);
        }
    }
    const auto bit = [](int signal) { return 1ull << (signal - 1); };
    EXPECT_EQ(blocked & (bit(SIGINT) | bit(SIGTERM)), 0u);
    EXPECT_EQ(ignored & (bit(SIGINT) | bit(SIGTERM) | bit(SIGPIPE)), 0u);
}

TEST(WorkerProcess, TheWorkerHasAProcessGroupOfItsOwn) {
    station::WorkerProcess worker = Script("cat");
    EXPECT_EQ(getpgid(static_cast<pid_t>(worker.Pid())), static_cast<pid_t>(worker.Pid()));
    EXPECT_NE(getpgid(static_cast<pid_t>(worker.Pid())), getpgrp());
    worker.CloseInput();
    EXPECT_EQ(worker.Wait().code, 0);
}

// A second worker holding the first one's pipe ends would keep the first
// one's input, and so its output, open for as long as it runs.
TEST(WorkerProcess, AWorkerEndsWhileOneStartedAfterItRuns) {
    station::WorkerProcess first = Script("cat");
    // With the leak the first one's end would come only when the second ends.
    station::WorkerProcess second = Script("echo ready; exec sleep 30");
    ASSERT_EQ(second.ReadLine(), "ready");
    first.CloseInput();
    EXPECT_FALSE(first.ReadLine());
    EXPECT_EQ(first.Wait().code, 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(second.Pid()), &info, WEXITED | WNOHANG | WNOWAIT),
              0);
    EXPECT_EQ(info.si_pid, 0) << "the second worker had already ended";
}

TEST(WorkerProcess, WorkersStartedFromSeveralThreadsEachSeeTheirOwnEnd) {
    constexpr int kWorkers = 6;
    std::vector<std::optional<station::WorkerProcess> > workers(kWorkers);
    std::vector<std::thread> starters;
    for (int i = 0; i < kWorkers; ++i) {
        starters.emplace_back(
            [&workers, i] { workers[i].emplace("/bin/cat", std::vector<std::string>{}); });
    }
    for (std::thread& starter : starters) {
        starter.join();
    }
    // Closed in turn while the later ones still run.
    for (int i = 0; i < kWorkers; ++i) {
        ASSERT_TRUE(workers[i]->Write(std::to_string(i) + "\n"));
        workers[i]->CloseInput();
        EXPECT_EQ(ReadAll(*workers[i]), (std::vector<std::string>{std::to_string(i)}));
    }
}

// A line of exactly the limit is still one line; a longer one is cut there.
class WorkerProcessLongLine : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WorkerProcessLongLine, ComesInPiecesOfTheLimit) {
    const std::size_t length = GetParam();
    station::WorkerProcess worker =
        Script("head -c " + std::to_string(length) + " /dev/zero | tr '\\000' x; echo; echo next");
    std::vector<std::string> expected;
    for (std::size_t done = 0; done < length; done += station::WorkerProcess::kMaxLine) {
        expected.emplace_back(std::min(station::WorkerProcess::kMaxLine, length - done), 'x');
    }
    expected.emplace_back("next");
    EXPECT_EQ(ReadAll(worker), expected);
}

INSTANTIATE_TEST_SUITE_P(AroundTheLimit, WorkerProcessLongLine,
                         ::testing::Values(station::WorkerProcess::kMaxLine - 1,
                                           station::WorkerProcess::kMaxLine,
                                           station::WorkerProcess::kMaxLine + 1,
                                           2 * station::WorkerProcess::kMaxLine + 10));

#endif

}  // namespace
