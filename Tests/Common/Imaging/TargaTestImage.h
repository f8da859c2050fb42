#pragma once

#include "Common/File.h"
#include "Common/Imaging/TargaBitmapCoder.h"

#include <cstddef>
#include <vector>

namespace TargaTest {

using Bytes = std::vector<unsigned char>;

constexpr size_t kHeaderSize = 18;

// The format codes 1 to 4 happen to be the bytes per pixel.
inline unsigned BytesPerPixel(int format)
{
    return static_cast<unsigned>(format);
}

// A bitmap that owns its pixel memory. Rows may carry padding, which starts
// out as 0xEE so that any of it reaching a file stands out.
class TestImage {
public:
    TestImage(int format, unsigned width, unsigned height, unsigned padding = 0)
        : _format(format), _width(width), _height(height),
          _pitch(width * BytesPerPixel(format) + padding),
          _storage(static_cast<size_t>(_pitch) * height, 0xEE)
    {
    }

    unsigned Width() const { return _width; }
    unsigned Height() const { return _height; }
    unsigned Pitch() const { return _pitch; }
    unsigned RowBytes() const { return _width * BytesPerPixel(_format); }

    unsigned char* Row(unsigned y) { return _storage.data() + static_cast<size_t>(y) * _pitch; }
    const unsigned char* Row(unsigned y) const
    {
        return _storage.data() + static_cast<size_t>(y) * _pitch;
    }
    unsigned char* PixelAt(unsigned x, unsigned y) { return Row(y) + x * BytesPerPixel(_format); }

    Talmex::Imaging::Bitmap AsBitmap() const
    {
        return Talmex::Imaging::Bitmap{_format, _width, _height, _pitch, _storage.data()};
    }

private:
    int _format;
    unsigned _width;
    unsigned _height;
    unsigned _pitch;
    Bytes _storage;
};

inline Bytes BytesOf(const Talmex::FileBuf& file)
{
    return Bytes(file.Data(), file.Data() + file.Size());
}

// The whole file, header included, or nothing when the encoder refused.
inline Bytes Encode(const Talmex::Imaging::Bitmap& bitmap, bool isRle)
{
    Talmex::FileBuf file;
    Talmex::Imaging::TargaBitmapEncoder encoder(file);
    encoder.EnalbeRle(isRle);
    if (!encoder.WriteBitmap(bitmap)) {
        return Bytes();
    }
    return BytesOf(file);
}

inline Bytes PixelData(const Bytes& file)
{
    return file.size() < kHeaderSize ? Bytes() : Bytes(file.begin() + kHeaderSize, file.end());
}

} // namespace TargaTest
