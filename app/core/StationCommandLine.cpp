#include "app/core/StationCommandLine.h"

#include "app/core/CommandLine.h"

#include "framework/StringTable.h"
#include "records/RecordsSetting.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace app {
namespace {

constexpr char kSynopsis[] =
    "tirvel-station [--lang en|zh] [-p PORTS | --device PATH ...] "
    "[--profile FILE | --firmware FILE] [--count N] [--report FILE] "
    "[--records off|sqlite:PATH|postgresql://…] [--start]";

constexpr OptionHelp kOptionHelp[] = {
    {"--lang en|zh", res::IDS_APP_OPTION_LANG},
    {"-p, --port PORTS", res::IDS_STATION_OPTION_PORTS},
    {"--device PATH", res::IDS_CLI_HELP_DEVICE},
    {"--profile FILE", res::IDS_STATION_OPTION_PROFILE},
    {"--firmware FILE", res::IDS_STATION_OPTION_FIRMWARE},
    {"--count N", res::IDS_STATION_OPTION_COUNT},
    {"--report FILE", res::IDS_STATION_OPTION_REPORT},
    {"--records WHERE", res::IDS_CLI_HELP_RECORDS},
    {"--start", res::IDS_STATION_OPTION_START},
    {"-h, --help", res::IDS_APP_OPTION_HELP},
    {"-v, --version", res::IDS_APP_OPTION_VERSION},
};

StationParseResult Refuse(std::string message, fw::Language language) {
    StationParseResult result;
    result.exitStatus = 2;
    result.message =
        std::move(message) + "\n" +
        fw::FormatMessageText(fw::LoadString(res::IDS_APP_HELP_USAGE, language), {kSynopsis});
    return result;
}

}  // namespace

StationParseResult ParseStationCommandLine(const std::vector<std::string>& arguments,
                                           bool withScreenshot) {
    StationParseResult result;
    StationOptions& o = result.options;
    std::vector<std::string> devices;
    // Texts in the language named before them on the line.
    const auto language = [&o] { return o.language.value_or(fw::CurrentLanguage()); };
    const auto refuse = [&language](fw::UINT id, const std::vector<std::string>& inserts = {}) {
        return Refuse(
            fw::TrimLineEnds(fw::FormatMessageText(fw::LoadString(id, language()), inserts)),
            language());
    };
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
            result.message = FormatHelp(kSynopsis, res::IDS_STATION_HELP, kOptionHelp, language());
            return result;
        }
        if (name == "--version" || name == "-v") {
            result.exitStatus = 0;
            result.message = std::string("tirvel-station ") + TIRVEL_VERSION;
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
            return refuse(res::IDS_STATION_UNKNOWN_OPTION, {arguments[i]});
        }
        const std::optional<std::string> given = take();
        if (!given) {
            return refuse(res::IDS_STATION_OPTION_VALUE, {name});
        }
        if (name == "--lang") {
            o.language = fw::ParseLanguage(*given);
            if (!o.language) {
                return refuse(res::IDS_CLI_BAD_LANGUAGE, {*given});
            }
        } else if (name == "-p" || name == "--port") {
            o.ports = *given;
        } else if (name == "--device") {
            devices.push_back(*given);
        } else if (name == "--profile" || name == "--firmware") {
            if (o.job) {
                return refuse(res::IDS_STATION_ONE_FILE);
            }
            o.job = name == "--profile" ? CStationView::Job::Configure : CStationView::Job::Update;
            o.file = *given;
        } else if (name == "--screenshot") {
            o.screenshot = *given;
        } else if (name == "--count") {
            o.count = *given;
        } else if (name == "--records") {
            if (!records::ParseRecordsSetting(*given)) {
                return refuse(res::IDS_RECORDS_BAD_SETTING, {*given});
            }
            o.records = *given;
        } else {
            o.report = *given;
        }
    }
    if (!devices.empty()) {
        if (o.ports) {
            return refuse(res::IDS_STATION_PORTS_OR_DEVICES);
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
