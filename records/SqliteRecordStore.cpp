#include "records/SqliteRecordStore.h"

#include <sqlite3.h>

#include "records/ItemText.h"
#include "records/RecordSchema.h"
#include "records/SqliteFile.h"

namespace records {
namespace {

using sqlite::SqliteDdl;
using sqlite::Statement;
using sqlite::Transaction;

// One column of the row a statement stands on.
class SqliteCell : public schema::Cell {
public:
    SqliteCell(Statement& row, int column) : row_(row), column_(column) {}
    bool IsNull() const override { return row_.IsNull(column_); }
    std::string Text() const override { return row_.Bytes(column_); }
    std::string Bytes() const override { return row_.Bytes(column_); }
    std::int64_t Integer() const override { return row_.Int(column_); }

private:
    Statement& row_;
    int column_;
};

// The row the statement stands on.
template <class Table>
typename Table::TargetType ReadRow(const Table& table, Statement& row) {
    return schema::ReadRow(table, [&row](int column) { return SqliteCell(row, column); });
}

std::string RecordSelect() {
    return schema::Select<SqliteDdl>(schema::Records());
}

// "INSERT INTO table (a, b, …) VALUES (?1, ?2, …)"
template <class Table>
std::string InsertSql(const Table& table) {
    return schema::InsertSql(table, 1,
                             [](int number, schema::Type) { return "?" + std::to_string(number); });
}

void ReadItems(sqlite3* db, DeviceRecord& record) {
    static const std::string sql =
        schema::Select<SqliteDdl>(schema::Items()) + " WHERE record_id = ?1 ORDER BY seq";
    Statement items(db, sql.c_str());
    items.Bind({schema::Required(record.id)});
    while (items.Step()) {
        record.items.push_back(ReadRow(schema::Items(), items));
    }
}

}  // namespace

SqliteRecordStore::SqliteRecordStore(const std::string& path, Queue queue)
    : path_(path), queue_(queue), db_(sqlite::OpenRecordsFile(path)) {}

SqliteRecordStore::~SqliteRecordStore() {
    sqlite3_close(db_);
}

void SqliteRecordStore::Add(const DeviceRecord& record) {
    Transaction transaction(db_);
    static const std::string recordSql =
        InsertSql(schema::Records()) + " ON CONFLICT (id) DO NOTHING";
    static const std::string itemSql = InsertSql(schema::Items());
    Statement insert(db_, recordSql.c_str());
    const ItemText text(record.codePage);
    insert.Bind(schema::Bind(schema::Records(), schema::RecordRow{record, text}));
    insert.Run();
    if (sqlite3_changes(db_) == 0) {
        return;  // there already; the transaction ends unchanged
    }
    Statement item(db_, itemSql.c_str());
    int seq = 0;
    for (const RecordItem& it : record.items) {
        item.Reset();
        item.Bind(schema::Bind(schema::Items(), schema::ItemRow{record, text, ++seq, it}));
        item.Run();
    }
    if (queue_ == Queue::ForServer) {
        Statement queued(db_, "INSERT INTO outbox (record_id) VALUES (?1)");
        queued.Bind({schema::Required(record.id)});
        queued.Run();
    }
    transaction.Commit();
}

void SqliteRecordStore::ForEach(const RecordQuery& query,
                                const std::function<void(const DeviceRecord&)>& visit) {
    std::string sql = RecordSelect() + " WHERE 1";
    std::vector<schema::Value> values;
    for (schema::Condition& condition : schema::Conditions(query)) {
        values.push_back(std::move(condition.value));
        sql += " AND " + std::string(condition.test) + " ?" + std::to_string(values.size());
    }
    values.push_back(schema::Integer(query.limit > 0 ? query.limit : -1));
    sql += " ORDER BY started_at DESC, id LIMIT ?" + std::to_string(values.size());
    Statement select(db_, sql.c_str());
    select.Bind(values);
    // Row by row from the statement: SQLite reads the pages as it steps.
    while (select.Step()) {
        visit(ReadRow(schema::Records(), select));
    }
}

std::optional<DeviceRecord> SqliteRecordStore::Get(const std::string& id) {
    Statement select(db_, (RecordSelect() + " WHERE id = ?1").c_str());
    select.Bind({schema::Required(id)});
    if (!select.Step()) {
        return std::nullopt;
    }
    DeviceRecord record = ReadRow(schema::Records(), select);
    ReadItems(db_, record);
    return record;
}

std::vector<DeviceRecord> SqliteRecordStore::Queued(int limit) {
    Statement select(db_, (RecordSelect() + " WHERE id IN (SELECT record_id FROM outbox) "
                                            "ORDER BY started_at, id LIMIT ?1")
                              .c_str());
    select.Bind({schema::Integer(limit > 0 ? limit : -1)});
    std::vector<DeviceRecord> queued;
    while (select.Step()) {
        queued.push_back(ReadRow(schema::Records(), select));
    }
    for (DeviceRecord& record : queued) {
        ReadItems(db_, record);
    }
    return queued;
}

int SqliteRecordStore::QueuedCount() {
    return static_cast<int>(sqlite::QueryInt(db_, "SELECT count(*) FROM outbox"));
}

void SqliteRecordStore::Sent(const std::vector<std::string>& ids) {
    Transaction transaction(db_);
    Statement remove(db_, "DELETE FROM outbox WHERE record_id = ?1");
    for (const std::string& id : ids) {
        remove.Reset();
        remove.Bind({schema::Required(id)});
        remove.Run();
    }
    transaction.Commit();
}

}  // namespace records
