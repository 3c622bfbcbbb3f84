#include "serial/PortPath.h"

#include "common/AsciiText.h"

namespace serial {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

}  // namespace

long ParseDecimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 || (digits.size() > 1 && digits[0] == '0')) {
        return -1;
    }
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

int ParseComNumber(std::string_view path) {
    if (path.substr(0, kDevicePrefix.size()) == kDevicePrefix) {
        path.remove_prefix(kDevicePrefix.size());
    }
    if (!StartsWithNoCase(path, "com")) {
        return 0;
    }
    const long number = ParseDecimal(path.substr(3));
    return number >= 1 && number <= kMaxComNumber ? static_cast<int>(number) : 0;
}

std::string FormatComPath(int number) {
    return std::string(kDevicePrefix) + "COM" + std::to_string(number);
}

std::string PortPath(int comNumber, std::string_view devicePath) {
    return devicePath.empty() ? FormatComPath(comNumber) : std::string(devicePath);
}

}  // namespace serial
