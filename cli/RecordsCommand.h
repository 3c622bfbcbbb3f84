// tirvelctl records: the device records looked up, on the station's own file
// or on the line's server, as a table, JSON or CSV.
#pragma once

#include <optional>
#include <string>

#include "cli/Console.h"
#include "records/DeviceRecord.h"
#include "records/RecordsSetting.h"

namespace cli {

enum class RecordsFormat { Table, Json, Csv };

// "2026-12-09", "2026-12-09T10:30", "2026-12-09 10:30:00", with an optional
// "Z": a time in UTC, in the form the records keep. nullopt: not a time.
std::optional<std::string> ParseRecordsTime(const std::string& text);

int RunRecordsList(Console& console, const records::RecordsSetting& where,
                   const records::RecordQuery& query, RecordsFormat format);
int RunRecordsShow(Console& console, const records::RecordsSetting& where, const std::string& id,
                   RecordsFormat format);
// tirvelctl records push: the exit code.
int PushRecordsNow(Console& console, const records::RecordsSetting& where);

}  // namespace cli
