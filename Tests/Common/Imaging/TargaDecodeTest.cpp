// Reads encoded images back with an independent decoder.
#define STB_IMAGE_IMPLEMENTATION
#include "TargaReadBack.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using namespace TargaTest;

constexpr unsigned kSeed = 20240611;

// Runs of random length, taking pixels from a few colours (so that equal
// pixels meet after raw stretches) or fresh random ones, on random row
// padding that must never show.
TestImage RandomImage(std::mt19937& random, int format)
{
    const unsigned width = 1 + random() % (random() % 4 == 0 ? 1200 : 90);
    const unsigned height = 1 + random() % 24;
    TestImage image(format, width, height, random() % 9);
    const unsigned bytesPerPixel = BytesPerPixel(format);
    unsigned char palette[4][4];
    for (auto& colour : palette) {
        for (unsigned char& byte : colour) {
            byte = static_cast<unsigned char>(random());
        }
    }
    palette[1][3] = static_cast<unsigned char>(palette[0][3] + 1); // alpha alone differs
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned byte = image.RowBytes(); byte < image.Pitch(); ++byte) {
            image.Row(y)[byte] = static_cast<unsigned char>(random());
        }
        unsigned x = 0;
        while (x < width) {
            const unsigned lengths[] = {1, static_cast<unsigned>(1 + random() % 4),
                                        static_cast<unsigned>(1 + random() % 300)};
            const unsigned length = std::min(width - x, lengths[random() % 3]);
            unsigned char fresh[4];
            for (unsigned char& byte : fresh) {
                byte = static_cast<unsigned char>(random());
            }
            const unsigned char* colour = random() % 2 ? palette[random() % 4] : fresh;
            for (unsigned i = 0; i < length; ++i, ++x) {
                std::memcpy(image.PixelAt(x, y), colour, bytesPerPixel);
            }
        }
    }
    return image;
}

// Walks the packets without decoding pixels: each must lie inside one row
// and the packets must use up the file exactly.
std::string PacketStructureError(const Bytes& file, const TestImage& image, int format)
{
    const size_t bytesPerPixel = BytesPerPixel(format);
    size_t at = kHeaderSize;
    for (unsigned y = 0; y < image.Height(); ++y) {
        unsigned x = 0;
        while (x < image.Width()) {
            if (at >= file.size()) {
                return "file ends inside row " + std::to_string(y);
            }
            const unsigned char command = file[at++];
            const unsigned count = (command & 0x7F) + 1u;
            const bool isRun = (command & 0x80) != 0;
            if (isRun && count < 2) {
                return "run of one pixel in row " + std::to_string(y);
            }
            if (x + count > image.Width()) {
                return "packet crosses the end of row " + std::to_string(y);
            }
            at += (isRun ? 1 : count) * bytesPerPixel;
            x += count;
        }
    }
    return at == file.size() ? std::string() : "bytes after the last packet";
}

TEST(TargaDecodeTest, RandomImagesDecodeToTheirPixels)
{
    std::mt19937 random(kSeed);
    for (int round = 0; round < 12; ++round) {
        for (int format = 1; format <= 4; ++format) {
            const TestImage image = RandomImage(random, format);
            for (bool isRle : {false, true}) {
                std::ostringstream what;
                what << "seed " << kSeed << " round " << round << " format " << format << " "
                     << image.Width() << "x" << image.Height() << " pitch " << image.Pitch()
                     << (isRle ? " run-length" : " uncompressed");
                SCOPED_TRACE(what.str());

                const Bytes file = Encode(image.AsBitmap(), isRle);
                if (isRle) {
                    ASSERT_EQ(PacketStructureError(file, image, format), "");
                } else {
                    ASSERT_EQ(file.size(), kHeaderSize + size_t(image.RowBytes()) * image.Height());
                }
                EXPECT_EQ(ReadBackDifference(file, image.AsBitmap()), "");
            }
        }
    }
}

} // namespace
