// CWnd: the system-side half of a window (the form view, a dialog). It talks to
// its platform half through IWindowSite and receives messages in WindowProc.
//
// Device text crosses here. Members hold the device's bytes; controls show
// Unicode. What a control was last given is remembered with both faces, so an
// exchange back from a control whose text nobody changed returns the original
// bytes, even where they could not be decoded for display.
#pragma once

#include <string>
#include <unordered_map>

#include "framework/SiteRelay.h"

namespace fw {

class CDataExchange;

inline constexpr UINT AFX_IDS_APP_TITLE = 57344;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The platform half; the host attaches it before the first message and
    // detaches it (nullptr) before it goes away.
    void AttachSite(IWindowSite* site) { site_.RelayTo(site); }
    IWindowSite* Site() const { return site_.Target(); }

    // Messages delivered by the host on the user-interface thread.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    void ShowDlgItem(int id, int showCommand);
    void EnableDlgItem(int id, bool enable);
    void FocusDlgItem(int id);
    void CheckDlgButton(int id, int state);
    int IsDlgButtonChecked(int id) const;

    // Device text (bytes in the code page).
    void SetDlgItemBytes(int id, const std::string& bytes);
    std::string GetDlgItemBytes(int id) const;
    // False when the control holds typed text with characters the code page
    // lacks: GetDlgItemBytes would give '?' for them.
    bool DlgItemFitsCodePage(int id) const;

    // Information box with an OK button, the text from the string table and the
    // application title as caption.
    int AfxMessageBox(UINT stringId, const MessageArgs& args = {});
    int MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args = {});

    // Thread-safe.
    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam);
    UINT SetTimer(UINT id, UINT periodMs);
    bool KillTimer(UINT id);

    // TRUE: controls into members; FALSE: members into controls. False when the
    // exchange failed validation or the window has no platform half.
    bool UpdateData(bool saveAndValidate = true);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

private:
    struct ShownText {
        std::string bytes;
        std::string utf8;
    };

    CSiteRelay site_;
    std::unordered_map<int, ShownText> shown_;
};

}  // namespace fw
