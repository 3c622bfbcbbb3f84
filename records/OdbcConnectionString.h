// A line's server is named the same way on every station: a PostgreSQL URI.
// Windows stations reach it through ODBC and the PostgreSQL ODBC driver
// (psqlODBC), whose connection string says the same in its own words.
#pragma once

#include <optional>
#include <string>

namespace records {

// "postgresql://user:pw@host:5432/db?sslmode=require" → "Driver={driver};
// Server=host;Port=5432;Database=db;Uid=user;Pwd=pw;SSLmode=require;…".
// Percent-escapes are decoded; the URI's other parameters reach the driver's
// libpq as they are (pqopt). connectSeconds bounds the connection attempt
// unless the URI says otherwise. nullopt: not a URI this can read.
std::optional<std::string> OdbcConnectionString(const std::string& uri, const std::string& driver,
                                                int connectSeconds);

}  // namespace records
