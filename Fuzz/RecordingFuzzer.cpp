// The recording reader on any bytes: it never reads outside them, stops at
// the first damage or at a torn last record, and the records it hands out
// make, written again, the same recording up to where it stopped.

#include "Check.h"

#include "Protocol/Recording.h"

#include <cstring>
#include <vector>

namespace {

using namespace Talmex::Protocol;
using TalmexFuzz::Check;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of its own, so that a read past the end is the sanitizer's to see.
    const std::vector<unsigned char> bytes(data, data + size);
    RecordingReader reader;
    if (!reader.Open(bytes.data(), bytes.size())) {
        Check(!reader.Error().empty(), "a refused recording gives no reason");
        return 0;
    }
    std::vector<unsigned char> again;
    AppendRecordingHeader(reader.StartMicroseconds(), again);
    RecordedDatagram record;
    while (reader.Next(record)) {
        Check(record.size <= RecordingFormat::kMaxDatagramSize, "a record longer than a datagram");
        AppendRecord(record.receiveMicroseconds, record.data, record.size, again);
    }
    Check(again.size() <= bytes.size(), "the records hold more than the recording");
    Check(std::memcmp(again.data(), bytes.data(), again.size()) == 0,
          "the records, written again, differ from the recording");
    if (reader.Error().empty() && !reader.IsTruncated()) {
        Check(again.size() == bytes.size(), "a whole recording was not read to its end");
    } else if (reader.IsTruncated()) {
        Check(again.size() < bytes.size(), "a torn record that is not there");
    }
    return 0;
}
