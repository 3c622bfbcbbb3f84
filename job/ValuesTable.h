// The values table of a batch or an apply: a CSV with one row per device,
// found by IMEI, whose cells are laid over the profile's values for that
// device. It is read once and checked whole before any port opens; every
// worker of a station gets the same bytes. Cells are device bytes, in the
// device's code page, as a profile's values are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "framework/Language.h"

namespace job {

// A column: the item it names by its key, "N. name" as a profile names it
// and Import matches it with the form's label, or by number alone (label
// empty). number is the key's N too, the row the key can only be.
struct ValuesColumn {
    int number = 0;
    std::string label;
};

struct ValuesRow {
    std::size_t line = 0;             // in the file, 1 the header
    std::vector<std::string> values;  // one per column, after the IMEI
};

// The item a header cell or a profile's key names: by number ("2"), or by a
// key ("2. APN", the row of its number); number 0 when it names none.
ValuesColumn ItemNamed(std::string_view text);

// A value pool's file is a values table whose rows are for no device yet:
// the same cells and checks, with no IMEI column.
enum class ImeiColumn { First, None };

class ValuesTable {
public:
    const std::vector<ValuesColumn>& Columns() const { return columns_; }
    std::size_t RowCount() const { return rows_.size(); }
    const std::vector<ValuesRow>& Rows() const { return rows_; }
    // The row for the IMEI as the device sent it; null when none is.
    const ValuesRow* Find(std::string_view imei) const;

private:
    friend std::variant<ValuesTable, std::string> ParseValuesTable(std::string_view,
                                                                   const std::string&, fw::Language,
                                                                   ImeiColumn);
    std::vector<ValuesColumn> columns_;
    std::vector<ValuesRow> rows_;
    // A table may hold a row for every device a line ever makes: the IMEI's
    // 15 digits as a number are a key that is quick to hash and compare.
    std::unordered_map<std::uint64_t, std::size_t> byImei_;
};

// The table in the file's bytes, checked whole, or why it is refused, naming
// the line (in the operator's language). name: the file as the operator gave
// it. Bytes are the device's code page for language, or UTF-8 after a
// byte-order mark, then converted to it.
std::variant<ValuesTable, std::string> ParseValuesTable(std::string_view bytes,
                                                        const std::string& name,
                                                        fw::Language language,
                                                        ImeiColumn imei = ImeiColumn::First);

// Why a value (a profile's, a cell's) is refused for its braces, naming the
// file's line and the item; empty when its patterns are all known ones.
std::string PatternRefusal(std::string_view value, const std::string& name, std::size_t line,
                           std::string_view item);

// Why the profile is refused for the braces of a value whose key names an
// item ("N. name"); empty when it is fine.
std::string ProfilePatternRefusal(std::string_view bytes, const std::string& name);

}  // namespace job
