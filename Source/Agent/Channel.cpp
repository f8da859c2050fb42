#include "Agent/Channel.h"

#include "Common/Time.h"

namespace Talmex {
namespace Agent {

void Channel::CreateSToken()
{
    _sToken = GetTimeMilliseconds();
}

} // namespace Agent
} // namespace Talmex
