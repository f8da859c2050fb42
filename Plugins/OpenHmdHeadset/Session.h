#pragma once

#include "DeviceChoice.h"
#include "DisplayMapping.h"
#include "ExternalFeed.h"
#include "OrientationTracker.h"
#include "PresenceWatch.h"

#include <openhmd.h>

#include <memory>
#include <string>
#include <vector>

namespace OpenHmdHeadset {

// The headset from the moment a host takes it to the moment it lets go: the
// OpenHMD context, the device chosen and opened, and what the plug-in keeps
// of it. Every call comes from the agent's one service thread.
class Session {
public:
    ~Session() { Close(); }

    // Probes, chooses and opens a device. setting: TALMEX_OPENHMD_DEVICE;
    // replayPath: TALMEX_REPLAY, fed to the External device. Each may be null.
    bool Open(const char* setting, const char* replayPath, double now);
    void Close();
    // One update: feeds and ticks OpenHMD, reads the orientation. False, with
    // the device closed, once the device has gone.
    bool Update(double now);

    bool IsOpen() const { return _device != nullptr; }
    // True once, at the first update after the device opened.
    bool TakeStarted();

    const Display& GetDisplay() const { return _display; }
    const ProbeEntry& Entry() const { return _entry; }
    const std::vector<ProbeEntry>& LastProbe() const { return _probe; }
    const DeviceChoice& LastChoice() const { return _choice; }
    OrientationTracker& Tracker() { return _tracker; }
    // The External device's feed, or null.
    const ExternalFeed* Feed() const { return _feed.get(); }

private:
    bool _OpenFirstWithDisplay(const std::vector<int>& candidates);

    ohmd_context* _context = nullptr;
    ohmd_device* _device = nullptr;
    std::vector<ProbeEntry> _probe;
    DeviceChoice _choice;
    ProbeEntry _entry;
    Display _display;
    OrientationTracker _tracker;
    std::unique_ptr<ExternalFeed> _feed;
    std::unique_ptr<PresenceWatch> _watch;
    bool _isStarted = false;
};

// The plug-in's one session, which the entry points drive.
Session& TheSession();

} // namespace OpenHmdHeadset
