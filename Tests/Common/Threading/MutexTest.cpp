#include "Common/Threading/Mutex.h"
#include "Common/Threading/Thread.h"

#include <atomic>
#include <new>
#include <thread>
#include <type_traits>

#include <gtest/gtest.h>

namespace {

using Talmex::Threading::Mutex;
using Talmex::Threading::Sleep;

// Polls a flag set by another thread, for at most about five seconds.
bool Eventually(const std::atomic<bool>& flag)
{
    for (int i = 0; i < 5000 && !flag; ++i) {
        Sleep(1);
    }
    return flag;
}

TEST(MutexTest, RecursiveLockingLeavesItFreeAfterMatchingUnlocks)
{
    Mutex mutex;
    mutex.Lock();
    mutex.Lock();
    mutex.Unlock();
    mutex.Unlock();

    std::atomic<bool> locked{false};
    std::thread other([&] {
        mutex.Lock();
        locked = true;
        mutex.Unlock();
    });
    EXPECT_TRUE(Eventually(locked));
    other.join();
}

TEST(MutexTest, ExcludesOtherThreadsWhileHeld)
{
    Mutex mutex;
    mutex.Lock();
    std::atomic<bool> locked{false};
    std::thread other([&] {
        mutex.Lock();
        locked = true;
        mutex.Unlock();
    });
    Sleep(50);
    EXPECT_FALSE(locked);
    mutex.Unlock();
    EXPECT_TRUE(Eventually(locked));
    other.join();
}

TEST(MutexTest, DoesNothingOnceDestroyed)
{
#ifdef TALMEX_THREAD_SANITIZER
    GTEST_SKIP() << "destroys a mutex that another thread holds, which ThreadSanitizer reports";
#endif
    std::aligned_storage_t<sizeof(Mutex), alignof(Mutex)> storage;
    Mutex* mutex = new (&storage) Mutex;

    // Another thread holds the platform mutex while it is destroyed, so any
    // later lock that still reached it would block.
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        mutex->Lock();
        holding = true;
        while (!release) {
            Sleep(1);
        }
    });
    ASSERT_TRUE(Eventually(holding));
    mutex->~Mutex();

    std::atomic<bool> returned{false};
    std::thread late([&] {
        mutex->Lock();
        mutex->Unlock();
        returned = true;
    });
    EXPECT_TRUE(Eventually(returned));
    release = true;
    holder.join();
    if (returned) {
        late.join();
    } else {
        late.detach();
    }
}

} // namespace
