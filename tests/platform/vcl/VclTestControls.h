#pragma once
// Controls and forms for the framework's window tests: a push button and a text box drawn by the plain
// widget of TCustomControl, a component that counts its destruction, and two forms from resources.

#include <string>
#include <vector>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

namespace vcltest {

using namespace vcl;

// Sets the form's ModalResult and fires OnClick; answers Return when Default, Escape when Cancel.
class TTestButton : public TCustomControl {
    VCL_CLASS(TTestButton, TCustomControl)
public:
    explicit TTestButton(TComponent* owner);
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    bool Default() const { return default_; }
    void SetDefault(bool value) { default_ = value; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    void Click() override;
    bool DialogKey(uint16_t key, TShiftState shift) override;

private:
    TModalResult modalResult_ = mrNone;
    bool default_ = false;
    bool cancel_ = false;
};

// Keeps the characters typed into it (after OnKeyPress) in Text; backspace takes one away.
class TTestEdit : public TCustomControl {
    VCL_CLASS(TTestEdit, TCustomControl)
public:
    explicit TTestEdit(TComponent* owner);
    void KeyPress(char& key) override;
    std::vector<uint16_t> KeysDown;
    void KeyDown(uint16_t& key, TShiftState shift) override;
};

// A menu as a control or form sees it: records what it is asked; Ctrl+N is its one shortcut.
class TFakeMenu : public TComponent, public IMenuLink {
    VCL_CLASS(TFakeMenu, TComponent)
public:
    explicit TFakeMenu(TComponent* owner) : TComponent(owner) {}
    bool IsShortCut(uint16_t key, TShiftState shift) override;
    void PopupAt(TControl* control, int screenX, int screenY) override;
    void AttachToForm(TCustomForm& form) override;
    void DetachFromForm(TCustomForm& form) override;
    std::vector<std::string> Calls;
};

// Counts its paints.
class TTestPaintBox : public TCustomControl {
    VCL_CLASS(TTestPaintBox, TCustomControl)
public:
    explicit TTestPaintBox(TComponent* owner) : TCustomControl(owner) {}
    int Paints = 0;

protected:
    void Paint() override { ++Paints; }
};

// Counts destructions, to see that a form frees each component exactly once.
class TCountingComponent : public TComponent {
    VCL_CLASS(TCountingComponent, TComponent)
public:
    explicit TCountingComponent(TComponent* owner) : TComponent(owner) { ++Alive; }
    ~TCountingComponent() override { --Alive; }
    static int Alive;
};

// TestDialog.frm: a name field, OK and Cancel; its close can be refused.
class TdlgTest : public TForm {
    VCL_CLASS(TdlgTest, TForm)
public:
    explicit TdlgTest(TComponent* owner);
    void FormCreate(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void FormClose(TObject* Sender, TCloseAction& Action);

    TTestEdit* edtName = nullptr;
    TTestButton* btnOk = nullptr;
    TTestButton* btnCancel = nullptr;
    bool AllowClose = true;
    TCloseAction ActionOnClose = caHide;
    std::vector<std::string> Events;
};

// TestMain.frm: opens the dialog from a button.
class TfrmTestMain : public TForm {
    VCL_CLASS(TfrmTestMain, TForm)
public:
    explicit TfrmTestMain(TComponent* owner);
    void FormCreate(TObject* Sender);
    void btnOpenClick(TObject* Sender);
    void btnFailClick(TObject* Sender);

    TWinControl* pnlTop = nullptr;
    TTestButton* btnOpen = nullptr;
    TTestEdit* edtNote = nullptr;
    bool Created = false;
    TModalResult DialogResult = -1;
    std::string NameTyped;
};

void RegisterTestControls();

}  // namespace vcltest
