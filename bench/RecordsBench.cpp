// How long the device records take, in process: a record added to the
// station's SQLite file, a device's records looked up among a million (in
// SQLite or on PostgreSQL), and queued records forwarded to a PostgreSQL server
// by one station or by many at once. The lookups can also be timed as the
// whole `tirvelctl records --imei` command, process start included.
//
//   records_bench add --dir DIR [--runs 500]
//   records_bench find --store sqlite|postgres --dir DIR [--count 1000000] [--runs 1000]
//                      [--tirvelctl PATH --process-runs 20]
//   records_bench push --dir DIR [--stations 1] [--records 10000]
//   records_bench list --store sqlite|postgres --dir DIR --tirvelctl PATH
//                      [--counts 20000,200000]
//
// list: the whole `tirvelctl records` listing (--json, --csv, the table) over
// stores of each count, its peak resident memory (the child's ru_maxrss), its
// output's size and its time.
//
// DIR is a scratch folder of the caller's, on the disk to be measured.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Percentiles.h"
#include "PostgresServer.h"
#include "RecordCopies.h"
#include "SampleRecord.h"
#include "records/Forwarder.h"
#include "records/PostgresRecordStore.h"
#include "records/SqliteRecordStore.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::PostgresServer;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
    std::map<std::string, std::string> values;

    std::string Text(const std::string& name, const std::string& fallback = "") const {
        const auto found = values.find(name);
        return found != values.end() ? found->second : fallback;
    }
    long Number(const std::string& name, long fallback) const {
        const auto found = values.find(name);
        return found != values.end() ? std::stol(found->second) : fallback;
    }
};

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0) {
            throw std::invalid_argument("expected an option, got " + name);
        }
        options.values[name.substr(2)] = argv[i + 1];
    }
    return options;
}

// A record as a device with `count` configuration items leaves it.
records::DeviceRecord WithItems(int n, int count) {
    records::DeviceRecord record = testsupport::Numbered(n);
    for (int item = static_cast<int>(record.items.size()); item < count; ++item) {
        record.items.push_back({100 + item, "Item " + std::to_string(100 + item),
                                std::string("old value ") + std::to_string(item),
                                std::string("new value ") + std::to_string(item),
                                std::string("new value ") + std::to_string(item), true, ""});
    }
    record.items.resize(static_cast<std::size_t>(count));
    return record;
}

// What the disk alone costs a commit: 4 KiB appended to a file and
// fdatasync, as SQLite syncs its WAL once a commit at synchronous=FULL.
class SyncProbe {
public:
    explicit SyncProbe(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
        if (fd_ < 0) {
            throw std::runtime_error("cannot write in " + path.parent_path().string());
        }
    }
    ~SyncProbe() { ::close(fd_); }
    SyncProbe(const SyncProbe&) = delete;
    SyncProbe& operator=(const SyncProbe&) = delete;

    double Milliseconds() {
        const std::vector<char> page(4096, 'x');
        const auto start = Clock::now();
        if (::write(fd_, page.data(), page.size()) != static_cast<ssize_t>(page.size()) ||
            ::fdatasync(fd_) != 0) {
            throw std::runtime_error("the sync probe could not write");
        }
        return MillisecondsSince(start);
    }

private:
    int fd_;
};

int Add(const Options& options) {
    const std::filesystem::path dir = options.Text("dir");
    const long runs = options.Number("runs", 500);
    for (const int items : {5, 60}) {
        const std::string path = (dir / ("add-" + std::to_string(items) + ".sqlite")).string();
        records::SqliteRecordStore store(path);
        SyncProbe probe(dir / "sync-probe");
        // The first commits also grow the file and the WAL: not what a day brings.
        for (int n = 0; n < 10; ++n) {
            store.Add(WithItems(n, items));
        }
        // Turn about, so that the disk's other users weigh on both alike.
        std::vector<double> adds;
        std::vector<double> syncs;
        for (long n = 0; n < runs; ++n) {
            const records::DeviceRecord record = WithItems(static_cast<int>(10 + n), items);
            const auto start = Clock::now();
            store.Add(record);
            adds.push_back(MillisecondsSince(start));
            syncs.push_back(probe.Milliseconds());
        }
        std::printf("Add, %d items (WAL, synchronous=FULL, %ld runs): %s\n", items, runs,
                    bench::Describe(bench::SpreadOf(adds)).c_str());
        std::printf("  the disk alone, 4 KiB and fdatasync, in turn with them: %s\n",
                    bench::Describe(bench::SpreadOf(syncs)).c_str());
    }
    return 0;
}

// Starts the command with its output to `output` (its errors too, if asked).
pid_t SpawnTo(const std::vector<std::string>& command, const std::string& output, bool errorsToo) {
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errorsToo) {
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + command[0]);
    }
    return pid;
}

// Runs the command `runs` times after one warm-up, its output to `output`;
// the wall time of each, from before the spawn to the reaped exit.
std::vector<double> TimeProcess(const std::vector<std::string>& command, long runs,
                                const std::string& output) {
    std::vector<double> times;
    for (long run = 0; run <= runs; ++run) {
        const auto start = Clock::now();
        const pid_t pid = SpawnTo(command, output, true);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        const double elapsed = MillisecondsSince(start);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            throw std::runtime_error(command[0] + " failed; its output is in " + output);
        }
        if (run > 0) {
            times.push_back(elapsed);
        }
    }
    return times;
}

void TimeFinds(records::RecordStore& store, const bench::Copies& copies, long runs) {
    std::mt19937 pick(12345);
    std::uniform_int_distribution<long> device(0, copies.devices - 1);
    const long perDevice = copies.count / copies.devices;
    std::vector<double> times;
    long wrong = 0;
    for (long run = 0; run <= runs; ++run) {
        records::RecordQuery query;
        query.imei = bench::CopiedImei(device(pick), copies.devices);
        const auto start = Clock::now();
        const auto found = store.Find(query);
        const double elapsed = MillisecondsSince(start);
        wrong += static_cast<long>(found.size()) != perDevice ? 1 : 0;
        if (run == 0) {
            std::printf("  Find({imei}), the first after opening: %.3f ms\n", elapsed);
        } else {
            times.push_back(elapsed);
        }
    }
    std::printf("  Find({imei}) in process, %ld runs, random devices: %s\n", runs,
                bench::Describe(bench::SpreadOf(times)).c_str());
    if (wrong != 0) {
        throw std::runtime_error(std::to_string(wrong) + " lookups did not find " +
                                 std::to_string(perDevice) + " records");
    }
}

// The command as an operator runs it, from exec to exit; its last listing
// must show the device's records.
// setting: what --records names, the file or the server.
void TimeCommand(const Options& options, const std::string& setting, const bench::Copies& copies) {
    const std::string tirvelctl = options.Text("tirvelctl");
    if (tirvelctl.empty()) {
        return;
    }
    const long runs = options.Number("process-runs", 20);
    const std::string imei = bench::CopiedImei(copies.devices / 3, copies.devices);
    const std::string output =
        (std::filesystem::path(options.Text("dir")) / "records.out").string();
    const auto times = TimeProcess(
        {tirvelctl, "--records", setting, "records", "--imei", imei, "--csv"}, runs, output);
    const bool server = setting.starts_with("postgresql:");
    std::printf("  tirvelctl --records %s records --imei %s, whole process, %ld runs: %s\n",
                server ? "postgresql://…" : "sqlite:FILE", imei.c_str(), runs,
                bench::Describe(bench::SpreadOf(times)).c_str());
    std::ifstream listing(output);
    long rows = 0;
    for (std::string line; std::getline(listing, line);) {
        rows += line.find(imei) != std::string::npos ? 1 : 0;
    }
    if (rows != copies.count / copies.devices) {
        throw std::runtime_error("the command did not list the device's records; see " + output);
    }
}

int Find(const Options& options) {
    const std::string kind = options.Text("store", "sqlite");
    const std::filesystem::path dir = options.Text("dir");
    bench::Copies copies;
    copies.count = options.Number("count", 1000000);
    copies.devices = std::max(copies.count / 2, 1L);
    copies.series = 1;
    copies.station = "bench-station";
    const long runs = options.Number("runs", 1000);
    std::printf("records --imei over %ld records (%ld devices, %ld records each), %s:\n",
                copies.count, copies.devices, copies.count / copies.devices, kind.c_str());
    if (kind == "sqlite") {
        const std::string path = (dir / "find.sqlite").string();
        const auto start = Clock::now();
        bench::FillSqlite(path, copies, false);
        std::printf("  filled in %.1f s, %.0f MB\n", MillisecondsSince(start) / 1000,
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6);
        {
            records::SqliteRecordStore store(path);
            TimeFinds(store, copies, runs);
        }
        TimeCommand(options, "sqlite:" + path, copies);
        return 0;
    }
    if (kind != "postgres") {
        throw std::invalid_argument("--store sqlite or postgres");
    }
    if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
        throw std::runtime_error(why);
    }
    PostgresServer server;
    const std::string uri = server.NewDatabase();
    const auto start = Clock::now();
    bench::FillPostgres(uri, copies);
    std::printf("  filled in %.1f s (ANALYZE included)\n", MillisecondsSince(start) / 1000);
    {
        records::PostgresRecordStore store(uri, std::chrono::seconds(10));
        TimeFinds(store, copies, runs);
    }
    // The command connects, checks the schema and asks: all of it timed.
    TimeCommand(options, uri, copies);
    return 0;
}

struct ListingRun {
    double milliseconds = 0;
    long peakKb = 0;  // the child's own, ru_maxrss
    std::uintmax_t bytes = 0;
};

// One run of the command, its output to a file; the child's peak resident set.
ListingRun RunListing(const std::vector<std::string>& command, const std::string& output) {
    const auto start = Clock::now();
    const pid_t pid = SpawnTo(command, output, false);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    ListingRun run;
    run.milliseconds = MillisecondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(command[0] + " failed");
    }
    run.peakKb = usage.ru_maxrss;
    run.bytes = std::filesystem::file_size(output);
    return run;
}

int List(const Options& options) {
    const std::string kind = options.Text("store", "sqlite");
    const std::filesystem::path dir = options.Text("dir");
    const std::string tirvelctl = options.Text("tirvelctl");
    if (tirvelctl.empty()) {
        throw std::invalid_argument("--tirvelctl is needed");
    }
    std::unique_ptr<PostgresServer> server;
    if (kind == "postgres") {
        if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
            throw std::runtime_error(why);
        }
        server = std::make_unique<PostgresServer>();
    } else if (kind != "sqlite") {
        throw std::invalid_argument("--store sqlite or postgres");
    }
    std::stringstream counts(options.Text("counts", "20000,200000"));
    int series = 0;
    for (std::string count; std::getline(counts, count, ',');) {
        bench::Copies copies;
        copies.count = std::stol(count);
        copies.devices = std::max(copies.count / 2, 1L);
        copies.series = ++series;
        copies.station = "bench-station";
        const std::string setting =
            server ? server->NewDatabase()
                   : "sqlite:" + (dir / ("list-" + count + ".sqlite")).string();
        // Filled by a child of its own: a spawned child's ru_maxrss starts at
        // the spawner's resident set, which filling would have grown to
        // hundreds of MB.
        const pid_t filler = fork();
        if (filler == 0) {
            try {
                if (server) {
                    bench::FillPostgres(setting, copies);
                } else {
                    bench::FillSqlite(setting.substr(7), copies, false);
                }
                _exit(0);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "filling: %s\n", error.what());
                _exit(1);
            }
        }
        int filled = 0;
        while (waitpid(filler, &filled, 0) < 0) {
        }
        if (!WIFEXITED(filled) || WEXITSTATUS(filled) != 0) {
            throw std::runtime_error("the store could not be filled");
        }
        const std::string output = (dir / "listing.out").string();
        for (const char* format : {"--json", "--csv", ""}) {
            std::vector<std::string> command = {tirvelctl, "--records", setting, "records"};
            if (*format != '\0') {
                command.push_back(format);
            }
            const ListingRun run = RunListing(command, output);
            std::printf(
                "  %s, %ld records, records %-6s peak RSS %6.1f MB, output %6.1f MB, %.2f s\n",
                kind.c_str(), copies.count, *format != '\0' ? format : "(table)",
                static_cast<double>(run.peakKb) / 1024, static_cast<double>(run.bytes) / 1e6,
                run.milliseconds / 1000);
        }
        std::filesystem::remove(output);
    }
    rusage own{};
    getrusage(RUSAGE_SELF, &own);
    std::printf("  (a child's figure starts at this bench's own peak, %.1f MB)\n",
                static_cast<double>(own.ru_maxrss) / 1024);
    return 0;
}

int Push(const Options& options) {
    const std::filesystem::path dir = options.Text("dir");
    const int stations = static_cast<int>(options.Number("stations", 1));
    const long perStation = options.Number("records", 10000);
    if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
        throw std::runtime_error(why);
    }
    PostgresServer server;
    const std::string uri = server.NewDatabase();
    records::PostgresRecordStore(uri, std::chrono::seconds(10));  // the schema, before the clock

    std::vector<std::string> files;
    const auto fillStart = Clock::now();
    for (int s = 0; s < stations; ++s) {
        files.push_back((dir / ("station-" + std::to_string(s) + ".sqlite")).string());
        bench::FillSqlite(
            files.back(),
            {perStation, std::max(perStation / 2, 1L), s + 1, "bench-station-" + std::to_string(s)},
            true);
    }
    std::printf("%d station file(s) of %ld queued records each, made in %.1f s\n", stations,
                perStation, MillisecondsSince(fillStart) / 1000);

    std::vector<std::string> errors(static_cast<std::size_t>(stations));
    std::vector<double> times(static_cast<std::size_t>(stations));
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int s = 0; s < stations; ++s) {
        threads.emplace_back([&, s] {
            const auto own = Clock::now();
            try {
                records::SqliteRecordStore local(files[static_cast<std::size_t>(s)],
                                                 records::SqliteRecordStore::Queue::ForServer);
                records::PostgresRecordStore remote(uri, std::chrono::seconds(10));
                records::PushQueued(local, remote);
            } catch (const std::exception& error) {
                errors[static_cast<std::size_t>(s)] = error.what();
            }
            times[static_cast<std::size_t>(s)] = MillisecondsSince(own);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double total = MillisecondsSince(start);
    std::printf("  PushQueued, %d station(s) at once: all done in %.2f s\n", stations,
                total / 1000);
    if (stations > 1) {
        std::printf("  each station, from opening its file to its last batch committed: %s\n",
                    bench::Describe(bench::SpreadOf(times)).c_str());
    }

    // Every id is the server's primary key: a station's count is each of its
    // records there exactly once, none lost and none twice.
    long problems = 0;
    for (int s = 0; s < stations; ++s) {
        const auto& error = errors[static_cast<std::size_t>(s)];
        const long there = std::stol(PostgresServer::Scalar(
            uri, "SELECT count(*) FROM device_records WHERE station = 'bench-station-" +
                     std::to_string(s) + "'"));
        const int left = records::SqliteRecordStore(files[static_cast<std::size_t>(s)],
                                                    records::SqliteRecordStore::Queue::ForServer)
                             .QueuedCount();
        if (!error.empty() || there != perStation || left != 0) {
            ++problems;
            std::printf("  station %d: %ld of %ld on the server, %d still queued %s\n", s, there,
                        perStation, left, error.c_str());
        }
    }
    const long items = std::stol(PostgresServer::Scalar(uri, "SELECT count(*) FROM record_items"));
    std::printf(
        "  check: %s; %ld items on the server (%ld expected)\n",
        problems == 0 ? "every record on the server exactly once, every queue empty" : "FAILED",
        items, 3L * stations * perStation);
    return problems == 0 && items == 3L * stations * perStation ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    try {
        const Options options = Parse(argc, argv);
        if (options.Text("dir").empty()) {
            throw std::invalid_argument("--dir is needed");
        }
        if (what == "add") {
            return Add(options);
        }
        if (what == "find") {
            return Find(options);
        }
        if (what == "push") {
            return Push(options);
        }
        if (what == "list") {
            return List(options);
        }
        throw std::invalid_argument("add, find, push or list");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "records_bench %s: %s\n", what.c_str(), error.what());
        return 2;
    }
}
