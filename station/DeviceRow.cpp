#include "station/DeviceRow.h"

#include <ctime>

namespace station {

std::string LocalTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

}  // namespace station
