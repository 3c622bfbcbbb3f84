#include "job/OptionChecks.h"

#include <vector>

#include "framework/StringTable.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"

namespace job {
namespace {

std::string Text(fw::UINT id, const std::vector<std::string>& inserts, fw::Language language) {
    return fw::TrimLineEnds(fw::FormatMessageText(fw::LoadString(id, language), inserts));
}

}  // namespace

std::optional<int> ParseCount(std::string_view text) {
    const std::size_t digits = text.find_first_not_of('0');
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos ||
        digits == std::string_view::npos || text.size() - digits > 9) {
        return std::nullopt;
    }
    int number = 0;
    for (const char digit : text.substr(digits)) {
        number = number * 10 + (digit - '0');
    }
    return number;
}

std::string CountRefusal(std::string_view option, std::string_view text, fw::Language language) {
    if (ParseCount(text)) {
        return {};
    }
    return Text(res::IDS_CLI_BAD_NUMBER,
                {std::string(option), std::to_string(kMaxCount), std::string(text)}, language);
}

std::string LanguageRefusal(std::string_view value, fw::Language language) {
    if (fw::ParseLanguage(value)) {
        return {};
    }
    return Text(res::IDS_CLI_BAD_LANGUAGE, {std::string(value)}, language);
}

std::string RecordsSettingRefusal(const std::string& named, fw::Language language) {
    return Text(res::IDS_RECORDS_BAD_SETTING, {named}, language);
}

}  // namespace job
