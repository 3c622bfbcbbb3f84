// Many workers drawing from one pool at once, as processes of their own (a
// station's workers on one file, twenty stations on one server): each row
// goes to one device, none is lost, and what a killed worker or a killed
// server leaves is still each device's own.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "PoolTest.h"
#include "records/LinePoolStore.h"

namespace {

using pooltest::Backing;
using pooltest::PoolTest;
using pooltest::Rows;
using records::StoreError;
using testsupport::ChildProcess;

// "ROW IMEI" lines as pool_drawer prints them, by row.
std::multimap<std::int64_t, std::string> Draws(const std::filesystem::path& output) {
    std::multimap<std::int64_t, std::string> draws;
    std::ifstream in(output);
    std::string row;
    std::string imei;
    while (in >> row >> imei) {
        if (row != "none") {
            draws.emplace(std::stoll(row), imei);
        }
    }
    return draws;
}

template <class Ready>
bool Eventually(Ready&& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class PoolDrawersTest : public PoolTest {
protected:
    std::unique_ptr<ChildProcess> Drawer(int number, int count, int pauseMs = 0) {
        const std::string name = "drawer" + std::to_string(number);
        outputs_.push_back(scratch_.Path() / (name + ".out"));
        return std::make_unique<ChildProcess>(
            POOL_DRAWER_PATH,
            std::vector<std::string>{Setting(), "line", std::to_string(count),
                                     "86" + std::to_string(number) + "0000",
                                     "st" + std::to_string(number), std::to_string(pauseMs)},
            outputs_.back(), scratch_.Path() / (name + ".err"));
    }

    testsupport::TempDir scratch_;
    std::vector<std::filesystem::path> outputs_;
};

TEST_P(PoolDrawersTest, EachRowGoesToOneDeviceAndAKilledDrawerKeepsWhatItTook) {
    constexpr int kFast = 7;
    constexpr int kEach = 50;
    constexpr int kRows = kFast * kEach - 30;  // the fast ones run the pool dry
    auto store = Open();
    store->Import("line", {"1", "2"}, Rows(kRows));

    auto slow = Drawer(0, kEach, 100);
    ASSERT_TRUE(Eventually([&] { return Draws(outputs_[0]).size() >= 3; }));
    std::vector<std::unique_ptr<ChildProcess>> fast;
    for (int i = 1; i <= kFast; ++i) {
        fast.push_back(Drawer(i, kEach));
    }
    slow->Signal(SIGKILL);
    EXPECT_EQ(slow->Wait(), 128 + SIGKILL);
    for (auto& drawer : fast) {
        EXPECT_EQ(drawer->Wait(std::chrono::seconds(120)), 0);
    }

    std::multimap<std::int64_t, std::string> all;
    for (const auto& output : outputs_) {
        all.merge(Draws(output));
    }
    std::set<std::int64_t> rows;
    for (const auto& [row, imei] : all) {
        EXPECT_TRUE(rows.insert(row).second) << "row " << row << " drawn twice";
    }
    // What the killed drawer was told it had is still its devices'.
    for (const auto& [row, imei] : Draws(outputs_[0])) {
        const auto held = store->ForImei(imei);
        ASSERT_EQ(held.size(), 1u) << imei;
        EXPECT_EQ(held[0].id, row);
    }
    // Every row is tied, to a device a drawer was told of, or to the one the
    // killed drawer had tied and not yet printed.
    const records::PoolStatus status = store->Status("line");
    EXPECT_EQ(status.free, 0);
    EXPECT_EQ(status.tied, kRows);
    EXPECT_GE(all.size() + 1, static_cast<std::size_t>(kRows));
}

INSTANTIATE_TEST_SUITE_P(Stores, PoolDrawersTest,
                         ::testing::Values(Backing::StationFile, Backing::LineServer),
                         pooltest::Named);

class PoolServerTest : public PoolTest {};

TEST_P(PoolServerTest, DrawsGoOnAfterTheServerIsKilledAndStartedAgain) {
    auto store = Open();
    store->Import("line", {"1"}, {{2, {"a"}}, {3, {"b"}}, {4, {"c"}}, {5, {"d"}}});
    const auto before = store->Draw("line", "A", "st1");
    ASSERT_TRUE(before);
    KillServer();
    Server().Start();
    // The connection the store held died with the server: the first draw
    // after the restart finds it gone, and a later one connects anew.
    int lost = 0;
    std::optional<records::PoolRow> after;
    ASSERT_TRUE(Eventually([&] {
        try {
            after = store->Draw("line", "B", "st1");
            return true;
        } catch (const StoreError& error) {
            lost += error.kind() == StoreError::Kind::Open ? 1 : 0;
            return false;
        }
    }));
    EXPECT_GE(lost, 1);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->id, 2);
    EXPECT_EQ(store->Draw("line", "A", "st1"), before);
    EXPECT_EQ(store->Draw("line", "C", "st1")->id, 3);
}

TEST_P(PoolServerTest, AStationCutOffDrawsOnlyFromItsBlockAndTheServerGetsItsTies) {
    Open()->Import("line", {"1", "2"}, Rows(12));
    records::LinePoolStore line(Uri(), FilePath(), "st1", 3);
    EXPECT_EQ(line.Draw("line", "A", "")->id, 1);
    // Rows 2-4 are the station's block now: another station passes them.
    records::PostgresPoolStore other(Uri(), std::chrono::seconds(10));
    EXPECT_EQ(other.Status("line").reserved, 3);
    EXPECT_EQ(other.Draw("line", "X", "st2")->id, 5);

    KillServer();
    EXPECT_EQ(line.Draw("line", "B", "")->id, 2);
    EXPECT_EQ(line.Draw("line", "C", "")->id, 3);
    EXPECT_EQ(line.Draw("line", "B", "")->id, 2);
    line.MarkWritten("line", 3, "C");
    EXPECT_EQ(line.Draw("line", "D", "")->id, 4);
    EXPECT_TRUE(line.Release("line", 4, "D"));
    EXPECT_EQ(line.Draw("line", "E", "")->id, 4);
    try {
        line.Draw("line", "F", "");
        ADD_FAILURE() << "a row was drawn past the block";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Open);
    }

    Server().Start();
    std::optional<records::PoolRow> back;
    ASSERT_TRUE(Eventually([&] {
        try {
            back = line.Draw("line", "F", "");
            return true;
        } catch (const StoreError& error) {
            return error.kind() != StoreError::Kind::Open;
        }
    }));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, 6);
    records::PostgresPoolStore server(Uri(), std::chrono::seconds(10));
    const auto held = [&](const std::string& imei) {
        const auto rows = server.ForImei(imei);
        return rows.size() == 1 ? std::pair(rows[0].id, rows[0].state)
                                : std::pair(std::int64_t{-1}, records::PoolRowState::Free);
    };
    EXPECT_EQ(held("B"), std::pair(std::int64_t{2}, records::PoolRowState::Tied));
    EXPECT_EQ(held("C"), std::pair(std::int64_t{3}, records::PoolRowState::Written));
    EXPECT_EQ(held("D").first, -1);
    EXPECT_EQ(held("E"), std::pair(std::int64_t{4}, records::PoolRowState::Tied));
    // The block is topped up again: 7-9.
    const records::PoolStatus status = server.Status("line");
    EXPECT_EQ(status.reserved, 3);
    EXPECT_EQ(status.tied + status.written, 6);
}

// Two stations on one machine keep their blocks in one file: cut off, each
// draws only the rows the server set aside for it, and still knows the
// pool's columns.
TEST_P(PoolServerTest, StationsSharingAFileDrawOnlyTheirOwnBlocksOffline) {
    Open()->Import("line", {"2. APN", "28"}, Rows(12));
    records::LinePoolStore first(Uri(), FilePath(), "st1", 2);
    records::LinePoolStore second(Uri(), FilePath(), "st2", 2);
    EXPECT_EQ(first.Draw("line", "A", "")->id, 1);
    EXPECT_EQ(second.Draw("line", "B", "")->id, 4);

    KillServer();
    EXPECT_EQ(second.Status("line").columns, (std::vector<std::string>{"2. APN", "28"}));
    EXPECT_EQ(second.Draw("line", "C", "")->id, 5);
    EXPECT_TRUE(second.Release("line", 5, "C"));
    EXPECT_EQ(second.Draw("line", "C", "")->id, 5);
    EXPECT_EQ(second.Draw("line", "D", "")->id, 6);
    EXPECT_TRUE(second.Release("line", 6, "D"));
    EXPECT_EQ(first.Draw("line", "E", "")->id, 2);
    EXPECT_EQ(first.Draw("line", "F", "")->id, 3);
    EXPECT_THROW(first.Draw("line", "G", ""), StoreError);
    Server().Start();
}

// The rows a station keeps for a server that goes are not lost to the line
// while it stays: once no free row is left, the station draws its own.
TEST_P(PoolServerTest, APoolIsDrawnToItsLastRowThroughTheStationsBlock) {
    Open()->Import("line", {"1", "2"}, Rows(4));
    records::LinePoolStore line(Uri(), FilePath(), "st1", 2);
    records::PostgresPoolStore other(Uri(), std::chrono::seconds(10));
    EXPECT_EQ(line.Draw("line", "A", "")->id, 1);
    EXPECT_EQ(other.Draw("line", "X", "st2")->id, 4);
    EXPECT_EQ(line.Draw("line", "B", "")->id, 2);
    EXPECT_EQ(line.Draw("line", "C", "")->id, 3);
    EXPECT_EQ(line.Draw("line", "D", ""), std::nullopt);
    line.MarkWritten("line", 3, "C");
    EXPECT_EQ(other.ForImei("B").at(0).state, records::PoolRowState::Tied);
    EXPECT_EQ(other.ForImei("C").at(0).state, records::PoolRowState::Written);
    EXPECT_EQ(other.Status("line").reserved, 0);
}

// A station's file still holding the block of an earlier pool of the name
// (made anew on the server, or another server's) draws nothing from it:
// cut off, a device gets a row of the server's pool, with its cells.
TEST_P(PoolServerTest, ABlockKeptForAnEarlierPoolOfTheNameIsNeverDrawn) {
    records::SqlitePoolStore file(FilePath(), records::SqlitePoolStore::Queue::ForServer);
    records::PoolStatus earlier;
    earlier.name = "line";
    earlier.columns = {"1", "2"};
    earlier.importedAt = "2020-01-01T00:00:00.000Z";
    records::PoolRow stale;
    stale.id = 2;
    stale.line = 3;
    stale.station = "st1";
    stale.cells = {"old2", "old2"};
    file.KeepReserved(earlier, {stale});

    Open()->Import("line", {"1", "2"}, Rows(6));
    records::LinePoolStore line(Uri(), FilePath(), "st1", 2);
    EXPECT_EQ(line.Draw("line", "A", "")->id, 1);
    KillServer();
    const std::optional<records::PoolRow> offline = line.Draw("line", "B", "");
    ASSERT_TRUE(offline);
    EXPECT_EQ(offline->cells, (std::vector<std::string>{"id" + std::to_string(offline->id),
                                                        "pw" + std::to_string(offline->id)}));
    Server().Start();
}

INSTANTIATE_TEST_SUITE_P(Server, PoolServerTest, ::testing::Values(Backing::LineServer),
                         pooltest::Named);

}  // namespace
