// Value pools on the line's server, whatever client library reaches it: the
// statements once, over a Dialect (ServerQueries.h says what one has), on
// the connection a ServerLink keeps, which connects anew and brings the
// schema up to date (the records' migration, which makes the pool tables
// too) when it must.
//
// A row is drawn on the server in one transaction: the row the IMEI holds
// already, else the first free one not locked by another station's draw
// (FOR UPDATE SKIP LOCKED), so no two stations take one row and none waits
// on another's.
//
// The members are made once, in the store's own source file (an explicit
// instantiation), where the dialect is known.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "common/AsciiText.h"
#include "common/NonCopyable.h"
#include "records/ServerLink.h"
#include "records/ServerPoolStore.h"
#include "records/ServerQueries.h"
#include "records/ServerSql.h"

namespace records {

namespace server {

using Clock = std::chrono::steady_clock;
// How long a draw waits for free rows that other draws hold locked.
constexpr std::chrono::seconds kHeldRowsWait(10);

// Rows per INSERT: a statement of a megabyte or so.
constexpr std::size_t kPoolRowsPerInsert = 20000;

// An array's text form ("{1,2,3}"), bound as one text value and cast by the
// SQL. Bytes go as hex ("\\x0aff"), which no client encoding changes.
class ArrayText {
public:
    void Add(const std::string& number) {
        text_ += text_.size() == 1 ? "" : ",";
        text_ += number;
    }
    void AddBytes(const std::string& bytes) {
        text_ += text_.size() == 1 ? "\"\\\\x" : ",\"\\\\x";
        text_ += LowerHex(bytes);
        text_ += '"';
    }
    schema::Value Done() { return schema::Required(text_ + "}"); }

private:
    std::string text_ = "{";
};

}  // namespace server

template <class Connection, class Dialect>
class LinkedPoolStore : public ServerPoolStore, NonCopyable {
public:
    ~LinkedPoolStore() override;

    void Import(const std::string& name, const std::vector<std::string>& columns,
                const std::vector<PoolImportRow>& rows) override;
    std::optional<PoolRow> Draw(const std::string& name, const std::string& imei,
                                const std::string& station) override;
    void MarkWritten(const std::string& name, std::int64_t rowId, const std::string& imei) override;
    bool Release(const std::string& name, std::int64_t rowId, const std::string& imei) override;
    PoolStatus Status(const std::string& name) override;
    std::vector<PoolStatus> List() override;
    std::vector<PoolRow> ForImei(const std::string& imei) override;

    std::vector<PoolRow> Reserve(const std::string& name, const std::string& station,
                                 int count) override;
    void TieReserved(const std::string& name, const PoolRow& tied) override;

protected:
    // connectNow: a store that cannot reach its server throws here; else
    // the first call connects.
    LinkedPoolStore(std::function<std::unique_ptr<Connection>()> connect, bool connectNow);

private:
    using Sql = server::ServerSql<Dialect>;
    using Read = server::ServerRead<Dialect>;

    static auto Exec(Connection& connection, const Sql& sql) {
        return connection.Exec(sql.Query(), sql.Params());
    }
    static std::int64_t PoolId(Connection& connection, const std::string& name);
    // The rows of the pool (0: any) the condition's SQL picks, with their cells.
    static std::vector<PoolRow> Rows(Connection& connection, Sql where);
    static std::vector<PoolStatus> Counts(Connection& connection, Sql where);

    ServerLink<Connection> link_;
};

template <class Connection, class Dialect>
LinkedPoolStore<Connection, Dialect>::LinkedPoolStore(
    std::function<std::unique_ptr<Connection>()> connect, bool connectNow)
    : link_(
          [connect = std::move(connect)] {
              std::unique_ptr<Connection> connection = connect();
              server::Queries<Dialect>::Migrate(*connection);
              return connection;
          },
          RetryPolicy()) {
    if (connectNow) {
        link_.With([](Connection&) {});
    }
}

template <class Connection, class Dialect>
LinkedPoolStore<Connection, Dialect>::~LinkedPoolStore() = default;

template <class Connection, class Dialect>
std::int64_t LinkedPoolStore<Connection, Dialect>::PoolId(Connection& connection,
                                                          const std::string& name) {
    const auto found =
        Exec(connection, Sql().Put("SELECT id FROM value_pools WHERE name = ").Text(name));
    if (found.Rows() == 0) {
        throw UnknownPool(name);
    }
    return std::stoll(found.Text(0, 0));
}

template <class Connection, class Dialect>
std::vector<PoolRow> LinkedPoolStore<Connection, Dialect>::Rows(Connection& connection, Sql where) {
    Sql select;
    select.Put("SELECT p.name, p.id, r.row_no, r.line, r.state, ")
        .Put(Read::Select(schema::Type::Bytes, "r.imei"))
        .Put(", r.station, ")
        .Put(Read::Select(schema::Type::Time, "r.tied_at"))
        .Put(", ")
        .Put(Read::Select(schema::Type::Time, "r.written_at"))
        .Put(" FROM value_pool_rows r JOIN value_pools p ON p.id = r.pool_id WHERE ");
    // The select has no marks: the condition's are numbered from the first.
    const auto found = connection.Exec(select.Query() + where.Query(), where.Params());
    std::vector<PoolRow> rows;
    for (int i = 0; i < found.Rows(); ++i) {
        PoolRow row;
        row.pool = found.Text(i, 0);
        row.id = std::stoll(found.Text(i, 2));
        row.line = std::stoi(found.Text(i, 3));
        row.state = StateNamed(found.Text(i, 4));
        row.imei = found.Bytes(i, 5);
        row.station = found.Text(i, 6);
        row.tiedAt = found.Text(i, 7);
        if (!found.IsNull(i, 8)) {
            row.writtenAt = found.Text(i, 8);
        }
        const auto cells = Exec(connection, Sql()
                                                .Put("SELECT ")
                                                .Put(Read::Select(schema::Type::Bytes, "value"))
                                                .Put(" FROM value_pool_cells WHERE pool_id = ")
                                                .Id(std::stoll(found.Text(i, 1)))
                                                .Put(" AND row_no = ")
                                                .Id(row.id)
                                                .Put(" ORDER BY col"));
        for (int cell = 0; cell < cells.Rows(); ++cell) {
            row.cells.push_back(cells.Bytes(cell, 0));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

template <class Connection, class Dialect>
std::vector<PoolStatus> LinkedPoolStore<Connection, Dialect>::Counts(Connection& connection,
                                                                     Sql where) {
    const std::string select =
        "SELECT p.name, " + Read::Select(schema::Type::Time, "p.imported_at") +
        ", count(r.row_no), count(*) FILTER (WHERE r.state = 'tied'), "
        "count(*) FILTER (WHERE r.state = 'written'), count(*) FILTER (WHERE r.state = 'free'), "
        "p.id, count(*) FILTER (WHERE r.state = 'reserved') FROM value_pools p LEFT JOIN "
        "value_pool_rows r ON r.pool_id = p.id ";
    const auto found = connection.Exec(
        select + where.Query() + " GROUP BY p.id, p.name, p.imported_at ORDER BY p.name",
        where.Params());
    std::vector<PoolStatus> pools;
    for (int i = 0; i < found.Rows(); ++i) {
        PoolStatus status;
        status.name = found.Text(i, 0);
        status.importedAt = found.Text(i, 1);
        status.rows = std::stoll(found.Text(i, 2));
        status.tied = std::stoll(found.Text(i, 3));
        status.written = std::stoll(found.Text(i, 4));
        status.free = std::stoll(found.Text(i, 5));
        status.reserved = std::stoll(found.Text(i, 7));
        const auto columns = Exec(connection, Sql()
                                                  .Put("SELECT item FROM value_pool_columns "
                                                       "WHERE pool_id = ")
                                                  .Id(std::stoll(found.Text(i, 6)))
                                                  .Put(" ORDER BY col"));
        for (int column = 0; column < columns.Rows(); ++column) {
            status.columns.push_back(columns.Text(column, 0));
        }
        pools.push_back(std::move(status));
    }
    return pools;
}

template <class Connection, class Dialect>
void LinkedPoolStore<Connection, Dialect>::Import(const std::string& name,
                                                  const std::vector<std::string>& columns,
                                                  const std::vector<PoolImportRow>& rows) {
    CheckImport(name, columns, rows);
    link_.With([&](Connection& connection) {
        server::Transaction<Connection> transaction(connection);
        // Two importing one name at once: the second waits for the first's
        // commit, then finds the name taken.
        const auto made =
            Exec(connection, Sql()
                                 .Put("INSERT INTO value_pools (name) VALUES (")
                                 .Text(name)
                                 .Put(") ON CONFLICT (name) DO NOTHING RETURNING id"));
        if (made.Rows() == 0) {
            throw PoolExists(name);
        }
        const std::int64_t pool = std::stoll(made.Text(0, 0));
        Sql heading;
        heading.Put("INSERT INTO value_pool_columns (pool_id, col, item) VALUES ");
        for (std::size_t i = 0; i < columns.size(); ++i) {
            heading.Put(i == 0 ? "(" : ", (")
                .Id(pool)
                .Put(", ")
                .Id(static_cast<std::int64_t>(i + 1))
                .Put(", ")
                .Text(columns[i])
                .Put(")");
        }
        Exec(connection, heading);
        // Each statement takes a batch as three or four arrays: a few values
        // to bind and parse, however many rows.
        for (std::size_t first = 0; first < rows.size(); first += server::kPoolRowsPerInsert) {
            const std::size_t end = std::min(rows.size(), first + server::kPoolRowsPerInsert);
            server::ArrayText numbers;
            server::ArrayText lines;
            server::ArrayText cols;
            server::ArrayText cellNumbers;
            server::ArrayText values;
            for (std::size_t i = first; i < end; ++i) {
                numbers.Add(std::to_string(i + 1));
                lines.Add(std::to_string(rows[i].line));
                for (std::size_t column = 0; column < columns.size(); ++column) {
                    cellNumbers.Add(std::to_string(i + 1));
                    cols.Add(std::to_string(column + 1));
                    values.AddBytes(rows[i].cells[column]);
                }
            }
            Exec(connection, Sql()
                                 .Put("INSERT INTO value_pool_rows (pool_id, row_no, line) SELECT ")
                                 .Id(pool)
                                 .Put(", n, l FROM unnest(")
                                 .Value(numbers.Done(), "bigint[]")
                                 .Put(", ")
                                 .Value(lines.Done(), "integer[]")
                                 .Put(") AS t (n, l)"));
            Exec(connection, Sql()
                                 .Put("INSERT INTO value_pool_cells (pool_id, row_no, col, value) "
                                      "SELECT ")
                                 .Id(pool)
                                 .Put(", n, c, v FROM unnest(")
                                 .Value(cellNumbers.Done(), "bigint[]")
                                 .Put(", ")
                                 .Value(cols.Done(), "integer[]")
                                 .Put(", ")
                                 .Value(values.Done(), "bytea[]")
                                 .Put(") AS t (n, c, v)"));
        }
        transaction.Commit();
    });
}

template <class Connection, class Dialect>
std::optional<PoolRow> LinkedPoolStore<Connection, Dialect>::Draw(const std::string& name,
                                                                  const std::string& imei,
                                                                  const std::string& station) {
    return link_.With([&](Connection& connection) -> std::optional<PoolRow> {
        server::Transaction<Connection> transaction(connection);
        // One IMEI's draws take turns (a lock for the transaction, keyed by
        // pool and IMEI): the same device at two stations at once still gets
        // one row, and other devices' draws do not wait for it.
        const auto pool =
            Exec(connection, Sql()
                                 .Put("SELECT p.id, pg_advisory_xact_lock(hashtextextended("
                                      "p.name || ' ' || encode(")
                                 .Bytes(imei)
                                 .Put(", 'hex'), 0)) FROM value_pools p WHERE p.name = ")
                                 .Text(name));
        if (pool.Rows() == 0) {
            throw UnknownPool(name);
        }
        const std::int64_t id = std::stoll(pool.Text(0, 0));
        const auto mine = [&] {
            return Rows(connection,
                        Sql().Put("r.pool_id = ").Id(id).Put(" AND r.imei = ").Bytes(imei));
        };
        if (std::vector<PoolRow> held = mine(); !held.empty()) {
            return held.front();
        }
        const auto deadline = server::Clock::now() + server::kHeldRowsWait;
        for (;;) {
            const auto taken =
                Exec(connection, Sql()
                                     .Put("UPDATE value_pool_rows SET state = 'tied', imei = ")
                                     .Bytes(imei)
                                     .Put(", station = ")
                                     .Text(station)
                                     .Put(", tied_at = now() WHERE pool_id = ")
                                     .Id(id)
                                     .Put(" AND row_no = (SELECT row_no FROM value_pool_rows "
                                          "WHERE pool_id = ")
                                     .Id(id)
                                     .Put(" AND state = 'free' ORDER BY row_no LIMIT 1 "
                                          "FOR UPDATE SKIP LOCKED) RETURNING row_no"));
            if (taken.Rows() > 0) {
                break;
            }
            // Free rows that other draws hold locked are not taken from under
            // them, nor is the pool called empty while their draws may yet
            // roll back: the next statement sees how theirs ended.
            const auto left = Exec(connection, Sql()
                                                   .Put("SELECT count(*) FROM value_pool_rows "
                                                        "WHERE pool_id = ")
                                                   .Id(id)
                                                   .Put(" AND state = 'free'"));
            if (left.Text(0, 0) == "0") {
                return std::nullopt;
            }
            // A draw holds its row for milliseconds; one held far longer is
            // a client that hangs, and is not waited on for ever.
            if (server::Clock::now() > deadline) {
                throw StoreError(
                    StoreError::Kind::Other,
                    "the free rows of pool " + name + " are all held by draws that do not end");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::vector<PoolRow> drawn = mine();
        transaction.Commit();
        drawn.front().drawnNow = true;
        return drawn.front();
    });
}

template <class Connection, class Dialect>
void LinkedPoolStore<Connection, Dialect>::MarkWritten(const std::string& name, std::int64_t rowId,
                                                       const std::string& imei) {
    link_.With([&](Connection& connection) {
        const std::int64_t pool = PoolId(connection, name);
        const auto marked = Exec(connection, Sql()
                                                 .Put("UPDATE value_pool_rows SET state = "
                                                      "'written', written_at = "
                                                      "coalesce(written_at, now()) "
                                                      "WHERE pool_id = ")
                                                 .Id(pool)
                                                 .Put(" AND row_no = ")
                                                 .Id(rowId)
                                                 .Put(" AND imei = ")
                                                 .Bytes(imei)
                                                 .Put(" RETURNING row_no"));
        if (marked.Rows() == 0) {
            throw NotTiedTo(name, rowId);
        }
    });
}

template <class Connection, class Dialect>
bool LinkedPoolStore<Connection, Dialect>::Release(const std::string& name, std::int64_t rowId,
                                                   const std::string& imei) {
    return link_.With([&](Connection& connection) {
        const std::int64_t pool = PoolId(connection, name);
        const auto released = Exec(connection, Sql()
                                                   .Put("UPDATE value_pool_rows SET state = "
                                                        "'free', imei = NULL, station = NULL, "
                                                        "tied_at = NULL WHERE pool_id = ")
                                                   .Id(pool)
                                                   .Put(" AND row_no = ")
                                                   .Id(rowId)
                                                   .Put(" AND imei = ")
                                                   .Bytes(imei)
                                                   .Put(" AND state = 'tied' RETURNING row_no"));
        return released.Rows() > 0;
    });
}

template <class Connection, class Dialect>
PoolStatus LinkedPoolStore<Connection, Dialect>::Status(const std::string& name) {
    return link_.With([&](Connection& connection) {
        std::vector<PoolStatus> found = Counts(connection, Sql().Put("WHERE p.name = ").Text(name));
        if (found.empty()) {
            throw UnknownPool(name);
        }
        return found.front();
    });
}

template <class Connection, class Dialect>
std::vector<PoolStatus> LinkedPoolStore<Connection, Dialect>::List() {
    return link_.With([&](Connection& connection) { return Counts(connection, Sql()); });
}

template <class Connection, class Dialect>
std::vector<PoolRow> LinkedPoolStore<Connection, Dialect>::ForImei(const std::string& imei) {
    return link_.With([&](Connection& connection) {
        return Rows(connection, Sql().Put("r.imei = ").Bytes(imei).Put(" ORDER BY p.name"));
    });
}

template <class Connection, class Dialect>
std::vector<PoolRow> LinkedPoolStore<Connection, Dialect>::Reserve(const std::string& name,
                                                                   const std::string& station,
                                                                   int count) {
    return link_.With([&](Connection& connection) {
        server::Transaction<Connection> transaction(connection);
        const std::int64_t pool = PoolId(connection, name);
        Exec(connection, Sql()
                             .Put("UPDATE value_pool_rows SET state = 'reserved', station = ")
                             .Text(station)
                             .Put(" WHERE pool_id = ")
                             .Id(pool)
                             .Put(" AND row_no IN (SELECT row_no FROM value_pool_rows "
                                  "WHERE pool_id = ")
                             .Id(pool)
                             .Put(" AND state = 'free' ORDER BY row_no LIMIT ")
                             .Id(count)
                             .Put(" FOR UPDATE SKIP LOCKED)"));
        std::vector<PoolRow> reserved = Rows(connection, Sql()
                                                             .Put("r.pool_id = ")
                                                             .Id(pool)
                                                             .Put(" AND r.state = 'reserved' "
                                                                  "AND r.station = ")
                                                             .Text(station)
                                                             .Put(" ORDER BY r.row_no"));
        transaction.Commit();
        return reserved;
    });
}

template <class Connection, class Dialect>
void LinkedPoolStore<Connection, Dialect>::TieReserved(const std::string& name,
                                                       const PoolRow& tied) {
    link_.With([&](Connection& connection) {
        const std::int64_t pool = PoolId(connection, name);
        const auto sent = Exec(
            connection, Sql()
                            .Put("UPDATE value_pool_rows SET state = ")
                            .Text(StateName(tied.state))
                            .Put(", imei = ")
                            .Bytes(tied.imei)
                            .Put(", tied_at = ")
                            .Value(schema::Required(tied.tiedAt), "timestamptz")
                            .Put(", written_at = ")
                            .Value(schema::Optional(tied.writtenAt.value_or("")), "timestamptz")
                            .Put(" WHERE pool_id = ")
                            .Id(pool)
                            .Put(" AND row_no = ")
                            .Id(tied.id)
                            .Put(" AND ((state = 'reserved' AND station = ")
                            .Text(tied.station)
                            .Put(") OR imei = ")
                            .Bytes(tied.imei)
                            .Put(") RETURNING row_no"));
        if (sent.Rows() == 0) {
            throw NotTiedTo(name, tied.id);
        }
    });
}

}  // namespace records
