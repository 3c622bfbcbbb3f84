// What comes back from the server for one statement.
#pragma once

#include <memory>
#include <string>
#include <vector>

typedef struct pg_result PGresult;

namespace records {

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
