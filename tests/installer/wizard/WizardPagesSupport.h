#pragma once
// A setup form with the seven wizard pages' dialogs beside the installation, its main link group and its
// three dialog managers, as a real setup places them, and what the page tests share.

#include <string>
#include <vector>

#include "installer/engine/ShellLinks.h"
#include "installer/wizard/FolderPages.h"
#include "installer/wizard/WizardPages.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/wizard/WizardTestSupport.h"

class TfrmPagesSetup : public vcl::TForm {
    VCL_CLASS(TfrmPagesSetup, vcl::TForm)
public:
    explicit TfrmPagesSetup(vcl::TComponent* owner);
    template <class T>
    T& Item(const char* name) const
    {
        return *FindChild<T>(name);
    }
    TInstall& Install() const { return Item<TInstall>("Install1"); }
    void RunBeforeInstall() { Install().BroadcastMessage(&Install(), InstallMessage::BeforeInstall, nullptr); }
};

class PagesTest : public WizardTest {
protected:
    void SetUp() override;
    // Makes the folder (Windows path) with its parents.
    static void MakeFolder(const rtl::AnsiString& path);
    // The host path of a Windows path.
    static std::string HostPath(const rtl::AnsiString& path);
};

TWizardPageForm& ShownWizardPage(const TBaseFormContainer& frame);
// Presses Next until the frame shows a page of class T.
template <class T>
T& GoToPage(TBaseFormContainer& frame)
{
    for (int step = 0; step < frame.PageCount(); ++step) {
        if (auto* page = dynamic_cast<T*>(&ShownWizardPage(frame)))
            return *page;
        vcl::test::Click(*ShownWizardPage(frame).ProceedBtn);
    }
    throw rtl::Exception("the wizard has no such page");
}
std::vector<rtl::AnsiString> ItemsOf(const vcl::TListBox& list);
// The message ShowDialog raises, or "" when it shows.
std::string ShowDialogError(TCustomBaseInstallDlg& dialog);
