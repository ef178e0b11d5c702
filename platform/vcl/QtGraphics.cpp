// The canvas on QPainter, bitmaps and icons as QImages, and the canvases of controls that paint
// themselves (valid while the control paints).
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <cstdlib>
#include <cstring>

#include "platform/vcl/BmpCodec.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/QtImages.h"
#include "platform/vcl/QtSeam.h"

namespace vcl {

// Where a canvas draws: Begin gives a painter for one step (or null), End finishes that step.
class TCanvas::TTarget {
public:
    virtual ~TTarget() = default;
    virtual QPainter* Begin() = 0;
    virtual void End() = 0;
    virtual const QImage* Image() const { return nullptr; }
    virtual QImage* MutableImage() { return nullptr; }
    virtual void PixelsChanged() {}
    virtual TRect Clip() const = 0;
};

struct TBitmap::TImpl {
    QImage image;            // ARGB32; null while the bitmap is empty
    TBinaryData original;    // the bytes loaded, while the pixels are still theirs
    std::unique_ptr<TCanvas> canvas;
};

struct TIcon::TImpl {
    QImage image;
};

QImage ImageFromDib(const bmp::TDibImage& dib)
{
    QImage image(dib.Width, dib.Height, QImage::Format_ARGB32);
    if (image.isNull())
        throw EInvalidGraphic("Out of memory for a bitmap of " + rtl::IntToStr(dib.Width) + " x " + rtl::IntToStr(dib.Height));
    for (int y = 0; y < dib.Height; ++y)
        std::memcpy(image.scanLine(y), &dib.Pixels[static_cast<size_t>(y) * static_cast<size_t>(dib.Width)],
                    static_cast<size_t>(dib.Width) * 4);
    return image;
}

bmp::TDibImage DibFromImage(const QImage& source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    bmp::TDibImage dib;
    dib.Width = image.width();
    dib.Height = image.height();
    dib.Pixels.resize(static_cast<size_t>(dib.Width) * static_cast<size_t>(dib.Height));
    for (int y = 0; y < dib.Height; ++y)
        std::memcpy(&dib.Pixels[static_cast<size_t>(y) * static_cast<size_t>(dib.Width)], image.constScanLine(y),
                    static_cast<size_t>(dib.Width) * 4);
    return dib;
}

namespace {

TColor ColorOfRgb(QRgb rgb)
{
    return RGBColor(static_cast<uint8_t>(qRed(rgb)), static_cast<uint8_t>(qGreen(rgb)), static_cast<uint8_t>(qBlue(rgb)));
}

QRect ToQRect(const TRect& r)
{
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

class TBitmapTarget : public TCanvas::TTarget {
public:
    explicit TBitmapTarget(TBitmap& bitmap) : bitmap_(bitmap) {}
    QPainter* Begin() override
    {
        QImage& image = bitmap_.Impl().image;
        if (image.isNull() || painter_)
            return nullptr;
        painter_ = std::make_unique<QPainter>(&image);
        return painter_.get();
    }
    void End() override
    {
        painter_.reset();
        bitmap_.PixelsChanged();
    }
    const QImage* Image() const override { return &bitmap_.Impl().image; }
    QImage* MutableImage() override { return &bitmap_.Impl().image; }
    void PixelsChanged() override { bitmap_.PixelsChanged(); }
    TRect Clip() const override { return Rect(0, 0, bitmap_.Width(), bitmap_.Height()); }

private:
    TBitmap& bitmap_;
    std::unique_ptr<QPainter> painter_;
};

// The painter of a control's widget while the control paints; nothing at other times.
class TControlTarget : public TCanvas::TTarget {
public:
    explicit TControlTarget(TControl& control) : control_(control) {}
    QPainter* Begin() override
    {
        QPainter* painter = ActivePainter(control_);
        if (painter)
            painter->save();
        active_ = painter;
        return painter;
    }
    void End() override
    {
        if (active_)
            active_->restore();
        active_ = nullptr;
    }
    TRect Clip() const override { return control_.ClientRect(); }

private:
    TControl& control_;
    QPainter* active_ = nullptr;
};

Qt::PenStyle QtPenStyle(TPenStyle style)
{
    switch (style) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    case psClear: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

Qt::BrushStyle QtBrushStyle(TBrushStyle style)
{
    switch (style) {
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

QPen PenOf(const TPen& pen)
{
    if (pen.Style() == psClear)
        return QPen(Qt::NoPen);
    QPen q(ToQColor(pen.Color()));
    q.setWidth(std::max(pen.Width(), 1));
    q.setStyle(QtPenStyle(pen.Style()));
    q.setCapStyle(Qt::FlatCap);
    q.setJoinStyle(Qt::MiterJoin);
    return q;
}

QBrush BrushOf(const TBrush& brush)
{
    if (brush.Style() == bsClear)
        return QBrush(Qt::NoBrush);
    return QBrush(ToQColor(brush.Color()), QtBrushStyle(brush.Style()));
}

QFontMetrics MetricsOf(const TFont& font)
{
    EnsureQtApplication();
    return QFontMetrics(ToQFont(font));
}

int QtTextFlags(unsigned flags)
{
    int q = 0;
    if (flags & DT_CENTER)
        q |= Qt::AlignHCenter;
    else if (flags & DT_RIGHT)
        q |= Qt::AlignRight;
    else
        q |= Qt::AlignLeft;
    if (flags & DT_VCENTER)
        q |= Qt::AlignVCenter;
    else if (flags & DT_BOTTOM)
        q |= Qt::AlignBottom;
    else
        q |= Qt::AlignTop;
    if (flags & DT_SINGLELINE)
        q |= Qt::TextSingleLine;
    else if (flags & DT_WORDBREAK)
        q |= Qt::TextWordWrap;
    if (flags & DT_EXPANDTABS)
        q |= Qt::TextExpandTabs;
    if (!(flags & DT_NOPREFIX))
        q |= Qt::TextShowMnemonic;
    if (flags & DT_NOCLIP)
        q |= Qt::TextDontClip;
    return q;
}

// The pixels of a line from `from` up to, not including, `to` (Bresenham).
QPolygon LinePixels(QPoint from, QPoint to)
{
    QPolygon points;
    int x = from.x(), y = from.y();
    int dx = std::abs(to.x() - x), dy = -std::abs(to.y() - y);
    int sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
    int error = dx + dy;
    while (x != to.x() || y != to.y()) {
        points << QPoint(x, y);
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
    return points;
}

// One drawing step on a canvas: the painter with the canvas's tools, ended when the step is done.
class TPaintStep {
public:
    explicit TPaintStep(TCanvas& canvas) : canvas_(canvas), painter_(BeginCanvasPaint(canvas)) {}
    ~TPaintStep()
    {
        if (painter_)
            EndCanvasPaint(canvas_);
    }
    TPaintStep(const TPaintStep&) = delete;
    TPaintStep& operator=(const TPaintStep&) = delete;
    QPainter* operator->() const { return painter_; }
    explicit operator bool() const { return painter_ != nullptr; }
    QPainter& Painter() const { return *painter_; }
    void Tools(bool pen, bool brush) const
    {
        painter_->setPen(pen ? PenOf(*canvas_.Pen()) : QPen(Qt::NoPen));
        painter_->setBrush(brush ? BrushOf(*canvas_.Brush()) : QBrush(Qt::NoBrush));
    }

private:
    TCanvas& canvas_;
    QPainter* painter_;
};

}  // namespace

QPainter* BeginCanvasPaint(TCanvas& canvas)
{
    return canvas.Target() ? canvas.Target()->Begin() : nullptr;
}

void EndCanvasPaint(TCanvas& canvas)
{
    if (canvas.Target())
        canvas.Target()->End();
}

// ---------------------------------------------------------------------------------------------------------
// TCanvas

TCanvas::TCanvas() : TCanvas(std::unique_ptr<TTarget>()) {}

TCanvas::TCanvas(std::unique_ptr<TTarget> target)
    : font_(std::make_unique<TFont>()), brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()),
      target_(std::move(target))
{
}

TCanvas::~TCanvas() = default;

void TCanvas::LineTo(int x, int y)
{
    TPoint from = penPos_;
    penPos_ = Point(x, y);
    TPaintStep p(*this);
    if (!p || pen_->Style() == psClear)
        return;
    p.Tools(true, false);
    if (from.X == x && from.Y == y)
        return;
    if (pen_->Width() > 1 || pen_->Style() != psSolid) {
        p->drawLine(QPoint(from.X, from.Y), QPoint(x, y));
        return;
    }
    // A thin line covers its start and leaves out its end whichever way it runs, as on Windows.
    p->drawPoints(LinePixels(QPoint(from.X, from.Y), QPoint(x, y)));
}

void TCanvas::FillRect(const TRect& rect)
{
    TPaintStep p(*this);
    if (!p || brush_->Style() == bsClear)
        return;
    p->fillRect(ToQRect(rect), BrushOf(*brush_));
}

void TCanvas::FrameRect(const TRect& rect)
{
    TPaintStep p(*this);
    if (!p || rect.Width() <= 0 || rect.Height() <= 0)
        return;
    QColor color = ToQColor(brush_->Color());
    p->fillRect(QRect(rect.Left, rect.Top, rect.Width(), 1), color);
    p->fillRect(QRect(rect.Left, rect.Bottom - 1, rect.Width(), 1), color);
    p->fillRect(QRect(rect.Left, rect.Top, 1, rect.Height()), color);
    p->fillRect(QRect(rect.Right - 1, rect.Top, 1, rect.Height()), color);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    TPaintStep p(*this);
    if (!p)
        return;
    p.Tools(true, true);
    p->drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3)
{
    TPaintStep p(*this);
    if (!p)
        return;
    p.Tools(true, true);
    p->drawRoundedRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), x3 / 2.0, y3 / 2.0);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    TPaintStep p(*this);
    if (!p)
        return;
    p.Tools(true, true);
    p->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void TCanvas::Polygon(const std::vector<TPoint>& points)
{
    TPaintStep p(*this);
    if (!p || points.empty())
        return;
    p.Tools(true, true);
    QPolygon polygon;
    for (const TPoint& pt : points)
        polygon << QPoint(pt.X, pt.Y);
    p->drawPolygon(polygon, Qt::OddEvenFill);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text)
{
    int width = TextWidth(text);
    {
        TPaintStep p(*this);
        if (p) {
            QFont font = ToQFont(*font_);
            QFontMetrics metrics(font);
            QString q = ToQString(text);
            p->translate(x, y);
            if (font_->Orientation() != 0)
                p->rotate(-font_->Orientation() / 10.0);
            if (brush_->Style() != bsClear)
                p->fillRect(QRect(0, 0, metrics.horizontalAdvance(q), metrics.height()), ToQColor(brush_->Color()));
            p->setFont(font);
            p->setPen(ToQColor(font_->Color()));
            p->drawText(0, metrics.ascent(), q);
        }
    }
    penPos_ = Point(x + width, y);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const AnsiString& text)
{
    EnsureQtApplication();  // fonts need it
    TPaintStep p(*this);
    if (!p)
        return;
    QRect clip = ToQRect(rect);
    p->setClipRect(clip);
    if (brush_->Style() != bsClear)
        p->fillRect(clip, ToQColor(brush_->Color()));
    QFont font = ToQFont(*font_);
    QFontMetrics metrics(font);
    p->translate(x, y);
    if (font_->Orientation() != 0)
        p->rotate(-font_->Orientation() / 10.0);
    p->setFont(font);
    p->setPen(ToQColor(font_->Color()));
    p->drawText(0, metrics.ascent(), ToQString(text));
}

int TCanvas::DrawText(const AnsiString& text, TRect& rect, unsigned flags)
{
    QFont font = ToQFont(*font_);
    QFontMetrics metrics = MetricsOf(*font_);
    QString q = ToQString(text);
    int qflags = QtTextFlags(flags);
    QRect area = ToQRect(rect);
    if (flags & DT_CALCRECT) {
        // Without a width to wrap in, the text is as wide as its longest line.
        QRect bounds = metrics.boundingRect(QRect(area.left(), area.top(), (flags & DT_WORDBREAK) ? std::max(area.width(), 1) : 32767, 32767),
                                            qflags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), q);
        int height = text.empty() ? metrics.height() : bounds.height();
        rect.Right = rect.Left + (text.empty() ? 0 : bounds.width());
        rect.Bottom = rect.Top + height;
        return height;
    }
    if (flags & DT_END_ELLIPSIS)
        q = metrics.elidedText(q, Qt::ElideRight, area.width(), Qt::TextShowMnemonic);
    QRect used = metrics.boundingRect(area, qflags, q);
    TPaintStep p(*this);
    if (p) {
        if (brush_->Style() != bsClear)
            p->fillRect(used.intersected(area), ToQColor(brush_->Color()));
        p->setFont(font);
        p->setPen(ToQColor(font_->Color()));
        p->drawText(area, qflags, q);
    }
    return used.height();
}

int TCanvas::TextWidth(const AnsiString& text) const
{
    return MetricsOf(*font_).horizontalAdvance(ToQString(text));
}

int TCanvas::TextHeight(const AnsiString&) const
{
    return MetricsOf(*font_).height();
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas* source, const TRect& sourceRect)
{
    if (!source || !source->Target() || !source->Target()->Image())
        return;
    QImage image = *source->Target()->Image();  // a shared copy: drawing onto the same bitmap is safe
    TPaintStep p(*this);
    if (!p || image.isNull())
        return;
    p->drawImage(ToQRect(dest), image, ToQRect(sourceRect));
}

TColor TCanvas::Pixels(int x, int y) const
{
    const QImage* image = target_ ? target_->Image() : nullptr;
    if (!image || !image->valid(x, y))
        return clNone;
    return ColorOfRgb(image->pixel(x, y));
}

void TCanvas::SetPixels(int x, int y, TColor color)
{
    QImage* image = target_ ? target_->MutableImage() : nullptr;
    if (image) {
        if (!image->valid(x, y))
            return;
        uint32_t rgb = ColorToRGB(color);
        image->setPixel(x, y, qRgb(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
        target_->PixelsChanged();
        return;
    }
    TPaintStep p(*this);
    if (p) {
        p->setPen(ToQColor(color));
        p->drawPoint(x, y);
    }
}

TRect TCanvas::ClipRect() const
{
    return target_ ? target_->Clip() : TRect{};
}

// ---------------------------------------------------------------------------------------------------------
// Canvases of controls

namespace {

TCanvas* ControlCanvas(TControl& control, std::unique_ptr<TPersistent>& slot)
{
    if (!slot) {
        auto canvas = std::make_unique<TCanvas>(std::make_unique<TControlTarget>(control));
        canvas->Font()->Assign(control.Font());
        slot = std::move(canvas);
    }
    return static_cast<TCanvas*>(slot.get());
}

}  // namespace

TCanvas* TCustomControl::Canvas()
{
    return ControlCanvas(*this, canvas_);
}

TCanvas* TGraphicControl::Canvas()
{
    return ControlCanvas(*this, canvas_);
}

TCanvas* TCustomForm::Canvas()
{
    return ControlCanvas(*this, canvas_);
}

// ---------------------------------------------------------------------------------------------------------
// TBitmap

TBitmap::TBitmap() : impl_(std::make_unique<TImpl>()) {}

TBitmap::~TBitmap()
{
    impl_->canvas.reset();
}

bool TBitmap::Empty() const
{
    return impl_->image.isNull();
}

int TBitmap::Width() const
{
    return impl_->image.isNull() ? 0 : impl_->image.width();
}

int TBitmap::Height() const
{
    return impl_->image.isNull() ? 0 : impl_->image.height();
}

void TBitmap::SetWidth(int value)
{
    SetSize(value, Height());
}

void TBitmap::SetHeight(int value)
{
    SetSize(Width(), value);
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height())
        return;
    QImage& image = impl_->image;
    if (width == 0 || height == 0) {
        image = QImage();
    } else {
        if (uint64_t(width) * uint64_t(height) > (uint64_t(1) << 25))
            throw EInvalidGraphic("Bitmap of " + rtl::IntToStr(width) + " x " + rtl::IntToStr(height) + " is too large");
        QImage resized(width, height, QImage::Format_ARGB32);
        if (resized.isNull())
            throw EInvalidGraphic("Out of memory for a bitmap of " + rtl::IntToStr(width) + " x " + rtl::IntToStr(height));
        resized.fill(Qt::white);
        if (!image.isNull()) {
            QPainter painter(&resized);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, image);
        }
        image = resized;
    }
    PixelsChanged();
}

void TBitmap::SetPixelFormat(TPixelFormat value)
{
    if (pixelFormat_ == value)
        return;
    pixelFormat_ = value;
    PixelsChanged();
}

void TBitmap::SetTransparentMode(TTransparentMode value)
{
    if (transparentMode_ == value)
        return;
    transparentMode_ = value;
    Changed();
}

TColor TBitmap::TransparentColor() const
{
    if (transparentMode_ == tmFixed && transparentColor_ != clDefault)
        return transparentColor_;
    if (impl_->image.isNull())
        return clDefault;
    return ColorOfRgb(impl_->image.pixel(0, impl_->image.height() - 1));
}

void TBitmap::SetTransparentColor(TColor value)
{
    transparentColor_ = value;
    transparentMode_ = value == clDefault ? tmAuto : tmFixed;
    Changed();
}

TCanvas* TBitmap::Canvas()
{
    if (!impl_->canvas)
        impl_->canvas = std::make_unique<TCanvas>(std::make_unique<TBitmapTarget>(*this));
    return impl_->canvas.get();
}

void TBitmap::PixelsChanged()
{
    impl_->original.clear();
    Changed();
}

void TBitmap::Assign(const TPersistent* source)
{
    if (!source) {
        SetSize(0, 0);
        return;
    }
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        if (bitmap == this)
            return;
        impl_->image = bitmap->impl_->image;
        pixelFormat_ = bitmap->pixelFormat_;
        transparentMode_ = bitmap->transparentMode_;
        transparentColor_ = bitmap->transparentColor_;
        TGraphic::SetTransparent(bitmap->Transparent());
        Changed();
        impl_->original = bitmap->impl_->original;
        return;
    }
    if (const auto* icon = dynamic_cast<const TIcon*>(source)) {
        impl_->image = icon->Impl().image;
        pixelFormat_ = pf32bit;
        PixelsChanged();
        return;
    }
    if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        Assign(picture->Graphic());
        return;
    }
    inherited::Assign(source);
}

void TBitmap::LoadFromBytes(const uint8_t* data, size_t size)
{
    bmp::TDibImage dib = bmp::DecodeBmpFile(data, size);
    QImage image = ImageFromDib(dib);
    impl_->image = image;
    switch (dib.BitCount) {
    case 1: pixelFormat_ = pf1bit; break;
    case 4: pixelFormat_ = pf4bit; break;
    case 8: pixelFormat_ = pf8bit; break;
    case 16: pixelFormat_ = pf16bit; break;
    case 32: pixelFormat_ = pf32bit; break;
    default: pixelFormat_ = pf24bit; break;
    }
    Changed();
    impl_->original.assign(data, data + size);
}

TBinaryData TBitmap::SaveToBytes() const
{
    if (!impl_->original.empty())
        return impl_->original;
    if (impl_->image.isNull())
        return TBinaryData();
    return bmp::EncodeBmpFile(DibFromImage(impl_->image), pixelFormat_ == pf32bit ? 32 : 24);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const
{
    QImage image = GraphicImage(*this);
    TPaintStep p(canvas);
    if (!p || image.isNull())
        return;
    p->drawImage(ToQRect(rect), image);
}

QImage GraphicImage(const TGraphic& graphic)
{
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&graphic)) {
        QImage image = bitmap->Impl().image;
        if (image.isNull() || !bitmap->Transparent())
            return image;
        QRgb key = ToQColor(bitmap->TransparentColor()).rgb() & 0x00FFFFFF;
        QImage masked = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < masked.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
            for (int x = 0; x < masked.width(); ++x) {
                if ((line[x] & 0x00FFFFFF) == key)
                    line[x] = 0;
            }
        }
        return masked;
    }
    if (const auto* icon = dynamic_cast<const TIcon*>(&graphic))
        return icon->Impl().image;
    return QImage();
}

void SetBitmapImage(TBitmap& bitmap, const QImage& image)
{
    bitmap.Impl().image = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32);
    bitmap.PixelsChanged();
}

// ---------------------------------------------------------------------------------------------------------
// TIcon

TIcon::TIcon() : impl_(std::make_unique<TImpl>()) {}

TIcon::~TIcon() = default;

void TIcon::LoadFromBytes(const uint8_t* data, size_t size)
{
    std::vector<bmp::TIconEntry> entries = bmp::ReadIconDirectory(data, size);
    const bmp::TIconEntry& entry = bmp::ChooseIconEntry(entries);
    QImage image;
    if (entry.Png) {
        EnsureQtApplication();
        if (!image.loadFromData(data + entry.Offset, static_cast<int>(entry.Size), "PNG"))
            throw EInvalidGraphic("Icon image is not valid");
        image = image.convertToFormat(QImage::Format_ARGB32);
    } else {
        image = ImageFromDib(bmp::DecodeIconDib(data + entry.Offset, entry.Size));
    }
    impl_->image = image;
    width_ = image.width();
    height_ = image.height();
    bytes_.assign(data, data + size);
    Changed();
}

void TIcon::Assign(const TPersistent* source)
{
    if (!source) {
        bytes_.clear();
        impl_->image = QImage();
        width_ = height_ = 0;
        Changed();
        return;
    }
    if (const auto* icon = dynamic_cast<const TIcon*>(source)) {
        if (icon == this)
            return;
        bytes_ = icon->bytes_;
        impl_->image = icon->impl_->image;
        width_ = icon->width_;
        height_ = icon->height_;
        Changed();
        return;
    }
    if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        Assign(picture->Graphic());
        return;
    }
    inherited::Assign(source);
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) const
{
    TPaintStep p(canvas);
    if (!p || impl_->image.isNull())
        return;
    p->drawImage(ToQRect(rect), impl_->image);
}

}  // namespace vcl
