#include "EmulatedRiftTimeline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

namespace TalmexTest {

std::optional<std::chrono::steady_clock::time_point>
NewestEmulatedRiftOpen(const std::string& logPath)
{
    std::ifstream log(logPath);
    std::optional<std::chrono::steady_clock::time_point> newest;
    for (std::string line; std::getline(log, line);) {
        long long nanoseconds = 0;
        const auto [end, error] =
            std::from_chars(line.data(), line.data() + line.size(), nanoseconds);
        if (error == std::errc() && end == line.data() + line.size()) {
            newest = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds));
        }
    }
    return newest;
}

OrientationMatch MatchOrientation(const EmulatedRiftMotion& motion, const Quaternion& reported,
                                  double arrival, double window)
{
    const long newest = std::lround(std::floor(arrival * 1000));
    const long oldest = std::max(0L, std::lround(std::ceil((arrival - window) * 1000)));
    OrientationMatch best{INFINITY, 0};
    for (long millisecond = newest; millisecond >= oldest; --millisecond) {
        const double sensorTime = millisecond * 1e-3;
        const double error = AngleBetween(reported, motion.OrientationAt(sensorTime));
        if (error < best.error) {
            best = {error, arrival - sensorTime};
        }
    }
    return best;
}

} // namespace TalmexTest
