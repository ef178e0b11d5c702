#include "tests/installer/wizard/WizardTestSupport.h"

#include "platform/vcl/TestDriver.h"

void RegisterFormResources_tests_installer_wizard();

std::vector<std::string>& PageLog()
{
    static std::vector<std::string> log;
    return log;
}

VCL_IMPLEMENT_CLASS(TTestPageForm)

void TTestPageForm::RegisterProperties(vcl::TClassDef<TTestPageForm>& def)
{
    def.Handler("BackBtnClick", &TTestPageForm::BackBtnClick);
    def.Handler("ProceedBtnClick", &TTestPageForm::ProceedBtnClick);
    def.Handler("CancelBtnClick", &TTestPageForm::CancelBtnClick);
}

TTestPageForm::TTestPageForm(vcl::TComponent* owner) : TBaseInstallForm(owner)
{
    RegisterFormResources_tests_installer_wizard();
    vcl::RegisterClass<TTestPageForm>();
    SetDM(FindDialogManager(dmBeforeInstall));
    SetOrder(5);
    LoadForm("TestPage.frm");
    BackBtn = FindChild<vcl::TButton>("BackBtn");
    ProceedBtn = FindChild<vcl::TButton>("ProceedBtn");
    CancelBtn = FindChild<vcl::TButton>("CancelBtn");
}

void TTestPageForm::RefreshPage()
{
    BackBtn->SetVisible(!IsFirstPage());
    PageLog().push_back("show " + std::to_string(Order()));
}

bool TTestPageForm::SkipPage()
{
    auto* dialog = dynamic_cast<TTestPageDlg*>(DC());
    return dialog && dialog->Skip;
}

void TTestPageForm::PageLeaving()
{
    PageLog().push_back("leave " + std::to_string(Order()));
}

void TTestPageForm::BackBtnClick(vcl::TObject*)
{
    GoBack();
}

void TTestPageForm::ProceedBtnClick(vcl::TObject*)
{
    GoNext();
}

void TTestPageForm::CancelBtnClick(vcl::TObject*)
{
    CancelWizard();
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestPageDlg)

TTestPageDlg::TTestPageDlg(vcl::TComponent* owner) : TBaseInstallDlg(owner)
{
    SetOrder(50);
    entry_ = RegisterPageForm(&TTestPageForm::StaticClass(), this);
    SetDialogManagerDirectly(FindDialogManager(dmBeforeInstall));
}

TTestPageDlg::~TTestPageDlg()
{
    UnregisterPageForm(entry_);
}

void TTestPageDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    auto* page = dynamic_cast<TTestPageForm*>(Form());
    page->BackBtn->SetVisible(false);
    // Alone, Next ends the modal page; inside the frame only the frame's navigation counts.
    page->ProceedBtn->SetModalResult(vcl::mrOk);
}

void TTestPageDlg::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    TBaseInstallDlg::ContainerMessage(sender, code, parameter);
    ExecuteStandAlone(code, TestPageStandAloneCode);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmWizardSetup)

TfrmWizardSetup::TfrmWizardSetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_wizard();
    LoadForm("WizardSetup.frm");
}

void WizardTest::SetUp()
{
    WinPrefixTest::SetUp();
    RegisterInstallObjectClasses();
    RegisterDialogManagerClasses();
    vcl::RegisterClasses({&TTestPageDlg::StaticClass(), &TfrmWizardSetup::StaticClass()});
    ResetInstallEngine();
    InitializeDialogRegistrations();
    PageLog().clear();
    vcl::test::Begin([](const vcl::AnsiString& failure) { ADD_FAILURE() << failure; });
    vcl::Screen->SetSize(1024, 768);
}

void WizardTest::TearDown()
{
    vcl::test::End();
    vcl::Screen->SetSize(0, 0);
    PageLog().clear();
    WinPrefixTest::TearDown();
}

std::vector<int> PageOrders(const TBaseFormContainer& frame)
{
    std::vector<int> orders;
    for (int i = 0; i < frame.PageCount(); ++i)
        orders.push_back(frame.Pages(i)->Order());
    return orders;
}

TTestPageForm& ShownPage(const TBaseFormContainer& frame)
{
    return dynamic_cast<TTestPageForm&>(*frame.Pages(frame.Tabs->TabIndex()));
}

int ShownOrder(const TBaseFormContainer& frame)
{
    return ShownPage(frame).Order();
}
