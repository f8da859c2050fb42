#include "Monitor/Diagnosis.h"

#include <vector>

namespace Talmex {
namespace Monitor {

namespace {

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

} // namespace Monitor
} // namespace Talmex
