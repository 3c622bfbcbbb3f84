// Device text made fit for a terminal and for CSV: columns aligned by the
// width characters take on screen (Chinese characters take two cells), control
// characters made visible, CSV fields quoted and kept from being formulas.
//
// The one rule for device text in what the tools print (stdout, stderr, the
// CSV reports): a control character (C0, DEL, C1) never goes out raw, it is
// written as \xHH, the byte's value, so a version string cannot clear the
// screen or retitle the window and the operator still sees what the device
// sent. JSON escapes them itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// Cells on a terminal: two for East Asian wide characters, one otherwise.
// Bytes that are not UTF-8 count one cell each.
std::size_t DisplayWidth(std::string_view utf8);

// A field on one line: every control character becomes \xHH.
std::string Printable(std::string_view utf8);
// Lines said to the operator: line feeds stay, every other control character
// becomes \xHH.
std::string PrintableLines(std::string_view utf8);
// The device's debug log shown on a terminal: its line ends (CR, LF) and tabs
// stay, every other control character becomes \xHH.
std::string PrintableLog(std::string_view utf8);

// JSON as the library writes it, with DEL and the C1 controls, which JSON may
// leave raw inside strings, written as \u escapes: the same document, and
// nothing a terminal would act on.
std::string InertJson(std::string json);

// Columns separated by two blanks, every cell but the last padded to its
// column's width; one line per row, the headers first.
std::string FormatTable(const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& rows);
// The same table given in parts, for one too long to hold: widths carries the
// columns' widths from part to part and only ever grows, so a part is as wide
// as every part before it. The headers are measured always and printed only
// with the first part (widths empty).
std::string FormatTablePart(const std::vector<std::string>& headers,
                            const std::vector<std::vector<std::string>>& rows,
                            std::vector<std::size_t>& widths);

// One CSV field as a spreadsheet should take it: control characters as \xHH,
// and a leading quote where a spreadsheet would run the field as a formula
// (=, +, -, @, or a tab or CR at the start).
std::string CsvCell(std::string_view utf8);

// One CSV record with CR LF, every field made a CsvCell, quoted when it holds
// a comma, a quote or blanks at either end.
std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace common
