// The test driver's look at a window as a person reads it: texts that their controls cut short.
#include "platform/vcl/TestDriver.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/GraphicsCanvas.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/StdCtrls.h"

namespace vcl::test {

namespace {

AnsiString Size(int width, int height)
{
    return rtl::IntToStr(width) + " x " + rtl::IntToStr(height);
}

// A label needs what its own drawing would take: the same flags, wrapped at its width when it wraps.
AnsiString LabelCut(const TCustomLabel& label, TCanvas& canvas)
{
    TRect need = Rect(0, 0, label.Width(), label.Height());
    if (!label.WordWrap())
        need.Right = 32767;
    unsigned flags = DT_EXPANDTABS | DT_CALCRECT | (label.WordWrap() ? DT_WORDBREAK : 0u);
    if (!label.ShowAccelChar())
        flags |= DT_NOPREFIX;
    canvas.Font()->Assign(label.Font());
    canvas.DrawText(label.Caption(), need, flags);
    if (need.Width() <= label.Width() && need.Height() <= label.Height())
        return {};
    return "needs " + Size(need.Width(), need.Height()) + " in " + Size(label.Width(), label.Height());
}

// Buttons and boxes leave their text the room the style gives it, beside the icon or the check mark.
AnsiString ButtonCut(QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(&button))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<QRadioButton*>(&button))
        contents = QStyle::SE_RadioButtonContents;
    const QRect room = button.style()->subElementRect(contents, &option, &button);
    const QSize text = QFontMetrics(button.font()).size(Qt::TextShowMnemonic, button.text());
    int width = text.width();
    if (contents == QStyle::SE_PushButtonContents && !button.icon().isNull())
        width += button.iconSize().width() + 4;  // the style's gap between icon and text
    if (width <= room.width() && text.height() <= room.height())
        return {};
    return "needs " + Size(width, text.height()) + " in " + Size(room.width(), room.height());
}

// Group boxes and panels draw their captions themselves: a group box from 8 pixels in, a panel inside
// its bevels and border.
AnsiString CaptionCut(const TControl& control, int room, TCanvas& canvas)
{
    canvas.Font()->Assign(control.Font());
    TRect need = Rect(0, 0, 32767, 32767);
    canvas.DrawText(control.Caption(), need, DT_CALCRECT | DT_SINGLELINE);
    if (need.Width() <= room && need.Height() <= control.Height())
        return {};
    return "needs " + Size(need.Width(), need.Height()) + " in " + Size(room, control.Height());
}

void CollectCutTexts(const TWinControl& parent, TCanvas& canvas, std::vector<AnsiString>& cut)
{
    for (int i = 0; i < parent.ControlCount(); ++i) {
        const TControl* c = parent.Controls(i);
        if (!c->Visible())
            continue;
        const AnsiString& text = c->Caption();
        AnsiString why;
        if (text.empty()) {
        } else if (c->Left() < 0 || c->Top() < 0 || c->Left() + c->Width() > parent.ClientWidth() ||
                   c->Top() + c->Height() > parent.ClientHeight()) {
            why = "leaves " + parent.Name();
        } else if (auto* label = dynamic_cast<const TCustomLabel*>(c)) {
            why = LabelCut(*label, canvas);
        } else if (auto* group = dynamic_cast<const TGroupBox*>(c)) {
            why = CaptionCut(*group, group->Width() - 2 * 8, canvas);
        } else if (auto* panel = dynamic_cast<const TCustomPanel*>(c)) {
            const int bevels = (panel->BevelOuter() != bvNone) + (panel->BevelInner() != bvNone);
            why = CaptionCut(*panel, panel->Width() - 2 * (bevels * panel->BevelWidth() + panel->BorderWidth()), canvas);
        } else if (auto* button = qobject_cast<QAbstractButton*>(WidgetOf(*c))) {
            why = ButtonCut(*button);
        }
        if (!why.empty())
            cut.push_back(parent.Name() + "." + c->Name() + " '" + text + "' " + why);
        if (auto* inner = dynamic_cast<const TWinControl*>(c))
            CollectCutTexts(*inner, canvas, cut);
    }
}

}  // namespace

std::vector<AnsiString> CutTexts(TWinControl& root)
{
    EnsureQtApplication();
    root.HandleNeeded();
    TBitmap measure;
    std::vector<AnsiString> cut;
    CollectCutTexts(root, *measure.Canvas(), cut);
    return cut;
}

}  // namespace vcl::test
