// A batch's value pool as tirvelctl and the station window check it before
// any port opens, against a real records file holding a real pool: refused
// with the records off, for a pool not there, and for an item the values
// table gives as well; a server out of reach is no refusal.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "LanguageForTheTest.h"
#include "TempDir.h"
#include "framework/StringTable.h"
#include "job/PoolCheck.h"
#include "records/SqlitePoolStore.h"
#include "res/RecordIds.h"

namespace {

struct PoolCase {
    const char* name;
    const char* records;  // "file": the test's records file
    const char* pool;
    const char* table;  // the values table's bytes; null: none
    fw::UINT refusal;   // 0: none
    std::vector<std::string> args;
};

void PrintTo(const PoolCase& c, std::ostream* os) {
    *os << c.name;
}

class PoolCheck : public ::testing::TestWithParam<PoolCase> {
protected:
    PoolCheck() {
        records::SqlitePoolStore(File()).Import("ids", {"2. APN", "7"}, {{2, {"apn-one", "7001"}}});
    }
    std::string File() const { return (dir_.Path() / "records.db").string(); }

    testsupport::EnglishForTheTest english_;
    testsupport::TempDir dir_;
};

TEST_P(PoolCheck, RefusesOnlyWhatCannotWork) {
    const PoolCase& c = GetParam();
    const std::string given = c.records == std::string("file") ? "sqlite:" + File() : c.records;
    const std::optional<records::RecordsSetting> where = records::ParseRecordsSetting(given);
    ASSERT_TRUE(where) << given;
    std::optional<job::ValuesTable> table;
    if (c.table != nullptr) {
        auto parsed = job::ParseValuesTable(c.table, "v.csv", fw::Language::English);
        ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(parsed));
        table = std::get<job::ValuesTable>(std::move(parsed));
    }
    const std::string refusal =
        job::PoolRefusal(*where, c.pool, table ? &*table : nullptr, "v.csv");
    EXPECT_EQ(refusal, c.refusal != 0 ? fw::LoadText(c.refusal, c.args) : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Pools, PoolCheck,
    ::testing::Values(
        PoolCase{"NoPoolNeedsNoRecords", "off", "", nullptr, 0, {}},
        PoolCase{"RecordsOff", "off", "ids", nullptr, res::IDS_POOL_NEEDS_RECORDS, {"ids"}},
        PoolCase{"NotThere", "file", "other", nullptr, res::IDS_POOL_UNKNOWN, {"other"}},
        PoolCase{"There", "file", "ids", nullptr, 0, {}},
        PoolCase{"TableGivesOtherItems", "file", "ids", "IMEI,3. Port,28\n", 0, {}},
        PoolCase{"ByNumberBothWays",
                 "file",
                 "ids",
                 "IMEI,2\n",
                 res::IDS_POOL_ITEM_TWICE,
                 {"2", "v.csv", "ids"}},
        PoolCase{"ByKeyAgainstNumber",
                 "file",
                 "ids",
                 "IMEI,28,7. Port\n",
                 res::IDS_POOL_ITEM_TWICE,
                 {"7", "v.csv", "ids"}},
        // Nothing listens on port 1: the server cannot be reached.
        PoolCase{"ServerOutOfReach", "postgresql://127.0.0.1:1/line", "ids", nullptr, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
