// Templates of the password (137), COM port (132) and transfer (133) dialogs.
#include "res/SmallDialogs.h"

#include "res/NewTemplate.h"
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
    fw::DialogTemplate t =
        NewTemplate(IDD_PASSWORD, language, "Input Password", "输入密码", 187, 79);
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
    fw::DialogTemplate t = NewTemplate(IDD_SETTINGS, language, "Settings", "设置", 187, 81);
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

fw::DialogTemplate BuildTransferDialog(Language language) {
    const bool zh = language == Language::Chinese;
    fw::DialogTemplate t =
        NewTemplate(IDD_TRANSFER, language, "Tranfer File", "发送文件", zh ? 259 : 283, 98);
    // Cancel comes first: it has the focus when the dialog opens, so Enter
    // there cancels rather than reaching the dialog's OK handling.
    t.controls.push_back({fw::IDCANCEL,
                          ControlKind::PushButton,
                          fw::kDefaultButton | fw::kTabStop,
                          {zh ? 104 : 116, 72, 50, 14},
                          zh ? "取消" : "Cancel"});
    const int labelWidth = zh ? 42 : 34;
    const int fieldX = 14 + labelWidth + 4;
    const int fieldWidth = t.width - fieldX - 14;
    t.controls.push_back(
        {-1, ControlKind::Static, fw::kLeft, {14, 20, labelWidth, 8}, zh ? "正在发送：" : "File:"});
    t.controls.push_back({zh ? IDC_TRANSFER_PROGRESS_CAPTION : -1,
                          ControlKind::Static,
                          fw::kLeft,
                          {14, 45, labelWidth, 8},
                          zh ? "进度：" : "Progress:"});
    t.controls.push_back({IDC_TRANSFER_PATH,
                          ControlKind::Edit,
                          fw::kReadOnly | fw::kBorder | fw::kAutoHScroll | fw::kTabStop,
                          {fieldX, 18, fieldWidth, 13},
                          ""});
    t.controls.push_back({IDC_TRANSFER_PROGRESS,
                          ControlKind::ProgressBar,
                          fw::kBorder,
                          {fieldX, 43, fieldWidth, 12},
                          ""});
    return t;
}

}  // namespace res
