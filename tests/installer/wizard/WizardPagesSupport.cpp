#include "tests/installer/wizard/WizardPagesSupport.h"

#include "installer/support/TrwkArchive.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"

void RegisterFormResources_tests_installer_wizard();

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmPagesSetup)

TfrmPagesSetup::TfrmPagesSetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_wizard();
    LoadForm("PagesSetup.frm");
}

void PagesTest::SetUp()
{
    WizardTest::SetUp();
    RegisterWizardPageClasses();
    vcl::RegisterClass<TfrmPagesSetup>();
}

void PagesTest::MakeFolder(const rtl::AnsiString& path)
{
    CreateFolderAndParents(path);
    ASSERT_TRUE(rtl::DirectoryExists(path)) << path;
}

std::string PagesTest::HostPath(const rtl::AnsiString& path)
{
    return win::HostPathFromWindows(path).value_or(std::string());
}

TWizardPageForm& ShownWizardPage(const TBaseFormContainer& frame)
{
    return dynamic_cast<TWizardPageForm&>(*frame.Pages(frame.Tabs->TabIndex()));
}

std::vector<rtl::AnsiString> ItemsOf(const vcl::TListBox& list)
{
    std::vector<rtl::AnsiString> items;
    for (int i = 0; i < list.Items()->Count(); ++i)
        items.push_back(list.Items()->Strings(i));
    return items;
}

std::string ShowDialogError(TCustomBaseInstallDlg& dialog)
{
    try {
        dialog.ShowDialog();
    } catch (const IException& e) {
        return e.Message();
    }
    return "";
}
