#include "tests/platform/vcl/VclTestControls.h"

#include "FormResources_tests_platform_vcl_forms.h"

namespace vcltest {

int TCountingComponent::Alive = 0;

VCL_IMPLEMENT_CLASS(TTestButton)

void TTestButton::RegisterProperties(TClassDef<TTestButton>& def)
{
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("Cancel", &TTestButton::Cancel, &TTestButton::SetCancel, false);
    def.Property("Default", &TTestButton::Default, &TTestButton::SetDefault, false);
    def.Property("ModalResult", &TTestButton::ModalResult, &TTestButton::SetModalResult, 0);
}

TTestButton::TTestButton(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TTestButton::Click()
{
    if (TCustomForm* form = GetParentForm(this))
        form->SetModalResult(modalResult_);
    inherited::Click();
}

bool TTestButton::DialogKey(uint16_t key, TShiftState)
{
    if ((key == VK_RETURN && default_) || (key == VK_ESCAPE && cancel_)) {
        Click();
        return true;
    }
    return false;
}

VCL_IMPLEMENT_CLASS(TTestEdit)

void TTestEdit::RegisterProperties(TClassDef<TTestEdit>& def)
{
    def.Property("Text", &TControl::Text, &TControl::SetText, AnsiString());
}

TTestEdit::TTestEdit(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
}

void TTestEdit::KeyDown(uint16_t& key, TShiftState shift)
{
    KeysDown.push_back(key);
    inherited::KeyDown(key, shift);
}

void TTestEdit::KeyPress(char& key)
{
    inherited::KeyPress(key);
    if (key == '\b') {
        AnsiString text = Text();
        if (!text.empty())
            text.pop_back();
        SetText(text);
    } else if (static_cast<unsigned char>(key) >= 32) {
        SetText(Text() + key);
    }
}

VCL_IMPLEMENT_CLASS_NOPROPS(TCountingComponent)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestPaintBox)
VCL_IMPLEMENT_CLASS_NOPROPS(TFakeMenu)

bool TFakeMenu::IsShortCut(uint16_t key, TShiftState shift)
{
    if (key == 'N' && shift == TShiftState{ssCtrl}) {
        Calls.push_back("shortcut");
        return true;
    }
    return false;
}

void TFakeMenu::PopupAt(TControl* control, int screenX, int screenY)
{
    Calls.push_back("popup " + control->Name() + " " + std::to_string(screenX) + "," + std::to_string(screenY));
}

void TFakeMenu::AttachToForm(TCustomForm& form)
{
    Calls.push_back("attach " + form.Name() + (form.HandleAllocated() ? " window" : ""));
}

void TFakeMenu::DetachFromForm(TCustomForm& form)
{
    Calls.push_back("detach " + form.Name());
}

VCL_IMPLEMENT_CLASS(TdlgTest)

void TdlgTest::RegisterProperties(TClassDef<TdlgTest>& def)
{
    def.Handler("FormCreate", &TdlgTest::FormCreate);
    def.Handler("FormCloseQuery", &TdlgTest::FormCloseQuery);
    def.Handler("FormClose", &TdlgTest::FormClose);
}

TdlgTest::TdlgTest(TComponent* owner) : TForm(owner)
{
    RegisterTestControls();
    LoadForm("TestDialog.frm");
    edtName = FindChild<TTestEdit>("edtName");
    btnOk = FindChild<TTestButton>("btnOk");
    btnCancel = FindChild<TTestButton>("btnCancel");
}

void TdlgTest::FormCreate(TObject*)
{
    Events.push_back("create");
}

void TdlgTest::FormCloseQuery(TObject*, bool& CanClose)
{
    Events.push_back("closequery");
    CanClose = AllowClose;
}

void TdlgTest::FormClose(TObject*, TCloseAction& Action)
{
    Events.push_back("close");
    Action = ActionOnClose;
}

VCL_IMPLEMENT_CLASS(TfrmTestMain)

void TfrmTestMain::RegisterProperties(TClassDef<TfrmTestMain>& def)
{
    def.Handler("FormCreate", &TfrmTestMain::FormCreate);
    def.Handler("btnOpenClick", &TfrmTestMain::btnOpenClick);
    def.Handler("btnFailClick", &TfrmTestMain::btnFailClick);
}

TfrmTestMain::TfrmTestMain(TComponent* owner) : TForm(owner)
{
    RegisterTestControls();
    LoadForm("TestMain.frm");
    pnlTop = FindChild<TWinControl>("pnlTop");
    btnOpen = FindChild<TTestButton>("btnOpen");
    edtNote = FindChild<TTestEdit>("edtNote");
}

void TfrmTestMain::FormCreate(TObject*)
{
    Created = true;
}

void TfrmTestMain::btnOpenClick(TObject*)
{
    std::unique_ptr<TdlgTest> dialog(new TdlgTest(Application));
    DialogResult = dialog->ShowModal();
    NameTyped = dialog->edtName->Text();
}

void TfrmTestMain::btnFailClick(TObject*)
{
    throw rtl::Exception("The handler failed");
}

void RegisterTestControls()
{
    RegisterFormResources_tests_platform_vcl_forms();
    RegisterClasses({&TTestButton::StaticClass(), &TTestEdit::StaticClass(), &TCountingComponent::StaticClass(),
                     &TFakeMenu::StaticClass(), &TTestPaintBox::StaticClass(),
                     &TdlgTest::StaticClass(), &TfrmTestMain::StaticClass()});
}

}  // namespace vcltest
