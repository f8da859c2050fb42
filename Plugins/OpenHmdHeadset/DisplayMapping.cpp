#include "DisplayMapping.h"

#include "DistortionFit.h"

#include <algorithm>
#include <cmath>

namespace OpenHmdHeadset {

namespace {

// The makers whose OpenHMD drivers read the headset's own distortion
// coefficients from it. Any other driver answers OHMD_DISTORTION_K with an
// error line on standard output, or with zeros.
bool _HasOwnDistortion(const ProbeEntry& entry)
{
    return entry.vendor == "Oculus VR, Inc." || entry.vendor == "Deepoon";
}

float _Float(ohmd_device* device, ohmd_float_value key)
{
    float value[1] = {0};
    return ohmd_device_getf(device, key, value) == OHMD_S_OK ? value[0] : 0;
}

// The driver's own coefficients, when it gives ones a lens can have.
bool _OwnDistortion(ohmd_device* device, std::array<float, 4>& distortion)
{
    // OpenHMD's driver fills six.
    float k[6] = {};
    if (ohmd_device_getf(device, OHMD_DISTORTION_K, k) != OHMD_S_OK) {
        return false;
    }
    distortion = {k[0], k[1], k[2], k[3]};
    return IsPlausibleDistortion(distortion);
}

} // namespace

float EyeToScreenDistance(float screenWidth, float lensSeparation, float fieldOfViewRadians)
{
    const double half = std::tan(fieldOfViewRadians / 2.0);
    return half > 0 ? static_cast<float>((screenWidth / 2.0 - lensSeparation / 2.0) / half) : 0;
}

bool ReadDisplay(ohmd_device* device, const ProbeEntry& entry, Display& display)
{
    display = Display();
    ohmd_device_geti(device, OHMD_SCREEN_HORIZONTAL_RESOLUTION, &display.resolution[0]);
    ohmd_device_geti(device, OHMD_SCREEN_VERTICAL_RESOLUTION, &display.resolution[1]);
    display.screenSize[0] = _Float(device, OHMD_SCREEN_HORIZONTAL_SIZE);
    display.screenSize[1] = _Float(device, OHMD_SCREEN_VERTICAL_SIZE);
    if (display.resolution[0] <= 0 || display.resolution[1] <= 0 || !(display.screenSize[0] > 0) ||
        !(display.screenSize[1] > 0)) {
        return false;
    }
    display.lensSeparationDistance = _Float(device, OHMD_LENS_HORIZONTAL_SEPARATION);
    display.screenVCenter = _Float(device, OHMD_LENS_VERTICAL_POSITION);
    display.interpupillaryDistance = _Float(device, OHMD_EYE_IPD);
    display.eyeOffset[0] = -display.interpupillaryDistance / 2;
    display.eyeOffset[1] = display.interpupillaryDistance / 2;
    // OpenHMD 0.3.0 gives the field of view in radians, whatever its header says.
    display.eyeToScreenDistance = EyeToScreenDistance(
        display.screenSize[0], display.lensSeparationDistance, _Float(device, OHMD_LEFT_EYE_FOV));
    std::array<float, 4> k{};
    if (!_HasOwnDistortion(entry) || !_OwnDistortion(device, k)) {
        std::array<float, 4> universal{};
        ohmd_device_getf(device, OHMD_UNIVERSAL_DISTORTION_K, universal.data());
        k = FitDistortion(universal);
    }
    std::copy(k.begin(), k.end(), display.distortion);
    return true;
}

} // namespace OpenHmdHeadset
