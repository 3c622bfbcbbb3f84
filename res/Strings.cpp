// The string table in both languages. A null text means the string does not
// exist in that language (some command prompts exist only in Chinese).
#include "res/Strings.h"

namespace res {
namespace {

constexpr fw::StringResource kStrings[] = {
    {102, "Failed to open COM port!", "打开串口失败！"},
    {103, "\r\nKavrel startup timeout!\r\n", "终端启动失败！"},
    {104, "Failed to get current configuration from Kavrel!", "读取终端当前配置失败！"},
    {105, "Failed to get IMEI from Kavrel!", "读取终端IMEI号失败！"},
    {106, "Failed to get version from Kavrel!", "读取终端版本号失败！"},
    {107, "Item%d", "配置项%d"},
    {110, "Failed to set new parameters to Kavrel!", "设置终端参数失败！"},
    {111, "Succeed to set new parameters to Kavrel", "设置终端参数成功"},
    {112, "Succeed to restore", "恢复出厂设置成功"},
    {113, "Failed to restore", "恢复出厂设置失败"},
    // Failures the tool reports beyond the original set of messages.
    {114, "Failed to start the device probe!", "无法启动终端检测！"},
    {115, "The password is too long: at most 37 characters (bytes), on one line.",
     "密码过长：最多37个字符（字节），且不能换行。"},
    {116, "Item %1 was not sent: its new value holds a line break or a zero byte.",
     "配置项%1未发送：新值中含有换行符或空字符。"},
    {117, "Failed to write the file %1!", "写入文件%1失败！"},
    {128, "Kavrel Batch Configuration Software\n\nTirvel\n\n\nTirvel2.Document\nTirvel Document",
     "DTU批量配置软件\n\nTirvel\n\n\nTirvel2.Document\nTirvel Document"},
    {32774, "Start Configuration\nStart Configuration", "开始配置\n开始配置"},
    {32775, "Stop\nStop", "停止\n停止"},
    {32776, "Modify Settings\nModify Settings", "修改参数\n修改参数"},
    {32777, "Restore\nRestore", "恢复出厂设置\n恢复出厂设置"},
    {32778, "Select COM Port\nSelect COM Port", "设置\n设置"},
    {32780, nullptr, "更新固件"},
    {32781, nullptr, "选择固件"},
    {32782, "show dtu debug info", "显示DTU调试信息"},
    {57344, "Kavrel Batch Configuration Software", "DTU批量配置软件"},
    {57345, "Ready", "就绪"},
    {57664, "Display program information, version number and copyright\nAbout",
     "显示程序信息、版本号和版权\n关于"},
    {57665, "Quit the application\nExit", "退出应用程序\n退出"},
    {61446, "Start Config", "开始配置"},
    {61447, "Stop", "停止"},
    {61448, "Modify", "修改参数"},
    {61449, "Exit", "退出"},
    {61450, "Options", "设置"},
    {61451, "Restore", "恢复出厂"},
    {61452, "MS Sans Serif", "宋体"},
    {61453,
     "1. Connect Kavrel to PC and select the COM port;\r\n2. Press \"Start Config\" button to "
     "configure Kavrel and power on \r\nKavrel in 30 seconds. \r\n",
     "1.  连接好计算机串口与无线终端，并在“设置”里正确选择 COM 口编号；\r\n2.  "
     "请点击“开始配置”或“开始更新”，30秒内迅速接通电源。"},
    {61462, "About", "关于"},
    {61463, "Exported the configuration file successfully!", "导出成功"},
    {61464, "Failed to open the file!", "打开文件失败"},
    {61465, "Error", "错误"},
    {61466, "Failed to transfer file!", "文件发送失败!"},
    {61467, "Update File", "开始更新"},
    {61468, "Selete File", "选择文件"},
    {61469, "Firmware File (*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||",
     "固件文件 (*.bin;*.img)|*.bin;*.img|所有文件 (*.*)|*.*||"},
    {61470, "Please select new firmware file", "请选择新固件文件"},
    {61471, "\r\nKavrel startup timeout!\r\n", "\r\n终端启动超时！\r\n"},
    {61472, "Updated firmware successfully!", "更新成功!"},
    {61473, "Info", "提示"},
    {61474, "Show Log", "显示日志"},
    {61476, "Import Success", "导入成功"},
    // The framework's validation prompts.
    {0xF112, "Please enter an integer between %1 and %2.", "请输入一个介于 %1 和 %2 之间的整数。"},
    {0xF117, "Please enter a positive integer.", "请输入一个正整数。"},
};

}  // namespace

std::span<const fw::StringResource> StringTable() {
    return kStrings;
}

}  // namespace res
