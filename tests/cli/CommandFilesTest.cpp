// The files tirvelctl reads and writes, with the real binary against
// kavrel-sim: each input read once and those bytes used throughout, files that
// would hang or be destroyed refused before any port opens, and the station's
// private copy of the operator's file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "SampleRecord.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "records/SqliteRecordStore.h"

namespace {

using testsupport::Contains;
using testsupport::ReadFile;
using testsupport::WriteFile;

// Profile version n sets item 2 to "vN.example" and item 6 to 7100 + n.
std::string Profile(int n) {
    return "[CFG]\r\n2. APN=v" + std::to_string(n) +
           ".example\r\n6. Server Port=" + std::to_string(7100 + n) + "\r\n";
}
const std::map<int, std::string> kVersion1 = {{2, testsupport::Hex("v1.example")},
                                              {6, testsupport::Hex("7101")}};

// Opens of one file by anyone, seen through inotify on its folder; after each
// read of it an editor saves it again (a new file renamed over it).
class EditorSavingAfterEachRead {
public:
    explicit EditorSavingAfterEachRead(const fs::path& file) : file_(file) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(fd_, file.parent_path().c_str(), IN_OPEN | IN_CLOSE_NOWRITE);
        thread_ = std::thread([this] { Watch(); });
    }
    ~EditorSavingAfterEachRead() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::atomic<int> opens{0};

private:
    void Watch() {
        alignas(inotify_event) char buffer[4096];
        for (int saved = 1; !stop_;) {
            pollfd ready{fd_, POLLIN, 0};
            const ssize_t got = ::poll(&ready, 1, 20) > 0 ? ::read(fd_, buffer, sizeof buffer) : 0;
            for (ssize_t at = 0; at < got;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const bool ours = event.len > 0 && file_.filename() == buffer + at + sizeof event;
                at += static_cast<ssize_t>(sizeof event + event.len);
                opens += ours && (event.mask & IN_OPEN) != 0 ? 1 : 0;
                if (ours && (event.mask & IN_CLOSE_NOWRITE) != 0) {
                    WriteFile(file_.string() + ".new", Profile(++saved));
                    fs::rename(file_.string() + ".new", file_);
                }
            }
        }
    }
    fs::path file_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class CommandFiles : public testsupport::ToolRunTest {
protected:
    void SetUp() override {
        ToolRunTest::SetUp();
        WriteFile(dir_.Path() / "profile.txt", Profile(1));
        WriteFile(dir_.Path() / "fw.bin", std::string(1000, 'i'));
        // Where a station keeps its copy, for this test's eyes only.
        fs::create_directory(Tmp());
        SetEnv("TMPDIR", Tmp().string());
    }

    void StartSimulators(int count, const std::string& options) {
        for (int k = 0; k < count; ++k) {
            std::vector<std::string> args =
                Words(options + " --link " + Link(k) + " --events " + Events(k).string() +
                      " --imei 86000000000" + std::to_string(k + 1) + "001");
            sims_.push_back(std::make_unique<testsupport::SimProcess>(args));
        }
    }
    static std::vector<std::string> Words(const std::string& text) {
        std::vector<std::string> words;
        std::istringstream in(text);
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        return words;
    }
    std::string Link(int k) const { return (dir_.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path Events(int k) const { return dir_.Path() / ("events" + std::to_string(k)); }
    fs::path Tmp() const { return dir_.Path() / "tmp"; }
    // What the station put in Tmp(). The thread sanitizer's runtime makes
    // and at once unlinks a scratch file there as each process starts; a
    // worker stopped in that instant leaves it behind, and it is not ours.
    std::vector<fs::path> Copies() const {
        std::vector<fs::path> copies;
        for (const auto& entry : fs::directory_iterator(Tmp())) {
            if (!entry.path().filename().string().starts_with("tsan.rodata.")) {
                copies.push_back(entry.path());
            }
        }
        return copies;
    }
    // What is left in Tmp(), a path a line.
    std::string Left() const {
        std::string left;
        for (const auto& entry : fs::recursive_directory_iterator(Tmp())) {
            left += entry.path().string() + "\n";
        }
        return left;
    }
    bool PortOpened(int k) const { return !testsupport::EventsOf(Events(k), "port-open").empty(); }
    // Every device's writes, item -> value hex, in power-on order per simulator.
    std::vector<std::map<int, std::string>> Written() const {
        std::vector<std::map<int, std::string>> devices;
        for (std::size_t k = 0; k < sims_.size(); ++k) {
            for (const auto& e : testsupport::EventsOf(Events(static_cast<int>(k)), "")) {
                if (e["event"] == "power-on") {
                    devices.emplace_back();
                } else if (e["event"] == "set") {
                    devices.back()[e["item"].get<int>()] = e["new"].get<std::string>();
                }
            }
        }
        return devices;
    }

    std::unique_ptr<testsupport::ChildProcess> Start(const std::string& args,
                                                     const fs::path& in = "/dev/null") {
        return StartRun(TIRVELCTL_PATH, Words(args), in);
    }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
};

// --- files that would hang tirvelctl or be destroyed by it ---

struct Refused {
    const char* name;
    const char* args;      // capitals stand for the test's files
    const char* expected;  // the same
};
void PrintTo(const Refused& r, std::ostream* os) {
    *os << r.args;
}

class RefusedFile : public CommandFiles, public ::testing::WithParamInterface<Refused> {
protected:
    std::string Spelt(std::string text) const {
        const fs::path& d = dir_.Path();
        for (const auto& [word, path] : std::map<std::string, std::string>{
                 {"FIFO", (d / "fifo").string()},
                 {"SOCKET", (d / "socket").string()},
                 {"FOLDER", (d / "folder").string()},
                 {"HARDLINK", (d / "hardlink").string()},
                 {"SYMLINK", (d / "symlink").string()},
                 {"DOTTED", (d / "tmp" / ".." / "." / "profile.txt").string()},
                 {"OPENED", "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd_)},
                 {"PROFILE", (d / "profile.txt").string()},
                 {"IMAGE", (d / "fw.bin").string()},
                 {"DEVICE", Link(0)},
                 {"ABSENT", (d / "absent").string()}}) {
            for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at)) {
                text.replace(at, word.size(), path);
            }
        }
        return text;
    }
    int fd_ = -1;
};

// Each is a usage error at once, before the port opens, and nothing is
// written: a FIFO held tirvelctl in open() for ever, deaf to Ctrl+C while a
// device waited for its AT+QUIT, and a report named like the profile by
// another name replaced the profile.
TEST_P(RefusedFile, IsAUsageErrorBeforeThePortOpens) {
    using testsupport::SpecialKind;
    for (const auto& [name, kind] : {std::pair{"fifo", SpecialKind::kFifo},
                                     {"socket", SpecialKind::kSocket},
                                     {"folder", SpecialKind::kFolder}}) {
        ASSERT_TRUE(testsupport::MakeSpecialFile(dir_.Path() / name, kind));
    }
    fs::create_hard_link(dir_.Path() / "profile.txt", dir_.Path() / "hardlink");
    fs::create_symlink(dir_.Path() / "fw.bin", dir_.Path() / "symlink");
    fd_ = ::open((dir_.Path() / "profile.txt").c_str(), O_RDONLY);
    StartSimulators(1, "--boot-ms 200");

    auto run = Start(Spelt(GetParam().args));
    ASSERT_NE(run->Wait(20s), -1) << "tirvelctl waited on a file";
    ::close(fd_);
    EXPECT_EQ(run->Wait(), 2);
    EXPECT_TRUE(Contains(ReadFile(Err()), Spelt(GetParam().expected))) << ReadFile(Err());
    EXPECT_FALSE(PortOpened(0));
    EXPECT_EQ(ReadFile(dir_.Path() / "profile.txt"), Profile(1));
    EXPECT_TRUE(fs::is_fifo(dir_.Path() / "fifo"));
}

constexpr const char* kNotRegular = "The file FIFO is not a regular file";
INSTANTIATE_TEST_SUITE_P(
    Commands, RefusedFile,
    ::testing::Values(
        Refused{"ApplyFifo", "--device DEVICE apply FIFO", kNotRegular},
        Refused{"BatchFifo", "--device DEVICE batch FIFO", kNotRegular},
        Refused{"StationFifo", "--device DEVICE --device ABSENT batch FIFO", kNotRegular},
        Refused{"ExportFifo", "--device DEVICE export FIFO", "Cannot write to FIFO: it is a pipe"},
        Refused{"ExportFolder", "--device DEVICE export FOLDER", "Cannot write to FOLDER: it is"},
        Refused{"LogFifo", "--device DEVICE log --output FIFO", "Cannot write to FIFO: it is"},
        Refused{"ReportFifo", "--device DEVICE batch PROFILE --report FIFO",
                "Cannot write to FIFO: it is"},
        Refused{"ReportSocket", "--device DEVICE --device ABSENT batch PROFILE --report SOCKET",
                "Cannot write to SOCKET: it is"},
        Refused{"ReportHardLink", "--device DEVICE batch PROFILE --report HARDLINK",
                "HARDLINK is the same file as PROFILE, which this command reads"},
        Refused{"ReportDotted", "--device DEVICE batch PROFILE --report DOTTED",
                "DOTTED is the same file as PROFILE"},
        Refused{"ReportOpened", "--device DEVICE batch PROFILE --report OPENED",
                "OPENED is the same file as PROFILE"},
        Refused{"UpdateReportSymlink", "--device DEVICE update IMAGE --report SYMLINK",
                "SYMLINK is the same file as IMAGE"},
        Refused{"ExportToThePort", "--device DEVICE export DEVICE",
                "DEVICE is the same device as the port DEVICE"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the records database is an input too ---

class RecordsAreAnInput : public RefusedFile {
protected:
    fs::path Db() const { return dir_.Path() / "r.db"; }
    fs::path DefaultDb() const { return dir_.Path() / "data/tirvel/records.db"; }
    static std::size_t Count(const fs::path& db) {
        return records::SqliteRecordStore(db.string()).Find({}).size();
    }
};

// An export or a report over the records database, by any of its names or
// over the files SQLite keeps beside it, replaced it with every record in
// it; records kept in the profile would have spoilt the profile.
TEST_P(RecordsAreAnInput, IsNeverWrittenOverNorKeptInAnInput) {
    for (const fs::path& db : {Db(), DefaultDb()}) {
        records::SqliteRecordStore store(db.string());
        for (int n = 1; n <= 3; ++n) {
            store.Add(testsupport::Numbered(n));
        }
    }
    fs::create_hard_link(Db(), dir_.Path() / "hardlink");
    fs::create_symlink(Db(), dir_.Path() / "symlink");
    WriteFile(dir_.Path() / "fw-wal", std::string(1000, 'i'));
    fd_ = ::open(Db().c_str(), O_RDONLY);
    StartSimulators(1, "--boot-ms 200");
    const auto spelt = [&](std::string text) {
        for (const auto& [word, path] :
             {std::pair<std::string, std::string>{"DEFAULTDB", DefaultDb().string()},
              {"DB", Db().string()},
              {"ROUNDABOUT", (dir_.Path() / "tmp/../r.db").string()},
              {"STEM", (dir_.Path() / "fw").string()}}) {
            for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at)) {
                text.replace(at, word.size(), path);
            }
        }
        return Spelt(text);
    };
    auto run = Start(spelt(GetParam().args));
    EXPECT_EQ(run->Wait(20s), 2);
    ::close(fd_);
    const std::string expected = spelt(GetParam().expected);
    EXPECT_TRUE(Contains(ReadFile(Err()), expected)) << ReadFile(Err());
    EXPECT_FALSE(PortOpened(0));
    EXPECT_EQ(Count(Db()), 3U);
    EXPECT_EQ(Count(DefaultDb()), 3U);
    EXPECT_EQ(ReadFile(dir_.Path() / "profile.txt"), Profile(1));
    EXPECT_EQ(ReadFile(dir_.Path() / "fw-wal"), std::string(1000, 'i'));
}

constexpr const char* kRecordsOver = "is the records database ";
INSTANTIATE_TEST_SUITE_P(
    Commands, RecordsAreAnInput,
    ::testing::Values(
        Refused{"Export", "--records sqlite:DB --device DEVICE export DB", kRecordsOver},
        Refused{"ExportHardLink", "--records sqlite:DB --device DEVICE export HARDLINK",
                kRecordsOver},
        Refused{"ReportSymlink",
                "--records sqlite:DB --device DEVICE batch PROFILE --report SYMLINK", kRecordsOver},
        Refused{"LogRoundabout", "--records sqlite:DB --device DEVICE log --output ROUNDABOUT",
                kRecordsOver},
        Refused{"ReportOpened", "--records sqlite:DB --device DEVICE update IMAGE --report OPENED",
                kRecordsOver},
        Refused{"ExportWal", "--records sqlite:DB --device DEVICE export DB-wal", kRecordsOver},
        Refused{"StationReportShm",
                "--records sqlite:DB --device DEVICE --device ABSENT batch PROFILE --report DB-shm",
                kRecordsOver},
        Refused{"DefaultRecords", "--device DEVICE export DEFAULTDB", kRecordsOver},
        Refused{"ServersQueue",
                "--records postgresql://nowhere/x --device DEVICE export DEFAULTDB-wal",
                kRecordsOver},
        Refused{"KeptInTheProfile", "--records sqlite:PROFILE --device DEVICE apply PROFILE",
                "would be kept in PROFILE"},
        Refused{"WalOverTheImage", "--records sqlite:STEM --device DEVICE send STEM-wal",
                "would be kept in STEM-wal"},
        Refused{"KeptInTheExport", "--records sqlite:ABSENT --device DEVICE export ABSENT",
                kRecordsOver}),
    [](const auto& info) { return std::string(info.param.name); });

// --- every input read once ---

struct OneRead {
    const char* name;
    const char* args;  // before the profile
    int ports;
    std::size_t devices;
};
void PrintTo(const OneRead& r, std::ostream* os) {
    *os << r.args;
}
class ProfileReadOnce : public CommandFiles, public ::testing::WithParamInterface<OneRead> {};

// The profile is saved again the moment it has been read, and after every
// later read too. Import, the verdict and every device must stand on the bytes
// of the one read: a second read imported one version and judged another.
TEST_P(ProfileReadOnce, ImportVerdictAndEveryDeviceGetTheBytesOfTheOneRead) {
    StartSimulators(GetParam().ports, "--boot-ms 200 --devices 2");
    std::string args;
    for (int k = 0; k < GetParam().ports; ++k) {
        args += "--device " + Link(k) + " ";
    }
    EditorSavingAfterEachRead editor(dir_.Path() / "profile.txt");
    auto run = Start(args + GetParam().args + " " + (dir_.Path() / "profile.txt").string());
    EXPECT_EQ(run->Wait(2min), 0) << ReadFile(Err());
    EXPECT_EQ(editor.opens, 1);
    ASSERT_EQ(Written().size(), GetParam().devices) << ReadFile(Err());
    for (const auto& device : Written()) {
        EXPECT_EQ(device, kVersion1);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, ProfileReadOnce,
                         ::testing::Values(OneRead{"Apply", "apply", 1, 1},
                                           OneRead{"Batch", "batch --count 2", 1, 2},
                                           OneRead{"Station", "batch --count 4", 2, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the station's copy ---

// A worker's stdin is its line to the supervisor: a profile given as
// /dev/stdin was read from there, and the station hung.
TEST_F(CommandFiles, AStationGivenItsProfileOnStdinDoesNotWaitOnIt) {
    StartSimulators(2, "--boot-ms 200 --devices 1");
    auto run = Start("--device " + Link(0) + " --device " + Link(1) + " batch /dev/stdin --count 2",
                     dir_.Path() / "profile.txt");
    ASSERT_NE(run->Wait(2min), -1) << "the station hung";
    EXPECT_EQ(run->Wait(), 0) << ReadFile(Err());
    EXPECT_EQ(Written(), (std::vector{kVersion1, kVersion1}));
}

// The copy is its owner's alone, what a worker says of it names the
// operator's file, and it is gone when the station ends, by Ctrl+C too.
TEST_F(CommandFiles, TheStationsCopyIsPrivateNamedAsTheOperatorsFileAndRemoved) {
    StartSimulators(2, "--boot-ms 3000 --devices 1");  // loaders that ask late
    const std::string image = (dir_.Path() / "fw.bin").string();
    const std::string update = "--device " + Link(0) + " --device " + Link(1) + " update " + image;
    auto run = Start(update);
    // The workers have taken the copy and opened their ports; it is spoilt
    // before the loaders ask for it.
    for (int i = 0; i < 1000 && !(PortOpened(0) && PortOpened(1)); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(Copies().size(), 1u) << "no copy was made";
    const fs::path folder = Copies().front();
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(folder / "input").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    fs::resize_file(folder / "input", 0);
    EXPECT_EQ(run->Wait(2min), 1);
    const std::string said = ReadFile(Out()) + ReadFile(Err());
    EXPECT_TRUE(Contains(said, "The firmware file " + image + " is empty")) << said;
    EXPECT_FALSE(Contains(said, Tmp().string())) << said;
    EXPECT_TRUE(Copies().empty()) << Left();

    auto stopped = Start(update);  // no devices left: the workers wait
    for (int i = 0; i < 1000 && Copies().empty(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    stopped->Signal(SIGINT);
    EXPECT_EQ(stopped->Wait(1min), 130);
    EXPECT_TRUE(Copies().empty()) << Left() << ReadFile(Err());
}

}  // namespace
