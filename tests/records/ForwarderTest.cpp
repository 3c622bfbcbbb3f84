// Store and forward against a real server: every queued record lands on it
// exactly once, whoever was killed and when, and a pusher never holds its
// station, not even while the server hangs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "PostgresTest.h"
#include "SampleRecord.h"
#include "TempDir.h"
#include "records/Forwarder.h"
#include "records/PostgresRecordStore.h"

namespace {

using records::BackgroundPusher;
using records::DeviceRecord;
using records::PostgresRecordStore;
using records::PushQueued;
using records::SqliteRecordStore;
using records::StoreError;
using testsupport::Numbered;

constexpr std::chrono::seconds kConnectTimeout(10);

class ForwarderTest : public testsupport::PostgresTest {
protected:
    // The tables there from the start, for the counts taken while pushing.
    void SetUp() override {
        testsupport::PostgresTest::SetUp();
        if (!IsSkipped()) {
            PostgresRecordStore(Uri(), kConnectTimeout);
        }
    }

    std::string LocalPath(const std::string& name) const { return (dir_.Path() / name).string(); }

    // A station's file with records first to last-1 of the series queued
    // for the server.
    std::string QueuedFile(const std::string& name, int first, int last) {
        while (series_.size() < static_cast<std::size_t>(last)) {
            series_.push_back(Numbered(static_cast<int>(series_.size())));
        }
        const std::string path = LocalPath(name);
        SqliteRecordStore local(path, SqliteRecordStore::Queue::ForServer);
        for (int n = first; n < last; ++n) {
            local.Add(series_[static_cast<std::size_t>(n)]);
        }
        return path;
    }

    int ServerRecords() const { return std::stoi(Scalar("SELECT count(*) FROM device_records")); }
    int ServerItems() const { return std::stoi(Scalar("SELECT count(*) FROM record_items")); }

    // Waits for what a thread or process elsewhere does; a bound, not a
    // measure: what never comes fails the test after it.
    static bool Eventually(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // A record of each id on the server, each with its three items, and
    // nothing left queued in the files.
    void ExpectEachOnceOnServer(int records, const std::vector<std::string>& files) {
        EXPECT_EQ(ServerRecords(), records);
        EXPECT_EQ(ServerItems(), 3 * records);
        for (const std::string& path : files) {
            EXPECT_EQ(SqliteRecordStore(path, SqliteRecordStore::Queue::ForServer).QueuedCount(), 0)
                << path;
        }
    }

    // The station's five records queued and the server hung: a push waits
    // for it as long as the timing lets it, an hour. The station's file.
    std::string QueuedBehindAHungServer(BackgroundPusher::Timing& timing) {
        const std::string path = QueuedFile("station.db", 0, 5);
        Server().Pause();
        timing.connectTimeout = std::chrono::hours(1);
        return path;
    }
    // The server back: the push it hung took none of the five.
    void ExpectAllQueuedOnceResumed(const std::string& path) {
        Server().Resume();
        EXPECT_EQ(SqliteRecordStore(path, SqliteRecordStore::Queue::ForServer).QueuedCount(), 5);
    }

    // Whether this process has the file (or its -wal, -shm) open.
    static bool Held(const std::string& path) {
        const std::string file = std::filesystem::canonical(path).string();
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code gone;  // the iterator's own descriptor, closed by now
            if (std::filesystem::read_symlink(fd.path(), gone).string().starts_with(file)) {
                return true;
            }
        }
        return false;
    }

    testsupport::TempDir dir_;
    std::vector<DeviceRecord> series_;  // the same record in every file it is put in
};

TEST_F(ForwarderTest, PushQueuedSendsTheWholeQueueInBatches) {
    SqliteRecordStore local(QueuedFile("station.db", 0, 260), SqliteRecordStore::Queue::ForServer);
    PostgresRecordStore server(Uri(), kConnectTimeout);
    EXPECT_EQ(PushQueued(local, server, 100), 260);
    ExpectEachOnceOnServer(260, {local.Path()});
    const DeviceRecord sample = local.Find({}).front();
    EXPECT_EQ(server.Get(sample.id), local.Get(sample.id));
    EXPECT_EQ(PushQueued(local, server), 0);
}

TEST_F(ForwarderTest, ABatchSentAgainLandsOnce) {
    // As when the pusher died after the server's commit, before the file's.
    SqliteRecordStore local(QueuedFile("station.db", 0, 150), SqliteRecordStore::Queue::ForServer);
    PostgresRecordStore server(Uri(), kConnectTimeout);
    server.AddAll(local.Queued(60));
    EXPECT_EQ(PushQueued(local, server, 50), 150);
    ExpectEachOnceOnServer(150, {local.Path()});
}

TEST_F(ForwarderTest, AServerKilledMidwayGetsEveryRecordOnceWhenBack) {
    const std::string path = QueuedFile("station.db", 0, 600);
    bool lostTheServer = false;
    std::thread pusher([&] {
        SqliteRecordStore local(path, SqliteRecordStore::Queue::ForServer);
        PostgresRecordStore server(Uri(), kConnectTimeout);
        try {
            PushQueued(local, server, 5);
        } catch (const StoreError& error) {
            lostTheServer = error.kind() == StoreError::Kind::Open;
        }
    });
    EXPECT_TRUE(Eventually([&] { return ServerRecords() >= 50; }));
    Server().Kill();
    pusher.join();
    EXPECT_TRUE(lostTheServer) << "the push ended before the server was killed";
    Server().Start();
    SqliteRecordStore local(path, SqliteRecordStore::Queue::ForServer);
    PostgresRecordStore server(Uri(), kConnectTimeout);
    EXPECT_GT(PushQueued(local, server, 5), 0);
    ExpectEachOnceOnServer(600, {path});
}

TEST_F(ForwarderTest, APusherKilledMidwayLeavesNothingTwiceNorLost) {
    const std::string path = QueuedFile("station.db", 0, 600);
    const std::string uri = Uri();
    const pid_t child = ::fork();
    if (child == 0) {
        int rc = 1;
        try {
            SqliteRecordStore local(path, SqliteRecordStore::Queue::ForServer);
            PostgresRecordStore server(uri, kConnectTimeout);
            PushQueued(local, server, 5);
            rc = 0;
        } catch (const std::exception&) {
        }
        ::_exit(rc);
    }
    ASSERT_GT(child, 0);
    EXPECT_TRUE(Eventually([&] { return ServerRecords() >= 50; }));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the pusher had ended before it was killed";
    SqliteRecordStore local(path, SqliteRecordStore::Queue::ForServer);
    PostgresRecordStore server(Uri(), kConnectTimeout);
    PushQueued(local, server, 5);
    ExpectEachOnceOnServer(600, {path});
}

TEST_F(ForwarderTest, TwoStationsPushingAtOnceWithRecordsInCommon) {
    // Records 200-299 are in both files: the two race for the same ids.
    const std::vector<std::string> files = {QueuedFile("a.db", 0, 300),
                                            QueuedFile("b.db", 200, 500)};
    std::vector<std::thread> stations;
    std::vector<int> pushed(2, -1);
    for (std::size_t i = 0; i < files.size(); ++i) {
        stations.emplace_back([&, i] {
            SqliteRecordStore local(files[i], SqliteRecordStore::Queue::ForServer);
            PostgresRecordStore server(Uri(), kConnectTimeout);
            pushed[i] = PushQueued(local, server, 20);
        });
    }
    for (std::thread& station : stations) {
        station.join();
    }
    EXPECT_EQ(pushed, (std::vector<int>{300, 300}));
    ExpectEachOnceOnServer(500, files);
}

TEST_F(ForwarderTest, TheBackgroundPusherSendsWhatIsAddedWhenWoken) {
    const std::string path = QueuedFile("station.db", 0, 10);
    BackgroundPusher::Timing timing;
    timing.interval = std::chrono::hours(1);  // only the start and Wake push
    BackgroundPusher pusher(path, Uri(), timing);
    EXPECT_TRUE(Eventually([&] { return ServerRecords() == 10; }));
    SqliteRecordStore(path, SqliteRecordStore::Queue::ForServer).Add(Numbered(100));
    pusher.Wake();
    EXPECT_TRUE(Eventually([&] { return ServerRecords() == 11; }));
    pusher.Stop();
    EXPECT_EQ(pusher.CurrentStatus().pushed, 11);
    EXPECT_EQ(pusher.CurrentStatus().failures, 0);
    ExpectEachOnceOnServer(11, {path});
}

TEST_F(ForwarderTest, TheBackgroundPusherTriesAgainUntilTheServerIsBack) {
    const std::string path = QueuedFile("station.db", 0, 50);
    Server().Kill();
    BackgroundPusher::Timing timing;
    timing.interval = std::chrono::hours(1);
    timing.retry = {std::chrono::milliseconds(10), std::chrono::milliseconds(100)};
    BackgroundPusher pusher(path, Uri(), timing);
    EXPECT_TRUE(Eventually([&] { return pusher.CurrentStatus().failures >= 2; }));
    EXPECT_FALSE(pusher.CurrentStatus().lastError.empty());
    Server().Start();
    EXPECT_TRUE(Eventually([&] { return pusher.CurrentStatus().pushed == 50; }));
    pusher.Stop();
    EXPECT_TRUE(pusher.CurrentStatus().lastError.empty());
    ExpectEachOnceOnServer(50, {path});
}

TEST_F(ForwarderTest, StoppingThePusherDoesNotWaitForAServerThatHangs) {
    BackgroundPusher::Timing timing;
    // Were Stop to wait for the server, this test would hang: nothing else
    // ends the wait.
    const std::string path = QueuedBehindAHungServer(timing);
    {
        BackgroundPusher pusher(path, Uri(), timing);
        EXPECT_TRUE(Eventually([&] { return pusher.CurrentStatus().attempts >= 1; }));
        pusher.Stop();
        EXPECT_EQ(pusher.CurrentStatus().pushed, 0);
    }
    ExpectAllQueuedOnceResumed(path);
}

// A pusher let go while the server hangs leaves its thread waiting there,
// but with no handle of the station's file: the file can be moved, removed
// or opened by the next run as if the pusher had ended.
TEST_F(ForwarderTest, APusherLetGoHoldsNothingOfTheStationsFile) {
    BackgroundPusher::Timing timing;
    timing.stopWait = std::chrono::milliseconds(0);  // never waited for: let go at once
    const std::string path = QueuedBehindAHungServer(timing);
    {
        BackgroundPusher pusher(path, Uri(), timing);
        EXPECT_TRUE(Eventually([&] { return pusher.CurrentStatus().attempts >= 1 && !Held(path); }))
            << "the file is held while the server is waited for";
    }
    EXPECT_FALSE(Held(path));
    ExpectAllQueuedOnceResumed(path);
}

}  // namespace
