// The subcommands of tirvelctl, each a sequence of the operator's actions on
// the view; success is read from the message boxes the view showed.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/Assignments.h"
#include "cli/Console.h"
#include "cli/ConsoleHost.h"
#include "cli/ReadBack.h"
#include "job/DevicePool.h"
#include "job/DeviceReport.h"
#include "job/ValuesTable.h"
#include "station/DeviceProgress.h"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A command's JSON document on stdout, indented, with nothing a terminal would act on.
void PrintJson(Console& console, const nlohmann::ordered_json& document);

int RunPorts(Console& console, bool json);
int RunRead(ConsoleHost& host, Console& console, bool json);
int RunExport(ConsoleHost& host, Console& console, const std::string& file, bool json);
struct BatchProfile;
// profile: the file's, read once; Import and the verdict both use them.
int RunApply(ConsoleHost& host, Console& console, const BatchProfile& profile, bool json);
int RunSet(ConsoleHost& host, Console& console, const std::vector<ItemAssignment>& assignments,
           bool json);
int RunRestore(ConsoleHost& host, Console& console, bool json);

struct BatchSettings {
    std::string file;        // as the operator named it
    std::string profile;     // its bytes, read once before the port opened
    int count = 0;           // 0: until Ctrl+C
    std::string reportPath;  // CSV; empty for none
    std::string valuesFile;  // the values table as the operator named it; empty for none
    const job::ValuesTable* values = nullptr;  // read and checked from it
    job::DevicePool* pool = nullptr;           // the pool each device draws a row from
};
int RunBatch(ConsoleHost& host, Console& console, const BatchSettings& settings, bool json);

// A batch's profile: what every device is imported, written and judged on,
// the same bytes for all of them even if the file changes meanwhile; and the
// values table whose row for each device is laid over it, if there is one.
struct BatchProfile {
    std::string bytes;
    std::vector<WantedItem> wanted;
    std::set<std::string> keys;  // the labels it names
    const job::ValuesTable* values = nullptr;
    std::string valuesName;  // the table's file as the operator named it
    job::DevicePool* pool = nullptr;
};
BatchProfile MakeBatchProfile(std::string bytes, const job::ValuesTable* values = nullptr,
                              std::string valuesName = std::string(),
                              job::DevicePool* pool = nullptr);

// What a batch carries from device to device on one port, in one process:
// whether the profile is imported, and whether the port is proven (it has
// given a device before, an IMEI the batch takes).
struct BatchPort {
    bool imported = false;
    bool proven = false;
};

// One device of a batch: waits for it, writes the profile and judges the
// read-back; the port turns proven once this device does. A port not yet
// proven whose try fails before that is PortFailed, and claims nothing.
// row is filled for every outcome but Interrupted and Surplus.
station::DeviceOutcome BatchDevice(ConsoleHost& host, Console& console, const BatchProfile& profile,
                                   BatchPort& port, station::DeviceObserver& observer,
                                   station::DeviceRow& row);

// The port the view opens, as reports name it.
std::string PortLabel(CTirvel2View& view);

// The firmware update as "Update File" does it, with FIRMWARE chosen.
int RunUpdate(ConsoleHost& host, Console& console, const std::string& firmware);
// One device's update; row.bytes is what the loader acknowledged.
station::DeviceOutcome UpdateDevice(ConsoleHost& host, Console& console,
                                    const std::string& firmware, station::DeviceObserver& observer,
                                    station::DeviceRow& row);
// The XMODEM sender alone on the port, for a loader entered by other means;
// image is the file's bytes, read before the port opened.
int RunSend(ConsoleHost& host, Console& console, const HostSettings& settings,
            const std::string& image);
station::DeviceOutcome SendToPort(ConsoleHost& host, Console& console, const HostSettings& settings,
                                  const std::string& image, station::DeviceObserver& observer,
                                  station::DeviceRow& row);

struct LogSettings {
    std::string outputPath;  // also saved here, as the Save button does; empty for none
    int seconds = 0;         // 0: until Ctrl+C
    bool outIsTerminal = false;
};
int RunLog(ConsoleHost& host, Console& console, const LogSettings& settings);

}  // namespace cli
