#include "framework/qt/QtWindowSite.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <functional>

#include "framework/StringTable.h"

namespace fw::qt {
namespace {

// Every control carries its resource ID under this property, which is also how
// a frame tells the site's controls from its own widgets.
constexpr char kControlIdProperty[] = "tirvelControlId";

// Windows' MulDiv: the product divided with rounding half away from zero.
int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

// Faces a Chinese system names in Latin letters.
bool IsCjkFace(const std::string& face) {
    if (std::any_of(face.begin(), face.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return true;
    }
    static const char* const kCjkFaces[] = {"SimSun", "NSimSun",  "SimHei",  "Microsoft YaHei",
                                            "KaiTi",  "FangSong", "MingLiU", "PMingLiU"};
    return std::any_of(std::begin(kCjkFaces), std::end(kCjkFaces),
                       [&](const char* known) { return face == known; });
}

QString DefaultSansFamily() {
    // The general font may be an alias ("Sans Serif"); what it resolves to is a
    // family the database knows.
    return QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
}

QString CjkFamily() {
    const QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const char* preferred : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
        if (families.contains(QLatin1String(preferred))) {
            return QLatin1String(preferred);
        }
    }
    return families.isEmpty() ? DefaultSansFamily() : families.first();
}

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Read-only rich edits still let the operator select with the keyboard (and so
// copy), as the desktop's do.
void ApplyReadOnly(QTextEdit* edit, bool readOnly) {
    edit->setReadOnly(readOnly);
    if (readOnly) {
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
}

// Tells before its list shows, so the window can fill it with what is there now.
class CDropDownComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        if (onDropDown) {
            onDropDown();
        }
        QComboBox::showPopup();
    }
    std::function<void()> onDropDown;
};

QWidget* CreateControl(const ControlTemplate& c, QWidget* parent) {
    const QString caption = FromUtf8(c.caption);
    switch (c.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(parent);
            // Device text may look like markup; it is shown as it is.
            label->setTextFormat(Qt::PlainText);
            label->setText(caption);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            if ((c.style & kBorder) != 0) {
                label->setFrameShape(QFrame::Box);
            }
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(caption, parent);
            edit->setReadOnly((c.style & kReadOnly) != 0);
            edit->setFrame((c.style & kBorder) != 0);
            if ((c.style & kPassword) != 0) {
                edit->setEchoMode(QLineEdit::Password);
            }
            if ((c.style & kNumber) != 0) {
                edit->setValidator(
                    new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
            }
            return edit;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(caption, parent);
            button->setDefault((c.style & kDefaultButton) != 0);
            return button;
        }
        case ControlKind::CheckBox: {
            auto* check = new QCheckBox(caption, parent);
            return check;
        }
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(caption, parent);
            return radio;
        }
        case ControlKind::ComboBox: {
            auto* combo = new CDropDownComboBox(parent);
            combo->setEditable(true);
            // Enter in the edit part adds nothing to the list, as on Windows.
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setEditText(caption);
            return combo;
        }
        case ControlKind::RichEdit: {
            auto* edit = new QTextEdit(parent);
            edit->setAcceptRichText(false);
            // The log grows by many small appends; nobody undoes them.
            edit->setUndoRedoEnabled(false);
            ApplyReadOnly(edit, (c.style & kReadOnly) != 0);
            edit->setLineWrapMode((c.style & kAutoHScroll) != 0 ? QTextEdit::NoWrap
                                                                : QTextEdit::WidgetWidth);
            edit->setVerticalScrollBarPolicy((c.style & kVScroll) != 0 ? Qt::ScrollBarAsNeeded
                                                                       : Qt::ScrollBarAlwaysOff);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            if ((c.style & kBorder) == 0) {
                edit->setFrameShape(QFrame::NoFrame);
            }
            if (!caption.isEmpty()) {
                edit->setPlainText(caption);
            }
            return edit;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            const QIcon icon = QApplication::windowIcon();
            if (!icon.isNull()) {
                label->setPixmap(icon.pixmap(32, 32));
            }
            return label;
        }
    }
    return new QWidget(parent);
}

// The icon flags count up from 0x10: stop, question, exclamation, information.
QMessageBox::Icon IconOf(UINT type) {
    static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Critical,
                                                   QMessageBox::Question, QMessageBox::Warning,
                                                   QMessageBox::Information};
    const UINT index = (type & 0xF0u) >> 4;
    return index < std::size(kIcons) ? kIcons[index] : QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(UINT type) {
    switch (type & 0x0Fu) {
        case MB_OKCANCEL:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

// Copy, cut and paste keys (Ctrl+C/X/V and the platform's alternatives).
bool IsClipboardKey(const QKeyEvent& event) {
    return event.matches(QKeySequence::Copy) || event.matches(QKeySequence::Cut) ||
           event.matches(QKeySequence::Paste);
}

class WaitCursor : NonCopyable {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

QString FromUtf8(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(font);
    return {MulDivRound(metrics.horizontalAdvance(kLetters), 1, 52), metrics.height()};
}

QRect DialogUnitsToPixels(const DialogRect& rect, DialogBaseUnits units) {
    return QRect(MulDivRound(rect.x, units.x, 4), MulDivRound(rect.y, units.y, 8),
                 MulDivRound(rect.width, units.x, 4), MulDivRound(rect.height, units.y, 8));
}

QString ResolveFontFamily(const std::string& utf8Face) {
    const QString face = FromUtf8(utf8Face);
    if (!face.isEmpty() && QFontDatabase::hasFamily(face)) {
        return face;
    }
    return IsCjkFace(utf8Face) ? CjkFamily() : DefaultSansFamily();
}

QFont TemplateFont(const std::string& utf8Face, double points) {
    QFont font(ResolveFontFamily(utf8Face));
    font.setPointSizeF(points);
    return font;
}

bool IsSiteControl(const QObject* object) {
    return object != nullptr && object->property(kControlIdProperty).isValid();
}

CNormalCursorScope::CNormalCursorScope() : active_(QApplication::overrideCursor() != nullptr) {
    if (active_) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
}

CNormalCursorScope::~CNormalCursorScope() {
    if (active_) {
        QApplication::restoreOverrideCursor();
    }
}

CQtWindowSite::CQtWindowSite(QWidget* container, CWnd& window, const DialogTemplate& dialogTemplate)
    : CWindowSiteCore(window), container_(container) {
    const QFont font = TemplateFont(dialogTemplate.fontFace, dialogTemplate.fontPoints);
    container_->setFont(font);
    const DialogBaseUnits units = BaseUnitsOf(font);
    size_ = DialogUnitsToPixels({0, 0, dialogTemplate.width, dialogTemplate.height}, units).size();
    container_->setFixedSize(size_);

    // Created in template order, which makes it the tab order too.
    QButtonGroup* radioGroup = nullptr;
    for (const auto& c : dialogTemplate.controls) {
        QWidget* widget = CreateControl(c, container_);
        QRect geometry = DialogUnitsToPixels(c.rect, units);
        if (c.kind == ControlKind::ComboBox) {
            // The template's height is the dropped-down list's, as Windows
            // reads it; the box itself is as high as its font makes it.
            geometry.setHeight(widget->sizeHint().height());
        }
        widget->setGeometry(geometry);
        // Whatever takes the focus takes it by Tab only with a tab stop.
        if (widget->focusPolicy() != Qt::NoFocus) {
            widget->setFocusPolicy((c.style & kTabStop) != 0 ? Qt::StrongFocus : Qt::ClickFocus);
        }
        widget->setProperty(kControlIdProperty, c.id);
        widget->installEventFilter(this);
        widget->setEnabled((c.style & kDisabled) == 0);
        // Explicitly, so that visibility reads right before the window is shown.
        widget->setVisible((c.style & kHidden) == 0);
        if (c.kind == ControlKind::PushButton) {
            const auto id = static_cast<UINT>(c.id);
            connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                    [this, id] { SendCommand(id); });
        }
        if ((c.style & kGroup) != 0) {
            radioGroup = nullptr;
        }
        if (c.kind == ControlKind::RadioButton) {
            if (radioGroup == nullptr) {
                // Exclusive, and the arrow keys move the check within it.
                radioGroup = new QButtonGroup(container_);
            }
            auto* radio = static_cast<QRadioButton*>(widget);
            radioGroup->addButton(radio);
            const auto wParam = MAKEWPARAM(static_cast<unsigned>(c.id), BN_CLICKED);
            connect(radio, &QRadioButton::clicked, this,
                    [this, wParam] { Dispatch(WM_COMMAND, wParam, 0, false); });
        }
        if (c.kind == ControlKind::ComboBox) {
            // Only the user's choices and typing, as for an edit.
            auto* combo = static_cast<QComboBox*>(widget);
            const auto id = static_cast<unsigned>(c.id);
            connect(combo, &QComboBox::activated, this,
                    [this, id] { Dispatch(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), 0, false); });
            connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                    [this, id] { Dispatch(WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), 0, false); });
            // The box may outlive its site inside a container kept on.
            static_cast<CDropDownComboBox*>(combo)->onDropDown =
                [site = QPointer<CQtWindowSite>(this), id] {
                    if (site) {
                        site->Dispatch(WM_COMMAND, MAKEWPARAM(id, CBN_DROPDOWN), 0, false);
                    }
                };
        }
        if (c.kind == ControlKind::Edit) {
            // Only the user's edits: text the system sets raises nothing.
            const auto wParam = MAKEWPARAM(static_cast<unsigned>(c.id), EN_CHANGE);
            connect(static_cast<QLineEdit*>(widget), &QLineEdit::textEdited, this,
                    [this, wParam] { Dispatch(WM_COMMAND, wParam, 0, false); });
        }
        // Several statics may share -1; the first one answers, as on Windows.
        controls_.emplace(c.id, ControlEntry{c.kind, widget});
    }
}

CQtWindowSite::~CQtWindowSite() = default;

QWidget* CQtWindowSite::Control(int id) const {
    const ControlEntry* c = Find(id);
    return c != nullptr ? c->widget : nullptr;
}

const CQtWindowSite::ControlEntry* CQtWindowSite::Find(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? &it->second : nullptr;
}

template <class Widget>
Widget* CQtWindowSite::WidgetOf(int id, ControlKind kind) const {
    const ControlEntry* c = Find(id);
    return c != nullptr && c->kind == kind ? static_cast<Widget*>(c->widget) : nullptr;
}

void CQtWindowSite::WhileBusy(const std::function<void()>& handle) {
    WaitCursor wait;
    handle();
}

void CQtWindowSite::ShowControl(int id, int showCommand) {
    if (const ControlEntry* c = Find(id)) {
        c->widget->setVisible(showCommand != SW_HIDE);
    }
}

bool CQtWindowSite::IsControlVisible(int id) const {
    const ControlEntry* c = Find(id);
    return c != nullptr && !c->widget->isHidden();
}

void CQtWindowSite::EnableControl(int id, bool enable) {
    if (const ControlEntry* c = Find(id)) {
        c->widget->setEnabled(enable);
    }
}

bool CQtWindowSite::IsControlEnabled(int id) const {
    const ControlEntry* c = Find(id);
    return c != nullptr && c->widget->isEnabledTo(container_);
}

void CQtWindowSite::FocusControl(int id) {
    const ControlEntry* c = Find(id);
    if (c == nullptr) {
        return;
    }
    c->widget->setFocus(Qt::OtherFocusReason);
    for (QWidget* w = container_; w != nullptr; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            // The whole control, not just its text cursor, which is all that
            // ensureWidgetVisible would bring into view for an edit.
            const QRect r(c->widget->mapTo(area->widget(), QPoint(0, 0)), c->widget->size());
            constexpr int kMargin = 10;
            area->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + kMargin,
                                r.height() / 2 + kMargin);
            break;
        }
    }
}

void CQtWindowSite::SetControlText(int id, const std::string& utf8) {
    const ControlEntry* c = Find(id);
    if (c == nullptr) {
        return;
    }
    const QString text = FromUtf8(utf8);
    switch (c->kind) {
        case ControlKind::Static:
            static_cast<QLabel*>(c->widget)->setText(text);
            break;
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(c->widget);
            edit->setText(text);
            // A new text is shown from its start, as an edit control does.
            edit->setCursorPosition(0);
            break;
        }
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            static_cast<QAbstractButton*>(c->widget)->setText(text);
            break;
        case ControlKind::ComboBox:
            static_cast<QComboBox*>(c->widget)->setEditText(text);
            break;
        case ControlKind::RichEdit:
            static_cast<QTextEdit*>(c->widget)->setPlainText(
                FromUtf8(paneBreaks_.Replace(id, utf8)));
            break;
        case ControlKind::ProgressBar:
        case ControlKind::Icon:
            break;
    }
}

std::string CQtWindowSite::GetControlText(int id) const {
    const ControlEntry* c = Find(id);
    if (c == nullptr) {
        return {};
    }
    switch (c->kind) {
        case ControlKind::Static:
            return ToUtf8(static_cast<QLabel*>(c->widget)->text());
        case ControlKind::Edit:
            return ToUtf8(static_cast<QLineEdit*>(c->widget)->text());
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            return ToUtf8(static_cast<QAbstractButton*>(c->widget)->text());
        case ControlKind::ComboBox:
            return ToUtf8(static_cast<QComboBox*>(c->widget)->currentText());
        case ControlKind::RichEdit: {
            QString text = static_cast<QTextEdit*>(c->widget)->toPlainText();
            text.replace(u'\n', QStringLiteral("\r\n"));
            return ToUtf8(text);
        }
        case ControlKind::ProgressBar:
        case ControlKind::Icon:
            break;
    }
    return {};
}

void CQtWindowSite::SetControlCheck(int id, int state) {
    if (auto* radio = WidgetOf<QRadioButton>(id, ControlKind::RadioButton)) {
        // An exclusive group keeps its checked button checked; unchecking it
        // takes the group's rule off for a moment.
        QButtonGroup* group = radio->group();
        group->setExclusive(state != 0);
        radio->setChecked(state != 0);
        group->setExclusive(true);
        return;
    }
    auto* check = WidgetOf<QCheckBox>(id, ControlKind::CheckBox);
    if (check == nullptr) {
        return;
    }
    if (state == 2) {
        check->setTristate(true);
        check->setCheckState(Qt::PartiallyChecked);
    } else {
        check->setCheckState(state != 0 ? Qt::Checked : Qt::Unchecked);
    }
}

int CQtWindowSite::GetControlCheck(int id) const {
    if (const auto* radio = WidgetOf<QRadioButton>(id, ControlKind::RadioButton)) {
        return radio->isChecked() ? 1 : 0;
    }
    const auto* check = WidgetOf<QCheckBox>(id, ControlKind::CheckBox);
    if (check == nullptr) {
        return 0;
    }
    switch (check->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void CQtWindowSite::AppendControlText(int id, const std::string& utf8) {
    const ControlEntry* c = Find(id);
    if (c == nullptr) {
        return;
    }
    if (c->kind != ControlKind::RichEdit) {
        SetControlText(id, GetControlText(id) + utf8);
        return;
    }
    auto* edit = static_cast<QTextEdit*>(c->widget);
    QScrollBar* vertical = edit->verticalScrollBar();
    QScrollBar* horizontal = edit->horizontalScrollBar();
    const bool atBottom = vertical->value() == vertical->maximum();
    const int verticalValue = vertical->value();
    const int horizontalValue = horizontal->value();

    // A cursor of its own, so the operator's selection stays where it is.
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(FromUtf8(paneBreaks_.Append(id, utf8)));

    // The document lays itself out as the text goes in, so the new maximum is
    // known here.
    vertical->setValue(atBottom ? vertical->maximum() : verticalValue);
    horizontal->setValue(horizontalValue);
}

void CQtWindowSite::SetRichEditLook(int id, const RichEditLook& look) {
    auto* edit = WidgetOf<QTextEdit>(id, ControlKind::RichEdit);
    if (edit == nullptr) {
        return;
    }
    ApplyReadOnly(edit, look.readOnly);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(static_cast<QRgb>(look.backgroundRgb)));
    palette.setColor(QPalette::Text, QColor::fromRgb(static_cast<QRgb>(look.textRgb)));
    edit->setPalette(palette);
    QFont font(ResolveFontFamily(look.faceName));
    font.setPointSizeF(look.heightTwips / 20.0);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    edit->setFont(font);
}

void CQtWindowSite::SetControlItems(int id, const std::vector<std::string>& utf8Items) {
    auto* combo = WidgetOf<QComboBox>(id, ControlKind::ComboBox);
    if (combo == nullptr) {
        return;
    }
    const QString text = combo->currentText();
    QStringList items;
    for (const auto& item : utf8Items) {
        items.append(FromUtf8(item));
    }
    combo->clear();
    combo->addItems(items);
    // No item is chosen by filling the list; the edit part shows what it had.
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

void CQtWindowSite::SetTextLook(int id, const TextLook& look) {
    auto* label = WidgetOf<QLabel>(id, ControlKind::Static);
    if (label == nullptr) {
        return;
    }
    QFont font = container_->font();
    font.setPointSizeF(look.heightTwips / 20.0);
    font.setBold(look.bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(static_cast<QRgb>(look.textRgb)));
    palette.setColor(QPalette::Window, QColor::fromRgb(static_cast<QRgb>(look.backgroundRgb)));
    label->setPalette(palette);
    label->setAutoFillBackground(look.hasBackground);
}

void CQtWindowSite::SetControlSizePixels(int id, int width, int height) {
    if (const ControlEntry* c = Find(id)) {
        c->widget->resize(width, height);
    }
}

void CQtWindowSite::SetProgressRange(int id, int low, int high) {
    if (auto* bar = WidgetOf<QProgressBar>(id, ControlKind::ProgressBar)) {
        bar->setRange(low, high);
    }
}

void CQtWindowSite::SetProgressPos(int id, int pos) {
    if (auto* bar = WidgetOf<QProgressBar>(id, ControlKind::ProgressBar)) {
        // QProgressBar ignores a value outside its range and would keep the
        // last one; past the end means full.
        bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
    }
}

int CQtWindowSite::MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) {
    QString text = FromUtf8(FormatMessageText(LoadString(textId), args));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconOf(type), FromUtf8(LoadString(captionId)), text, ButtonsOf(type),
                    container_->window());
    box.setTextFormat(Qt::PlainText);
    {
        CNormalCursorScope normal;
        box.exec();
    }
    static constexpr std::pair<QMessageBox::StandardButton, int> kResults[] = {
        {QMessageBox::Ok, IDOK},
        {QMessageBox::Cancel, IDCANCEL},
        {QMessageBox::Yes, IDYES},
        {QMessageBox::No, IDNO}};
    QAbstractButton* clicked = box.clickedButton();
    const auto pressed = clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
    for (const auto& [button, result] : kResults) {
        if (button == pressed) {
            return result;
        }
    }
    // Closed without a button pressed.
    return (type & 0x0Fu) == MB_OK ? IDOK : IDCANCEL;
}

void CQtWindowSite::AnnouncePosted() {
    QMetaObject::invokeMethod(
        this, [this] { DeliverPosted(); }, Qt::QueuedConnection);
}

bool CQtWindowSite::StartTimer(UINT id, UINT periodMs) {
    QTimer*& timer = timers_[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this,
                [this, id] { Dispatch(WM_TIMER, static_cast<WPARAM>(id), 0, false); });
    }
    timer->start(static_cast<int>(std::clamp<UINT>(periodMs, 1, INT_MAX)));
    return true;
}

bool CQtWindowSite::StopTimer(UINT id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        return false;
    }
    it->second->stop();
    // The timer may be the one whose tick is being handled right now.
    it->second->deleteLater();
    timers_.erase(it);
    return true;
}

bool CQtWindowSite::eventFilter(QObject* watched, QEvent* event) {
    // Claiming the override keeps every shortcut of the frame off these keys;
    // the key press then goes to the control, which copies, cuts or pastes.
    if (event->type() == QEvent::ShortcutOverride &&
        IsClipboardKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace fw::qt
