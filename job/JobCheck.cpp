#include "job/JobCheck.h"

#include <filesystem>
#include <optional>

#include "cfgfile/NativePath.h"
#include "framework/StringTable.h"
#include "job/JobFiles.h"
#include "job/OptionChecks.h"
#include "job/PoolCheck.h"
#include "res/StationIds.h"

namespace job {

namespace fs = std::filesystem;

std::variant<CheckedJob, std::string> CheckJob(const JobRequest& request) {
    if (request.file.empty()) {
        return fw::LoadText(res::IDS_STATION_NO_FILE);
    }
    CheckedJob checked;
    const std::string fileRefusal = request.job == station::StationJob::Batch
                                        ? ReadProfile(request.file, checked.bytes)
                                        : ReadFirmware(request.file, checked.bytes);
    if (!fileRefusal.empty()) {
        return fileRefusal;
    }
    // Read and judged whole here, so that a table that would refuse its first
    // device refuses the job instead; an update takes no values.
    std::optional<ValuesTable> table;
    if (request.job == station::StationJob::Batch && !request.values.empty()) {
        if (std::string refusal = ReadValues(request.values, request.values, fw::CurrentLanguage(),
                                             checked.valuesBytes, table);
            !refusal.empty()) {
            return refusal;
        }
    }
    if (request.ports.empty()) {
        return fw::LoadText(res::IDS_STATION_NO_PORTS);
    }
    station::PortListResult parsed = station::ParseTypedPorts(request.ports);
    if (const auto* error = std::get_if<station::PortListError>(&parsed)) {
        return PortListRefusal(*error, request.ports);
    }
    checked.ports = std::get<std::vector<station::StationPort>>(std::move(parsed));
    if (!request.count.empty()) {
        const std::optional<int> count = ParseCount(request.count);
        if (!count) {
            return fw::LoadText(res::IDS_STATION_BAD_COUNT);
        }
        checked.count = *count;
    }
    const std::optional<records::RecordsSetting> where = records::RecordsSettingInForce(
        request.records.empty() ? std::nullopt : std::optional<std::string>(request.records));
    if (!where) {
        return RecordsSettingRefusal(request.records.empty() ? std::string("TIRVEL_RECORDS")
                                                             : request.records);
    }
    // The records database and the values table are the job's inputs too: a
    // report over either would lose it.
    const bool values = request.job == station::StationJob::Batch && !request.values.empty();
    for (const std::string& refusal :
         {OutputRefusal(request.report, request.file, checked.ports),
          values ? OutputRefusal(request.report, request.values, {}) : std::string(),
          RecordsRefusal(*where, request.file, request.report),
          values ? RecordsRefusal(*where, request.values, "") : std::string()}) {
        if (!refusal.empty()) {
            return refusal;
        }
    }
    std::error_code error;
    if (!fs::is_regular_file(cfgfile::NativePath(request.workerProgram), error)) {
        return fw::LoadText(res::IDS_STATION_NO_WORKER_PROGRAM, {request.workerProgram});
    }
    // The records file is found usable before any device is worked, as
    // tirvelctl finds it.
    checked.recording.where = *where;
    LastMessageOnly said;
    if (DeviceRecorder check(checked.recording); !check.Open(said)) {
        return said.LastMessage();
    }
    // Last: the pool is looked for where the records go, found usable above.
    if (request.job == station::StationJob::Batch) {
        if (std::string refusal =
                PoolRefusal(*where, request.pool, table ? &*table : nullptr, request.values);
            !refusal.empty()) {
            return refusal;
        }
    }
    return checked;
}

}  // namespace job
