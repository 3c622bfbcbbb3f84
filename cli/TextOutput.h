// Device text made fit for a terminal and for CSV: columns aligned by the
// width characters take on screen (Chinese characters take two cells), control
// characters made visible, CSV fields quoted where they need it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Cells on a terminal: two for East Asian wide characters, one otherwise.
// Bytes that are not UTF-8 count one cell each.
std::size_t DisplayWidth(std::string_view utf8);

// Control characters (C0 and DEL) become '?', so device text cannot move the
// cursor or end a line on the terminal.
std::string Printable(std::string_view utf8);

// Columns separated by two blanks, every cell but the last padded to its
// column's width; one line per row, the headers first.
std::string FormatTable(const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& rows);

// One CSV record with CR LF, fields quoted when they hold a comma, a quote,
// a line break or blanks at either end.
std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace cli
