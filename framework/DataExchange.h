// The data exchange between a window's members and its controls, in the
// spirit of the desktop framework's DDX routines: one DoDataExchange lists the
// bindings, UpdateData runs them in either direction.
#pragma once

#include <string>

#include "framework/Wnd.h"

namespace fw {

class CDataExchange {
public:
    CDataExchange(CWnd* window, bool saveAndValidate)
        : m_pDlgWnd(window), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* const m_pDlgWnd;
    const bool m_bSaveAndValidate;  // true: controls into members

    // Called by a validation routine that rejected the input; the exchange
    // stops reporting success and the failing control gets the focus.
    void Fail(int controlId);
    bool Failed() const { return failed_; }
    // The control the last DDX routine exchanged, for validation routines that
    // follow it.
    int LastControl() const { return lastControl_; }
    void SetLastControl(int id) { lastControl_ = id; }

private:
    bool failed_ = false;
    int lastControl_ = -1;
};

// A control the system drives directly (the rich-edit panes), bound to its
// window by DDX_Control.
class CControlBinding {
public:
    bool IsBound() const { return owner_ != nullptr; }
    int ControlId() const { return id_; }
    void Bind(CWnd* owner, int id) {
        owner_ = owner;
        id_ = id;
    }

protected:
    // The owner's platform half, or nullptr while there is none.
    IWindowSite* Site() const { return owner_ != nullptr ? owner_->Site() : nullptr; }

private:
    CWnd* owner_ = nullptr;
    int id_ = -1;
};

// Framework prompts shown when input does not validate.
inline constexpr UINT AFX_IDP_PARSE_INT_RANGE = 0xF112;  // "%1" and "%2": the limits
inline constexpr UINT AFX_IDP_PARSE_UINT = 0xF117;

// Routines after a failed one do nothing, so the operator sees one prompt.
void DDX_Text(CDataExchange* pDX, int id, std::string& bytes);
// An unsigned number; anything but digits (blanks around them allowed) or a
// number too large is refused with AFX_IDP_PARSE_UINT.
void DDX_Text(CDataExchange* pDX, int id, unsigned& value);
// After the DDX routine of the same control.
void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minValue, unsigned maxValue);
void DDX_Check(CDataExchange* pDX, int id, int& value);
void DDX_Control(CDataExchange* pDX, int id, CControlBinding& control);

}  // namespace fw
