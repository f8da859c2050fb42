#include "Monitor/Options.h"

#include "Common/File.h"

#include <cerrno>
#include <cstdlib>

namespace Talmex {
namespace Monitor {

namespace {

bool _ParseCount(const std::string& text, uint64_t maximum, uint64_t& value)
{
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed == 0 || parsed > maximum) {
        return false;
    }
    value = parsed;
    return true;
}

bool _ParseHostPort(const std::string& text, std::string& host, uint16_t& port)
{
    const size_t colon = text.rfind(':');
    uint64_t number = 0;
    if (colon == std::string::npos || colon == 0 ||
        !_ParseCount(text.substr(colon + 1), UINT16_MAX, number)) {
        return false;
    }
    host = text.substr(0, colon);
    port = static_cast<uint16_t>(number);
    return true;
}

} // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--check") {
            options.check = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--agent" && hasValue) {
            options.agentPath = argv[++i];
        } else if (argument == "--headset" && hasValue) {
            options.headset = argv[++i];
        } else if (argument == "--attach" && hasValue) {
            if (!_ParseHostPort(argv[++i], options.attachHost, options.attachPort)) {
                error = "--attach wants HOST:PORT, not " + std::string(argv[i]);
                return false;
            }
        } else if (argument == "--opentrack" && hasValue) {
            std::string target = argv[++i];
            if (target.find(':') == std::string::npos) {
                target += ":" + std::to_string(kDefaultOpentrackPort);
            }
            if (!_ParseHostPort(target, options.opentrackHost, options.opentrackPort)) {
                error = "--opentrack wants HOST or HOST:PORT, not " + std::string(argv[i]);
                return false;
            }
        } else if (argument == "--record" && hasValue) {
            options.recordPath = argv[++i];
        } else if ((argument == "--every" || argument == "--count") && hasValue) {
            uint64_t& value = argument == "--every" ? options.every : options.count;
            if (!_ParseCount(argv[++i], UINT64_MAX, value)) {
                error = argument + " wants a whole number above 0, not " + argv[i];
                return false;
            }
        } else {
            error = "unknown or incomplete argument " + argument;
            return false;
        }
    }
    if (options.check && (!options.recordPath.empty() || !options.opentrackHost.empty())) {
        error = "--check looks at the plug-in only; it goes with neither --record nor --opentrack";
        return false;
    }
    if (!options.attachHost.empty() && (!options.agentPath.empty() || options.check ||
                                        options.headset != Client::kSimulatedHeadset)) {
        error = "--attach talks to a running agent; it goes with neither --agent, --headset nor "
                "--check";
        return false;
    }
    return true;
}

const char* Usage()
{
    return "usage: talmex-monitor [--agent PATH] [--headset NAME] [--json] [--every N] "
           "[--count N]\n"
           "                      [--record FILE] [--opentrack HOST[:PORT]]\n"
           "       talmex-monitor --attach HOST:PORT [--json] [--every N] [--count N] ...\n"
           "       talmex-monitor --check [--agent PATH] [--headset NAME]\n"
           "\n"
           "Starts the agent (by default the talmex-agent beside this program) and shows its\n"
           "reports live in the terminal; without a terminal, or in one smaller than 80 x 24,\n"
           "it prints one plain line every 100 ms. Keys: r reset, y yaw correction,\n"
           "m magnetometer yaw correction, +/- prediction time, l latency tester, q quit.\n"
           "Printing lines, it stops with exit status 1 once no report has come for 5 s.\n"
           "\n"
           "  --agent PATH        start this agent\n"
           "  --headset NAME      start it in the folder of this headset, headsets/NAME\n"
           "                      beside the agent (default: simulated, the agent's own\n"
           "                      folder)\n"
           "  --attach HOST:PORT  watch an agent that runs already\n"
           "  --json              print one JSON object per report\n"
           "  --every N           print every N-th report only\n"
           "  --count N           stop after printing N reports\n"
           "  --record FILE       record every report to FILE (replay it with\n"
           "                      TALMEX_REPLAY=FILE in the agent's environment); at the\n"
           "                      end, a reader of FILE (a pipe) that takes nothing for 3 s\n"
           "                      is given up on: recording incomplete, exit status 1\n"
           "  --opentrack HOST[:PORT]\n"
           "                      send sensor 0's pose to a head-tracking hub's \"UDP over\n"
           "                      network\" input, one datagram per report (port 4242)\n"
           "  --check             say where the agent would find its headset plug-in, what\n"
           "                      the plug-in prints while loading, and which entry points\n"
           "                      it lacks; exit status 0 when complete, 1 when the agent\n"
           "                      would serve without a plug-in, 2 for a headset there is\n"
           "                      not, 3 when entry points are missing\n";
}

std::string AgentPathOf(const Options& options)
{
    return options.agentPath.empty() ? GetModulePath() + "/talmex-agent" : options.agentPath;
}

} // namespace Monitor
} // namespace Talmex
