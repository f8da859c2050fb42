#include "Support/KeptClient.h"

#include "Support/Elapsed.h"

#include <algorithm>

namespace TalmexTest {

namespace {
constexpr int kRequestIntervalMilliseconds = 100;
}

KeptClient::KeptClient(uint32_t clientToken, const char* address)
    : _client(address), _clientToken(clientToken)
{
}

std::optional<Bytes> KeptClient::Connect(uint16_t port)
{
    _port = port;
    return ConnectTo(_client, port, _NextRequest());
}

int KeptClient::ReceiveFor(int milliseconds, const std::function<void(const Bytes&)>& onReport)
{
    const Clock::time_point start = Clock::now();
    Clock::time_point lastRequest = start;
    int reports = 0;
    for (int elapsed = 0; elapsed < milliseconds; elapsed = MillisecondsSince(start)) {
        if (MillisecondsSince(lastRequest) >= kRequestIntervalMilliseconds) {
            _client.Send(_NextRequest(), _port);
            lastRequest = Clock::now();
        }
        const int wait = std::min(kRequestIntervalMilliseconds - MillisecondsSince(lastRequest),
                                  milliseconds - elapsed);
        if (const std::optional<Bytes> report = _client.Receive(std::max(wait, 0))) {
            onReport(*report);
            ++reports;
        }
    }
    return reports;
}

Bytes KeptClient::_NextRequest()
{
    return RequestOf(RequestHeader{_clientToken, 0, ++_sequence}, _wishes);
}

} // namespace TalmexTest
