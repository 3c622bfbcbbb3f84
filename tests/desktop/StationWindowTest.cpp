// tirvel-station's Qt window on the offscreen platform against simulators:
// the operator's clicks reach the view, the tiles show each port's verdict,
// and the last job is remembered for the next start.
#include <QLabel>
#include <QProgressBar>

#include "AppTestSupport.h"
#include "TestFiles.h"
#include "XmodemReceiver.h"
#include "app/qt/SettingsStationJobStore.h"
#include "app/qt/StationWindow.h"
#include "res/StationIds.h"

namespace {

namespace fs = std::filesystem;

class StationWindowTest : public apptest::AppFixture {
protected:
    std::string Link(int k) const { return (dir.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path Received(int k) const { return dir.Path() / ("received" + std::to_string(k)); }

    void StartSimulators(int count) {
        for (int k = 0; k < count; ++k) {
            sims.push_back(std::make_unique<testsupport::SimProcess>(
                std::vector<std::string>{"--link", Link(k), "--boot-ms", "200", "--devices", "1",
                                         "--firmware-out", Received(k).string()}));
        }
    }

    QString Label(app::CStationWindow& window, int id) const {
        auto* label = qobject_cast<QLabel*>(window.FormView()->Control(id));
        return label != nullptr ? label->text() : QString();
    }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims;
};

TEST_F(StationWindowTest, StartClickedUpdatesEveryPortAndTheTilesSayOk) {
    StartSimulators(2);
    const std::string image = testsupport::WriteNoise(dir.Path() / "fw.bin", 128 * 40 + 3);
    app::CSettingsStationJobStore store;
    const desktoptest::LanguageScope english(fw::Language::English);
    app::CStationWindow window(store, fw::Language::English);
    window.View().SetWorkerProgram(TIRVELCTL_BIN);
    CStationView::JobForm form;
    form.job = CStationView::Job::Update;
    form.file = (dir.Path() / "fw.bin").string();
    form.ports = Link(0) + "," + Link(1);
    form.report = (dir.Path() / "r.csv").string();
    form.pool = "ids";  // left from a Configure job: an update draws from none
    window.View().SetJobForm(form);
    window.show();

    QWidget* start = window.FormView()->Control(res::IDC_STATION_START);
    ASSERT_NE(start, nullptr);
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(apptest::WaitFor([&] { return window.View().LastResult().has_value(); }, 60000));
    EXPECT_TRUE(window.View().LastResult()->Clean());
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(Label(window, res::StationTileId(k, res::kPartVerdict)), QStringLiteral("OK"));
        auto* bar = qobject_cast<QProgressBar*>(
            window.FormView()->Control(res::StationTileId(k, res::kPartProgress)));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_EQ(testsupport::ReadFile(Received(k)), testsupport::Padded(image));
    }
    EXPECT_TRUE(start->isEnabled());

    // Closed, the window keeps the job for the next start; the password is
    // never among what it keeps.
    window.close();
    const CStationView::JobForm kept = store.Load();
    EXPECT_EQ(kept.job, CStationView::Job::Update);
    EXPECT_EQ(kept.file, form.file);
    EXPECT_EQ(kept.ports, form.ports);
    EXPECT_EQ(kept.reportFolder, dir.Path().string());
    EXPECT_EQ(kept.pool, form.pool);
}

}  // namespace
