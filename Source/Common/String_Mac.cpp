#include "Common/String.h"

#include "Common/Endian.h"
#include "Common/Platform/StringService.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>

namespace Talmex {

namespace {

using Platform::kShiftJISStringEncoding;
using Platform::kUTF32LittleEndianStringEncoding;
using Platform::kUTF8StringEncoding;
using Platform::StringConverter;

// Wide text is converted as UTF-32LE bytes straight into wchar_t storage.
static_assert(sizeof(wchar_t) == 4, "wide text is UTF-32 in 32-bit units");

// iconv slows down much with less room per call.
constexpr size_t kReadBackChunkBytes = 65536;

// Room for the usual case in one round: twice the input holds Japanese text
// converted to UTF-8 or UTF-32, and any text converted from UTF-32. Text that
// grows more (ASCII to UTF-32, half-width katakana to UTF-8) takes more
// rounds. iconv is much slower when fed small output buffers, so the room is
// the result itself rather than a reused chunk.
size_t _FirstOutputBytes(size_t inputBytes)
{
    return inputBytes * 2 + 8;
}

// Converts every byte of input into result, sized to the whole units it
// produced, or fails.
template <class T>
bool _ConvertAll(unsigned int targetEncoding, unsigned int sourceEncoding, const char* input,
                 size_t inputLeft, T& result)
{
    using Unit = typename T::value_type;
    StringConverter converter(targetEncoding, sourceEncoding);
    if (!converter.IsOpen()) {
        return false;
    }
    result.assign(_FirstOutputBytes(inputLeft) / sizeof(Unit) + 1, Unit());
    size_t produced = 0;
    for (;;) {
        const size_t room = result.size() * sizeof(Unit);
        char* output = reinterpret_cast<char*>(&result[0]) + produced;
        size_t outputLeft = room - produced;
        const StringConverter::Result status =
            converter.Convert(input, inputLeft, output, outputLeft);
        produced = room - outputLeft;
        if (status == StringConverter::Result::Failed) {
            return false;
        }
        if (status == StringConverter::Result::Converted) {
            break;
        }
        result.resize(result.size() * 2);
    }
    result.resize(produced / sizeof(Unit));
    return true;
}

// The Shift-JIS converter writes some characters it lacks as look-alikes
// that read back as other characters, and drops others without a word. Only
// text that converts back to exactly its source has been expressed whole.
// The text read back is compared a chunk at a time, so no second copy of the
// whole text is made.
template <class T>
bool _ConvertsBack(const T& converted, unsigned int convertedEncoding, const char* source,
                   size_t sourceBytes, unsigned int sourceEncoding)
{
    StringConverter converter(sourceEncoding, convertedEncoding);
    if (!converter.IsOpen()) {
        return false;
    }
    const char* input = reinterpret_cast<const char*>(converted.data());
    size_t inputLeft = converted.size() * sizeof(typename T::value_type);
    const std::unique_ptr<char[]> chunk(new char[kReadBackChunkBytes]);
    size_t compared = 0;
    for (;;) {
        char* output = chunk.get();
        size_t outputLeft = kReadBackChunkBytes;
        const StringConverter::Result status =
            converter.Convert(input, inputLeft, output, outputLeft);
        const size_t produced = kReadBackChunkBytes - outputLeft;
        if (status == StringConverter::Result::Failed || produced > sourceBytes - compared ||
            std::memcmp(chunk.get(), source + compared, produced) != 0) {
            return false;
        }
        compared += produced;
        if (status == StringConverter::Result::Converted) {
            return compared == sourceBytes;
        }
    }
}

// The whole text is converted or none of it. The result ends at its first
// zero unit, as the terminated text of the converted string would. Null or
// empty input never reaches the platform.
template <class T, class U>
T _Mac_ConvertString(unsigned int targetEncoding, const U* text, unsigned long length,
                     unsigned int sourceEncoding)
{
    if (text == nullptr || length == 0 || length > std::numeric_limits<size_t>::max() / sizeof(U)) {
        return T();
    }
    const char* input = reinterpret_cast<const char*>(text);
    const size_t inputBytes = length * sizeof(U);
    T result;
    if (!_ConvertAll(targetEncoding, sourceEncoding, input, inputBytes, result)) {
        return T();
    }
    if (targetEncoding == kShiftJISStringEncoding &&
        !_ConvertsBack(result, targetEncoding, input, inputBytes, sourceEncoding)) {
        return T();
    }
    const size_t zero = result.find(typename T::value_type());
    if (zero != T::npos) {
        result.resize(zero);
    }
    return result;
}

bool _IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
}

bool _IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

bool _IsHalfWidthKana(unsigned char c)
{
    return c >= 0xA1 && c <= 0xDF;
}

std::string _ShiftJISToUTF8(const char* text, unsigned long length)
{
    return _Mac_ConvertString<std::string, char>(kUTF8StringEncoding, text, length,
                                                 kShiftJISStringEncoding);
}

// Keeps ASCII (zero bytes too) and every character that converts on its own;
// drops lone lead bytes, unconvertible characters and bytes that start none.
std::string _SalvageShiftJIS(const char* text, unsigned long length)
{
    std::string result;
    unsigned long i = 0;
    while (i < length) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char n = i + 1 < length ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c <= 0x7F) {
            result += static_cast<char>(c);
            i += 1;
        } else if (_IsLeadByte(c) && _IsTrailByte(n)) {
            result += _ShiftJISToUTF8(text + i, 2);
            i += 2;
        } else if (_IsHalfWidthKana(c)) {
            result += _ShiftJISToUTF8(text + i, 1);
            i += 1;
        } else {
            i += 1;
        }
    }
    return result;
}

} // namespace

std::wstring _Mac_UTF8ToWideChar(const char* text, unsigned long length)
{
    return _Mac_ConvertString<std::wstring, char>(kUTF32LittleEndianStringEncoding, text, length,
                                                  kUTF8StringEncoding);
}

std::wstring _Mac_ShiftJISToWideChar(const char* text, unsigned long length)
{
    const std::string utf8 = _Mac_ShiftJISToUTF8(text, length);
    return _Mac_UTF8ToWideChar(utf8.data(), utf8.size());
}

std::string _Mac_ShiftJISToUTF8(const char* text, unsigned long length)
{
    if (text == nullptr || length == 0) {
        return std::string();
    }
    std::string result = _ShiftJISToUTF8(text, length);
    if (!result.empty()) {
        return result;
    }
    return _SalvageShiftJIS(text, length);
}

std::string _Mac_WideCharToShiftJIS(const wchar_t* text, unsigned long length)
{
    return _Mac_ConvertString<std::string, wchar_t>(kShiftJISStringEncoding, text, length,
                                                    kUTF32LittleEndianStringEncoding);
}

std::string _Mac_WideCharToUTF8(const wchar_t* text, unsigned long length)
{
    return _Mac_ConvertString<std::string, wchar_t>(kUTF8StringEncoding, text, length,
                                                    kUTF32LittleEndianStringEncoding);
}

} // namespace Talmex
