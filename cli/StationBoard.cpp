#include "cli/StationBoard.h"

#include <algorithm>

#include "cli/Console.h"
#include "common/TextOutput.h"
#include "res/ResourceIds.h"
#include "station/DevicesPerHour.h"

namespace cli {
namespace {

std::size_t Utf8Length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

std::string Padded(const std::string& text, std::size_t cells) {
    const std::size_t width = common::DisplayWidth(text);
    return text + std::string(width < cells ? cells - width : 0, ' ');
}

}  // namespace

std::string FitCells(const std::string& text, std::size_t cells) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next =
            std::min(text.size(), end + Utf8Length(static_cast<unsigned char>(text[end])));
        if (common::DisplayWidth(std::string_view(text).substr(0, next)) > cells) {
            break;
        }
        end = next;
    }
    return text.substr(0, end);
}

std::vector<std::string> FormatBoard(const std::vector<BoardLine>& lines, const std::string& totals,
                                     int columns) {
    std::size_t portWidth = 0;
    // Wide enough for a transfer's figures, so the columns stay put as states change.
    std::size_t stateWidth = 28;
    for (const BoardLine& line : lines) {
        portWidth = std::max(portWidth, common::DisplayWidth(common::Printable(line.port)));
        stateWidth = std::max(stateWidth, common::DisplayWidth(common::Printable(line.state)));
    }
    // One cell short of the edge: a line that fills it would wrap on some
    // terminals and the redraw would climb one line too few.
    const std::size_t cells = static_cast<std::size_t>(std::max(columns - 1, 10));
    std::vector<std::string> board;
    for (const BoardLine& line : lines) {
        std::string text =
            Padded(common::Printable(line.port), portWidth) + "  " +
            Padded(common::Printable(line.state), stateWidth) + "  " +
            Padded(line.imei.empty() ? "-" : common::Printable(line.imei), 15) + "  " +
            Console::Text(res::IDS_CLI_RESULT_OK) + " " + std::to_string(line.ok) + ", " +
            Console::Text(res::IDS_CLI_RESULT_FAILED) + " " + std::to_string(line.failed);
        // Last, so that a narrow terminal cuts it before the counts.
        if (!line.values.empty()) {
            text += "  " + common::Printable(line.values);
        }
        board.push_back(FitCells(text, cells));
    }
    board.push_back(FitCells(totals, cells));
    return board;
}

std::string FormatTotals(int done, int count, int failed, double seconds) {
    const std::string doneText =
        count > 0 ? std::to_string(done) + "/" + std::to_string(count) : std::to_string(done);
    return Console::Text(res::IDS_STATION_TOTALS, {doneText, std::to_string(failed),
                                                   station::DevicesPerHour(done, seconds)});
}

BoardOutput::BoardOutput(std::ostream& err, bool cursorControl)
    : err_(err), cursorControl_(cursorControl) {}

void BoardOutput::Show(const std::vector<std::string>& lines) {
    if (!cursorControl_ || lines == lines_) {
        return;
    }
    lines_ = lines;
    Erase();
    Draw();
}

// What a worker said and the reasons of ports out of use reach the terminal
// here; device text in them is made printable as in every other line.
void BoardOutput::Line(const std::string& text) {
    Around([&] { err_ << common::PrintableLines(text) << '\n'; });
}

void BoardOutput::Around(const std::function<void()>& print) {
    Erase();
    err_ << std::flush;
    print();
    Draw();
}

void BoardOutput::Leave() {
    drawn_ = 0;
    lines_.clear();
}

void BoardOutput::Erase() {
    if (drawn_ > 0) {
        // To the start of the board's first line, then everything below goes.
        err_ << "\x1b[" << drawn_ << "F\x1b[J";
        drawn_ = 0;
    }
}

void BoardOutput::Draw() {
    if (!cursorControl_) {
        err_ << std::flush;
        return;
    }
    for (const std::string& line : lines_) {
        err_ << common::Printable(line) << '\n';
    }
    drawn_ = lines_.size();
    err_ << std::flush;
}

}  // namespace cli
