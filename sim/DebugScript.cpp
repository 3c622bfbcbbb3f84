#include "DebugScript.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "Bytes.h"
#include "common/AsciiText.h"

namespace kavrelsim {
namespace {

// Resolves the escapes of one piece; false with a reason for a bad one.
bool Unescape(std::string_view text, std::string& out, bool& lineEnd, std::string& error) {
    lineEnd = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text.size()) {
            error = "a lone backslash at the end";
            return false;
        }
        // The letters of the escapes that stand for one byte, and their bytes.
        static constexpr std::string_view kLetters = "brnt\\";
        static constexpr std::string_view kBytes = "\b\r\n\t\\";
        if (const auto at = kLetters.find(text[i]); at != std::string_view::npos) {
            out += kBytes[at];
            continue;
        }
        switch (text[i]) {
            case 'c':
                if (i + 1 != text.size()) {
                    error = "\\c only at the end of a line";
                    return false;
                }
                lineEnd = false;
                break;
            case 'x': {
                int hi = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
                int lo = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
                if (hi < 0 || lo < 0) {
                    error = "\\x wants two hex digits";
                    return false;
                }
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                error = std::string("unknown escape \\") + text[i];
                return false;
        }
    }
    return true;
}

}  // namespace

DebugScript ParseDebugScript(std::string_view text) {
    DebugScript script;
    ForEachLine(text, [&script](std::string_view line, int number) {
        auto fail = [number](const std::string& why) {
            return std::invalid_argument("line " + std::to_string(number) + ": " + why);
        };
        if (line.starts_with('#')) {
            return;
        }
        if (line == "@loop") {
            if (script.loopFrom != DebugScript::kNoLoop) {
                throw fail("a second @loop");
            }
            script.loopFrom = script.pieces.size();
            return;
        }
        DebugPiece piece;
        if (line.starts_with('+')) {
            long long ms = 0;
            auto [end, ec] = std::from_chars(line.data() + 1, line.data() + line.size(), ms);
            if (ec != std::errc() || end == line.data() + 1 || ms < 0 || ms > 86'400'000) {
                throw fail("+ wants milliseconds (0 to 86400000)");
            }
            piece.delay = Millis(ms);
            line.remove_prefix(static_cast<std::size_t>(end - line.data()));
            if (!line.empty() && line.front() != ' ') {
                throw fail("a blank must follow the delay");
            }
            if (!line.empty()) {
                line.remove_prefix(1);
            }
        }
        bool lineEnd = true;
        std::string error;
        if (!Unescape(line, piece.bytes, lineEnd, error)) {
            throw fail(error);
        }
        if (lineEnd) {
            piece.bytes += "\r\n";
        }
        script.pieces.push_back(std::move(piece));
    });
    if (script.loopFrom != DebugScript::kNoLoop) {
        Millis total{0};
        for (std::size_t i = script.loopFrom; i < script.pieces.size(); ++i) {
            total += script.pieces[i].delay;
        }
        if (total <= Millis(0)) {
            throw std::invalid_argument("the pieces after @loop must take some time");
        }
    }
    return script;
}

const std::string& DefaultDebugText() {
    // The modem and the network take their time: nothing is printed until a
    // while after the loader's window, and registration takes seconds.
    static const std::string text = R"(+1200 
Kavrel DTU {version}
+20 IMEI {imei}
+30 [SYS] flash ok, parameters loaded
+40 [SYS] watchdog armed, 8 s
+400 [MDM] modem power on
+900 [MDM] SIM ready
+300 [NET] searching network  \c
+250 \b|\c
+250 \b/\c
+250 \b-\c
+250 \b\\\c
+250 \b|\c
+250 \b \c
+10 
[NET] registered, home network 46000
+200 [NET] signal CSQ 23 (-67 dBm)
+600 [NET] PDP context active, IP 10.64.12.7
+300 [TCP] connecting to server 1
+700 [TCP] connected, heartbeat every 30 s
@loop
+30000 [HB] {uptime} s heartbeat sent, CSQ 22
)";
    return text;
}

std::string ExpandDebugPiece(std::string_view bytes, std::string_view imei,
                             std::string_view version, Millis uptime) {
    char seconds[32];
    const auto ms = static_cast<long long>(uptime.count());
    std::snprintf(seconds, sizeof seconds, "%lld.%03lld", ms / 1000, ms % 1000);
    // A '{' that opens none of them stands for itself.
    const std::pair<std::string_view, std::string_view> fills[] = {
        {"{imei}", imei}, {"{version}", version}, {"{uptime}", seconds}, {"{", "{"}};
    std::string out;
    while (!bytes.empty()) {
        auto open = bytes.find('{');
        out.append(bytes.substr(0, open));
        if (open == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(open);
        const auto& fill =
            *std::find_if(std::begin(fills), std::end(fills),
                          [bytes](const auto& f) { return bytes.starts_with(f.first); });
        out.append(fill.second);
        bytes.remove_prefix(fill.first.size());
    }
    return out;
}

}  // namespace kavrelsim
