#include "Agent/Network.h"

namespace Talmex {
namespace Agent {

Network::Network() : _thread(&Network::_ChannelThread), _stopRequested(false) {}

void Network::Initialize()
{
    _thread.Invoke();
}

void Network::Finalize()
{
    _mutex.Lock();
    _stopRequested = true;
    _mutex.Unlock();

    _thread.Join();

    _mutex.Lock();
    _stopRequested = false;
    _mutex.Unlock();
}

bool Network::_IsStopRequested()
{
    _mutex.Lock();
    const bool stopRequested = _stopRequested;
    _mutex.Unlock();
    return stopRequested;
}

void Network::_ChannelThread()
{
    Network& network = Singleton<Network>::_instance;
    while (!network._IsStopRequested()) {
        Threading::Sleep(10);
    }
}

} // namespace Agent
} // namespace Talmex
