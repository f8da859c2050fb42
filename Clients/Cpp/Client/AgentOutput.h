#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace Talmex {
namespace Client {

// What the agent printed, its plug-in mostly, which is foreign code: lines
// counted, the last few kept, each cut to a bounded length with control
// characters made '?', so that nothing printed can grow the host's memory or
// reach its terminal raw.
class AgentOutput {
public:
    static constexpr size_t kKeptLines = 8;
    static constexpr size_t kLongestLine = 240;

    // Takes in bytes as they come; a line may arrive in pieces.
    void Add(const char* bytes, size_t size);
    // Counts a last line that ends without a newline, once the output has ended.
    void Finish();
    void Clear();

    uint64_t LineCount() const { return _lineCount; }
    // The last lines, oldest first, without their newlines.
    const std::deque<std::string>& Lines() const { return _lines; }

private:
    void _EndLine();

    uint64_t _lineCount = 0;
    std::deque<std::string> _lines;
    std::string _partial;
    bool _hasPartial = false;
};

} // namespace Client
} // namespace Talmex
