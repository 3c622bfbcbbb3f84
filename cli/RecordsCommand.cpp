#include "cli/RecordsCommand.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <tuple>

#include "cfgfile/FileIo.h"
#include "cli/Commands.h"
#include "common/TextOutput.h"
#include "job/DeviceRecorder.h"
#include "job/RecordsForwarding.h"
#include "records/Forwarder.h"
#include "records/ItemText.h"
#include "records/ServerRecordStore.h"
#include "records/SqliteRecordStore.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

std::string Readable(const records::DeviceRecord& record, const std::string& bytes) {
    return records::ItemText(record.codePage).Decode(bytes);
}

Json JsonOf(const records::DeviceRecord& r) {
    return {{"id", r.id},
            {"started_at", r.startedAt},
            {"finished_at", r.finishedAt},
            {"station", r.station},
            {"operator", r.operatorName},
            {"port", r.port},
            {"command", r.command},
            {"imei", Readable(r, r.imei)},
            {"version", Readable(r, r.version)},
            {"result", records::ResultName(r.result)},
            {"message", r.message},
            {"message_id", r.messageId},
            {"profile_name", r.profileName},
            {"profile_sha256", r.profileSha256},
            {"firmware_name", r.firmwareName},
            {"firmware_sha256", r.firmwareSha256},
            {"firmware_bytes", r.firmwareBytes ? Json(*r.firmwareBytes) : Json(nullptr)},
            {"tool_version", r.toolVersion}};
}

Json JsonOf(const records::DeviceRecord& r, const records::RecordItem& item) {
    const auto optional = [&](const std::optional<std::string>& bytes) {
        return bytes ? Json(Readable(r, *bytes)) : Json(nullptr);
    };
    return {{"number", item.number != 0 ? Json(item.number) : Json(nullptr)},
            {"name", Readable(r, item.name)},
            {"before", optional(item.before)},
            {"wanted", optional(item.wanted)},
            {"after", optional(item.after)},
            {"written", item.written},
            {"source", item.source.empty() ? Json(nullptr) : Json(item.source)}};
}

std::vector<std::string> ListedFields(const records::DeviceRecord& r) {
    return {r.startedAt,
            records::ResultName(r.result),
            Readable(r, r.imei),
            r.station,
            r.port,
            r.command,
            r.message,
            r.id};
}

std::vector<std::string> ListedHeader() {
    return {Console::Text(res::IDS_CLI_COLUMN_STARTED), Console::Text(res::IDS_CLI_COLUMN_RESULT),
            Console::Text(res::IDS_CLI_LABEL_IMEI),     Console::Text(res::IDS_CLI_COLUMN_STATION),
            Console::Text(res::IDS_CLI_COLUMN_PORT),    Console::Text(res::IDS_CLI_COLUMN_COMMAND),
            Console::Text(res::IDS_CLI_COLUMN_MESSAGE), Console::Text(res::IDS_CLI_COLUMN_RECORD)};
}

// The listing written as the store hands each record over, so that it takes
// the memory of one record however many there are. The bytes are those of
// the whole list written at once; only the plain table is aligned a part of
// kTablePart rows at a time, each part as wide as the parts before it.
class Listing {
public:
    Listing(Console& console, RecordsFormat format) : console_(console), format_(format) {}

    void Add(const records::DeviceRecord& r) {
        std::ostream& out = console_.Out();
        switch (format_) {
            case RecordsFormat::Json:
                // As the whole array's dump(2) puts each element: indented
                // once more, after a comma for all but the first.
                out << (count_ == 0 ? "[\n  " : ",\n  ")
                    << Indented(common::InertJson(
                           JsonOf(r).dump(2, ' ', false, Json::error_handler_t::replace)));
                break;
            case RecordsFormat::Csv:
                if (count_ == 0) {
                    out << common::CsvRecord(ListedHeader());
                }
                out << common::CsvRecord(ListedFields(r));
                break;
            case RecordsFormat::Table:
                part_.push_back(ListedFields(r));
                if (part_.size() == kTablePart) {
                    WritePart();
                }
                break;
        }
        ++count_;
    }

    void End() {
        std::ostream& out = console_.Out();
        if (format_ == RecordsFormat::Json) {
            out << (count_ == 0 ? "[]\n" : "\n]\n");
        } else if (format_ == RecordsFormat::Csv && count_ == 0) {
            out << common::CsvRecord(ListedHeader());
        } else if (format_ == RecordsFormat::Table && count_ == 0) {
            out << std::flush;
            console_.Message(res::IDS_RECORDS_NONE_FOUND);
            return;
        }
        WritePart();
        out << std::flush;
    }

    // A lookup that failed midway: what came goes out, and a JSON array is
    // left open, so that no reader takes the part for the whole.
    void Abandon() {
        WritePart();
        console_.Out() << std::flush;
    }

private:
    static constexpr std::size_t kTablePart = 1000;

    static std::string Indented(const std::string& json) {
        std::string out;
        out.reserve(json.size() + json.size() / 16);
        for (const char c : json) {
            out += c;
            // A line break is never inside a JSON string: there it is "\n".
            if (c == '\n') {
                out += "  ";
            }
        }
        return out;
    }

    void WritePart() {
        if (!part_.empty()) {
            console_.Out() << common::FormatTablePart(ListedHeader(), part_, widths_);
            part_.clear();
        }
    }

    Console& console_;
    RecordsFormat format_;
    std::size_t count_ = 0;
    std::vector<std::vector<std::string>> part_;
    std::vector<std::size_t> widths_;
};

int Failed(Console& console, const records::RecordsSetting& where, const std::exception& e) {
    console.Message(res::IDS_RECORDS_CANNOT_READ,
                    {job::RecordsPlace(where), job::StoreFailureText(e)});
    return kExitFailed;
}

}  // namespace

int RunRecordsList(Console& console, const records::RecordsSetting& where,
                   const records::RecordQuery& query, RecordsFormat format) {
    Listing listing(console, format);
    try {
        job::OpenLookupStore(where)->ForEach(
            query, [&listing](const records::DeviceRecord& r) { listing.Add(r); });
    } catch (const std::exception& e) {
        listing.Abandon();
        return Failed(console, where, e);
    }
    listing.End();
    return kExitOk;
}

int RunRecordsShow(Console& console, const records::RecordsSetting& where, const std::string& id,
                   RecordsFormat format) {
    std::optional<records::DeviceRecord> record;
    try {
        record = job::OpenLookupStore(where)->Get(id);
    } catch (const std::exception& e) {
        return Failed(console, where, e);
    }
    if (!record) {
        console.Message(res::IDS_RECORDS_NO_SUCH, {id});
        return kExitFailed;
    }
    const records::DeviceRecord& r = *record;
    if (format == RecordsFormat::Json) {
        Json document = JsonOf(r);
        Json items = Json::array();
        for (const records::RecordItem& item : r.items) {
            items.push_back(JsonOf(r, item));
        }
        document["items"] = std::move(items);
        PrintJson(console, document);
        return kExitOk;
    }
    // A CSV reader finds its columns where they always are; the table shows
    // the source only where some value came from elsewhere than the profile,
    // so a record of a profile alone reads as it always has.
    const bool sourced =
        format == RecordsFormat::Csv ||
        std::any_of(r.items.begin(), r.items.end(),
                    [](const records::RecordItem& item) { return !item.source.empty(); });
    std::vector<std::string> header = {
        Console::Text(res::IDS_CLI_COLUMN_NUMBER), Console::Text(res::IDS_CLI_COLUMN_NAME),
        Console::Text(res::IDS_CLI_COLUMN_BEFORE), Console::Text(res::IDS_CLI_COLUMN_WANTED),
        Console::Text(res::IDS_CLI_COLUMN_NOW),    Console::Text(res::IDS_CLI_COLUMN_WRITTEN)};
    if (sourced) {
        header.push_back(Console::Text(res::IDS_CLI_COLUMN_SOURCE));
    }
    std::vector<std::vector<std::string>> rows;
    const auto shown = [&](const std::optional<std::string>& bytes) {
        return bytes ? Readable(r, *bytes) : std::string("-");
    };
    for (const records::RecordItem& item : r.items) {
        rows.push_back({item.number != 0 ? std::to_string(item.number) : "-",
                        Readable(r, item.name), shown(item.before), shown(item.wanted),
                        shown(item.after),
                        Console::Text(item.written ? res::IDS_CLI_YES : res::IDS_CLI_NO)});
        if (sourced) {
            rows.back().push_back(item.source.empty() ? std::string("-") : item.source);
        }
    }
    if (format == RecordsFormat::Csv) {
        console.Out() << common::CsvRecord(header);
        for (const auto& row : rows) {
            console.Out() << common::CsvRecord(row);
        }
        console.Out() << std::flush;
        return kExitOk;
    }
    const std::vector<std::pair<fw::UINT, std::string>> fields = {
        {res::IDS_CLI_COLUMN_RECORD, r.id},
        {res::IDS_CLI_COLUMN_STARTED, r.startedAt},
        {res::IDS_CLI_COLUMN_FINISHED, r.finishedAt},
        {res::IDS_CLI_COLUMN_RESULT, records::ResultName(r.result)},
        {res::IDS_CLI_COLUMN_MESSAGE, r.message},
        {res::IDS_CLI_LABEL_IMEI, Readable(r, r.imei)},
        {res::IDS_CLI_LABEL_VERSION, Readable(r, r.version)},
        {res::IDS_CLI_COLUMN_STATION, r.station},
        {res::IDS_CLI_COLUMN_OPERATOR, r.operatorName},
        {res::IDS_CLI_COLUMN_PORT, r.port},
        {res::IDS_CLI_COLUMN_COMMAND, r.command},
    };
    for (const auto& [label, value] : fields) {
        console.Out() << Console::Text(label) << ": " << common::Printable(value) << '\n';
    }
    for (const auto& [label, name, digest] :
         {std::tuple{res::IDS_CLI_LABEL_PROFILE, &r.profileName, &r.profileSha256},
          std::tuple{res::IDS_CLI_LABEL_FIRMWARE, &r.firmwareName, &r.firmwareSha256}}) {
        if (!name->empty()) {
            console.Out() << Console::Text(label) << ": " << common::Printable(*name) << "  sha256 "
                          << *digest << '\n';
        }
    }
    console.Out() << '\n';
    if (!rows.empty()) {
        console.Out() << common::FormatTable(header, rows);
    }
    console.Out() << std::flush;
    return kExitOk;
}

int PushRecordsNow(Console& console, const records::RecordsSetting& where) {
    const std::string server = job::RecordsPlace(where);
    int sent = 0;
    std::unique_ptr<records::SqliteRecordStore> local;
    try {
        local = std::make_unique<records::SqliteRecordStore>(
            where.localPath, records::SqliteRecordStore::Queue::ForServer);
    } catch (const std::exception& e) {
        console.Message(res::IDS_RECORDS_CANNOT_READ, {where.localPath, job::StoreFailureText(e)});
        return kExitFailed;
    }
    try {
        const auto store = records::OpenServerStore(where.serverUri, job::kServerTimeout);
        sent = records::PushQueued(*local, *store);
    } catch (const std::exception& e) {
        console.Message(res::IDS_RECORDS_PUSH_FAILED,
                        {server, job::StoreFailureText(e), std::to_string(local->QueuedCount())});
        return kExitFailed;
    }
    console.Message(res::IDS_RECORDS_PUSHED,
                    {std::to_string(sent), server, std::to_string(local->QueuedCount())});
    return kExitOk;
}

}  // namespace cli
