#include "tests/platform/vcl/TestComponents.h"

#include <mutex>

namespace vcltest {

namespace {

template <class C, class V>
auto Setter(V C::*field)
{
    return [field](C& self, V value) { self.*field = std::move(value); };
}

}  // namespace

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

VCL_IMPLEMENT_CLASS(TTestFont)
void TTestFont::RegisterProperties(TClassDef<TTestFont>& def)
{
    def.Property("Name", &TTestFont::Name, Setter(&TTestFont::Name), "Arial");
    def.Property("Size", &TTestFont::Size, Setter(&TTestFont::Size), 8);
    def.Property("Style", &TTestFont::Style, Setter(&TTestFont::Style), TTestFontStyles{});
    def.Property("Color", &TTestFont::Color, Setter(&TTestFont::Color), clWindowText);
}

void TTestFont::Assign(const TPersistent* source)
{
    if (auto* font = dynamic_cast<const TTestFont*>(source)) {
        Name = font->Name;
        Size = font->Size;
        Style = font->Style;
        Color = font->Color;
        return;
    }
    inherited::Assign(source);
}

VCL_IMPLEMENT_CLASS(TTestPicture)
void TTestPicture::RegisterProperties(TClassDef<TTestPicture>& def)
{
    def.Property("Data", &TTestPicture::Data, Setter(&TTestPicture::Data));
}

VCL_IMPLEMENT_CLASS(TTestPanel)
void TTestPanel::RegisterProperties(TClassDef<TTestPanel>& def)
{
    def.Property("Width", &TTestPanel::Width, Setter(&TTestPanel::Width), 50);
    def.Property("Text", &TTestPanel::Text, Setter(&TTestPanel::Text), "");
    def.Property("Alignment", &TTestPanel::Alignment, Setter(&TTestPanel::Alignment), alNone);
}

bool TTestControl::FailCaption = false;

VCL_IMPLEMENT_CLASS(TTestControl)
void TTestControl::RegisterProperties(TClassDef<TTestControl>& def)
{
    def.Property("Caption", &TTestControl::Caption, &TTestControl::SetCaption, "");
    def.Property("Left", &TTestControl::Left, Setter(&TTestControl::Left), 0);
    def.Property("Width", &TTestControl::Width, Setter(&TTestControl::Width));
    def.Property("Small", &TTestControl::Small, Setter(&TTestControl::Small), 0);
    def.Property("Visible", &TTestControl::Visible, Setter(&TTestControl::Visible), true);
    def.Property("PasswordChar", &TTestControl::PasswordChar, Setter(&TTestControl::PasswordChar), '\0');
    def.Property("Ratio", &TTestControl::Ratio, Setter(&TTestControl::Ratio), 1.0);
    def.Property("Color", &TTestControl::Color, Setter(&TTestControl::Color), clBtnFace);
    def.Property("Align", &TTestControl::Align, Setter(&TTestControl::Align), alNone);
    def.Property("Hint", &TTestControl::Hint, Setter(&TTestControl::Hint));
    def.Property("Font", [](const TTestControl& c) { return const_cast<TTestFont*>(&c.Font); }, nullptr);
    def.Property("Picture", [](const TTestControl& c) { return const_cast<TTestPicture*>(&c.Picture); }, nullptr);
    def.Property("Items", [](const TTestControl& c) { return const_cast<rtl::TStringList*>(&c.Items); }, nullptr);
    def.Property("Panels", [](const TTestControl& c) { return const_cast<TTestPanels*>(&c.Panels); }, nullptr);
    def.Property("FocusControl", &TTestControl::FocusControl, &TTestControl::SetFocusControl);
    def.Property(
        "Buddy", [](const TTestControl& c) { return c.Buddy.get(); },
        [](TTestControl& c, TComponent* value) { c.Buddy = value; });
    def.Event("OnClick", &TTestControl::OnClick);
    def.Event("OnClose", &TTestControl::OnClose);
    def.Event("OnKeyPress", &TTestControl::OnKeyPress);
}

TTestControl::TTestControl(TComponent* owner) : TComponent(owner) {}

TTestControl::~TTestControl()
{
    while (!controls_.empty()) {
        TTestControl* child = controls_.back();
        controls_.pop_back();
        child->parent_ = nullptr;
        delete child;
    }
    SetParent(nullptr);
    Log().push_back("~" + Name());
}

void TTestControl::SetParent(TTestControl* value)
{
    if (value == parent_)
        return;
    if (parent_)
        std::erase(parent_->controls_, this);
    parent_ = value;
    if (parent_)
        parent_->controls_.push_back(this);
}

void TTestControl::SetParentComponent(TComponent* value) { SetParent(dynamic_cast<TTestControl*>(value)); }

void TTestControl::SetCaption(const AnsiString& value)
{
    if (FailCaption)
        throw rtl::Exception("caption refused");
    CaptionSetWhileLoading = IsLoading();
    caption_ = value;
}

void TTestControl::SetFocusControl(TTestControl* value)
{
    if (focusControl_)
        focusControl_->RemoveFreeNotification(this);
    focusControl_ = value;
    if (value)
        value->FreeNotification(this);
}

void TTestControl::Notification(TComponent* component, TOperation operation)
{
    inherited::Notification(component, operation);
    if (operation == opRemove && component == focusControl_)
        focusControl_ = nullptr;
}

void TTestControl::Loaded()
{
    inherited::Loaded();
    Log().push_back("Loaded " + Name());
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestInstaller)

TTestInstaller::TTestInstaller(TComponent* owner) : TTestControl(owner)
{
    if (owner && !owner->FindComponent("psHelper")) {
        Helper = new TTestHelper(owner);
        Helper->SetName("psHelper");
    }
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestHelper)

VCL_IMPLEMENT_CLASS(TTestForm)
void TTestForm::RegisterProperties(TClassDef<TTestForm>& def)
{
    def.Handler("FormCreate", &TTestForm::FormCreate);
    def.Handler("FormClose", &TTestForm::FormClose);
    def.Handler("ButtonClick", &TTestForm::ButtonClick);
}

void TTestForm::FormCreate(TObject*) { Calls.push_back("FormCreate"); }

void TTestForm::FormClose(TObject*, TCloseAction& Action)
{
    Calls.push_back("FormClose");
    Action = caFree;
}

void TTestForm::ButtonClick(TObject* Sender)
{
    auto* control = dynamic_cast<TComponent*>(Sender);
    Calls.push_back("ButtonClick " + (control ? control->Name() : AnsiString("?")));
}

void RegisterTestClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterClasses({&TTestControl::StaticClass(), &TTestInstaller::StaticClass(), &TTestForm::StaticClass()});
    });
}

}  // namespace vcltest
