#pragma once
// The copy-progress window: a modeless window with the file being processed, a file and a total progress
// bar and Cancel. Its dialog (TCopyFileDlg) registers the form for the during-copy manager, which makes the
// window on the first status message of a copy pass, feeds it on each and hides it when the pass ends.
//
//   object CopyFileDlg1: TCopyFileDlg          // on the setup's form, beside a manager of dmDuringCopyFiles
//     Container = Install1
//   end
//
// The window sits at the bottom centre of the screen, 30 above the bottom edge, at the dialog's size.

#include "installer/support/TrwkTranslator.h"
#include "installer/wizard/BaseForms.h"
#include "installer/wizard/DialogManager.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"

class TCopyFileForm : public TBaseDuringCopyForm {
    VCL_CLASS(TCopyFileForm, TBaseDuringCopyForm)
public:
    explicit TCopyFileForm(vcl::TComponent* owner);

    vcl::TImage* UnZipImage = nullptr;
    vcl::TImage* TransferBitmap = nullptr;
    TTranslateBitBtn* CancelBtn = nullptr;
    TTranslateLabel* lblCopyFileHeader = nullptr;
    TTranslateLabel* lblCopyingFile = nullptr;
    TTranslateLabel* Label1 = nullptr;
    TTranslateLabel* Label2 = nullptr;
    vcl::TProgressBar* ProgressBar1 = nullptr;
    vcl::TProgressBar* ProgressBar2 = nullptr;

    // A file status shows the unpacking picture and both bars; a download status shows the transfer
    // picture and the file bar, leaving the total bar where it was.
    void UpdateProgress(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) override;
    void CancelBtnClick(vcl::TObject* Sender);
};

class TCopyFileDlg : public TCustomBaseInstallDlg {
    VCL_CLASS(TCopyFileDlg, TCustomBaseInstallDlg)
public:
    explicit TCopyFileDlg(vcl::TComponent* owner);
    ~TCopyFileDlg() override;

    const vcl::TClassMeta& DialogClass() const override { return TCopyFileForm::StaticClass(); }

private:
    TDCFEntry* entry_ = nullptr;
};
