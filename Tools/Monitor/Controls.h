#pragma once

#include "Client/Client.h"
#include "Client/HeadsetState.h"

#include <optional>

namespace Talmex {
namespace Monitor {

// Turns the monitor's keys into wishes for sensor 0: r reset, y and m yaw and
// magnetometer yaw correction, + and - prediction time, l latency tester.
class Controls {
public:
    // q, Q and Ctrl-C, which end the monitor.
    static bool IsQuitKey(int key);

    static constexpr float kPredictionStep = 0.010f;
    static constexpr float kMaxPredictionTime = 0.5f;
    static constexpr int kSensor = 0;

    explicit Controls(Client::Client& client) : _client(client) {}

    // Acts on one key, judged against the latest report; true when the key
    // sent a wish.
    bool Handle(int key, const Client::HeadsetState& latest);

    // No report says whether magnetometer yaw correction is on: this is what
    // the monitor asked for, if anything.
    std::optional<bool> MagYawCorrectionWish() const { return _magYawCorrection; }

private:
    void _StepPredictionTime(float step, const Client::HeadsetState& latest);

    Client::Client& _client;
    std::optional<bool> _magYawCorrection;
    std::optional<float> _predictionTime;
};

} // namespace Monitor
} // namespace Talmex
