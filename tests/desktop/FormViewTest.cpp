// The configuration form on real widgets: its controls, the exact-bytes rule
// through QLineEdit, its set-up and focus.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <set>

#include "DesktopSupport.h"
#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "framework/qt/QtFormView.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "res/Dialogs.h"

namespace {

class FormView : public ::testing::Test {
protected:
    FormView() : language(fw::Language::English), form(view, fw::Language::English) {
        g_nItemCount = 0;
        g_nProbeStopFlag = 0;
        g_bPreset = false;
    }

    template <class T>
    T* Widget(int id) {
        return qobject_cast<T*>(form.Control(id));
    }

    desktoptest::LanguageScope language;
    CTirvel2View view;
    fw::qt::CQtFormView form;
};

TEST_F(FormView, HasEveryControlOfTheTemplateAsTheRightWidget) {
    const fw::DialogTemplate* t =
        res::FindDialogTemplate(res::IDD_TIRVEL2_FORM, fw::Language::English);
    std::set<int> ids;
    for (const auto& c : t->controls) {
        ids.insert(c.id);
        QWidget* widget = form.Control(c.id);
        ASSERT_NE(widget, nullptr) << c.id;
        EXPECT_EQ(widget->parentWidget(), form.widget());
        EXPECT_EQ(form.IsControlVisible(c.id), (c.style & fw::kHidden) == 0) << c.id;
        switch (c.kind) {
            case fw::ControlKind::Static:
                EXPECT_NE(qobject_cast<QLabel*>(widget), nullptr) << c.id;
                break;
            case fw::ControlKind::Edit:
                ASSERT_NE(qobject_cast<QLineEdit*>(widget), nullptr) << c.id;
                EXPECT_EQ(qobject_cast<QLineEdit*>(widget)->isReadOnly(),
                          (c.style & fw::kReadOnly) != 0)
                    << c.id;
                break;
            case fw::ControlKind::CheckBox:
                EXPECT_NE(qobject_cast<QCheckBox*>(widget), nullptr) << c.id;
                break;
            case fw::ControlKind::PushButton:
                EXPECT_NE(qobject_cast<QPushButton*>(widget), nullptr) << c.id;
                break;
            case fw::ControlKind::RichEdit:
                EXPECT_NE(qobject_cast<QTextEdit*>(widget), nullptr) << c.id;
                break;
            default:
                ADD_FAILURE() << "unexpected kind in the form: " << c.id;
        }
    }
    EXPECT_EQ(ids.size(), 252u);
    EXPECT_EQ(form.View().TemplateId(), res::IDD_TIRVEL2_FORM);
    EXPECT_EQ(view.Site(), &form);
}

TEST_F(FormView, DeviceBytesSurviveARefreshAndTypedTextIsEncoded) {
    // 0x81 and 0x8D have no character in Windows-1252.
    const std::string undecodable =
        "\x81"
        "ab\x8D";
    view.SetItemNewValue(3, undecodable);
    view.SetItemCurrentValue(3, "caf\xE9");
    view.UpdateData(false);
    EXPECT_EQ(Widget<QLineEdit>(ItemNewId(3))->text(), QStringLiteral("\uFFFDab\uFFFD"));
    EXPECT_EQ(Widget<QLineEdit>(ItemCurrentId(3))->text(), QStringLiteral("café"));

    ASSERT_TRUE(view.UpdateData(true));
    EXPECT_EQ(view.GetItemNewValue(3), undecodable);
    EXPECT_EQ(view.GetItemCurrentValue(3), "caf\xE9");

    QLineEdit* edit = Widget<QLineEdit>(ItemNewId(3));
    edit->selectAll();
    desktoptest::TypeText(edit, QStringLiteral("Zürich"));
    ASSERT_TRUE(view.UpdateData(true));
    EXPECT_EQ(view.GetItemNewValue(3), "Z\xFCrich");
}

TEST_F(FormView, TickingARowIsReadAtTheNextExchange) {
    form.show();
    QTest::mouseClick(Widget<QCheckBox>(ItemModifyId(4)), Qt::LeftButton);
    EXPECT_EQ(view.ReadItemModify(4), 1);
    view.SetItemModify(4, 0);
    EXPECT_FALSE(Widget<QCheckBox>(ItemModifyId(4))->isChecked());
}

TEST_F(FormView, InitialUpdateDressesThePanesAndFocusesTheFirstNewValue) {
    form.resize(500, 300);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    view.OnInitialUpdate();

    auto* help = Widget<QTextEdit>(res::IDC_HELP_PANE);
    QString expected = QString::fromStdString(fw::LoadString(res::IDS_HELP_TEXT));
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(help->toPlainText(), expected);
    EXPECT_EQ(help->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(help->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_FALSE(form.IsControlVisible(res::IDC_LOG_PANE));
    EXPECT_FALSE(form.IsControlEnabled(res::IDC_EXPORT_CONFIG));
    EXPECT_EQ(Widget<QLabel>(ItemLabelId(1))->text(), QStringLiteral("1. Item1"));
    EXPECT_EQ(form.window()->focusWidget(), form.Control(ItemNewId(1)));
}

TEST_F(FormView, FocusingAControlScrollsItIntoView) {
    form.resize(500, 300);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_EQ(form.verticalScrollBar()->value(), 0);
    view.FocusDlgItem(ItemNewId(60));
    QWidget* edit = form.Control(ItemNewId(60));
    EXPECT_EQ(form.window()->focusWidget(), edit);
    const QRect shown(edit->mapTo(&form, QPoint(0, 0)), edit->size());
    EXPECT_TRUE(form.viewport()->geometry().contains(shown))
        << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height() << " in "
        << form.viewport()->geometry().x() << "," << form.viewport()->geometry().y() << " "
        << form.viewport()->width() << "x" << form.viewport()->height();
}

TEST_F(FormView, CommandsFromTheFrameReachTheView) {
    // Clear Config empties every new value; the command comes from a toolbar.
    view.SetItemNewValue(2, "x");
    view.UpdateData(false);
    form.SendCommand(res::IDC_CLEAR_CONFIG);
    EXPECT_EQ(Widget<QLineEdit>(ItemNewId(2))->text(), QString());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
