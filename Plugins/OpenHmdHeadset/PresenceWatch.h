#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct hid_device_info;

namespace OpenHmdHeadset {

// OpenHMD 0.3.0 says nothing when a headset is unplugged: its driver prints
// an error on every update, the orientation freezes and the device never
// recovers. A headset at rest holds still too, so the motion cannot tell;
// the HID layer can: the device's path leaves its list.
//
// The watch asks on a thread of its own, started when a device opens and
// joined when it closes: an enumeration takes milliseconds and allocates,
// and the agent's service cycle is 2 ms and must not allocate. The thread
// only asks and sets a flag; the service thread reads the flag and closes
// the device itself.
class PresenceWatch {
public:
    static constexpr std::chrono::milliseconds kInterval{200};

    // Calls isThere on its thread every interval until it answers false.
    PresenceWatch(std::function<bool()> isThere, std::chrono::milliseconds interval = kInterval);
    ~PresenceWatch();

    PresenceWatch(const PresenceWatch&) = delete;
    PresenceWatch& operator=(const PresenceWatch&) = delete;

    bool IsGone() const { return _isGone.load(std::memory_order_acquire); }

private:
    void _Run();

    const std::function<bool()> _isThere;
    const std::chrono::milliseconds _interval;
    std::mutex _mutex;
    std::condition_variable _wake;
    bool _isStopping = false;
    std::atomic<bool> _isGone{false};
    std::thread _thread;
};

// Whether a HID enumeration lists the path.
bool IsListed(const hid_device_info* devices, const std::string& path);

// Asks hidapi, the HID layer OpenHMD opens devices through (so that a
// stand-in for hidapi is asked too), whether the path is still listed.
std::function<bool()> HidPresence(const std::string& path);

} // namespace OpenHmdHeadset
