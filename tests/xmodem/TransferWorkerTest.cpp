// The transfer worker: the sender on a thread of its own, with its progress,
// its stop and its result, against a receiver on the master side of a pty.
#include "firmware/TransferWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PseudoTerminal.h"
#include "PtyPortTest.h"
#include "XmodemReceiver.h"
#include "firmware/Xmodem.h"
#include "serial/DeviceLines.h"

namespace {

using namespace std::chrono_literals;

// What the done handler was told, and on which thread.
struct DoneCalls {
    std::vector<int> results;
    std::thread::id thread;

    TransferWorker::DoneHandler Handler() {
        return [this](int result) {
            results.push_back(result);
            thread = std::this_thread::get_id();
        };
    }
};

class xmodem_TransferWorker : public testsupport::PtyPortTest {
protected:
    void SetUp() override {
        PtyPortTest::SetUp();
        if (!HasFatalFailure()) {
            SetupComPortPolled(port_, &kLoaderLine);
        }
    }
    void TearDown() override {
        SetTransferPort(INVALID_HANDLE_VALUE);
        PtyPortTest::TearDown();
    }

    // The image must outlive the run, as it must for every holder of a worker.
    void Start(TransferWorker& worker, const std::string& image,
               TransferWorker::DoneHandler onDone = {}) {
        worker.Start(port_, reinterpret_cast<const std::uint8_t*>(image.data()),
                     static_cast<std::int32_t>(image.size()), std::move(onDone));
    }
};

TEST_F(xmodem_TransferWorker, DeliversTheImageAndTellsItsResultFromTheWorkerThread) {
    const std::string image = testsupport::Noise(300);
    testsupport::Receiver received;
    std::thread loader([&] { received = testsupport::ReceiveChecksumXmodem(*pty_); });
    // The figure is the sender's, left by whatever ran before: a run stopped
    // before it starts sets it back to nothing.
    const std::atomic<int> stopped{1};
    ASSERT_EQ(TransferSendFile(nullptr, 0, &stopped), kTransferStopped);
    ASSERT_EQ(GetTransferProgress(), 0);
    TransferWorker worker;
    DoneCalls done;
    Start(worker, image, done.Handler());
    EXPECT_TRUE(worker.Running());
    EXPECT_EQ(worker.Size(), 300);
    // Polled as the hosts poll it: the figure only ever grows.
    std::vector<std::int32_t> seen;
    while (!worker.Finished()) {
        seen.push_back(worker.PerMille());
        std::this_thread::sleep_for(5ms);
    }
    const int result = worker.Wait();
    loader.join();

    EXPECT_EQ(result, 3 * 128);  // the bytes of the acknowledged blocks
    EXPECT_FALSE(worker.Running());
    EXPECT_GE(worker.PerMille(), 1000);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1], seen[i]) << i;
    }
    ASSERT_EQ(done.results, std::vector<int>{result});
    EXPECT_NE(done.thread, std::this_thread::get_id());
    EXPECT_TRUE(received.ended);
    EXPECT_EQ(received.data, testsupport::Padded(image));
}

TEST_F(xmodem_TransferWorker, TheReceiversCancelIsTheOutcome) {
    std::thread loader([&] { testsupport::ReceiveChecksumXmodem(*pty_, 2); });
    const std::string image = testsupport::Noise(500);
    TransferWorker worker;
    DoneCalls done;
    Start(worker, image, done.Handler());
    EXPECT_EQ(worker.Wait(), kTransferCancelledByReceiver);
    loader.join();
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(done.results, std::vector<int>{kTransferCancelledByReceiver});
}

TEST_F(xmodem_TransferWorker, StopWhileWaitingForTheStartSignalSendsNothing) {
    const std::string image = testsupport::Noise(200);
    TransferWorker worker;
    DoneCalls done;
    Start(worker, image, done.Handler());
    std::this_thread::sleep_for(100ms);  // the sender waits for the start signal
    EXPECT_FALSE(worker.Finished());
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(worker.Wait(), kTransferStopped);
    EXPECT_EQ(done.results, std::vector<int>{kTransferStopped});
    EXPECT_EQ(pty_->ReadFor(200ms), "");
}

TEST_F(xmodem_TransferWorker, DroppingARunningWorkerStopsItAndWaitsForIt) {
    const std::string image = testsupport::Noise(200);
    DoneCalls done;
    {
        TransferWorker worker;
        Start(worker, image, done.Handler());
    }
    // Told before the worker was gone: the destructor has waited for it.
    EXPECT_EQ(done.results, std::vector<int>{kTransferStopped});
    EXPECT_EQ(pty_->ReadFor(200ms), "");
}

TEST_F(xmodem_TransferWorker, ASecondRunStartsAfreshAfterAStoppedOne) {
    TransferWorker worker;
    const std::string first = testsupport::Noise(100);
    Start(worker, first);
    worker.RequestStop();
    EXPECT_EQ(worker.Wait(), kTransferStopped);

    // Neither the stop nor the end of the first run carries over.
    const std::string second = testsupport::Noise(130);
    testsupport::Receiver received;
    std::thread loader([&] { received = testsupport::ReceiveChecksumXmodem(*pty_); });
    Start(worker, second);
    EXPECT_EQ(worker.Size(), 130);
    EXPECT_EQ(worker.Wait(), 2 * 128);
    loader.join();
    EXPECT_EQ(received.data, testsupport::Padded(second));
}

TEST_F(xmodem_TransferWorker, NeverStartedIsNotRunningAndStopsAtOnce) {
    TransferWorker worker;
    EXPECT_FALSE(worker.Running());
    EXPECT_FALSE(worker.Finished());
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(pty_->ReadFor(100ms), "");
}

}  // namespace
