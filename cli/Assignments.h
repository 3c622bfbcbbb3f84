// The N=VALUE arguments of "tirvelctl set", checked before the device is
// touched.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cli {

struct ItemAssignment {
    int number = 0;     // 1..60
    std::string value;  // as typed (UTF-8); may be empty and may hold '='
};

struct AssignmentError {
    enum Kind { Malformed, Duplicate } kind;
    std::string argument;  // the offending argument as given
    int number = 0;        // for Duplicate
};

// "N=VALUE": N is 1 to 60 in plain decimal (no sign, no leading zero, no
// blanks); the value is everything after the first '='.
std::variant<ItemAssignment, AssignmentError> ParseAssignment(std::string_view argument);

// All of them, or the first error; an item given twice is an error, since
// which value was meant cannot be known.
std::variant<std::vector<ItemAssignment>, AssignmentError> ParseAssignments(
    const std::vector<std::string>& arguments);

}  // namespace cli
