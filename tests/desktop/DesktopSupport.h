// What the desktop tests share: the operator's hand on modal windows (which
// block the test's own code until they close), finding a control by its ID,
// and a window that records what it is sent.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "LanguageForTheTest.h"
#include "framework/Language.h"
#include "framework/Wnd.h"

namespace desktoptest {

// Acts on modal windows in order, as they come up. A step is taken off the
// list before it acts, so an action that opens another modal window (OK that
// brings up a prompt) leaves the next step free to deal with it.
class ModalScript {
public:
    ModalScript() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(10);
    }

    // ready: whether the step can act on the active modal widget now.
    void Then(std::function<bool(QWidget*)> ready, std::function<void(QWidget*)> act) {
        steps_.push_back({std::move(ready), std::move(act)});
    }
    // A step for the next modal widget of exactly this class.
    template <class T>
    void When(std::function<void(T*)> act) {
        Then([](QWidget* modal) { return modal != nullptr && IsExactly<T>(modal); },
             [act](QWidget* modal) { act(static_cast<T*>(modal)); });
    }
    bool Done() const { return steps_.empty(); }

    template <class T>
    static bool IsExactly(const QWidget* widget) {
        return widget->metaObject() == &T::staticMetaObject;
    }

private:
    struct Step {
        std::function<bool(QWidget*)> ready;
        std::function<void(QWidget*)> act;
    };

    // Qt never fires a timer again while its own slot runs, so a step that
    // opens a nested modal window from inside Poll() would leave nobody to
    // answer it. The step therefore acts from a fresh single-shot timer, and
    // polling pauses until it has begun.
    void Poll() {
        if (steps_.empty() || acting_) {
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!steps_.front().ready(modal)) {
            return;
        }
        auto act = std::move(steps_.front().act);
        steps_.pop_front();
        acting_ = true;
        QPointer<QWidget> target(modal);
        QTimer::singleShot(0, &timer_, [this, act = std::move(act), target, modal] {
            acting_ = false;
            if (modal == nullptr || target != nullptr) {
                act(modal);
            }
        });
    }

    QTimer timer_;
    std::deque<Step> steps_;
    bool acting_ = false;
};

// Closes every message box that comes up with its first button and keeps its text.
class MessageBoxCloser {
public:
    MessageBoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                texts.push_back(box->text().toStdString());
                box->buttons().first()->click();
            }
        });
        timer_.start(20);
    }
    std::vector<std::string> texts;

private:
    QTimer timer_;
};

// QTest::keyClicks only knows ASCII (anything else trips an assertion), so
// other characters go in as key events that carry just their text, the way an
// input method delivers them.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

inline QWidget* FindControl(QWidget* root, int id) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QVariant value = w->property("tirvelControlId");
        if (value.isValid() && value.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

inline bool WaitCursorShown() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

struct Delivered {
    fw::UINT message;
    fw::WPARAM wParam;
    fw::LPARAM lParam;
    std::thread::id thread;
    bool waitCursor;
};

class RecordingWindow : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override {
        delivered.push_back(
            {message, wParam, lParam, std::this_thread::get_id(), WaitCursorShown()});
        if (onMessage) {
            onMessage(delivered.back());
        }
        return 0;
    }
    std::size_t Count(fw::UINT message) const {
        std::size_t n = 0;
        for (const auto& d : delivered) {
            n += d.message == message ? 1 : 0;
        }
        return n;
    }

    std::vector<Delivered> delivered;
    std::function<void(const Delivered&)> onMessage;
};

using LanguageScope = testsupport::LanguageForTheTest;

}  // namespace desktoptest

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
