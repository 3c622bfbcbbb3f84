#include "job/DeviceReport.h"

#include "common/TextOutput.h"
#include "framework/StringTable.h"
#include "res/ResourceIds.h"

namespace job {

DeviceReport::DeviceReport(ReportKind kind, std::string csvPath)
    : kind_(kind), csvPath_(std::move(csvPath)) {}

std::vector<std::string> DeviceReport::Header() const {
    if (kind_ == ReportKind::Transfer) {
        return {
            fw::LoadText(res::IDS_CLI_COLUMN_PORT),   fw::LoadText(res::IDS_CLI_COLUMN_TIME),
            fw::LoadText(res::IDS_CLI_LABEL_IMEI),    fw::LoadText(res::IDS_CLI_COLUMN_BYTES),
            fw::LoadText(res::IDS_CLI_COLUMN_RESULT), fw::LoadText(res::IDS_CLI_COLUMN_MESSAGE)};
    }
    return {fw::LoadText(res::IDS_CLI_COLUMN_PORT),   fw::LoadText(res::IDS_CLI_COLUMN_TIME),
            fw::LoadText(res::IDS_CLI_LABEL_IMEI),    fw::LoadText(res::IDS_CLI_LABEL_VERSION),
            fw::LoadText(res::IDS_CLI_COLUMN_RESULT), fw::LoadText(res::IDS_CLI_COLUMN_ITEMS),
            fw::LoadText(res::IDS_CLI_COLUMN_MESSAGE)};
}

std::vector<std::string> DeviceReport::Fields(const station::DeviceRow& row) const {
    const std::string result =
        fw::LoadText(row.ok ? res::IDS_CLI_RESULT_OK : res::IDS_CLI_RESULT_FAILED);
    if (kind_ == ReportKind::Transfer) {
        return {row.port, row.time, row.imei, std::to_string(row.bytes), result, row.message};
    }
    return {row.port,   row.time, row.imei, row.version, result, std::to_string(row.written),
            row.message};
}

bool DeviceReport::Open() {
    if (shown_) {
        shown_(nullptr);
    }
    if (csvPath_.empty()) {
        return true;
    }
    return csv_.Open(csvPath_) && WriteCsv(Header());
}

bool DeviceReport::Add(const station::DeviceRow& row) {
    if (shown_) {
        shown_(&row);
    }
    return csvPath_.empty() || WriteCsv(Fields(row));
}

bool DeviceReport::WriteCsv(const std::vector<std::string>& fields) {
    // Handed over row by row: a line stopped by Ctrl+C or a crash keeps its report.
    return csv_.Write(common::CsvRecord(fields));
}

}  // namespace job
