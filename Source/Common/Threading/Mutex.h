#pragma once

#include <pthread.h>

namespace Talmex {
namespace Threading {

// A recursive mutex that turns into a no-op once destroyed, so that a late
// user during process exit never touches a destroyed platform mutex.
class Mutex {
public:
    Mutex() : _isValid(true)
    {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
        pthread_mutex_init(&_mutex, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }

    ~Mutex()
    {
        if (_isValid) {
            _isValid = false;
            pthread_mutex_destroy(&_mutex);
        }
    }

    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock()
    {
        if (_isValid) {
            pthread_mutex_lock(&_mutex);
        }
    }

    void Unlock()
    {
        if (_isValid) {
            pthread_mutex_unlock(&_mutex);
        }
    }

private:
    pthread_mutex_t _mutex;
    bool _isValid;
};

} // namespace Threading
} // namespace Talmex
