// The Qt site's radio groups, drop-down list and static looks, driven as the
// operator drives them, on a small template of the test's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "DesktopSupport.h"
#include "framework/ComboBox.h"
#include "framework/qt/QtWindowSite.h"

namespace {

using desktoptest::RecordingWindow;
using fw::ControlKind;

constexpr int kVerdict = 10;
constexpr int kJobLoad = 11;
constexpr int kJobSave = 12;
constexpr int kJobErase = 13;
constexpr int kPorts = 14;
constexpr int kSpeedSlow = 15;
constexpr int kSpeedFast = 16;

fw::DialogTemplate StationLikeTemplate() {
    fw::DialogTemplate t;
    t.fontFace = "MS Sans Serif";
    t.width = 200;
    t.height = 120;
    t.controls = {
        {kVerdict, ControlKind::Static, 0, {5, 5, 60, 20}, "--"},
        {kJobLoad, ControlKind::RadioButton, fw::kGroup | fw::kTabStop, {5, 30, 50, 10}, "Load"},
        {kJobSave, ControlKind::RadioButton, 0, {5, 42, 50, 10}, "Save"},
        {kJobErase, ControlKind::RadioButton, 0, {5, 54, 50, 10}, "Erase"},
        {kPorts, ControlKind::ComboBox, fw::kGroup | fw::kTabStop, {70, 30, 60, 80}, "COM9"},
        {kSpeedSlow, ControlKind::RadioButton, fw::kGroup, {140, 30, 50, 10}, "Slow"},
        {kSpeedFast, ControlKind::RadioButton, 0, {140, 42, 50, 10}, "Fast"},
    };
    return t;
}

class WindowSiteControls : public ::testing::Test {
protected:
    WindowSiteControls()
        : site(std::make_unique<fw::qt::CQtWindowSite>(&container, window, StationLikeTemplate())) {
        window.AttachSite(site.get());
        container.show();
    }
    ~WindowSiteControls() override { window.AttachSite(nullptr); }

    template <class T>
    T* Widget(int id) {
        return qobject_cast<T*>(site->Control(id));
    }
    std::vector<fw::WPARAM> Commands() const {
        std::vector<fw::WPARAM> commands;
        for (const auto& d : window.delivered) {
            if (d.message == fw::WM_COMMAND) {
                commands.push_back(d.wParam);
            }
        }
        return commands;
    }

    QWidget container;
    RecordingWindow window;
    std::unique_ptr<fw::qt::CQtWindowSite> site;
};

TEST_F(WindowSiteControls, AClickedRadioUnchecksItsGroupAndReachesTheWindow) {
    QTest::mouseClick(Widget<QRadioButton>(kJobSave), Qt::LeftButton);
    QTest::mouseClick(Widget<QRadioButton>(kSpeedFast), Qt::LeftButton);
    QTest::mouseClick(Widget<QRadioButton>(kJobErase), Qt::LeftButton);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobLoad), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobErase), 1);
    EXPECT_EQ(window.IsDlgButtonChecked(kSpeedFast), 1);
    EXPECT_EQ(Commands(), (std::vector<fw::WPARAM>{kJobSave, kSpeedFast, kJobErase}));
    // A radio's handler does not block: no wait cursor.
    EXPECT_FALSE(window.delivered.back().waitCursor);

    // The arrow keys move the check within the group only.
    QApplication::setActiveWindow(&container);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&container));
    Widget<QRadioButton>(kJobErase)->setFocus();
    QTest::keyClick(Widget<QRadioButton>(kJobErase), Qt::Key_Up);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 1);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobErase), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kSpeedFast), 1);
    EXPECT_EQ(Commands().back(), static_cast<fw::WPARAM>(kJobSave));
}

TEST_F(WindowSiteControls, TheSystemChecksAndUnchecksRadiosWithoutNotice) {
    window.CheckDlgButton(kJobLoad, 1);
    window.CheckDlgButton(kJobSave, 1);
    EXPECT_FALSE(Widget<QRadioButton>(kJobLoad)->isChecked());
    EXPECT_TRUE(Widget<QRadioButton>(kJobSave)->isChecked());
    window.CheckDlgButton(kJobSave, 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobLoad), 0);
    // Unchecked, the group is still exclusive.
    window.CheckDlgButton(kJobErase, 1);
    QTest::mouseClick(Widget<QRadioButton>(kJobLoad), Qt::LeftButton);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobErase), 0);
    EXPECT_EQ(Commands(), (std::vector<fw::WPARAM>{kJobLoad}));
}

TEST_F(WindowSiteControls, ChoosingAnItemSetsTheTextAndTellsTheWindowAsTypingDoes) {
    auto* combo = Widget<QComboBox>(kPorts);
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    fw::CComboBox ports;
    ports.Bind(&window, kPorts);
    ports.SetItems({"COM1", "COM3", "COM12"});
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(site->GetControlText(kPorts), "COM9");
    EXPECT_TRUE(Commands().empty());

    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(window.GetDlgItemBytes(kPorts), "COM3");
    QTest::keyClicks(combo->lineEdit(), "4");
    EXPECT_EQ(window.GetDlgItemBytes(kPorts), "COM34");
    const auto selChange = fw::MAKEWPARAM(kPorts, fw::CBN_SELCHANGE);
    EXPECT_EQ(Commands(), (std::vector<fw::WPARAM>{selChange, selChange,
                                                   fw::MAKEWPARAM(kPorts, fw::CBN_EDITCHANGE)}));

    // Text the system sets raises nothing, and a new list keeps it.
    window.SetDlgItemBytes(kPorts, "COM5");
    ports.SetItems({"COM2"});
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("COM2"));
    EXPECT_EQ(site->GetControlText(kPorts), "COM5");
    EXPECT_EQ(Commands().size(), 3u);
}

TEST_F(WindowSiteControls, AStaticShowsTheSizeAndColoursOfItsLook) {
    auto* verdict = Widget<QLabel>(kVerdict);
    fw::TextLook ok;
    ok.heightTwips = 480;
    ok.bold = true;
    ok.textRgb = 0xFFFFFF;
    ok.hasBackground = true;
    ok.backgroundRgb = 0x008000;
    site->SetTextLook(kVerdict, ok);
    EXPECT_DOUBLE_EQ(verdict->font().pointSizeF(), 24.0);
    EXPECT_TRUE(verdict->font().bold());
    EXPECT_EQ(verdict->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(verdict->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_TRUE(verdict->autoFillBackground());
    // What is drawn is what was asked for.
    const QImage shot = verdict->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2), QColor(0, 128, 0));

    fw::TextLook plain;
    plain.heightTwips = 200;
    plain.textRgb = 0xC00000;
    site->SetTextLook(kVerdict, plain);
    EXPECT_DOUBLE_EQ(verdict->font().pointSizeF(), 10.0);
    EXPECT_FALSE(verdict->font().bold());
    EXPECT_EQ(verdict->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    EXPECT_FALSE(verdict->autoFillBackground());
}

}  // namespace
