// A statement for the line's server written once for both client libraries:
// its text and its values, each mark as the Dialect (ServerQueries.h) makes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "records/RecordSchema.h"

namespace records::server {

// A statement's text with its values, each mark in the order it is written:
// the order ODBC's "?" asks, and the numbers libpq's "$n" name.
template <class Dialect>
class ServerSql {
public:
    ServerSql& Put(std::string_view text) {
        sql_ += text;
        return *this;
    }
    // type: the column's SQL type, "" for text.
    ServerSql& Value(schema::Value value, std::string_view type) {
        values_.push_back(std::move(value));
        sql_ += Dialect::Placeholder(static_cast<int>(values_.size()), type);
        return *this;
    }
    ServerSql& Id(std::int64_t number) { return Value(schema::Integer(number), "bigint"); }
    ServerSql& Text(const std::string& text) { return Value(schema::Required(text), ""); }
    ServerSql& Bytes(const std::string& bytes) { return Value(schema::Bytes(bytes), "bytea"); }

    const std::string& Query() const { return sql_; }
    const schema::Values& Params() const { return values_; }

private:
    std::string sql_;
    schema::Values values_;
};

}  // namespace records::server
