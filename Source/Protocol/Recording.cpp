#include "Protocol/Recording.h"

#include "Protocol/Coding.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace Talmex {
namespace Protocol {

namespace {

using namespace RecordingFormat;

void _AppendFixed32(uint32_t value, std::vector<unsigned char>& bytes)
{
    unsigned char encoded[4];
    EncodeFixed32(encoded, value);
    bytes.insert(bytes.end(), encoded, encoded + sizeof encoded);
}

void _AppendFixed64(uint64_t value, std::vector<unsigned char>& bytes)
{
    _AppendFixed32(static_cast<uint32_t>(value), bytes);
    _AppendFixed32(static_cast<uint32_t>(value >> 32), bytes);
}

uint64_t _DecodeFixed64(const unsigned char* bytes)
{
    return DecodeFixed32(bytes) | static_cast<uint64_t>(DecodeFixed32(bytes + 4)) << 32;
}

} // namespace

void AppendRecordingHeader(uint64_t startMicroseconds, std::vector<unsigned char>& bytes)
{
    bytes.insert(bytes.end(), kMagic, kMagic + sizeof kMagic);
    _AppendFixed32(kVersion, bytes);
    _AppendFixed64(startMicroseconds, bytes);
}

void AppendRecord(uint64_t receiveMicroseconds, const unsigned char* datagram, size_t size,
                  std::vector<unsigned char>& bytes)
{
    _AppendFixed64(receiveMicroseconds, bytes);
    _AppendFixed32(static_cast<uint32_t>(size), bytes);
    bytes.insert(bytes.end(), datagram, datagram + size);
}

bool RecordingReader::Open(const unsigned char* bytes, size_t size)
{
    _bytes = bytes;
    _size = size;
    _offset = 0;
    _isTruncated = false;
    _error.clear();
    if (size == 0) {
        return _Fail(0, "the recording is empty");
    }
    if (size < kHeaderSize) {
        return _Fail(size, "the recording's header is cut short");
    }
    if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
        return _Fail(0, "not a recording: no TLXR magic");
    }
    const uint32_t version = DecodeFixed32(bytes + 4);
    if (version != kVersion) {
        return _Fail(4, "recording version " + std::to_string(version) + " is not version " +
                            std::to_string(kVersion));
    }
    _startMicroseconds = _DecodeFixed64(bytes + 8);
    _offset = kHeaderSize;
    return true;
}

bool RecordingReader::Next(RecordedDatagram& record)
{
    if (!_error.empty() || _isTruncated || _offset == _size) {
        return false;
    }
    const size_t left = _size - _offset;
    if (left < kRecordHeaderSize) {
        _isTruncated = true;
        return false;
    }
    const unsigned char* header = _bytes + _offset;
    const uint32_t length = DecodeFixed32(header + 8);
    if (length > kMaxDatagramSize) {
        return _Fail(_offset,
                     "a record of " + std::to_string(length) + " bytes, longer than any datagram");
    }
    if (left - kRecordHeaderSize < length) {
        _isTruncated = true;
        return false;
    }
    record.receiveMicroseconds = _DecodeFixed64(header);
    record.data = header + kRecordHeaderSize;
    record.size = length;
    _offset += kRecordHeaderSize + length;
    return true;
}

bool RecordingReader::_Fail(size_t offset, const std::string& what)
{
    _error = what + " (at offset " + std::to_string(offset) + ")";
    return false;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error)
{
    // Non-blocking, so that opening a FIFO cannot wait for a writer.
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    bool isRead = false;
    if (fstat(file, &status) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        error = path + " is not a regular file";
    } else {
        try {
            bytes.resize(static_cast<size_t>(status.st_size));
        } catch (const std::bad_alloc&) {
            close(file);
            error = path + " is too large to read";
            return false;
        }
        size_t got = 0;
        int readError = 0;
        while (got < bytes.size() && readError == 0) {
            const ssize_t n = read(file, bytes.data() + got, bytes.size() - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
            } else if (n == 0) {
                break; // cut short while being read: read as far as it went
            } else if (errno != EINTR) {
                readError = errno;
            }
        }
        bytes.resize(got);
        isRead = readError == 0;
        if (!isRead) {
            error = "cannot read " + path + ": " + std::strerror(readError);
        }
    }
    close(file);
    return isRead;
}

} // namespace Protocol
} // namespace Talmex
