// The agent's request path with the scripted test plug-in bound, so that
// every plug-in call a request causes shows in the plug-in's log.

#include "Check.h"
#include "RequestPath.h"
#include "Support/ScriptedHeadset.h"

#include <limits.h>
#include <unistd.h>

namespace {

TalmexTest::ScriptedHeadset* _headset = nullptr;

std::string Log()
{
    return _headset->Log();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The plug-in is bound from its folder as the current directory, for the
    // whole run; the paths the fuzzer is given are relative to where it was
    // started.
    char directory[PATH_MAX];
    TalmexFuzz::Check(getcwd(directory, sizeof directory) != nullptr, "no current directory");
    static TalmexTest::ScriptedHeadset headset;
    TalmexFuzz::Check(headset.IsBound(), "the scripted plug-in is not bound");
    TalmexFuzz::Check(chdir(directory) == 0, "the starting directory is gone");
    _headset = &headset;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    _headset->Reset();
    TalmexFuzz::RunChannel(data, size, &Log);
    return 0;
}
