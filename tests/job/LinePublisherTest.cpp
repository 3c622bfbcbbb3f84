// A station's live state on a real server, as the dashboard reads it: the
// rows, the change told on the channel it listens on, and a station that the
// server never holds up, not even while the server hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "LineListener.h"
#include "PostgresTest.h"
#include "common/Sha256.h"
#include "job/LinePublisher.h"

namespace {

using job::LinePublisher;
using station::PortPhase;
using station::PortState;
using station::StationSnapshot;

const std::string kStation = "line7-st3";
const std::string kProfileBytes = "apn=internet\n";

class LinePublisherTest : public testsupport::PostgresTest {
protected:
    void SetUp() override {
        testsupport::PostgresTest::SetUp();
        if (!IsSkipped()) {
            where_.kind = records::RecordsSetting::Kind::Server;
            where_.serverUri = Uri();
            listener_ = std::make_unique<testsupport::LineListener>(Uri(), kStation);
            // No heartbeat in the way of the changes counted, unless asked.
            timing_.heartbeat = std::chrono::hours(1);
            timing_.retry = {std::chrono::milliseconds(50), std::chrono::milliseconds(200)};
        }
    }

    std::unique_ptr<LinePublisher> Publisher(int ports = 2) {
        return std::make_unique<LinePublisher>(
            where_,
            job::LineJob{kStation, station::StationJob::Batch, "apn.txt", kProfileBytes, ports},
            timing_);
    }

    static StationSnapshot Snapshot(int done, int ports = 2) {
        StationSnapshot snapshot;
        snapshot.done = done;
        snapshot.count = 40;
        snapshot.seconds = 60;
        for (int i = 0; i < ports; ++i) {
            PortState port;
            port.label = "/dev/ttyUSB" + std::to_string(i);
            port.phase = PortPhase::Working;
            port.state = "writing";
            snapshot.ports.push_back(port);
        }
        return snapshot;
    }

    // Written, or found no change, in a time no server takes to answer.
    static void Settled(LinePublisher& publisher) {
        ASSERT_TRUE(publisher.Settle(std::chrono::seconds(20)));
    }

    std::string Row(const std::string& columns) const {
        return Scalar("SELECT " + columns + " FROM line_stations WHERE station = '" + kStation +
                      "'");
    }
    std::string Ports(const std::string& column) const {
        return Scalar("SELECT string_agg(" + column +
                      ", ',' ORDER BY port_no) FROM line_station_ports WHERE station = '" +
                      kStation + "'");
    }

    records::RecordsSetting where_;
    LinePublisher::Timing timing_;
    std::unique_ptr<testsupport::LineListener> listener_;
};

TEST_F(LinePublisherTest, WritesWhatTheTilesShowAndTellsEachChange) {
    auto publisher = Publisher(7);
    StationSnapshot snapshot = Snapshot(30, 7);
    snapshot.failed = 2;
    snapshot.seconds = 7200;  // 15 an hour
    const PortPhase phases[] = {PortPhase::Idle,    PortPhase::Working,   PortPhase::Ok,
                                PortPhase::Failed,  PortPhase::Cancelled, PortPhase::OutOfUse,
                                PortPhase::Finished};
    for (int i = 0; i < 7; ++i) {
        snapshot.ports[i].phase = phases[i];
    }
    PortState& port = snapshot.ports[2];
    port.state = "设备正常";  // the station's own words
    port.imei = "860000000001002";
    port.permille = 1000;
    port.ok = 5;
    port.failed = 1;
    port.lastVerdict = "OK";
    port.lastOk = true;
    port.values = "ids.csv line 4";
    publisher->Publish(snapshot);
    Settled(*publisher);
    EXPECT_EQ(listener_->Told(), 1);
    EXPECT_EQ(
        Row("job || ' ' || file_name || ' ' || file_sha256 || ' ' || done || ' ' || failed "
            "|| ' ' || count || ' ' || devices_per_hour || ' ' || phase || ' ' || ports"),
        "batch apn.txt " + common::Sha256::HexDigest(kProfileBytes) + " 30 2 40 15 running 7");
    EXPECT_EQ(Row("started_at = changed_at AND changed_at = heartbeat_at"), "t");
    EXPECT_EQ(Ports("phase"), "idle,working,ok,failed,cancelled,out_of_use,finished");
    EXPECT_EQ(Scalar("SELECT label || '|' || state_text || '|' || imei_text || '|' || permille "
                     "|| '|' || ok || '|' || failed || '|' || last_verdict || '|' || last_ok || "
                     "'|' || values_source FROM line_station_ports WHERE port_no = 2"),
              "/dev/ttyUSB2|设备正常|860000000001002|1000|5|1|OK|true|ids.csv line 4");

    // Finishing, then the end: each a change of its own.
    snapshot.finishing = true;
    publisher->Publish(snapshot);
    Settled(*publisher);
    EXPECT_EQ(Row("phase"), "finishing");
    publisher->End();
    Settled(*publisher);
    EXPECT_EQ(Row("phase"), "ended");
    EXPECT_EQ(Row("started_at < changed_at"), "t");
    EXPECT_EQ(listener_->Told(), 2);
}

// The clock moving on is no change, while the pace it moves is one once the
// tiles show it.
TEST_F(LinePublisherTest, OnlyWhatTheTilesShowIsAChange) {
    auto publisher = Publisher();
    StationSnapshot snapshot = Snapshot(3);
    snapshot.seconds = 3600;
    publisher->Publish(snapshot);
    Settled(*publisher);
    snapshot.seconds = 3601;  // 2.997 an hour: "3.0" still
    publisher->Publish(snapshot);
    Settled(*publisher);
    EXPECT_EQ(listener_->Told(), 1);
    snapshot.seconds = 4000;  // "2.7"
    publisher->Publish(snapshot);
    Settled(*publisher);
    EXPECT_EQ(listener_->Told(), 1);
    EXPECT_EQ(Row("devices_per_hour"), "2.7");
}

// Snapshots come faster than a server answers: while one write waits on the
// server, those after it are not queued but replaced, and the newest goes.
TEST_F(LinePublisherTest, OnlyTheLatestOfManySnapshotsIsWritten) {
    timing_.answerTimeout = std::chrono::seconds(60);
    auto publisher = Publisher();
    publisher->Publish(Snapshot(0));
    Settled(*publisher);
    EXPECT_EQ(listener_->Told(), 1);
    Server().Pause();
    for (int done = 1; done <= 200; ++done) {
        publisher->Publish(Snapshot(done));
    }
    Server().Resume();
    Settled(*publisher);
    EXPECT_EQ(Row("done"), "200");
    // The write the pause held, if it had begun, and the newest.
    EXPECT_LE(listener_->Told(), 2);
}

TEST_F(LinePublisherTest, AHeartbeatComesWhileNothingChanges) {
    timing_.heartbeat = std::chrono::milliseconds(100);
    auto publisher = Publisher();
    publisher->Publish(Snapshot(1));
    Settled(*publisher);
    const std::string changed = Row("changed_at");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Row("heartbeat_at > changed_at") != "t" && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Row("heartbeat_at > changed_at"), "t");
    EXPECT_EQ(Row("changed_at"), changed);
    EXPECT_GE(listener_->Told(), 2);
}

TEST_F(LinePublisherTest, ThePortRowsFollowTheirCount) {
    auto publisher = Publisher();
    for (const int ports : {3, 1, 4}) {
        SCOPED_TRACE(ports);
        publisher->Publish(Snapshot(ports, ports));
        Settled(*publisher);
        std::string labels;
        for (int i = 0; i < ports; ++i) {
            labels += (i == 0 ? "" : ",") + std::string("/dev/ttyUSB") + std::to_string(i);
        }
        EXPECT_EQ(Ports("label"), labels);
    }
}

// A server that hangs holds neither the station's calls nor its end: the
// stop ends the wait. Were it not so, the watchdog lets the server go on
// after a bound no stop takes, and fails the case.
TEST_F(LinePublisherTest, AServerThatHangsHoldsNeitherPublishNorTheEnd) {
    timing_.connectTimeout = std::chrono::minutes(10);
    timing_.answerTimeout = std::chrono::minutes(10);
    // libpq's waits end at the stop: the thread is never let go for it.
    timing_.stopWait = std::chrono::minutes(10);
    auto publisher = Publisher();
    publisher->Publish(Snapshot(0));
    Settled(*publisher);
    Server().Pause();
    std::mutex mutex;
    std::condition_variable over;
    bool done = false;
    bool heldTooLong = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!over.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) {
            heldTooLong = true;
            Server().Resume();
        }
    });
    for (int n = 1; n <= 50; ++n) {
        publisher->Publish(Snapshot(n));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    publisher.reset();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    over.notify_all();
    watchdog.join();
    EXPECT_FALSE(heldTooLong) << "the station waited on a server that hangs";
    if (!heldTooLong) {
        Server().Resume();
    }
}

TEST_F(LinePublisherTest, TheStationComesBackAfterTheServerRestarts) {
    timing_.heartbeat = std::chrono::milliseconds(200);
    auto publisher = Publisher();
    publisher->Publish(Snapshot(1));
    Settled(*publisher);
    Server().Restart();
    publisher->Publish(Snapshot(2));
    Settled(*publisher);
    EXPECT_EQ(Row("done"), "2");
    // And it goes on being heard from.
    const std::string beat = Row("heartbeat_at");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Row("heartbeat_at") == beat && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(Row("heartbeat_at"), beat);
}

TEST_F(LinePublisherTest, RecordsKeptOnlyInTheStationsFilePublishNothing) {
    where_.kind = records::RecordsSetting::Kind::Local;
    auto publisher = Publisher();
    publisher->Publish(Snapshot(1));
    publisher->End();
    publisher.reset();
    EXPECT_EQ(Scalar("SELECT count(*) FROM pg_tables WHERE tablename = 'line_stations'"), "0");
    EXPECT_EQ(listener_->Told(), 0);
}

}  // namespace
