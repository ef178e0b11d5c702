#include "tests/platform/vcl/ControlTestSupport.h"

#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "platform/vcl/FormResource.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"

namespace ctltest {

using namespace vcl;

void ControlsTest::SetUp()
{
    VclTest::SetUp();
    RegisterStandardControls();
}

TForm* ControlsTest::LoadForm(const std::string& text)
{
    auto* form = new TForm(Application);
    ReadRootComponent(form, text, "Test.frm");
    return form;
}

TForm* ControlsTest::ShownForm()
{
    auto* form = new TForm(Application);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 400, 300);
    form->Show();
    return form;
}

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> MakeBmp(int width, int height, int bitCount, const std::vector<uint32_t>& palette,
                             const std::vector<std::vector<uint8_t>>& rows, uint32_t compression,
                             const std::vector<uint32_t>& masks)
{
    std::vector<uint8_t> bits;
    for (const auto& row : rows) {
        bits.insert(bits.end(), row.begin(), row.end());
        if (compression != 1 && compression != 2)  // run-length data is not padded
            while ((bits.size() % 4) != 0)
                bits.push_back(0);
    }
    uint32_t offBits = 14 + 40 + static_cast<uint32_t>(masks.size() * 4 + palette.size() * 4);
    std::vector<uint8_t> out{'B', 'M'};
    Put32(out, offBits + static_cast<uint32_t>(bits.size()));
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bitCount));
    Put32(out, compression);
    Put32(out, static_cast<uint32_t>(bits.size()));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(palette.size()));
    Put32(out, 0);
    for (uint32_t m : masks)
        Put32(out, m);
    for (uint32_t c : palette) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(0);
    }
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

uint32_t Rgb(TBitmap& bitmap, int x, int y)
{
    uint32_t bgr = ColorToRGB(bitmap.Canvas()->Pixels(x, y));
    return (GetRValue(bgr) << 16) | (GetGValue(bgr) << 8) | GetBValue(bgr);
}

namespace {

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

TPicturePixels ReadPng(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TPicturePixels picture;
    if (file.size() < 33 || file[1] != 'P' || file[2] != 'N' || file[3] != 'G')
        return picture;
    int channels = 0;
    std::vector<uint8_t> idat;
    for (size_t pos = 8; pos + 8 <= file.size();) {
        uint32_t length = Be32(&file[pos]);
        std::string type(reinterpret_cast<const char*>(&file[pos + 4]), 4);
        if (pos + 12 + length > file.size())
            break;
        const uint8_t* data = &file[pos + 8];
        if (type == "IHDR") {
            picture.Width = static_cast<int>(Be32(data));
            picture.Height = static_cast<int>(Be32(data + 4));
            channels = data[9] == 6 ? 4 : data[9] == 2 ? 3 : 0;
            if (data[8] != 8 || data[12] != 0)
                return TPicturePixels{};
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + length);
        }
        pos += 12 + length;
    }
    if (channels == 0)
        return TPicturePixels{};
    size_t stride = static_cast<size_t>(picture.Width) * static_cast<size_t>(channels);
    std::vector<uint8_t> raw((stride + 1) * static_cast<size_t>(picture.Height));
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK)
        return TPicturePixels{};
    std::vector<uint8_t> rows(stride * static_cast<size_t>(picture.Height));
    size_t bpp = static_cast<size_t>(channels);
    for (size_t y = 0; y < static_cast<size_t>(picture.Height); ++y) {
        uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* src = &raw[y * (stride + 1) + 1];
        uint8_t* row = &rows[y * stride];
        const uint8_t* up = y ? &rows[(y - 1) * stride] : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            int a = x >= bpp ? row[x - bpp] : 0, b = up ? up[x] : 0, c = (up && x >= bpp) ? up[x - bpp] : 0;
            int predictor = 0;
            switch (filter) {
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: {
                int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predictor = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
                break;
            }
            default: break;
            }
            row[x] = static_cast<uint8_t>(src[x] + predictor);
        }
    }
    picture.Pixels.resize(static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height));
    for (size_t i = 0; i < picture.Pixels.size(); ++i) {
        const uint8_t* p = &rows[i * bpp];
        picture.Pixels[i] = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    return picture;
}

TPicturePixels FormPicture(TCustomForm& form)
{
    std::string path = (std::filesystem::temp_directory_path() / ("ctl-form-" + std::to_string(::getpid()) + ".png")).string();
    vcl::test::SaveFormAsPng(form, path);
    TPicturePixels picture = ReadPng(path);
    std::filesystem::remove(path);
    return picture;
}

}  // namespace ctltest
