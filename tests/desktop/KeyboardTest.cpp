// Ctrl+C, Ctrl+X and Ctrl+V belong to the focused control of the form, whatever
// Edit actions the frame has; Tab walks the rows in template order.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "DesktopSupport.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/qt/QtFormView.h"
#include "framework/qt/QtWindowSite.h"

namespace {

class Keyboard : public ::testing::Test {
protected:
    Keyboard() : language(fw::Language::English) {
        form = new fw::qt::CQtFormView(view, fw::Language::English);
        frame.setCentralWidget(form);
        outside = new QPushButton(QStringLiteral("outside"));
        frame.statusBar()->addWidget(outside);
        // Edit actions as a frame would have them, in the default window context.
        for (auto [action, key] :
             {std::pair{&copy, QKeySequence::Copy}, std::pair{&cut, QKeySequence::Cut},
              std::pair{&paste, QKeySequence::Paste}}) {
            action->setShortcut(key);
            frame.addAction(action);
            QObject::connect(action, &QAction::triggered, [this] { ++triggered; });
        }
        frame.resize(900, 600);
        frame.show();
        QApplication::setActiveWindow(&frame);
    }

    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(form->Control(id)); }
    void Focus(QWidget* widget) {
        widget->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return widget->hasFocus(); }));
    }

    desktoptest::LanguageScope language;
    CTirvel2View view;
    QMainWindow frame;
    fw::qt::CQtFormView* form;
    QPushButton* outside;
    QAction copy;
    QAction cut;
    QAction paste;
    int triggered = 0;
};

TEST_F(Keyboard, ClipboardKeysGoToTheFocusedControlNotToTheFramesActions) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    // The actions are live: with a widget of the frame focused, Ctrl+C is the frame's.
    Focus(outside);
    QTest::keyClick(outside, Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(triggered, 1);
    triggered = 0;

    view.SetItemCurrentValue(1, "ABC123");
    view.UpdateData(false);
    QLineEdit* current = Edit(ItemCurrentId(1));
    Focus(current);
    current->selectAll();
    QTest::keyClick(current, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ABC123"));
    // Cutting from a read-only value does nothing at all.
    QTest::keyClick(current, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(current->text(), QStringLiteral("ABC123"));
    QTest::keyClick(current, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(current->text(), QStringLiteral("ABC123"));

    QGuiApplication::clipboard()->setText(QStringLiteral("internet.m2m"));
    QLineEdit* newValue = Edit(ItemNewId(1));
    Focus(newValue);
    QTest::keyClick(newValue, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(newValue->text(), QStringLiteral("internet.m2m"));
    newValue->setSelection(0, 8);
    QTest::keyClick(newValue, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(newValue->text(), QStringLiteral(".m2m"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("internet"));

    // Not even a check box hands them to the frame.
    QWidget* check = form->Control(ItemModifyId(1));
    Focus(check);
    QTest::keyClick(check, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(triggered, 0);

    EXPECT_TRUE(fw::qt::IsSiteControl(current));
    EXPECT_FALSE(fw::qt::IsSiteControl(outside));
}

TEST_F(Keyboard, TabWalksEachRowThenTheNextInTemplateOrder) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    Focus(Edit(ItemCurrentId(1)));
    const int expected[] = {ItemNewId(1), ItemModifyId(1), ItemCurrentId(2), ItemNewId(2)};
    for (int id : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), form->Control(id)) << id;
    }
}

}  // namespace
