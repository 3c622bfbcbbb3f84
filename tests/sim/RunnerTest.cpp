// The simulator binary on a real pseudo-terminal, driven through the project's
// own serial layer the way the tool drives a device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "CablePort.h"
#include "EventLog.h"
#include "SimProcess.h"
#include "TempConfigHome.h"
#include "serial/ComPort.h"

namespace {

using namespace testsupport;
using namespace simevents;

// The tool's side of the cable.
class ToolPort : public kavrelsim::testing::CablePort {
public:
    explicit ToolPort(const std::string& path, std::uint32_t baud = 28800)
        : CablePort(path, baud, Reads::kTimed) {}
    std::string Command(std::string_view command, milliseconds timeout = milliseconds(2000)) {
        Send(command);
        return ReadUntil("OK\r\n", timeout);
    }
    // The tool's start-up probe: AT+TEST, wait 0.6 s, again.
    std::string Probe(int attempts) {
        for (int i = 0; i < attempts; ++i) {
            Send("AT+TEST\r");
            std::string reply = ReadUntil("\r\n", milliseconds(600));
            if (!reply.empty()) {
                return reply;
            }
        }
        return {};
    }
};

TEST(KavrelsimRunner, ServesABatchOfDevicesOneOpenAtATime) {
    TempDir dir;
    fs::path events = dir.Path() / "events.jsonl";
    fs::path link = dir.Path() / "dtu";
    SimProcess sim({"--boot-ms", "100", "--devices", "2", "--events", events.string(), "--link",
                    link.string()});
    ASSERT_TRUE(sim.PtyPath().starts_with("/dev/pts/")) << sim.PtyPath();
    EXPECT_EQ(fs::read_symlink(link), sim.PtyPath());

    // Nothing is switched on before the tool opens the port.
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_TRUE(WaitForEvent(events, Named("power-on"), milliseconds(0)).is_null());

    {
        ToolPort port(link.string());
        ASSERT_TRUE(port.IsOpen());
        EXPECT_EQ(port.Probe(5), "AT+TEST\rOK\r\n");
        EXPECT_NE(port.Command("AT+DTU&IMEI?\r").find("\r\n860000000000001\r\nOK\r\n"),
                  std::string::npos);
    }
    Json off = WaitForEvent(events, Named("power-off"));
    ASSERT_FALSE(off.is_null());
    EXPECT_EQ(off["reason"], "unplugged");
    EXPECT_EQ(off["imei"], "860000000000001");

    {
        ToolPort port(sim.PtyPath());
        ASSERT_TRUE(port.IsOpen());
        std::string reply = port.Probe(5);
        EXPECT_EQ(reply, "AT+TEST\rOK\r\n");
        EXPECT_NE(port.Command("AT+DTU&IMEI?\r").find("\r\n860000000000002\r\nOK\r\n"),
                  std::string::npos);
    }
    ASSERT_FALSE(WaitForEvent(events, Named("power-on", "imei", "860000000000002")).is_null());

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    // The log shows the boot delay and exactly what went over the line.
    std::vector<std::int64_t> opens;
    std::vector<std::int64_t> ons;
    for (const auto& e : ReadEvents(events)) {
        if (e["event"] == "port-open") {
            opens.push_back(e["t"]);
        } else if (e["event"] == "power-on") {
            ons.push_back(e["t"]);
        }
    }
    ASSERT_EQ(opens.size(), 2u);
    ASSERT_EQ(ons.size(), 2u);
    EXPECT_GE(ons[0] - opens[0], 100);
    EXPECT_GE(ons[1] - opens[1], 100);
    EXPECT_FALSE(WaitForEvent(events, Named("rx", "hex", "41542B544553540D")).is_null());
    EXPECT_FALSE(WaitForEvent(events, Named("tx", "hex", "4F4B0D0A")).is_null());
}

TEST(KavrelsimRunner, AnImmediateReopenIsTheNextDevice) {
    // A tool that closes and opens again at once (Stop, then Start) leaves
    // no hang-up to be seen; the next device must power on all the same.
    SimProcess sim({"--boot-ms", "100", "--devices", "2"});
    for (const char* imei : {"860000000000001", "860000000000002"}) {
        ToolPort port(sim.PtyPath());
        ASSERT_EQ(port.Probe(5), "AT+TEST\rOK\r\n");
        EXPECT_NE(port.Command("AT+DTU&IMEI?\r").find(imei), std::string::npos) << imei;
    }
}

TEST(KavrelsimRunner, AnswersNobodyReadDoNotReachTheNextConnection) {
    TempDir dir;
    fs::path events = dir.Path() / "events.jsonl";
    SimProcess sim({"--boot-ms", "0", "--no-echo", "--events", events.string()});
    {
        ToolPort port(sim.PtyPath());
        ASSERT_EQ(port.Probe(3), "OK\r\n");
        port.Send("AT+GETDV=0\r");
        ASSERT_FALSE(WaitForEvent(events, [](const Json& e) {
                         return e["event"] == "tx" &&
                                e["text"].get<std::string>().ends_with("OK\\r\\n") &&
                                e["text"].get<std::string>().size() > 100;
                     }).is_null());
    }
    ASSERT_FALSE(WaitForEvent(events, Named("power-off")).is_null());
    // A plain open, without the flush the serial layer does on set-up.
    int fd = ::open(sim.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 200), 0);
    ::close(fd);
}

TEST(KavrelsimRunner, BytesAtTheWrongRateAreNotUnderstood) {
    TempDir dir;
    fs::path events = dir.Path() / "events.jsonl";
    SimProcess sim({"--boot-ms", "0", "--events", events.string(), "--no-echo"});
    ToolPort port(sim.PtyPath(), 115200);
    ASSERT_TRUE(port.IsOpen());
    ASSERT_FALSE(WaitForEvent(events, Named("power-on")).is_null());
    EXPECT_EQ(port.Probe(2), "");
    Json mismatch = WaitForEvent(events, Named("line-rate-mismatch"));
    ASSERT_FALSE(mismatch.is_null());
    EXPECT_EQ(mismatch["baud"], 115200);
    EXPECT_EQ(mismatch["data_bits"], 8);

    // Right rate, two stop bits. (A pty forces 8 data bits and no parity on
    // every settings change, so 7E1 cannot be told apart from 8N1 here.)
    port.Setup(28800, 2);
    EXPECT_EQ(port.Probe(1), "");
    ASSERT_FALSE(WaitForEvent(events, [](const Json& e) {
                     return e["event"] == "line-rate-mismatch" && e["stop_bits"] == 2;
                 }).is_null());

    port.Setup(28800);
    EXPECT_EQ(port.Probe(2), "OK\r\n");
}

TEST(KavrelsimRunner, TheRateAliasStandsForTheAtRateOnly) {
    TempDir dir;
    fs::path events = dir.Path() / "events.jsonl";
    SimProcess sim(
        {"--boot-ms", "0", "--events", events.string(), "--no-echo", "--at-rate-alias", "38400"});
    ToolPort port(sim.PtyPath(), 38400);
    ASSERT_TRUE(port.IsOpen());
    ASSERT_FALSE(WaitForEvent(events, Named("power-on")).is_null());
    EXPECT_EQ(port.Probe(2), "OK\r\n");
    // The real rate still works, and any other rate is still wrong.
    port.Setup(28800);
    EXPECT_EQ(port.Probe(2), "OK\r\n");
    port.Setup(57600);
    EXPECT_EQ(port.Probe(1), "");
    ASSERT_FALSE(WaitForEvent(events, [](const Json& e) {
                     return e["event"] == "line-rate-mismatch" && e["baud"] == 57600;
                 }).is_null());
}

TEST(KavrelsimRunner, RegistersAComPortUntilInterrupted) {
    testsupport::TempConfigHome dir;
    SimProcess sim({"--com", "7"});
    fs::path com = dir.Path() / "tirvel" / "ports" / "com7";
    ASSERT_TRUE(fs::is_symlink(com));
    EXPECT_EQ(fs::read_symlink(com), sim.PtyPath());
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(com)));
}

TEST(KavrelsimRunner, PowerSwitchOnStandardInput) {
    TempDir dir;
    fs::path events = dir.Path() / "events.jsonl";
    SimProcess sim({"--boot-ms", "60000", "--events", events.string(), "--no-echo"});
    ToolPort port(sim.PtyPath());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_FALSE(WaitForEvent(events, Named("port-open")).is_null());
    ASSERT_TRUE(sim.Tell("on"));
    EXPECT_EQ(port.Probe(3), "OK\r\n");
    ASSERT_TRUE(sim.Tell("cycle"));
    Json off = WaitForEvent(events, Named("power-off"));
    ASSERT_FALSE(off.is_null());
    EXPECT_EQ(off["reason"], "switch");
    // Configuration mode went with the power.
    port.Send("AT+DTU&IMEI?\r");
    EXPECT_EQ(port.ReadUntil("\r\n", milliseconds(300)), "ERROR\r\n");
    ASSERT_TRUE(sim.Tell("off"));
    EXPECT_EQ(port.Probe(1), "");
}

TEST(KavrelsimRunner, StateFileCarriesValuesIntoTheNextRun) {
    TempDir dir;
    fs::path state = dir.Path() / "state.txt";
    {
        SimProcess sim({"--boot-ms", "0", "--state", state.string(), "--no-echo"});
        ToolPort port(sim.PtyPath());
        ASSERT_EQ(port.Probe(3), "OK\r\n");
        EXPECT_EQ(port.Command("AT+SET=2,internet.m2m\r"), "OK\r\n");
        EXPECT_EQ(sim.Stop(), 0);
    }
    std::ifstream in(state);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\n2,APN,internet.m2m\n"), std::string::npos) << text;

    SimProcess sim({"--boot-ms", "0", "--state", state.string(), "--no-echo"});
    ToolPort port(sim.PtyPath());
    ASSERT_EQ(port.Probe(3), "OK\r\n");
    EXPECT_NE(port.Command("AT+GETDV=0\r").find("\r\n2,APN,internet.m2m\r\n"), std::string::npos);
}

TEST(KavrelsimRunner, ALinkReplacedMeanwhileIsNotRenamedOver) {
    TempDir dir;
    fs::path link = dir.Path() / "dtu";
    SimProcess sim({"--boot-ms", "0", "--link", link.string(), "--unplug-at", "connecting"});
    fs::remove(link);
    ASSERT_EQ(::mkfifo(link.c_str(), 0600), 0);
    ToolPort(sim.PtyPath()).Probe(1);  // pulled off at the probe: the link would move now
    EXPECT_EQ(sim.Stop(SIGTERM), 1);   // it cannot follow the device, and says so
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(KavrelsimRunner, ThrottledOutputTakesLineTime) {
    SimProcess sim({"--boot-ms", "0", "--throttle", "--no-echo"});
    ToolPort port(sim.PtyPath());
    ASSERT_EQ(port.Probe(3), "OK\r\n");
    auto start = Clock::now();
    std::string listing = port.Command("AT+GETDV=0\r", milliseconds(3000));
    auto took = Clock::now() - start;
    ASSERT_TRUE(listing.ends_with("40,TCP Keepalive,120\r\nOK\r\n")) << listing;
    // Ten bit times per byte at 28800 baud; only a lower bound says anything,
    // and a loose one: on a loaded machine the two processes' clocks drift
    // apart by a scheduling slice. Unpaced output takes a millisecond or two.
    auto lineTime = milliseconds(listing.size() * 10 * 1000 / 28800);
    EXPECT_GE(took, lineTime / 2) << listing.size() << " bytes";
}

// A broken line on the pty: junk keeps coming over time, never an answer.
class KavrelsimJunkRunner : public ::testing::TestWithParam<const char*> {};

TEST_P(KavrelsimJunkRunner, JunkArrivesOverTimeAndNoAnswer) {
    SimProcess sim({GetParam(), "--boot-ms", "0"});
    ToolPort port(sim.PtyPath());
    port.Send("AT+TEST\r");
    std::string junk;
    int slicesWithJunk = 0;
    for (int slice = 0; slice < 10; ++slice) {
        const std::string got = port.ReadUntil("\r", milliseconds(150));
        slicesWithJunk += got.empty() ? 0 : 1;
        junk += got;
    }
    EXPECT_GE(slicesWithJunk, 6) << junk.size() << " bytes";
    EXPECT_EQ(junk.find_first_of(std::string("\r\nOoKk\x11\x13")), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Line, KavrelsimJunkRunner,
                         ::testing::Values("--line-trickle=50", "--line-babble"));

TEST(KavrelsimRunner, EndlessListingInReverseWithProtocolWords) {
    TempDir dir;
    fs::path events = dir.Path() / "events.jsonl";
    SimProcess sim({"--boot-ms", "0", "--no-echo", "--endless-listing", "20", "--listing-order",
                    "descending", "--protocol-words", "--events", events.string()});
    ToolPort port(sim.PtyPath());
    ASSERT_EQ(port.Probe(3), "OK\r\n");
    port.Send("AT+GETDV=0\r");
    // Twenty lines after the listing the numbers have run round to 1.
    const std::string got = port.ReadUntil("\r\n1,Work Mode,21\r\n", milliseconds(5000));
    EXPECT_TRUE(got.starts_with("\r\n40,TCP Keepalive,120\r\n39,Device Name,NO ERROR LOG\r\n"))
        << got;
    EXPECT_NE(got.find("\r\n12,Heartbeat Data,OK\r\n"), std::string::npos);
    EXPECT_NE(got.find("\r\n1,Work Mode,0\r\n41,Item 41,1\r\n"), std::string::npos);
    port.Send("AT+DTU&IMEI?\r");
    EXPECT_TRUE(
        port.ReadUntil("OK\r\n", milliseconds(2000)).ends_with("\r\n860000000000001\r\nOK\r\n"));
    EXPECT_EQ(port.ReadUntil("\n", milliseconds(300)), "");
    EXPECT_EQ(WaitForEvent(events, Named("endless-listing", "state", "stopped"))["by"], "command");
}

}  // namespace
