// The wizard opened for real: its window shown on the offscreen display, its modal loop running, and the
// pages' buttons pressed from a timer inside that loop as a person would press them one after another.
#include <gtest/gtest.h>

#include <memory>

#include "platform/vcl/Messages.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/wizard/WizardTestSupport.h"

namespace {

class WizardWindowTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        vcl::test::End();
        vcl::test::SetPersonAtScreen(true);
    }
    void TearDown() override
    {
        vcl::test::SetPersonAtScreen(false);
        vcl::test::Begin();
        WizardTest::TearDown();
    }
};

TBaseFormContainer* OpenFrame()
{
    for (int i = 0; i < vcl::Screen->FormCount(); ++i) {
        if (auto* frame = dynamic_cast<TBaseFormContainer*>(vcl::Screen->Forms(i)))
            return frame;
    }
    return nullptr;
}

TEST_F(WizardWindowTest, TheRealWindowGoesThroughItsPagesToTheEnd)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    setup->Item("Page30").Skip = true;
    std::vector<int> shown;
    bool showing = false;
    int ticks = 0;
    vcl::TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](vcl::TObject*) {
        TBaseFormContainer* frame = OpenFrame();
        if (!frame || !frame->Visible())
            return;
        if (++ticks > 200) {
            ADD_FAILURE() << "the wizard did not end";
            frame->SetModalResult(vcl::mrAbort);
            return;
        }
        showing = showing || frame->Showing();
        TTestPageForm& page = ShownPage(*frame);
        shown.push_back(page.Order());
        // Alt+F4 first: refused; then Next.
        frame->CloseRequestedByUser();
        page.ProceedBtn->Click();
    };
    setup->RunBeforeInstall();
    timer.SetEnabled(false);
    EXPECT_TRUE(showing);
    EXPECT_EQ(shown, (std::vector<int>{10, 20, 45, 60}));
    EXPECT_EQ(OpenFrame(), nullptr);
}

}  // namespace
