#include "Monitor/View.h"

#include "Client/HeadsetState.h"
#include "Monitor/Colors.h"
#include "Monitor/Format.h"
#include "Monitor/Pace.h"
#include "Monitor/Painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <curses.h>
#include <iterator>
#include <vector>

namespace Talmex {
namespace Monitor {

namespace {

using Client::HeadsetState;
using Client::SensorState;
using Client::YawPitchRoll;

constexpr int kBarHalfWidth = 15;
constexpr int kMinTraceRows = 3;
constexpr int kMaxTraceRows = 15;
// Trace scales in degrees: the first that holds every sample shown.
constexpr int kTraceScales[] = {15, 30, 45, 90, 180};

struct Angle {
    const char* name;
    char mark;
    short pair;
    double range; // degrees either side of zero the bar spans
    double YawPitchRoll::*value;
};

const Angle kAngles[] = {
    {"yaw", 'y', kYawPair, 180, &YawPitchRoll::yaw},
    {"pitch", 'p', kPitchPair, 90, &YawPitchRoll::pitch},
    {"roll", 'r', kRollPair, 180, &YawPitchRoll::roll},
};

void _DrawHeader(Painter& painter, const View& view)
{
    std::string title = "talmex-monitor  " + view.agent + "  channel " + view.channel;
    if (view.latest != nullptr) {
        title += Format("  session 0x%08X", view.latest->header.sessionToken);
    }
    painter.Put(0, title, A_BOLD);
    painter.NextRow();
    const Client::Counters& counters = view.counters;
    painter.Put(0,
                Format("rate %s  received %llu  lost %llu  rejected %llu  "
                       "requests %llu (%llu accepted)",
                       view.rate.c_str(), static_cast<unsigned long long>(counters.reportsReceived),
                       static_cast<unsigned long long>(counters.reportsLost),
                       static_cast<unsigned long long>(counters.reportsRejected),
                       static_cast<unsigned long long>(counters.requestsSent),
                       static_cast<unsigned long long>(counters.requestsAccepted)));
    painter.NextRow();
    const int column = painter.Put(0, view.note, A_BOLD | ColorOf(kNotePair));
    painter.Put(view.note.empty() ? 0 : column + 2, view.output);
    painter.NextRow();
    if (!view.taps.empty()) {
        const int column = painter.Put(0, view.taps);
        painter.Put(column + 2, view.trouble, A_BOLD | ColorOf(kNotePair));
        painter.NextRow();
    }
}

void _DrawLatencyColor(Painter& painter, const unsigned char (&color)[3])
{
    painter.Put(0, "Latency");
    // The nearest of the eight basic colours, whose numbers are r + 2g + 4b.
    const short basic = static_cast<short>((color[0] >= 128 ? 1 : 0) | (color[1] >= 128 ? 2 : 0) |
                                           (color[2] >= 128 ? 4 : 0));
    const bool isBright = color[0] + color[1] + color[2] >= 384;
    const chtype block = has_colors() ? ColorOf(static_cast<short>(kLatencyPairs + basic))
                                      : (isBright ? A_REVERSE : A_NORMAL);
    painter.Put(kIndent, "      ", block);
    painter.Put(kIndent + 8, Format("r %3u  g %3u  b %3u", color[0], color[1], color[2]));
    painter.NextRow();
}

void _DrawDisplay(Painter& painter, const Client::DisplayState& d)
{
    painter.Put(0, "Display");
    painter.Put(kIndent,
                Format("%u x %u px  screen %.4f x %.4f m  eye to screen %.4f m", d.resolution[0],
                       d.resolution[1], d.screenSize[0], d.screenSize[1], d.eyeToScreenDistance));
    painter.NextRow();
    painter.Put(kIndent,
                Format("interpupillary %.4f m  lens separation %.4f m  eye height %.4f m",
                       d.interpupillaryDistance, d.lensSeparationDistance, d.playerEyeHeight));
    painter.NextRow();
    painter.Put(kIndent, Format("eye offset %.4f %.4f m  vertical centre %.4f m", d.eyeOffset[0],
                                d.eyeOffset[1], d.screenVCenter));
    painter.NextRow();
    painter.Put(kIndent, Format("distortion %.4f %.4f %.4f %.4f", d.distortionCoefficients[0],
                                d.distortionCoefficients[1], d.distortionCoefficients[2],
                                d.distortionCoefficients[3]));
    painter.NextRow();
    painter.Flags({{"HMD present", d.hmdPresent},
                   {"portrait mode", d.portraitMode},
                   {"message 1", d.message[0]},
                   {"message 2", d.message[1]},
                   {"message 3", d.message[2]}});
    painter.Validity({{"resolution", d.resolutionValid},
                      {"screen size", d.screenSizeValid},
                      {"eye to screen", d.eyeToScreenDistanceValid},
                      {"interpupillary", d.interpupillaryDistanceValid},
                      {"lens separation", d.lensSeparationDistanceValid},
                      {"eye height", d.playerEyeHeightValid},
                      {"eye offset", d.eyeOffsetValid},
                      {"vertical centre", d.screenVCenterValid},
                      {"distortion", d.distortionCoefficientsValid},
                      {"latency colour", d.latencyColorValid}});
    _DrawLatencyColor(painter, d.latencyColor);
}

std::string _Bar(double degrees, double range)
{
    std::string bar(2 * kBarHalfWidth + 3, ' ');
    bar.front() = '[';
    bar.back() = ']';
    const int centre = kBarHalfWidth + 1;
    bar[centre] = '|';
    const double share = std::isfinite(degrees) ? std::clamp(degrees / range, -1.0, 1.0) : 0;
    const int length = static_cast<int>(std::lround(std::fabs(share) * kBarHalfWidth));
    for (int i = 1; i <= length; ++i) {
        bar[centre + (share < 0 ? -i : i)] = '=';
    }
    return bar;
}

std::string _Vector(const char* name, const float (&v)[3], const char* unit)
{
    return Format("%-17s%8.3f %8.3f %8.3f %s", name, v[0], v[1], v[2], unit);
}

const char* _WishText(const std::optional<bool>& wish)
{
    return !wish ? "nothing yet" : *wish ? "on" : "off";
}

void _DrawSensor(Painter& painter, int index, const SensorState& s, const View& view)
{
    painter.Put(0, Format("Sensor %d", index));
    if (Protocol::SensorFlagsOf(s) == 0) {
        painter.Put(kIndent, "no flag set: not present, and no query answered", A_DIM);
        painter.NextRow();
        return;
    }
    painter.Flags({{"present", s.present},
                   {"magnetometer calibrated", s.magCalibrated},
                   {"yaw correction", s.yawCorrectionEnabled}});
    if (index == 0) {
        painter.Put(kIndent,
                    Format("asked for magnetometer yaw correction: %s (not in the reports)",
                           _WishText(view.magYawCorrectionWish)));
        painter.NextRow();
    }
    painter.Validity({{"orientation", s.orientationValid},
                      {"predicted orientation", s.predictedOrientationValid},
                      {"prediction time", s.predictionTimeValid},
                      {"acceleration", s.accelerationValid},
                      {"angular velocity or magnetometer", s.angularVelocityOrMagnetometerValid}});
    const YawPitchRoll now = Client::YawPitchRollOf(s.orientation);
    const YawPitchRoll predicted = Client::YawPitchRollOf(s.predictedOrientation);
    for (const Angle& angle : kAngles) {
        const int column = painter.Put(2, Format("%-6s%8.2f deg ", angle.name, now.*angle.value));
        const int after =
            painter.Put(column, _Bar(now.*angle.value, angle.range), ColorOf(angle.pair));
        painter.Put(after, Format("  predicted %8.2f deg", predicted.*angle.value));
        painter.NextRow();
    }
    painter.Put(2, _Vector("acceleration", s.acceleration, "m/s^2") +
                       Format("   prediction time %.3f s", s.predictionTime));
    painter.NextRow();
    painter.Put(2, _Vector("angular velocity", s.angularVelocity, "rad/s"));
    painter.NextRow();
    painter.Put(2, _Vector("magnetometer", s.magnetometer, "gauss"));
    painter.NextRow();
}

int _ScaleOf(const Trace& trace, size_t shown)
{
    double largest = 0;
    for (size_t age = 0; age < shown; ++age) {
        const YawPitchRoll sample = trace.Back(age);
        for (const Angle& angle : kAngles) {
            const double degrees = sample.*angle.value;
            if (std::isfinite(degrees)) {
                largest = std::max(largest, std::fabs(degrees));
            }
        }
    }
    for (int scale : kTraceScales) {
        if (largest <= scale) {
            return scale;
        }
    }
    return kTraceScales[std::size(kTraceScales) - 1];
}

void _DrawTrace(Painter& painter, int index, const Trace& trace, int rows)
{
    constexpr int kPlotColumn = 5;
    const int width = COLS - kPlotColumn;
    const size_t shown = std::min(trace.Size(), static_cast<size_t>(std::max(width, 0)));
    const int scale = _ScaleOf(trace, shown);
    int column =
        painter.Put(0, Format("Trace of sensor %d, last %zu s:", index, shown / kFramesPerSecond)) +
        2;
    for (const Angle& angle : kAngles) {
        column = painter.Put(column, std::string(1, angle.mark) + " " + angle.name + "  ",
                             ColorOf(angle.pair));
    }
    painter.Put(column, Format("scale +-%d deg", scale));
    painter.NextRow();

    const int top = painter.Row();
    const int middle = rows / 2;
    painter.Put(0, Format("%+4d", scale));
    painter.NextRow(middle);
    painter.Put(0, "   0" + std::string(static_cast<size_t>(std::max(width + 1, 0)), '.'), A_DIM);
    painter.NextRow(rows - 1 - middle);
    painter.Put(0, Format("%+4d", -scale));
    painter.NextRow();
    for (size_t age = 0; age < shown; ++age) {
        const YawPitchRoll sample = trace.Back(age);
        const int x = kPlotColumn + width - 1 - static_cast<int>(age);
        for (const Angle& angle : kAngles) {
            const double degrees = sample.*angle.value;
            if (!std::isfinite(degrees)) {
                continue;
            }
            const double share =
                (scale - std::clamp(degrees, -1.0 * scale, 1.0 * scale)) / (2 * scale);
            const int row = top + static_cast<int>(std::lround(share * (rows - 1)));
            painter.PutChar(row, x, angle.mark, ColorOf(angle.pair));
        }
    }
}

void _DrawKeys()
{
    const char* full = "r reset  y yaw correction  m magnetometer yaw correction  "
                       "+/- prediction time  l latency tester  q quit";
    const char* brief = "r reset  y yaw corr.  m mag yaw corr.  +/- prediction  l latency  q quit";
    const char* keys =
        static_cast<int>(std::char_traits<char>::length(full)) <= COLS ? full : brief;
    mvaddnstr(LINES - 1, 0, keys, COLS);
}

void _DrawFrame(const View& view)
{
    if (COLS < kViewColumns || LINES < kViewRows) {
        mvaddnstr(0, 0, Format("enlarge the terminal to %d x %d", kViewColumns, kViewRows).c_str(),
                  COLS);
        return;
    }
    Painter painter;
    _DrawHeader(painter, view);
    const HeadsetState empty;
    const HeadsetState& state = view.latest != nullptr ? *view.latest : empty;
    painter.Gap();
    _DrawDisplay(painter, state.display);
    std::vector<int> traced;
    for (int s = 0; s < Protocol::kSensorCount; ++s) {
        painter.Gap();
        _DrawSensor(painter, s, state.sensors[s], view);
        if (Protocol::SensorFlagsOf(state.sensors[s]) != 0) {
            traced.push_back(s);
        }
    }
    if (!traced.empty() && view.traces != nullptr) {
        painter.Gap();
        const int rows =
            std::min(kMaxTraceRows, painter.RowsLeft() / static_cast<int>(traced.size()) - 1);
        for (int s : traced) {
            if (rows >= kMinTraceRows) {
                _DrawTrace(painter, s, view.traces[s], rows);
            }
        }
    }
    _DrawKeys();
}

} // namespace

void DrawView(const View& view)
{
    erase();
    _DrawFrame(view);
    refresh();
}

} // namespace Monitor
} // namespace Talmex
