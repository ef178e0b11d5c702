// Menus: shortcut texts, accelerators, the item tree, shortcuts on the active form, popup menus; and a form
// with many controls pictured and freed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class MenusTest : public ControlsTest {};

TEST_F(MenusTest, ShortCutsAreParsedAndPrinted)
{
    EXPECT_EQ(TextToShortCut("Ctrl+N"), scCtrl | 'N');
    EXPECT_EQ(TextToShortCut("Ctrl+N"), 16462);  // the number resources carry
    EXPECT_EQ(TextToShortCut("F1"), VK_F1);
    EXPECT_EQ(TextToShortCut("F12"), VK_F12);
    EXPECT_EQ(TextToShortCut("Ctrl+Shift+S"), scCtrl | scShift | 'S');
    EXPECT_EQ(TextToShortCut("shift+ctrl+s"), scCtrl | scShift | 'S');
    EXPECT_EQ(TextToShortCut("Alt+F4"), scAlt | (VK_F1 + 3));
    EXPECT_EQ(TextToShortCut("Ctrl+Del"), scCtrl | VK_DELETE);
    EXPECT_EQ(TextToShortCut("Ctrl+-"), scCtrl | VK_OEM_MINUS);
    for (const char* bad : {"", "Ctrl+", "Foo", "Ctrl+F13", "F0", "Ctrl+NN"})
        EXPECT_EQ(TextToShortCut(bad), 0) << bad;

    EXPECT_EQ(ShortCutToText(TextToShortCut("Ctrl+N")), "Ctrl+N");
    EXPECT_EQ(ShortCutToText(VK_F1), "F1");
    EXPECT_EQ(ShortCutToText(TextToShortCut("Ctrl+Shift+S")), "Shift+Ctrl+S");  // the classic order
    EXPECT_EQ(ShortCutToText(scAlt | VK_RETURN), "Alt+Enter");
    EXPECT_EQ(ShortCutToText(0), "");
    uint16_t key = 0;
    TShiftState shift;
    ShortCutToKey(ShortCut('S', {ssCtrl, ssShift}), key, shift);
    EXPECT_EQ(key, 'S');
    EXPECT_EQ(shift, (TShiftState{ssCtrl, ssShift}));
}

TEST_F(MenusTest, AcceleratorsComeOutOfCaptions)
{
    EXPECT_EQ(StripHotkey("&File"), "File");
    EXPECT_EQ(StripHotkey("Fish && &Chips"), "Fish & Chips");
    EXPECT_EQ(StripHotkey("Trailing&"), "Trailing");
    EXPECT_EQ(GetHotkey("E&xit"), 'X');
    EXPECT_EQ(GetHotkey("Fish && Chips"), 0);
    EXPECT_EQ(GetHotkey("&&&Save"), 'S');
}

const char* const kMenuForm = R"(object frmMenu: TForm
  Menu = MainMenu1
  object edtText: TEdit
    Left = 8
    Top = 8
  end
  object MainMenu1: TMainMenu
    object File1: TMenuItem
      Caption = '&File'
      object New1: TMenuItem
        Caption = '&New'
        ShortCut = 16462
      end
      object N1: TMenuItem
        Caption = '-'
      end
      object Reopen1: TMenuItem
        Caption = '&Reopen'
        object Old1: TMenuItem
          Caption = '&0 - C:\old.wkp'
          ShortCut = 16463
          Enabled = False
        end
      end
      object Exit1: TMenuItem
        Caption = 'E&xit'
        Default = True
      end
    end
    object Help1: TMenuItem
      Caption = '&Help'
      Visible = False
      object HelpFile1: TMenuItem
        Caption = '&Help File'
        ShortCut = 112
      end
    end
  end
end
)";

TEST_F(MenusTest, MenusComeFromResourcesAsNestedItems)
{
    TForm* form = LoadForm(kMenuForm);
    auto* menu = dynamic_cast<TMainMenu*>(form->FindComponent("MainMenu1"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(form->Menu(), menu);
    ASSERT_EQ(menu->Items()->Count(), 2);
    TMenuItem* file = menu->Items()->Items(0);
    EXPECT_EQ(file->Name(), "File1");
    ASSERT_EQ(file->Count(), 4);
    EXPECT_TRUE(file->Items(1)->IsLine());
    EXPECT_EQ(file->Items(0)->ShortCut(), TextToShortCut("Ctrl+N"));
    EXPECT_TRUE(file->Find("exit")->Default());
    EXPECT_EQ(file->Find("Reopen")->Items(0)->GetParentMenu(), menu);
    EXPECT_EQ(menu->FindItemByCaption("Help File")->Parent()->Name(), "Help1");
    EXPECT_EQ(file->Items(0)->Owner(), form);  // the form owns every item

    AnsiString written = WriteComponentResource(*form);
    EXPECT_NE(written.find("    object File1: TMenuItem\r\n      Caption = '&File'\r\n      object New1: TMenuItem"), AnsiString::npos);
    auto* copy = new TForm(Application);
    ReadRootComponent(copy, written, "Written.frm");
    auto* copied = dynamic_cast<TMainMenu*>(copy->FindComponent("MainMenu1"));
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->Items()->Items(0)->Count(), 4);
}

TEST_F(MenusTest, ItemsAreAddedInsertedAndTakenOut)
{
    auto* form = new TForm(Application);
    auto* menu = new TPopupMenu(form);
    auto make = [&](const char* caption) {
        auto* item = new TMenuItem(form);
        item->SetCaption(caption);
        return item;
    };
    TMenuItem* a = make("A");
    TMenuItem* c = make("C");
    menu->Items()->Add({a, c});
    TMenuItem* b = make("B");
    menu->Items()->Insert(1, b);
    EXPECT_EQ(menu->Items()->IndexOf(b), 1);
    EXPECT_EQ(b->MenuIndex(), 1);
    EXPECT_THROW(menu->Items()->Add(b), EMenuError);  // "Menu inserted twice"
    EXPECT_THROW(menu->Items()->Insert(9, make("X")), EMenuError);
    EXPECT_THROW(b->Add(menu->Items()), EMenuError);
    c->SetMenuIndex(0);
    EXPECT_EQ(menu->Items()->Items(0), c);

    menu->Items()->Delete(0);  // taken out, not freed
    EXPECT_EQ(menu->Items()->Count(), 2);
    EXPECT_EQ(c->Parent(), nullptr);
    b->Add(c);
    TComponentRef<TMenuItem> sub(c);
    delete b;  // a submenu goes with its item
    EXPECT_FALSE(sub);
    EXPECT_EQ(menu->Items()->Count(), 1);
    EXPECT_THROW(menu->Items()->Remove(make("Y")), EMenuError);
    menu->Items()->Clear();
    EXPECT_EQ(menu->Items()->Count(), 0);
}

TEST_F(MenusTest, ItemsClickAsTheyAreSet)
{
    auto* form = new TForm(Application);
    auto* menu = new TMainMenu(form);
    std::vector<TMenuItem*> items;
    int clicks = 0;
    for (int i = 0; i < 3; ++i) {
        auto* item = new TMenuItem(form);
        item->SetRadioItem(true);
        item->SetAutoCheck(true);
        item->SetGroupIndex(1);
        item->OnClick = [&](TObject*) { ++clicks; };
        menu->Items()->Add(item);
        items.push_back(item);
    }
    items[0]->Click();
    items[2]->Click();
    EXPECT_FALSE(items[0]->Checked());  // one radio item of a group is checked
    EXPECT_TRUE(items[2]->Checked());
    items[1]->SetEnabled(false);
    items[1]->Click();  // a disabled item does nothing
    EXPECT_EQ(clicks, 2);
    items[2]->SetRadioItem(false);
    items[2]->Click();  // a plain auto-check item toggles
    EXPECT_FALSE(items[2]->Checked());
}

TEST_F(MenusTest, ShortcutRunsItsItemOnTheActiveForm)
{
    TForm* form = LoadForm(kMenuForm);
    form->Show();
    auto* edt = dynamic_cast<TEdit*>(form->FindComponent("edtText"));
    auto* menu = dynamic_cast<TMainMenu*>(form->FindComponent("MainMenu1"));
    std::vector<std::string> clicked;
    for (const char* name : {"New1", "Old1", "HelpFile1", "Reopen1"})
        dynamic_cast<TMenuItem*>(form->FindComponent(name))->OnClick = [&clicked, name](TObject*) { clicked.push_back(name); };

    vt::PressKey(*edt, 'N', {ssCtrl});
    EXPECT_EQ(clicked, std::vector<std::string>{"New1"});
    EXPECT_EQ(edt->Text(), "");  // the key went to the menu, not the edit
    vt::PressKey(*edt, 'O', {ssCtrl});  // a disabled item's shortcut does nothing
    vt::PressKey(*edt, VK_F1);          // nor one in a hidden submenu
    EXPECT_EQ(clicked, std::vector<std::string>{"New1"});
    menu->FindItemByCaption("Help")->SetVisible(true);
    vt::PressKey(*edt, VK_F1);
    EXPECT_EQ(clicked.back(), "HelpFile1");

    // A Reopen-style update while the bar is shown: items come and go, the bar follows.
    TMenuItem* reopen = menu->FindItemByCaption("Reopen");
    for (int i = 0; i < 12; ++i) {
        auto* entry = new TMenuItem(form);
        entry->SetCaption("&" + rtl::IntToStr(i % 10) + " - C:\\p" + rtl::IntToStr(i) + ".wkp");
        reopen->Insert(0, entry);
        if (reopen->Count() > 10)
            delete reopen->Items(10);
    }
    EXPECT_EQ(reopen->Count(), 10);
    EXPECT_EQ(StripHotkey(reopen->Items(0)->Caption()), "1 - C:\\p11.wkp");
    vt::ProcessMessages();
    TPicturePixels picture = FormPicture(*form);
    std::set<uint32_t> barColours;
    for (int x = 0; x < 60; ++x)
        for (int y = form->CaptionHeight() + form->FrameWidth(); y < form->ClientOrigin().Y; ++y)
            barColours.insert(picture.At(x, y));
    EXPECT_GT(barColours.size(), 1u);  // the menu bar's captions are drawn
}

TEST_F(MenusTest, PopupMenuShowsOnARightClick)
{
    TForm* form = ShownForm();
    auto* lst = new TListBox(form);
    lst->SetParent(form);
    lst->SetBounds(10, 10, 150, 150);
    auto* popup = new TPopupMenu(form);
    auto* add = new TMenuItem(form);
    add->SetCaption("&Add");
    popup->Items()->Add(add);
    int popups = 0, adds = 0;
    popup->OnPopup = [&](TObject*) { ++popups; };
    add->OnClick = [&](TObject*) { ++adds; };
    lst->SetPopupMenu(popup);

    vt::MouseClick(*lst, 20, 20, mbRight);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(popup->PopupComponent(), lst);
    TPoint at = lst->ClientToScreen(Point(20, 20));  // the rows start inside the frame
    EXPECT_LE(std::abs(popup->PopupPoint().X - at.X), 2);
    EXPECT_LE(std::abs(popup->PopupPoint().Y - at.Y), 2);
    add->Click();  // choosing the item
    EXPECT_EQ(adds, 1);
    vt::MouseClick(*lst, 20, 20);  // a left click shows nothing
    EXPECT_EQ(popups, 1);
    popup->SetAutoPopup(false);
    vt::MouseClick(*lst, 20, 20, mbRight);
    EXPECT_EQ(popups, 1);
    delete popup;  // the control forgets it
    EXPECT_EQ(lst->PopupMenu(), nullptr);
}

TEST_F(MenusTest, AFormWithManyControlsIsPicturedAndFreedOnce)
{
    TForm* form = LoadForm(R"(object frmMany: TForm
  Caption = 'Many controls'
  ClientWidth = 420
  ClientHeight = 300
  Menu = mnuMain
  object pnlLeft: TPanel
    Align = alLeft
    Width = 150
    BevelOuter = bvLowered
    Caption = 'Pages'
    object lstPages: TListBox
      Left = 4
      Top = 24
      Width = 140
      Height = 80
      Items.Strings = (
        'Introduction'
        'Details')
      PopupMenu = mnuPages
    end
    object tvToc: TTreeView
      Left = 4
      Top = 110
      Width = 140
      Height = 100
    end
  end
  object splLeft: TSplitter
    Left = 150
  end
  object pnlPage: TPanel
    Align = alClient
    object lblTitle: TLabel
      Left = 8
      Top = 8
      Caption = 'Current Page'
      Font.Style = [fsBold]
    end
    object sbBold: TSpeedButton
      Left = 8
      Top = 30
      Caption = 'B'
      Flat = True
    end
    object mmoPage: TMemo
      Left = 8
      Top = 60
      Width = 200
      Height = 80
      Lines.Strings = (
        'Some page text')
      ScrollBars = ssVertical
    end
    object edtName: TEdit
      Left = 8
      Top = 150
      Text = 'name'
    end
    object chkBackup: TCheckBox
      Left = 8
      Top = 180
      Caption = 'Backup'
      Checked = True
    end
    object cboKind: TComboBox
      Left = 8
      Top = 200
      Items.Strings = (
        'one')
      ItemIndex = 0
    end
    object barProgress: TProgressBar
      Left = 8
      Top = 230
      Position = 40
    end
    object bvlLine: TBevel
      Left = 8
      Top = 250
      Width = 200
      Height = 2
      Shape = bsTopLine
    end
    object btnOK: TBitBtn
      Left = 120
      Top = 30
      Kind = bkOK
    end
  end
  object sbStatus: TStatusBar
    Panels = <
      item
        Text = 'File Name:'
      end>
  end
  object mnuMain: TMainMenu
    object File1: TMenuItem
      Caption = '&File'
    end
  end
  object mnuPages: TPopupMenu
    object Add1: TMenuItem
      Caption = '&Add'
    end
  end
end
)");
    auto* tree = dynamic_cast<TTreeView*>(form->FindComponent("tvToc"));
    ASSERT_NE(tree, nullptr);
    tree->Items()->AddChild(tree->Items()->Add(nullptr, "Book"), "Topic");
    form->Show();
    TPicturePixels picture = FormPicture(*form);
    ASSERT_EQ(picture.Width, form->Width());
    std::set<uint32_t> colours(picture.Pixels.begin(), picture.Pixels.end());
    EXPECT_GT(colours.size(), 8u);  // text, frames, fields, bars: far from blank
    size_t differing = 0;
    uint32_t face = picture.At(form->Width() / 2, form->Height() - 30);
    for (uint32_t p : picture.Pixels)
        differing += p != face ? 1 : 0;
    EXPECT_GT(differing, picture.Pixels.size() / 10);

    std::vector<TComponentRef<TComponent>> refs;
    for (int i = 0; i < form->ComponentCount(); ++i)
        refs.emplace_back(form->Components(i));
    EXPECT_GT(refs.size(), 15u);
    delete form;
    vt::ProcessMessages();
    for (const auto& ref : refs)
        EXPECT_FALSE(ref);
}

}  // namespace
