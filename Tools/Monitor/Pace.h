#pragma once

#include <chrono>

namespace Talmex {
namespace Monitor {

// The monitor's pace: ten frames, plain lines and trace samples a second.
constexpr int kFramesPerSecond = 10;
constexpr std::chrono::milliseconds kFrameInterval{1000 / kFramesPerSecond};

} // namespace Monitor
} // namespace Talmex
