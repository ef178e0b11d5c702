#pragma once
// Checks of a window's layout that a person would see at once: nothing cut off at the window's edge, and
// no caption hidden under the field beside it (label widths come from the real font, as the window shows
// them).

#include <gtest/gtest.h>

#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

// Every control lies wholly inside its parent's client area, and no label overlaps another control of
// its parent; the same inside every container.
inline void ExpectLaidOutWhole(const vcl::TWinControl& parent)
{
    for (int i = 0; i < parent.ControlCount(); ++i) {
        const vcl::TControl* c = parent.Controls(i);
        EXPECT_TRUE(c->Left() >= 0 && c->Top() >= 0 && c->Left() + c->Width() <= parent.ClientWidth() &&
                    c->Top() + c->Height() <= parent.ClientHeight())
            << c->Name() << " leaves " << parent.Name();
        if (dynamic_cast<const vcl::TCustomLabel*>(c) && c->Visible()) {
            for (int j = 0; j < parent.ControlCount(); ++j) {
                const vcl::TControl* other = parent.Controls(j);
                const vcl::TRect a = c->BoundsRect(), b = other->BoundsRect();
                const bool overlap = a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
                EXPECT_FALSE(other != c && other->Visible() && overlap)
                    << c->Name() << " '" << c->Text() << "' runs under " << other->Name() << " in " << parent.Name();
            }
        }
        if (auto* inner = dynamic_cast<const vcl::TWinControl*>(c))
            ExpectLaidOutWhole(*inner);
    }
}
