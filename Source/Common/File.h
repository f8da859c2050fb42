#pragma once

#include <string>

namespace Talmex {

// The directory of the running program, without a trailing separator; empty
// when the platform cannot tell.
std::string GetModulePath();

} // namespace Talmex

#include <cstddef>
#include <cstring>
#include <vector>

namespace Talmex {

// The body of a file held in memory: bytes are appended at the end and the
// whole body is written out in one go.
class FileBuf {
public:
    const unsigned char* Data() const { return _data.data(); }
    size_t Size() const { return _data.size(); }

    // Appends size bytes from source; nothing when source is null.
    void Append(const void* source, size_t size)
    {
        if (source == nullptr || size == 0) {
            return;
        }
        const size_t oldSize = _data.size();
        _data.resize(oldSize + size);
        std::memcpy(_data.data() + oldSize, source, size);
    }

    // Empties the body, keeping its capacity for the next one.
    void Clear() { _data.clear(); }

    // Replaces the file at path with the body. The bytes go to a new file
    // beside it, which takes the name only once they are all written, so a
    // failure leaves path as it was and no partial file behind.
    bool WriteToFile(const std::string& path) const;

private:
    std::vector<unsigned char> _data;
};

} // namespace Talmex
