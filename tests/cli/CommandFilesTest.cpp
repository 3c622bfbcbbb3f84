// The files tirvelctl reads and writes, with the real binary against
// kavrel-sim: every input read once and those bytes used throughout, files of
// the wrong kind and outputs that are an input or a port refused before any
// port opens, and the station's private copy of the operator's file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "FileReads.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "TempDir.h"
#include "TestFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Hex;
using testsupport::ReadFile;
using testsupport::SpecialKind;
using testsupport::WriteFile;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Profile version n: the values a device holds after it, item -> value.
std::map<int, std::string> Values(int n) {
    return {{2, "v" + std::to_string(n) + ".apn.example"}, {6, std::to_string(7100 + n)}};
}
std::string Profile(int n) {
    std::string text = "[CFG]\r\n";
    const auto values = Values(n);
    text += "2. APN=" + values.at(2) + "\r\n6. Server Port=" + values.at(6) + "\r\n";
    return text;
}

struct Outcome {
    int exit;  // -1: still running after the time allowed
    std::string out;
    std::string err;
};

class CommandFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
        ::setenv("LC_ALL", "C", 1);
        // Where a station puts its private copy, so the test can see it go.
        if (const char* tmp = std::getenv("TMPDIR")) {
            savedTmp_ = tmp;
        }
        fs::create_directory(Tmp());
        ::setenv("TMPDIR", Tmp().c_str(), 1);
        WriteFile(ProfilePath(), Profile(1));
    }
    void TearDown() override {
        if (savedTmp_) {
            ::setenv("TMPDIR", savedTmp_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    // Simulator k on the link dtuK with its events log.
    void StartSimulators(int count, std::vector<std::string> options = {}) {
        for (int k = 0; k < count; ++k) {
            std::vector<std::string> args = options;
            args.insert(args.begin(), {"--link", Link(k), "--events", Events(k).string(), "--imei",
                                       "86000000000" + std::to_string(k + 1) + "001"});
            if (std::find(args.begin(), args.end(), "--boot-ms") == args.end()) {
                args.insert(args.end(), {"--boot-ms", "200"});
            }
            sims_.push_back(std::make_unique<testsupport::SimProcess>(args));
        }
    }
    std::string Link(int k) const { return (dir_.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path Events(int k) const { return dir_.Path() / ("events" + std::to_string(k) + ".jsonl"); }
    fs::path Tmp() const { return dir_.Path() / "tmp"; }
    fs::path ProfilePath() const { return dir_.Path() / "profile.txt"; }
    bool AnyPortOpened() const {
        for (std::size_t k = 0; k < sims_.size(); ++k) {
            if (!testsupport::EventsOf(Events(static_cast<int>(k)), "port-open").empty()) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<testsupport::ChildProcess> Start(const std::vector<std::string>& args,
                                                     const fs::path& stdinFile = "/dev/null") {
        ++runs_;
        return std::make_unique<testsupport::ChildProcess>(TIRVELCTL_PATH, args, Out(), Err(),
                                                           stdinFile);
    }
    Outcome Finish(testsupport::ChildProcess& process, std::chrono::milliseconds limit) {
        const int exit = process.Wait(limit);
        return {exit, ReadFile(Out()), ReadFile(Err())};
    }
    Outcome RunFor(const std::vector<std::string>& args, std::chrono::milliseconds limit = 60s) {
        return Finish(*Start(args), limit);
    }
    fs::path Out() const { return dir_.Path() / ("out" + std::to_string(runs_)); }
    fs::path Err() const { return dir_.Path() / ("err" + std::to_string(runs_)); }

    // Every value each simulator's devices were written, by item.
    std::vector<std::map<int, std::string>> Written() const {
        std::vector<std::map<int, std::string>> devices;
        for (std::size_t k = 0; k < sims_.size(); ++k) {
            for (const auto& e : testsupport::EventsOf(Events(static_cast<int>(k)), "")) {
                if (e["event"] == "power-on") {
                    devices.emplace_back();
                } else if (e["event"] == "set" && !devices.empty()) {
                    devices.back()[e["item"].get<int>()] = e["new"].get<std::string>();
                }
            }
        }
        return devices;
    }

    testsupport::TempDir dir_;
    std::optional<std::string> savedTmp_;
    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
    int runs_ = 0;
};

// --- files of the wrong kind ---

struct WrongKind {
    const char* name;
    std::vector<std::string> args;  // SPECIAL, PROFILE and IMAGE stand for the files
    SpecialKind kind;
    const char* reason;
};
void PrintTo(const WrongKind& c, std::ostream* os) {
    *os << c.name;
}

class WrongKindOfFile : public CommandFiles, public ::testing::WithParamInterface<WrongKind> {};

// Refused before the port opens, at once: a FIFO as profile or output held
// tirvelctl in open() for ever, deaf to the first Ctrl+C, while a device
// waited connected for an AT+QUIT it never got.
TEST_P(WrongKindOfFile, IsAUsageErrorBeforeThePortOpens) {
    StartSimulators(1);
    const fs::path special = dir_.Path() / "special";
    if (!testsupport::MakeSpecialFile(special, GetParam().kind)) {
        ASSERT_EQ(GetParam().kind, SpecialKind::kBlockDevice);
        GTEST_SKIP() << "device nodes need root";
    }
    WriteFile(dir_.Path() / "fw.bin", "firmware image");
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        args.push_back(arg == "SPECIAL"   ? special.string()
                       : arg == "PROFILE" ? ProfilePath().string()
                       : arg == "IMAGE"   ? (dir_.Path() / "fw.bin").string()
                       : arg == "DEVICE"  ? Link(0)
                       : arg == "OTHER"   ? (dir_.Path() / "absent").string()
                                          : arg);
    }
    const Outcome r = RunFor(args, 20s);
    ASSERT_NE(r.exit, -1) << "tirvelctl waited on the file";
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_TRUE(Contains(r.err, special.string() + GetParam().reason)) << r.err;
    EXPECT_FALSE(AnyPortOpened());
    EXPECT_FALSE(fs::is_regular_file(special));
}

const std::vector<std::string> kOnePort = {"--device", "DEVICE"};
const std::vector<std::string> kTwoPorts = {"--device", "DEVICE", "--device", "OTHER"};
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
constexpr const char* kNotRegular = " is not a regular file";
constexpr const char* kCannotWrite = ": it is a pipe, a socket, a folder or a disk device";

INSTANTIATE_TEST_SUITE_P(
    Commands, WrongKindOfFile,
    ::testing::Values(
        WrongKind{"ApplyFifo", kOnePort + std::vector<std::string>{"apply", "SPECIAL"},
                  SpecialKind::kFifo, kNotRegular},
        WrongKind{"BatchFifo", kOnePort + std::vector<std::string>{"batch", "SPECIAL"},
                  SpecialKind::kFifo, kNotRegular},
        WrongKind{"StationBatchFifo", kTwoPorts + std::vector<std::string>{"batch", "SPECIAL"},
                  SpecialKind::kFifo, kNotRegular},
        WrongKind{"ApplySocket", kOnePort + std::vector<std::string>{"apply", "SPECIAL"},
                  SpecialKind::kSocket, kNotRegular},
        WrongKind{"ExportFifo", kOnePort + std::vector<std::string>{"export", "SPECIAL"},
                  SpecialKind::kFifo, kCannotWrite},
        WrongKind{"ExportFolder", kOnePort + std::vector<std::string>{"export", "SPECIAL"},
                  SpecialKind::kFolder, kCannotWrite},
        WrongKind{"BatchReportFifo",
                  kOnePort + std::vector<std::string>{"batch", "PROFILE", "--report", "SPECIAL"},
                  SpecialKind::kFifo, kCannotWrite},
        WrongKind{"BatchReportSocket",
                  kTwoPorts + std::vector<std::string>{"batch", "PROFILE", "--report", "SPECIAL"},
                  SpecialKind::kSocket, kCannotWrite},
        WrongKind{"UpdateReportFifo",
                  kOnePort + std::vector<std::string>{"update", "IMAGE", "--report", "SPECIAL"},
                  SpecialKind::kFifo, kCannotWrite},
        WrongKind{
            "LogOutputFifo",
            kOnePort + std::vector<std::string>{"log", "--seconds", "1", "--output", "SPECIAL"},
            SpecialKind::kFifo, kCannotWrite},
        WrongKind{"ExportBlockDevice", kOnePort + std::vector<std::string>{"export", "SPECIAL"},
                  SpecialKind::kBlockDevice, kCannotWrite}),
    [](const auto& info) { return std::string(info.param.name); });

// A character device takes output in place: the export and the report go to
// the test's own null device, which stays one.
TEST_F(CommandFiles, ACharacterDeviceIsWrittenInPlaceAndStaysOne) {
    const fs::path null = dir_.Path() / "null";
    if (!testsupport::MakeSpecialFile(null, SpecialKind::kNullDevice)) {
        GTEST_SKIP() << "device nodes need root";
    }
    StartSimulators(1, {"--devices", "2"});
    const Outcome exported = RunFor({"--device", Link(0), "export", null.string()});
    EXPECT_EQ(exported.exit, 0) << exported.err;
    const Outcome batch = RunFor({"--device", Link(0), "batch", ProfilePath().string(), "--count",
                                  "1", "--report", null.string()});
    EXPECT_EQ(batch.exit, 0) << batch.err;
    struct stat st {};
    ASSERT_EQ(::stat(null.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// --- an output that is an input or a port ---

struct Spelling {
    const char* name;
    // Another name for the file at target, made in dir.
    std::string (*make)(const fs::path& target, const fs::path& dir, int fd);
};
void PrintTo(const Spelling& s, std::ostream* os) {
    *os << s.name;
}

class OutputThatIsTheInput : public CommandFiles, public ::testing::WithParamInterface<Spelling> {};

// By identity, not by name: every spelling of the profile or the image as
// the report is refused before the port opens, and the file keeps its bytes.
TEST_P(OutputThatIsTheInput, IsRefusedAndTheInputKeepsItsBytes) {
    StartSimulators(1);
    WriteFile(dir_.Path() / "fw.bin", "firmware image");
    for (const auto& [command, input] :
         {std::pair{"batch", ProfilePath()}, std::pair{"update", dir_.Path() / "fw.bin"}}) {
        const std::string before = ReadFile(input);
        const int fd = ::open(input.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        const std::string report = GetParam().make(input, dir_.Path(), fd);
        const Outcome r =
            RunFor({"--device", Link(0), command, input.string(), "--report", report});
        ::close(fd);
        EXPECT_EQ(r.exit, 2) << command << " " << r.err;
        EXPECT_TRUE(Contains(r.err, report + " is the same file as " + input.string())) << r.err;
        EXPECT_EQ(ReadFile(input), before) << command;
        fs::remove(dir_.Path() / "other-name");
    }
    EXPECT_FALSE(AnyPortOpened());
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, OutputThatIsTheInput,
    ::testing::Values(Spelling{"HardLink",
                               [](const fs::path& target, const fs::path& dir, int) {
                                   fs::create_hard_link(target, dir / "other-name");
                                   return (dir / "other-name").string();
                               }},
                      Spelling{"SymbolicLink",
                               [](const fs::path& target, const fs::path& dir, int) {
                                   fs::create_symlink(target, dir / "other-name");
                                   return (dir / "other-name").string();
                               }},
                      Spelling{"DotAndDotDot",
                               [](const fs::path& target, const fs::path& dir, int) {
                                   return (dir / "." / "tmp" / ".." / target.filename()).string();
                               }},
                      Spelling{"OpenDescriptor",
                               [](const fs::path&, const fs::path&, int fd) {
                                   return "/proc/" + std::to_string(::getpid()) + "/fd/" +
                                          std::to_string(fd);
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

// The export written to the line it reads the device from would reach the
// device as input.
TEST_F(CommandFiles, AnOutputThatIsThePortIsRefused) {
    StartSimulators(1);
    const Outcome r = RunFor({"--device", Link(0), "export", Link(0)});
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_TRUE(Contains(r.err, "is the same device as the port " + Link(0))) << r.err;
    EXPECT_FALSE(AnyPortOpened());
}

// --- every input read once ---

struct OneRead {
    const char* name;
    std::vector<std::string> args;
    int ports;
    int devices;  // in all
};
void PrintTo(const OneRead& c, std::ostream* os) {
    *os << c.name;
}

class ProfileReadOnce : public CommandFiles, public ::testing::WithParamInterface<OneRead> {};

// An editor saves the profile again the moment tirvelctl has read it, and
// after every later read as well. Import, the verdict and every device must
// stand on the bytes of that one read: a second read would import one version
// and judge another, or give devices different values.
TEST_P(ProfileReadOnce, ImportVerdictAndEveryDeviceHaveTheBytesOfTheOneRead) {
    StartSimulators(GetParam().ports, {"--devices", std::to_string(GetParam().devices)});
    int saved = 1;
    testsupport::FileReads reads(ProfilePath(), [&](int) {
        const fs::path next = dir_.Path() / "profile.txt.new";
        WriteFile(next, Profile(++saved));
        fs::rename(next, ProfilePath());
    });
    std::vector<std::string> args;
    for (int k = 0; k < GetParam().ports; ++k) {
        args.insert(args.end(), {"--device", Link(k)});
    }
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back(ProfilePath().string());
    const Outcome r = RunFor(args, 2min);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(reads.Opens(), 1);
    EXPECT_GE(saved, 2) << "the profile was never read";
    const auto written = Written();
    ASSERT_EQ(written.size(), static_cast<std::size_t>(GetParam().devices)) << r.err;
    for (const auto& device : written) {
        EXPECT_EQ(device, (std::map<int, std::string>{{2, Hex(Values(1).at(2))},
                                                      {6, Hex(Values(1).at(6))}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ProfileReadOnce,
    ::testing::Values(OneRead{"Apply", {"apply"}, 1, 1},
                      OneRead{"Batch", {"batch", "--count", "2", "--"}, 1, 2},
                      OneRead{"Station", {"batch", "--count", "4", "--"}, 2, 2 * 2}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the station's copy ---

// A station's workers talk to the supervisor on their stdin: a profile given
// as /dev/stdin used to be read from that pipe, and the station hung.
TEST_F(CommandFiles, AStationGivenItsProfileOnStdinDoesNotWaitOnIt) {
    StartSimulators(2, {"--devices", "1"});
    auto run =
        Start({"--device", Link(0), "--device", Link(1), "batch", "/dev/stdin", "--count", "2"},
              ProfilePath());
    const Outcome r = Finish(*run, 2min);
    ASSERT_NE(r.exit, -1) << "the station hung";
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(Written().size(), 2u);
    for (const auto& device : Written()) {
        EXPECT_EQ(device.at(2), Hex(Values(1).at(2)));
    }
}

// The copy is the owner's alone while the station runs, is gone when it ends
// (here by Ctrl+C), and what a worker says of it names the operator's file.
TEST_F(CommandFiles, TheStationsCopyIsPrivateNamedAsTheOperatorsFileAndRemoved) {
    // The loaders come late, so the copy can be spoilt before they ask.
    StartSimulators(2, {"--devices", "1", "--boot-ms", "3000"});
    const fs::path image = dir_.Path() / "fw.bin";
    WriteFile(image, std::string(1000, 'i'));
    auto run = Start({"--device", Link(0), "--device", Link(1), "update", image.string()});
    // Both workers have taken the image and opened their ports; the loaders
    // ask for it once the devices are on.
    for (int i = 0; i < 1000 && (testsupport::EventsOf(Events(0), "port-open").empty() ||
                                 testsupport::EventsOf(Events(1), "port-open").empty());
         ++i) {
        std::this_thread::sleep_for(10ms);
    }
    fs::path copy;
    for (const auto& entry : fs::recursive_directory_iterator(Tmp())) {
        if (entry.is_regular_file()) {
            copy = entry.path();
        }
    }
    ASSERT_FALSE(copy.empty()) << ReadFile(Err());
    struct stat folder {};
    struct stat file {};
    ASSERT_EQ(::stat(copy.parent_path().c_str(), &folder), 0);
    ASSERT_EQ(::stat(copy.c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    fs::resize_file(copy, 0);

    const Outcome r = Finish(*run, 2min);
    EXPECT_EQ(r.exit, 1) << r.err;
    const std::string said = r.out + r.err;
    EXPECT_TRUE(Contains(said, "The firmware file " + image.string() + " is empty")) << said;
    EXPECT_EQ(testsupport::EventsOf(Events(0), "firmware").size(), 0u);
    EXPECT_FALSE(Contains(said, Tmp().string())) << said;
    EXPECT_TRUE(fs::is_empty(Tmp()));

    // Ended by Ctrl+C before any device came.
    auto stopped = Start({"--device", Link(0), "--device", Link(1), "update", image.string()});
    for (int i = 0; i < 500 && fs::is_empty(Tmp()); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(fs::is_empty(Tmp()));
    stopped->Signal(SIGINT);
    EXPECT_EQ(Finish(*stopped, 1min).exit, 130);
    EXPECT_TRUE(fs::is_empty(Tmp()));
}

}  // namespace
