// The item table operations of the form.
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "protocol/ItemLabel.h"
#include "res/ResourceIds.h"

CTirvel2View::CTirvel2View() : fw::CFormView(res::IDD_TIRVEL2_FORM) {}

void CTirvel2View::SetItemLabel(int n, const std::string& name) {
    if (IsItemNumber(n)) {
        items_[n].label = ItemLabel(n, name);
    }
}

void CTirvel2View::SetItemCurrentValue(int n, const std::string& value) {
    if (IsItemNumber(n)) {
        items_[n].currentValue = value;
    }
}

void CTirvel2View::SetItemNewValue(int n, const std::string& value) {
    if (IsItemNumber(n)) {
        items_[n].newValue = value;
    }
}

std::string CTirvel2View::GetItemLabel(int n) const {
    return IsItemNumber(n) ? items_[n].label : std::string();
}

std::string CTirvel2View::GetItemCurrentValue(int n) const {
    return IsItemNumber(n) ? items_[n].currentValue : std::string();
}

std::string CTirvel2View::GetItemNewValue(int n) const {
    return IsItemNumber(n) ? items_[n].newValue : std::string();
}

void CTirvel2View::SetItemModify(int n, int flag) {
    if (!IsItemNumber(n)) {
        return;
    }
    items_[n].modify = flag;
    CheckDlgButton(ItemModifyId(n), flag);
}

int CTirvel2View::ReadItemModify(int n) {
    UpdateData(true);
    return IsItemNumber(n) ? items_[n].modify : 0;
}

std::string CTirvel2View::ReadItemNewValue(int n) {
    UpdateData(true);
    return GetItemNewValue(n);
}

void CTirvel2View::SetItemListed(int n, bool listed) {
    if (IsItemNumber(n)) {
        items_[n].listed = listed;
    }
}

bool CTirvel2View::IsItemListed(int n) const {
    return IsItemNumber(n) && items_[n].listed;
}

void CTirvel2View::ResetItemLabels() {
    // The placeholder becomes part of the table's bytes (it is exported and
    // compared on import), so it is taken in the device's code page.
    const std::string format = fw::LoadStringAnsi(res::IDS_ITEM_PLACEHOLDER);
    for (int n = 1; n <= kItemRows; ++n) {
        SetItemLabel(n, fw::FormatWithNumber(format, n));
        SetItemListed(n, false);
    }
}

void CTirvel2View::ShowItemRows(int showCommand) {
    for (int n = 1; n <= kItemRows; ++n) {
        for (int id : ItemRowControls(n)) {
            ShowDlgItem(id, showCommand);
        }
    }
}

void CTirvel2View::ShowAllControls(int showCommand) {
    for (int id : kFormControls) {
        ShowDlgItem(id, showCommand);
    }
    ShowItemRows(showCommand);
}

void CTirvel2View::DoDataExchange(fw::CDataExchange* pDX) {
    fw::CFormView::DoDataExchange(pDX);
    fw::DDX_Control(pDX, res::IDC_HELP_PANE, m_ctrlHelp);
    fw::DDX_Control(pDX, res::IDC_LOG_PANE, m_ctrlLog);
    fw::DDX_Text(pDX, res::IDC_IMEI, m_strImei);
    fw::DDX_Text(pDX, res::IDC_VERSION, m_strVersion);
    for (int n = 1; n <= kItemRows; ++n) {
        fw::DDX_Text(pDX, ItemLabelId(n), items_[n].label);
        fw::DDX_Text(pDX, ItemCurrentId(n), items_[n].currentValue);
        fw::DDX_Text(pDX, ItemNewId(n), items_[n].newValue);
        fw::DDX_Check(pDX, ItemModifyId(n), items_[n].modify);
    }
}
