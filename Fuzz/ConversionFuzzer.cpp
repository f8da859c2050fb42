// Every text conversion on any bytes, taken as UTF-8, as Shift-JIS and as
// wide text: what converts converts back to what it came from, up to its
// first zero character, and Shift-JIS, whole or salvaged, always gives UTF-8.

#include "Check.h"

#include "Common/String.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using TalmexFuzz::Check;

template <class S>
S UpToZero(S text)
{
    text.resize(std::min(text.size(), text.find(typename S::value_type())));
    return text;
}

// What converts converts back to its source, up to the source's first zero.
template <class Source, class Target>
void CheckRoundTrip(const Source& text,
                    Target (*forth)(const typename Source::value_type*, unsigned long),
                    Source (*back)(const typename Target::value_type*, unsigned long),
                    const char* failure)
{
    const Target converted = forth(text.data(), text.size());
    Check(converted.empty() || back(converted.data(), converted.size()) == UpToZero(text), failure);
}

void CheckShiftJIS(const std::string& text)
{
    const std::string utf8 = Talmex::_Mac_ShiftJISToUTF8(text.data(), text.size());
    // Salvaged text keeps its zero bytes; between them it is UTF-8.
    for (size_t start = 0; start < utf8.size();) {
        const size_t end = std::min(utf8.size(), utf8.find('\0', start));
        Check(end == start ||
                  !Talmex::_Mac_UTF8ToWideChar(utf8.data() + start, end - start).empty(),
              "Shift-JIS gave text that is not UTF-8");
        start = end + 1;
    }
    // Bytes below 0x80 are ASCII in Shift-JIS. A zero byte ends the whole
    // conversion's result, unless it comes first and makes it empty.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        Check(utf8 == (!text.empty() && text[0] == '\0' ? text : UpToZero(text)),
              "ASCII did not come through Shift-JIS unchanged");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace Talmex;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(bytes, &_Mac_UTF8ToWideChar, &_Mac_WideCharToUTF8,
                   "UTF-8 does not come back from wide text");
    CheckShiftJIS(bytes);
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), data, wide.size() * sizeof(wchar_t));
    CheckRoundTrip(wide, &_Mac_WideCharToUTF8, &_Mac_UTF8ToWideChar,
                   "wide text does not come back from UTF-8");
    CheckRoundTrip(wide, &_Mac_WideCharToShiftJIS, &_Mac_ShiftJISToWideChar,
                   "wide text does not come back from Shift-JIS");
    return 0;
}
