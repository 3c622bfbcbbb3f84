// Templates of the password (137) and COM port (132) dialogs.
#include "res/SmallDialogs.h"

#include "res/ResourceIds.h"

namespace res {
namespace {

using fw::ControlKind;
using fw::Language;

void AddOkCancel(fw::DialogTemplate& t, int y, bool zh) {
    t.controls.push_back({fw::IDOK,
                          ControlKind::PushButton,
                          fw::kDefaultButton | fw::kTabStop,
                          {30, y, 50, 14},
                          zh ? "确定" : "OK"});
    t.controls.push_back({fw::IDCANCEL,
                          ControlKind::PushButton,
                          fw::kTabStop,
                          {107, y, 50, 14},
                          zh ? "取消" : "Cancel"});
}

}  // namespace

fw::DialogTemplate BuildPasswordDialog(Language language) {
    const bool zh = language == Language::Chinese;
    fw::DialogTemplate t;
    t.id = IDD_PASSWORD;
    t.caption = zh ? "输入密码" : "Input Password";
    t.fontFace = zh ? "宋体" : "MS Sans Serif";
    t.width = 187;
    t.height = 79;
    t.controls.push_back(
        {-1, ControlKind::Static, fw::kLeft, {15, 22, 60, 8}, zh ? "请输入密码：" : "Password:"});
    t.controls.push_back({IDC_PASSWORD,
                          ControlKind::Edit,
                          fw::kBorder | fw::kAutoHScroll | fw::kTabStop,
                          {78, 20, 94, 13},
                          ""});
    AddOkCancel(t, 52, zh);
    return t;
}

fw::DialogTemplate BuildSettingsDialog(Language language) {
    const bool zh = language == Language::Chinese;
    fw::DialogTemplate t;
    t.id = IDD_SETTINGS;
    t.caption = zh ? "设置" : "Settings";
    t.fontFace = zh ? "宋体" : "MS Sans Serif";
    t.width = 187;
    t.height = 81;
    t.controls.push_back(
        {-1, ControlKind::Static, fw::kLeft, {15, 22, 60, 8}, zh ? "串口号：" : "COM Port:"});
    t.controls.push_back({IDC_COM_PORT,
                          ControlKind::Edit,
                          fw::kBorder | fw::kAutoHScroll | fw::kNumber | fw::kTabStop,
                          {78, 20, 94, 13},
                          ""});
    // Beyond the classic dialog: what the number opens on this machine, so a
    // Linux user sees what COM1 means. It fits between the number and the
    // buttons and leaves the rest of the layout as it was.
    t.controls.push_back({IDC_COM_DEVICE, ControlKind::Static, fw::kLeft, {15, 37, 157, 8}, ""});
    AddOkCancel(t, 54, zh);
    return t;
}

}  // namespace res
