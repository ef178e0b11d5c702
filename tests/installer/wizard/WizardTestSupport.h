#pragma once
// A test setup with wizard pages of its own: a minimal page form (Back, Next, Cancel) and its dialog, which
// a test can tell to skip its page or to stay out of the wizard, and the setup form holding the driver,
// two dialog managers and five page dialogs registered with the Orders 20, 30, 10, 60, 45.

#include <string>
#include <vector>

#include "installer/engine/Install.h"
#include "installer/wizard/BaseFormContainer.h"
#include "installer/wizard/BaseForms.h"
#include "installer/wizard/DialogManager.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/platform/win/WinTestFixture.h"

// What the test pages did, in order: "show 20", "leave 30".
std::vector<std::string>& PageLog();

class TTestPageForm : public TBaseInstallForm {
    VCL_CLASS(TTestPageForm, TBaseInstallForm)
public:
    explicit TTestPageForm(vcl::TComponent* owner);

    vcl::TButton* BackBtn = nullptr;
    vcl::TButton* ProceedBtn = nullptr;
    vcl::TButton* CancelBtn = nullptr;

    void RefreshPage() override;
    bool SkipPage() override;
    void PageLeaving() override;
    void BackBtnClick(vcl::TObject* Sender);
    void ProceedBtnClick(vcl::TObject* Sender);
    void CancelBtnClick(vcl::TObject* Sender);
};

// A page dialog without a manager shows its page alone on this message.
inline constexpr int TestPageStandAloneCode = InstallMessage::ShowWelcome;

class TTestPageDlg : public TBaseInstallDlg {
    VCL_CLASS(TTestPageDlg, TBaseInstallDlg)
public:
    explicit TTestPageDlg(vcl::TComponent* owner);
    ~TTestPageDlg() override;

    bool Skip = false;
    bool Shows = true;

    const vcl::TClassMeta& DialogClass() const override { return TTestPageForm::StaticClass(); }
    bool CanShow() override { return Shows; }
    void AssignDialogProperties() override;
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;

private:
    TBIFEntry* entry_ = nullptr;
};

class TfrmWizardSetup : public vcl::TForm {
    VCL_CLASS(TfrmWizardSetup, vcl::TForm)
public:
    explicit TfrmWizardSetup(vcl::TComponent* owner);
    template <class T = TTestPageDlg>
    T& Item(const char* name) const
    {
        return *FindChild<T>(name);
    }
    TInstall& Install() const { return Item<TInstall>("Install1"); }
    // The driver's message that starts the wizard.
    void RunBeforeInstall() { Install().BroadcastMessage(&Install(), InstallMessage::BeforeInstall, nullptr); }
};

// A prefix of its own, the test driver running, a 1024 x 768 screen, the classes registered.
class WizardTest : public WinPrefixTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The Orders of the frame's pages in list order.
std::vector<int> PageOrders(const TBaseFormContainer& frame);
// The Order of the page the frame shows.
int ShownOrder(const TBaseFormContainer& frame);
TTestPageForm& ShownPage(const TBaseFormContainer& frame);
