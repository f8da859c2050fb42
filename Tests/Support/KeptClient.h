#pragma once

#include "Support/ProtocolBytes.h"
#include "Support/UdpClient.h"

#include <functional>
#include <optional>

namespace TalmexTest {

// A client that keeps its channel as docs/protocol.md advises: a request every
// 100 ms, each with the next sequence number and the same wishes.
class KeptClient {
public:
    explicit KeptClient(uint32_t clientToken, const char* address = "127.0.0.1");

    // What every request asks for; a changed counter is acted on once.
    Wishes& RequestWishes() { return _wishes; }
    // The sequence number of the last request sent.
    uint32_t Sequence() const { return _sequence; }
    // The first report, or nothing when the agent did not answer.
    std::optional<Bytes> Connect(uint16_t port = kFirstPort);
    // Receives for about the given time, keeping the channel, and hands on
    // every report; gives how many came.
    int ReceiveFor(int milliseconds, const std::function<void(const Bytes&)>& onReport);

private:
    Bytes _NextRequest();

    UdpClient _client;
    uint16_t _port = kFirstPort;
    uint32_t _clientToken;
    uint32_t _sequence = 0;
    Wishes _wishes;
};

} // namespace TalmexTest
