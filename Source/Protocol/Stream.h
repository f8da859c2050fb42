#pragma once

#include "Protocol/Coding.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace Talmex {
namespace Protocol {

// The bytes of one datagram with one read position. Writes append at the end;
// reads never change the bytes. Clearing keeps the capacity, so a reused
// stream stops allocating once it has held its largest datagram.
class Stream {
public:
    Stream() : _position(0) {}

    // Empties the stream, keeping its capacity.
    void Clear()
    {
        _data.clear();
        _position = 0;
    }

    const unsigned char* Data() const { return _data.data(); }
    size_t Size() const { return _data.size(); }
    // Where the next read starts: how much of the datagram the reads below
    // have taken, for a reader that looks at what follows a block.
    uint32_t Position() const { return _position; }

    // The next little-endian word, or 0 when fewer than four bytes remain; a
    // truncated word abandons the rest of the stream.
    uint32_t Read32()
    {
        if (_Remaining() < sizeof(uint32_t)) {
            _position = static_cast<uint32_t>(_data.size());
            return 0;
        }
        const uint32_t value = DecodeFixed32(_data.data() + _position);
        _position += sizeof value;
        return value;
    }

    // Copies what is there of count bytes; true only if all count were there.
    bool Read(void* destination, unsigned long count)
    {
        if (destination == nullptr || count == 0) {
            return true;
        }
        const size_t available = _Remaining();
        const size_t copied = count < available ? count : available;
        if (copied != 0) {
            std::memcpy(destination, _data.data() + _position, copied);
            _position += static_cast<uint32_t>(copied);
        }
        return copied == count;
    }

    void Write(const void* source, unsigned long count)
    {
        if (source == nullptr || count == 0) {
            return;
        }
        // Grown, then copied into: GCC 12 at -O3 takes a range insert into
        // an empty vector for an overflow.
        const size_t size = _data.size();
        _data.resize(size + count);
        std::memcpy(_data.data() + size, source, count);
    }

    void Write32(uint32_t value)
    {
        unsigned char bytes[sizeof value];
        EncodeFixed32(bytes, value);
        Write(bytes, sizeof bytes);
    }

private:
    size_t _Remaining() const { return _data.size() - _position; }

    std::vector<unsigned char> _data;
    uint32_t _position;
};

} // namespace Protocol
} // namespace Talmex
