#pragma once

#include "Client/AgentProcess.h"
#include "Client/Counters.h"
#include "Client/HeadsetState.h"
#include "Client/SessionTracker.h"
#include "Client/WishList.h"
#include "Protocol/Request.h"
#include "Protocol/Stream.h"
#include "Protocol/TypedBlock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace Talmex {
namespace Client {

enum class Status {
    kIdle,         // neither started nor attached
    kConnecting,   // no report yet
    kServing,      // reports arrive
    kNotAnswering, // no report for longer than the answer time
    kAgentExited,  // the child this client started has ended
    kFailed,       // the agent could not be started, or bound no port
};

const char* Describe(Status status);

// A host's connection to the agent: it starts the agent or attaches to a
// running one, keeps the channel with a request every 100 ms, re-sends a
// wish until a report confirms it, and decodes and checks every report.
// Nothing blocks except Wait, which is bounded by its time-out.
class Client {
public:
    using Clock = std::chrono::steady_clock;

    // Without a report for this long, the agent counts as not answering.
    static constexpr std::chrono::milliseconds kAnswerTime{500};
    static constexpr std::chrono::milliseconds kKeepAliveInterval{100};
    static constexpr std::chrono::milliseconds kRetryInterval{20};

    Client();
    ~Client();

    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Starts the agent as a child (the one at agentPath, else FindAgent's) in
    // the folder of the named headset (see Headsets.h), and waits, at most a
    // second, until it has bound its port. False, with the reason in
    // LastError, otherwise.
    bool Spawn(const std::string& agentPath = std::string(),
               const std::string& headset = kSimulatedHeadset);
    // Talks to an agent that runs already.
    bool Attach(const std::string& host, uint16_t port);
    // Stops the agent this client started; detaches from any other.
    void Stop();

    void ResetOrientation(int sensor);
    void SetPredictionTime(int sensor, float seconds);
    void SetYawCorrection(int sensor, bool enable);
    void SetMagYawCorrection(int sensor, bool enable);
    void FeedLatencyTester();

    static constexpr size_t kAllReports = SIZE_MAX;
    // The most datagrams one Poll reads, so that a flood cannot hold it up
    // nor keep the requests that are due from going out. A default receive
    // buffer holds about 170 reports (a third of a second of them) or 256
    // of the smallest datagrams: one call drains it.
    static constexpr size_t kDatagramsPerPoll = 256;

    // Handles the datagrams that have arrived, at most kDatagramsPerPoll,
    // and sends what is due; true when a new report updated the state. By
    // default the state is the newest report; a host that wants every report
    // takes them one at a time (maxReports 1), and the others wait for the
    // next call.
    bool Poll(HeadsetState& state, size_t maxReports = kAllReports);
    // Polls until a new report arrives or the time is up.
    bool Wait(HeadsetState& state, std::chrono::milliseconds timeout,
              size_t maxReports = kAllReports);

    // Sees every report the client accepts, in the order they arrive, even
    // those that Poll passes over for a newer one: the decoded report, the
    // datagram as it came, and when it arrived (the kernel's receive time,
    // however late the host polls). Called from within Poll and Wait.
    using ReportObserver =
        std::function<void(const HeadsetState& report, const unsigned char* datagram, size_t size,
                           Clock::time_point received)>;
    void SetReportObserver(ReportObserver observer) { _observer = std::move(observer); }

    Status GetStatus() const { return _status; }
    const Counters& GetCounters() const { return _counters; }
    // Time since the newest report, or -1 ms before the first.
    std::chrono::milliseconds NewestReportAge() const;
    uint16_t Port() const { return _port; }
    // The agent this client started, if any, with what it printed.
    const AgentProcess& Agent() const { return _agent; }
    // What went wrong since the last successful Spawn or Attach, in words.
    const std::string& LastError() const { return _error; }
    // The socket, for a host that waits in its own poll loop.
    int Descriptor() const { return _socket; }

private:
    bool _Connect(uint32_t address, uint16_t port);
    void _Receive(HeadsetState& state, bool& updated, size_t maxReports, Clock::time_point now);
    void _SendDue(Clock::time_point now);
    void _Send(Clock::time_point now);
    void _UpdateStatus(Clock::time_point now);
    bool _Fail(Status status, const std::string& error);

    AgentProcess _agent;
    int _socket = -1;
    uint16_t _port = 0;
    SessionTracker _session;
    uint32_t _sequence = 0;
    ReportObserver _observer;
    WishList _wishes;
    Protocol::Request _request;
    Protocol::BlockWriter _writer;
    Protocol::Stream _stream;
    Status _status = Status::kIdle;
    Counters _counters;
    std::string _error;
    Clock::time_point _connectedAt;
    Clock::time_point _lastSent;
    Clock::time_point _newestReport;
    Clock::time_point _rateWindowStart;
    uint64_t _rateWindowReports = 0;
};

} // namespace Client
} // namespace Talmex
