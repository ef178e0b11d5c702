// BMP and icon files: every field is read through bounds-checked helpers, so a malformed file is an
// EInvalidGraphic and never a read outside the data.
#include "platform/vcl/BmpCodec.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace vcl::bmp {

namespace {

const char* const BitmapInvalid = "Bitmap image is not valid";
const char* const IconInvalid = "Icon image is not valid";

// The largest picture we decode: enough for any screen, small enough to refuse absurd headers.
constexpr uint64_t MaxPixels = uint64_t(1) << 25;
constexpr int MaxSide = 65535;

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_ALPHABITFIELDS = 6;

[[noreturn]] void Invalid(const char* message)
{
    throw EInvalidGraphic(message);
}

class TReader {
public:
    TReader(const uint8_t* data, size_t size, const char* error) : data_(data), size_(size), error_(error) {}

    size_t Size() const { return size_; }
    bool Has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
    void Need(size_t offset, size_t count) const
    {
        if (!Has(offset, count))
            Invalid(error_);
    }
    uint8_t U8(size_t offset) const
    {
        Need(offset, 1);
        return data_[offset];
    }
    uint16_t U16(size_t offset) const
    {
        Need(offset, 2);
        return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    uint32_t U32(size_t offset) const
    {
        Need(offset, 4);
        return uint32_t(data_[offset]) | (uint32_t(data_[offset + 1]) << 8) | (uint32_t(data_[offset + 2]) << 16) |
               (uint32_t(data_[offset + 3]) << 24);
    }
    int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
    const uint8_t* At(size_t offset) const { return data_ + offset; }

private:
    const uint8_t* data_;
    size_t size_;
    const char* error_;
};

// A colour component under a bit mask, scaled to 0..255.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0;

    explicit TChannel(uint32_t mask = 0) : Mask(mask)
    {
        if (!mask)
            return;
        while (!((mask >> Shift) & 1))
            ++Shift;
        Max = mask >> Shift;
    }
    uint32_t Get(uint32_t pixel) const
    {
        if (!Mask)
            return 0;
        uint32_t v = (pixel & Mask) >> Shift;
        return Max == 255 ? v : static_cast<uint32_t>((uint64_t(v) * 255 + Max / 2) / Max);
    }
};

struct THeader {
    int Width = 0;
    int Height = 0;     // the rows of colour bits
    bool TopDown = false;
    int BitCount = 0;
    uint32_t Compression = BI_RGB;
    size_t HeaderSize = 0;
    size_t PaletteOffset = 0;  // relative to the DIB
    size_t PaletteCount = 0;
    size_t PaletteEntrySize = 4;
    size_t PaletteEnd = 0;     // where the bits follow when nothing says otherwise
    uint32_t Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    bool HaveMasks = false;
};

THeader ReadHeader(const TReader& r, size_t dib, bool icon, const char* error)
{
    THeader h;
    h.HeaderSize = r.U32(dib);
    size_t hs = h.HeaderSize;
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 64 && hs != 108 && hs != 124)
        Invalid(error);
    r.Need(dib, hs);
    int64_t width = 0, height = 0;
    int planes = 0;
    if (hs == 12) {
        width = r.U16(dib + 4);
        height = r.U16(dib + 6);
        planes = r.U16(dib + 8);
        h.BitCount = r.U16(dib + 10);
        h.PaletteEntrySize = 3;
    } else {
        width = r.I32(dib + 4);
        height = r.I32(dib + 8);
        planes = r.U16(dib + 12);
        h.BitCount = r.U16(dib + 14);
        h.Compression = r.U32(dib + 16);
        uint32_t used = r.U32(dib + 32);
        if (used != 0 && h.BitCount <= 8)
            h.PaletteCount = used;
        else if (h.BitCount > 8)
            h.PaletteCount = used;  // an optional palette, skipped
        if (hs >= 52) {
            for (int i = 0; i < 3; ++i)
                h.Masks[i] = r.U32(dib + 40 + 4 * static_cast<size_t>(i));
            h.HaveMasks = true;
        }
        if (hs >= 56)
            h.Masks[3] = r.U32(dib + 52);
    }
    if (planes != 1 || width <= 0)
        Invalid(error);
    if (height < 0) {
        if (icon || hs == 12)
            Invalid(error);
        h.TopDown = true;
        height = -height;
    }
    if (icon)
        height /= 2;
    if (height <= 0 || width > MaxSide || height > MaxSide || uint64_t(width) * uint64_t(height) > MaxPixels)
        Invalid(error);
    h.Width = static_cast<int>(width);
    h.Height = static_cast<int>(height);

    switch (h.Compression) {
    case BI_RGB:
        if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 && h.BitCount != 24 &&
            h.BitCount != 32)
            Invalid(error);
        break;
    case BI_RLE8:
        if (h.BitCount != 8 || h.TopDown)
            Invalid(error);
        break;
    case BI_RLE4:
        if (h.BitCount != 4 || h.TopDown)
            Invalid(error);
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.BitCount != 16 && h.BitCount != 32)
            Invalid(error);
        break;
    default:
        Invalid(error);  // embedded JPEG or PNG, or an unknown kind
    }

    size_t offset = hs;
    if (hs == 40 && (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS)) {
        int count = h.Compression == BI_ALPHABITFIELDS ? 4 : 3;
        for (int i = 0; i < count; ++i)
            h.Masks[i] = r.U32(dib + offset + 4 * static_cast<size_t>(i));
        h.HaveMasks = true;
        offset += 4 * static_cast<size_t>(count);
    }
    if (h.BitCount <= 8) {
        size_t full = size_t(1) << h.BitCount;
        if (h.PaletteCount == 0 || h.PaletteCount > full)
            h.PaletteCount = full;
    } else if (h.PaletteCount > 256) {
        Invalid(error);
    }
    h.PaletteOffset = offset;
    h.PaletteEnd = offset + h.PaletteCount * h.PaletteEntrySize;
    if (h.BitCount <= 8)
        r.Need(dib + h.PaletteOffset, h.PaletteCount * h.PaletteEntrySize);
    return h;
}

std::vector<uint32_t> ReadPalette(const TReader& r, size_t dib, const THeader& h)
{
    std::vector<uint32_t> palette;
    if (h.BitCount > 8)
        return palette;
    palette.reserve(h.PaletteCount);
    for (size_t i = 0; i < h.PaletteCount; ++i) {
        size_t at = dib + h.PaletteOffset + i * h.PaletteEntrySize;
        uint32_t b = r.U8(at), g = r.U8(at + 1), red = r.U8(at + 2);
        palette.push_back(0xFF000000u | (red << 16) | (g << 8) | b);
    }
    return palette;
}

uint32_t FromPalette(const std::vector<uint32_t>& palette, uint32_t index)
{
    return index < palette.size() ? palette[index] : 0xFF000000u;
}

size_t RowStride(int width, int bitCount)
{
    return static_cast<size_t>(((uint64_t(width) * uint64_t(bitCount) + 31) / 32) * 4);
}

void DecodeUncompressed(const TReader& r, size_t bits, const THeader& h, const std::vector<uint32_t>& palette,
                        TDibImage& image, const char* error)
{
    size_t stride = RowStride(h.Width, h.BitCount);
    r.Need(bits, stride * static_cast<size_t>(h.Height));
    TChannel red, green, blue, alpha;
    if (h.BitCount == 16 || h.BitCount == 32) {
        bool fields = h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS;
        if (fields && (!h.Masks[0] || !h.Masks[1] || !h.Masks[2]))
            Invalid(error);
        if (fields) {
            red = TChannel(h.Masks[0]);
            green = TChannel(h.Masks[1]);
            blue = TChannel(h.Masks[2]);
            alpha = TChannel(h.Masks[3]);
        } else if (h.BitCount == 16) {
            red = TChannel(0x7C00);
            green = TChannel(0x03E0);
            blue = TChannel(0x001F);
        } else {
            red = TChannel(0x00FF0000);
            green = TChannel(0x0000FF00);
            blue = TChannel(0x000000FF);
            alpha = TChannel(0xFF000000);  // kept only when some pixel uses it
        }
    }
    bool anyAlpha = false;
    for (int row = 0; row < h.Height; ++row) {
        const uint8_t* src = r.At(bits + stride * static_cast<size_t>(row));
        int y = h.TopDown ? row : h.Height - 1 - row;
        uint32_t* dst = &image.Pixels[static_cast<size_t>(y) * static_cast<size_t>(h.Width)];
        for (int x = 0; x < h.Width; ++x) {
            uint32_t pixel = 0;
            switch (h.BitCount) {
            case 1: pixel = FromPalette(palette, (src[x >> 3] >> (7 - (x & 7))) & 1); break;
            case 4: pixel = FromPalette(palette, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F); break;
            case 8: pixel = FromPalette(palette, src[x]); break;
            case 24: {
                const uint8_t* p = src + 3 * x;
                pixel = 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
                break;
            }
            case 16:
            case 32: {
                uint32_t v = h.BitCount == 16 ? uint32_t(src[2 * x] | (src[2 * x + 1] << 8))
                                              : uint32_t(src[4 * x]) | (uint32_t(src[4 * x + 1]) << 8) |
                                                    (uint32_t(src[4 * x + 2]) << 16) | (uint32_t(src[4 * x + 3]) << 24);
                uint32_t a = alpha.Mask ? alpha.Get(v) : 255;
                if (alpha.Mask && a != 0)
                    anyAlpha = true;
                pixel = (a << 24) | (red.Get(v) << 16) | (green.Get(v) << 8) | blue.Get(v);
                break;
            }
            default: break;
            }
            dst[x] = pixel;
        }
    }
    if (alpha.Mask) {
        // A 32-bit picture whose fourth byte is zero everywhere is opaque (the usual reading of it).
        if (!anyAlpha) {
            for (uint32_t& p : image.Pixels)
                p |= 0xFF000000u;
        } else {
            image.HasAlpha = true;
        }
    }
}

void DecodeRle(const TReader& r, size_t bits, const THeader& h, const std::vector<uint32_t>& palette, TDibImage& image)
{
    // Pixels that the runs skip keep the first palette colour.
    std::fill(image.Pixels.begin(), image.Pixels.end(), FromPalette(palette, 0));
    bool four = h.Compression == BI_RLE4;
    int x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint32_t index) {
        if (x < h.Width && y < h.Height)
            image.Pixels[static_cast<size_t>(h.Height - 1 - y) * static_cast<size_t>(h.Width) + static_cast<size_t>(x)] =
                FromPalette(palette, index);
        ++x;
    };
    size_t pos = bits;
    // A run list that stops without its end mark ends the picture where the data ends.
    while (r.Has(pos, 2) && y < h.Height) {
        uint8_t count = r.U8(pos), value = r.U8(pos + 1);
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // move
            if (!r.Has(pos, 2))
                break;
            x += r.U8(pos);
            y += r.U8(pos + 1);
            pos += 2;
        } else {  // `value` pixels as they stand, padded to a 16-bit boundary
            size_t bytes = four ? (static_cast<size_t>(value) + 1) / 2 : value;
            if (!r.Has(pos, bytes))
                break;
            for (int i = 0; i < value; ++i) {
                uint8_t b = r.U8(pos + (four ? static_cast<size_t>(i) / 2 : static_cast<size_t>(i)));
                put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            pos += bytes + (bytes & 1);
        }
    }
}

TDibImage Decode(const TReader& r, size_t dib, size_t bitsOffset, bool icon, const char* error)
{
    THeader h = ReadHeader(r, dib, icon, error);
    std::vector<uint32_t> palette = ReadPalette(r, dib, h);
    size_t bits = bitsOffset ? bitsOffset : dib + h.PaletteEnd;
    if (!r.Has(bits, 0))
        Invalid(error);
    TDibImage image;
    image.Width = h.Width;
    image.Height = h.Height;
    image.BitCount = h.BitCount;
    image.Pixels.assign(static_cast<size_t>(h.Width) * static_cast<size_t>(h.Height), 0xFF000000u);
    if (h.Compression == BI_RLE8 || h.Compression == BI_RLE4)
        DecodeRle(r, bits, h, palette, image);
    else
        DecodeUncompressed(r, bits, h, palette, image, error);

    if (icon && !image.HasAlpha) {
        // The AND mask below the colour bits: set bits are transparent. An icon without one is opaque.
        size_t maskStart = bits + RowStride(h.Width, h.BitCount) * static_cast<size_t>(h.Height);
        size_t maskStride = RowStride(h.Width, 1);
        if (h.Compression == BI_RGB && r.Has(maskStart, maskStride * static_cast<size_t>(h.Height))) {
            for (int row = 0; row < h.Height; ++row) {
                const uint8_t* src = r.At(maskStart + maskStride * static_cast<size_t>(row));
                uint32_t* dst = &image.Pixels[static_cast<size_t>(h.Height - 1 - row) * static_cast<size_t>(h.Width)];
                for (int x = 0; x < h.Width; ++x) {
                    if ((src[x >> 3] >> (7 - (x & 7))) & 1)
                        dst[x] = 0;
                }
            }
            image.HasAlpha = true;
        }
    }
    return image;
}

void Put16(TBinaryData& out, size_t at, uint32_t v)
{
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(TBinaryData& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool IsBmpFile(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

TDibImage DecodeBmpFile(const uint8_t* data, size_t size)
{
    TReader r(data, size, BitmapInvalid);
    if (!IsBmpFile(data, size))
        Invalid(BitmapInvalid);
    uint32_t offBits = r.U32(10);
    uint32_t headerSize = r.U32(14);
    // An offset inside the headers is wrong; then the bits are taken to follow the colour table.
    size_t bits = (offBits >= 14 + uint64_t(headerSize) && offBits <= size) ? offBits : 0;
    return Decode(r, 14, bits, false, BitmapInvalid);
}

TDibImage DecodeIconDib(const uint8_t* data, size_t size)
{
    TReader r(data, size, IconInvalid);
    return Decode(r, 0, 0, true, IconInvalid);
}

TBinaryData EncodeBmpFile(const TDibImage& image, int bitCount)
{
    if (bitCount != 24 && bitCount != 32)
        bitCount = 24;
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height))
        Invalid(BitmapInvalid);
    size_t stride = RowStride(image.Width, bitCount);
    size_t bitsSize = stride * static_cast<size_t>(image.Height);
    constexpr size_t offBits = 14 + 40;
    TBinaryData out(offBits + bitsSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(out.size()));
    Put32(out, 10, offBits);
    Put32(out, 14, 40);
    Put32(out, 18, static_cast<uint32_t>(image.Width));
    Put32(out, 22, static_cast<uint32_t>(image.Height));
    Put16(out, 26, 1);
    Put16(out, 28, static_cast<uint32_t>(bitCount));
    Put32(out, 34, static_cast<uint32_t>(bitsSize));
    for (int row = 0; row < image.Height; ++row) {
        const uint32_t* src = &image.Pixels[static_cast<size_t>(image.Height - 1 - row) * static_cast<size_t>(image.Width)];
        uint8_t* dst = &out[offBits + stride * static_cast<size_t>(row)];
        for (int x = 0; x < image.Width; ++x) {
            uint32_t p = src[x];
            uint8_t* d = dst + (bitCount / 8) * x;
            d[0] = static_cast<uint8_t>(p);
            d[1] = static_cast<uint8_t>(p >> 8);
            d[2] = static_cast<uint8_t>(p >> 16);
            if (bitCount == 32)
                d[3] = static_cast<uint8_t>(p >> 24);
        }
    }
    return out;
}

bool IsIconFile(const uint8_t* data, size_t size)
{
    return size >= 6 && data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] == 0;
}

std::vector<TIconEntry> ReadIconDirectory(const uint8_t* data, size_t size)
{
    TReader r(data, size, IconInvalid);
    if (!IsIconFile(data, size))
        Invalid(IconInvalid);
    int count = r.U16(4);
    if (count == 0)
        Invalid(IconInvalid);
    std::vector<TIconEntry> entries;
    for (int i = 0; i < count; ++i) {
        size_t at = 6 + 16 * static_cast<size_t>(i);
        TIconEntry e;
        e.Width = r.U8(at) ? r.U8(at) : 256;
        e.Height = r.U8(at + 1) ? r.U8(at + 1) : 256;
        e.BitCount = r.U16(at + 6);
        e.Size = r.U32(at + 8);
        e.Offset = r.U32(at + 12);
        if (!r.Has(e.Offset, e.Size) || e.Size < 8)
            Invalid(IconInvalid);
        static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        e.Png = std::memcmp(data + e.Offset, png, 8) == 0;
        if (!e.Png) {
            if (e.Size < 40)
                Invalid(IconInvalid);
            if (e.BitCount == 0)
                e.BitCount = r.U16(e.Offset + 14);
        }
        entries.push_back(e);
    }
    return entries;
}

const TIconEntry& ChooseIconEntry(const std::vector<TIconEntry>& entries)
{
    const TIconEntry* best = &entries.front();
    auto score = [](const TIconEntry& e) {
        bool exact = e.Width == 32 && e.Height == 32;
        return std::make_tuple(exact, exact ? 0 : e.Width * e.Height, e.BitCount);
    };
    for (const TIconEntry& e : entries) {
        if (score(e) > score(*best))
            best = &e;
    }
    return *best;
}

}  // namespace vcl::bmp
