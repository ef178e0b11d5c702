#pragma once
// Buttons with pictures: TBitBtn (a push button with a glyph and standard kinds such as OK and Cancel)
// and TSpeedButton (a flat tool button that can stay down, alone or in a group).
//
//   btn->SetKind(vcl::bkOK);        // caption "OK", ModalResult mrOk, Default
//   btn->Glyph()->LoadFromFile("C:\\pics\\ok.bmp");
//   sb->SetGroupIndex(1);           // speed buttons of one parent and group: one is down at a time
//   sb->SetDown(true);
//
// A glyph holds NumGlyphs images side by side (up, disabled, ...); its bottom-left pixel's colour is
// transparent.

#include "platform/vcl/StdCtrls.h"

namespace vcl {

VCL_ENUM(TBitBtnKind, bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll)
VCL_ENUM(TButtonLayout, blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom)

// The caption and modal result a kind gives.
AnsiString BitBtnCaption(TBitBtnKind kind);
TModalResult BitBtnModalResult(TBitBtnKind kind);

class TBitBtn : public TButton {
    VCL_CLASS(TBitBtn, TButton)
public:
    explicit TBitBtn(TComponent* owner);
    ~TBitBtn() override;

    TBitBtnKind Kind() const { return kind_; }
    // Sets Caption, ModalResult, Default and Cancel as the kind has them (a caption already read from a
    // resource stays).
    void SetKind(TBitBtnKind value);
    TBitmap* Glyph() const { return glyph_.get(); }
    void SetGlyph(const TBitmap* value) { glyph_->Assign(value); }
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int value);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return margin_; }
    void SetMargin(int value) { margin_ = value; }
    int Spacing() const { return spacing_; }
    void SetSpacing(int value) { spacing_ = value; }

    // bkClose closes the form and bkHelp opens the help topic; then the button's ModalResult and OnClick.
    void Click() override;

private:
    TBitBtnKind kind_ = bkCustom;
    std::unique_ptr<TBitmap> glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
};

class TSpeedButton : public TGraphicControl {
    VCL_CLASS(TSpeedButton, TGraphicControl)
public:
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;

    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    // 0: a plain button; otherwise the buttons of one parent with the same index form a group.
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    bool Down() const { return down_; }
    // Putting one down puts the others of its group up; up again only when AllowAllUp.
    void SetDown(bool value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    TBitmap* Glyph() const { return glyph_.get(); }
    void SetGlyph(const TBitmap* value) { glyph_->Assign(value); }
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int value);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value) { layout_ = value; }
    int Margin() const { return margin_; }
    void SetMargin(int value) { margin_ = value; }
    int Spacing() const { return spacing_; }
    void SetSpacing(int value) { spacing_ = value; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }

    // ---- the widget side
    // A user's click: the group's down state, then OnClick.
    void ClickedByUser();

    enum { paFlat = paFirstCustom, paDown, paGlyph };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    bool flat_ = false;
    int groupIndex_ = 0;
    bool down_ = false;
    bool allowAllUp_ = false;
    std::unique_ptr<TBitmap> glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
    bool transparent_ = true;
};

}  // namespace vcl
