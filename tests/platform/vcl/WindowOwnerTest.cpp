// What a window manager is told of our windows: a modal form belongs to the form it was opened over, so
// the manager keeps it above that one.
#include <gtest/gtest.h>

#include <QWidget>
#include <QWindow>

#include "platform/vcl/QtSeam.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class WindowOwnerTest : public ControlsTest {};

const char* const Window = R"(object %s: TForm
  Caption = '%s'
  ClientWidth = 200
  ClientHeight = 100
end)";

std::string WindowText(const char* name)
{
    char text[256];
    std::snprintf(text, sizeof text, Window, name, name);
    return text;
}

QWindow* NativeOf(TCustomForm& form)
{
    QWidget* widget = WidgetOf(form);
    return widget ? widget->window()->windowHandle() : nullptr;
}

}  // namespace

TEST_F(WindowOwnerTest, AModalFormIsADialogOfTheFormItWasOpenedOver)
{
    TForm* backdrop = LoadForm(WindowText("frmBackdrop"));
    backdrop->Show();
    TForm* wizard = LoadForm(WindowText("frmWizard"));
    QWindow* owner = nullptr;
    Qt::WindowType type = Qt::Widget;
    vt::OnNextModal([&](TCustomForm& form) {
        if (QWindow* native = NativeOf(form)) {
            owner = native->transientParent();
            type = native->type();
        }
        form.SetModalResult(mrOk);
    });
    wizard->ShowModal();
    ASSERT_NE(NativeOf(*backdrop), nullptr);
    EXPECT_EQ(owner, NativeOf(*backdrop));
    EXPECT_EQ(type, Qt::Dialog);

    // A form shown without ShowModal stays a window of its own.
    TForm* loose = LoadForm(WindowText("frmLoose"));
    loose->Show();
    ASSERT_NE(NativeOf(*loose), nullptr);
    EXPECT_EQ(NativeOf(*loose)->transientParent(), nullptr);
}
