// The control-ID scheme of the form: row N's four controls follow from N.
#pragma once

#include <array>

#include "res/ResourceIds.h"

constexpr int ItemLabelId(int n) {
    return res::IDC_ITEM_LABEL_BASE + n;
}
constexpr int ItemCurrentId(int n) {
    return res::IDC_ITEM_CURRENT_BASE + n;
}
constexpr int ItemNewId(int n) {
    return res::IDC_ITEM_NEW_BASE + n;
}
constexpr int ItemModifyId(int n) {
    return res::IDC_ITEM_MODIFY_BASE + n;
}

constexpr std::array<int, 4> ItemRowControls(int n) {
    return {ItemLabelId(n), ItemCurrentId(n), ItemNewId(n), ItemModifyId(n)};
}

// The form's controls besides the 240 row controls.
inline constexpr std::array<int, 12> kFormControls = {
    res::IDC_HELP_PANE,       res::IDC_LOG_PANE,     res::IDC_IMEI_CAPTION,  res::IDC_IMEI,
    res::IDC_VERSION_CAPTION, res::IDC_VERSION,      res::IDC_EXPORT_CONFIG, res::IDC_IMPORT_CONFIG,
    res::IDC_TEMPLATE_CONFIG, res::IDC_CLEAR_CONFIG, res::IDC_CLEAR_LOG,     res::IDC_SAVE_LOG,
};
