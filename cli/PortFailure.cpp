#include "cli/PortFailure.h"

#include "res/ResourceIds.h"
#include "serial/PortPath.h"

namespace cli {

std::optional<std::string> ExplainOpenFailure(OpenFailure why, const std::string& portPath) {
    // The device a COM number stands for is what permissions and holders are
    // about; a number that reaches nothing is named as the operator gave it.
    const std::string device = serial::ResolveDevicePath(portPath);
    const int number = serial::ParseComNumber(portPath);
    const std::string named = !device.empty() ? device
                              : number > 0    ? "COM" + std::to_string(number)
                                              : portPath;
    switch (why) {
        case OpenFailure::kInUse:
            return Console::Text(res::IDS_CLI_PORT_IN_USE, {named});
        case OpenFailure::kPermission:
            return Console::Text(res::IDS_CLI_PORT_DENIED, {named});
        case OpenFailure::kNoDevice:
            return Console::Text(res::IDS_CLI_PORT_MISSING, {named});
        case OpenFailure::kOther:
            return Console::Text(res::IDS_CLI_PORT_NOT_SERIAL, {named});
        case OpenFailure::kNone:
            break;
    }
    return std::nullopt;
}

void ReportOpenFailure(Console& console, const std::string& portPath) {
    if (auto line = ExplainOpenFailure(LastOpenComPortFailure(), portPath)) {
        console.Message(*line);
    }
}

}  // namespace cli
