// Where records go, as the operator says it (--records, TIRVEL_RECORDS, the
// station window's setting): "off", "sqlite:PATH", a PostgreSQL URI, or
// nothing for the station's own file in the user's data folder.
#pragma once

#include <optional>
#include <string>

namespace records {

struct RecordsSetting {
    enum class Kind { Off, Local, Server };
    Kind kind = Kind::Local;
    // The station's own file: where records are kept, or queued for the server.
    std::string localPath;
    std::string serverUri;  // "postgresql://…", for Kind::Server
};

// nullopt: the text names no kind of store this program knows.
std::optional<RecordsSetting> ParseRecordsSetting(const std::string& text);

// The file records go into when nothing else is said: records.db in
// ${XDG_DATA_HOME:-$HOME/.local/share}/tirvel, or %LOCALAPPDATA%\Tirvel on
// Windows; UTF-8. Empty when neither is known.
std::string DefaultRecordsPath();

// The setting in force: the option's text when given, else TIRVEL_RECORDS,
// else the default.
std::optional<RecordsSetting> RecordsSettingInForce(const std::optional<std::string>& option);

// The URI with any password replaced by "***", for messages and listings.
std::string WithoutPassword(const std::string& uri);

}  // namespace records
