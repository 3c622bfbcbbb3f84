// The value pools under load, on the tests' own PostgreSQL server and in a
// station's file: a pool's import, one drawer's draws one after another, and
// a line's stations × ports drawing from one pool at once until it is dry,
// every row checked to have gone to one device only.
//
//   pool_bench [ROWS [STATIONS [PORTS [SINGLE]]]]   (default 100000 20 8 2000)
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Percentiles.h"
#include "PostgresServer.h"
#include "TempDir.h"
#include "records/PostgresPoolStore.h"
#include "records/SqlitePoolStore.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::PostgresServer;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<records::PoolImportRow> Rows(int count) {
    std::vector<records::PoolImportRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        rows.push_back({i + 1, {"DEV" + std::to_string(100000000 + i), "pw" + std::to_string(i)}});
    }
    return rows;
}

std::string Imei(int drawer, int draw) {
    return std::to_string(860000000000000LL + drawer * 100000LL + draw);
}

void TimeImport(records::PoolStore& store, const std::vector<records::PoolImportRow>& rows) {
    const auto start = Clock::now();
    store.Import("bench", {"1", "2"}, rows);
    std::printf("  import of %zu rows, 2 columns: %.2f s\n", rows.size(),
                MillisecondsSince(start) / 1000);
}

// One drawer's draws in turn: each one's time.
void TimeSingleDraws(records::PoolStore& store, int draws) {
    std::vector<double> times;
    for (int i = 0; i < draws; ++i) {
        const auto start = Clock::now();
        if (!store.Draw("bench", Imei(999, i), "single")) {
            throw std::runtime_error("the pool ran dry");
        }
        times.push_back(MillisecondsSince(start));
    }
    const bench::Spread spread = bench::SpreadOf(times);
    std::printf("  one drawer, %d draws: median %.2f ms, p99 %.2f ms (%.2f-%.2f)\n", draws,
                spread.median, spread.p99, spread.min, spread.max);
}

// stations × ports drawers, a store (a connection) each, drawing until the
// pool is dry.
void DrainAtOnce(const std::function<std::unique_ptr<records::PoolStore>()>& open, int drawers,
                 std::int64_t expected) {
    std::vector<std::unique_ptr<records::PoolStore>> stores;
    for (int i = 0; i < drawers; ++i) {
        stores.push_back(open());
    }
    std::mutex mutex;
    std::set<std::int64_t> rows;
    std::atomic<int> twice{0};
    std::atomic<int> failed{0};
    std::vector<double> times;
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int d = 0; d < drawers; ++d) {
        threads.emplace_back([&, d] {
            std::vector<std::int64_t> mine;
            std::vector<double> own;
            try {
                for (int i = 0;; ++i) {
                    const auto began = Clock::now();
                    const auto row = stores[static_cast<std::size_t>(d)]->Draw(
                        "bench", Imei(d, i), "st" + std::to_string(d / 8));
                    if (!row) {
                        break;
                    }
                    own.push_back(MillisecondsSince(began));
                    mine.push_back(row->id);
                }
            } catch (const std::exception& error) {
                std::fprintf(stderr, "drawer %d: %s\n", d, error.what());
                ++failed;
            }
            std::lock_guard lock(mutex);
            for (const std::int64_t row : mine) {
                if (!rows.insert(row).second) {
                    ++twice;
                }
            }
            times.insert(times.end(), own.begin(), own.end());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double seconds = MillisecondsSince(start) / 1000;
    const bench::Spread spread = bench::SpreadOf(times);
    std::printf(
        "  %d drawers at once: %zu rows in %.1f s, %.0f draws/s; a draw's median %.1f ms, "
        "p99 %.1f ms\n",
        drawers, rows.size(), seconds, static_cast<double>(rows.size()) / seconds, spread.median,
        spread.p99);
    std::printf("  rows given twice: %d; rows not drawn: %lld; drawers failed: %d\n", twice.load(),
                static_cast<long long>(expected - static_cast<std::int64_t>(rows.size())),
                failed.load());
}

}  // namespace

int main(int argc, char** argv) {
    const int rowCount = argc > 1 ? std::stoi(argv[1]) : 100000;
    const int stations = argc > 2 ? std::stoi(argv[2]) : 20;
    const int ports = argc > 3 ? std::stoi(argv[3]) : 8;
    const int single = argc > 4 ? std::stoi(argv[4]) : 2000;
    try {
        if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
            throw std::runtime_error(why);
        }
        const std::vector<records::PoolImportRow> rows = Rows(rowCount);
        PostgresServer server;
        // A connection a worker: more than the server's default hundred.
        PostgresServer::Scalar(server.Uri(), "ALTER SYSTEM SET max_connections = " +
                                                 std::to_string(stations * ports + 20));
        server.Restart();
        const std::string uri = server.NewDatabase();
        const auto open = [&uri] {
            return std::make_unique<records::PostgresPoolStore>(uri, std::chrono::seconds(30));
        };
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        std::printf("PostgreSQL (local socket):\n");
        {
            auto store = open();
            TimeImport(*store, rows);
            TimeSingleDraws(*store, single);
        }
        DrainAtOnce(open, stations * ports, rowCount - single);

        std::printf("SQLite (one station's file, synchronous=FULL):\n");
        testsupport::TempDir dir;
        const std::string path = (dir.Path() / "records.db").string();
        records::SqlitePoolStore store(path);
        TimeImport(store, rows);
        TimeSingleDraws(store, single);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pool_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
