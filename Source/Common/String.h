#pragma once

#include <string>

namespace Talmex {

// Conversions between UTF-8, Shift-JIS and wide text (UTF-32 in wchar_t).
// Each reads exactly `length` units of `text` (bytes, or wchar_t for wide
// input), which need not be terminated. A null text, a zero length, or text
// that is invalid in its encoding or cannot be expressed in the target gives
// an empty result; nothing partial is returned. A zero character ends the
// result. Safe to call from several threads at once.
std::wstring _Mac_UTF8ToWideChar(const char* text, unsigned long length);
std::wstring _Mac_ShiftJISToWideChar(const char* text, unsigned long length);
std::string _Mac_WideCharToShiftJIS(const wchar_t* text, unsigned long length);
std::string _Mac_WideCharToUTF8(const wchar_t* text, unsigned long length);

// Shift-JIS that cannot be converted as a whole is salvaged character by
// character: what converts is kept in order, what does not is dropped, and
// zero bytes are kept.
std::string _Mac_ShiftJISToUTF8(const char* text, unsigned long length);

} // namespace Talmex
