// What a host pays for each report: decoding it with Protocol::DecodeReport,
// and the whole of Client::Poll, which receives, checks and decodes it.

#include "Client/Client.h"
#include "Protocol/Coding.h"
#include "Protocol/Report.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace Talmex;

constexpr size_t kSequenceOffset = 12;
// Reports waiting at each Poll: the timer's pause and resume cost more than
// one report does.
constexpr int kReportsPerPoll = 64;

std::vector<unsigned char> SampleReport()
{
    Protocol::Report report;
    report.header = {0x1234, 0, 1, 0};
    report.sensorCount = 1;
    for (int k = 0; k < 4; ++k) {
        report.sensors[0].orientation[k] = 0.5f;
    }
    report.sensors[0].orientationValid = true;
    Protocol::BlockWriter writer;
    Protocol::Stream stream;
    Protocol::WriteReport(report, writer, stream);
    return std::vector<unsigned char>(stream.Data(), stream.Data() + stream.Size());
}

void BM_DecodeReport(benchmark::State& state)
{
    const std::vector<unsigned char> datagram = SampleReport();
    Protocol::Report report;
    bool valid = true;
    for (auto _ : state) {
        valid &= Protocol::DecodeReport(datagram.data(), datagram.size(), report) ==
                 Protocol::ReportCheck::kValid;
        benchmark::DoNotOptimize(report);
    }
    if (!valid) {
        state.SkipWithError("the sample report did not decode");
    }
}
BENCHMARK(BM_DecodeReport);

// An agent's port on loopback that sends reports to whoever asked last.
class FakeAgent {
public:
    FakeAgent() : _socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        bind(_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        getsockname(_socket, reinterpret_cast<sockaddr*>(&local), &length);
        _port = ntohs(local.sin_port);
    }
    ~FakeAgent() { close(_socket); }

    uint16_t Port() const { return _port; }

    // Takes the client's requests, the first of which names its address.
    void Drain()
    {
        unsigned char request[512];
        socklen_t length = sizeof _client;
        while (recvfrom(_socket, request, sizeof request, MSG_DONTWAIT,
                        reinterpret_cast<sockaddr*>(&_client), &length) >= 0) {
            length = sizeof _client;
        }
    }

    void Send(std::vector<unsigned char>& report)
    {
        Protocol::EncodeFixed32(report.data() + kSequenceOffset, ++_sequence);
        sendto(_socket, report.data(), report.size(), 0,
               reinterpret_cast<const sockaddr*>(&_client), sizeof _client);
    }

private:
    int _socket;
    uint16_t _port = 0;
    sockaddr_in _client{};
    uint32_t _sequence = 0;
};

void BM_ClientPoll(benchmark::State& state)
{
    FakeAgent agent;
    Client::Client client;
    client.Attach("127.0.0.1", agent.Port());
    std::vector<unsigned char> report = SampleReport();
    Client::HeadsetState headset;
    for (auto _ : state) {
        state.PauseTiming();
        agent.Drain();
        for (int i = 0; i < kReportsPerPoll; ++i) {
            agent.Send(report);
        }
        state.ResumeTiming();
        client.Poll(headset);
    }
    const uint64_t expected = static_cast<uint64_t>(state.iterations()) * kReportsPerPoll;
    if (client.GetCounters().reportsReceived != expected) {
        state.SkipWithError("the client did not take every report");
    }
    state.counters["per_report"] = benchmark::Counter(
        static_cast<double>(expected), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ClientPoll);

} // namespace

BENCHMARK_MAIN();
