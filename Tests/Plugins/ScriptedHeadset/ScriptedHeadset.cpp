// A headset plug-in for tests: it records every call it receives and answers
// from a script (see ScriptedHeadsetControl.h). With SCRIPTED_WITHOUT_MAGNETOMETER
// it lacks OVR_GetMagnetometer, as a library with a missing entry point.
// A test that runs the agent as a process scripts it through the environment.

#include "Plugin/EntryPoints.h"
#include "ScriptedHeadsetControl.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kEntryPoints[] = {
#define TALMEX_NAME(name) "OVR_" #name,
    TALMEX_OVR_ENTRY_POINTS(TALMEX_NAME)
#undef TALMEX_NAME
};

struct Answer {
    int result = 1;
    int written = 4;
    double values[4] = {};
};

// Answers as "OVR_Name result value value...;...": as many values are
// written as are given, and strtod reads nan and inf as well.
void ApplyAnswers(std::map<std::string, Answer>& answers, const char* text)
{
    std::istringstream entries(text != nullptr ? text : "");
    std::string entry;
    while (std::getline(entries, entry, ';')) {
        std::istringstream fields(entry);
        std::string name;
        std::string field;
        if (!(fields >> name >> field)) {
            continue;
        }
        Answer& answer = answers[name];
        answer.result = static_cast<int>(std::strtol(field.c_str(), nullptr, 0));
        answer.written = 0;
        while (answer.written < 4 && fields >> field) {
            answer.values[answer.written++] = std::strtod(field.c_str(), nullptr);
        }
    }
}

unsigned int EnvironmentNumber(const char* name)
{
    const char* text = std::getenv(name);
    return text != nullptr ? static_cast<unsigned int>(std::strtoul(text, nullptr, 10)) : 0;
}

struct Script {
    std::map<std::string, Answer> answers;
    std::string log;
    const unsigned int queryDelayMicroseconds = EnvironmentNumber("TALMEX_SCRIPTED_QUERY_DELAY_US");

    Script() { Reset(); }

    void Reset()
    {
        log.clear();
        answers.clear();
        int position = 0;
        for (const char* name : kEntryPoints) {
            Answer& answer = answers[name];
            for (int k = 0; k < 4; ++k) {
                answer.values[k] = position + (k + 1) / 8.0;
            }
            ++position;
        }
        ApplyAnswers(answers, std::getenv("TALMEX_SCRIPTED_ANSWERS"));
    }
};

Script& TheScript()
{
    static Script script;
    return script;
}

enum class Call { Query, Command };

long long MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// With TALMEX_SCRIPTED_TIMES set, a command's line in the log file starts
// with the time of the call on the monotonic clock, in nanoseconds, so that a
// measurement can see when a request reached the plug-in.
void WriteCallTime(FILE* file, long long calledAt)
{
    if (std::getenv("TALMEX_SCRIPTED_TIMES") != nullptr) {
        std::fprintf(file, "%lld ", calledAt);
    }
}

// Queries come dozens per report, so only commands reach the log file.
void Record(Call call, const char* format, ...)
{
    const long long calledAt = MonotonicNanoseconds();
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    TheScript().log += line;
    TheScript().log += '\n';
    if (call == Call::Query && TheScript().queryDelayMicroseconds != 0) {
        usleep(TheScript().queryDelayMicroseconds);
    }
    const char* path = std::getenv("TALMEX_SCRIPTED_LOG");
    if (call == Call::Command && path != nullptr) {
        if (FILE* file = std::fopen(path, "a")) {
            WriteCallTime(file, calledAt);
            std::fprintf(file, "%s\n", line);
            std::fclose(file);
        }
    }
}

// Writes the scripted out-values and gives the scripted result.
template <class T>
int Respond(const char* name, int sensor, std::initializer_list<T*> outs)
{
    const Answer& answer = TheScript().answers[name];
    int k = 0;
    for (T* out : outs) {
        if (k < answer.written && out != nullptr) {
            *out = static_cast<T>(answer.values[k] + 1000.0 * sensor);
        }
        ++k;
    }
    return answer.result;
}

int Respond(const char* name)
{
    return Respond<int>(name, 0, {});
}

OVR_Bool AsBool(int result)
{
    return static_cast<OVR_Bool>(result);
}

void Say(FILE* stream, const char* what)
{
    if (const char* text = std::getenv("TALMEX_SCRIPTED_SAY")) {
        std::fprintf(stream, "%s %s\n", text, what);
    }
}

const struct SayLoaded {
    SayLoaded() { Say(stdout, "loaded"); }
} _sayLoaded;

} // namespace

extern "C" {

void Scripted_Reset()
{
    TheScript().Reset();
}

void Scripted_SetAnswer(const char* entryPoint, int result, int written, const double* values)
{
    Answer& answer = TheScript().answers[entryPoint];
    answer.result = result;
    answer.written = written;
    for (int k = 0; k < 4; ++k) {
        answer.values[k] = values != nullptr ? values[k] : 0.0;
    }
}

const char* Scripted_Log()
{
    return TheScript().log.c_str();
}

OVR_Bool OVR_Update(OVR_MessageList* messages)
{
    Record(Call::Query, "OVR_Update(%d, %d, %d)", messages->flags[0], messages->flags[1],
           messages->flags[2]);
    return AsBool(Respond<unsigned char>(
        "OVR_Update", 0, {&messages->flags[0], &messages->flags[1], &messages->flags[2]}));
}

OVR_Bool OVR_Initialize()
{
    Record(Call::Command, "OVR_Initialize()");
    Say(stderr, "OVR_Initialize");
    return AsBool(Respond("OVR_Initialize"));
}

OVR_Bool OVR_Destroy()
{
    Record(Call::Command, "OVR_Destroy()");
    return AsBool(Respond("OVR_Destroy"));
}

int OVR_GetSensorCount()
{
    Record(Call::Query, "OVR_GetSensorCount()");
    return Respond("OVR_GetSensorCount");
}

OVR_Bool OVR_IsHMDPresent()
{
    Record(Call::Query, "OVR_IsHMDPresent()");
    return AsBool(Respond("OVR_IsHMDPresent"));
}

OVR_Bool OVR_GetSensorOrientation(int sensor, float* w, float* x, float* y, float* z)
{
    Record(Call::Query, "OVR_GetSensorOrientation(%d)", sensor);
    return AsBool(Respond<float>("OVR_GetSensorOrientation", sensor, {w, x, y, z}));
}

OVR_Bool OVR_GetSensorPredictedOrientation(int sensor, float* w, float* x, float* y, float* z)
{
    Record(Call::Query, "OVR_GetSensorPredictedOrientation(%d)", sensor);
    return AsBool(Respond<float>("OVR_GetSensorPredictedOrientation", sensor, {w, x, y, z}));
}

OVR_Bool OVR_GetSensorPredictionTime(int sensor, float* seconds)
{
    Record(Call::Query, "OVR_GetSensorPredictionTime(%d)", sensor);
    return AsBool(Respond<float>("OVR_GetSensorPredictionTime", sensor, {seconds}));
}

OVR_Bool OVR_SetSensorPredictionTime(int sensor, float seconds)
{
    Record(Call::Command, "OVR_SetSensorPredictionTime(%d, %g)", sensor, seconds);
    return AsBool(Respond("OVR_SetSensorPredictionTime"));
}

OVR_Bool OVR_EnableYawCorrection(int sensor, OVR_Bool enable)
{
    Record(Call::Command, "OVR_EnableYawCorrection(%d, %d)", sensor, enable);
    return AsBool(Respond("OVR_EnableYawCorrection"));
}

OVR_Bool OVR_ResetSensorOrientation(int sensor)
{
    Record(Call::Command, "OVR_ResetSensorOrientation(%d)", sensor);
    return AsBool(Respond("OVR_ResetSensorOrientation"));
}

OVR_Bool OVR_GetAcceleration(int sensor, float* x, float* y, float* z)
{
    Record(Call::Query, "OVR_GetAcceleration(%d)", sensor);
    return AsBool(Respond<float>("OVR_GetAcceleration", sensor, {x, y, z}));
}

OVR_Bool OVR_GetAngularVelocity(int sensor, float* x, float* y, float* z)
{
    Record(Call::Query, "OVR_GetAngularVelocity(%d)", sensor);
    return AsBool(Respond<float>("OVR_GetAngularVelocity", sensor, {x, y, z}));
}

#ifndef SCRIPTED_WITHOUT_MAGNETOMETER
OVR_Bool OVR_GetMagnetometer(int sensor, float* x, float* y, float* z)
{
    Record(Call::Query, "OVR_GetMagnetometer(%d)", sensor);
    return AsBool(Respond<float>("OVR_GetMagnetometer", sensor, {x, y, z}));
}
#endif

OVR_Bool OVR_IsSensorPresent(int sensor)
{
    Record(Call::Query, "OVR_IsSensorPresent(%d)", sensor);
    return AsBool(Respond("OVR_IsSensorPresent"));
}

const char* OVR_GetDisplayDeviceName()
{
    Record(Call::Query, "OVR_GetDisplayDeviceName()");
    return "Scripted Headset";
}

OVR_Bool OVR_GetScreenResolution(int* horizontal, int* vertical)
{
    Record(Call::Query, "OVR_GetScreenResolution()");
    return AsBool(Respond<int>("OVR_GetScreenResolution", 0, {horizontal, vertical}));
}

OVR_Bool OVR_GetScreenSize(float* horizontal, float* vertical)
{
    Record(Call::Query, "OVR_GetScreenSize()");
    return AsBool(Respond<float>("OVR_GetScreenSize", 0, {horizontal, vertical}));
}

OVR_Bool OVR_GetEyeToScreenDistance(float* distance)
{
    Record(Call::Query, "OVR_GetEyeToScreenDistance()");
    return AsBool(Respond<float>("OVR_GetEyeToScreenDistance", 0, {distance}));
}

OVR_Bool OVR_GetInterpupillaryDistance(float* distance)
{
    Record(Call::Query, "OVR_GetInterpupillaryDistance()");
    return AsBool(Respond<float>("OVR_GetInterpupillaryDistance", 0, {distance}));
}

OVR_Bool OVR_GetLensSeparationDistance(float* distance)
{
    Record(Call::Query, "OVR_GetLensSeparationDistance()");
    return AsBool(Respond<float>("OVR_GetLensSeparationDistance", 0, {distance}));
}

OVR_Bool OVR_GetPlayerEyeHeight(float* height)
{
    Record(Call::Query, "OVR_GetPlayerEyeHeight()");
    return AsBool(Respond<float>("OVR_GetPlayerEyeHeight", 0, {height}));
}

OVR_Bool OVR_GetEyeOffset(float* left, float* right)
{
    Record(Call::Query, "OVR_GetEyeOffset()");
    return AsBool(Respond<float>("OVR_GetEyeOffset", 0, {left, right}));
}

OVR_Bool OVR_GetScreenVCenter(float* center)
{
    Record(Call::Query, "OVR_GetScreenVCenter()");
    return AsBool(Respond<float>("OVR_GetScreenVCenter", 0, {center}));
}

OVR_Bool OVR_GetDistortionCoefficients(float* k0, float* k1, float* k2, float* k3)
{
    Record(Call::Query, "OVR_GetDistortionCoefficients()");
    return AsBool(Respond<float>("OVR_GetDistortionCoefficients", 0, {k0, k1, k2, k3}));
}

OVR_Bool OVR_RenderPortraitMode()
{
    Record(Call::Query, "OVR_RenderPortraitMode()");
    return AsBool(Respond("OVR_RenderPortraitMode"));
}

void OVR_ProcessLatencyInputs()
{
    Record(Call::Command, "OVR_ProcessLatencyInputs()");
}

OVR_Bool OVR_DisplayLatencyScreenColor(unsigned char* r, unsigned char* g, unsigned char* b)
{
    Record(Call::Query, "OVR_DisplayLatencyScreenColor()");
    return AsBool(Respond<unsigned char>("OVR_DisplayLatencyScreenColor", 0, {r, g, b}));
}

const char* OVR_GetLatencyResultsString()
{
    Record(Call::Query, "OVR_GetLatencyResultsString()");
    return "RESULT=0";
}

OVR_Bool OVR_IsMagCalibrated(int sensor)
{
    Record(Call::Query, "OVR_IsMagCalibrated(%d)", sensor);
    return AsBool(Respond("OVR_IsMagCalibrated"));
}

OVR_Bool OVR_EnableMagYawCorrection(int sensor, OVR_Bool enable)
{
    Record(Call::Command, "OVR_EnableMagYawCorrection(%d, %d)", sensor, enable);
    return AsBool(Respond("OVR_EnableMagYawCorrection"));
}

OVR_Bool OVR_IsYawCorrectionEnabled(int sensor)
{
    Record(Call::Query, "OVR_IsYawCorrectionEnabled(%d)", sensor);
    return AsBool(Respond("OVR_IsYawCorrectionEnabled"));
}

} // extern "C"
