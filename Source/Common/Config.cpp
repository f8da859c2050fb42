#include "Common/Config.h"

#include "Common/Platform/Assert.h"
#include "Common/Platform/ThreadLocale.h"
#include "Common/String.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr size_t kMessageBufferSize = 2048;
// One less than the buffer, so the message holds at most 2046 units.
constexpr size_t kMessageLimit = kMessageBufferSize - 1;
constexpr size_t kPieceBufferSize = 128;
constexpr size_t kPieceLimit = kPieceBufferSize - 1;
constexpr size_t kMaxFieldDigits = 5;
constexpr int kMaxFieldValue = 99999;

// The platform's name; where the C library lacks it, formatting keeps the
// thread's locale.
const char* const kLogLocale = "Japanese";

void _LogWide(const wchar_t* text, size_t length)
{
    Talmex::_NSLog(Talmex::_Mac_WideCharToUTF8(text, length).c_str());
}

bool _IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool _IsFlag(wchar_t c)
{
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0';
}

bool _IsTextConversion(wchar_t c)
{
    return c == L's' || c == L'S' || c == L'c' || c == L'C';
}

// A width or precision as written: digits, or '*' to take it from an int
// argument.
struct _Field {
    size_t start = 0;
    size_t digits = 0;
    bool isFromArgument = false;
};

// What lies between a '%' and a text conversion letter:
// [flags][width][.precision].
struct _TextConversion {
    bool isLeftAligned = false;
    _Field width;
    bool hasPrecision = false;
    _Field precision;
    size_t letterIndex = 0;
};

size_t _ReadField(const wchar_t* format, size_t length, size_t i, _Field& field)
{
    field.start = i;
    if (i < length && format[i] == L'*') {
        field.isFromArgument = true;
        return i + 1;
    }
    while (i < length && _IsDigit(format[i])) {
        ++i;
    }
    field.digits = i - field.start;
    return i;
}

// Reads the conversion after the '%' at format[percent]; true if a text
// conversion letter ends it.
bool _ReadTextConversion(const wchar_t* format, size_t length, size_t percent,
                         _TextConversion& conversion)
{
    size_t i = percent + 1;
    while (i < length && _IsFlag(format[i])) {
        conversion.isLeftAligned = conversion.isLeftAligned || format[i] == L'-';
        ++i;
    }
    i = _ReadField(format, length, i, conversion.width);
    if (i < length && format[i] == L'.') {
        conversion.hasPrecision = true;
        i = _ReadField(format, length, i + 1, conversion.precision);
    }
    conversion.letterIndex = i;
    return i < length && _IsTextConversion(format[i]);
}

// Only these take the wide format apart: %s and %S must read wide strings and
// %c and %C wide characters, whatever flags, width or precision they carry,
// and non-ASCII text must pass unchanged.
bool _NeedsPiecewise(const wchar_t* format, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        _TextConversion conversion;
        if (format[i] == L'%' && _ReadTextConversion(format, length, i, conversion)) {
            return true;
        }
        if (static_cast<unsigned int>(format[i]) > 127) {
            return true;
        }
    }
    return false;
}

void _LogDirect(const wchar_t* format, size_t length, va_list arguments)
{
    wchar_t buffer[kMessageBufferSize];
    const int produced = std::vswprintf(buffer, kMessageLimit, format, arguments);
    if (produced < 0) {
        // A message that does not fit is logged as its format rather than cut.
        _LogWide(format, length);
        return;
    }
    buffer[produced] = L'\0';
    _LogWide(buffer, std::wcslen(buffer));
}

bool _IsNumericConversion(wchar_t c)
{
    switch (c) {
    case L'd': case L'D': case L'u': case L'U':
    case L'x': case L'X': case L'f': case L'F':
        return true;
    default:
        return false;
    }
}

// Formats one numeric argument with `specifier` and appends at most 126
// characters of it.
void _AppendPiece(std::wstring& message, const wchar_t* specifier, ...)
{
    wchar_t piece[kPieceBufferSize] = {};
    va_list arguments;
    va_start(arguments, specifier);
    const int produced = std::vswprintf(piece, kPieceLimit, specifier, arguments);
    va_end(arguments);
    if (produced < 0) {
        // The formatter leaves a piece that does not fit unterminated.
        piece[kPieceLimit - 1] = L'\0';
    }
    message += piece;
}

// Appends the conversion %<width><letter> and takes its argument. D and U are
// the platform's old spellings of d and u.
void _AppendNumber(std::wstring& message, const wchar_t* width, size_t widthLength,
                   wchar_t letter, va_list& arguments)
{
    wchar_t specifier[2 + kMaxFieldDigits + 1] = {L'%'};
    std::wmemcpy(specifier + 1, width, widthLength);
    specifier[1 + widthLength] = letter == L'D' ? L'd' : letter == L'U' ? L'u' : letter;
    switch (letter) {
    case L'd':
    case L'D':
        _AppendPiece(message, specifier, va_arg(arguments, int));
        break;
    case L'f':
    case L'F':
        _AppendPiece(message, specifier, va_arg(arguments, double));
        break;
    default:
        _AppendPiece(message, specifier, va_arg(arguments, unsigned int));
        break;
    }
}

// A field's value, from its digits or its argument. Values are kept to what
// five digits can write, so that no field asks for a huge piece.
int _FieldValue(const wchar_t* format, const _Field& field, va_list& arguments)
{
    if (field.isFromArgument) {
        const int value = va_arg(arguments, int);
        return std::clamp(value, -kMaxFieldValue, kMaxFieldValue);
    }
    int value = 0;
    for (size_t i = 0; i < field.digits; ++i) {
        value = value * 10 + (format[field.start + i] - L'0');
    }
    return value;
}

// Appends a wide string or character as printf would: cut to the precision,
// padded with spaces to the width, on the left unless '-' is given or the
// width argument is negative. A null string stands as "%s".
void _AppendText(std::wstring& message, const wchar_t* format,
                 const _TextConversion& conversion, va_list& arguments)
{
    const int width = _FieldValue(format, conversion.width, arguments);
    const int precision =
        conversion.hasPrecision ? _FieldValue(format, conversion.precision, arguments) : -1;
    const wchar_t letter = format[conversion.letterIndex];
    wchar_t character = L'\0';
    const wchar_t* text = &character;
    size_t textLength = 1;
    if (letter == L'c' || letter == L'C') {
        character = static_cast<wchar_t>(va_arg(arguments, int));
    } else {
        text = va_arg(arguments, const wchar_t*);
        text = text != nullptr ? text : L"%s";
        // A precision bounds the read, so the text need not be terminated.
        textLength = precision >= 0 ? wcsnlen(text, static_cast<size_t>(precision))
                                    : std::wcslen(text);
    }
    const size_t fieldLength = static_cast<size_t>(std::abs(width));
    const size_t padding = fieldLength > textLength ? fieldLength - textLength : 0;
    const bool isLeftAligned = conversion.isLeftAligned || width < 0;
    if (!isLeftAligned) {
        message.append(padding, L' ');
    }
    message.append(text, textLength);
    if (isLeftAligned) {
        message.append(padding, L' ');
    }
}

// Handles the '%' at format[i]: appends the conversion it starts and returns
// the index after it; if it starts none, appends the '%' alone and returns
// i + 1, so that what follows is read as plain text.
size_t _AppendConversion(std::wstring& message, const wchar_t* format, size_t length, size_t i,
                         va_list& arguments)
{
    _Field width;
    const size_t letterIndex = _ReadField(format, length, i + 1, width);
    const wchar_t letter = letterIndex < length ? format[letterIndex] : L'\0';
    if (!width.isFromArgument && width.digits <= kMaxFieldDigits && _IsNumericConversion(letter)) {
        _AppendNumber(message, format + i + 1, width.digits, letter, arguments);
        return letterIndex + 1;
    }
    _TextConversion conversion;
    if (_ReadTextConversion(format, length, i, conversion) &&
        conversion.width.digits <= kMaxFieldDigits &&
        conversion.precision.digits <= kMaxFieldDigits) {
        _AppendText(message, format, conversion, arguments);
        return conversion.letterIndex + 1;
    }
    message += L'%';
    return i + 1;
}

void _PrintPiecewise(const wchar_t* format, size_t length, va_list arguments)
{
    // A local copy, so the helpers can take it by reference and advance it.
    va_list remaining;
    va_copy(remaining, arguments);
    std::wstring message;
    size_t i = 0;
    while (i < length) {
        if (format[i] == L'%') {
            i = _AppendConversion(message, format, length, i, remaining);
        } else {
            message += format[i];
            i += 1;
        }
    }
    va_end(remaining);
    std::puts(Talmex::_Mac_WideCharToUTF8(message.data(), message.size()).c_str());
}

} // namespace

void _TALMEX_LOG(const char* format, ...)
{
    TALMEX_ASSERT(format != nullptr);
    const Talmex::Platform::ThreadLocaleScope locale(kLogLocale);
    // Zeroed and never written at its last byte by the formatter, so it stays
    // terminated whatever a failing formatter leaves behind.
    char buffer[kMessageBufferSize] = {};
    va_list arguments;
    va_start(arguments, format);
    const int produced = std::vsnprintf(buffer, kMessageLimit, format, arguments);
    va_end(arguments);
    if (produced >= 0) {
        buffer[std::min(static_cast<size_t>(produced), kMessageLimit - 1)] = '\0';
    }
    Talmex::_NSLog(buffer);
}

void _TALMEX_LOG(const wchar_t* format, ...)
{
    TALMEX_ASSERT(format != nullptr);
    const Talmex::Platform::ThreadLocaleScope locale(kLogLocale);
    const size_t length = std::wcslen(format);
    va_list arguments;
    va_start(arguments, format);
    if (_NeedsPiecewise(format, length)) {
        _PrintPiecewise(format, length, arguments);
    } else {
        _LogDirect(format, length, arguments);
    }
    va_end(arguments);
}
