#include "protocol/AtExchange.h"

#include <cstring>
#include <string_view>

int g_nItemCount = 0;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kPasswordPrompt = "\r\nNEED PWD\r\n";

// The silence a read of the timed profile waits for at most.
constexpr std::chrono::milliseconds kReadTimeout{100};
// A byte takes 0.35 ms at 28800 baud; a device that pauses between the lines
// of a long answer, and an adapter that hands bytes on in bursts, are given
// about three times that.
constexpr std::chrono::milliseconds kPerReplyByte{1};

std::atomic<AtClockNow> g_clock{nullptr};
std::atomic<bool> g_echoes{false};

void WriteCommand(PortHandle port, const char* command) {
    WriteComPort(port, command, static_cast<std::uint32_t>(std::strlen(command)));
}

// The echo of a command ends in its own "\r"; the device's answer follows on
// the same line when it sends no line end first.
std::string_view AfterEcho(std::string_view line) {
    const std::size_t cr = line.rfind('\r');
    if (cr == std::string_view::npos || line.substr(0, cr).find("AT") == std::string_view::npos) {
        return line;
    }
    return line.substr(cr + 1);
}

ExchangeSeen Exchange(PortHandle port, const char* command, char* reply, std::size_t replySize,
                      int emptyReadLimit, bool passwordTest) {
    ExchangeSeen seen;
    std::memset(reply, 0, replySize);
    const std::size_t capacity = replySize - 1;
    // Whatever is waiting now answered an earlier command, or nothing at all.
    PurgeComPortInput(port);
    WriteCommand(port, command);
    const Clock::time_point deadline = AtClock() + ExchangeTimeLimit(emptyReadLimit, capacity);
    const std::string_view sent(command);
    int emptyReads = 0;
    std::size_t gathered = 0;
    for (;;) {
        const std::int32_t count =
            ReadComPort(port, reply + gathered, static_cast<std::uint32_t>(capacity - gathered));
        if (count <= 0) {
            // Cumulative: data in between does not restore the allowance, and a
            // full buffer turns every further read into an empty one.
            if (++emptyReads > emptyReadLimit) {
                break;
            }
        } else {
            gathered += static_cast<std::size_t>(count);
            seen.gathered = gathered;
            seen.echoOnly = sent.starts_with(std::string_view(reply, gathered));
            // Searched as text: a zero byte from the device ends what is looked at.
            std::string_view text(reply, gathered);
            text = text.substr(0, text.find('\0'));
            if (passwordTest && text.find(kPasswordPrompt) != std::string_view::npos) {
                seen.result = kAtPasswordRequired;
                seen.resultLine = true;
            }
            const ReplyClass verdict = ClassifyReply(text, DeviceEchoes());
            if (verdict.end != ReplyEnd::kOpen) {
                // The command's own echo before its result: the device echoes,
                // and a result line that comes before an echo from now on is
                // one it sent unasked.
                if (text.substr(0, verdict.length).find(sent) != std::string_view::npos) {
                    SetDeviceEchoes(true);
                }
                seen.resultLine = true;
                // What came after the result line answers nothing the caller
                // asked; it must not be read as part of the reply.
                std::memset(reply + verdict.length, 0, gathered - verdict.length);
                // Nor do the lines before the echo: the reply starts with the
                // echo's line.
                if (DeviceEchoes()) {
                    const std::size_t from = EchoLineStart(text.substr(0, verdict.length));
                    std::memmove(reply, reply + from, verdict.length - from);
                    std::memset(reply + verdict.length - from, 0, from);
                }
                if (verdict.end == ReplyEnd::kOk) {
                    seen.result = kAtSuccess;
                }
                break;
            }
        }
        if (AtClock() >= deadline) {
            break;
        }
    }
    return seen;
}

}  // namespace

std::size_t EchoLineStart(std::string_view gathered) {
    const std::size_t end = EchoEnd(gathered);
    if (end == std::string_view::npos) {
        return 0;
    }
    const std::size_t lineEnd = gathered.rfind(kLineEnd, end - 1);
    return lineEnd == std::string_view::npos ? 0 : lineEnd + kLineEnd.size();
}

std::size_t EchoEnd(std::string_view gathered) {
    std::size_t lineStart = 0;
    for (std::size_t cr = gathered.find('\r'); cr != std::string_view::npos;
         cr = gathered.find('\r', cr + 1)) {
        if (cr + 1 == gathered.size()) {
            return std::string_view::npos;  // a line end or the echo's end: not told yet
        }
        if (gathered[cr + 1] == '\n') {
            lineStart = cr + 2;
            continue;
        }
        if (gathered.substr(lineStart, cr - lineStart).find("AT") != std::string_view::npos) {
            return cr + 1;
        }
    }
    return std::string_view::npos;
}

ReplyClass ClassifyReply(std::string_view gathered, bool afterEcho) {
    std::size_t start = 0;
    if (afterEcho) {
        start = EchoEnd(gathered);
        if (start == std::string_view::npos) {
            return {};
        }
    }
    for (;;) {
        const std::size_t end = gathered.find(kLineEnd, start);
        if (end == std::string_view::npos) {
            return {};
        }
        // Until the echo is known, any line may hold it: a line the device
        // sent of its own may come before it.
        std::string_view line = gathered.substr(start, end - start);
        if (!afterEcho) {
            line = AfterEcho(line);
        }
        if (line == "OK") {
            return {ReplyEnd::kOk, end + kLineEnd.size()};
        }
        if (line.starts_with("ERROR")) {
            return {ReplyEnd::kError, end + kLineEnd.size()};
        }
        start = end + kLineEnd.size();
    }
}

void SetDeviceEchoes(bool echoes) {
    g_echoes.store(echoes, std::memory_order_release);
}

bool DeviceEchoes() {
    return g_echoes.load(std::memory_order_acquire);
}

std::chrono::milliseconds ExchangeTimeLimit(int emptyReadLimit, std::size_t replyCapacity) {
    return kReadTimeout * (emptyReadLimit + 1) +
           kPerReplyByte * static_cast<std::int64_t>(replyCapacity);
}

void SetAtClock(AtClockNow now) {
    g_clock.store(now, std::memory_order_release);
}

std::chrono::steady_clock::time_point AtClock() {
    const AtClockNow now = g_clock.load(std::memory_order_acquire);
    return now != nullptr ? now() : Clock::now();
}

ExchangeSeen SendAtCommandSeen(PortHandle port, const char* command, int emptyReadLimit) {
    char reply[128];
    return Exchange(port, command, reply, sizeof reply, emptyReadLimit, true);
}

int SendAtCommand(PortHandle port, const char* command, int emptyReadLimit) {
    return SendAtCommandSeen(port, command, emptyReadLimit).result;
}

int QueryAtCommand(PortHandle port, const char* command, char* reply, std::size_t replySize,
                   int emptyReadLimit) {
    if (reply == nullptr || replySize == 0) {
        return kAtFailure;
    }
    return Exchange(port, command, reply, replySize, emptyReadLimit, false).result;
}
