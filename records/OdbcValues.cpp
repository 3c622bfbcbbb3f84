#include "records/OdbcValues.h"

#include "records/RecordStore.h"

namespace records {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

void OdbcParams::TextOrNull(const std::string& value) {
    if (value.empty()) {
        Null();
    } else {
        Text(value);
    }
}

void OdbcParams::Bytes(const std::string& value) {
    Text(ToHex(value));
}

void OdbcParams::Bytes(const std::optional<std::string>& value) {
    if (value) {
        Bytes(*value);
    } else {
        Null();
    }
}

const OdbcValue& OdbcRows::At(int row, int column) const {
    return rows_.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column));
}

bool OdbcRows::IsNull(int row, int column) const {
    return !At(row, column).has_value();
}

std::string OdbcRows::Text(int row, int column) const {
    return At(row, column).value_or(std::string());
}

std::string OdbcRows::Bytes(int row, int column) const {
    const std::optional<std::string> bytes = FromHex(Text(row, column));
    if (!bytes) {
        throw StoreError(StoreError::Kind::Other, "the server sent bytes that are not hex");
    }
    return *bytes;
}

std::optional<std::string> OdbcRows::OptionalBytes(int row, int column) const {
    if (IsNull(row, column)) {
        return std::nullopt;
    }
    return Bytes(row, column);
}

std::string ToHex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0f];
    }
    return hex;
}

std::optional<std::string> FromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

}  // namespace records
