// Checks that the agent's process-wide objects are built before main in the
// order Manager, Device, Network, reader, writer, and destroyed after main in
// reverse. Manager and Device do nothing when built, so what can be seen is
// Network's mutex and the codecs' reserved arrays; allocations and mutex calls
// are recorded from the first instruction on and matched to their owners in
// main. Exits with 1 and a description when the order is wrong.

#include "Agent/Device.h"
#include "Agent/Network.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <pthread.h>
#include <unistd.h>

using Talmex::Singleton;
using Talmex::Agent::_binaryReader;
using Talmex::Agent::_binaryWriter;
using Talmex::Agent::Network;

namespace {

enum class Kind { Allocate, Free, MutexInit, MutexDestroy, Main };

struct Event {
    Kind kind;
    const void* address;
};

// Constant-initialised, so usable before any constructor has run.
constexpr size_t kMaxEvents = 4096;
Event _events[kMaxEvents];
std::atomic<size_t> _eventCount{0};

// Takes a plain pointer: a pointer to const would make the compiler believe
// the fresh allocation is read.
void Record(Kind kind, void* address)
{
    const size_t index = _eventCount.fetch_add(1);
    if (index < kMaxEvents) {
        _events[index] = {kind, address};
    }
}

// The first allocation of each codec, found in main.
const void* _readerArray = nullptr;
const void* _writerArray = nullptr;

bool IsNetworkMutex(const void* address)
{
    const auto* network = reinterpret_cast<const unsigned char*>(&Singleton<Network>::_instance);
    const auto* byte = static_cast<const unsigned char*>(address);
    return byte >= network && byte < network + sizeof(Network);
}

const char* OwnerOf(const Event& event)
{
    switch (event.kind) {
    case Kind::Main:
        return "main";
    case Kind::MutexInit:
    case Kind::MutexDestroy:
        return IsNetworkMutex(event.address) ? "Network" : nullptr;
    case Kind::Allocate:
    case Kind::Free:
        if (event.address == _readerArray) {
            return "BinaryReader";
        }
        return event.address == _writerArray ? "BinaryWriter" : nullptr;
    }
    return nullptr;
}

bool IsFreedAfter(size_t allocation, size_t count)
{
    for (size_t i = allocation + 1; i < count; ++i) {
        if (_events[i].kind == Kind::Free && _events[i].address == _events[allocation].address) {
            return true;
        }
    }
    return false;
}

// Finds the live recorded allocation whose first word holds the marker.
const void* AllocationHolding(uint32_t marker)
{
    const size_t count = std::min(_eventCount.load(), kMaxEvents);
    for (size_t i = 0; i < count; ++i) {
        if (_events[i].kind == Kind::Allocate && !IsFreedAfter(i, count)) {
            uint32_t word;
            std::memcpy(&word, _events[i].address, sizeof word);
            if (word == marker) {
                return _events[i].address;
            }
        }
    }
    return nullptr;
}

void CheckOrder()
{
    static const char* const expected[] = {"Network",      "BinaryReader", "BinaryWriter", "main",
                                           "BinaryWriter", "BinaryReader", "Network"};
    const char* seen[sizeof expected / sizeof expected[0] + 1];
    size_t seenCount = 0;
    bool ok = true;
    const size_t count = _eventCount.load();
    for (size_t i = 0; i < count && i < kMaxEvents; ++i) {
        const char* owner = OwnerOf(_events[i]);
        if (owner == nullptr) {
            continue;
        }
        if (seenCount == sizeof expected / sizeof expected[0]) {
            ok = false;
            break;
        }
        seen[seenCount++] = owner;
    }
    ok = ok && seenCount == sizeof expected / sizeof expected[0];
    for (size_t i = 0; ok && i < seenCount; ++i) {
        ok = std::strcmp(seen[i], expected[i]) == 0;
    }
    std::printf("%s:", ok ? "order ok" : "wrong order");
    for (size_t i = 0; i < seenCount; ++i) {
        std::printf(" %s", seen[i]);
    }
    std::printf("\n");
    std::fflush(stdout);
    _exit(ok ? 0 : 1);
}

// Runs before any C++ static constructor, so CheckOrder, registered here,
// runs after every static destructor.
__attribute__((constructor(101))) void RegisterCheck()
{
    std::atexit(&CheckOrder);
}

} // namespace

extern "C" int __real_pthread_mutex_init(pthread_mutex_t*, const pthread_mutexattr_t*);
extern "C" int __real_pthread_mutex_destroy(pthread_mutex_t*);

extern "C" int __wrap_pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attr)
{
    Record(Kind::MutexInit, mutex);
    return __real_pthread_mutex_init(mutex, attr);
}

extern "C" int __wrap_pthread_mutex_destroy(pthread_mutex_t* mutex)
{
    Record(Kind::MutexDestroy, mutex);
    return __real_pthread_mutex_destroy(mutex);
}

void* operator new(size_t size)
{
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        Record(Kind::Allocate, p);
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    Record(Kind::Free, p);
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    operator delete(p);
}

int main()
{
    constexpr uint32_t kWriterMarker = 0x57524954;
    constexpr uint32_t kReaderMarker = 0x52454144;

    // Both fit the reserved capacity, so they land in the arrays built at start.
    _binaryWriter.Clear();
    _binaryWriter.Write32(kWriterMarker);
    Talmex::Agent::Stream block;
    block.Write32(1);
    block.Write32(kReaderMarker);
    _binaryReader.Read(block);

    _writerArray = AllocationHolding(kWriterMarker);
    _readerArray = AllocationHolding(kReaderMarker);
    Record(Kind::Main, nullptr);
    return 0;
}
