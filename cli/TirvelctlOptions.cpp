#include "cli/TirvelctlOptions.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <utility>

#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "station/StationEvents.h"

#ifndef TIRVEL_VERSION
#error "TIRVEL_VERSION comes from the build"
#endif

namespace cli {
namespace {

// The options before the subcommand, which every subcommand shares.
void AddSharedOptions(CLI::App& app, TirvelctlOptions& options) {
    auto* portOption =
        app.add_option("-p,--port", options.portText, Console::Text(res::IDS_CLI_HELP_PORT))
            ->option_text("N|LIST");
    auto* deviceOption =
        app.add_option("-d,--device", options.devices, Console::Text(res::IDS_CLI_HELP_DEVICE))
            ->option_text("PATH");
    portOption->excludes(deviceOption);
    // One device on one port for a station's supervisor, told as event lines.
    app.add_flag("--station-worker", options.stationWorker)->group("");
    app.add_flag(station::kPortProvenOption, options.portProven)->group("");
    app.add_option(station::kStationPortsOption, options.stationPorts)->group("");
    app.add_option("--password", options.password, "The devices' password");
    app.add_option("--lang", options.language, "en|zh (default: from the locale)");
    app.add_flag("--json", options.json, "Machine-readable output on stdout");
    app.add_flag("-q,--quiet", options.quiet,
                 "No progress lines (outcomes and failures still shown)");
    app.add_option("--records", options.recordsText, Console::Text(res::IDS_CLI_HELP_RECORDS))
        ->option_text("off|sqlite:PATH|postgresql://…");
    app.add_option("--station", options.recording.station,
                   Console::Text(res::IDS_CLI_HELP_STATION_NAME))
        ->option_text("NAME");
    app.add_option("--operator", options.recording.operatorName,
                   Console::Text(res::IDS_CLI_HELP_OPERATOR))
        ->option_text("NAME");
    // A worker's file is the supervisor's private copy: the record names the operator's.
    app.add_option("--record-name", options.recordName)->group("");
}

// The subcommands that work one device: read, change or restore its items.
void AddItemCommands(CLI::App& app, TirvelctlOptions& options) {
    app.add_subcommand("ports", "List the COM numbers in use and what they reach");
    app.add_subcommand("read", "Wait for a device and print its configuration");
    app.add_subcommand("export", "Read a device and save its configuration to FILE")
        ->add_option("FILE", options.exportFile, "Configuration file to write")
        ->required();
    auto* apply =
        app.add_subcommand("apply", "Read a device, import FILE and write the items that differ");
    apply->add_option("FILE", options.applyFile, "Configuration file to apply")->required();
    apply->add_option("--values", options.valuesFile, Console::Text(res::IDS_CLI_HELP_VALUES))
        ->option_text("FILE.csv");
    apply->add_option("--pool", options.poolDraw, Console::Text(res::IDS_CLI_HELP_POOL_DRAW))
        ->option_text("NAME");
    app.add_subcommand("set", "Read a device and write the given item values")
        ->add_option("ASSIGNMENT", options.assignmentArgs, "N=VALUE, N the item number 1-60")
        ->required();
    app.add_subcommand("restore", "Read a device and restore its factory settings");
}

// The subcommands a station can run on many ports, and the debug log.
void AddStationCommands(CLI::App& app, TirvelctlOptions& options) {
    auto* batch = app.add_subcommand(
        "batch", "Apply FILE to device after device (Ctrl+C ends); one report line per device");
    batch->add_option("FILE", options.batch.file, "Configuration file to apply")->required();
    batch->add_option("--count", options.batchCountText, "Stop after N devices (default: Ctrl+C)")
        ->option_text("N");
    batch->add_option("--report", options.batch.reportPath, Console::Text(res::IDS_CLI_HELP_REPORT))
        ->option_text("FILE");
    batch->add_option("--values", options.valuesFile, Console::Text(res::IDS_CLI_HELP_VALUES))
        ->option_text("FILE.csv");
    batch->add_option("--pool", options.poolDraw, Console::Text(res::IDS_CLI_HELP_POOL_DRAW))
        ->option_text("NAME");
    // A worker's table is the supervisor's private copy: its rows are named by the operator's.
    batch->add_option(station::kValuesNameOption, options.valuesName)->group("");

    auto* update = app.add_subcommand("update", Console::Text(res::IDS_CLI_HELP_UPDATE));
    update->add_option("FIRMWARE", options.firmwareFile, Console::Text(res::IDS_CLI_HELP_FIRMWARE))
        ->required();
    update
        ->add_option("--count", options.updateCountText,
                     Console::Text(res::IDS_CLI_HELP_UPDATE_COUNT))
        ->option_text("N");
    update->add_option("--report", options.updateReport, Console::Text(res::IDS_CLI_HELP_REPORT))
        ->option_text("FILE");

    auto* send = app.add_subcommand("send", Console::Text(res::IDS_CLI_HELP_SEND));
    send->add_option("FILE", options.sendFile, Console::Text(res::IDS_CLI_HELP_SEND_FILE))
        ->required();

    auto* log = app.add_subcommand("log", Console::Text(res::IDS_CLI_HELP_LOG));
    log->add_option("--output", options.log.outputPath, Console::Text(res::IDS_CLI_HELP_LOG_OUTPUT))
        ->option_text("FILE");
    log->add_option("--seconds", options.secondsText, Console::Text(res::IDS_CLI_HELP_LOG_SECONDS))
        ->option_text("N");
}

void AddRecordsCommand(CLI::App& app, TirvelctlOptions& options) {
    auto* records = app.add_subcommand("records", Console::Text(res::IDS_CLI_HELP_RECORDS_COMMAND));
    records->add_option("--imei", options.recordQuery.imei, "IMEI")->option_text("IMEI");
    records->add_option("--since", options.sinceText, "UTC")->option_text("TIME");
    records->add_option("--until", options.untilText, "UTC")->option_text("TIME");
    records->add_option("--result", options.resultText, "ok|failed|interrupted")
        ->option_text("RESULT");
    records->add_option("--station", options.recordQuery.station)->option_text("NAME");
    records->add_flag("--csv", options.csv, "CSV on stdout");
    records->add_subcommand("show", Console::Text(res::IDS_CLI_HELP_RECORDS_SHOW))
        ->add_option("ID", options.recordId, "Record")
        ->required();
    records->add_subcommand("push", Console::Text(res::IDS_CLI_HELP_RECORDS_PUSH));
}

void AddPoolCommand(CLI::App& app, TirvelctlOptions& options) {
    auto* pool = app.add_subcommand("pool", Console::Text(res::IDS_CLI_HELP_POOL));
    pool->require_subcommand(1, 1);
    auto* import = pool->add_subcommand("import", Console::Text(res::IDS_CLI_HELP_POOL_IMPORT));
    import->add_option("NAME", options.poolName, "Pool")->required();
    import->add_option("FILE", options.poolFile, "FILE.csv")->required();
    pool->add_subcommand("status", Console::Text(res::IDS_CLI_HELP_POOL_STATUS))
        ->add_option("NAME", options.poolName, "Pool")
        ->required();
    pool->add_subcommand("list", Console::Text(res::IDS_CLI_HELP_POOL_LIST));
    pool->add_subcommand("show", Console::Text(res::IDS_CLI_HELP_POOL_SHOW))
        ->add_option("--imei", options.poolImei, "IMEI")
        ->option_text("IMEI")
        ->required();
}

Subcommand SubcommandNamed(const std::string& name) {
    static const std::pair<const char*, Subcommand> kNames[] = {
        {"ports", Subcommand::Ports},     {"read", Subcommand::Read},
        {"export", Subcommand::Export},   {"apply", Subcommand::Apply},
        {"set", Subcommand::Set},         {"restore", Subcommand::Restore},
        {"batch", Subcommand::Batch},     {"update", Subcommand::Update},
        {"send", Subcommand::Send},       {"log", Subcommand::Log},
        {"records", Subcommand::Records}, {"pool", Subcommand::Pool},
    };
    for (const auto& [known, subcommand] : kNames) {
        if (name == known) {
            return subcommand;
        }
    }
    throw std::logic_error("subcommand without a name: " + name);
}

// What the parse leaves in the parser rather than in the bound values:
// which options were given at all, and which subcommand ran.
void TakeWhatWasGiven(const CLI::App& app, TirvelctlOptions& options) {
    options.devicesGiven = app.count("--device") > 0;
    options.passwordGiven = app.count("--password") > 0;
    options.recordsGiven = app.count("--records") > 0;
    const CLI::App* update = app.get_subcommand("update");
    options.updateCountOrReportGiven =
        update->count("--count") > 0 || update->count("--report") > 0;
    options.subcommandName = app.get_subcommands().front()->get_name();
    options.subcommand = SubcommandNamed(options.subcommandName);

    const CLI::App* records = app.get_subcommand("records");
    options.recordsAction = records->get_subcommand("push")->parsed()   ? RecordsAction::Push
                            : records->get_subcommand("show")->parsed() ? RecordsAction::Show
                                                                        : RecordsAction::List;
    const CLI::App* pool = app.get_subcommand("pool");
    for (const auto& [name, action] :
         {std::pair{"import", PoolAction::Import}, std::pair{"status", PoolAction::Status},
          std::pair{"list", PoolAction::List}, std::pair{"show", PoolAction::Show}}) {
        if (pool->get_subcommand(name)->parsed()) {
            options.poolAction = action;
        }
    }
    // A filter given empty (a script's unset variable) would match every
    // record, any device's.
    for (const CLI::Option* filter : records->get_options()) {
        if (filter->count() > 0 && filter->get_expected_min() > 0 &&
            filter->as<std::string>().empty()) {
            options.emptyFilter = filter->get_name();
            break;
        }
    }
}

}  // namespace

int UsageError(const std::string& detail) {
    Console console(std::cout, std::cerr, Verbosity::Normal, ErrStream::Plain);
    console.Message(res::IDS_CLI_USAGE_ERROR, {detail});
    console.Message(res::IDS_CLI_SEE_HELP);
    return kExitUsage;
}

std::optional<int> ParseTirvelctlOptions(int argc, char** argv, TirvelctlOptions& options) {
    CLI::App app{"tirvelctl: configures Kavrel DTUs over a serial port, one device after another",
                 "tirvelctl"};
    app.set_version_flag("--version", std::string("tirvelctl ") + TIRVEL_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(
        "Exit status: 0 success, 1 the device work failed (the reason is printed), "
        "2 usage error, 130 interrupted (Ctrl+C).");
    AddSharedOptions(app, options);
    AddItemCommands(app, options);
    AddStationCommands(app, options);
    AddRecordsCommand(app, options);
    AddPoolCommand(app, options);
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
    TakeWhatWasGiven(app, options);
    return std::nullopt;
}

}  // namespace cli
