// Template 101: the configuration form with its 60 item rows.
#include "res/Form101.h"

#include "res/NewTemplate.h"
#include "res/ResourceIds.h"

namespace res {
namespace {

using fw::ControlKind;
using fw::ControlTemplate;
using fw::DialogTemplate;
using fw::Language;

fw::ControlTemplate Control(int id, ControlKind kind, unsigned style, fw::DialogRect rect,
                            std::string caption = {}) {
    return ControlTemplate{id, kind, style, rect, std::move(caption)};
}

std::string RowPlaceholder(int n, Language language) {
    return language == Language::Chinese ? "配置项" + std::to_string(n) + "："
                                         : "Item" + std::to_string(n) + ":";
}

}  // namespace

int FormRowTop(int n, Language language) {
    const bool zh = language == Language::Chinese;
    const int first = zh ? 71 : 86;
    if (n <= 24) {
        return first + 18 * (n - 1);
    }
    // The lower rows are spaced a little wider, unevenly in the original form;
    // here every fourth row (English) or third row (Chinese) gets 20 units and the
    // others 19, which ends row 60 where the form has it.
    int y = first + 18 * 23;
    for (int row = 25; row <= n; ++row) {
        bool wide = zh ? (row % 4 == 0) : (row % 4 == 1 && row <= 53);
        y += wide ? 20 : 19;
    }
    return y;
}

DialogTemplate BuildForm101(Language language) {
    const bool zh = language == Language::Chinese;
    // A child form: no caption.
    DialogTemplate t =
        NewTemplate(IDD_TIRVEL2_FORM, language, "", "", zh ? 512 : 513, zh ? 1207 : 1227);

    using namespace fw;
    const unsigned helpStyle =
        kMultiLine | kBorder | kReadOnly | (zh ? (kVScroll | kAutoVScroll) : kAutoHScroll);
    t.controls.push_back(Control(IDC_HELP_PANE, ControlKind::RichEdit, helpStyle,
                                 {23, 7, zh ? 402 : 412, zh ? 39 : 53}));
    t.controls.push_back(
        Control(IDC_LOG_PANE, ControlKind::RichEdit,
                kHidden | kMultiLine | kBorder | kVScroll | kAutoHScroll | kAutoVScroll | kReadOnly,
                {19, 7, 40, 20}));

    const int identityY = zh ? 53 : 68;
    t.controls.push_back(Control(IDC_IMEI_CAPTION, ControlKind::Static, kLeft,
                                 {zh ? 55 : 66, identityY + 2, 70, 8},
                                 zh ? "DTU IMEI号：" : "Kavrel IMEI:"));
    t.controls.push_back(Control(IDC_IMEI, ControlKind::Edit,
                                 kReadOnly | kBorder | kAutoHScroll | kTabStop,
                                 {zh ? 144 : 143, identityY, 104, 13}));
    t.controls.push_back(Control(IDC_VERSION_CAPTION, ControlKind::Static, kLeft,
                                 {273, identityY + 2, 65, 8},
                                 zh ? "DTU版本号：" : "Kavrel Version:"));
    t.controls.push_back(Control(IDC_VERSION, ControlKind::Edit,
                                 kReadOnly | kBorder | kAutoHScroll | kTabStop,
                                 {zh ? 334 : 345, identityY, zh ? 91 : 90, 13}));

    t.controls.push_back(Control(IDC_EXPORT_CONFIG, ControlKind::PushButton, kTabStop,
                                 {446, 9, 50, 14}, zh ? "导出配置" : "Export Conf"));
    t.controls.push_back(Control(IDC_IMPORT_CONFIG, ControlKind::PushButton, kTabStop,
                                 {446, zh ? 35 : 33, 50, 14}, zh ? "导入配置" : "Import Conf"));
    t.controls.push_back(Control(IDC_TEMPLATE_CONFIG, ControlKind::PushButton, kTabStop,
                                 {446, 61, 50, 14}, zh ? "临时模板" : "Template"));
    t.controls.push_back(Control(IDC_CLEAR_CONFIG, ControlKind::PushButton, kTabStop,
                                 {446, 84, 50, 14}, zh ? "清除配置" : "Clear"));
    t.controls.push_back(Control(IDC_CLEAR_LOG, ControlKind::PushButton, kHidden | kTabStop,
                                 zh ? DialogRect{474, 91, 38, 30} : DialogRect{482, 95, 26, 22},
                                 zh ? "清除显示" : "Clear"));
    t.controls.push_back(Control(IDC_SAVE_LOG, ControlKind::PushButton, kHidden | kTabStop,
                                 zh ? DialogRect{474, 130, 38, 30} : DialogRect{482, 123, 26, 22},
                                 zh ? "保存日志" : "Save"));

    for (int n = 1; n <= 60; ++n) {
        const int y = FormRowTop(n, language);
        t.controls.push_back(Control(IDC_ITEM_LABEL_BASE + n, ControlKind::Static, kLeft | kGroup,
                                     {23, y, 107, 17}, RowPlaceholder(n, language)));
        t.controls.push_back(Control(IDC_ITEM_CURRENT_BASE + n, ControlKind::Edit,
                                     kBorder | kReadOnly | kAutoHScroll | kTabStop,
                                     {143, y, 104, 13}));
        t.controls.push_back(Control(IDC_ITEM_NEW_BASE + n, ControlKind::Edit,
                                     kBorder | kAutoHScroll | kTabStop, {273, y, 104, 13}));
        t.controls.push_back(Control(IDC_ITEM_MODIFY_BASE + n, ControlKind::CheckBox, kTabStop,
                                     {395, y, zh ? 33 : 40, 13}, zh ? "修改" : "Modify"));
    }
    return t;
}

}  // namespace res
