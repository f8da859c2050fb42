#pragma once

#include "Protocol/Request.h"

#include <cstdint>
#include <optional>

namespace Talmex {
namespace Client {

// What the host wants of the headset, kept as the change counters the agent
// acts on. A request always carries every counter, so any request that gets
// through makes good the ones that were lost, and repeating one repeats
// nothing. A new session of the agent starts its counters at zero: the list
// then re-applies the settings and the actions that were never confirmed.
class WishList {
public:
    void ResetOrientation(int sensor);
    void SetPredictionTime(int sensor, float seconds);
    void SetYawCorrection(int sensor, bool enable);
    void SetMagYawCorrection(int sensor, bool enable);
    void FeedLatencyTester();

    const Protocol::Wishes& Current() const { return _current; }

    // A request carrying the current wishes went out with this sequence.
    void Sent(uint32_t sequence);
    // A report says the agent accepted requests up to this sequence.
    void Accepted(uint32_t lastRequestSequence);
    // True while a change has not been confirmed by a report.
    bool HasUnconfirmedChange() const { return _changeUnconfirmed; }

    // The agent dropped the channel and opened a new one with fresh counters.
    void StartSession();

private:
    struct Settings {
        std::optional<float> predictionTime;
        std::optional<bool> yawCorrection;
        std::optional<bool> magYawCorrection;
    };

    void _Changed();

    Protocol::Wishes _current;
    // The wishes as of the last request a report confirmed.
    Protocol::Wishes _confirmed;
    Settings _settings[Protocol::kSensorCount];
    bool _changeUnconfirmed = false;
    bool _changeSentSince = false;
    uint32_t _changeSequence = 0;
};

} // namespace Client
} // namespace Talmex
