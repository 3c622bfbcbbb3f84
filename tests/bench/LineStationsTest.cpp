// The line bench's stations and browsers on a real server and the real
// tirvel-line: what the stations publish is on the server, a change is timed
// only in the Publish that made it, and a reader times what its stream tells
// once, never a state the stream repeats on opening.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "LineServer.h"
#include "LineStations.h"
#include "PostgresTest.h"
#include "StateMarks.h"
#include "records/ServerRecordStore.h"

namespace {

class LineStationsTest : public testsupport::PostgresTest {
protected:
    void SetUp() override {
        testsupport::PostgresTest::SetUp();
        if (!IsSkipped()) {
            records::OpenServerStore(Uri(), std::chrono::seconds(10));
        }
    }
};

TEST_F(LineStationsTest, EveryStationsFirstStateIsOnTheServer) {
    const bench::Stations stations(Uri());
    EXPECT_EQ(stations.Changes(), bench::kStations);
    EXPECT_EQ(Scalar("SELECT count(*) FROM line_stations"), "20");
    EXPECT_EQ(Scalar("SELECT count(*) FROM line_station_ports"), "160");
    EXPECT_EQ(Scalar("SELECT state_text FROM line_station_ports WHERE station = 'line-st05' AND "
                     "port_no = 0"),
              bench::MarkedState(1));
}

TEST_F(LineStationsTest, OnlyTheLastPublishsChangesAreTimed) {
    bench::Stations stations(Uri());
    EXPECT_LT(stations.Age("line-st01", 1), 0);
    stations.Publish(std::chrono::seconds(1));
    // Four changes a station in the second: numbers 2 to 5.
    EXPECT_EQ(stations.Changes(), bench::kStations * 5);
    EXPECT_GE(stations.Age("line-st01", 2), 0);
    EXPECT_GE(stations.Age("line-st20", 5), 0);
    EXPECT_LT(stations.Age("line-st01", 1), 0);
    EXPECT_LT(stations.Age("line-st01", 6), 0);
    EXPECT_LT(stations.Age("line-st21", 2), 0);
    EXPECT_LT(stations.Age("elsewhere", 2), 0);
    stations.Publish(std::chrono::seconds(1));
    EXPECT_LT(stations.Age("line-st01", 5), 0);
    EXPECT_GE(stations.Age("line-st01", 6), 0);
}

TEST_F(LineStationsTest, TheLatestChangeOfEveryStationReachesTheServer) {
    bench::Stations stations(Uri());
    stations.Publish(std::chrono::seconds(1));
    // Each station's fourth change of the second, its fifth in all, on port 0.
    const std::string last =
        "SELECT count(*) FROM line_station_ports WHERE port_no = 0 AND "
        "state_text = '" +
        bench::MarkedState(5) + "'";
    std::string found;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (found != "20" && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        found = Scalar(last);
    }
    EXPECT_EQ(found, "20");
    EXPECT_EQ(Scalar("SELECT count(*) FROM line_station_ports WHERE port_no > 0 AND "
                     "state_text LIKE 'writing, change #%'"),
              "0");
}

TEST_F(LineStationsTest, AReaderTimesEachChangeItsStreamTellsOnce) {
    testsupport::LineServer line(TIRVEL_LINE_PATH, Uri());
    const testsupport::HttpClient& client = line.Http();
    const testsupport::HttpHeaders auth{{"Authorization", "Bearer " + line.AddToken("bench")}};
    bench::Stations stations(Uri());
    EXPECT_THROW(bench::Reader(client, {}, stations), std::runtime_error);
    EXPECT_THROW(bench::Reader(client, {{"Authorization", "Bearer not-a-token"}}, stations),
                 std::runtime_error);
    // Opened after the first states: the stream starts with them, untimed.
    bench::Reader reader(client, auth, stations);
    stations.Publish(std::chrono::seconds(1));
    std::size_t timed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Each station's last change always comes: the latest state is never lost.
    while (timed < 80 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        timed += reader.Take().size();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    timed += reader.Take().size();
    // Coalesced on a busy machine, a change may be told with the next: at
    // least each station's last, never more than were made.
    EXPECT_GE(timed, static_cast<std::size_t>(bench::kStations));
    EXPECT_LE(timed, static_cast<std::size_t>(bench::kStations * 4));
    EXPECT_FALSE(reader.Broken());
}

}  // namespace
