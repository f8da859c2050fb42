#pragma once

#include "Client/Counters.h"
#include "Client/WishList.h"
#include "Protocol/Header.h"

#include <cstdint>

namespace Talmex {
namespace Client {

// Follows the agent's session through the headers of its reports: which
// session serves this client, which of its reports came last, and which of
// the client's requests it accepted last. Decides which reports the client
// takes, counts them, and tells the wish list what the agent confirmed.
class SessionTracker {
public:
    // A report that is not later than the newest is refused, except the last
    // of a run of this many in a row, which becomes the newest. So a report
    // that jumped ahead (a forged one) silences the session for a few cycles
    // of the agent, not for good; real networks reorder or repeat a datagram
    // or two, never this many in a row.
    static constexpr uint32_t kResyncRun = 8;

    explicit SessionTracker(uint32_t clientToken) : _clientToken(clientToken) {}

    uint32_t ClientToken() const { return _clientToken; }
    // The session the reports come from, 0 before the first.
    uint32_t SessionToken() const { return _sessionToken; }

    // Forgets every session, for a new connection with fresh counters.
    void Reset();
    // True when the client takes the report; counts it either way.
    bool Take(const Protocol::ReportHeader& header, Counters& counters, WishList& wishes);

private:
    uint32_t _clientToken;
    uint32_t _sessionToken = 0;
    uint32_t _newest = 0;
    uint32_t _lastAccepted = 0;
    uint32_t _outOfOrderRun = 0;
};

} // namespace Client
} // namespace Talmex
