#pragma once
// The progress window of long operations (loading, saving, the checks before a build, the build, the
// exports): a bar only, modeless, no Cancel and no close box. It frees itself when it is closed, and while
// it is up the window it was shown for takes no input, so nothing changes the project half-way.
//
// Hold it through TProgressWindow, which never touches it once it is gone:
//
//   TProgressWindow progress(this, 0, pageCount);         // shown at once; `this` takes no input now
//   for (int i = 0; i < pageCount; ++i) { progress.SetPosition(i); vcl::Application->ProcessMessages(); }
//   progress.Close();                                     // also when the scope is left, by any way out

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Forms.h"

class TfrmProgress : public vcl::TForm {
    VCL_CLASS(TfrmProgress, vcl::TForm)
public:
    explicit TfrmProgress(vcl::TComponent* owner);
    ~TfrmProgress() override;

    vcl::TProgressBar* barProgress = nullptr;

    // The close action is "free": closing the window destroys it.
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);

    // Keeps `form` from taking input until this window closes or is freed. A form that was disabled
    // already (an outer progress window) is left to whoever disabled it.
    void BlockInput(vcl::TCustomForm* form);

private:
    void UnblockInput();
    vcl::TComponentRef<vcl::TCustomForm> blocked_;
};

// One long operation's hold on its progress window: made and shown by the constructor, closed by Close or
// the destructor, forgotten as soon as it is closed or freed by anyone.
class TProgressWindow {
public:
    // `blockedForm` (may be null) takes no input while the window is up.
    TProgressWindow(vcl::TCustomForm* blockedForm, int min, int max);
    ~TProgressWindow();
    TProgressWindow(const TProgressWindow&) = delete;
    TProgressWindow& operator=(const TProgressWindow&) = delete;

    // Nothing happens once the window is gone.
    void SetRange(int min, int max);
    void SetPosition(int position);
    void Close();
    // The window, or null once it is closed or freed.
    TfrmProgress* Window() const { return window_.get(); }

private:
    vcl::TComponentRef<TfrmProgress> window_;
};
