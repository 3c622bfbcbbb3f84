#include "app/core/StationCommandLine.h"

#include "app/core/CommandLine.h"
#include "app/core/LineReader.h"
#include "job/OptionChecks.h"

#include "framework/StringTable.h"
#include "records/RecordsSetting.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace app {
namespace {

constexpr char kSynopsis[] =
    "tirvel-station [--lang en|zh] [-p PORTS | --device PATH ...] "
    "[--profile FILE | --firmware FILE] [--values FILE] [--pool NAME] [--count N] "
    "[--report FILE] [--records off|sqlite:PATH|postgresql://…] [--start]";

constexpr OptionHelp kOptionHelp[] = {
    {"--lang en|zh", res::IDS_APP_OPTION_LANG},
    {"-p, --port PORTS", res::IDS_STATION_OPTION_PORTS},
    {"--device PATH", res::IDS_CLI_HELP_DEVICE},
    {"--profile FILE", res::IDS_STATION_OPTION_PROFILE},
    {"--firmware FILE", res::IDS_STATION_OPTION_FIRMWARE},
    {"--values FILE", res::IDS_CLI_HELP_VALUES},
    {"--pool NAME", res::IDS_STATION_OPTION_POOL},
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
    CLineReader reader;
    CLI::App& line = reader.Options();
    const CLI::Option* language = line.add_option("--lang");
    const CLI::Option* ports = line.add_option("-p,--port");
    const CLI::Option* devices = line.add_option("--device")
                                     ->allow_extra_args(false)
                                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    const CLI::Option* profile = line.add_option("--profile");
    const CLI::Option* firmware = line.add_option("--firmware");
    const CLI::Option* count = line.add_option("--count");
    const CLI::Option* report = line.add_option("--report");
    const CLI::Option* records = line.add_option("--records");
    const CLI::Option* values = line.add_option("--values");
    const CLI::Option* pool = line.add_option("--pool");
    const CLI::Option* start = line.add_flag("--start");
    const CLI::Option* screenshot = withScreenshot ? line.add_option("--screenshot") : nullptr;
    const LineRead read = reader.Read(arguments);

    StationParseResult result;
    StationOptions& o = result.options;
    const std::optional<std::string> named = GivenValue(*language);
    if (named) {
        if (std::string refusal = job::LanguageRefusal(*named); !refusal.empty()) {
            return Refuse(std::move(refusal), fw::CurrentLanguage());
        }
        o.language = fw::ParseLanguage(*named);
    }
    // Texts in the language the line names.
    const fw::Language shown = o.language.value_or(fw::CurrentLanguage());
    const auto refuse = [shown](fw::UINT id, const std::vector<std::string>& inserts = {}) {
        return Refuse(fw::TrimLineEnds(fw::FormatMessageText(fw::LoadString(id, shown), inserts)),
                      shown);
    };
    switch (read.outcome) {
        case LineRead::Outcome::Options:
            break;
        case LineRead::Outcome::Help:
            result.exitStatus = 0;
            result.message = FormatHelp(kSynopsis, res::IDS_STATION_HELP, kOptionHelp, shown);
            return result;
        case LineRead::Outcome::Version:
            result.exitStatus = 0;
            result.message = std::string("tirvel-station ") + TIRVEL_VERSION;
            return result;
        case LineRead::Outcome::Unknown:
            return refuse(res::IDS_STATION_UNKNOWN_OPTION, {read.argument});
        case LineRead::Outcome::NoValue:
            return refuse(res::IDS_STATION_OPTION_VALUE, {read.argument});
    }
    if (profile->count() + firmware->count() > 1) {
        return refuse(res::IDS_STATION_ONE_FILE);
    }
    if (ports->count() > 0 && devices->count() > 0) {
        return refuse(res::IDS_STATION_PORTS_OR_DEVICES);
    }
    o.records = GivenValue(*records);
    if (o.records && !records::ParseRecordsSetting(*o.records)) {
        return Refuse(job::RecordsSettingRefusal(*o.records, shown), shown);
    }
    o.count = GivenValue(*count);
    if (o.count && !o.count->empty()) {
        if (std::string refusal = job::CountRefusal("--count", *o.count, shown); !refusal.empty()) {
            return Refuse(std::move(refusal), shown);
        }
    }
    if (profile->count() + firmware->count() > 0) {
        o.job = profile->count() > 0 ? CStationView::Job::Configure : CStationView::Job::Update;
        o.file = GivenValue(profile->count() > 0 ? *profile : *firmware);
    }
    o.ports = GivenValue(*ports);
    if (devices->count() > 0) {
        std::string joined;
        for (const std::string& device : devices->results()) {
            joined += (joined.empty() ? "" : ",") + device;
        }
        o.ports = joined;
    }
    o.report = GivenValue(*report);
    o.values = GivenValue(*values);
    o.pool = GivenValue(*pool);
    o.start = start->count() > 0;
    if (screenshot != nullptr) {
        o.screenshot = GivenValue(*screenshot).value_or(std::string());
    }
    return result;
}

CStationView::JobForm MergeStationForm(CStationView::JobForm last, const StationOptions& options) {
    // What the line names replaces the last job's; the rest stays.
    const auto take = [](auto& value, const auto& given) {
        if (given) {
            value = *given;
        }
    };
    take(last.job, options.job);
    take(last.file, options.file);
    take(last.ports, options.ports);
    take(last.count, options.count);
    take(last.report, options.report);
    take(last.records, options.records);
    take(last.values, options.values);
    take(last.pool, options.pool);
    return last;
}

}  // namespace app
