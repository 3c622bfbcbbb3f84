#include "cli/DeviceReport.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "cli/TextOutput.h"
#include "res/ResourceIds.h"

namespace cli {

using Json = nlohmann::ordered_json;

DeviceReport::DeviceReport(ReportKind kind, Console& console, bool json, std::string csvPath)
    : kind_(kind), console_(console), json_(json), csvPath_(std::move(csvPath)) {
    print_ = [this](const std::string& line) { console_.Out() << line << '\n' << std::flush; };
}

std::vector<std::string> DeviceReport::Header() const {
    if (kind_ == ReportKind::Transfer) {
        return {
            Console::Text(res::IDS_CLI_COLUMN_PORT),   Console::Text(res::IDS_CLI_COLUMN_TIME),
            Console::Text(res::IDS_CLI_LABEL_IMEI),    Console::Text(res::IDS_CLI_COLUMN_BYTES),
            Console::Text(res::IDS_CLI_COLUMN_RESULT), Console::Text(res::IDS_CLI_COLUMN_MESSAGE)};
    }
    return {Console::Text(res::IDS_CLI_COLUMN_PORT),   Console::Text(res::IDS_CLI_COLUMN_TIME),
            Console::Text(res::IDS_CLI_LABEL_IMEI),    Console::Text(res::IDS_CLI_LABEL_VERSION),
            Console::Text(res::IDS_CLI_COLUMN_RESULT), Console::Text(res::IDS_CLI_COLUMN_ITEMS),
            Console::Text(res::IDS_CLI_COLUMN_MESSAGE)};
}

std::vector<std::string> DeviceReport::Fields(const station::DeviceRow& row) const {
    const std::string result =
        Console::Text(row.ok ? res::IDS_CLI_RESULT_OK : res::IDS_CLI_RESULT_FAILED);
    if (kind_ == ReportKind::Transfer) {
        return {row.port, row.time, row.imei, std::to_string(row.bytes), result, row.message};
    }
    return {row.port,   row.time, row.imei, row.version, result, std::to_string(row.written),
            row.message};
}

std::string DeviceReport::JsonLine(const station::DeviceRow& row) const {
    Json j;
    j["port"] = row.port;
    j["time"] = row.time;
    j["imei"] = row.imei;
    if (kind_ == ReportKind::Transfer) {
        j["bytes"] = row.bytes;
    } else {
        j["version"] = row.version;
    }
    j["ok"] = row.ok;
    if (kind_ == ReportKind::Batch) {
        j["written"] = row.written;
    }
    j["message"] = row.message;
    return InertJson(j.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool DeviceReport::Open() {
    if (!json_) {
        PrintFields(Header());
    }
    if (csvPath_.empty()) {
        return true;
    }
    return csv_.Open(csvPath_) && WriteCsv(Header());
}

bool DeviceReport::Add(const station::DeviceRow& row) {
    if (json_) {
        print_(JsonLine(row));
    } else {
        PrintFields(Fields(row));
    }
    return csvPath_.empty() || WriteCsv(Fields(row));
}

void DeviceReport::PrintFields(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& f : fields) {
        line += (line.empty() ? "" : "  ") + Printable(f.empty() ? "-" : f);
    }
    print_(line);
}

bool DeviceReport::WriteCsv(const std::vector<std::string>& fields) {
    // Handed over row by row: a line stopped by Ctrl+C or a crash keeps its report.
    return csv_.Write(CsvRecord(fields));
}

}  // namespace cli
