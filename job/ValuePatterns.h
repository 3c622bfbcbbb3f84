// Values drawn from the device itself: "{imei}", its last N digits
// "{imei:-N}" (N 1-15) and "{version}", with "{{" and "}}" for the braces
// themselves. The set is kept small on purpose: every other brace is refused
// when the job is checked, before any port opens, so a value that once was
// literal text never turns into something else unnoticed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace job {

// The longest value a device is sent: "AT+SET=NN," and the value and "\r"
// must fit the device's command line of 1024 bytes, with room to spare.
inline constexpr std::size_t kMaxValueBytes = 1000;

// What a device gives its values: its identity as it sent it (device bytes).
struct DeviceIdentity {
    std::string imei;
    std::string version;
};

// Whether the value holds any brace: it is not the device's bytes as written.
bool HasPattern(std::string_view value);

// Where the value stops being one this knows (a brace that opens or closes
// nothing, a name not in the set): the offending text, or empty when it is fine.
std::string PatternFault(std::string_view value);

// The value with its patterns replaced; a value PatternFault refuses comes
// back as it was.
std::string ExpandPatterns(std::string_view value, const DeviceIdentity& device);

// Whether a device can take the value as it is: no CR, LF or NUL (a line
// break ends the command early, a zero byte cuts it) and within kMaxValueBytes.
bool IsSendable(std::string_view value);

}  // namespace job
