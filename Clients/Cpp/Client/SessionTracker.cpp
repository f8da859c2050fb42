#include "Client/SessionTracker.h"

namespace Talmex {
namespace Client {

void SessionTracker::Reset()
{
    _sessionToken = 0;
    _newest = 0;
    _lastAccepted = 0;
    _outOfOrderRun = 0;
}

bool SessionTracker::Take(const Protocol::ReportHeader& header, Counters& counters,
                          WishList& wishes)
{
    // The agent never sends sequence 0, nor another client's token.
    if (header.sequence == 0 || (header.clientToken != 0 && header.clientToken != _clientToken)) {
        ++counters.reportsRejected;
        return false;
    }
    if (counters.sessions == 0 || header.sessionToken != _sessionToken) {
        if (counters.sessions != 0) {
            wishes.StartSession();
        }
        ++counters.sessions;
        _sessionToken = header.sessionToken;
        _lastAccepted = 0;
    } else if (Protocol::IsLaterSequence(header.sequence, _newest)) {
        counters.reportsLost += Protocol::LostBetween(_newest, header.sequence);
    } else if (++_outOfOrderRun < kResyncRun) {
        ++counters.reportsRejected;
        return false;
    }
    _outOfOrderRun = 0;
    _newest = header.sequence;
    ++counters.reportsReceived;
    if (header.clientToken == _clientToken && header.lastRequestSequence != _lastAccepted) {
        _lastAccepted = header.lastRequestSequence;
        ++counters.requestsAccepted;
        wishes.Accepted(header.lastRequestSequence);
    }
    return true;
}

} // namespace Client
} // namespace Talmex
