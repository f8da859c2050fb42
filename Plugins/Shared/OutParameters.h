#pragma once

#include "Quaternion.h"

namespace Headsets {

// Writes an entry point's out-parameter; the agent always passes storage,
// but a null one is skipped rather than written through.
template <class T>
void Store(T* destination, T value)
{
    if (destination != nullptr) {
        *destination = value;
    }
}

inline void StoreQuaternion(const Quaternion& q, float* w, float* x, float* y, float* z)
{
    Store(w, static_cast<float>(q.w));
    Store(x, static_cast<float>(q.x));
    Store(y, static_cast<float>(q.y));
    Store(z, static_cast<float>(q.z));
}

} // namespace Headsets
