#include "Session.h"

#include "OpenDevice.h"
#include "Probe.h"

namespace OpenHmdHeadset {

namespace {

// OpenHMD's stand-ins have no path on any bus.
constexpr char kNoPath[] = "(none)";

} // namespace

bool Session::Open(const char* setting, const char* replayPath, double now)
{
    Close();
    _context = ohmd_ctx_create();
    if (_context == nullptr) {
        return false;
    }
    _probe = Probe(_context);
    _choice = ChooseDevice(_probe, setting);
    if (!_OpenFirstWithDisplay(_choice.candidates)) {
        Close();
        return false;
    }
    if (StandInOf(_entry) == StandIn::kExternal && replayPath != nullptr) {
        std::string error;
        _feed = ExternalFeed::Load(replayPath, error);
        if (!_feed) {
            Close();
            return false;
        }
        _feed->Start(now);
    }
    if (StandInOf(_entry) == StandIn::kNone && _entry.path != kNoPath) {
        _watch = std::make_unique<PresenceWatch>(HidPresence(_entry.path));
    }
    _isStarted = true;
    return true;
}

bool Session::_OpenFirstWithDisplay(const std::vector<int>& candidates)
{
    for (int index : candidates) {
        _device = OpenWithoutUpdateThread(_context, index);
        if (_device == nullptr) {
            continue;
        }
        _entry = _probe[static_cast<size_t>(index)];
        if (ReadDisplay(_device, _entry, _display)) {
            return true;
        }
        ohmd_close_device(_device);
        _device = nullptr;
    }
    return false;
}

void Session::Close()
{
    // The watch stops first: closing the context ends the HID layer it asks.
    _watch.reset();
    _feed.reset();
    if (_device != nullptr) {
        ohmd_close_device(_device);
        _device = nullptr;
    }
    if (_context != nullptr) {
        ohmd_ctx_destroy(_context);
        _context = nullptr;
    }
    _tracker.Clear();
    _isStarted = false;
}

bool Session::Update(double now)
{
    if (_device == nullptr) {
        return false;
    }
    // An unplugged device is never updated again: its driver would print an
    // error each time. It stays closed until the host takes the headset anew.
    if (_watch && _watch->IsGone()) {
        Close();
        return false;
    }
    double measured = now;
    if (_feed) {
        _feed->FeedUpTo(now, _device);
        if (!_feed->HasFed()) {
            return true;
        }
        measured = _feed->LastFedSeconds();
    }
    ohmd_ctx_update(_context);
    float xyzw[4] = {0, 0, 0, 1};
    if (ohmd_device_getf(_device, OHMD_ROTATION_QUAT, xyzw) == OHMD_S_OK) {
        _tracker.Add(measured, xyzw);
    }
    return true;
}

Session& TheSession()
{
    static Session session;
    return session;
}

bool Session::TakeStarted()
{
    const bool started = _isStarted;
    _isStarted = false;
    return started;
}

} // namespace OpenHmdHeadset
