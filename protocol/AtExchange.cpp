#include "protocol/AtExchange.h"

#include <cstring>

int g_nItemCount = 0;

namespace {

constexpr char kOk[] = "OK\r\n";
constexpr char kError[] = "ERROR";
constexpr char kLineEnd[] = "\r\n";
constexpr char kPasswordPrompt[] = "\r\nNEED PWD\r\n";

// The gathered reply is kept terminated, so plain string searches see all of
// it (and stop at a zero byte the device might send, as a text search would).
bool HasErrorWithLineEnd(const char* text) {
    const char* error = std::strstr(text, kError);
    return error != nullptr && std::strstr(error + sizeof kError - 1, kLineEnd) != nullptr;
}

void WriteCommand(PortHandle port, const char* command) {
    WriteComPort(port, command, static_cast<std::uint32_t>(std::strlen(command)));
}

}  // namespace

int SendAtCommand(PortHandle port, const char* command, int emptyReadLimit) {
    int result = kAtFailure;
    int emptyReads = 0;
    std::size_t gathered = 0;
    char reply[128] = {};
    constexpr std::size_t kMaxReply = sizeof reply - 1;

    WriteCommand(port, command);
    for (;;) {
        std::int32_t count =
            ReadComPort(port, reply + gathered, static_cast<std::uint32_t>(kMaxReply - gathered));
        if (count <= 0) {
            // Cumulative: data in between does not restore the allowance, and a
            // full buffer turns every further read into an empty one.
            if (++emptyReads > emptyReadLimit) {
                return result;
            }
            continue;
        }
        gathered += static_cast<std::size_t>(count);
        if (std::strstr(reply, kPasswordPrompt) != nullptr) {
            result = kAtPasswordRequired;
        }
        if (HasErrorWithLineEnd(reply)) {
            return result;
        }
        if (std::strstr(reply, kOk) != nullptr) {
            return kAtSuccess;
        }
    }
}

int QueryAtCommand(PortHandle port, const char* command, char* reply, std::size_t replySize,
                   int emptyReadLimit) {
    if (reply == nullptr || replySize == 0) {
        return kAtFailure;
    }
    std::memset(reply, 0, replySize);
    int emptyReads = 0;
    std::size_t gathered = 0;
    const std::size_t maxReply = replySize - 1;

    WriteCommand(port, command);
    for (;;) {
        std::int32_t count =
            ReadComPort(port, reply + gathered, static_cast<std::uint32_t>(maxReply - gathered));
        if (count <= 0) {
            if (++emptyReads > emptyReadLimit) {
                return kAtFailure;
            }
            continue;
        }
        gathered += static_cast<std::size_t>(count);
        if (HasErrorWithLineEnd(reply)) {
            return kAtFailure;
        }
        if (std::strstr(reply, kOk) != nullptr) {
            return kAtSuccess;
        }
    }
}
