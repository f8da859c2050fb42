#include "Common/Platform/StringService.h"

#include <cerrno>
#include <iconv.h>

namespace Talmex {
namespace Platform {

namespace {

const iconv_t _closed = reinterpret_cast<iconv_t>(-1);

// Plain names, without //TRANSLIT or //IGNORE: either would make a lossy
// conversion look like a success. CP932 keeps 0x00 to 0x7F as ASCII.
struct _Encoding {
    unsigned int platformEncoding;
    const char* iconvName;
};

constexpr _Encoding _encodings[] = {
    {kUTF8StringEncoding, "UTF-8"},
    {kShiftJISStringEncoding, "CP932"},
    {kUTF32LittleEndianStringEncoding, "UTF-32LE"},
};

constexpr int kEncodingCount = sizeof _encodings / sizeof _encodings[0];

int _EncodingIndex(unsigned int encoding)
{
    for (int index = 0; index < kEncodingCount; ++index) {
        if (_encodings[index].platformEncoding == encoding) {
            return index;
        }
    }
    return -1;
}

// Opening a descriptor costs far more than a short conversion, so each thread
// keeps one per direction (null when it has none). A converter borrows it and
// gives it back, so a descriptor never serves two conversions at once. The
// array is trivially destructible, so conversions made while the thread ends
// (from other thread-local destructors) still find it, empty.
thread_local iconv_t _descriptors[kEncodingCount * kEncodingCount];
thread_local bool _isThreadEnding = false;

struct _DescriptorCloser {
    ~_DescriptorCloser()
    {
        _isThreadEnding = true;
        for (iconv_t& descriptor : _descriptors) {
            if (descriptor != nullptr) {
                iconv_close(descriptor);
                descriptor = nullptr;
            }
        }
    }
};

thread_local _DescriptorCloser _closer;

} // namespace

StringConverter::StringConverter(unsigned int targetEncoding, unsigned int sourceEncoding)
    : _slot(-1), _descriptor(_closed)
{
    const int target = _EncodingIndex(targetEncoding);
    const int source = _EncodingIndex(sourceEncoding);
    if (target < 0 || source < 0) {
        return;
    }
    _slot = target * kEncodingCount + source;
    iconv_t descriptor = _descriptors[_slot];
    _descriptors[_slot] = nullptr;
    if (descriptor == nullptr) {
        descriptor = iconv_open(_encodings[target].iconvName, _encodings[source].iconvName);
    } else {
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    }
    _descriptor = descriptor;
}

StringConverter::~StringConverter()
{
    if (_descriptor == _closed) {
        return;
    }
    iconv_t& cached = _descriptors[_slot];
    if (cached == nullptr && !_isThreadEnding) {
        // Taking the closer's address arranges for it to run when the thread ends.
        static_cast<void>(&_closer);
        cached = static_cast<iconv_t>(_descriptor);
    } else {
        iconv_close(static_cast<iconv_t>(_descriptor));
    }
}

bool StringConverter::IsOpen() const
{
    return _descriptor != _closed;
}

StringConverter::Result StringConverter::Convert(const char*& input, size_t& inputSize,
                                                 char*& output, size_t& outputSize)
{
    if (!IsOpen()) {
        return Result::Failed;
    }
    // iconv's prototype is not const-correct; it never writes the input.
    char* in = const_cast<char*>(input);
    const size_t converted =
        iconv(static_cast<iconv_t>(_descriptor), &in, &inputSize, &output, &outputSize);
    input = in;
    if (converted == static_cast<size_t>(-1)) {
        // EILSEQ: invalid or unrepresentable; EINVAL: input ends mid-character.
        return errno == E2BIG ? Result::OutputFull : Result::Failed;
    }
    // A positive count means characters were replaced by approximations.
    return converted == 0 && inputSize == 0 ? Result::Converted : Result::Failed;
}

} // namespace Platform
} // namespace Talmex
