#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "framework/FileChooserRequest.h"
#include "framework/HeadlessWindow.h"
#include "framework/ModalRun.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Entries(std::string_view filter) {
    Pairs out;
    for (const auto& e : fw::ParseFileFilter(filter)) {
        out.emplace_back(e.description, e.patterns);
    }
    return out;
}

TEST(FileChooserRequest, TheFilterIsReadPairByPairUntilTheDoubleBar) {
    EXPECT_EQ(Entries("Firmware (*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||"),
              (Pairs{{"Firmware (*.bin;*.img)", "*.bin;*.img"}, {"All Files (*.*)", "*.*"}}));
    EXPECT_EQ(Entries("\xE6\x96\x87\xE4\xBB\xB6|*.txt"),
              (Pairs{{"\xE6\x96\x87\xE4\xBB\xB6", "*.txt"}}));
    EXPECT_EQ(Entries("Text|*.txt||Ignored|*.x"), (Pairs{{"Text", "*.txt"}}));
    EXPECT_EQ(Entries("Text|*.txt|Dangling"), (Pairs{{"Text", "*.txt"}}));
    EXPECT_TRUE(Entries("").empty());
    EXPECT_TRUE(Entries("||").empty());
}

TEST(FileChooserRequest, OnlyAnOpenChooserInsistsOnAFileAndThenHasNoNameToCreate) {
    fw::FileDialogRequest request;
    request.flags = fw::OFN_FILEMUSTEXIST | fw::OFN_CREATEPROMPT | fw::OFN_OVERWRITEPROMPT;
    fw::FileChooserRules rules = fw::ReadFileChooserRules(request);
    EXPECT_TRUE(rules.mustExist);
    EXPECT_FALSE(rules.createPrompt);
    EXPECT_FALSE(rules.overwritePrompt);

    request.save = true;
    rules = fw::ReadFileChooserRules(request);
    EXPECT_FALSE(rules.mustExist);
    EXPECT_TRUE(rules.createPrompt);
    EXPECT_TRUE(rules.overwritePrompt);
    request.flags = fw::OFN_HIDEREADONLY;
    EXPECT_FALSE(fw::ReadFileChooserRules(request).overwritePrompt);
}

TEST(ModalRun, TemplateParentAndResultOfARun) {
    testsupport::EnglishForTheTest english;
    fw::CWnd own;
    fw::CWnd given;
    fw::CDialog dialog(res::IDD_PASSWORD, &own);
    EXPECT_EQ(fw::ModalTemplate(dialog),
              res::FindDialogTemplate(res::IDD_PASSWORD, fw::Language::English));
    fw::SetLanguage(fw::Language::Chinese);
    EXPECT_EQ(fw::ModalTemplate(dialog),
              res::FindDialogTemplate(res::IDD_PASSWORD, fw::Language::Chinese));
    EXPECT_EQ(fw::ModalTemplate(fw::CDialog(4242)), nullptr);

    EXPECT_EQ(fw::ModalParent(dialog, &given), &given);
    EXPECT_EQ(fw::ModalParent(dialog, nullptr), &own);

    EXPECT_EQ(fw::ModalResult(dialog), fw::IDCANCEL);
    dialog.EndDialog(7);
    EXPECT_EQ(fw::ModalResult(dialog), 7);
}

TEST(ModalRun, TheSiteIsDetachedHoweverTheRunEnds) {
    fw::CMessageLoop loop;
    fw::CDialog dialog(res::IDD_PASSWORD);
    fw::CHeadlessWindow window(loop, dialog, res::IDD_PASSWORD, fw::Language::English);
    try {
        fw::CDetachOnExit detach(dialog);
        EXPECT_EQ(dialog.Site(), &window);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(dialog.Site(), nullptr);
}

}  // namespace
