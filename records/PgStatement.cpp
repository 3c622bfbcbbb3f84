#include "records/PgStatement.h"

#include <libpq-fe.h>

#include <stdexcept>

namespace records {

namespace {

constexpr Oid kByteaOid = 17;  // pg_type's bytea: binary values need their type named
constexpr int kTextFormat = 0;
constexpr int kBinaryFormat = 1;

}  // namespace

void PgParams::Push(const std::string& value, bool null, int format, Oid type) {
    values_.push_back(value);
    nulls_.push_back(null ? 1 : 0);
    formats_.push_back(format);
    types_.push_back(type);
}

void PgParams::Text(const std::string& value) {
    Push(value, false, kTextFormat, 0);
}

void PgParams::Bytes(const std::string& value) {
    Push(value, false, kBinaryFormat, kByteaOid);
}

void PgParams::Null() {
    Push(std::string(), true, kTextFormat, 0);
}

std::vector<const char*> PgParams::Values() const {
    std::vector<const char*> values;
    values.reserve(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) {
        values.push_back(nulls_[i] ? nullptr : values_[i].c_str());
    }
    return values;
}

std::vector<int> PgParams::Lengths() const {
    std::vector<int> lengths;
    lengths.reserve(values_.size());
    for (const std::string& value : values_) {
        lengths.push_back(static_cast<int>(value.size()));
    }
    return lengths;
}

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
