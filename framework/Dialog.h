// Modal dialogs: a window of its own, created from its template by the host,
// with OK running the data exchange (and its validation) before it closes.
#pragma once

#include <optional>
#include <string>

#include "framework/Wnd.h"

namespace fw {

class CDialog;

// Common file dialog flags, with the values the desktop gives them.
inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr unsigned OFN_HIDEREADONLY = 0x00000004;
inline constexpr unsigned OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr unsigned OFN_CREATEPROMPT = 0x00002000;

struct FileDialogRequest {
    bool save = false;       // a save dialog, else an open dialog
    std::string defaultExt;  // appended when the name typed has none ("txt")
    std::string fileName;    // initial name ("cfg", "log")
    unsigned flags = 0;
    std::string filter;  // UTF-8, "description|patterns|...||"
    std::string title;   // UTF-8; empty for the host's default
    CWnd* parent = nullptr;
};

// Runs a dialog modally: creates its platform half from the template, calls
// OnInitDialog, delivers the operator's input until EndDialog, and returns the
// result. Each host (desktop, console, tests) installs one.
class IDialogHost {
public:
    virtual ~IDialogHost() = default;
    virtual int RunModal(CDialog& dialog, CWnd* parent) = 0;
    // The chosen full path (native form), or nothing when the operator cancelled.
    virtual std::optional<std::string> RunFileDialog(const FileDialogRequest& request) = 0;
    // Shows a file with the program the system opens it with (a report in
    // the spreadsheet); false where the host cannot.
    virtual bool OpenDocument(const std::string& /*path*/) { return false; }
};

// Through the installed host; nothing when there is none.
std::optional<std::string> RunFileDialog(const FileDialogRequest& request);
bool OpenDocument(const std::string& path);

void SetDialogHost(IDialogHost* host);
IDialogHost* GetDialogHost();

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr)
        : templateId_(templateId), parent_(parent) {}

    UINT TemplateId() const { return templateId_; }
    CWnd* Parent() const { return parent_; }

    // IDOK, IDCANCEL or what EndDialog was given; -1 when no host can show it.
    int DoModal();

    virtual bool OnInitDialog();
    virtual void OnOK();      // closes only when the exchange succeeded
    virtual void OnCancel();  // closes without the exchange
    void EndDialog(int result);

    bool IsEnded() const { return ended_; }
    int Result() const { return result_; }

    // IDOK and IDCANCEL commands; override and call this for more.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    UINT templateId_;
    CWnd* parent_;
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace fw
