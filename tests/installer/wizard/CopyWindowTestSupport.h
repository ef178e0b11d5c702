#pragma once
// A test setup with the windows of a copy pass: the driver, a during-copy manager, the copy window's
// dialog and the status popup's dialog, all from a form resource.

#include <memory>

#include "installer/engine/Install.h"
#include "installer/wizard/CopyFileUnit.h"
#include "installer/wizard/InstallStatusUnit.h"
#include "tests/installer/wizard/WizardTestSupport.h"

class TfrmCopySetup : public vcl::TForm {
    VCL_CLASS(TfrmCopySetup, vcl::TForm)
public:
    explicit TfrmCopySetup(vcl::TComponent* owner);
    TInstall& Install() const { return *FindChild<TInstall>("Install1"); }
    TDialogManager& Manager() const { return *FindChild<TDialogManager>("CopyManager"); }
    TCopyFileDlg& CopyDialog() const { return *FindChild<TCopyFileDlg>("CopyFileDlg1"); }
    TInstallStatusDlg& StatusDialog() const { return *FindChild<TInstallStatusDlg>("InstallStatusDlg1"); }
    // The copy window the manager holds now, or null.
    TCopyFileForm* CopyWindow() const;

    // The driver's messages, as a copy pass and the stages send them.
    void Send(int code, rtl::TObject* parameter) { Install().BroadcastMessage(&Install(), code, parameter); }
    void Push(const rtl::AnsiString& text);
    void Pop() { Send(InstallMessage::ClearStatus, nullptr); }
};

class CopyWindowTest : public WizardTest {
protected:
    void SetUp() override;
    // A setup installing a directory of two files (300000 and 100000 bytes) inside a group from the
    // archive, made anew after the archive was built, as on the user's machine where only the archive is.
    std::unique_ptr<TfrmCopySetup> ArchivedSetup();
};
