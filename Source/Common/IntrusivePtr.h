#pragma once

#include "Common/Platform/Assert.h"

#include <cstdint>

namespace Talmex {

// The reference count that IntrusivePtr relies on; a counted class carries it
// as its first field. The count is a plain integer: counted objects never
// cross threads.
struct IntrusiveRefCount {
    uint32_t _refCount = 0;
};

// A reference-counting pointer whose count lives in the object it points to.
// The object is deleted when its last pointer goes.
template <class T>
class IntrusivePtr {
public:
    IntrusivePtr() : _p(nullptr) {}
    explicit IntrusivePtr(T* p) : _p(nullptr) { _Reset(p, true); }
    IntrusivePtr(const IntrusivePtr& other) : _p(other._p) { _AddRef(_p); }
    ~IntrusivePtr() { _Release(_p); }

    IntrusivePtr& operator=(const IntrusivePtr& other)
    {
        _Reset(other._p, true);
        return *this;
    }

    T& operator*() const
    {
        TALMEX_ASSERT(_p);
        return *_p;
    }

    T* operator->() const
    {
        TALMEX_ASSERT(_p);
        return _p;
    }

    T* Get() const { return _p; }

    // Points at p. With addRef false the caller's own reference is taken over
    // instead of counting a new one.
    void _Reset(T* p, bool addRef)
    {
        if (p == _p) {
            // Taking over a reference to what is already held would count it
            // twice; give the surplus back.
            if (!addRef && p != nullptr) {
                --p->_refCount;
            }
            return;
        }
        T* const old = _p;
        _p = p;
        if (addRef) {
            _AddRef(p);
        }
        _Release(old);
    }

private:
    static void _AddRef(T* p)
    {
        if (p != nullptr) {
            ++p->_refCount;
        }
    }

    static void _Release(T* p)
    {
        if (p != nullptr && --p->_refCount == 0) {
            _Delete(p);
        }
    }

    // Out of line: inlined, GCC 12 at -O3 sees the delete of one release
    // before the decrement of another release of the same object, and reports
    // a use after free that the count above one rules out.
    [[gnu::noinline]] static void _Delete(T* p) { delete p; }

    T* _p;
};

} // namespace Talmex
