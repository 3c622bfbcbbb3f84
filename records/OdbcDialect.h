// How ODBC marks a value and carries bytes, for the server's statements
// (ServerQueries.h): the records' and the value pools' alike.
#pragma once

#include <string>
#include <string_view>

#include "records/OdbcConnection.h"

namespace records::server {

// ODBC's marks are "?", typed by a cast, numbered by their order alone; bytes
// go and come as hex text the SQL itself turns into bytea and back.
struct OdbcDialect {
    using Connection = OdbcConnection;

    static std::string Placeholder(int, std::string_view type) {
        if (type.empty()) {
            return "?";
        }
        if (type == "bytea") {
            return "decode(?, 'hex')";
        }
        return "CAST(? AS " + std::string(type) + ")";
    }
    static std::string ReadBytes(std::string_view column) {
        return "encode(" + std::string(column) + ", 'hex')";
    }
};

}  // namespace records::server
