#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AppCoreFixture.h"
#include "TestFiles.h"
#include "app/core/RecentFileList.h"
#include "app/core/Tirvel2Doc.h"
#include "form/MainFrame.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"

namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

class Document : public appcore::ViewFixture {
protected:
    void SetUp() override {
        AfxSetMainFrame(&frame_);
        frame_.SetView(&view_);
        view_.OnInitialUpdate();
    }

    // An item label changed by the operator, which a fresh set-up undoes.
    void ChangeTheForm() {
        view_.SetItemLabel(3, "changed");
        view_.UpdateData(false);
        ASSERT_EQ(ItemLabel(3), "3. changed");
    }

    fs::path MakeFile(const std::string& name, const std::string& contents) const {
        const fs::path path = dir_.Path() / name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }

    CMainFrame frame_;
    app::CRecentFileList recentFiles_{store_};
    app::CTirvel2Doc document_{recentFiles_};
};

TEST_F(Document, NewStartsTheFormAfresh) {
    ChangeTheForm();
    document_.OnFileNew();
    EXPECT_EQ(ItemLabel(3), "3. Item3");
    EXPECT_EQ(frame_.ConnectionState(), kStateIdle);
    EXPECT_TRUE(recentFiles_.Files().empty());
    EXPECT_EQ(&document_.RecentFiles(), &recentFiles_);
}

TEST_F(Document, WithoutAViewThereIsNothingToStart) {
    frame_.SetView(nullptr);
    EXPECT_FALSE(document_.OnNewDocument());
}

TEST_F(Document, OpenAsksForAnExistingFileThenStartsAfreshAndRemembersIt) {
    const fs::path file = MakeFile("profile.dat", "x");
    ChangeTheForm();
    dialogs_.ExpectFile(file.string());
    document_.OnFileOpen();
    ASSERT_EQ(dialogs_.FileRequests().size(), 1u);
    const fw::FileDialogRequest& request = dialogs_.FileRequests()[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.flags, fw::OFN_HIDEREADONLY | fw::OFN_FILEMUSTEXIST);
    EXPECT_EQ(request.filter, fw::LoadString(res::IDS_ALL_FILES_FILTER));
    EXPECT_EQ(ItemLabel(3), "3. Item3");
    EXPECT_EQ(recentFiles_.Files(), Files{file.string()});
    EXPECT_TRUE(MessageBoxTexts().empty());
}

TEST_F(Document, AnOpenThatIsCancelledOrFailsKeepsTheForm) {
    ChangeTheForm();
    dialogs_.ExpectFile(std::nullopt);
    document_.OnFileOpen();
    EXPECT_EQ(ItemLabel(3), "3. changed");
    EXPECT_TRUE(MessageBoxTexts().empty());

    EXPECT_FALSE(document_.OnOpenDocument((dir_.Path() / "missing.dat").string()));
    EXPECT_FALSE(document_.OnOpenDocument(dir_.Path().string()));
    EXPECT_EQ(MessageBoxTexts(),
              (std::vector<fw::UINT>{res::IDS_OPEN_FILE_FAILED, res::IDS_OPEN_FILE_FAILED}));
    EXPECT_EQ(ItemLabel(3), "3. changed");
    EXPECT_TRUE(recentFiles_.Files().empty());

    // An empty file is a document like any other.
    const fs::path empty = MakeFile("empty.dat", "");
    EXPECT_TRUE(document_.OnOpenDocument(empty.string()));
    EXPECT_EQ(recentFiles_.Files(), Files{empty.string()});
}

#ifndef _WIN32
TEST_F(Document, OpenRefusesAFifoWithoutWaitingOnIt) {
    const fs::path fifo = dir_.Path() / "fifo.dat";
    ASSERT_TRUE(testsupport::MakeSpecialFile(fifo, testsupport::SpecialKind::kFifo));
    EXPECT_FALSE(document_.OnOpenDocument(fifo.string()));
    EXPECT_EQ(MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_OPEN_FILE_FAILED});
    EXPECT_TRUE(recentFiles_.Files().empty());
}
#endif

// Save always asks (the document holds nothing, and saving silently over the
// file last opened would empty it), then writes an empty file.
TEST_F(Document, SaveAsksForANameThenWritesAnEmptyFileThatJoinsTheList) {
    const fs::path saved = MakeFile("saved.dat", "previous contents");
    const fs::path opened = MakeFile("opened.dat", "x");
    ASSERT_TRUE(document_.OnOpenDocument(opened.string()));
    dialogs_.ExpectFile(saved.string());
    document_.OnFileSave();
    ASSERT_EQ(dialogs_.FileRequests().size(), 1u);
    const fw::FileDialogRequest& request = dialogs_.FileRequests()[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.fileName, "Untitled");
    EXPECT_EQ(request.flags, fw::OFN_HIDEREADONLY | fw::OFN_OVERWRITEPROMPT);
    EXPECT_EQ(fs::file_size(saved), 0u);
    EXPECT_EQ(fs::file_size(opened), 1u);
    EXPECT_EQ(recentFiles_.Files(), (Files{saved.string(), opened.string()}));

    dialogs_.ExpectFile(std::nullopt);
    document_.OnFileSave();
    EXPECT_EQ(dialogs_.FileRequests().size(), 2u);
    EXPECT_EQ(recentFiles_.Files().size(), 2u);
}

TEST_F(Document, ANameThatTakesNoFileIsNotRemembered) {
    EXPECT_FALSE(document_.OnSaveDocument(dir_.Path().string()));
    EXPECT_EQ(MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_OUTPUT_REFUSED});
    EXPECT_TRUE(recentFiles_.Files().empty());
}

// Without a main frame there is no view to say why; the file is still written.
TEST_F(Document, SaveWithoutAViewStillWritesTheFile) {
    AfxSetMainFrame(nullptr);
    const fs::path saved = MakeFile("saved.dat", "previous contents");
    EXPECT_TRUE(document_.OnSaveDocument(saved.string()));
    EXPECT_EQ(fs::file_size(saved), 0u);
    EXPECT_EQ(recentFiles_.Files(), Files{saved.string()});
}

}  // namespace
