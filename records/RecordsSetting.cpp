#include "records/RecordsSetting.h"

#include <cstdlib>

#ifdef _WIN32
#include "common/Utf16Win32.h"
#endif

namespace records {
namespace {

std::string Environment(const char* name) {
#ifdef _WIN32
    // Through the wide environment: a user name outside the ANSI code page
    // would not survive the narrow one.
    const std::wstring wide(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide.c_str());
    return value != nullptr ? ToUtf8(value) : std::string();
#else
    const char* value = std::getenv(name);
    return value != nullptr ? value : std::string();
#endif
}

}  // namespace

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

std::string DefaultRecordsPath() {
#ifdef _WIN32
    const std::string base = Environment("LOCALAPPDATA");
    return base.empty() ? std::string() : base + "\\Tirvel\\records.db";
#else
    // A relative XDG path is to be ignored, as the standard says.
    if (const std::string xdg = Environment("XDG_DATA_HOME"); !xdg.empty() && xdg[0] == '/') {
        return xdg + "/tirvel/records.db";
    }
    const std::string home = Environment("HOME");
    return home.empty() ? std::string() : home + "/.local/share/tirvel/records.db";
#endif
}

std::optional<RecordsSetting> RecordsSettingInForce(const std::optional<std::string>& option) {
    return ParseRecordsSetting(option ? *option : Environment("TIRVEL_RECORDS"));
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
