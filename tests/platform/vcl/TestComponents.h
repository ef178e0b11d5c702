#pragma once
// Small component classes for the core framework's tests: a control-like component with a parent and
// properties of every kind, a font-like nested object, a collection item, and a form with handlers.

#include <string>
#include <vector>

#include "platform/vcl/Classes.h"

namespace vcltest {

using namespace vcl;

// What the test classes did, in order ("Loaded btnOk", "~lblName", "Click btnOk").
std::vector<std::string>& Log();

VCL_ENUM(TTestAlign, alNone, alTop, alBottom, alLeft, alRight, alClient)
VCL_ENUM(TTestFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TTestFontStyles = TSet<TTestFontStyle>;

class TTestFont : public TPersistent {
    VCL_CLASS(TTestFont, TPersistent)
public:
    AnsiString Name = "Arial";
    int Size = 8;
    TTestFontStyles Style;
    TColor Color = clWindowText;
    void Assign(const TPersistent* source) override;
};

class TTestPicture : public TPersistent {
    VCL_CLASS(TTestPicture, TPersistent)
public:
    TBinaryData Data;
};

class TTestPanel : public TCollectionItem {
    VCL_CLASS(TTestPanel, TCollectionItem)
public:
    explicit TTestPanel(TCollection* collection) : TCollectionItem(collection) {}
    int Width = 50;
    AnsiString Text;
    TTestAlign Alignment = alNone;
};

// Counts the updates it is told of.
class TTestPanels : public TOwnedCollection {
public:
    explicit TTestPanels(TPersistent* owner) : TOwnedCollection(owner, TTestPanel::StaticClass()) {}
    int Updates = 0;

protected:
    void Update(TCollectionItem*) override { ++Updates; }
};

class TTestControl : public TComponent {
    VCL_CLASS(TTestControl, TComponent)
public:
    explicit TTestControl(TComponent* owner);
    ~TTestControl() override;

    // Visual containment, as a windowed control keeps it: the children go with their parent.
    TTestControl* Parent() const { return parent_; }
    void SetParent(TTestControl* value);
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TTestControl* Controls(int i) const { return controls_[static_cast<size_t>(i)]; }
    void SetParentComponent(TComponent* value) override;
    TComponent* GetParentComponent() const override { return parent_; }
    bool HasParent() const override { return true; }

    const AnsiString& Caption() const { return caption_; }
    void SetCaption(const AnsiString& value);
    TTestControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TTestControl* value);
    void Loaded() override;

    int Left = 0, Width = 0;
    int16_t Small = 0;
    bool Visible = true;
    char PasswordChar = '\0';
    double Ratio = 1.0;
    TColor Color = clBtnFace;
    TTestAlign Align = alNone;
    AnsiString Hint;
    TTestFont Font;
    TTestPicture Picture;
    rtl::TStringList Items;
    TTestPanels Panels{this};
    TComponentRef<TComponent> Buddy;  // guarded, no notification needed
    TNotifyEvent OnClick;
    TCloseEvent OnClose;
    TKeyPressEvent OnKeyPress;
    // The loading flag as each setter of Caption saw it.
    bool CaptionSetWhileLoading = false;
    // Set to make SetCaption raise (a component's own error during a load).
    static bool FailCaption;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TTestControl* parent_ = nullptr;
    std::vector<TTestControl*> controls_;
    AnsiString caption_;
    TTestControl* focusControl_ = nullptr;
};

// Its constructor puts a helper component on its owner, as install containers do with path specifiers.
class TTestInstaller : public TTestControl {
    VCL_CLASS(TTestInstaller, TTestControl)
public:
    explicit TTestInstaller(TComponent* owner);
    TComponent* Helper = nullptr;
};

class TTestHelper : public TComponent {
    VCL_CLASS(TTestHelper, TComponent)
public:
    using TComponent::TComponent;
};

// A form with handlers registered by name.
class TTestForm : public TTestControl {
    VCL_CLASS(TTestForm, TTestControl)
public:
    explicit TTestForm(TComponent* owner) : TTestControl(owner) {}
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void ButtonClick(TObject* Sender);
    std::vector<std::string> Calls;
};

// Registers the classes above (not TTestHelper: it is made only by constructors).
void RegisterTestClasses();

}  // namespace vcltest
