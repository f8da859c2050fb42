#include "Common/Config.h"

#include "Common/Platform/SystemLog.h"
#include "Common/String.h"

#include <cwchar>
#include <string>

namespace Talmex {

void _NSLog(const char* text)
{
    Platform::SystemLog(text);
}

void _NSLog(const wchar_t* text)
{
    const unsigned long length = text != nullptr ? std::wcslen(text) : 0;
    const std::string utf8 = _Mac_WideCharToUTF8(text, length);
    Platform::SystemLog(utf8.c_str());
}

} // namespace Talmex
