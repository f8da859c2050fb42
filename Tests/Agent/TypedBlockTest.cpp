#include "Agent/Device.h"
#include "Support/ProtocolBytes.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Talmex::Agent::BinaryReader;
using Talmex::Agent::BinaryWriter;
using Talmex::Agent::Stream;

using TalmexTest::AppendWord;
using TalmexTest::BitsOf;
using TalmexTest::BlockOf;
using TalmexTest::Bytes;

Stream StreamOf(const Bytes& bytes)
{
    Stream stream;
    stream.Write(bytes.data(), bytes.size());
    return stream;
}

Bytes Emitted(const BinaryWriter& writer)
{
    Stream stream;
    writer.Emit(stream);
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

const std::vector<uint32_t> kIntegers = {1, 0xFFFFFFFF, 0x80000000, 42};
const std::vector<float> kFloats = {1.5f, -0.0f, 3.25e-7f};
const Bytes kBytes = {0, 255, 7, 128, 1};

TEST(TypedBlockTest, WriterEmitsTheBlockLayout)
{
    BinaryWriter writer;
    for (uint32_t value : kIntegers) {
        writer.Write32(value);
    }
    float floats[3] = {kFloats[0], kFloats[1], kFloats[2]};
    writer.WriteF(floats, 3);
    unsigned char colour[3] = {kBytes[0], kBytes[1], kBytes[2]};
    writer.Write8(colour, 3);
    writer.Write8(kBytes[3]);
    writer.Write8(kBytes[4]);
    EXPECT_EQ(Emitted(writer), BlockOf(kIntegers, kFloats, kBytes));

    writer.Clear();
    EXPECT_EQ(Emitted(writer), (Bytes{0, 0, 0, 0}));
}

TEST(TypedBlockTest, ReaderHandsOutEveryValueInOrderThenZeros)
{
    Stream stream = StreamOf(BlockOf(kIntegers, kFloats, kBytes));
    BinaryReader reader;
    ASSERT_TRUE(reader.Read(stream));
    // Interleaved reads: each array has its own cursor.
    for (size_t i = 0; i < kBytes.size(); ++i) {
        if (i < kIntegers.size()) {
            EXPECT_EQ(reader.Read32(), kIntegers[i]);
        }
        if (i < kFloats.size()) {
            EXPECT_EQ(BitsOf(reader.ReadF()), BitsOf(kFloats[i]));
        }
        EXPECT_EQ(reader.Read8(), kBytes[i]);
    }
    EXPECT_EQ(reader.Read32(), 0u);
    EXPECT_EQ(reader.ReadF(), 0.0f);
    EXPECT_EQ(reader.Read8(), 0);
}

TEST(TypedBlockTest, ExhaustedCursorStaysPutAndLeavesTheOthersAlone)
{
    Stream stream = StreamOf(BlockOf({9}, {2.0f}, {3}));
    BinaryReader reader;
    ASSERT_TRUE(reader.Read(stream));
    EXPECT_EQ(reader.Read32(), 9u);
    EXPECT_EQ(reader.Read32(), 0u);
    EXPECT_EQ(reader.Read32(), 0u);
    EXPECT_EQ(reader.ReadF(), 2.0f);
    EXPECT_EQ(reader.Read8(), 3);
}

TEST(TypedBlockTest, MissingBlockDecodesAsEmpty)
{
    Stream stream;
    BinaryReader reader;
    EXPECT_TRUE(reader.Read(stream));
    EXPECT_EQ(reader.Read32(), 0u);
    EXPECT_EQ(reader.ReadF(), 0.0f);
    EXPECT_EQ(reader.Read8(), 0);
}

TEST(TypedBlockTest, EachReadRewindsTheCursorsAndDropsOldValues)
{
    BinaryReader reader;
    Stream first = StreamOf(BlockOf({5, 6}, {1.0f}, {7}));
    ASSERT_TRUE(reader.Read(first));
    EXPECT_EQ(reader.Read32(), 5u);

    Stream second = StreamOf(BlockOf({8}, {}, {}));
    ASSERT_TRUE(reader.Read(second));
    EXPECT_EQ(reader.Read32(), 8u);
    EXPECT_EQ(reader.Read32(), 0u);
    EXPECT_EQ(reader.ReadF(), 0.0f);
    EXPECT_EQ(reader.Read8(), 0);
}

TEST(TypedBlockTest, TruncationAtEveryPositionIsRefusedWithoutReadingPastTheEnd)
{
    const Bytes block = BlockOf(kIntegers, kFloats, kBytes);
    for (size_t length = 0; length < block.size(); ++length) {
        const Bytes prefix(block.begin(), block.begin() + length);
        Stream stream = StreamOf(prefix);
        BinaryReader reader;
        // Fewer than four bytes hold no count word: an empty block.
        EXPECT_EQ(reader.Read(stream), length < 4) << "length " << length;
        EXPECT_EQ(stream.Position(), length) << "length " << length;

        // Values wholly inside the prefix arrive; values wholly beyond it are 0.
        for (size_t i = 0; i < kIntegers.size(); ++i) {
            const size_t end = 4 + 4 * (i + 1);
            const uint32_t value = reader.Read32();
            if (length >= end) {
                EXPECT_EQ(value, kIntegers[i]) << "length " << length;
            } else if (length <= end - 4) {
                EXPECT_EQ(value, 0u) << "length " << length;
            }
        }
        const size_t bytesStart = 4 + 4 * (kIntegers.size() + kFloats.size());
        for (size_t i = 0; i < kBytes.size(); ++i) {
            const unsigned char value = reader.Read8();
            EXPECT_EQ(value, length > bytesStart + i ? kBytes[i] : 0) << "length " << length;
        }
    }
}

TEST(TypedBlockTest, DeclaredCountsBeyondTheDataAreRefused)
{
    const struct {
        uint32_t countWord;
        size_t payload;
    } cases[] = {
        {0x00000002, 4},  // two integers declared, one present
        {0x00001000, 0},  // one float declared, none present
        {0x05000000, 4},  // five bytes declared, four present
        {0xFFFFFFFF, 64}, // every count at its maximum
    };
    for (const auto& c : cases) {
        Bytes bytes;
        AppendWord(bytes, c.countWord);
        bytes.resize(bytes.size() + c.payload, 0x5A);
        Stream stream = StreamOf(bytes);
        BinaryReader reader;
        EXPECT_FALSE(reader.Read(stream)) << std::hex << c.countWord;
    }
}

TEST(TypedBlockTest, LargestBlockDecodes)
{
    Bytes bytes;
    AppendWord(bytes, 0xFFFFFFFF);
    for (uint32_t i = 0; i < 2 * 4095; ++i) {
        AppendWord(bytes, i);
    }
    bytes.resize(bytes.size() + 255, 0xEE);
    bytes.push_back(0x11); // trailing bytes after the block are ignored
    ASSERT_EQ(bytes.size(), 33019u + 1);
    Stream stream = StreamOf(bytes);
    BinaryReader reader;
    ASSERT_TRUE(reader.Read(stream));
    EXPECT_EQ(stream.Position(), 33019u);
    for (uint32_t i = 0; i < 4095; ++i) {
        ASSERT_EQ(reader.Read32(), i);
    }
    EXPECT_EQ(reader.Read32(), 0u);
}

TEST(TypedBlockTest, EmissionCapsEachArrayAtWhatTheCountWordHolds)
{
    BinaryWriter writer;
    float value[1] = {0.5f};
    for (uint32_t i = 0; i < 5000; ++i) {
        writer.Write32(i);
        writer.WriteF(value, 1);
        writer.Write8(static_cast<unsigned char>(i));
    }
    const Bytes block = Emitted(writer);
    ASSERT_EQ(block.size(), 4u + 4 * 4095 + 4 * 4095 + 255);
    EXPECT_EQ(block[0], 0xFF);
    EXPECT_EQ(block[1], 0xFF);
    EXPECT_EQ(block[2], 0xFF);
    EXPECT_EQ(block[3], 0xFF);

    Stream stream = StreamOf(block);
    BinaryReader reader;
    ASSERT_TRUE(reader.Read(stream));
    uint32_t last = 0;
    for (int i = 0; i < 4095; ++i) {
        last = reader.Read32();
    }
    EXPECT_EQ(last, 4094u);
    EXPECT_EQ(reader.Read32(), 0u);
}

TEST(TypedBlockTest, ArrayWritesAppendOnlyTheirCount)
{
    BinaryWriter writer;
    float floats[4] = {1, 2, 3, 4};
    unsigned char bytes[3] = {5, 6, 7};
    writer.WriteF(floats, 0);
    writer.Write8(bytes, 0);
    writer.WriteF(floats, 2);
    writer.Write8(bytes, 1);
    EXPECT_EQ(Emitted(writer), BlockOf({}, {1, 2}, {5}));
}

TEST(TypedBlockDeathTest, ArrayWriteBeyondItsSizeStopsTheProcess)
{
    BinaryWriter writer;
    float floats[4] = {};
    unsigned char bytes[3] = {};
    EXPECT_DEATH(writer.WriteF(floats, 5), "SIZE_ >= count.*WriteF.*Source/Agent/Device");
    EXPECT_DEATH(writer.Write8(bytes, 4), "SIZE_ >= count.*Write8.*Source/Agent/Device");
}

} // namespace
