// A batch's value pool as tirvelctl and the station window check it, against
// a real records file holding a real pool.
#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "TempDir.h"
#include "framework/StringTable.h"
#include "job/PoolCheck.h"
#include "records/SqlitePoolStore.h"
#include "res/RecordIds.h"

namespace {

TEST(PoolCheck, RefusesOnlyWhatCannotWork) {
    const testsupport::EnglishForTheTest english;
    const testsupport::TempDir dir;
    const std::string file = "sqlite:" + (dir.Path() / "records.db").string();
    records::SqlitePoolStore(file.substr(7)).Import("ids", {"2. APN", "7"}, {{2, {"a", "1"}}});
    const auto table = std::get<job::ValuesTable>(
        job::ParseValuesTable("IMEI,28,7. Port\n", "v.csv", fw::Language::English));
    const struct {
        std::string records, pool;
        const job::ValuesTable* table;
        std::string refusal;
    } cases[] = {
        {"off", "", &table, ""},
        {"off", "ids", nullptr, fw::LoadText(res::IDS_POOL_NEEDS_RECORDS, {"ids"})},
        {file, "other", nullptr, fw::LoadText(res::IDS_POOL_UNKNOWN, {"other"})},
        {file, "ids", nullptr, ""},
        {file, "ids", &table, fw::LoadText(res::IDS_POOL_ITEM_TWICE, {"7", "v.csv", "ids"})},
        // Nothing listens on port 1: a server out of reach.
        {"postgresql://127.0.0.1:1/line", "ids", &table, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            job::PoolRefusal(*records::ParseRecordsSetting(c.records), c.pool, c.table, "v.csv"),
            c.refusal)
            << c.records << " " << c.pool;
    }
}

}  // namespace
