// What talmex-monitor --check prints of this plug-in: OpenHMD's probe and the
// device the plug-in would open, and why.

#include "Plugin/Describe.h"
#include "Probe.h"
#include "Session.h"

#include <cstdlib>
#include <sstream>

namespace OpenHmdHeadset {

namespace {

std::string _ClassName(int deviceClass)
{
    switch (deviceClass) {
    case OHMD_DEVICE_CLASS_HMD:
        return "head-mounted display";
    case OHMD_DEVICE_CLASS_CONTROLLER:
        return "controller";
    case OHMD_DEVICE_CLASS_GENERIC_TRACKER:
        return "tracker";
    default:
        return "class " + std::to_string(deviceClass);
    }
}

std::string _FlagNames(int flags)
{
    static const std::pair<int, const char*> kNames[] = {
        {OHMD_DEVICE_FLAGS_NULL_DEVICE, "null"},
        {OHMD_DEVICE_FLAGS_POSITIONAL_TRACKING, "positional"},
        {OHMD_DEVICE_FLAGS_ROTATIONAL_TRACKING, "rotational"},
        {OHMD_DEVICE_FLAGS_LEFT_CONTROLLER, "left"},
        {OHMD_DEVICE_FLAGS_RIGHT_CONTROLLER, "right"},
    };
    std::string names;
    for (const auto& [flag, name] : kNames) {
        if (flags & flag) {
            names += names.empty() ? name : std::string(" ") + name;
        }
    }
    return std::to_string(flags) + (names.empty() ? "" : " (" + names + ")");
}

std::string _Describe(const std::vector<ProbeEntry>& probe, const DeviceChoice& choice)
{
    int major = 0, minor = 0, patch = 0;
    ohmd_get_version(&major, &minor, &patch);
    std::ostringstream text;
    text << "OpenHMD " << major << "." << minor << "." << patch << " probe: " << probe.size()
         << " device" << (probe.size() == 1 ? "" : "s") << "\n";
    for (size_t i = 0; i < probe.size(); ++i) {
        const ProbeEntry& e = probe[i];
        text << "  " << i << ": vendor " << e.vendor << ", product " << e.product << ", path "
             << e.path << ", " << _ClassName(e.deviceClass) << ", flags " << _FlagNames(e.flags)
             << (StandInOf(e) != StandIn::kNone ? ", one of OpenHMD's stand-ins" : "") << "\n";
    }
    if (choice.candidates.empty()) {
        text << "would open: nothing; " << choice.reason << "\n";
        return text.str();
    }
    const int first = choice.candidates.front();
    text << "would open: " << first << ", " << probe[static_cast<size_t>(first)].product << "; "
         << choice.reason << "\n";
    if (choice.candidates.size() > 1) {
        text << "  if it does not open, or opens without a display, the next of:";
        for (size_t i = 1; i < choice.candidates.size(); ++i) {
            text << " " << choice.candidates[i];
        }
        text << "\n";
    }
    if (StandInOf(probe[static_cast<size_t>(first)]) == StandIn::kNone) {
        text << "  a device that does not open for want of permission needs the udev rules "
                "(70-talmex-openhmd.rules)\n";
    }
    return text.str();
}

} // namespace

} // namespace OpenHmdHeadset

extern "C" const char* TalmexPlugin_Describe()
{
    using namespace OpenHmdHeadset;
    static std::string text;
    // A second context must not come and go while a device is open: closing
    // it ends the HID layer the open device reads through.
    const Session& session = TheSession();
    if (session.IsOpen()) {
        text = _Describe(session.LastProbe(), session.LastChoice()) +
               "open: " + session.Entry().product + "\n";
        return text.c_str();
    }
    ohmd_context* context = ohmd_ctx_create();
    if (context == nullptr) {
        text = "OpenHMD could not make a context\n";
        return text.c_str();
    }
    const std::vector<ProbeEntry> probe = Probe(context);
    ohmd_ctx_destroy(context);
    text = _Describe(probe, ChooseDevice(probe, std::getenv("TALMEX_OPENHMD_DEVICE")));
    return text.c_str();
}
