#include "cli/ReportLines.h"

#include <nlohmann/json.hpp>

#include "common/TextOutput.h"

namespace cli {

namespace {

std::string TableLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& f : fields) {
        line += (line.empty() ? "" : "  ") + common::Printable(f.empty() ? "-" : f);
    }
    return line;
}

std::string ReportJsonLine(job::ReportKind kind, const station::DeviceRow& row) {
    using Json = nlohmann::ordered_json;
    Json j;
    j["port"] = row.port;
    j["time"] = row.time;
    j["imei"] = row.imei;
    if (kind == job::ReportKind::Transfer) {
        j["bytes"] = row.bytes;
    } else {
        j["version"] = row.version;
    }
    j["ok"] = row.ok;
    if (kind == job::ReportKind::Batch) {
        j["written"] = row.written;
    }
    j["message"] = row.message;
    return common::InertJson(j.dump(-1, ' ', false, Json::error_handler_t::replace));
}

}  // namespace

void PrintReportLines(job::DeviceReport& report, bool json,
                      std::function<void(const std::string&)> print) {
    report.ShowTo([&report, json, print = std::move(print)](const station::DeviceRow* row) {
        if (json) {
            if (row != nullptr) {
                print(ReportJsonLine(report.Kind(), *row));
            }
            return;
        }
        print(TableLine(row != nullptr ? report.Fields(*row) : report.Header()));
    });
}

}  // namespace cli
