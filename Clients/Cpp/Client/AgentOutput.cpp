#include "Client/AgentOutput.h"

namespace Talmex {
namespace Client {

void AgentOutput::Add(const char* bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\n') {
            _EndLine();
            continue;
        }
        _hasPartial = true;
        if (byte == '\r' || _partial.size() >= kLongestLine) {
            continue;
        }
        _partial += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
    }
}

void AgentOutput::Finish()
{
    if (_hasPartial) {
        _EndLine();
    }
}

void AgentOutput::Clear()
{
    *this = AgentOutput();
}

void AgentOutput::_EndLine()
{
    ++_lineCount;
    if (_lines.size() == kKeptLines) {
        _lines.pop_front();
    }
    _lines.push_back(std::move(_partial));
    _partial.clear();
    _hasPartial = false;
}

} // namespace Client
} // namespace Talmex
