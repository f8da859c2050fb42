#include "Monitor/Colors.h"

namespace Talmex {
namespace Monitor {

void InitColors()
{
    if (!has_colors()) {
        return;
    }
    start_color();
    use_default_colors();
    init_pair(kSetPair, COLOR_GREEN, -1);
    init_pair(kNotePair, COLOR_RED, -1);
    init_pair(kYawPair, COLOR_CYAN, -1);
    init_pair(kPitchPair, COLOR_YELLOW, -1);
    init_pair(kRollPair, COLOR_MAGENTA, -1);
    for (short basic = 0; basic < 8; ++basic) {
        init_pair(static_cast<short>(kLatencyPairs + basic), COLOR_BLACK, basic);
    }
}

chtype ColorOf(short pair)
{
    return has_colors() ? COLOR_PAIR(pair) : A_NORMAL;
}

} // namespace Monitor
} // namespace Talmex
