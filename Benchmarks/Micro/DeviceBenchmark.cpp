// Speed of one report and one request with the simulated headset, as the
// channel thread runs them: the stream is cleared and refilled each time.

#include "Agent/Device.h"
#include "TestPaths.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

using Talmex::Singleton;
using Talmex::Agent::Channel;
using Talmex::Agent::Device;
using Talmex::Agent::Stream;

// Binds the simulated headset, found beside the agent, and takes it.
class BoundDevice {
public:
    BoundDevice()
    {
        if (chdir(TALMEX_AGENT_FOLDER) == 0) {
            _device.Initialize();
        }
        _device.LockDevice();
    }
    ~BoundDevice()
    {
        _device.UnlockDevice();
        _device.Finalize();
    }
    Device& _device = Singleton<Device>::_instance;
};

void AppendWord(std::vector<unsigned char>& bytes, uint32_t word)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<unsigned char>(word >> shift));
    }
}

// A complete request for two sensors: 9 integers, 2 floats, 5 bytes.
std::vector<unsigned char> FullRequest()
{
    std::vector<unsigned char> request = {'T', 'L', 'X', '0'};
    for (uint32_t word : {1u, 0u, 1u, 0u, 0x05002009u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u}) {
        AppendWord(request, word);
    }
    float predictionTimes[2] = {0.03f, 0.04f};
    const auto* floats = reinterpret_cast<const unsigned char*>(predictionTimes);
    request.insert(request.end(), floats, floats + sizeof predictionTimes);
    request.insert(request.end(), {2, 1, 0, 1, 1});
    return request;
}

void BM_WriteReport(benchmark::State& state)
{
    BoundDevice bound;
    Channel channel;
    channel._ownsDevice = true;
    Stream stream;
    for (auto _ : state) {
        stream.Clear();
        bound._device.WriteTo(stream, channel);
        benchmark::DoNotOptimize(stream.Data());
    }
    state.counters["bytes"] = static_cast<double>(stream.Size());
}
BENCHMARK(BM_WriteReport);

void BM_ReadFullRequest(benchmark::State& state)
{
    BoundDevice bound;
    Channel channel;
    channel._ownsDevice = true;
    std::vector<unsigned char> request = FullRequest();
    Stream stream;
    uint32_t sequence = 1;
    bool accepted = true;
    for (auto _ : state) {
        // A new sequence number each time, so that every request is accepted.
        ++sequence;
        std::memcpy(request.data() + 12, &sequence, sizeof sequence);
        stream.Clear();
        stream.Write(request.data(), request.size());
        accepted &= bound._device.ReadFrom(stream, channel);
    }
    if (!accepted || request.size() != 73) {
        state.SkipWithError("the request was not a full, accepted one");
    }
}
BENCHMARK(BM_ReadFullRequest);

} // namespace

BENCHMARK_MAIN();
