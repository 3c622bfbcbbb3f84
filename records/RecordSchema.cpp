#include "records/RecordSchema.h"

#include <algorithm>
#include <utility>

namespace records::schema {

Value Required(std::string text) {
    return Value{Value::Kind::Text, std::move(text), 0};
}

Value Optional(std::string text) {
    return text.empty() ? Value() : Required(std::move(text));
}

Value Bytes(std::optional<std::string> bytes) {
    return bytes ? Value{Value::Kind::Bytes, std::move(*bytes), 0} : Value();
}

Value PresentBytes(const std::string& bytes) {
    return bytes.empty() ? Value() : Bytes(bytes);
}

Value Integer(std::optional<std::int64_t> number) {
    return number ? Value{Value::Kind::Integer, std::string(), *number} : Value();
}

Value Flag(bool set) {
    return Value{Value::Kind::Flag, std::string(), set ? 1 : 0};
}

std::string TextForm(const Value& value) {
    switch (value.kind) {
        case Value::Kind::Integer:
            return std::to_string(value.number);
        case Value::Kind::Flag:
            return value.number != 0 ? "true" : "false";
        default:
            return value.text;
    }
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

namespace {

constexpr const char* kResultCheck =
    "NOT NULL CHECK (\"result\" IN ('ok', 'failed', 'interrupted'))";

// Device bytes read back into the field they came from.
void ReadBytes(std::string& field, const Cell& cell) {
    field = cell.Bytes();
}
void ReadBytes(std::optional<std::string>& field, const Cell& cell) {
    field = cell.IsNull() ? std::nullopt : std::optional<std::string>(cell.Bytes());
}

const DeviceRecord& Source(const RecordRow& row) {
    return row.record;
}
const RecordItem& Source(const ItemRow& row) {
    return row.item;
}

using RecordColumn = Column<RecordRow, DeviceRecord>;
using TextField = std::string DeviceRecord::*;

// Most columns hold one field as it is; these make them.

// Bind: Optional, or Required where empty text is kept as given.
template <TextField Field, auto Bind = Optional>
RecordColumn TextColumn(std::string_view name, Type type = Type::Text,
                        std::string_view constraint = "", int since = 1) {
    const auto bind = [](const RecordRow& r) { return Bind(r.record.*Field); };
    const auto read = [](DeviceRecord& d, const Cell& c) { d.*Field = c.Text(); };
    return {name, type, constraint, since, bind, read};
}

// Bind: Bytes, or PresentBytes where empty bytes are none.
template <auto Field, class Row, class Target, auto Bind = Bytes>
Column<Row, Target> DeviceBytes(std::string_view name, int since = 1) {
    const auto bind = [](const Row& r) { return Bind(Source(r).*Field); };
    const auto read = [](Target& t, const Cell& c) { ReadBytes(t.*Field, c); };
    return {name, Type::Bytes, "", since, bind, read};
}

// The readable copy beside device bytes: written only.
template <auto Field, class Row, class Target>
Column<Row, Target> ReadableCopy(std::string_view name, int since = 1) {
    const auto bind = [](const Row& r) { return Optional(r.text.Decode(Source(r).*Field)); };
    return {name, Type::Text, "", since, bind, nullptr};
}

}  // namespace

// The names are those the MES queries: they stay.
const RecordTable& Records() {
    using R = RecordRow;
    using D = DeviceRecord;
    static const RecordTable table{
        "device_records",
        {
            TextColumn<&D::id, Required>("id", Type::Id, "PRIMARY KEY NOT NULL"),
            TextColumn<&D::startedAt, Required>("started_at", Type::Time, "NOT NULL"),
            TextColumn<&D::finishedAt, Required>("finished_at", Type::Time, "NOT NULL"),
            TextColumn<&D::station, Required>("station", Type::Text, "NOT NULL"),
            TextColumn<&D::operatorName, Required>("operator", Type::Text, "NOT NULL"),
            TextColumn<&D::port, Required>("port", Type::Text, "NOT NULL"),
            TextColumn<&D::command, Required>("command", Type::Text, "NOT NULL"),
            DeviceBytes<&D::imei, R, D, PresentBytes>("imei"),
            ReadableCopy<&D::imei, R, D>("imei_text"),
            DeviceBytes<&D::version, R, D, PresentBytes>("version"),
            ReadableCopy<&D::version, R, D>("version_text"),
            {"result", Type::Text, kResultCheck, 1,
             [](const R& r) { return Required(ResultName(r.record.result)); },
             [](D& d, const Cell& c) {
                 d.result = ParseResult(c.Text()).value_or(Result::Failed);
             }},
            TextColumn<&D::message>("message"),
            TextColumn<&D::messageId>("message_id"),
            TextColumn<&D::profileName>("profile_name"),
            TextColumn<&D::profileSha256>("profile_sha256"),
            TextColumn<&D::firmwareName>("firmware_name"),
            TextColumn<&D::firmwareSha256>("firmware_sha256"),
            {"firmware_bytes", Type::BigInt, "", 1,
             [](const R& r) { return Integer(r.record.firmwareBytes); },
             [](D& d, const Cell& c) {
                 d.firmwareBytes =
                     c.IsNull() ? std::nullopt : std::optional<std::int64_t>(c.Integer());
             }},
            TextColumn<&D::toolVersion>("tool_version"),
            TextColumn<&D::codePage>("code_page"),
        },
        "",
        1,
        false,
    };
    return table;
}

const ItemTable& Items() {
    using R = ItemRow;
    using I = RecordItem;
    static const ItemTable table{
        "record_items",
        {
            {"record_id", Type::Id, "NOT NULL REFERENCES device_records (\"id\")", 1,
             [](const R& r) { return Required(r.record.id); }, nullptr},
            {"seq", Type::Integer, "NOT NULL", 1, [](const R& r) { return Integer(r.seq); },
             nullptr},
            {"number", Type::Integer, "", 1,
             [](const R& r) {
                 return Integer(r.item.number != 0 ? std::optional<std::int64_t>(r.item.number)
                                                   : std::nullopt);
             },
             [](I& i, const Cell& c) {
                 i.number = c.IsNull() ? 0 : static_cast<int>(c.Integer());
             }},
            DeviceBytes<&I::name, R, I>("name"),
            DeviceBytes<&I::before, R, I>("before"),
            DeviceBytes<&I::wanted, R, I>("wanted"),
            DeviceBytes<&I::after, R, I>("after"),
            {"written", Type::Flag, "NOT NULL", 1, [](const R& r) { return Flag(r.item.written); },
             [](I& i, const Cell& c) { i.written = c.Integer() != 0; }},
            // Unknown bytes decode to "": NULL beside the NULL.
            ReadableCopy<&I::name, R, I>("name_text"),
            ReadableCopy<&I::before, R, I>("before_text"),
            ReadableCopy<&I::wanted, R, I>("wanted_text"),
            ReadableCopy<&I::after, R, I>("after_text"),
            // Last, where a file's ADD COLUMN put it: a table made new and one
            // migrated list their columns alike.
            {"source", Type::Text, "", 2, [](const R& r) { return Optional(r.item.source); },
             [](I& i, const Cell& c) { i.source = c.Text(); }},
        },
        "PRIMARY KEY (\"record_id\", \"seq\")",
        1,
        true,
    };
    return table;
}

std::vector<Condition> Conditions(const RecordQuery& query) {
    std::vector<Condition> conditions;
    if (!query.imei.empty()) {
        conditions.push_back({"imei =", Type::Bytes, Bytes(query.imei)});
    }
    if (!query.since.empty()) {
        conditions.push_back({"started_at >=", Type::Time, Required(query.since)});
    }
    if (!query.until.empty()) {
        conditions.push_back({"started_at <", Type::Time, Required(query.until)});
    }
    if (query.result) {
        conditions.push_back({"result =", Type::Text, Required(ResultName(*query.result))});
    }
    if (!query.station.empty()) {
        conditions.push_back({"station =", Type::Text, Required(query.station)});
    }
    return conditions;
}

int LatestVersion(const StoreSteps& own) {
    int latest = static_cast<int>(own.size());
    const auto take = [&](const auto& table) {
        latest = std::max(latest, table.since);
        for (const auto& column : table.columns) {
            latest = std::max(latest, column.since);
        }
    };
    take(Records());
    take(Items());
    return latest;
}

}  // namespace records::schema
