// Encoding speed and size of TGA images: three 1920 x 1080 pictures at 24
// and 32 bits, with and without run-length packets, beside stb_image_write's
// TGA writer (run-length on), the three taking turns (Contest.h). Counters:
// rle_MB/s, raw_MB/s and stb_MB/s of pixel input (1 MB = 10^6 bytes), and
// the size of each one's file.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "Common/File.h"
#include "Common/Imaging/TargaBitmapCoder.h"
#include "Contest.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <utility>
#include <vector>

namespace {

using Talmex::FileBuf;
using Talmex::Imaging::Bitmap;
using Talmex::Imaging::TargaBitmapEncoder;
using Pixels = std::vector<unsigned char>;

constexpr unsigned kWidth = 1920;
constexpr unsigned kHeight = 1080;

unsigned char Clamp(int value)
{
    return static_cast<unsigned char>(std::min(255, std::max(0, value)));
}

void SetPixel(Pixels& pixels, unsigned bytesPerPixel, unsigned x, unsigned y,
              const unsigned char (&bgra)[4])
{
    std::copy(bgra, bgra + bytesPerPixel, &pixels[(size_t(y) * kWidth + x) * bytesPerPixel]);
}

// Smooth colour ramps under a little sensor noise: neighbours almost never match.
Pixels Photograph(unsigned bytesPerPixel, std::mt19937& random)
{
    Pixels pixels(size_t(kWidth) * kHeight * bytesPerPixel);
    std::uniform_int_distribution<int> grain(-4, 4);
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            const int red = static_cast<int>(x * 255 / kWidth);
            const int green = static_cast<int>(y * 255 / kHeight);
            const int blue = static_cast<int>((x + y) * 255 / (kWidth + kHeight));
            const unsigned char bgra[4] = {Clamp(blue + grain(random)),
                                           Clamp(green + grain(random)), Clamp(red + grain(random)),
                                           255};
            SetPixel(pixels, bytesPerPixel, x, y, bgra);
        }
    }
    return pixels;
}

void FillRect(Pixels& pixels, unsigned bytesPerPixel, unsigned left, unsigned top, unsigned width,
              unsigned height, const unsigned char (&bgra)[4])
{
    for (unsigned y = top; y < top + height && y < kHeight; ++y) {
        for (unsigned x = left; x < left + width && x < kWidth; ++x) {
            SetPixel(pixels, bytesPerPixel, x, y, bgra);
        }
    }
}

// A desktop: flat background, windows with title bars and lines of glyph-like
// specks of text, and a task bar.
Pixels Screenshot(unsigned bytesPerPixel, std::mt19937& random)
{
    Pixels pixels(size_t(kWidth) * kHeight * bytesPerPixel);
    const unsigned char desktop[4] = {0x80, 0x60, 0x30, 255};
    const unsigned char window[4] = {0xFA, 0xFA, 0xFA, 255};
    const unsigned char title[4] = {0xD0, 0x90, 0x40, 255};
    const unsigned char ink[4] = {0x20, 0x20, 0x20, 255};
    const unsigned char bar[4] = {0x30, 0x30, 0x30, 255};
    FillRect(pixels, bytesPerPixel, 0, 0, kWidth, kHeight, desktop);
    const unsigned windows[3][4] = {
        {60, 40, 900, 700}, {700, 200, 1000, 760}, {1400, 80, 480, 400}};
    for (const auto& frame : windows) {
        const unsigned left = frame[0], top = frame[1], width = frame[2], height = frame[3];
        FillRect(pixels, bytesPerPixel, left, top, width, height, window);
        FillRect(pixels, bytesPerPixel, left, top, width, 28, title);
        for (unsigned line = top + 48; line + 12 < top + height; line += 20) {
            const unsigned lineEnd = left + 20 + random() % (width - 40);
            for (unsigned x = left + 20; x < lineEnd; x += 8) {
                if (random() % 6 == 0) {
                    continue; // a space between words
                }
                for (unsigned y = line; y < line + 12; ++y) {
                    for (unsigned dx = 0; dx < 7; ++dx) {
                        if (random() % 3 == 0 && y < kHeight && x + dx < kWidth) {
                            SetPixel(pixels, bytesPerPixel, x + dx, y, ink);
                        }
                    }
                }
            }
        }
    }
    FillRect(pixels, bytesPerPixel, 0, kHeight - 40, kWidth, 40, bar);
    return pixels;
}

Pixels Noise(unsigned bytesPerPixel, std::mt19937& random)
{
    Pixels pixels(size_t(kWidth) * kHeight * bytesPerPixel);
    for (unsigned char& byte : pixels) {
        byte = static_cast<unsigned char>(random());
    }
    return pixels;
}

void AppendToVector(void* context, void* data, int size)
{
    auto* bytes = static_cast<const unsigned char*>(data);
    static_cast<Pixels*>(context)->insert(static_cast<Pixels*>(context)->end(), bytes,
                                          bytes + size);
}

using MakePicture = Pixels (*)(unsigned, std::mt19937&);

// Made once per picture and depth: the benchmark runs several times.
const Pixels& PictureOf(MakePicture make, unsigned bytesPerPixel)
{
    static std::map<std::pair<MakePicture, unsigned>, Pixels> pictures;
    Pixels& pixels = pictures[{make, bytesPerPixel}];
    if (pixels.empty()) {
        std::mt19937 random(1);
        pixels = make(bytesPerPixel, random);
    }
    return pixels;
}

void BM_TargaEncode(benchmark::State& state, MakePicture make, unsigned bytesPerPixel)
{
    const Pixels& pixels = PictureOf(make, bytesPerPixel);
    const Bitmap bitmap{static_cast<int>(bytesPerPixel), kWidth, kHeight, kWidth * bytesPerPixel,
                        pixels.data()};
    FileBuf rle;
    FileBuf raw;
    Pixels stb;
    TargaBitmapEncoder rleEncoder(rle);
    TargaBitmapEncoder rawEncoder(raw);
    rawEncoder.EnalbeRle(false);
    stbi_write_tga_with_rle = 1;
    TalmexBench::Contest contest({[&] {
                                      rle.Clear();
                                      rleEncoder.WriteBitmap(bitmap);
                                  },
                                  [&] {
                                      raw.Clear();
                                      rawEncoder.WriteBitmap(bitmap);
                                  },
                                  [&] {
                                      stb.clear();
                                      stbi_write_tga_to_func(&AppendToVector, &stb, kWidth, kHeight,
                                                             static_cast<int>(bytesPerPixel),
                                                             pixels.data());
                                  }});
    for (auto _ : state) {
        contest.Run();
    }
    const double megabytes = static_cast<double>(pixels.size()) / 1e6;
    state.counters["rle_MB/s"] = megabytes / contest.MedianSeconds(0);
    state.counters["raw_MB/s"] = megabytes / contest.MedianSeconds(1);
    state.counters["stb_MB/s"] = megabytes / contest.MedianSeconds(2);
    state.counters["rle_bytes"] = static_cast<double>(rle.Size());
    state.counters["raw_bytes"] = static_cast<double>(raw.Size());
    state.counters["stb_bytes"] = static_cast<double>(stb.size());
}

} // namespace

BENCHMARK_CAPTURE(BM_TargaEncode, photograph_24, &Photograph, 3u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TargaEncode, screenshot_24, &Screenshot, 3u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TargaEncode, noise_24, &Noise, 3u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TargaEncode, photograph_32, &Photograph, 4u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TargaEncode, screenshot_32, &Screenshot, 4u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TargaEncode, noise_32, &Noise, 4u)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
