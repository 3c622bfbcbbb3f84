#include "framework/qt/QtDialogHost.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTranslator>
#include <QUrl>

#include "framework/FileChooserRequest.h"
#include "framework/ModalRun.h"
#include "framework/StringTable.h"
#include "framework/qt/QtWindowSite.h"
#include "res/ResourceIds.h"

namespace fw::qt {
namespace {

constexpr char kTranslatorName[] = "tirvelQtBaseTranslator";

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

// With OFN_CREATEPROMPT a name that does not exist yet is only taken once the
// operator agrees to create it; No goes back to the chooser, as on Windows.
class CFileChooser final : public QFileDialog {
public:
    CFileChooser(QWidget* parent, bool createPrompt)
        : QFileDialog(parent), createPrompt_(createPrompt) {}

    // Asks at most once for the same path: Qt's own chooser asks on its Save
    // button, a native one only after it has closed.
    bool MayTake(const QString& path) {
        if (!createPrompt_ || path == agreed_ || QFileInfo::exists(path)) {
            return true;
        }
        const std::string text =
            fw::FormatMessageText(fw::LoadString(res::IDS_CREATE_FILE_PROMPT),
                                  {QDir::toNativeSeparators(path).toStdString()});
        QMessageBox box(QMessageBox::Warning, windowTitle(), FromUtf8(text),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.button(QMessageBox::Yes)->setText(FromUtf8(fw::LoadString(res::IDS_PROMPT_YES)));
        box.button(QMessageBox::No)->setText(FromUtf8(fw::LoadString(res::IDS_PROMPT_NO)));
        box.setDefaultButton(QMessageBox::Yes);
        if (box.exec() != QMessageBox::Yes) {
            return false;
        }
        agreed_ = path;
        return true;
    }

    void accept() override {
        const QStringList files = selectedFiles();
        // A folder's name opens the folder; Qt does that itself.
        if (!files.isEmpty() && !QFileInfo(files.first()).isDir() &&
            !MayTake(QFileInfo(files.first()).absoluteFilePath())) {
            return;
        }
        QFileDialog::accept();
    }

private:
    bool createPrompt_;
    QString agreed_;
};

}  // namespace

QWidget* CQtDialogHost::OwnerOf(const CWnd* window) const {
    IWindowSite* site = window != nullptr ? window->Site() : nullptr;
    if (auto* widget = dynamic_cast<QWidget*>(site)) {
        return widget->window();
    }
    if (auto* qtSite = dynamic_cast<CQtWindowSite*>(site)) {
        return qtSite->Container()->window();
    }
    return mainWindow_;
}

int CQtDialogHost::RunModal(CDialog& dialog, CWnd* parent) {
    const DialogTemplate* t = ModalTemplate(dialog);
    if (t == nullptr) {
        return -1;
    }
    CTemplateDialog window(dialog, OwnerOf(ModalParent(dialog, parent)));
    window.setWindowTitle(FromUtf8(t->caption));
    CQtWindowSite site(&window, dialog, *t);
    window.SetSite(&site);
    site.SetAfterDispatch([&window] { window.CloseIfEnded(); });
    dialog.AttachSite(&site);
    CDetachOnExit detach(dialog);

    CNormalCursorScope normal;
    dialog.OnInitDialog();
    if (!dialog.IsEnded()) {
        window.exec();
    }
    return ModalResult(dialog);
}

std::optional<std::string> CQtDialogHost::RunFileDialog(const FileDialogRequest& request) {
    const FileChooserRules rules = ReadFileChooserRules(request);
    CFileChooser dialog(OwnerOf(request.parent), rules.createPrompt);
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
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !rules.overwritePrompt);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(rules.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!request.defaultExt.empty()) {
        dialog.setDefaultSuffix(FromUtf8(request.defaultExt));
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(FromUtf8(request.fileName));
    }

    CNormalCursorScope normal;
    for (;;) {
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) {
            return std::nullopt;
        }
        const QString path = QFileInfo(files.first()).absoluteFilePath();
        if (dialog.MayTake(path)) {
            return QFile::encodeName(path).toStdString();
        }
        dialog.selectFile(path);
    }
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
    QStringList filters;
    for (const FileFilterEntry& entry : ParseFileFilter(utf8Filter)) {
        QString patterns = FromUtf8(entry.patterns);
        patterns.replace(u';', u' ');
        filters << FromUtf8(entry.description) + QStringLiteral(" (") + patterns + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

bool CQtDialogHost::OpenDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace fw::qt
