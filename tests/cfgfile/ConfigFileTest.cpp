#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "FormViewTest.h"
#include "LanguageForTheTest.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "cfgfile/ConfigFile.h"
#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace fs = std::filesystem;
using Ids = std::vector<fw::UINT>;
using Lines = std::vector<std::string_view>;

std::size_t EntryCount(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

class ConfigFiles : public testsupport::FormViewTest {
protected:
    void SetUp() override {
        g_bPreset = false;
        g_nItemCount = 0;
        view_.ResetItemLabels();
        view_.UpdateData(false);
    }

    // Clicks Export or Import; the chooser answers with the path (none: cancel).
    void Click(int button, const std::optional<fs::path>& path) {
        dialogs_.ExpectFile(path ? std::optional(path->string()) : std::nullopt);
        ASSERT_TRUE(window_.Click(button));
    }
    void ImportBytes(const std::string& bytes) {
        WriteFile(dir_.Path() / "in.txt", bytes);
        Click(res::IDC_IMPORT_CONFIG, dir_.Path() / "in.txt");
    }
    int Tick(int n) const { return window_.Check(ItemModifyId(n)); }
};

TEST(ConfigFileLines, SplitLikeATextModeRead) {
    EXPECT_EQ(cfgfile::SplitTextLines(""), Lines{});
    // A lone CR is text, only the CR of a CR LF goes; a last line needs no end.
    EXPECT_EQ(cfgfile::SplitTextLines("a\rb\r\n\r\nc\r\r\nd\nlast\r"),
              (Lines{"a\rb", "", "c\r", "d", "last\r"}));
    using namespace std::string_view_literals;
    EXPECT_EQ(cfgfile::SplitTextLines("k=\0\x80\x1A z\r\n"sv), Lines{"k=\0\x80\x1A z"sv});
}

TEST(ConfigFileLines, AProfileIsItsKeyLinesInOrderRepeatsAndAll) {
    using namespace std::string_view_literals;
    const std::vector<cfgfile::ProfileLine> entries = cfgfile::ParseProfile(
        "[CFG]\r\n1. Mode=1\r\nstray\r\n=lone\r\n2. A=b=c\n1. Mode=\r\nk=\0v"sv);
    ASSERT_EQ(entries.size(), 5u);
    const std::pair<std::string_view, std::string_view> expected[] = {
        {"1. Mode", "1"}, {"", "lone"}, {"2. A", "b=c"}, {"1. Mode", ""}, {"k", "\0v"sv}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].key, expected[i].first) << i;
        EXPECT_EQ(entries[i].value, expected[i].second) << i;
    }
    EXPECT_TRUE(cfgfile::ParseProfile("").empty());
    EXPECT_TRUE(cfgfile::ParseProfile("[CFG]\r\nno key here\r\n").empty());
}

TEST_F(ConfigFiles, ExportWritesTheExampleAndImportReadsItBack) {
    LoadExampleTable();
    view_.SetItemModify(2, 1);
    const auto before = Table();
    Click(res::IDC_EXPORT_CONFIG, dir_.Path() / "cfg.txt");
    EXPECT_EQ(ReadFile(dir_.Path() / "cfg.txt"),
              "[CFG]\r\n1. Mode=1\r\n2. Server=10.0.0.1\r\n3. Port=5000\r\n");
    EXPECT_EQ(Table(), before);
    EXPECT_FALSE(g_bPreset);

    // Every new value becomes the current one; no tick is added or taken.
    Click(res::IDC_IMPORT_CONFIG, dir_.Path() / "cfg.txt");
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(view_.GetItemNewValue(n), view_.GetItemCurrentValue(n));
        EXPECT_EQ(window_.Text(ItemNewId(n)), view_.GetItemCurrentValue(n));
        EXPECT_EQ(Tick(n), n == 2 ? 1 : 0) << n;
    }
    EXPECT_TRUE(g_bPreset);
    EXPECT_EQ(window_.MessageBoxTexts(),
              (Ids{res::IDS_EXPORT_SUCCEEDED, res::IDS_IMPORT_SUCCEEDED}));

    const auto& requests = dialogs_.FileRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.fileName + "." + r.defaultExt, "cfg.txt");
        EXPECT_EQ(r.filter, "文件类型(*.txt)|*.txt|文件类型(*.ini)|*.ini||");
        EXPECT_EQ(r.parent, &view_);
    }
    EXPECT_TRUE(requests[0].save && requests[0].flags == 0x1006u);
    EXPECT_TRUE(!requests[1].save && requests[1].flags == 0x1004u);
}

TEST_F(ConfigFiles, ExportReplacesWhatWasThere) {
    const fs::path target = dir_.Path() / "cfg.ini";
    WriteFile(target, "[CFG]\r\n1. Old=value\r\n");
    std::error_code linkError;
    fs::create_symlink(target, dir_.Path() / "link.ini", linkError);
    if (linkError) {
        // Windows gives links to administrators only; the file itself then.
        Click(res::IDC_EXPORT_CONFIG, target);
        EXPECT_EQ(fs::file_size(target), 0u);
        EXPECT_EQ(EntryCount(dir_.Path()), 1u);
        EXPECT_EQ(window_.MessageBoxTexts(), Ids{res::IDS_EXPORT_SUCCEEDED});
        return;
    }
    Click(res::IDC_EXPORT_CONFIG, dir_.Path() / "link.ini");
    // No items: not even the section header, and still a success.
    EXPECT_EQ(fs::file_size(target), 0u);
    EXPECT_TRUE(fs::is_symlink(dir_.Path() / "link.ini"));
    EXPECT_EQ(EntryCount(dir_.Path()), 2u);
    EXPECT_EQ(window_.MessageBoxTexts(), Ids{res::IDS_EXPORT_SUCCEEDED});
}

TEST_F(ConfigFiles, EmptyValuesTravelAsEmpty) {
    view_.SetItemLabel(1, "A");
    view_.SetItemLabel(2, "B");
    view_.SetItemListed(1);
    view_.SetItemListed(2);
    g_nItemCount = 2;
    Click(res::IDC_EXPORT_CONFIG, dir_.Path() / "cfg.txt");
    EXPECT_EQ(ReadFile(dir_.Path() / "cfg.txt"), "[CFG]\r\n1. A=\r\n2. B=\r\n");

    view_.SetItemCurrentValue(2, "x");
    view_.SetItemNewValue(1, "typed");
    view_.SetItemNewValue(2, "typed");
    Click(res::IDC_IMPORT_CONFIG, dir_.Path() / "cfg.txt");
    EXPECT_EQ(view_.GetItemNewValue(1) + "|" + view_.GetItemNewValue(2), "|");
    EXPECT_EQ(Tick(1), 0);
    EXPECT_EQ(Tick(2), 1);
}

TEST_F(ConfigFiles, ImportMatchesWholeLabelsOnly) {
    LoadExampleTable();
    const auto before = Table();
    ImportBytes("[CFG]\r\n\r\njust text\r\n");
    EXPECT_EQ(Table(), before);
    EXPECT_FALSE(g_bPreset);

    view_.SetItemModify(1, 1);
    view_.SetItemNewValue(3, "keep");
    ImportBytes("[CFG]\r\n1. Mode=1\r\n2. Server=10.0.0.2\r\n3. Port = 6000\r\n");
    EXPECT_EQ(view_.GetItemNewValue(1), "1");
    EXPECT_EQ(Tick(1), 1);  // an equal value leaves the tick as it was
    EXPECT_EQ(view_.GetItemNewValue(2), "10.0.0.2");
    EXPECT_EQ(Tick(2), 1);
    EXPECT_EQ(view_.GetItemNewValue(3), "keep");  // the key was "3. Port "
    EXPECT_EQ(Tick(3), 0);
    EXPECT_TRUE(g_bPreset);
    // A file that names no row imports nothing and says so.
    EXPECT_EQ(window_.MessageBoxTexts(),
              (Ids{res::IDS_IMPORT_NOTHING_MATCHED, res::IDS_IMPORT_SUCCEEDED}));

    // No section header needed; case matters; a placeholder row above the item
    // count is a label like any other; a name holding "=" can never match.
    g_bPreset = false;
    view_.SetItemLabel(4, "a=b");
    ImportBytes("1. mode=9\n45. Item45=zz\n4. a=b=w\n");
    EXPECT_EQ(view_.GetItemNewValue(1), "1");
    EXPECT_EQ(view_.GetItemNewValue(45), "zz");
    EXPECT_EQ(Tick(45), 1);
    EXPECT_EQ(view_.GetItemNewValue(4), "");
    EXPECT_TRUE(g_bPreset);
}

TEST_F(ConfigFiles, ImportKeepsValuesWhole) {
    LoadExampleTable();
    std::string value(300, 'v');
    value += std::string("=\0\x80\xFE\x1A\r", 6) + "end";
    ImportBytes("2. Server=" + value + "\r\n3. Port=" + value);
    EXPECT_EQ(view_.GetItemNewValue(2), value);
    EXPECT_EQ(view_.GetItemNewValue(3), value);
}

TEST_F(ConfigFiles, TemplateThenClear) {
    LoadExampleTable();
    view_.SetItemNewValue(1, "typed");
    view_.SetItemModify(1, 1);
    view_.SetItemModify(50, 1);
    window_.Click(res::IDC_TEMPLATE_CONFIG);
    EXPECT_TRUE(g_bPreset);
    for (int n = 1; n <= 60; ++n) {
        EXPECT_EQ(window_.Text(ItemNewId(n)), view_.GetItemCurrentValue(n));
        EXPECT_EQ(Tick(n), 0);
    }
    EXPECT_EQ(view_.GetItemNewValue(2), "10.0.0.1");

    window_.Click(res::IDC_CLEAR_CONFIG);
    EXPECT_FALSE(g_bPreset);
    for (int n = 1; n <= 60; ++n) {
        EXPECT_EQ(view_.GetItemNewValue(n) + window_.Text(ItemNewId(n)), "");
        EXPECT_EQ(Tick(n), 0);
    }
    EXPECT_EQ(window_.Text(ItemLabelId(2)) + "=" + view_.GetItemCurrentValue(2),
              "2. Server=10.0.0.1");
    EXPECT_TRUE(window_.MessageBoxes().empty());
}

TEST_F(ConfigFiles, CancelOrUnreadableFileChangesNothing) {
    LoadExampleTable();
    view_.SetItemModify(2, 1);
    const auto before = Table();
    Click(res::IDC_EXPORT_CONFIG, std::nullopt);
    Click(res::IDC_IMPORT_CONFIG, std::nullopt);
    EXPECT_TRUE(window_.MessageBoxes().empty());
    EXPECT_EQ(EntryCount(dir_.Path()), 0u);

    fs::create_directory(dir_.Path() / "folder.txt");
    Click(res::IDC_IMPORT_CONFIG, dir_.Path() / "missing.txt");
    Click(res::IDC_IMPORT_CONFIG, dir_.Path() / "folder.txt");
    // A folder is no file at all, and the box says so.
    EXPECT_EQ(window_.MessageBoxTexts(),
              (Ids{res::IDS_OPEN_FILE_FAILED, res::IDS_FILE_NOT_REGULAR}));
    EXPECT_EQ(Table(), before);
    EXPECT_FALSE(g_bPreset);
}

TEST_F(ConfigFiles, UnwritableExportReportsThePath) {
    LoadExampleTable();
    WriteFile(dir_.Path() / "plain", "x");
    fs::create_directory(dir_.Path() / "folder.txt");
    for (const auto& [path, message] :
         {std::pair{dir_.Path() / "plain" / "cfg.txt", res::IDS_WRITE_FILE_FAILED},
          std::pair{dir_.Path() / "folder.txt", res::IDS_OUTPUT_REFUSED}}) {
        window_.ClearMessageBoxes();
        Click(res::IDC_EXPORT_CONFIG, path);
        ASSERT_EQ(window_.MessageBoxTexts(), Ids{message});
        EXPECT_EQ(window_.MessageBoxes()[0].args, fw::MessageArgs{path.string()});
    }
    EXPECT_EQ(EntryCount(dir_.Path()), 2u);
    EXPECT_EQ(EntryCount(dir_.Path() / "folder.txt"), 0u);
}

}  // namespace
