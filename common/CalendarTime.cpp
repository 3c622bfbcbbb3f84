#include "common/CalendarTime.h"

namespace {

// Each system has its own thread-safe call, with the arguments the other way
// round.
std::tm CalendarTime(std::time_t moment, bool local) {
    std::tm fields{};
#ifdef _WIN32
    local ? localtime_s(&fields, &moment) : gmtime_s(&fields, &moment);
#else
    local ? localtime_r(&moment, &fields) : gmtime_r(&moment, &fields);
#endif
    return fields;
}

}  // namespace

std::tm UtcCalendarTime(std::time_t moment) {
    return CalendarTime(moment, false);
}

std::tm LocalCalendarTime(std::time_t moment) {
    return CalendarTime(moment, true);
}
