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

// The records' own reading of a typed time, as the server of the line reads it too.
using records::ParseRecordsTime;

int RunRecordsList(Console& console, const records::RecordsSetting& where,
                   const records::RecordQuery& query, RecordsFormat format);
int RunRecordsShow(Console& console, const records::RecordsSetting& where, const std::string& id,
                   RecordsFormat format);
// tirvelctl records push: the exit code.
int PushRecordsNow(Console& console, const records::RecordsSetting& where);

}  // namespace cli
