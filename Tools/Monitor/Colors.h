#pragma once

#include <curses.h>

namespace Talmex {
namespace Monitor {

// The live view's colour pairs; kLatencyPairs is the first of eight, one for
// each basic colour, whose numbers are r + 2g + 4b.
enum ColorPair : short { kSetPair = 1, kNotePair, kYawPair, kPitchPair, kRollPair, kLatencyPairs };

// Sets the pairs up; once curses runs, before the first frame.
void InitColors();

// The colour pair's attribute, or none on a terminal without colours.
chtype ColorOf(short pair);

} // namespace Monitor
} // namespace Talmex
