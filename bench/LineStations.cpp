#include "LineStations.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "RecordCopies.h"
#include "StateMarks.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

long long Nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string StationName(int station) {
    char name[24];
    std::snprintf(name, sizeof name, "line-st%02d", station + 1);
    return name;
}

Stations::Stations(const std::string& uri) : sent_(kStations * kMostChanges) {
    records::RecordsSetting where;
    where.kind = records::RecordsSetting::Kind::Server;
    where.serverUri = uri;
    // Nothing is timed before the first Publish.
    for (auto& from : from_) {
        from = kMostChanges;
    }
    for (int s = 0; s < kStations; ++s) {
        publishers_.push_back(std::make_unique<job::LinePublisher>(
            where, job::LineJob{StationName(s), station::StationJob::Batch, "profile.txt",
                                "apn=internet\n", kPorts}));
        Change(s);
    }
    for (auto& publisher : publishers_) {
        publisher->Settle(std::chrono::seconds(10));
    }
}

void Stations::Publish(std::chrono::seconds span) {
    for (int s = 0; s < kStations; ++s) {
        from_[static_cast<std::size_t>(s)] = sequence_[static_cast<std::size_t>(s)] + 1;
    }
    const auto start = Clock::now();
    const auto step = std::chrono::microseconds(250000 / kStations);
    for (long tick = 0;; ++tick) {
        const auto at = start + tick * step;
        if (at >= start + span) {
            return;
        }
        std::this_thread::sleep_until(at);
        Change(static_cast<int>(tick % kStations));
    }
}

double Stations::Age(const std::string& station, long sequence) const {
    int index = -1;
    for (int s = 0; s < kStations; ++s) {
        index = StationName(s) == station ? s : index;
    }
    if (index < 0 || sequence >= kMostChanges ||
        sequence < from_[static_cast<std::size_t>(index)]) {
        return -1;
    }
    const long long at = sent_[static_cast<std::size_t>(index * kMostChanges + sequence)];
    if (at == 0) {
        return -1;
    }
    return static_cast<double>(Nanoseconds() - at) / 1e6;
}

long Stations::Changes() const {
    long all = 0;
    for (const long n : sequence_) {
        all += n;
    }
    return all;
}

// What a station's tiles show as its ports work: port 0 carries the change's
// number; the others move along as a batch's ports do.
void Stations::Change(int s) {
    const long sequence = ++sequence_[static_cast<std::size_t>(s)];
    if (sequence >= kMostChanges) {
        throw std::runtime_error("more changes than the bench keeps times of");
    }
    station::StationSnapshot snapshot;
    snapshot.done = static_cast<int>(sequence / 4);
    snapshot.failed = static_cast<int>(sequence / 80);
    snapshot.seconds = static_cast<double>(sequence) / 4;
    for (int p = 0; p < kPorts; ++p) {
        station::PortState port;
        port.label = "/dev/ttyUSB" + std::to_string(p);
        port.phase = station::PortPhase::Working;
        port.state = p == 0 ? MarkedState(sequence) : "writing 12 of 31 values";
        port.imei = WithCheckDigit("86452103" + std::to_string(100000 + s * 100 + p));
        port.permille = static_cast<int>((sequence * 37 + p * 125) % 1000);
        port.ok = static_cast<int>(sequence / 32);
        port.failed = static_cast<int>(sequence / 640);
        port.lastVerdict = "OK";
        port.lastOk = true;
        snapshot.ports.push_back(port);
    }
    sent_[static_cast<std::size_t>(s * kMostChanges + sequence)] = Nanoseconds();
    publishers_[static_cast<std::size_t>(s)]->Publish(snapshot);
}

Reader::Reader(const testsupport::HttpClient& client, const testsupport::HttpHeaders& auth,
               const Stations& stations)
    : stream_(client.Stream("/api/v1/events", auth)), stations_(stations) {
    if (stream_.Status() != 200) {
        throw std::runtime_error("/api/v1/events answered " + std::to_string(stream_.Status()));
    }
    thread_ = std::thread([this] { Run(); });
}

Reader::~Reader() {
    stop_ = true;
    thread_.join();
}

std::vector<double> Reader::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(latencies_, {});
}

void Reader::Run() {
    while (!stop_) {
        std::optional<testsupport::ServerSentEvent> event;
        try {
            event = stream_.Next(std::chrono::milliseconds(200));
        } catch (const std::exception&) {
            broken_ = true;
            return;
        }
        if (!event) {
            if (stream_.Closed()) {
                broken_ = true;
                return;
            }
            continue;
        }
        if (const auto mark = MarkOf(event->data)) {
            long& told = told_[mark->station];
            if (mark->sequence <= told) {
                ++repeats_;
                continue;
            }
            told = mark->sequence;
            const double age = stations_.Age(mark->station, mark->sequence);
            if (age >= 0) {
                std::lock_guard lock(mutex_);
                latencies_.push_back(age);
            }
        }
    }
}

std::vector<double> TakeAll(std::vector<std::unique_ptr<Reader>>& readers) {
    std::vector<double> all;
    for (auto& reader : readers) {
        const std::vector<double> own = reader->Take();
        all.insert(all.end(), own.begin(), own.end());
    }
    return all;
}

}  // namespace bench
