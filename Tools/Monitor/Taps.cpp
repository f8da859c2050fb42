#include "Monitor/Taps.h"

#include "Monitor/Format.h"

namespace Talmex {
namespace Monitor {

namespace {

unsigned long long _Wide(uint64_t value)
{
    return static_cast<unsigned long long>(value);
}

} // namespace

bool Taps::Open(const Options& options, std::string& error)
{
    if (!options.opentrackHost.empty()) {
        _bridge = std::make_unique<PoseBridge>();
        _bridgeTarget = options.opentrackHost + ":" + std::to_string(options.opentrackPort);
        if (!_bridge->Open(options.opentrackHost, options.opentrackPort, error)) {
            return false;
        }
    }
    if (!options.recordPath.empty()) {
        _recorder = std::make_unique<Recorder>();
        return _recorder->Open(options.recordPath, error);
    }
    return true;
}

void Taps::Attach(Client::Client& client)
{
    if (!_recorder && !_bridge) {
        return;
    }
    client.SetReportObserver([this](const Client::HeadsetState& report,
                                    const unsigned char* datagram, size_t size,
                                    Client::Client::Clock::time_point received) {
        if (_recorder) {
            _recorder->Add(received, datagram, size);
        }
        if (_bridge) {
            _bridge->Send(report);
        }
    });
}

std::string Taps::Describe() const
{
    std::string text;
    if (_recorder) {
        const Recorder::Counts counts = _recorder->GetCounts();
        text += Format("recorded %llu", _Wide(counts.records));
        if (counts.dropped != 0) {
            text += Format(" dropped %llu", _Wide(counts.dropped));
        }
    }
    if (_bridge) {
        text += Format("%sopentrack sent %llu failed %llu", text.empty() ? "" : "  ",
                       _Wide(_bridge->Sent()), _Wide(_bridge->Failed()));
    }
    return text;
}

std::string Taps::Trouble() const
{
    if (!_recorder) {
        return std::string();
    }
    const std::string error = _recorder->WriteError();
    if (!error.empty()) {
        return error;
    }
    const Recorder::Counts counts = _recorder->GetCounts();
    if (counts.backlog > Recorder::kBacklogWarning) {
        return Format("the disk falls behind: %llu kB of the recording wait to be written",
                      _Wide(counts.backlog / 1000));
    }
    return std::string();
}

bool Taps::Close(std::string& summary)
{
    summary.clear();
    bool isWhole = true;
    if (_recorder) {
        std::string error;
        isWhole = _recorder->Close(error);
        const Recorder::Counts counts = _recorder->GetCounts();
        summary += Format("recorded %llu reports, %llu bytes, to %s", _Wide(counts.records),
                          _Wide(counts.written), _recorder->Path().c_str());
        if (counts.fellBehind != 0) {
            summary += Format("; the disk fell behind %llu times", _Wide(counts.fellBehind));
        }
        if (counts.dropped != 0) {
            summary += Format("%s%llu reports dropped", counts.fellBehind != 0 ? ", " : "; ",
                              _Wide(counts.dropped));
        }
        summary += isWhole ? "\n" : "; recording incomplete: " + error + "\n";
    }
    if (_bridge) {
        summary += Format("opentrack %s: %llu sent, %llu failed\n", _bridgeTarget.c_str(),
                          _Wide(_bridge->Sent()), _Wide(_bridge->Failed()));
    }
    return isWhole;
}

} // namespace Monitor
} // namespace Talmex
