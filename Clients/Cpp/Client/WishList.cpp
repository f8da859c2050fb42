#include "Client/WishList.h"

#include <algorithm>
#include <iterator>

namespace Talmex {
namespace Client {

namespace {

// Counters only need to differ from the agent's last seen value; they step
// as sequences do, skipping 0, so a setting's counter is non-zero once made.
void _Bump(uint32_t& counter)
{
    counter = Protocol::NextSequence(counter);
}

// A one-shot action the new session has not seen: its counter moves from the
// fresh session's zero exactly when the old session never confirmed it.
uint32_t _Unconfirmed(uint32_t current, uint32_t confirmed)
{
    return current != confirmed ? 1 : 0;
}

bool _IsValidSensor(int sensor)
{
    return sensor >= 0 && sensor < Protocol::kSensorCount;
}

} // namespace

void WishList::ResetOrientation(int sensor)
{
    if (_IsValidSensor(sensor)) {
        _Bump(_current.sensors[sensor].resetOrientationCounter);
        _Changed();
    }
}

void WishList::SetPredictionTime(int sensor, float seconds)
{
    if (_IsValidSensor(sensor)) {
        _settings[sensor].predictionTime = seconds;
        _current.sensors[sensor].predictionTimeSeconds = seconds;
        _Bump(_current.sensors[sensor].predictionTimeCounter);
        _Changed();
    }
}

void WishList::SetYawCorrection(int sensor, bool enable)
{
    if (_IsValidSensor(sensor)) {
        _settings[sensor].yawCorrection = enable;
        _current.sensors[sensor].yawCorrection = enable;
        _Bump(_current.sensors[sensor].yawCorrectionCounter);
        _Changed();
    }
}

void WishList::SetMagYawCorrection(int sensor, bool enable)
{
    if (_IsValidSensor(sensor)) {
        _settings[sensor].magYawCorrection = enable;
        _current.sensors[sensor].magYawCorrection = enable;
        _Bump(_current.sensors[sensor].magYawCorrectionCounter);
        _Changed();
    }
}

void WishList::FeedLatencyTester()
{
    _Bump(_current.latencyInputCounter);
    _Changed();
}

void WishList::_Changed()
{
    _changeUnconfirmed = true;
    _changeSentSince = false;
}

void WishList::Sent(uint32_t sequence)
{
    if (_changeUnconfirmed && !_changeSentSince) {
        _changeSequence = sequence;
        _changeSentSince = true;
    }
}

void WishList::Accepted(uint32_t lastRequestSequence)
{
    // Every request since the change carries the current wishes, so one of
    // them accepted confirms them all.
    if (_changeUnconfirmed && _changeSentSince &&
        !Protocol::IsLaterSequence(_changeSequence, lastRequestSequence)) {
        _changeUnconfirmed = false;
    }
    if (!_changeUnconfirmed) {
        _confirmed = _current;
    }
}

void WishList::StartSession()
{
    Protocol::Wishes fresh;
    fresh.latencyInputCounter =
        _Unconfirmed(_current.latencyInputCounter, _confirmed.latencyInputCounter);
    for (int s = 0; s < Protocol::kSensorCount; ++s) {
        const Settings& settings = _settings[s];
        Protocol::SensorWishes& sensor = fresh.sensors[s];
        sensor.resetOrientationCounter =
            _Unconfirmed(_current.sensors[s].resetOrientationCounter,
                         _confirmed.sensors[s].resetOrientationCounter);
        sensor.predictionTimeCounter = settings.predictionTime ? 1 : 0;
        sensor.predictionTimeSeconds = settings.predictionTime.value_or(0);
        sensor.yawCorrectionCounter = settings.yawCorrection ? 1 : 0;
        sensor.yawCorrection = settings.yawCorrection.value_or(false);
        sensor.magYawCorrectionCounter = settings.magYawCorrection ? 1 : 0;
        sensor.magYawCorrection = settings.magYawCorrection.value_or(false);
    }
    _current = fresh;
    _confirmed = Protocol::Wishes();
    _changeUnconfirmed = false;
    _changeSentSince = false;
    if (_current.latencyInputCounter != 0 ||
        std::any_of(std::begin(_current.sensors), std::end(_current.sensors),
                    [](const Protocol::SensorWishes& s) {
                        return s.predictionTimeCounter | s.yawCorrectionCounter |
                               s.resetOrientationCounter | s.magYawCorrectionCounter;
                    })) {
        _Changed();
    }
}

} // namespace Client
} // namespace Talmex
