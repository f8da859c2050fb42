#include "Monitor/LiveView.h"

#include "Client/HeadsetState.h"
#include "Monitor/Colors.h"
#include "Monitor/Controls.h"
#include "Monitor/Diagnosis.h"
#include "Monitor/Format.h"
#include "Monitor/Pace.h"
#include "Monitor/Signals.h"
#include "Monitor/Trace.h"
#include "Monitor/View.h"

#include <algorithm>
#include <chrono>

namespace Talmex {
namespace Monitor {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// After a key, the next frame comes this soon, once the agent has acted on
// the wish, so that its effect shows at once.
constexpr milliseconds kEffectDelay{20};

int _MillisecondsUntil(Clock::time_point time)
{
    const auto left = std::chrono::duration_cast<milliseconds>(time - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kFrameInterval.count()));
}

} // namespace

int RunLiveView(Client::Client& client, Screen& screen, const Taps& taps, const std::string& agent)
{
    const int reports = taps.WantsEachReportAtOnce() ? client.Descriptor() : -1;
    Controls controls(client);
    Diagnosis diagnosis(client);
    Trace traces[Protocol::kSensorCount];
    Client::HeadsetState latest;
    bool hasReport = false;
    Clock::time_point nextSample = Clock::now();
    Clock::time_point nextFrame = nextSample;
    InitColors();

    while (CaughtStopSignal() == 0) {
        if (!screen.Wait(_MillisecondsUntil(nextFrame), reports)) {
            return 0; // the terminal has gone
        }
        for (int key = screen.ReadKey(); key != Screen::kNoKey; key = screen.ReadKey()) {
            if (Controls::IsQuitKey(key)) {
                return 0;
            }
            if (key == Screen::kResized) {
                nextFrame = Clock::now();
            } else if (controls.Handle(key, latest)) {
                nextFrame = std::min(nextFrame, Clock::now() + kEffectDelay);
            }
        }
        hasReport |= client.Poll(latest);
        const Clock::time_point now = Clock::now();
        if (now < nextFrame) {
            continue;
        }
        // Samples keep their pace whatever extra frames the keys ask for.
        if (hasReport && now >= nextSample) {
            for (int s = 0; s < Protocol::kSensorCount; ++s) {
                traces[s].Add(Client::YawPitchRollOf(latest.sensors[s].orientation));
            }
            nextSample += kFrameInterval;
            if (nextSample <= now) {
                nextSample = now + kFrameInterval;
            }
        }
        View view;
        view.latest = hasReport ? &latest : nullptr;
        view.counters = client.GetCounters();
        view.rate = RateOf(client);
        view.agent = agent;
        view.channel = Client::Describe(client.GetStatus());
        view.note = diagnosis.NoteOf(view.latest);
        view.output = OutputNoteOf(client.Agent().Output());
        view.taps = taps.Describe();
        view.trouble = taps.Trouble();
        view.magYawCorrectionWish = controls.MagYawCorrectionWish();
        view.traces = traces;
        DrawView(view);
        nextFrame = now + kFrameInterval;
    }
    return 0;
}

} // namespace Monitor
} // namespace Talmex
