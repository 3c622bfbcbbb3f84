#include "station/DeviceRow.h"

#include <ctime>

#include "common/CalendarTime.h"

namespace station {

std::string LocalTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    const std::tm local = LocalCalendarTime(now);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

}  // namespace station
