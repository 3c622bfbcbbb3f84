#include "StateMarks.h"

namespace bench {

namespace {
// Only port 0 ever says it: its first appearance in the data is the mark.
constexpr char kMark[] = "writing, change #";
constexpr char kStation[] = "\"station\":\"";
}  // namespace

std::string MarkedState(long sequence) {
    return kMark + std::to_string(sequence);
}

std::optional<StateMark> MarkOf(const std::string& data) {
    // Searched, not parsed: at the full line 200 readers take 16,000 events
    // a second, and the bench's own CPU is the server's two cores too. The
    // station's name is the one "station" key: a port has none.
    const std::size_t mark = data.find(kMark);
    const std::size_t name = data.find(kStation);
    if (mark == std::string::npos || name == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t nameStart = name + sizeof kStation - 1;
    const std::size_t nameEnd = data.find('"', nameStart);
    const std::size_t digits = mark + sizeof kMark - 1;
    const std::size_t digitsEnd = data.find_first_not_of("0123456789", digits);
    if (nameEnd == std::string::npos || digitsEnd == digits || digitsEnd == std::string::npos) {
        return std::nullopt;
    }
    return StateMark{data.substr(nameStart, nameEnd - nameStart),
                     std::stol(data.substr(digits, digitsEnd - digits))};
}

}  // namespace bench
