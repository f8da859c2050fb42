#pragma once

namespace Talmex {
namespace Platform {

// Writes one record to standard error in one piece, framed as
// "YYYY-MM-DD HH:MM:SS.mmm name[pid:tid] text" and a newline, in local time.
// A null text is an empty message.
void SystemLog(const char* text);

} // namespace Platform
} // namespace Talmex
