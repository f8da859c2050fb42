#include "Agent/Channel.h"
#include "Agent/Frame.h"
#include "Common/IntrusivePtr.h"
#include "Common/Time.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

using Talmex::IntrusivePtr;
using Talmex::Agent::Channel;
using Talmex::Agent::Frame;

// Counts its own destructions, to see when the pointer frees it.
struct Tracked : Talmex::IntrusiveRefCount {
    explicit Tracked(int* destroyed) : _destroyed(destroyed) {}
    ~Tracked() { ++*_destroyed; }
    int* _destroyed;
};

TEST(IntrusivePtrTest, CountsCopiesAndFreesWithTheLast)
{
    int destroyed = 0;
    auto* object = new Tracked(&destroyed);
    {
        IntrusivePtr<Tracked> first(object);
        EXPECT_EQ(object->_refCount, 1u);
        {
            IntrusivePtr<Tracked> second(first);
            IntrusivePtr<Tracked> third;
            third = second;
            EXPECT_EQ(object->_refCount, 3u);
            // Self-assignment, as it comes about through a reference, changes
            // nothing.
            IntrusivePtr<Tracked>& alias = third;
            third = alias;
            EXPECT_EQ(object->_refCount, 3u);
        }
        EXPECT_EQ(object->_refCount, 1u);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(IntrusivePtrTest, ResetReleasesTheOldObject)
{
    int destroyed = 0;
    IntrusivePtr<Tracked> pointer(new Tracked(&destroyed));
    auto* next = new Tracked(&destroyed);
    pointer._Reset(next, true);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(next->_refCount, 1u);
    pointer._Reset(nullptr, true);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(pointer.Get(), nullptr);
}

TEST(IntrusivePtrTest, ResetWithoutAddRefTakesOverTheCallersReference)
{
    int destroyed = 0;
    auto* object = new Tracked(&destroyed);
    object->_refCount = 1; // the caller's reference
    {
        IntrusivePtr<Tracked> pointer;
        pointer._Reset(object, false);
        EXPECT_EQ(object->_refCount, 1u);

        // Handing over a second reference to the object already held must
        // not leave it counted twice.
        ++object->_refCount;
        pointer._Reset(object, false);
        EXPECT_EQ(object->_refCount, 1u);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(IntrusivePtrTest, RemovingFromTheMiddleOfATableKeepsTheOthersCounts)
{
    std::vector<IntrusivePtr<Channel>> table;
    Channel* channels[3];
    for (Channel*& channel : channels) {
        channel = new Channel();
        table.push_back(IntrusivePtr<Channel>(channel));
    }
    table.erase(table.begin());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].Get(), channels[1]);
    EXPECT_EQ(table[1].Get(), channels[2]);
    EXPECT_EQ(channels[1]->_refCount, 1u);
    EXPECT_EQ(channels[2]->_refCount, 1u);
}

TEST(IntrusivePtrDeathTest, NullDereferenceStopsTheProcess)
{
    IntrusivePtr<Channel> empty;
    EXPECT_DEATH(static_cast<void>(*empty), "\\(_p\\), function operator\\*");
    EXPECT_DEATH(static_cast<void>(empty->_sToken), "\\(_p\\), function operator->");
}

TEST(ChannelTest, StartsAllZeroAndTakesTheClockAsSessionToken)
{
    IntrusivePtr<Channel> channel(new Channel());
    EXPECT_EQ(channel->_idleTime, 0u);
    EXPECT_FALSE(channel->_ownsDevice);
    EXPECT_EQ(channel->_clientToken | channel->_replySequence | channel->_requestSequence |
                  channel->_latencyInputCounter | channel->_resetOrientationCounter[1],
              0u);

    const uint32_t before = Talmex::GetTimeMilliseconds();
    channel->CreateSToken();
    const uint32_t after = Talmex::GetTimeMilliseconds();
    EXPECT_LE(channel->_sToken - before, after - before);
}

TEST(FrameTest, CarriesAZeroReferenceCount)
{
    Frame frame;
    EXPECT_EQ(frame._refCount, 0u);
}

} // namespace
