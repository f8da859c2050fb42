#include "Protocol/Request.h"
#include "Support/Golden.h"

#include <gtest/gtest.h>

namespace {

using namespace Talmex::Protocol;
using TalmexTest::AppendWord;
using TalmexTest::BlockOf;
using TalmexTest::Bytes;
using TalmexTest::GoldenBytes;

// The fields of Golden/request.hex.
Request GoldenRequest()
{
    Request request;
    request.header = {0xCAFEF00D, 0x11223344, 0x80000001, 0xDEADBEEF};
    request.wishes.latencyInputCounter = 3;
    request.wishes.sensors[0] = {1, 2, 3, 4, 0.03125f, 1, 0};
    request.wishes.sensors[1] = {0xFFFFFFFF, 6, 7, 8, -0.5f, 0, 255};
    return request;
}

Bytes Encoded(const Request& request)
{
    BlockWriter writer;
    Stream stream;
    WriteRequest(request, writer, stream);
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

// Decodes a request as the agent does: the header words (missing ones read
// as 0), then the block; false when its arrays run past the datagram's end.
bool Decoded(const Bytes& datagram, Request& request)
{
    Stream stream;
    stream.Write(datagram.data(), datagram.size());
    request.header = ReadRequestHeader(stream);
    BlockReader reader;
    if (!reader.Read(stream)) {
        return false;
    }
    request.wishes = ReadWishes(reader);
    return true;
}

void ExpectSameSensor(const SensorWishes& actual, const SensorWishes& expected)
{
    EXPECT_EQ(actual.predictionTimeCounter, expected.predictionTimeCounter);
    EXPECT_EQ(actual.yawCorrectionCounter, expected.yawCorrectionCounter);
    EXPECT_EQ(actual.resetOrientationCounter, expected.resetOrientationCounter);
    EXPECT_EQ(actual.magYawCorrectionCounter, expected.magYawCorrectionCounter);
    EXPECT_EQ(actual.predictionTimeSeconds, expected.predictionTimeSeconds);
    EXPECT_EQ(actual.yawCorrection, expected.yawCorrection);
    EXPECT_EQ(actual.magYawCorrection, expected.magYawCorrection);
}

TEST(RequestTest, GoldenRequestRoundTrips)
{
    const Request expected = GoldenRequest();
    const Bytes golden = GoldenBytes("request.hex");
    ASSERT_EQ(golden.size(), kHeaderSize + BlockSize({9, 2, 5})) << "both sensor records";
    EXPECT_EQ(Encoded(expected), golden);

    // The tests' own byte-by-byte builder agrees.
    Bytes independent =
        TalmexTest::HeaderOf(TalmexTest::RequestHeader{0xCAFEF00D, 0x11223344, 0x80000001});
    const Bytes block =
        BlockOf({3, 1, 2, 3, 4, 0xFFFFFFFF, 6, 7, 8}, {0.03125f, -0.5f}, {2, 1, 0, 0, 255});
    independent.insert(independent.end(), block.begin(), block.end());
    EXPECT_EQ(independent, golden);

    Request request;
    ASSERT_TRUE(Decoded(golden, request));
    EXPECT_EQ(request.header.clientToken, expected.header.clientToken);
    EXPECT_EQ(request.header.sessionToken, expected.header.sessionToken);
    EXPECT_EQ(request.header.sequence, expected.header.sequence);
    EXPECT_EQ(request.header.unused, expected.header.unused);
    EXPECT_EQ(request.wishes.latencyInputCounter, 3u);
    EXPECT_EQ(request.wishes.sensorCount, 2);
    for (int s = 0; s < kSensorCount; ++s) {
        ExpectSameSensor(request.wishes.sensors[s], expected.wishes.sensors[s]);
    }
}

TEST(RequestTest, ShortBlocksReadAsZerosAndOverrunsAreRefused)
{
    const Bytes golden = GoldenBytes("request.hex");
    Request request;
    ASSERT_TRUE(Decoded(Bytes(golden.begin(), golden.begin() + kHeaderSize), request))
        << "a header alone holds an empty block";
    EXPECT_EQ(request.wishes.latencyInputCounter, 0u);
    EXPECT_EQ(request.wishes.sensorCount, 0);

    Bytes oneSensor = golden;
    oneSensor[kHeaderSize + 4 + 4 * 9 + 4 * 2] = 1; // the sensor count byte
    ASSERT_TRUE(Decoded(oneSensor, request));
    ExpectSameSensor(request.wishes.sensors[1], SensorWishes());

    EXPECT_FALSE(Decoded(Bytes(golden.begin(), golden.end() - 1), request))
        << "the block declares one byte more than follows";
}

} // namespace
