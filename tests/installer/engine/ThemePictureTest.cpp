// The installation's side picture for the wizard pages: ours from the start, replaced by a stored one.

#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/Install.h"
#include "tests/installer/engine/EngineTestSupport.h"

namespace {

class ThemePictureTest : public EngineTest {};

}  // namespace

TEST_F(ThemePictureTest, TheDriverStartsWithASidePictureOfItsOwnThatAStoredOneReplaces)
{
    std::unique_ptr<vcl::TForm> form(new vcl::TForm(nullptr));
    auto* install = new TInstall(form.get());
    vcl::TPicture* picture = install->DialogThemeBitmap();
    ASSERT_FALSE(picture->Empty());
    ASSERT_NE(dynamic_cast<vcl::TBitmap*>(picture->Graphic()), nullptr);
    // It fits the pages' side panel (136 wide above a 52-high button bar on a 368-high page).
    EXPECT_EQ(picture->Width(), 120);
    EXPECT_EQ(picture->Height(), 300);
    // Dark blue at the top, lighter below: the picture's pixels, not a blank.
    vcl::TCanvas* canvas = picture->Bitmap()->Canvas();
    EXPECT_EQ(canvas->Pixels(0, 0), vcl::RGBColor(0x10, 0x2a, 0x6e));
    EXPECT_NE(canvas->Pixels(0, 0), canvas->Pixels(0, 299));

    vcl::TPicture stored;
    vcl::TBitmap* bitmap = stored.Bitmap();
    bitmap->SetSize(4, 3);
    bitmap->Canvas()->Brush()->SetColor(vcl::clMaroon);
    bitmap->Canvas()->FillRect(vcl::Rect(0, 0, 4, 3));
    install->SetDialogThemeBitmap(&stored);
    EXPECT_EQ(picture->Width(), 4);
    EXPECT_EQ(picture->Bitmap()->Canvas()->Pixels(1, 1), vcl::clMaroon);
    install->SetDialogThemeBitmap(nullptr);
    EXPECT_TRUE(install->DialogThemeBitmap()->Empty());

    // The next driver starts with ours again.
    form.reset();
    form.reset(new vcl::TForm(nullptr));
    EXPECT_EQ((new TInstall(form.get()))->DialogThemeBitmap()->Width(), 120);
}
