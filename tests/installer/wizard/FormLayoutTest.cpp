// Every window of the setup as a person reads it: no caption, label, button or check box text cut short
// by its control (two-line labels keep their descenders), measured with the fonts the windows draw with.
#include <gtest/gtest.h>

#include <memory>

#include "installer/support/OpenFolderDialog.h"
#include "installer/wizard/CopyFileUnit.h"
#include "installer/wizard/FolderPages.h"
#include "installer/wizard/InstallStatusUnit.h"
#include "installer/wizard/SetupMain.h"
#include "platform/vcl/FolderBrowser.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/wizard/WizardPagesSupport.h"

namespace vt = vcl::test;

namespace {

class FormLayoutTest : public PagesTest {};

void ExpectTextsWhole(vcl::TCustomForm& form)
{
    for (const rtl::AnsiString& cut : vt::CutTexts(form))
        ADD_FAILURE() << form.ClassName() << " '" << form.Caption() << "': " << cut;
}

}  // namespace

TEST_F(FormLayoutTest, NoWindowOfTheSetupCutsItsTexts)
{
    // The setup's own wizard, with its own licence and readme, page by page in its frame.
    std::unique_ptr<TForm1> setup(new TForm1(nullptr));
    int pages = 0;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        ExpectTextsWhole(frame);
        for (; pages < 5 && !frame.Finished(); ++pages) {
            TWizardPageForm& page = ShownWizardPage(frame);
            ExpectTextsWhole(page);
            // The licence and the readme read in the page's own font.
            for (const char* name : {"Agreement", "Information"}) {
                if (auto* box = dynamic_cast<vcl::TControl*>(page.FindComponent(name))) {
                    EXPECT_EQ(box->Font()->Name(), page.Font()->Name()) << name;
                    EXPECT_EQ(box->Font()->Height(), page.Font()->Height()) << name;
                }
            }
            vt::Click(*page.ProceedBtn);
        }
    });
    auto& install = *dynamic_cast<TInstall*>(setup->FindComponent("Install1"));
    install.BroadcastMessage(&install, InstallMessage::BeforeInstall, nullptr);
    EXPECT_EQ(pages, 5);

    for (int code : {InstallMessage::AfterGoodInstall, InstallMessage::AfterBadInstall}) {
        vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
            TWizardPageForm& page = ShownWizardPage(frame);
            ExpectTextsWhole(page);
            vt::Click(*page.FinishBtn);
        });
        install.BroadcastMessage(&install, code, nullptr);
    }

    std::unique_ptr<TCopyFileForm> copy(new TCopyFileForm(vcl::Application));
    ExpectTextsWhole(*copy);
    std::unique_ptr<TInstallStatusForm> status(new TInstallStatusForm(vcl::Application));
    ExpectTextsWhole(*status);
    vcl::TBrowseInfo browse;
    browse.Title = TOFDResourceStrings::Title();
    std::unique_ptr<vcl::TFolderBrowser> browser(new vcl::TFolderBrowser(vcl::Application, browse));
    ExpectTextsWhole(*browser);
}
