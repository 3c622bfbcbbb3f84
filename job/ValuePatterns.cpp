#include "job/ValuePatterns.h"

#include <optional>

namespace job {
namespace {

// The text a "{...}" stands for, or none when the name is not one of the set.
std::optional<std::string> Placeholder(std::string_view name, const DeviceIdentity& device) {
    if (name == "imei") {
        return device.imei;
    }
    if (name == "version") {
        return device.version;
    }
    constexpr std::string_view kTail = "imei:-";
    if (!name.starts_with(kTail)) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(kTail.size());
    // Plain decimal: "{imei:-07}" or "{imei:-+7}" is a typing slip, not a number.
    if (digits.empty() || digits.size() > 2 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t count = std::stoul(std::string(digits));
    if (count > 15) {
        return std::nullopt;
    }
    return device.imei.substr(device.imei.size() > count ? device.imei.size() - count : 0);
}

// Walks the value once for both the check and the expansion; the fault's
// text when there is one, with out holding what came before it.
std::string Walk(std::string_view value, const DeviceIdentity& device, std::string& out) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if ((c == '{' || c == '}') && i + 1 < value.size() && value[i + 1] == c) {
            out += c;
            ++i;
            continue;
        }
        if (c == '}') {
            return "}";
        }
        if (c != '{') {
            out += c;
            continue;
        }
        const std::size_t end = value.find_first_of("{}", i + 1);
        if (end == std::string_view::npos || value[end] != '}') {
            return std::string(value.substr(i, end == std::string_view::npos ? 1 : end - i));
        }
        const std::optional<std::string> text =
            Placeholder(value.substr(i + 1, end - i - 1), device);
        if (!text) {
            return std::string(value.substr(i, end - i + 1));
        }
        out += *text;
        i = end;
    }
    return std::string();
}

}  // namespace

bool HasPattern(std::string_view value) {
    return value.find_first_of("{}") != std::string_view::npos;
}

std::string PatternFault(std::string_view value) {
    if (!HasPattern(value)) {
        return std::string();
    }
    std::string ignored;
    return Walk(value, DeviceIdentity{}, ignored);
}

std::string ExpandPatterns(std::string_view value, const DeviceIdentity& device) {
    if (!HasPattern(value)) {
        return std::string(value);
    }
    std::string out;
    return Walk(value, device, out).empty() ? out : std::string(value);
}

bool IsSendable(std::string_view value) {
    return value.size() <= kMaxValueBytes &&
           value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace job
