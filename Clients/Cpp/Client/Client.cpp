#include "Client/Client.h"

#include "Client/KernelStamp.h"
#include "Protocol/Header.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace Talmex {
namespace Client {

namespace {

using Clock = Client::Clock;
using std::chrono::milliseconds;

constexpr milliseconds kBindTime{1000};
constexpr milliseconds kBindPoll{5};
constexpr milliseconds kRateWindow{1000};

// Any token but 0, which the agent reads as "none latched yet".
uint32_t _NewClientToken()
{
    std::random_device random;
    uint32_t token = 0;
    while (token == 0) {
        token = random();
    }
    return token;
}

// Receives one datagram, as recv does, and says when the kernel took it in,
// on the client's clock; the time of the call where the kernel gives none.
ssize_t _ReceiveStamped(int socket, unsigned char* buffer, size_t size, Clock::time_point& received)
{
    std::optional<timespec> arrived;
    const ssize_t length = ReceiveStamped(socket, buffer, size, MSG_DONTWAIT | MSG_TRUNC, arrived);
    received = Clock::now();
    if (arrived) {
        // The kernel's stamp is wall-clock time: its age moves to our clock.
        timespec wall;
        clock_gettime(CLOCK_REALTIME, &wall);
        const auto age = std::chrono::seconds(wall.tv_sec - arrived->tv_sec) +
                         std::chrono::nanoseconds(wall.tv_nsec - arrived->tv_nsec);
        received -=
            std::max(std::chrono::duration_cast<Clock::duration>(age), Clock::duration::zero());
    }
    return length;
}

} // namespace

const char* Describe(Status status)
{
    switch (status) {
    case Status::kIdle:
        return "not connected";
    case Status::kConnecting:
        return "waiting for the first report";
    case Status::kServing:
        return "serving";
    case Status::kNotAnswering:
        return "agent not answering";
    case Status::kAgentExited:
        return "agent exited";
    case Status::kFailed:
        return "agent not started";
    }
    return "unknown";
}

Client::Client() : _session(_NewClientToken()) {}

Client::~Client()
{
    Stop();
}

bool Client::Spawn(const std::string& agentPath, const std::string& headset)
{
    Stop();
    std::string error;
    if (!_agent.Start(agentPath, headset, error)) {
        return _Fail(Status::kFailed, error);
    }
    const Clock::time_point deadline = Clock::now() + kBindTime;
    while (Clock::now() < deadline) {
        if (_agent.HasExited()) {
            return _Fail(Status::kAgentExited, "the agent " + _agent.ExitDescription());
        }
        if (const uint16_t port = _agent.BoundPort()) {
            return _Connect(htonl(INADDR_LOOPBACK), port);
        }
        usleep(static_cast<useconds_t>(std::chrono::microseconds(kBindPoll).count()));
    }
    _agent.Stop();
    return _Fail(Status::kFailed,
                 "the agent bound none of the ports 20962-20964 within a second: are they taken?");
}

bool Client::Attach(const std::string& host, uint16_t port)
{
    Stop();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        return _Fail(Status::kFailed, "cannot resolve " + host + ": " + gai_strerror(result));
    }
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return _Connect(address, port);
}

bool Client::_Connect(uint32_t address, uint16_t port)
{
    _socket = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    sockaddr_in agent{};
    agent.sin_family = AF_INET;
    agent.sin_addr.s_addr = address;
    agent.sin_port = htons(port);
    // Connected, the socket takes datagrams from the agent's address alone;
    // stamped by the kernel, it tells observers when each report arrived.
    if (_socket == -1 || !EnableKernelStamps(_socket) ||
        connect(_socket, reinterpret_cast<const sockaddr*>(&agent), sizeof agent) != 0) {
        const std::string reason = std::strerror(errno);
        Stop();
        return _Fail(Status::kFailed, "cannot open a socket to the agent: " + reason);
    }
    _port = port;
    _status = Status::kConnecting;
    _error.clear();
    _counters = Counters();
    _session.Reset();
    const Clock::time_point now = Clock::now();
    _connectedAt = now;
    _rateWindowStart = now;
    _Send(now);
    return true;
}

void Client::Stop()
{
    _agent.Stop();
    if (_socket != -1) {
        close(_socket);
        _socket = -1;
    }
    _status = Status::kIdle;
}

bool Client::_Fail(Status status, const std::string& error)
{
    _status = status;
    _error = error;
    return false;
}

void Client::ResetOrientation(int sensor)
{
    _wishes.ResetOrientation(sensor);
    _Send(Clock::now());
}

void Client::SetPredictionTime(int sensor, float seconds)
{
    _wishes.SetPredictionTime(sensor, seconds);
    _Send(Clock::now());
}

void Client::SetYawCorrection(int sensor, bool enable)
{
    _wishes.SetYawCorrection(sensor, enable);
    _Send(Clock::now());
}

void Client::SetMagYawCorrection(int sensor, bool enable)
{
    _wishes.SetMagYawCorrection(sensor, enable);
    _Send(Clock::now());
}

void Client::FeedLatencyTester()
{
    _wishes.FeedLatencyTester();
    _Send(Clock::now());
}

bool Client::Poll(HeadsetState& state, size_t maxReports)
{
    if (_socket == -1) {
        return false;
    }
    const Clock::time_point now = Clock::now();
    bool updated = false;
    _Receive(state, updated, maxReports, now);
    _SendDue(now);
    _UpdateStatus(now);
    return updated;
}

bool Client::Wait(HeadsetState& state, milliseconds timeout, size_t maxReports)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        if (Poll(state, maxReports)) {
            return true;
        }
        const Clock::time_point now = Clock::now();
        if (_socket == -1 || _status == Status::kAgentExited || now >= deadline) {
            return false;
        }
        // Wake for the next request that falls due, at the latest.
        const milliseconds left = std::chrono::duration_cast<milliseconds>(deadline - now);
        pollfd ready = {_socket, POLLIN, 0};
        poll(&ready, 1, static_cast<int>(std::min(left, kRetryInterval).count()) + 1);
    }
}

std::chrono::milliseconds Client::NewestReportAge() const
{
    if (_counters.reportsReceived == 0) {
        return milliseconds(-1);
    }
    return std::chrono::duration_cast<milliseconds>(Clock::now() - _newestReport);
}

void Client::_Receive(HeadsetState& state, bool& updated, size_t maxReports, Clock::time_point now)
{
    // One byte more than a report, so that a longer datagram shows as such.
    unsigned char datagram[Protocol::ReportLayout::kSize + 1];
    for (size_t datagrams = 0, reports = 0; reports < maxReports && datagrams < kDatagramsPerPoll;
         ++datagrams) {
        Clock::time_point received;
        const ssize_t size = _ReceiveStamped(_socket, datagram, sizeof datagram, received);
        if (size < 0) {
            if (errno == ECONNREFUSED) {
                // The agent's port is closed: nobody serves there now.
                _error = "nothing listens on the agent's port";
                _status = Status::kNotAnswering;
                continue;
            }
            return;
        }
        HeadsetState report;
        if (Protocol::DecodeReport(datagram, static_cast<size_t>(size), report) !=
            Protocol::ReportCheck::kValid) {
            ++_counters.reportsRejected;
            continue;
        }
        if (!_session.Take(report.header, _counters, _wishes)) {
            continue;
        }
        if (_observer) {
            _observer(report, datagram, static_cast<size_t>(size), received);
        }
        state = report;
        updated = true;
        ++reports;
        ++_rateWindowReports;
        _newestReport = now;
    }
}

void Client::_SendDue(Clock::time_point now)
{
    const milliseconds interval =
        _wishes.HasUnconfirmedChange() ? kRetryInterval : kKeepAliveInterval;
    if (now - _lastSent >= interval) {
        _Send(now);
    }
}

void Client::_Send(Clock::time_point now)
{
    if (_socket == -1) {
        return;
    }
    _sequence = Protocol::NextSequence(_sequence);
    _request.header.clientToken = _session.ClientToken();
    _request.header.sessionToken = _session.SessionToken();
    _request.header.sequence = _sequence;
    _request.wishes = _wishes.Current();
    _stream.Clear();
    Protocol::WriteRequest(_request, _writer, _stream);
    send(_socket, _stream.Data(), _stream.Size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    ++_counters.requestsSent;
    _wishes.Sent(_sequence);
    _lastSent = now;
}

void Client::_UpdateStatus(Clock::time_point now)
{
    if (now - _rateWindowStart >= kRateWindow) {
        const std::chrono::duration<double> window = now - _rateWindowStart;
        _counters.reportRate = static_cast<double>(_rateWindowReports) / window.count();
        _rateWindowReports = 0;
        _rateWindowStart = now;
    }
    if (_agent.IsStarted() && _agent.HasExited()) {
        _Fail(Status::kAgentExited, "the agent " + _agent.ExitDescription());
        return;
    }
    const Clock::time_point lastSign =
        _counters.reportsReceived == 0 ? _connectedAt : _newestReport;
    if (now - lastSign > kAnswerTime) {
        _status = Status::kNotAnswering;
    } else if (_counters.reportsReceived != 0) {
        _status = Status::kServing;
    }
}

} // namespace Client
} // namespace Talmex
