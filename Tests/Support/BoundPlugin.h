#pragma once

#include "Plugin/EntryPoints.h"
#include "Plugin/Location.h"

#include <dlfcn.h>

namespace TalmexTest {

// A headset plug-in opened as the agent opens it, each entry point bound by
// its name; null where the library lacks it.
struct BoundPlugin {
    explicit BoundPlugin(const char* path) : library(dlopen(path, Talmex::Plugin::kOpenMode))
    {
        if (library == nullptr) {
            return;
        }
#define TALMEX_BIND(name)                                                                          \
    name = reinterpret_cast<decltype(&OVR_##name)>(dlsym(library, "OVR_" #name));
        TALMEX_OVR_ENTRY_POINTS(TALMEX_BIND)
#undef TALMEX_BIND
    }

    ~BoundPlugin()
    {
        if (library != nullptr) {
            dlclose(library);
        }
    }

    BoundPlugin(const BoundPlugin&) = delete;
    BoundPlugin& operator=(const BoundPlugin&) = delete;

    // True when the library loaded and has every entry point.
    bool IsComplete() const
    {
        bool complete = library != nullptr;
#define TALMEX_FOUND(name) complete = complete && name != nullptr;
        TALMEX_OVR_ENTRY_POINTS(TALMEX_FOUND)
#undef TALMEX_FOUND
        return complete;
    }

    void* const library;
#define TALMEX_DECLARE(name) decltype(&OVR_##name) name = nullptr;
    TALMEX_OVR_ENTRY_POINTS(TALMEX_DECLARE)
#undef TALMEX_DECLARE
};

} // namespace TalmexTest
