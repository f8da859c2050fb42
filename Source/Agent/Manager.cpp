#include "Agent/Manager.h"

#include "Agent/Device.h"
#include "Agent/Network.h"

namespace Talmex {
namespace Agent {

void Manager::Initialize()
{
    // The service runs with or without the headset plug-in.
    Singleton<Device>::_instance.Initialize();
    Singleton<Network>::_instance.Initialize();
}

void Manager::Finalize()
{
    // The plug-in is unloaded only once no thread can call into it.
    Singleton<Network>::_instance.Finalize();
    Singleton<Device>::_instance.Finalize();
}

} // namespace Agent
} // namespace Talmex
