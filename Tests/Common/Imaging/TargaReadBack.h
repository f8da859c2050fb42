#pragma once

// Encoded images read back with an independent decoder, stb_image. In each
// program, one source file defines STB_IMAGE_IMPLEMENTATION before it
// includes this header.

#define STBI_ONLY_TGA
#include <stb/stb_image.h>

#include "TargaTestImage.h"

#include <cstring>
#include <memory>
#include <string>

namespace TargaTest {

inline unsigned DecodedChannels(int format)
{
    return format == 2 ? 3 : BytesPerPixel(format);
}

// What the decoder hands back for one stored pixel: grey as is, 16-bit
// colour widened to 8-bit R G B, and B G R (A) turned into R G B (A).
inline void DecodePixel(int format, const unsigned char* stored, unsigned char (&decoded)[4])
{
    switch (format) {
    case 1:
        decoded[0] = stored[0];
        break;
    case 2: {
        const unsigned value = stored[0] | (stored[1] << 8);
        auto widen = [](unsigned five) { return static_cast<unsigned char>(five * 255 / 31); };
        decoded[0] = widen((value >> 10) & 31);
        decoded[1] = widen((value >> 5) & 31);
        decoded[2] = widen(value & 31);
        break;
    }
    default:
        decoded[0] = stored[2];
        decoded[1] = stored[1];
        decoded[2] = stored[0];
        decoded[3] = format == 4 ? stored[3] : 0;
        break;
    }
}

// Empty when stb_image reads the file as exactly the bitmap it was encoded
// from, its size and every pixel; otherwise the first difference.
inline std::string ReadBackDifference(const Bytes& file, const Talmex::Imaging::Bitmap& bitmap)
{
    int width = 0;
    int height = 0;
    int channels = 0;
    const std::unique_ptr<unsigned char, decltype(&stbi_image_free)> pixels(
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height,
                              &channels, 0),
        &stbi_image_free);
    if (pixels == nullptr) {
        return std::string("not decoded: ") + stbi_failure_reason();
    }
    if (width != static_cast<int>(bitmap.width) || height != static_cast<int>(bitmap.height) ||
        channels != static_cast<int>(DecodedChannels(bitmap.format))) {
        return "decoded as " + std::to_string(width) + "x" + std::to_string(height) + " with " +
               std::to_string(channels) + " channels";
    }
    const unsigned char* out = pixels.get();
    for (unsigned y = 0; y < bitmap.height; ++y) {
        const unsigned char* stored = bitmap.pixels + static_cast<size_t>(y) * bitmap.pitch;
        for (unsigned x = 0; x < bitmap.width; ++x, out += channels) {
            unsigned char expected[4];
            DecodePixel(bitmap.format, stored, expected);
            if (std::memcmp(out, expected, static_cast<size_t>(channels)) != 0) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " differs";
            }
            stored += BytesPerPixel(bitmap.format);
        }
    }
    return std::string();
}

} // namespace TargaTest
