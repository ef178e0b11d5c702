// The pixel work of image lists: cutting a bitmap into images, making them transparent, and the strip
// of all images that a resource carries.
#include <QImage>
#include <QPainter>

#include "platform/vcl/Controls.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/QtImages.h"
#include "platform/vcl/QtSeam.h"

namespace vcl {

std::vector<std::unique_ptr<TBitmap>> TImageList::Pieces(const TBitmap* image, const TBitmap* mask, bool byColor,
                                                         TColor maskColor) const
{
    if (!image || image->Empty())
        throw EInvalidOperation("Cannot add an empty image to an image list");
    QImage source = GraphicImage(*image).convertToFormat(QImage::Format_ARGB32);
    QImage maskImage = mask && !mask->Empty() ? GraphicImage(*mask).convertToFormat(QImage::Format_ARGB32) : QImage();
    QRgb key = 0;
    if (byColor) {
        key = maskColor == clDefault ? source.pixel(0, source.height() - 1) : ToQColor(maskColor).rgb();
        key &= 0x00FFFFFF;
    }
    int count = std::max(1, source.width() / width_);
    std::vector<std::unique_ptr<TBitmap>> pieces;
    for (int i = 0; i < count; ++i) {
        QImage piece(width_, height_, QImage::Format_ARGB32);
        piece.fill(Qt::transparent);
        {
            QPainter painter(&piece);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, source, i * width_, 0, width_, height_);
        }
        for (int y = 0; y < height_; ++y) {
            auto* line = reinterpret_cast<QRgb*>(piece.scanLine(y));
            for (int x = 0; x < width_; ++x) {
                bool clear = byColor && (line[x] & 0x00FFFFFF) == key;
                if (!maskImage.isNull() && maskImage.valid(i * width_ + x, y))
                    clear = clear || (maskImage.pixel(i * width_ + x, y) & 0x00FFFFFF) == 0x00FFFFFF;
                if (clear)
                    line[x] = 0;
            }
        }
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetPixelFormat(pf32bit);
        SetBitmapImage(*bitmap, piece);
        pieces.push_back(std::move(bitmap));
    }
    return pieces;
}

TBinaryData TImageList::Bitmap() const
{
    if (images_.empty())
        return TBinaryData();
    QImage strip(width_ * Count(), height_, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    {
        QPainter painter(&strip);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (int i = 0; i < Count(); ++i)
            painter.drawImage(i * width_, 0, GraphicImage(*images_[static_cast<size_t>(i)]));
    }
    return bmp::EncodeBmpFile(DibFromImage(strip), 32);
}

void TImageList::SetBitmap(const TBinaryData& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    TBitmap strip;
    strip.LoadFromBytes(value.data(), value.size());
    auto pieces = Pieces(&strip, nullptr, false, clDefault);
    images_ = std::move(pieces);
    Changed();
}

}  // namespace vcl
