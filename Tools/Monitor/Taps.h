#pragma once

#include "Client/Client.h"
#include "Monitor/Options.h"
#include "Monitor/PoseBridge.h"
#include "Monitor/Recorder.h"

#include <memory>
#include <string>

namespace Talmex {
namespace Monitor {

// What the monitor does with every report besides showing it: records it
// (--record) and passes the head's pose on to a hub (--opentrack).
class Taps {
public:
    // Opens what the options ask for; false, with the reason, when it cannot.
    bool Open(const Options& options, std::string& error);
    // True when each report is wanted as soon as it arrives: the hub needs
    // the pose at once, whereas the recording learns each report's arrival
    // from the kernel and can wait for the next frame.
    bool WantsEachReportAtOnce() const { return _bridge != nullptr; }
    // Hands each report the client accepts to the recorder and the bridge.
    void Attach(Client::Client& client);

    // What they have done so far, for the view and the plain lines; empty
    // when nothing is tapped.
    std::string Describe() const;
    // Why the recording is in trouble, or empty while it is not.
    std::string Trouble() const;

    // Finishes the recording, synced to the disk; false when it could not be
    // written whole. summary says what was done, one line for each tap.
    bool Close(std::string& summary);

private:
    std::unique_ptr<Recorder> _recorder;
    std::unique_ptr<PoseBridge> _bridge;
    std::string _bridgeTarget;
};

} // namespace Monitor
} // namespace Talmex
