#include "ReplaySource.h"

#include "Protocol/Recording.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace Headsets {

namespace Protocol = Talmex::Protocol;

std::unique_ptr<ReplaySource> ReplaySource::Load(const std::string& path, std::string& error)
{
    // A plug-in must not throw into the agent: memory running out while a
    // large recording is decoded is one more reason it cannot be replayed.
    try {
        return _Load(path, error);
    } catch (const std::exception& exception) {
        error = path + ": cannot be replayed: " + exception.what();
    } catch (...) {
        error = path + ": cannot be replayed";
    }
    return nullptr;
}

std::unique_ptr<ReplaySource> ReplaySource::_Load(const std::string& path, std::string& error)
{
    std::vector<unsigned char> bytes;
    if (!Protocol::ReadWholeFile(path, bytes, error)) {
        return nullptr;
    }
    Protocol::RecordingReader reader;
    if (!reader.Open(bytes.data(), bytes.size())) {
        error = path + ": " + reader.Error();
        return nullptr;
    }
    std::unique_ptr<ReplaySource> replay(new ReplaySource());
    Protocol::RecordedDatagram record;
    Timed timed;
    while (reader.Next(record)) {
        // Anything but a report (a request, a stray datagram) is not replayed.
        if (Protocol::DecodeReport(record.data, record.size, timed.sample) ==
            Protocol::ReportCheck::kValid) {
            timed.seconds = static_cast<double>(record.receiveMicroseconds) * 1e-6;
            replay->_samples.push_back(timed);
        }
    }
    if (!reader.Error().empty()) {
        error = path + ": " + reader.Error();
        return nullptr;
    }
    if (replay->_samples.empty()) {
        error = path + ": the recording holds no report";
        return nullptr;
    }
    std::stable_sort(replay->_samples.begin(), replay->_samples.end(),
                     [](const Timed& a, const Timed& b) { return a.seconds < b.seconds; });
    const double first = replay->_samples.front().seconds;
    for (Timed& t : replay->_samples) {
        t.seconds -= first;
    }
    // The loop lasts one mean report interval past the last report.
    const size_t count = replay->_samples.size();
    const double span = replay->_samples.back().seconds;
    replay->_duration = count > 1 ? span + span / static_cast<double>(count - 1) : 1.0;
    return replay;
}

size_t ReplaySource::CountUpTo(double t) const
{
    const auto after =
        std::upper_bound(_samples.begin(), _samples.end(), t,
                         [](double time, const Timed& s) { return time < s.seconds; });
    return static_cast<size_t>(after - _samples.begin());
}

void ReplaySource::SampleAt(double t, Sample& sample) const
{
    // The last report received at or before that moment of the loop.
    sample = _samples[CountUpTo(std::fmod(std::max(t, 0.0), _duration)) - 1].sample;
}

} // namespace Headsets
