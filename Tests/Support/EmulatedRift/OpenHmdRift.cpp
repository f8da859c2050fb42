#include "OpenHmdRift.h"

#include "EmulatedRift.h"

#include <cstring>
#include <dlfcn.h>

namespace TalmexTest {

SensorTimeFunction FindEmulatedRiftSensorTime()
{
    return reinterpret_cast<SensorTimeFunction>(dlsym(RTLD_DEFAULT, kEmulatedRiftSensorTime));
}

int ProbeEmulatedRift(ohmd_context* context)
{
    const int count = ohmd_ctx_probe(context);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(ohmd_list_gets(context, i, OHMD_PRODUCT), "Rift (DK1)") == 0) {
            return i;
        }
    }
    return -1;
}

ohmd_device* OpenEmulatedRift(ohmd_context* context)
{
    const int index = ProbeEmulatedRift(context);
    ohmd_device_settings* settings = index < 0 ? nullptr : ohmd_device_settings_create(context);
    if (settings == nullptr) {
        return nullptr;
    }
    const int automatic = 0;
    ohmd_device_settings_seti(settings, OHMD_IDS_AUTOMATIC_UPDATE, &automatic);
    ohmd_device* device = ohmd_list_open_device_s(context, index, settings);
    ohmd_device_settings_destroy(settings);
    return device;
}

Quaternion OpenHmdOrientation(ohmd_device* device)
{
    float q[4] = {0, 0, 0, 1};
    ohmd_device_getf(device, OHMD_ROTATION_QUAT, q);
    return {q[3], q[0], q[1], q[2]};
}

} // namespace TalmexTest
