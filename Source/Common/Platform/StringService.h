#pragma once

#include <cstddef>

namespace Talmex {
namespace Platform {

// The platform's names for the encodings the string service converts.
constexpr unsigned int kUTF8StringEncoding = 4;
constexpr unsigned int kShiftJISStringEncoding = 8;
constexpr unsigned int kUTF32LittleEndianStringEncoding = 0x9C000100;

// One strict conversion between two encodings, fed in as many rounds as the
// caller's output room needs. Invalid input, input that ends inside a
// character, or a character the target cannot hold fails the whole
// conversion. Use on one thread; several may exist at once.
class StringConverter {
public:
    enum class Result { Converted, OutputFull, Failed };

    StringConverter(unsigned int targetEncoding, unsigned int sourceEncoding);
    ~StringConverter();

    StringConverter(const StringConverter&) = delete;
    StringConverter& operator=(const StringConverter&) = delete;

    // False for an encoding the service does not know.
    bool IsOpen() const;

    // Converts from input into output, advancing both and counting both sizes
    // down. After OutputFull call again with more room: the conversion goes on
    // where it stopped.
    Result Convert(const char*& input, size_t& inputSize, char*& output, size_t& outputSize);

private:
    int _slot;
    void* _descriptor;
};

} // namespace Platform
} // namespace Talmex
