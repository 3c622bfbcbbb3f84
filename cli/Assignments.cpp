#include "cli/Assignments.h"

#include <set>

namespace cli {

std::variant<ItemAssignment, AssignmentError> ParseAssignment(std::string_view argument) {
    const AssignmentError malformed{AssignmentError::Malformed, std::string(argument), 0};
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos) {
        return malformed;
    }
    const std::string_view digits = argument.substr(0, equals);
    if (digits.empty() || digits.size() > 2 || digits.front() == '0') {
        return malformed;
    }
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return malformed;
        }
        number = number * 10 + (c - '0');
    }
    if (number > 60) {
        return malformed;
    }
    return ItemAssignment{number, std::string(argument.substr(equals + 1))};
}

std::variant<std::vector<ItemAssignment>, AssignmentError> ParseAssignments(
    const std::vector<std::string>& arguments) {
    std::vector<ItemAssignment> assignments;
    std::set<int> seen;
    for (const std::string& argument : arguments) {
        auto parsed = ParseAssignment(argument);
        if (auto* error = std::get_if<AssignmentError>(&parsed)) {
            return *error;
        }
        auto& assignment = std::get<ItemAssignment>(parsed);
        if (!seen.insert(assignment.number).second) {
            return AssignmentError{AssignmentError::Duplicate, argument, assignment.number};
        }
        assignments.push_back(std::move(assignment));
    }
    return assignments;
}

}  // namespace cli
