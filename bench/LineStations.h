// The line's stations and its browsers for the line bench: 20 stations of
// 8 ports, each publishing through a job::LinePublisher of its own as
// tirvel-station does, and readers of /api/v1/events that time each change
// they are told of from the moment its station handed it over.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HttpClient.h"
#include "job/LinePublisher.h"

namespace bench {

constexpr int kStations = 20;
constexpr int kPorts = 8;
constexpr long kMostChanges = 1 << 16;  // a station's, in the whole run

// "line-st01" for station 0, as the filled records name them.
std::string StationName(int station);

// The line's stations, and when each of their changes was handed over.
class Stations {
public:
    // Every station's first state written before it returns.
    explicit Stations(const std::string& uri);

    // Every station changes every 250 ms, the stations spread over the
    // quarter second, for the time given.
    void Publish(std::chrono::seconds span);

    // How long ago the station's change `sequence` was handed over, in ms;
    // negative for one not made in the last Publish: a stream opens with
    // every station's latest state, which may be a change made long before.
    double Age(const std::string& station, long sequence) const;

    long Changes() const;

private:
    void Change(int station);

    std::vector<std::unique_ptr<job::LinePublisher>> publishers_;
    std::array<long, kStations> sequence_{};
    std::array<std::atomic<long>, kStations> from_{};
    std::vector<std::atomic<long long>> sent_;  // steady clock, ns
};

// A browser's event stream, on a thread of its own, timing each change it
// is told of.
class Reader {
public:
    // Throws std::runtime_error when the stream is refused.
    Reader(const testsupport::HttpClient& client, const testsupport::HttpHeaders& auth,
           const Stations& stations);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The latencies since the last call, in ms: of each change the first
    // time the stream told it.
    std::vector<double> Take();
    // Events that told a station's change once more: the same state again,
    // or an older one, after it had been told.
    long Repeats() const { return repeats_; }
    bool Broken() const { return broken_; }

private:
    void Run();

    testsupport::HttpEventStream stream_;
    const Stations& stations_;
    std::mutex mutex_;
    std::vector<double> latencies_;
    std::map<std::string, long> told_;  // each station's latest change told, on the thread
    std::atomic<long> repeats_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> broken_{false};
    std::thread thread_;
};

// The latencies every reader has timed since the last call.
std::vector<double> TakeAll(std::vector<std::unique_ptr<Reader>>& readers);

}  // namespace bench
