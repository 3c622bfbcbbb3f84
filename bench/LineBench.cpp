// tirvel-line as a line uses it, the program itself against a server of a
// line's million records: the API's latency under a steady 200 requests a
// second, a station's change reaching the browsers while 20 stations of 8
// ports publish, and what 200 open browsers cost the program at rest.
//
//   line_bench --line PATH [--records 1000000] [--parts api,events]
//              [--rate 200] [--seconds 15] [--threads 16]
//              [--readers 10] [--streams 200] [--rest 30] [--publish 30]
//              [--sql STATEMENTS] [--explain MS --plans FILE]
//
// api: each call at --rate for --seconds, open-loop (OpenLoop.h), a
// connection per request. events: a fresh tirvel-line; the stations are
// job::LinePublisher, one each, fed snapshots every 250 ms; the readers hold
// /api/v1/events open and time every change they are told of from the
// moment its station handed it over.
//
// --sql: run on the filled database before tirvel-line starts (an index to
// try). --explain: the server logs the plan of every statement slower than
// MS, as it ran, and the log is kept in FILE.
//
// tirvel-line runs as testsupport::LineServer starts it, each part on a
// fresh one with a token of its own (`tirvel-line token add`).
#include <sys/resource.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "HttpClient.h"
#include "LineServer.h"
#include "LineStations.h"
#include "OpenLoop.h"
#include "Percentiles.h"
#include "PostgresServer.h"
#include "ProcessUsage.h"
#include "RecordCopies.h"
#include "line/LineQueries.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::PostgresServer;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
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
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0) {
            throw std::invalid_argument("expected an option, got " + name);
        }
        options.values[name.substr(2)] = argv[i + 1];
    }
    return options;
}

double CpuSecondsOfSelf() {
    rusage own{};
    getrusage(RUSAGE_SELF, &own);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(own.ru_utime) + seconds(own.ru_stime);
}

// The program's CPU over a span, as % of one core, and the bench's own beside it.
class CpuSpan {
public:
    explicit CpuSpan(pid_t pid)
        : pid_(pid),
          start_(Clock::now()),
          line_(bench::UsageOf(pid).cpuSeconds),
          self_(CpuSecondsOfSelf()) {}

    std::string Describe() const {
        const double seconds = SecondsSince(start_);
        const bench::ProcessUsage now = bench::UsageOf(pid_);
        char text[200];
        std::snprintf(text, sizeof text,
                      "tirvel-line CPU %.1f %% of a core over %.0f s (the bench's own %.1f %%); "
                      "VmRSS %.1f MB, VmHWM %.1f MB",
                      100 * (now.cpuSeconds - line_) / seconds, seconds,
                      100 * (CpuSecondsOfSelf() - self_) / seconds,
                      static_cast<double>(now.rssKb) / 1024,
                      static_cast<double>(now.peakKb) / 1024);
        return text;
    }

private:
    pid_t pid_;
    Clock::time_point start_;
    double line_;
    double self_;
};

std::string Milliseconds(const std::vector<double>& values) {
    const bench::Spread spread = bench::SpreadOf(values);
    char text[120];
    std::snprintf(text, sizeof text, "p50 %.1f ms, p99 %.1f ms, max %.1f ms", spread.median,
                  spread.p99, spread.max);
    return text;
}

int Api(const Options& options, const std::string& uri, const std::string& program) {
    testsupport::LineServer line(program, uri);
    const std::string token = line.AddToken("line-bench-api");
    const double rate = static_cast<double>(options.Number("rate", 200));
    const long seconds = options.Number("seconds", 15);
    const int threads = static_cast<int>(options.Number("threads", 16));
    const std::string today =
        PostgresServer::Scalar(uri, "SELECT to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD')");
    // Half way down the listing: a cursor as the pages before would have given it.
    const std::string deep = PostgresServer::Scalar(
        uri,
        "SELECT to_char(started_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US') || ' ' "
        "|| id FROM device_records ORDER BY started_at DESC, id DESC OFFSET " +
            std::to_string(
                std::stol(PostgresServer::Scalar(uri, "SELECT count(*) FROM device_records")) / 2) +
            " LIMIT 1");
    const std::string cursor =
        line::EncodeCursor(deep.substr(0, deep.find(' ')), deep.substr(deep.find(' ') + 1));
    const std::array<std::pair<const char*, std::string>, 5> calls = {{
        {"records, the first page", "/api/v1/records?limit=100"},
        {"records of one station", "/api/v1/records?limit=100&station=line-st07"},
        {"records, a page half way down", "/api/v1/records?limit=100&cursor=" + cursor},
        {"failures of one station", "/api/v1/records?limit=100&station=line-st07&result=failed"},
        {"yield today by hour and station", "/api/v1/yield?since=" + today + "&by=hour,station"},
    }};
    const testsupport::HttpClient client("127.0.0.1", line.Port(), std::chrono::seconds(30));
    const testsupport::HttpHeaders auth{{"Authorization", "Bearer " + token}};
    int failed = 0;
    std::printf(
        "the API at %.0f requests/s, open-loop, %d senders, a connection a request, "
        "%ld s each:\n",
        rate, threads, seconds);
    for (const auto& [name, path] : calls) {
        // Its plan cached and its pages read once, as on a server in use.
        const testsupport::HttpResponse first = client.Get(path, auth);
        if (first.status != 200) {
            throw std::runtime_error(path + " answered " + std::to_string(first.status) + ": " +
                                     first.body);
        }
        for (int warm = 0; warm < 20; ++warm) {
            client.Get(path, auth);
        }
        const CpuSpan cpu(line.Pid());
        const bench::OpenLoopRun run =
            bench::RunOpenLoop(rate, static_cast<long>(rate) * seconds, threads,
                               [&](long) { return client.Get(path, auth).status == 200; });
        std::printf("  %-32s %s; %ld failed; %.0f answers/s; %zu bytes\n    %s\n", name,
                    Milliseconds(run.milliseconds).c_str(), run.failures,
                    static_cast<double>(run.milliseconds.size()) / run.seconds, first.body.size(),
                    cpu.Describe().c_str());
        failed += run.failures > 0 ? 1 : 0;
    }
    return failed == 0 ? 0 : 1;
}

long Repeats(const std::vector<std::unique_ptr<bench::Reader>>& readers) {
    long all = 0;
    for (const auto& reader : readers) {
        all += reader->Repeats();
    }
    return all;
}

int Events(const Options& options, const std::string& uri, const std::string& program) {
    const auto rest = std::chrono::seconds(options.Number("rest", 30));
    const auto publish = std::chrono::seconds(options.Number("publish", 30));
    const auto few = static_cast<std::size_t>(options.Number("readers", 10));
    const auto many = static_cast<std::size_t>(options.Number("streams", 200));
    // Its own: the memory figures start from the program's start.
    testsupport::LineServer line(program, uri);
    const std::string token = line.AddToken("line-bench-events");
    const testsupport::HttpClient client("127.0.0.1", line.Port(), std::chrono::seconds(30));
    const testsupport::HttpHeaders auth{{"Authorization", "Bearer " + token}};
    bench::Stations stations(uri);
    // The stations' first states told, the program settled.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::printf(
        "%d stations x %d ports publishing through job::LinePublisher, a change each "
        "every 250 ms:\n",
        bench::kStations, bench::kPorts);
    {
        const CpuSpan cpu(line.Pid());
        std::this_thread::sleep_for(rest);
        std::printf("  at rest, no stream (the stations' heartbeats only): %s\n",
                    cpu.Describe().c_str());
    }
    std::vector<std::unique_ptr<bench::Reader>> readers;
    int failed = 0;
    const auto publishTo = [&](std::size_t count) {
        bench::TakeAll(readers);
        const long before = stations.Changes();
        const long repeatsBefore = Repeats(readers);
        const CpuSpan cpu(line.Pid());
        stations.Publish(publish);
        // The last changes' events still on their way.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::vector<double> latencies = bench::TakeAll(readers);
        long broken = 0;
        for (const auto& reader : readers) {
            broken += reader->Broken() ? 1 : 0;
        }
        const long changes = stations.Changes() - before;
        std::printf(
            "  publishing, %zu streams: change to event %s; %zu events timed of %ld changes x "
            "%zu streams, %ld told again; %ld streams broken\n    %s\n",
            count, Milliseconds(latencies).c_str(), latencies.size(), changes, count,
            Repeats(readers) - repeatsBefore, broken, cpu.Describe().c_str());
        failed += broken > 0 || latencies.empty() ? 1 : 0;
    };
    while (readers.size() < few) {
        readers.push_back(std::make_unique<bench::Reader>(client, auth, stations));
    }
    publishTo(few);
    while (readers.size() < many) {
        readers.push_back(std::make_unique<bench::Reader>(client, auth, stations));
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    {
        const CpuSpan cpu(line.Pid());
        std::this_thread::sleep_for(rest);
        std::printf("  at rest, %zu streams open: %s\n", many, cpu.Describe().c_str());
    }
    publishTo(many);
    return failed == 0 ? 0 : 1;
}

// Every session the program opens from now on has the server log the plan
// of each statement slower than `milliseconds`, as it ran (auto_explain).
void ExplainSlowStatements(const std::string& uri, long milliseconds) {
    const std::string database =
        "\"" + PostgresServer::Scalar(uri, "SELECT current_database()") + "\"";
    for (const std::string& setting :
         {std::string("session_preload_libraries = 'auto_explain'"),
          "auto_explain.log_min_duration = '" + std::to_string(milliseconds) + "ms'",
          std::string("auto_explain.log_analyze = on"),
          std::string("auto_explain.log_buffers = on")}) {
        PostgresServer::Scalar(uri, "ALTER DATABASE " + database + " SET " + setting);
    }
}

int Run(const Options& options) {
    const std::string program = options.Text("line");
    if (program.empty()) {
        throw std::invalid_argument("--line is needed");
    }
    if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
        throw std::runtime_error(why);
    }
    const std::string parts = options.Text("parts", "api,events");
    PostgresServer server;
    const std::string uri = server.NewDatabase();
    const long count = options.Number("records", 1000000);
    const auto start = Clock::now();
    bench::FillLine(uri, {count, bench::kStations, 35});
    std::printf("%ld records (%s items) of %d stations over 35 days, filled in %.1f s\n", count,
                PostgresServer::Scalar(uri, "SELECT count(*) FROM record_items").c_str(),
                bench::kStations, SecondsSince(start));
    // A change to try beside the figures, an index for one: made after the
    // filling, its statistics with it.
    if (const std::string sql = options.Text("sql"); !sql.empty()) {
        const auto made = Clock::now();
        PostgresServer::Scalar(uri, sql);
        PostgresServer::Scalar(uri, "ANALYZE");
        std::printf("then, in %.1f s: %s\n", SecondsSince(made), sql.c_str());
    }
    const long explain = options.Number("explain", -1);
    if (explain >= 0) {
        ExplainSlowStatements(uri, explain);
    }
    int result = 0;
    if (parts.find("api") != std::string::npos) {
        result |= Api(options, uri, program);
    }
    if (parts.find("events") != std::string::npos) {
        result |= Events(options, uri, program);
    }
    if (explain >= 0) {
        // The server's log is in the folder of its socket.
        const std::filesystem::path log =
            std::filesystem::path(PostgresServer::Scalar(uri, "SHOW unix_socket_directories")) /
            "log";
        const std::string plans = options.Text("plans", "line-bench-plans.log");
        std::filesystem::copy_file(log, plans, std::filesystem::copy_options::overwrite_existing);
        std::printf("the plans of the statements slower than %ld ms: %s\n", explain, plans.c_str());
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    // Each figure as it comes, also into a file: a run takes minutes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        return Run(Parse(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "line_bench: %s\n", error.what());
        return 2;
    }
}
