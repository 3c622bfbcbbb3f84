#include "framework/DataExchange.h"

#include <limits>

namespace fw {

void CDataExchange::Fail(int controlId) {
    if (!failed_) {
        failed_ = true;
        m_pDlgWnd->FocusDlgItem(controlId);
    }
}

namespace {

bool ParseUnsigned(const std::string& text, unsigned& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const std::size_t digitsStart = i;
    unsigned long long parsed = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        parsed = parsed * 10 + static_cast<unsigned>(text[i] - '0');
        if (parsed > std::numeric_limits<unsigned>::max()) {
            return false;
        }
        ++i;
    }
    if (i == digitsStart) {
        return false;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i != text.size()) {
        return false;
    }
    value = static_cast<unsigned>(parsed);
    return true;
}

// What every DDX routine does alike: nothing once the exchange has failed;
// otherwise the control becomes the last one exchanged, and the data goes the
// exchange's way.
template <class IntoMember, class IntoControl>
void Exchange(CDataExchange* pDX, int id, IntoMember intoMember, IntoControl intoControl) {
    if (pDX->Failed()) {
        return;
    }
    pDX->SetLastControl(id);
    if (pDX->m_bSaveAndValidate) {
        intoMember(*pDX->m_pDlgWnd);
    } else {
        intoControl(*pDX->m_pDlgWnd);
    }
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int id, std::string& bytes) {
    Exchange(
        pDX, id, [&](CWnd& window) { bytes = window.GetDlgItemBytes(id); },
        [&](CWnd& window) { window.SetDlgItemBytes(id, bytes); });
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    Exchange(
        pDX, id, [&](CWnd& window) { value = window.IsDlgButtonChecked(id); },
        [&](CWnd& window) { window.CheckDlgButton(id, value); });
}

void DDX_Text(CDataExchange* pDX, int id, unsigned& value) {
    Exchange(
        pDX, id,
        [&](CWnd& window) {
            unsigned parsed = 0;
            if (!ParseUnsigned(window.GetDlgItemBytes(id), parsed)) {
                window.AfxMessageBox(AFX_IDP_PARSE_UINT);
                pDX->Fail(id);
                return;
            }
            value = parsed;
        },
        [&](CWnd& window) { window.SetDlgItemBytes(id, std::to_string(value)); });
}

void DDV_MinMaxUInt(CDataExchange* pDX, unsigned value, unsigned minValue, unsigned maxValue) {
    if (pDX->Failed() || !pDX->m_bSaveAndValidate) {
        return;
    }
    if (value < minValue || value > maxValue) {
        pDX->m_pDlgWnd->AfxMessageBox(AFX_IDP_PARSE_INT_RANGE,
                                      {std::to_string(minValue), std::to_string(maxValue)});
        pDX->Fail(pDX->LastControl());
    }
}

void DDX_Control(CDataExchange* pDX, int id, CControlBinding& control) {
    pDX->SetLastControl(id);
    if (!control.IsBound()) {
        control.Bind(pDX->m_pDlgWnd, id);
    }
}

}  // namespace fw
