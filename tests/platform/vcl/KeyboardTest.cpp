// Keys as a person presses them on a form: label accelerators, and the Tab chain and mnemonics of forms
// stacked inside another window (the pages of a wizard).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <vector>

#include "platform/vcl/QtSeam.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class KeyboardTest : public ControlsTest {};

const char* const LabelledForm = R"(object frmLabels: TForm
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 200
  object lblName: TLabel
    Left = 8
    Top = 8
    Caption = '&Name'
    FocusControl = edtName
  end
  object edtName: TEdit
    Left = 8
    Top = 24
    Width = 200
    Height = 21
  end
  object lblPlain: TLabel
    Left = 8
    Top = 56
    Caption = 'Salt && &Pepper'
    FocusControl = edtPlain
  end
  object edtPlain: TEdit
    Left = 8
    Top = 72
    Width = 200
    Height = 21
  end
  object lblHidden: TLabel
    Left = 8
    Top = 104
    Caption = '&Hidden'
    FocusControl = edtPlain
    Visible = False
  end
  object lblLoose: TLabel
    Left = 8
    Top = 120
    Caption = '&Loose'
  end
  object lblRaw: TLabel
    Left = 8
    Top = 136
    Caption = '&Raw'
    ShowAccelChar = False
    FocusControl = edtPlain
  end
  object edtStart: TEdit
    Left = 8
    Top = 160
    Width = 200
    Height = 21
  end
end)";

// The widgets the focus passes in one Tab cycle from `start`, `start` left out.
std::vector<QWidget*> TabCycle(QWidget* start)
{
    std::vector<QWidget*> seen;
    QWidget* current = start;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(current, Qt::Key_Tab);
        vt::ProcessMessages();
        current = QApplication::focusWidget();
        if (!current || current == start)
            break;
        seen.push_back(current);
    }
    return seen;
}

}  // namespace

TEST_F(KeyboardTest, AltAndALabelsAcceleratorFocusesItsControl)
{
    TForm* form = LoadForm(LabelledForm);
    form->Show();
    auto& start = vt::Find<TEdit>(*form, "edtStart");
    auto& name = vt::Find<TEdit>(*form, "edtName");
    auto& plain = vt::Find<TEdit>(*form, "edtPlain");

    vt::PressKey(start, 'N', TShiftState{ssAlt});
    EXPECT_EQ(form->FocusedControl(), &name);
    // "&&" is an ampersand; the accelerator is the letter after the lone one.
    vt::PressKey(start, 'P', TShiftState{ssAlt});
    EXPECT_EQ(form->FocusedControl(), &plain);
    vt::PressKey(start, 'S', TShiftState{ssAlt});
    EXPECT_EQ(form->FocusedControl(), &start);

    // A hidden label, one without a control, one that shows no accelerator, and the letter without Alt
    // or with Ctrl too: the focus stays.
    for (uint16_t key : {'H', 'L', 'R'}) {
        vt::PressKey(start, key, TShiftState{ssAlt});
        EXPECT_EQ(form->FocusedControl(), &start) << char(key);
    }
    vt::PressKey(start, 'N', TShiftState{ssAlt, ssCtrl});
    EXPECT_EQ(form->FocusedControl(), &start);
    vt::PressKey(start, 'N');
    EXPECT_EQ(form->FocusedControl(), &start);

    // A control that cannot take the focus is left alone.
    name.SetEnabled(false);
    vt::PressKey(start, 'N', TShiftState{ssAlt});
    EXPECT_EQ(form->FocusedControl(), &start);
}

// A page made a child window of its owner form, as the wizard's pages are.
class TPage : public TForm {
public:
    explicit TPage(TComponent* owner) : TForm(owner)
    {
        SetBorderStyle(bsNone);
        auto* label = new TLabel(this);
        label->SetParent(this);
        label->SetBounds(8, 8, 100, 14);
        label->SetCaption("&Name");
        for (int i = 0; i < 3; ++i) {
            auto* edit = new TEdit(this);
            edit->SetParent(this);
            edit->SetBounds(8, 24 + 30 * i, 200, 21);
            Edits.push_back(edit);
        }
        label->SetFocusControl(Edits[1]);
    }
    void CreateParams(TCreateParams& params) override
    {
        TForm::CreateParams(params);
        if (auto* owner = dynamic_cast<TCustomForm*>(Owner())) {
            params.WndParent = owner->Handle();
            params.Style = WS_CHILD | WS_CLIPSIBLINGS;
            params.X = params.Y = 0;
        }
    }
    std::vector<TEdit*> Edits;
};

// Two pages stacked in one host window, both shown: only the front one is in the Tab chain, and its
// accelerators are the only ones that answer.
TEST_F(KeyboardTest, OnlyTheFrontFormOfAStackTakesKeys)
{
    TForm* host = LoadForm(R"(object frmHost: TForm
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 200
end)");
    auto* back = new TPage(host);
    auto* front = new TPage(host);
    for (TPage* page : {back, front}) {
        page->HandleNeeded();
        page->SetBounds(0, 0, 300, 200);
        page->Show();
    }
    host->Show();
    back->BringToFront();
    front->BringToFront();
    vt::ProcessMessages();

    front->Edits[0]->SetFocus();
    vt::ProcessMessages();
    QWidget* start = QApplication::focusWidget();
    ASSERT_NE(start, nullptr);
    QWidget* backWindow = WidgetOf(*back);
    const std::vector<QWidget*> cycle = TabCycle(start);
    EXPECT_EQ(cycle.size(), 2u);  // the front page's other two edits
    for (QWidget* stop : cycle)
        EXPECT_FALSE(backWindow->isAncestorOf(stop));

    vt::PressKey(*front->Edits[0], 'N', TShiftState{ssAlt});
    EXPECT_EQ(front->FocusedControl(), front->Edits[1]);

    // The back page brought to the front takes the keys in its turn.
    back->BringToFront();
    vt::ProcessMessages();
    QWidget* frontWindow = WidgetOf(*front);
    back->Edits[0]->SetFocus();
    vt::ProcessMessages();
    const std::vector<QWidget*> second = TabCycle(QApplication::focusWidget());
    EXPECT_EQ(second.size(), 2u);
    for (QWidget* stop : second)
        EXPECT_FALSE(frontWindow->isAncestorOf(stop));
}
