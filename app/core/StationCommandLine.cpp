#include "app/core/StationCommandLine.h"

#include "framework/StringTable.h"
#include "records/RecordsSetting.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace app {
namespace {

std::string Usage() {
    return "tirvel-station [--lang en|zh] [-p PORTS | --device PATH ...] "
           "[--profile FILE | --firmware FILE] [--count N] [--report FILE] "
           "[--records off|sqlite:PATH|postgresql://…] [--start]";
}

StationParseResult Refuse(std::string message) {
    StationParseResult result;
    result.exitStatus = 2;
    result.message = std::move(message) + "\n" + Usage();
    return result;
}

}  // namespace

StationParseResult ParseStationCommandLine(const std::vector<std::string>& arguments,
                                           bool withScreenshot) {
    StationParseResult result;
    StationOptions& o = result.options;
    std::vector<std::string> devices;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        const auto take = [&]() -> std::optional<std::string> {
            if (value) {
                return value;
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            return std::nullopt;
        };
        if (name == "--help" || name == "-h" || name == "/?") {
            result.exitStatus = 0;
            result.message = Usage();
            return result;
        }
        if (name == "--start") {
            o.start = true;
            continue;
        }
        const bool known = name == "--lang" || name == "-p" || name == "--port" ||
                           name == "--device" || name == "--profile" || name == "--firmware" ||
                           name == "--count" || name == "--report" || name == "--records" ||
                           (withScreenshot && name == "--screenshot");
        if (!known) {
            return Refuse(fw::LoadText(res::IDS_STATION_UNKNOWN_OPTION, {arguments[i]}));
        }
        const std::optional<std::string> given = take();
        if (!given) {
            return Refuse(fw::LoadText(res::IDS_STATION_OPTION_VALUE, {name}));
        }
        if (name == "--lang") {
            o.language = fw::ParseLanguage(*given);
            if (!o.language) {
                return Refuse(fw::LoadText(res::IDS_CLI_BAD_LANGUAGE, {*given}));
            }
        } else if (name == "-p" || name == "--port") {
            o.ports = *given;
        } else if (name == "--device") {
            devices.push_back(*given);
        } else if (name == "--profile" || name == "--firmware") {
            if (o.job) {
                return Refuse(fw::LoadText(res::IDS_STATION_ONE_FILE));
            }
            o.job = name == "--profile" ? CStationView::Job::Configure : CStationView::Job::Update;
            o.file = *given;
        } else if (name == "--screenshot") {
            o.screenshot = *given;
        } else if (name == "--count") {
            o.count = *given;
        } else if (name == "--records") {
            if (!records::ParseRecordsSetting(*given)) {
                return Refuse(fw::LoadText(res::IDS_RECORDS_BAD_SETTING, {*given}));
            }
            o.records = *given;
        } else {
            o.report = *given;
        }
    }
    if (!devices.empty()) {
        if (o.ports) {
            return Refuse(fw::LoadText(res::IDS_STATION_PORTS_OR_DEVICES));
        }
        std::string joined;
        for (const std::string& device : devices) {
            joined += (joined.empty() ? "" : ",") + device;
        }
        o.ports = joined;
    }
    return result;
}

CStationView::JobForm MergeStationForm(CStationView::JobForm last, const StationOptions& options) {
    if (options.job) {
        last.job = *options.job;
    }
    if (options.file) {
        last.file = *options.file;
    }
    if (options.ports) {
        last.ports = *options.ports;
    }
    if (options.count) {
        last.count = *options.count;
    }
    if (options.report) {
        last.report = *options.report;
    }
    if (options.records) {
        last.records = *options.records;
    }
    return last;
}

}  // namespace app
