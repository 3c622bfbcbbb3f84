#include "job/JobFiles.h"

#include "cfgfile/OutputFile.h"
#include "framework/StringTable.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"

namespace job {

std::string ReadProfile(const std::string& path, std::string& bytes) {
    switch (cfgfile::ReadInputFile(path, bytes, cfgfile::kProfileLimitBytes)) {
        case cfgfile::InputStatus::kOk:
        case cfgfile::InputStatus::kEmpty:
            return std::string();
        case cfgfile::InputStatus::kNotRegular:
            return fw::LoadText(res::IDS_CLI_PROFILE_NOT_REGULAR, {path});
        case cfgfile::InputStatus::kTooLarge:
            return fw::LoadText(res::IDS_CLI_PROFILE_TOO_LARGE,
                                {path, std::to_string(cfgfile::kProfileLimitMb)});
        case cfgfile::InputStatus::kCannotRead:
            break;
    }
    return fw::LoadText(res::IDS_CLI_CANNOT_READ_FILE, {path});
}

std::string ReadFirmware(const std::string& path, std::string& bytes) {
    return FirmwareRefusal(cfgfile::ReadInputFile(path, bytes, cfgfile::kFirmwareLimitBytes), path);
}

std::string FirmwareRefusal(cfgfile::InputStatus status, const std::string& file) {
    switch (status) {
        case cfgfile::InputStatus::kEmpty:
            return fw::LoadText(res::IDS_CLI_EMPTY_FILE, {file});
        case cfgfile::InputStatus::kNotRegular:
            return fw::LoadText(res::IDS_CLI_NOT_REGULAR_FILE, {file});
        case cfgfile::InputStatus::kTooLarge:
            return fw::LoadText(res::IDS_CLI_FILE_TOO_LARGE,
                                {file, std::to_string(cfgfile::kFirmwareLimitMb)});
        case cfgfile::InputStatus::kCannotRead:
            return fw::LoadText(res::IDS_CLI_CANNOT_READ_FILE, {file});
        case cfgfile::InputStatus::kOk:
            break;
    }
    return std::string();
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

std::vector<std::string> RecordsFiles(const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Off || where.localPath.empty()) {
        return {};
    }
    return {where.localPath, where.localPath + "-wal", where.localPath + "-shm",
            where.localPath + "-journal"};
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
