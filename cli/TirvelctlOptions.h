// tirvelctl's command line as the operator typed it: every option and
// subcommand, parsed but not yet judged. The checks that need the files, the
// ports or the records setting come after, in Tirvelctl.cpp.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "job/DeviceRecorder.h"
#include "records/DeviceRecord.h"

namespace cli {

enum class Subcommand {
    Ports,
    Read,
    Export,
    Apply,
    Set,
    Restore,
    Batch,
    Update,
    Send,
    Log,
    Records,
    Pool
};

// What "records" was asked to do: list the records, show one, or push the queue.
enum class RecordsAction { List, Show, Push };

enum class PoolAction { Import, Status, List, Show };

struct TirvelctlOptions {
    Subcommand subcommand = Subcommand::Ports;
    std::string subcommandName;  // as typed, for messages and records

    // Before the subcommand.
    std::string portText = "1";
    std::vector<std::string> devices;
    bool devicesGiven = false;  // -d: these paths instead of -p
    bool stationWorker = false;
    bool portProven = false;
    int stationPorts = 1;  // a worker's: how many ports its station works
    std::string password;
    bool passwordGiven = false;
    std::string language;
    bool json = false;
    bool quiet = false;
    std::string recordsText;
    bool recordsGiven = false;         // if not, TIRVEL_RECORDS or the default
    job::RecordingSettings recording;  // --station and --operator
    std::string recordName;

    // The subcommands' own.
    std::string exportFile;
    std::string applyFile;
    std::string valuesFile;  // apply's and batch's --values
    std::string valuesName;  // a worker's: the operator's name for its copy of the table
    std::string poolDraw;    // apply's and batch's --pool: the pool each device draws from
    std::vector<std::string> assignmentArgs;
    BatchSettings batch;
    std::string batchCountText;
    std::string firmwareFile;
    std::string updateCountText;
    std::string updateReport;
    bool updateCountOrReportGiven = false;
    std::string sendFile;
    LogSettings log;
    std::string secondsText;

    RecordsAction recordsAction = RecordsAction::List;
    records::RecordQuery recordQuery;
    std::string sinceText;
    std::string untilText;
    std::string resultText;
    bool csv = false;
    std::string recordId;
    // The first records filter given as empty text, as named on the line.
    std::optional<std::string> emptyFilter;

    PoolAction poolAction = PoolAction::List;
    std::string poolName;  // import's and status's NAME
    std::string poolFile;
    std::string poolImei;
};

// Parses the line into options. Returns the exit code when the parse ends
// the run: help or version printed, or a usage error told.
std::optional<int> ParseTirvelctlOptions(int argc, char** argv, TirvelctlOptions& options);

// The usage error's two lines on stderr; returns the exit code for it.
int UsageError(const std::string& detail);

}  // namespace cli
