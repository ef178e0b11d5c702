#pragma once
// Forms, the application object and the screen.
//
// A form class loads its own resource in its constructor, then OnCreate fires:
//
//   class TfrmAbout : public vcl::TForm {
//       VCL_CLASS(TfrmAbout, TForm)
//   public:
//       explicit TfrmAbout(TComponent* owner) : TForm(owner)
//       {
//           RegisterFormResources_tool();   // the target's embedded resources (FormResource.h)
//           LoadForm("About.frm");          // reads it, binds events, fires OnCreate: call it last
//           lblVersion = FindChild<TLabel>("lblVersion");
//       }
//       void FormCreate(TObject* Sender);
//       TLabel* lblVersion = nullptr;
//   };
//   void TfrmAbout::RegisterProperties(TClassDef<TfrmAbout>& def) { def.Handler("FormCreate", &TfrmAbout::FormCreate); }
//
//   std::unique_ptr<TfrmAbout> about(new TfrmAbout(Application));   // or owned by Application alone
//   about->ShowModal();                                              // mrOk, mrCancel, ...
//
// Program bodies:
//
//   win::InitializePlatform();
//   win::SetCommandLine(argc, argv);
//   Application->Initialize();
//   Application->SetTitle("Halvern Scrivane");
//   Application->CreateForm(frmMainMenu);   // the first form created this way is the main form
//   Application->Run();                      // until the main form closes or Terminate
//
// With SCRIVANE_EXIT_AFTER_START=1 in the environment, Run shows the main form, processes the pending
// messages once and returns (a start check for headless runs); modal windows and message boxes then
// close at once with mrCancel. Under the test driver (TestDriver.h) ShowModal runs a script instead of a
// loop. Without either, on the offscreen platform nobody could answer a modal window, so ShowModal and
// message boxes also return mrCancel at once and say so on stderr, unless the environment names an answer
// script (SCRIVANE_ANSWERS, TestDriver.h).

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/vcl/Classes.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/FormResource.h"

namespace vcl {

VCL_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
         poMainFormCenter, poOwnerFormCenter)
VCL_ENUM(TBorderIcon, biSystemMenu, biMinimize, biMaximize, biHelp)
using TBorderIcons = TSet<TBorderIcon>;
VCL_ENUM(TFormStyle, fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)
VCL_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized)

// Message boxes (TApplication::MessageBox): buttons, icons, results.
inline constexpr int MB_OK = 0x0000;
inline constexpr int MB_OKCANCEL = 0x0001;
inline constexpr int MB_ABORTRETRYIGNORE = 0x0002;
inline constexpr int MB_YESNOCANCEL = 0x0003;
inline constexpr int MB_YESNO = 0x0004;
inline constexpr int MB_RETRYCANCEL = 0x0005;
inline constexpr int MB_ICONHAND = 0x0010;
inline constexpr int MB_ICONERROR = 0x0010;
inline constexpr int MB_ICONSTOP = 0x0010;
inline constexpr int MB_ICONQUESTION = 0x0020;
inline constexpr int MB_ICONEXCLAMATION = 0x0030;
inline constexpr int MB_ICONWARNING = 0x0030;
inline constexpr int MB_ICONASTERISK = 0x0040;
inline constexpr int MB_ICONINFORMATION = 0x0040;
inline constexpr int MB_DEFBUTTON1 = 0x0000;
inline constexpr int MB_DEFBUTTON2 = 0x0100;
inline constexpr int MB_DEFBUTTON3 = 0x0200;
inline constexpr int MB_APPLMODAL = 0x0000;
inline constexpr int MB_SYSTEMMODAL = 0x1000;
inline constexpr int MB_TASKMODAL = 0x2000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Help commands (TApplication::HelpCommand).
inline constexpr int HELP_CONTEXT = 0x0001;
inline constexpr int HELP_QUIT = 0x0002;
inline constexpr int HELP_CONTENTS = 0x0003;
inline constexpr int HELP_KEY = 0x0101;
inline constexpr int HELP_FINDER = 0x000B;

// System metrics of the classic desktop the layouts were made on.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CYMENU = 15;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CYSMCAPTION = 51;
// SM_CYCAPTION 18, frames 4, SM_CYMENU 19, the screen as Screen reports it; unknown indexes give 0.
int GetSystemMetrics(int index);

// The icon of a form: the bytes of an icon file, kept as they are (Icon.Data in resources).
class TFormIcon : public TPersistent {
    VCL_CLASS(TFormIcon, TPersistent)
public:
    const TBinaryData& Data() const { return data_; }
    void SetData(const TBinaryData& value) { data_ = value; }
    bool Empty() const { return data_.empty(); }
    void Assign(const TPersistent* source) override;

private:
    TBinaryData data_;
};

// ---------------------------------------------------------------------------------------------------------

class TCustomForm : public TWinControl {
    VCL_CLASS(TCustomForm, TWinControl)
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // Reads the form's embedded resource into it (ReadComponentResource), then fires OnCreate. A form
    // class's constructor calls it as its last step.
    void LoadForm(const AnsiString& resourceName);
    // The owned component of that name and class; EComponentError "Component 'x' of class TY not found
    // in frmMain" otherwise.
    template <class T>
    T* FindChild(std::string_view name) const
    {
        T* found = dynamic_cast<T*>(FindComponent(name));
        if (!found)
            ThrowChildNotFound(name, T::StaticClass().ClassName());
        return found;
    }

    // Outer size (frame and caption included) is Width/Height; the client area is the inside.
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int value) override;
    void SetClientHeight(int value) override;
    TPoint ClientOrigin() const override;
    // The frame the window parameters give: border width on each side, caption and menu bar heights.
    int FrameWidth() const;
    int CaptionHeight() const;
    int MenuHeight() const;

    TPosition Position() const { return position_; }
    void SetPosition(TPosition value) { position_ = value; }
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle value);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons value);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle value);
    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState value);
    TFormIcon* Icon() const { return icon_.get(); }
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool value) { keyPreview_ = value; }
    TWinControl* ActiveControl() const { return activeControl_.get(); }
    void SetActiveControl(TWinControl* value);
    // The control that has the focus within the form (ActiveControl once the form has been active).
    TWinControl* FocusedControl() const { return focusedControl_.get(); }
    // A TMainMenu (Menus.h): the window's menu bar.
    TComponent* Menu() const { return menu_.get(); }
    void SetMenu(TComponent* value);
    // Paint on the form's client area (OnPaint; the canvas is valid while it runs).
    TCanvas* Canvas();  // defined by the canvas file (GraphicsCanvas.cpp)

    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    // Shows the form modally and gives its ModalResult: a nested loop runs until it is set and the close
    // (OnCloseQuery, OnClose) lets it go. EInvalidOperation "Cannot make a visible window modal" when
    // the form is shown already.
    TModalResult ShowModal();
    bool Modal() const { return modal_; }
    // Ends a modal form at once with `result`, without asking OnCloseQuery or OnClose (the test driver's
    // last resort for a window nobody closed).
    void EndModal(TModalResult result);
    // Shows the form modeless and makes it the active form.
    void Show();
    void Hide() { SetVisible(false); }
    // Asks to close: a modal form gets mrCancel (the loop then closes it); otherwise OnCloseQuery and
    // OnClose decide (caHide hides, caFree releases, caMinimize minimises, caNone refuses). Closing the
    // main form ends the application.
    void Close();
    // OnCloseQuery (and the owned forms' queries).
    virtual bool CloseQuery();
    // Frees the form once the current event is over (a posted message). A modal loop that starts after
    // the release (a message box, another modal form) does not free it: it goes once control is back in
    // the loop that was running when Release was called, since code below the new loop may still use it.
    void Release();
    // Whether Release was called: the form is on its way out.
    bool Releasing() const { return released_; }
    // Whether this is the application's active form.
    bool Active() const { return active_; }
    // The control with the focus changes (fires OnExit / OnEnter).
    void SetFocusedControl(TWinControl* control);
    // A control leaves the form: the active and focused control forget it (OnExit only when it is not
    // being destroyed).
    void ControlRemoved(TControl* control);
    // The user (or the close box) asks the window to close: the same path as Close, unless a form gives
    // the request a meaning of its own.
    virtual void CloseRequestedByUser();
    // The window became the active one, or stopped being it (the application's activation model).
    void Activate();
    void Deactivate();
    // Whether the form sits inside another window (a Parent or a child window's parent).
    bool Embedded() const;
    HWND WindowParent() const override;

    void SetVisible(bool value) override;
    void SetBounds(int left, int top, int width, int height) override;
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    void Loaded() override;
    void PaintRequested() override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnPaint;

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);
    virtual void DoDestroy();
    void TextChanged() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TApplication;
    friend class TFormPeer;
    [[noreturn]] void ThrowChildNotFound(std::string_view name, const AnsiString& className) const;
    void CloseModal();
    void PlaceOnShow();
    void RunModalLoop();

    TPosition position_ = poDesigned;
    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_ = {biSystemMenu, biMinimize, biMaximize};
    TFormStyle formStyle_ = fsNormal;
    TWindowState windowState_ = wsNormal;
    std::unique_ptr<TFormIcon> icon_;
    bool keyPreview_ = false;
    TComponentRef<TWinControl> activeControl_;
    TComponentRef<TWinControl> focusedControl_;
    bool defaultPlaced_ = false;
    TComponentRef<TComponent> menu_;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    bool modalDone_ = false;
    bool active_ = false;
    bool released_ = false;
    int releaseLoopDepth_ = 0;  // the modal nesting when Release was called
    bool releaseAfterModal_ = false;
    bool closingModal_ = false;
    bool created_ = false;
    int clientWidthWanted_ = -1, clientHeightWanted_ = -1;
    bool haveWindowStyle_ = false;  // the style the window was made with, once it exists
    uint32_t windowStyle_ = 0;
    uint32_t windowExStyle_ = 0;
    HWND windowParent_ = nullptr;
};

class TForm : public TCustomForm {
    VCL_CLASS(TForm, TCustomForm)
public:
    explicit TForm(TComponent* owner);
};

// ---------------------------------------------------------------------------------------------------------

using TExceptionEvent = std::function<void(TObject* Sender, const rtl::Exception& E)>;

// One request for the program's help (HelpContext, HelpJump, HelpCommand), as the help system would get it.
struct THelpRequest {
    AnsiString HelpFile;
    int Command = 0;
    int Context = 0;
    AnsiString Topic;
};

class TApplication : public TComponent {
    VCL_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Prepares the framework (class registrations); the window system starts on first need.
    void Initialize();
    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& value) { title_ = value; }
    const AnsiString& HelpFile() const { return helpFile_; }
    void SetHelpFile(const AnsiString& value) { helpFile_ = value; }
    // The program's Windows path.
    AnsiString ExeName() const;
    TCustomForm* MainForm() const { return mainForm_.get(); }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }

    // Creates a form owned by the application; the first becomes the main form.
    template <class T>
    void CreateForm(T*& reference)
    {
        reference = nullptr;
        T* form = new T(this);
        reference = form;
        if (!mainForm_)
            mainForm_ = form;
    }

    // Shows the main form and runs the event loop until the main form closes or Terminate.
    void Run();
    // Ends Run when control returns to the loop.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Runs the pending events and posted messages without waiting.
    void ProcessMessages();
    // Waits for the next event and handles it (and whatever else is pending).
    void HandleMessage();

    // Called inside a catch block: OnException when assigned, else ShowException; EAbort is silent.
    void HandleException(TObject* sender);
    void HandleException(TObject* sender, std::exception_ptr error);
    // An error message box with the exception's text (a full stop added), captioned with the title.
    void ShowException(const rtl::Exception& error);

    // A Windows-style message box (MB_ flags) giving IDOK, IDCANCEL, IDYES ...
    int MessageBox(const AnsiString& text, const AnsiString& caption, int flags = MB_OK);

    // Help requests go to HelpFile (and are recorded: HelpRequests()).
    bool HelpContext(int context);
    bool HelpJump(const AnsiString& topic);
    bool HelpCommand(int command, intptr_t data);
    const std::vector<THelpRequest>& HelpRequests() const { return helpRequests_; }
    void ClearHelpRequests() { helpRequests_.clear(); }

    // Whether one of the program's windows is the active one.
    bool Active() const { return active_; }

    TExceptionEvent OnException;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // For the test driver: forget the main form, the title, the help requests, the handlers and the
    // terminated flag.
    void ResetRunState();
    void FormActivated(TCustomForm* form);
    void FormDeactivated(TCustomForm* form);
    int ModalLevel() const { return modalLevel_; }
    // The innermost modal form whose ModalResult was set goes through its close (OnCloseQuery, OnClose)
    // and, when that lets it, ends. The modal loop asks after every message (never a handler's
    // ProcessMessages: a handler runs to its end first); the test driver asks after each action.
    void CheckModal();

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TCustomForm;
    AnsiString title_;
    AnsiString helpFile_;
    TComponentRef<TCustomForm> mainForm_;
    bool showMainForm_ = true;
    bool terminated_ = false;
    bool active_ = false;
    bool handlingException_ = false;
    int modalLevel_ = 0;
    std::vector<TComponentRef<TCustomForm>> modalForms_;  // innermost last
    std::vector<THelpRequest> helpRequests_;
};

class TScreen : public TComponent {
    VCL_CLASS(TScreen, TComponent)
public:
    explicit TScreen(TComponent* owner);
    ~TScreen() override;

    // The primary screen; 1024 x 768 on the offscreen platform (and before the window system starts).
    int Width() const;
    int Height() const;
    // Fixes the size the screen reports (tests); 0, 0 goes back to the real one.
    void SetSize(int width, int height);
    int PixelsPerInch() const { return ScreenPixelsPerInch; }

    int FormCount() const { return static_cast<int>(forms_.size()); }
    TCustomForm* Forms(int index) const;
    TCustomForm* ActiveForm() const { return activeForm_.get(); }
    TWinControl* ActiveControl() const;
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);

    // Forms join and leave the list themselves; activation moves a form to the front of the history.
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    void SetActiveForm(TCustomForm* form);
    // The most recently active form that is still shown, other than `except`.
    TCustomForm* PreviousActiveForm(const TCustomForm* except) const;

private:
    std::vector<TCustomForm*> forms_;
    std::vector<TCustomForm*> history_;  // most recent last
    TComponentRef<TCustomForm> activeForm_;
    TCursor cursor_ = crDefault;
    int fixedWidth_ = 0, fixedHeight_ = 0;
};

// The application and screen objects, made on first use and kept for the life of the program.
TApplication* GetApplication();
TScreen* GetScreen();

struct TApplicationAccess {
    TApplication* operator->() const { return GetApplication(); }
    operator TApplication*() const { return GetApplication(); }
};
struct TScreenAccess {
    TScreen* operator->() const { return GetScreen(); }
    operator TScreen*() const { return GetScreen(); }
};
inline constexpr TApplicationAccess Application{};
inline constexpr TScreenAccess Screen{};

// The start check (SCRIVANE_EXIT_AFTER_START) or the offscreen platform without the test driver: no one
// can answer a modal window.
bool NobodyToAnswer();

// Registers the form classes; idempotent.
void RegisterFormClasses();

namespace detail {
// Marks a modal loop (ShowModal, a message box, a common dialog) for as long as it runs. Forms released
// outside it that its messages would free wait until it ends.
class TNestedLoop {
public:
    TNestedLoop();
    ~TNestedLoop();
    TNestedLoop(const TNestedLoop&) = delete;
    TNestedLoop& operator=(const TNestedLoop&) = delete;
};
int NestedLoopDepth();
}  // namespace detail

}  // namespace vcl
