#include "framework/qt/QtDialogHost.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QPushButton>
#include <QStringList>
#include <QTranslator>

#include "framework/qt/QtWindowSite.h"
#include "res/Dialogs.h"

namespace fw::qt {
namespace {

constexpr char kTranslatorName[] = "tirvelQtBaseTranslator";

QString FromUtf8(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The top-level widget a system window is shown in, when it has one on Qt.
QWidget* WidgetOf(const CWnd* window) {
    if (window == nullptr) {
        return nullptr;
    }
    IWindowSite* site = window->Site();
    if (auto* widget = dynamic_cast<QWidget*>(site)) {
        return widget->window();
    }
    if (auto* qtSite = dynamic_cast<CQtWindowSite*>(site)) {
        return qtSite->Container()->window();
    }
    return nullptr;
}

// A dialog that leaves the decision to close to the system's dialog: OK,
// Cancel, Enter, Esc and the close box all become commands, and it closes once
// the dialog has ended (a failed validation keeps it open).
class CTemplateDialog final : public QDialog {
public:
    CTemplateDialog(CDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {}

    void SetSite(CQtWindowSite* site) { site_ = site; }
    void CloseIfEnded() {
        if (dialog_.IsEnded()) {
            QDialog::done(dialog_.Result());
        }
    }

    void accept() override { Command(IDOK); }
    void reject() override { Command(IDCANCEL); }

protected:
    // A focused button takes Enter itself (Qt clicks it); anywhere else Enter
    // is the dialog's OK, whichever button the template draws as the default.
    // A dialog whose only button is Cancel then decides for itself whether OK
    // may end it, instead of a stray Enter in a field cancelling its work.
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            qobject_cast<QPushButton*>(focusWidget()) == nullptr) {
            event->accept();
            accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }

private:
    void Command(int id) {
        if (site_ != nullptr) {
            site_->SendCommand(static_cast<UINT>(id));
        } else {
            QDialog::done(id == IDOK ? QDialog::Accepted : QDialog::Rejected);
        }
    }

    CDialog& dialog_;
    CQtWindowSite* site_ = nullptr;
};

class DetachOnExit {
public:
    explicit DetachOnExit(CWnd& window) : window_(window) {}
    ~DetachOnExit() { window_.AttachSite(nullptr); }
    DetachOnExit(const DetachOnExit&) = delete;
    DetachOnExit& operator=(const DetachOnExit&) = delete;

private:
    CWnd& window_;
};

}  // namespace

int CQtDialogHost::RunModal(CDialog& dialog, CWnd* parent) {
    const DialogTemplate* t = res::FindDialogTemplate(dialog.TemplateId(), CurrentLanguage());
    if (t == nullptr) {
        return -1;
    }
    QWidget* owner = WidgetOf(parent != nullptr ? parent : dialog.Parent());
    if (owner == nullptr) {
        owner = mainWindow_;
    }
    CTemplateDialog window(dialog, owner);
    window.setWindowTitle(FromUtf8(t->caption));
    CQtWindowSite site(&window, dialog, *t);
    window.SetSite(&site);
    site.SetAfterDispatch([&window] { window.CloseIfEnded(); });
    dialog.AttachSite(&site);
    DetachOnExit detach(dialog);

    CNormalCursorScope normal;
    dialog.OnInitDialog();
    if (!dialog.IsEnded()) {
        window.exec();
    }
    return dialog.IsEnded() ? dialog.Result() : IDCANCEL;
}

std::optional<std::string> CQtDialogHost::RunFileDialog(const FileDialogRequest& request) {
    QWidget* owner = WidgetOf(request.parent);
    if (owner == nullptr) {
        owner = mainWindow_;
    }
    QFileDialog dialog(owner);
    if (!request.title.empty()) {
        dialog.setWindowTitle(FromUtf8(request.title));
    }
    const QString filter = ToQtFilter(request.filter);
    if (!filter.isEmpty()) {
        dialog.setNameFilter(filter);
    }
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         (request.flags & OFN_OVERWRITEPROMPT) == 0);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                    : QFileDialog::AnyFile);
    }
    if (!request.defaultExt.empty()) {
        dialog.setDefaultSuffix(FromUtf8(request.defaultExt));
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(FromUtf8(request.fileName));
    }

    CNormalCursorScope normal;
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(QFileInfo(files.first()).absoluteFilePath()).toStdString();
}

bool InstallQtTranslations(QApplication& app, Language language) {
    // Switching languages replaces what an earlier call installed.
    for (QTranslator* earlier :
         app.findChildren<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly)) {
        delete earlier;  // uninstalls itself
    }
    if (language != Language::Chinese) {
        return true;
    }
    auto* translator = new QTranslator(&app);
    translator->setObjectName(kTranslatorName);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

QString ToQtFilter(const std::string& utf8Filter) {
    const QStringList parts = FromUtf8(utf8Filter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        if (description.isEmpty()) {
            break;  // "||" ends the list
        }
        patterns.replace(u';', u' ');
        filters << description + QStringLiteral(" (") + patterns + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace fw::qt
