// Bitmap and speed buttons; their widgets are in QtStdCtrls.cpp.
#include "platform/vcl/Buttons.h"

#include <algorithm>

#include "platform/vcl/Forms.h"

namespace vcl {

using TStoredFn = std::function<bool(const TPersistent&)>;

AnsiString BitBtnCaption(TBitBtnKind kind)
{
    switch (kind) {
    case bkOK: return "OK";
    case bkCancel: return "Cancel";
    case bkHelp: return "&Help";
    case bkYes: return "&Yes";
    case bkNo: return "&No";
    case bkClose: return "&Close";
    case bkAbort: return "Abort";
    case bkRetry: return "&Retry";
    case bkIgnore: return "&Ignore";
    case bkAll: return "&All";
    default: return AnsiString();
    }
}

TModalResult BitBtnModalResult(TBitBtnKind kind)
{
    switch (kind) {
    case bkOK: return mrOk;
    case bkCancel: return mrCancel;
    case bkYes: return mrYes;
    case bkNo: return mrNo;
    case bkAbort: return mrAbort;
    case bkRetry: return mrRetry;
    case bkIgnore: return mrIgnore;
    case bkAll: return mrAll;
    default: return mrNone;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TBitBtn

VCL_IMPLEMENT_CLASS(TBitBtn)

void TBitBtn::RegisterProperties(TClassDef<TBitBtn>& def)
{
    // What the kind gives is not written again.
    def.Property("Cancel", &TButton::Cancel, &TButton::SetCancel).Stored(TStoredFn([](const TPersistent& p) {
        const auto& b = static_cast<const TBitBtn&>(p);
        return b.Cancel() != (b.Kind() == bkCancel || b.Kind() == bkNo);
    }));
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption).Stored(TStoredFn([](const TPersistent& p) {
        const auto& b = static_cast<const TBitBtn&>(p);
        return b.Kind() == bkCustom ? !b.Caption().empty() : b.Caption() != BitBtnCaption(b.Kind());
    }));
    def.Property("Default", &TButton::Default, &TButton::SetDefault).Stored(TStoredFn([](const TPersistent& p) {
        const auto& b = static_cast<const TBitBtn&>(p);
        return b.Default() != (b.Kind() == bkOK || b.Kind() == bkYes);
    }));
    def.Property("Glyph", &TBitBtn::Glyph, nullptr).Stored(TStoredFn([](const TPersistent& p) {
        return !static_cast<const TBitBtn&>(p).Glyph()->Empty();
    }));
    def.Property("Kind", &TBitBtn::Kind, &TBitBtn::SetKind, bkCustom);
    def.Property("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout, blGlyphLeft);
    def.Property("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin, -1);
    def.Property("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).Stored(TStoredFn([](const TPersistent& p) {
        const auto& b = static_cast<const TBitBtn&>(p);
        return b.ModalResult() != BitBtnModalResult(b.Kind());
    }));
    def.Property("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs, 1);
    def.Property("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing, 4);
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), glyph_(std::make_unique<TBitmap>())
{
    glyph_->OnChange = [this](TObject*) { UpdatePeer(paGlyph); };
}

TBitBtn::~TBitBtn()
{
    Destroying();
    DestroyPeer();
    glyph_->OnChange = nullptr;
}

void TBitBtn::SetKind(TBitBtnKind value)
{
    if (kind_ == value)
        return;
    kind_ = value;
    if (value != bkCustom) {
        SetDefault(value == bkOK || value == bkYes);
        SetCancel(value == bkCancel || value == bkNo);
        if (!IsLoading() || Caption().empty())
            SetCaption(BitBtnCaption(value));
        SetModalResult(BitBtnModalResult(value));
    }
    UpdatePeer(paGlyph);
}

void TBitBtn::SetNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (numGlyphs_ == value)
        return;
    numGlyphs_ = value;
    UpdatePeer(paGlyph);
}

void TBitBtn::SetLayout(TButtonLayout value)
{
    if (layout_ == value)
        return;
    layout_ = value;
    UpdatePeer(paGlyph);
}

void TBitBtn::Click()
{
    TCustomForm* form = GetParentForm(this);
    if (kind_ == bkClose && form) {
        form->Close();
        return;
    }
    if (kind_ == bkHelp) {
        int context = HelpContext();
        for (const TControl* c = this; c && context == 0; c = c->Parent())
            context = c->HelpContext();
        if (context != 0)
            Application->HelpContext(context);
    }
    inherited::Click();
}

// ---------------------------------------------------------------------------------------------------------
// TSpeedButton

VCL_IMPLEMENT_CLASS(TSpeedButton)

void TSpeedButton::RegisterProperties(TClassDef<TSpeedButton>& def)
{
    def.Property("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp, false);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    // The group first, so that Down can be read back.
    def.Property("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex, 0);
    def.Property("Down", &TSpeedButton::Down, &TSpeedButton::SetDown, false);
    def.Property("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false);
    def.Property("Glyph", &TSpeedButton::Glyph, nullptr).Stored(TStoredFn([](const TPersistent& p) {
        return !static_cast<const TSpeedButton&>(p).Glyph()->Empty();
    }));
    def.Property("Layout", &TSpeedButton::Layout, &TSpeedButton::SetLayout, blGlyphLeft);
    def.Property("Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin, -1);
    def.Property("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs, 1);
    def.Property("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing, 4);
    def.Property("Transparent", &TSpeedButton::Transparent, &TSpeedButton::SetTransparent, true);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>())
{
    SetBounds(0, 0, 23, 22);
    glyph_->OnChange = [this](TObject*) { UpdatePeer(paGlyph); };
}

TSpeedButton::~TSpeedButton()
{
    Destroying();
    DestroyPeer();
    glyph_->OnChange = nullptr;
}

void TSpeedButton::SetFlat(bool value)
{
    if (flat_ == value)
        return;
    flat_ = value;
    UpdatePeer(paFlat);
}

void TSpeedButton::SetGroupIndex(int value)
{
    if (groupIndex_ == value)
        return;
    groupIndex_ = value;
    if (groupIndex_ == 0)
        down_ = false;
    UpdatePeer(paDown);
}

void TSpeedButton::SetDown(bool value)
{
    if (groupIndex_ == 0)
        value = false;
    if (down_ == value)
        return;
    // A group that may not be all up keeps its one down button down.
    if (!value && !allowAllUp_ && !IsLoading())
        return;
    down_ = value;
    if (down_ && Parent()) {
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
            if (other && other != this && other->groupIndex_ == groupIndex_ && other->down_) {
                other->down_ = false;
                other->UpdatePeer(paDown);
            }
        }
    }
    UpdatePeer(paDown);
}

void TSpeedButton::SetAllowAllUp(bool value)
{
    if (allowAllUp_ == value)
        return;
    allowAllUp_ = value;
    if (Parent() && groupIndex_ != 0) {
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            if (auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i)); other && other->groupIndex_ == groupIndex_)
                other->allowAllUp_ = value;
        }
    }
}

void TSpeedButton::SetNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (numGlyphs_ == value)
        return;
    numGlyphs_ = value;
    UpdatePeer(paGlyph);
}

void TSpeedButton::ClickedByUser()
{
    if (groupIndex_ != 0) {
        if (down_ && allowAllUp_)
            SetDown(false);
        else
            SetDown(true);
    }
    Click();
}

}  // namespace vcl
