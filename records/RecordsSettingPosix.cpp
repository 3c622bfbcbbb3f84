#include "common/Environment.h"
#include "records/RecordsSetting.h"

namespace records {

std::string DefaultRecordsPath() {
    // A relative XDG path is to be ignored, as the standard says.
    if (const std::string xdg = EnvironmentVariable("XDG_DATA_HOME");
        !xdg.empty() && xdg[0] == '/') {
        return xdg + "/tirvel/records.db";
    }
    const std::string home = EnvironmentVariable("HOME");
    return home.empty() ? std::string() : home + "/.local/share/tirvel/records.db";
}

}  // namespace records
