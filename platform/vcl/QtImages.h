#pragma once
// For the Qt implementation files of platform/vcl only (never include it from a header or from outside
// this folder): graphics as Qt images, and the painter behind a canvas. It names Qt classes by forward
// declaration alone; include the Qt headers you use in your .cpp file.

#include "platform/vcl/BmpCodec.h"
#include "platform/vcl/GraphicsCanvas.h"

class QImage;
class QPainter;

namespace vcl {

// The graphic's pixels as an ARGB32 image (a null image for an empty graphic); a transparent bitmap has
// its transparent colour turned into alpha 0.
QImage GraphicImage(const TGraphic& graphic);
// A bitmap made from an image (the pixels are copied).
void SetBitmapImage(TBitmap& bitmap, const QImage& image);
// Decoded pixels and images, both ways.
QImage ImageFromDib(const bmp::TDibImage& dib);
bmp::TDibImage DibFromImage(const QImage& image);

// A painter for one drawing step on the canvas, with nothing set up, and its end; null when the canvas
// draws nowhere right now. Every BeginCanvasPaint that gave a painter is matched by EndCanvasPaint.
QPainter* BeginCanvasPaint(TCanvas& canvas);
void EndCanvasPaint(TCanvas& canvas);

}  // namespace vcl
