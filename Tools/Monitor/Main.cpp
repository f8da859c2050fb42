// talmex-monitor: starts the agent, or attaches to one, and shows what it
// reports; --check says instead where the agent would find its plug-in.

#include "Client/Client.h"
#include "Monitor/Diagnosis.h"
#include "Monitor/LiveView.h"
#include "Monitor/Options.h"
#include "Monitor/PlainOutput.h"
#include "Monitor/PluginCheck.h"
#include "Monitor/Screen.h"
#include "Monitor/Signals.h"
#include "Monitor/Taps.h"
#include "Monitor/View.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

using namespace Talmex;
using namespace Talmex::Monitor;

std::string _AgentDescription(const Options& options, const Client::Client& client)
{
    if (!options.attachHost.empty()) {
        return "attached to " + options.attachHost + ":" + std::to_string(client.Port());
    }
    return "pid " + std::to_string(client.Agent().Pid()) + " port " + std::to_string(client.Port());
}

int _Show(const Options& options, Client::Client& client, const Taps& taps)
{
    Screen screen;
    const bool wantsScreen = !options.json && options.every == 0 && options.count == 0;
    if (wantsScreen && Screen::Fits(kViewColumns, kViewRows) && screen.Open()) {
        return RunLiveView(client, screen, taps, _AgentDescription(options, client));
    }
    return RunLines(client, taps, options);
}

int _Watch(const Options& options)
{
    Taps taps;
    std::string error;
    if (!taps.Open(options, error)) {
        std::fprintf(stderr, "talmex-monitor: %s\n", error.c_str());
        return 1;
    }
    Client::Client client;
    taps.Attach(client);
    const bool isConnected = options.attachHost.empty()
                                 ? client.Spawn(AgentPathOf(options), options.headset)
                                 : client.Attach(options.attachHost, options.attachPort);
    if (!isConnected) {
        std::fprintf(stderr, "talmex-monitor: %s\n", client.LastError().c_str());
    }
    // The terminal is back, and the agent stopped, before the recording is
    // finished, which may wait for its reader, and the summary printed.
    const int status = isConnected ? _Show(options, client, taps) : 1;
    client.Stop();
    std::string summary;
    const bool isWhole = taps.Close(summary);
    for (size_t start = 0, end; (end = summary.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::fprintf(stderr, "talmex-monitor: %s\n", summary.substr(start, end - start).c_str());
    }
    // Stopped, the agent has handed over the last of what it printed.
    client.Stop();
    for (const std::string& line : OutputLinesOf(client.Agent().Output(), "the agent printed")) {
        std::fprintf(stderr, "talmex-monitor: %s\n", line.c_str());
    }
    return isWhole ? status : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "talmex-monitor: %s\n%s", error.c_str(), Usage());
        return kUsageError;
    }
    if (options.help) {
        std::fputs(Usage(), stdout);
        return 0;
    }
    if (options.check) {
        std::string folder;
        if (!Client::HeadsetFolder(AgentPathOf(options), options.headset, folder, error)) {
            std::cout << error << "\n";
            return kUsageError;
        }
        return static_cast<int>(CheckPlugin(AgentPathOf(options), folder, std::cout));
    }
    CatchStopSignals();
    IgnoreBrokenPipes();
    const int status = _Watch(options);
    EndByCaughtSignal();
    return status;
}
