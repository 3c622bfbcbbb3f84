// The values one statement sends through ODBC and the rows it gets back, as
// UTF-8 text. Bytes travel as hex text that the SQL itself decodes
// (decode(?, 'hex'), encode(column, 'hex')): no driver option, code page or
// binary-column setting stands between the device's bytes and the server.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/RecordSchema.h"

namespace records {

using OdbcValue = std::optional<std::string>;  // nullopt: NULL

// A statement's value as it goes: text, bytes as hex; nullopt for NULL.
OdbcValue OdbcText(const schema::Value& value);

class OdbcRows {
public:
    void AddRow(std::vector<OdbcValue> row) { rows_.push_back(std::move(row)); }

    int Rows() const { return static_cast<int>(rows_.size()); }
    bool IsNull(int row, int column) const;
    std::string Text(int row, int column) const;  // "" for NULL
    // A column read as encode(…, 'hex'): the bytes it holds. Throws
    // StoreError for text that is not hex.
    std::string Bytes(int row, int column) const;

private:
    const OdbcValue& At(int row, int column) const;

    std::vector<std::vector<OdbcValue>> rows_;
};

}  // namespace records
