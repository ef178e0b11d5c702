// Forms, the application object and the screen: the portable half (no Qt). The window of a form, the event
// loop and the screen's real size are in QtForms.cpp.
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/SystemInfo.h"

namespace vcl {

namespace detail {
// QtForms.cpp
void QtProcessEvents(bool wait);
bool QtScreenSize(int& width, int& height);
void QtApplyScreenCursor(TCursor cursor);
}  // namespace detail

namespace {

constexpr int FrameThickness = 4;
constexpr int CaptionBar = 19;      // SM_CYCAPTION and the line below it
constexpr int ToolCaptionBar = 16;  // a tool window's small caption
constexpr int MenuBar = 19;

bool EnvironmentFlag(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value && std::strcmp(value, "0") != 0;
}

// The window style a form's border settings give (the top-level part of CreateParams).
void FormWindowStyle(TFormBorderStyle border, TBorderIcons icons, TFormStyle formStyle, uint32_t& style, uint32_t& ex)
{
    style &= ~(WS_CHILD | WS_TABSTOP);
    switch (border) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        style |= WS_POPUP | WS_CAPTION;
        ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    }
    if (border == bsToolWindow || border == bsSizeToolWin)
        ex |= WS_EX_TOOLWINDOW;
    if (border != bsNone && icons.Contains(biSystemMenu)) {
        style |= WS_SYSMENU;
        if (border != bsDialog && border != bsToolWindow && border != bsSizeToolWin) {
            if (icons.Contains(biMinimize))
                style |= WS_MINIMIZEBOX;
            if (icons.Contains(biMaximize))
                style |= WS_MAXIMIZEBOX;
        }
        if (icons.Contains(biHelp) && (border == bsDialog || !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))))
            ex |= WS_EX_CONTEXTHELP;
    }
    if (formStyle == fsStayOnTop)
        ex |= WS_EX_TOPMOST;
}

int CascadeCounter = 0;

}  // namespace

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN: return Screen->Width();
    case SM_CYSCREEN: return Screen->Height();
    case SM_CYCAPTION: return CaptionBar - 1;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CYMENU: return MenuBar;
    case SM_CXFRAME:
    case SM_CYFRAME: return FrameThickness;
    case SM_CYSMCAPTION: return ToolCaptionBar - 1;
    default: return 0;
    }
}

bool NobodyToAnswer()
{
    if (test::Active() || test::PersonAtScreen())
        return false;
    if (EnvironmentFlag("SCRIVANE_EXIT_AFTER_START"))
        return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform && std::strcmp(platform, "offscreen") == 0;
}

VCL_IMPLEMENT_CLASS(TFormIcon)

void TFormIcon::RegisterProperties(TClassDef<TFormIcon>& def)
{
    def.Property("Data", &TFormIcon::Data, &TFormIcon::SetData);
}

void TFormIcon::Assign(const TPersistent* source)
{
    if (const auto* icon = dynamic_cast<const TFormIcon*>(source)) {
        data_ = icon->data_;
        return;
    }
    inherited::Assign(source);
}

// ---------------------------------------------------------------------------------------------------------
// TCustomForm

VCL_IMPLEMENT_CLASS(TCustomForm)

void TCustomForm::RegisterProperties(TClassDef<TCustomForm>& def)
{
    def.Property("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
    def.Property("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
                 TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    def.Property("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle, bsSizeable);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight).Stored(false);
    def.Property("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth).Stored(false);
    def.Property("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle, fsNormal);
    def.Property("Icon", &TCustomForm::Icon, nullptr);
    def.Property("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview, false);
    def.Property("Menu", &TCustomForm::Menu, &TCustomForm::SetMenu);
    def.Property("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, false);
    def.Property("Position", &TCustomForm::Position, &TCustomForm::SetPosition, poDesigned);
    def.Property("Visible", &TControl::Visible, &TControl::SetVisible, false);
    def.Property("WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState, wsNormal);
    def.Event("OnActivate", &TCustomForm::OnActivate);
    def.Event("OnClose", &TCustomForm::OnClose);
    def.Event("OnCloseQuery", &TCustomForm::OnCloseQuery);
    def.Event("OnCreate", &TCustomForm::OnCreate);
    def.Event("OnDeactivate", &TCustomForm::OnDeactivate);
    def.Event("OnDestroy", &TCustomForm::OnDestroy);
    def.Event("OnHide", &TCustomForm::OnHide);
    def.Event("OnPaint", &TCustomForm::OnPaint);
    def.Event("OnShow", &TCustomForm::OnShow);
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner), icon_(std::make_unique<TFormIcon>())
{
    // Every form may name any standard control in its resource.
    RegisterStandardControls();
    TControl::SetVisible(false);
    SetParentFont(false);
    SetBounds(0, 0, 320, 240);
    Screen->AddForm(this);
}

TCustomForm::~TCustomForm()
{
    Destroying();
    if (created_)
        DispatchGuarded([this] { DoDestroy(); });
    if (auto* menu = dynamic_cast<IMenuLink*>(menu_.get()))
        menu->DetachFromForm(*this);
    DestroyComponents();
    if (Screen->ActiveForm() == this)
        Screen->SetActiveForm(nullptr);
    Screen->RemoveForm(this);
    // No other form is activated from here: its handlers would run in the middle of a tear-down.
    if (active_)
        Application->FormDeactivated(this);
}

void TCustomForm::LoadForm(const AnsiString& resourceName)
{
    ReadComponentResource(this, resourceName);
    created_ = true;
    DoCreate();
    if (Visible()) {
        // Visible = True in the resource: the form shows once it is made.
        TControl::SetVisible(false);
        SetVisible(true);
    }
}

void TCustomForm::ThrowChildNotFound(std::string_view name, const AnsiString& className) const
{
    throw EComponentError("Component '" + AnsiString(name) + "' of class " + className + " not found in " + Name());
}

int TCustomForm::FrameWidth() const
{
    uint32_t style = 0, ex = 0;
    if (haveWindowStyle_) {
        style = windowStyle_;
        ex = windowExStyle_;
    } else if (Embedded()) {
        style = WS_CHILD | WS_CLIPSIBLINGS;
    } else {
        FormWindowStyle(borderStyle_, borderIcons_, formStyle_, style, ex);
    }
    if (style & (WS_THICKFRAME | WS_DLGFRAME))
        return FrameThickness;
    return (style & WS_BORDER) ? 1 : 0;
}

int TCustomForm::CaptionHeight() const
{
    uint32_t style = 0, ex = 0;
    if (haveWindowStyle_) {
        style = windowStyle_;
        ex = windowExStyle_;
    } else if (Embedded()) {
        return 0;
    } else {
        FormWindowStyle(borderStyle_, borderIcons_, formStyle_, style, ex);
    }
    if ((style & WS_CAPTION) != WS_CAPTION)
        return 0;
    return (ex & WS_EX_TOOLWINDOW) ? ToolCaptionBar : CaptionBar;
}

int TCustomForm::MenuHeight() const
{
    return (menu_ && !Embedded()) ? MenuBar : 0;
}

int TCustomForm::ClientWidth() const
{
    return std::max(Width() - 2 * FrameWidth(), 0);
}

int TCustomForm::ClientHeight() const
{
    return std::max(Height() - 2 * FrameWidth() - CaptionHeight() - MenuHeight(), 0);
}

void TCustomForm::SetClientWidth(int value)
{
    if (IsLoading())
        clientWidthWanted_ = value;
    SetWidth(value + 2 * FrameWidth());
}

void TCustomForm::SetClientHeight(int value)
{
    if (IsLoading())
        clientHeightWanted_ = value;
    SetHeight(value + 2 * FrameWidth() + CaptionHeight() + MenuHeight());
}

TPoint TCustomForm::ClientOrigin() const
{
    int frame = FrameWidth();
    return TPoint{frame, frame + CaptionHeight() + MenuHeight()};
}

bool TCustomForm::Embedded() const
{
    if (Parent() || ParentWindow())
        return true;
    return haveWindowStyle_ && (windowStyle_ & WS_CHILD);
}

HWND TCustomForm::WindowParent() const
{
    return windowParent_ ? windowParent_ : ParentWindow();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value)
{
    if (borderStyle_ == value)
        return;
    borderStyle_ = value;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value)
{
    if (borderIcons_ == value)
        return;
    borderIcons_ = value;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value)
{
    if (formStyle_ == value)
        return;
    formStyle_ = value;
    RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState value)
{
    if (windowState_ == value)
        return;
    windowState_ = value;
    UpdatePeer(paWindowState);
}

void TCustomForm::SetActiveControl(TWinControl* value)
{
    if (value == activeControl_.get())
        return;
    if (value && (value == this || !ContainsControl(value)) && !IsLoading())
        throw EInvalidOperation("Invalid control " + value->Name() + " for the active control of " + Name());
    if (IsLoading() || !Visible()) {
        activeControl_ = value;
        if (!value)
            focusedControl_ = nullptr;
        return;
    }
    SetFocusedControl(value);
    if (value && value->Peer() && value->CanFocus())
        value->SetFocus();
}

void TCustomForm::SetFocusedControl(TWinControl* control)
{
    if (control)
        activeControl_ = control;
    if (control == focusedControl_.get())
        return;
    TComponentRef<TWinControl> previous = focusedControl_.get();
    focusedControl_ = control;
    if (!control)
        activeControl_ = nullptr;
    if (previous)
        previous->DoExit();
    if (control && control == focusedControl_.get())
        control->DoEnter();
}

void TCustomForm::ControlRemoved(TControl* control)
{
    auto within = [control](TWinControl* c) {
        if (!c)
            return false;
        auto* win = dynamic_cast<TWinControl*>(control);
        return c == control || (win && win->ContainsControl(c));
    };
    if (within(focusedControl_.get())) {
        TWinControl* leaving = focusedControl_.get();
        focusedControl_ = nullptr;
        if (!leaving->IsDestroying() && !control->IsDestroying())
            DispatchGuarded([leaving] { leaving->DoExit(); });
    }
    if (within(activeControl_.get()))
        activeControl_ = nullptr;
}

void TCustomForm::SetMenu(TComponent* value)
{
    if (value && !dynamic_cast<IMenuLink*>(value))
        throw EInvalidOperation(value->Name() + " (" + value->ClassName() + ") is not a menu");
    if (value == menu_.get())
        return;
    int clientHeight = ClientHeight();
    if (auto* old = dynamic_cast<IMenuLink*>(menu_.get()))
        old->DetachFromForm(*this);
    menu_ = value;
    if (IsLoading())
        return;  // the resource's Height already counts the menu bar (Loaded attaches the menu)
    if (auto* menu = dynamic_cast<IMenuLink*>(value))
        menu->AttachToForm(*this);
    // A menu bar given at run time takes room above the client area; the client area keeps its size.
    SetClientHeight(clientHeight);
}

void TCustomForm::Notification(TComponent* component, TOperation operation)
{
    inherited::Notification(component, operation);
}

void TCustomForm::TextChanged()
{
    UpdatePeer(paText);
}

void TCustomForm::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.Caption = Caption();
    if (!Parent() && !ParentWindow()) {
        FormWindowStyle(borderStyle_, borderIcons_, formStyle_, params.Style, params.ExStyle);
        params.WndParent = nullptr;
    }
}

void TCustomForm::SetBounds(int left, int top, int width, int height)
{
    TWinControl::SetBounds(left, top, width, height);
}

void TCustomForm::Loaded()
{
    TWinControl::Loaded();
    if (clientWidthWanted_ >= 0)
        SetClientWidth(clientWidthWanted_);
    if (clientHeightWanted_ >= 0)
        SetClientHeight(clientHeightWanted_);
    clientWidthWanted_ = clientHeightWanted_ = -1;
    if (auto* menu = dynamic_cast<IMenuLink*>(menu_.get()))
        menu->AttachToForm(*this);
}

void TCustomForm::PaintRequested()
{
    if (OnPaint)
        OnPaint(this);
}

void TCustomForm::DoCreate()
{
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::DoShow()
{
    if (OnShow)
        OnShow(this);
}

void TCustomForm::DoHide()
{
    if (OnHide)
        OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action)
{
    if (OnClose)
        OnClose(this, action);
}

void TCustomForm::DoDestroy()
{
    if (OnDestroy)
        OnDestroy(this);
}

void TCustomForm::PlaceOnShow()
{
    if (Embedded())
        return;
    int w = Width(), h = Height();
    auto centreOn = [&](const TCustomForm* other) {
        SetBounds(other->Left() + (other->Width() - w) / 2, other->Top() + (other->Height() - h) / 2, w, h);
    };
    switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
        SetBounds((Screen->Width() - w) / 2, (Screen->Height() - h) / 2, w, h);
        break;
    case poMainFormCenter:
        if (TCustomForm* main = Application->MainForm(); main && main != this)
            centreOn(main);
        else
            SetBounds((Screen->Width() - w) / 2, (Screen->Height() - h) / 2, w, h);
        break;
    case poOwnerFormCenter:
        if (auto* owner = dynamic_cast<TCustomForm*>(Owner()); owner && owner != this)
            centreOn(owner);
        else
            SetBounds((Screen->Width() - w) / 2, (Screen->Height() - h) / 2, w, h);
        break;
    case poDefault:
    case poDefaultPosOnly: {
        // The layer's choice, made once for the window: windows cascade from the top left corner.
        if (defaultPlaced_)
            break;
        defaultPlaced_ = true;
        int step = 22 * (1 + CascadeCounter++ % 8);
        SetBounds(step, step, w, h);
        break;
    }
    default:
        break;
    }
}

void TCustomForm::SetVisible(bool value)
{
    if (IsLoading() || IsDestroying()) {
        TControl::SetVisible(value);
        return;
    }
    if (value == Visible()) {
        if (value && !Peer())
            EnsurePeer();
        return;
    }
    if (value) {
        PlaceOnShow();
        EnsurePeer();
        test::detail::TShowingForm showing(*this);
        DoShow();
        TControl::SetVisible(true);
        if (!Embedded())
            Activate();
    } else {
        DoHide();
        TControl::SetVisible(false);
        if (active_) {
            Deactivate();
            if (TCustomForm* previous = Screen->PreviousActiveForm(this)) {
                previous->Activate();
            } else {
                Screen->SetActiveForm(nullptr);
                Application->FormDeactivated(this);
            }
        }
    }
}

void TCustomForm::Show()
{
    SetVisible(true);
    BringToFront();
    if (!Embedded() && !active_ && Visible())
        Activate();
}

void TCustomForm::Activate()
{
    if (active_ || !Visible() || Embedded())
        return;
    TCustomForm* previous = Screen->ActiveForm();
    if (previous && previous != this)
        previous->Deactivate();
    active_ = true;
    Screen->SetActiveForm(this);
    Application->FormActivated(this);
    if (TWinControl* control = activeControl_.get(); control && control->Peer() && control->CanFocus())
        control->SetFocus();
    if (OnActivate)
        OnActivate(this);
}

void TCustomForm::Deactivate()
{
    if (!active_)
        return;
    active_ = false;
    if (OnDeactivate)
        OnDeactivate(this);
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close()
{
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
    }
}

void TCustomForm::CloseRequestedByUser()
{
    // Without a system menu a window has no close box and no Alt+F4: the request does nothing.
    if (!borderIcons_.Contains(biSystemMenu))
        return;
    Close();
}

void TCustomForm::CloseModal()
{
    // A handler that processes messages while it decides must not start a second close.
    if (closingModal_)
        return;
    closingModal_ = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{closingModal_};
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    switch (action) {
    case caNone:
        modalResult_ = mrNone;
        return;
    case caFree:
        Release();
        break;
    default:
        break;
    }
    modalDone_ = true;
}

void TCustomForm::Release()
{
    if (released_)
        return;
    released_ = true;
    releaseLoopDepth_ = detail::NestedLoopDepth();
    PostMessage(Handle(), CM_RELEASE, 0, 0);
}

namespace {

struct TDeferredReleases {
    int depth = 0;
    std::vector<TComponentRef<TCustomForm>> forms;
};

TDeferredReleases& DeferredReleases()
{
    static TDeferredReleases* state = new TDeferredReleases;  // forms may be released during shutdown
    return *state;
}

}  // namespace

namespace detail {

TNestedLoop::TNestedLoop()
{
    ++DeferredReleases().depth;
}

TNestedLoop::~TNestedLoop()
{
    TDeferredReleases& d = DeferredReleases();
    --d.depth;
    // Each waiting form asks again from the loop that runs now; one released deeper still waits on.
    std::vector<TComponentRef<TCustomForm>> waiting;
    waiting.swap(d.forms);
    for (TCustomForm* form : waiting) {
        if (form)
            PostMessage(form->Handle(), CM_RELEASE, 0, 0);
    }
}

int NestedLoopDepth()
{
    return DeferredReleases().depth;
}

}  // namespace detail

void TCustomForm::WndProc(TMessage& message)
{
    switch (message.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case CM_RELEASE:
        if (modal_) {
            // Released while still modal (caFree): it goes once ShowModal has returned its result.
            releaseAfterModal_ = true;
            return;
        }
        if (detail::NestedLoopDepth() > releaseLoopDepth_) {
            // Delivered by a loop that began after the release: the code that runs that loop may sit in
            // this form's handlers. The form leaves the screen now and goes when that loop has ended.
            if (Visible())
                Hide();
            DeferredReleases().forms.emplace_back(this);
            return;
        }
        delete this;
        return;
    default:
        TWinControl::WndProc(message);
    }
}

TModalResult TCustomForm::ShowModal()
{
    if (Visible() || !Enabled() || modal_)
        throw EInvalidOperation("Cannot make a visible window modal");
    TComponentRef<TCustomForm> self(this);
    modalResult_ = mrNone;
    modal_ = true;
    modalDone_ = false;
    TApplication& app = *Application;
    app.modalForms_.emplace_back(this);
    ++app.modalLevel_;
    auto leave = [&] {
        --app.modalLevel_;
        if (!app.modalForms_.empty())
            app.modalForms_.pop_back();
        if (self) {
            modal_ = false;
            if (Visible())
                Hide();
            if (releaseAfterModal_) {
                releaseAfterModal_ = false;
                PostMessage(Handle(), CM_RELEASE, 0, 0);
            }
        }
    };
    try {
        detail::TNestedLoop loop;
        Show();
        if (test::Active()) {
            test::detail::RunModalScript(*this);
        } else if (NobodyToAnswer()) {
            if (!test::detail::AnswerModalFromScript(*this)) {
                std::fprintf(stderr, "%s: nobody can answer the modal window; it closes with Cancel\n",
                             ClassName().c_str());
                app.ProcessMessages();
                app.CheckModal();
            }
            if (self && !modalDone_)
                modalResult_ = mrCancel;
        } else {
            RunModalLoop();
        }
    } catch (...) {
        leave();
        throw;
    }
    TModalResult result = self ? modalResult_ : mrCancel;
    leave();
    return result;
}

void TCustomForm::EndModal(TModalResult result)
{
    if (!modal_)
        return;
    modalResult_ = result;
    modalDone_ = true;
}

void TCustomForm::RunModalLoop()
{
    TComponentRef<TCustomForm> self(this);
    while (self && !modalDone_) {
        if (Application->Terminated()) {
            modalResult_ = mrCancel;
            return;
        }
        // Checked before waiting too: a close asked for before the loop began (by a handler of OnShow or
        // OnActivate) takes effect at once.
        Application->CheckModal();
        if (!self || modalDone_)
            break;
        Application->HandleMessage();
    }
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TForm)

TForm::TForm(TComponent* owner) : TCustomForm(owner) {}

// ---------------------------------------------------------------------------------------------------------
// TApplication

VCL_IMPLEMENT_CLASS_NOPROPS(TApplication)

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication()
{
    Destroying();
    DestroyComponents();
}

void TApplication::Initialize()
{
    RegisterStandardControls();
}

AnsiString TApplication::ExeName() const
{
    return win::ParamStr(0);
}

void TApplication::Run()
{
    if (mainForm_ && showMainForm_) {
        try {
            mainForm_->Show();
        } catch (...) {
            HandleException(this);
        }
    }
    if (EnvironmentFlag("SCRIVANE_EXIT_AFTER_START")) {
        ProcessMessages();
        return;
    }
    if (!mainForm_)
        return;
    while (!terminated_)
        HandleMessage();
}

void TApplication::ProcessMessages()
{
    // Messages posted while these run are delivered too, within a bound so a message that posts itself
    // again cannot hold the caller for ever.
    for (int round = 0; round < 64; ++round) {
        detail::QtProcessEvents(false);
        int delivered = DispatchPostedMessages();
        if (delivered == 0 && PendingMessageCount() == 0)
            break;
    }
}

void TApplication::HandleMessage()
{
    if (PendingMessageCount() > 0) {
        // Posted messages wait their turn behind the window system's events, never the other way round.
        detail::QtProcessEvents(false);
        DispatchPostedMessages();
    } else {
        detail::QtProcessEvents(true);
    }
}

void TApplication::CheckModal()
{
    while (!modalForms_.empty() && !modalForms_.back())
        modalForms_.pop_back();
    if (modalForms_.empty())
        return;
    TCustomForm* form = modalForms_.back().get();
    if (form->modalResult_ != mrNone && !form->modalDone_) {
        TComponentRef<TCustomForm> guard(form);
        DispatchGuarded([form] { form->CloseModal(); });
        if (guard && form->modalDone_ && form->Visible())
            form->Hide();
    }
}

void TApplication::HandleException(TObject* sender)
{
    HandleException(sender, std::current_exception());
}

void TApplication::HandleException(TObject* sender, std::exception_ptr error)
{
    if (!error)
        return;
    auto report = [&](const rtl::Exception& e) {
        if (handlingException_) {
            std::fprintf(stderr, "exception while reporting an exception: %s\n", e.Message().c_str());
            return;
        }
        handlingException_ = true;
        try {
            if (OnException)
                OnException(sender, e);
            else
                ShowException(e);
        } catch (...) {
            handlingException_ = false;
            throw;
        }
        handlingException_ = false;
    };
    try {
        std::rethrow_exception(error);
    } catch (const test::ETestScriptError&) {
        // Recorded and told to the test already.
    } catch (const rtl::EAbort&) {
    } catch (const rtl::Exception& e) {
        report(e);
    } catch (const std::exception& e) {
        report(rtl::Exception(e.what()));
    } catch (...) {
        report(rtl::Exception("Unknown exception"));
    }
}

void TApplication::ShowException(const rtl::Exception& error)
{
    AnsiString message = error.Message();
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    MessageBox(message, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, int flags)
{
    return detail::ShowMessageBox(text, caption, flags);
}

bool TApplication::HelpContext(int context)
{
    helpRequests_.push_back(THelpRequest{helpFile_, HELP_CONTEXT, context, AnsiString()});
    return !helpFile_.empty();
}

bool TApplication::HelpJump(const AnsiString& topic)
{
    helpRequests_.push_back(THelpRequest{helpFile_, HELP_KEY, 0, topic});
    return !helpFile_.empty();
}

bool TApplication::HelpCommand(int command, intptr_t data)
{
    helpRequests_.push_back(THelpRequest{helpFile_, command, static_cast<int>(data), AnsiString()});
    return !helpFile_.empty();
}

void TApplication::ResetRunState()
{
    title_.clear();
    helpFile_.clear();
    terminated_ = false;
    mainForm_ = nullptr;
    active_ = false;
    modalForms_.clear();
    modalLevel_ = 0;
    helpRequests_.clear();
    OnException = nullptr;
    OnActivate = nullptr;
    OnDeactivate = nullptr;
}

void TApplication::FormActivated(TCustomForm*)
{
    if (active_)
        return;
    active_ = true;
    if (OnActivate)
        OnActivate(this);
}

void TApplication::FormDeactivated(TCustomForm*)
{
    if (!active_ || Screen->ActiveForm())
        return;
    active_ = false;
    if (OnDeactivate)
        OnDeactivate(this);
}

void TApplication::Notification(TComponent* component, TOperation operation)
{
    inherited::Notification(component, operation);
}

// ---------------------------------------------------------------------------------------------------------
// TScreen

VCL_IMPLEMENT_CLASS_NOPROPS(TScreen)

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}
TScreen::~TScreen() = default;

int TScreen::Width() const
{
    int w = 1024, h = 768;
    if (fixedWidth_ > 0)
        return fixedWidth_;
    detail::QtScreenSize(w, h);
    return w;
}

int TScreen::Height() const
{
    int w = 1024, h = 768;
    if (fixedHeight_ > 0)
        return fixedHeight_;
    detail::QtScreenSize(w, h);
    return h;
}

void TScreen::SetSize(int width, int height)
{
    fixedWidth_ = width;
    fixedHeight_ = height;
}

TCustomForm* TScreen::Forms(int index) const
{
    if (index < 0 || index >= FormCount())
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    return forms_[static_cast<size_t>(index)];
}

TWinControl* TScreen::ActiveControl() const
{
    return activeForm_ ? activeForm_->ActiveControl() : nullptr;
}

void TScreen::SetCursor(TCursor value)
{
    if (cursor_ == value)
        return;
    cursor_ = value;
    detail::QtApplyScreenCursor(value);
}

void TScreen::AddForm(TCustomForm* form)
{
    forms_.push_back(form);
}

void TScreen::RemoveForm(TCustomForm* form)
{
    std::erase(forms_, form);
    std::erase(history_, form);
}

void TScreen::SetActiveForm(TCustomForm* form)
{
    activeForm_ = form;
    std::erase(history_, form);
    if (form)
        history_.push_back(form);
}

TCustomForm* TScreen::PreviousActiveForm(const TCustomForm* except) const
{
    for (auto it = history_.rbegin(); it != history_.rend(); ++it) {
        if (*it != except && (*it)->Visible() && !(*it)->Embedded())
            return *it;
    }
    return nullptr;
}

TApplication* GetApplication()
{
    static TApplication* application = new TApplication(nullptr);  // lives to the end of the program
    return application;
}

TScreen* GetScreen()
{
    static TScreen* screen = new TScreen(nullptr);
    return screen;
}

void RegisterFormClasses()
{
    RegisterClasses({&TCustomForm::StaticClass(), &TForm::StaticClass(), &TFormIcon::StaticClass()});
}

}  // namespace vcl
