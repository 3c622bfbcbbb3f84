// The files the simulator is asked to keep (--state, --firmware-out), written
// by the tool's own rule: a regular file is replaced whole through a temporary
// beside it; a device, a FIFO or a socket is written in place and never
// renamed over (kavrel-sim run as root once turned /dev/null into a file);
// a directory fails.
#pragma once

#include <string>
#include <string_view>

namespace kavrelsim {

// False with the reason in *error when the bytes could not all be written. A
// FIFO nobody reads fails at once instead of holding up the device.
bool WriteOutputFile(const std::string& path, std::string_view bytes, std::string* error);

// A path whose old contents may be read at start-up: a regular file. Reading
// a FIFO would wait for a writer, and a device has no saved values to give.
bool IsLoadableFile(const std::string& path);

}  // namespace kavrelsim
