#include "records/SqlitePoolStore.h"

#include <sqlite3.h>

#include "records/SqliteFile.h"

namespace records {
namespace {

using sqlite::Statement;
using sqlite::Transaction;

// The form the records keep their times in.
constexpr const char* kNow = "strftime('%Y-%m-%dT%H:%M:%fZ', 'now')";

std::int64_t PoolId(sqlite3* db, const std::string& name) {
    Statement select(db, "SELECT id FROM value_pools WHERE name = ?1");
    select.Bind({schema::Required(name)});
    if (!select.Step()) {
        throw UnknownPool(name);
    }
    return select.Int(0);
}

std::vector<std::string> Cells(sqlite3* db, std::int64_t pool, std::int64_t row) {
    Statement select(db,
                     "SELECT value FROM value_pool_cells WHERE pool_id = ?1 AND row_no = ?2 "
                     "ORDER BY col");
    select.Bind({schema::Integer(pool), schema::Integer(row)});
    std::vector<std::string> cells;
    while (select.Step()) {
        cells.push_back(select.Bytes(0));
    }
    return cells;
}

constexpr const char* kRowColumns =
    "SELECT p.name, p.id, r.row_no, r.line, r.state, r.imei, r.station, r.tied_at, r.written_at "
    "FROM value_pool_rows r JOIN value_pools p ON p.id = r.pool_id ";

// A row of kRowColumns, with its cells.
PoolRow ReadRow(sqlite3* db, Statement& row) {
    PoolRow read;
    read.pool = row.Bytes(0);
    read.id = row.Int(2);
    read.line = static_cast<int>(row.Int(3));
    read.state = StateNamed(row.Bytes(4));
    read.imei = row.Bytes(5);
    read.station = row.Bytes(6);
    read.tiedAt = row.Bytes(7);
    if (!row.IsNull(8)) {
        read.writtenAt = row.Bytes(8);
    }
    read.cells = Cells(db, row.Int(1), read.id);
    return read;
}

std::optional<PoolRow> RowWhere(sqlite3* db, const std::string& where,
                                const schema::Values& values) {
    Statement select(db, kRowColumns + where);
    select.Bind(values);
    if (!select.Step()) {
        return std::nullopt;
    }
    return ReadRow(db, select);
}

constexpr const char* kCounts =
    "SELECT p.name, p.imported_at, count(r.row_no), count(*) FILTER (WHERE r.state = 'tied'), "
    "count(*) FILTER (WHERE r.state = 'written'), count(*) FILTER (WHERE r.state = 'free'), p.id, "
    "count(*) FILTER (WHERE r.state = 'reserved') "
    "FROM value_pools p LEFT JOIN value_pool_rows r ON r.pool_id = p.id ";

std::vector<PoolStatus> Counts(sqlite3* db, const std::string& where,
                               const schema::Values& values) {
    Statement select(db, kCounts + where + " GROUP BY p.id ORDER BY p.name");
    select.Bind(values);
    std::vector<PoolStatus> found;
    std::vector<std::int64_t> ids;
    while (select.Step()) {
        PoolStatus status;
        status.name = select.Bytes(0);
        status.importedAt = select.Bytes(1);
        status.rows = select.Int(2);
        status.tied = select.Int(3);
        status.written = select.Int(4);
        status.free = select.Int(5);
        status.reserved = select.Int(7);
        found.push_back(status);
        ids.push_back(select.Int(6));
    }
    Statement columns(db, "SELECT item FROM value_pool_columns WHERE pool_id = ?1 ORDER BY col");
    for (std::size_t i = 0; i < found.size(); ++i) {
        columns.Reset();
        columns.Bind({schema::Integer(ids[i])});
        while (columns.Step()) {
            found[i].columns.push_back(columns.Bytes(0));
        }
    }
    return found;
}

}  // namespace

SqlitePoolStore::SqlitePoolStore(const std::string& path, Queue queue)
    : queue_(queue), db_(sqlite::OpenRecordsFile(path)) {}

void SqlitePoolStore::Enqueue(std::int64_t pool, std::int64_t rowId) {
    if (queue_ == Queue::ForServer) {
        Statement queued(db_,
                         "INSERT INTO value_pool_outbox (pool_id, row_no) VALUES (?1, ?2) "
                         "ON CONFLICT DO NOTHING");
        queued.Bind({schema::Integer(pool), schema::Integer(rowId)});
        queued.Run();
    }
}

SqlitePoolStore::~SqlitePoolStore() {
    sqlite3_close(db_);
}

void SqlitePoolStore::Import(const std::string& name, const std::vector<std::string>& columns,
                             const std::vector<PoolImportRow>& rows) {
    CheckImport(name, columns, rows);
    Transaction transaction(db_);
    Statement pool(db_, std::string("INSERT INTO value_pools (name, imported_at) VALUES (?1, ") +
                            kNow + ") ON CONFLICT (name) DO NOTHING RETURNING id");
    pool.Bind({schema::Required(name)});
    if (!pool.Step()) {
        throw PoolExists(name);
    }
    const std::int64_t id = pool.Int(0);
    pool.Run();
    Statement column(db_,
                     "INSERT INTO value_pool_columns (pool_id, col, item) VALUES (?1, ?2, ?3)");
    for (std::size_t i = 0; i < columns.size(); ++i) {
        column.Reset();
        column.Bind({schema::Integer(id), schema::Integer(static_cast<std::int64_t>(i + 1)),
                     schema::Required(columns[i])});
        column.Run();
    }
    // One statement each, prepared once: SQLite takes a row in microseconds
    // inside one transaction, so 100,000 need no multi-row batches.
    Statement row(db_, "INSERT INTO value_pool_rows (pool_id, row_no, line) VALUES (?1, ?2, ?3)");
    Statement cell(db_,
                   "INSERT INTO value_pool_cells (pool_id, row_no, col, value) "
                   "VALUES (?1, ?2, ?3, ?4)");
    std::int64_t number = 0;
    for (const PoolImportRow& imported : rows) {
        ++number;
        row.Reset();
        row.Bind({schema::Integer(id), schema::Integer(number), schema::Integer(imported.line)});
        row.Run();
        for (std::size_t i = 0; i < imported.cells.size(); ++i) {
            cell.Reset();
            cell.Bind({schema::Integer(id), schema::Integer(number),
                       schema::Integer(static_cast<std::int64_t>(i + 1)),
                       schema::Bytes(imported.cells[i])});
            cell.Run();
        }
    }
    transaction.Commit();
}

std::optional<PoolRow> SqlitePoolStore::Draw(const std::string& name, const std::string& imei,
                                             const std::string& station) {
    // The write lock first: another worker's draw waits until this one has
    // tied its row, and then finds it taken.
    Transaction transaction(db_);
    const std::int64_t pool = PoolId(db_, name);
    const schema::Values mine{schema::Integer(pool), schema::Bytes(imei)};
    if (auto row = RowWhere(db_, "WHERE r.pool_id = ?1 AND r.imei = ?2", mine)) {
        return row;
    }
    Statement take(db_, std::string("UPDATE value_pool_rows SET state = 'tied', imei = ?2, "
                                    "station = ?3, tied_at = ") +
                            kNow +
                            " WHERE pool_id = ?1 AND row_no = (SELECT row_no FROM "
                            "value_pool_rows WHERE pool_id = ?1 AND state = 'free' "
                            "AND (station IS NULL OR station = ?3) "
                            "ORDER BY row_no LIMIT 1) RETURNING row_no");
    take.Bind({schema::Integer(pool), schema::Bytes(imei), schema::Required(station)});
    if (!take.Step()) {
        return std::nullopt;
    }
    const std::int64_t taken = take.Int(0);
    take.Run();
    Enqueue(pool, taken);
    auto row = RowWhere(db_, "WHERE r.pool_id = ?1 AND r.imei = ?2", mine);
    transaction.Commit();
    if (row) {
        row->drawnNow = true;
    }
    return row;
}

void SqlitePoolStore::MarkWritten(const std::string& name, std::int64_t rowId,
                                  const std::string& imei) {
    Transaction transaction(db_);
    const std::int64_t pool = PoolId(db_, name);
    Statement mark(db_, std::string("UPDATE value_pool_rows SET state = 'written', written_at = "
                                    "coalesce(written_at, ") +
                            kNow +
                            ") WHERE pool_id = ?1 AND row_no = ?2 AND imei = ?3 RETURNING row_no");
    mark.Bind({schema::Integer(pool), schema::Integer(rowId), schema::Bytes(imei)});
    if (!mark.Step()) {
        throw NotTiedTo(name, rowId);
    }
    mark.Run();
    Enqueue(pool, rowId);
    transaction.Commit();
}

bool SqlitePoolStore::Release(const std::string& name, std::int64_t rowId,
                              const std::string& imei) {
    Transaction transaction(db_);
    const std::int64_t pool = PoolId(db_, name);
    // A row of a station's block goes back to that block, still its
    // station's: another station sharing the file must not draw it.
    Statement release(db_,
                      "UPDATE value_pool_rows SET state = 'free', imei = NULL, station = CASE "
                      "WHEN ?4 THEN station END, tied_at = NULL WHERE pool_id = ?1 AND "
                      "row_no = ?2 AND imei = ?3 AND state = 'tied'");
    release.Bind({schema::Integer(pool), schema::Integer(rowId), schema::Bytes(imei),
                  schema::Integer(queue_ == Queue::ForServer ? 1 : 0)});
    release.Run();
    const bool released = sqlite3_changes(db_) > 0;
    if (released) {
        Statement unqueue(db_, "DELETE FROM value_pool_outbox WHERE pool_id = ?1 AND row_no = ?2");
        unqueue.Bind({schema::Integer(pool), schema::Integer(rowId)});
        unqueue.Run();
    }
    transaction.Commit();
    return released;
}

PoolStatus SqlitePoolStore::Status(const std::string& name) {
    std::vector<PoolStatus> found = Counts(db_, "WHERE p.name = ?1", {schema::Required(name)});
    if (found.empty()) {
        throw UnknownPool(name);
    }
    return found.front();
}

std::vector<PoolStatus> SqlitePoolStore::List() {
    return Counts(db_, "", {});
}

std::vector<PoolRow> SqlitePoolStore::ForImei(const std::string& imei) {
    Statement select(db_, std::string(kRowColumns) + "WHERE r.imei = ?1 ORDER BY p.name");
    select.Bind({schema::Bytes(imei)});
    std::vector<PoolRow> rows;
    while (select.Step()) {
        rows.push_back(ReadRow(db_, select));
    }
    return rows;
}

void SqlitePoolStore::KeepReserved(const PoolStatus& pool, const std::vector<PoolRow>& rows) {
    Transaction transaction(db_);
    DropOtherImport(pool);
    Statement made(db_,
                   "INSERT INTO value_pools (name, imported_at) VALUES (?1, ?2) "
                   "ON CONFLICT (name) DO NOTHING RETURNING id");
    made.Bind({schema::Required(pool.name), schema::Required(pool.importedAt)});
    if (made.Step()) {
        const std::int64_t id = made.Int(0);
        made.Run();
        Statement column(db_,
                         "INSERT INTO value_pool_columns (pool_id, col, item) VALUES (?1, ?2, ?3)");
        for (std::size_t i = 0; i < pool.columns.size(); ++i) {
            column.Reset();
            column.Bind({schema::Integer(id), schema::Integer(static_cast<std::int64_t>(i + 1)),
                         schema::Required(pool.columns[i])});
            column.Run();
        }
    }
    const std::int64_t id = PoolId(db_, pool.name);
    // Each row stays marked with the station the server set it aside for:
    // two stations sharing one file never draw each other's.
    Statement row(db_,
                  "INSERT INTO value_pool_rows (pool_id, row_no, line, station) "
                  "VALUES (?1, ?2, ?3, ?4) ON CONFLICT DO NOTHING");
    Statement cell(db_,
                   "INSERT INTO value_pool_cells (pool_id, row_no, col, value) "
                   "VALUES (?1, ?2, ?3, ?4) ON CONFLICT DO NOTHING");
    for (const PoolRow& reserved : rows) {
        row.Reset();
        row.Bind({schema::Integer(id), schema::Integer(reserved.id), schema::Integer(reserved.line),
                  schema::Required(reserved.station)});
        row.Run();
        for (std::size_t i = 0; i < reserved.cells.size(); ++i) {
            cell.Reset();
            cell.Bind({schema::Integer(id), schema::Integer(reserved.id),
                       schema::Integer(static_cast<std::int64_t>(i + 1)),
                       schema::Bytes(reserved.cells[i])});
            cell.Run();
        }
    }
    transaction.Commit();
}

std::vector<PoolRow> SqlitePoolStore::QueuedTies() {
    Statement select(db_, std::string(kRowColumns) +
                              "JOIN value_pool_outbox o ON o.pool_id = r.pool_id AND "
                              "o.row_no = r.row_no ORDER BY p.name, r.row_no");
    std::vector<PoolRow> rows;
    while (select.Step()) {
        rows.push_back(ReadRow(db_, select));
    }
    return rows;
}

void SqlitePoolStore::TieSent(const PoolRow& sent) {
    Statement remove(db_,
                     "DELETE FROM value_pool_outbox WHERE pool_id = (SELECT id FROM value_pools "
                     "WHERE name = ?1) AND row_no = ?2 AND EXISTS (SELECT 1 FROM value_pool_rows r "
                     "WHERE r.pool_id = value_pool_outbox.pool_id AND r.row_no = ?2 "
                     "AND r.state = ?3)");
    remove.Bind({schema::Required(sent.pool), schema::Integer(sent.id),
                 schema::Required(StateName(sent.state))});
    remove.Run();
}

std::int64_t SqlitePoolStore::ReservedLeft(const std::string& name, const std::string& station) {
    Statement count(db_,
                    "SELECT count(*) FROM value_pool_rows r JOIN value_pools p ON p.id = r.pool_id "
                    "WHERE p.name = ?1 AND r.state = 'free' AND r.station = ?2");
    count.Bind({schema::Required(name), schema::Required(station)});
    return count.Step() ? count.Int(0) : 0;
}

std::optional<bool> SqlitePoolStore::TiedUnsent(const std::string& name, std::int64_t rowId,
                                                const std::string& imei) {
    Statement select(db_,
                     "SELECT EXISTS (SELECT 1 FROM value_pool_outbox o WHERE o.pool_id = "
                     "r.pool_id AND o.row_no = r.row_no) FROM value_pool_rows r JOIN value_pools p "
                     "ON p.id = r.pool_id WHERE p.name = ?1 AND r.row_no = ?2 AND r.imei = ?3 "
                     "AND r.state = 'tied'");
    select.Bind({schema::Required(name), schema::Integer(rowId), schema::Bytes(imei)});
    if (!select.Step()) {
        return std::nullopt;
    }
    return select.Int(0) != 0;
}

void SqlitePoolStore::ForgetOtherImport(const PoolStatus& server) {
    Transaction transaction(db_);
    DropOtherImport(server);
    transaction.Commit();
}

void SqlitePoolStore::DropOtherImport(const PoolStatus& pool) {
    Statement kept(db_,
                   "SELECT p.id FROM value_pools p WHERE p.name = ?1 AND p.imported_at <> ?2 AND "
                   "NOT EXISTS (SELECT 1 FROM value_pool_outbox o WHERE o.pool_id = p.id)");
    kept.Bind({schema::Required(pool.name), schema::Required(pool.importedAt)});
    if (!kept.Step()) {
        return;
    }
    const std::int64_t id = kept.Int(0);
    kept.Run();
    for (const char* sql : {"DELETE FROM value_pool_cells WHERE pool_id = ?1",
                            "DELETE FROM value_pool_rows WHERE pool_id = ?1",
                            "DELETE FROM value_pool_columns WHERE pool_id = ?1",
                            "DELETE FROM value_pools WHERE id = ?1"}) {
        Statement remove(db_, sql);
        remove.Bind({schema::Integer(id)});
        remove.Run();
    }
}

void SqlitePoolStore::Forget(const std::string& name, std::int64_t rowId) {
    Transaction transaction(db_);
    const std::int64_t pool = PoolId(db_, name);
    for (const char* sql : {"DELETE FROM value_pool_outbox WHERE pool_id = ?1 AND row_no = ?2",
                            "DELETE FROM value_pool_cells WHERE pool_id = ?1 AND row_no = ?2",
                            "DELETE FROM value_pool_rows WHERE pool_id = ?1 AND row_no = ?2"}) {
        Statement remove(db_, sql);
        remove.Bind({schema::Integer(pool), schema::Integer(rowId)});
        remove.Run();
    }
    transaction.Commit();
}

}  // namespace records
