#pragma once
// For the Qt implementation files of platform/vcl only (never include it from a header or from outside
// this folder): peers and pictures the standard controls' Qt files share. It names Qt classes by forward
// declaration alone.

#include <memory>

#include "platform/vcl/QtSeam.h"

class QIcon;

namespace vcl {

class TBitmap;

// A widget that the control paints (PaintRequested) itself; without `opaque` the parent shows through
// wherever the control paints nothing.
std::unique_ptr<TWidgetPeer> MakePaintedPeer(TControl& control, bool opaque, bool focusable = false);

// The icon of a glyph of `numGlyphs` images side by side (up, disabled, ...); its bottom-left pixel's
// colour is transparent. A null icon for an empty glyph.
QIcon GlyphIcon(const TBitmap& glyph, int numGlyphs);

}  // namespace vcl
