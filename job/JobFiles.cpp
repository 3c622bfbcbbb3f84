#include "job/JobFiles.h"

#include "cfgfile/OutputFile.h"
#include "framework/StringTable.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"

namespace job {

namespace {

// How one kind of input file is refused: the words for each way it can be
// wrong (0: an empty one is fine), and its size limit.
struct InputWords {
    fw::UINT empty;
    fw::UINT notRegular;
    fw::UINT tooLarge;
    std::size_t limitMb;
};

constexpr InputWords kProfileWords{0, res::IDS_CLI_PROFILE_NOT_REGULAR,
                                   res::IDS_CLI_PROFILE_TOO_LARGE, cfgfile::kProfileLimitMb};
constexpr InputWords kValuesWords{0, res::IDS_CLI_PROFILE_NOT_REGULAR,
                                  res::IDS_CLI_PROFILE_TOO_LARGE, kValuesLimitMb};
constexpr InputWords kFirmwareWords{res::IDS_CLI_EMPTY_FILE, res::IDS_CLI_NOT_REGULAR_FILE,
                                    res::IDS_CLI_FILE_TOO_LARGE, cfgfile::kFirmwareLimitMb};

std::string InputRefusal(cfgfile::InputStatus status, const std::string& path,
                         const InputWords& words) {
    switch (status) {
        case cfgfile::InputStatus::kOk:
            return std::string();
        case cfgfile::InputStatus::kEmpty:
            return words.empty != 0 ? fw::LoadText(words.empty, {path}) : std::string();
        case cfgfile::InputStatus::kNotRegular:
            return fw::LoadText(words.notRegular, {path});
        case cfgfile::InputStatus::kTooLarge:
            return fw::LoadText(words.tooLarge, {path, std::to_string(words.limitMb)});
        case cfgfile::InputStatus::kCannotRead:
            break;
    }
    return fw::LoadText(res::IDS_CLI_CANNOT_READ_FILE, {path});
}

// The files of the records database in force: the database and those SQLite
// keeps beside it (-wal, -shm, -journal), whether they exist yet or not. None
// when records are off; with a server, the station's own file, its queue.
std::vector<std::string> RecordsFiles(const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Off || where.localPath.empty()) {
        return {};
    }
    return {where.localPath, where.localPath + "-wal", where.localPath + "-shm",
            where.localPath + "-journal"};
}

}  // namespace

std::string ReadProfile(const std::string& path, std::string& bytes) {
    const std::string refusal = InputRefusal(
        cfgfile::ReadInputFile(path, bytes, cfgfile::kProfileLimitBytes), path, kProfileWords);
    return refusal.empty() ? ProfilePatternRefusal(bytes, path) : refusal;
}

std::string ReadValues(const std::string& path, const std::string& name, fw::Language language,
                       std::string& bytes, std::optional<ValuesTable>& table, ImeiColumn imei) {
    if (std::string refusal = InputRefusal(
            cfgfile::ReadInputFile(path, bytes, kValuesLimitMb * 1024 * 1024), name, kValuesWords);
        !refusal.empty()) {
        return refusal;
    }
    std::variant<ValuesTable, std::string> parsed = ParseValuesTable(bytes, name, language, imei);
    if (auto* refusal = std::get_if<std::string>(&parsed)) {
        return std::move(*refusal);
    }
    table = std::get<ValuesTable>(std::move(parsed));
    return std::string();
}

std::string ReadFirmware(const std::string& path, std::string& bytes) {
    return FirmwareRefusal(cfgfile::ReadInputFile(path, bytes, cfgfile::kFirmwareLimitBytes), path);
}

std::string FirmwareRefusal(cfgfile::InputStatus status, const std::string& file) {
    return InputRefusal(status, file, kFirmwareWords);
}

std::string OutputRefusal(const std::string& path, const std::string& input,
                          const std::vector<station::StationPort>& ports) {
    if (cfgfile::ClassifyOutput(path) == cfgfile::OutputKind::kRefused) {
        return fw::LoadText(res::IDS_CLI_OUTPUT_REFUSED, {path});
    }
    // By identity, not by name: a hard link, a symbolic link or another
    // spelling of the profile would otherwise be emptied by the report.
    if (!input.empty() && cfgfile::SameFile(path, input)) {
        return fw::LoadText(res::IDS_CLI_OUTPUT_IS_INPUT, {path, input});
    }
    // A report or a log written to the line a device is on would reach it as
    // input, and /dev/ttyUSB0 is a character device like any other.
    for (const station::StationPort& port : ports) {
        const std::string device =
            port.devicePath.empty() ? serial::ResolveDevicePath(serial::FormatComPath(port.comPort))
                                    : port.devicePath;
        if (!device.empty() && cfgfile::SameFile(path, device)) {
            return fw::LoadText(res::IDS_CLI_OUTPUT_IS_PORT, {path, port.Label()});
        }
    }
    return std::string();
}

std::string RecordsRefusal(const records::RecordsSetting& where, const std::string& input,
                           const std::string& output) {
    // By place as well as by identity: the -wal of a database that is closed
    // is not there, and SQLite makes it where its name says.
    for (const std::string& file : RecordsFiles(where)) {
        if (!output.empty() && cfgfile::SamePlace(output, file)) {
            return fw::LoadText(res::IDS_CLI_OUTPUT_IS_RECORDS, {output, where.localPath});
        }
        if (!input.empty() && cfgfile::SamePlace(input, file)) {
            return fw::LoadText(res::IDS_CLI_RECORDS_OVER_INPUT, {where.localPath, input});
        }
    }
    return std::string();
}

std::string PortListRefusal(const station::PortListError& error, const std::string& typed) {
    switch (error.kind) {
        case station::PortListError::Repeated:
            return fw::LoadText(res::IDS_CLI_PORT_REPEATED, {error.detail});
        case station::PortListError::TooMany:
            return fw::LoadText(res::IDS_CLI_TOO_MANY_PORTS,
                                {std::to_string(station::kMaxStations)});
        case station::PortListError::BadList:
            break;
    }
    // A single number keeps the message it always had.
    return fw::LoadText(typed.find_first_of(",-") == std::string::npos ? res::IDS_CLI_BAD_PORT
                                                                       : res::IDS_CLI_BAD_PORT_LIST,
                        {typed});
}

}  // namespace job
