// The copy window and the status popup as real windows on the display, with the driver off: what they
// show, and the copy window's Cancel pressed through its widget.
#include <gtest/gtest.h>

#include <memory>

#include "installer/support/NetInstallLocation.h"
#include "installer/support/TrwkCompress.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/wizard/CopyWindowTestSupport.h"
#include "tests/platform/vcl/ControlTestSupport.h"

namespace vt = vcl::test;
using ctltest::FormPicture;
using ctltest::TPicturePixels;

namespace {

class CopyWindowScreenTest : public CopyWindowTest {
protected:
    void SetUp() override
    {
        CopyWindowTest::SetUp();
        vt::End();
        vt::SetPersonAtScreen(true);
    }
    void TearDown() override
    {
        vt::SetPersonAtScreen(false);
        vt::Begin();
        CopyWindowTest::TearDown();
    }
};

// A pixel of the form's client area in its picture (which has the frame and caption too).
uint32_t ClientPixel(const TPicturePixels& picture, const vcl::TCustomForm& form, int x, int y)
{
    return picture.At(x + form.FrameWidth(), y + form.FrameWidth() + form.CaptionHeight());
}

constexpr uint32_t Black = 0x000000;
constexpr uint32_t Navy = 0x000080;

TEST_F(CopyWindowScreenTest, TheCopyWindowShowsItsPicturesAndItsCancelStopsTheCopy)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    bool answer = true;
    int asked = 0;
    setup->Install().OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
        ++asked;
        quitOut = answer;
    };
    SharedCompressor().SetAbort(false);
    SetNetDownloadAbort(false);
    TFileStatusParameter status;
    status.FileName = "Scrivane.exe";
    status.FilePercent = 30;
    status.TotalPercent = 12;
    setup->Send(InstallMessage::FileStatus, &status);
    TCopyFileForm* window = setup->CopyWindow();
    ASSERT_NE(window, nullptr);
    vt::ProcessMessages();
    EXPECT_TRUE(window->Showing());
    EXPECT_TRUE(window->CancelBtn->Showing());
    EXPECT_TRUE(window->ProgressBar1->Showing());

    // The pictures sit at 10, 10 of the window; the point 18, 21 of the unpacking picture is the top
    // edge of its sheet (black), the same point of the transfer picture the middle of its globe (navy).
    TPicturePixels unpacking = FormPicture(*window);
    EXPECT_EQ(unpacking.Width, 474);
    EXPECT_EQ(ClientPixel(unpacking, *window, 10 + 18, 10 + 21), Black);
    TDownloadStatusParameter download;
    download.FileName = "setup.2";
    download.Percent = 50;
    setup->Send(InstallMessage::DownloadStatus, &download);
    vt::ProcessMessages();
    EXPECT_EQ(ClientPixel(FormPicture(*window), *window, 10 + 18, 10 + 21), Navy);
    setup->Send(InstallMessage::FileStatus, &status);
    vt::ProcessMessages();
    EXPECT_EQ(ClientPixel(FormPicture(*window), *window, 10 + 18, 10 + 21), Black);

    vt::Click(*window->CancelBtn);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(SharedCompressor().Abort());
    EXPECT_TRUE(NetDownloadAbort());
    EXPECT_TRUE(window->Showing());

    setup->Send(InstallMessage::PassDone, nullptr);
    vt::ProcessMessages();
    EXPECT_FALSE(window->Showing());
    SharedCompressor().SetAbort(false);
    SetNetDownloadAbort(false);
}

TEST_F(CopyWindowScreenTest, ThePopupShowsItsTextOnTheDisplayAndGoesWhenTheStackEmpties)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    setup->Push("Installing the program files");
    TInstallStatusForm* popup = setup->StatusDialog().StatusForm();
    ASSERT_NE(popup, nullptr);
    vt::ProcessMessages();
    EXPECT_TRUE(popup->Showing());
    EXPECT_TRUE(popup->lblMessage->Showing());
    TPicturePixels picture = FormPicture(*popup);
    EXPECT_EQ(picture.Width, popup->Canvas()->TextWidth("Installing the program files") + 80);
    EXPECT_EQ(picture.Height, 58);
    // The label's text is drawn: some dark pixels in its rectangle.
    const vcl::TControl& label = *popup->lblMessage;
    const int left = popup->pnlMessage->Left() + label.Left();
    const int top = label.Top();
    int dark = 0;
    for (int y = top; y < top + label.Height(); ++y) {
        for (int x = left; x < left + label.Width(); ++x) {
            if ((ClientPixel(picture, *popup, x, y) & 0xFF) < 0x40)
                ++dark;
        }
    }
    EXPECT_GT(dark, 20);

    setup->Push("Done");
    vt::ProcessMessages();
    EXPECT_EQ(FormPicture(*popup).Width, popup->Canvas()->TextWidth("Done") + 80);
    setup->Pop();
    setup->Pop();
    vt::ProcessMessages();
    EXPECT_FALSE(popup->Showing());
}

}  // namespace
