#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Peer.h"
#include "ScriptedWindow.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

using namespace std::chrono_literals;
using testsupport::PortGuard;
using testsupport::PseudoTerminal;

namespace {

// A device that answers the n-th "AT+TEST\r" with `answer` and every earlier
// one with `before` (empty: silence). Counts the probes it saw.
class ProbeResponder {
public:
    ProbeResponder(PseudoTerminal& pty, int answerAt, std::string before, std::string answer,
                   std::function<void(int)> onProbe = {})
        : thread_([=, this, &pty] {
              std::string pending;
              while (!done_) {
                  pending += pty.ReadFor(20ms);
                  std::size_t at;
                  while ((at = pending.find("AT+TEST\r")) != std::string::npos) {
                      pending.erase(0, at + 8);
                      const int n = ++probes_;
                      if (onProbe) {
                          onProbe(n);
                      }
                      if (n >= answerAt) {
                          pty.Write(answer);
                      } else if (!before.empty()) {
                          pty.Write(before);
                      }
                  }
              }
          }) {}
    ~ProbeResponder() {
        done_ = true;
        thread_.join();
    }
    int Probes() const { return probes_; }

private:
    std::atomic<bool> done_{false};
    std::atomic<int> probes_{0};
    std::thread thread_;
};

class Probe : public ::testing::Test {
protected:
    void SetUp() override { g_nProbeStopFlag = 0; }
    void TearDown() override { g_nProbeStopFlag = 0; }

    PseudoTerminal pty_;
    PortGuard port_{testsupport::OpenAtPort(pty_)};
};

TEST_F(Probe, DeviceAnsweringAtTheLastAttemptStillConnects) {
    ProbeResponder device(pty_, 60, "ERROR\r\n", "OK\r\n");
    EXPECT_EQ(ProbeDevice(port_.get()), kProbeAnswered);
    EXPECT_EQ(device.Probes(), 60);
}

struct WindowCase {
    const char* name;
    std::string before;  // the answer to every probe
    int result;
};

class ProbeWindow : public Probe, public ::testing::WithParamInterface<WindowCase> {};

// Whatever the line brings short of an answer, the device gets the whole
// window by the clock, sixty attempts at most; only noise that is neither
// the echo nor an answer makes it a babbling line rather than a silent one.
TEST_P(ProbeWindow, LastsItsWindowAndTellsNoiseFromSilence) {
    ProbeResponder device(pty_, 1000, GetParam().before, "");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProbeDevice(port_.get()), GetParam().result);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 35s);
    EXPECT_LT(elapsed, 40s);
    // An attempt that brought bytes but no result also waited out its reads.
    EXPECT_GE(device.Probes(), 50);
    EXPECT_LE(device.Probes(), kProbeAttempts);
}

INSTANTIATE_TEST_SUITE_P(Probe, ProbeWindow,
                         ::testing::Values(WindowCase{"Silence", "", kProbeTimedOut},
                                           WindowCase{"Error", "ERROR\r\n", kProbeTimedOut},
                                           WindowCase{"EchoOnly", "AT+TEST\r", kProbeTimedOut},
                                           WindowCase{"Garbage", std::string(300, '\x8f'),
                                                      kProbeLineNoise}),
                         [](const auto& info) { return std::string(info.param.name); });

// One byte every 90 ms never lets a read come back empty: without a clock the
// probe took over eleven minutes.
TEST_F(Probe, TricklingLineIsNoiseWithinTheWindow) {
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            pty_.Write("~");
            std::this_thread::sleep_for(90ms);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProbeDevice(port_.get()), kProbeLineNoise);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 40s);
    done = true;
    trickle.join();
}

TEST_F(Probe, PasswordPromptEndsTheProbe) {
    ProbeResponder device(pty_, 3, "ERROR\r\n", "\r\nNEED PWD\r\n");
    EXPECT_EQ(ProbeDevice(port_.get()), kProbePasswordRequired);
    EXPECT_EQ(device.Probes(), 3);
}

TEST_F(Probe, AnswerWinsOverStopFlag) {
    // Stop is pressed while the attempt that succeeds is under way.
    ProbeResponder device(pty_, 2, "ERROR\r\n", "OK\r\n", [](int n) {
        if (n == 2) {
            g_nProbeStopFlag = 1;
        }
    });
    EXPECT_EQ(ProbeDevice(port_.get()), kProbeAnswered);
}

TEST_F(Probe, StopFlagWinsOverPasswordPrompt) {
    g_nProbeStopFlag = 1;
    ProbeResponder device(pty_, 1, "", "\r\nNEED PWD\r\nERROR\r\n");
    EXPECT_EQ(ProbeDevice(port_.get()), kProbeStopped);
    EXPECT_EQ(device.Probes(), 1);
}

TEST_F(Probe, StopFlagEndsASilentProbeAfterOneAttempt) {
    ProbeResponder device(pty_, 1000, "", "", [](int) { g_nProbeStopFlag = 1; });
    EXPECT_EQ(ProbeDevice(port_.get()), kProbeStopped);
    EXPECT_EQ(device.Probes(), 1);
}

// The view receives the thread's result as a posted message.
class ResultView : public CTirvel2View {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override {
        if (message == res::WM_PROBE_RESULT) {
            results.push_back(static_cast<int>(wParam));
            connections.push_back(lParam);
            threads.push_back(std::this_thread::get_id());
            return 0;
        }
        return CTirvel2View::WindowProc(message, wParam, lParam);
    }
    std::vector<int> results;
    std::vector<fw::LPARAM> connections;
    std::vector<std::thread::id> threads;
};

TEST_F(Probe, ThreadPostsItsResultToTheView) {
    fw::CMessageLoop loop;
    ResultView view;
    testsupport::ScriptedWindow window(loop, view, res::IDD_TIRVEL2_FORM);
    ProbeResponder device(pty_, 1, "", "\r\nNEED PWD\r\n");

    std::thread probe(ProbeThreadProc, new ProbeParameters{port_.get(), &view, 7});
    ASSERT_TRUE(loop.RunUntil([&] { return !view.results.empty(); }, 5s));
    probe.join();
    EXPECT_EQ(view.results, std::vector<int>{kProbePasswordRequired});
    EXPECT_EQ(view.connections, std::vector<fw::LPARAM>{7});
    EXPECT_EQ(view.threads.front(), std::this_thread::get_id());
}

}  // namespace
