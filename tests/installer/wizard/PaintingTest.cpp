// Pictures of the backdrop and the rotated label, saved through the test driver: the gradient's exact rows
// and columns, and where the label puts its caption.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "installer/wizard/Backdrop.h"
#include "tests/installer/wizard/WizardTestSupport.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using ctltest::FormPicture;
using ctltest::TPicturePixels;

namespace {

class PaintingTest : public WizardTest {
protected:
    // A frameless form of the given client size, owned by the application (the driver frees it).
    vcl::TForm* Host(int width, int height)
    {
        auto* form = new vcl::TForm(vcl::Application);
        form->SetBorderStyle(vcl::bsNone);
        form->SetBounds(0, 0, width, height);
        form->SetColor(vcl::clBtnFace);
        return form;
    }
    TBackdrop* Backdrop(vcl::TForm* host, TDirection direction)
    {
        auto* backdrop = new TBackdrop(host);
        backdrop->SetParent(host);
        backdrop->SetDirection(direction);
        return backdrop;
    }
};

constexpr uint32_t Blue(int value)
{
    return static_cast<uint32_t>(value);  // 0x00RRGGBB
}

TEST_F(PaintingTest, AnUnmirroredGradientHasOneBandPerRowOrColumn)
{
    vcl::TForm* host = Host(40, 256);
    TBackdrop* backdrop = Backdrop(host, bdUp);  // blue at the top to black
    EXPECT_EQ(backdrop->Width(), 40);            // fills its parent
    TPicturePixels up = FormPicture(*host);
    ASSERT_EQ(up.Height, 256);
    for (int row = 0; row < 256; ++row) {
        ASSERT_EQ(up.At(5, row), Blue(255 - row)) << row;
        ASSERT_EQ(up.At(39, row), up.At(0, row)) << row;
    }
    backdrop->SetDirection(bdDown);
    TPicturePixels down = FormPicture(*host);
    EXPECT_EQ(down.At(5, 0), Blue(0));
    EXPECT_EQ(down.At(5, 255), Blue(255));

    vcl::TForm* wide = Host(256, 30);
    TBackdrop* across = Backdrop(wide, bdRight);  // black at the left to blue
    across->SetStartColor(vcl::clRed);
    TPicturePixels right = FormPicture(*wide);
    for (int column = 0; column < 256; ++column)
        ASSERT_EQ(right.At(column, 10), static_cast<uint32_t>(column) << 16) << column;
}

TEST_F(PaintingTest, AMirroredGradientMeetsInTheMiddle)
{
    vcl::TForm* host = Host(20, 256);
    Backdrop(host, bdHorzOut);  // blue outside, black in the middle
    TPicturePixels out = FormPicture(*host);
    EXPECT_EQ(out.At(3, 0), Blue(255));
    EXPECT_EQ(out.At(3, 255), Blue(255));
    EXPECT_EQ(out.At(3, 127), Blue(0));
    EXPECT_EQ(out.At(3, 128), Blue(0));
    // Band 64 of 127 steps: 255 - 16320 / 127 = 255 - 128.5, the half away from zero: 126, on both sides.
    EXPECT_EQ(out.At(3, 64), Blue(126));
    EXPECT_EQ(out.At(3, 191), Blue(126));

    vcl::TForm* wide = Host(256, 10);
    Backdrop(wide, bdVertOut);  // black at both edges, blue in the middle
    TPicturePixels vert = FormPicture(*wide);
    EXPECT_EQ(vert.At(0, 5), Blue(0));
    EXPECT_EQ(vert.At(255, 5), Blue(0));
    EXPECT_EQ(vert.At(127, 5), Blue(255));
}

TEST_F(PaintingTest, ABackdropSmallerThan256PixelsSkipsItsEmptyBands)
{
    vcl::TForm* host = Host(10, 100);
    Backdrop(host, bdUp);
    TPicturePixels picture = FormPicture(*host);
    // Row 0: band 0 is empty, band 1 covers it; row 99: band 255 is empty, band 254 covers it.
    EXPECT_EQ(picture.At(2, 0), Blue(254));
    EXPECT_EQ(picture.At(2, 99), Blue(1));
    for (int row = 1; row < 100; ++row)
        ASSERT_LT(picture.At(2, row), picture.At(2, row - 1)) << row;
}

TEST_F(PaintingTest, AssigningABackdropAndTheMainMark)
{
    vcl::TForm* host = Host(10, 10);
    TBackdrop* a = Backdrop(host, bdVertIn);
    a->SetEndColor(vcl::clRed);
    TBackdrop* b = Backdrop(host, bdUp);
    b->SetAlign(vcl::alNone);
    b->Assign(a);
    EXPECT_EQ(b->Direction(), bdVertIn);
    EXPECT_EQ(b->EndColor(), vcl::clRed);
    EXPECT_EQ(b->Align(), vcl::alClient);

    a->SetMainTag(-1);
    EXPECT_EQ(MainBackdrop(), a);
    b->SetMainTag(-1);
    EXPECT_EQ(MainBackdrop(), b);
    EXPECT_EQ(a->Tag(), 0);
    b->SetMainTag(3);
    EXPECT_EQ(MainBackdrop(), nullptr);
    a->SetMainTag(-1);
    delete a;
    EXPECT_EQ(MainBackdrop(), nullptr);
}

// ---------------------------------------------------------------------------------------------------------

struct TInk {
    int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1, Count = 0;
};

// The box around every pixel of `color` (or, with `notColor`, every pixel but it) inside the picture.
TInk InkOf(const TPicturePixels& picture, uint32_t color, bool notColor = false)
{
    TInk ink;
    for (int y = 0; y < picture.Height; ++y) {
        for (int x = 0; x < picture.Width; ++x) {
            if ((picture.At(x, y) == color) == notColor)
                continue;
            ink.Left = std::min(ink.Left, x);
            ink.Right = std::max(ink.Right, x);
            ink.Top = std::min(ink.Top, y);
            ink.Bottom = std::max(ink.Bottom, y);
            ++ink.Count;
        }
    }
    return ink;
}

class RotatedLabelTest : public PaintingTest {
protected:
    TRotate3DLabel* Label(vcl::TForm* host, int angle)
    {
        auto* label = new TRotate3DLabel(host);
        label->SetParent(host);
        label->SetBounds(0, 0, host->Width(), host->Height());
        label->SetAlignment(vcl::taCenter);
        label->SetCaption("Setup");
        label->Font()->SetSize(20);
        label->Font()->SetColor(vcl::clBlack);
        label->LabelStyle()->SetAStyle3D(A3dNormal);
        label->LabelStyle()->SetAngle(angle);
        return label;
    }
};

TEST_F(RotatedLabelTest, ACentredCaptionSitsInTheMiddleAtAnyAngle)
{
    vcl::TForm* host = Host(200, 200);
    TRotate3DLabel* label = Label(host, 0);
    TPicturePixels flat = FormPicture(*host);
    const uint32_t face = flat.At(0, 0);
    const TInk ink = InkOf(flat, face, true);
    ASSERT_GT(ink.Count, 20);
    // The text cell starts at (cx - W/2, cy - H/2); the glyphs lie inside it, about the centre.
    const vcl::TPoint origin = label->TextOrigin();
    vcl::TCanvas measure;
    measure.SetFont(label->Font());
    const int w = measure.TextWidth("Setup"), h = measure.TextHeight("Setup");
    EXPECT_EQ(origin.X, 100 - w / 2);
    EXPECT_EQ(origin.Y, 100 - h / 2);
    EXPECT_GE(ink.Left, origin.X);
    EXPECT_LT(ink.Right, origin.X + w);
    EXPECT_GE(ink.Top, origin.Y);
    EXPECT_LT(ink.Bottom, origin.Y + h);
    EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 100, 4);
    EXPECT_GT(ink.Right - ink.Left, ink.Bottom - ink.Top);

    // At 90 degrees the caption reads upward, still about the centre: taller than wide.
    label->LabelStyle()->SetAngle(90);
    TPicturePixels upright = FormPicture(*host);
    const TInk turned = InkOf(upright, face, true);
    EXPECT_EQ(label->TextOrigin().X, 100 - h / 2);
    EXPECT_EQ(label->TextOrigin().Y, 100 + w / 2);
    EXPECT_GT(turned.Bottom - turned.Top, turned.Right - turned.Left);
    EXPECT_NEAR((turned.Top + turned.Bottom) / 2.0, 100, 4);
    EXPECT_NEAR((turned.Left + turned.Right) / 2.0, 100, 4);
}

TEST_F(RotatedLabelTest, RaisedShadedAndOpaqueLabels)
{
    vcl::TForm* host = Host(200, 80);
    TRotate3DLabel* label = Label(host, 0);
    TPicturePixels normal = FormPicture(*host);
    const uint32_t face = normal.At(0, 0);
    const TInk plain = InkOf(normal, face, true);
    ASSERT_GT(plain.Count, 0);

    // The highlight sits one pixel up and left of the text, the shade one down and right.
    label->LabelStyle()->SetAStyle3D(A3dRaised);
    TPicturePixels raised = FormPicture(*host);
    const TInk lifted = InkOf(raised, face, true);
    EXPECT_EQ(lifted.Left, plain.Left - 1);
    EXPECT_EQ(lifted.Top, plain.Top - 1);
    EXPECT_EQ(lifted.Right, plain.Right + 1);
    EXPECT_EQ(lifted.Bottom, plain.Bottom + 1);
    EXPECT_GT(InkOf(raised, 0xFFFFFF).Count, 0);
    EXPECT_GT(InkOf(raised, 0x808080).Count, 0);

    // Recessed: the other way round.
    label->LabelStyle()->SetAStyle3D(A3dResit);
    const TInk sunk = InkOf(FormPicture(*host), face, true);
    EXPECT_EQ(sunk.Left, plain.Left - 1);
    EXPECT_EQ(sunk.Bottom, plain.Bottom + 1);

    // Shadowed: only the shadow, 5 to the right and 5 up.
    label->LabelStyle()->SetAStyle3D(A3dShadowed);
    TPicturePixels shadowed = FormPicture(*host);
    const TInk cast = InkOf(shadowed, face, true);
    EXPECT_EQ(InkOf(shadowed, 0xFFFFFF).Count, 0);
    EXPECT_EQ(cast.Left, plain.Left);
    EXPECT_EQ(cast.Right, plain.Right + 5);
    EXPECT_EQ(cast.Top, plain.Top - 5);
    EXPECT_EQ(cast.Bottom, plain.Bottom);

    // An opaque label fills a box around its caption and never draws an effect.
    label->LabelStyle()->SetAStyle3D(A3dRaised);
    label->SetColor(vcl::clLime);
    label->SetMyTransparent(false);
    TPicturePixels opaque = FormPicture(*host);
    EXPECT_EQ(label->LabelStyle()->AStyle3D(), A3dNormal);
    EXPECT_EQ(InkOf(opaque, 0xFFFFFF).Count, 0);
    EXPECT_EQ(InkOf(opaque, 0x808080).Count, 0);
    const TInk box = InkOf(opaque, 0x00FF00);
    vcl::TCanvas measure;
    measure.SetFont(label->Font());
    const int w = measure.TextWidth("Setup") + 10, h = measure.TextHeight("Setup") + 7;
    EXPECT_NEAR(box.Left, 100 - w / 2, 1);
    EXPECT_NEAR(box.Right, 100 + w / 2, 1);
    EXPECT_NEAR(box.Top, 40 - h / 2, 1);
    EXPECT_EQ(opaque.At(0, 0), raised.At(0, 0));  // outside the box the form shows
}

TEST_F(RotatedLabelTest, TheStyleGuardsItsValues)
{
    TLabelStyle style;
    int changes = 0;
    style.OnChange = [&](rtl::TObject*) { ++changes; };
    style.SetAngle(360);
    EXPECT_EQ(style.Angle(), 0);
    style.SetAngle(359);
    EXPECT_EQ(style.Angle(), 359);
    style.SetAngle(-1);
    EXPECT_EQ(style.Angle(), 0);
    EXPECT_EQ(changes, 2);

    style.SetAShadeLeftTop(vcl::clYellow);
    style.SetAShadeLTSet(true);  // raised, a saved colour other than white: notified
    EXPECT_EQ(style.AShadeLeftTop(), 0xFFFFFF);
    EXPECT_EQ(changes, 4);
    style.SetAShadeLeftTop(vcl::clRed);  // held at white
    EXPECT_EQ(style.AShadeLeftTop(), 0xFFFFFF);
    EXPECT_EQ(changes, 4);
    style.SetAShadeLTSet(false);  // back to the saved colour, silently
    EXPECT_EQ(style.AShadeLeftTop(), vcl::clYellow);
    EXPECT_EQ(changes, 4);

    style.SetAHShadeOffSet(8);  // only the shadowed style cares
    EXPECT_EQ(changes, 4);
    style.SetAStyle3D(A3dShadowed);
    style.SetAVShadeOffSet(3);
    EXPECT_EQ(changes, 6);

    vcl::TForm* host = Host(50, 50);
    auto* a = new TRotate3DLabel(host);
    a->SetMainTag(-1);
    auto* b = new TRotate3DLabel(host);
    b->SetCaption("Copy");
    b->SetLabelStyle(&style);
    a->Assign(b);
    EXPECT_EQ(a->Caption(), "Copy");
    EXPECT_EQ(a->LabelStyle()->AStyle3D(), A3dShadowed);
    EXPECT_EQ(a->LabelStyle()->AHShadeOffSet(), 8);
    EXPECT_EQ(MainRotate3DLabel(), a);
    EXPECT_EQ(MainBackdrop(), nullptr);  // the two marks are separate
}

}  // namespace
