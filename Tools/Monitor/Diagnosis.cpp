#include "Monitor/Diagnosis.h"

#include <vector>

namespace Talmex {
namespace Monitor {

namespace {

// Room for the last line on the status line, which shares it with a note.
constexpr size_t kShownLineLength = 48;

std::string _Lines(uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

std::vector<unsigned char> _BlockOf(const Client::HeadsetState& state)
{
    Protocol::BlockWriter writer;
    Protocol::Stream stream;
    Protocol::WriteReport(state, writer, stream);
    return std::vector<unsigned char>(stream.Data() + Protocol::kHeaderSize,
                                      stream.Data() + stream.Size());
}

} // namespace

bool ShowsNoPlugin(const Client::HeadsetState& state)
{
    // Compared as encoded, so that no field of the report can be forgotten.
    Client::HeadsetState empty;
    empty.sensorRecordCount = state.sensorRecordCount;
    return _BlockOf(state) == _BlockOf(empty);
}

std::string NoteOf(const Client::Client& client, const Client::HeadsetState* latest)
{
    switch (client.GetStatus()) {
    case Client::Status::kAgentExited:
    case Client::Status::kFailed:
        return client.LastError();
    case Client::Status::kNotAnswering:
        return "agent not answering";
    default:
        break;
    }
    if (latest != nullptr && ShowsNoPlugin(*latest)) {
        return "no headset plug-in: all values are zero";
    }
    return std::string();
}

std::string OutputNoteOf(const Client::AgentOutput& output)
{
    if (output.Lines().empty()) {
        return std::string();
    }
    std::string last = output.Lines().back();
    if (last.size() > kShownLineLength) {
        // Cut before a character, never inside one.
        size_t end = kShownLineLength - 3;
        while (end > 0 && (static_cast<unsigned char>(last[end]) & 0xC0) == 0x80) {
            --end;
        }
        last = last.substr(0, end) + "...";
    }
    return "agent printed " + _Lines(output.LineCount()) + ", last: " + last;
}

std::vector<std::string> OutputLinesOf(const Client::AgentOutput& output, const std::string& who)
{
    std::vector<std::string> lines;
    if (output.Lines().empty()) {
        return lines;
    }
    const uint64_t count = output.LineCount();
    lines.push_back(who + " " + _Lines(count) +
                    (count > output.Lines().size()
                         ? ", the last " + std::to_string(output.Lines().size()) + ":"
                         : ":"));
    for (const std::string& line : output.Lines()) {
        lines.push_back("  " + line);
    }
    return lines;
}

} // namespace Monitor
} // namespace Talmex
