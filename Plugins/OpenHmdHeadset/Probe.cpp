#include "Probe.h"

namespace OpenHmdHeadset {

namespace {

std::string _Text(const char* text)
{
    return text != nullptr ? text : "";
}

} // namespace

std::vector<ProbeEntry> Probe(ohmd_context* context)
{
    const int count = ohmd_ctx_probe(context);
    std::vector<ProbeEntry> probe(static_cast<size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        ProbeEntry& entry = probe[static_cast<size_t>(i)];
        entry.vendor = _Text(ohmd_list_gets(context, i, OHMD_VENDOR));
        entry.product = _Text(ohmd_list_gets(context, i, OHMD_PRODUCT));
        entry.path = _Text(ohmd_list_gets(context, i, OHMD_PATH));
        ohmd_list_geti(context, i, OHMD_DEVICE_CLASS, &entry.deviceClass);
        ohmd_list_geti(context, i, OHMD_DEVICE_FLAGS, &entry.flags);
    }
    return probe;
}

} // namespace OpenHmdHeadset
