// The portable half of the graphics: pictures and their resource data, file and stream access, and the
// canvas operations built from others. Pixels and painting are in QtGraphics.cpp.
#include "platform/vcl/GraphicsCanvas.h"

#include "platform/vcl/BmpCodec.h"

namespace vcl {

namespace {

uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A graphic of a class that resources and files name.
std::unique_ptr<TGraphic> MakeGraphic(std::string_view className)
{
    if (SameIdent(className, "TBitmap"))
        return std::make_unique<TBitmap>();
    if (SameIdent(className, "TIcon"))
        return std::make_unique<TIcon>();
    throw EInvalidGraphic("Unsupported picture format " + AnsiString(className));
}

std::unique_ptr<TGraphic> CopyGraphic(const TGraphic& source)
{
    std::unique_ptr<TGraphic> copy = MakeGraphic(source.ClassName());
    copy->Assign(&source);
    return copy;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TCanvas: the operations made of others

VCL_IMPLEMENT_CLASS_NOPROPS(TCanvas)

void TCanvas::MoveTo(int x, int y)
{
    penPos_ = Point(x, y);
}

void TCanvas::Polyline(const std::vector<TPoint>& points)
{
    if (points.empty())
        return;
    TPoint saved = penPos_;
    MoveTo(points[0].X, points[0].Y);
    for (size_t i = 1; i < points.size(); ++i)
        LineTo(points[i].X, points[i].Y);
    penPos_ = saved;
}

TSize TCanvas::TextExtent(const AnsiString& text) const
{
    return TSize{TextWidth(text), TextHeight(text)};
}

void TCanvas::Draw(int x, int y, const TGraphic* graphic)
{
    if (graphic && !graphic->Empty())
        graphic->Draw(*this, Bounds(x, y, graphic->Width(), graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic* graphic)
{
    if (graphic && !graphic->Empty())
        graphic->Draw(*this, rect);
}

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width)
{
    TPen* pen = canvas->Pen();
    TColor savedColor = pen->Color();
    int savedWidth = pen->Width();
    pen->SetWidth(1);
    rect.Bottom -= 1;
    rect.Right -= 1;
    for (int i = 0; i < width; ++i) {
        pen->SetColor(topColor);
        canvas->Polyline({Point(rect.Left, rect.Bottom), Point(rect.Left, rect.Top), Point(rect.Right, rect.Top)});
        pen->SetColor(bottomColor);
        canvas->Polyline({Point(rect.Right, rect.Top), Point(rect.Right, rect.Bottom), Point(rect.Left - 1, rect.Bottom)});
        rect.Left += 1;
        rect.Top += 1;
        rect.Right -= 1;
        rect.Bottom -= 1;
    }
    rect.Bottom += 1;
    rect.Right += 1;
    pen->SetColor(savedColor);
    pen->SetWidth(savedWidth);
}

// ---------------------------------------------------------------------------------------------------------
// TGraphic

VCL_IMPLEMENT_CLASS_NOPROPS(TGraphic)

TGraphic::~TGraphic() = default;

void TGraphic::SetTransparent(bool value)
{
    if (transparent_ == value)
        return;
    transparent_ = value;
    Changed();
}

void TGraphic::Changed()
{
    modified_ = true;
    if (OnChange)
        OnChange(this);
}

void TGraphic::LoadFromFile(const AnsiString& fileName)
{
    AnsiString bytes = rtl::ReadWholeFile(fileName);
    LoadFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void TGraphic::SaveToFile(const AnsiString& fileName) const
{
    TBinaryData bytes = SaveToBytes();
    rtl::WriteWholeFile(fileName, AnsiString(bytes.begin(), bytes.end()));
}

void TGraphic::LoadFromStream(rtl::TStream& stream)
{
    int64_t count = stream.Size() - stream.Position();
    TBinaryData bytes(static_cast<size_t>(std::max<int64_t>(count, 0)));
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    LoadFromBytes(bytes.data(), bytes.size());
}

void TGraphic::SaveToStream(rtl::TStream& stream) const
{
    TBinaryData bytes = SaveToBytes();
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// ---------------------------------------------------------------------------------------------------------
// TBitmap: resource data

VCL_IMPLEMENT_CLASS(TBitmap)

void TBitmap::RegisterProperties(TClassDef<TBitmap>& def)
{
    def.Property("Data", &TBitmap::Data, &TBitmap::SetData);
}

void TBitmap::ReadData(const uint8_t* data, size_t size)
{
    if (size >= 6 && data[4] == 'B' && data[5] == 'M') {
        uint32_t length = Le32(data);
        if (length <= size - 4) {
            LoadFromBytes(data + 4, length);
            return;
        }
    }
    if (bmp::IsBmpFile(data, size)) {
        LoadFromBytes(data, size);
        return;
    }
    throw EInvalidGraphic("Bitmap image is not valid");
}

TBinaryData TBitmap::WriteData() const
{
    TBinaryData file = SaveToBytes();
    TBinaryData out(4);
    uint32_t length = static_cast<uint32_t>(file.size());
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
    out.insert(out.end(), file.begin(), file.end());
    return out;
}

void TBitmap::SetData(const TBinaryData& value)
{
    if (value.empty()) {
        SetSize(0, 0);
        return;
    }
    ReadData(value.data(), value.size());
}

// ---------------------------------------------------------------------------------------------------------
// TIcon

VCL_IMPLEMENT_CLASS(TIcon)

void TIcon::RegisterProperties(TClassDef<TIcon>& def)
{
    def.Property(
        "Data", [](const TIcon& icon) { return icon.Bytes(); },
        [](TIcon& icon, const TBinaryData& value) { icon.LoadFromBytes(value.data(), value.size()); });
}

void TIcon::SetWidth(int)
{
    throw EInvalidGraphic("Cannot change the size of an icon");
}

void TIcon::SetHeight(int)
{
    throw EInvalidGraphic("Cannot change the size of an icon");
}

// ---------------------------------------------------------------------------------------------------------
// TPicture

VCL_IMPLEMENT_CLASS(TPicture)

void TPicture::RegisterProperties(TClassDef<TPicture>& def)
{
    def.Property("Data", &TPicture::Data, &TPicture::SetData);
}

TPicture::TPicture() = default;

TPicture::~TPicture()
{
    if (graphic_)
        graphic_->OnChange = nullptr;
}

void TPicture::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic)
{
    if (graphic_)
        graphic_->OnChange = nullptr;
    graphic_ = std::move(graphic);
    if (graphic_)
        graphic_->OnChange = [this](TObject*) { Changed(); };
    Changed();
}

void TPicture::SetGraphic(const TGraphic* value)
{
    if (value == graphic_.get())
        return;
    Take(value ? CopyGraphic(*value) : nullptr);
}

TBitmap* TPicture::Bitmap()
{
    if (!dynamic_cast<TBitmap*>(graphic_.get()))
        Take(std::make_unique<TBitmap>());
    return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::Icon()
{
    if (!dynamic_cast<TIcon*>(graphic_.get()))
        Take(std::make_unique<TIcon>());
    return static_cast<TIcon*>(graphic_.get());
}

void TPicture::LoadFromFile(const AnsiString& fileName)
{
    AnsiString ext = rtl::LowerCase(rtl::ExtractFileExt(fileName));
    std::unique_ptr<TGraphic> graphic;
    if (ext == ".bmp")
        graphic = std::make_unique<TBitmap>();
    else if (ext == ".ico")
        graphic = std::make_unique<TIcon>();
    else
        throw EInvalidGraphic("Unknown picture file extension (" + (ext.empty() ? AnsiString(".") : ext) + ")");
    graphic->LoadFromFile(fileName);
    Take(std::move(graphic));
}

void TPicture::SaveToFile(const AnsiString& fileName) const
{
    if (graphic_)
        graphic_->SaveToFile(fileName);
}

void TPicture::Assign(const TPersistent* source)
{
    if (!source) {
        Take(nullptr);
        return;
    }
    if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        if (picture != this)
            Take(picture->graphic_ ? CopyGraphic(*picture->graphic_) : nullptr);
        return;
    }
    if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
        SetGraphic(graphic);
        return;
    }
    inherited::Assign(source);
}

void TPicture::AssignTo(TPersistent* dest) const
{
    if (auto* graphic = dynamic_cast<TGraphic*>(dest); graphic && graphic_) {
        graphic->Assign(graphic_.get());
        return;
    }
    inherited::AssignTo(dest);
}

TBinaryData TPicture::Data() const
{
    if (!graphic_ || graphic_->Empty())
        return TBinaryData();
    AnsiString name = graphic_->ClassName();
    TBinaryData out;
    out.push_back(static_cast<uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    TBinaryData data = graphic_->WriteData();
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

void TPicture::SetData(const TBinaryData& value)
{
    if (value.empty()) {
        Take(nullptr);
        return;
    }
    const uint8_t* data = value.data();
    size_t size = value.size();
    std::unique_ptr<TGraphic> graphic;
    if (bmp::IsBmpFile(data, size)) {
        graphic = std::make_unique<TBitmap>();
        graphic->LoadFromBytes(data, size);
    } else if (bmp::IsIconFile(data, size)) {
        graphic = std::make_unique<TIcon>();
        graphic->LoadFromBytes(data, size);
    } else {
        size_t length = data[0];
        if (length == 0 || 1 + length > size)
            throw EInvalidGraphic("Bitmap image is not valid");
        std::string_view name(reinterpret_cast<const char*>(data + 1), length);
        if (!IsValidIdent(name))
            throw EInvalidGraphic("Bitmap image is not valid");
        graphic = MakeGraphic(name);
        graphic->ReadData(data + 1 + length, size - 1 - length);
    }
    Take(std::move(graphic));
}

void RegisterPictureClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    RegisterClasses({&TCanvas::StaticClass(), &TGraphic::StaticClass(), &TBitmap::StaticClass(), &TIcon::StaticClass(),
                     &TPicture::StaticClass()});
}

}  // namespace vcl
