#include "records/PostgresRecordStore.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>

#include "records/ItemText.h"
#include "records/PgConnection.h"
#include "records/PostgresSchema.h"

namespace records {

namespace {

// A batch of a few hundred records is answered well within a second; a server
// silent for this long is taken for gone, and the batch waits for the next try.
constexpr std::chrono::seconds kAnswerTimeout(30);

// Rows per INSERT: within the protocol's 65535 parameters of one statement.
constexpr int kRecordsPerInsert = 500;
constexpr int kItemsPerInsert = 4000;

// The form records keep their times in: UTC, milliseconds, 'Z'.
#define UTC_TEXT(column) \
    "to_char(" column " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')"

// A column an INSERT fills, and the cast that types its value where a
// multi-row VALUES list would not.
struct Column {
    std::string_view name;
    std::string_view cast;
};
using Table = std::vector<Column>;

const Table kRecordColumns = {
    {"id", "::uuid"},
    {"started_at", "::timestamptz"},
    {"finished_at", "::timestamptz"},
    {"station", ""},
    {"operator", ""},
    {"port", ""},
    {"command", ""},
    {"imei", ""},
    {"imei_text", ""},
    {"version", ""},
    {"version_text", ""},
    {"result", ""},
    {"message", ""},
    {"message_id", ""},
    {"profile_name", ""},
    {"profile_sha256", ""},
    {"firmware_name", ""},
    {"firmware_sha256", ""},
    {"firmware_bytes", "::bigint"},
    {"tool_version", ""},
    {"code_page", ""},
};
constexpr const char* kRecordSelect =
    "SELECT id, " UTC_TEXT("started_at") ", " UTC_TEXT("finished_at")
    ", station, operator, port, command, imei, version, result, message, message_id, "
    "profile_name, profile_sha256, firmware_name, firmware_sha256, firmware_bytes, tool_version, "
    "code_page FROM device_records";

const Table kItemColumns = {
    {"record_id", "::uuid"}, {"seq", "::integer"},
    {"number", "::integer"}, {"name", ""},
    {"before", ""},          {"wanted", ""},
    {"after", ""},           {"written", "::boolean"},
    {"name_text", ""},       {"before_text", ""},
    {"wanted_text", ""},     {"after_text", ""},
};

// "INSERT INTO table (a, b, …) VALUES ($1::uuid, $2, …), (…)": placeholders
// only, the values go as parameters.
std::string InsertSql(std::string_view table, const Table& columns, std::size_t rows) {
    std::string sql = "INSERT INTO " + std::string(table) + " (";
    for (std::size_t column = 0; column < columns.size(); ++column) {
        sql += column == 0 ? "" : ", ";
        sql += columns[column].name;
    }
    sql += ") VALUES ";
    int parameter = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row == 0 ? "(" : ", (";
        for (std::size_t column = 0; column < columns.size(); ++column) {
            sql += (column == 0 ? "$" : ", $") + std::to_string(++parameter);
            sql += columns[column].cast;
        }
        sql += ")";
    }
    return sql;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The usual text form of a UUID; anything else names no record.
bool LooksLikeUuid(const std::string& id) {
    if (id.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? id[i] != '-' : !std::isxdigit(static_cast<unsigned char>(id[i]))) {
            return false;
        }
    }
    return true;
}

// Empty device bytes are none: NULL, as the station's file keeps them.
std::optional<std::string> Present(const std::string& bytes) {
    return bytes.empty() ? std::nullopt : std::optional<std::string>(bytes);
}

void BindRecord(PgParams& params, const DeviceRecord& record) {
    const ItemText text(record.codePage);
    params.Text(record.id);
    params.Text(record.startedAt);
    params.Text(record.finishedAt);
    params.Text(record.station);
    params.Text(record.operatorName);
    params.Text(record.port);
    params.Text(record.command);
    params.Bytes(Present(record.imei));
    params.TextOrNull(text.Decode(record.imei));
    params.Bytes(Present(record.version));
    params.TextOrNull(text.Decode(record.version));
    params.Text(ResultName(record.result));
    params.TextOrNull(record.message);
    params.TextOrNull(record.messageId);
    params.TextOrNull(record.profileName);
    params.TextOrNull(record.profileSha256);
    params.TextOrNull(record.firmwareName);
    params.TextOrNull(record.firmwareSha256);
    if (record.firmwareBytes) {
        params.Text(std::to_string(*record.firmwareBytes));
    } else {
        params.Null();
    }
    params.TextOrNull(record.toolVersion);
    params.TextOrNull(record.codePage);
}

void BindItem(PgParams& params, const DeviceRecord& record, const ItemText& text, int seq,
              const RecordItem& item) {
    params.Text(record.id);
    params.Text(std::to_string(seq));
    if (item.number == 0) {
        params.Null();
    } else {
        params.Text(std::to_string(item.number));
    }
    params.Bytes(item.name);
    params.Bytes(item.before);
    params.Bytes(item.wanted);
    params.Bytes(item.after);
    params.Text(item.written ? "true" : "false");
    // Unknown bytes decode to "": NULL beside the NULL.
    params.TextOrNull(text.Decode(item.name));
    params.TextOrNull(text.Decode(item.before));
    params.TextOrNull(text.Decode(item.wanted));
    params.TextOrNull(text.Decode(item.after));
}

// The rows of kRecordSelect.
DeviceRecord RecordAt(const PgResult& rows, int row) {
    DeviceRecord record;
    record.id = rows.Text(row, 0);
    record.startedAt = rows.Text(row, 1);
    record.finishedAt = rows.Text(row, 2);
    record.station = rows.Text(row, 3);
    record.operatorName = rows.Text(row, 4);
    record.port = rows.Text(row, 5);
    record.command = rows.Text(row, 6);
    record.imei = rows.Bytes(row, 7);
    record.version = rows.Bytes(row, 8);
    record.result = ParseResult(rows.Text(row, 9)).value_or(Result::Failed);
    record.message = rows.Text(row, 10);
    record.messageId = rows.Text(row, 11);
    record.profileName = rows.Text(row, 12);
    record.profileSha256 = rows.Text(row, 13);
    record.firmwareName = rows.Text(row, 14);
    record.firmwareSha256 = rows.Text(row, 15);
    if (!rows.IsNull(row, 16)) {
        record.firmwareBytes = std::stoll(rows.Text(row, 16));
    }
    record.toolVersion = rows.Text(row, 17);
    record.codePage = rows.Text(row, 18);
    return record;
}

// Each id once, the first one given, in the order of the ids: every pusher
// takes the rows' locks in the same order, so two never wait on each other.
std::vector<const DeviceRecord*> DistinctById(const std::vector<DeviceRecord>& records) {
    std::vector<const DeviceRecord*> distinct;
    std::set<std::string> seen;
    for (const DeviceRecord& record : records) {
        if (seen.insert(Lower(record.id)).second) {
            distinct.push_back(&record);
        }
    }
    std::stable_sort(
        distinct.begin(), distinct.end(),
        [](const DeviceRecord* a, const DeviceRecord* b) { return Lower(a->id) < Lower(b->id); });
    return distinct;
}

// Inserts the records' rows; returns those that were new (lower-case ids).
std::set<std::string> InsertRecords(PgConnection& connection,
                                    const std::vector<const DeviceRecord*>& records) {
    std::set<std::string> added;
    for (std::size_t first = 0; first < records.size(); first += kRecordsPerInsert) {
        const std::size_t count = std::min<std::size_t>(kRecordsPerInsert, records.size() - first);
        PgParams params;
        for (std::size_t i = first; i < first + count; ++i) {
            BindRecord(params, *records[i]);
        }
        const PgResult returned =
            connection.Exec(InsertSql("device_records", kRecordColumns, count) +
                                " ON CONFLICT (id) DO NOTHING RETURNING id",
                            params);
        for (int row = 0; row < returned.Rows(); ++row) {
            added.insert(Lower(returned.Text(row, 0)));
        }
    }
    return added;
}

// One statement's worth of item rows, gathered across records.
class ItemBatch {
public:
    explicit ItemBatch(PgConnection& connection) : connection_(connection) {}

    void Add(const DeviceRecord& record, const ItemText& text, int seq, const RecordItem& item) {
        BindItem(params_, record, text, seq, item);
        if (++rows_ == kItemsPerInsert) {
            Flush();
        }
    }
    void Flush() {
        if (rows_ == 0) {
            return;
        }
        connection_.Exec(InsertSql("record_items", kItemColumns, static_cast<std::size_t>(rows_)),
                         params_);
        params_ = PgParams();
        rows_ = 0;
    }

private:
    PgConnection& connection_;
    PgParams params_;
    int rows_ = 0;
};

}  // namespace

PostgresRecordStore::PostgresRecordStore(const std::string& uri,
                                         std::chrono::milliseconds connectTimeout, int interruptFd)
    : uri_(uri), connectTimeout_(connectTimeout), interruptFd_(interruptFd) {
    MigratePostgres(Connection());
}

PostgresRecordStore::~PostgresRecordStore() = default;

PgConnection& PostgresRecordStore::Connection() {
    if (!connection_ || connection_->Broken()) {
        connection_.reset();
        connection_ =
            std::make_unique<PgConnection>(uri_, connectTimeout_, kAnswerTimeout, interruptFd_);
    }
    return *connection_;
}

void PostgresRecordStore::Add(const DeviceRecord& record) {
    AddAll({record});
}

void PostgresRecordStore::AddAll(const std::vector<DeviceRecord>& records) {
    const std::vector<const DeviceRecord*> distinct = DistinctById(records);
    if (distinct.empty()) {
        return;
    }
    PgConnection& connection = Connection();
    PgTransaction transaction(connection);
    // A record's items go in only with its row: one the server had keeps
    // the items it came with, also when two pushers race with the same id.
    const std::set<std::string> added = InsertRecords(connection, distinct);
    ItemBatch items(connection);
    for (const DeviceRecord* record : distinct) {
        if (!added.contains(Lower(record->id))) {
            continue;
        }
        const ItemText text(record->codePage);
        int seq = 0;
        for (const RecordItem& item : record->items) {
            items.Add(*record, text, ++seq, item);
        }
    }
    items.Flush();
    transaction.Commit();
}

std::vector<DeviceRecord> PostgresRecordStore::Find(const RecordQuery& query) {
    std::string sql = std::string(kRecordSelect) + " WHERE true";
    PgParams params;
    auto where = [&](const char* condition) {
        sql += " AND ";
        sql += condition;
        sql += " $" + std::to_string(params.Count());
    };
    if (!query.imei.empty()) {
        params.Bytes(query.imei);
        where("imei =");
    }
    if (!query.since.empty()) {
        params.Text(query.since);
        where("started_at >=");
        sql += "::timestamptz";
    }
    if (!query.until.empty()) {
        params.Text(query.until);
        where("started_at <");
        sql += "::timestamptz";
    }
    if (query.result) {
        params.Text(ResultName(*query.result));
        where("result =");
    }
    if (!query.station.empty()) {
        params.Text(query.station);
        where("station =");
    }
    sql += " ORDER BY started_at DESC, id";
    if (query.limit > 0) {
        params.Text(std::to_string(query.limit));
        sql += " LIMIT $" + std::to_string(params.Count()) + "::bigint";
    }
    const PgResult rows = Connection().Exec(sql, params);
    std::vector<DeviceRecord> found;
    found.reserve(static_cast<std::size_t>(rows.Rows()));
    for (int row = 0; row < rows.Rows(); ++row) {
        found.push_back(RecordAt(rows, row));
    }
    return found;
}

std::optional<DeviceRecord> PostgresRecordStore::Get(const std::string& id) {
    if (!LooksLikeUuid(id)) {
        return std::nullopt;
    }
    PgParams key;
    key.Text(id);
    PgConnection& connection = Connection();
    const PgResult rows = connection.Exec(std::string(kRecordSelect) + " WHERE id = $1::uuid", key);
    if (rows.Rows() == 0) {
        return std::nullopt;
    }
    DeviceRecord record = RecordAt(rows, 0);
    const PgResult items = connection.Exec(
        "SELECT number, name, before, wanted, after, written FROM record_items "
        "WHERE record_id = $1::uuid ORDER BY seq",
        key);
    for (int row = 0; row < items.Rows(); ++row) {
        RecordItem item;
        item.number = items.IsNull(row, 0) ? 0 : std::stoi(items.Text(row, 0));
        item.name = items.Bytes(row, 1);
        item.before = items.OptionalBytes(row, 2);
        item.wanted = items.OptionalBytes(row, 3);
        item.after = items.OptionalBytes(row, 4);
        item.written = items.Text(row, 5) == "t";
        record.items.push_back(std::move(item));
    }
    return record;
}

}  // namespace records
