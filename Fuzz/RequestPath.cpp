#include "RequestPath.h"

#include "BlockSize.h"
#include "Check.h"

#include "Agent/Channel.h"
#include "Agent/Device.h"
#include "Agent/Stream.h"
#include "Support/ProtocolBytes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace TalmexFuzz {

namespace {

using Talmex::Singleton;
using Talmex::Agent::Channel;
using Talmex::Agent::Device;
using Talmex::Agent::Stream;
using TalmexTest::Bytes;
using TalmexTest::WordAt;

constexpr uint32_t kSessionToken = 0x51515151;
constexpr size_t kHeaderSize = 20;
constexpr size_t kReportSize = 241;
constexpr uint32_t kReportCountWord = 0x05031004;
constexpr size_t kLargestDatagram = 65515;

// One stream for every request and report, as the channel thread keeps it.
Stream _stream;

// A header word, or 0 where the datagram does not hold it whole.
uint32_t HeaderWord(const Bytes& datagram, size_t offset)
{
    return datagram.size() >= offset + 4 ? WordAt(datagram, offset) : 0;
}

uint32_t ClientToken(const Bytes& datagram)
{
    return HeaderWord(datagram, 4);
}

uint32_t Sequence(const Bytes& datagram)
{
    return HeaderWord(datagram, 12);
}

// The same client, the channel's session or none named, and a sequence
// number that advances, unless none was latched yet.
bool HeaderPasses(const Bytes& datagram, const Channel& channel)
{
    const uint32_t session = HeaderWord(datagram, 8);
    return (channel._clientToken == 0 || channel._clientToken == ClientToken(datagram)) &&
           (session == 0 || session == channel._sToken) &&
           (channel._requestSequence == 0 ||
            static_cast<int32_t>(Sequence(datagram) - channel._requestSequence) > 0);
}

// A block that the datagram does not reach at all is an empty one.
bool BlockFits(const Bytes& datagram)
{
    return datagram.size() < kHeaderSize + 4 ||
           DeclaredBlockSize(WordAt(datagram, kHeaderSize)) <= datagram.size() - kHeaderSize;
}

using Counters = std::array<uint32_t, 9>;

Counters CountersOf(const Channel& c)
{
    return {c._latencyInputCounter,        c._predictionTimeCounter[0],
            c._yawCorrectionCounter[0],    c._resetOrientationCounter[0],
            c._magYawCorrectionCounter[0], c._predictionTimeCounter[1],
            c._yawCorrectionCounter[1],    c._resetOrientationCounter[1],
            c._magYawCorrectionCounter[1]};
}

long ChangedCounters(const Channel& before, const Channel& after)
{
    const Counters a = CountersOf(before);
    const Counters b = CountersOf(after);
    long changed = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        changed += a[i] != b[i];
    }
    return changed;
}

bool SameState(const Channel& a, const Channel& b)
{
    return std::memcmp(&a._address, &b._address, sizeof a._address) == 0 &&
           a._idleTime == b._idleTime && a._ownsDevice == b._ownsDevice &&
           CountersOf(a) == CountersOf(b) && a._sToken == b._sToken &&
           a._clientToken == b._clientToken && a._replySequence == b._replySequence &&
           a._requestSequence == b._requestSequence;
}

size_t LogSize(PluginLog log)
{
    return log != nullptr ? log().size() : 0;
}

// Plug-in calls logged since the log had the given size; none without a
// plug-in.
long CallsSince(PluginLog log, size_t start)
{
    if (log == nullptr) {
        return 0;
    }
    const std::string text = log();
    return std::count(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), '\n');
}

bool Request(const Bytes& datagram, Channel& channel)
{
    _stream.Clear();
    _stream.Write(datagram.data(), datagram.size());
    return Singleton<Device>::_instance.ReadFrom(_stream, channel);
}

// An accepted request sent again with the next sequence number is accepted
// again and asks for nothing new: each action happens once per change.
void CheckRepeat(Bytes datagram, Channel& channel, PluginLog log)
{
    if (datagram.size() >= 16) {
        const uint32_t next = Sequence(datagram) + 1;
        std::memcpy(datagram.data() + 12, &next, sizeof next);
    }
    const Channel before = channel;
    const size_t logged = LogSize(log);
    Check(Request(datagram, channel), "a repeated request is refused");
    Check(ChangedCounters(before, channel) == 0, "a repeated request changes a counter");
    Check(CallsSince(log, logged) == 0, "a repeated request calls the plug-in");
}

void CheckRequest(const Bytes& datagram, Channel& channel, PluginLog log)
{
    const Channel before = channel;
    const bool headerPasses = HeaderPasses(datagram, before);
    const size_t logged = LogSize(log);
    const bool accepted = Request(datagram, channel);
    Check(accepted == (headerPasses && BlockFits(datagram)),
          "acceptance differs from the header checks and the block's extent");
    if (!headerPasses) {
        Check(SameState(before, channel), "a refused header changed the channel");
        return;
    }
    Check(channel._clientToken == ClientToken(datagram) &&
              channel._requestSequence == Sequence(datagram),
          "a passed header was not latched");
    Check(log == nullptr || CallsSince(log, logged) == ChangedCounters(before, channel),
          "plug-in calls differ from the counters that changed");
    if (accepted) {
        CheckRepeat(datagram, channel, log);
    }
}

void CheckReport(Channel& channel)
{
    const uint32_t sequence = channel._replySequence + 1 == 0 ? 1 : channel._replySequence + 1;
    _stream.Clear();
    Singleton<Device>::_instance.WriteTo(_stream, channel);
    const Bytes report(_stream.Data(), _stream.Data() + _stream.Size());
    Check(report.size() == kReportSize, "a report is not 241 bytes");
    Check(std::memcmp(report.data(), "TLX0", 4) == 0, "a report lacks the magic");
    Check(WordAt(report, 4) == channel._sToken && WordAt(report, 8) == channel._clientToken &&
              WordAt(report, 12) == sequence && WordAt(report, 16) == channel._requestSequence,
          "a report's header differs from its channel");
    Check(WordAt(report, 20) == kReportCountWord, "a report's block has other counts");
}

} // namespace

void RunChannel(const uint8_t* data, size_t size, PluginLog log)
{
    Device& device = Singleton<Device>::_instance;
    Check(device.LockDevice(), "the headset is held before the channel was admitted");
    Channel channel;
    channel._ownsDevice = true;
    channel._sToken = kSessionToken;
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = std::min(
            {static_cast<size_t>(data[at] | data[at + 1] << 8), size - at - 2, kLargestDatagram});
        const Bytes datagram(data + at + 2, data + at + 2 + length);
        at += 2 + length;
        if (datagram.size() >= 4 && std::memcmp(datagram.data(), "TLX0", 4) == 0) {
            CheckRequest(datagram, channel, log);
        }
        CheckReport(channel);
    }
    device.UnlockDevice();
}

} // namespace TalmexFuzz
