// The record of a run over device after device: one row per device, in the
// order they finished, as a table on stdout (or JSON lines) and as CSV.
// A batch's rows name what was written; an update's, what was sent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cfgfile/FileIo.h"
#include "cli/Console.h"
#include "station/DeviceRow.h"

namespace cli {

enum class ReportKind { Batch, Transfer };

class DeviceReport {
public:
    DeviceReport(ReportKind kind, Console& console, bool json, std::string csvPath);

    // Where table and JSON lines go; stdout unless a board shares the terminal.
    void SetPrinter(std::function<void(const std::string&)> print) { print_ = std::move(print); }

    // The headers; false when the CSV file cannot be written. The file is
    // written where it is, never replaced: a device (/dev/null) stays one.
    bool Open();
    // False when the CSV could not take the row (it is on stdout anyway).
    bool Add(const station::DeviceRow& row);

    std::vector<std::string> Header() const;
    std::vector<std::string> Fields(const station::DeviceRow& row) const;
    std::string JsonLine(const station::DeviceRow& row) const;

private:
    void PrintFields(const std::vector<std::string>& fields);
    bool WriteCsv(const std::vector<std::string>& fields);

    ReportKind kind_;
    Console& console_;
    bool json_;
    std::string csvPath_;
    cfgfile::OutputStream csv_;
    std::function<void(const std::string&)> print_;
};

}  // namespace cli
