// Labels, buttons, edits, memos, check boxes, radio buttons, combo and list boxes, group boxes, bitmap
// and speed buttons: read from resources, driven from code and by the test driver as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class StdCtrlsTest : public ControlsTest {};

const char* const kStandardForm = R"(object frmStd: TForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  ClientWidth = 400
  ClientHeight = 300
  object lblName: TLabel
    Left = 8
    Top = 8
    Caption = '&Name:'
    Alignment = taRightJustify
    AutoSize = False
    Width = 60
    FocusControl = edtName
    Layout = tlCenter
    Transparent = True
    WordWrap = True
  end
  object edtName: TEdit
    Left = 72
    Top = 8
    Text = 'abc'
    MaxLength = 20
    CharCase = ecUpperCase
    PasswordChar = '*'
    ReadOnly = True
  end
  object mmoNotes: TMemo
    Left = 8
    Top = 40
    Lines.Strings = (
      'first'
      'second')
    ScrollBars = ssVertical
    WantReturns = False
    WordWrap = False
  end
  object chkGray: TCheckBox
    Left = 200
    Top = 40
    Caption = 'Gray'
    AllowGrayed = True
    State = cbGrayed
  end
  object rbA: TRadioButton
    Left = 200
    Top = 60
    Caption = 'A'
    Checked = True
  end
  object cboKind: TComboBox
    Left = 200
    Top = 90
    Style = csDropDownList
    ItemIndex = 1
    Items.Strings = (
      'zero'
      'one'
      'two')
  end
  object lstPages: TListBox
    Left = 8
    Top = 140
    Items.Strings = (
      'b'
      'a')
    Sorted = True
    MultiSelect = True
    ItemHeight = 16
  end
  object grpBox: TGroupBox
    Left = 200
    Top = 140
    Caption = 'Group'
    object chkInside: TCheckBox
      Left = 8
      Top = 20
      Caption = 'Inside'
    end
  end
  object btnOK: TButton
    Left = 300
    Top = 260
    Caption = '&OK'
    Default = True
    ModalResult = 1
  end
  object btnClose: TBitBtn
    Left = 200
    Top = 260
    Kind = bkCancel
  end
  object sbBold: TSpeedButton
    Left = 8
    Top = 260
    Flat = True
    GroupIndex = 1
    Down = True
    AllowAllUp = True
  end
end
)";

template <class T>
T* Find(TComponent* root, const char* name)
{
    T* found = dynamic_cast<T*>(root->FindComponent(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST_F(StdCtrlsTest, ControlsReadFromAResourceAndWriteBackTheSame)
{
    TForm* form = LoadForm(kStandardForm);
    auto* lbl = Find<TLabel>(form, "lblName");
    auto* edt = Find<TEdit>(form, "edtName");
    EXPECT_EQ(lbl->Caption(), "&Name:");
    EXPECT_EQ(lbl->Alignment(), taRightJustify);
    EXPECT_FALSE(lbl->AutoSize());
    EXPECT_EQ(lbl->Width(), 60);
    EXPECT_EQ(lbl->FocusControl(), edt);
    EXPECT_EQ(lbl->Layout(), tlCenter);
    EXPECT_TRUE(lbl->Transparent() && lbl->WordWrap() && lbl->ParentColor());
    EXPECT_EQ(edt->Text(), "ABC");  // the case rule applies to the text read
    EXPECT_EQ(edt->MaxLength(), 20);
    EXPECT_EQ(edt->PasswordChar(), '*');
    EXPECT_TRUE(edt->ReadOnly());
    EXPECT_EQ(edt->Color(), clWindow);
    auto* mmo = Find<TMemo>(form, "mmoNotes");
    EXPECT_EQ(mmo->Lines()->Count(), 2);
    EXPECT_EQ(mmo->Text(), "first\r\nsecond\r\n");
    EXPECT_EQ(mmo->ScrollBars(), ssVertical);
    EXPECT_FALSE(mmo->WantReturns() || mmo->WordWrap());
    auto* chk = Find<TCheckBox>(form, "chkGray");
    EXPECT_EQ(chk->State(), cbGrayed);
    EXPECT_FALSE(chk->Checked());
    EXPECT_TRUE(Find<TRadioButton>(form, "rbA")->Checked());
    auto* cbo = Find<TComboBox>(form, "cboKind");
    EXPECT_EQ(cbo->ItemIndex(), 1);  // given before its items, applied once they are there
    EXPECT_EQ(cbo->Text(), "one");
    EXPECT_EQ(cbo->Style(), csDropDownList);
    auto* lst = Find<TListBox>(form, "lstPages");
    EXPECT_EQ(lst->Items()->CommaText(), "a,b");  // sorted
    EXPECT_TRUE(lst->MultiSelect());
    EXPECT_EQ(lst->ItemHeight(), 16);
    auto* inside = Find<TCheckBox>(form, "chkInside");
    EXPECT_EQ(inside->Parent(), Find<TGroupBox>(form, "grpBox"));
    auto* ok = Find<TButton>(form, "btnOK");
    EXPECT_TRUE(ok->Default());
    EXPECT_EQ(ok->ModalResult(), mrOk);
    EXPECT_TRUE(ok->TabStop());
    auto* close = Find<TBitBtn>(form, "btnClose");
    EXPECT_EQ(close->Caption(), "Cancel");  // from the kind
    EXPECT_EQ(close->ModalResult(), mrCancel);
    EXPECT_TRUE(close->Cancel());
    auto* sb = Find<TSpeedButton>(form, "sbBold");
    EXPECT_TRUE(sb->Flat() && sb->Down() && sb->AllowAllUp());

    // The writer leaves out what the defaults and the kind give, and reading its text gives it again.
    AnsiString written = WriteComponentResource(*form);
    EXPECT_EQ(written.find("Caption = 'Cancel'"), AnsiString::npos);
    EXPECT_EQ(written.find("ParentColor"), AnsiString::npos);
    auto* copy = new TForm(Application);
    ReadRootComponent(copy, written, "Written.frm");
    AnsiString again = WriteComponentResource(*copy);
    EXPECT_EQ(again.substr(again.find('\n')), written.substr(written.find('\n')));  // the name aside (frmStd_1)
}

TEST_F(StdCtrlsTest, ListBoxKeepsObjectsAndFiresOnClickOnlyForTheUser)
{
    TForm* form = ShownForm();
    auto* lst = new TListBox(form);
    lst->SetParent(form);
    lst->SetBounds(10, 10, 150, 200);
    TObject a, b, c;
    lst->Items()->AddObject("alpha", &a);
    lst->Items()->AddObject("beta", &b);
    lst->Items()->AddObject("gamma", &c);
    int clicks = 0;
    lst->OnClick = [&](TObject*) { ++clicks; };

    lst->SetItemIndex(1);
    EXPECT_EQ(clicks, 0);  // from code: no click
    EXPECT_EQ(lst->Items()->Objects(lst->ItemIndex()), &b);
    EXPECT_TRUE(lst->Selected(1));
    lst->SetItemIndex(7);  // out of range selects nothing
    EXPECT_EQ(lst->ItemIndex(), -1);

    vt::SelectItem(*lst, "gamma");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(lst->ItemIndex(), 2);

    // A real click on the first row, through the widget.
    TRect row = lst->ItemRect(0);
    vt::MouseClick(*lst, 20, row.Top + lst->ItemHeight() / 2 + 2);
    EXPECT_EQ(lst->ItemIndex(), 0);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(lst->ItemAtPos(Point(20, row.Top + lst->ItemHeight() / 2 + 2), true), 0);
    EXPECT_EQ(lst->ItemAtPos(Point(20, 190), true), -1);  // below the last item
    EXPECT_EQ(lst->ItemAtPos(Point(20, 190), false), 3);

    // Items going and coming keep the selection on its item.
    lst->Items()->Insert(0, "first");
    EXPECT_EQ(lst->ItemIndex(), 1);
    EXPECT_EQ(lst->Items()->Strings(lst->ItemIndex()), "alpha");
    lst->Items()->Delete(1);
    EXPECT_EQ(lst->ItemIndex(), -1);
    lst->Items()->Clear();
    EXPECT_EQ(lst->Items()->Count(), 0);
    EXPECT_EQ(clicks, 2);
}

TEST_F(StdCtrlsTest, ListBoxEndAndHomeWithNothingChosenGoToTheLastAndFirstRow)
{
    TForm* form = ShownForm();
    auto* lst = new TListBox(form);
    lst->SetParent(form);
    lst->SetBounds(10, 10, 150, 200);
    lst->Items()->SetCommaText("one,two,three");
    int clicks = 0;
    lst->OnClick = [&](TObject*) { ++clicks; };
    ASSERT_EQ(lst->ItemIndex(), -1);
    vt::PressKey(*lst, VK_END);
    EXPECT_EQ(lst->ItemIndex(), 2);
    EXPECT_EQ(clicks, 1);
    lst->SetItemIndex(-1);
    vt::PressKey(*lst, VK_HOME);
    EXPECT_EQ(lst->ItemIndex(), 0);
    vt::PressKey(*lst, VK_END);
    EXPECT_EQ(lst->ItemIndex(), 2);
}

TEST_F(StdCtrlsTest, ListBoxSortsAndSelectsMany)
{
    auto* form = new TForm(Application);  // no window: the state alone
    auto* lst = new TListBox(form);
    lst->SetParent(form);
    lst->SetSorted(true);
    lst->Items()->Add("pear");
    lst->Items()->Add("Apple");
    EXPECT_EQ(lst->Items()->Add("banana"), 1);  // where it sorts to, without regard to case
    EXPECT_EQ(lst->Items()->CommaText(), "Apple,banana,pear");
    EXPECT_EQ(lst->ItemAtPos(Point(5, lst->ItemHeight() + 1), true), 1);  // rows without a widget

    lst->SetMultiSelect(true);
    lst->SetSelected(0, true);
    lst->SetSelected(2, true);
    EXPECT_EQ(lst->SelCount(), 2);
    EXPECT_FALSE(lst->Selected(1));
    EXPECT_THROW(lst->Selected(3), rtl::EListError);
}

TEST_F(StdCtrlsTest, MemoLinesAndTextAreOneBothWays)
{
    auto* form = new TForm(Application);
    auto* mmo = new TMemo(form);
    mmo->SetParent(form);
    int changes = 0;
    mmo->OnChange = [&](TObject*) { ++changes; };
    mmo->Lines()->Add("one");
    mmo->Lines()->Add("two");
    EXPECT_EQ(mmo->Text(), "one\r\ntwo\r\n");
    mmo->SetText("a\r\nb\nc");  // any line break; no break at the end
    EXPECT_EQ(mmo->Lines()->Count(), 3);
    EXPECT_EQ(mmo->Lines()->Strings(2), "c");
    mmo->Lines()->SetStrings(1, "B");
    EXPECT_EQ(mmo->Text(), "a\r\nB\r\nc\r\n");
    mmo->Lines()->Insert(1, "x\r\ny");  // a line with a break becomes two
    EXPECT_EQ(mmo->Lines()->Count(), 5);
    changes = 0;
    mmo->Lines()->BeginUpdate();
    for (int i = 0; i < 100; ++i)
        mmo->Lines()->Add("line " + rtl::IntToStr(i));
    mmo->Lines()->EndUpdate();
    EXPECT_EQ(changes, 1);  // the text caught up once
    EXPECT_EQ(mmo->Lines()->Count(), 105);
    mmo->Lines()->Clear();
    EXPECT_EQ(mmo->Text(), "");
}

TEST_F(StdCtrlsTest, MemoWidgetShowsTheLinesAndReportsTyping)
{
    TForm* form = ShownForm();
    auto* mmo = new TMemo(form);
    mmo->SetParent(form);
    mmo->SetBounds(10, 10, 300, 200);
    mmo->Lines()->Add("line one");
    mmo->Lines()->Add("line two");
    // The caret sits at the start after the lines changed; what is typed lands in the widget's text.
    vt::TypeText(*mmo, "X");
    EXPECT_EQ(mmo->Lines()->Strings(0), "Xline one");
    EXPECT_EQ(mmo->Lines()->Count(), 2);
    EXPECT_TRUE(mmo->Modified());

    mmo->Lines()->Add("line three");  // added at the end of the widget's text
    mmo->SetSelStart(static_cast<int>(mmo->Text().size()));
    vt::TypeText(*mmo, "Z");
    EXPECT_EQ(mmo->Text(), "Xline one\r\nline two\r\nline three\r\nZ");
    EXPECT_EQ(mmo->SelStart(), static_cast<int>(mmo->Text().size()));

    // Return makes a new line only when the memo wants it.
    mmo->SetSelStart(1);
    vt::PressKey(*mmo, VK_RETURN);
    EXPECT_EQ(mmo->Lines()->Strings(0), "X");
    mmo->SetWantReturns(false);
    AnsiString before = mmo->Text();
    vt::PressKey(*mmo, VK_RETURN);
    EXPECT_EQ(mmo->Text(), before);
}

TEST_F(StdCtrlsTest, EditSelectionCaseAndChangeEvents)
{
    TForm* form = ShownForm();
    auto* edt = new TEdit(form);
    edt->SetParent(form);
    std::vector<std::string> texts;
    edt->OnChange = [&](TObject*) { texts.push_back(edt->Text()); };
    edt->SetText("Hello world");
    edt->SetSelStart(6);
    edt->SetSelLength(5);
    EXPECT_EQ(edt->SelText(), "world");
    edt->SetSelText("there");
    EXPECT_EQ(edt->Text(), "Hello there");
    EXPECT_EQ(edt->SelStart(), 11);
    edt->SetSelStart(99);  // kept within the text
    EXPECT_EQ(edt->SelStart(), 11);
    edt->SelectAll();
    EXPECT_EQ(edt->SelLength(), 11);

    vt::TypeText(*edt, "ab");  // replaces the selection, as typing does
    EXPECT_EQ(edt->Text(), "ab");
    EXPECT_EQ(edt->SelStart(), 2);
    edt->SetCharCase(ecUpperCase);
    EXPECT_EQ(edt->Text(), "AB");
    EXPECT_EQ(texts, (std::vector<std::string>{"Hello world", "Hello there", "a", "ab", "AB"}));
    edt->SetMaxLength(3);
    vt::TypeText(*edt, "cdef");
    EXPECT_EQ(edt->Text().size(), 3u);  // the user is held to the limit
}

TEST_F(StdCtrlsTest, CheckBoxesAndRadioButtonsClickAsTheClassicOnesDo)
{
    TForm* form = ShownForm();
    auto* chk = new TCheckBox(form);
    chk->SetParent(form);
    int clicks = 0;
    chk->OnClick = [&](TObject*) { ++clicks; };
    chk->SetChecked(true);  // from code, a change fires OnClick
    EXPECT_EQ(clicks, 1);
    chk->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    vt::Click(*chk);
    EXPECT_EQ(chk->State(), cbUnchecked);
    EXPECT_EQ(clicks, 2);
    chk->SetAllowGrayed(true);
    vt::Click(*chk);
    vt::Click(*chk);
    EXPECT_EQ(chk->State(), cbGrayed);  // unchecked, checked, grayed
    vt::Click(*chk);
    EXPECT_EQ(chk->State(), cbUnchecked);

    auto* group = new TGroupBox(form);
    group->SetParent(form);
    group->SetBounds(100, 100, 200, 150);
    std::vector<TRadioButton*> radios;
    std::vector<std::string> clicked;
    for (const char* name : {"r1", "r2", "r3"}) {
        auto* r = new TRadioButton(form);
        r->SetName(name);
        r->SetParent(group);
        r->SetBounds(10, 20 + 20 * static_cast<int>(radios.size()), 100, 17);
        r->OnClick = [&clicked, r](TObject*) { clicked.push_back(r->Name()); };
        radios.push_back(r);
    }
    radios[0]->SetChecked(true);
    vt::Click(*radios[2]);
    EXPECT_FALSE(radios[0]->Checked());
    EXPECT_TRUE(radios[2]->Checked());
    vt::Click(*radios[2]);  // already checked: stays checked, no second click
    EXPECT_TRUE(radios[2]->Checked());
    EXPECT_EQ(clicked, (std::vector<std::string>{"r1", "r3"}));

    // Loading a checked box fires nothing.
    TForm* loaded = LoadForm("object f: TForm\n  object c: TCheckBox\n    Checked = True\n  end\nend");
    EXPECT_TRUE(Find<TCheckBox>(loaded, "c")->Checked());
}

TEST_F(StdCtrlsTest, ComboBoxTextFollowsItsItems)
{
    TForm* form = ShownForm();
    auto* cbo = new TComboBox(form);
    cbo->SetParent(form);
    cbo->Items()->SetCommaText("red,green,blue");
    int changes = 0, clicks = 0;
    cbo->OnChange = [&](TObject*) { ++changes; };
    cbo->OnClick = [&](TObject*) { ++clicks; };
    cbo->SetItemIndex(2);
    EXPECT_EQ(cbo->Text(), "blue");
    EXPECT_EQ(changes, 0);  // from code: nothing
    cbo->SetText("GREEN");  // a text naming an item selects it
    EXPECT_EQ(cbo->ItemIndex(), 1);
    cbo->SetText("purple");
    EXPECT_EQ(cbo->ItemIndex(), -1);

    vt::SelectItem(*cbo, "red");
    EXPECT_EQ(cbo->ItemIndex(), 0);
    EXPECT_EQ(cbo->Text(), "red");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(clicks, 1);

    vt::SetText(*cbo, "");  // the edit part, as a user empties it
    cbo->SetItemIndex(0);
    vt::TypeText(*cbo, "x");
    EXPECT_EQ(changes, 2);
    cbo->SetItemIndex(1);
    cbo->Items()->Delete(1);  // the selected item goes: nothing is selected
    EXPECT_EQ(cbo->ItemIndex(), -1);
    cbo->Items()->Insert(0, "first");
    cbo->SetItemIndex(1);
    cbo->Items()->Insert(0, "zeroth");
    EXPECT_EQ(cbo->ItemIndex(), 2);
    EXPECT_EQ(cbo->Text(), "red");
}

TEST_F(StdCtrlsTest, ButtonsCloseModalFormsAndAnswerDialogKeys)
{
    auto* dlg = new TForm(Application);
    auto* edt = new TEdit(dlg);
    edt->SetParent(dlg);
    auto* ok = new TButton(dlg);
    ok->SetParent(dlg);
    ok->SetName("btnOK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    auto* cancel = new TBitBtn(dlg);
    cancel->SetParent(dlg);
    cancel->SetKind(bkCancel);
    int okClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };

    vt::OnNextModal([&](TCustomForm&) { vt::Click(*ok); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(okClicks, 1);

    vt::OnNextModal([&](TCustomForm&) { vt::PressKey(*edt, VK_RETURN); });  // the default button
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(okClicks, 2);

    vt::OnNextModal([&](TCustomForm&) { vt::PressKey(*edt, VK_ESCAPE); });  // the cancel button
    EXPECT_EQ(dlg->ShowModal(), mrCancel);

    // Return on a focused button clicks that one, not the default.
    int cancelClicks = 0;
    cancel->OnClick = [&](TObject*) { ++cancelClicks; };
    vt::OnNextModal([&](TCustomForm&) { vt::PressKey(*cancel, VK_RETURN); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(okClicks, 2);
}

TEST_F(StdCtrlsTest, BitButtonKindsAndSpeedButtonGroups)
{
    TForm* form = ShownForm();
    auto* bb = new TBitBtn(form);
    bb->SetParent(form);
    bb->SetCaption("Go");
    bb->SetKind(bkYes);
    EXPECT_EQ(bb->Caption(), "&Yes");
    EXPECT_EQ(bb->ModalResult(), mrYes);
    EXPECT_TRUE(bb->Default());
    bb->SetKind(bkClose);
    EXPECT_EQ(bb->ModalResult(), mrNone);
    bool closed = false;
    form->OnClose = [&](TObject*, TCloseAction&) { closed = true; };
    vt::Click(*bb);  // a close button closes its form
    EXPECT_TRUE(closed);

    TForm* second = ShownForm();
    std::vector<TSpeedButton*> group;
    for (int i = 0; i < 3; ++i) {
        auto* sb = new TSpeedButton(second);
        sb->SetParent(second);
        sb->SetBounds(10 + 30 * i, 10, 23, 22);
        sb->SetGroupIndex(1);
        group.push_back(sb);
    }
    auto* plain = new TSpeedButton(second);
    plain->SetParent(second);
    plain->SetDown(true);  // not in a group: never stays down
    EXPECT_FALSE(plain->Down());
    int clicks = 0;
    group[1]->OnClick = [&](TObject*) { ++clicks; };
    vt::Click(*group[0]);
    vt::Click(*group[1]);
    EXPECT_FALSE(group[0]->Down());
    EXPECT_TRUE(group[1]->Down());
    vt::Click(*group[1]);  // the one down button stays down without AllowAllUp
    EXPECT_TRUE(group[1]->Down());
    EXPECT_EQ(clicks, 2);
    group[1]->SetAllowAllUp(true);  // for the whole group
    EXPECT_TRUE(group[2]->AllowAllUp());
    vt::Click(*group[1]);
    EXPECT_FALSE(group[1]->Down());
}

TEST_F(StdCtrlsTest, LabelSizesItselfToItsCaption)
{
    auto* form = new TForm(Application);
    auto* lbl = new TLabel(form);
    lbl->SetParent(form);
    lbl->SetBounds(10, 10, 5, 5);
    lbl->SetCaption("Short");
    int shortWidth = lbl->Width();
    EXPECT_GT(shortWidth, 5);
    lbl->SetCaption("A much longer caption");
    EXPECT_GT(lbl->Width(), shortWidth);
    EXPECT_GT(lbl->Height(), 5);
    lbl->SetCaption("&Accel");
    TLabel plain(nullptr);
    plain.SetCaption("Accel");
    EXPECT_EQ(lbl->Width(), plain.Width());  // the "&" takes no room

    lbl->SetAlignment(taRightJustify);
    int right = lbl->Left() + lbl->Width();
    lbl->SetCaption("&Accel and more");
    EXPECT_EQ(lbl->Left() + lbl->Width(), right);  // right-justified keeps its right edge
    lbl->SetAutoSize(false);
    lbl->SetCaption("x");
    EXPECT_EQ(lbl->Left() + lbl->Width(), right);
}

}  // namespace

namespace {

TEST_F(StdCtrlsTest, ListBoxWidgetFollowsEveryKindOfChange)
{
    TForm* form = ShownForm();
    auto* lst = new TListBox(form);
    lst->SetParent(form);
    lst->SetBounds(0, 0, 200, 290);
    rtl::TStrings* items = lst->Items();
    items->SetCommaText("c,a,b");
    items->Insert(1, "x");
    items->Move(0, 3);
    items->Exchange(0, 1);
    items->Delete(2);
    items->SetStrings(0, "first");
    lst->SetSorted(true);
    items->Add("middle");
    ASSERT_EQ(items->CommaText(), "c,first,middle,x");
    // Each row of the widget is where the control says, and nothing is below the last.
    for (int i = 0; i < items->Count(); ++i) {
        TRect r = lst->ItemRect(i);
        EXPECT_EQ(lst->ItemAtPos(Point(10, r.Top + r.Height() / 2 + 2), true), i) << i;
    }
    EXPECT_EQ(lst->ItemAtPos(Point(10, lst->ItemRect(items->Count()).Top + 8), true), -1);
    // What the user picks by text is the control's item of that text.
    vt::SelectItem(*lst, "middle");
    EXPECT_EQ(lst->ItemIndex(), 2);
    vt::MouseClick(*lst, 10, lst->ItemRect(1).Top + 8);
    EXPECT_EQ(items->Strings(lst->ItemIndex()), "first");

    lst->SetMultiSelect(true);
    std::vector<int> clicked;
    lst->OnClick = [&](TObject*) { clicked.push_back(lst->SelCount()); };
    vt::MouseClick(*lst, 10, lst->ItemRect(0).Top + 8);
    vt::MouseClick(*lst, 10, lst->ItemRect(2).Top + 8, mbLeft, {ssCtrl});
    EXPECT_TRUE(lst->Selected(0));
    EXPECT_TRUE(lst->Selected(2));
    EXPECT_FALSE(lst->Selected(1));
    EXPECT_EQ(clicked.back(), 2);
}

TEST_F(StdCtrlsTest, ComboBoxStylesAndSorting)
{
    TForm* form = ShownForm();
    auto* cbo = new TComboBox(form);
    cbo->SetParent(form);
    cbo->SetSorted(true);
    cbo->Items()->Add("pear");
    cbo->Items()->Add("apple");
    EXPECT_EQ(cbo->Items()->Strings(0), "apple");
    cbo->SetStyle(csDropDownList);
    vt::SelectItem(*cbo, 1);
    EXPECT_EQ(cbo->Text(), "pear");
    cbo->SetStyle(csDropDown);  // the edit part comes and goes with the style
    int changes = 0;
    cbo->OnChange = [&](TObject*) { ++changes; };
    vt::TypeText(*cbo, "s");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(cbo->ItemIndex(), -1);
    int drops = 0;
    cbo->OnDropDown = [&](TObject*) { ++drops; };
    EXPECT_EQ(drops, 0);
    cbo->Clear();
    EXPECT_EQ(cbo->Items()->Count(), 0);
    EXPECT_EQ(cbo->Text(), "");
}

TEST_F(StdCtrlsTest, GroupBoxesAndWrappedLabelsLayOutTheirContents)
{
    TForm* form = ShownForm();
    auto* group = new TGroupBox(form);
    group->SetParent(form);
    group->SetBounds(10, 10, 200, 100);
    group->SetCaption("Options");
    auto* inside = new TPanel(form);
    inside->SetParent(group);
    inside->SetAlign(alClient);
    EXPECT_GT(inside->Top(), 5);  // below the caption
    EXPECT_EQ(inside->Left(), 2);
    EXPECT_EQ(inside->Left() + inside->Width(), 198);

    auto* lbl = new TLabel(form);
    lbl->SetParent(form);
    lbl->SetBounds(10, 150, 80, 10);
    lbl->SetCaption("several words that will not fit on one line of eighty pixels");
    int oneLine = lbl->Height();
    lbl->SetAutoSize(false);
    lbl->SetWidth(80);
    lbl->SetWordWrap(true);
    lbl->SetAutoSize(true);  // wrapped within its width, it grows downwards
    EXPECT_EQ(lbl->Width() <= 80, true);
    EXPECT_GT(lbl->Height(), 2 * oneLine);
    TPicturePixels picture = FormPicture(*form);
    int ink = 0;
    for (int y = 150; y < 150 + lbl->Height(); ++y)
        for (int x = 10; x < 90; ++x)
            ink += picture.At(x, y) != picture.At(300, 290) ? 1 : 0;
    EXPECT_GT(ink, 50);  // and it paints its words
}

TEST_F(StdCtrlsTest, EditsAndMemosBehaveWithoutAWindowToo)
{
    auto* form = new TForm(Application);  // never shown
    auto* mmo = new TMemo(form);
    mmo->SetParent(form);
    mmo->Lines()->SetText("one\r\ntwo\r\n");
    mmo->SetSelStart(5);
    mmo->SetSelLength(3);
    EXPECT_EQ(mmo->SelText(), "two");
    mmo->SetSelText("2");
    EXPECT_EQ(mmo->Lines()->Strings(1), "2");
    EXPECT_EQ(mmo->Peer(), nullptr);
    auto* edt = new TEdit(form);
    edt->SetParent(form);
    edt->SetCharCase(ecLowerCase);
    edt->SetText("MiXeD");
    EXPECT_EQ(edt->Text(), "mixed");
    edt->ClearSelection();
    EXPECT_EQ(edt->Text(), "mixed");
    edt->SelectAll();
    edt->ClearSelection();
    EXPECT_EQ(edt->Text(), "");
}

}  // namespace
