// The clients' report decoder on any bytes: it accepts exactly the 241-byte
// datagrams with the magic and the report's count word, and what it accepts
// encodes back to the same bytes, but for flag bits the report does not name.

#include "Check.h"

#include "Protocol/Coding.h"
#include "Protocol/Report.h"

#include <cstring>
#include <vector>

namespace {

using namespace Talmex::Protocol;
using TalmexFuzz::Check;

BlockWriter _writer;
Stream _stream;

bool IsReportShaped(const uint8_t* data, size_t size)
{
    return size == ReportLayout::kSize && HasMagic(data, size) &&
           DecodeFixed32(data + kHeaderSize) == ReportLayout::kCountWord;
}

// The datagram with every flag bit no field stands for cleared.
std::vector<unsigned char> WithNamedFlagsOnly(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> bytes(data, data + size);
    const uint32_t displayBits = 0x7FFF;
    const uint32_t sensorBits = 0xFF;
    const auto mask = [&bytes](size_t integer, uint32_t bits) {
        unsigned char* word = bytes.data() + ReportLayout::kIntegersOffset + 4 * integer;
        EncodeFixed32(word, DecodeFixed32(word) & bits);
    };
    mask(ReportLayout::kDisplayFlags, displayBits);
    for (int s = 0; s < kSensorCount; ++s) {
        mask(ReportLayout::kSensorFlags + static_cast<size_t>(s), sensorBits);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Report report;
    report.header.sequence = 0xA5A5A5A5;
    const ReportCheck check = DecodeReport(data, size, report);
    Check((check == ReportCheck::kValid) == IsReportShaped(data, size),
          "the decoder's verdict differs from the report's shape");
    if (check != ReportCheck::kValid) {
        Check(report.header.sequence == 0xA5A5A5A5, "a refused datagram changed the report");
        return 0;
    }
    _stream.Clear();
    WriteReport(report, _writer, _stream);
    const std::vector<unsigned char> expected = WithNamedFlagsOnly(data, size);
    Check(_stream.Size() == size && std::memcmp(_stream.Data(), expected.data(), size) == 0,
          "a decoded report does not encode back to its bytes");
    return 0;
}
