#pragma once
// The wizard frame: the one modal window of a wizard. A dialog manager makes it for one occasion, it builds
// its pages from the registered page forms, sorts them by Order and shows one at a time on its display
// panel, passing over the pages that ask to be skipped. It ends with OK after the last page (Finished) or
// with Abort on a confirmed Cancel; every other close request is refused.
//
//   std::unique_ptr<TBaseFormContainer> frame(new TBaseFormContainer(vcl::Application));
//   frame->SetDialogPosition(tdpCenter, 0, 0);
//   if (frame->BuildPages() > 0 && frame->ShowModal() == vcl::mrAbort) throw EAIUserAbort();

#include <memory>
#include <vector>

#include "installer/wizard/BaseForms.h"
#include "installer/wizard/DialogManager.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"

class TBaseFormContainer : public vcl::TForm {
    VCL_CLASS(TBaseFormContainer, vcl::TForm)
public:
    explicit TBaseFormContainer(vcl::TComponent* owner);
    ~TBaseFormContainer() override;

    vcl::TPanel* DisplayPanel = nullptr;
    vcl::TTabControl* Tabs = nullptr;

    // The built pages in Order; the index is the tab index.
    int PageCount() const { return pages_ ? static_cast<int>(pages_->size()) : 0; }
    TBaseInstallForm* Pages(int index) const;
    bool Finished() const { return finished_; }

    virtual void NextPage();
    virtual void PreviousPage();
    // Places the frame by its current size; any position outside the nine leaves it where it is.
    virtual void SetDialogPosition(int position, int dx, int dy);
    // IException "The current dialog manager is not defined" without a current manager.
    int BuildPages();
    enum TDirection { Forward, Backward };
    bool ShowPage(int index, TDirection direction);

    void FormCreate(vcl::TObject* Sender);
    void FormDestroy(vcl::TObject* Sender);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
    void FormResize(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void TabsChange(vcl::TObject* Sender);
    void TabsChanging(vcl::TObject* Sender, bool& AllowChange);

private:
    void SortPages();

    bool sizing_ = false;
    std::unique_ptr<std::vector<vcl::TComponentRef<TBaseInstallForm>>> pages_;
    bool finished_ = false;
};
