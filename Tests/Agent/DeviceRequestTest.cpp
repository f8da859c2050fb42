#include "Agent/Device.h"
#include "Support/ProtocolBytes.h"
#include "Support/ScriptedHeadset.h"

#include <gtest/gtest.h>

namespace {

using Talmex::Singleton;
using Talmex::Agent::Channel;
using Talmex::Agent::Device;
using Talmex::Agent::Stream;
using namespace TalmexTest;

class DeviceRequestTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(_headset.IsBound());
        _channel._ownsDevice = true;
        _channel._sToken = kSessionToken;
    }

    bool Send(const Bytes& datagram)
    {
        Stream stream;
        stream.Write(datagram.data(), datagram.size());
        return _device.ReadFrom(stream, _channel);
    }

    // A request with the next sequence number.
    bool SendWishes(const Wishes& wishes)
    {
        return Send(RequestOf({kClientToken, kSessionToken, ++_sequence}, wishes));
    }

    static constexpr uint32_t kSessionToken = 0x51515151;
    static constexpr uint32_t kClientToken = 0xC1C1C1C1;

    ScriptedHeadset _headset;
    Device& _device = Singleton<Device>::_instance;
    Channel _channel;
    uint32_t _sequence = 100;
};

TEST_F(DeviceRequestTest, HeaderChecksAcceptOnlyAdvancingRequestsOfTheSameSession)
{
    const struct {
        const char* what;
        uint32_t latchedClient, latchedSequence;
        RequestHeader request;
        bool accepted;
    } cases[] = {
        {"fresh channel takes any client and sequence", 0, 0, {7, 0, 0}, true},
        {"same client, next sequence", 7, 10, {7, 0, 11}, true},
        {"another client", 7, 10, {8, 0, 11}, false},
        {"right session token", 7, 10, {7, kSessionToken, 11}, true},
        {"wrong session token", 7, 10, {7, kSessionToken + 1, 11}, false},
        {"repeated sequence", 7, 5, {7, 0, 5}, false},
        {"older sequence", 7, 5, {7, 0, 4}, false},
        {"sequence wraps to 1", 7, 0xFFFFFFFF, {7, 0, 1}, true},
        {"half the sequence space ahead", 7, 5, {7, 0, 2147483652u}, true},
        {"more than half ahead is behind", 7, 5, {7, 0, 2147483653u}, false},
    };
    for (const auto& c : cases) {
        _channel._clientToken = c.latchedClient;
        _channel._requestSequence = c.latchedSequence;
        EXPECT_EQ(Send(HeaderOf(c.request)), c.accepted) << c.what;
        EXPECT_EQ(_channel._clientToken, c.accepted ? c.request.clientToken : c.latchedClient)
            << c.what;
        EXPECT_EQ(_channel._requestSequence, c.accepted ? c.request.sequence : c.latchedSequence)
            << c.what;
    }
}

TEST_F(DeviceRequestTest, BareMagicIsAnEmptyRequestThatPassesAFreshChannel)
{
    EXPECT_TRUE(Send({'T', 'L', 'X', '0'}));
    EXPECT_EQ(_channel._clientToken, 0u);
    EXPECT_EQ(_channel._requestSequence, 0u);
    EXPECT_EQ(_headset.Log(), "");

    // A truncated header word reads as 0.
    EXPECT_TRUE(Send({'T', 'L', 'X', '0', 1, 2}));
    EXPECT_EQ(_channel._clientToken, 0u);
    EXPECT_TRUE(Send({'T', 'L', 'X', '0', 1, 2, 0, 0}));
    EXPECT_EQ(_channel._clientToken, 0x0201u);
}

TEST_F(DeviceRequestTest, EachChangedCounterCallsThePlugInOnceInOrder)
{
    Wishes wishes;
    wishes.latencyInputCounter = 1;
    wishes.sensors[0] = {1, 1, 1, 1, 0.25f, 1, 0};
    wishes.sensors[1] = {2, 2, 2, 2, 0.5f, 0, 7};
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "OVR_ProcessLatencyInputs()\n"
                              "OVR_SetSensorPredictionTime(0, 0.25)\n"
                              "OVR_EnableYawCorrection(0, 1)\n"
                              "OVR_ResetSensorOrientation(0)\n"
                              "OVR_EnableMagYawCorrection(0, 0)\n"
                              "OVR_SetSensorPredictionTime(1, 0.5)\n"
                              "OVR_EnableYawCorrection(1, 0)\n"
                              "OVR_ResetSensorOrientation(1)\n"
                              "OVR_EnableMagYawCorrection(1, 1)\n");

    _headset.ClearLog();
    EXPECT_FALSE(Send(RequestOf({kClientToken, 0, _sequence}, wishes))) << "a duplicate";
    EXPECT_TRUE(SendWishes(wishes)) << "a later request with the same counters";
    wishes.sensors[0].predictionTimeSeconds = 0.75f; // an argument without its counter
    wishes.sensors[1].yawCorrection = 1;
    EXPECT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "");

    wishes.sensors[1].resetOrientationCounter = 1; // any change counts, down too
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "OVR_ResetSensorOrientation(1)\n");
}

TEST_F(DeviceRequestTest, SensorCountIsCappedAtTwoAndLimitsWhatIsRead)
{
    Wishes wishes;
    wishes.sensorCount = 7;
    wishes.sensors[1].resetOrientationCounter = 3;
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "OVR_ResetSensorOrientation(1)\n");

    _headset.ClearLog();
    wishes.sensorCount = 1;
    wishes.sensors[0].resetOrientationCounter = 4;
    wishes.sensors[1].resetOrientationCounter = 9;
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "OVR_ResetSensorOrientation(0)\n");
    EXPECT_EQ(_channel._resetOrientationCounter[1], 3u);

    _headset.ClearLog();
    wishes.sensorCount = 0;
    wishes.sensors[0].resetOrientationCounter = 5;
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "");
}

TEST_F(DeviceRequestTest, HeaderOnlyRequestResetsTheLatencyCounter)
{
    Wishes wishes;
    wishes.latencyInputCounter = 9;
    ASSERT_TRUE(SendWishes(wishes));
    _headset.ClearLog();

    ASSERT_TRUE(Send(HeaderOf({kClientToken, 0, ++_sequence})));
    EXPECT_EQ(_channel._latencyInputCounter, 0u);
    EXPECT_EQ(_headset.Log(), "OVR_ProcessLatencyInputs()\n");
}

TEST_F(DeviceRequestTest, UndecodableBlockIsRefusedButItsHeaderStaysLatched)
{
    Bytes request = HeaderOf({kClientToken, 0, 42});
    AppendWord(request, 0x05000009); // nine integers and five bytes declared
    AppendWord(request, 1);          // one present
    EXPECT_FALSE(Send(request));
    EXPECT_EQ(_channel._clientToken, kClientToken);
    EXPECT_EQ(_channel._requestSequence, 42u);
    EXPECT_EQ(_channel._latencyInputCounter, 0u);
    EXPECT_EQ(_headset.Log(), "");
}

TEST_F(DeviceRequestTest, ChannelWithoutTheHeadsetRecordsItsCountersButCallsNothing)
{
    _channel._ownsDevice = false;
    Wishes wishes;
    wishes.latencyInputCounter = 1;
    wishes.sensors[0].resetOrientationCounter = 1;
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_channel._latencyInputCounter, 1u);
    EXPECT_EQ(_channel._resetOrientationCounter[0], 1u);

    _channel._ownsDevice = true;
    ASSERT_TRUE(SendWishes(wishes));
    EXPECT_EQ(_headset.Log(), "");
}

} // namespace
