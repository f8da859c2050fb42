// The C interface: every function checks its handle and its structures,
// turns the C++ client's results into error codes, and lets nothing escape.

#include "talmex/client.h"

#include "Client/Client.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace {

using Talmex::Client::Client;
using Talmex::Client::HeadsetState;
using Talmex::Client::Status;

// Calls on one handle take turns. A call holds the handle until it returns,
// so that talmex_destroy in another thread never frees it under the call:
// destroying marks it closing, which ends a wait within one slice.
struct Handle {
    std::mutex use;
    std::atomic<bool> closing{false};
    Client client;
};

// Handles are numbers that are never reused, so that a destroyed handle is
// recognised as such instead of reaching freed memory.
class HandleTable {
public:
    talmex_client* Add(std::shared_ptr<Handle> handle)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        const uintptr_t id = ++_lastId;
        _handles.emplace(id, std::move(handle));
        return reinterpret_cast<talmex_client*>(id);
    }

    std::shared_ptr<Handle> Find(talmex_client* client)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        const auto found = _handles.find(reinterpret_cast<uintptr_t>(client));
        return found == _handles.end() ? nullptr : found->second;
    }

    std::shared_ptr<Handle> Remove(talmex_client* client)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        const auto found = _handles.find(reinterpret_cast<uintptr_t>(client));
        if (found == _handles.end()) {
            return nullptr;
        }
        std::shared_ptr<Handle> handle = std::move(found->second);
        _handles.erase(found);
        return handle;
    }

private:
    std::mutex _mutex;
    uintptr_t _lastId = 0;
    std::map<uintptr_t, std::shared_ptr<Handle>> _handles;
};

HandleTable& _Handles()
{
    static HandleTable* handles = new HandleTable(); // outlives every static destructor
    return *handles;
}

template <class Call>
talmex_error _Guarded(Call call) noexcept
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return TALMEX_ERROR_OUT_OF_MEMORY;
    } catch (...) {
        return TALMEX_ERROR_INTERNAL;
    }
}

template <class Call>
talmex_error _WithHandle(talmex_client* client, Call call) noexcept
{
    return _Guarded([&]() {
        const std::shared_ptr<Handle> handle = _Handles().Find(client);
        if (handle == nullptr) {
            return TALMEX_ERROR_INVALID_HANDLE;
        }
        std::lock_guard<std::mutex> turn(handle->use);
        return handle->closing ? TALMEX_ERROR_INVALID_HANDLE : call(*handle);
    });
}

// Why no new report came, as the status tells it.
talmex_error _NoReport(const Client& client)
{
    switch (client.GetStatus()) {
    case Status::kIdle:
        return TALMEX_ERROR_NOT_CONNECTED;
    case Status::kAgentExited:
        return TALMEX_ERROR_AGENT_EXITED;
    case Status::kNotAnswering:
        return TALMEX_ERROR_NOT_ANSWERING;
    case Status::kFailed:
        return TALMEX_ERROR_NOT_STARTED;
    case Status::kConnecting:
    case Status::kServing:
        break;
    }
    return TALMEX_NO_REPORT;
}

template <size_t N>
void _CopyFlags(uint8_t (&to)[N], const bool (&from)[N])
{
    std::copy(std::begin(from), std::end(from), std::begin(to));
}

void _CopyDisplay(const Talmex::Client::DisplayState& from, talmex_display& to)
{
    _CopyFlags(to.message, from.message);
    to.hmd_present = from.hmdPresent;
    to.portrait_mode = from.portraitMode;
    to.resolution_valid = from.resolutionValid;
    to.screen_size_valid = from.screenSizeValid;
    to.eye_to_screen_distance_valid = from.eyeToScreenDistanceValid;
    to.interpupillary_distance_valid = from.interpupillaryDistanceValid;
    to.lens_separation_distance_valid = from.lensSeparationDistanceValid;
    to.player_eye_height_valid = from.playerEyeHeightValid;
    to.eye_offset_valid = from.eyeOffsetValid;
    to.screen_v_center_valid = from.screenVCenterValid;
    to.distortion_coefficients_valid = from.distortionCoefficientsValid;
    to.latency_color_valid = from.latencyColorValid;
    std::copy_n(from.latencyColor, 3, to.latency_color);
    std::copy_n(from.resolution, 2, to.resolution);
    std::copy_n(from.screenSize, 2, to.screen_size);
    to.eye_to_screen_distance = from.eyeToScreenDistance;
    to.interpupillary_distance = from.interpupillaryDistance;
    to.lens_separation_distance = from.lensSeparationDistance;
    to.player_eye_height = from.playerEyeHeight;
    std::copy_n(from.eyeOffset, 2, to.eye_offset);
    to.screen_v_center = from.screenVCenter;
    std::copy_n(from.distortionCoefficients, 4, to.distortion_coefficients);
}

void _CopySensor(const Talmex::Client::SensorState& from, talmex_sensor& to)
{
    to.present = from.present;
    to.mag_calibrated = from.magCalibrated;
    to.yaw_correction_enabled = from.yawCorrectionEnabled;
    to.orientation_valid = from.orientationValid;
    to.predicted_orientation_valid = from.predictedOrientationValid;
    to.prediction_time_valid = from.predictionTimeValid;
    to.acceleration_valid = from.accelerationValid;
    to.angular_velocity_or_magnetometer_valid = from.angularVelocityOrMagnetometerValid;
    std::copy_n(from.orientation, 4, to.orientation);
    std::copy_n(from.predictedOrientation, 4, to.predicted_orientation);
    to.prediction_time = from.predictionTime;
    std::copy_n(from.acceleration, 3, to.acceleration);
    std::copy_n(from.angularVelocity, 3, to.angular_velocity);
    std::copy_n(from.magnetometer, 3, to.magnetometer);
    const auto angles = Talmex::Client::YawPitchRollOf(from.orientation);
    to.yaw_pitch_roll[0] = angles.yaw;
    to.yaw_pitch_roll[1] = angles.pitch;
    to.yaw_pitch_roll[2] = angles.roll;
}

void _CopyState(const HeadsetState& from, talmex_state& to)
{
    to.session_token = from.header.sessionToken;
    to.client_token = from.header.clientToken;
    to.sequence = from.header.sequence;
    to.last_request_sequence = from.header.lastRequestSequence;
    to.sensor_count = from.sensorCount;
    to.sensor_record_count = from.sensorRecordCount;
    _CopyDisplay(from.display, to.display);
    for (int s = 0; s < TALMEX_SENSORS; ++s) {
        _CopySensor(from.sensors[s], to.sensors[s]);
    }
}

template <class Structure>
talmex_error _CheckSize(const Structure* structure)
{
    if (structure == nullptr) {
        return TALMEX_ERROR_INVALID_ARGUMENT;
    }
    return structure->size == sizeof(Structure) ? TALMEX_OK : TALMEX_ERROR_STRUCT_SIZE;
}

// Waits in slices of the client's retry interval, so that a handle
// destroyed meanwhile ends the wait soon.
bool _Wait(Handle& handle, HeadsetState& report, std::chrono::milliseconds timeout)
{
    using Clock = Client::Clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const Clock::time_point start = Clock::now();
        const auto slice = std::chrono::ceil<std::chrono::milliseconds>(
            std::min<Clock::duration>(deadline - start, Client::kRetryInterval));
        if (handle.client.Wait(report, slice)) {
            return true;
        }
        // Back before its time, the client has nothing to wait for.
        const Clock::time_point now = Clock::now();
        if (handle.closing || now >= deadline || now < start + slice) {
            return false;
        }
    }
}

// Polls, or waits when a time is given, and fills the state on a report.
talmex_error _Receive(talmex_client* client, talmex_state* state, int timeoutMilliseconds)
{
    return _WithHandle(client, [&](Handle& handle) {
        if (const talmex_error error = _CheckSize(state)) {
            return error;
        }
        HeadsetState report;
        const bool received =
            timeoutMilliseconds < 0
                ? handle.client.Poll(report)
                : _Wait(handle, report, std::chrono::milliseconds(timeoutMilliseconds));
        if (handle.closing) {
            return TALMEX_ERROR_INVALID_HANDLE;
        }
        if (!received) {
            return _NoReport(handle.client);
        }
        _CopyState(report, *state);
        return TALMEX_OK;
    });
}

bool _IsSensor(int sensor)
{
    return sensor >= 0 && sensor < TALMEX_SENSORS;
}

template <class Call>
talmex_error _Request(talmex_client* client, int sensor, Call call)
{
    return _WithHandle(client, [&](Handle& handle) {
        if (!_IsSensor(sensor)) {
            return TALMEX_ERROR_INVALID_ARGUMENT;
        }
        call(handle.client);
        return TALMEX_OK;
    });
}

talmex_error _Started(const Client& client, bool started)
{
    if (started) {
        return TALMEX_OK;
    }
    return client.GetStatus() == Status::kAgentExited ? TALMEX_ERROR_AGENT_EXITED
                                                      : TALMEX_ERROR_NOT_STARTED;
}

} // namespace

extern "C" {

talmex_error talmex_create(talmex_client** client)
{
    return _Guarded([&]() {
        if (client == nullptr) {
            return TALMEX_ERROR_INVALID_ARGUMENT;
        }
        *client = _Handles().Add(std::make_shared<Handle>());
        return TALMEX_OK;
    });
}

talmex_error talmex_destroy(talmex_client* client)
{
    return _Guarded([&]() {
        const std::shared_ptr<Handle> handle = _Handles().Remove(client);
        if (handle == nullptr) {
            return TALMEX_ERROR_INVALID_HANDLE;
        }
        // A call in another thread ends within a slice and lets go; the
        // agent stops here, before destroy returns.
        handle->closing = true;
        std::lock_guard<std::mutex> turn(handle->use);
        handle->client.Stop();
        return TALMEX_OK;
    });
}

talmex_error talmex_spawn(talmex_client* client, const char* agentPath)
{
    return talmex_spawn_headset(client, agentPath, nullptr);
}

talmex_error talmex_spawn_headset(talmex_client* client, const char* agentPath, const char* headset)
{
    return _WithHandle(client, [&](Handle& handle) {
        return _Started(
            handle.client,
            handle.client.Spawn(agentPath != nullptr ? agentPath : "",
                                headset != nullptr ? headset : Talmex::Client::kSimulatedHeadset));
    });
}

talmex_error talmex_agent_output(talmex_client* client, uint64_t* lineCount, char* text,
                                 size_t size)
{
    return _WithHandle(client, [&](Handle& handle) {
        if (lineCount == nullptr || text == nullptr || size == 0) {
            return TALMEX_ERROR_INVALID_ARGUMENT;
        }
        const Talmex::Client::AgentOutput& output = handle.client.Agent().Output();
        *lineCount = output.LineCount();
        std::string lines;
        for (auto line = output.Lines().rbegin(); line != output.Lines().rend(); ++line) {
            if (lines.size() + line->size() + 1 > size - 1) {
                break;
            }
            lines.insert(0, *line + "\n");
        }
        std::memcpy(text, lines.c_str(), lines.size() + 1);
        return TALMEX_OK;
    });
}

talmex_error talmex_attach(talmex_client* client, const char* host, uint16_t port)
{
    return _WithHandle(client, [&](Handle& handle) {
        if (host == nullptr) {
            return TALMEX_ERROR_INVALID_ARGUMENT;
        }
        return _Started(handle.client, handle.client.Attach(host, port));
    });
}

talmex_error talmex_stop(talmex_client* client)
{
    return _WithHandle(client, [](Handle& handle) {
        handle.client.Stop();
        return TALMEX_OK;
    });
}

talmex_error talmex_reset_orientation(talmex_client* client, int sensor)
{
    return _Request(client, sensor, [sensor](Client& c) { c.ResetOrientation(sensor); });
}

talmex_error talmex_set_prediction_time(talmex_client* client, int sensor, float seconds)
{
    return _Request(client, sensor, [=](Client& c) { c.SetPredictionTime(sensor, seconds); });
}

talmex_error talmex_set_yaw_correction(talmex_client* client, int sensor, int enable)
{
    return _Request(client, sensor, [=](Client& c) { c.SetYawCorrection(sensor, enable != 0); });
}

talmex_error talmex_set_mag_yaw_correction(talmex_client* client, int sensor, int enable)
{
    return _Request(client, sensor, [=](Client& c) { c.SetMagYawCorrection(sensor, enable != 0); });
}

talmex_error talmex_feed_latency_tester(talmex_client* client)
{
    return _Request(client, 0, [](Client& c) { c.FeedLatencyTester(); });
}

talmex_error talmex_poll(talmex_client* client, talmex_state* state)
{
    return _Receive(client, state, -1);
}

talmex_error talmex_wait(talmex_client* client, talmex_state* state, int timeoutMilliseconds)
{
    return _Receive(client, state, std::max(timeoutMilliseconds, 0));
}

talmex_error talmex_get_counters(talmex_client* client, talmex_counters* counters)
{
    return _WithHandle(client, [&](Handle& handle) {
        if (const talmex_error error = _CheckSize(counters)) {
            return error;
        }
        const Client& c = handle.client;
        const Talmex::Client::Counters& from = c.GetCounters();
        counters->status = static_cast<int32_t>(c.GetStatus());
        counters->port = c.Port();
        counters->reports_received = from.reportsReceived;
        counters->reports_lost = from.reportsLost;
        counters->reports_rejected = from.reportsRejected;
        counters->requests_sent = from.requestsSent;
        counters->requests_accepted = from.requestsAccepted;
        counters->sessions = from.sessions;
        counters->report_rate = from.reportRate;
        counters->newest_report_age_ms = c.NewestReportAge().count();
        return TALMEX_OK;
    });
}

talmex_error talmex_last_error(talmex_client* client, char* text, size_t size)
{
    return _WithHandle(client, [&](Handle& handle) {
        if (text == nullptr || size == 0) {
            return TALMEX_ERROR_INVALID_ARGUMENT;
        }
        const std::string& error = handle.client.LastError();
        const size_t length = std::min(error.size(), size - 1);
        std::memcpy(text, error.data(), length);
        text[length] = '\0';
        return TALMEX_OK;
    });
}

const char* talmex_error_text(int error)
{
    switch (error) {
    case TALMEX_OK:
        return "ok";
    case TALMEX_NO_REPORT:
        return "no new report yet";
    case TALMEX_ERROR_INVALID_HANDLE:
        return "null, destroyed or unknown handle";
    case TALMEX_ERROR_INVALID_ARGUMENT:
        return "invalid argument";
    case TALMEX_ERROR_STRUCT_SIZE:
        return "structure size does not match this library's version";
    case TALMEX_ERROR_NOT_STARTED:
        return "agent not started, or bound no port";
    case TALMEX_ERROR_NOT_CONNECTED:
        return "neither spawned nor attached";
    case TALMEX_ERROR_AGENT_EXITED:
        return "agent exited";
    case TALMEX_ERROR_NOT_ANSWERING:
        return "agent not answering";
    case TALMEX_ERROR_OUT_OF_MEMORY:
        return "out of memory";
    case TALMEX_ERROR_INTERNAL:
        return "internal error";
    }
    return "unknown error";
}

const char* talmex_status_text(int status)
{
    // Status has an int beneath it, so every value converts; unknown ones
    // are described as such.
    return Talmex::Client::Describe(static_cast<Status>(status));
}

} // extern "C"
