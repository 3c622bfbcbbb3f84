// The Windows desktop app, tirvel.exe, run under Wine and driven from outside
// its process by tirvel-driver.exe (in the same wineserver) the way an
// operator works it: toolbar commands, typing, ticking, dialogs and message
// boxes. The device is kavrel-sim behind a COM link in the prefix's
// dosdevices; what reached it is checked in its events log, its state file
// and the firmware image it stored.
//
// Needs TIRVEL_WINDOWS_BIN (tirvel.exe and tirvel-driver.exe), WINEPREFIX (a
// prefix made with wineboot) and DISPLAY; without them each case says why it
// did not run.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ProgramStateTest.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "WineDriverTest.h"
#include "WineSetup.h"
#include "XmodemReceiver.h"
#include "framework/StringTable.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testsupport;
using winedriver::DriverRun;
using winedriver::WindowsPath;

constexpr const char* kImei = "860000000000051";
constexpr const char* kVersion = "KV-3.1.0 e2e";

class WineDesktop : public winedriver::WineDriverTest {
protected:
    // Each case has a COM number of its own, so cases run side by side in one
    // prefix. False, with the reason, where the app cannot be run here.
    bool UseComPort(int number, fw::Language language = fw::Language::English) {
        if (!UseWine("tirvel.exe", language)) {
            return false;
        }
        port_ = number;
        link_ = setup_.ComLink(number);
        return true;
    }

    void StartSimulator(std::vector<std::string> options) {
        WriteFile(Params(), "1,Mode,1\n2,APN,cmnet\n3,Server,10.0.0.1\n");
        options.insert(options.begin(),
                       {"--link", link_.string(), "--events", Events().string(), "--boot-ms", "200",
                        "--at-rate-alias", "38400", "--imei", kImei, "--version-text", kVersion,
                        "--params", Params().string()});
        sim_ = std::make_unique<testsupport::SimProcess>(options);
    }

    // The driver's lines that start the app, find its frame and set the COM
    // port. The driver starts tirvel.exe itself: it then tells this case's
    // frame from those of the cases beside it, and learns its exit code.
    std::string ChoosePort() const {
        return "start " + WindowsPath(setup_.bin / "tirvel.exe") +
               "\n"
               "frame 120\n"
               "command 32778\n"
               "dialog 1002\n"
               "type 1002 " +
               std::to_string(port_) +
               "\n"
               "ok\n"
               "gone 1002\n";
    }

    // Start Config up to the device's values in the form.
    std::string Connect() const {
        return ChoosePort() +
               "command 32774\n"
               "wait-text 1026 " +
               kImei +
               " 60\n"
               "wait-text 1027 " +
               kVersion +
               "\n"
               "wait-enabled 1132 30\n";
    }

    std::vector<nlohmann::json> EventsOf(const std::string& kind) const {
        return testsupport::EventsOf(Events(), kind);
    }

    // The simulator writes its events as they happen; the last of a flow may
    // still be on its way when the driver ends.
    std::vector<nlohmann::json> AwaitEvents(const std::string& kind, size_t count) const {
        std::vector<nlohmann::json> events;
        for (int i = 0; i < 100 && (events = EventsOf(kind)).size() < count; ++i) {
            std::this_thread::sleep_for(100ms);
        }
        return events;
    }

    fs::path Events() const { return dir_.Path() / "events.jsonl"; }
    fs::path State() const { return dir_.Path() / "state.txt"; }
    fs::path Params() const { return dir_.Path() / "params.txt"; }

    std::unique_ptr<testsupport::SimProcess> sim_;
    fs::path link_;
    int port_ = 0;
};

// Start Config reads identity and rows into the form, a typed and ticked value
// reaches the device with Modify, and Stop lets the device go; in both
// languages of the interface.
class ConfiguresTheDevice : public WineDesktop,
                            public ::testing::WithParamInterface<fw::Language> {};

TEST_P(ConfiguresTheDevice, ReadsModifiesAndStops) {
    const fw::Language language = GetParam();
    if (!UseComPort(language == fw::Language::Chinese ? 52 : 51, language)) {
        return;
    }
    StartSimulator({"--state", State().string()});
    const DriverRun r = Drive(Connect() +
                              "wait-text 1201 1. Mode\n"
                              "wait-text 1202 2. APN\n"
                              "print 1302\n"
                              "print 1303\n"
                              "type 1402 internet.e2e\n"
                              "check 1502 1\n"
                              "command 32776\n" +
                              Box(111) +
                              "command 32775\n"
                              "enabled 32774 30\n"  // Idle again: the device was let go
                              "close\n"
                              "wait-exit 30\n");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "1302=cmnet\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "1303=10.0.0.1\n")) << r.out;
    // The success box speaks the interface's language, under its title.
    EXPECT_TRUE(Contains(r.out, "box=" + fw::LoadString(57344, language) + "|")) << r.out;
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
    const auto sets = EventsOf("set");
    ASSERT_EQ(sets.size(), 1u) << "only the ticked row is written";
    const std::map<int, std::string> stored = testsupport::StoredValues(State());
    EXPECT_EQ(stored.at(2), "internet.e2e");
    EXPECT_EQ(stored.at(3), "10.0.0.1");
    // AT+QUIT from Stop; closing the window while idle sends nothing more.
    EXPECT_EQ(AwaitEvents("quit", 1).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Languages, ConfiguresTheDevice,
                         ::testing::Values(fw::Language::English, fw::Language::Chinese),
                         [](const auto& info) {
                             return info.param == fw::Language::Chinese ? "Chinese" : "English";
                         });

TEST_F(WineDesktop, ExportsAndImportsThroughTheFileDialogs) {
    if (!UseComPort(53)) {
        return;
    }
    StartSimulator({"--state", State().string()});
    const fs::path exported = dir_.Path() / "exported.txt";
    const fs::path imported = dir_.Path() / "import.txt";
    WriteFile(imported, "[CFG]\r\n2. APN=imported.apn\r\n3. Server=10.0.0.1\r\n");
    const DriverRun r =
        Drive(Connect() + "click 1132\nfile " + WindowsPath(exported) + "\n" + Box(61463) +
              "click 1133\nfile " + WindowsPath(imported) + "\n" + Box(61476) +
              "wait-text 1402 imported.apn 10\n"
              "expect-checked 1502 1\n"
              "expect-checked 1503 0\n"
              "command 32776\n" +
              Box(111) +
              "command 32775\n"
              "enabled 32774 30\n"
              "close\n"
              "wait-exit 30\n");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(ReadFile(exported), "[CFG]\r\n1. Mode=1\r\n2. APN=cmnet\r\n3. Server=10.0.0.1\r\n");
    // Only the imported value that differs was ticked, and so written.
    const auto sets = EventsOf("set");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(testsupport::StoredValues(State()).at(2), "imported.apn");
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
}

TEST_F(WineDesktop, UpdatesTheFirmwareThroughTheTransferDialog) {
    if (!UseComPort(54)) {
        return;
    }
    const fs::path received = dir_.Path() / "received.bin";
    StartSimulator({"--firmware-out", received.string()});
    const fs::path firmware = dir_.Path() / "fw.bin";
    const std::string image = WriteNoise(firmware, 128 * 30 + 17, 11);
    const DriverRun r = Drive(ChoosePort() + "command 32781\nfile " + WindowsPath(firmware) +
                              "\n"
                              "command 32780\n"
                              "dialog 1137 60\n"
                              "wait-text 1136 fw.bin 10\n" +
                              Box(61472, 120) +
                              "gone 1137 30\n"
                              "enabled 32774 30\n"  // Idle again after the transfer
                              "close\n"
                              "wait-exit 30\n");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "box=" + fw::LoadString(61473, language_) + "|")) << r.out;
    EXPECT_TRUE(ReadFile(received) == Padded(image)) << "the stored image differs from the file";
    EXPECT_EQ(AwaitEvents("firmware", 1).size(), 1u);
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
}

TEST_F(WineDesktop, ShowLogShowsTheDevicesDebugOutput) {
    if (!UseComPort(55)) {
        return;
    }
    const fs::path debug = dir_.Path() / "debug.txt";
    WriteFile(debug, "+100 e2e boot of {imei}\n@loop\n+300 e2e heartbeat\n");
    StartSimulator({"--debug-text", debug.string(), "--loader-ms", "200"});
    const DriverRun r = Drive(ChoosePort() +
                              "command 32782\n"
                              "wait-text 1142 e2e boot of " +
                              kImei +
                              " 60\n"
                              "wait-text 1142 e2e heartbeat 30\n"
                              "command 32775\n"
                              "enabled 32774 30\n"
                              "print 1142\n"
                              "close\n"
                              "wait-exit 30\n");
    ASSERT_EQ(r.exit, 0) << r.err;
    // The log keeps its text after Stop; nothing was ever sent to the device.
    EXPECT_TRUE(Contains(r.out, "e2e heartbeat")) << r.out;
    EXPECT_TRUE(EventsOf("quit").empty());
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
}

TEST_F(WineDesktop, ClosingTheWindowWhileConnectedLetsTheDeviceGo) {
    if (!UseComPort(56)) {
        return;
    }
    StartSimulator({});
    const DriverRun r = Drive(Connect() + "close\nwait-exit 30\n");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
    EXPECT_EQ(AwaitEvents("quit", 1).size(), 1u) << "AT+QUIT before the window closed";
}

}  // namespace
