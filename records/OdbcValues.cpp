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

}  // namespace records
