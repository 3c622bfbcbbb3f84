// The record of a run over device after device: one row per device, in the
// order they finished, as CSV, and told to whoever shows it as it grows (a
// terminal's table or JSON lines). A batch's rows name what was written; an
// update's, what was sent.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cfgfile/FileIo.h"
#include "station/DeviceRow.h"

namespace job {

enum class ReportKind { Batch, Transfer };

class DeviceReport {
public:
    DeviceReport(ReportKind kind, std::string csvPath);

    ReportKind Kind() const { return kind_; }

    // Told the header (no row) when the report opens, then each row.
    using Shown = std::function<void(const station::DeviceRow* row)>;
    void ShowTo(Shown shown) { shown_ = std::move(shown); }

    // The headers; false when the CSV file cannot be written. The file is
    // written where it is, never replaced: a device (/dev/null) stays one.
    bool Open();
    // False when the CSV could not take the row (it is shown anyway).
    bool Add(const station::DeviceRow& row);

    std::vector<std::string> Header() const;
    std::vector<std::string> Fields(const station::DeviceRow& row) const;

private:
    bool WriteCsv(const std::vector<std::string>& fields);

    ReportKind kind_;
    std::string csvPath_;
    cfgfile::OutputStream csv_;
    Shown shown_;
};

}  // namespace job
