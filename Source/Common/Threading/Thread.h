#pragma once

#include <pthread.h>
#include <unistd.h>

namespace Talmex {
namespace Threading {

// Suspends the calling thread for the given number of milliseconds.
inline void Sleep(unsigned int milliseconds)
{
    usleep(static_cast<useconds_t>(milliseconds) * 1000u);
}

// A thread that runs one plain function without arguments. Join() only waits:
// the owner must make the entry function return first.
template <class R>
class Thread0 {
public:
    using EntryFunction = R (*)();

    explicit Thread0(EntryFunction entry) : _entry(entry), _handle(), _isRunning(false) {}
    ~Thread0() { Join(); }

    Thread0(const Thread0&) = delete;
    Thread0& operator=(const Thread0&) = delete;

    void Invoke()
    {
        if (_isRunning) {
            Join();
        }
        // A thread that could not be created must never be joined later.
        _isRunning = pthread_create(&_handle, nullptr, &Thread0::_Run, this) == 0;
    }

    void Join()
    {
        if (!_isRunning) {
            return;
        }
        _isRunning = false;
        pthread_join(_handle, nullptr);
    }

    bool IsRunning() const { return _isRunning; }

private:
    static void* _Run(void* self)
    {
        static_cast<Thread0*>(self)->_entry();
        return nullptr;
    }

    const EntryFunction _entry;
    pthread_t _handle;
    bool _isRunning;
};

} // namespace Threading
} // namespace Talmex
