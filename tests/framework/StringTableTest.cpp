#include <gtest/gtest.h>

#include <set>

#include "framework/StringTable.h"
#include "res/Dialogs.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StringNames.h"
#include "res/Strings.h"

using fw::Language;

namespace {

TEST(StringTable, SortedUniqueAndInBothLanguages) {
    auto table = res::StringTable();
    // Command prompts that exist in Chinese only.
    const std::set<fw::UINT> chineseOnly = {res::ID_UPDATE_FIRMWARE, res::ID_SELECT_FIRMWARE};
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].id, table[i].id) << "at " << table[i].id;
        }
        ASSERT_NE(table[i].chinese, nullptr) << table[i].id;
        EXPECT_NE(std::string(table[i].chinese), "") << table[i].id;
        if (chineseOnly.count(table[i].id) == 0) {
            ASSERT_NE(table[i].english, nullptr) << table[i].id;
            EXPECT_NE(std::string(table[i].english), "") << table[i].id;
        }
    }
}

TEST(StringTable, LoadsByLanguage) {
    EXPECT_EQ(fw::LoadString(res::IDS_OPEN_PORT_FAILED, Language::English),
              "Failed to open COM port!");
    EXPECT_EQ(fw::LoadString(res::IDS_OPEN_PORT_FAILED, Language::Chinese), "打开串口失败！");
    EXPECT_EQ(fw::LoadString(res::IDS_STARTUP_TIMEOUT, Language::English),
              "\r\nKavrel startup timeout!\r\n");
    EXPECT_EQ(fw::LoadString(res::IDS_APP_TITLE, Language::Chinese), "DTU批量配置软件");
    EXPECT_EQ(fw::LoadString(res::ID_UPDATE_FIRMWARE, Language::English), "");
    EXPECT_EQ(fw::LoadString(4242, Language::English), "");
    EXPECT_FALSE(fw::HasString(4242));
}

TEST(StringTable, FormatsTheFirstNumberPlaceholder) {
    EXPECT_EQ(fw::FormatWithNumber("Item%d", 7), "Item7");
    EXPECT_EQ(fw::FormatWithNumber("配置项%d", 60), "配置项60");
    EXPECT_EQ(fw::FormatWithNumber("no placeholder", 3), "no placeholder");
    EXPECT_EQ(fw::FormatWithNumber("%d%d", 1), "1%d");
}

TEST(Form101Template, HasTheControlIdSchemeInBothLanguages) {
    for (auto lang : {Language::English, Language::Chinese}) {
        const fw::DialogTemplate* t = res::FindDialogTemplate(res::IDD_TIRVEL2_FORM, lang);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->controls.size(), 252u);
        std::set<int> ids;
        for (const auto& c : t->controls) {
            EXPECT_TRUE(ids.insert(c.id).second) << "duplicate " << c.id;
        }
        for (int n = 1; n <= 60; ++n) {
            const auto* current = t->Find(res::IDC_ITEM_CURRENT_BASE + n);
            const auto* fresh = t->Find(res::IDC_ITEM_NEW_BASE + n);
            const auto* modify = t->Find(res::IDC_ITEM_MODIFY_BASE + n);
            ASSERT_TRUE(t->Find(res::IDC_ITEM_LABEL_BASE + n) && current && fresh && modify);
            EXPECT_TRUE(current->style & fw::kReadOnly);
            EXPECT_FALSE(fresh->style & fw::kReadOnly);
            EXPECT_EQ(modify->kind, fw::ControlKind::CheckBox);
            EXPECT_EQ(modify->caption, lang == Language::Chinese ? "修改" : "Modify");
            // Rows run top to bottom in item order.
            if (n > 1) {
                EXPECT_GT(current->rect.y, t->Find(res::IDC_ITEM_CURRENT_BASE + n - 1)->rect.y);
            }
        }
        EXPECT_EQ(res::FormRowTop(1, lang), lang == Language::Chinese ? 71 : 86);
        EXPECT_EQ(res::FormRowTop(60, lang), lang == Language::Chinese ? 1178 : 1192);
        EXPECT_TRUE(t->Find(res::IDC_LOG_PANE)->style & fw::kHidden);
        EXPECT_TRUE(t->Find(res::IDC_CLEAR_LOG)->style & fw::kHidden);
        EXPECT_TRUE(t->Find(res::IDC_SAVE_LOG)->style & fw::kHidden);
        EXPECT_FALSE(t->Find(res::IDC_HELP_PANE)->style & fw::kHidden);
    }
}

TEST(StringTable, MessageTextsLoseTheirOuterLineEndsOnly) {
    EXPECT_EQ(fw::TrimLineEnds("\r\nKavrel startup timeout!\r\n"), "Kavrel startup timeout!");
    EXPECT_EQ(fw::TrimLineEnds("one\r\ntwo\n"), "one\r\ntwo");
    EXPECT_EQ(fw::TrimLineEnds("\r\n"), "");
}

}  // namespace

namespace {

// A record keeps the name of the message it shows; the names come from the
// headers by a build step that must not lose any.
TEST(StringNames, NameTheStringsOfEveryHeader) {
    EXPECT_STREQ(res::StringName(res::IDS_OPEN_PORT_FAILED), "IDS_OPEN_PORT_FAILED");
    EXPECT_STREQ(res::StringName(res::IDS_STATION_COPY_FAILED), "IDS_STATION_COPY_FAILED");
    EXPECT_STREQ(res::StringName(res::IDS_RECORD_NOT_KEPT), "IDS_RECORD_NOT_KEPT");
    EXPECT_STREQ(res::StringName(res::IDS_IMPORT_SUCCEEDED), "IDS_IMPORT_SUCCEEDED");
    EXPECT_EQ(res::StringName(4242), nullptr);
    for (const res::StringResource& s : res::StringTable()) {
        if (const char* name = res::StringName(s.id)) {
            EXPECT_EQ(std::string(name).rfind("IDS_", 0), 0U) << s.id;
        }
    }
}

}  // namespace
