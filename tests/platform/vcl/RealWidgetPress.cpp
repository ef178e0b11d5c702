#include "tests/platform/vcl/RealWidgetPress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
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

AnsiString RealEditText(const TControl& control)
{
    QWidget* widget = WidgetOf(control);
    if (auto* memo = qobject_cast<QPlainTextEdit*>(widget))
        return FromQString(memo->toPlainText());
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return FromQString(edit->text());
    return AnsiString();
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

bool RequestRealClose(const TControl& form)
{
    QWidget* widget = WidgetOf(form);
    if (!widget)
        return false;
    QCloseEvent close;
    QCoreApplication::sendEvent(widget->window(), &close);
    QCoreApplication::processEvents();
    return true;
}

bool ActivateRealWindow(const TControl& form, const TControl* notFocused)
{
    QWidget* widget = WidgetOf(form);
    if (!widget)
        return false;
    QApplication::setActiveWindow(widget->window());
    QCoreApplication::processEvents();
    return !notFocused || QApplication::focusWidget() != WidgetOf(*notFocused);
}

bool PressRealKey(const TControl& form, TRealKey key)
{
    QWidget* widget = WidgetOf(form);
    if (!widget)
        return false;
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : widget->window();
    QTest::keyClick(target, key == TRealKey::Return ? Qt::Key_Return
                            : key == TRealKey::Space ? Qt::Key_Space
                                                     : Qt::Key_Escape);
    return true;
}

}  // namespace vcl::test
