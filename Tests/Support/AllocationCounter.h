#pragma once

namespace TalmexTest {

// Counts the calls of the C library's allocator (malloc, calloc, realloc)
// made by every thread but the one that started the count: operator new, the
// C library and the plug-ins' own C code all end there. A program has it by
// compiling AllocationCounter.cpp in, which replaces those entry points; a
// sanitizer's runtime replaces them too, so no sanitized program can.
void StartCountingAllocations();
void StopCountingAllocations();
// Calls counted since the count started.
long CountedAllocations();

} // namespace TalmexTest
