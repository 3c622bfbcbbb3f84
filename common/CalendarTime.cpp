#include "common/CalendarTime.h"

// Each system has its own thread-safe call, with the arguments the other way
// round.
std::tm UtcCalendarTime(std::time_t moment) {
    std::tm fields{};
#ifdef _WIN32
    gmtime_s(&fields, &moment);
#else
    gmtime_r(&moment, &fields);
#endif
    return fields;
}

std::tm LocalCalendarTime(std::time_t moment) {
    std::tm fields{};
#ifdef _WIN32
    localtime_s(&fields, &moment);
#else
    localtime_r(&moment, &fields);
#endif
    return fields;
}
