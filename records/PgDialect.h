// How libpq marks a value and carries bytes, for the server's statements
// (ServerQueries.h): the records' and the value pools' alike.
#pragma once

#include <string>
#include <string_view>

#include "records/PgConnection.h"

namespace records::server {

// libpq's marks: "$1::uuid". Bytes travel in binary form, typed by the
// parameter itself.
struct PgDialect {
    using Connection = PgConnection;

    static std::string Placeholder(int number, std::string_view type) {
        std::string mark = "$" + std::to_string(number);
        if (!type.empty() && type != "bytea") {
            mark += "::";
            mark += type;
        }
        return mark;
    }
    static std::string ReadBytes(std::string_view column) { return std::string(column); }
};

}  // namespace records::server
