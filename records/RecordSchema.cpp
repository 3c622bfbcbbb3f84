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

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

namespace {

constexpr const char* kResultCheck =
    "NOT NULL CHECK (\"result\" IN ('ok', 'failed', 'interrupted'))";

std::optional<std::string> OptionalBytes(const Cell& cell) {
    return cell.IsNull() ? std::nullopt : std::optional<std::string>(cell.Bytes());
}

}  // namespace

// The names are those the MES queries: they stay.
const RecordTable& Records() {
    using R = RecordRow;
    using D = DeviceRecord;
    static const RecordTable table{
        "device_records",
        {
            {"id", Type::Id, "PRIMARY KEY NOT NULL", 1,
             [](const R& r) { return Required(r.record.id); },
             [](D& d, const Cell& c) { d.id = c.Text(); }},
            {"started_at", Type::Time, "NOT NULL", 1,
             [](const R& r) { return Required(r.record.startedAt); },
             [](D& d, const Cell& c) { d.startedAt = c.Text(); }},
            {"finished_at", Type::Time, "NOT NULL", 1,
             [](const R& r) { return Required(r.record.finishedAt); },
             [](D& d, const Cell& c) { d.finishedAt = c.Text(); }},
            {"station", Type::Text, "NOT NULL", 1,
             [](const R& r) { return Required(r.record.station); },
             [](D& d, const Cell& c) { d.station = c.Text(); }},
            {"operator", Type::Text, "NOT NULL", 1,
             [](const R& r) { return Required(r.record.operatorName); },
             [](D& d, const Cell& c) { d.operatorName = c.Text(); }},
            {"port", Type::Text, "NOT NULL", 1, [](const R& r) { return Required(r.record.port); },
             [](D& d, const Cell& c) { d.port = c.Text(); }},
            {"command", Type::Text, "NOT NULL", 1,
             [](const R& r) { return Required(r.record.command); },
             [](D& d, const Cell& c) { d.command = c.Text(); }},
            {"imei", Type::Bytes, "", 1, [](const R& r) { return PresentBytes(r.record.imei); },
             [](D& d, const Cell& c) { d.imei = c.Bytes(); }},
            {"imei_text", Type::Text, "", 1,
             [](const R& r) { return Optional(r.text.Decode(r.record.imei)); }, nullptr},
            {"version", Type::Bytes, "", 1,
             [](const R& r) { return PresentBytes(r.record.version); },
             [](D& d, const Cell& c) { d.version = c.Bytes(); }},
            {"version_text", Type::Text, "", 1,
             [](const R& r) { return Optional(r.text.Decode(r.record.version)); }, nullptr},
            {"result", Type::Text, kResultCheck, 1,
             [](const R& r) { return Required(ResultName(r.record.result)); },
             [](D& d, const Cell& c) {
                 d.result = ParseResult(c.Text()).value_or(Result::Failed);
             }},
            {"message", Type::Text, "", 1, [](const R& r) { return Optional(r.record.message); },
             [](D& d, const Cell& c) { d.message = c.Text(); }},
            {"message_id", Type::Text, "", 1,
             [](const R& r) { return Optional(r.record.messageId); },
             [](D& d, const Cell& c) { d.messageId = c.Text(); }},
            {"profile_name", Type::Text, "", 1,
             [](const R& r) { return Optional(r.record.profileName); },
             [](D& d, const Cell& c) { d.profileName = c.Text(); }},
            {"profile_sha256", Type::Text, "", 1,
             [](const R& r) { return Optional(r.record.profileSha256); },
             [](D& d, const Cell& c) { d.profileSha256 = c.Text(); }},
            {"firmware_name", Type::Text, "", 1,
             [](const R& r) { return Optional(r.record.firmwareName); },
             [](D& d, const Cell& c) { d.firmwareName = c.Text(); }},
            {"firmware_sha256", Type::Text, "", 1,
             [](const R& r) { return Optional(r.record.firmwareSha256); },
             [](D& d, const Cell& c) { d.firmwareSha256 = c.Text(); }},
            {"firmware_bytes", Type::BigInt, "", 1,
             [](const R& r) { return Integer(r.record.firmwareBytes); },
             [](D& d, const Cell& c) {
                 d.firmwareBytes =
                     c.IsNull() ? std::nullopt : std::optional<std::int64_t>(c.Integer());
             }},
            {"tool_version", Type::Text, "", 1,
             [](const R& r) { return Optional(r.record.toolVersion); },
             [](D& d, const Cell& c) { d.toolVersion = c.Text(); }},
            {"code_page", Type::Text, "", 1, [](const R& r) { return Optional(r.record.codePage); },
             [](D& d, const Cell& c) { d.codePage = c.Text(); }},
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
            {"name", Type::Bytes, "", 1, [](const R& r) { return Bytes(r.item.name); },
             [](I& i, const Cell& c) { i.name = c.Bytes(); }},
            {"before", Type::Bytes, "", 1, [](const R& r) { return Bytes(r.item.before); },
             [](I& i, const Cell& c) { i.before = OptionalBytes(c); }},
            {"wanted", Type::Bytes, "", 1, [](const R& r) { return Bytes(r.item.wanted); },
             [](I& i, const Cell& c) { i.wanted = OptionalBytes(c); }},
            {"after", Type::Bytes, "", 1, [](const R& r) { return Bytes(r.item.after); },
             [](I& i, const Cell& c) { i.after = OptionalBytes(c); }},
            {"written", Type::Flag, "NOT NULL", 1, [](const R& r) { return Flag(r.item.written); },
             [](I& i, const Cell& c) { i.written = c.Integer() != 0; }},
            // Unknown bytes decode to "": NULL beside the NULL.
            {"name_text", Type::Text, "", 1,
             [](const R& r) { return Optional(r.text.Decode(r.item.name)); }, nullptr},
            {"before_text", Type::Text, "", 1,
             [](const R& r) { return Optional(r.text.Decode(r.item.before)); }, nullptr},
            {"wanted_text", Type::Text, "", 1,
             [](const R& r) { return Optional(r.text.Decode(r.item.wanted)); }, nullptr},
            {"after_text", Type::Text, "", 1,
             [](const R& r) { return Optional(r.text.Decode(r.item.after)); }, nullptr},
        },
        "PRIMARY KEY (\"record_id\", \"seq\")",
        1,
        true,
    };
    return table;
}

int LatestVersion() {
    int latest = 0;
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
