// The record a run keeps of each device it works, committed to the station's
// file before the device may be called OK: a device whose record could not
// be kept is reported failed, with the reason.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "job/Messages.h"
#include "job/SignedIn.h"
#include "records/DeviceRecord.h"
#include "records/RecordsSetting.h"
#include "station/DeviceRow.h"

namespace records {
class SqliteRecordStore;
}

namespace job {

// What every device of one run shares.
struct RecordingSettings {
    records::RecordsSetting where;
    std::string station;       // empty: the host's name
    std::string operatorName;  // empty: the signed-in user
    std::string command;
    std::string profileName;
    std::string profileSha256;
    std::string firmwareName;
    std::string firmwareSha256;
    std::optional<std::int64_t> firmwareBytes;
    // Where the digest and size are read from, when they are not given.
    std::string firmwarePath;
};

// The options that give a station's worker the same records as its
// supervisor; file is the name the records give the job's file.
std::vector<std::string> RecordingOptions(const RecordingSettings& settings,
                                          const std::string& file);

// Where the setting keeps records, for messages: the file, or the server
// without its password.
std::string RecordsPlace(const records::RecordsSetting& where);
// The reason a store gave, in words of the string table.
std::string StoreFailureText(const std::exception& failure);

// Earlier work on a device by its IMEI (shown text), in words, from the
// records file the setting names: for a station's tiles, where a device
// worked before is worth a glance. Empty where nothing can be told.
std::function<std::string(const std::string& imei)> HistoryLookup(
    const records::RecordsSetting& where);

class DeviceRecorder {
public:
    // Keeps nothing.
    DeviceRecorder();
    explicit DeviceRecorder(RecordingSettings settings);
    ~DeviceRecorder();
    DeviceRecorder(const DeviceRecorder&) = delete;
    DeviceRecorder& operator=(const DeviceRecorder&) = delete;

    // Called after each record kept: the forwarding to a server wakes.
    void OnKept(std::function<void()> kept) { kept_ = std::move(kept); }
    // Opens the station's file (made, or brought up to date, if need be),
    // before any device is touched; false, having said why, when it cannot
    // be used.
    bool Open(Messages& said);

    // A device is there: the record's id and start time are made now.
    void Start();
    bool Started() const { return !record_.id.empty(); }
    // The run's, with the station's and the operator's names filled in.
    const RecordingSettings& Settings() const { return settings_; }
    void SetItems(std::vector<records::RecordItem> items) { record_.items = std::move(items); }

    // Commits the record of the device on the port. True when it is kept (or
    // nothing is to be kept); false, having said why, when it could not be.
    // A record never started is not kept.
    bool Keep(const std::string& port, const std::string& imei, const std::string& version,
              records::Result result, const std::string& message, fw::UINT messageId,
              Messages& said);

    // Keeps the record of the device a report row tells of, with the row's
    // verdict and message; a row whose record could not be kept turns failed
    // with the reason.
    void KeepRow(station::DeviceRow& row, const std::string& imei, const std::string& version,
                 bool interrupted, Messages& said);

private:
    bool enabled_ = false;
    RecordingSettings settings_;
    std::unique_ptr<records::SqliteRecordStore> store_;
    records::DeviceRecord record_;
    std::function<void()> kept_;
};

}  // namespace job
