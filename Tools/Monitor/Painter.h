#pragma once

#include <curses.h>
#include <initializer_list>
#include <string>

namespace Talmex {
namespace Monitor {

// Where the values of a section start.
constexpr int kIndent = 10;

struct Flag {
    const char* name;
    bool isSet;
};

// Writes the curses screen row by row from the top, cut at the right edge and
// above the key line at the bottom.
class Painter {
public:
    Painter() : _width(COLS), _bottom(LINES - 1) {}

    int Row() const { return _row; }
    int RowsLeft() const { return _bottom > _row ? _bottom - _row : 0; }

    // Writes at the column of the current row; the column after the text.
    int Put(int column, const std::string& text, chtype attributes = A_NORMAL);
    void PutChar(int row, int column, char mark, chtype attributes);

    void NextRow(int rows = 1) { _row += rows; }
    // A blank row between sections, when the screen has room for it.
    void Gap();

    // "[x] name" for each flag, wrapped as the width demands.
    void Flags(std::initializer_list<Flag> flags);
    // Validity flags, named by the smaller side: "all but ...", or "only ...".
    void Validity(std::initializer_list<Flag> flags);

private:
    int _width;
    int _bottom;
    int _row = 0;
};

} // namespace Monitor
} // namespace Talmex
