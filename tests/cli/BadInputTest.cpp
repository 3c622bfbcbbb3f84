// tirvelctl given what an operator mistypes or mis-chooses: COM numbers in the
// wrong form, a port another program holds or the user may not open, profiles
// and images that are no such thing. Each gets its reason, nothing is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ArgumentVector.h"
#include "LanguageForTheTest.h"
#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "TempConfigHome.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "cli/PortFailure.h"
#include "cli/TransferProgress.h"
#include "framework/StringTable.h"
#include "serial/ComPort.h"

namespace {

using testsupport::Contains;
using testsupport::ReadFile;

struct Result {
    int exit;
    std::string err;
};

class BadInput : public testsupport::ToolRunTest {
protected:
    // tirvelctl with stdin from /dev/null; becomes "nobody" first when asked
    // and running as root.
    // stdinBytes, when given, come through a pipe instead.
    Result Run(const std::vector<std::string>& args, bool asNobody = false,
               const std::optional<std::string>& stdinBytes = std::nullopt) {
        const fs::path err = dir_.Path() / "err";
        int pipeFds[2] = {-1, -1};
        if (stdinBytes && ::pipe(pipeFds) != 0) {
            return {-1, "pipe failed"};
        }
        // "nobody" may write no records file of the case's: what these cases
        // try is refused before any record would be kept.
        std::vector<std::string> line = args;
        if (asNobody) {
            line.insert(line.begin(), {"--records", "off"});
        }
        testsupport::ArgumentVector argv(TIRVELCTL_PATH, line);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Output first: "nobody" could not open a file in the test's folder.
            const int in = stdinBytes ? pipeFds[0] : ::open("/dev/null", O_RDONLY);
            if (stdinBytes) {
                ::close(pipeFds[1]);
            }
            const int out = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            ::dup2(in, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(99);
            }
            ::execv(TIRVELCTL_PATH, argv.Data());
            ::_exit(98);
        }
        if (stdinBytes) {
            ::close(pipeFds[0]);
            // tirvelctl may refuse and exit before it reads a byte; the write
            // must then fail with EPIPE rather than kill the test.
            const auto previous = ::signal(SIGPIPE, SIG_IGN);
            (void)!::write(pipeFds[1], stdinBytes->data(), stdinBytes->size());
            ::signal(SIGPIPE, previous);
            ::close(pipeFds[1]);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128, ReadFile(err)};
    }

    void StartSimulator() {
        sim_ = std::make_unique<testsupport::SimProcess>(std::vector<std::string>{
            "--link", Link(), "--events", Events().string(), "--boot-ms", "200"});
    }

    std::unique_ptr<testsupport::SimProcess> sim_;
};

using PortFailureText = testsupport::ProgramStateTest;

TEST_F(PortFailureText, EveryReasonHasItsLineInBothLanguages) {
    // A COM number that reaches nothing is named as the operator gave it.
    const testsupport::TempConfigHome home;
    EXPECT_TRUE(
        Contains(*cli::ExplainOpenFailure(OpenFailure::kNoDevice, "\\\\.\\COM201"), "COM201"));
    for (const fw::Language language : {fw::Language::English, fw::Language::Chinese}) {
        fw::SetLanguage(language);
        const auto denied = cli::ExplainOpenFailure(OpenFailure::kPermission, "/dev/ttyUSB0");
        ASSERT_TRUE(denied);
        EXPECT_TRUE(Contains(*denied, "dialout")) << *denied;
        EXPECT_TRUE(Contains(*denied, "/dev/ttyUSB0")) << *denied;
        for (const OpenFailure why :
             {OpenFailure::kInUse, OpenFailure::kNoDevice, OpenFailure::kOther}) {
            const auto line = cli::ExplainOpenFailure(why, "/dev/ttyUSB0");
            ASSERT_TRUE(line);
            EXPECT_TRUE(Contains(*line, "/dev/ttyUSB0")) << *line;
        }
        EXPECT_FALSE(cli::ExplainOpenFailure(OpenFailure::kNone, "/dev/ttyUSB0"));
    }
}

TEST_F(BadInput, ComNumbersOnlyInPlainDecimalFrom1To255) {
    for (const char* port : {"0", "256", "-1", "0x10", "1e1", "99999999999", "", " 7", "7 "}) {
        const Result r = Run({"--port", port, "read"});
        EXPECT_EQ(r.exit, 2) << "'" << port << "' " << r.err;
        EXPECT_TRUE(Contains(r.err, "Usage error")) << port;
    }
    // The option parser alone read "010" as octal: COM8.
    const Result leadingZero = Run({"--port", "010", "read"});
    EXPECT_EQ(leadingZero.exit, 1) << leadingZero.err;
    EXPECT_TRUE(Contains(leadingZero.err, "COM10")) << leadingZero.err;
    EXPECT_FALSE(Contains(leadingZero.err, "COM8")) << leadingZero.err;
    // Counts and seconds the same way: "010" is ten, not eight.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"batch", "x.txt", "--count", "0x10"},
          std::vector<std::string>{"batch", "x.txt", "--count", "0"},
          std::vector<std::string>{"log", "--seconds", "-5"},
          std::vector<std::string>{"log", "--seconds", "1e3"},
          std::vector<std::string>{"log", "--seconds", "9999999999"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.exit, 2) << args.back() << " " << r.err;
        EXPECT_TRUE(Contains(r.err, "in plain decimal")) << r.err;
    }
    const Result zh = Run({"--lang", "zh", "-p", "300", "read"});
    EXPECT_EQ(zh.exit, 2);
    EXPECT_TRUE(Contains(zh.err, "1到255")) << zh.err;
}

// The device's code page is Windows-1252 in English: Chinese typed for it would
// be written as '?' and read back as the '?' that was sent. Refused before a
// port is even opened; what the code page has is taken.
TEST_F(BadInput, AValueTheCodePageCannotCarryIsRefusedBeforeThePortOpens) {
    StartSimulator();
    const Result r = Run({"--lang", "en", "--device", Link(), "set", "2=internet", "12=心跳"});
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_TRUE(Contains(r.err, "Item 12: \"心跳\" holds characters")) << r.err;
    EXPECT_TRUE(Contains(r.err, "nothing was written")) << r.err;
    EXPECT_FALSE(Contains(ReadFile(Events()), "power-on")) << "the port was opened";
    // The Chinese code page carries it.
    const Result zh = Run({"--lang", "zh", "--device", Link(), "set", "12=心跳"});
    EXPECT_FALSE(Contains(zh.err, "无法表示")) << zh.err;
}

TEST_F(BadInput, APortAnotherProgramHoldsIsNamedWithTheReason) {
    testsupport::PseudoTerminal pty;
    const PortHandle held = OpenComPort(pty.SlavePath().c_str());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (const char* command : {"read", "log"}) {
        const Result r = Run({"--device", pty.SlavePath(), command});
        EXPECT_EQ(r.exit, 1) << r.err;
        EXPECT_TRUE(Contains(r.err, "Failed to open COM port!")) << r.err;
        EXPECT_TRUE(Contains(r.err, pty.SlavePath() + " is held by another program")) << r.err;
    }
    const Result zh = Run({"--lang", "zh", "--device", pty.SlavePath(), "read"});
    EXPECT_TRUE(Contains(zh.err, "打开串口失败！")) << zh.err;
    EXPECT_TRUE(Contains(zh.err, "占用")) << zh.err;
    CloseComPort(held);
}

TEST_F(BadInput, APortTheUserMayNotOpenPointsToTheDialoutGroup) {
    testsupport::PseudoTerminal pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
    const Result r = Run({"--device", pty.SlavePath(), "read"}, true);
    ::chmod(pty.SlavePath().c_str(), 0620);
    if (r.exit == 99) {
        GTEST_SKIP() << "running as root without the right to become another user";
    }
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "add yourself to the dialout group")) << r.err;
}

TEST_F(BadInput, ProfilesThatAreNoProfileWriteNothing) {
    fs::create_directory(dir_.Path() / "folder");
    const Result folder = Run({"--device", Link(), "apply", (dir_.Path() / "folder").string()});
    EXPECT_EQ(folder.exit, 2) << folder.err;
    EXPECT_TRUE(Contains(folder.err, "is not a regular file")) << folder.err;

    StartSimulator();
    // An image chosen for a profile: opened, read, and found to name no item.
    std::string image(4096, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>(i * 7 + (i >> 5));
    }
    std::ofstream(dir_.Path() / "image.bin", std::ios::binary) << image;
    const Result binary = Run({"--device", Link(), "apply", (dir_.Path() / "image.bin").string()});
    EXPECT_EQ(binary.exit, 1) << binary.err;
    EXPECT_TRUE(Contains(binary.err, "No line of the file names an item of this device"))
        << binary.err;
    EXPECT_FALSE(Contains(binary.err, "Import Success"));

    // The batch stops at once rather than passing devices it changed nothing on.
    const Result batch =
        Run({"--device", Link(), "batch", (dir_.Path() / "image.bin").string(), "--count", "2"});
    EXPECT_EQ(batch.exit, 1) << batch.err;
    EXPECT_TRUE(Contains(batch.err, "the batch stops")) << batch.err;
    EXPECT_FALSE(Contains(ReadFile(Events()), "AT+SET"));
}

TEST_F(BadInput, PasswordsTheDeviceCannotTakeAreRefusedWithTheReason) {
    sim_ = std::make_unique<testsupport::SimProcess>(
        std::vector<std::string>{"--link", Link(), "--events", Events().string(), "--boot-ms",
                                 "200", "--password", "s3cret"});
    const Result foreign = Run({"--device", Link(), "--password", "密码", "read"});
    EXPECT_EQ(foreign.exit, 1) << foreign.err;
    EXPECT_TRUE(Contains(foreign.err, "characters the device cannot receive")) << foreign.err;
    const Result longer = Run({"--device", Link(), "--password", std::string(38, 'p'), "read"});
    EXPECT_EQ(longer.exit, 1) << longer.err;
    EXPECT_TRUE(Contains(longer.err, "at most 37")) << longer.err;
    EXPECT_FALSE(Contains(ReadFile(Events()), "TESTPWD"));
}

// An exported profile edited elsewhere: LF line ends, no line end at the
// end, no section line, stray binary, values with bytes above 0x7F, blanks
// and "=". What arrives at the device is the file's bytes exactly.
TEST_F(BadInput, AnEditedProfileReachesTheDeviceByteForByte) {
    StartSimulator();
    const fs::path exported = dir_.Path() / "exported.txt";
    ASSERT_EQ(Run({"--device", Link(), "export", exported.string()}).exit, 0);
    std::string text = ReadFile(exported);
    ASSERT_TRUE(text.rfind("[CFG]\r\n", 0) == 0) << text.substr(0, 40);
    std::string edited("\x01\xFF\xFE binary\0junk\n", 16);
    std::size_t start = text.find("\r\n") + 2;
    int lines = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end - start);
        const std::string key = line.substr(0, line.find('='));
        if (key.rfind("2. ", 0) == 0) {
            line = key + "=\xE9t\xE9 caf\xE9";
        } else if (key.rfind("3. ", 0) == 0) {
            line = key + "=a=b  ";
        }
        edited += (lines++ > 0 ? "\n" : "") + line;
        start = end + 2;
    }
    const fs::path profile = dir_.Path() / "edited.txt";
    std::ofstream(profile, std::ios::binary) << edited;

    const Result r = Run({"--device", Link(), "apply", profile.string()});
    EXPECT_EQ(r.exit, 0) << r.err;
    std::map<int, std::string> written;
    std::ifstream events(Events());
    for (std::string line; std::getline(events, line);) {
        const auto e = nlohmann::json::parse(line);
        if (e.value("event", "") == "set") {
            written[e["item"].get<int>()] = e["new"].get<std::string>();
        }
    }
    EXPECT_EQ(written, (std::map<int, std::string>{{2, "E974E920636166E9"}, {3, "613D622020"}}));
}

// A profile piped in is refused as a FIFO is: a pipe nobody writes to would
// hold tirvelctl for ever, and what it holds cannot be told beforehand.
TEST_F(BadInput, AProfileFromAPipeIsRefusedBeforeThePortOpens) {
    StartSimulator();
    const Result r = Run({"--device", Link(), "apply", "/dev/stdin"}, false,
                         std::string("[CFG]\r\n2. APN=piped.apn\r\n"));
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_TRUE(Contains(r.err, "/dev/stdin is not a regular file")) << r.err;
    EXPECT_FALSE(Contains(ReadFile(Events()), "port-open")) << r.err;
}

TEST_F(BadInput, FirmwareThatIsAFolderIsAUsageError) {
    fs::create_directory(dir_.Path() / "folder.bin");
    for (const char* command : {"update", "send"}) {
        const Result r =
            Run({"--device", "/dev/null", command, (dir_.Path() / "folder.bin").string()});
        EXPECT_EQ(r.exit, 2) << r.err;
        EXPECT_TRUE(Contains(r.err, "is not a regular file")) << r.err;
    }
}

// The largest of the peaks the process's memory reached, in bytes.
long long PeakMemory(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return -1;
}

TEST(TransferFigures, PercentAndBytesOfALargeImageAgree) {
    const testsupport::EnglishForTheTest english;
    std::ostringstream out;
    std::ostringstream err;
    cli::Console console(out, err, cli::Verbosity::Normal, cli::ErrStream::Plain);
    station::DeviceObserver nobody;
    cli::TransferProgress progress(console, false, nobody);
    progress.Begin(64LL * 1024 * 1024);
    progress.Update(600);
    progress.Finish();
    // 60.0 % of 67108864 is 40265318.4 bytes; cut to 40265318 it read "59%".
    EXPECT_TRUE(Contains(err.str(), "Sent 60% (40265319 of 67108864 bytes).")) << err.str();
    // A small image is never shown whole before the end.
    std::ostringstream smallErr;
    cli::Console smallConsole(out, smallErr, cli::Verbosity::Normal, cli::ErrStream::Plain);
    cli::TransferProgress small(smallConsole, false, nobody);
    small.Begin(5);
    small.Update(999);
    small.Finish();
    EXPECT_TRUE(Contains(smallErr.str(), "(4 of 5 bytes)")) << smallErr.str();
}

TEST_F(BadInput, A64MegabyteImageStartsShowsItsSizeAndCancels) {
    StartSimulator();
    const fs::path image = dir_.Path() / "big.bin";
    constexpr long long kSize = 64LL * 1024 * 1024;
    { std::ofstream(image, std::ios::binary) << "KAVREL-IMAGE"; }
    fs::resize_file(image, kSize);

    const fs::path err = dir_.Path() / "update-err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        // No record: what this case measures is the image's memory and the
        // cancel, and a record's digest of 64 MB would only load the machine
        // (under the sanitizers for many seconds) while other cases run.
        ::execl(TIRVELCTL_PATH, TIRVELCTL_PATH, "--records", "off", "--device", Link().c_str(),
                "update", image.c_str(), static_cast<char*>(nullptr));
        ::_exit(98);
    }
    // The transfer is under way once the loader's blocks start to arrive:
    // within a minute, however loaded the machine (ThreadSanitizer beside
    // seven other cases has taken over ten seconds).
    bool started = false;
    for (int i = 0; i < 1200 && !started; ++i) {
        ::usleep(50 * 1000);
        // A block of data (SOH) has reached the loader.
        started = Contains(ReadFile(Events()), "\"rx\",\"hex\":\"01");
    }
    ::usleep(500 * 1000);
    const long long peak = PeakMemory(pid);
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string text = ReadFile(err);
    EXPECT_TRUE(Contains(text, "Boot loader ready")) << text;
    EXPECT_TRUE(started) << ReadFile(Events()).substr(0, 2000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130) << text;
    EXPECT_TRUE(Contains(text, "Interrupted.")) << text;
    EXPECT_FALSE(Contains(text, "Updated firmware successfully!")) << text;
    // Held at most twice (the file read, the image handed to the sender), not
    // once more for every check on the way.
    EXPECT_GT(peak, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A sanitizer's shadow memory and quarantine say nothing about ours.
    EXPECT_LT(peak, 3 * kSize) << peak;
#endif
    // The line the interruption leaves: a share of the whole image, its
    // percentage agreeing with its byte count.
    const std::size_t at = text.find("Sent ");
    ASSERT_NE(at, std::string::npos) << text;
    int percent = -1;
    long long done = -1;
    long long total = -1;
    ASSERT_EQ(
        std::sscanf(text.c_str() + at, "Sent %d%% (%lld of %lld bytes).", &percent, &done, &total),
        3)
        << text;
    EXPECT_EQ(total, kSize);
    // A slow (sanitized) run may not have passed a thousandth yet: 0 is a
    // share too, as long as the figures agree.
    EXPECT_GE(done, 0);
    EXPECT_LT(done, kSize);
    // The percentage is that of the per-mille the byte count stands for.
    EXPECT_EQ(percent, std::lround(static_cast<double>(done) * 1000 / kSize) / 10) << text;
}

// The operator's own file in a folder they may not write: it is written where
// it is, and the folder gets nothing new.
TEST_F(BadInput, ExportIntoAFolderTheUserMayNotWrite) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can run tirvelctl as another user";
    }
    StartSimulator();
    const fs::path expected = dir_.Path() / "expected.txt";
    ASSERT_EQ(Run({"--device", Link(), "export", expected.string()}).exit, 0);
    const fs::path locked = dir_.Path() / "locked";
    const fs::path file = locked / "cfg.txt";
    fs::create_directory(locked);
    std::ofstream(file) << "old";
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(fs::canonical(Link()).c_str(), 0666), 0);
    const auto changed = [&] { return fs::last_write_time(locked); };
    const auto before = changed();

    const Result r = Run({"--device", Link(), "export", file.string()}, true);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(ReadFile(file), ReadFile(expected));
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), {}), 1);
    EXPECT_EQ(changed(), before);
}

}  // namespace
