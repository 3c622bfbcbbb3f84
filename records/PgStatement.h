// What travels to the server with one statement: its values, always bound as
// parameters and never put into the SQL text, and what comes back.
#pragma once

#include <memory>
#include <string>
#include <vector>

typedef struct pg_result PGresult;
typedef unsigned int Oid;

namespace records {

class PgParams {
public:
    void Text(const std::string& value);
    // bytea in binary form: the device's bytes arrive exactly, whatever the
    // server's client encoding would make of them as text.
    void Bytes(const std::string& value);
    void Null();

    int Count() const { return static_cast<int>(values_.size()); }
    std::vector<const char*> Values() const;
    std::vector<int> Lengths() const;
    const int* Formats() const { return formats_.data(); }
    const Oid* Types() const { return types_.data(); }

private:
    void Push(const std::string& value, bool null, int format, Oid type);

    std::vector<std::string> values_;
    std::vector<char> nulls_;
    std::vector<int> formats_;
    std::vector<Oid> types_;
};

// A result in text form, as libpq hands it.
class PgResult {
public:
    explicit PgResult(PGresult* result);

    int Rows() const;
    bool IsNull(int row, int column) const;
    std::string Text(int row, int column) const;  // "" for NULL
    // A bytea column: the bytes it holds (the text form decoded).
    std::string Bytes(int row, int column) const;

private:
    std::shared_ptr<PGresult> result_;
};

}  // namespace records
