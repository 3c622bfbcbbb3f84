// The station window's last job in the registry, beside the recent-file list.
#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "app/win32/RegistryStationJobStore.h"
#include "app/win32/StationFrameWindow.h"
#include "framework/win32/Win32FormView.h"

namespace app::win32::test {
namespace {

class StationJobStore : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKey().c_str()); }
};

TEST_F(StationJobStore, TheNextStartReadsTheLastJobBackWithChineseNames) {
    CRegistryStationJobStore store(ScratchKey());
    // Nothing kept yet: an empty form that configures.
    const CStationView::JobForm none = store.Load();
    EXPECT_EQ(none.job, CStationView::Job::Configure);
    EXPECT_TRUE(none.file.empty());

    CStationView::JobForm form;
    form.job = CStationView::Job::Update;
    form.file = "C:\\固件\\fw.bin";
    form.ports = "1-4,7";
    form.count = "12";
    form.report = "C:\\报告\\today.csv";
    form.reportFolder = "C:\\报告";
    form.pool = "七号线";
    store.Save(form);

    const CStationView::JobForm back = CRegistryStationJobStore(ScratchKey()).Load();
    EXPECT_EQ(back.job, CStationView::Job::Update);
    EXPECT_EQ(back.file, form.file);
    EXPECT_EQ(back.ports, form.ports);
    EXPECT_EQ(back.count, form.count);
    EXPECT_EQ(back.reportFolder, form.reportFolder);
    EXPECT_EQ(back.pool, form.pool);
    // The report itself is the job's, not a setting: the next one is dated anew.
    EXPECT_TRUE(back.report.empty());

    // Beside the recent-file list, under the application's key.
    wchar_t value[64] = {};
    DWORD bytes = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, (ScratchKey() + L"\\Station").c_str(), L"Job",
                           RRF_RT_REG_SZ, nullptr, value, &bytes),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, L"update");
}

// The station window's form keeps its whole width beside a vertical scroll
// bar: a screen too short for the form's height scrolls it up and down only.
TEST_F(StationJobStore, TheStationWindowHasRoomForTheFormBesideAVerticalBar) {
    ASSERT_TRUE(fw::win32::InitWin32Controls());
    CRegistryStationJobStore store(ScratchKey());
    CStationFrameWindow frame(store, fw::Language::Chinese);
    ASSERT_TRUE(frame.IsCreated());
    ASSERT_NE(frame.FormView(), nullptr);
    RECT client{};
    GetClientRect(frame.Hwnd(), &client);
    const SIZE form = frame.FormView()->FormSizePixels();
    EXPECT_GE(client.right - GetSystemMetrics(SM_CXVSCROLL), form.cx);
}

}  // namespace
}  // namespace app::win32::test
