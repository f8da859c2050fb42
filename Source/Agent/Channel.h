#pragma once

#include "Common/IntrusivePtr.h"
#include "Protocol/Header.h"

#include <cstdint>
#include <netinet/in.h>

namespace Talmex {
namespace Agent {

// The agent's record of one client: its address, the header state of the
// protocol, its request counters, its idle time and whether it holds the
// headset. Touched by the channel thread only.
struct Channel : IntrusiveRefCount {
    static constexpr int kSensorCount = Protocol::kSensorCount;

    sockaddr_in _address{};
    uint32_t _idleTime = 0;
    bool _ownsDevice = false;
    uint32_t _predictionTimeCounter[kSensorCount] = {};
    uint32_t _yawCorrectionCounter[kSensorCount] = {};
    uint32_t _resetOrientationCounter[kSensorCount] = {};
    uint32_t _magYawCorrectionCounter[kSensorCount] = {};
    uint32_t _latencyInputCounter = 0;
    uint32_t _sToken = 0;
    uint32_t _clientToken = 0;
    uint32_t _replySequence = 0;
    uint32_t _requestSequence = 0;

    // The session token is the creation time: not secret, only distinct
    // between successive sessions of one client.
    void CreateSToken();
};

static_assert(sizeof(sockaddr_in) == 16, "channels compare and store 16-byte IPv4 addresses");

} // namespace Agent
} // namespace Talmex
