#include "RequestLatency.h"

#include "GuardedAgent.h"
#include "ReportListener.h"
#include "Support/ProtocolBytes.h"
#include "TestPaths.h"

#include <cmath>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace TalmexBench {

namespace {

using namespace TalmexTest;

constexpr uint16_t kPort = 20962;
constexpr char kCommand[] = "OVR_SetSensorPredictionTime(0, ";
// Pauses between requests, longer than a cycle and spread over it, so that
// requests land at every point of the agent's sleep.
constexpr int kShortestPauseMicroseconds = 2000;
constexpr int kLongestPauseMicroseconds = 6000;

int64_t _MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The log file the plug-in appends its commands to, removed afterwards.
class CommandLog {
public:
    CommandLog()
    {
        char path[] = "/tmp/talmex-bench-commands-XXXXXX";
        const int file = mkstemp(path);
        if (file != -1) {
            close(file);
            _path = path;
        }
    }
    ~CommandLog()
    {
        if (!_path.empty()) {
            unlink(_path.c_str());
        }
    }

    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    const std::string& Path() const { return _path; }

    // Time of each request's command, by the request's number (from 1, as
    // the prediction time it asked for); 0 where none is logged yet.
    std::vector<int64_t> CommandTimes(size_t requests) const
    {
        std::vector<int64_t> times(requests, 0);
        std::ifstream log(_path);
        std::string line;
        while (std::getline(log, line)) {
            const size_t command = line.find(kCommand);
            if (command == std::string::npos) {
                continue;
            }
            const double number = std::atof(line.c_str() + command + sizeof kCommand - 1);
            const size_t index = static_cast<size_t>(std::lround(number)) - 1;
            if (index < requests) {
                times[index] = std::atoll(line.c_str());
            }
        }
        return times;
    }

private:
    std::string _path;
};

bool _AllLogged(const std::vector<int64_t>& times)
{
    for (int64_t time : times) {
        if (time == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::vector<double>> MeasureRequestToPlugin(int requests)
{
    CommandLog log;
    AgentProcess::Options options;
    options.workingDirectory = std::string(TALMEX_TEST_PLUGIN_FOLDERS) + "/scripted";
    options.environment = {{"TALMEX_SCRIPTED_LOG", log.Path()}, {"TALMEX_SCRIPTED_TIMES", "1"}};
    GuardedAgent agent(options);

    ReportListener listener;
    Wishes wishes;
    uint32_t sequence = 0;
    bool isServed = false;
    for (int attempt = 0; attempt < 300 && !isServed; ++attempt) {
        listener.Send(RequestOf({1, 0, ++sequence}, wishes), kPort);
        isServed = listener.Receive(10).has_value();
    }
    if (!isServed || log.Path().empty()) {
        return std::nullopt;
    }

    std::mt19937 random(1);
    std::uniform_int_distribution<int> pause(kShortestPauseMicroseconds, kLongestPauseMicroseconds);
    std::vector<int64_t> sent;
    SensorWishes& sensor = wishes.sensors[0];
    for (int request = 1; request <= requests; ++request) {
        // The number travels as the prediction time, and comes back in the log.
        ++sensor.predictionTimeCounter;
        sensor.predictionTimeSeconds = static_cast<float>(request);
        const Bytes datagram = RequestOf({1, 0, ++sequence}, wishes);
        sent.push_back(_MonotonicNanoseconds());
        listener.Send(datagram, kPort);
        while (listener.Receive(0)) {
        }
        usleep(static_cast<useconds_t>(pause(random)));
    }

    std::vector<int64_t> called = log.CommandTimes(sent.size());
    for (int wait = 0; wait < 200 && !_AllLogged(called); ++wait) {
        usleep(10000);
        called = log.CommandTimes(sent.size());
    }
    if (!_AllLogged(called)) {
        return std::nullopt;
    }
    std::vector<double> milliseconds;
    for (size_t i = 0; i < sent.size(); ++i) {
        milliseconds.push_back(static_cast<double>(called[i] - sent[i]) * 1e-6);
    }
    return milliseconds;
}

} // namespace TalmexBench
