// The values table of a batch or an apply: a CSV with one row per device,
// found by IMEI, whose cells are laid over the profile's values for that
// device. It is read once and checked whole before any port opens; every
// worker of a station gets the same bytes. Cells are device bytes, in the
// device's code page, as a profile's values are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

class ValuesTable;

// A row of a table, as a view of it: good while that table lives.
struct ValuesRow {
    std::size_t line = 0;  // in the file, 1 the header

    // The cell of a column (0 the first after the IMEI) as the device is
    // given it: unquoted, in the device's code page.
    std::string_view Value(std::size_t column) const;
    // Every cell, one per column, copied.
    std::vector<std::string> Values() const;

private:
    friend class ValuesTable;
    ValuesRow(const ValuesTable& table, std::size_t index);
    const ValuesTable* table_ = nullptr;
    std::size_t index_ = 0;
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
    std::size_t RowCount() const { return rows_; }
    // The rows in the file's order, index 0 the first after the header.
    ValuesRow Row(std::size_t index) const { return ValuesRow(*this, index); }
    // The row for the IMEI as the device sent it; none when none is.
    std::optional<ValuesRow> Find(std::string_view imei) const;

private:
    friend struct ValuesRow;
    friend std::variant<ValuesTable, std::string> ParseValuesTable(std::string_view,
                                                                   const std::string&, fw::Language,
                                                                   ImeiColumn);
    // A table may hold a row for every device a line ever makes, a million
    // and more: no string or vector of a row's own. Every cell's bytes are
    // in one string, in the file's order, and a cell is known by where it
    // ends there (row r's column c at r * columns + c; it starts where the
    // one before it ends). Offsets are of 32 bits: the table's bytes are
    // far fewer than 4 GiB (a values file is 256 MB at most).
    std::vector<ValuesColumn> columns_;
    std::string cells_;
    std::vector<std::uint32_t> ends_;
    std::size_t rows_ = 0;
    // The IMEI's 15 digits as a number, each with its row, sorted by it: a
    // key quick to compare, found by halving.
    struct Imei {
        std::uint64_t key = 0;
        std::uint32_t row = 0;
    };
    std::vector<Imei> byImei_;
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
