// The agent's request path with no plug-in bound: every wrapper gives its
// neutral result.

#include "RequestPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TalmexFuzz::RunChannel(data, size, nullptr);
    return 0;
}
