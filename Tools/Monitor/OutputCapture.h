#pragma once

#include "Client/AgentOutput.h"

#include <functional>

namespace Talmex {
namespace Monitor {

// Runs the call with this process's standard output and error going to a
// file of their own, and takes in what was written there: a plug-in's code
// runs as it loads, and may print, which must neither reach the terminal raw
// nor mix with the check's own lines.
void CaptureOutput(const std::function<void()>& call, Client::AgentOutput& output);

} // namespace Monitor
} // namespace Talmex
