#include "common/CalendarTime.h"

std::tm UtcCalendarTime(std::time_t moment) {
    std::tm fields{};
    gmtime_r(&moment, &fields);
    return fields;
}

std::tm LocalCalendarTime(std::time_t moment) {
    std::tm fields{};
    localtime_r(&moment, &fields);
    return fields;
}
