#pragma once

#include "Common/File.h"
#include "Common/Platform/Assert.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Talmex {
namespace Imaging {

// An image in memory, only read by the encoder. Each pixel's bytes go into
// the file unchanged, so they must already be in the file's order: grey;
// 16-bit A1R5G5B5 little-endian; B G R; B G R A.
struct Bitmap {
    int format;                  // 1 grey 8, 2 colour 16, 3 colour 24, 4 colour 32 with alpha
    unsigned int width;          // pixels per row
    unsigned int height;         // rows
    unsigned int pitch;          // bytes from the start of one row to the next
    const unsigned char* pixels; // first byte of the top row
};

// The run-length encoder's position: column and row of the next pixel.
struct UPoint {
    unsigned int x, y;
};

namespace Detail {

// A fixed staging area for packets, so that encoding allocates nothing.
// The owner empties it by setting writePos to 0.
template <unsigned long MAXBUFSIZE_>
struct TARGAWRITEBUF {
    uint32_t writePos = 0;
    unsigned char data[MAXBUFSIZE_];

    void WriteU8(unsigned int value)
    {
        TALMEX_ASSERT(writePos + 1 <= MAXBUFSIZE_);
        data[writePos] = static_cast<unsigned char>(value);
        writePos += 1;
    }

    template <unsigned int BITDEPTH_>
    void Write(const unsigned char* source, unsigned int pixelCount)
    {
        // Widened so that no pixel count can wrap the check around.
        const size_t cnt = pixelCount;
        TALMEX_ASSERT(writePos + cnt * (BITDEPTH_ / 8) <= MAXBUFSIZE_);
        const size_t size = cnt * (BITDEPTH_ / 8);
        std::memcpy(data + writePos, source, size);
        writePos += static_cast<uint32_t>(size);
    }
};

// Turns bitmap rows into TGA run-length packets. A packet never crosses a
// row. A raw packet ends at the first pixel that equals its successor, that
// pixel included, and only a packet that starts on two equal pixels is a run.
template <unsigned int BITDEPTH_>
struct TARGA_RLEENCODER {
    static_assert(BITDEPTH_ == 8 || BITDEPTH_ == 16 || BITDEPTH_ == 24 || BITDEPTH_ == 32,
                  "TGA pixels are 8, 16, 24 or 32 bits");

    // Encodes from the cursor to the end of its row, or up to the first packet
    // that does not fit into the buffer; the cursor then names that packet's
    // first pixel and the caller empties the buffer before calling again.
    // True once the last row is done.
    template <unsigned long MAXBUFSIZE_>
    static bool Update(const Bitmap& bitmap, UPoint& cursor, TARGAWRITEBUF<MAXBUFSIZE_>& buffer)
    {
        constexpr unsigned int bytesPerPixel = BITDEPTH_ / 8;
        constexpr unsigned int maxPacketPixels = 128;
        const unsigned int width = bitmap.width;
        if (cursor.x < width) {
            const unsigned char* p = bitmap.pixels + static_cast<size_t>(cursor.y) * bitmap.pitch +
                                     static_cast<size_t>(cursor.x) * bytesPerPixel;
            do {
                const unsigned int left = width - cursor.x;
                const unsigned int limit = left < maxPacketPixels ? left : maxPacketPixels;
                unsigned int count;
                if (left >= 2 && _IsSamePixel(p, p + bytesPerPixel)) {
                    count = 2;
                    while (count < limit && _IsSamePixel(p, p + count * bytesPerPixel)) {
                        ++count;
                    }
                    if (MAXBUFSIZE_ - buffer.writePos < 1 + bytesPerPixel) {
                        return false;
                    }
                    buffer.WriteU8(0x80 | (count - 1));
                    buffer.template Write<BITDEPTH_>(p, 1);
                } else {
                    count = 1;
                    while (count < limit && !_IsSamePixel(p + (count - 1) * bytesPerPixel,
                                                          p + count * bytesPerPixel)) {
                        ++count;
                    }
                    if (MAXBUFSIZE_ - buffer.writePos < 1 + count * bytesPerPixel) {
                        return false;
                    }
                    buffer.WriteU8(count - 1);
                    buffer.template Write<BITDEPTH_>(p, count);
                }
                cursor.x += count;
                p += count * bytesPerPixel;
            } while (cursor.x < width);
        }
        cursor.x = 0;
        cursor.y += 1;
        return cursor.y == bitmap.height;
    }

private:
    // Every byte counts, alpha included.
    static bool _IsSamePixel(const unsigned char* a, const unsigned char* b)
    {
        return std::memcmp(a, b, BITDEPTH_ / 8) == 0;
    }
};

} // namespace Detail

// Writes bitmaps as TGA images (types 2 and 3, or 10 and 11 with run-length
// packets), top row first, appending each to a FileBuf it does not own.
class TargaBitmapEncoder {
public:
    TargaBitmapEncoder();
    explicit TargaBitmapEncoder(FileBuf& output);

    void Reset();
    void Reset(FileBuf& output);

    // Run-length packets are on unless switched off here.
    void EnalbeRle(bool isEnabled) { _isRleEnabled = isEnabled; }
    void SetOrigin(unsigned short x, unsigned short y)
    {
        _xOrigin = x;
        _yOrigin = y;
    }

    // Appends one whole image and returns true, or refuses with false and
    // appends nothing: no output, a size of 0 or beyond 65535 (the header has
    // 16 bits for it), an unknown format, no pixels, or rows that overlap.
    bool WriteBitmap(const Bitmap& bitmap);

private:
    FileBuf* _output;
    bool _isRleEnabled;
    uint16_t _xOrigin;
    uint16_t _yOrigin;
};

} // namespace Imaging
} // namespace Talmex
