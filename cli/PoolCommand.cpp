#include "cli/PoolCommand.h"

#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "common/TextOutput.h"
#include "framework/CodePage.h"
#include "job/DeviceRecorder.h"
#include "job/RecordsForwarding.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

Json JsonOf(const records::PoolStatus& s) {
    Json columns = Json::array();
    for (const std::string& column : s.columns) {
        columns.push_back(fw::DecodeAnsi(column));
    }
    return {{"name", s.name}, {"columns", columns},    {"imported_at", s.importedAt},
            {"rows", s.rows}, {"tied", s.tied},        {"written", s.written},
            {"free", s.free}, {"reserved", s.reserved}};
}

std::vector<std::string> CountFields(const records::PoolStatus& s) {
    return {s.name,
            std::to_string(s.rows),
            std::to_string(s.tied),
            std::to_string(s.written),
            std::to_string(s.free),
            std::to_string(s.reserved)};
}

std::vector<std::string> CountHeader() {
    return {Console::Text(res::IDS_CLI_COLUMN_POOL), Console::Text(res::IDS_CLI_COLUMN_ROWS),
            Console::Text(res::IDS_CLI_COLUMN_TIED), Console::Text(res::IDS_CLI_COLUMN_WRITTEN),
            Console::Text(res::IDS_CLI_COLUMN_FREE), Console::Text(res::IDS_CLI_COLUMN_RESERVED)};
}

}  // namespace

void TellPoolFailure(Console& console, const records::RecordsSetting& where,
                     const std::string& pool, const std::exception& failure) {
    if (const auto* refused = dynamic_cast<const records::PoolError*>(&failure)) {
        if (refused->reason() == records::PoolError::Reason::Unknown) {
            console.Message(res::IDS_POOL_UNKNOWN, {pool});
            return;
        }
        if (refused->reason() == records::PoolError::Reason::Exists) {
            console.Message(res::IDS_POOL_EXISTS, {pool});
            return;
        }
    }
    console.Message(res::IDS_RECORDS_CANNOT_READ,
                    {job::RecordsPlace(where), job::StoreFailureText(failure)});
}

int RunPoolImport(Console& console, const records::RecordsSetting& where, const std::string& name,
                  const job::ValuesTable& table, const std::string& fileName, bool json) {
    if (table.RowCount() == 0) {
        console.Message(res::IDS_POOL_NO_ROWS, {fileName});
        return kExitFailed;
    }
    // As the file's heading named each item: a draw lays the cells over the
    // profile by these names, as a values table's are.
    std::vector<std::string> columns;
    for (const job::ValuesColumn& column : table.Columns()) {
        columns.push_back(column.label.empty() ? std::to_string(column.number) : column.label);
    }
    std::vector<records::PoolImportRow> rows;
    rows.reserve(table.RowCount());
    for (std::size_t i = 0; i < table.RowCount(); ++i) {
        const job::ValuesRow row = table.Row(i);
        rows.push_back({static_cast<int>(row.line), row.Values()});
    }
    try {
        job::OpenPoolLookupStore(where)->Import(name, columns, rows);
    } catch (const std::exception& e) {
        TellPoolFailure(console, where, name, e);
        return kExitFailed;
    }
    if (json) {
        PrintJson(console, {{"name", name}, {"rows", rows.size()}});
    } else {
        console.Message(res::IDS_POOL_IMPORTED,
                        {std::to_string(rows.size()), name, job::RecordsPlace(where)});
    }
    return kExitOk;
}

int RunPoolStatus(Console& console, const records::RecordsSetting& where, const std::string& name,
                  bool json) {
    records::PoolStatus status;
    try {
        status = job::OpenPoolLookupStore(where)->Status(name);
    } catch (const std::exception& e) {
        TellPoolFailure(console, where, name, e);
        return kExitFailed;
    }
    if (json) {
        PrintJson(console, JsonOf(status));
        return kExitOk;
    }
    std::string columns;
    for (const std::string& column : status.columns) {
        columns += (columns.empty() ? "" : ", ") + fw::DecodeAnsi(column);
    }
    const std::vector<std::string> header = CountHeader();
    const std::vector<std::string> fields = CountFields(status);
    for (std::size_t i = 0; i < header.size(); ++i) {
        console.Out() << header[i] << ": " << common::Printable(fields[i]) << '\n';
    }
    console.Out() << Console::Text(res::IDS_CLI_COLUMN_COLUMNS) << ": "
                  << common::Printable(columns) << '\n'
                  << std::flush;
    return kExitOk;
}

int RunPoolList(Console& console, const records::RecordsSetting& where, bool json) {
    std::vector<records::PoolStatus> pools;
    try {
        pools = job::OpenPoolLookupStore(where)->List();
    } catch (const std::exception& e) {
        TellPoolFailure(console, where, std::string(), e);
        return kExitFailed;
    }
    if (json) {
        Json list = Json::array();
        for (const records::PoolStatus& pool : pools) {
            list.push_back(JsonOf(pool));
        }
        PrintJson(console, list);
        return kExitOk;
    }
    if (pools.empty()) {
        console.Message(res::IDS_POOL_NONE);
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows;
    for (const records::PoolStatus& pool : pools) {
        rows.push_back(CountFields(pool));
    }
    console.Out() << common::FormatTable(CountHeader(), rows) << std::flush;
    return kExitOk;
}

int RunPoolShow(Console& console, const records::RecordsSetting& where, const std::string& imei,
                bool json) {
    std::vector<records::PoolRow> tied;
    try {
        tied = job::OpenPoolLookupStore(where)->ForImei(fw::EncodeAnsi(imei));
    } catch (const std::exception& e) {
        TellPoolFailure(console, where, std::string(), e);
        return kExitFailed;
    }
    // A row's cells stay out: they may be a device's password.
    if (json) {
        Json list = Json::array();
        for (const records::PoolRow& row : tied) {
            list.push_back({{"pool", row.pool},
                            {"row", row.id},
                            {"line", row.line},
                            {"state", records::StateName(row.state)},
                            {"imei", fw::DecodeAnsi(row.imei)},
                            {"station", row.station},
                            {"tied_at", row.tiedAt},
                            {"written_at", row.writtenAt ? Json(*row.writtenAt) : Json(nullptr)}});
        }
        PrintJson(console, list);
        return kExitOk;
    }
    if (tied.empty()) {
        console.Message(res::IDS_POOL_NONE_FOR_IMEI, {imei});
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows;
    for (const records::PoolRow& row : tied) {
        rows.push_back({row.pool, std::to_string(row.id), records::StateName(row.state),
                        row.station, row.tiedAt, row.writtenAt.value_or("-")});
    }
    console.Out() << common::FormatTable({Console::Text(res::IDS_CLI_COLUMN_POOL),
                                          Console::Text(res::IDS_CLI_COLUMN_ROW),
                                          Console::Text(res::IDS_CLI_COLUMN_STATE),
                                          Console::Text(res::IDS_CLI_COLUMN_STATION),
                                          Console::Text(res::IDS_CLI_COLUMN_TIED_AT),
                                          Console::Text(res::IDS_CLI_COLUMN_WRITTEN_AT)},
                                         rows)
                  << std::flush;
    return kExitOk;
}

}  // namespace cli
