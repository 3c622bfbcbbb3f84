// A station's worker as the pool tests start several of at once: draws
// COUNT rows for IMEIs PREFIX0001, PREFIX0002, … and prints "ROW IMEI" for
// each as soon as it is tied, so that a test that kills it knows what it had.
// Built for Windows too, where it draws through ODBC.
//
//   pool_drawer [--line=PATH] STORE POOL COUNT PREFIX STATION [PAUSE_MS [THEN]]
//
// STORE: "sqlite:PATH" or a PostgreSQL URI. --line: the server's pools as a
// batch on a station of one port draws from them (job::OpenPoolDrawStore),
// the station's block kept in the file PATH. THEN: "write" marks each row
// written once it is printed, "release" gives it back to the pool; a row
// that cannot be so ends the run with 1.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "job/RecordsForwarding.h"
#include "records/ServerPoolStore.h"
#include "records/SqlitePoolStore.h"

int main(int argc, char** argv) {
    std::string line;
    if (argc > 1 && std::string(argv[1]).starts_with("--line=")) {
        line = std::string(argv[1]).substr(7);
        --argc;
        ++argv;
    }
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: pool_drawer [--line=PATH] STORE POOL COUNT PREFIX STATION "
                     "[PAUSE_MS [THEN]]\n");
        return 2;
    }
    const std::string setting = argv[1];
    const std::string pool = argv[2];
    const int count = std::stoi(argv[3]);
    const std::string prefix = argv[4];
    const auto pause = std::chrono::milliseconds(argc > 6 ? std::stoi(argv[6]) : 0);
    const std::string then = argc > 7 ? argv[7] : "";
    try {
        std::unique_ptr<records::PoolStore> store;
        if (!line.empty()) {
            store = job::OpenPoolDrawStore({records::RecordsSetting::Kind::Server, line, setting},
                                           argv[5], 1);
        } else if (setting.starts_with("sqlite:")) {
            store = std::make_unique<records::SqlitePoolStore>(setting.substr(7));
        } else {
            store = records::OpenServerPoolStore(setting, std::chrono::seconds(10));
        }
        for (int i = 1; i <= count; ++i) {
            char number[16];
            std::snprintf(number, sizeof number, "%04d", i);
            const std::string imei = prefix + number;
            const auto row = store->Draw(pool, imei, argv[5]);
            if (!row) {
                std::printf("none %s\n", imei.c_str());
                return 0;
            }
            std::printf("%lld %s\n", static_cast<long long>(row->id), imei.c_str());
            std::fflush(stdout);
            if (then == "write") {
                store->MarkWritten(pool, row->id, imei);
            } else if (then == "release" && !store->Release(pool, row->id, imei)) {
                std::fprintf(stderr, "row %lld was not released\n",
                             static_cast<long long>(row->id));
                return 1;
            }
            std::this_thread::sleep_for(pause);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
