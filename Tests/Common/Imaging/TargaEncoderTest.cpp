#include "TargaTestImage.h"

#include "Common/File.h"
#include "Common/Imaging/TargaBitmapCoder.h"

#include <algorithm>
#include <cstdint>
#include <sys/mman.h>

#include <gtest/gtest.h>

namespace {

using Talmex::FileBuf;
using Talmex::Imaging::Bitmap;
using Talmex::Imaging::TargaBitmapEncoder;
using namespace TargaTest;

Bytes Header(unsigned char imageType, unsigned width, unsigned height, unsigned char depth,
             unsigned char descriptor)
{
    return Bytes{0,
                 0,
                 imageType,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 static_cast<unsigned char>(width),
                 static_cast<unsigned char>(width >> 8),
                 static_cast<unsigned char>(height),
                 static_cast<unsigned char>(height >> 8),
                 depth,
                 descriptor};
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(TargaEncoderTest, OnePixelIsHeaderAndPixelOrOneRawPacket)
{
    TestImage image(3, 1, 1);
    const Bytes pixel{0x11, 0x22, 0x33};
    std::copy(pixel.begin(), pixel.end(), image.PixelAt(0, 0));

    const Bytes raw = Encode(image.AsBitmap(), false);
    EXPECT_EQ(raw.size(), 21u);
    EXPECT_EQ(raw, Concat(Header(2, 1, 1, 24, 0x20), pixel));

    const Bytes rle = Encode(image.AsBitmap(), true);
    EXPECT_EQ(rle.size(), 22u);
    EXPECT_EQ(rle, Concat(Header(10, 1, 1, 24, 0x20), Bytes{0x00, 0x11, 0x22, 0x33}));
}

TEST(TargaEncoderTest, HeaderFieldsFollowTheFormatInBothModes)
{
    struct Expected {
        int format;
        unsigned char rawType, rleType, depth, descriptor;
    };
    const Expected table[] = {
        {1, 3, 11, 8, 0x20}, {2, 2, 10, 16, 0x20}, {3, 2, 10, 24, 0x20}, {4, 2, 10, 32, 0x28}};
    for (const Expected& expected : table) {
        TestImage image(expected.format, 300, 2);
        for (bool isRle : {false, true}) {
            const Bytes file = Encode(image.AsBitmap(), isRle);
            ASSERT_GE(file.size(), kHeaderSize) << expected.format;
            const Bytes header(file.begin(), file.begin() + kHeaderSize);
            EXPECT_EQ(header, Header(isRle ? expected.rleType : expected.rawType, 300, 2,
                                     expected.depth, expected.descriptor))
                << "format " << expected.format << " rle " << isRle;
        }
    }
}

TEST(TargaEncoderTest, GreyRunLengthUsesEightBitPackets)
{
    TestImage image(1, 3, 1);
    image.PixelAt(0, 0)[0] = 7;
    image.PixelAt(1, 0)[0] = 7;
    image.PixelAt(2, 0)[0] = 9;
    const Bytes file = Encode(image.AsBitmap(), true);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file[2], 11);
    EXPECT_EQ(PixelData(file), (Bytes{0x81, 7, 0x00, 9}));
}

TEST(TargaEncoderTest, RowPaddingNeverReachesTheFile)
{
    TestImage image(2, 3, 2, 5);
    for (unsigned y = 0; y < 2; ++y) {
        for (unsigned byte = 0; byte < image.RowBytes(); ++byte) {
            image.Row(y)[byte] = static_cast<unsigned char>(y * 16 + byte);
        }
    }
    const Bytes expectedRaw{0, 1, 2, 3, 4, 5, 16, 17, 18, 19, 20, 21};
    EXPECT_EQ(PixelData(Encode(image.AsBitmap(), false)), expectedRaw);

    const Bytes expectedRle{0x02, 0, 1, 2, 3, 4, 5, 0x02, 16, 17, 18, 19, 20, 21};
    EXPECT_EQ(PixelData(Encode(image.AsBitmap(), true)), expectedRle);
}

TEST(TargaEncoderTest, OriginGoesIntoHeaderBytesEightToEleven)
{
    TestImage image(1, 1, 1);
    FileBuf file;
    TargaBitmapEncoder encoder(file);
    encoder.SetOrigin(10, 20);
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    const Bytes bytes = BytesOf(file);
    EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 12), (Bytes{10, 0, 20, 0}));

    encoder.SetOrigin(0x1234, 0xFEDC);
    file.Clear();
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    EXPECT_EQ(Bytes(file.Data() + 8, file.Data() + 12), (Bytes{0x34, 0x12, 0xDC, 0xFE}));
}

TEST(TargaEncoderTest, LargestSizeIsAccepted)
{
    TestImage image(1, 65535, 1);
    const Bytes file = Encode(image.AsBitmap(), false);
    ASSERT_EQ(file.size(), kHeaderSize + 65535);
    EXPECT_EQ(file[12], 0xFF);
    EXPECT_EQ(file[13], 0xFF);
}

TEST(TargaEncoderTest, SecondImageFollowsTheFirst)
{
    TestImage image(1, 2, 1);
    image.PixelAt(0, 0)[0] = 1;
    image.PixelAt(1, 0)[0] = 2;
    FileBuf file;
    TargaBitmapEncoder encoder(file);
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    const Bytes first = BytesOf(file);
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    EXPECT_EQ(BytesOf(file), Concat(first, first));
}

// Each refused bitmap must leave what the output already held untouched.
TEST(TargaEncoderTest, RefusedBitmapsAppendNothing)
{
    const TestImage valid(3, 4, 4);
    const Bitmap good = valid.AsBitmap();
    auto with = [&](auto change) {
        Bitmap bitmap = good;
        change(bitmap);
        return bitmap;
    };
    const struct {
        const char* why;
        Bitmap bitmap;
    } refused[] = {
        {"width 0", with([](Bitmap& b) { b.width = 0; })},
        {"height 0", with([](Bitmap& b) { b.height = 0; })},
        {"format 0", with([](Bitmap& b) { b.format = 0; })},
        {"format 5", with([](Bitmap& b) { b.format = 5; })},
        {"format -1", with([](Bitmap& b) { b.format = -1; })},
        {"width 65536", with([](Bitmap& b) { b.width = 65536; })},
        {"height 65536", with([](Bitmap& b) { b.height = 65536; })},
        {"width 65537", with([](Bitmap& b) { b.width = 65537; })},
        {"height 65537", with([](Bitmap& b) { b.height = 65537; })},
        {"width 2^32-1", with([](Bitmap& b) { b.width = 0xFFFFFFFFu; })},
        {"null pixels", with([](Bitmap& b) { b.pixels = nullptr; })},
        {"pitch below row bytes", with([](Bitmap& b) { b.pitch = 11; })},
    };
    for (bool isRle : {false, true}) {
        for (const auto& entry : refused) {
            FileBuf file;
            file.Append("keep", 4);
            TargaBitmapEncoder encoder(file);
            encoder.EnalbeRle(isRle);
            EXPECT_FALSE(encoder.WriteBitmap(entry.bitmap)) << entry.why;
            EXPECT_EQ(BytesOf(file), (Bytes{'k', 'e', 'e', 'p'})) << entry.why;
        }
    }

    TargaBitmapEncoder withoutOutput;
    EXPECT_FALSE(withoutOutput.WriteBitmap(good));
}

TEST(TargaEncoderTest, ResetWithOutputRestoresDefaults)
{
    TestImage image(1, 1, 1);
    FileBuf first;
    FileBuf second;
    TargaBitmapEncoder encoder(first);
    encoder.EnalbeRle(false);
    encoder.SetOrigin(3, 4);
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    EXPECT_EQ(first.Data()[2], 3);

    encoder.Reset(second);
    ASSERT_TRUE(encoder.WriteBitmap(image.AsBitmap()));
    EXPECT_EQ(first.Size(), kHeaderSize + 1);
    ASSERT_EQ(second.Size(), kHeaderSize + 2);
    EXPECT_EQ(second.Data()[2], 11);
    EXPECT_EQ(Bytes(second.Data() + 8, second.Data() + 12), (Bytes{0, 0, 0, 0}));
}

TEST(TargaEncoderTest, ResetDropsTheOutput)
{
    TestImage image(1, 1, 1);
    FileBuf file;
    TargaBitmapEncoder encoder(file);
    encoder.Reset();
    EXPECT_FALSE(encoder.WriteBitmap(image.AsBitmap()));
    EXPECT_EQ(file.Size(), 0u);
}

// Rows 2^31 bytes apart put the third row at 2^32: an offset computed in 32
// bits would read the first row again. Only the touched pages are backed.
TEST(TargaEncoderTest, RowOffsetsBeyondFourGigabytesAreExact)
{
    const size_t pitch = size_t(1) << 31;
    const size_t span = 2 * pitch + 4096;
    void* reserved =
        mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(reserved, MAP_FAILED);
    auto* base = static_cast<unsigned char*>(reserved);
    for (size_t row = 0; row < 3; ++row) {
        ASSERT_EQ(mprotect(base + row * pitch, 4096, PROT_READ | PROT_WRITE), 0);
        const unsigned char pixel[4] = {static_cast<unsigned char>(row + 1), 0x10, 0x20, 0x30};
        std::copy(pixel, pixel + 4, base + row * pitch);
    }
    const Bitmap bitmap{4, 1, 3, static_cast<unsigned int>(pitch), base};

    EXPECT_EQ(PixelData(Encode(bitmap, false)),
              (Bytes{1, 0x10, 0x20, 0x30, 2, 0x10, 0x20, 0x30, 3, 0x10, 0x20, 0x30}));
    EXPECT_EQ(PixelData(Encode(bitmap, true)),
              (Bytes{0, 1, 0x10, 0x20, 0x30, 0, 2, 0x10, 0x20, 0x30, 0, 3, 0x10, 0x20, 0x30}));
    munmap(reserved, span);
}

} // namespace
