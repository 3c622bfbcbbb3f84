#include "framework/DataExchange.h"

#include <charconv>
#include <string_view>

namespace fw {

void CDataExchange::Fail(int controlId) {
    if (!failed_) {
        failed_ = true;
        m_pDlgWnd->FocusDlgItem(controlId);
    }
}

namespace {

// Decimal digits only, blanks around them allowed.
bool ParseUnsigned(std::string_view text, unsigned& value) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return false;
    }
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
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
