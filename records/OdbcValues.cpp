#include "records/OdbcValues.h"

#include "common/AsciiText.h"
#include "records/RecordStore.h"

namespace records {

OdbcValue OdbcText(const schema::Value& value) {
    switch (value.kind) {
        case schema::Value::Kind::Null:
            return std::nullopt;
        case schema::Value::Kind::Bytes:
            return LowerHex(value.text);
        default:
            return schema::TextForm(value);
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

std::optional<std::string> FromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigitValue(hex[i]);
        const int low = HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

}  // namespace records
