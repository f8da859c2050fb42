#include "Support/AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <pthread.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<bool> _isCounting{false};
std::atomic<long> _allocations{0};
pthread_t _counterThread;

void _Count()
{
    if (_isCounting.load(std::memory_order_acquire) &&
        !pthread_equal(pthread_self(), _counterThread)) {
        _allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace

extern "C" void* malloc(size_t size) noexcept
{
    _Count();
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) noexcept
{
    _Count();
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, size_t size) noexcept
{
    _Count();
    return __libc_realloc(pointer, size);
}

extern "C" void free(void* pointer) noexcept
{
    __libc_free(pointer);
}

namespace TalmexTest {

void StartCountingAllocations()
{
    _counterThread = pthread_self();
    _allocations = 0;
    _isCounting = true;
}

void StopCountingAllocations()
{
    _isCounting = false;
}

long CountedAllocations()
{
    return _allocations.load();
}

} // namespace TalmexTest
