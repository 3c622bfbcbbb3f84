#include "common/Environment.h"
#include "records/RecordsSetting.h"

namespace records {

std::string DefaultRecordsPath() {
    const std::string base = EnvironmentVariable("LOCALAPPDATA");
    return base.empty() ? std::string() : base + "\\Tirvel\\records.db";
}

}  // namespace records
