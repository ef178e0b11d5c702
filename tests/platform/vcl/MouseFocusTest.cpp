// The keyboard focus under clicks as the window system delivers them (spontaneous mouse events, where the
// toolkit hands a click's focus on to a parent that takes focus by click).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class MouseFocusTest : public ControlsTest {};

template <class W>
W* OnlyWidget()
{
    W* found = nullptr;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* typed = qobject_cast<W*>(widget)) {
            EXPECT_EQ(found, nullptr) << "more than one";
            found = typed;
        }
    }
    return found;
}

}  // namespace

// Typing goes on where it went after a click on a bold or alignment button of a tool bar panel.
TEST_F(MouseFocusTest, AClickOnAFlatToolButtonLeavesTheFocusWhereItWas)
{
    TForm* form = LoadForm(R"(object frmTools: TForm
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 100
  object pnlTools: TPanel
    Height = 27
    Align = alTop
    object btnBold: TSpeedButton
      Left = 4
      Top = 2
      Width = 23
      Height = 23
      Flat = True
      Caption = 'B'
    end
  end
  object edtText: TEdit
    Left = 8
    Top = 40
    Width = 200
    Height = 21
  end
end)");
    form->Show();
    auto& edit = vt::Find<TEdit>(*form, "edtText");
    auto& bold = vt::Find<TSpeedButton>(*form, "btnBold");
    int clicks = 0;
    bold.OnClick = [&](TObject*) { ++clicks; };
    QLineEdit* line = OnlyWidget<QLineEdit>();
    QToolButton* button = OnlyWidget<QToolButton>();
    ASSERT_TRUE(line && button);
    line->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(line->window()));
    edit.SetFocus();
    vt::ProcessMessages();
    ASSERT_EQ(QApplication::focusWidget(), line);

    QTest::mouseClick(button, Qt::LeftButton);
    vt::ProcessMessages();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(QApplication::focusWidget(), line);
    EXPECT_TRUE(edit.Focused());
    QTest::keyClicks(QApplication::focusWidget(), "ab");
    EXPECT_EQ(edit.Text(), "ab");

    // The panel itself still takes the focus when code gives it.
    vt::Find<TPanel>(*form, "pnlTools").SetFocus();
    vt::ProcessMessages();
    EXPECT_NE(QApplication::focusWidget(), line);
}
