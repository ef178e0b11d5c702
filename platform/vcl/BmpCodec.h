#pragma once
// Windows bitmap (BMP, DIB) and icon file formats, without any widget code: decoding into 32-bit pixels
// and encoding back. Every length and offset is checked against the data; anything that does not add up
// raises EInvalidGraphic.
//
//   vcl::bmp::TDibImage image = vcl::bmp::DecodeBmpFile(bytes.data(), bytes.size());
//   image.Pixels[y * image.Width + x];      // 0xAARRGGBB, rows top to bottom
//   vcl::TBinaryData file = vcl::bmp::EncodeBmpFile(image, 24);

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/vcl/GraphicsCanvas.h"

namespace vcl::bmp {

struct TDibImage {
    int Width = 0;
    int Height = 0;
    int BitCount = 24;      // of the source: 1, 4, 8, 16, 24 or 32
    bool HasAlpha = false;  // some pixel carries a real alpha value
    std::vector<uint32_t> Pixels;  // 0xAARRGGBB, top row first
};

// Whether the bytes start like a BMP file ("BM").
bool IsBmpFile(const uint8_t* data, size_t size);
// A whole BMP file.
TDibImage DecodeBmpFile(const uint8_t* data, size_t size);
// A DIB (info header, colours, bits) as icon files hold them: the height counts the colour bits and the
// 1-bit AND mask below them, which makes masked pixels transparent.
TDibImage DecodeIconDib(const uint8_t* data, size_t size);
// A BMP file of 24 (no alpha) or 32 bits per pixel (alpha kept), bottom-up, uncompressed.
TBinaryData EncodeBmpFile(const TDibImage& image, int bitCount);

// One entry of an icon file's directory.
struct TIconEntry {
    int Width = 0;
    int Height = 0;
    int BitCount = 0;
    size_t Offset = 0;
    size_t Size = 0;
    bool Png = false;
};
bool IsIconFile(const uint8_t* data, size_t size);
// The directory of an icon file; EInvalidGraphic "Icon image is not valid" when it does not fit the data.
std::vector<TIconEntry> ReadIconDirectory(const uint8_t* data, size_t size);
// The entry a 32 x 32 icon shows: that size with the most colours, else the largest.
const TIconEntry& ChooseIconEntry(const std::vector<TIconEntry>& entries);

}  // namespace vcl::bmp
