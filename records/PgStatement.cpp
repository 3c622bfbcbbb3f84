#include "records/PgStatement.h"

#include <libpq-fe.h>

#include <stdexcept>

namespace records {

PgResult::PgResult(PGresult* result) : result_(result, PQclear) {}

int PgResult::Rows() const {
    return PQntuples(result_.get());
}

bool PgResult::IsNull(int row, int column) const {
    return PQgetisnull(result_.get(), row, column) != 0;
}

std::string PgResult::Text(int row, int column) const {
    return std::string(PQgetvalue(result_.get(), row, column),
                       static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}

std::string PgResult::Bytes(int row, int column) const {
    if (IsNull(row, column)) {
        return std::string();
    }
    std::size_t length = 0;
    unsigned char* bytes = PQunescapeBytea(
        reinterpret_cast<const unsigned char*>(PQgetvalue(result_.get(), row, column)), &length);
    if (bytes == nullptr) {
        throw std::bad_alloc();
    }
    std::string value(reinterpret_cast<const char*>(bytes), length);
    PQfreemem(bytes);
    return value;
}

}  // namespace records
