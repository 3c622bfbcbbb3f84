// The station's board: one line per port (its state, the device's IMEI, its
// counts) and a line of totals. On a terminal it is redrawn in place; the
// report's rows and other lines are written above it, the board erased
// while they are.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

struct BoardLine {
    std::string port;
    std::string state;
    std::string imei;
    int ok = 0;
    int failed = 0;
    std::string values;  // where the device's own values came from; empty: none
};

// Columns aligned by the cells their text takes; each line cut to columns.
std::vector<std::string> FormatBoard(const std::vector<BoardLine>& lines, const std::string& totals,
                                     int columns);

// count 0: no end set. The pace as station::DevicesPerHour gives it.
std::string FormatTotals(int done, int count, int failed, double seconds);

// The longest start of text that takes at most cells on a terminal, whole
// UTF-8 characters only.
std::string FitCells(const std::string& text, std::size_t cells);

class BoardOutput {
public:
    // cursorControl false: nothing is redrawn, Show does nothing.
    BoardOutput(std::ostream& err, bool cursorControl);

    bool Redraws() const { return cursorControl_; }
    void Show(const std::vector<std::string>& lines);
    // A line of its own, above the board.
    void Line(const std::string& text);
    // The board is off the screen while print writes to the terminal it
    // shares with the board (stdout on the same terminal).
    void Around(const std::function<void()>& print);
    // The last board stays; what follows starts below it.
    void Leave();

private:
    void Erase();
    void Draw();

    std::ostream& err_;
    bool cursorControl_;
    std::vector<std::string> lines_;
    std::size_t drawn_ = 0;
};

}  // namespace cli
