#include "Agent/Stream.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Talmex::Agent::Stream;

Stream StreamOf(const std::vector<unsigned char>& bytes)
{
    Stream stream;
    stream.Write(bytes.data(), bytes.size());
    return stream;
}

std::vector<unsigned char> BytesOf(const Stream& stream)
{
    return std::vector<unsigned char>(stream.Data(), stream.Data() + stream.Size());
}

TEST(StreamTest, Write32AppendsLittleEndian)
{
    Stream stream;
    stream.Write32(0x05031004);
    EXPECT_EQ(BytesOf(stream), (std::vector<unsigned char>{0x04, 0x10, 0x03, 0x05}));
}

TEST(StreamTest, Read32AssemblesLittleEndianAndAdvances)
{
    Stream stream = StreamOf({0x04, 0x10, 0x03, 0x05, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(stream.Read32(), 0x05031004u);
    EXPECT_EQ(stream.Position(), 4u);
    EXPECT_EQ(stream.Read32(), 0xFFFFFFFFu);
    EXPECT_EQ(stream.Position(), 8u);
}

TEST(StreamTest, TruncatedWordReadsZeroAndAbandonsTheRest)
{
    for (size_t tail = 1; tail <= 3; ++tail) {
        Stream stream = StreamOf(std::vector<unsigned char>(4 + tail, 0xAB));
        stream.Read32();
        EXPECT_EQ(stream.Read32(), 0u) << tail;
        EXPECT_EQ(stream.Position(), stream.Size()) << tail;
        unsigned char byte = 0;
        EXPECT_FALSE(stream.Read(&byte, 1)) << tail;
    }
}

TEST(StreamTest, ReadOfNothingSucceedsWithoutMoving)
{
    Stream stream = StreamOf({1, 2, 3});
    unsigned char byte = 0;
    EXPECT_TRUE(stream.Read(&byte, 0));
    EXPECT_TRUE(stream.Read(nullptr, 2));
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(byte, 0);
}

TEST(StreamTest, ShortReadDeliversWhatIsThereAndFails)
{
    Stream stream = StreamOf({1, 2, 3});
    unsigned char bytes[5] = {9, 9, 9, 9, 9};
    EXPECT_FALSE(stream.Read(bytes, sizeof bytes));
    EXPECT_EQ(stream.Position(), 3u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(bytes[3], 9); // nothing is written past what was there
}

TEST(StreamTest, WriteOfNullAppendsNothing)
{
    Stream stream;
    stream.Write(nullptr, 100);
    EXPECT_EQ(stream.Size(), 0u);
}

TEST(StreamTest, ClearEmptiesAndRewinds)
{
    Stream stream = StreamOf({1, 2, 3, 4, 5});
    stream.Read32();
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_EQ(stream.Position(), 0u);
    stream.Write32(7);
    EXPECT_EQ(stream.Read32(), 7u);
}

} // namespace
