#include "Agent/Device.h"
#include "Agent/OculusPlugin.h"
#include "Support/ScriptedHeadset.h"

#include <gtest/gtest.h>

namespace {

using Talmex::Singleton;
using Talmex::Agent::Device;
using Talmex::Agent::OculusPlugin;
using TalmexTest::ScriptedHeadset;

// Every wrapper with its neutral result when nothing is bound.
void ExpectUnboundResults()
{
    float f = 1.5f;
    int i = 3;
    unsigned char b = 4;
    OculusPlugin::MESSAGELIST messages{};
    EXPECT_FALSE(OculusPlugin::Update(messages));
    EXPECT_FALSE(OculusPlugin::Initialize());
    EXPECT_FALSE(OculusPlugin::Destroy());
    EXPECT_EQ(OculusPlugin::GetSensorCount(), 0);
    EXPECT_FALSE(OculusPlugin::IsHMDPresent());
    EXPECT_FALSE(OculusPlugin::GetSensorOrientation(0, f, f, f, f));
    EXPECT_FALSE(OculusPlugin::GetSensorPredictedOrientation(0, f, f, f, f));
    EXPECT_FALSE(OculusPlugin::GetSensorPredictionTime(0, f));
    EXPECT_FALSE(OculusPlugin::SetSensorPredictionTime(0, f));
    EXPECT_FALSE(OculusPlugin::EnableYawCorrection(0, true));
    EXPECT_FALSE(OculusPlugin::ResetSensorOrientation(0));
    EXPECT_FALSE(OculusPlugin::GetAcceleration(0, f, f, f));
    EXPECT_FALSE(OculusPlugin::GetAngularVelocity(0, f, f, f));
    EXPECT_FALSE(OculusPlugin::GetMagnetometer(0, f, f, f));
    EXPECT_FALSE(OculusPlugin::IsSensorPresent(0));
    EXPECT_EQ(OculusPlugin::GetDisplayDeviceName(), nullptr);
    EXPECT_FALSE(OculusPlugin::GetScreenResolution(i, i));
    EXPECT_FALSE(OculusPlugin::GetScreenSize(f, f));
    EXPECT_FALSE(OculusPlugin::GetEyeToScreenDistance(f));
    EXPECT_FALSE(OculusPlugin::GetInterpupillaryDistance(f));
    EXPECT_FALSE(OculusPlugin::GetLensSeparationDistance(f));
    EXPECT_FALSE(OculusPlugin::GetPlayerEyeHeight(f));
    EXPECT_FALSE(OculusPlugin::GetEyeOffset(f, f));
    EXPECT_FALSE(OculusPlugin::GetScreenVCenter(f));
    EXPECT_FALSE(OculusPlugin::GetDistortionCoefficients(f, f, f, f));
    EXPECT_FALSE(OculusPlugin::RenderPortraitMode());
    OculusPlugin::ProcessLatencyInputs();
    EXPECT_FALSE(OculusPlugin::DisplayLatencyScreenColor(b, b, b));
    EXPECT_EQ(OculusPlugin::GetLatencyResultsString(), nullptr);
    EXPECT_FALSE(OculusPlugin::IsMagCalibrated(0));
    EXPECT_FALSE(OculusPlugin::EnableMagYawCorrection(0, true));
    EXPECT_FALSE(OculusPlugin::IsYawCorrectionEnabled(0));
    // Out-values are left alone.
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(i, 3);
    EXPECT_EQ(b, 4);
}

TEST(PluginBindingTest, WithoutALibraryEveryWrapperIsNeutralAndTheDeviceStillLocks)
{
    Device& device = Singleton<Device>::_instance;
    device.Initialize(); // nothing to find from the test's folders
    ExpectUnboundResults();
    EXPECT_TRUE(device.LockDevice());
    EXPECT_FALSE(device.LockDevice());
    device.UnlockDevice();
    device.Finalize();
}

TEST(PluginBindingTest, AfterFreeNothingReachesTheLibrary)
{
    std::string log;
    {
        ScriptedHeadset headset;
        ASSERT_TRUE(headset.IsBound());
        EXPECT_TRUE(OculusPlugin::IsHMDPresent());
        Singleton<Device>::_instance.Finalize();
        ExpectUnboundResults();
        log = headset.Log();
    }
    EXPECT_EQ(log, "OVR_IsHMDPresent()\n");
}

TEST(PluginBindingTest, LockAlternatesInitializeAndDestroy)
{
    ScriptedHeadset headset;
    ASSERT_TRUE(headset.IsBound());
    Device& device = Singleton<Device>::_instance;
    device.UnlockDevice(); // free: nothing to release
    EXPECT_TRUE(device.LockDevice());
    EXPECT_FALSE(device.LockDevice());
    device.UnlockDevice();
    device.UnlockDevice();
    EXPECT_TRUE(device.LockDevice());
    device.UnlockDevice();
    EXPECT_EQ(headset.Log(), "OVR_Initialize()\nOVR_Destroy()\nOVR_Initialize()\nOVR_Destroy()\n");
}

TEST(PluginBindingTest, ArgumentsAndResultsCrossUnchanged)
{
    ScriptedHeadset headset;
    ASSERT_TRUE(headset.IsBound());
    headset.SetAnswer("OVR_GetSensorCount", -7, 0);
    headset.SetAnswer("OVR_IsHMDPresent", 0x80, 0); // any non-zero byte is true
    headset.SetAnswer("OVR_GetEyeOffset", 1, 2, {-0.25, 0.5});
    EXPECT_EQ(OculusPlugin::GetSensorCount(), -7);
    EXPECT_TRUE(OculusPlugin::IsHMDPresent());
    float left = 0, right = 0;
    EXPECT_TRUE(OculusPlugin::GetEyeOffset(left, right));
    EXPECT_EQ(left, -0.25f);
    EXPECT_EQ(right, 0.5f);
    OculusPlugin::EnableYawCorrection(1, true);
    OculusPlugin::EnableMagYawCorrection(0, false);
    OculusPlugin::SetSensorPredictionTime(1, 0.125f);
    EXPECT_STREQ(OculusPlugin::GetDisplayDeviceName(), "Scripted Headset");
    EXPECT_EQ(headset.Log(), "OVR_GetSensorCount()\n"
                             "OVR_IsHMDPresent()\n"
                             "OVR_GetEyeOffset()\n"
                             "OVR_EnableYawCorrection(1, 1)\n"
                             "OVR_EnableMagYawCorrection(0, 0)\n"
                             "OVR_SetSensorPredictionTime(1, 0.125)\n"
                             "OVR_GetDisplayDeviceName()\n");
}

} // namespace
