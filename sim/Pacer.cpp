#include "Pacer.h"

#include <limits>

namespace kavrelsim {

Pacer::Nanos Pacer::ByteTime(std::uint32_t baud) {
    return Nanos(10'000'000'000LL / baud);
}

std::size_t Pacer::Allowance(Nanos now, std::uint32_t baud) {
    if (baud == 0) {
        return std::numeric_limits<std::size_t>::max();
    }
    if (idle_) {
        freeAt_ = now;
        idle_ = false;
    }
    if (freeAt_ > now) {
        return 0;
    }
    return 1 + static_cast<std::size_t>((now - freeAt_) / ByteTime(baud));
}

void Pacer::Sent(std::size_t count, std::uint32_t baud) {
    if (baud != 0) {
        freeAt_ += ByteTime(baud) * static_cast<std::int64_t>(count);
    }
}

}  // namespace kavrelsim
