// The Qt site's radio groups, drop-down list, password and static looks,
// driven as the operator drives them.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "ChoiceDialog.h"
#include "framework/ComboBox.h"
#include "framework/qt/QtWindowSite.h"

namespace {

using namespace testsupport::choice;
using Commands = std::vector<fw::WPARAM>;

class WindowSiteControls : public ::testing::Test {
protected:
    WindowSiteControls() {
        window.AttachSite(&site);
        container.show();
    }
    ~WindowSiteControls() override { window.AttachSite(nullptr); }
    void Click(int id) { QTest::mouseClick(site.Control(id), Qt::LeftButton); }

    QWidget container;
    CommandLog window;
    fw::qt::CQtWindowSite site{&container, window, ChoiceDialog()};
};

TEST_F(WindowSiteControls, ARadioIsCheckedAloneInItsGroupAndAClickReachesTheWindow) {
    Click(kJobSave);
    Click(kSpeedFast);
    Click(kJobErase);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobErase), 1);
    EXPECT_EQ(window.IsDlgButtonChecked(kSpeedFast), 1);
    // The arrow keys move the check within the group.
    QApplication::setActiveWindow(&container);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&container));
    site.Control(kJobErase)->setFocus();
    QTest::keyClick(site.Control(kJobErase), Qt::Key_Up);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 1);
    EXPECT_EQ(window.commands, (Commands{kJobSave, kSpeedFast, kJobErase, kJobSave}));
    EXPECT_TRUE(SystemChecksAreSilent(window));
}

TEST_F(WindowSiteControls, ChoosingAnItemSetsTheTextAndTellsTheWindowAsTypingDoes) {
    auto* combo = qobject_cast<QComboBox*>(site.Control(kPorts));
    ASSERT_TRUE(combo != nullptr && combo->isEditable());
    fw::CComboBox ports;
    ports.Bind(&window, kPorts);
    ports.SetItems({"COM1", "COM3"});
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(site.GetControlText(kPorts), "COM9");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClicks(combo->lineEdit(), "4");
    const auto chosen = fw::MAKEWPARAM(kPorts, fw::CBN_SELCHANGE);
    EXPECT_EQ(window.commands,
              (Commands{chosen, chosen, fw::MAKEWPARAM(kPorts, fw::CBN_EDITCHANGE)}));
    EXPECT_EQ(window.portText, (std::vector<std::string>{"COM1", "COM3", "COM34"}));
}

TEST_F(WindowSiteControls, TheWindowFillsTheListAsItDropsDown) {
    auto* combo = qobject_cast<QComboBox*>(site.Control(kPorts));
    ASSERT_NE(combo, nullptr);
    FillPortsOnDropDown(window, {"COM2", "COM10"});
    // An empty list would not even open: the window is asked first.
    combo->showPopup();
    EXPECT_EQ(window.commands, (Commands{fw::MAKEWPARAM(kPorts, fw::CBN_DROPDOWN)}));
    EXPECT_EQ(combo->count(), 2);
    EXPECT_TRUE(combo->view()->isVisible());
    EXPECT_EQ(site.GetControlText(kPorts), "COM9");
    combo->hidePopup();
}

TEST_F(WindowSiteControls, APasswordShowsNoneOfWhatIsTyped) {
    auto* edit = qobject_cast<QLineEdit*>(site.Control(kSecret));
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, "s3cret");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->displayText().size(), 6);
    EXPECT_FALSE(edit->displayText().contains(QStringLiteral("s")));
    EXPECT_EQ(window.GetDlgItemBytes(kSecret), "s3cret");
}

TEST_F(WindowSiteControls, AStaticShowsTheSizeAndColoursOfItsLook) {
    auto* verdict = qobject_cast<QLabel*>(site.Control(kVerdict));
    site.SetTextLook(kVerdict, FailedLook());
    EXPECT_DOUBLE_EQ(verdict->font().pointSizeF(), 24.0);
    EXPECT_TRUE(verdict->font().bold());
    EXPECT_EQ(verdict->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    const QImage shot = verdict->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2), QColor(0xC0, 0, 0));
    site.SetTextLook(kVerdict, {200, false, 0x008000, false, 0});
    EXPECT_DOUBLE_EQ(verdict->font().pointSizeF(), 10.0);
    EXPECT_EQ(verdict->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));
    EXPECT_FALSE(verdict->autoFillBackground());
}

}  // namespace
