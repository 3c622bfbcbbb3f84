// What tirvelctl adds to "Failed to open COM port!": the reason, in words the
// operator can act on (close the other program, join the dialout group, pick
// another number).
#pragma once

#include <optional>
#include <string>

#include "cli/Console.h"
#include "serial/ComPort.h"

namespace cli {

// The line that explains the failure, or none when there is nothing useful
// to say. portPath is what was handed to OpenComPort ("\\.\COM3", a device).
std::optional<std::string> ExplainOpenFailure(OpenFailure why, const std::string& portPath);

// Prints the explanation of the calling thread's last failed open, if any.
void ReportOpenFailure(Console& console, const std::string& portPath);

}  // namespace cli
