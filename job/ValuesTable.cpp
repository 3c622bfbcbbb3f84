#include "job/ValuesTable.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>

#include "framework/CodePage.h"
#include "framework/StringTable.h"
#include "job/ValuePatterns.h"
#include "res/ResourceIds.h"

namespace job {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kLastItem = 60;

// The words of a refusal at a line of the file.
std::string AtLine(fw::UINT id, const std::string& name, std::size_t line,
                   std::vector<std::string> more = {}) {
    more.insert(more.begin(), {name, std::to_string(line)});
    return fw::LoadText(id, more);
}

// "1" to "60", plain decimal; 0 when the text is none of them.
int ItemNumber(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.front() == '0' ||
        text.find_first_not_of("0123456789") != std::string_view::npos) {
        return 0;
    }
    const int number = std::stoi(std::string(text));
    return number <= kLastItem ? number : 0;
}

bool IsImei(std::string_view text) {
    return text.size() == 15 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint64_t ImeiKey(std::string_view imei) {
    std::uint64_t key = 0;
    for (const char digit : imei) {
        key = key * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    return key;
}

enum class Fault { None, Quoting, Break };

// One record from at, to its line end (LF or CR LF) or the end of the bytes,
// as RFC 4180 has it, but with no line break inside a cell: no value may hold
// one. Its cells' bytes go to cells one after another, and where each ends
// there to ends. at ends past the line end.
Fault ReadRecord(std::string_view bytes, std::size_t& at, std::string& cells,
                 std::vector<std::size_t>& ends) {
    cells.clear();
    ends.clear();
    const std::size_t size = bytes.size();
    // A cell a turn, from its first byte.
    for (;;) {
        if (at < size && bytes[at] == '"') {
            ++at;
            for (;;) {
                if (at >= size) {
                    return Fault::Quoting;
                }
                const char q = bytes[at];
                if (q == '\r' || q == '\n' || q == '\0') {
                    return Fault::Break;
                }
                if (q == '"' && at + 1 < size && bytes[at + 1] == '"') {
                    cells += '"';
                    at += 2;
                } else if (q == '"') {
                    ++at;
                    break;
                } else {
                    cells += q;
                    ++at;
                }
            }
            // A quoted cell ends at its quote: "ab"c is no cell.
            if (at < size && bytes[at] != ',' && bytes[at] != '\n' &&
                !bytes.substr(at).starts_with("\r\n")) {
                return Fault::Quoting;
            }
        } else {
            // Plain bytes, taken at once, to the first that ends the cell or
            // has no place in one.
            const std::size_t start = at;
            while (at < size) {
                const char c = bytes[at];
                if (c == ',' || c == '\n' || c == '\r' || c == '"' || c == '\0') {
                    break;
                }
                ++at;
            }
            cells.append(bytes.data() + start, at - start);
            if (at < size && bytes[at] == '"') {
                return Fault::Quoting;
            }
            if (at < size && (bytes[at] == '\0' ||
                              (bytes[at] == '\r' && !bytes.substr(at).starts_with("\r\n")))) {
                return Fault::Break;
            }
        }
        ends.push_back(cells.size());
        // At a comma, a line end or the end of the bytes.
        if (at >= size) {
            return Fault::None;
        }
        if (bytes[at] == ',') {
            ++at;
            continue;
        }
        at += bytes[at] == '\n' ? 1 : 2;
        return Fault::None;
    }
}

// Eight bytes at a time: a whole table's bytes are looked at.
bool IsAscii(std::string_view text) {
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            return false;
        }
    }
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The number of the first line whose bytes fail the test, from 1.
template <typename Test>
std::size_t FirstLineFailing(std::string_view bytes, Test test) {
    std::size_t line = 1;
    for (std::size_t start = 0; start <= bytes.size(); ++line) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        if (!test(bytes.substr(start, end - start))) {
            return line;
        }
        start = end + 1;
    }
    return line;
}

// The table's bytes in the device's code page: text, which is the bytes
// themselves or, converted from UTF-8, out; why they cannot be, or empty.
// ASCII is every code page's, as it is: the common table is neither copied
// nor converted.
std::string DeviceBytes(std::string_view bytes, const std::string& name, fw::Language language,
                        std::string& out, std::string_view& text) {
    const std::string page = fw::CodePageName(language);
    if (bytes.starts_with(kByteOrderMark)) {
        const std::string_view utf8 = bytes.substr(kByteOrderMark.size());
        if (IsAscii(utf8)) {
            text = utf8;
            return std::string();
        }
        const auto carries = [language](std::string_view line) {
            return fw::DecodeCodePage(fw::EncodeCodePage(line, language), language) == line;
        };
        // Once for the whole table, line by line only to say where it fails.
        out = fw::EncodeCodePage(utf8, language);
        if (fw::DecodeCodePage(out, language) != utf8) {
            return AtLine(res::IDS_VALUES_NOT_ENCODABLE, name, FirstLineFailing(utf8, carries),
                          {page});
        }
        text = out;
        return std::string();
    }
    const auto valid = [language](std::string_view line) {
        return fw::EncodeCodePage(fw::DecodeCodePage(line, language), language) == line;
    };
    if (!IsAscii(bytes) && !valid(bytes)) {
        return AtLine(res::IDS_VALUES_NOT_CODE_PAGE, name, FirstLineFailing(bytes, valid), {page});
    }
    text = bytes;
    return std::string();
}

// The header row: IMEI first (unless none), then each column an item once.
std::string ReadHeader(const std::vector<std::string>& cells, const std::string& name,
                       ImeiColumn imei, std::vector<ValuesColumn>& columns) {
    std::string first = cells.front();
    std::transform(first.begin(), first.end(), first.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    if (imei == ImeiColumn::First && first != "IMEI") {
        return AtLine(res::IDS_VALUES_IMEI_FIRST, name, 1);
    }
    for (std::size_t i = imei == ImeiColumn::First ? 1 : 0; i < cells.size(); ++i) {
        const ValuesColumn column = ItemNamed(cells[i]);
        if (column.number == 0) {
            return AtLine(res::IDS_VALUES_BAD_COLUMN, name, 1, {fw::DecodeAnsi(cells[i])});
        }
        // A key names the row of its number: "2" and "2. APN" are one item.
        if (std::any_of(columns.begin(), columns.end(),
                        [&](const ValuesColumn& c) { return c.number == column.number; })) {
            return AtLine(res::IDS_VALUES_DUPLICATE_COLUMN, name, 1,
                          {fw::DecodeAnsi(cells[i]), std::to_string(column.number)});
        }
        columns.push_back(column);
    }
    return std::string();
}

}  // namespace

ValuesColumn ItemNamed(std::string_view text) {
    if (const int number = ItemNumber(text)) {
        return {number, std::string()};
    }
    const std::size_t dot = text.find(". ");
    if (dot == std::string_view::npos) {
        return {};
    }
    const int number = ItemNumber(text.substr(0, dot));
    return {number, number != 0 ? std::string(text) : std::string()};
}

// No record spans lines and every line after the header is a row (an empty
// one is refused), so a row's line is where it is in the file.
ValuesRow::ValuesRow(const ValuesTable& table, std::size_t index)
    : line(index + 2), table_(&table), index_(index) {}

std::string_view ValuesRow::Value(std::size_t column) const {
    const std::size_t at = index_ * table_->columns_.size() + column;
    const std::size_t start = at == 0 ? 0 : table_->ends_[at - 1];
    return std::string_view(table_->cells_).substr(start, table_->ends_[at] - start);
}

std::vector<std::string> ValuesRow::Values() const {
    std::vector<std::string> values;
    values.reserve(table_->columns_.size());
    for (std::size_t i = 0; i < table_->columns_.size(); ++i) {
        values.emplace_back(Value(i));
    }
    return values;
}

std::optional<ValuesRow> ValuesTable::Find(std::string_view imei) const {
    if (!IsImei(imei)) {
        return std::nullopt;
    }
    const std::uint64_t key = ImeiKey(imei);
    const auto it =
        std::lower_bound(byImei_.begin(), byImei_.end(), key,
                         [](const Imei& entry, std::uint64_t k) { return entry.key < k; });
    if (it == byImei_.end() || it->key != key) {
        return std::nullopt;
    }
    return ValuesRow(*this, it->row);
}

std::variant<ValuesTable, std::string> ParseValuesTable(std::string_view bytes,
                                                        const std::string& name,
                                                        fw::Language language, ImeiColumn imei) {
    const std::size_t skip = imei == ImeiColumn::First ? 1 : 0;
    std::string converted;
    std::string_view text;
    if (std::string refusal = DeviceBytes(bytes, name, language, converted, text);
        !refusal.empty()) {
        return refusal;
    }
    // The offsets' 32 bits (the header); a values file is 256 MB at most.
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("a values table of 4 GiB or more");
    }
    ValuesTable table;
    // The index is sorted once the rows are all read, and so an IMEI given
    // twice is found then: the refusal is of the first row, in the file's
    // order, whose IMEI an earlier row has, as if each were looked up in
    // turn. A fault further on is refused only when no such row comes first.
    const auto sortedOrTwice = [&table, &name]() -> std::string {
        std::vector<ValuesTable::Imei>& index = table.byImei_;
        std::sort(index.begin(), index.end(), [](const auto& a, const auto& b) {
            return a.key != b.key ? a.key < b.key : a.row < b.row;
        });
        std::optional<std::size_t> twice;  // in index: the second row of its IMEI
        for (std::size_t i = 1; i < index.size(); ++i) {
            if (index[i].key == index[i - 1].key && (i == 1 || index[i - 2].key != index[i].key) &&
                (!twice || index[i].row < index[*twice].row)) {
                twice = i;
            }
        }
        if (!twice) {
            return std::string();
        }
        std::string digits = std::to_string(index[*twice].key);
        digits.insert(0, 15 - digits.size(), '0');
        return AtLine(res::IDS_VALUES_DUPLICATE_IMEI, name, index[*twice].row + std::size_t{2},
                      {digits, std::to_string(index[*twice - 1].row + std::size_t{2})});
    };
    const auto refuse = [&sortedOrTwice](std::string refusal) {
        std::string twice = sortedOrTwice();
        return twice.empty() ? refusal : twice;
    };
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::vector<std::string> items;  // each column's name in a refusal
    std::string record;
    std::vector<std::size_t> ends;
    const auto cell = [&record, &ends](std::size_t i) {
        const std::size_t start = i == 0 ? 0 : ends[i - 1];
        return std::string_view(record).substr(start, ends[i] - start);
    };
    std::size_t at = 0;
    for (std::size_t line = 1; line == 1 || at < text.size(); ++line) {
        const std::size_t start = at;
        switch (ReadRecord(text, at, record, ends)) {
            case Fault::Quoting:
                return refuse(AtLine(res::IDS_VALUES_BAD_QUOTING, name, line));
            case Fault::Break:
                return refuse(AtLine(res::IDS_VALUES_LINE_BREAK, name, line));
            case Fault::None:
                break;
        }
        const bool empty = ends.size() == 1 && ends.front() == 0 &&
                           (at == start || text[start] == '\n' || text[start] == '\r');
        if (line == 1) {
            if (empty) {
                return AtLine(skip != 0 ? res::IDS_VALUES_IMEI_FIRST : res::IDS_VALUES_BAD_COLUMN,
                              name, 1, {std::string()});
            }
            std::vector<std::string> header;
            for (std::size_t i = 0; i < ends.size(); ++i) {
                header.emplace_back(cell(i));
            }
            if (std::string refusal = ReadHeader(header, name, imei, table.columns_);
                !refusal.empty()) {
                return refusal;
            }
            for (const ValuesColumn& column : table.columns_) {
                items.push_back(column.label.empty() ? std::to_string(column.number)
                                                     : column.label);
            }
            // The most the rows can take: the part never written to is never
            // touched, so never resident.
            table.cells_.reserve(text.size() - at);
            table.ends_.reserve(lines * table.columns_.size());
            table.byImei_.reserve(skip != 0 ? lines : 0);
            continue;
        }
        if (empty) {
            return refuse(AtLine(res::IDS_VALUES_EMPTY_ROW, name, line));
        }
        if (ends.size() != table.columns_.size() + skip) {
            return refuse(AtLine(
                res::IDS_VALUES_CELL_COUNT, name, line,
                {std::to_string(ends.size()), std::to_string(table.columns_.size() + skip)}));
        }
        if (skip != 0 && !IsImei(cell(0))) {
            return refuse(AtLine(res::IDS_VALUES_BAD_IMEI, name, line, {fw::DecodeAnsi(cell(0))}));
        }
        for (std::size_t i = skip; i < ends.size(); ++i) {
            if (std::string refusal = PatternRefusal(cell(i), name, line, items[i - skip]);
                !refusal.empty()) {
                return refuse(std::move(refusal));
            }
        }
        if (skip != 0) {
            table.byImei_.push_back({ImeiKey(cell(0)), static_cast<std::uint32_t>(table.rows_)});
        }
        const std::size_t from = skip != 0 ? ends.front() : 0;
        const std::size_t base = table.cells_.size();
        table.cells_.append(record, from);
        for (std::size_t i = skip; i < ends.size(); ++i) {
            table.ends_.push_back(static_cast<std::uint32_t>(base + ends[i] - from));
        }
        ++table.rows_;
    }
    if (std::string twice = sortedOrTwice(); !twice.empty()) {
        return twice;
    }
    return table;
}

std::string PatternRefusal(std::string_view value, const std::string& name, std::size_t line,
                           std::string_view item) {
    const std::string fault = PatternFault(value);
    if (fault.empty()) {
        return std::string();
    }
    return AtLine(res::IDS_VALUES_BAD_PATTERN, name, line,
                  {fw::DecodeAnsi(item), fw::DecodeAnsi(fault)});
}

std::string ProfilePatternRefusal(std::string_view bytes, const std::string& name) {
    // Lines as Import reads them: LF ends one, a CR before it goes with it,
    // and a key runs to the first '='.
    std::size_t line = 1;
    for (std::size_t start = 0; start < bytes.size(); ++line) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        std::string_view text = bytes.substr(start, end - start);
        start = end + 1;
        if (end < bytes.size() && text.ends_with('\r')) {
            text.remove_suffix(1);
        }
        // A key that names no item (the section header, stray text, a binary
        // file's bytes) is never imported, and its value never sent.
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos || ItemNamed(text.substr(0, equals)).number == 0) {
            continue;
        }
        if (std::string refusal =
                PatternRefusal(text.substr(equals + 1), name, line, text.substr(0, equals));
            !refusal.empty()) {
            return refusal;
        }
    }
    return std::string();
}

}  // namespace job
