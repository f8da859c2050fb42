#pragma once

#include <string>
#include <vector>

namespace OpenHmdHeadset {

// One device of OpenHMD's probe, as OpenHMD lists it.
struct ProbeEntry {
    std::string vendor;
    std::string product;
    std::string path;
    int deviceClass = -1; // ohmd_device_class
    int flags = 0;        // ohmd_device_flags
};

enum class StandIn { kNone, kNull, kExternal, kOther };

// OpenHMD's own devices, which no hardware backs: the Null device carries a
// flag; the External device carries none of its own (its flags say
// rotational and positional tracking), so OpenHMD's name as its maker tells
// it and the other stand-ins apart from hardware.
StandIn StandInOf(const ProbeEntry& entry);

// Which of the probe's devices the plug-in opens, in the order it tries
// them: the first that opens with a display is the headset. No candidate
// means no headset.
struct DeviceChoice {
    std::vector<int> candidates;
    std::string reason; // why, in a few words
};

// By default the head-mounted devices that are not stand-ins, in probe order.
// `setting` (TALMEX_OPENHMD_DEVICE, null when not set) overrides that with
// one device: an index into the probe, "null" or "external" (OpenHMD's
// stand-ins), or a text found in the product name, letters of either case.
// A setting that is empty, too long, signed, out of range, not plain ASCII
// or matches nothing chooses none.
DeviceChoice ChooseDevice(const std::vector<ProbeEntry>& probe, const char* setting);

} // namespace OpenHmdHeadset
