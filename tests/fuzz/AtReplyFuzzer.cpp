// SendAtCommand and QueryAtCommand against a peer that answers with the fuzz
// input, checked read for read against the reference of the reply rules.
//
// Input: byte 0 chooses the exchange, the command, the empty-read limit and
// whether the device is known to echo, byte 1 the caller's buffer size
// (QueryAtCommand); the rest is the port's script (ScriptedPort.h).
#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "ReplyReference.h"
#include "protocol/AtExchange.h"

namespace {

constexpr const char* kCommands[] = {"AT+TEST\r",     "AT+TESTPWD=1234\r", "AT+DTU&IMEI?\r",
                                     "AT+DTU&VER?\r", "AT+GETDV=0\r",      "AT+SET=2,cmnet\r",
                                     "AT+RESTORE\r",  "AT+QUIT\r"};
constexpr int kLimits[] = {0, 1, 5, 10};
constexpr std::size_t kSizes[] = {1, 2, 3, 16, 64, 128, 1024, 2048};
constexpr unsigned char kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 32;

}  // namespace

FUZZ_TARGET(at_reply) {
    using fuzzsupport::ScriptedPort;
    if (size < 2) {
        return 0;
    }
    const bool query = (data[0] & 0x01) != 0;
    const char* command = kCommands[(data[0] >> 1) & 0x07];
    const int limit = kLimits[(data[0] >> 4) & 0x03];
    const std::size_t bufferSize = kSizes[data[1] & 0x07];
    const std::uint8_t* script = data + 2;
    const std::size_t scriptSize = size - 2;
    const std::size_t capacity = query ? bufferSize - 1 : 127;
    const bool echoes = (data[0] & 0x40) != 0;

    fuzzsupport::ReferenceReply expected;
    {
        ScriptedPort reference(script, scriptSize);
        expected =
            fuzzsupport::ReferenceExchange(reference, !query, capacity, limit, echoes, command);
    }

    ScriptedPort port(script, scriptSize);
    SetAtClock(&ScriptedPort::SteadyNow);
    SetDeviceEchoes(echoes);
    int result = 0;
    if (query) {
        // Guard bytes after the caller's size: the exchange must not touch them.
        std::vector<unsigned char> buffer(bufferSize + kGuardBytes, kGuard);
        result = QueryAtCommand(ScriptedPort::kHandle, command,
                                reinterpret_cast<char*>(buffer.data()), bufferSize, limit);
        FUZZ_CHECK(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(bufferSize),
                               buffer.end(), [](unsigned char b) { return b == kGuard; }));
        FUZZ_CHECK(buffer[bufferSize - 1] == 0);
        // The buffer holds exactly the reply (what arrived, up to its result
        // line), zero-filled behind it.
        std::string held(reinterpret_cast<const char*>(buffer.data()), bufferSize - 1);
        std::string want = expected.held;
        want.resize(bufferSize - 1, '\0');
        FUZZ_CHECK(held == want);
        FUZZ_CHECK(result == 0 || result == -1);
    } else {
        result = SendAtCommand(ScriptedPort::kHandle, command, limit);
        FUZZ_CHECK(result == 0 || result == 4 || result == -1);
    }
    SetAtClock(nullptr);
    FUZZ_CHECK(DeviceEchoes() == expected.echoes);
    SetDeviceEchoes(false);
    FUZZ_CHECK(result == expected.result);
    FUZZ_CHECK(port.Written() == command);
    FUZZ_CHECK(port.Delivered() == expected.gathered);
    FUZZ_CHECK(port.Reads() == expected.reads);
    // The exchange ends within its empty-read allowance, and every other read
    // brought at least one byte into the bounded buffer.
    FUZZ_CHECK(port.EmptyReads() <= static_cast<std::size_t>(limit) + 1);
    FUZZ_CHECK(port.Reads() <= static_cast<std::size_t>(limit) + 1 + capacity);
    FUZZ_CHECK(expected.gathered.size() <= capacity);
    // Whatever was waiting is thrown away before the command goes out, and by
    // the clock no exchange outlasts its silence allowance and its buffer.
    FUZZ_CHECK(port.Purges() == 1);
    FUZZ_CHECK(port.Now() <= ExchangeTimeLimit(limit, capacity) + std::chrono::milliseconds(100));
    return 0;
}
