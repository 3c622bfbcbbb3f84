#include "records/RecordsSetting.h"

#include "common/Environment.h"

namespace records {

std::optional<RecordsSetting> ParseRecordsSetting(const std::string& text) {
    RecordsSetting setting;
    setting.localPath = DefaultRecordsPath();
    if (text.empty() || text == "sqlite") {
        return setting;
    }
    if (text == "off") {
        setting.kind = RecordsSetting::Kind::Off;
        return setting;
    }
    if (text.starts_with("sqlite:")) {
        setting.localPath = text.substr(7);
        if (setting.localPath.empty()) {
            return std::nullopt;
        }
        return setting;
    }
    if (text.starts_with("postgresql://") || text.starts_with("postgres://")) {
        setting.kind = RecordsSetting::Kind::Server;
        setting.serverUri = text;
        return setting;
    }
    return std::nullopt;
}

std::optional<RecordsSetting> RecordsSettingInForce(const std::optional<std::string>& option) {
    return ParseRecordsSetting(option ? *option : EnvironmentVariable("TIRVEL_RECORDS"));
}

std::string WithoutPassword(const std::string& uri) {
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string::npos) {
        return uri;
    }
    const std::size_t authorityStart = scheme + 3;
    const std::size_t authorityEnd = uri.find_first_of("/?", authorityStart);
    const std::string authority = uri.substr(authorityStart, authorityEnd - authorityStart);
    const std::size_t at = authority.rfind('@');
    const std::size_t colon = authority.find(':');
    std::string shown = uri;
    if (at != std::string::npos && colon != std::string::npos && colon < at) {
        shown.replace(authorityStart + colon + 1, at - colon - 1, "***");
    }
    // A password may also come as a query parameter.
    if (const std::size_t password = shown.find("password="); password != std::string::npos) {
        const std::size_t end = shown.find('&', password);
        shown.replace(password + 9, (end == std::string::npos ? shown.size() : end) - password - 9,
                      "***");
    }
    return shown;
}

}  // namespace records
