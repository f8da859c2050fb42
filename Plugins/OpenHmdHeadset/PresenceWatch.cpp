#include "PresenceWatch.h"

#include <hidapi.h>

#include <fstream>

namespace OpenHmdHeadset {

namespace {

// hidapi's libusb paths begin with the device's place on the bus
// ("1-2.3:1.0"), which sysfs knows by the same name: its vendor and product
// narrow each enumeration to the device itself.
bool _IdsFromSystem(const std::string& path, unsigned short& vendor, unsigned short& product)
{
    const std::string place = path.substr(0, path.find(':'));
    if (place.empty() || place.find_first_not_of("0123456789.-") != std::string::npos) {
        return false;
    }
    const std::string folder = "/sys/bus/usb/devices/" + place + "/";
    std::ifstream vendorFile(folder + "idVendor");
    std::ifstream productFile(folder + "idProduct");
    return static_cast<bool>(vendorFile >> std::hex >> vendor) &&
           static_cast<bool>(productFile >> std::hex >> product);
}

bool _IsEnumerated(unsigned short vendor, unsigned short product, const std::string& path)
{
    hid_device_info* devices = hid_enumerate(vendor, product);
    const bool listed = IsListed(devices, path);
    hid_free_enumeration(devices);
    return listed;
}

} // namespace

PresenceWatch::PresenceWatch(std::function<bool()> isThere, std::chrono::milliseconds interval)
    : _isThere(std::move(isThere)), _interval(interval), _thread([this] { _Run(); })
{
}

PresenceWatch::~PresenceWatch()
{
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _isStopping = true;
    }
    _wake.notify_one();
    _thread.join();
}

void PresenceWatch::_Run()
{
    std::unique_lock<std::mutex> lock(_mutex);
    while (!_wake.wait_for(lock, _interval, [this] { return _isStopping; })) {
        lock.unlock();
        const bool isThere = _isThere();
        lock.lock();
        if (!isThere) {
            _isGone.store(true, std::memory_order_release);
            return;
        }
    }
}

bool IsListed(const hid_device_info* devices, const std::string& path)
{
    for (const hid_device_info* d = devices; d != nullptr; d = d->next) {
        if (d->path != nullptr && path == d->path) {
            return true;
        }
    }
    return false;
}

std::function<bool()> HidPresence(const std::string& path)
{
    // Vendor and product 0 list every HID device.
    struct Ids {
        unsigned short vendor = 0, product = 0;
        bool isKnown = false;
    };
    return [path, ids = Ids()]() mutable {
        if (!ids.isKnown) {
            ids.isKnown = true;
            if (!_IdsFromSystem(path, ids.vendor, ids.product) ||
                !_IsEnumerated(ids.vendor, ids.product, path)) {
                ids.vendor = ids.product = 0;
            }
        }
        return _IsEnumerated(ids.vendor, ids.product, path);
    };
}

} // namespace OpenHmdHeadset
