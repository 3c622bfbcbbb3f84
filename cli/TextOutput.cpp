#include "cli/TextOutput.h"

#include <algorithm>

namespace cli {
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
    std::string out(utf8);
    std::replace_if(
        out.begin(), out.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    return out;
}

std::string FormatTable(const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths(headers.size(), 0);
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
    emit(headers);
    for (const auto& row : rows) {
        emit(row);
    }
    return out;
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        if (i > 0) {
            out += ',';
        }
        const bool quote = f.find_first_of(",\"\r\n") != std::string::npos ||
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

}  // namespace cli
