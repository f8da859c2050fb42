// The TGA encoder on bitmaps of the fuzzer's choosing: it refuses exactly
// what it documents, and whatever it accepts, stb_image reads back as the
// same pixels.
//
// Input: format code (mod 6), flags (bit 0 run-length, 1 no pixels, 2 and 3
// add 65536 to width and height), width and height (16 bits each), the pitch
// less the row's bytes (signed byte), x and y origin (16 bits each), then
// pixel bytes, repeated to fill the bitmap.

#define STB_IMAGE_IMPLEMENTATION
#include "Common/Imaging/TargaReadBack.h"

#include "Check.h"

#include "Common/File.h"
#include "Common/Imaging/TargaBitmapCoder.h"

#include <vector>

namespace {

using Talmex::FileBuf;
using Talmex::Imaging::Bitmap;
using Talmex::Imaging::TargaBitmapEncoder;
using TalmexFuzz::Check;

constexpr size_t kParameterBytes = 11;
// Larger bitmaps only slow the search down.
constexpr size_t kLargestBitmap = 1 << 18;

unsigned Word16(const uint8_t* data)
{
    return data[0] | data[1] << 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kParameterBytes) {
        return 0;
    }
    const int format = data[0] % 6;
    const uint8_t flags = data[1];
    const unsigned width = Word16(data + 2) + (flags & 4 ? 0x10000 : 0);
    const unsigned height = Word16(data + 4) + (flags & 8 ? 0x10000 : 0);
    const size_t bytesPerPixel = format >= 1 && format <= 4 ? TargaTest::BytesPerPixel(format) : 1;
    const size_t rowBytes = width * bytesPerPixel;
    const long pitch = static_cast<long>(rowBytes) + static_cast<int8_t>(data[6]);
    if (pitch < 0 || height * static_cast<size_t>(pitch) + rowBytes > kLargestBitmap) {
        return 0;
    }
    // Exactly as large as the last row's end, so that a read past it is caught.
    std::vector<unsigned char> pixels(
        height == 0 ? 0 : static_cast<size_t>(height - 1) * static_cast<size_t>(pitch) + rowBytes);
    const uint8_t* pattern = data + kParameterBytes;
    const size_t patternSize = size - kParameterBytes;
    for (size_t i = 0; i < pixels.size() && patternSize != 0; ++i) {
        pixels[i] = pattern[i % patternSize];
    }
    const Bitmap bitmap{format, width, height, static_cast<unsigned>(pitch),
                        flags & 2 ? nullptr : pixels.data()};

    FileBuf file;
    TargaBitmapEncoder encoder(file);
    encoder.EnalbeRle(flags & 1);
    encoder.SetOrigin(static_cast<unsigned short>(Word16(data + 7)),
                      static_cast<unsigned short>(Word16(data + 9)));
    const bool documented = format >= 1 && format <= 4 && width >= 1 && width <= 0xFFFF &&
                            height >= 1 && height <= 0xFFFF &&
                            static_cast<size_t>(pitch) >= rowBytes && bitmap.pixels != nullptr;
    const bool written = encoder.WriteBitmap(bitmap);
    Check(written == documented, "the encoder accepts other bitmaps than it documents");
    if (!written) {
        Check(file.Size() == 0, "a refused bitmap left bytes behind");
        return 0;
    }
    const TargaTest::Bytes bytes = TargaTest::BytesOf(file);
    Check(Word16(bytes.data() + 8) == Word16(data + 7) &&
              Word16(bytes.data() + 10) == Word16(data + 9),
          "the origin is not in the header");
    if (!(flags & 1)) {
        Check(bytes.size() == TargaTest::kHeaderSize + rowBytes * height,
              "an uncompressed image has other than header and rows");
    }
    const std::string difference = TargaTest::ReadBackDifference(bytes, bitmap);
    if (!difference.empty()) {
        TalmexFuzz::Fail("read back: " + difference);
    }
    return 0;
}
