#pragma once

#include <openhmd.h>

namespace OpenHmdHeadset {

// Opens the device at the probe's index with OpenHMD's own update thread off:
// that thread races the close, so the caller ticks the device itself. Null
// when it cannot be opened.
inline ohmd_device* OpenWithoutUpdateThread(ohmd_context* context, int index)
{
    ohmd_device_settings* settings = ohmd_device_settings_create(context);
    if (settings == nullptr) {
        return nullptr;
    }
    const int automaticUpdate = 0;
    ohmd_device_settings_seti(settings, OHMD_IDS_AUTOMATIC_UPDATE, &automaticUpdate);
    ohmd_device* device = ohmd_list_open_device_s(context, index, settings);
    ohmd_device_settings_destroy(settings);
    return device;
}

} // namespace OpenHmdHeadset
