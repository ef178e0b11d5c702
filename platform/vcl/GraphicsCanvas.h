#pragma once
// The canvas, graphics and pictures: TCanvas (pen, brush, font and the drawing operations), TGraphic with
// its kinds TBitmap (an off-screen picture you can draw on) and TIcon, and TPicture, which holds one graphic
// of any kind and is what TImage shows and form resources carry. No widget code here.
//
//   std::unique_ptr<vcl::TBitmap> bmp = std::make_unique<vcl::TBitmap>();
//   bmp->SetSize(100, 50);
//   vcl::TCanvas* c = bmp->Canvas();
//   c->Brush()->SetColor(vcl::clRed);
//   c->FillRect(vcl::Rect(0, 0, 50, 50));
//   c->Font()->SetOrientation(900);          // tenths of a degree, counter-clockwise
//   c->TextOut(60, 45, "Up");
//   c->Pixels(10, 10);                        // clRed
//   bmp->SaveToFile("C:\\pics\\out.bmp");     // Windows paths, through the platform's file system
//
//   // A control that paints itself draws on its Canvas() inside Paint(); outside painting the canvas
//   // measures text (TextWidth, TextExtent) but draws nothing.
//
// Form resources carry pictures as binary properties: Picture.Data is a length-prefixed class name
// ("TBitmap", "TIcon") followed by the graphic's data (a bitmap's is a 4-byte size, then the BMP file);
// Glyph.Data (a TBitmap) is the size and the BMP file alone. Raw BMP or icon file bytes are accepted too.
// Malformed picture data raises EInvalidGraphic ("Bitmap image is not valid"), never anything worse.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Classes.h"
#include "platform/vcl/Graphics.h"

namespace vcl {

class EInvalidGraphic : public rtl::Exception {
public:
    using Exception::Exception;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

class TGraphic;
class TBitmap;
class TIcon;

// DrawText flags (the values Windows gives them).
inline constexpr unsigned DT_TOP = 0x0000;
inline constexpr unsigned DT_LEFT = 0x0000;
inline constexpr unsigned DT_CENTER = 0x0001;
inline constexpr unsigned DT_RIGHT = 0x0002;
inline constexpr unsigned DT_VCENTER = 0x0004;
inline constexpr unsigned DT_BOTTOM = 0x0008;
inline constexpr unsigned DT_WORDBREAK = 0x0010;
inline constexpr unsigned DT_SINGLELINE = 0x0020;
inline constexpr unsigned DT_EXPANDTABS = 0x0040;
inline constexpr unsigned DT_NOCLIP = 0x0100;
inline constexpr unsigned DT_CALCRECT = 0x0400;
inline constexpr unsigned DT_NOPREFIX = 0x0800;
inline constexpr unsigned DT_END_ELLIPSIS = 0x8000;

// ---------------------------------------------------------------------------------------------------------
// The canvas

class TCanvas : public TPersistent {
    VCL_CLASS(TCanvas, TPersistent)
public:
    // A canvas that draws nowhere (it still measures text).
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* value) { font_->Assign(value); }
    TBrush* Brush() const { return brush_.get(); }
    void SetBrush(const TBrush* value) { brush_->Assign(value); }
    TPen* Pen() const { return pen_.get(); }
    void SetPen(const TPen* value) { pen_->Assign(value); }
    TPoint PenPos() const { return penPos_; }
    void SetPenPos(TPoint value) { penPos_ = value; }

    // Lines run from PenPos to the point, leaving out the last pixel, as on Windows.
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const std::vector<TPoint>& points);
    // The brush alone, over [Left, Right) x [Top, Bottom).
    void FillRect(const TRect& rect);
    // A one-pixel frame in the brush colour.
    void FrameRect(const TRect& rect);
    // Outlined with the pen, filled with the brush (bsClear: not filled).
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& rect) { Ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void Polygon(const std::vector<TPoint>& points);

    // Text with its top-left corner at (x, y), turned by Font.Orientation about that corner; an opaque
    // brush fills the text's cell first. PenPos moves to the end of the text.
    void TextOut(int x, int y, const AnsiString& text);
    // The same, clipped to `rect` (which the brush fills first unless it is clear).
    void TextRect(const TRect& rect, int x, int y, const AnsiString& text);
    // Text laid out in `rect` by DT_ flags ("&x" underlines x unless DT_NOPREFIX); DT_CALCRECT only
    // measures and sets rect's right and bottom. Gives the height of the text.
    int DrawText(const AnsiString& text, TRect& rect, unsigned flags);
    int TextWidth(const AnsiString& text) const;
    int TextHeight(const AnsiString& text) const;
    TSize TextExtent(const AnsiString& text) const;

    // A graphic at its own size, or stretched to `rect`.
    void Draw(int x, int y, const TGraphic* graphic);
    void StretchDraw(const TRect& rect, const TGraphic* graphic);
    // Pixels of another canvas (one on a bitmap) into this one, scaled from `sourceRect` to `dest`.
    void CopyRect(const TRect& dest, const TCanvas* source, const TRect& sourceRect);

    // The colour of a pixel of a bitmap's canvas; clNone outside the picture and on other canvases.
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor color);
    // The area drawing reaches: the picture or the control's client area.
    TRect ClipRect() const;

    TNotifyEvent OnChange;

    // Where the drawing goes; the Qt side defines the kinds (a bitmap, a control while it paints).
    class TTarget;
    explicit TCanvas(std::unique_ptr<TTarget> target);
    TTarget* Target() const { return target_.get(); }

private:
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TBrush> brush_;
    std::unique_ptr<TPen> pen_;
    TPoint penPos_;
    std::unique_ptr<TTarget> target_;
};

// Draws a 3-D frame of `width` pixels inside `rect` (top and left in topColor, bottom and right in
// bottomColor) and shrinks rect by it.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// ---------------------------------------------------------------------------------------------------------
// Graphics

class TGraphic : public TPersistent {
    VCL_CLASS(TGraphic, TPersistent)
public:
    TGraphic() = default;
    ~TGraphic() override;

    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
    bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    // Windows paths; the bytes go through rtl streams. Malformed data raises EInvalidGraphic.
    void LoadFromFile(const AnsiString& fileName);
    void SaveToFile(const AnsiString& fileName) const;
    virtual void LoadFromStream(rtl::TStream& stream);
    virtual void SaveToStream(rtl::TStream& stream) const;
    // The file's bytes (a BMP file, an icon file).
    virtual void LoadFromBytes(const uint8_t* data, size_t size) = 0;
    virtual TBinaryData SaveToBytes() const = 0;
    // What a picture's resource data carries after the class name.
    virtual void ReadData(const uint8_t* data, size_t size) { LoadFromBytes(data, size); }
    virtual TBinaryData WriteData() const { return SaveToBytes(); }

    // Paints the graphic into `rect` of the canvas (the Qt side).
    virtual void Draw(TCanvas& canvas, const TRect& rect) const = 0;

    TNotifyEvent OnChange;

protected:
    void Changed();

private:
    bool transparent_ = false;
    bool modified_ = false;
};

VCL_ENUM(TPixelFormat, pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom)
VCL_ENUM(TTransparentMode, tmAuto, tmFixed)

// An off-screen picture: pixels you can draw on through Canvas(). A bitmap loaded from a file and not
// changed since saves the very bytes it was loaded from.
class TBitmap : public TGraphic {
    VCL_CLASS(TBitmap, TGraphic)
public:
    TBitmap();
    ~TBitmap() override;

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    // New pixels are white; existing ones keep their place.
    void SetSize(int width, int height);
    TPixelFormat PixelFormat() const { return pixelFormat_; }
    void SetPixelFormat(TPixelFormat value);
    // tmAuto: the colour of the bottom-left pixel is the transparent one.
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode value);
    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);

    TCanvas* Canvas();
    void Assign(const TPersistent* source) override;

    void LoadFromBytes(const uint8_t* data, size_t size) override;
    TBinaryData SaveToBytes() const override;
    // The resource form: a 4-byte size, then the BMP file (bare BMP bytes are read too).
    void ReadData(const uint8_t* data, size_t size) override;
    TBinaryData WriteData() const override;
    // The published Data property (Glyph.Data).
    TBinaryData Data() const { return Empty() ? TBinaryData() : WriteData(); }
    void SetData(const TBinaryData& value);

    void Draw(TCanvas& canvas, const TRect& rect) const override;

    // The Qt side's storage.
    struct TImpl;
    TImpl& Impl() const { return *impl_; }
    // The pixels changed (drawing, resizing): the loaded bytes no longer stand for them.
    void PixelsChanged();

private:
    std::unique_ptr<TImpl> impl_;
    TPixelFormat pixelFormat_ = pfDevice;
    TTransparentMode transparentMode_ = tmAuto;
    TColor transparentColor_ = clDefault;
};

// An icon file's picture (the image nearest 32 x 32 of its entries); it keeps the file's bytes.
class TIcon : public TGraphic {
    VCL_CLASS(TIcon, TGraphic)
public:
    TIcon();
    ~TIcon() override;

    bool Empty() const override { return bytes_.empty(); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // An icon's size is its file's.
    void SetWidth(int) override;
    void SetHeight(int) override;
    void Assign(const TPersistent* source) override;

    void LoadFromBytes(const uint8_t* data, size_t size) override;
    TBinaryData SaveToBytes() const override { return bytes_; }
    void Draw(TCanvas& canvas, const TRect& rect) const override;

    // The chosen entry's pixels, decoded on first use (the Qt side).
    struct TImpl;
    TImpl& Impl() const { return *impl_; }
    const TBinaryData& Bytes() const { return bytes_; }

private:
    TBinaryData bytes_;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<TImpl> impl_;
};

// Holds one graphic of any kind. Bitmap() turns the picture into a bitmap (an empty one when it held
// nothing else); Graphic() may be null.
class TPicture : public TPersistent {
    VCL_CLASS(TPicture, TPersistent)
public:
    TPicture();
    ~TPicture() override;

    TGraphic* Graphic() const { return graphic_.get(); }
    // A copy of `value` (null empties the picture).
    void SetGraphic(const TGraphic* value);
    TBitmap* Bitmap();
    void SetBitmap(const TBitmap* value) { SetGraphic(value); }
    TIcon* Icon();
    void SetIcon(const TIcon* value) { SetGraphic(value); }
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    bool Empty() const { return !graphic_ || graphic_->Empty(); }

    // By extension: .bmp a bitmap, .ico an icon; any other raises EInvalidGraphic
    // "Unknown picture file extension (.xyz)". A failed load leaves the picture as it was.
    void LoadFromFile(const AnsiString& fileName);
    void SaveToFile(const AnsiString& fileName) const;
    void Assign(const TPersistent* source) override;

    // The resource form (Picture.Data); empty for an empty picture.
    TBinaryData Data() const;
    void SetData(const TBinaryData& value);

    TNotifyEvent OnChange;

protected:
    void AssignTo(TPersistent* dest) const override;

private:
    void Changed();
    void Take(std::unique_ptr<TGraphic> graphic);

    std::unique_ptr<TGraphic> graphic_;
};

// Registers TCanvas, TGraphic, TBitmap, TIcon and TPicture; idempotent.
void RegisterPictureClasses();

}  // namespace vcl
