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

}  // namespace

bool IsIpv4(std::string_view value) {
    int parts = 0;
    while (true) {
        auto dot = value.find('.');
        std::string_view part = value.substr(0, dot);
        if (part.size() > 3 || !AllDigits(part)) {
            return false;
        }
        int n = 0;
        std::from_chars(part.data(), part.data() + part.size(), n);
        if (n > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string_view::npos) {
            break;
        }
        value.remove_prefix(dot + 1);
    }
    return parts == 4;
}

bool IsHostName(std::string_view value) {
    if (value.empty() || value.size() > 253) {
        return false;
    }
    // Something made of digits and dots is meant as an address; "10.0.0.300"
    // must not slip through as a host name.
    bool numeric =
        std::all_of(value.begin(), value.end(), [](char c) { return IsDigit(c) || c == '.'; });
    if (numeric) {
        return false;
    }
    std::string_view rest = value;
    if (rest.back() == '.') {  // fully qualified form
        rest.remove_suffix(1);
    }
    while (true) {
        auto dot = rest.find('.');
        if (!HostLabelOk(rest.substr(0, dot))) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        rest.remove_prefix(dot + 1);
    }
}

Rule Rule::Choice(std::vector<std::string> allowed) {
    Rule r(Kind::kChoice);
    r.allowed_ = std::move(allowed);
    return r;
}

Rule Rule::Integer(std::int64_t min, std::int64_t max) {
    Rule r(Kind::kInteger);
    r.min_ = min;
    r.max_ = max;
    return r;
}

Rule Rule::Host(std::size_t maxLength, bool allowEmpty) {
    Rule r(Kind::kHost);
    r.maxLength_ = maxLength;
    r.allowEmpty_ = allowEmpty;
    return r;
}

Rule Rule::Ipv4(bool allowEmpty) {
    Rule r(Kind::kIpv4);
    r.allowEmpty_ = allowEmpty;
    return r;
}

Rule Rule::Digits(std::size_t minLength, std::size_t maxLength, bool allowPlus) {
    Rule r(Kind::kDigits);
    r.minLength_ = minLength;
    r.maxLength_ = maxLength;
    r.allowPlus_ = allowPlus;
    return r;
}

Rule Rule::Text(std::size_t maxLength) {
    Rule r(Kind::kText);
    r.maxLength_ = maxLength;
    return r;
}

bool Rule::Accepts(std::string_view value) const {
    switch (kind_) {
        case Kind::kChoice:
            return std::find(allowed_.begin(), allowed_.end(), value) != allowed_.end();
        case Kind::kInteger: {
            std::string_view digits = value;
            if (!digits.empty() && digits.front() == '-' && min_ < 0) {
                digits.remove_prefix(1);
            }
            if (!AllDigits(digits) || digits.size() > 18) {
                return false;
            }
            std::int64_t n = 0;
            std::from_chars(value.data(), value.data() + value.size(), n);
            return n >= min_ && n <= max_;
        }
        case Kind::kHost:
            if (value.empty()) {
                return allowEmpty_;
            }
            return value.size() <= maxLength_ && (IsIpv4(value) || IsHostName(value));
        case Kind::kIpv4:
            return value.empty() ? allowEmpty_ : IsIpv4(value);
        case Kind::kDigits: {
            std::string_view digits = value;
            if (allowPlus_ && !digits.empty() && digits.front() == '+') {
                digits.remove_prefix(1);
                if (digits.empty()) {
                    return false;
                }
            }
            bool digitsOnly = std::all_of(digits.begin(), digits.end(), IsDigit);
            return digitsOnly && digits.size() >= minLength_ && digits.size() <= maxLength_;
        }
        case Kind::kText:
            return value.size() <= maxLength_ &&
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
            for (const auto& a : allowed_) {
                s += ' ';
                s += a;
            }
            return s;
        }
        case Kind::kInteger:
            return "integer " + std::to_string(min_) + ".." + std::to_string(max_);
        case Kind::kHost:
            return std::string("IPv4 address or host name up to ") + std::to_string(maxLength_) +
                   (allowEmpty_ ? " bytes, or empty" : " bytes");
        case Kind::kIpv4:
            return allowEmpty_ ? "IPv4 address or empty" : "IPv4 address";
        case Kind::kDigits:
            return std::string(allowPlus_ ? "'+' and " : "") + std::to_string(minLength_) + ".." +
                   std::to_string(maxLength_) + " digits";
        case Kind::kText:
            return "text up to " + std::to_string(maxLength_) + " bytes";
    }
    return {};
}

}  // namespace kavrelsim
