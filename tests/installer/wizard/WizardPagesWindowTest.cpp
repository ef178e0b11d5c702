// The pages as real windows on the (offscreen) display, with their modal loops running: a timer inside
// the loop finds the shown page and presses its Qt buttons and types into its Qt edits as a person would.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/wizard/WizardPagesSupport.h"
#include "tests/platform/vcl/RealWidgetPress.h"

namespace vt = vcl::test;

namespace {

class WizardPagesWindowTest : public PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        vt::End();
        vt::SetPersonAtScreen(true);
    }
    void TearDown() override
    {
        vt::SetPersonAtScreen(false);
        vt::Begin();
        PagesTest::TearDown();
    }

    // Runs `act` on each tick while a window of class T is open; gives up (and fails) after 200 ticks.
    template <class T>
    void WhileOpen(vcl::TTimer& timer, std::function<void(T&)> act)
    {
        timer.SetInterval(20);
        timer.OnTimer = [this, act](vcl::TObject*) {
            T* open = OpenForm<T>();
            if (!open || !open->Visible())
                return;
            if (++ticks_ > 200) {
                ADD_FAILURE() << "the window did not close";
                open->SetModalResult(vcl::mrAbort);
                return;
            }
            act(*open);
        };
    }

    template <class T>
    static T* OpenForm()
    {
        for (int i = 0; i < vcl::Screen->FormCount(); ++i) {
            if (auto* form = dynamic_cast<T*>(vcl::Screen->Forms(i)))
                return form;
        }
        return nullptr;
    }

    int ticks_ = 0;
};

TEST_F(WizardPagesWindowTest, APersonGoesThroughTheWizardWithItsRealButtons)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    std::vector<int> shown;
    bool typed = false;
    vcl::TTimer timer(nullptr);
    WhileOpen<TBaseFormContainer>(timer, [&](TBaseFormContainer& frame) {
        TWizardPageForm& page = ShownWizardPage(frame);
        if (!vt::RealWidgetShowing(*page.ProceedBtn))
            return;
        if (shown.empty() || shown.back() != page.Order())
            shown.push_back(page.Order());
        EXPECT_EQ(vt::RealWidgetShowing(*page.BackBtn), page.Order() != 10);
        if (auto* destination = dynamic_cast<TSelectDestinationForm*>(&page); destination && !typed) {
            typed = true;
            destination->edDestDir->SetText("");
            EXPECT_TRUE(vt::TypeIntoRealEdit(*destination->edDestDir, "D:\\Typed"));
        }
        EXPECT_TRUE(vt::PressRealButton(*page.ProceedBtn));
    });
    setup->RunBeforeInstall();
    timer.SetEnabled(false);
    EXPECT_EQ(shown, (std::vector<int>{10, 20, 30, 45, 60}));
    EXPECT_EQ(setup->Install().GetDestPath(), "D:\\Typed");
    EXPECT_EQ(setup->Install().DestDirType(), nullptr);
}

TEST_F(WizardPagesWindowTest, AFinishPageAloneEndsOnItsRealFinishButton)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    auto& dialog = setup->Item<TGoodInstallationDlg>("GoodInstallationDlg");
    dialog.SetDialogManager(nullptr);
    bool pressed = false;
    vcl::TTimer timer(nullptr);
    WhileOpen<TGoodInstallForm>(timer, [&](TGoodInstallForm& page) {
        if (!vt::RealWidgetShowing(*page.FinishBtn))
            return;
        EXPECT_FALSE(vt::RealWidgetShowing(*page.BackBtn));
        pressed = vt::PressRealButton(*page.FinishBtn);
    });
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::GoodEnding, nullptr);
    timer.SetEnabled(false);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(dialog.Form(), nullptr);
}

}  // namespace
