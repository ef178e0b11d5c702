// The canvas on bitmaps, BMP and icon files, pictures in resources, and image lists.
#include <gtest/gtest.h>

#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/vcl/BmpCodec.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/GraphicsCanvas.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class GraphicsTest : public ControlsTest {};

std::unique_ptr<TBitmap> WhiteBitmap(int width, int height)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(width, height);
    return bitmap;
}

// Pixels that are not white in a region of a bitmap.
int InkIn(TBitmap& bitmap, int left, int top, int right, int bottom)
{
    int ink = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            ink += Rgb(bitmap, x, y) != 0xFFFFFF ? 1 : 0;
    return ink;
}

TEST_F(GraphicsTest, ShapesLandOnTheExpectedPixels)
{
    auto bmp = WhiteBitmap(40, 40);
    TCanvas* c = bmp->Canvas();
    EXPECT_EQ(Rgb(*bmp, 0, 0), 0xFFFFFFu);  // a new bitmap is white

    c->Brush()->SetColor(clRed);
    c->FillRect(Rect(2, 2, 10, 6));  // right and bottom exclusive
    EXPECT_EQ(Rgb(*bmp, 2, 2), 0xFF0000u);
    EXPECT_EQ(Rgb(*bmp, 9, 5), 0xFF0000u);
    EXPECT_EQ(Rgb(*bmp, 10, 5), 0xFFFFFFu);
    EXPECT_EQ(Rgb(*bmp, 9, 6), 0xFFFFFFu);

    c->Pen()->SetColor(clBlue);
    c->Brush()->SetColor(clYellow);
    c->Rectangle(20, 20, 30, 28);  // outlined inside its rectangle, filled with the brush
    EXPECT_EQ(Rgb(*bmp, 20, 20), 0x0000FFu);
    EXPECT_EQ(Rgb(*bmp, 29, 27), 0x0000FFu);
    EXPECT_EQ(Rgb(*bmp, 25, 24), 0xFFFF00u);
    EXPECT_EQ(Rgb(*bmp, 30, 28), 0xFFFFFFu);

    c->Brush()->SetStyle(bsClear);  // a clear brush leaves the inside alone
    c->Rectangle(0, 30, 10, 40);
    EXPECT_EQ(Rgb(*bmp, 5, 35), 0xFFFFFFu);
    EXPECT_EQ(Rgb(*bmp, 0, 35), 0x0000FFu);

    c->Pen()->SetColor(clBlack);
    c->MoveTo(12, 12);
    c->LineTo(18, 12);  // the last pixel is left out
    EXPECT_EQ(Rgb(*bmp, 12, 12), 0u);
    EXPECT_EQ(Rgb(*bmp, 17, 12), 0u);
    EXPECT_EQ(Rgb(*bmp, 18, 12), 0xFFFFFFu);
    EXPECT_EQ(c->PenPos(), Point(18, 12));

    c->SetPixels(39, 39, clLime);
    EXPECT_EQ(c->Pixels(39, 39), clLime);
    EXPECT_EQ(c->Pixels(40, 0), clNone);  // outside the picture
    EXPECT_EQ(c->ClipRect(), Rect(0, 0, 40, 40));
}

TEST_F(GraphicsTest, PolygonFillsItsInside)
{
    auto bmp = WhiteBitmap(50, 50);
    TCanvas* c = bmp->Canvas();
    c->Brush()->SetColor(clGreen);
    c->Pen()->SetColor(clGreen);
    c->Polygon({Point(5, 5), Point(45, 5), Point(5, 45)});  // the upper-left half
    EXPECT_EQ(Rgb(*bmp, 10, 10), 0x008000u);
    EXPECT_EQ(Rgb(*bmp, 40, 40), 0xFFFFFFu);
    EXPECT_EQ(Rgb(*bmp, 30, 8), 0x008000u);
    EXPECT_EQ(Rgb(*bmp, 30, 30), 0xFFFFFFu);

    c->Brush()->SetColor(clBlue);
    c->Pen()->SetStyle(psClear);
    c->Ellipse(20, 20, 40, 40);
    EXPECT_EQ(Rgb(*bmp, 30, 30), 0x0000FFu);
    EXPECT_EQ(Rgb(*bmp, 21, 38), 0xFFFFFFu);  // a corner of the box stays outside the ellipse
}

TEST_F(GraphicsTest, RotatedTextGoesWhereTheAngleSendsIt)
{
    for (int orientation : {0, 900, 1800, 2700}) {
        auto bmp = WhiteBitmap(160, 160);
        TCanvas* c = bmp->Canvas();
        c->Font()->SetName("DejaVu Sans");
        c->Font()->SetHeight(-20);
        c->Font()->SetColor(clBlack);
        c->Font()->SetOrientation(orientation);
        c->Brush()->SetStyle(bsClear);
        c->TextOut(80, 80, "WWWW");
        int rightBelow = InkIn(*bmp, 81, 81, 160, 160), rightAbove = InkIn(*bmp, 81, 0, 160, 79);
        int leftAbove = InkIn(*bmp, 0, 0, 79, 79), leftBelow = InkIn(*bmp, 0, 81, 79, 160);
        // The text runs from its top-left corner, turned counter-clockwise about it.
        int expected = orientation == 0 ? rightBelow : orientation == 900 ? rightAbove : orientation == 1800 ? leftAbove : leftBelow;
        EXPECT_GT(expected, 50) << orientation;
        EXPECT_EQ(rightBelow + rightAbove + leftAbove + leftBelow, expected) << orientation;
    }
}

TEST_F(GraphicsTest, TextIsMeasuredWithoutAnywhereToDraw)
{
    TCanvas canvas;  // draws nowhere
    canvas.Font()->SetHeight(-13);
    int one = canvas.TextWidth("W");
    EXPECT_GT(one, 0);
    EXPECT_GT(canvas.TextWidth("WWW"), 2 * one);
    EXPECT_EQ(canvas.TextExtent("WWW"), (TSize{canvas.TextWidth("WWW"), canvas.TextHeight("WWW")}));
    canvas.FillRect(Rect(0, 0, 10, 10));  // nothing to draw on: nothing happens
    EXPECT_EQ(canvas.Pixels(0, 0), clNone);

    TRect r = Rect(0, 0, 40, 0);
    int height = canvas.DrawText("one two three four five", r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GT(height, canvas.TextHeight("x"));  // wrapped onto more lines
    EXPECT_EQ(r.Height(), height);
    TRect amp = Rect(0, 0, 0, 0);
    canvas.DrawText("&&", amp, DT_CALCRECT | DT_SINGLELINE);
    TRect plain = Rect(0, 0, 0, 0);
    canvas.DrawText("&", plain, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(amp.Width(), plain.Width());  // "&&" shows as one "&"
}

TEST_F(GraphicsTest, BitmapsDrawOntoEachOtherWithTransparency)
{
    auto source = WhiteBitmap(4, 4);
    source->Canvas()->Brush()->SetColor(clFuchsia);
    source->Canvas()->FillRect(Rect(0, 0, 4, 4));
    source->Canvas()->SetPixels(1, 1, clBlue);

    auto target = WhiteBitmap(10, 10);
    target->Canvas()->Draw(2, 2, source.get());
    EXPECT_EQ(Rgb(*target, 2, 2), 0xFF00FFu);
    EXPECT_EQ(Rgb(*target, 3, 3), 0x0000FFu);

    target->SetSize(0, 0);
    target->SetSize(10, 10);
    source->SetTransparent(true);  // the bottom-left pixel's colour is transparent
    EXPECT_EQ(source->TransparentColor(), clFuchsia);
    target->Canvas()->Draw(2, 2, source.get());
    EXPECT_EQ(Rgb(*target, 2, 2), 0xFFFFFFu);
    EXPECT_EQ(Rgb(*target, 3, 3), 0x0000FFu);

    target->Canvas()->StretchDraw(Rect(0, 0, 8, 8), source.get());  // twice the size
    EXPECT_EQ(Rgb(*target, 2, 2), 0x0000FFu);
    EXPECT_EQ(Rgb(*target, 3, 3), 0x0000FFu);

    auto copy = WhiteBitmap(2, 2);
    copy->Canvas()->CopyRect(Rect(0, 0, 2, 2), target->Canvas(), Rect(2, 2, 4, 4));
    EXPECT_EQ(Rgb(*copy, 0, 0), 0x0000FFu);
}

TEST_F(GraphicsTest, BitmapSavesAsBmpAndLoadsBack)
{
    auto bmp = WhiteBitmap(3, 2);
    bmp->Canvas()->SetPixels(0, 0, clRed);
    bmp->Canvas()->SetPixels(2, 1, clBlue);
    TBinaryData file = bmp->SaveToBytes();
    ASSERT_EQ(file.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[10], 54);
    EXPECT_EQ(file[28], 24);  // bits per pixel
    // Bottom-up: the first row stored is the lower one, its last pixel blue (B, G, R).
    EXPECT_EQ(file[54 + 6], 0xFF);
    EXPECT_EQ(file[54 + 8], 0x00);

    TBitmap back;
    back.LoadFromBytes(file.data(), file.size());
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.Height(), 2);
    EXPECT_EQ(Rgb(back, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(back, 2, 1), 0x0000FFu);
    EXPECT_EQ(back.PixelFormat(), pf24bit);

    // Through a Windows path, and unchanged bytes are saved as they were read.
    bmp->SaveToFile("C:\\one.bmp");
    TPicture picture;
    picture.LoadFromFile("C:\\one.bmp");
    ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 3);
    picture.SaveToFile("C:\\two.bmp");
    EXPECT_EQ(rtl::ReadWholeFile("C:\\two.bmp"), rtl::ReadWholeFile("C:\\one.bmp"));
}

TEST_F(GraphicsTest, BmpKindsDecode)
{
    // 8 bits with a palette, bottom-up: the first row stored is the bottom row.
    auto pal8 = MakeBmp(2, 2, 8, {0xFF0000, 0x00FF00, 0x0000FF}, {{0, 1}, {2, 0}});
    bmp::TDibImage img = bmp::DecodeBmpFile(pal8.data(), pal8.size());
    EXPECT_EQ(img.Pixels[0], 0xFF0000FFu);  // top-left: index 2, blue
    EXPECT_EQ(img.Pixels[2], 0xFFFF0000u);  // bottom-left: index 0, red

    auto pal1 = MakeBmp(9, 1, 1, {0x000000, 0xFFFFFF}, {{0x80, 0x80}});
    img = bmp::DecodeBmpFile(pal1.data(), pal1.size());
    EXPECT_EQ(img.Pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(img.Pixels[1], 0xFF000000u);
    EXPECT_EQ(img.Pixels[8], 0xFFFFFFFFu);  // the ninth pixel is in the second byte

    auto pal4 = MakeBmp(3, 1, 4, {0x000000, 0x112233}, {{0x01, 0x10}});
    img = bmp::DecodeBmpFile(pal4.data(), pal4.size());
    EXPECT_EQ(img.Pixels[1], 0xFF112233u);
    EXPECT_EQ(img.Pixels[2], 0xFF112233u);

    auto topDown = MakeBmp(1, -2, 24, {}, {{0, 0, 0xFF}, {0xFF, 0, 0}});
    img = bmp::DecodeBmpFile(topDown.data(), topDown.size());
    EXPECT_EQ(img.Pixels[0], 0xFFFF0000u);  // a negative height stores the top row first
    EXPECT_EQ(img.Pixels[1], 0xFF0000FFu);

    auto fields = MakeBmp(1, 1, 16, {}, {{0x00, 0xF8}}, 3, {0xF800, 0x07E0, 0x001F});  // 5-6-5 red
    img = bmp::DecodeBmpFile(fields.data(), fields.size());
    EXPECT_EQ(img.Pixels[0], 0xFFFF0000u);

    auto alpha = MakeBmp(2, 1, 32, {}, {{1, 2, 3, 0x80, 4, 5, 6, 0}});
    img = bmp::DecodeBmpFile(alpha.data(), alpha.size());
    EXPECT_TRUE(img.HasAlpha);
    EXPECT_EQ(img.Pixels[0], 0x80030201u);
    auto opaque = MakeBmp(1, 1, 32, {}, {{1, 2, 3, 0}});  // a zero fourth byte everywhere: opaque
    img = bmp::DecodeBmpFile(opaque.data(), opaque.size());
    EXPECT_EQ(img.Pixels[0], 0xFF030201u);

    // RLE8: three index-1 pixels, end of line, three pixels as they stand (padded), end of picture.
    auto rle = MakeBmp(3, 2, 8, {0x000000, 0xFF0000, 0x00FF00}, {{3, 1, 0, 0, 0, 3, 2, 1, 2, 0, 0, 1}}, 1);
    img = bmp::DecodeBmpFile(rle.data(), rle.size());
    EXPECT_EQ(img.Pixels[3], 0xFFFF0000u);  // bottom row
    EXPECT_EQ(img.Pixels[5], 0xFFFF0000u);
    EXPECT_EQ(img.Pixels[0], 0xFF00FF00u);  // top row, from the run as it stands
    EXPECT_EQ(img.Pixels[1], 0xFFFF0000u);
    EXPECT_EQ(img.Pixels[2], 0xFF00FF00u);
    // A move skips pixels, which keep the first palette colour.
    auto moved = MakeBmp(3, 1, 8, {0x000000, 0xFF0000}, {{0, 2, 2, 0, 1, 1, 0, 1}}, 1);
    img = bmp::DecodeBmpFile(moved.data(), moved.size());
    EXPECT_EQ(img.Pixels[0], 0xFF000000u);
    EXPECT_EQ(img.Pixels[2], 0xFFFF0000u);
}

TEST_F(GraphicsTest, MalformedBmpIsRefusedAndLeavesTheBitmapAlone)
{
    auto good = MakeBmp(4, 4, 24, {}, std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(12, 0x40)));
    TBitmap bitmap;
    bitmap.LoadFromBytes(good.data(), good.size());

    auto expectInvalid = [&](std::vector<uint8_t> bytes, const char* what) {
        try {
            bitmap.LoadFromBytes(bytes.data(), bytes.size());
            ADD_FAILURE() << what << ": accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "Bitmap image is not valid") << what;
        }
        EXPECT_EQ(bitmap.Width(), 4) << what;
    };
    expectInvalid({}, "empty");
    expectInvalid({'B', 'M'}, "a signature alone");
    expectInvalid({'P', 'K', 3, 4}, "another format");
    auto bad = good;
    bad[14] = 99;  // header size
    expectInvalid(bad, "header size");
    bad = good;
    bad[28] = 7;  // bits per pixel
    expectInvalid(bad, "bit count");
    bad = good;
    bad[18] = bad[19] = bad[20] = bad[21] = 0;  // width 0
    expectInvalid(bad, "zero width");
    bad = good;
    bad[22] = bad[23] = 0xFF;
    bad[24] = 0xFF;
    bad[25] = 0x7F;  // a height no picture has
    expectInvalid(bad, "huge height");
    bad = good;
    bad[30] = 4;  // embedded JPEG
    expectInvalid(bad, "compression");

    // Cut short anywhere: refused or read, never more.
    for (size_t length = 0; length < good.size(); ++length) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        TBitmap other;
        EXPECT_THROW(other.LoadFromBytes(cut.data(), cut.size()), EInvalidGraphic) << length;
    }
    rtl::WriteWholeFile("C:\\broken.bmp", "BMxxxx");
    TPicture picture;
    EXPECT_THROW(picture.LoadFromFile("C:\\broken.bmp"), EInvalidGraphic);
    EXPECT_TRUE(picture.Empty());
    try {
        picture.LoadFromFile("C:\\photo.jpg");
        ADD_FAILURE() << "an unknown extension was accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unknown picture file extension (.jpg)");
    }
}

TEST_F(GraphicsTest, PictureDataTakesTheClassicLayoutAndRawFiles)
{
    auto bmp = WhiteBitmap(2, 2);
    bmp->Canvas()->SetPixels(0, 0, clRed);
    TPicture picture;
    picture.SetGraphic(bmp.get());
    TBinaryData data = picture.Data();
    ASSERT_GT(data.size(), 12u);
    EXPECT_EQ(data[0], 7);
    EXPECT_EQ(std::string(data.begin() + 1, data.begin() + 8), "TBitmap");
    TBinaryData file = bmp->SaveToBytes();
    EXPECT_EQ(data[8], file.size() & 0xFF);  // the BMP's size, then the BMP
    EXPECT_EQ(data[12], 'B');

    TPicture back;
    back.SetData(data);
    EXPECT_EQ(back.Width(), 2);
    back.SetData(file);  // bare BMP bytes
    EXPECT_EQ(Rgb(*back.Bitmap(), 0, 0), 0xFF0000u);
    TBinaryData unprefixed(data.begin(), data.begin() + 8);
    unprefixed.insert(unprefixed.end(), file.begin(), file.end());
    back.SetData(unprefixed);  // the class name, then the BMP without its size
    EXPECT_EQ(back.Height(), 2);

    EXPECT_THROW(back.SetData({5, 'T', 'J', 'P', 'E', 'G', 1, 2}), EInvalidGraphic);
    EXPECT_THROW(back.SetData({200, 'T'}), EInvalidGraphic);
    EXPECT_EQ(back.Height(), 2);  // a refused value changes nothing
    back.SetData({});
    EXPECT_TRUE(back.Empty());
}

TEST_F(GraphicsTest, ImagePictureTravelsThroughAResource)
{
    auto bmp = WhiteBitmap(3, 3);
    bmp->Canvas()->SetPixels(1, 1, clBlue);
    TPicture picture;
    picture.SetGraphic(bmp.get());
    AnsiString hex;
    for (uint8_t b : picture.Data())
        hex += rtl::IntToHex(b, 2);
    TForm* form = LoadForm("object frm: TForm\n  object img: TImage\n    Left = 4\n    Stretch = True\n"
                           "    Picture.Data = {" + hex + "}\n  end\nend");
    auto* img = dynamic_cast<TImage*>(form->FindComponent("img"));
    ASSERT_NE(img, nullptr);
    EXPECT_TRUE(img->Stretch());
    EXPECT_EQ(img->Picture()->Width(), 3);
    EXPECT_EQ(Rgb(*img->Picture()->Bitmap(), 1, 1), 0x0000FFu);
    AnsiString written = WriteComponentResource(*form);
    EXPECT_NE(written.find("Picture.Data"), AnsiString::npos);

    // A malformed picture in a resource is a clear error, and the form loads nothing half-way.
    auto* host = new TForm(Application);
    EXPECT_THROW(ReadRootComponent(host, "object f: TForm\n  object i: TImage\n    Picture.Data = {0754426974"
                                          "6D617000000000}\n  end\nend", "Bad.frm"),
                 rtl::Exception);
    EXPECT_EQ(host->ComponentCount(), 0);
}

TEST_F(GraphicsTest, IconsLoadWithTheirMask)
{
    // One 2 x 2 entry: 32-bit colour bits without alpha, then the AND mask (top-right pixel masked).
    std::vector<uint8_t> dib;
    Put32(dib, 40);
    Put32(dib, 2);
    Put32(dib, 4);  // twice the height: colour bits and mask
    Put16(dib, 1);
    Put16(dib, 24);
    for (int i = 0; i < 6; ++i)
        Put32(dib, 0);
    for (int row = 0; row < 2; ++row) {  // bottom-up, red pixels
        for (int x = 0; x < 2; ++x) {
            dib.push_back(0);
            dib.push_back(0);
            dib.push_back(0xFF);
        }
        dib.push_back(0);
        dib.push_back(0);
    }
    for (uint8_t mask : {0x00, 0x40}) {  // bottom row clear; top row: the second pixel masked
        dib.push_back(mask);
        dib.push_back(0);
        dib.push_back(0);
        dib.push_back(0);
    }
    std::vector<uint8_t> ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, 1);
    ico.push_back(2);
    ico.push_back(2);
    ico.push_back(0);
    ico.push_back(0);
    Put16(ico, 1);
    Put16(ico, 24);
    Put32(ico, static_cast<uint32_t>(dib.size()));
    Put32(ico, 22);
    ico.insert(ico.end(), dib.begin(), dib.end());

    TIcon icon;
    icon.LoadFromBytes(ico.data(), ico.size());
    EXPECT_EQ(icon.Width(), 2);
    EXPECT_EQ(icon.Height(), 2);
    auto target = WhiteBitmap(2, 2);
    target->Canvas()->Draw(0, 0, &icon);
    EXPECT_EQ(Rgb(*target, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(*target, 1, 0), 0xFFFFFFu);  // masked: the white below shows

    TPicture picture;
    picture.SetData(TBinaryData(ico.begin(), ico.end()));
    EXPECT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);

    std::vector<uint8_t> broken = ico;
    broken[18] = 0xFF;  // the entry's offset points outside the file
    try {
        icon.LoadFromBytes(broken.data(), broken.size());
        ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Icon image is not valid");
    }
    EXPECT_EQ(icon.Width(), 2);
}

TEST_F(GraphicsTest, ImageListCutsMasksAndCarriesItsImages)
{
    auto strip = WhiteBitmap(32, 16);
    strip->Canvas()->Brush()->SetColor(clFuchsia);
    strip->Canvas()->FillRect(Rect(0, 0, 32, 16));
    strip->Canvas()->Brush()->SetColor(clGreen);
    strip->Canvas()->FillRect(Rect(4, 4, 8, 8));    // in image 0
    strip->Canvas()->FillRect(Rect(20, 4, 24, 8));  // in image 1

    auto* list = new TImageList(nullptr);
    std::unique_ptr<TImageList> owned(list);
    int changes = 0;
    list->OnChange = [&](TObject*) { ++changes; };
    EXPECT_EQ(list->AddMasked(strip.get(), clFuchsia), 0);
    EXPECT_EQ(list->Count(), 2);  // one image for each 16 pixels across
    EXPECT_EQ(changes, 1);

    auto target = WhiteBitmap(16, 16);
    list->Draw(target->Canvas(), 0, 0, 1);
    EXPECT_EQ(Rgb(*target, 5, 5), 0x008000u);
    EXPECT_EQ(Rgb(*target, 0, 0), 0xFFFFFFu);  // the mask colour is transparent
    EXPECT_THROW(list->Delete(2), EInvalidOperation);

    TImageList copy(nullptr);
    copy.SetBitmap(list->Bitmap());  // the resource form
    EXPECT_EQ(copy.Count(), 2);
    auto again = WhiteBitmap(16, 16);
    copy.Draw(again->Canvas(), 0, 0, 0);
    EXPECT_EQ(Rgb(*again, 5, 5), 0x008000u);
    EXPECT_EQ(Rgb(*again, 12, 12), 0xFFFFFFu);

    list->SetWidth(8);  // another size empties the list
    EXPECT_EQ(list->Count(), 0);
}

}  // namespace

namespace {

TEST_F(GraphicsTest, TextAndFramesKeepToTheirRectangles)
{
    auto bmp = WhiteBitmap(60, 30);
    TCanvas* c = bmp->Canvas();
    c->Font()->SetName("DejaVu Sans");
    c->Font()->SetHeight(-20);
    c->Brush()->SetColor(clYellow);
    c->TextRect(Rect(10, 5, 30, 25), 20, 0, "WWWWWWWW");  // the brush fills the rectangle; text is clipped to it
    EXPECT_EQ(Rgb(*bmp, 10, 5), 0xFFFF00u);
    EXPECT_EQ(InkIn(*bmp, 0, 0, 10, 30), 0);
    EXPECT_EQ(InkIn(*bmp, 30, 0, 60, 30), 0);
    EXPECT_GT(InkIn(*bmp, 10, 5, 30, 25), 0);

    auto frame = WhiteBitmap(10, 10);
    frame->Canvas()->Brush()->SetColor(clRed);
    frame->Canvas()->FrameRect(Rect(1, 1, 9, 9));  // one pixel in the brush colour
    EXPECT_EQ(Rgb(*frame, 1, 1), 0xFF0000u);
    EXPECT_EQ(Rgb(*frame, 8, 8), 0xFF0000u);
    EXPECT_EQ(Rgb(*frame, 4, 4), 0xFFFFFFu);
    TRect r = Rect(0, 0, 10, 10);
    Frame3D(frame->Canvas(), r, clLime, clBlue, 1);
    EXPECT_EQ(r, Rect(1, 1, 9, 9));
    EXPECT_EQ(Rgb(*frame, 0, 0), 0x00FF00u);
    EXPECT_EQ(Rgb(*frame, 9, 9), 0x0000FFu);
    EXPECT_EQ(Rgb(*frame, 9, 0), 0x0000FFu);  // the bottom-right colour takes both far corners
    EXPECT_EQ(Rgb(*frame, 0, 9), 0x0000FFu);

    auto lines = WhiteBitmap(10, 10);
    lines->Canvas()->MoveTo(8, 8);
    lines->Canvas()->LineTo(2, 2);  // drawn backwards: the start is in, the end out
    EXPECT_EQ(Rgb(*lines, 8, 8), 0u);
    EXPECT_EQ(Rgb(*lines, 3, 3), 0u);
    EXPECT_EQ(Rgb(*lines, 2, 2), 0xFFFFFFu);

    auto centred = WhiteBitmap(100, 20);
    centred->Canvas()->Font()->SetHeight(-12);
    centred->Canvas()->Brush()->SetStyle(bsClear);
    TRect area = Rect(0, 0, 100, 20);
    centred->Canvas()->DrawText("ii", area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EXPECT_EQ(InkIn(*centred, 0, 0, 40, 20), 0);  // in the middle only
    EXPECT_EQ(InkIn(*centred, 60, 0, 100, 20), 0);
    EXPECT_GT(InkIn(*centred, 40, 0, 60, 20), 0);
}

TEST_F(GraphicsTest, BitmapsResizeCopyAndSaveAsTheyAreNow)
{
    auto bmp = WhiteBitmap(4, 4);
    bmp->Canvas()->SetPixels(1, 1, clRed);
    bmp->SetSize(8, 2);  // pixels keep their place; new ones are white
    EXPECT_EQ(Rgb(*bmp, 1, 1), 0xFF0000u);
    EXPECT_EQ(Rgb(*bmp, 7, 0), 0xFFFFFFu);
    EXPECT_EQ(bmp->Height(), 2);

    TBitmap copy;
    copy.Assign(bmp.get());
    copy.Canvas()->SetPixels(1, 1, clBlue);  // the copy is its own
    EXPECT_EQ(Rgb(*bmp, 1, 1), 0xFF0000u);
    EXPECT_EQ(Rgb(copy, 1, 1), 0x0000FFu);

    // Loaded bytes are saved again as they were, until the pixels change.
    auto pal8 = MakeBmp(2, 1, 8, {0x102030, 0x405060}, {{1, 0}});
    TBitmap loaded;
    loaded.LoadFromBytes(pal8.data(), pal8.size());
    EXPECT_EQ(loaded.PixelFormat(), pf8bit);
    EXPECT_EQ(loaded.SaveToBytes(), TBinaryData(pal8.begin(), pal8.end()));
    loaded.Canvas()->SetPixels(0, 0, clBlack);
    TBinaryData changed = loaded.SaveToBytes();
    EXPECT_EQ(changed[28], 24);  // now written as 24 bits
    loaded.SetPixelFormat(pf32bit);
    EXPECT_EQ(loaded.SaveToBytes()[28], 32);

    rtl::TMemoryStream stream;
    bmp->SaveToStream(stream);
    stream.SetPosition(0);
    TBitmap fromStream;
    fromStream.LoadFromStream(stream);
    EXPECT_EQ(fromStream.Width(), 8);
    EXPECT_EQ(Rgb(fromStream, 1, 1), 0xFF0000u);

    EXPECT_TRUE(TBitmap().SaveToBytes().empty());  // an empty bitmap has nothing to save
    EXPECT_THROW(bmp->SetSize(100000, 100000), EInvalidGraphic);
    EXPECT_EQ(bmp->Width(), 8);
}

TEST_F(GraphicsTest, GlyphDataInResourcesTakesBothForms)
{
    auto bmp = WhiteBitmap(16, 16);
    bmp->Canvas()->SetPixels(3, 3, clRed);
    AnsiString prefixed, raw;
    for (uint8_t b : bmp->WriteData())
        prefixed += rtl::IntToHex(b, 2);
    for (uint8_t b : bmp->SaveToBytes())
        raw += rtl::IntToHex(b, 2);
    TForm* form = LoadForm("object f: TForm\n  object a: TBitBtn\n    Glyph.Data = {" + prefixed +
                           "}\n  end\n  object b: TSpeedButton\n    Glyph.Data = {" + raw + "}\n    NumGlyphs = 2\n  end\nend");
    auto* a = dynamic_cast<TBitBtn*>(form->FindComponent("a"));
    auto* b = dynamic_cast<TSpeedButton*>(form->FindComponent("b"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Glyph()->Width(), 16);
    EXPECT_EQ(Rgb(*b->Glyph(), 3, 3), 0xFF0000u);
    EXPECT_EQ(b->NumGlyphs(), 2);
    AnsiString written = WriteComponentResource(*form);
    EXPECT_NE(written.find("Glyph.Data = {"), AnsiString::npos);
    form->Show();  // the glyphs reach the widgets without trouble
    vt::ProcessMessages();
}

TEST_F(GraphicsTest, PicturesChangeKindOnRequest)
{
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TObject*) { ++changes; };
    EXPECT_TRUE(picture.Empty());
    TBitmap* bitmap = picture.Bitmap();  // an empty picture becomes an empty bitmap
    EXPECT_TRUE(picture.Empty());
    bitmap->SetSize(5, 5);
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_GE(changes, 2);  // the graphic's changes reach the picture

    TPicture other;
    other.Assign(&picture);
    EXPECT_EQ(other.Width(), 5);
    EXPECT_NE(other.Graphic(), picture.Graphic());
    other.Icon();  // another kind replaces the bitmap
    EXPECT_TRUE(other.Empty());
    other.Assign(nullptr);
    EXPECT_EQ(other.Graphic(), nullptr);
    EXPECT_TRUE(other.Data().empty());

    auto* img = new TImage(new TForm(Application));
    img->SetTransparent(true);
    img->Picture()->Assign(&picture);
    EXPECT_TRUE(img->Picture()->Graphic()->Transparent());  // the image's choice reaches its picture
}

TEST_F(GraphicsTest, ImageListEditsAndTellsItsClients)
{
    TForm* form = new TForm(Application);
    auto* list = new TImageList(form);
    list->SetWidth(4);
    list->SetHeight(4);
    auto red = WhiteBitmap(4, 4);
    red->Canvas()->Brush()->SetColor(clRed);
    red->Canvas()->FillRect(Rect(0, 0, 4, 4));
    auto blue = WhiteBitmap(4, 4);
    blue->Canvas()->Brush()->SetColor(clBlue);
    blue->Canvas()->FillRect(Rect(0, 0, 4, 4));
    auto mask = WhiteBitmap(4, 4);  // white: transparent
    mask->Canvas()->Brush()->SetColor(clBlack);
    mask->Canvas()->FillRect(Rect(0, 0, 2, 4));

    int heard = 0;
    auto* client = new TComponent(form);
    list->RegisterChanges(client, [&] { ++heard; });
    list->Add(red.get(), mask.get());
    list->Insert(0, blue.get(), nullptr);
    EXPECT_EQ(list->Count(), 2);
    TBitmap out;
    list->GetBitmap(1, &out);
    auto target = WhiteBitmap(4, 4);
    target->Canvas()->Draw(0, 0, &out);
    EXPECT_EQ(Rgb(*target, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(*target, 3, 0), 0xFFFFFFu);  // masked
    list->Move(1, 0);
    list->GetBitmap(1, &out);
    EXPECT_EQ(Rgb(out, 0, 0), 0x0000FFu);
    list->Replace(1, red.get(), nullptr);
    EXPECT_EQ(heard, 4);
    delete client;  // a freed client hears nothing more
    list->Clear();
    EXPECT_EQ(heard, 4);
    EXPECT_THROW(list->Add(nullptr, nullptr), EInvalidOperation);
}

}  // namespace
