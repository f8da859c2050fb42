#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace TalmexFuzz {

// What the bound plug-in has logged so far, one call a line; null when no
// plug-in is bound.
using PluginLog = std::string (*)();

// Admits one fresh channel and hands it the input's datagrams as the channel
// thread does, one service cycle each: the magic check, the request, then the
// channel's report. An input is a run of datagrams, each after its length in
// two little-endian bytes. Stops the process when the agent breaks a rule of
// its protocol.
void RunChannel(const uint8_t* data, size_t size, PluginLog log);

} // namespace TalmexFuzz
