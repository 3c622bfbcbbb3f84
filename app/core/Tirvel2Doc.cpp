#include "app/core/Tirvel2Doc.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "cfgfile/FileIo.h"
#include "cfgfile/InputFile.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "res/ResourceIds.h"

namespace app {
namespace {

fw::FileDialogRequest DocumentFileRequest(bool save) {
    fw::FileDialogRequest request;
    request.save = save;
    request.filter = fw::LoadString(res::IDS_ALL_FILES_FILTER);
    if (save) {
        request.fileName = fw::LoadString(res::IDS_UNTITLED);
        request.flags = fw::OFN_HIDEREADONLY | fw::OFN_OVERWRITEPROMPT;
    } else {
        request.flags = fw::OFN_HIDEREADONLY | fw::OFN_FILEMUSTEXIST;
    }
    return request;
}

}  // namespace

CTirvel2View* CTirvel2Doc::View() {
    CMainFrame* frame = AfxGetMainFrame();
    return frame != nullptr ? frame->View() : nullptr;
}

bool CTirvel2Doc::OnNewDocument() {
    CTirvel2View* view = View();
    if (view == nullptr) {
        return false;
    }
    if (view->m_nConnectState != kStateIdle) {
        view->OnStopConfig();
    }
    view->OnInitialUpdate();
    return true;
}

bool CTirvel2Doc::OnOpenDocument(const std::string& path) {
    // The document holds nothing, so its file is only checked, never read:
    // any size will do, but a device or a FIFO (which would hold the open for
    // ever) is no document.
    const cfgfile::InputStatus status =
        cfgfile::CheckInputFile(path, std::numeric_limits<std::uintmax_t>::max());
    if (status != cfgfile::InputStatus::kOk && status != cfgfile::InputStatus::kEmpty) {
        if (CTirvel2View* view = View()) {
            view->AfxMessageBox(res::IDS_OPEN_FILE_FAILED);
        }
        return false;
    }
    recentFiles_.Add(path);
    return OnNewDocument();
}

bool CTirvel2Doc::OnSaveDocument(const std::string& path) {
    // An empty text rather than an empty view: the bytes are handed to fwrite,
    // which must not be given a null pointer even for no bytes. The view says
    // why a name takes no file (a FIFO, a folder) or could not be written.
    const std::string_view nothing("");
    CTirvel2View* view = View();
    if (view != nullptr ? !view->WriteChosenFile(path, nothing)
                        : !cfgfile::ReplaceFileContents(path, nothing)) {
        return false;
    }
    recentFiles_.Add(path);
    return true;
}

void CTirvel2Doc::OnFileOpen() {
    if (const std::optional<std::string> path = fw::RunFileDialog(DocumentFileRequest(false))) {
        OnOpenDocument(*path);
    }
}

void CTirvel2Doc::OnFileSave() {
    // Always asks: the document holds nothing, and saving it silently over the
    // file last opened would empty that file.
    if (const std::optional<std::string> path = fw::RunFileDialog(DocumentFileRequest(true))) {
        OnSaveDocument(*path);
    }
}

}  // namespace app
