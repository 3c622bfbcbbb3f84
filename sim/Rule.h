// What a parameter accepts from AT+SET. The firmware checks values itself; a
// tool that sends something out of range must see ERROR, exactly as it would
// with real hardware.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kavrelsim {

class Rule {
public:
    // One of a fixed set of spellings ("0", "1", ... or "9600", "19200", ...).
    static Rule Choice(std::vector<std::string> allowed);
    // A decimal integer within [min, max]; a minus sign only if min < 0.
    static Rule Integer(std::int64_t min, std::int64_t max);
    // Dotted IPv4 address or DNS host name.
    static Rule Host(std::size_t maxLength, bool allowEmpty);
    // Dotted IPv4 address only.
    static Rule Ipv4(bool allowEmpty);
    // Telephone-style digits with an optional leading '+'.
    static Rule Digits(std::size_t minLength, std::size_t maxLength, bool allowPlus);
    // Any bytes without control characters, up to maxLength bytes.
    static Rule Text(std::size_t maxLength);

    bool Accepts(std::string_view value) const;
    // Short description for logs, e.g. "integer 1..65535".
    std::string Describe() const;

private:
    enum class Kind { kChoice, kInteger, kHost, kIpv4, kDigits, kText };
    // What a kind checks beyond its kind; each uses a part of it.
    struct Limits {
        std::vector<std::string> allowed{};
        std::int64_t min = 0;
        std::int64_t max = 0;
        std::size_t minLength = 0;
        std::size_t maxLength = 0;
        bool allowEmpty = false;
        bool allowPlus = false;
    };
    Rule(Kind kind, Limits limits) : kind_(kind), limits_(std::move(limits)) {}

    Kind kind_;
    Limits limits_;
};

bool IsIpv4(std::string_view value);
bool IsHostName(std::string_view value);

}  // namespace kavrelsim
