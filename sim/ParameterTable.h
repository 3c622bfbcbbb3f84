// The device's configuration items: what AT+GETDV=0 lists and AT+SET changes.
// Names and values are bytes exactly as they travel on the wire.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Rule.h"

namespace kavrelsim {

struct Parameter {
    int number = 0;
    std::string name;
    std::string factory;
    std::string value;
    Rule rule = Rule::Text(64);
};

class ParameterTable {
public:
    ParameterTable() = default;
    // Sorted by number; throws std::invalid_argument on a duplicate or a number < 1.
    explicit ParameterTable(std::vector<Parameter> items);

    const std::vector<Parameter>& Items() const { return items_; }
    const Parameter* Find(int number) const;
    Parameter* Find(int number);
    void RestoreFactory();

    // The body of the AT+GETDV=0 answer: "N,name,value\r\n" in number order.
    std::string Listing() const;
    // One line of it.
    static std::string ListingLine(int number, std::string_view name, std::string_view value);

private:
    std::vector<Parameter> items_;
};

// Text files of "number,name,value" lines (--params, --state). The value is
// the rest of the line and may contain commas. Blank lines and lines starting
// with '#' are skipped; "\r\n" endings are accepted.
struct ParamLine {
    int number = 0;
    std::string name;
    std::string value;
};

// Throws std::runtime_error naming the offending line.
std::vector<ParamLine> ParseParamText(std::string_view text);
std::string FormatParamText(const ParameterTable& table);

// A table taken wholesale from a file. Such items have no known meaning, so
// their rule is plain text up to kLoadedTextLimit bytes (or longer if the file
// itself holds a longer value).
inline constexpr std::size_t kLoadedTextLimit = 64;
ParameterTable TableFromParamText(std::string_view text);

// Puts saved values into the table. Lines for unknown items and values the
// item's rule refuses are skipped and described in the returned warnings.
std::vector<std::string> ApplyState(ParameterTable& table, std::string_view text);

// The whole file; throws std::runtime_error. Writing is OutputFile's.
std::string ReadTextFile(const std::string& path);

}  // namespace kavrelsim
