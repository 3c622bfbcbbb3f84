// The second writer of SqliteUnderWineTest, in a process of its own: it waits
// at the file the test holds locked, says so through a named event the first
// time it waits, and then writes its rows while the test writes its own.
// Arguments: the database, the event's name, the number of rows.
#include <windows.h>

#include <shellapi.h>
#include <sqlite3.h>

#include <cstdlib>
#include <exception>
#include <iostream>

#include "SqliteConnection.h"

namespace {

struct Waiting {
    HANDLE told = nullptr;
    bool waited = false;
};

// SQLite's busy timeout, of 60 s, that also tells when it first waits.
int WaitForTheLock(void* context, int count) {
    auto* waiting = static_cast<Waiting*>(context);
    if (count == 0) {
        waiting->waited = true;
        SetEvent(waiting->told);
    }
    constexpr int kMaxWaits = 60000;
    if (count >= kMaxWaits) {
        return 0;
    }
    Sleep(1);
    return 1;
}

}  // namespace

int main() {
    // The path is wide on the command line; the ANSI argv would lose it.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 4) {
        std::cerr << "usage: sqlite_wal_writer DATABASE EVENT ROWS\n";
        return 2;
    }
    Waiting waiting;
    waiting.told = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    const int rows = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
    if (!waiting.told || rows <= 0) {
        std::cerr << "no event of that name, or no rows to write\n";
        return 2;
    }
    try {
        sqlitetest::Connection db(argv[1]);
        sqlite3_busy_handler(db.Handle(), WaitForTheLock, &waiting);
        if (db.Text("PRAGMA journal_mode") != "wal") {
            std::cerr << "the database is not in WAL mode\n";
            return 1;
        }
        for (int n = 0; n < rows; ++n) {
            db.Insert("child", n, sqlitetest::RowBytes("child", n));
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    if (!waiting.waited) {
        std::cerr << "never waited for the test's lock\n";
        return 3;
    }
    return 0;
}
