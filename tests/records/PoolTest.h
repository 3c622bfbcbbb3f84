// The value pools' cases run against both stores: the station's own file
// and a real PostgreSQL server of the suite's own (a fresh database a case).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "PostgresTest.h"
#include "TempDir.h"
#include "records/PostgresPoolStore.h"
#include "records/SqlitePoolStore.h"

namespace pooltest {

enum class Backing { StationFile, LineServer };

inline std::string Named(const ::testing::TestParamInfo<Backing>& info) {
    return info.param == Backing::StationFile ? "StationFile" : "LineServer";
}

// rows rows of two cells each, "id<n>" and "pw<n>", from line 2 on.
inline std::vector<records::PoolImportRow> Rows(int rows) {
    std::vector<records::PoolImportRow> made;
    for (int i = 1; i <= rows; ++i) {
        made.push_back({i + 1, {"id" + std::to_string(i), "pw" + std::to_string(i)}});
    }
    return made;
}

class PoolTest : public testsupport::PostgresTestOn<::testing::TestWithParam<Backing>> {
protected:
    void SetUp() override {
        if (GetParam() == Backing::LineServer) {
            UseServer();
        }
    }

    bool OnServer() const { return GetParam() == Backing::LineServer; }
    std::string FilePath() const { return (dir_.Path() / "records.db").string(); }
    // What a drawing process is told to open: a URI or "sqlite:PATH".
    std::string Setting() const { return OnServer() ? Uri() : "sqlite:" + FilePath(); }

    std::unique_ptr<records::PoolStore> Open() const {
        if (OnServer()) {
            return std::make_unique<records::PostgresPoolStore>(Uri(), std::chrono::seconds(10));
        }
        return std::make_unique<records::SqlitePoolStore>(FilePath());
    }

    // The server killed, and the backends that served the stores with it.
    static void KillServer() { Server().Kill(); }

    // The first value the query gives, as text, read beside the store.
    std::string Ask(const std::string& sql) const {
        if (OnServer()) {
            return Scalar(sql);
        }
        sqlite3* db = nullptr;
        sqlite3_open(FilePath().c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        std::string value;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return value;
    }

private:
    testsupport::TempDir dir_;
};

}  // namespace pooltest
