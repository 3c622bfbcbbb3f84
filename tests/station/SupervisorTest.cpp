// The supervisor against scripted workers: what it counts, records and shows
// when workers succeed, fail, crash, hang or cannot start, and when the
// operator finishes or aborts from another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "TextSearch.h"
#include "framework/Language.h"
#include "station/Supervisor.h"

namespace {

using namespace std::chrono_literals;
using station::PortPhase;
using testsupport::Contains;

class Recorder : public station::StationListener {
public:
    void Changed(const station::StationSnapshot& snapshot) override {
        const std::lock_guard lock(mutex_);
        if (!snapshot.ports.empty() &&
            (valuesShown_.empty() || valuesShown_.back() != snapshot.ports[0].values)) {
            valuesShown_.push_back(snapshot.ports[0].values);
        }
        last_ = snapshot;
        changed_.notify_all();
    }
    void Said(const std::string& line) override {
        const std::lock_guard lock(mutex_);
        said_.push_back(line);
    }
    bool Recorded(const station::DeviceRow& row) override {
        const std::lock_guard lock(mutex_);
        rows_.push_back(row);
        return acceptRows_;
    }

    // Blocks until a snapshot satisfies the condition; false after 20 s.
    bool WaitFor(const std::function<bool(const station::StationSnapshot&)>& condition) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return condition(last_); });
    }

    station::StationSnapshot Last() {
        const std::lock_guard lock(mutex_);
        return last_;
    }
    std::vector<station::DeviceRow> Rows() {
        const std::lock_guard lock(mutex_);
        return rows_;
    }
    std::vector<std::string> SaidLines() {
        const std::lock_guard lock(mutex_);
        return said_;
    }
    // The first port's values as they changed, snapshot after snapshot.
    std::vector<std::string> ValuesShown() {
        const std::lock_guard lock(mutex_);
        return valuesShown_;
    }
    bool acceptRows_ = true;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    station::StationSnapshot last_;
    std::vector<station::DeviceRow> rows_;
    std::vector<std::string> said_;
    std::vector<std::string> valuesShown_;
};

class SupervisorRun : public ::testing::Test {
protected:
    void SetUp() override { fw::SetLanguage(fw::Language::English); }

    station::SupervisorSettings Settings(const std::string& script, int count) {
        station::SupervisorSettings settings;
        settings.job = station::StationJob::Batch;
        settings.file = "profile.ini";
        settings.bytes = script;
        settings.count = count;
        settings.program = SCRIPTED_WORKER_PATH;
        settings.language = "en";
        return settings;
    }

    static std::vector<station::StationPort> Ports(int n) {
        std::vector<station::StationPort> ports;
        for (int i = 1; i <= n; ++i) {
            ports.push_back(station::StationPort{i, ""});
        }
        return ports;
    }

    static int Count(const std::vector<station::DeviceRow>& rows, bool ok) {
        return static_cast<int>(
            std::count_if(rows.begin(), rows.end(), [ok](const auto& r) { return r.ok == ok; }));
    }

    Recorder recorder_;
};

TEST_F(SupervisorRun, WorksTheCountOverThePortsAndShowsEachPortsVerdict) {
    station::Supervisor supervisor(
        Ports(3), Settings("claim\nstep writing 4\nstep checking 0\n2:fail wrong value\nok\n", 7),
        recorder_);
    const auto result = supervisor.Run();
    ASSERT_TRUE(result);
    const auto rows = recorder_.Rows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(result->done, 7);
    EXPECT_EQ(result->failed, Count(rows, false));
    EXPECT_FALSE(result->Clean());
    const auto last = recorder_.Last();
    ASSERT_EQ(last.ports.size(), 3u);
    EXPECT_EQ(last.done, 7);
    EXPECT_EQ(last.count, 7);
    for (const station::DeviceRow& row : rows) {
        EXPECT_EQ(row.ok, row.port != "2") << row.port;
    }
    const station::PortState& failing = last.ports[1];
    EXPECT_EQ(failing.label, "COM2");
    EXPECT_EQ(failing.ok, 0);
    EXPECT_EQ(failing.phase, PortPhase::Failed);
    EXPECT_TRUE(Contains(failing.lastVerdict, "wrong value")) << failing.lastVerdict;
    EXPECT_EQ(last.ports[0].phase, PortPhase::Ok);
    EXPECT_EQ(last.ports[0].permille, 1000);
    EXPECT_EQ(last.ports[0].ok + last.ports[1].failed + last.ports[2].ok, 7);
}

// Where the device's own values came from stays until the port's next device.
TEST_F(SupervisorRun, APortShowsWhereItsDevicesValuesCameFromUntilTheNextDevice) {
    station::Supervisor supervisor(Ports(1), Settings("claim\nvalues pool ids row 17\nok\n", 2),
                                   recorder_);
    ASSERT_TRUE(supervisor.Run());
    EXPECT_EQ(recorder_.ValuesShown(),
              (std::vector<std::string>{"", "pool ids row 17", "", "pool ids row 17"}));
}

TEST_F(SupervisorRun, AWorkerThatDiesWithItsDeviceFailsThatDeviceAndThePortGoesOn) {
    // Every worker on port 1 crashes mid-transfer.
    station::Supervisor supervisor(Ports(2), Settings("claim\ntransfer 512 1024\n1:die\nok\n", 4),
                                   recorder_);
    const auto result = supervisor.Run();
    ASSERT_TRUE(result);
    const auto rows = recorder_.Rows();
    ASSERT_EQ(rows.size(), 4u);
    // Every device port 1 took died with its worker and is failed, the bytes
    // it had sent kept; the port itself stayed in use.
    for (const station::DeviceRow& row : rows) {
        if (row.port == "COM1") {
            EXPECT_FALSE(row.ok);
            EXPECT_EQ(row.bytes, 512);
            EXPECT_TRUE(Contains(row.message, "3")) << row.message;
        } else {
            EXPECT_TRUE(row.ok) << row.port;
        }
    }
    EXPECT_GE(Count(rows, false), 1);
    EXPECT_EQ(result->outOfUse, 0);
    EXPECT_NE(recorder_.Last().ports[0].phase, PortPhase::OutOfUse);
}

TEST_F(SupervisorRun, FinishFromAnotherThreadTakesNoNewDeviceAndLetsThoseInFlightEnd) {
    // Port 1 has its device and works on; ports 2 and 3 still wait for one.
    station::Supervisor supervisor(
        Ports(3), Settings("1:claim\n1:step writing 2\n1:transfer 1 2\n2:hang\n3:hang\n1:ok\n", 0),
        recorder_);
    std::optional<station::StationResult> result;
    std::thread run([&] { result = supervisor.Run(); });
    ASSERT_TRUE(recorder_.WaitFor([](const auto& s) { return s.done >= 1; }));
    supervisor.Finish();
    run.join();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->interrupted);
    EXPECT_EQ(result->done, recorder_.Last().done);
    EXPECT_EQ(Count(recorder_.Rows(), false), 0);
    const auto said = recorder_.SaidLines();
    EXPECT_FALSE(said.empty());
}

TEST_F(SupervisorRun, AbortCancelsTheDevicesInFlight) {
    station::Supervisor supervisor(Ports(2), Settings("claim\nhang\n", 0), recorder_);
    std::optional<station::StationResult> result;
    std::thread run([&] { result = supervisor.Run(); });
    ASSERT_TRUE(recorder_.WaitFor([](const auto& s) {
        return std::all_of(s.ports.begin(), s.ports.end(),
                           [](const auto& p) { return p.phase == PortPhase::Working; });
    }));
    // Both hold a granted device now; Finish alone would wait for them.
    std::this_thread::sleep_for(200ms);
    supervisor.Abort();
    run.join();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->interrupted);
    EXPECT_TRUE(recorder_.Last().aborting);
    EXPECT_EQ(recorder_.Rows().size(), 0u);  // interrupted ends carry no row here
}

TEST_F(SupervisorRun, PortsWhoseWorkersCannotStartAreOutOfUseWithTheReason) {
    station::SupervisorSettings settings = Settings("ok\n", 0);
    settings.program = "/nonexistent/tirvelctl";
    station::Supervisor supervisor(Ports(2), settings, recorder_);
    const auto result = supervisor.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outOfUse, 2);
    for (const station::PortState& port : recorder_.Last().ports) {
        EXPECT_EQ(port.phase, PortPhase::OutOfUse);
        EXPECT_TRUE(Contains(port.state, port.label)) << port.state;
    }
}

TEST_F(SupervisorRun, APortWithNoDeviceIsGivenUpAndTheOthersFinishTheCount) {
    station::Supervisor supervisor(Ports(2), Settings("2:none\nclaim\nok\n", 3), recorder_);
    const auto result = supervisor.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->done, 3);
    EXPECT_EQ(result->outOfUse, 1);
    EXPECT_EQ(recorder_.Last().ports[1].phase, PortPhase::OutOfUse);
    EXPECT_EQ(recorder_.Last().ports[0].ok, 3);
}

TEST_F(SupervisorRun, ARowTheReportCannotTakeMakesTheRunUnclean) {
    recorder_.acceptRows_ = false;
    station::Supervisor supervisor(Ports(1), Settings("claim\nok\n", 2), recorder_);
    const auto result = supervisor.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->done, 2);
    EXPECT_EQ(result->failed, 0);
    EXPECT_TRUE(result->reportFailed);
    EXPECT_FALSE(result->Clean());
}

}  // namespace
