#include "records/RecordId.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <random>

#include "common/AsciiText.h"
#include "common/CalendarTime.h"

namespace records {

std::string NewRecordId() {
    // Seeded once from the system's entropy: a clock-seeded generator would
    // repeat on stations started in the same instant.
    static std::mutex mutex;
    static std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(),
                           device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::array<std::uint8_t, 16> bytes{};
    {
        const std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            const std::uint64_t word = generator();
            for (std::size_t k = 0; k < 8; ++k) {
                bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
            }
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string text =
        LowerHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    for (const std::size_t dash : {20, 16, 12, 8}) {
        text.insert(dash, 1, '-');
    }
    return text;
}

std::string UtcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    const std::tm utc = UtcCalendarTime(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

}  // namespace records
