#include "Client/Json.h"

#include <cmath>
#include <cstdio>

namespace Talmex {
namespace Client {

namespace {

// Appends "name": value pairs, separating them as it goes.
class JsonObject {
public:
    explicit JsonObject(std::string& text) : _text(text) { _text += '{'; }
    ~JsonObject() { _text += '}'; }

    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;

    std::string& Key(const char* name)
    {
        if (!_isFirst) {
            _text += ',';
        }
        _isFirst = false;
        _text += '"';
        _text += name;
        _text += "\":";
        return _text;
    }

    void Add(const char* name, bool value) { Key(name) += value ? "true" : "false"; }
    void Add(const char* name, unsigned long value) { Key(name) += std::to_string(value); }
    void Add(const char* name, float value) { _AppendNumber(Key(name), value); }

    template <class T, size_t N>
    void Add(const char* name, const T (&values)[N])
    {
        std::string& text = Key(name);
        text += '[';
        for (size_t i = 0; i < N; ++i) {
            if (i != 0) {
                text += ',';
            }
            _AppendValue(text, values[i]);
        }
        text += ']';
    }

private:
    static void _AppendNumber(std::string& text, float value)
    {
        if (!std::isfinite(value)) {
            text += "null";
            return;
        }
        // Nine significant digits give back the same float.
        char number[32];
        std::snprintf(number, sizeof number, "%.9g", static_cast<double>(value));
        text += number;
    }
    static void _AppendValue(std::string& text, bool value) { text += value ? "true" : "false"; }
    static void _AppendValue(std::string& text, float value) { _AppendNumber(text, value); }
    static void _AppendValue(std::string& text, unsigned value) { text += std::to_string(value); }

    std::string& _text;
    bool _isFirst = true;
};

void _AddDisplay(JsonObject& parent, const DisplayState& display)
{
    JsonObject object(parent.Key("display"));
    object.Add("message", display.message);
    object.Add("hmd_present", display.hmdPresent);
    object.Add("portrait_mode", display.portraitMode);
    object.Add("resolution_valid", display.resolutionValid);
    object.Add("screen_size_valid", display.screenSizeValid);
    object.Add("eye_to_screen_distance_valid", display.eyeToScreenDistanceValid);
    object.Add("interpupillary_distance_valid", display.interpupillaryDistanceValid);
    object.Add("lens_separation_distance_valid", display.lensSeparationDistanceValid);
    object.Add("player_eye_height_valid", display.playerEyeHeightValid);
    object.Add("eye_offset_valid", display.eyeOffsetValid);
    object.Add("screen_v_center_valid", display.screenVCenterValid);
    object.Add("distortion_coefficients_valid", display.distortionCoefficientsValid);
    object.Add("latency_color_valid", display.latencyColorValid);
    const unsigned resolution[2] = {display.resolution[0], display.resolution[1]};
    object.Add("resolution", resolution);
    object.Add("screen_size", display.screenSize);
    object.Add("eye_to_screen_distance", display.eyeToScreenDistance);
    object.Add("interpupillary_distance", display.interpupillaryDistance);
    object.Add("lens_separation_distance", display.lensSeparationDistance);
    object.Add("player_eye_height", display.playerEyeHeight);
    object.Add("eye_offset", display.eyeOffset);
    object.Add("screen_v_center", display.screenVCenter);
    object.Add("distortion_coefficients", display.distortionCoefficients);
    const unsigned color[3] = {display.latencyColor[0], display.latencyColor[1],
                               display.latencyColor[2]};
    object.Add("latency_color", color);
}

void _AddSensor(std::string& text, const SensorState& sensor)
{
    JsonObject object(text);
    object.Add("present", sensor.present);
    object.Add("mag_calibrated", sensor.magCalibrated);
    object.Add("yaw_correction_enabled", sensor.yawCorrectionEnabled);
    object.Add("orientation_valid", sensor.orientationValid);
    object.Add("predicted_orientation_valid", sensor.predictedOrientationValid);
    object.Add("prediction_time_valid", sensor.predictionTimeValid);
    object.Add("acceleration_valid", sensor.accelerationValid);
    object.Add("angular_velocity_or_magnetometer_valid", sensor.angularVelocityOrMagnetometerValid);
    object.Add("orientation", sensor.orientation);
    object.Add("predicted_orientation", sensor.predictedOrientation);
    object.Add("prediction_time", sensor.predictionTime);
    object.Add("acceleration", sensor.acceleration);
    object.Add("angular_velocity", sensor.angularVelocity);
    object.Add("magnetometer", sensor.magnetometer);
}

} // namespace

std::string ToJson(const HeadsetState& state)
{
    std::string text;
    {
        JsonObject object(text);
        object.Add("session_token", static_cast<unsigned long>(state.header.sessionToken));
        object.Add("client_token", static_cast<unsigned long>(state.header.clientToken));
        object.Add("sequence", static_cast<unsigned long>(state.header.sequence));
        object.Add("last_request_sequence",
                   static_cast<unsigned long>(state.header.lastRequestSequence));
        _AddDisplay(object, state.display);
        object.Add("sensor_count", static_cast<unsigned long>(state.sensorCount));
        object.Add("sensor_record_count", static_cast<unsigned long>(state.sensorRecordCount));
        std::string& sensors = object.Key("sensors");
        sensors += '[';
        for (int s = 0; s < Protocol::kSensorCount; ++s) {
            if (s != 0) {
                sensors += ',';
            }
            _AddSensor(sensors, state.sensors[s]);
        }
        sensors += ']';
    }
    return text;
}

} // namespace Client
} // namespace Talmex
