#include "Common/Imaging/TargaBitmapCoder.h"

namespace Talmex {
namespace Imaging {
namespace {

struct PixelFormat {
    unsigned char imageType; // uncompressed; the run-length type is 8 more
    unsigned char pixelDepth;
    unsigned char descriptor; // top row first, and the number of alpha bits
};

constexpr int _firstFormat = 1;
constexpr PixelFormat _pixelFormats[] = {
    {3, 8, 0x20},  // 8-bit grey
    {2, 16, 0x20}, // 16-bit colour
    {2, 24, 0x20}, // 24-bit colour
    {2, 32, 0x28}, // 32-bit colour with alpha
};
constexpr int _formatCount = sizeof _pixelFormats / sizeof _pixelFormats[0];
constexpr unsigned char _runLengthTypeOffset = 8;
constexpr unsigned int _headerSize = 18;
constexpr unsigned int _maxDimension = 0xFFFF;
// Staging packets here keeps the file from growing packet by packet.
constexpr unsigned long _stagingSize = 2048;

void _PutU16(unsigned char* destination, uint16_t value)
{
    destination[0] = static_cast<unsigned char>(value);
    destination[1] = static_cast<unsigned char>(value >> 8);
}

void _AppendRows(const Bitmap& bitmap, size_t rowBytes, FileBuf& output)
{
    if (rowBytes == bitmap.pitch) {
        output.Append(bitmap.pixels, rowBytes * bitmap.height);
        return;
    }
    for (unsigned int row = 0; row < bitmap.height; ++row) {
        output.Append(bitmap.pixels + static_cast<size_t>(row) * bitmap.pitch, rowBytes);
    }
}

template <unsigned int BITDEPTH_>
void _AppendPackets(const Bitmap& bitmap, FileBuf& output)
{
    Detail::TARGAWRITEBUF<_stagingSize> buffer;
    UPoint cursor = {0, 0};
    bool isLastRowDone;
    do {
        isLastRowDone = Detail::TARGA_RLEENCODER<BITDEPTH_>::Update(bitmap, cursor, buffer);
        output.Append(buffer.data, buffer.writePos);
        buffer.writePos = 0;
    } while (!isLastRowDone);
}

} // namespace

TargaBitmapEncoder::TargaBitmapEncoder()
    : _output(nullptr), _isRleEnabled(true), _xOrigin(0), _yOrigin(0)
{
}

TargaBitmapEncoder::TargaBitmapEncoder(FileBuf& output)
    : _output(&output), _isRleEnabled(true), _xOrigin(0), _yOrigin(0)
{
}

void TargaBitmapEncoder::Reset()
{
    *this = TargaBitmapEncoder();
}

void TargaBitmapEncoder::Reset(FileBuf& output)
{
    *this = TargaBitmapEncoder(output);
}

bool TargaBitmapEncoder::WriteBitmap(const Bitmap& bitmap)
{
    if (_output == nullptr) {
        return false;
    }
    if (bitmap.width == 0 || bitmap.width > _maxDimension) {
        return false;
    }
    if (bitmap.height == 0 || bitmap.height > _maxDimension) {
        return false;
    }
    if (bitmap.format < _firstFormat || bitmap.format >= _firstFormat + _formatCount) {
        return false;
    }
    const PixelFormat& format = _pixelFormats[bitmap.format - _firstFormat];
    const size_t rowBytes = static_cast<size_t>(bitmap.width) * (format.pixelDepth / 8);
    if (bitmap.pixels == nullptr || bitmap.pitch < rowBytes) {
        return false;
    }

    unsigned char header[_headerSize] = {};
    header[2] = _isRleEnabled ? format.imageType + _runLengthTypeOffset : format.imageType;
    _PutU16(header + 8, _xOrigin);
    _PutU16(header + 10, _yOrigin);
    _PutU16(header + 12, static_cast<uint16_t>(bitmap.width));
    _PutU16(header + 14, static_cast<uint16_t>(bitmap.height));
    header[16] = format.pixelDepth;
    header[17] = format.descriptor;
    _output->Append(header, sizeof header);

    if (!_isRleEnabled) {
        _AppendRows(bitmap, rowBytes, *_output);
        return true;
    }
    switch (format.pixelDepth) {
    case 8:
        _AppendPackets<8>(bitmap, *_output);
        break;
    case 16:
        _AppendPackets<16>(bitmap, *_output);
        break;
    case 24:
        _AppendPackets<24>(bitmap, *_output);
        break;
    default:
        _AppendPackets<32>(bitmap, *_output);
        break;
    }
    return true;
}

} // namespace Imaging
} // namespace Talmex
