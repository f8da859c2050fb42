#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace TalmexFuzz {

// A property that failed: a finding. Stops the process, which libFuzzer
// reports together with the input that did it.
[[noreturn]] inline void Fail(const std::string& what)
{
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

inline void Check(bool holds, const char* what)
{
    if (!holds) {
        Fail(what);
    }
}

} // namespace TalmexFuzz
