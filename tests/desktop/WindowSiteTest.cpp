// The window site on a small template of its own: clicks, posted messages from
// other threads, timers, message boxes and the rich-edit pane, as the system's
// window sees them through IWindowSite.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <memory>
#include <thread>

#include "DesktopSupport.h"
#include "framework/StringTable.h"
#include "framework/qt/QtWindowSite.h"
#include "res/ResourceIds.h"

namespace {

using desktoptest::ModalScript;
using desktoptest::RecordingWindow;
using fw::ControlKind;

constexpr int kLabel = 10;
constexpr int kEdit = 11;
constexpr int kNumberEdit = 12;
constexpr int kCheck = 13;
constexpr int kButton = 14;
constexpr int kHiddenButton = 15;
constexpr int kDisabledEdit = 16;
constexpr int kPane = 17;
constexpr fw::UINT kPosted = fw::WM_USER + 7;

fw::DialogTemplate TestTemplate() {
    fw::DialogTemplate t;
    t.fontFace = "MS Sans Serif";
    t.width = 220;
    t.height = 160;
    t.controls = {
        {kLabel, ControlKind::Static, fw::kLeft, {5, 5, 90, 8}, "<b>Name</b>"},
        {kEdit, ControlKind::Edit, fw::kBorder | fw::kTabStop, {5, 16, 90, 13}, ""},
        {kNumberEdit,
         ControlKind::Edit,
         fw::kBorder | fw::kNumber | fw::kTabStop,
         {100, 16, 50, 13},
         ""},
        {kCheck, ControlKind::CheckBox, fw::kTabStop, {5, 32, 50, 12}, "Modify"},
        {kButton, ControlKind::PushButton, fw::kTabStop, {60, 32, 40, 14}, "Go"},
        {kHiddenButton,
         ControlKind::PushButton,
         fw::kHidden | fw::kTabStop,
         {105, 32, 40, 14},
         "Later"},
        {kDisabledEdit,
         ControlKind::Edit,
         fw::kDisabled | fw::kReadOnly | fw::kBorder,
         {150, 32, 50, 13},
         ""},
        {kPane,
         ControlKind::RichEdit,
         fw::kMultiLine | fw::kBorder | fw::kReadOnly | fw::kVScroll | fw::kAutoVScroll,
         {5, 50, 200, 60},
         ""},
    };
    return t;
}

class WindowSite : public ::testing::Test {
protected:
    WindowSite()
        : language(fw::Language::English),
          site(std::make_unique<fw::qt::CQtWindowSite>(&container, window, TestTemplate())) {
        window.AttachSite(site.get());
        container.show();
    }
    ~WindowSite() override { window.AttachSite(nullptr); }

    template <class T>
    T* Widget(int id) {
        return qobject_cast<T*>(site->Control(id));
    }
    QTextEdit* Pane() { return Widget<QTextEdit>(kPane); }

    desktoptest::LanguageScope language;
    QWidget container;
    RecordingWindow window;
    std::unique_ptr<fw::qt::CQtWindowSite> site;
};

TEST_F(WindowSite, ControlsFollowTheirStylesAndAnswerByID) {
    EXPECT_TRUE(site->IsControlVisible(kButton));
    EXPECT_FALSE(site->IsControlVisible(kHiddenButton));
    EXPECT_TRUE(site->IsControlEnabled(kEdit));
    EXPECT_FALSE(site->IsControlEnabled(kDisabledEdit));
    EXPECT_TRUE(Widget<QLineEdit>(kDisabledEdit)->isReadOnly());
    EXPECT_FALSE(Widget<QLineEdit>(kEdit)->isReadOnly());
    EXPECT_TRUE(Pane()->isReadOnly());

    window.ShowDlgItem(kHiddenButton, fw::SW_SHOW);
    window.ShowDlgItem(kButton, fw::SW_HIDE);
    window.EnableDlgItem(kEdit, false);
    EXPECT_TRUE(site->IsControlVisible(kHiddenButton));
    EXPECT_TRUE(Widget<QPushButton>(kHiddenButton)->isVisible());
    EXPECT_FALSE(site->IsControlVisible(kButton));
    EXPECT_FALSE(Widget<QLineEdit>(kEdit)->isEnabled());

    // Markup in a caption is text, as a static control shows it.
    EXPECT_EQ(site->GetControlText(kLabel), "<b>Name</b>");
    site->SetControlText(kCheck, "Ändern");
    EXPECT_EQ(Widget<QCheckBox>(kCheck)->text(), QStringLiteral("Ändern"));
    EXPECT_EQ(site->GetControlText(kCheck), "Ändern");

    // Unknown IDs are ignored.
    site->SetControlText(999, "x");
    site->ShowControl(999, fw::SW_HIDE);
    EXPECT_EQ(site->GetControlText(999), "");
    EXPECT_FALSE(site->IsControlVisible(999));
    EXPECT_EQ(site->GetControlCheck(999), 0);
}

TEST_F(WindowSite, AButtonSendsItsCommandUnderTheWaitCursorAndACheckBoxJustToggles) {
    QTest::mouseClick(Widget<QPushButton>(kButton), Qt::LeftButton);
    ASSERT_EQ(window.delivered.size(), 1u);
    EXPECT_EQ(window.delivered[0].message, fw::WM_COMMAND);
    EXPECT_EQ(window.delivered[0].wParam, static_cast<fw::WPARAM>(kButton));
    EXPECT_TRUE(window.delivered[0].waitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QTest::mouseClick(Widget<QCheckBox>(kCheck), Qt::LeftButton);
    EXPECT_EQ(window.IsDlgButtonChecked(kCheck), 1);
    QTest::mouseClick(Widget<QCheckBox>(kCheck), Qt::LeftButton);
    EXPECT_EQ(window.IsDlgButtonChecked(kCheck), 0);
    window.CheckDlgButton(kCheck, 1);
    EXPECT_TRUE(Widget<QCheckBox>(kCheck)->isChecked());
    EXPECT_EQ(window.delivered.size(), 1u);
}

TEST_F(WindowSite, ANumberEditTakesDigitsOnly) {
    QTest::keyClicks(Widget<QLineEdit>(kNumberEdit), "12a-3 ");
    EXPECT_EQ(site->GetControlText(kNumberEdit), "123");
    QTest::keyClicks(Widget<QLineEdit>(kEdit), "12a-3 ");
    EXPECT_EQ(site->GetControlText(kEdit), "12a-3 ");
}

TEST_F(WindowSite, MessagesPostedFromAnotherThreadArriveInOrderOnTheInterfaceThread) {
    constexpr int kCount = 200;
    std::thread poster([this] {
        for (int i = 0; i < kCount; ++i) {
            window.PostMessage(kPosted, static_cast<fw::WPARAM>(i), -i);
        }
    });
    poster.join();
    EXPECT_TRUE(window.delivered.empty());  // nothing is delivered outside the loop
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.delivered.size() == kCount; }, 5000));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(window.delivered[i].message, kPosted);
        EXPECT_EQ(window.delivered[i].wParam, static_cast<fw::WPARAM>(i));
        EXPECT_EQ(window.delivered[i].lParam, -i);
        EXPECT_EQ(window.delivered[i].thread, std::this_thread::get_id());
    }
}

TEST_F(WindowSite, MessagesStillQueuedWhenTheSiteGoesAwayAreDropped) {
    for (int i = 0; i < 5; ++i) {
        site->PostMessage(kPosted, 0, 0);
    }
    site->SetTimer(3, 1);
    window.AttachSite(nullptr);
    site.reset();
    QTest::qWait(50);
    EXPECT_TRUE(window.delivered.empty());
}

TEST_F(WindowSite, TimersTickUntilKilledAndOneIDIsOneTimer) {
    EXPECT_EQ(window.SetTimer(0, 10), 0u);
    EXPECT_EQ(window.SetTimer(5, 10), 5u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Count(fw::WM_TIMER) >= 3; }, 5000));
    for (const auto& d : window.delivered) {
        EXPECT_EQ(d.wParam, 5u);
    }
    EXPECT_TRUE(window.KillTimer(5));
    EXPECT_FALSE(window.KillTimer(5));
    const std::size_t ticks = window.Count(fw::WM_TIMER);
    QTest::qWait(80);
    EXPECT_EQ(window.Count(fw::WM_TIMER), ticks);

    // Setting the same ID again restarts that timer rather than adding one, so
    // a single kill stops it.
    window.SetTimer(6, 10);
    window.SetTimer(6, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Count(fw::WM_TIMER) > ticks; }, 5000));
    EXPECT_TRUE(window.KillTimer(6));
    const std::size_t after = window.Count(fw::WM_TIMER);
    QTest::qWait(80);
    EXPECT_EQ(window.Count(fw::WM_TIMER), after);
}

TEST_F(WindowSite, AMessageBoxShowsItsStringsAndLetsTimersAndPostedMessagesThrough) {
    bool boxOpen = false;
    int ticksWhileOpen = 0;
    bool postedWhileOpen = false;
    int result = 0;
    window.onMessage = [&](const desktoptest::Delivered& d) {
        if (d.message == fw::WM_TIMER && boxOpen) {
            ++ticksWhileOpen;
        } else if (d.message == kPosted) {
            postedWhileOpen = boxOpen;
        } else if (d.message == fw::WM_COMMAND) {
            window.SetTimer(9, 10);
            window.PostMessage(kPosted, 0, 0);
            boxOpen = true;
            result = window.AfxMessageBox(res::IDS_STARTUP_TIMEOUT);
            boxOpen = false;
        }
    };

    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool waitCursorInBox = true;
    ModalScript script;
    script.Then(
        [&](QWidget* modal) {
            return qobject_cast<QMessageBox*>(modal) != nullptr && ticksWhileOpen >= 3 &&
                   postedWhileOpen;
        },
        [&](QWidget* modal) {
            auto* box = static_cast<QMessageBox*>(modal);
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            waitCursorInBox = desktoptest::WaitCursorShown();
            box->button(QMessageBox::Ok)->click();
        });
    QTest::mouseClick(Widget<QPushButton>(kButton), Qt::LeftButton);

    EXPECT_TRUE(script.Done());
    EXPECT_EQ(result, fw::IDOK);
    EXPECT_GE(ticksWhileOpen, 3);
    EXPECT_TRUE(postedWhileOpen);
    // The line breaks around the text are kept, as single line breaks.
    EXPECT_EQ(text, QStringLiteral("\nKavrel startup timeout!\n"));
    EXPECT_EQ(title.toStdString(), fw::LoadString(res::IDS_APP_TITLE));
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(waitCursorInBox);
    EXPECT_TRUE(window.delivered[0].waitCursor);
    window.KillTimer(9);
}

TEST_F(WindowSite, AYesNoBoxInsertsItsArgumentsAndReportsTheButton) {
    QMessageBox::StandardButtons buttons;
    QString text;
    ModalScript script;
    script.When<QMessageBox>([&](QMessageBox* box) {
        buttons = box->standardButtons();
        text = box->text();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(
        site->MessageBoxById(res::IDS_VALUE_NOT_SENDABLE, res::IDS_APP_TITLE, fw::MB_YESNO, {"7"}),
        fw::IDNO);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(text.toStdString(),
              "Item 7 was not sent: its new value holds a line break or a zero byte.");

    script.When<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(site->MessageBoxById(res::IDS_SET_FAILED, res::IDS_APP_TITLE, fw::MB_OKCANCEL, {}),
              fw::IDCANCEL);
}

TEST_F(WindowSite, RichEditAppendsContinueTheLastLineAndCrLfIsOneBreak) {
    site->AppendControlText(kPane, "AT+");
    site->AppendControlText(kPane, "TEST");
    EXPECT_EQ(Pane()->toPlainText(), QStringLiteral("AT+TEST"));
    // A CR LF split between two pieces is still one line break.
    site->AppendControlText(kPane, "\r");
    site->AppendControlText(kPane, "\nOK\r\n");
    site->AppendControlText(kPane, "next");
    EXPECT_EQ(Pane()->toPlainText(), QStringLiteral("AT+TEST\nOK\nnext"));
    EXPECT_EQ(Pane()->document()->blockCount(), 3);
    EXPECT_EQ(site->GetControlText(kPane), "AT+TEST\r\nOK\r\nnext");

    site->SetControlText(kPane, "one\r\ntwo\r");
    site->AppendControlText(kPane, "\nthree");
    EXPECT_EQ(Pane()->toPlainText(), QStringLiteral("one\ntwo\nthree"));
}

TEST_F(WindowSite, RichEditFollowsTheEndOnlyWhenItWasThere) {
    QScrollBar* bar = Pane()->verticalScrollBar();
    for (int i = 0; i < 100; ++i) {
        site->AppendControlText(kPane, "line " + std::to_string(i) + "\r\n");
    }
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    for (int i = 0; i < 20; ++i) {
        site->AppendControlText(kPane, "more\r\n");
    }
    EXPECT_EQ(bar->value(), 0);

    bar->setValue(bar->maximum());
    const int previousMaximum = bar->maximum();
    for (int i = 0; i < 20; ++i) {
        site->AppendControlText(kPane, "still more\r\n");
    }
    EXPECT_GT(bar->maximum(), previousMaximum);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(WindowSite, RichEditLookSetsColoursSizeAndFace) {
    site->SetControlText(kPane, "text");
    Pane()->setReadOnly(false);
    fw::RichEditLook look;
    look.readOnly = true;
    look.backgroundRgb = 0x102030;
    look.textRgb = 0xF0E0D0;
    look.heightTwips = 250;
    look.faceName = "MS Sans Serif";
    site->SetRichEditLook(kPane, look);

    EXPECT_TRUE(Pane()->isReadOnly());
    EXPECT_EQ(Pane()->palette().color(QPalette::Base), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(Pane()->palette().color(QPalette::Text), QColor(0xF0, 0xE0, 0xD0));
    const QFont font = Pane()->font();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 12.5);
    EXPECT_EQ(font.family(), fw::qt::ResolveFontFamily("MS Sans Serif"));
    EXPECT_FALSE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_FALSE(font.underline());
    // Text already there takes the look too.
    EXPECT_DOUBLE_EQ(Pane()->document()->defaultFont().pointSizeF(), 12.5);

    const QPoint where = Pane()->pos();
    site->SetControlSizePixels(kPane, 300, 120);
    EXPECT_EQ(Pane()->size(), QSize(300, 120));
    EXPECT_EQ(Pane()->pos(), where);
}

}  // namespace
