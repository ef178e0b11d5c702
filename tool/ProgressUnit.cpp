#include "tool/ProgressUnit.h"

#include "FormResources_tool.h"

VCL_IMPLEMENT_CLASS(TfrmProgress)

void TfrmProgress::RegisterProperties(vcl::TClassDef<TfrmProgress>& def)
{
    def.Handler("FormClose", &TfrmProgress::FormClose);
}

TfrmProgress::TfrmProgress(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterClass<TfrmProgress>();
    LoadForm("ProgressUnit.frm");
    barProgress = FindChild<vcl::TProgressBar>("barProgress");
}

TfrmProgress::~TfrmProgress()
{
    UnblockInput();
}

void TfrmProgress::FormClose(vcl::TObject*, vcl::TCloseAction& Action)
{
    Action = vcl::caFree;
    UnblockInput();
}

void TfrmProgress::BlockInput(vcl::TCustomForm* form)
{
    UnblockInput();
    if (form == nullptr || !form->Enabled())
        return;
    form->SetEnabled(false);
    blocked_ = form;
}

void TfrmProgress::UnblockInput()
{
    if (vcl::TCustomForm* form = blocked_.get(); form != nullptr && !form->IsDestroying())
        form->SetEnabled(true);
    blocked_.reset();
}

TProgressWindow::TProgressWindow(vcl::TCustomForm* blockedForm, int min, int max)
{
    auto* window = new TfrmProgress(vcl::Application);
    window_ = window;
    SetRange(min, max);
    window->BlockInput(blockedForm);
    window->Show();
}

TProgressWindow::~TProgressWindow()
{
    // A destructor must not throw; a failing close leaves the window to its owner, the application.
    try {
        Close();
    } catch (...) {
        window_.reset();
    }
}

void TProgressWindow::SetRange(int min, int max)
{
    if (TfrmProgress* window = window_.get()) {
        window->barProgress->SetMin(min);
        window->barProgress->SetMax(max);
    }
}

void TProgressWindow::SetPosition(int position)
{
    if (TfrmProgress* window = window_.get())
        window->barProgress->SetPosition(position);
}

void TProgressWindow::Close()
{
    TfrmProgress* window = window_.get();
    window_.reset();
    if (window != nullptr)
        window->Close();
}
