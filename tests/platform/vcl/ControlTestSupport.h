#pragma once
// Helpers for the standard controls' tests: a fixture that registers the controls, forms read from
// resource text, hand-made BMP files, and pictures of forms decoded back to pixels.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/vcl/Forms.h"
#include "platform/vcl/GraphicsCanvas.h"
#include "tests/platform/vcl/VclTestFixture.h"

namespace ctltest {

class ControlsTest : public VclTest {
protected:
    void SetUp() override;
    // A form (owned by the application, freed by the driver at the end) read from resource text.
    vcl::TForm* LoadForm(const std::string& text);
    // A form with a client area of 400 x 300 and no frame, shown.
    vcl::TForm* ShownForm();
};

// Little-endian helpers for building files by hand.
void Put16(std::vector<uint8_t>& out, uint32_t v);
void Put32(std::vector<uint8_t>& out, uint32_t v);

// A BMP file with a BITMAPINFOHEADER: `rows` are the pixel rows as stored (bottom-up for a positive
// height), each padded here to 4 bytes; `palette` entries are 0x00RRGGBB.
std::vector<uint8_t> MakeBmp(int width, int height, int bitCount, const std::vector<uint32_t>& palette,
                             const std::vector<std::vector<uint8_t>>& rows, uint32_t compression = 0,
                             const std::vector<uint32_t>& masks = {});

// The RGB of a pixel of a bitmap's canvas.
uint32_t Rgb(vcl::TBitmap& bitmap, int x, int y);

// The pixels of a PNG file (8-bit RGB or RGBA), as 0x00RRGGBB.
struct TPicturePixels {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)]; }
};
TPicturePixels ReadPng(const std::string& hostPath);
// A form saved as a PNG and read back.
TPicturePixels FormPicture(vcl::TCustomForm& form);

}  // namespace ctltest
