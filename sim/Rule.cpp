#include "Rule.h"

#include <algorithm>
#include <charconv>

namespace kavrelsim {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

bool HostLabelOk(std::string_view label) {
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
        return false;
    }
    return std::all_of(label.begin(), label.end(),
                       [](char c) { return IsAlpha(c) || IsDigit(c) || c == '-'; });
}

// Whether each part of value between dots passes ok.
template <class Ok>
bool EveryPart(std::string_view value, Ok ok) {
    for (;;) {
        const auto dot = value.find('.');
        if (!ok(value.substr(0, dot))) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        value.remove_prefix(dot + 1);
    }
}

}  // namespace

bool IsIpv4(std::string_view value) {
    return std::count(value.begin(), value.end(), '.') == 3 &&
           EveryPart(value, [](std::string_view part) {
               int n = 0;
               std::from_chars(part.data(), part.data() + part.size(), n);
               return part.size() <= 3 && AllDigits(part) && n <= 255;
           });
}

bool IsHostName(std::string_view value) {
    if (value.empty() || value.size() > 253) {
        return false;
    }
    // Something made of digits and dots is meant as an address; "10.0.0.300"
    // must not slip through as a host name.
    if (value.find_first_not_of("0123456789.") == std::string_view::npos) {
        return false;
    }
    std::string_view rest = value;
    if (rest.back() == '.') {  // fully qualified form
        rest.remove_suffix(1);
    }
    return EveryPart(rest, HostLabelOk);
}

Rule Rule::Choice(std::vector<std::string> allowed) {
    return Rule(Kind::kChoice, {.allowed = std::move(allowed)});
}

Rule Rule::Integer(std::int64_t min, std::int64_t max) {
    return Rule(Kind::kInteger, {.min = min, .max = max});
}

Rule Rule::Host(std::size_t maxLength, bool allowEmpty) {
    return Rule(Kind::kHost, {.maxLength = maxLength, .allowEmpty = allowEmpty});
}

Rule Rule::Ipv4(bool allowEmpty) {
    return Rule(Kind::kIpv4, {.allowEmpty = allowEmpty});
}

Rule Rule::Digits(std::size_t minLength, std::size_t maxLength, bool allowPlus) {
    return Rule(Kind::kDigits,
                {.minLength = minLength, .maxLength = maxLength, .allowPlus = allowPlus});
}

Rule Rule::Text(std::size_t maxLength) {
    return Rule(Kind::kText, {.maxLength = maxLength});
}

bool Rule::Accepts(std::string_view value) const {
    switch (kind_) {
        case Kind::kChoice:
            return std::find(limits_.allowed.begin(), limits_.allowed.end(), value) !=
                   limits_.allowed.end();
        case Kind::kInteger: {
            std::string_view digits = value;
            if (!digits.empty() && digits.front() == '-' && limits_.min < 0) {
                digits.remove_prefix(1);
            }
            if (!AllDigits(digits) || digits.size() > 18) {
                return false;
            }
            std::int64_t n = 0;
            std::from_chars(value.data(), value.data() + value.size(), n);
            return n >= limits_.min && n <= limits_.max;
        }
        case Kind::kHost:
            if (value.empty()) {
                return limits_.allowEmpty;
            }
            return value.size() <= limits_.maxLength && (IsIpv4(value) || IsHostName(value));
        case Kind::kIpv4:
            return value.empty() ? limits_.allowEmpty : IsIpv4(value);
        case Kind::kDigits: {
            std::string_view digits = value;
            if (limits_.allowPlus && !digits.empty() && digits.front() == '+') {
                digits.remove_prefix(1);
                if (digits.empty()) {
                    return false;
                }
            }
            bool digitsOnly = std::all_of(digits.begin(), digits.end(), IsDigit);
            return digitsOnly && digits.size() >= limits_.minLength &&
                   digits.size() <= limits_.maxLength;
        }
        case Kind::kText:
            return value.size() <= limits_.maxLength &&
                   std::none_of(value.begin(), value.end(), [](char c) {
                       auto u = static_cast<unsigned char>(c);
                       return u < 0x20 || u == 0x7F;
                   });
    }
    return false;
}

std::string Rule::Describe() const {
    switch (kind_) {
        case Kind::kChoice: {
            std::string s = "one of";
            for (const auto& a : limits_.allowed) {
                s += ' ' + a;
            }
            return s;
        }
        case Kind::kInteger:
            return "integer " + std::to_string(limits_.min) + ".." + std::to_string(limits_.max);
        case Kind::kHost:
            return std::string("IPv4 address or host name up to ") +
                   std::to_string(limits_.maxLength) +
                   (limits_.allowEmpty ? " bytes, or empty" : " bytes");
        case Kind::kIpv4:
            return limits_.allowEmpty ? "IPv4 address or empty" : "IPv4 address";
        case Kind::kDigits:
            return std::string(limits_.allowPlus ? "'+' and " : "") +
                   std::to_string(limits_.minLength) + ".." + std::to_string(limits_.maxLength) +
                   " digits";
        case Kind::kText:
            return "text up to " + std::to_string(limits_.maxLength) + " bytes";
    }
    return {};
}

}  // namespace kavrelsim
