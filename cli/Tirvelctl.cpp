#include "cli/Tirvelctl.h"

#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "cfgfile/InputFile.h"
#include "cli/Commands.h"
#include "cli/PoolCommand.h"
#include "cli/RecordsCommand.h"
#include "cli/SecretLine.h"
#include "cli/Station.h"
#include "cli/StationWorker.h"
#include "cli/Terminal.h"
#include "cli/TirvelctlOptions.h"
#include "common/Sha256.h"
#include "framework/CodePage.h"
#include "framework/Language.h"
#include "job/DeviceRecorder.h"
#include "job/JobFiles.h"
#include "job/OptionChecks.h"
#include "job/PoolCheck.h"
#include "job/RecordsForwarding.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "station/PortList.h"
#include "station/StationEvents.h"
#include "station/WorkerProcess.h"

namespace cli {
namespace {

// The job the options ask for, checked, with what it reads already read.
struct SettledJob {
    std::vector<station::StationPort> ports;
    std::vector<ItemAssignment> assignments;
    int updateCount = 0;
    bool stationJob = false;  // update, send or batch
    bool asStation = false;   // this process supervises a station's workers
    std::string input;        // the file read, as the operator named it
    std::string inputBytes;   // empty: none read, or the view reads the image
    std::string output;       // the file written, if any
    std::string values;       // the values table, as the operator named it; empty: none
    std::string valuesBytes;
    std::optional<job::ValuesTable> table;
    records::RecordsSetting where;
};

station::StationJob StationJobFor(Subcommand subcommand) {
    return subcommand == Subcommand::Update ? station::StationJob::Update
           : subcommand == Subcommand::Send ? station::StationJob::Send
                                            : station::StationJob::Batch;
}

// The ports, the numbers and the item values; returns the refusal, or "".
std::string SettleOptions(TirvelctlOptions& options, SettledJob& job) {
    if (!options.language.empty() && !fw::ParseLanguage(options.language)) {
        return job::LanguageRefusal(options.language);
    }
    station::PortListResult portList = options.devicesGiven
                                           ? station::DevicePorts(options.devices)
                                           : station::ParsePortList(options.portText);
    if (auto* error = std::get_if<station::PortListError>(&portList)) {
        return job::PortListRefusal(*error, options.portText);
    }
    job.ports = std::get<std::vector<station::StationPort>>(std::move(portList));
    for (const auto& [name, text, target] :
         {std::tuple{"--count", &options.batchCountText, &options.batch.count},
          std::tuple{"--count", &options.updateCountText, &job.updateCount},
          std::tuple{"--seconds", &options.secondsText, &options.log.seconds}}) {
        if (text->empty()) {
            continue;
        }
        const std::optional<int> number = job::ParseCount(*text);
        if (!number) {
            return job::CountRefusal(name, *text);
        }
        *target = *number;
    }
    if (options.subcommand != Subcommand::Set) {
        return {};
    }
    auto parsed = ParseAssignments(options.assignmentArgs);
    if (auto* error = std::get_if<AssignmentError>(&parsed)) {
        return error->kind == AssignmentError::Duplicate
                   ? Console::Text(res::IDS_CLI_DUPLICATE_ITEM, {std::to_string(error->number)})
                   : Console::Text(res::IDS_CLI_BAD_ASSIGNMENT, {error->argument});
    }
    job.assignments = std::get<std::vector<ItemAssignment>>(std::move(parsed));
    // A character the device's code page lacks would be written as '?',
    // and the read-back would then find the '?' it was sent.
    for (const ItemAssignment& a : job.assignments) {
        if (!fw::CanEncodeAnsi(a.value)) {
            return Console::Text(
                res::IDS_CLI_VALUE_NOT_ENCODABLE,
                {std::to_string(a.number), a.value, fw::CodePageName(fw::CurrentLanguage())});
        }
    }
    return {};
}

// What the command reads is read here, once, before a device waits for
// it: those bytes are imported and judged, whatever the file holds later.
// Only regular files: a FIFO would hold the open for ever, a device never
// end. An image that cannot be read or holds nothing would only be found
// out once the device sits in its boot loader.
// Where the command writes is checked before the port opens as well: a FIFO
// nobody reads would hold the write for ever, and a report written over the
// profile would destroy it. Returns the refusal, or "".
std::string ReadJobFiles(const TirvelctlOptions& options, SettledJob& job) {
    const Subcommand command = options.subcommand;
    std::string refusal;
    if (command == Subcommand::Apply || command == Subcommand::Batch) {
        job.input = command == Subcommand::Apply ? options.applyFile : options.batch.file;
        refusal = job::ReadProfile(job.input, job.inputBytes);
        job.values = options.valuesFile;
        if (refusal.empty() && !job.values.empty()) {
            refusal = job::ReadValues(job.values,
                                      options.valuesName.empty() ? job.values : options.valuesName,
                                      fw::CurrentLanguage(), job.valuesBytes, job.table);
        }
    } else if (command == Subcommand::Pool && options.poolAction == PoolAction::Import) {
        // A pool's file is read as a values table is, with no IMEI column.
        job.input = options.poolFile;
        refusal = job::ReadValues(job.input, job.input, fw::CurrentLanguage(), job.valuesBytes,
                                  job.table, job::ImeiColumn::None);
    } else if (command == Subcommand::Update && !job.asStation) {
        // The view reads the image when the loader asks for it, as "Update
        // File" does.
        job.input = options.firmwareFile;
        refusal = job::FirmwareRefusal(
            cfgfile::CheckInputFile(job.input, cfgfile::kFirmwareLimitBytes), job.input);
    } else if (command == Subcommand::Update || command == Subcommand::Send) {
        job.input = command == Subcommand::Update ? options.firmwareFile : options.sendFile;
        refusal = job::ReadFirmware(job.input, job.inputBytes);
    }
    job.output = command == Subcommand::Export   ? options.exportFile
                 : command == Subcommand::Log    ? options.log.outputPath
                 : command == Subcommand::Batch  ? options.batch.reportPath
                 : command == Subcommand::Update ? options.updateReport
                                                 : std::string();
    if (refusal.empty() && !job.output.empty()) {
        refusal = job::OutputRefusal(job.output, job.input, job.ports);
    }
    if (refusal.empty() && !job.output.empty() && !job.values.empty()) {
        refusal = job::OutputRefusal(job.output, job.values, {});
    }
    return refusal;
}

// Every check made before a port opens or a record is read, in the order the
// operator is told of them: the first refusal wins. Returns it, or "".
std::string SettleJob(TirvelctlOptions& options, SettledJob& job) {
    if (std::string refusal = SettleOptions(options, job); !refusal.empty()) {
        return refusal;
    }
    const Subcommand command = options.subcommand;
    job.stationJob = command == Subcommand::Update || command == Subcommand::Send ||
                     command == Subcommand::Batch;
    // Several ports, or an update that counts or reports: a station.
    const bool updateStation = command == Subcommand::Update && options.updateCountOrReportGiven;
    job.asStation = job.stationJob && (job.ports.size() > 1 || updateStation);
    if (std::string refusal = ReadJobFiles(options, job); !refusal.empty()) {
        return refusal;
    }
    if (job.ports.size() > 1 && !job.stationJob && command != Subcommand::Ports) {
        return Console::Text(res::IDS_CLI_ONE_PORT_ONLY, {options.subcommandName});
    }
    const std::optional<records::RecordsSetting> where = records::RecordsSettingInForce(
        options.recordsGiven ? std::optional<std::string>(options.recordsText) : std::nullopt);
    if (!where) {
        return job::RecordsSettingRefusal(options.recordsGiven ? options.recordsText
                                                               : "TIRVEL_RECORDS");
    }
    job.where = *where;
    // The records database is an input of every command, also of one that
    // keeps no record (log): an export or a report over it lost every record.
    std::string refusal = job::RecordsRefusal(job.where, job.input, job.output);
    if (refusal.empty() && !job.values.empty()) {
        refusal = job::RecordsRefusal(job.where, job.values, "");
    }
    // A worker's pool was checked by its station, which holds the table's
    // name as the operator gave it.
    if (refusal.empty() && !options.stationWorker) {
        refusal = job::PoolRefusal(job.where, options.poolDraw, job.table ? &*job.table : nullptr,
                                   job.values);
    }
    return refusal;
}

int RunPoolCommand(const TirvelctlOptions& options, const SettledJob& job) {
    if (job.where.kind == records::RecordsSetting::Kind::Off) {
        return UsageError(Console::Text(res::IDS_RECORDS_OFF));
    }
    Console console(std::cout, std::cerr, options.quiet ? Verbosity::Quiet : Verbosity::Normal,
                    IsTerminal(kStderrFd) ? ErrStream::Terminal : ErrStream::Plain);
    switch (options.poolAction) {
        case PoolAction::Import:
            return RunPoolImport(console, job.where, options.poolName, *job.table, job.input,
                                 options.json);
        case PoolAction::Status:
            return RunPoolStatus(console, job.where, options.poolName, options.json);
        case PoolAction::List:
            return RunPoolList(console, job.where, options.json);
        case PoolAction::Show:
            return RunPoolShow(console, job.where, options.poolImei, options.json);
    }
    return kExitFailed;
}

int RunRecordsCommand(const TirvelctlOptions& options, const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Off) {
        return UsageError(Console::Text(res::IDS_RECORDS_OFF));
    }
    Console console(std::cout, std::cerr, options.quiet ? Verbosity::Quiet : Verbosity::Normal,
                    IsTerminal(kStderrFd) ? ErrStream::Terminal : ErrStream::Plain);
    if (options.recordsAction == RecordsAction::Push) {
        if (where.kind != records::RecordsSetting::Kind::Server) {
            console.Message(res::IDS_RECORDS_PUSH_LOCAL_ONLY);
            return kExitFailed;
        }
        return PushRecordsNow(console, where);
    }
    if (options.emptyFilter) {
        return UsageError(Console::Text(res::IDS_RECORDS_EMPTY_FILTER, {*options.emptyFilter}));
    }
    records::RecordQuery query = options.recordQuery;
    for (const auto& [name, text, target] :
         {std::tuple{"--since", &options.sinceText, &query.since},
          std::tuple{"--until", &options.untilText, &query.until}}) {
        if (text->empty()) {
            continue;
        }
        const std::optional<std::string> time = ParseRecordsTime(*text);
        if (!time) {
            return UsageError(Console::Text(res::IDS_RECORDS_BAD_TIME, {name, *text}));
        }
        *target = *time;
    }
    if (!options.resultText.empty()) {
        query.result = records::ParseResult(options.resultText);
        if (!query.result) {
            return UsageError(Console::Text(res::IDS_RECORDS_BAD_RESULT, {options.resultText}));
        }
    }
    // The IMEI as the device sends it: typed text in the device's code page.
    query.imei = fw::EncodeAnsi(query.imei);
    const RecordsFormat format = options.json  ? RecordsFormat::Json
                                 : options.csv ? RecordsFormat::Csv
                                               : RecordsFormat::Table;
    return options.recordsAction == RecordsAction::Show
               ? RunRecordsShow(console, where, options.recordId, format)
               : RunRecordsList(console, where, query, format);
}

// What the records say of the job: the command, and the profile or image a
// device was given, named and told by its digest.
job::RecordingSettings RecordingFor(const TirvelctlOptions& options, const SettledJob& job) {
    job::RecordingSettings recording = options.recording;
    recording.where = job.where;
    // Reading the log works no device, and listing ports touches none.
    if (options.subcommand == Subcommand::Ports || options.subcommand == Subcommand::Log) {
        recording.where.kind = records::RecordsSetting::Kind::Off;
    }
    recording.command = options.subcommandName;
    const std::string& name = options.recordName.empty() ? job.input : options.recordName;
    if (options.subcommand == Subcommand::Apply || options.subcommand == Subcommand::Batch) {
        recording.profileName = name;
        recording.profileSha256 = common::Sha256::HexDigest(job.inputBytes);
    } else if (options.subcommand == Subcommand::Update || options.subcommand == Subcommand::Send) {
        recording.firmwareName = name;
        if (!job.inputBytes.empty()) {
            recording.firmwareSha256 = common::Sha256::HexDigest(job.inputBytes);
            recording.firmwareBytes = static_cast<std::int64_t>(job.inputBytes.size());
        } else {
            // A single update's view reads the image itself, when the loader
            // asks; the record names the file by its digest once a device
            // was worked, not before the port opens.
            recording.firmwarePath = job.input;
        }
    }
    return recording;
}

int RunAsStation(const TirvelctlOptions& options, SettledJob& job, const HostSettings& settings,
                 const job::RecordingSettings& recording, Console& console,
                 job::RecordsForwarding& forwarding, const char* program) {
    const bool update = options.subcommand == Subcommand::Update;
    StationSettings stationSettings;
    stationSettings.job = StationJobFor(options.subcommand);
    stationSettings.file = job.input;
    stationSettings.bytes = std::move(job.inputBytes);
    stationSettings.valuesFile = job.values;
    stationSettings.valuesBytes = std::move(job.valuesBytes);
    stationSettings.pool = options.poolDraw;
    stationSettings.count = update ? job.updateCount : options.batch.count;
    stationSettings.reportPath = update ? options.updateReport : options.batch.reportPath;
    stationSettings.json = options.json;
    stationSettings.password = settings.password;
    stationSettings.program = station::OwnExecutablePath(program);
    stationSettings.language = fw::CurrentLanguage() == fw::Language::Chinese ? "zh" : "en";
    stationSettings.workerOptions = job::RecordingOptions(recording, job.input);
    // The line's dashboard names the file as the records do.
    const std::string& fileName = stationSettings.job == station::StationJob::Batch
                                      ? recording.profileName
                                      : recording.firmwareName;
    job::LinePublisher publisher(
        recording.where, {recording.station, stationSettings.job, fileName, stationSettings.bytes,
                          static_cast<int>(job.ports.size())});
    return RunStation(job.ports, stationSettings, console, forwarding, publisher);
}

// The pool a batch's or an apply's devices draw from, opened before any
// port is; null for none. Throws StoreError.
struct PoolDraw {
    std::unique_ptr<records::PoolStore> store;
    std::unique_ptr<job::DevicePool> pool;

    job::DevicePool* Get() { return pool.get(); }
};

PoolDraw OpenPoolDraw(const TirvelctlOptions& options, const SettledJob& job,
                      const job::DeviceRecorder& recorder) {
    PoolDraw draw;
    if (!options.poolDraw.empty()) {
        const std::string& station = recorder.Settings().station;
        draw.store = job::OpenPoolDrawStore(
            job.where, station,
            job.asStation ? static_cast<int>(job.ports.size()) : options.stationPorts);
        draw.pool = std::make_unique<job::DevicePool>(*draw.store, options.poolDraw, station);
    }
    return draw;
}

// One device's command on the console host.
int RunOnHost(TirvelctlOptions& options, SettledJob& job, HostSettings settings, Console& console,
              job::DeviceRecorder& recorder, job::DevicePool* pool) {
    settings.promptForPassword = IsTerminal(kStdinFd);
    ConsoleHost host(settings, console);
    host.SetRecorder(recorder);
    switch (options.subcommand) {
        case Subcommand::Read:
            return RunRead(host, console, options.json);
        case Subcommand::Export:
            return RunExport(host, console, options.exportFile, options.json);
        case Subcommand::Apply:
            return RunApply(host, console,
                            MakeBatchProfile(std::move(job.inputBytes),
                                             job.table ? &*job.table : nullptr, job.values, pool),
                            options.json);
        case Subcommand::Set:
            return RunSet(host, console, job.assignments, options.json);
        case Subcommand::Restore:
            return RunRestore(host, console, options.json);
        case Subcommand::Batch:
            options.batch.profile = std::move(job.inputBytes);
            options.batch.valuesFile = job.values;
            options.batch.values = job.table ? &*job.table : nullptr;
            options.batch.pool = pool;
            return RunBatch(host, console, options.batch, options.json);
        case Subcommand::Update:
            return RunUpdate(host, console, options.firmwareFile);
        case Subcommand::Send:
            return RunSend(host, console, settings, job.inputBytes);
        case Subcommand::Log:
            options.log.outIsTerminal = IsTerminal(kStdoutFd);
            return RunLog(host, console, options.log);
        case Subcommand::Ports:
        case Subcommand::Records:
        case Subcommand::Pool:
            break;
    }
    return kExitFailed;
}

// The settled job on its port or ports, or as one worker of a station.
int RunJob(TirvelctlOptions& options, SettledJob& job, const char* program) {
    const job::RecordingSettings recording = RecordingFor(options, job);
    job::DeviceRecorder recorder(recording);
    HostSettings settings;
    settings.comPort = job.ports.front().comPort;
    settings.devicePath = job.ports.front().devicePath;
    if (options.passwordGiven) {
        settings.password = options.password;
    }
    PoolDraw draw;
    try {
        // Workers draw on their own, each its device's row.
        if (!job.asStation) {
            draw = OpenPoolDraw(options, job, recorder);
        }
    } catch (const records::StoreError& e) {
        Console console(std::cout, std::cerr, Verbosity::Normal, ErrStream::Plain);
        console.Message(res::IDS_POOL_DRAW_FAILED, {options.poolDraw, e.what()});
        return kExitFailed;
    }
    if (options.stationWorker) {
        if (!job.stationJob) {
            return UsageError("--station-worker");
        }
        return RunStationWorker(
            StationJobFor(options.subcommand), settings, job.input, job.inputBytes,
            options.portProven, recorder, job.table ? &*job.table : nullptr,
            options.valuesName.empty() ? job.values : options.valuesName, draw.Get());
    }

    Console console(std::cout, std::cerr, options.quiet ? Verbosity::Quiet : Verbosity::Normal,
                    IsTerminal(kStderrFd) ? ErrStream::Terminal : ErrStream::Plain);
    if (options.subcommand == Subcommand::Ports) {
        return RunPorts(console, options.json);
    }
    // A records file that cannot be used is found out before any device is touched.
    if (!recorder.Open(console)) {
        return kExitFailed;
    }
    // Workers leave their records queued: the supervisor's forwarding sends
    // them, one connection for the station.
    job::RecordsForwarding forwarding(recording.where);
    recorder.OnKept([&forwarding] { forwarding.Wake(); });
    // What was kept last reaches a server that answers before the run ends.
    struct FinishForwarding {
        job::RecordsForwarding& forwarding;
        ~FinishForwarding() { forwarding.Finish(std::chrono::seconds(2)); }
    } finishForwarding{forwarding};

    const int code =
        job.asStation
            ? RunAsStation(options, job, settings, recording, console, forwarding, program)
            : RunOnHost(options, job, settings, console, recorder, draw.Get());
    if (code == kInterruptedExitCode) {
        console.Message(res::IDS_CLI_INTERRUPTED);
    }
    return code;
}

// The --lang given anywhere on the line, looked at before the full parse so
// that even a usage error speaks the chosen language.
std::optional<fw::Language> LanguageFromArguments(int argc, char** argv) {
    std::optional<fw::Language> language;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--lang" && i + 1 < argc) {
            language = fw::ParseLanguage(argv[i + 1]);
        } else if (arg.starts_with("--lang=")) {
            language = fw::ParseLanguage(arg.substr(7));
        }
    }
    return language;
}

}  // namespace

int RunTirvelctl(int argc, char** argv) {
    fw::SetLanguage(LanguageFromArguments(argc, argv).value_or(fw::LanguageFromEnvironment()));
    TirvelctlOptions options;
    if (const std::optional<int> ended = ParseTirvelctlOptions(argc, argv, options)) {
        return *ended;
    }
    SettledJob job;
    if (const std::string refusal = SettleJob(options, job); !refusal.empty()) {
        return UsageError(refusal);
    }
    if (options.subcommand == Subcommand::Records) {
        return RunRecordsCommand(options, job.where);
    }
    if (options.subcommand == Subcommand::Pool) {
        return RunPoolCommand(options, job);
    }
    return RunJob(options, job, argc > 0 ? argv[0] : "tirvelctl");
}

}  // namespace cli
