// Devices, loaders and lines that misbehave in ways no noise makes: a loader
// that acknowledges a block twice and asks for the end again, values that hold
// the protocol's own words, a listing in another order or one that never
// ends, a line that trickles or babbles. Each ends in the truth: an OK the
// device bears out, or a failure said in time.
#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "ChildProcess.h"
#include "FaultBench.h"
#include "FirmwareBench.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "XmodemReceiver.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

using testsupport::Contains;
using testsupport::ReadFile;

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
    Clock::duration took{};
};

// tirvelctl against one simulated device per options list, each on its own
// link; the runs' files stay in the scratch folder.
class Adversary : public ::testing::Test {
protected:
    void StartDevice(std::vector<std::string> options) {
        const std::string link = (dir_.Path() / ("dtu" + std::to_string(sims_.size()))).string();
        options.insert(options.end(),
                       {"--link", link, "--boot-ms", "200", "--events", Events(sims_.size())});
        sims_.push_back(std::make_unique<testsupport::SimProcess>(options));
        links_.push_back(link);
    }
    std::string Link(std::size_t k = 0) const { return links_[k]; }
    std::string Events(std::size_t k) const {
        return (dir_.Path() / ("events" + std::to_string(k) + ".jsonl")).string();
    }
    std::vector<Json> EventsOf(std::size_t k, const std::string& kind) const {
        std::vector<Json> events;
        std::ifstream in(Events(k));
        for (std::string line; std::getline(in, line);) {
            const Json e = Json::parse(line, nullptr, false);
            if (!e.is_discarded() && e.value("event", "") == kind) {
                events.push_back(e);
            }
        }
        return events;
    }
    Outcome Tirvelctl(std::vector<std::string> args, std::chrono::seconds limit = 120s) {
        args.insert(args.begin(), {"--lang", "en"});
        const auto start = Clock::now();
        testsupport::ChildProcess child(TIRVELCTL_PATH, args, dir_.Path() / "out",
                                        dir_.Path() / "err");
        Outcome run;
        run.exit = child.Wait(limit);
        run.took = Clock::now() - start;
        run.out = ReadFile(dir_.Path() / "out");
        run.err = ReadFile(dir_.Path() / "err");
        return run;
    }
    fs::path File(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    testsupport::TempDir dir_;
    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
    std::vector<std::string> links_;
};

// The loader stores block 2 and acknowledges it twice, the second ACK late
// enough to cross what the tool sends next, and asks for the end again. A
// sender that took the stale ACK for the answer to its EOT said "Updated
// firmware successfully!" while the loader stored nothing.
TEST_F(Adversary, LoaderThatAcksTwiceAndAsksForTheEndAgainStoresTheImage) {
    for (const char* delay : {"0", "40"}) {
        SCOPED_TRACE(std::string("second ACK after ") + delay + " ms");
        sims_.clear();
        links_.clear();
        const fs::path received = dir_.Path() / (std::string("received-") + delay + ".bin");
        StartDevice({"--double-ack", "2", "--double-ack-delay", delay, "--eot-nak",
                     "--firmware-out", received.string(), "--loader-ms", "3000"});
        const std::string image = testsupport::Noise(128 * 2 + 40);
        const Outcome r = Tirvelctl({"--device", Link(), "update", File("fw.bin", image).string()});
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_TRUE(Contains(r.err, "Updated firmware successfully!")) << r.err;
        EXPECT_EQ(ReadFile(received), testsupport::Padded(image));
    }
}

// Station rows alike: each port's worker runs the same sender.
TEST_F(Adversary, StationRowsOfLoadersThatAckTwiceAreBorneOut) {
    for (int k = 0; k < 2; ++k) {
        StartDevice({"--double-ack", "1", "--double-ack-delay", "30", "--eot-nak", "--firmware-out",
                     (dir_.Path() / ("received" + std::to_string(k) + ".bin")).string(),
                     "--loader-ms", "3000"});
    }
    const std::string image = testsupport::Noise(128 + 7);
    const Outcome r = Tirvelctl({"--device", Link(0), "--device", Link(1), "update",
                                 File("fw.bin", image).string(), "--count", "2", "--report",
                                 (dir_.Path() / "r.csv").string()});
    EXPECT_EQ(r.exit, 0) << r.err;
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(ReadFile(dir_.Path() / ("received" + std::to_string(k) + ".bin")),
                  testsupport::Padded(image));
    }
    const std::string report = ReadFile(dir_.Path() / "r.csv");
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3) << report;
}

// The bare sender against a receiver on the test's side of the line.
TEST_F(Adversary, SendToAReceiverThatAcksItsLastBlockTwiceEndsWithTheEnd) {
    testsupport::PseudoTerminal pty;
    const std::string image = testsupport::Noise(128 * 3 + 1);
    testsupport::ChildProcess child(
        TIRVELCTL_PATH, {"--device", pty.SlavePath(), "send", File("img.bin", image).string()},
        dir_.Path() / "out", dir_.Path() / "err");
    testsupport::ReceiverQuirks quirks;
    quirks.doubleAckAt = 4;
    quirks.nakFirstEot = true;
    const testsupport::Receiver received = testsupport::ReceiveChecksumXmodem(pty, quirks);
    EXPECT_EQ(child.Wait(60s), 0) << ReadFile(dir_.Path() / "err");
    EXPECT_TRUE(received.ended);
    EXPECT_EQ(received.data, testsupport::Padded(image));
}

// Values that hold "ERROR", end in "OK", are "OK" or hold "NEED PWD": the
// device is read, exported, restored and written like any other.
TEST_F(Adversary, ValuesHoldingProtocolWordsAreReadExportedAndWritten) {
    StartDevice({"--protocol-words"});
    const Outcome listed = Tirvelctl({"--device", Link(), "--json", "read"});
    ASSERT_EQ(listed.exit, 0) << listed.err;
    const Json doc = Json::parse(listed.out);
    std::map<int, std::string> values;
    for (const Json& item : doc["items"]) {
        values[item["number"].get<int>()] = item["value"].get<std::string>();
    }
    EXPECT_EQ(values[3], "NEED PWD");
    EXPECT_EQ(values[12], "OK");
    EXPECT_EQ(values[14], "LINK OK");
    EXPECT_EQ(values[39], "NO ERROR LOG");
    const std::size_t items = values.size();

    const fs::path exported = dir_.Path() / "device.txt";
    const Outcome exportRun = Tirvelctl({"--device", Link(), "export", exported.string()});
    ASSERT_EQ(exportRun.exit, 0) << exportRun.err;
    const std::string file = ReadFile(exported);
    EXPECT_EQ(static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n')), items + 1);
    EXPECT_TRUE(Contains(file, "\r\n39. ")) << file;

    const Outcome apply =
        Tirvelctl({"--device", Link(), "apply",
                   File("p.txt", "[CFG]\r\n12. Heartbeat Data=NO ERROR\r\n").string()});
    EXPECT_EQ(apply.exit, 0) << apply.err;
    const Outcome restore = Tirvelctl({"--device", Link(), "restore"});
    EXPECT_EQ(restore.exit, 0) << restore.err;
    EXPECT_EQ(EventsOf(0, "restore").size(), 1u);
}

// A device that lists its items backwards or shuffled still has them all: the
// export holds every one, in order.
TEST_F(Adversary, AListingInAnotherOrderIsExportedWhole) {
    for (const char* order : {"descending", "shuffled"}) {
        SCOPED_TRACE(order);
        sims_.clear();
        links_.clear();
        StartDevice({"--listing-order", order, "--seed", "5"});
        const fs::path exported = dir_.Path() / (std::string(order) + ".txt");
        const Outcome r = Tirvelctl({"--device", Link(), "export", exported.string()});
        ASSERT_EQ(r.exit, 0) << r.err;
        const std::string file = ReadFile(exported);
        std::size_t at = 0;
        for (int n = 1; n <= 40; ++n) {
            at = file.find("\r\n" + std::to_string(n) + ". ", at);
            ASSERT_NE(at, std::string::npos) << "item " << n << "\n" << file;
        }
    }
}

// A listing that never ends fails its read within the exchange's clock, not
// after minutes, and nothing is exported.
TEST_F(Adversary, AListingThatNeverEndsFailsInTime) {
    StartDevice({"--endless-listing", "30"});
    const fs::path exported = dir_.Path() / "device.txt";
    const Outcome r = Tirvelctl({"--device", Link(), "export", exported.string()}, 60s);
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "Failed to get current configuration from Kavrel!")) << r.err;
    EXPECT_FALSE(fs::exists(exported));
    EXPECT_LT(r.took, 15s);
}

// A line that only trickles or babbles gets the probe's window by the clock
// and is then told apart from a silent one; a batch files one row for it and
// stops, as for a port that does not open.
TEST_F(Adversary, ALineThatOnlyTricklesOrBabblesEndsTheBatchAfterOneRow) {
    for (const std::vector<std::string>& line : {std::vector<std::string>{"--line-trickle", "90"},
                                                 std::vector<std::string>{"--line-babble"}}) {
        SCOPED_TRACE(line[0]);
        sims_.clear();
        links_.clear();
        StartDevice(line);
        const fs::path report = dir_.Path() / (line[0].substr(2) + ".csv");
        const Outcome r =
            Tirvelctl({"--device", Link(), "batch", File("p.txt", "[CFG]\r\n2. APN=x\r\n").string(),
                       "--report", report.string()},
                      90s);
        EXPECT_EQ(r.exit, 1) << r.err;
        EXPECT_TRUE(Contains(r.err, "Only noise came over the line")) << r.err;
        const std::string rows = ReadFile(report);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2) << rows;
        EXPECT_GT(r.took, 30s);
        EXPECT_LT(r.took, 50s);
    }
}

// Ctrl+C on a line that never falls silent: the probe's attempt ends by its
// clock, so the interrupt is taken within about a second (without the clock,
// one attempt on such a line lasted 11 s).
TEST_F(Adversary, CtrlCOnATricklingLineEndsPromptly) {
    StartDevice({"--line-trickle", "90"});
    testsupport::ChildProcess child(TIRVELCTL_PATH, {"--lang", "en", "--device", Link(), "read"},
                                    dir_.Path() / "out", dir_.Path() / "err");
    std::this_thread::sleep_for(3s);
    const auto start = Clock::now();
    child.Signal(SIGINT);
    EXPECT_EQ(child.Wait(30s), 130) << ReadFile(dir_.Path() / "err");
    EXPECT_LT(Clock::now() - start, 3s);
}

}  // namespace
