#include "cli/Tirvelctl.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

#include "cfgfile/InputFile.h"
#include "cli/Commands.h"
#include "cli/RecordsCommand.h"
#include "cli/SecretLine.h"
#include "cli/Station.h"
#include "cli/StationWorker.h"
#include "cli/Terminal.h"
#include "common/Sha256.h"
#include "framework/CodePage.h"
#include "job/DeviceRecorder.h"
#include "job/JobFiles.h"
#include "job/OptionChecks.h"
#include "job/RecordsForwarding.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"
#include "station/PortList.h"
#include "station/StationEvents.h"
#include "station/WorkerProcess.h"

#ifndef TIRVEL_VERSION
#error "TIRVEL_VERSION comes from the build"
#endif

namespace cli {
namespace {

int UsageError(const std::string& detail) {
    Console console(std::cout, std::cerr, false, false);
    console.Message(res::IDS_CLI_USAGE_ERROR, {detail});
    console.Message(res::IDS_CLI_SEE_HELP);
    return kExitUsage;
}

}  // namespace

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

int RunTirvelctl(int argc, char** argv) {
    fw::SetLanguage(LanguageFromArguments(argc, argv).value_or(fw::LanguageFromEnvironment()));

    CLI::App app{"tirvelctl: configures Kavrel DTUs over a serial port, one device after another",
                 "tirvelctl"};
    app.set_version_flag("--version", std::string("tirvelctl ") + TIRVEL_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(
        "Exit status: 0 success, 1 the device work failed (the reason is printed), "
        "2 usage error, 130 interrupted (Ctrl+C).");

    std::string portText = "1";
    std::vector<std::string> devices;
    bool stationWorker = false;
    std::string password;
    std::string language;
    bool json = false;
    bool quiet = false;
    auto* portOption = app.add_option("-p,--port", portText, Console::Text(res::IDS_CLI_HELP_PORT))
                           ->option_text("N|LIST");
    auto* deviceOption =
        app.add_option("-d,--device", devices, Console::Text(res::IDS_CLI_HELP_DEVICE))
            ->option_text("PATH");
    portOption->excludes(deviceOption);
    // One device on one port for a station's supervisor, told as event lines.
    app.add_flag("--station-worker", stationWorker)->group("");
    bool portProven = false;
    app.add_flag(station::kPortProvenOption, portProven)->group("");
    auto* passwordOption = app.add_option("--password", password, "The devices' password");
    app.add_option("--lang", language, "en|zh (default: from the locale)");
    app.add_flag("--json", json, "Machine-readable output on stdout");
    app.add_flag("-q,--quiet", quiet, "No progress lines (outcomes and failures still shown)");
    std::string recordsText;
    auto* recordsOption =
        app.add_option("--records", recordsText, Console::Text(res::IDS_CLI_HELP_RECORDS))
            ->option_text("off|sqlite:PATH|postgresql://…");
    job::RecordingSettings recording;
    app.add_option("--station", recording.station, Console::Text(res::IDS_CLI_HELP_STATION_NAME))
        ->option_text("NAME");
    app.add_option("--operator", recording.operatorName, Console::Text(res::IDS_CLI_HELP_OPERATOR))
        ->option_text("NAME");
    // A worker's file is the supervisor's private copy: the record names the operator's.
    std::string recordName;
    app.add_option("--record-name", recordName)->group("");

    auto* ports = app.add_subcommand("ports", "List the COM numbers in use and what they reach");
    auto* read = app.add_subcommand("read", "Wait for a device and print its configuration");
    std::string exportFile;
    auto* exportCommand =
        app.add_subcommand("export", "Read a device and save its configuration to FILE");
    exportCommand->add_option("FILE", exportFile, "Configuration file to write")->required();
    std::string applyFile;
    auto* apply =
        app.add_subcommand("apply", "Read a device, import FILE and write the items that differ");
    apply->add_option("FILE", applyFile, "Configuration file to apply")->required();
    std::vector<std::string> assignmentArgs;
    auto* set = app.add_subcommand("set", "Read a device and write the given item values");
    set->add_option("ASSIGNMENT", assignmentArgs, "N=VALUE, N the item number 1-60")->required();
    auto* restore = app.add_subcommand("restore", "Read a device and restore its factory settings");
    BatchSettings batchSettings;
    auto* batch = app.add_subcommand(
        "batch", "Apply FILE to device after device (Ctrl+C ends); one report line per device");
    batch->add_option("FILE", batchSettings.file, "Configuration file to apply")->required();
    std::string countText;
    batch->add_option("--count", countText, "Stop after N devices (default: Ctrl+C)")
        ->option_text("N");
    batch->add_option("--report", batchSettings.reportPath, Console::Text(res::IDS_CLI_HELP_REPORT))
        ->option_text("FILE");

    std::string firmwareFile;
    auto* update = app.add_subcommand("update", Console::Text(res::IDS_CLI_HELP_UPDATE));
    update->add_option("FIRMWARE", firmwareFile, Console::Text(res::IDS_CLI_HELP_FIRMWARE))
        ->required();
    std::string updateCountText;
    auto* updateCount =
        update
            ->add_option("--count", updateCountText, Console::Text(res::IDS_CLI_HELP_UPDATE_COUNT))
            ->option_text("N");
    std::string updateReport;
    auto* updateReportOption =
        update->add_option("--report", updateReport, Console::Text(res::IDS_CLI_HELP_REPORT))
            ->option_text("FILE");
    std::string sendFile;
    auto* send = app.add_subcommand("send", Console::Text(res::IDS_CLI_HELP_SEND));
    send->add_option("FILE", sendFile, Console::Text(res::IDS_CLI_HELP_SEND_FILE))->required();
    LogSettings logSettings;
    auto* log = app.add_subcommand("log", Console::Text(res::IDS_CLI_HELP_LOG));
    log->add_option("--output", logSettings.outputPath, Console::Text(res::IDS_CLI_HELP_LOG_OUTPUT))
        ->option_text("FILE");
    std::string secondsText;
    log->add_option("--seconds", secondsText, Console::Text(res::IDS_CLI_HELP_LOG_SECONDS))
        ->option_text("N");

    auto* recordsCommand =
        app.add_subcommand("records", Console::Text(res::IDS_CLI_HELP_RECORDS_COMMAND));
    records::RecordQuery recordQuery;
    std::string sinceText;
    std::string untilText;
    std::string resultText;
    bool csv = false;
    recordsCommand->add_option("--imei", recordQuery.imei, "IMEI")->option_text("IMEI");
    recordsCommand->add_option("--since", sinceText, "UTC")->option_text("TIME");
    recordsCommand->add_option("--until", untilText, "UTC")->option_text("TIME");
    recordsCommand->add_option("--result", resultText, "ok|failed|interrupted")
        ->option_text("RESULT");
    recordsCommand->add_option("--station", recordQuery.station)->option_text("NAME");
    recordsCommand->add_flag("--csv", csv, "CSV on stdout");
    std::string recordId;
    auto* recordsShow =
        recordsCommand->add_subcommand("show", Console::Text(res::IDS_CLI_HELP_RECORDS_SHOW));
    recordsShow->add_option("ID", recordId, "Record")->required();
    auto* recordsPush =
        recordsCommand->add_subcommand("push", Console::Text(res::IDS_CLI_HELP_RECORDS_PUSH));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what());
    }

    if (!language.empty() && !fw::ParseLanguage(language)) {
        return UsageError(job::LanguageRefusal(language));
    }
    station::PortListResult portList = deviceOption->count() > 0 ? station::DevicePorts(devices)
                                                                 : station::ParsePortList(portText);
    if (auto* error = std::get_if<station::PortListError>(&portList)) {
        return UsageError(job::PortListRefusal(*error, portText));
    }
    const std::vector<station::StationPort> stationPorts =
        std::get<std::vector<station::StationPort>>(std::move(portList));
    int updateCountValue = 0;
    for (const auto& [name, text, target] :
         {std::tuple{"--count", &countText, &batchSettings.count},
          std::tuple{"--count", &updateCountText, &updateCountValue},
          std::tuple{"--seconds", &secondsText, &logSettings.seconds}}) {
        if (text->empty()) {
            continue;
        }
        const std::optional<int> number = job::ParseCount(*text);
        if (!number) {
            return UsageError(job::CountRefusal(name, *text));
        }
        *target = *number;
    }
    std::vector<ItemAssignment> assignments;
    if (set->parsed()) {
        auto parsed = ParseAssignments(assignmentArgs);
        if (auto* error = std::get_if<AssignmentError>(&parsed)) {
            return UsageError(
                error->kind == AssignmentError::Duplicate
                    ? Console::Text(res::IDS_CLI_DUPLICATE_ITEM, {std::to_string(error->number)})
                    : Console::Text(res::IDS_CLI_BAD_ASSIGNMENT, {error->argument}));
        }
        assignments = std::get<std::vector<ItemAssignment>>(std::move(parsed));
        // A character the device's code page lacks would be written as '?',
        // and the read-back would then find the '?' it was sent.
        for (const ItemAssignment& a : assignments) {
            if (!fw::CanEncodeAnsi(a.value)) {
                return UsageError(Console::Text(
                    res::IDS_CLI_VALUE_NOT_ENCODABLE,
                    {std::to_string(a.number), a.value, fw::CodePageName(fw::CurrentLanguage())}));
            }
        }
    }
    const bool stationJob = update->parsed() || send->parsed() || batch->parsed();
    // Several ports, or an update that counts or reports: a station.
    const bool updateStation =
        update->parsed() && (updateCount->count() > 0 || updateReportOption->count() > 0);
    const bool asStation = stationJob && (stationPorts.size() > 1 || updateStation);

    // What the command reads is read here, once, before a device waits for
    // it: those bytes are imported and judged, whatever the file holds later.
    // Only regular files: a FIFO would hold the open for ever, a device never
    // end. An image that cannot be read or holds nothing would only be found
    // out once the device sits in its boot loader.
    std::string input;  // as the operator named it
    std::string inputBytes;
    std::string refusal;
    if (apply->parsed() || batch->parsed()) {
        input = apply->parsed() ? applyFile : batchSettings.file;
        refusal = job::ReadProfile(input, inputBytes);
    } else if (update->parsed() && !asStation) {
        // The view reads the image when the loader asks for it, as "Update
        // File" does.
        input = firmwareFile;
        refusal = job::FirmwareRefusal(cfgfile::CheckInputFile(input, cfgfile::kFirmwareLimitBytes),
                                       input);
    } else if (update->parsed() || send->parsed()) {
        input = update->parsed() ? firmwareFile : sendFile;
        refusal = job::ReadFirmware(input, inputBytes);
    }
    // Where the command writes, checked before the port opens as well: a FIFO
    // nobody reads would hold the write for ever, and a report written over
    // the profile would destroy it.
    const std::string output = exportCommand->parsed() ? exportFile
                               : log->parsed()         ? logSettings.outputPath
                               : batch->parsed()       ? batchSettings.reportPath
                               : update->parsed()      ? updateReport
                                                       : std::string();
    if (refusal.empty() && !output.empty()) {
        refusal = job::OutputRefusal(output, input, stationPorts);
    }
    if (!refusal.empty()) {
        return UsageError(refusal);
    }

    if (stationPorts.size() > 1 && !stationJob && !ports->parsed()) {
        return UsageError(
            Console::Text(res::IDS_CLI_ONE_PORT_ONLY, {app.get_subcommands().front()->get_name()}));
    }

    const std::optional<records::RecordsSetting> where = records::RecordsSettingInForce(
        recordsOption->count() > 0 ? std::optional<std::string>(recordsText) : std::nullopt);
    if (!where) {
        return UsageError(job::RecordsSettingRefusal(
            recordsOption->count() > 0 ? recordsText : "TIRVEL_RECORDS"));
    }
    // The records database is an input of every command, also of one that
    // keeps no record (log): an export or a report over it lost every record.
    if (const std::string clash = job::RecordsRefusal(*where, input, output); !clash.empty()) {
        return UsageError(clash);
    }
    if (recordsCommand->parsed()) {
        if (where->kind == records::RecordsSetting::Kind::Off) {
            return UsageError(Console::Text(res::IDS_RECORDS_OFF));
        }
        if (recordsPush->parsed()) {
            Console console(std::cout, std::cerr, quiet, IsTerminal(kStderrFd));
            if (where->kind != records::RecordsSetting::Kind::Server) {
                console.Message(res::IDS_RECORDS_PUSH_LOCAL_ONLY);
                return kExitFailed;
            }
            return PushRecordsNow(console, *where);
        }
        // A filter given empty (a script's unset variable) would match every
        // record, any device's.
        for (const CLI::Option* filter : recordsCommand->get_options()) {
            if (filter->count() > 0 && filter->get_expected_min() > 0 &&
                filter->as<std::string>().empty()) {
                return UsageError(
                    Console::Text(res::IDS_RECORDS_EMPTY_FILTER, {filter->get_name()}));
            }
        }
        for (auto& [name, text] : {std::pair<const char*, std::string*>{"--since", &sinceText},
                                   {"--until", &untilText}}) {
            if (text->empty()) {
                continue;
            }
            const std::optional<std::string> time = ParseRecordsTime(*text);
            if (!time) {
                return UsageError(Console::Text(res::IDS_RECORDS_BAD_TIME, {name, *text}));
            }
            (name == std::string("--since") ? recordQuery.since : recordQuery.until) = *time;
        }
        if (!resultText.empty()) {
            recordQuery.result = records::ParseResult(resultText);
            if (!recordQuery.result) {
                return UsageError(Console::Text(res::IDS_RECORDS_BAD_RESULT, {resultText}));
            }
        }
        // The IMEI as the device sends it: typed text in the device's code page.
        recordQuery.imei = fw::EncodeAnsi(recordQuery.imei);
        Console console(std::cout, std::cerr, quiet, IsTerminal(kStderrFd));
        const RecordsFormat format = json  ? RecordsFormat::Json
                                     : csv ? RecordsFormat::Csv
                                           : RecordsFormat::Table;
        return recordsShow->parsed() ? RunRecordsShow(console, *where, recordId, format)
                                     : RunRecordsList(console, *where, recordQuery, format);
    }
    recording.where = *where;
    // Reading the log works no device, and listing ports touches none.
    if (ports->parsed() || log->parsed()) {
        recording.where.kind = records::RecordsSetting::Kind::Off;
    }
    recording.command = app.get_subcommands().front()->get_name();
    // The profile or image a device was given, named and told by its digest.
    if (apply->parsed() || batch->parsed()) {
        recording.profileName = recordName.empty() ? input : recordName;
        recording.profileSha256 = common::Sha256::HexDigest(inputBytes);
    } else if (update->parsed() || send->parsed()) {
        recording.firmwareName = recordName.empty() ? input : recordName;
        if (!inputBytes.empty()) {
            recording.firmwareSha256 = common::Sha256::HexDigest(inputBytes);
            recording.firmwareBytes = static_cast<std::int64_t>(inputBytes.size());
        } else {
            // A single update's view reads the image itself, when the loader
            // asks; the record names the file by its digest once a device
            // was worked, not before the port opens.
            recording.firmwarePath = input;
        }
    }
    job::DeviceRecorder recorder(recording);

    HostSettings settings;
    settings.comPort = stationPorts.front().comPort;
    settings.devicePath = stationPorts.front().devicePath;
    if (passwordOption->count() > 0) {
        settings.password = password;
    }
    if (stationWorker) {
        if (!stationJob) {
            return UsageError("--station-worker");
        }
        const station::StationJob job = update->parsed() ? station::StationJob::Update
                                        : send->parsed() ? station::StationJob::Send
                                                         : station::StationJob::Batch;
        return RunStationWorker(job, settings, input, inputBytes, portProven, recorder);
    }

    Console console(std::cout, std::cerr, quiet, IsTerminal(kStderrFd));
    if (ports->parsed()) {
        return RunPorts(console, json);
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

    if (asStation) {
        StationSettings stationSettings;
        stationSettings.job = update->parsed() ? station::StationJob::Update
                              : send->parsed() ? station::StationJob::Send
                                               : station::StationJob::Batch;
        stationSettings.file = input;
        stationSettings.bytes = std::move(inputBytes);
        stationSettings.count = update->parsed() ? updateCountValue : batchSettings.count;
        stationSettings.reportPath = update->parsed() ? updateReport : batchSettings.reportPath;
        stationSettings.json = json;
        stationSettings.password = settings.password;
        stationSettings.program = station::OwnExecutablePath(argc > 0 ? argv[0] : "tirvelctl");
        stationSettings.language = fw::CurrentLanguage() == fw::Language::Chinese ? "zh" : "en";
        stationSettings.workerOptions = job::RecordingOptions(recording, input);
        const int code = RunStation(stationPorts, stationSettings, console, forwarding);
        if (code == kInterruptedExitCode) {
            console.Message(res::IDS_CLI_INTERRUPTED);
        }
        return code;
    }
    settings.promptForPassword = IsTerminal(kStdinFd);
    ConsoleHost host(settings, console);
    host.SetRecorder(recorder);

    int code = kExitFailed;
    if (read->parsed()) {
        code = RunRead(host, console, json);
    } else if (exportCommand->parsed()) {
        code = RunExport(host, console, exportFile, json);
    } else if (apply->parsed()) {
        code = RunApply(host, console, inputBytes, json);
    } else if (set->parsed()) {
        code = RunSet(host, console, assignments, json);
    } else if (restore->parsed()) {
        code = RunRestore(host, console, json);
    } else if (batch->parsed()) {
        batchSettings.profile = std::move(inputBytes);
        code = RunBatch(host, console, batchSettings, json);
    } else if (update->parsed()) {
        code = RunUpdate(host, console, firmwareFile);
    } else if (send->parsed()) {
        code = RunSend(host, console, settings, inputBytes);
    } else if (log->parsed()) {
        logSettings.outIsTerminal = IsTerminal(kStdoutFd);
        code = RunLog(host, console, logSettings);
    }
    if (code == kInterruptedExitCode) {
        console.Message(res::IDS_CLI_INTERRUPTED);
    }
    return code;
}

}  // namespace cli
