// The reply rules of the AT exchange written out a second time, as plainly as
// possible, to check SendAtCommand and QueryAtCommand against: the gathered
// reply is searched as text (up to its first zero byte, where a text search of
// the terminated buffer ends) after every read that brought data; its result
// is a whole line, and the exchange also ends by its clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ScriptedPort.h"

namespace fuzzsupport {

struct ReferenceReply {
    int result = -1;
    std::string gathered;  // every byte the reads brought
    std::string held;      // what the reply is: gathered, cut after its result line
    std::size_t reads = 0;
    std::size_t emptyReads = 0;
    bool echoes = false;  // the device is known to echo after the exchange
};

// Where the echo ends: past the first "\r" that is followed by something
// other than "\n" and ends a stretch since the last "\r\n" holding "AT";
// npos while there is none, or a "\r" at the very end leaves it open.
inline std::size_t ReferenceEchoEnd(const std::string& text) {
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            continue;
        }
        if (i + 1 == text.size()) {
            return std::string::npos;
        }
        if (text[i + 1] == '\n') {
            lineStart = i + 2;
        } else if (text.substr(lineStart, i - lineStart).find("AT") != std::string::npos) {
            return i + 1;
        }
    }
    return std::string::npos;
}

// The length of the reply up to and including its result line, 0 when no
// line of it is one yet; ok tells which result. afterEcho: only lines after
// the echo count; otherwise any line may open with the echo.
inline std::size_t ReferenceResultLine(const std::string& text, bool& ok, bool afterEcho = false) {
    std::size_t start = 0;
    if (afterEcho) {
        start = ReferenceEchoEnd(text);
        if (start == std::string::npos) {
            return 0;
        }
    }
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            return 0;
        }
        std::string line = text.substr(start, end - start);
        const std::size_t cr = line.rfind('\r');
        if (!afterEcho && cr != std::string::npos &&
            line.substr(0, cr).find("AT") != std::string::npos) {
            line = line.substr(cr + 1);  // the echo of the command came first
        }
        if (line == "OK" || line.rfind("ERROR", 0) == 0) {
            ok = line == "OK";
            return end + 2;
        }
        start = end + 2;
    }
}

// capacity: the reply bytes the exchange can hold (127 for SendAtCommand,
// size - 1 for QueryAtCommand). The port must be fresh on the same script.
// echoes: whether the device is known to echo as the exchange starts;
// command: what is sent, whose echo before the result teaches that it does.
// With the echo known, the reply held starts at the line of the echo.
inline ReferenceReply ReferenceExchange(ScriptedPort& port, bool passwordTest, std::size_t capacity,
                                        int emptyReadLimit, bool echoes = false,
                                        const std::string& command = std::string()) {
    ReferenceReply r;
    const auto deadline =
        port.Now() +
        std::chrono::milliseconds(100 * (emptyReadLimit + 1) + static_cast<std::int64_t>(capacity));
    std::vector<char> chunk(capacity + 1);
    for (;;) {
        const std::size_t room = capacity - r.gathered.size();
        const std::int32_t got = port.Read(chunk.data(), static_cast<std::uint32_t>(room));
        ++r.reads;
        if (got <= 0) {
            if (static_cast<int>(++r.emptyReads) > emptyReadLimit) {
                break;
            }
        } else {
            r.gathered.append(chunk.data(), static_cast<std::size_t>(got));
            const std::string text = r.gathered.substr(0, r.gathered.find('\0'));
            if (passwordTest && text.find("\r\nNEED PWD\r\n") != std::string::npos) {
                r.result = 4;
            }
            bool ok = false;
            if (const std::size_t length = ReferenceResultLine(text, ok, echoes); length > 0) {
                if (ok) {
                    r.result = 0;
                }
                r.held = r.gathered.substr(0, length);
                r.echoes = echoes || (!command.empty() &&
                                      text.substr(0, length).find(command) != std::string::npos);
                if (r.echoes) {
                    const std::size_t echoEnd = ReferenceEchoEnd(text.substr(0, length));
                    std::size_t from = 0;
                    if (echoEnd != std::string::npos) {
                        const std::size_t lineEnd = text.rfind("\r\n", echoEnd - 1);
                        from = lineEnd == std::string::npos ? 0 : lineEnd + 2;
                    }
                    r.held = r.held.substr(from);
                }
                return r;
            }
        }
        if (port.Now() >= deadline) {
            break;
        }
    }
    r.echoes = echoes;
    r.held = r.gathered;
    return r;
}

}  // namespace fuzzsupport
