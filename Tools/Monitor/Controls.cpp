#include "Monitor/Controls.h"

#include <algorithm>
#include <cmath>

namespace Talmex {
namespace Monitor {

bool Controls::IsQuitKey(int key)
{
    constexpr int kCtrlC = 3;
    return key == 'q' || key == 'Q' || key == kCtrlC;
}

bool Controls::Handle(int key, const Client::HeadsetState& latest)
{
    switch (key) {
    case 'r':
        _client.ResetOrientation(kSensor);
        return true;
    case 'y':
        _client.SetYawCorrection(kSensor, !latest.sensors[kSensor].yawCorrectionEnabled);
        return true;
    case 'm':
        _magYawCorrection = !_magYawCorrection.value_or(false);
        _client.SetMagYawCorrection(kSensor, *_magYawCorrection);
        return true;
    case '+':
    case '=':
        _StepPredictionTime(kPredictionStep, latest);
        return true;
    case '-':
        _StepPredictionTime(-kPredictionStep, latest);
        return true;
    case 'l':
        _client.FeedLatencyTester();
        return true;
    default:
        return false;
    }
}

void Controls::_StepPredictionTime(float step, const Client::HeadsetState& latest)
{
    // Steps taken before a report shows the last one still add up.
    const float current = _predictionTime.value_or(latest.sensors[kSensor].predictionTime);
    const float next =
        std::clamp(std::round((current + step) * 1000.0f) / 1000.0f, 0.0f, kMaxPredictionTime);
    _predictionTime = next;
    _client.SetPredictionTime(kSensor, next);
}

} // namespace Monitor
} // namespace Talmex
