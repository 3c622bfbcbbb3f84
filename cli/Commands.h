// The subcommands of tirvelctl, each a sequence of the operator's actions on
// the view; success is read from the message boxes the view showed.
#pragma once

#include <string>
#include <vector>

#include "cli/Assignments.h"
#include "cli/Console.h"
#include "cli/ConsoleHost.h"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunPorts(Console& console, bool json);
int RunRead(ConsoleHost& host, Console& console, bool json);
int RunExport(ConsoleHost& host, Console& console, const std::string& file, bool json);
int RunApply(ConsoleHost& host, Console& console, const std::string& file, bool json);
int RunSet(ConsoleHost& host, Console& console, const std::vector<ItemAssignment>& assignments,
           bool json);
int RunRestore(ConsoleHost& host, Console& console, bool json);

struct BatchSettings {
    std::string file;
    int count = 0;           // 0: until Ctrl+C
    std::string reportPath;  // CSV; empty for none
};
int RunBatch(ConsoleHost& host, Console& console, const BatchSettings& settings, bool json);

// The item's name: its label without the "N. " the form puts in front.
std::string ItemName(const std::string& label, int number);

}  // namespace cli
