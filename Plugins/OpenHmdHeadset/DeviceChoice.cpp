#include "DeviceChoice.h"

#include <openhmd.h>

#include <algorithm>
#include <cstring>

namespace OpenHmdHeadset {

namespace {

constexpr char kSettingName[] = "TALMEX_OPENHMD_DEVICE";
// Longer than any product name OpenHMD gives, shorter than any index overflows.
constexpr size_t kMaxSettingLength = 64;
constexpr size_t kMaxIndexDigits = 4;

bool _IsPlainText(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

bool _IsDigits(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

char _Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string _Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), _Lower);
    return text;
}

// Reasons begin with the setting's name.
DeviceChoice _None(const std::string& why)
{
    return {{}, std::string(kSettingName) + why + ": no headset"};
}

DeviceChoice _One(int index, const std::string& why)
{
    return {{index}, std::string(kSettingName) + why};
}

template <class Matches>
DeviceChoice _FirstWhere(const std::vector<ProbeEntry>& probe, Matches matches,
                         const std::string& found, const std::string& missing)
{
    for (size_t i = 0; i < probe.size(); ++i) {
        if (matches(probe[i])) {
            return _One(static_cast<int>(i), found);
        }
    }
    return _None(missing);
}

DeviceChoice _ByDefault(const std::vector<ProbeEntry>& probe)
{
    DeviceChoice choice;
    for (size_t i = 0; i < probe.size(); ++i) {
        if (probe[i].deviceClass == OHMD_DEVICE_CLASS_HMD &&
            StandInOf(probe[i]) == StandIn::kNone) {
            choice.candidates.push_back(static_cast<int>(i));
        }
    }
    choice.reason = choice.candidates.empty()
                        ? "no head-mounted device but OpenHMD's stand-ins: no headset"
                        : "the first head-mounted device that is not one of OpenHMD's stand-ins";
    return choice;
}

} // namespace

StandIn StandInOf(const ProbeEntry& entry)
{
    if (entry.flags & OHMD_DEVICE_FLAGS_NULL_DEVICE) {
        return StandIn::kNull;
    }
    if (entry.vendor == "OpenHMD") {
        return entry.product == "External Device" ? StandIn::kExternal : StandIn::kOther;
    }
    return StandIn::kNone;
}

DeviceChoice ChooseDevice(const std::vector<ProbeEntry>& probe, const char* setting)
{
    if (setting == nullptr) {
        return _ByDefault(probe);
    }
    const std::string text(setting, strnlen(setting, kMaxSettingLength + 1));
    if (text.empty()) {
        return _None(" is empty");
    }
    if (text.size() > kMaxSettingLength || !_IsPlainText(text)) {
        return _None(" is neither an index nor a plain name");
    }
    const std::string wanted = _Lowered(text);
    if (wanted == "null") {
        return _FirstWhere(
            probe,
            [](const ProbeEntry& e) {
                return StandInOf(e) == StandIn::kNull && e.deviceClass == OHMD_DEVICE_CLASS_HMD;
            },
            "=null: OpenHMD's Null device", "=null, but OpenHMD lists no Null device");
    }
    if (wanted == "external") {
        return _FirstWhere(
            probe, [](const ProbeEntry& e) { return StandInOf(e) == StandIn::kExternal; },
            "=external: OpenHMD's External device",
            "=external, but OpenHMD lists no External device");
    }
    if (_IsDigits(text)) {
        const size_t index = text.size() <= kMaxIndexDigits ? std::stoul(text) : probe.size();
        if (index >= probe.size()) {
            return _None("=" + text + ", not an index of the probe");
        }
        return _One(static_cast<int>(index), "=" + text + ": the device of that index");
    }
    if ((text[0] == '-' || text[0] == '+') && _IsDigits(text.substr(1))) {
        return _None("=" + text + ", not an index of the probe");
    }
    return _FirstWhere(
        probe,
        [&](const ProbeEntry& e) { return _Lowered(e.product).find(wanted) != std::string::npos; },
        "=" + text + ": the first device whose product name holds it",
        "=" + text + ", but no device's product name holds it");
}

} // namespace OpenHmdHeadset
