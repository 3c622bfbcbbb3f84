#include "DefaultTable.h"

#include <cerrno>
#include <stdexcept>
#include <vector>

#include <iconv.h>

namespace kavrelsim {
namespace {

struct Row {
    int number;
    const char* english;
    const char* chinese;  // UTF-8 here, GB18030 on the wire
    const char* factory;
    Rule rule;
};

std::vector<Row> Rows() {
    const auto flag = Rule::Choice({"0", "1"});
    const auto port = Rule::Integer(1, 65535);
    const auto phone = Rule::Digits(0, 20, true);
    return {
        // 0 transparent TCP/UDP, 1 Modbus gateway, 2 HTTP client, 3 SMS
        {1, "Work Mode", "工作模式", "0", Rule::Choice({"0", "1", "2", "3"})},
        {2, "APN", "APN接入点", "CMNET", Rule::Text(31)},
        {3, "APN User", "APN用户名", "", Rule::Text(31)},
        {4, "APN Password", "APN密码", "", Rule::Text(31)},
        {5, "Server Address", "服务器地址", "data.example.net", Rule::Host(63, false)},
        {6, "Server Port", "服务器端口", "5001", port},
        {7, "Protocol", "传输协议", "0", flag},  // 0 TCP, 1 UDP
        {8, "Second Server", "备用服务器地址", "", Rule::Host(63, true)},
        {9, "Second Port", "备用服务器端口", "0", Rule::Integer(0, 65535)},
        {10, "Second Protocol", "备用传输协议", "0", flag},
        {11, "Heartbeat Interval", "心跳间隔", "60", Rule::Integer(0, 3600)},  // s, 0 off
        {12, "Heartbeat Data", "心跳数据", "HB", Rule::Text(32)},
        // 0 none, 1 IMEI, 2 device ID, 3 custom data
        {13, "Register Type", "注册包类型", "0", Rule::Choice({"0", "1", "2", "3"})},
        {14, "Register Data", "注册包数据", "", Rule::Text(32)},
        {15, "Baud Rate", "串口波特率", "9600",
         Rule::Choice({"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"})},
        {16, "Data Bits", "数据位", "8", Rule::Choice({"7", "8"})},
        {17, "Parity", "校验位", "0", Rule::Choice({"0", "1", "2"})},  // none, odd, even
        {18, "Stop Bits", "停止位", "1", Rule::Choice({"1", "2"})},
        {19, "Packet Interval", "分包间隔", "50", Rule::Integer(10, 1000)},  // ms
        {20, "Packet Length", "分包长度", "1024", Rule::Integer(1, 1460)},
        {21, "Reconnect Interval", "重连间隔", "30", Rule::Integer(5, 3600)},  // s
        {22, "Reconnect Count", "重连次数", "0", Rule::Integer(0, 255)},       // 0 forever
        {23, "Idle Timeout", "空闲超时", "0", Rule::Integer(0, 1440)},         // min
        {24, "Reboot Interval", "定时重启", "0", Rule::Integer(0, 720)},       // h
        {25, "SMS Centre", "短信中心号码", "", phone},
        {26, "Alarm Number", "报警号码", "", phone},
        {27, "SMS Alarm", "短信报警", "0", flag},
        {28, "Device ID", "设备编号", "00000001", Rule::Digits(1, 16, false)},
        {29, "Debug Level", "调试级别", "1", Rule::Choice({"0", "1", "2", "3"})},
        // 0 automatic, 1 4G only, 2 3G only, 3 2G only
        {30, "Network Mode", "网络模式", "0", Rule::Choice({"0", "1", "2", "3"})},
        {31, "Data Format", "数据格式", "0", flag},  // 0 raw, 1 hex text
        {32, "DNS Server", "DNS服务器", "114.114.114.114", Rule::Ipv4(false)},
        {33, "Modbus Address", "Modbus地址", "1", Rule::Integer(1, 247)},
        {34, "Modbus Poll", "Modbus轮询间隔", "1000", Rule::Integer(100, 60000)},  // ms
        {35, "NTP Server", "NTP服务器", "pool.ntp.org", Rule::Host(63, true)},
        {36, "Time Zone", "时区", "8", Rule::Integer(-12, 14)},
        {37, "Signal Report", "信号上报间隔", "0", Rule::Integer(0, 3600)},  // s, 0 off
        {38, "Status LED", "状态指示灯", "1", flag},
        {39, "Device Name", "设备名称", "Kavrel DTU", Rule::Text(24)},
        {40, "TCP Keepalive", "TCP保活时间", "120", Rule::Integer(0, 7200)},  // s
    };
}

}  // namespace

ParameterTable DefaultTable(Language language) {
    std::vector<Parameter> items;
    for (auto& row : Rows()) {
        items.push_back({row.number,
                         language == Language::kChinese ? Utf8ToGb18030(row.chinese) : row.english,
                         row.factory, row.factory, std::move(row.rule)});
    }
    return ParameterTable(std::move(items));
}

std::string Utf8ToGb18030(std::string_view utf8) {
    iconv_t cd = ::iconv_open("GB18030", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv cannot convert UTF-8 to GB18030");
    }
    std::string in(utf8);
    // GB18030 needs at most four bytes for any character, UTF-8 at least one.
    std::string out(in.size() * 4, '\0');
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    std::size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("not valid UTF-8 text for GB18030");
    }
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace kavrelsim
