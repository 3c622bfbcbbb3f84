#include "job/ValuesTable.h"

#include <algorithm>

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
    return text.size() == 15 && text.find_first_not_of("0123456789") == std::string_view::npos;
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
// one. at ends past the line end.
Fault ReadRecord(std::string_view bytes, std::size_t& at, std::vector<std::string>& cells) {
    cells.assign(1, std::string());
    while (at < bytes.size()) {
        std::string& cell = cells.back();
        const char c = bytes[at];
        if (c == '"' && cell.empty()) {
            ++at;
            for (;;) {
                if (at >= bytes.size()) {
                    return Fault::Quoting;
                }
                const char q = bytes[at];
                if (q == '\r' || q == '\n' || q == '\0') {
                    return Fault::Break;
                }
                if (q == '"' && at + 1 < bytes.size() && bytes[at + 1] == '"') {
                    cell += '"';
                    at += 2;
                } else if (q == '"') {
                    ++at;
                    break;
                } else {
                    cell += q;
                    ++at;
                }
            }
            // A quoted cell ends at its quote: "ab"c is no cell.
            if (at < bytes.size() && bytes[at] != ',' && bytes[at] != '\n' &&
                !bytes.substr(at).starts_with("\r\n")) {
                return Fault::Quoting;
            }
            continue;
        }
        if (c == ',') {
            cells.emplace_back();
            ++at;
        } else if (c == '\n' || bytes.substr(at).starts_with("\r\n")) {
            at += c == '\n' ? 1 : 2;
            return Fault::None;
        } else if (c == '\r' || c == '\0') {
            return Fault::Break;
        } else if (c == '"') {
            return Fault::Quoting;
        } else {
            cell += c;
            ++at;
        }
    }
    return Fault::None;
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

// The table's bytes in the device's code page into out; why they cannot be,
// or empty.
std::string DeviceBytes(std::string_view bytes, const std::string& name, fw::Language language,
                        std::string& out) {
    const std::string page = fw::CodePageName(language);
    if (bytes.starts_with(kByteOrderMark)) {
        const std::string_view utf8 = bytes.substr(kByteOrderMark.size());
        const auto carries = [language](std::string_view text) {
            return fw::DecodeCodePage(fw::EncodeCodePage(text, language), language) == text;
        };
        // Once for the whole table, line by line only to say where it fails.
        out = fw::EncodeCodePage(utf8, language);
        if (fw::DecodeCodePage(out, language) != utf8) {
            return AtLine(res::IDS_VALUES_NOT_ENCODABLE, name, FirstLineFailing(utf8, carries),
                          {page});
        }
        return std::string();
    }
    const auto valid = [language](std::string_view text) {
        return fw::EncodeCodePage(fw::DecodeCodePage(text, language), language) == text;
    };
    if (!valid(bytes)) {
        return AtLine(res::IDS_VALUES_NOT_CODE_PAGE, name, FirstLineFailing(bytes, valid), {page});
    }
    out.assign(bytes);
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

const ValuesRow* ValuesTable::Find(std::string_view imei) const {
    if (!IsImei(imei)) {
        return nullptr;
    }
    const auto it = byImei_.find(ImeiKey(imei));
    return it != byImei_.end() ? &rows_[it->second] : nullptr;
}

std::variant<ValuesTable, std::string> ParseValuesTable(std::string_view bytes,
                                                        const std::string& name,
                                                        fw::Language language, ImeiColumn imei) {
    const std::size_t skip = imei == ImeiColumn::First ? 1 : 0;
    std::string text;
    if (std::string refusal = DeviceBytes(bytes, name, language, text); !refusal.empty()) {
        return refusal;
    }
    ValuesTable table;
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    table.rows_.reserve(lines);
    table.byImei_.reserve(lines);
    std::vector<std::string> cells;
    std::size_t at = 0;
    for (std::size_t line = 1; line == 1 || at < text.size(); ++line) {
        const std::size_t start = at;
        switch (ReadRecord(text, at, cells)) {
            case Fault::Quoting:
                return AtLine(res::IDS_VALUES_BAD_QUOTING, name, line);
            case Fault::Break:
                return AtLine(res::IDS_VALUES_LINE_BREAK, name, line);
            case Fault::None:
                break;
        }
        const bool empty = cells.size() == 1 && cells.front().empty() &&
                           (at == start || text[start] == '\n' || text[start] == '\r');
        if (line == 1) {
            if (empty) {
                return AtLine(skip != 0 ? res::IDS_VALUES_IMEI_FIRST : res::IDS_VALUES_BAD_COLUMN,
                              name, 1, {std::string()});
            }
            if (std::string refusal = ReadHeader(cells, name, imei, table.columns_);
                !refusal.empty()) {
                return refusal;
            }
            continue;
        }
        if (empty) {
            return AtLine(res::IDS_VALUES_EMPTY_ROW, name, line);
        }
        if (cells.size() != table.columns_.size() + skip) {
            return AtLine(
                res::IDS_VALUES_CELL_COUNT, name, line,
                {std::to_string(cells.size()), std::to_string(table.columns_.size() + skip)});
        }
        if (skip != 0 && !IsImei(cells.front())) {
            return AtLine(res::IDS_VALUES_BAD_IMEI, name, line, {fw::DecodeAnsi(cells.front())});
        }
        for (std::size_t i = skip; i < cells.size(); ++i) {
            const ValuesColumn& column = table.columns_[i - skip];
            const std::string item =
                column.label.empty() ? std::to_string(column.number) : column.label;
            if (std::string refusal = PatternRefusal(cells[i], name, line, item);
                !refusal.empty()) {
                return refusal;
            }
        }
        if (skip != 0) {
            const auto [earlier, added] =
                table.byImei_.try_emplace(ImeiKey(cells.front()), table.rows_.size());
            if (!added) {
                return AtLine(res::IDS_VALUES_DUPLICATE_IMEI, name, line,
                              {cells.front(), std::to_string(table.rows_[earlier->second].line)});
            }
        }
        table.rows_.push_back(
            {line, std::vector<std::string>(
                       std::make_move_iterator(cells.begin() + static_cast<std::ptrdiff_t>(skip)),
                       std::make_move_iterator(cells.end()))});
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
