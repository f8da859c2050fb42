#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A recording keeps every datagram as it arrived, with its receive time. Its
// layout, and what a reader does with a torn or damaged one, are described in
// docs/protocol.md, "The recording format".
namespace Talmex {
namespace Protocol {

namespace RecordingFormat {
constexpr unsigned char kMagic[4] = {'T', 'L', 'X', 'R'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kRecordHeaderSize = 12;
// The largest UDP payload over IPv4.
constexpr size_t kMaxDatagramSize = 65507;
} // namespace RecordingFormat

void AppendRecordingHeader(uint64_t startMicroseconds, std::vector<unsigned char>& bytes);
void AppendRecord(uint64_t receiveMicroseconds, const unsigned char* datagram, size_t size,
                  std::vector<unsigned char>& bytes);

struct RecordedDatagram {
    uint64_t receiveMicroseconds = 0;
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// Walks the records of a recording held in memory, without copying them.
class RecordingReader {
public:
    // Checks the header; false, with the error, when it is missing or wrong.
    bool Open(const unsigned char* bytes, size_t size);

    // The next record; false at the end, at a torn last record, or at damage
    // (then Error says what and where).
    bool Next(RecordedDatagram& record);

    uint64_t StartMicroseconds() const { return _startMicroseconds; }
    // True when the recording ended in a torn record, which was dropped.
    bool IsTruncated() const { return _isTruncated; }
    const std::string& Error() const { return _error; }

private:
    bool _Fail(size_t offset, const std::string& what);

    const unsigned char* _bytes = nullptr;
    size_t _size = 0;
    size_t _offset = 0;
    uint64_t _startMicroseconds = 0;
    bool _isTruncated = false;
    std::string _error;
};

// Reads a whole regular file, as long as it was when opened; false, with the
// reason, when it cannot be read or is not a regular file (a directory, a
// device that never ends, a FIFO that could block the reader for good).
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

} // namespace Protocol
} // namespace Talmex
