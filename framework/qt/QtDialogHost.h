// Modal dialogs, file choosers and the toolkit's own translations on Qt.
#pragma once

#include <QWidget>

#include "framework/Dialog.h"
#include "framework/Language.h"

class QApplication;

namespace fw::qt {

class CQtDialogHost : public IDialogHost {
public:
    // Dialogs without a parent of their own are centred on this window.
    explicit CQtDialogHost(QWidget* mainWindow = nullptr) : mainWindow_(mainWindow) {}
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    int RunModal(CDialog& dialog, CWnd* parent) override;
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request) override;
    bool OpenDocument(const std::string& path) override;

private:
    // The top-level widget a system window is shown in, else the main window.
    QWidget* OwnerOf(const CWnd* window) const;

    QWidget* mainWindow_;
};

// Qt's own standard texts (button labels, file dialog) in the interface
// language; false when the translations are not installed.
bool InstallQtTranslations(QApplication& app, Language language);

// Turns a filter "desc|*.a;*.b|desc2|*.c||" into Qt's "desc (*.a *.b);;desc2 (*.c)".
QString ToQtFilter(const std::string& utf8Filter);

}  // namespace fw::qt
