#include "TargaTestImage.h"

#include "Common/Imaging/TargaBitmapCoder.h"

#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Talmex::Imaging::Bitmap;
using Talmex::Imaging::UPoint;
using Talmex::Imaging::Detail::TARGA_RLEENCODER;
using Talmex::Imaging::Detail::TARGAWRITEBUF;
using namespace TargaTest;

// A pixel named by a small number: its first byte is the number, the other
// bytes are the same for every name, so names differ exactly when pixels do.
Bytes Pixel(int format, int name)
{
    Bytes pixel(BytesPerPixel(format));
    pixel[0] = static_cast<unsigned char>(name);
    for (size_t i = 1; i < pixel.size(); ++i) {
        pixel[i] = static_cast<unsigned char>(0x40 + i);
    }
    return pixel;
}

TestImage ImageOf(int format, const std::vector<int>& names, unsigned height = 1)
{
    TestImage image(format, static_cast<unsigned>(names.size()), height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < names.size(); ++x) {
            const Bytes pixel = Pixel(format, names[x]);
            std::memcpy(image.PixelAt(x, y), pixel.data(), pixel.size());
        }
    }
    return image;
}

std::vector<int> Repeat(int name, unsigned count)
{
    return std::vector<int>(count, name);
}

// The packets expected for one format, written the way they read.
class Packets {
public:
    explicit Packets(int format) : _format(format) {}

    Packets& Run(unsigned count, int name)
    {
        _bytes.push_back(static_cast<unsigned char>(0x80 | (count - 1)));
        return _Append(name);
    }

    Packets& Raw(const std::vector<int>& names)
    {
        _bytes.push_back(static_cast<unsigned char>(names.size() - 1));
        for (int name : names) {
            _Append(name);
        }
        return *this;
    }

    const Bytes& bytes() const { return _bytes; }

private:
    Packets& _Append(int name)
    {
        const Bytes pixel = Pixel(_format, name);
        _bytes.insert(_bytes.end(), pixel.begin(), pixel.end());
        return *this;
    }

    int _format;
    Bytes _bytes;
};

class TargaPacketTest : public testing::TestWithParam<int> {
protected:
    int Format() const { return GetParam(); }
    Bytes Encoded(const std::vector<int>& names, unsigned height = 1) const
    {
        return PixelData(Encode(ImageOf(Format(), names, height).AsBitmap(), true));
    }
    Packets Expect() const { return Packets(Format()); }
};

TEST_P(TargaPacketTest, LonePixelIsARawPacket)
{
    EXPECT_EQ(Encoded({1}), Expect().Raw({1}).bytes());
}

TEST_P(TargaPacketTest, TwoEqualPixelsAreARun)
{
    EXPECT_EQ(Encoded({1, 1}), Expect().Run(2, 1).bytes());
}

TEST_P(TargaPacketTest, RunsStopAt128Pixels)
{
    EXPECT_EQ(Encoded(Repeat(1, 128)), Expect().Run(128, 1).bytes());
    EXPECT_EQ(Encoded(Repeat(1, 129)), Expect().Run(128, 1).Raw({1}).bytes());
    EXPECT_EQ(Encoded(Repeat(1, 130)), Expect().Run(128, 1).Run(2, 1).bytes());
}

TEST_P(TargaPacketTest, RawPacketsStopAt128Pixels)
{
    std::vector<int> names;
    for (int i = 0; i < 200; ++i) {
        names.push_back(i % 3);
    }
    const std::vector<int> first(names.begin(), names.begin() + 128);
    const std::vector<int> rest(names.begin() + 128, names.end());
    const Bytes encoded = Encoded(names);
    EXPECT_EQ(encoded, Expect().Raw(first).Raw(rest).bytes());
    ASSERT_FALSE(encoded.empty());
    EXPECT_EQ(encoded[0], 0x7F);
    EXPECT_EQ(encoded[1 + 128 * BytesPerPixel(Format())], 0x47);
}

TEST_P(TargaPacketTest, RawPacketKeepsThePixelThatEqualsItsSuccessor)
{
    // A B C C C D
    EXPECT_EQ(Encoded({1, 2, 3, 3, 3, 4}), Expect().Raw({1, 2, 3}).Run(2, 3).Raw({4}).bytes());
}

TEST_P(TargaPacketTest, EqualPairAtRowEndAfterRawIsTwoRawPackets)
{
    // A B B
    EXPECT_EQ(Encoded({1, 2, 2}), Expect().Raw({1, 2}).Raw({2}).bytes());
}

TEST_P(TargaPacketTest, PacketsNeverSpanRows)
{
    EXPECT_EQ(Encoded(Repeat(7, 3), 2), Expect().Run(3, 7).Run(3, 7).bytes());
    EXPECT_EQ(Encoded({7}, 3), Expect().Raw({7}).Raw({7}).Raw({7}).bytes());
}

INSTANTIATE_TEST_SUITE_P(AllDepths, TargaPacketTest, testing::Values(1, 2, 3, 4),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param * 8) + "Bit";
                         });

TEST(TargaAlphaTest, PixelsDifferingOnlyInAlphaAreDifferent)
{
    TestImage image(4, 3, 1);
    const unsigned char opaque[4] = {10, 20, 30, 255};
    const unsigned char clear[4] = {10, 20, 30, 0};
    std::memcpy(image.PixelAt(0, 0), opaque, 4);
    std::memcpy(image.PixelAt(1, 0), clear, 4);
    std::memcpy(image.PixelAt(2, 0), clear, 4);
    EXPECT_EQ(PixelData(Encode(image.AsBitmap(), true)),
              (Bytes{0x01, 10, 20, 30, 255, 10, 20, 30, 0, 0x00, 10, 20, 30, 0}));
}

// Drives Update the way the encoder does, with a buffer of the given size.
template <unsigned int BITDEPTH_, unsigned long MAXBUFSIZE_>
Bytes EncodeWithBuffer(const Bitmap& bitmap, unsigned& partialRows)
{
    TARGAWRITEBUF<MAXBUFSIZE_> buffer;
    UPoint cursor = {0, 0};
    Bytes packets;
    partialRows = 0;
    for (;;) {
        const bool isDone = TARGA_RLEENCODER<BITDEPTH_>::Update(bitmap, cursor, buffer);
        packets.insert(packets.end(), buffer.data, buffer.data + buffer.writePos);
        buffer.writePos = 0;
        if (isDone) {
            return packets;
        }
        partialRows += cursor.x != 0;
    }
}

TEST(TargaUpdateTest, FullBufferTakesNothingAndKeepsTheCursor)
{
    const TestImage image = ImageOf(1, {4, 4, 4});
    TARGAWRITEBUF<2048> buffer;
    std::memset(buffer.data, 0x5A, sizeof buffer.data);
    buffer.writePos = 2047;
    UPoint cursor = {0, 0};

    EXPECT_FALSE(TARGA_RLEENCODER<8>::Update(image.AsBitmap(), cursor, buffer));
    EXPECT_EQ(buffer.writePos, 2047u);
    EXPECT_EQ(cursor.x, 0u);
    EXPECT_EQ(cursor.y, 0u);
    EXPECT_EQ(buffer.data[2047], 0x5A);
}

TEST(TargaUpdateTest, PacketThatDoesNotFitIsWrittenOnTheNextCall)
{
    // Raw (1 2 3) takes 4 bytes and fits; the run (3 3 3) then needs 2 more.
    const TestImage image = ImageOf(1, {1, 2, 3, 3, 3, 3});
    TARGAWRITEBUF<2048> buffer;
    buffer.writePos = 2043;
    UPoint cursor = {0, 0};

    EXPECT_FALSE(TARGA_RLEENCODER<8>::Update(image.AsBitmap(), cursor, buffer));
    EXPECT_EQ(buffer.writePos, 2047u);
    EXPECT_EQ(Bytes(buffer.data + 2043, buffer.data + 2047), (Bytes{0x02, 1, 2, 3}));
    EXPECT_EQ(cursor.x, 3u);
    EXPECT_EQ(cursor.y, 0u);

    buffer.writePos = 0;
    EXPECT_TRUE(TARGA_RLEENCODER<8>::Update(image.AsBitmap(), cursor, buffer));
    EXPECT_EQ(Bytes(buffer.data, buffer.data + buffer.writePos), (Bytes{0x82, 3}));
}

TEST(TargaUpdateTest, RowEndsMoveTheCursorDownUntilTheLastRow)
{
    const TestImage image = ImageOf(2, {1, 2}, 3);
    TARGAWRITEBUF<2048> buffer;
    UPoint cursor = {0, 0};
    for (unsigned row = 1; row <= 3; ++row) {
        EXPECT_EQ(TARGA_RLEENCODER<16>::Update(image.AsBitmap(), cursor, buffer), row == 3);
        EXPECT_EQ(cursor.x, 0u);
        EXPECT_EQ(cursor.y, row);
        buffer.writePos = 0;
    }
}

// Noise with short runs; with 32-bit pixels a row holds far more packet bytes
// than either buffer, so both must resume inside rows.
template <unsigned int BITDEPTH_>
void ExpectSmallBufferGivesTheSameBytes(int format)
{
    std::mt19937 random(7);
    TestImage image(format, 1500, 3, 3);
    for (unsigned y = 0; y < image.Height(); ++y) {
        for (unsigned byte = 0; byte < image.RowBytes(); ++byte) {
            image.Row(y)[byte] = static_cast<unsigned char>(random() % 3);
        }
    }
    unsigned partialRows = 0;
    const Bytes packets = EncodeWithBuffer<BITDEPTH_, 513>(image.AsBitmap(), partialRows);
    EXPECT_GT(partialRows, 0u);
    EXPECT_EQ(packets, PixelData(Encode(image.AsBitmap(), true))) << "depth " << BITDEPTH_;
}

TEST(TargaUpdateTest, SmallestBufferGivesTheSameBytes)
{
    ExpectSmallBufferGivesTheSameBytes<8>(1);
    ExpectSmallBufferGivesTheSameBytes<16>(2);
    ExpectSmallBufferGivesTheSameBytes<24>(3);
    ExpectSmallBufferGivesTheSameBytes<32>(4);
}

TEST(TargaWriteBufDeathTest, WritingPastTheEndStopsTheProcess)
{
    const unsigned char pixels[8] = {};
    TARGAWRITEBUF<2048> buffer;
    buffer.writePos = 2048;
    EXPECT_DEATH(buffer.WriteU8(0),
                 "writePos \\+ 1 <= MAXBUFSIZE_.*WriteU8.*Source/Common/Imaging/TargaBitmapCoder");
    buffer.writePos = 2046;
    EXPECT_DEATH(buffer.Write<24>(pixels, 1),
                 "writePos \\+ cnt \\* \\(BITDEPTH_ / 8\\) <= MAXBUFSIZE_.*Write.*"
                 "Source/Common/Imaging/TargaBitmapCoder");
    // 2^30 pixels of 4 bytes wrap a 32-bit product to 0; the check must not.
    buffer.writePos = 0;
    EXPECT_DEATH(buffer.Write<32>(pixels, 1u << 30), "MAXBUFSIZE_.*Write");
}

TEST(TargaWriteBufTest, WritesFillExactlyToTheEnd)
{
    const unsigned char pixels[6] = {1, 2, 3, 4, 5, 6};
    TARGAWRITEBUF<7> buffer;
    buffer.WriteU8(0x1FF);
    buffer.Write<24>(pixels, 2);
    EXPECT_EQ(buffer.writePos, 7u);
    EXPECT_EQ(Bytes(buffer.data, buffer.data + 7), (Bytes{0xFF, 1, 2, 3, 4, 5, 6}));
}

} // namespace
