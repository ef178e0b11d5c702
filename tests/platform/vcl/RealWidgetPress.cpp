#include "tests/platform/vcl/RealWidgetPress.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include "platform/vcl/QtSeam.h"

namespace vcl::test {

bool RealWidgetShowing(const TControl& control)
{
    QWidget* widget = WidgetOf(control);
    return widget && widget->isVisible();
}

bool PressRealButton(const TControl& control)
{
    auto* button = qobject_cast<QAbstractButton*>(WidgetOf(control));
    if (!button || !button->isVisible())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

bool TypeIntoRealEdit(const TControl& control, const AnsiString& text)
{
    QWidget* widget = WidgetOf(control);
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (!edit)
        edit = widget ? widget->findChild<QLineEdit*>() : nullptr;
    if (!edit || !edit->isVisible())
        return false;
    edit->setFocus();
    QTest::keyClicks(edit, QString::fromStdString(text));
    return true;
}

}  // namespace vcl::test
