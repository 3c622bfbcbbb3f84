// The real tirvelctl against kavrel-sim: what the operator sees, the exit
// status, and what actually reached the device (its events log and state file).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "ChildProcess.h"
#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "XmodemReceiver.h"
#include "framework/CodePage.h"

extern char** environ;

namespace {

using namespace testsupport;

// One tirvelctl process; stdin is /dev/null (no terminal), stdout and stderr
// go to files.
class Tirvelctl {
public:
    Tirvelctl(const fs::path& dir, const std::vector<std::string>& args)
        : out_(dir / ("out" + std::to_string(++runs_))),
          err_(dir / ("err" + std::to_string(runs_))),
          process_(TIRVELCTL_PATH, args, out_, err_) {}

    int Wait() { return process_.Wait(); }
    void Signal(int signal) { process_.Signal(signal); }
    bool WaitForErr(const std::string& text, std::chrono::milliseconds timeout) {
        return PollUntil([&] { return Contains(Err(), text); }, timeout);
    }
    std::string Out() const { return ReadFile(out_); }
    std::string Err() const { return ReadFile(err_); }

private:
    static inline int runs_ = 0;
    fs::path out_;
    fs::path err_;
    testsupport::ChildProcess process_;
};

using Result = testsupport::RunResult;

class TirvelctlRun : public testsupport::ToolRunTest {
protected:
    // The simulator reached through a link, with its events log.
    void StartSimulator(std::vector<std::string> options) {
        options.insert(options.begin(), {"--link", Link(), "--events", Events().string()});
        if (std::find(options.begin(), options.end(), "--boot-ms") == options.end()) {
            options.insert(options.end(), {"--boot-ms", "200"});
        }
        sim_ = std::make_unique<testsupport::SimProcess>(options);
    }

    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", Link()});
        Tirvelctl process(dir_.Path(), args);
        const int code = process.Wait();
        return {code, process.Out(), process.Err()};
    }

    bool WaitForEvent(const std::string& kind, std::chrono::milliseconds timeout) const {
        return PollUntil([&] { return !EventsOf(kind).empty(); }, timeout);
    }

    // The simulator's --state file: item number -> value bytes.
    std::map<int, std::string> StoredValues() const { return testsupport::StoredValues(State()); }

    std::unique_ptr<testsupport::SimProcess> sim_;
};

// The shipped example profile, as the test reads it: item number -> value.
std::map<int, std::string> ExampleProfile() {
    std::map<int, std::string> values;
    for (const std::string& line :
         Lines(ReadFile(fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt"))) {
        const auto equals = line.find('=');
        if (equals != std::string::npos && !line.empty() && line[0] != '[') {
            values[std::stoi(line)] = line.substr(equals + 1);
        }
    }
    return values;
}

std::string ExamplePath() {
    return (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string();
}

TEST_F(TirvelctlRun, ReadJsonShowsTheDeviceTableDecodedFromItsCodePage) {
    struct Case {
        const char* lang;
        fw::Language language;
        std::vector<std::pair<int, std::string>> names;  // UTF-8
        std::string value;                               // UTF-8
    };
    const std::vector<Case> cases = {
        {"en",
         fw::Language::English,
         {{1, "Work Mode"}, {2, "Café APN"}, {5, "Server (main)"}},
         "naïve,1"},
        {"zh",
         fw::Language::Chinese,
         {{1, "工作模式"}, {2, "APN接入点"}, {5, "服务器地址"}},
         "中文值"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lang);
        // The table goes on the wire as these bytes, in the device's code page.
        std::string params;
        for (const auto& [n, name] : c.names) {
            params += std::to_string(n) + "," + fw::EncodeCodePage(name, c.language) + "," +
                      fw::EncodeCodePage(c.value + std::to_string(n), c.language) + "\n";
        }
        StartSimulator({"--params", DeviceTable(params), "--imei", "860000000000042"});

        const Result r = Run({"--lang", c.lang, "read", "--json"});
        ASSERT_EQ(r.exit, 0) << r.err;
        const Json doc = Json::parse(r.out);
        EXPECT_EQ(doc["imei"], "860000000000042");
        EXPECT_EQ(doc["version"], "KV-2.9.4 build 2022-11-09");
        // The items the device listed, and no row for the numbers it skipped.
        ASSERT_EQ(doc["items"].size(), c.names.size());
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            const auto& [n, name] = c.names[i];
            const Json& item = doc["items"][i];
            EXPECT_EQ(item["number"], n);
            EXPECT_EQ(item["name"], name);
            EXPECT_EQ(item["value"], c.value + std::to_string(n));
        }
        // Stopped as the operator stops: the device was told to quit.
        EXPECT_EQ(EventsOf("quit").size(), 1u);
        sim_.reset();
        fs::remove(Events());
    }
}

// A device whose version string carries a title change, a screen clear and a
// bell: every output says it, none passes it on raw.
TEST_F(TirvelctlRun, DeviceTextReachesNoOutputRaw) {
    const std::string version = "=KV\x1b]0;owned\x07\x1b[2J-2.9";
    const std::string shown = "=KV\\x1B]0;owned\\x07\\x1B[2J-2.9";
    StartSimulator({"--version-text", version, "--devices", "3"});
    const Result read = Run({"read"});
    ASSERT_EQ(read.exit, 0) << read.err;
    EXPECT_TRUE(Contains(read.out, "Version: " + shown + "\n")) << read.out;
    EXPECT_TRUE(Contains(read.err, "version " + shown + ",")) << read.err;

    const Result json = Run({"read", "--json"});
    ASSERT_EQ(json.exit, 0) << json.err;
    EXPECT_EQ(Json::parse(json.out)["version"], version);

    const fs::path report = dir_.Path() / "report.csv";
    const Result batch = Run({"batch", ExamplePath(), "--count", "1", "--report", report.string()});
    ASSERT_EQ(batch.exit, 0) << batch.err;
    EXPECT_TRUE(Contains(batch.out, "  " + shown + "  ")) << batch.out;
    EXPECT_TRUE(Contains(ReadFile(report), ",'" + shown + ",")) << ReadFile(report);
    for (const std::string* text : {&read.out, &read.err, &json.out, &batch.out, &batch.err}) {
        EXPECT_EQ(text->find_first_of("\x1b\x07"), std::string::npos) << *text;
    }
}

TEST_F(TirvelctlRun, ApplyWritesTheItemsThatDifferAndNothingTheSecondTime) {
    StartSimulator({"--state", State().string()});
    const std::map<int, std::string> profile = ExampleProfile();
    ASSERT_GE(profile.size(), 2u);

    const Result first = Run({"apply", ExamplePath()});
    ASSERT_EQ(first.exit, 0) << first.err;
    EXPECT_TRUE(Contains(first.err, "Succeed to set new parameters to Kavrel")) << first.err;
    std::map<int, std::string> written;
    for (const Json& e : EventsOf("set")) {
        written[e["item"].get<int>()] = e["new"].get<std::string>();
    }
    ASSERT_EQ(written.size(), profile.size());
    const std::map<int, std::string> stored = StoredValues();
    for (const auto& [n, value] : profile) {
        EXPECT_EQ(written[n], Hex(value)) << "item " << n;
        EXPECT_EQ(stored.at(n), value) << "item " << n;
    }
    EXPECT_EQ(stored.at(1), "0");  // an item the profile leaves alone

    const Result second = Run({"apply", ExamplePath()});
    EXPECT_EQ(second.exit, 0) << second.err;
    EXPECT_EQ(EventsOf("set").size(), profile.size());
    EXPECT_TRUE(Contains(second.err, "0 items differ from the file")) << second.err;
}

TEST_F(TirvelctlRun, ARefusedValueFailsTheSetAndIsNotStored) {
    StartSimulator({"--state", State().string(), "--error-on", "6"});

    const Result r = Run({"set", "2=internet", "6=7001", "11=45"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(Contains(r.err, "Failed to set new parameters to Kavrel!")) << r.err;
    EXPECT_FALSE(Contains(r.err, "Succeed")) << r.err;
    std::map<int, std::string> stored = StoredValues();
    EXPECT_EQ(stored.at(2), "internet");  // sent before the refusal
    EXPECT_EQ(stored.at(6), "5001");
    EXPECT_EQ(stored.at(11), "60");  // never sent: Modify ends at the first refusal
    ASSERT_EQ(EventsOf("set").size(), 1u);

    // The same failure in the other language, with the system's own words.
    const Result zh = Run({"--lang", "zh", "set", "6=7002"});
    EXPECT_EQ(zh.exit, 1);
    EXPECT_TRUE(Contains(zh.err, "设置终端参数失败！")) << zh.err;
    EXPECT_EQ(StoredValues().at(6), "5001");
}

TEST_F(TirvelctlRun, BatchReportsEachDeviceOnceWithItsOwnOutcome) {
    StartSimulator({"--devices", "3"});
    const fs::path report = dir_.Path() / "report.csv";
    const Result r = Run({"batch", ExamplePath(), "--count", "3", "--report", report.string()});
    ASSERT_EQ(r.exit, 0) << r.err;

    const std::vector<std::string> rows = Lines(ReadFile(report));
    ASSERT_EQ(rows.size(), 4u) << ReadFile(report);
    EXPECT_EQ(rows[0], "Port,Time,IMEI,Version,Result,Items written,Message");
    const std::size_t items = ExampleProfile().size();
    std::set<std::string> imeis;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> fields = CsvFields(rows[i]);
        ASSERT_GE(fields.size(), 6u) << rows[i];
        // The port the device was on, as the operator named it.
        EXPECT_EQ(fields[0], Link()) << rows[i];
        imeis.insert(fields[2]);
        EXPECT_EQ(fields[4], "OK") << rows[i];
        EXPECT_EQ(fields[5], std::to_string(items)) << rows[i];
        EXPECT_TRUE(Contains(r.out, fields[2])) << r.out;
    }
    // Three different devices, each given the profile: an OK in the report is
    // an OK on the device.
    EXPECT_EQ(imeis.size(), 3u);
    std::map<std::string, int> setsPerDevice;
    std::string current;
    for (const Json& e : EventsOf("")) {
        if (e["event"] == "power-on") {
            current = e["imei"];
        } else if (e["event"] == "set") {
            ++setsPerDevice[current];
        }
    }
    for (const std::string& imei : imeis) {
        EXPECT_EQ(setsPerDevice[imei], static_cast<int>(items)) << imei;
    }
}

TEST_F(TirvelctlRun, BatchCountsARefusingDeviceAsFailedAndGoesOn) {
    StartSimulator({"--devices", "2", "--error-on", "11"});
    const fs::path report = dir_.Path() / "report.csv";
    const Result r = Run({"batch", ExamplePath(), "--count", "2", "--report", report.string()});
    EXPECT_EQ(r.exit, 1);
    const std::vector<std::string> rows = Lines(ReadFile(report));
    ASSERT_EQ(rows.size(), 3u) << ReadFile(report);
    EXPECT_TRUE(Contains(rows[1], "860000000000001,KV-2.9.4 build 2022-11-09,failed,")) << rows[1];
    EXPECT_TRUE(Contains(rows[2], "860000000000002,KV-2.9.4 build 2022-11-09,failed,")) << rows[2];
    // The read-back names the item the device would not take.
    EXPECT_TRUE(Contains(rows[2], "does not hold the values asked for: \"\"11. ")) << rows[2];
    EXPECT_EQ(EventsOf("power-on").size(), 2u);
}

TEST_F(TirvelctlRun, BatchWritesNothingToADeviceThatDoesNotListEveryKeyOfTheProfile) {
    // A row the device does not list would keep its old value while the device
    // is reported done: such a device fails, and is written nothing at all.
    StartSimulator({"--devices", "2"});
    const fs::path profile = dir_.Path() / "profile.txt";
    std::ofstream(profile) << ReadFile(ExamplePath()) << "59. Not An Item=1\r\n";
    const fs::path report = dir_.Path() / "report.csv";
    const Result r = Run({"batch", profile.string(), "--count", "2", "--report", report.string()});
    EXPECT_EQ(r.exit, 1);
    const std::vector<std::string> rows = Lines(ReadFile(report));
    ASSERT_EQ(rows.size(), 3u) << ReadFile(report);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_TRUE(Contains(rows[i],
                             ",failed,0,\"The device did not list \"\"59. Not An Item\"\"; "
                             "nothing was written to it."))
            << rows[i];
    }
    EXPECT_TRUE(EventsOf("set").empty());
    EXPECT_EQ(EventsOf("power-on").size(), 2u);
}

TEST_F(TirvelctlRun, APasswordProtectedDeviceNeedsTheRightPassword) {
    StartSimulator({"--password", "s3cret"});

    const Result none = Run({"read"});
    EXPECT_EQ(none.exit, 1);
    EXPECT_TRUE(Contains(none.err, "--password")) << none.err;

    const Result wrong = Run({"--password", "guess", "read"});
    EXPECT_EQ(wrong.exit, 1);
    EXPECT_TRUE(Contains(wrong.err, "refused")) << wrong.err;
    EXPECT_TRUE(wrong.out.empty()) << wrong.out;

    const Result right = Run({"--password", "s3cret", "read", "--json"});
    ASSERT_EQ(right.exit, 0) << right.err;
    EXPECT_EQ(Json::parse(right.out)["imei"], "860000000000001");
    std::vector<std::string> logins;
    for (const Json& e : EventsOf("login")) {
        logins.push_back(e["result"]);
    }
    // The wrong password is given once per connection, not over and over.
    EXPECT_EQ(logins, (std::vector<std::string>{"failed", "failed", "failed", "ok"}));
}

TEST_F(TirvelctlRun, NoDeviceOnTheLineEndsWithTheStartupTimeout) {
    StartSimulator({"--silent"});
    const Result r = Run({"-q", "read"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(Contains(r.err, "Kavrel startup timeout!")) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST_F(TirvelctlRun, UsageErrorsStopBeforeThePortIsOpened) {
    StartSimulator({});
    // The port options clash with --device, so those run on COM numbers.
    const std::vector<std::vector<std::string>> onComNumbers = {
        {"-p", "0", "read"},
        {"--port", "256", "read"},
        {"--port", "x", "read"},
    };
    const std::vector<std::vector<std::string>> onTheDevice = {
        {"set", "0=1"},
        {"set", "61=x"},
        {"set", "2=a", "2=b"},
        {"set", "APN=x"},
        {"set"},
        {"apply", (dir_.Path() / "missing.txt").string()},
        {"batch", ExamplePath(), "--count", "0"},
        {"--lang", "fr", "read"},
        {"frobnicate"},
        {},
    };
    for (const bool device : {false, true}) {
        for (auto args : device ? onTheDevice : onComNumbers) {
            if (device) {
                args.insert(args.begin(), {"--device", Link()});
            }
            std::string shown;
            for (const auto& a : args) {
                shown += a + " ";
            }
            Tirvelctl process(dir_.Path(), args);
            EXPECT_EQ(process.Wait(), 2) << shown;
            EXPECT_TRUE(Contains(process.Err(), "Usage error")) << shown << process.Err();
        }
    }
    const Result zh = Run({"--lang", "zh", "set", "70=1"});
    EXPECT_EQ(zh.exit, 2);
    EXPECT_TRUE(Contains(zh.err, "用法错误")) << zh.err;
    EXPECT_TRUE(EventsOf("port-open").empty());

    Tirvelctl version(dir_.Path(), {"--version"});
    EXPECT_EQ(version.Wait(), 0);
    EXPECT_EQ(version.Out(), std::string("tirvelctl ") + TIRVEL_VERSION + "\n");
}

TEST_F(TirvelctlRun, PortsListsPinnedNumbersAndTheirMissingTargets) {
    sim_ = std::make_unique<testsupport::SimProcess>(std::vector<std::string>{"--com", "7"});
    const fs::path ports = dir_.Path() / "tirvel" / "ports";
    fs::create_symlink(dir_.Path() / "unplugged", ports / "com9");

    Tirvelctl process(dir_.Path(), {"ports", "--json"});
    ASSERT_EQ(process.Wait(), 0) << process.Err();
    std::map<int, Json> byNumber;
    for (const Json& entry : Json::parse(process.Out())) {
        byNumber[entry["number"].get<int>()] = entry;
    }
    ASSERT_EQ(byNumber.count(7), 1u) << process.Out();
    EXPECT_EQ(byNumber[7]["device"], sim_->PtyPath());
    EXPECT_EQ(byNumber[7]["pinned"], true);
    EXPECT_EQ(byNumber[7]["present"], true);
    ASSERT_EQ(byNumber.count(9), 1u) << process.Out();
    EXPECT_EQ(byNumber[9]["pinned"], true);
    EXPECT_EQ(byNumber[9]["present"], false);

    Tirvelctl text(dir_.Path(), {"ports"});
    ASSERT_EQ(text.Wait(), 0);
    EXPECT_TRUE(Contains(text.Out(), "COM9")) << text.Out();
    EXPECT_TRUE(Contains(text.Out(), "pinned, missing")) << text.Out();
}

TEST_F(TirvelctlRun, CtrlCWhileWaitingForTheDeviceEndsWith130AndSendsNothingElse) {
    // A device that is not switched on in time: tirvelctl is still probing.
    StartSimulator({"--boot-ms", "60000"});
    Tirvelctl process(dir_.Path(), {"--device", Link(), "read"});
    ASSERT_TRUE(process.WaitForErr("Power on the device now", 10s)) << process.Err();
    std::this_thread::sleep_for(700ms);  // some probes on the line
    process.Signal(SIGINT);
    EXPECT_EQ(process.Wait(), 130);
    EXPECT_TRUE(Contains(process.Err(), "Interrupted.")) << process.Err();

    const std::string received = ReceivedBytes(EventsOf("rx"));
    ASSERT_FALSE(received.empty());
    for (std::size_t at = 0; at < received.size(); at += 8) {
        ASSERT_EQ(received.substr(at, 8), "AT+TEST\r") << received;
    }
    EXPECT_TRUE(WaitForEvent("port-close", 5s));
}

TEST_F(TirvelctlRun, CtrlCEndsAnOpenEndedBatchAfterTheDevicesDone) {
    StartSimulator({"--devices", "1"});
    const fs::path report = dir_.Path() / "report.csv";
    Tirvelctl process(dir_.Path(),
                      {"--device", Link(), "batch", ExamplePath(), "--report", report.string()});
    // The first device done, the batch waits for a second that never comes.
    ASSERT_TRUE(process.WaitForErr("Device 2:", 20s)) << process.Err();
    process.Signal(SIGINT);
    EXPECT_EQ(process.Wait(), 130);
    EXPECT_EQ(Lines(ReadFile(report)).size(), 2u) << ReadFile(report);
    EXPECT_EQ(EventsOf("quit").size(), 1u);
    EXPECT_EQ(EventsOf("set").size(), ExampleProfile().size());
}

// Ctrl+C while Modify is writing, each answer slow: the AT+SET on its way
// gets its answer and no other goes out, nor a second write after the
// read-back; the device is still told to quit.
TEST_F(TirvelctlRun, CtrlCWhileWritingLetsNoFurtherItemOut) {
    std::string params;
    std::string profile = "[CFG]\r\n";
    for (int n = 1; n <= 20; ++n) {
        params += std::to_string(n) + ",Item" + std::to_string(n) + ",old\n";
        profile += std::to_string(n) + ". Item" + std::to_string(n) + "=new\r\n";
    }
    WriteFile(dir_.Path() / "profile.txt", profile);
    StartSimulator({"--params", DeviceTable(params), "--reply-delay", "300"});
    const auto commandsReceived = [this] {
        return Occurrences(ReceivedBytes(EventsOf("rx")), "AT+SET=");
    };
    Tirvelctl process(dir_.Path(),
                      {"--device", Link(), "apply", (dir_.Path() / "profile.txt").string()});
    ASSERT_TRUE(WaitForEvent("set", 60s)) << process.Err();
    const int before = commandsReceived();
    process.Signal(SIGINT);
    EXPECT_EQ(process.Wait(), 130) << process.Err();
    EXPECT_LE(commandsReceived(), before + 1);
    EXPECT_EQ(EventsOf("quit").size(), 1u);
}

// --- firmware update, XMODEM send, debug log ---

TEST_F(TirvelctlRun, UpdateDeliversTheImageByteForByteAndReportsSuccess) {
    const fs::path received = dir_.Path() / "received.bin";
    StartSimulator({"--firmware-out", received.string()});
    const std::string image = WriteNoise(dir_.Path() / "fw.bin", 128 * 40 + 17);
    const Result r = Run({"update", (dir_.Path() / "fw.bin").string()});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Power on the device now")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Updated firmware successfully!")) << r.err;
    // Not a terminal: a few plain lines, the last one the whole image.
    EXPECT_TRUE(Contains(r.err, "Sent 100% (5137 of 5137 bytes).")) << r.err;
    EXPECT_FALSE(Contains(r.err, "\r")) << r.err;
    EXPECT_EQ(Hex(ReadFile(received)), Hex(Padded(image)));
    EXPECT_TRUE(WaitForEvent("port-close", 5s));
}

TEST_F(TirvelctlRun, UpdateThatTheLoaderCancelsFails) {
    const fs::path received = dir_.Path() / "received.bin";
    StartSimulator({"--cancel-at-block", "2", "--firmware-out", received.string()});
    WriteFile(dir_.Path() / "fw.bin", Noise(128 * 10));
    const Result r = Run({"--lang", "zh", "update", (dir_.Path() / "fw.bin").string()});
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "文件发送失败!")) << r.err;
    EXPECT_FALSE(Contains(r.err, "更新成功!")) << r.err;
    EXPECT_FALSE(fs::exists(received));
}

TEST_F(TirvelctlRun, UpdateOfAnEmptyOrMissingImageIsAUsageErrorBeforeThePortOpens) {
    StartSimulator({});
    WriteFile(dir_.Path() / "empty.bin", "");
    const Result empty = Run({"update", (dir_.Path() / "empty.bin").string()});
    EXPECT_EQ(empty.exit, 2);
    EXPECT_TRUE(Contains(empty.err, "is empty")) << empty.err;
    const Result missing = Run({"send", (dir_.Path() / "nothing.bin").string()});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_TRUE(EventsOf("port-open").empty());
}

// A device never ends and a FIFO without a writer would hold the open: neither
// reaches the port, nor does a file too large to be any DTU's firmware.
TEST_F(TirvelctlRun, UpdateOrSendOfAnythingButABoundedRegularFileIsAUsageErrorBeforeThePortOpens) {
    StartSimulator({});
    const fs::path fifo = dir_.Path() / "fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir_.Path() / "folder.bin");
    const fs::path big = dir_.Path() / "big.bin";
    WriteFile(big, "x");
    fs::resize_file(big, 64 * 1024 * 1024 + 1);  // sparse
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"/dev/zero", "is not a regular file"},
        {fifo.string(), "is not a regular file"},
        {(dir_.Path() / "folder.bin").string(), "is not a regular file"},
        {big.string(), "is larger than 64 MB"},
    };
    for (const std::string command : {"update", "send"}) {
        for (const auto& [file, reason] : refused) {
            const Result r = Run({command, file});
            EXPECT_EQ(r.exit, 2) << command << " " << file;
            EXPECT_TRUE(Contains(r.err, "The file " + file + " " + reason)) << r.err;
        }
    }
    const Result zh = Run({"--lang", "zh", "send", fifo.string()});
    EXPECT_TRUE(Contains(zh.err, "文件" + fifo.string() + "不是普通文件")) << zh.err;
    EXPECT_TRUE(EventsOf("port-open").empty());
}

TEST_F(TirvelctlRun, CtrlCDuringTheTransferStopsTheSenderAndClosesThePort) {
    StartSimulator({"--firmware-out", (dir_.Path() / "received.bin").string()});
    // Large enough that the transfer is still running when the signal comes.
    WriteFile(dir_.Path() / "fw.bin", Noise(3 * 1024 * 1024));
    Tirvelctl process(dir_.Path(),
                      {"--device", Link(), "update", (dir_.Path() / "fw.bin").string()});
    ASSERT_TRUE(process.WaitForErr("Boot loader ready", 10s)) << process.Err();
    std::this_thread::sleep_for(300ms);
    process.Signal(SIGINT);
    EXPECT_EQ(process.Wait(), 130);
    EXPECT_TRUE(Contains(process.Err(), "Interrupted.")) << process.Err();
    EXPECT_FALSE(Contains(process.Err(), "Updated firmware successfully!")) << process.Err();
    EXPECT_FALSE(Contains(process.Err(), "Failed to transfer file!")) << process.Err();
    EXPECT_TRUE(WaitForEvent("port-close", 5s));
    EXPECT_TRUE(EventsOf("firmware").empty());
}

TEST_F(TirvelctlRun, SendCarriesAFileToAWaitingReceiverAndReportsItsEnd) {
    testsupport::PseudoTerminal pty;
    const std::string image = WriteNoise(dir_.Path() / "image.bin", 128 * 6 + 5);
    Tirvelctl process(dir_.Path(),
                      {"--device", pty.SlavePath(), "send", (dir_.Path() / "image.bin").string()});
    ASSERT_TRUE(process.WaitForErr("start signal", 5s)) << process.Err();
    const Receiver received = ReceiveChecksumXmodem(pty);
    EXPECT_EQ(process.Wait(), 0) << process.Err();
    EXPECT_TRUE(received.ended);
    EXPECT_EQ(Hex(received.data), Hex(Padded(image)));
    EXPECT_TRUE(Contains(process.Err(), "the receiver acknowledged the end")) << process.Err();
}

TEST_F(TirvelctlRun, SendThatTheReceiverCancelsFailsWithTheReason) {
    testsupport::PseudoTerminal pty;
    WriteFile(dir_.Path() / "image.bin", Noise(128 * 6));
    Tirvelctl process(dir_.Path(),
                      {"--device", pty.SlavePath(), "send", (dir_.Path() / "image.bin").string()});
    ASSERT_TRUE(process.WaitForErr("start signal", 5s)) << process.Err();
    ReceiveChecksumXmodem(pty, 3);
    EXPECT_EQ(process.Wait(), 1) << process.Err();
    EXPECT_TRUE(Contains(process.Err(), "Failed to transfer file!")) << process.Err();
    EXPECT_TRUE(Contains(process.Err(), "The receiver cancelled the transfer.")) << process.Err();
}

TEST_F(TirvelctlRun, LogShowsTheDebugOutputAndSavesThePaneByteForByte) {
    // A backspace on its own, long after the text: the pane loses one
    // character, and so does what was shown.
    const fs::path script = dir_.Path() / "debug.txt";
    WriteFile(script, "+50 boot \\xE9t\\xE9\n+100 net up\\c\n+300 \\b\\c\n+300 !\n");
    StartSimulator({"--debug-text", script.string(), "--loader-ms", "100"});
    const fs::path saved = dir_.Path() / "log.txt";
    const Result r = Run({"log", "--seconds", "2", "--output", saved.string()});
    EXPECT_EQ(r.exit, 0) << r.err;
    const std::string pane = "boot \xE9t\xE9\r\nnet u!\r\n";
    EXPECT_EQ(Hex(ReadFile(saved)), Hex(pane));
    // Not a terminal: the device's bytes, and the erase where it happened.
    EXPECT_EQ(Hex(r.out), Hex(std::string("boot \xE9t\xE9\r\nnet up\b \b!\r\n")));
    // The log only listens.
    EXPECT_TRUE(EventsOf("rx").empty());
}

// What following the pane on a pipe gives, played back: "\b \b" took the
// last character (one byte in English), anything else was added.
std::string PaneFromPipe(const std::string& piped) {
    std::string pane;
    for (std::size_t i = 0; i < piped.size(); ++i) {
        if (piped.compare(i, 3, "\b \b") == 0) {
            if (!pane.empty()) {
                pane.pop_back();
            }
            i += 2;
        } else {
            pane += piped[i];
        }
    }
    return pane;
}

TEST_F(TirvelctlRun, LogIsSavedAsItComesAndWholeAfterCtrlC) {
    const fs::path script = dir_.Path() / "debug.txt";
    WriteFile(script, "+50 boot\n@loop\n+150 tick\\c\n+150 \\b\\c\n+150 !\n");
    StartSimulator({"--debug-text", script.string(), "--loader-ms", "100"});
    const fs::path saved = dir_.Path() / "log.txt";
    WriteFile(saved, std::string(100000, 'o'));  // what was there goes at once
    Tirvelctl process(dir_.Path(), {"--device", Link(), "log", "--output", saved.string()});
    // The file grows while the log runs, erases included. Which backspaces
    // are erases depends on how the input fell into chunks (one read in its
    // own chunk erases, one inside a chunk is shown), so a loaded machine may
    // need a few rounds before one comes alone.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while ((Lines(ReadFile(saved)).size() < 4 || !Contains(process.Out(), "\b \b")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GE(Lines(ReadFile(saved)).size(), 4u) << Hex(ReadFile(saved));
    EXPECT_TRUE(Contains(process.Out(), "\b \b")) << Hex(process.Out());
    process.Signal(SIGINT);
    EXPECT_EQ(process.Wait(), 130) << process.Err();
    EXPECT_EQ(process.Out().substr(0, 6), "boot\r\n");
    EXPECT_EQ(Hex(ReadFile(saved)), Hex(PaneFromPipe(process.Out())));
}

TEST_F(TirvelctlRun, LogToATerminalFileIsRefused) {
    StartSimulator({"--loader-ms", "100"});
    testsupport::PseudoTerminal terminal;
    const Result r = Run({"log", "--seconds", "1", "--output", terminal.SlavePath()});
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_TRUE(Contains(r.err, terminal.SlavePath() + " is a terminal")) << r.err;
    EXPECT_TRUE(terminal.Drain().empty());
    EXPECT_TRUE(EventsOf("port-open").empty());
}

}  // namespace
