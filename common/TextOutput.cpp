#include "common/TextOutput.h"

#include <algorithm>

namespace common {
namespace {

// The length of the UTF-8 sequence that starts with this byte, 0 if none can.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Decodes the sequence at text[i]; returns its length, or 0 when it is not
// well formed (then the byte stands alone).
std::size_t DecodeAt(std::string_view text, std::size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    if (length == 1) {
        cp = lead;
        return 1;
    }
    cp = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    return length;
}

bool IsWide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
           (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

// UTF-8 of U+0080..U+009F: 0xC2 and a byte below 0xA0.
constexpr unsigned char kC1Lead = 0xC2;

bool IsC1At(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]) == kC1Lead && i + 1 < text.size() &&
           static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

void AppendHex(std::string& out, unsigned char value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += kHex[value >> 4];
    out += kHex[value & 15];
}

// Control characters, but those in keep, as \xHH: the byte for C0 and DEL,
// the code point (the byte a Windows code page gave it) for C1.
std::string Escaped(std::string_view utf8, std::string_view keep) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = IsC1At(utf8, i);
        if ((c >= 0x20 && c != 0x7F && !c1) || keep.find(utf8[i]) != std::string_view::npos) {
            out += utf8[i];
            continue;
        }
        out += "\\x";
        AppendHex(out, c1 ? static_cast<unsigned char>(utf8[++i]) : c);
    }
    return out;
}

}  // namespace

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeAt(utf8, i, cp);
        if (length == 0) {
            ++width;
            ++i;
            continue;
        }
        width += IsWide(cp) ? 2 : 1;
        i += length;
    }
    return width;
}

std::string Printable(std::string_view utf8) {
    return Escaped(utf8, "");
}

std::string PrintableLines(std::string_view utf8) {
    return Escaped(utf8, "\n");
}

std::string PrintableLog(std::string_view utf8) {
    return Escaped(utf8, "\r\n\t");
}

std::string InertJson(std::string json) {
    // Outside its strings JSON is plain ASCII, so these bytes are string
    // content, and \u00HH is the same character to any reader.
    if (std::none_of(json.begin(), json.end(), [](char c) {
            return c == '\x7F' || static_cast<unsigned char>(c) == kC1Lead;
        })) {
        return json;
    }
    std::string out;
    out.reserve(json.size() + 16);
    for (std::size_t i = 0; i < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c == 0x7F) {
            out += "\\u007f";
        } else if (IsC1At(json, i)) {
            out += "\\u00";
            AppendHex(out, static_cast<unsigned char>(json[++i]));
        } else {
            out += json[i];
        }
    }
    return out;
}

std::string FormatTable(const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    return FormatTablePart(headers, rows, widths);
}

std::string FormatTablePart(const std::vector<std::string>& headers,
                            const std::vector<std::vector<std::string>>& rows,
                            std::vector<std::size_t>& widths) {
    const bool first = widths.empty();
    widths.resize(headers.size(), 0);
    const auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            widths[c] = std::max(widths[c], DisplayWidth(Printable(row[c])));
        }
    };
    measure(headers);
    for (const auto& row : rows) {
        measure(row);
    }
    std::string out;
    const auto emit = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            const std::string cell = Printable(row[c]);
            line += cell;
            if (c + 1 < row.size()) {
                line.append(widths[c] - DisplayWidth(cell) + 2, ' ');
            }
        }
        // A last column that is empty leaves no blanks behind.
        line.erase(line.find_last_not_of(' ') + 1);
        out += line;
        out += '\n';
    };
    if (first) {
        emit(headers);
    }
    for (const auto& row : rows) {
        emit(row);
    }
    return out;
}

std::string CsvCell(std::string_view utf8) {
    std::string cell = Printable(utf8);
    // What common guidance lists as the start of a formula; the quote shows
    // in the cell, as a spreadsheet's own text marker would.
    if (!utf8.empty() &&
        std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos) {
        cell.insert(0, 1, '\'');
    }
    return cell;
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string f = CsvCell(fields[i]);
        if (i > 0) {
            out += ',';
        }
        const bool quote = f.find_first_of(",\"") != std::string::npos ||
                           (!f.empty() && (f.front() == ' ' || f.back() == ' '));
        if (!quote) {
            out += f;
            continue;
        }
        out += '"';
        for (char c : f) {
            if (c == '"') {
                out += '"';
            }
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
    return out;
}

}  // namespace common
