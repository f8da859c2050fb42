#pragma once

namespace Talmex {

// Hand one finished text to the system log, unchanged. A null or
// unconvertible wide text logs an empty message.
void _NSLog(const char* text);
void _NSLog(const wchar_t* text);

} // namespace Talmex

// printf-style logging; every call writes one message, and the format must
// not be null. The narrow message is cut at 2046 bytes.
void _TALMEX_LOG(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In the wide format, %s and %S take a wide string and %c and %C a wide
// character, with any flags, width or precision. A format holding one of
// these, or any character above 127, is formatted here piece by piece and
// printed to standard output with a newline: only these four (with '-', and a
// width and precision of up to five digits or '*') and %d %D %u %U %x %X %f
// %F (with a width of up to five digits) are conversions; everything else,
// %% included, is copied as written. Any other format goes to the system log
// whole, or as the raw format if its message would pass 2046 characters.
void _TALMEX_LOG(const wchar_t* format, ...);
