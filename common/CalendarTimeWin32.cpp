#include "common/CalendarTime.h"

std::tm UtcCalendarTime(std::time_t moment) {
    std::tm fields{};
    gmtime_s(&fields, &moment);
    return fields;
}

std::tm LocalCalendarTime(std::time_t moment) {
    std::tm fields{};
    localtime_s(&fields, &moment);
    return fields;
}
