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
};

// The length of the reply up to and including its result line, 0 when no
// line of it is one yet; ok tells which result.
inline std::size_t ReferenceResultLine(const std::string& text, bool& ok) {
    std::size_t start = 0;
    for (int index = 0;; ++index) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            return 0;
        }
        std::string line = text.substr(start, end - start);
        const std::size_t cr = line.rfind('\r');
        if (index == 0 && cr != std::string::npos &&
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
inline ReferenceReply ReferenceExchange(ScriptedPort& port, bool passwordTest, std::size_t capacity,
                                        int emptyReadLimit) {
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
            if (const std::size_t length = ReferenceResultLine(text, ok); length > 0) {
                if (ok) {
                    r.result = 0;
                }
                r.held = r.gathered.substr(0, length);
                return r;
            }
        }
        if (port.Now() >= deadline) {
            break;
        }
    }
    r.held = r.gathered;
    return r;
}

}  // namespace fuzzsupport
