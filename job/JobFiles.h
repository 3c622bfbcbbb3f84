// The files a job reads and writes (a tirvelctl command, a station window's
// job), settled before any port opens. Each input is read here once, and those bytes are what every
// later step uses: Import and the verdict of apply, every device of a batch, every worker of a
// station. Each output is checked for what it names, and for being none of the command's inputs or
// ports. A refusal comes back as the text of the usage error.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cfgfile/InputFile.h"
#include "framework/Language.h"
#include "job/ValuesTable.h"
#include "records/RecordsSetting.h"
#include "station/PortList.h"

namespace job {

// A profile (apply, batch): a regular file within the profile bound. An empty
// one is taken; Import then says that nothing in it names an item. Empty when
// bytes hold it.
// A value's braces are checked here too: every one a known pattern.
std::string ReadProfile(const std::string& path, std::string& bytes);

// A values table (batch, apply): a regular file within its bound, checked
// whole for the device's code page of language. name: the file as the
// operator named it, for the messages. Empty when bytes and table hold it.
inline constexpr std::size_t kValuesLimitMb = 256;
std::string ReadValues(const std::string& path, const std::string& name, fw::Language language,
                       std::string& bytes, std::optional<ValuesTable>& table,
                       ImeiColumn imei = ImeiColumn::First);

// A firmware image: a regular file of 1 byte to the firmware bound. Empty when
// bytes hold it.
std::string ReadFirmware(const std::string& path, std::string& bytes);

// Why a firmware image in this state cannot be sent, in the operator's
// language; empty for kOk.
std::string FirmwareRefusal(cfgfile::InputStatus status, const std::string& file);

// Why output may not go to path: a kind that takes no file (a FIFO, a socket, a
// folder, a disk), the input the command reads (empty: none), or one of the
// ports it works. Empty when it may.
std::string OutputRefusal(const std::string& path, const std::string& input,
                          const std::vector<station::StationPort>& ports);

// Why the records database cannot share a place with the command's files
// (empty names none): an output written over any of its files would lose
// every record, and records kept in an input would spoil it (SQLite writes
// its -wal beside the database). Empty when they are all apart.
std::string RecordsRefusal(const records::RecordsSetting& where, const std::string& input,
                           const std::string& output);

// Why the ports as typed cannot be worked, in the operator's language.
std::string PortListRefusal(const station::PortListError& error, const std::string& typed);

}  // namespace job
