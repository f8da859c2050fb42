#pragma once

#include <cstdint>

namespace Talmex {
namespace Client {

struct Counters {
    uint64_t reportsReceived = 0;
    // Gaps in the report sequence of a session.
    uint64_t reportsLost = 0;
    // Datagrams that failed a check (size, magic, count word, tokens, order).
    uint64_t reportsRejected = 0;
    uint64_t requestsSent = 0;
    // Requests that a report confirmed as accepted.
    uint64_t requestsAccepted = 0;
    // Sessions the agent opened for this client; more than one means the
    // agent dropped the channel and admitted it again.
    uint64_t sessions = 0;
    // Reports per second over the last full second.
    double reportRate = 0;
};

} // namespace Client
} // namespace Talmex
