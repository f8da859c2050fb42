#pragma once

namespace Talmex {

// One process-wide object of T, built before main and destroyed after it.
//
// The member is only declared here. Each instantiation is defined once, as an
// explicit specialisation, in the translation unit that fixes the order of
// all process-wide objects: C++ orders dynamic initialisation within one
// translation unit but not across them, nor for implicitly instantiated
// template members.
template <class T>
class Singleton {
public:
    static T _instance;
};

} // namespace Talmex
