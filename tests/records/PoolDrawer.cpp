// A station's worker as the pool tests start several of at once: draws
// COUNT rows for IMEIs PREFIX0001, PREFIX0002, … and prints "ROW IMEI" for
// each as soon as it is tied, so that a test that kills it knows what it had.
//
//   pool_drawer STORE POOL COUNT PREFIX STATION [PAUSE_MS]
//
// STORE: "sqlite:PATH" or a PostgreSQL URI.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "records/PostgresPoolStore.h"
#include "records/SqlitePoolStore.h"

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: pool_drawer STORE POOL COUNT PREFIX STATION [PAUSE_MS]\n");
        return 2;
    }
    const std::string setting = argv[1];
    const int count = std::stoi(argv[3]);
    const std::string prefix = argv[4];
    const auto pause = std::chrono::milliseconds(argc > 6 ? std::stoi(argv[6]) : 0);
    try {
        std::unique_ptr<records::PoolStore> store;
        if (setting.starts_with("sqlite:")) {
            store = std::make_unique<records::SqlitePoolStore>(setting.substr(7));
        } else {
            store = std::make_unique<records::PostgresPoolStore>(setting, std::chrono::seconds(10));
        }
        for (int i = 1; i <= count; ++i) {
            char number[16];
            std::snprintf(number, sizeof number, "%04d", i);
            const std::string imei = prefix + number;
            const auto row = store->Draw(argv[2], imei, argv[5]);
            if (!row) {
                std::printf("none %s\n", imei.c_str());
                return 0;
            }
            std::printf("%lld %s\n", static_cast<long long>(row->id), imei.c_str());
            std::fflush(stdout);
            std::this_thread::sleep_for(pause);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
