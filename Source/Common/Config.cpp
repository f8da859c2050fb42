#include "Common/Config.h"

#include "Common/Platform/Assert.h"
#include "Common/Platform/ThreadLocale.h"
#include "Common/String.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr size_t kMessageBufferSize = 2048;
// One less than the buffer, so the message holds at most 2046 units.
constexpr size_t kMessageLimit = kMessageBufferSize - 1;
constexpr size_t kPieceBufferSize = 128;
constexpr size_t kPieceLimit = kPieceBufferSize - 1;
constexpr size_t kMaxWidthDigits = 5;

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

// Only these take the wide format apart: a '%' immediately followed by s or S
// (a wide string) or c or C (a wide character), or non-ASCII text, which must
// pass unchanged. Anything else between the '%' and the letter leaves the
// format to the platform's formatter.
bool _NeedsPiecewise(const wchar_t* format, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = format[i];
        if (c == L'%') {
            const wchar_t next = i + 1 < length ? format[i + 1] : L'\0';
            if (next == L's' || next == L'S' || next == L'c' || next == L'C') {
                return true;
            }
        } else if (static_cast<unsigned int>(c) > 127) {
            return true;
        }
    }
    return false;
}

// What may stand between a '%' and its conversion letter: an argument
// position, flags, a width and a precision (both possibly '*').
bool _IsConversionPrefix(wchar_t c)
{
    return _IsDigit(c) || wcschr(L"$-+ #'I*.", c) != nullptr;
}

bool _IsLengthModifier(wchar_t c)
{
    return wcschr(L"hlLqjzZt", c) != nullptr;
}

// The platform's wide formatter reads a plain %s as narrow text and %c as a
// narrow character, but every argument of this function is wide. Gives the
// offset, at or after `from`, of the next s or c letter of a conversion
// without a length modifier ("%5s", "%-3c", but not "%ls", "%5S" or "%%s"),
// or `length` if there is none.
size_t _NextNarrowTextLetter(const wchar_t* format, size_t length, size_t from)
{
    size_t i = from;
    while (i < length) {
        if (format[i] != L'%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        if (j < length && format[j] == L'%') {
            i = j + 1;
            continue;
        }
        while (j < length && _IsConversionPrefix(format[j])) {
            ++j;
        }
        const size_t modifierStart = j;
        while (j < length && _IsLengthModifier(format[j])) {
            ++j;
        }
        if (j < length && j == modifierStart && (format[j] == L's' || format[j] == L'c')) {
            return j;
        }
        i = j;
    }
    return length;
}

void _LogDirect(const wchar_t* format, size_t length, va_list arguments)
{
    // A copy in which each such conversion carries the wide length modifier,
    // so that it reads wide text and every other conversion keeps its
    // meaning; only a format that needs it allocates one.
    std::wstring widened;
    size_t copied = 0;
    for (size_t letter = _NextNarrowTextLetter(format, length, 0); letter < length;
         letter = _NextNarrowTextLetter(format, length, letter + 1)) {
        widened.append(format + copied, letter - copied);
        widened += L'l';
        copied = letter;
    }
    if (copied > 0) {
        widened.append(format + copied, length - copied);
    }
    wchar_t buffer[kMessageBufferSize];
    const int produced =
        std::vswprintf(buffer, kMessageLimit, copied > 0 ? widened.c_str() : format, arguments);
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
    case L'd':
    case L'D':
    case L'u':
    case L'U':
    case L'x':
    case L'X':
    case L'f':
    case L'F':
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
void _AppendNumber(std::wstring& message, const wchar_t* width, size_t widthLength, wchar_t letter,
                   va_list& arguments)
{
    wchar_t specifier[2 + kMaxWidthDigits + 1] = {L'%'};
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

// Handles the '%' at format[i]: appends the conversion it starts and returns
// the index after it; if it starts none, appends the '%' alone and returns
// i + 1, so that what follows is read as plain text.
size_t _AppendConversion(std::wstring& message, const wchar_t* format, size_t length, size_t i,
                         va_list& arguments)
{
    size_t letterIndex = i + 1;
    while (letterIndex < length && _IsDigit(format[letterIndex]) &&
           letterIndex - (i + 1) <= kMaxWidthDigits) {
        ++letterIndex;
    }
    const size_t widthLength = letterIndex - (i + 1);
    const wchar_t letter = letterIndex < length ? format[letterIndex] : L'\0';
    if (widthLength <= kMaxWidthDigits && _IsNumericConversion(letter)) {
        _AppendNumber(message, format + i + 1, widthLength, letter, arguments);
        return letterIndex + 1;
    }
    if (widthLength == 0 && (letter == L'c' || letter == L'C')) {
        message += static_cast<wchar_t>(va_arg(arguments, int));
        return letterIndex + 1;
    }
    if (widthLength == 0 && (letter == L's' || letter == L'S')) {
        const wchar_t* text = va_arg(arguments, const wchar_t*);
        message += text != nullptr ? text : L"%s";
        return letterIndex + 1;
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
