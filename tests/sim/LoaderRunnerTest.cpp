// The boot loader and the debug output of the simulator binary on a real
// pseudo-terminal: the tool's hand-shake, a scripted sender, Debian's sx as an
// XMODEM sender we did not write, and the debug log next to the AT dialogue.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CablePort.h"
#include "EventLog.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "XmodemSender.h"
#include "serial/ComPort.h"

extern char** environ;

namespace {

using namespace testsupport;
using namespace simevents;
using namespace kavrelsim::testing;

// The tool's side of the cable with polled reads, as during an update.
class Port : public CablePort {
public:
    explicit Port(const std::string& path, std::uint32_t baud = 115200)
        : CablePort(path, baud, Reads::kPolled) {}
    // What the tool does from the port's open to the loader's first NAK:
    // bursts of 'u' until a line comes, Enter, "y" at the question. Returns
    // everything after "y\r", or what came instead when the loader did not.
    std::string HandShake(milliseconds limit = milliseconds(4000)) {
        auto deadline = Clock::now() + limit;
        std::string banner;
        while (Clock::now() < deadline) {
            for (int i = 0; i < 25; ++i) {
                Send("u");
                std::this_thread::sleep_for(milliseconds(5));
            }
            banner = ReadFor(milliseconds(75));
            if (banner.size() > 5 && banner.find("\r\n") != std::string::npos) {
                break;
            }
        }
        if (banner.find("\r\n") == std::string::npos) {
            return "no banner: " + banner;
        }
        Send("\r");
        std::string menu = ReadUntil("[Y/N]", milliseconds(2000));
        if (!menu.ends_with("[Y/N]")) {
            return "no question: " + menu;
        }
        Send("y\r");
        return ReadUntil(std::string(1, kNak), milliseconds(2000));
    }
};

// A quiet application, so that only the loader speaks at 115200.
struct QuietSim {
    QuietSim(const TempDir& dir, std::vector<std::string> args)
        : events(dir.Path() / "events.jsonl"), image(dir.Path() / "received.bin") {
        fs::path quiet = dir.Path() / "quiet.txt";
        WriteFile(quiet, "");
        args.insert(args.end(), {"--events", events.string(), "--firmware-out", image.string(),
                                 "--debug-text", quiet.string(), "--boot-ms", "100"});
        sim.emplace(args);
    }
    fs::path events;
    fs::path image;
    std::optional<SimProcess> sim;
};

TEST(KavrelsimLoaderRunner, HandShakeThenStartSignalsOfEitherKind) {
    for (const char* start : {"nak", "crc"}) {
        SCOPED_TRACE(start);
        TempDir dir;
        QuietSim s(dir, {"--start", start});
        Port port(s.sim->PtyPath());
        ASSERT_TRUE(port.IsOpen());
        std::string ready = port.HandShake();
        ASSERT_TRUE(ready.ends_with(std::string(1, kNak))) << ready;
        // About once a second from then on.
        std::string signals = port.ReadFor(milliseconds(2600));
        const char expected = std::string_view(start) == "crc" ? 'C' : kNak;
        EXPECT_GE(signals.size(), 2u);
        EXPECT_LE(signals.size(), 3u);
        EXPECT_EQ(signals, std::string(signals.size(), expected));
    }
}

TEST(KavrelsimLoaderRunner, NoBreakInOnceTheWindowHasPassed) {
    TempDir dir;
    QuietSim s(dir, {"--loader-ms", "300"});
    Port port(s.sim->PtyPath());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_FALSE(WaitForEvent(s.events, Named("power-on")).is_null());
    std::this_thread::sleep_for(milliseconds(400));
    std::string got = port.HandShake(milliseconds(600));
    EXPECT_TRUE(got.starts_with("no banner")) << got;
    EXPECT_TRUE(WaitForEvent(s.events, Named("loader"), milliseconds(0)).is_null());
    // The application is running instead.
    port.Setup(28800);
    port.Send("AT+TEST\r");
    EXPECT_EQ(port.ReadUntil("OK\r\n", milliseconds(1000)), "AT+TEST\rOK\r\n");
}

// Runs /usr/bin/sx on the port (its stdin and stdout) and returns its exit
// status, or -1 when it did not end in time.
int RunSx(int fd, const fs::path& file) {
    // sx reads blocking; the open file is shared, so the port is given back
    // as it was.
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    struct Restore {
        int fd, flags;
        ~Restore() { ::fcntl(fd, F_SETFL, flags); }
    } restore{fd, flags};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    std::vector<std::string> args{"sx", "-q", file.string()};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, "/usr/bin/sx", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -2;
    }
    auto deadline = Clock::now() + milliseconds(12000);
    int status = 0;
    while (Clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

TEST(KavrelsimLoaderRunner, LrzszSxSendsAnImageInEitherVariant) {
    if (!fs::exists("/usr/bin/sx")) {
        GTEST_SKIP() << "lrzsz is not installed";
    }
    for (const char* start : {"nak", "crc"}) {
        SCOPED_TRACE(start);
        TempDir dir;
        QuietSim s(dir, {"--start", start});
        const std::string image = Image(3000);
        fs::path file = dir.Path() / "firmware.bin";
        WriteFile(file, image);
        Port port(s.sim->PtyPath());
        ASSERT_TRUE(port.IsOpen());
        ASSERT_TRUE(port.HandShake().ends_with(std::string(1, kNak)));
        ASSERT_EQ(RunSx(port.Fd(), file), 0);
        Json f = WaitForEvent(s.events, Named("firmware"));
        ASSERT_FALSE(f.is_null());
        EXPECT_EQ(f["variant"], std::string_view(start) == "crc" ? "crc" : "checksum");
        EXPECT_EQ(f["blocks"], 24);
        // sx fills the last block with SUB throughout.
        std::string received = ReadFile(s.image);
        ASSERT_EQ(received.size(), 24u * 128);
        EXPECT_EQ(received.substr(0, image.size()), image);
        EXPECT_EQ(received.substr(image.size()), std::string(24 * 128 - image.size(), '\x1A'));
        ASSERT_FALSE(WaitForEvent(s.events, Named("reboot")).is_null());
    }
}

// Sends a block and returns the answer that came within 300 ms.
std::string Offer(Port& port, int n, std::string_view image, bool crc) {
    port.Send(Block(n, image.substr(static_cast<std::size_t>(n - 1) * 128, 128), crc));
    return port.ReadUntil([](const std::string& got) { return !got.empty(); }, milliseconds(300));
}

TEST(KavrelsimLoaderRunner, FaultOptionsOnAScriptedTransfer) {
    TempDir dir;
    QuietSim s(dir,
               {"--start", "crc", "--garble-block", "1", "--nak-block", "2", "--drop-ack", "3"});
    Port port(s.sim->PtyPath());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(port.HandShake().ends_with(std::string(1, kNak)));
    ASSERT_EQ(port.ReadUntil("C", milliseconds(2000)), "C");
    const std::string image = Image(4 * 128 + 10);
    const std::string ack(1, kAck);
    const std::string nak(1, kNak);
    EXPECT_EQ(Offer(port, 1, image, true), nak);
    EXPECT_EQ(Offer(port, 1, image, true), ack);
    EXPECT_EQ(Offer(port, 2, image, true), nak);
    EXPECT_EQ(Offer(port, 2, image, true), ack);
    EXPECT_EQ(Offer(port, 3, image, true), "");
    EXPECT_EQ(Offer(port, 3, image, true), ack);
    EXPECT_EQ(Offer(port, 4, image, true), ack);
    EXPECT_EQ(Offer(port, 5, image, true), ack);
    port.Send(std::string(1, kEot));
    EXPECT_EQ(port.ReadUntil(ack, milliseconds(1000)), ack);
    Json f = WaitForEvent(s.events, Named("firmware"));
    ASSERT_FALSE(f.is_null());
    EXPECT_EQ(f["blocks"], 5);
    EXPECT_EQ(f["repeats"], 1);
    EXPECT_EQ(f["naks"], 2);
    EXPECT_EQ(ReadFile(s.image), Padded(image));
}

TEST(KavrelsimLoaderRunner, CancelAtBlockWritesNothing) {
    TempDir dir;
    QuietSim s(dir, {"--cancel-at-block", "2"});
    Port port(s.sim->PtyPath());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(port.HandShake().ends_with(std::string(1, kNak)));
    const std::string image = Image(512);
    EXPECT_EQ(Offer(port, 1, image, false), std::string(1, kAck));
    port.Send(Block(2, std::string_view(image).substr(128, 128), false));
    EXPECT_EQ(port.ReadUntil(std::string(2, kCan), milliseconds(1000)), std::string(2, kCan));
    port.Send(std::string(1, kAck));
    Json a = WaitForEvent(s.events, Named("firmware-aborted"));
    ASSERT_FALSE(a.is_null());
    EXPECT_EQ(a["blocks"], 1);
    ASSERT_FALSE(WaitForEvent(s.events, Named("reboot")).is_null());
    EXPECT_FALSE(fs::exists(s.image));
}

// The loader of the finding on the line: what was delivered is what the
// events log and the file say, whatever the sender believed.
class KavrelsimFindingRunner : public ::testing::TestWithParam<bool> {};

TEST_P(KavrelsimFindingRunner, OnlyASenderThatRepeatsTheEotDeliversTheImage) {
    TempDir dir;
    QuietSim s(dir, {"--double-ack", "1", "--eot-nak"});
    std::optional<Port> port(std::in_place, s.sim->PtyPath());
    ASSERT_TRUE(port->HandShake().ends_with(std::string(1, kNak)));
    const std::string image = Image(2 * 128);
    port->Send(Block(1, image, false));
    EXPECT_EQ(port->ReadUntil(std::string(2, kAck), milliseconds(1000)), std::string(2, kAck));
    EXPECT_EQ(Offer(*port, 2, image, false), std::string(1, kAck));
    port->Send(std::string(1, kEot));
    EXPECT_EQ(port->ReadUntil(std::string(1, kNak), milliseconds(1000)), std::string(1, kNak));
    if (GetParam()) {
        port->Send(std::string(1, kEot));
        // Stored and written before the ACK leaves.
        EXPECT_EQ(port->ReadUntil(std::string(1, kAck), milliseconds(1000)), std::string(1, kAck));
        ASSERT_FALSE(WaitForEvent(s.events, Named("firmware")).is_null());
        EXPECT_EQ(ReadFile(s.image), image);
        return;
    }
    port.reset();  // the sender took its one EOT for the end
    Json aborted = WaitForEvent(s.events, Named("firmware-aborted"));
    ASSERT_FALSE(aborted.is_null());
    EXPECT_NE(aborted["reason"].get<std::string>().find("nothing stored"), std::string::npos);
    EXPECT_TRUE(WaitForEvent(s.events, Named("firmware"), milliseconds(0)).is_null());
    EXPECT_FALSE(fs::exists(s.image));
}

INSTANTIATE_TEST_SUITE_P(SendsEotAgain, KavrelsimFindingRunner, ::testing::Bool());

// --firmware-out and --state naming FIFOs nobody reads: the device starts and
// goes on, the events say what was not written, and the FIFOs stay FIFOs.
TEST(KavrelsimLoaderRunner, OutputToAFifoWithoutAReaderNeitherHangsNorReplacesIt) {
    TempDir dir;
    const fs::path state = dir.Path() / "state.fifo";
    ASSERT_EQ(::mkfifo(state.c_str(), 0600), 0);
    QuietSim s(dir, {"--state", state.string()});
    ASSERT_EQ(::mkfifo(s.image.c_str(), 0600), 0);
    Port port(s.sim->PtyPath());
    ASSERT_TRUE(port.HandShake().ends_with(std::string(1, kNak)));
    EXPECT_EQ(Offer(port, 1, Image(128), false), std::string(1, kAck));
    port.Send(std::string(1, kEot));
    EXPECT_FALSE(WaitForEvent(s.events, Named("file-error", "option", "--firmware-out")).is_null());
    EXPECT_FALSE(WaitForEvent(s.events, Named("reboot")).is_null());
    for (const fs::path& fifo : {state, s.image}) {
        struct stat st {};
        ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << fifo;
    }
}

TEST(KavrelsimLoaderRunner, DebugLogAtItsRateBesideTheAtDialogue) {
    TempDir dir;
    fs::path script = dir.Path() / "debug.txt";
    WriteFile(script,
              "# boot\n+50 Kavrel DTU {imei}\n+20 [NET] searching \\c\n+30 \\b|\\c\n+30 \\b "
              "\\c\n+10 \n@loop\n+100 [HB] tick\n");
    fs::path events = dir.Path() / "events.jsonl";
    SimProcess sim({"--boot-ms", "0", "--loader-ms", "200", "--debug-text", script.string(),
                    "--events", events.string(), "--no-echo"});
    Port port(sim.PtyPath());
    ASSERT_TRUE(port.IsOpen());
    std::string log = port.ReadUntil("[HB] tick\r\n[HB] tick\r\n", milliseconds(3000));
    EXPECT_TRUE(
        log.starts_with("Kavrel DTU 860000000000001\r\n[NET] searching \b|\b \r\n[HB] "
                        "tick\r\n"))
        << log;
    // At the AT rate the heartbeats are lost to the tool; the answers are clean.
    port.Setup(28800);
    for (int i = 0; i < 3; ++i) {
        port.Send("AT+TEST\r");
        EXPECT_EQ(port.ReadUntil("\r\n", milliseconds(600)), "OK\r\n");
        std::this_thread::sleep_for(milliseconds(150));
    }
    EXPECT_FALSE(WaitForEvent(events, Named("tx-lost")).is_null());
}

}  // namespace
