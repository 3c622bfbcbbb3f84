// The document of the single-document app, the same on every desktop. It holds
// nothing: the form view owns the configuration. New and Open start the form
// afresh; Save writes an empty file under the name the operator chooses.
#pragma once

#include <string>

#include "app/core/RecentFileList.h"

class CTirvel2View;

namespace app {

class CTirvel2Doc {
public:
    explicit CTirvel2Doc(CRecentFileList& recentFiles) : recentFiles_(recentFiles) {}

    // The view's set-up again. A device connection in progress is stopped first:
    // the set-up reports the idle state, and the frame must not offer Start
    // while the port is still open.
    bool OnNewDocument();
    // The file must be readable; it then goes to the recent-file list.
    bool OnOpenDocument(const std::string& path);
    bool OnSaveDocument(const std::string& path);

    // The commands: Open and Save ask for the file first.
    void OnFileNew() { OnNewDocument(); }
    void OnFileOpen();
    void OnFileSave();

    CRecentFileList& RecentFiles() { return recentFiles_; }

private:
    static CTirvel2View* View();

    CRecentFileList& recentFiles_;
};

}  // namespace app
