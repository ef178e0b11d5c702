#pragma once
// Two visual components of the setup: TBackdrop, a panel that fills its parent with a colour gradient
// (the full-screen background behind the wizard), and TRotate3DLabel, a label that draws its caption at
// any angle with a raised, recessed or shadowed effect.
//
// Tag -1 marks the one main backdrop (and, separately, the one main label): giving -1 to another instance
// takes the mark from the previous one.
//
//   auto* back = new TBackdrop(form);          // fills the form, blue at the top to black at the bottom
//   back->SetDirection(bdHorzOut);             // blue at both edges, black in the middle
//   auto* label = new TRotate3DLabel(form);
//   label->LabelStyle()->SetAngle(90);         // counter-clockwise, reading upward

#include <cstdint>
#include <memory>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"

VCL_ENUM_SIZED(TDirection, uint8_t, bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut)
VCL_ENUM_SIZED(T3DEffectShort, uint8_t, A3dNormal, A3dResit, A3dRaised, A3dShadowed)

class TBackdrop : public vcl::TCustomPanel {
    VCL_CLASS(TBackdrop, vcl::TCustomPanel)
public:
    explicit TBackdrop(vcl::TComponent* owner);
    ~TBackdrop() override;

    TDirection Direction() const { return direction_; }
    void SetDirection(TDirection value);
    vcl::TColor EndColor() const { return endColor_; }
    void SetEndColor(vcl::TColor value);
    vcl::TColor StartColor() const { return startColor_; }
    void SetStartColor(vcl::TColor value);
    // -1 makes this the main backdrop.
    void SetMainTag(int value);

    void Assign(const vcl::TPersistent* source) override;

protected:
    void Paint() override;

private:
    TDirection direction_ = bdUp;
    vcl::TColor endColor_ = vcl::clBlack;
    vcl::TColor startColor_ = vcl::TColor(0xFF0000);
};

// The main backdrop (Tag -1), or null.
TBackdrop* MainBackdrop();

// Draws the gradient bands over `area` of the canvas: 256 bands from c1 to c2 along the height (horizontal
// bands) or the width, or, mirrored, 128 bands from each edge toward the middle.
void PaintGradient(vcl::TCanvas& canvas, const vcl::TRect& area, vcl::TColor c1, vcl::TColor c2, bool horizontalBands,
                   bool mirrored);

// ---------------------------------------------------------------------------------------------------------

class TLabelStyle : public vcl::TPersistent {
    VCL_CLASS(TLabelStyle, vcl::TPersistent)
public:
    T3DEffectShort AStyle3D() const { return style3D_; }
    void SetAStyle3D(T3DEffectShort value);
    int Angle() const { return angle_; }
    // A value below 0 or from 360 on becomes 0.
    void SetAngle(int value);
    int AHShadeOffSet() const { return hShadeOffset_; }
    void SetAHShadeOffSet(int value);
    int AVShadeOffSet() const { return vShadeOffset_; }
    void SetAVShadeOffSet(int value);
    vcl::TColor AShadeRightBottom() const { return shadeRightBottom_; }
    void SetAShadeRightBottom(vcl::TColor value);
    vcl::TColor AShadeLeftTop() const { return shadeLeftTop_; }
    // Ignored while AShadeLTSet holds the highlight at white.
    void SetAShadeLeftTop(vcl::TColor value);
    bool AShadeLTSet() const { return shadeLTSet_; }
    void SetAShadeLTSet(bool value);

    // Painting makes an opaque label's style normal without telling anyone.
    void SetStyle3DQuietly(T3DEffectShort value) { style3D_ = value; }
    void Assign(const vcl::TPersistent* source) override;

    rtl::TNotifyEvent OnChange;

private:
    void Notify();

    T3DEffectShort style3D_ = A3dRaised;
    int angle_ = 0;
    int hShadeOffset_ = 5;
    vcl::TColor savedLeftTop_ = vcl::clWhite;
    vcl::TColor shadeRightBottom_ = vcl::TColor(8421504);
    vcl::TColor shadeLeftTop_ = vcl::clWhite;
    bool shadeLTSet_ = false;
    int vShadeOffset_ = -5;
};

class TRotate3DLabel : public vcl::TCustomLabel {
    VCL_CLASS(TRotate3DLabel, vcl::TCustomLabel)
public:
    explicit TRotate3DLabel(vcl::TComponent* owner);
    ~TRotate3DLabel() override;

    TLabelStyle* LabelStyle() const { return labelStyle_.get(); }
    void SetLabelStyle(const TLabelStyle* value);
    bool MyTransparent() const { return myTransparent_; }
    void SetMyTransparent(bool value);
    // -1 makes this the main label.
    void SetMainTag(int value);

    // Where the last paint put the caption (the unrotated text's reference point).
    vcl::TPoint TextOrigin() const { return textOrigin_; }
    double AngleCos() const { return cos_; }
    double AngleSin() const { return sin_; }

    void Assign(const vcl::TPersistent* source) override;

protected:
    void Paint() override;

private:
    std::unique_ptr<TLabelStyle> labelStyle_;
    bool myTransparent_ = true;
    double degToRad_ = 3.14159265358979323846 / 180.0;
    double cos_ = 1.0;
    double sin_ = 0.0;
    vcl::TPoint textOrigin_;
};

// The main rotated label (Tag -1), or null.
TRotate3DLabel* MainRotate3DLabel();

void RegisterBackdropClasses();
