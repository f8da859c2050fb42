// An emulated headset at the HID boundary: this library defines the hidapi
// functions that OpenHMD calls, and preloaded (LD_PRELOAD) it stands in for
// the hidapi library, so that OpenHMD's own driver runs against a first
// development kit of the Rift that moves as a test says
// (EmulatedRiftSettings.h), with nothing else changed. One device, on one
// path; any number of handles may be open on it. The tracker stream follows
// CLOCK_MONOTONIC: samples fall due at 1 kHz from the open, and hid_read
// hands them out without waiting longer than asked. The device takes the
// driver's configuration and keep-alive reports, and reads the configuration
// back as written, but its stream does not stop for want of a keep-alive.

#include "EmulatedRift.h"
#include "EmulatedRiftSettings.h"
#include "TrackerStream.h"

#include <hidapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>
#include <time.h>

#define TALMEX_EXPORT extern "C" __attribute__((visibility("default")))

using namespace TalmexTest;

struct hid_device_ {
    hid_device_(const EmulatedRiftMotion& motion, int64_t opened) : stream(motion), openedAt(opened)
    {
    }

    TrackerStream stream;
    int64_t openedAt; // nanoseconds, CLOCK_MONOTONIC
    bool isBlocking = true;
    Rift::SensorConfig config = Rift::kPowerUpSensorConfig;
};

namespace {

constexpr const wchar_t* kManufacturer = L"Oculus VR, Inc.";
constexpr const wchar_t* kProduct = L"Rift DK1 (emulated)";
constexpr const wchar_t* kSerialNumber = L"TALMEXEMULATED1";

std::mutex _mutex;
EmulatedRiftSettings _settings;
bool _hasTimeline = false;
int64_t _firstOpen = 0;
const hid_device* _newest = nullptr;
double _newestSensorTime = 0;

int64_t _Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Seconds since the first open; 0 before it.
double _Timeline(int64_t at)
{
    return _hasTimeline ? static_cast<double>(at - _firstOpen) * 1e-9 : 0;
}

bool _IsListed()
{
    return _settings.IsPluggedAt(_Timeline(_Now()));
}

bool _IsReachable(const hid_device* device)
{
    return device != nullptr &&
           _settings.IsReachable(_Timeline(device->openedAt), _Timeline(_Now()));
}

int _CopyString(const wchar_t* text, wchar_t* out, size_t capacity)
{
    if (out == nullptr || capacity == 0) {
        return -1;
    }
    std::wcsncpy(out, text, capacity - 1);
    out[capacity - 1] = L'\0';
    return 0;
}

void _LogOpen(int64_t at)
{
    const char* path = std::getenv("TALMEX_EMULATED_RIFT_OPEN_LOG");
    if (std::FILE* log = path != nullptr ? std::fopen(path, "a") : nullptr) {
        std::fprintf(log, "%lld\n", static_cast<long long>(at));
        std::fclose(log);
    }
}

// The next due message into data; 0 when none is due, -1 when the device is
// gone.
int _TakeMessage(hid_device* device, unsigned char* data, size_t length)
{
    if (!_IsReachable(device)) {
        return -1;
    }
    Rift::TrackerMessage message;
    if (!device->stream.Next(_Now() - device->openedAt, &message)) {
        return 0;
    }
    message.lastCommandId = device->config.commandId;
    unsigned char report[Rift::kTrackerSensorsSize];
    Rift::EncodeTrackerSensors(message, report);
    const size_t size = std::min(length, sizeof report);
    std::memcpy(data, report, size);
    if (device == _newest) {
        _newestSensorTime = device->stream.SensorTime();
    }
    return static_cast<int>(size);
}

} // namespace

TALMEX_EXPORT int hid_init(void)
{
    return 0;
}

TALMEX_EXPORT int hid_exit(void)
{
    return 0;
}

TALMEX_EXPORT hid_device_info* hid_enumerate(unsigned short vendorId, unsigned short productId)
{
    std::lock_guard<std::mutex> lock(_mutex);
    const bool isWanted = (vendorId == 0 || vendorId == Rift::kVendorId) &&
                          (productId == 0 || productId == Rift::kProductId);
    if (!isWanted || !_IsListed()) {
        return nullptr;
    }
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    if (info == nullptr) {
        return nullptr;
    }
    info->path = strdup(kEmulatedRiftPath);
    info->vendor_id = Rift::kVendorId;
    info->product_id = Rift::kProductId;
    info->serial_number = wcsdup(kSerialNumber);
    info->manufacturer_string = wcsdup(kManufacturer);
    info->product_string = wcsdup(kProduct);
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    if (info->path == nullptr || info->serial_number == nullptr ||
        info->manufacturer_string == nullptr || info->product_string == nullptr) {
        hid_free_enumeration(info);
        return nullptr;
    }
    return info;
}

TALMEX_EXPORT void hid_free_enumeration(hid_device_info* devices)
{
    while (devices != nullptr) {
        hid_device_info* next = devices->next;
        std::free(devices->path);
        std::free(devices->serial_number);
        std::free(devices->manufacturer_string);
        std::free(devices->product_string);
        std::free(devices);
        devices = next;
    }
}

TALMEX_EXPORT hid_device* hid_open_path(const char* path)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (path == nullptr || std::strcmp(path, kEmulatedRiftPath) != 0) {
        return nullptr;
    }
    std::string refusals;
    const EmulatedRiftSettings settings = ReadEmulatedRiftSettings(std::getenv, &refusals);
    const int64_t now = _Now();
    if (!_hasTimeline) {
        _settings = settings;
        _hasTimeline = true;
        _firstOpen = now;
        std::fputs(refusals.c_str(), stderr);
    }
    if (!_IsListed()) {
        return nullptr;
    }
    auto* device = new (std::nothrow) hid_device(settings.motion, now);
    if (device == nullptr) {
        return nullptr;
    }
    _newest = device;
    _newestSensorTime = 0;
    _LogOpen(now);
    return device;
}

TALMEX_EXPORT void hid_close(hid_device* device)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (device == _newest) {
        _newest = nullptr;
    }
    delete device;
}

TALMEX_EXPORT int hid_set_nonblocking(hid_device* device, int isNonblocking)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (!_IsReachable(device)) {
        return -1;
    }
    device->isBlocking = isNonblocking == 0;
    return 0;
}

// Waits for the next sample at most milliseconds (-1: until it is due, at
// most a sample period away).
TALMEX_EXPORT int hid_read_timeout(hid_device* device, unsigned char* data, size_t length,
                                   int milliseconds)
{
    if (data == nullptr || length == 0) {
        return -1;
    }
    std::unique_lock<std::mutex> lock(_mutex);
    int result = _TakeMessage(device, data, length);
    if (result != 0 || milliseconds == 0) {
        return result;
    }
    int64_t wait = device->openedAt + device->stream.NextDue() - _Now();
    if (milliseconds > 0) {
        wait = std::min<int64_t>(wait, static_cast<int64_t>(milliseconds) * 1000000);
    }
    lock.unlock();
    if (wait > 0) {
        const timespec pause{static_cast<time_t>(wait / 1000000000),
                             static_cast<long>(wait % 1000000000)};
        nanosleep(&pause, nullptr);
    }
    lock.lock();
    return _TakeMessage(device, data, length);
}

TALMEX_EXPORT int hid_read(hid_device* device, unsigned char* data, size_t length)
{
    bool isBlocking = false;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        isBlocking = device != nullptr && device->isBlocking;
    }
    return hid_read_timeout(device, data, length, isBlocking ? -1 : 0);
}

// The device takes no output reports.
TALMEX_EXPORT int hid_write(hid_device*, const unsigned char*, size_t)
{
    return -1;
}

TALMEX_EXPORT int hid_send_feature_report(hid_device* device, const unsigned char* data,
                                          size_t length)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (!_IsReachable(device) || data == nullptr || length == 0) {
        return -1;
    }
    if (data[0] == Rift::kSensorConfigId && length >= Rift::kSensorConfigSize) {
        device->config = Rift::DecodeSensorConfig(data);
    } else if (data[0] == Rift::kKeepAliveId && length >= Rift::kKeepAliveSize) {
        const Rift::KeepAlive keepAlive = Rift::DecodeKeepAlive(data);
        device->config.commandId = keepAlive.commandId;
        device->config.keepAliveInterval = keepAlive.interval;
    } else {
        return -1;
    }
    return static_cast<int>(length);
}

TALMEX_EXPORT int hid_get_feature_report(hid_device* device, unsigned char* data, size_t length)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (!_IsReachable(device) || data == nullptr || length == 0) {
        return -1;
    }
    unsigned char report[Rift::kDisplayInfoSize];
    size_t size = 0;
    switch (data[0]) {
    case Rift::kSensorConfigId:
        Rift::EncodeSensorConfig(device->config, report);
        size = Rift::kSensorConfigSize;
        break;
    case Rift::kRangeId:
        Rift::EncodeRange(Rift::kRange, report);
        size = Rift::kRangeSize;
        break;
    case Rift::kDisplayInfoId:
        Rift::EncodeDisplayInfo(Rift::kDisplay, report);
        size = Rift::kDisplayInfoSize;
        break;
    default:
        return -1;
    }
    // Each report at its own length, cut to the caller's buffer.
    size = std::min(size, length);
    std::memcpy(data, report, size);
    return static_cast<int>(size);
}

TALMEX_EXPORT int hid_get_manufacturer_string(hid_device* device, wchar_t* string, size_t capacity)
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _IsReachable(device) ? _CopyString(kManufacturer, string, capacity) : -1;
}

TALMEX_EXPORT int hid_get_product_string(hid_device* device, wchar_t* string, size_t capacity)
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _IsReachable(device) ? _CopyString(kProduct, string, capacity) : -1;
}

TALMEX_EXPORT int hid_get_serial_number_string(hid_device* device, wchar_t* string, size_t capacity)
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _IsReachable(device) ? _CopyString(kSerialNumber, string, capacity) : -1;
}

TALMEX_EXPORT double TalmexEmulatedRiftSensorTime(void)
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _newestSensorTime;
}
