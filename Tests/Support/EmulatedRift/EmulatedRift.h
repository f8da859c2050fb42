#pragma once

// What a test asks the preloaded emulated headset, found by name with dlsym
// so that a program that runs without the emulation can tell.
extern "C" {

// Seconds of sensor time, since the newest open of the device, of the newest
// sample that hid_read handed out on it: the time at which the motion's truth
// matches what a driver has read.
double TalmexEmulatedRiftSensorTime(void);
}

namespace TalmexTest {
constexpr const char* kEmulatedRiftSensorTime = "TalmexEmulatedRiftSensorTime";
// Where hidapi's libusb back end would list the device: bus, address,
// interface.
constexpr const char* kEmulatedRiftPath = "0001:0002:00";
} // namespace TalmexTest
