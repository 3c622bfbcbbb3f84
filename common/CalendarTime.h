// A moment as calendar fields, from the thread-safe call each system has.
#pragma once

#include <ctime>

std::tm UtcCalendarTime(std::time_t moment);
std::tm LocalCalendarTime(std::time_t moment);
