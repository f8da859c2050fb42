#pragma once

#include "DeviceChoice.h"

#include <openhmd.h>

namespace OpenHmdHeadset {

// The display values the headset reports, in pixels and metres.
struct Display {
    int resolution[2] = {};
    float screenSize[2] = {};
    float eyeToScreenDistance = 0;
    float interpupillaryDistance = 0;
    float lensSeparationDistance = 0;
    float eyeOffset[2] = {}; // left, right: half the interpupillary distance each way
    float screenVCenter = 0;
    float distortion[4] = {};
};

// The eye-to-screen distance that gives the screen half's width its field of
// view. OpenHMD derives the field of view of its Rift devices this way from
// the distance the headset stores, so for them this is that distance again.
float EyeToScreenDistance(float screenWidth, float lensSeparation, float fieldOfViewRadians);

// The display of an open device, asking its driver only what it answers
// without an error line; false when the device has no display (no pixels or
// no size).
bool ReadDisplay(ohmd_device* device, const ProbeEntry& entry, Display& display);

} // namespace OpenHmdHeadset
