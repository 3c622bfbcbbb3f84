// The reply rules of the AT exchange written out a second time, as plainly as
// possible, to check SendAtCommand and QueryAtCommand against: the gathered
// reply is searched as text (up to its first zero byte, where a text search of
// the terminated buffer ends) after every read that brought data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ScriptedPort.h"

namespace fuzzsupport {

struct ReferenceReply {
    int result = -1;
    std::string gathered;  // every byte the reads brought
    std::size_t reads = 0;
    std::size_t emptyReads = 0;
};

// capacity: the reply bytes the exchange can hold (127 for SendAtCommand,
// size - 1 for QueryAtCommand). The port must be fresh on the same script.
inline ReferenceReply ReferenceExchange(ScriptedPort& port, bool passwordTest, std::size_t capacity,
                                        int emptyReadLimit) {
    ReferenceReply r;
    std::vector<char> chunk(capacity + 1);
    for (;;) {
        const std::size_t room = capacity - r.gathered.size();
        const std::int32_t got = port.Read(chunk.data(), static_cast<std::uint32_t>(room));
        ++r.reads;
        if (got <= 0) {
            if (static_cast<int>(++r.emptyReads) > emptyReadLimit) {
                return r;
            }
            continue;
        }
        r.gathered.append(chunk.data(), static_cast<std::size_t>(got));
        const std::string text = r.gathered.substr(0, r.gathered.find('\0'));
        if (passwordTest && text.find("\r\nNEED PWD\r\n") != std::string::npos) {
            r.result = 4;
        }
        const std::size_t error = text.find("ERROR");
        if (error != std::string::npos && text.find("\r\n", error + 5) != std::string::npos) {
            return r;
        }
        if (text.find("OK\r\n") != std::string::npos) {
            r.result = 0;
            return r;
        }
    }
}

}  // namespace fuzzsupport
