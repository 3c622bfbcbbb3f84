// Configuration files as operators really choose them: other line ends, binary
// files, huge lines, empty files, folders, files they may not read and files
// that go away. Whatever is refused leaves the form and the preset flag alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FormViewTest.h"
#include "LanguageForTheTest.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"

namespace {

namespace fs = std::filesystem;
using Ids = std::vector<fw::UINT>;
using namespace std::string_literals;
using namespace std::chrono_literals;
using testsupport::SpecialKind;
using testsupport::WriteFile;

// The chooser answers with a path whose file is gone by the time it is read.
class VanishingChooser : public testsupport::ScriptedDialogs {
public:
    using ScriptedDialogs::ScriptedDialogs;
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest& request) override {
        std::optional<std::string> path = ScriptedDialogs::RunFileDialog(request);
        if (path) {
            fs::remove(*path);
        }
        return path;
    }
};

class ConfigFileInput : public testsupport::FormViewTest {
protected:
    void SetUp() override {
        g_bPreset = false;
        view_.ResetItemLabels();
        LoadExampleTable();
    }

    // Imports the file at path; returns the message boxes it showed.
    Ids Import(const fs::path& path) {
        window_.ClearMessageBoxes();
        dialogs_.ExpectFile(path.string());
        EXPECT_TRUE(window_.Click(res::IDC_IMPORT_CONFIG));
        return window_.MessageBoxTexts();
    }
    Ids ImportBytes(const std::string& bytes) {
        WriteFile(dir_.Path() / "in.txt", bytes);
        return Import(dir_.Path() / "in.txt");
    }

    // A refused file: the given message, and nothing else changed.
    void ExpectRefused(const Ids& shown, fw::UINT message) {
        EXPECT_EQ(shown, Ids{message});
        EXPECT_EQ(Table(), before_);
        EXPECT_EQ(g_bPreset, presetBefore_);
    }
    void Remember() {
        before_ = Table();
        presetBefore_ = g_bPreset;
    }

    std::vector<std::string> before_;
    bool presetBefore_ = false;
};

TEST_F(ConfigFileInput, EveryLineEndGivesTheSameValues) {
    // CR LF as written, LF alone, and no line end after the last line.
    for (const std::string& file :
         {"[CFG]\r\n2. Server=a b\r\n3. Port=7\r\n"s, "[CFG]\n2. Server=a b\n3. Port=7\n"s,
          "[CFG]\r\n2. Server=a b\n3. Port=7"s}) {
        SetUp();
        view_.SetItemNewValue(2, "");
        view_.SetItemNewValue(3, "");
        EXPECT_EQ(ImportBytes(file), Ids{res::IDS_IMPORT_SUCCEEDED});
        EXPECT_EQ(view_.GetItemNewValue(2), "a b");
        EXPECT_EQ(view_.GetItemNewValue(3), "7");
        EXPECT_EQ(window_.Check(ItemModifyId(2)), 1);
        EXPECT_TRUE(g_bPreset);
    }
}

TEST_F(ConfigFileInput, CrOnlyLinesAreOneLineAndImportNothing) {
    // Old Mac line ends: the whole file is one line whose key is no label, so
    // nothing is taken, least of all a value holding the following lines.
    Remember();
    ExpectRefused(ImportBytes("[CFG]\r2. Server=a\r3. Port=7\r"), res::IDS_IMPORT_NOTHING_MATCHED);
    // The first line is a key, but its value would swallow the rest; the value
    // is kept byte for byte (Modify refuses to send its line breaks).
    EXPECT_EQ(ImportBytes("2. Server=a\r3. Port=7\r"), Ids{res::IDS_IMPORT_SUCCEEDED});
    EXPECT_EQ(view_.GetItemNewValue(2), "a\r3. Port=7\r");
    EXPECT_EQ(view_.GetItemNewValue(3), "");
}

TEST_F(ConfigFileInput, BinaryFilesAreRefusedAndBinaryValuesKept) {
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    // Make sure the noise holds equals signs and line ends, as real images do.
    noise[100] = '=';
    noise[200] = '\n';
    noise[300] = '=';
    view_.SetItemNewValue(1, "typed");
    view_.SetItemModify(1, 1);
    g_bPreset = true;
    Remember();
    ExpectRefused(ImportBytes(noise), res::IDS_IMPORT_NOTHING_MATCHED);

    // Noise around one good line: the line counts, its value byte for byte.
    const std::string value = "\x01\x80\xFF\x1A\0z="s;
    EXPECT_EQ(ImportBytes(noise + "\n2. Server=" + value + "\r\n" + noise),
              Ids{res::IDS_IMPORT_SUCCEEDED});
    EXPECT_EQ(view_.GetItemNewValue(2), value);
    EXPECT_EQ(window_.Check(ItemModifyId(2)), 1);
}

TEST_F(ConfigFileInput, ANulInsideTheKeyMatchesNothing) {
    Remember();
    ExpectRefused(ImportBytes("2. Ser\0ver=x\r\n"s), res::IDS_IMPORT_NOTHING_MATCHED);
}

TEST_F(ConfigFileInput, LongLinesStayWholeAndHugeFilesAreRefused) {
    const std::string megabyte(1024 * 1024, 'v');
    EXPECT_EQ(ImportBytes("[CFG]\r\n2. Server=" + megabyte + "\r\n3. Port=9\r\n"),
              Ids{res::IDS_IMPORT_SUCCEEDED});
    EXPECT_EQ(view_.GetItemNewValue(2), megabyte);
    EXPECT_EQ(view_.GetItemNewValue(3), "9");

    Remember();
    // Just over the limit, with a good line first: refused as a whole.
    std::ofstream(dir_.Path() / "big.txt", std::ios::binary) << "2. Server=big\r\n"
                                                             << std::string(16 * 1024 * 1024, 'x');
    ExpectRefused(Import(dir_.Path() / "big.txt"), res::IDS_IMPORT_TOO_LARGE);
    EXPECT_EQ(window_.MessageBoxes()[0].args, fw::MessageArgs{"16"});
    // Just under the limit in short lines that all name a row.
    {
        std::ofstream many(dir_.Path() / "many.txt", std::ios::binary);
        for (int i = 0; i < 1200000; ++i) {
            many << "3. Port=" << (i % 10) << "\n";
        }
    }
    EXPECT_EQ(Import(dir_.Path() / "many.txt"), Ids{res::IDS_IMPORT_SUCCEEDED});
    EXPECT_EQ(view_.GetItemNewValue(3), "9");
    EXPECT_EQ(window_.Text(ItemNewId(3)), "9");
}

TEST_F(ConfigFileInput, EmptyFolderVanishedOrUnreadable) {
    view_.SetItemNewValue(2, "typed");
    view_.SetItemModify(2, 1);
    g_bPreset = true;
    Remember();
    ExpectRefused(ImportBytes(""), res::IDS_IMPORT_NOTHING_MATCHED);
    ExpectRefused(ImportBytes("[CFG]\r\n"), res::IDS_IMPORT_NOTHING_MATCHED);

#ifdef __linux__
    // Opens for anyone, root included, and fails at the first read.
    ExpectRefused(Import("/proc/self/mem"), res::IDS_OPEN_FILE_FAILED);
#endif

    // Chosen, then gone before the read.
    {
        VanishingChooser chooser(loop_);
        WriteFile(dir_.Path() / "gone.txt", "2. Server=x\r\n");
        window_.ClearMessageBoxes();
        chooser.ExpectFile((dir_.Path() / "gone.txt").string());
        ASSERT_TRUE(window_.Click(res::IDC_IMPORT_CONFIG));
        ExpectRefused(window_.MessageBoxTexts(), res::IDS_OPEN_FILE_FAILED);
        EXPECT_FALSE(fs::exists(dir_.Path() / "gone.txt"));
    }
}

#ifdef __linux__
TEST_F(ConfigFileInput, ExportToAFullDiskSaysSo) {
    Remember();
    window_.ClearMessageBoxes();
    dialogs_.ExpectFile("/dev/full");
    ASSERT_TRUE(window_.Click(res::IDC_EXPORT_CONFIG));
    ExpectRefused(window_.MessageBoxTexts(), res::IDS_WRITE_FILE_FAILED);
}
#endif

TEST_F(ConfigFileInput, UnreadableFileIsRefused) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which reads a file of mode 000 all the same "
                        "(/proc/self/mem, which fails for root too, is tried above)";
    }
    const fs::path locked = dir_.Path() / "locked.txt";
    WriteFile(locked, "2. Server=x\r\n");
    fs::permissions(locked, fs::perms::none);
    Remember();
    ExpectRefused(Import(locked), res::IDS_OPEN_FILE_FAILED);
    fs::permissions(locked, fs::perms::owner_all);
}

// Profiles with every line end mixed in, garbage lines between, values of any
// byte but a line end: each named row gets its value exactly, the others stay.
TEST_F(ConfigFileInput, RandomProfilesKeepEveryValueExact) {
    for (int n = 4; n <= 20; ++n) {
        view_.SetItemLabel(n, "Name " + std::to_string(n));
    }
    std::mt19937 random(2026);
    const char* ends[] = {"\n", "\r\n"};
    for (int round = 0; round < 300; ++round) {
        for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
            view_.SetItemNewValue(n, "untouched");
        }
        std::map<int, std::string> expected;
        std::string file;
        const int lines = static_cast<int>(random() % 30);
        for (int i = 0; i < lines; ++i) {
            if (random() % 4 == 0) {
                // Garbage without "=": any bytes but the line ends.
                std::string junk(random() % 40, '\0');
                for (char& c : junk) {
                    do {
                        c = static_cast<char>(random());
                    } while (c == '\n' || c == '\r' || c == '=');
                }
                file += junk;
            } else {
                const int item = 1 + static_cast<int>(random() % 20);
                std::string value(random() % 200, '\0');
                for (char& c : value) {
                    do {
                        c = static_cast<char>(random());
                    } while (c == '\n' || c == '\r');
                }
                file += view_.GetItemLabel(item) + "=" + value;
                expected[item] = value;
            }
            // The last line may go without an end.
            if (i + 1 < lines || random() % 2 == 0) {
                file += ends[random() % 2];
            }
        }
        window_.ClearMessageBoxes();
        WriteFile(dir_.Path() / "in.txt", file);
        dialogs_.ExpectFile((dir_.Path() / "in.txt").string());
        ASSERT_TRUE(window_.Click(res::IDC_IMPORT_CONFIG));
        ASSERT_EQ(window_.MessageBoxTexts(), Ids{expected.empty() ? res::IDS_IMPORT_NOTHING_MATCHED
                                                                  : res::IDS_IMPORT_SUCCEEDED})
            << "round " << round;
        for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
            const auto it = expected.find(n);
            ASSERT_EQ(view_.GetItemNewValue(n), it != expected.end() ? it->second : "untouched")
                << "round " << round << " item " << n;
        }
    }
}

// Whatever the chooser names, a pipe, a socket or a folder is refused in a box
// that says so, at once: a FIFO nobody wrote to or read from held the window
// for ever. The form and the preset flag stay as they were.
struct ChosenKind {
    int command;
    SpecialKind kind;
    fw::UINT message;
};
class ChosenFileOfTheWrongKind : public ConfigFileInput,
                                 public ::testing::WithParamInterface<ChosenKind> {};

TEST_P(ChosenFileOfTheWrongKind, IsRefusedInABoxWithoutWaiting) {
    const fs::path chosen = dir_.Path() / "chosen.txt";
    ASSERT_TRUE(testsupport::MakeSpecialFile(chosen, GetParam().kind));
    Remember();
    const auto choose = [&] {
        window_.ClearMessageBoxes();
        dialogs_.ExpectFile(chosen.string());
        window_.Command(GetParam().command);
        return 0;
    };
    // First where a wait cannot hold the test; then here, to look at it.
    ASSERT_EQ(testsupport::RunInChild(choose, 5s), 0) << "the view waited on the file";
    choose();
    ExpectRefused(window_.MessageBoxTexts(), GetParam().message);
    EXPECT_EQ(window_.MessageBoxes()[0].args, fw::MessageArgs{chosen.string()});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ChosenFileOfTheWrongKind,
    ::testing::Values(
        ChosenKind{res::IDC_IMPORT_CONFIG, SpecialKind::kFifo, res::IDS_FILE_NOT_REGULAR},
        ChosenKind{res::IDC_IMPORT_CONFIG, SpecialKind::kFolder, res::IDS_FILE_NOT_REGULAR},
        ChosenKind{res::IDC_EXPORT_CONFIG, SpecialKind::kFifo, res::IDS_OUTPUT_REFUSED},
        ChosenKind{res::IDC_EXPORT_CONFIG, SpecialKind::kSocket, res::IDS_OUTPUT_REFUSED},
        ChosenKind{res::IDC_SAVE_LOG, SpecialKind::kFifo, res::IDS_OUTPUT_REFUSED},
        ChosenKind{res::IDC_SAVE_LOG, SpecialKind::kFolder, res::IDS_OUTPUT_REFUSED}));

}  // namespace
