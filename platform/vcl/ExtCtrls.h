#pragma once
// More controls: panels, bevels, splitters, images and paint boxes. They paint themselves on their Canvas
// (Paint), so the whole look is portable code; the timer component is TTimer in Messages.h.
//
//   auto* split = new vcl::TSplitter(form);     // aligned left, 3 pixels wide, between two panes
//   split->SetParent(form);
//   split->SetMinSize(40);
//   // dragging it (MouseDown, MouseMove, MouseUp) resizes the pane on its left, then OnMoved
//
//   img->Picture()->LoadFromFile("C:\\pics\\logo.bmp");
//   img->SetStretch(true);

#include <memory>

#include "platform/vcl/Controls.h"
#include "platform/vcl/GraphicsCanvas.h"
#include "platform/vcl/Messages.h"

namespace vcl {

VCL_ENUM(TPanelBevel, bvNone, bvLowered, bvRaised, bvSpace)
VCL_ENUM(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer)
VCL_ENUM(TBevelStyle, bsLowered, bsRaised)
VCL_ENUM(TResizeStyle, rsNone, rsLine, rsUpdate, rsPattern)

// ---------------------------------------------------------------------------------------------------------

class TCustomPanel : public TCustomControl {
    VCL_CLASS(TCustomPanel, TCustomControl)
public:
    explicit TCustomPanel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel value);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);
    // Padding between the bevels (in the panel's colour); alignment keeps it free. (BorderWidth reads it.)
    void SetPanelBorderWidth(int value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    bool Locked() const { return locked_; }
    void SetLocked(bool value) { locked_ = value; }
    bool FullRepaint() const { return fullRepaint_; }
    void SetFullRepaint(bool value) { fullRepaint_ = value; }

protected:
    void Paint() override;
    TRect AlignRect() const override;
    void TextChanged() override;

private:
    void BevelChanged();

    TAlignment alignment_ = taCenter;
    TPanelBevel bevelInner_ = bvNone;
    TPanelBevel bevelOuter_ = bvRaised;
    int bevelWidth_ = 1;
    TBorderStyle borderStyle_ = bsNone;
    bool locked_ = false;
    bool fullRepaint_ = true;
};

class TPanel : public TCustomPanel {
    VCL_CLASS(TPanel, TCustomPanel)
public:
    explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

// ---------------------------------------------------------------------------------------------------------

class TBevel : public TGraphicControl {
    VCL_CLASS(TBevel, TGraphicControl)
public:
    explicit TBevel(TComponent* owner);

    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle value);

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void Paint() override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

// ---------------------------------------------------------------------------------------------------------

using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// Drags the edge between its neighbour (the control aligned the same way just before it) and the rest.
class TSplitter : public TGraphicControl {
    VCL_CLASS(TSplitter, TGraphicControl)
public:
    explicit TSplitter(TComponent* owner);

    int MinSize() const { return minSize_; }
    void SetMinSize(int value) { minSize_ = std::max(value, 1); }
    bool Beveled() const { return beveled_; }
    void SetBeveled(bool value);
    TResizeStyle ResizeStyle() const { return resizeStyle_; }
    void SetResizeStyle(TResizeStyle value) { resizeStyle_ = value; }
    // Dragging below MinSize closes the neighbour to 0.
    bool AutoSnap() const { return autoSnap_; }
    void SetAutoSnap(bool value) { autoSnap_ = value; }
    // The control it resizes now, or nullptr.
    TControl* FindNeighbour() const;

    TCanResizeEvent OnCanResize;
    TNotifyEvent OnMoved;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void SetBounds(int left, int top, int width, int height) override;

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void Paint() override;

private:
    bool Horizontal() const { return Align() == alLeft || Align() == alRight; }
    int NewSizeAt(int x, int y) const;
    void ApplySize(int size);

    int minSize_ = 30;
    bool beveled_ = false;
    TResizeStyle resizeStyle_ = rsPattern;
    bool autoSnap_ = true;
    TComponentRef<TControl> dragged_;
    TPoint downPos_;
    int maxSize_ = 0;
    int newSize_ = -1;
};

// ---------------------------------------------------------------------------------------------------------

class TImage : public TGraphicControl {
    VCL_CLASS(TImage, TGraphicControl)
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    TPicture* Picture() const { return picture_.get(); }
    void SetPicture(const TPicture* value) { picture_->Assign(value); }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool Center() const { return center_; }
    void SetCenter(bool value);
    bool Proportional() const { return proportional_; }
    void SetProportional(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool IncrementalDisplay() const { return incrementalDisplay_; }
    void SetIncrementalDisplay(bool value) { incrementalDisplay_ = value; }

    // The picture's bitmap canvas (an empty picture becomes a bitmap of the control's size); a picture
    // of another kind raises EInvalidOperation "Can only modify an image if it contains a bitmap".
    TCanvas* Canvas();
    // Where the picture is drawn in the client area.
    TRect DestRect() const;

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void Paint() override;

private:
    void PictureChanged();

    std::unique_ptr<TPicture> picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool proportional_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
    bool incrementalDisplay_ = false;
};

// ---------------------------------------------------------------------------------------------------------

// Paints whatever OnPaint draws on its Canvas.
class TPaintBox : public TGraphicControl {
    VCL_CLASS(TPaintBox, TGraphicControl)
public:
    explicit TPaintBox(TComponent* owner);

    TNotifyEvent OnPaint;

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void Paint() override;
};

}  // namespace vcl
