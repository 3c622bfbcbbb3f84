// SQLite as the Windows build compiles it in: the records live in a folder
// the operator names, Chinese included, in WAL mode, and a station's workers
// write one file from several processes at once.
#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "SqliteConnection.h"
#include "TempDir.h"

namespace fs = std::filesystem;
using sqlitetest::Connection;
using sqlitetest::RowBytes;

namespace {

// 设备记录 / 数据库.db: names no single-byte ANSI code page holds.
fs::path ChineseDatabase(const testsupport::TempDir& temp) {
    const fs::path folder = temp.Path() / u8"\u8BBE\u5907\u8BB0\u5F55";
    fs::create_directory(folder);
    return folder / u8"\u6570\u636E\u5E93.db";
}

// The second writer, sqlite_wal_writer.exe beside this program; ended if the
// test leaves before it did.
class WriterProcess : NonCopyable {
public:
    WriterProcess(const fs::path& database, const std::wstring& event, int rows) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const fs::path program = fs::path(self).replace_filename(L"sqlite_wal_writer.exe");
        std::wstring line = L"\"" + program.wstring() + L"\" \"" + database.wstring() + L"\" " +
                            event + L" " + std::to_wstring(rows);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
    }
    ~WriterProcess() {
        if (process_) {
            if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
                TerminateProcess(process_, 99);
            }
            CloseHandle(process_);
        }
    }
    HANDLE Handle() const { return process_; }
    DWORD ExitCode() const {
        WaitForSingleObject(process_, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    HANDLE process_ = nullptr;
};

// The library the programs carry is the Linux build's version, built as the
// records expect it.
TEST(SqliteUnderWineTest, IsTheLinuxVersionWithTheRecordsOptions) {
    EXPECT_STREQ(sqlite3_libversion(), "3.40.1");
    EXPECT_EQ(sqlite3_threadsafe(), 1);
    for (const char* option : {"THREADSAFE=1", "DEFAULT_WAL_SYNCHRONOUS=1", "OMIT_LOAD_EXTENSION",
                               "DQS=0", "DEFAULT_FOREIGN_KEYS"}) {
        EXPECT_EQ(sqlite3_compileoption_used(option), 1) << option;
    }
}

TEST(SqliteUnderWineTest, KeepsGb18030BytesInAWalFileWithAChinesePath) {
    const testsupport::TempDir temp;
    const fs::path database = ChineseDatabase(temp);
    {
        Connection db(database);
        ASSERT_EQ(db.Text("PRAGMA journal_mode=WAL"), "wal");
        db.Exec(sqlitetest::kSchema);
        db.Insert("test", 1, sqlitetest::Gb18030Bytes());
        // The files have the names asked for, as the wide API sees them.
        EXPECT_TRUE(fs::is_regular_file(database));
        EXPECT_TRUE(fs::is_regular_file(database.wstring() + L"-wal"));
    }
    // A new connection reads what the first left in the file; WAL stays on.
    Connection again(database);
    EXPECT_EQ(again.Text("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(again.Text("SELECT typeof(bytes) FROM rows"), "blob");
    EXPECT_EQ(again.Bytes("test", 1), sqlitetest::Gb18030Bytes());
    EXPECT_EQ(again.Text("PRAGMA foreign_keys"), "1");
}

TEST(SqliteUnderWineTest, TwoProcessesWriteOneFileAtOnce) {
    constexpr int kRows = 200;
    const testsupport::TempDir temp;
    const fs::path database = ChineseDatabase(temp);
    Connection db(database);
    ASSERT_EQ(db.Text("PRAGMA journal_mode=WAL"), "wal");
    sqlite3_busy_timeout(db.Handle(), 60000);
    db.Exec(sqlitetest::kSchema);

    // The lock is held until the writer is seen waiting for it, so the two
    // processes surely meet at the file.
    db.Exec("BEGIN IMMEDIATE");
    db.Insert("test", 0, RowBytes("test", 0));
    const std::wstring event = L"tirvel-sqlite-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    ASSERT_NE(waiting, nullptr);
    const WriterProcess writer(database, event, kRows);
    ASSERT_NE(writer.Handle(), nullptr) << "sqlite_wal_writer.exe did not start";
    const HANDLE either[] = {waiting, writer.Handle()};
    const DWORD first = WaitForMultipleObjects(2, either, FALSE, INFINITE);
    CloseHandle(waiting);
    ASSERT_EQ(first, WAIT_OBJECT_0) << "the writer ended first, exit code " << writer.ExitCode();
    db.Exec("COMMIT");

    for (int n = 1; n < kRows; ++n) {
        db.Insert("test", n, RowBytes("test", n));
    }
    ASSERT_EQ(writer.ExitCode(), 0u);

    EXPECT_EQ(db.Text("SELECT count(*) FROM rows WHERE writer = 'test'"), std::to_string(kRows));
    EXPECT_EQ(db.Text("SELECT count(*) FROM rows WHERE writer = 'child'"), std::to_string(kRows));
    for (int n = 0; n < kRows; ++n) {
        EXPECT_EQ(db.Bytes("test", n), RowBytes("test", n));
        EXPECT_EQ(db.Bytes("child", n), RowBytes("child", n));
    }
    EXPECT_EQ(db.Text("PRAGMA integrity_check"), "ok");
}

}  // namespace
