#include "OpenHmdRift.h"

#include "EmulatedRift.h"
#include "OpenDevice.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace TalmexTest {

SensorTimeFunction FindEmulatedRiftSensorTime()
{
    return reinterpret_cast<SensorTimeFunction>(dlsym(RTLD_DEFAULT, kEmulatedRiftSensorTime));
}

SensorTimeFunction PreloadEmulatedRift(char** argv, const char* library)
{
    if (const SensorTimeFunction sensorTime = FindEmulatedRiftSensorTime()) {
        return sensorTime;
    }
    const char* slash = std::strrchr(argv[0], '/');
    const char* name = slash != nullptr ? slash + 1 : argv[0];
    if (std::getenv("LD_PRELOAD") != nullptr) {
        std::fprintf(stderr, "%s: the emulation did not load\n", name);
        return nullptr;
    }
    setenv("LD_PRELOAD", library, 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "%s: running again: %s\n", name, std::strerror(errno));
    return nullptr;
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
    return index < 0 ? nullptr : OpenHmdHeadset::OpenWithoutUpdateThread(context, index);
}

Quaternion OpenHmdOrientation(ohmd_device* device)
{
    float q[4] = {0, 0, 0, 1};
    ohmd_device_getf(device, OHMD_ROTATION_QUAT, q);
    return {q[3], q[0], q[1], q[2]};
}

} // namespace TalmexTest
