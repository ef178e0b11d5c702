#pragma once
// For tests outside the platform layer that play the person at a real window: press a control's own
// Qt button, or type into its Qt edit, as the window system would deliver the mouse and the keys.

#include "platform/vcl/Controls.h"

namespace vcl::test {

// Whether the control's Qt widget exists and is shown on the screen.
bool RealWidgetShowing(const TControl& control);
// A left click in the middle of the control's Qt button; false when it has no shown button widget.
bool PressRealButton(const TControl& control);
// Keys for each character of `text` into the control's Qt edit; false when it has no shown edit widget.
bool TypeIntoRealEdit(const TControl& control, const AnsiString& text);

}  // namespace vcl::test
