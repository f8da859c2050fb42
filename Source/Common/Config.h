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
// character. A format in which a '%' is immediately followed by one of these
// four letters, or that holds any character above 127, is formatted here
// piece by piece and printed to standard output with a newline: only those
// four and %d %D %u %U %x %X %f %F (the last eight with a width of up to five
// digits) are conversions there; everything else, %% included, is copied as
// written. Any other format goes to the platform's formatter and the system
// log whole, with %s and %c read as wide text whatever their flags, width or
// precision, or as the raw format if its message would pass 2046 characters.
void _TALMEX_LOG(const wchar_t* format, ...);
