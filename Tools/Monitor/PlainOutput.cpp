#include "Monitor/PlainOutput.h"

#include "Client/HeadsetState.h"
#include "Client/Json.h"
#include "Monitor/Controls.h"
#include "Monitor/Diagnosis.h"
#include "Monitor/Format.h"
#include "Monitor/Keyboard.h"
#include "Monitor/Pace.h"
#include "Monitor/Signals.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>

namespace Talmex {
namespace Monitor {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool _IsOver(Client::Status status)
{
    return status == Client::Status::kAgentExited || status == Client::Status::kFailed;
}

// Writes one line and hands it on at once; false when the output is gone.
bool _WriteLine(FILE* out, const std::string& line)
{
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
    return std::fflush(out) == 0 && !std::ferror(out);
}

// A note about the agent: a line of its own between plain lines, or beside
// JSON on standard error, as the monitor's other messages; false when the
// output is gone.
bool _Say(const Options& options, const std::string& note)
{
    if (options.json) {
        std::fprintf(stderr, "talmex-monitor: %s\n", note.c_str());
        return true;
    }
    return _WriteLine(stdout, "# " + note);
}

bool _HasGivenUp(const Client::Client& client, Clock::time_point start)
{
    const milliseconds age = client.NewestReportAge();
    const auto silence = age.count() >= 0 ? age : Clock::now() - start;
    return client.GetStatus() == Client::Status::kNotAnswering && silence >= kGiveUpTime;
}

// Which reports become lines: with JSON or --every, every N-th report;
// otherwise the newest of each frame interval, at the live view's pace.
class Cadence {
public:
    // reports is the descriptor to wake for as reports arrive, or -1.
    Cadence(const Options& options, int reports)
        : _followsReports(options.json || options.every != 0),
          _every(std::max<uint64_t>(options.every, 1)), _nextReport(_every), _reports(reports)
    {
    }

    bool HasReport() const { return _hasReport; }

    // Waits for the next report to print, at most one frame interval; true
    // when latest holds it.
    bool Next(Client::Client& client, Client::HeadsetState& latest)
    {
        if (_followsReports) {
            const bool updated = client.Wait(latest, kFrameInterval, 1);
            _hasReport |= updated;
            const uint64_t received = client.GetCounters().reportsReceived;
            const bool isDue = updated && received >= _nextReport;
            while (_nextReport <= received) {
                _nextReport += _every;
            }
            return isDue;
        }
        const auto left = std::chrono::duration_cast<milliseconds>(_nextLine - Clock::now());
        pollfd ready = {_reports, POLLIN, 0};
        poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        const bool updated = client.Poll(latest);
        _hasReport |= updated;
        _isFresh |= updated;
        const Clock::time_point now = Clock::now();
        if (now < _nextLine) {
            return false; // woken early by a report or a signal
        }
        _nextLine = std::max(_nextLine + kFrameInterval, now);
        const bool isDue = _isFresh;
        _isFresh = false;
        return isDue;
    }

private:
    const bool _followsReports;
    const uint64_t _every;
    uint64_t _nextReport;
    const int _reports;
    Clock::time_point _nextLine = Clock::now() + kFrameInterval;
    bool _hasReport = false;
    // A report came since the last line.
    bool _isFresh = false;
};

} // namespace

std::string PlainLine(const Client::HeadsetState& state, const Client::Client& client)
{
    std::string line =
        Format("sequence %u  session 0x%08X  rate %s  lost %llu  display 0x%04X",
               state.header.sequence, state.header.sessionToken, RateOf(client).c_str(),
               static_cast<unsigned long long>(client.GetCounters().reportsLost),
               Protocol::DisplayFlagsOf(state.display));
    for (int s = 0; s < Protocol::kSensorCount; ++s) {
        const Client::SensorState& sensor = state.sensors[s];
        const uint32_t flags = Protocol::SensorFlagsOf(sensor);
        if (flags == 0) {
            continue;
        }
        const Client::YawPitchRoll angles = Client::YawPitchRollOf(sensor.orientation);
        line +=
            Format("  sensor %d 0x%02X yaw %.2f pitch %.2f roll %.2f deg prediction %.3f s "
                   "acceleration %.3f %.3f %.3f angular velocity %.3f %.3f %.3f "
                   "magnetometer %.3f %.3f %.3f",
                   s, flags, angles.yaw, angles.pitch, angles.roll, sensor.predictionTime,
                   sensor.acceleration[0], sensor.acceleration[1], sensor.acceleration[2],
                   sensor.angularVelocity[0], sensor.angularVelocity[1], sensor.angularVelocity[2],
                   sensor.magnetometer[0], sensor.magnetometer[1], sensor.magnetometer[2]);
    }
    return line;
}

int RunLines(Client::Client& client, const Taps& taps, const Options& options)
{
    Cadence cadence(options, taps.WantsEachReportAtOnce() ? client.Descriptor() : -1);
    Keyboard keyboard;
    keyboard.Open();
    Controls controls(client);
    Diagnosis diagnosis(client);
    const Clock::time_point start = Clock::now();
    uint64_t printed = 0;
    Client::HeadsetState latest;
    std::string note;
    std::string trouble;

    while (CaughtStopSignal() == 0) {
        const bool isDue = cadence.Next(client, latest);
        for (int key = keyboard.ReadKey(); key != Keyboard::kNoKey; key = keyboard.ReadKey()) {
            if (Controls::IsQuitKey(key)) {
                return 0;
            }
            controls.Handle(key, latest);
        }
        const std::string current = diagnosis.NoteOf(cadence.HasReport() ? &latest : nullptr);
        if (current != note) {
            note = current;
            if (!_Say(options, note.empty() ? Client::Describe(client.GetStatus()) : note)) {
                return 1;
            }
        }
        if (const std::string current = taps.Trouble(); current != trouble) {
            trouble = current;
            if (!trouble.empty()) {
                std::fprintf(stderr, "talmex-monitor: %s\n", trouble.c_str());
            }
        }
        if (_IsOver(client.GetStatus())) {
            return 1;
        }
        if (_HasGivenUp(client, start)) {
            _Say(options, Format("no report for %lld s: giving up",
                                 static_cast<long long>(kGiveUpTime.count())));
            return 1;
        }
        if (!isDue) {
            continue;
        }
        std::string line = options.json ? Client::ToJson(latest) : PlainLine(latest, client);
        if (const std::string counts = taps.Describe(); !options.json && !counts.empty()) {
            line += "  " + counts;
        }
        if (!_WriteLine(stdout, line)) {
            return 1;
        }
        if (++printed == options.count) {
            return 0;
        }
    }
    return 0;
}

} // namespace Monitor
} // namespace Talmex
