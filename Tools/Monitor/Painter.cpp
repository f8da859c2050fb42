#include "Monitor/Painter.h"

#include "Monitor/Colors.h"

#include <algorithm>

namespace Talmex {
namespace Monitor {

namespace {

// With this many rows or more, sections are set apart by a blank row.
constexpr int kRoomyRows = 32;

} // namespace

int Painter::Put(int column, const std::string& text, chtype attributes)
{
    if (_row < _bottom && column < _width) {
        attron(attributes);
        mvaddnstr(_row, column, text.c_str(), _width - column);
        attroff(attributes);
    }
    return column + static_cast<int>(text.size());
}

void Painter::PutChar(int row, int column, char mark, chtype attributes)
{
    if (row < _bottom && column < _width) {
        mvaddch(row, column, static_cast<chtype>(mark) | attributes);
    }
}

void Painter::Gap()
{
    if (LINES >= kRoomyRows) {
        NextRow();
    }
}

void Painter::Flags(std::initializer_list<Flag> flags)
{
    int column = kIndent;
    for (const Flag& flag : flags) {
        const int width = 4 + static_cast<int>(std::char_traits<char>::length(flag.name));
        if (column != kIndent && column + width > _width) {
            NextRow();
            column = kIndent;
        }
        Put(column, flag.isSet ? "[x]" : "[ ]", flag.isSet ? ColorOf(kSetPair) : A_DIM);
        column = Put(column + 4, flag.name) + 2;
    }
    NextRow();
}

void Painter::Validity(std::initializer_list<Flag> flags)
{
    const size_t setCount = static_cast<size_t>(
        std::count_if(flags.begin(), flags.end(), [](const Flag& flag) { return flag.isSet; }));
    const bool isAll = setCount == flags.size();
    const bool namesValid = 2 * setCount < flags.size();
    std::string text = "valid: ";
    if (isAll) {
        text += "all";
    } else if (setCount == 0) {
        text += "none";
    } else {
        text += namesValid ? "only" : "all but";
        const char* separator = " ";
        for (const Flag& flag : flags) {
            if (flag.isSet == namesValid) {
                text += separator;
                text += flag.name;
                separator = ", ";
            }
        }
    }
    Put(kIndent, text, isAll ? ColorOf(kSetPair) : A_NORMAL);
    NextRow();
}

} // namespace Monitor
} // namespace Talmex
