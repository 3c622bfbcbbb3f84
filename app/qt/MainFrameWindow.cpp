#include "app/qt/MainFrameWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>

#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "framework/qt/QtDialogHost.h"
#include "framework/qt/QtFormView.h"
#include "framework/qt/QtPrinting.h"
#include "res/Accelerators.h"
#include "res/ResourceIds.h"

namespace app {
namespace {

QString Text(fw::UINT id) {
    return QString::fromStdString(fw::LoadString(id));
}

// The accelerator table's virtual keys in Qt's terms.
QKeyCombination KeyOf(const res::Accelerator& accelerator) {
    Qt::KeyboardModifiers modifiers;
    if (accelerator.modifiers & res::FCONTROL) {
        modifiers |= Qt::ControlModifier;
    }
    if (accelerator.modifiers & res::FSHIFT) {
        modifiers |= Qt::ShiftModifier;
    }
    if (accelerator.modifiers & res::FALT) {
        modifiers |= Qt::AltModifier;
    }
    static const std::map<unsigned, Qt::Key> kKeys = {{res::VK_BACK, Qt::Key_Backspace},
                                                      {res::VK_INSERT, Qt::Key_Insert},
                                                      {res::VK_DELETE, Qt::Key_Delete},
                                                      {res::VK_F6, Qt::Key_F6}};
    Qt::Key key = Qt::Key_unknown;
    if (accelerator.key >= 'A' && accelerator.key <= 'Z') {
        key = static_cast<Qt::Key>(Qt::Key_A + static_cast<int>(accelerator.key - 'A'));
    } else if (const auto it = kKeys.find(accelerator.key); it != kKeys.end()) {
        key = it->second;
    }
    return QKeyCombination(modifiers, key);
}

}  // namespace

CMainFrameWindow::CMainFrameWindow(CTirvel2Doc& document, fw::Language language, QWidget* parent)
    : QMainWindow(parent), CDesktopFrame(document), view_(std::make_unique<CTirvel2View>()) {
    // The application's title only: the document has no name worth showing.
    setWindowTitle(Text(res::IDS_APP_TITLE));
    setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
    setContextMenuPolicy(Qt::NoContextMenu);

    toolBar_ = new CLargeToolBar(this);
    toolBar_->LoadToolBar(res::IDR_MAINFRAME);
    // Without the 24-bit lists the resource's 16-colour images serve.
    toolBar_->SetImageLists(48, res::IDB_TOOLBAR_24, res::IDB_TOOLBAR_24,
                            res::IDB_TOOLBAR_DISABLED);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    connect(toolBar_, &CLargeToolBar::commandTriggered, this,
            [this](fw::UINT command) { OnCommand(command); });

    formView_ = new fw::qt::CQtFormView(*view_, language, this);
    setCentralWidget(formView_);

    CreateStatusBar();
    CreateAccelerators();

    setMinimumSize(kMinimumWidth, kMinimumHeight);
    PlaceOnScreen();

    StartDocument(*view_);

    refresh_.setInterval(kCommandRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] {
        UpdateCommandUI();
        UpdateIndicators();
    });
    refresh_.start();
    UpdateCommandUI();
    UpdateIndicators();
}

CMainFrameWindow::~CMainFrameWindow() {
    refresh_.stop();
    Unlink();
    // The form's window goes before the view it is the window of.
    delete takeCentralWidget();
    formView_ = nullptr;
    view_.reset();
}

void CMainFrameWindow::UpdateCommandUI() {
    for (fw::UINT command : toolBar_->Commands()) {
        toolBar_->Action(command)->setEnabled(IsCommandEnabled(command));
    }
}

bool CMainFrameWindow::PrintEmptyPage() {
    return fw::qt::PrintEmptyPage(this) != fw::qt::PrintOutcome::Failed;
}

void CMainFrameWindow::SendToForm(fw::UINT command) {
    formView_->SendCommand(command);
}

void CMainFrameWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // The set-up focused a control while the form had no size yet, which
        // scrolled it away from its top; start from the top-left instead.
        formView_->horizontalScrollBar()->setValue(0);
        formView_->verticalScrollBar()->setValue(0);
        if (QWidget* focus = formView_->focusWidget()) {
            formView_->ensureWidgetVisible(focus);
        }
    }
}

void CMainFrameWindow::closeEvent(QCloseEvent* event) {
    // The device hears AT+QUIT (or the probe ends) before the window goes.
    OnClose();
    refresh_.stop();
    event->accept();
}

void CMainFrameWindow::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    // A command's prompt is a temporary message that hides this label while the
    // pointer rests on its button; when it leaves, "Ready" shows again.
    idleMessage_ = new QLabel(Text(res::IDS_IDLE_MESSAGE), bar);
    bar->addWidget(idleMessage_, 1);
    for (fw::UINT id : {res::IDS_INDICATOR_CAPS, res::IDS_INDICATOR_NUM, res::IDS_INDICATOR_SCRL}) {
        auto* label = new QLabel(Text(id), bar);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(Text(id)) + 12);
        bar->addPermanentWidget(label);
        indicators_[id] = label;
    }
}

void CMainFrameWindow::UpdateIndicators() {
    const LockKeyState state = QueryLockKeys();
    const std::pair<fw::UINT, std::optional<bool>> panes[] = {
        {res::IDS_INDICATOR_CAPS, state.caps},
        {res::IDS_INDICATOR_NUM, state.num},
        {res::IDS_INDICATOR_SCRL, state.scroll}};
    for (const auto& [id, on] : panes) {
        QLabel* label = indicators_[id];
        if (on.has_value()) {
            // As the desktop status bar does it: the name while the lock is on.
            label->setEnabled(true);
            label->setText(*on ? Text(id) : QString());
            label->setToolTip(QString());
        } else {
            // Unknown is not "off": the name stays, greyed, and says why.
            label->setEnabled(false);
            label->setText(Text(id));
            label->setToolTip(Text(res::IDS_INDICATOR_UNKNOWN));
        }
    }
}

QLabel* CMainFrameWindow::Indicator(fw::UINT stringId) const {
    const auto it = indicators_.find(stringId);
    return it == indicators_.end() ? nullptr : it->second;
}

void CMainFrameWindow::CreateAccelerators() {
    shortcutSink_ = new QWidget(this);
    shortcutSink_->setFocusPolicy(Qt::NoFocus);
    shortcutSink_->hide();
    for (const res::Accelerator& accelerator : res::FindAccelerators(res::IDR_MAINFRAME)) {
        QAction*& action = accelerators_[accelerator.command];
        if (action == nullptr) {
            action = new QAction(this);
            action->setData(accelerator.command);
            const fw::UINT command = accelerator.command;
            if (CMainFrame::BelongsToFocusedControl(command)) {
                action->setShortcutContext(Qt::WidgetShortcut);
                shortcutSink_->addAction(action);
            } else {
                action->setShortcutContext(Qt::WindowShortcut);
                addAction(action);
                connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
            }
        }
        QList<QKeySequence> keys = action->shortcuts();
        keys.append(QKeySequence(KeyOf(accelerator)));
        action->setShortcuts(keys);
    }
}

QAction* CMainFrameWindow::AcceleratorAction(fw::UINT command) const {
    const auto it = accelerators_.find(command);
    return it == accelerators_.end() ? nullptr : it->second;
}

void CMainFrameWindow::PlaceOnScreen() {
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available =
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Room for the whole form where the screen has it, scroll bars otherwise.
    const int frame = 2 * formView_->frameWidth();
    const QSize form = formView_->FormSizePixels();
    const QSize chrome(frame + formView_->verticalScrollBar()->sizeHint().width(),
                       frame + toolBar_->sizeHint().height() + statusBar()->sizeHint().height());
    QSize size = (form + chrome).boundedTo(available.size());
    size = size.expandedTo(QSize(kMinimumWidth, kMinimumHeight));
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));
}

}  // namespace app
