#pragma once

#include "Common/Singleton.h"

namespace Talmex {
namespace Agent {

// Holds the start and stop order of the two working singletons.
class Manager {
public:
    void Initialize();
    void Finalize();
};

} // namespace Agent

template <>
Agent::Manager Singleton<Agent::Manager>::_instance;

} // namespace Talmex
