#pragma once

#include "Protocol/Stream.h"

namespace Talmex {
namespace Agent {

using Protocol::Stream;

} // namespace Agent
} // namespace Talmex
