// What every pool store promises, in the station's file and on the server
// alike: rows in the file's order, each device's row kept, bytes exact.
#include <gtest/gtest.h>

#include "PoolTest.h"

namespace {

using pooltest::Backing;
using pooltest::PoolTest;
using pooltest::Rows;
using records::PoolError;
using records::PoolImportRow;
using records::PoolRowState;

// Cells that no text conversion would leave alone.
const std::vector<PoolImportRow> kOddBytes = {
    {4, {std::string("\x00\xFF", 2), ""}},
    {7, {"\xC4\xE3", "pw,\"2\"\n"}},
};

template <class Call>
PoolError::Reason ReasonOf(Call&& call) {
    try {
        call();
    } catch (const PoolError& error) {
        return error.reason();
    }
    ADD_FAILURE() << "no PoolError";
    return PoolError::Reason::Malformed;
}

TEST_P(PoolTest, RowsAreDrawnInTheFilesOrderWithTheirBytesExact) {
    auto store = Open();
    store->Import("sim", {"2. APN", "7"}, kOddBytes);
    const auto first = store->Draw("sim", "860000000000001", "st1");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(first->line, 4);
    EXPECT_EQ(first->cells, kOddBytes[0].cells);
    EXPECT_EQ(first->state, PoolRowState::Tied);
    EXPECT_EQ(first->station, "st1");
    EXPECT_EQ(first->imei, "860000000000001");
    EXPECT_EQ(first->tiedAt.size(), 24u) << first->tiedAt;
    const auto second = store->Draw("sim", std::string("86\xFF", 3), "st2");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->id, 2);
    EXPECT_EQ(second->cells, kOddBytes[1].cells);
    EXPECT_EQ(store->Draw("sim", "860000000000003", "st1"), std::nullopt);
}

TEST_P(PoolTest, ADeviceWorkedAgainGetsItsRowBack) {
    auto store = Open();
    store->Import("p", {"1", "2"}, Rows(3));
    const auto drawn = store->Draw("p", "A", "st1");
    ASSERT_TRUE(drawn);
    EXPECT_TRUE(drawn->drawnNow);
    // Held before: not this draw's to give back.
    EXPECT_FALSE(store->Draw("p", "A", "st2")->drawnNow);
    EXPECT_EQ(store->Draw("p", "A", "st2"), drawn);
    store->MarkWritten("p", drawn->id, "A");
    store->MarkWritten("p", drawn->id, "A");
    const auto again = store->Draw("p", "A", "st2");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, drawn->id);
    EXPECT_EQ(again->state, PoolRowState::Written);
    EXPECT_TRUE(again->writtenAt);
    EXPECT_EQ(store->ForImei("A"), std::vector{*again});
}

TEST_P(PoolTest, AReleasedRowIsTheNextDrawnAndOnlyItsDeviceReleasesIt) {
    auto store = Open();
    store->Import("p", {"1", "2"}, Rows(3));
    const auto a = store->Draw("p", "A", "st1");
    const auto b = store->Draw("p", "B", "st1");
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(store->Release("p", a->id, "B"));
    store->MarkWritten("p", b->id, "B");
    EXPECT_FALSE(store->Release("p", b->id, "B"));
    EXPECT_EQ(ReasonOf([&] { store->MarkWritten("p", b->id, "A"); }), PoolError::Reason::NotTied);
    EXPECT_TRUE(store->Release("p", a->id, "A"));
    EXPECT_TRUE(store->ForImei("A").empty());
    const auto c = store->Draw("p", "C", "st1");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->id, a->id);
}

TEST_P(PoolTest, CountsFollowEachRowsState) {
    auto store = Open();
    store->Import("b", {"1", "2"}, Rows(4));
    store->Import("a", {"3"}, {{2, {"x"}}});
    store->MarkWritten("b", store->Draw("b", "A", "st1")->id, "A");
    store->Draw("b", "B", "st1");
    store->Draw("a", "A", "st1");
    const records::PoolStatus b = store->Status("b");
    EXPECT_EQ(b.columns, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(b.importedAt.size(), 24u) << b.importedAt;
    EXPECT_EQ((std::vector<std::int64_t>{b.rows, b.tied, b.written, b.free}),
              (std::vector<std::int64_t>{4, 1, 1, 2}));
    const auto listed = store->List();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "a");
    EXPECT_EQ(listed[0].free, 0);
    EXPECT_EQ(listed[1], b);
    const auto held = store->ForImei("A");
    ASSERT_EQ(held.size(), 2u);
    EXPECT_EQ(held[0].pool, "a");
    EXPECT_EQ(held[1].state, PoolRowState::Written);
}

TEST_P(PoolTest, AnUnknownPoolIsToldApartFromAnEmptyOne) {
    auto store = Open();
    EXPECT_EQ(ReasonOf([&] { store->Draw("none", "A", "st1"); }), PoolError::Reason::Unknown);
    EXPECT_EQ(ReasonOf([&] { store->Status("none"); }), PoolError::Reason::Unknown);
    EXPECT_EQ(ReasonOf([&] { store->Release("none", 1, "A"); }), PoolError::Reason::Unknown);
    EXPECT_EQ(ReasonOf([&] { store->MarkWritten("none", 1, "A"); }), PoolError::Reason::Unknown);
}

TEST_P(PoolTest, APoolIsImportedWholeOrNotAtAll) {
    auto store = Open();
    store->Import("p", {"1"}, {{2, {"x"}}});
    EXPECT_EQ(ReasonOf([&] {
                  store->Import("p", {"1"}, {{2, {"y"}}});
              }),
              PoolError::Reason::Exists);
    EXPECT_EQ(store->Status("p").rows, 1);
    // Two cells a row for one column.
    EXPECT_EQ(ReasonOf([&] { store->Import("q", {"1"}, Rows(3)); }), PoolError::Reason::Malformed);
    EXPECT_EQ(store->List().size(), 1u);
    // Across two of the server's statements, of 20,000 rows each.
    store->Import("big", {"1", "2"}, Rows(20001));
    EXPECT_EQ(store->Status("big").free, 20001);
    EXPECT_EQ(Ask("SELECT count(*) FROM value_pool_cells c JOIN value_pools p ON p.id = c.pool_id "
                  "WHERE p.name = 'big'"),
              "40002");
    EXPECT_EQ(Ask("SELECT line FROM value_pool_rows r JOIN value_pools p ON p.id = r.pool_id "
                  "WHERE p.name = 'big' AND r.row_no = 20001"),
              "20002");
}

INSTANTIATE_TEST_SUITE_P(Stores, PoolTest,
                         ::testing::Values(Backing::StationFile, Backing::LineServer),
                         pooltest::Named);

}  // namespace
