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

// The text the control's Qt edit (one line or several) shows, lines ended by "\n" as the widget keeps
// them; empty when it has no such widget.
AnsiString RealEditText(const TControl& control);

// The window system's close request (the close box, Alt+F4) to the Qt window of the form.
bool RequestRealClose(const TControl& form);
// Makes the form's Qt window the active one; true when the keyboard focus is then on some other control
// than `notFocused` (when given).
bool ActivateRealWindow(const TControl& form, const TControl* notFocused = nullptr);
enum class TRealKey { Return, Space, Escape };
// The key, pressed and released, to whatever has the focus in the form's Qt window (or the window itself).
bool PressRealKey(const TControl& form, TRealKey key);

}  // namespace vcl::test
