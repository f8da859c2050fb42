#pragma once

#include "Common/Singleton.h"
#include "Common/Threading/Mutex.h"
#include "Common/Threading/Thread.h"

namespace Talmex {
namespace Agent {

// Owns the channel thread, the whole UDP service of the agent.
class Network {
public:
    Network();

    // Starts the channel thread and returns at once.
    void Initialize();
    // Asks the channel thread to stop and returns once it has ended.
    void Finalize();

private:
    static void _ChannelThread();
    bool _IsStopRequested();

    Threading::Thread0<void> _thread;
    Threading::Mutex _mutex;
    bool _stopRequested;
};

} // namespace Agent

template <>
Agent::Network Singleton<Agent::Network>::_instance;

} // namespace Talmex
