#pragma once

#include <cstdlib>
#include <ostream>

namespace TalmexTest {

// A motion of the emulated headset as its controls give it
// (EmulatedRiftSettings.h): degrees per second of yaw; the nod's degrees and
// its period in seconds.
struct MotionControls {
    const char* name;
    const char* yawRate;
    const char* pitchAmplitude;
    const char* pitchPeriod;

    // Into this process's environment, and so into the processes it starts.
    void Set() const
    {
        setenv("TALMEX_EMULATED_RIFT_YAW_RATE", yawRate, 1);
        setenv("TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE", pitchAmplitude, 1);
        setenv("TALMEX_EMULATED_RIFT_PITCH_PERIOD", pitchPeriod, 1);
    }
};

inline void PrintTo(const MotionControls& motion, std::ostream* out)
{
    *out << motion.name;
}

// What the tests of the whole path run: a steady turn, and a turn about two
// axes at once.
constexpr MotionControls kTestMotions[] = {{"SteadyYaw", "30", "0", "4"},
                                           {"YawAndPitch", "-45", "20", "1.5"}};

} // namespace TalmexTest
