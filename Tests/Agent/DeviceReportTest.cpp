#include "Agent/Device.h"
#include "Support/Golden.h"
#include "Support/ScriptedHeadset.h"

#include <string>

#include <gtest/gtest.h>

namespace {

using Talmex::Singleton;
using Talmex::Agent::Channel;
using Talmex::Agent::Device;
using Talmex::Agent::Stream;
using namespace TalmexTest;

Bytes Report(Channel& channel)
{
    Stream stream;
    Singleton<Device>::_instance.WriteTo(stream, channel);
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

uint32_t Bits(std::initializer_list<int> bits)
{
    uint32_t word = 0;
    for (int bit : bits) {
        word |= 1u << bit;
    }
    return word;
}

class DeviceReportTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(_headset.IsBound()); }

    ScriptedHeadset _headset;
    Channel _channel;
};

TEST_F(DeviceReportTest, ReportLayoutByteForByte)
{
    _headset.SetAnswer("OVR_Update", 1, 3, {1, 0, 1});
    _headset.SetAnswer("OVR_IsHMDPresent", 1, 0);
    _headset.SetAnswer("OVR_GetSensorCount", 2, 0);
    _headset.SetAnswer("OVR_RenderPortraitMode", 0, 0);
    _headset.SetAnswer("OVR_GetScreenResolution", 1, 2, {1280, 800});
    _headset.SetAnswer("OVR_GetScreenSize", 1, 2, {0.5, 0.25});
    _headset.SetAnswer("OVR_GetEyeToScreenDistance", 1, 1, {0.041});
    _headset.SetAnswer("OVR_GetInterpupillaryDistance", 0, 1, {0.064}); // invalid, still sent
    _headset.SetAnswer("OVR_GetLensSeparationDistance", 1, 0);          // valid, unwritten
    _headset.SetAnswer("OVR_GetPlayerEyeHeight", 1, 1, {1.5});
    _headset.SetAnswer("OVR_GetEyeOffset", 1, 1, {-0.03}); // second unwritten
    _headset.SetAnswer("OVR_GetScreenVCenter", 1, 1, {0.05});
    _headset.SetAnswer("OVR_GetDistortionCoefficients", 1, 4, {1, 0.2, 0.3, 0.4});
    _headset.SetAnswer("OVR_DisplayLatencyScreenColor", 1, 3, {10, 20, 30});
    _headset.SetAnswer("OVR_IsSensorPresent", 1, 0);
    _headset.SetAnswer("OVR_IsMagCalibrated", 0, 0);
    _headset.SetAnswer("OVR_IsYawCorrectionEnabled", 2, 0); // any non-zero byte is true
    _headset.SetAnswer("OVR_GetSensorOrientation", 1, 4, {0.5, -0.5, 0.25, 0.75});
    _headset.SetAnswer("OVR_GetSensorPredictedOrientation", 0, 4, {0.1, 0.2, 0.3, 0.4});
    _headset.SetAnswer("OVR_GetSensorPredictionTime", 1, 1, {0.03});
    _headset.SetAnswer("OVR_GetAcceleration", 1, 3, {0, 9.75, 0});
    _headset.SetAnswer("OVR_GetAngularVelocity", 0, 3, {1, 2, 3});
    _headset.SetAnswer("OVR_GetMagnetometer", 1, 3, {0.1, 0.2, 0.3});

    _channel._sToken = 0x11223344;
    _channel._clientToken = 0x55667788;
    _channel._requestSequence = 77;

    Bytes expected = {'T', 'L', 'X', '0'};
    AppendWord(expected, 0x11223344);
    AppendWord(expected, 0x55667788);
    AppendWord(expected, 1); // the first report of the channel
    AppendWord(expected, 77);
    AppendWord(expected, 0x05031004);
    AppendWord(expected, 0x03200500);
    AppendWord(expected, Bits({0, 2, 3, 5, 6, 7, 9, 10, 11, 12, 13, 14}));
    const uint32_t sensorFlags = Bits({0, 2, 3, 5, 6, 7});
    AppendWord(expected, sensorFlags);
    AppendWord(expected, sensorFlags);
    const std::vector<double> display = {0.5, 0.25, 0.041, 0.064, 0,   1.5, -0.03,
                                         0,   0.05, 1,     0.2,   0.3, 0.4};
    for (double value : display) {
        AppendWord(expected, BitsOf(static_cast<float>(value)));
    }
    const std::vector<double> sensor = {0.5, -0.5, 0.25, 0.75, 0.1, 0.2, 0.3, 0.4, 0.03,
                                        0,   9.75, 0,    1,    2,   3,   0.1, 0.2, 0.3};
    for (int s = 0; s < 2; ++s) {
        for (double value : sensor) {
            // The scripted plug-in tells sensors apart by 1000 per index.
            AppendWord(expected, BitsOf(static_cast<float>(value + 1000.0 * s)));
        }
    }
    expected.insert(expected.end(), {10, 20, 30, 2, 2});

    EXPECT_EQ(Report(_channel), expected);
    EXPECT_EQ(GoldenBytes("report.hex"), expected) << "the clients' golden report";
}

TEST_F(DeviceReportTest, PlugInIsAskedInTheReportOrder)
{
    Report(_channel);
    std::string sensorCalls[2];
    for (int s = 0; s < 2; ++s) {
        const std::string n = std::to_string(s);
        for (const char* name :
             {"IsSensorPresent", "IsMagCalibrated", "IsYawCorrectionEnabled",
              "GetSensorOrientation", "GetSensorPredictedOrientation", "GetSensorPredictionTime",
              "GetAcceleration", "GetAngularVelocity", "GetMagnetometer"}) {
            sensorCalls[s] += std::string("OVR_") + name + "(" + n + ")\n";
        }
    }
    EXPECT_EQ(_headset.Log(), "OVR_Update(0, 0, 0)\n" // flags cleared before the call
                              "OVR_IsHMDPresent()\n"
                              "OVR_GetSensorCount()\n"
                              "OVR_RenderPortraitMode()\n"
                              "OVR_GetScreenResolution()\n"
                              "OVR_GetScreenSize()\n"
                              "OVR_GetEyeToScreenDistance()\n"
                              "OVR_GetInterpupillaryDistance()\n"
                              "OVR_GetLensSeparationDistance()\n"
                              "OVR_GetPlayerEyeHeight()\n"
                              "OVR_GetEyeOffset()\n"
                              "OVR_GetScreenVCenter()\n"
                              "OVR_GetDistortionCoefficients()\n"
                              "OVR_DisplayLatencyScreenColor()\n" +
                                  sensorCalls[0] + sensorCalls[1]);
}

TEST_F(DeviceReportTest, OutOfRangeIntegersAreClamped)
{
    const struct {
        int sensorCount;
        double horizontal, vertical;
        unsigned char countByte;
        uint32_t resolution;
    } cases[] = {
        {300, 70000, -3, 255, 0x0000FFFF},
        {-1, 65535, 65536, 0, 0xFFFFFFFF},
        {1, 1280, 800, 1, 0x03200500},
    };
    for (const auto& c : cases) {
        _headset.SetAnswer("OVR_GetSensorCount", c.sensorCount, 0);
        _headset.SetAnswer("OVR_GetScreenResolution", 1, 2, {c.horizontal, c.vertical});
        const Bytes report = Report(_channel);
        ASSERT_EQ(report.size(), kReportSize);
        EXPECT_EQ(ReportByte(report, 3), c.countByte) << c.sensorCount;
        EXPECT_EQ(ReportByte(report, 4), 2) << "always two sensor records";
        EXPECT_EQ(ReportInteger(report, 0), c.resolution) << c.horizontal << " x " << c.vertical;
    }
}

TEST_F(DeviceReportTest, AngularVelocityAndMagnetometerShareOneValidityBit)
{
    for (int angularVelocity = 0; angularVelocity < 2; ++angularVelocity) {
        for (int magnetometer = 0; magnetometer < 2; ++magnetometer) {
            _headset.SetAnswer("OVR_GetAngularVelocity", angularVelocity, 3, {1, 2, 3});
            _headset.SetAnswer("OVR_GetMagnetometer", magnetometer, 3, {4, 5, 6});
            const uint32_t flags = ReportInteger(Report(_channel), 2);
            EXPECT_EQ((flags >> 7) & 1, angularVelocity | magnetometer);
            EXPECT_EQ(flags >> 8, 0u);
        }
    }
}

TEST_F(DeviceReportTest, ReportSequenceStartsAtOneAndSkipsZero)
{
    EXPECT_EQ(WordAt(Report(_channel), 12), 1u);
    EXPECT_EQ(WordAt(Report(_channel), 12), 2u);
    _channel._replySequence = 0xFFFFFFFE;
    EXPECT_EQ(WordAt(Report(_channel), 12), 0xFFFFFFFFu);
    EXPECT_EQ(WordAt(Report(_channel), 12), 1u);
}

TEST_F(DeviceReportTest, ChannelWithoutTheHeadsetGetsTheSameBlock)
{
    _headset.SetAnswer("OVR_GetSensorOrientation", 1, 4, {0.5, 0.5, 0.5, 0.5});
    Channel other;
    _channel._ownsDevice = true;
    const Bytes owner = Report(_channel);
    const Bytes bystander = Report(other);
    EXPECT_EQ(Bytes(owner.begin() + 20, owner.end()),
              Bytes(bystander.begin() + 20, bystander.end()));
}

TEST(DeviceReportWithoutPlugInTest, ReportIsAllZerosButItsShape)
{
    Channel channel;
    channel._sToken = 9;
    const Bytes report = Report(channel);
    ASSERT_EQ(report.size(), kReportSize);
    EXPECT_EQ(WordAt(report, 4), 9u);
    EXPECT_EQ(WordAt(report, 12), 1u);
    EXPECT_EQ(WordAt(report, 20), 0x05031004u);
    Bytes block(report.begin() + kReportIntegersAt, report.end());
    Bytes expected(block.size(), 0);
    expected[block.size() - 1] = 2; // the number of sensor records
    EXPECT_EQ(block, expected);
}

TEST(DeviceReportMissingEntryPointTest, MissingMagnetometerReadsZeroAndLeavesTheRest)
{
    ScriptedHeadset headset("scripted-without-magnetometer");
    ASSERT_TRUE(headset.IsBound());
    headset.SetAnswer("OVR_GetAngularVelocity", 0, 3, {1, 2, 3});
    headset.SetAnswer("OVR_GetAcceleration", 1, 3, {7, 8, 9});
    Channel channel;
    Bytes report = Report(channel);
    for (size_t s = 0; s < 2; ++s) {
        const size_t record = 13 + s * kSensorRecordFloats;
        EXPECT_EQ(ReportFloat(report, record + 9), 7.0f + 1000.0f * s);
        EXPECT_EQ(ReportFloat(report, record + 12), 1.0f + 1000.0f * s);
        for (size_t k = 15; k < 18; ++k) {
            EXPECT_EQ(ReportFloat(report, record + k), 0.0f) << "magnetometer " << k;
        }
        EXPECT_EQ((ReportInteger(report, 2 + s) >> 7) & 1, 0u) << "follows angular velocity alone";
    }

    headset.SetAnswer("OVR_GetAngularVelocity", 1, 3, {1, 2, 3});
    report = Report(channel);
    EXPECT_EQ((ReportInteger(report, 2) >> 7) & 1, 1u);
}

} // namespace
