// What the person at the screen sees and reaches, checked on the real Qt widgets of the controls: list
// updates batched into one, the Tab key's path through group boxes, the focus mark of a button and the
// look of an unchecked check box, and the faces the Windows font names are drawn with.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <string>
#include <vector>

#include "platform/vcl/QtSeam.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/ControlTestSupport.h"

using namespace vcl;
using namespace ctltest;
namespace vt = vcl::test;

namespace {

class QtWidgetsTest : public ControlsTest {};

std::vector<std::string> WidgetRows(QListWidget& widget)
{
    std::vector<std::string> rows;
    for (int i = 0; i < widget.count(); ++i)
        rows.push_back(widget.item(i)->text().toStdString());
    return rows;
}

std::vector<std::string> ItemTexts(const rtl::TStrings& items)
{
    std::vector<std::string> texts;
    for (int i = 0; i < items.Count(); ++i)
        texts.push_back(items.Strings(i));
    return texts;
}

}  // namespace

TEST_F(QtWidgetsTest, ListChangesBetweenBeginAndEndUpdateReachTheWidgetOnce)
{
    TForm* form = ShownForm();
    auto* lst = new TListBox(form);
    lst->SetParent(form);
    lst->SetBounds(0, 0, 200, 290);
    rtl::TStrings* items = lst->Items();
    items->SetCommaText("a,b,c");
    lst->SetItemIndex(1);
    auto* widget = qobject_cast<QListWidget*>(WidgetOf(*lst));
    ASSERT_NE(widget, nullptr);
    int insertions = 0;
    QObject::connect(widget->model(), &QAbstractItemModel::rowsInserted, [&insertions] { ++insertions; });

    items->BeginUpdate();
    items->BeginUpdate();
    for (int i = 0; i < 300; ++i)
        items->Insert(0, "n" + rtl::IntToStr(i));
    items->Add("z");
    items->Delete(items->Count() - 2);
    items->EndUpdate();
    vt::ProcessMessages();
    // Still inside the outer update: the widget shows the old list, the control already knows the new.
    EXPECT_EQ(WidgetRows(*widget), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(items->Count(), 303);
    EXPECT_EQ(lst->ItemIndex(), 301);
    EXPECT_EQ(insertions, 0);

    items->EndUpdate();
    EXPECT_EQ(WidgetRows(*widget), ItemTexts(*items));
    EXPECT_LE(insertions, 1);
    // The selection followed the items and is shown where the control has it.
    EXPECT_EQ(widget->currentRow(), 301);
    EXPECT_EQ(widget->item(301)->text().toStdString(), "b");

    // An update without changes leaves the widget alone; later changes reach it at once again.
    insertions = 0;
    items->BeginUpdate();
    items->EndUpdate();
    EXPECT_EQ(insertions, 0);
    items->Add("last");
    EXPECT_EQ(widget->count(), 304);

    // A combo box batches the same way and keeps its choice.
    auto* cbo = new TComboBox(form);
    cbo->SetParent(form);
    cbo->SetLeft(210);
    cbo->SetStyle(csDropDownList);
    cbo->Items()->SetCommaText("x,y");
    cbo->SetItemIndex(1);
    auto* combo = qobject_cast<QComboBox*>(WidgetOf(*cbo));
    ASSERT_NE(combo, nullptr);
    cbo->Items()->BeginUpdate();
    cbo->Items()->Insert(0, "w");
    cbo->Items()->Add("z");
    EXPECT_EQ(combo->count(), 2);
    cbo->Items()->EndUpdate();
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->currentText().toStdString(), "y");
    EXPECT_EQ(cbo->Text(), "y");
}

// A group box whose controls were made after the button below it, or that is shown later: the Tab key
// still walks into the group before it reaches the button.
TEST_F(QtWidgetsTest, TabReachesAGroupsControlsInTheirPlace)
{
    TForm* form = LoadForm(R"(object frmTabs: TForm
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 200
  object edtName: TEdit
    Left = 8
    Top = 8
    TabOrder = 0
  end
  object cbxKind: TComboBox
    Left = 8
    Top = 36
    Style = csDropDownList
    TabOrder = 1
  end
  object gbxTopic: TGroupBox
    Left = 8
    Top = 64
    Width = 280
    Height = 40
    TabOrder = 2
    object chkPopup: TCheckBox
      Left = 8
      Top = 16
      TabOrder = 0
    end
  end
  object gbxAddress: TGroupBox
    Left = 8
    Top = 64
    Width = 280
    Height = 40
    TabOrder = 3
    Visible = False
    object edtAddress: TEdit
      Left = 8
      Top = 12
      TabOrder = 0
    end
  end
  object btnOK: TButton
    Left = 200
    Top = 160
    TabOrder = 4
  end
end
)");
    form->Show();
    auto walk = [form](const char* from, int steps) {
        std::vector<AnsiString> path;
        TWinControl* at = &vt::Find<TWinControl>(*form, from);
        for (int i = 0; i < steps; ++i) {
            vt::PressKey(*at, VK_TAB);
            at = form->FocusedControl();
            path.push_back(at ? at->Name() : "(none)");
            if (!at)
                break;
        }
        return path;
    };
    EXPECT_EQ(walk("cbxKind", 3), (std::vector<AnsiString>{"chkPopup", "btnOK", "edtName"}));

    vt::Find<TControl>(*form, "gbxTopic").Hide();
    vt::Find<TControl>(*form, "gbxAddress").Show();
    EXPECT_EQ(walk("cbxKind", 3), (std::vector<AnsiString>{"edtAddress", "btnOK", "edtName"}));

    // A tab order changed at run time moves the whole group.
    vt::Find<TWinControl>(*form, "gbxAddress").SetTabOrder(0);
    EXPECT_EQ(walk("btnOK", 2), (std::vector<AnsiString>{"edtAddress", "edtName"}));
}

// The dialog's default button looks the same focused or not in the style; our mark must tell them apart.
TEST_F(QtWidgetsTest, AFocusedButtonShowsItsFocus)
{
    TForm* form = ShownForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    auto* ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(100, 100, 75, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    QWidget* button = WidgetOf(*ok);
    ASSERT_NE(button, nullptr);

    vt::PressKey(*edit, VK_TAB);
    ASSERT_EQ(form->FocusedControl(), ok);
    ASSERT_TRUE(button->hasFocus());
    const QImage focused = button->grab().toImage();
    edit->SetFocus();
    vt::ProcessMessages();
    ASSERT_FALSE(button->hasFocus());
    const QImage unfocused = button->grab().toImage();
    EXPECT_NE(focused, unfocused);
}

// Unchecked and enabled, a check box's square is in the window colour whatever the colour behind it;
// only a disabled box is grey.
TEST_F(QtWidgetsTest, AnUncheckedBoxLooksEnabledUntilItIsDisabled)
{
    TForm* form = ShownForm();
    form->SetColor(clBtnFace);
    auto* on = new TCheckBox(form);
    on->SetParent(form);
    on->SetBounds(8, 8, 120, 17);
    auto* off = new TCheckBox(form);
    off->SetParent(form);
    off->SetBounds(8, 40, 120, 17);
    off->SetEnabled(false);
    auto* radio = new TRadioButton(form);
    radio->SetParent(form);
    radio->SetBounds(8, 72, 120, 17);
    vt::ProcessMessages();

    auto squareCentre = [](const TControl& control) {
        auto* button = qobject_cast<QAbstractButton*>(WidgetOf(control));
        QStyleOptionButton option;
        option.initFrom(button);
        const bool isCheckBox = qobject_cast<QCheckBox*>(button) != nullptr;
        const QRect square = button->style()->subElementRect(
            isCheckBox ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option, button);
        return button->grab().toImage().pixelColor(square.center());
    };
    const QColor window = ToQColor(clWindow);
    EXPECT_EQ(squareCentre(*on), window);
    EXPECT_EQ(squareCentre(*radio), window);
    EXPECT_NE(squareCentre(*off), window);
}

// A window's layout was made with the Windows faces' widths: each name is drawn with a face of the same
// advance widths, whatever else fontconfig would pick on this machine.
TEST_F(QtWidgetsTest, WindowsFacesDrawWithTheWidthsTheyHaveOnWindows)
{
    EnsureQtApplication();
    struct TFace {
        const char* Name;
        const char* Text;
        double Advance;  // on an em of 2048 pixels, as the Windows face has it
    } const faces[] = {
        {"Arial", "m", 1706}, {"Arial", "i", 455},   {"Arial", "W", 1933},         {"Arial", " ", 569},
        {"arial", "0", 1139}, {"MS Sans Serif", "m", 1706},                        {"Tahoma", "i", 455},
        {"Times New Roman", "m", 1593},              {"Times New Roman", "i", 569}, {"Courier New", "m", 1229},
        {"Courier New", "i", 1229},
    };
    for (const TFace& face : faces) {
        TFont font;
        font.SetName(face.Name);
        font.SetHeight(-2048);
        QFont q = ToQFont(font);
        q.setHintingPreference(QFont::PreferNoHinting);
        EXPECT_NEAR(QFontMetricsF(q).horizontalAdvance(QString::fromLatin1(face.Text)), face.Advance, 0.5)
            << face.Name << " '" << face.Text << "' drawn with " << QFontInfo(q).family().toStdString();
    }
    // Faces without a twin stay as asked.
    EXPECT_EQ(DisplayFamily("Verdana").toStdString(), "Verdana");
    EXPECT_EQ(DisplayFamily("Arial").toStdString(), "Liberation Sans");
}
