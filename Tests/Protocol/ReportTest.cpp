#include "Protocol/Report.h"
#include "Client/Json.h"
#include "Support/Golden.h"

#include <gtest/gtest.h>

namespace {

using namespace Talmex::Protocol;
using namespace TalmexTest;

Bytes Encoded(const Report& report)
{
    BlockWriter writer;
    Stream stream;
    WriteReport(report, writer, stream);
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

Report Decoded(const Bytes& datagram)
{
    Report report;
    EXPECT_EQ(DecodeReport(datagram.data(), datagram.size(), report), ReportCheck::kValid);
    return report;
}

TEST(ReportTest, GoldenReportDecodesToItsFieldsAndEncodesBackByteForByte)
{
    const Bytes golden = GoldenBytes("report.hex");
    const Report report = Decoded(golden);
    EXPECT_EQ(Talmex::Client::ToJson(report) + "\n", GoldenText("report.json"));
    EXPECT_EQ(Encoded(report), golden);
}

// A report whose every float is its index in the block, whose integers and
// bytes are distinct: each named field must come from its own place.
TEST(ReportTest, EveryFieldComesFromItsOffset)
{
    Bytes datagram = {'T', 'L', 'X', '0'};
    for (uint32_t word :
         {0xA1u, 0xA2u, 0xA3u, 0xA4u, ReportLayout::kCountWord, 0x00020001u, 0u, 0u, 0u}) {
        AppendWord(datagram, word);
    }
    for (int i = 0; i < 49; ++i) {
        AppendWord(datagram, BitsOf(static_cast<float>(i)));
    }
    datagram.insert(datagram.end(), {0xB0, 0xB1, 0xB2, 0xB3, 0xB4});
    const Report report = Decoded(datagram);

    EXPECT_EQ(report.header.sessionToken, 0xA1u);
    EXPECT_EQ(report.header.clientToken, 0xA2u);
    EXPECT_EQ(report.header.sequence, 0xA3u);
    EXPECT_EQ(report.header.lastRequestSequence, 0xA4u);
    const DisplayState& d = report.display;
    EXPECT_EQ(d.resolution[0], 1);
    EXPECT_EQ(d.resolution[1], 2);
    const std::vector<std::pair<const float*, std::vector<float>>> floats = {
        {d.screenSize, {0, 1}},           {&d.eyeToScreenDistance, {2}},
        {&d.interpupillaryDistance, {3}}, {&d.lensSeparationDistance, {4}},
        {&d.playerEyeHeight, {5}},        {d.eyeOffset, {6, 7}},
        {&d.screenVCenter, {8}},          {d.distortionCoefficients, {9, 10, 11, 12}},
    };
    for (int s = 0; s < 2; ++s) {
        const SensorState& sensor = report.sensors[s];
        const float r = 13.0f + 18.0f * static_cast<float>(s);
        EXPECT_EQ(std::vector<float>(sensor.orientation, sensor.orientation + 4),
                  (std::vector<float>{r, r + 1, r + 2, r + 3}));
        EXPECT_EQ(std::vector<float>(sensor.predictedOrientation, sensor.predictedOrientation + 4),
                  (std::vector<float>{r + 4, r + 5, r + 6, r + 7}));
        EXPECT_EQ(sensor.predictionTime, r + 8);
        EXPECT_EQ(std::vector<float>(sensor.acceleration, sensor.acceleration + 3),
                  (std::vector<float>{r + 9, r + 10, r + 11}));
        EXPECT_EQ(std::vector<float>(sensor.angularVelocity, sensor.angularVelocity + 3),
                  (std::vector<float>{r + 12, r + 13, r + 14}));
        EXPECT_EQ(std::vector<float>(sensor.magnetometer, sensor.magnetometer + 3),
                  (std::vector<float>{r + 15, r + 16, r + 17}));
    }
    for (const auto& [values, expected] : floats) {
        EXPECT_EQ(std::vector<float>(values, values + expected.size()), expected);
    }
    EXPECT_EQ(std::vector<unsigned char>(d.latencyColor, d.latencyColor + 3),
              (std::vector<unsigned char>{0xB0, 0xB1, 0xB2}));
    EXPECT_EQ(report.sensorCount, 0xB3);
    EXPECT_EQ(report.sensorRecordCount, 0xB4);
    EXPECT_EQ(Encoded(report), datagram);
}

// Each flag bit alone sets exactly one named flag, and encodes back alone.
TEST(ReportTest, EveryFlagBitHasItsOwnName)
{
    const Bytes golden = GoldenBytes("report.hex");
    const size_t displayFlagsAt = ReportLayout::kIntegersOffset + 4 * ReportLayout::kDisplayFlags;
    const size_t sensorFlagsAt = ReportLayout::kIntegersOffset + 4 * ReportLayout::kSensorFlags;
    for (int bit = 0; bit < 32; ++bit) {
        Bytes datagram = golden;
        for (size_t at : {displayFlagsAt, sensorFlagsAt, sensorFlagsAt + 4}) {
            for (size_t k = 0; k < 4; ++k) {
                datagram[at + k] = static_cast<unsigned char>((1u << bit) >> (8 * k));
            }
        }
        const Report report = Decoded(datagram);
        const uint32_t display = bit <= 14 ? 1u << bit : 0;
        const uint32_t sensor = bit <= 7 ? 1u << bit : 0;
        EXPECT_EQ(DisplayFlagsOf(report.display), display) << "bit " << bit;
        EXPECT_EQ(SensorFlagsOf(report.sensors[0]), sensor) << "bit " << bit;
        EXPECT_EQ(SensorFlagsOf(report.sensors[1]), sensor) << "bit " << bit;
    }
}

TEST(ReportTest, MalformedDatagramsAreRejectedAndLeaveTheReportAlone)
{
    const Bytes golden = GoldenBytes("report.hex");
    const auto with = [&golden](size_t at, unsigned char value) {
        Bytes bytes = golden;
        bytes[at] = value;
        return bytes;
    };
    Bytes shorter(golden.begin(), golden.end() - 1);
    Bytes longer = golden;
    longer.push_back(0);
    const struct {
        Bytes datagram;
        ReportCheck check;
    } cases[] = {
        {Bytes(), ReportCheck::kWrongSize},
        {Bytes{'T', 'L', 'X', '0'}, ReportCheck::kWrongSize},
        {shorter, ReportCheck::kWrongSize},
        {longer, ReportCheck::kWrongSize},
        {with(0, 't'), ReportCheck::kWrongMagic},
        {with(3, '1'), ReportCheck::kWrongMagic},
        {with(20, 0x05), ReportCheck::kWrongCountWord},
        {with(23, 0x06), ReportCheck::kWrongCountWord},
    };
    for (const auto& c : cases) {
        Report report;
        report.header.sequence = 99;
        EXPECT_EQ(DecodeReport(c.datagram.data(), c.datagram.size(), report), c.check)
            << Describe(c.check);
        EXPECT_EQ(report.header.sequence, 99u);
    }
}

TEST(SequenceTest, OrderAndGapsSurviveTheWrapThatSkipsZero)
{
    const struct {
        uint32_t last, later;
        bool isLater;
        uint32_t lost;
    } cases[] = {
        {5, 6, true, 0},
        {5, 9, true, 3},
        {0xFFFFFFFF, 1, true, 0},
        {0xFFFFFFFE, 1, true, 1},
        {0xFFFFFFFF, 3, true, 2},
        {5, 5, false, 0},
        {5, 2147483652u, true, 2147483646u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLaterSequence(c.later, c.last), c.isLater) << c.last << " then " << c.later;
        if (c.isLater) {
            EXPECT_EQ(LostBetween(c.last, c.later), c.lost) << c.last << " then " << c.later;
        }
    }
    EXPECT_EQ(NextSequence(0xFFFFFFFF), 1u);
    EXPECT_FALSE(IsLaterSequence(2147483653u, 5)) << "half the circle away counts as older";
}

} // namespace
