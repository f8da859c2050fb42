#include "EmulatedRiftSettings.h"

#include <charconv>
#include <cstring>

namespace TalmexTest {

namespace {

// A number that is the whole text and lies in [lowest, highest]; false
// otherwise, leaving value alone.
bool _ParseNumber(const char* text, double lowest, double highest, double* value)
{
    const char* end = text + std::strlen(text);
    double parsed = 0;
    const auto [stop, error] = std::from_chars(text, end, parsed);
    if (error != std::errc() || stop != end || !(parsed >= lowest && parsed <= highest)) {
        return false;
    }
    *value = parsed;
    return true;
}

class Reader {
public:
    Reader(const std::function<const char*(const char*)>& lookup, std::string* refusals)
        : _lookup(lookup), _refusals(refusals)
    {
    }

    // The named value scaled into the settings' unit, or fallback.
    double Read(const char* name, double lowest, double highest, double scale, double fallback,
                const char* meaning)
    {
        const char* text = _lookup(name);
        double value = 0;
        if (text == nullptr) {
            return fallback;
        }
        if (_ParseNumber(text, lowest, highest, &value)) {
            return value * scale;
        }
        Refuse(name, meaning);
        return fallback;
    }

    void Refuse(const char* name, const char* meaning)
    {
        *_refusals += std::string("emulated rift: ") + name + " refused: " + meaning +
                      " expected; the default holds\n";
    }

private:
    const std::function<const char*(const char*)>& _lookup;
    std::string* _refusals;
};

} // namespace

EmulatedRiftSettings
ReadEmulatedRiftSettings(const std::function<const char*(const char* name)>& lookup,
                         std::string* refusals)
{
    Reader reader(lookup, refusals);
    EmulatedRiftSettings settings;
    EmulatedRiftMotion& motion = settings.motion;
    motion.yawRate = reader.Read("TALMEX_EMULATED_RIFT_YAW_RATE", -1000, 1000, kRadiansPerDegree,
                                 motion.yawRate, "degrees per second from -1000 to 1000");
    motion.pitchAmplitude =
        reader.Read("TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE", 0, 80, kRadiansPerDegree,
                    motion.pitchAmplitude, "degrees from 0 to 80");
    motion.pitchPeriod = reader.Read("TALMEX_EMULATED_RIFT_PITCH_PERIOD", 0.1, 3600, 1,
                                     motion.pitchPeriod, "seconds from 0.1 to 3600");
    settings.unplugAt = reader.Read("TALMEX_EMULATED_RIFT_UNPLUG_AT", 0, 1e6, 1, settings.unplugAt,
                                    "seconds from 0 to 1000000");
    const double replugAt = reader.Read("TALMEX_EMULATED_RIFT_REPLUG_AT", 0, 1e6, 1,
                                        settings.replugAt, "seconds from 0 to 1000000");
    if (replugAt > settings.unplugAt) {
        settings.replugAt = replugAt;
    } else if (replugAt != EmulatedRiftSettings::kNever) {
        reader.Refuse("TALMEX_EMULATED_RIFT_REPLUG_AT", "a time after the unplug");
    }
    return settings;
}

} // namespace TalmexTest
