// What is kept of one device that a production tool worked on: who did what,
// where and when, what the device was given and what it bore out. The names
// are those of the tables an MES queries (docs/records.md); device text is
// kept as the device's bytes, with readable text beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace records {

enum class Result { Ok, Failed, Interrupted };

// "ok", "failed", "interrupted": the values of the result column.
const char* ResultName(Result result);
std::optional<Result> ParseResult(const std::string& name);

// A time as an operator types it, in UTC: "2026-12-09", "2026-12-09T10:30",
// "2026-12-09 10:30:05", with milliseconds or not, optionally ending in "Z";
// in the form the records keep ("2026-12-09T10:30:05.000Z"). nullopt for
// anything else.
std::optional<std::string> ParseRecordsTime(const std::string& text);

// One configuration item as the work found and left it. Bytes as the device
// sent them (or as the profile gave them); nullopt where it could not be told.
struct RecordItem {
    int number = 0;  // 0: a profile key no row of the device carried
    std::string name;
    std::optional<std::string> before;
    std::optional<std::string> wanted;
    std::optional<std::string> after;  // what the read-back found
    bool written = false;              // asked for, and the device holds it
    std::string source;                // where the wanted value came from; empty: the profile

    bool operator==(const RecordItem&) const = default;
};

struct DeviceRecord {
    std::string id;          // a UUID, made when the device's work starts
    std::string startedAt;   // UTC, "2026-12-09T10:11:12.345Z"
    std::string finishedAt;  // UTC, the same form
    std::string station;
    std::string operatorName;
    std::string port;
    std::string command;  // the tirvelctl subcommand, or "station-window"
    std::string imei;     // device bytes (digits, on a sound line)
    std::string version;  // device bytes
    Result result = Result::Failed;
    std::string message;    // the text shown, UTF-8
    std::string messageId;  // its string's name, "IDS_…"; empty for none
    std::string profileName;
    std::string profileSha256;
    std::string firmwareName;
    std::string firmwareSha256;
    std::optional<std::int64_t> firmwareBytes;
    std::string toolVersion;
    // The code page the device's bytes are read in ("GB18030", "windows-1252"):
    // the stores keep a readable copy of every device text decoded by it.
    std::string codePage;
    std::vector<RecordItem> items;  // left empty by listings

    bool operator==(const DeviceRecord&) const = default;
};

// The records a listing asks for; empty fields do not filter.
struct RecordQuery {
    std::string imei;
    std::string since;  // UTC, inclusive, compared with started_at
    std::string until;  // UTC, exclusive
    std::optional<Result> result;
    std::string station;
    int limit = 0;  // 0: all
};

}  // namespace records
