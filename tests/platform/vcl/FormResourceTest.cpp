#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "FormResources_tests_platform_vcl_core.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/FormResourceTree.h"
#include "tests/platform/vcl/TestComponents.h"

using namespace vcl;
using namespace vcltest;

namespace {

const char* const kForm = R"(object frmTest: TTestForm
  Caption = 'Test ''form'''
  Width = 400
  OnClick = ButtonClick
  Font.Name = 'Tahoma'
  Font.Style = [fsBold]
  object lblName: TTestControl
    Caption = '&Name:'
    FocusControl = edtName
    Buddy = psHelper
  end
  object pnlMain: TTestControl
    Align = alClient
    Color = clWindow
    object edtName: TTestControl
      Left = -8
      Small = $7F
      PasswordChar = '*'
      Ratio = 0.25
      Hint = 'caf'#233' '#13#10'x' +
        ' joined'
      Items.Strings = (
        'one'
        'two')
      OnClose = FormClose
      OnClick = buttonclick
    end
    object sbStatus: TTestControl
      Width = $FFFFFFFF
      Panels = <
        item
          Width = 120
          Text = 'Ready'
        end
        item
          Alignment = alRight
        end>
      Picture.Data = {
        0A0B 0c
        0D}
    end
  end
  object install: TTestInstaller
  end
end
)";

class FormResourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        Log().clear();
        TTestControl::FailCaption = false;
    }
    void TearDown() override { TTestControl::FailCaption = false; }

    template <class T = TTestControl>
    static T* Find(TComponent& root, const char* name)
    {
        return dynamic_cast<T*>(root.FindComponent(name));
    }

    // The message of the EFormResourceError that loading `text` raises ("" when it loads).
    static std::string LoadError(std::string_view text)
    {
        TTestForm form(nullptr);
        try {
            ReadRootComponent(&form, text, "Test.frm");
        } catch (const EFormResourceError& e) {
            EXPECT_EQ(form.ComponentCount(), 0) << "a failed load left components behind";
            EXPECT_FALSE(form.IsLoading());
            return e.what();
        }
        return "";
    }
};

TEST_F(FormResourceTest, LoadsComponentsPropertiesEventsAndReferences)
{
    TTestForm form(nullptr);
    ReadRootComponent(&form, kForm, "Test.frm");

    EXPECT_EQ(form.Name(), "frmTest");
    EXPECT_EQ(form.Caption(), "Test 'form'");
    EXPECT_EQ(form.Font.Name, "Tahoma");
    EXPECT_EQ(form.Font.Style, TTestFontStyles{fsBold});
    ASSERT_EQ(form.ComponentCount(), 6);  // five from the resource, one from a constructor

    auto* lbl = Find(form, "lblName");
    auto* pnl = Find(form, "pnlMain");
    auto* edt = Find(form, "edtName");
    auto* sb = Find(form, "sbStatus");
    ASSERT_TRUE(lbl && pnl && edt && sb);
    // Everything is owned by the form; nesting gives the parent.
    EXPECT_EQ(edt->Owner(), &form);
    EXPECT_EQ(edt->Parent(), pnl);
    EXPECT_EQ(lbl->Parent(), &form);

    EXPECT_EQ(edt->Left, -8);
    EXPECT_EQ(edt->Small, 0x7F);
    EXPECT_EQ(edt->PasswordChar, '*');
    EXPECT_DOUBLE_EQ(edt->Ratio, 0.25);
    EXPECT_EQ(edt->Hint, "caf\xE9 \r\nx joined");
    EXPECT_EQ(edt->Items.Text(), "one\r\ntwo\r\n");
    EXPECT_EQ(pnl->Align, alClient);
    EXPECT_EQ(pnl->Color, clWindow);
    EXPECT_EQ(sb->Width, -1);
    ASSERT_EQ(sb->Panels.Count(), 2);
    EXPECT_EQ(sb->Panels.ItemsAs<TTestPanel>(0)->Width, 120);
    EXPECT_EQ(sb->Panels.ItemsAs<TTestPanel>(0)->Text, "Ready");
    EXPECT_EQ(sb->Panels.ItemsAs<TTestPanel>(1)->Width, 50);
    EXPECT_EQ(sb->Panels.ItemsAs<TTestPanel>(1)->Alignment, alRight);
    EXPECT_EQ(sb->Picture.Data, (TBinaryData{0x0A, 0x0B, 0x0C, 0x0D}));

    // A forward reference, and one to a component that a constructor made.
    EXPECT_EQ(lbl->FocusControl(), edt);
    EXPECT_EQ(lbl->Buddy.get(), form.FindComponent("psHelper"));
    EXPECT_NE(lbl->Buddy.get(), nullptr);

    // Events call the root's handlers.
    form.OnClick(&form);
    edt->OnClick(edt);
    TCloseAction action = caNone;
    edt->OnClose(edt, action);
    EXPECT_EQ(action, caFree);
    EXPECT_EQ(form.Calls, (std::vector<std::string>{"ButtonClick frmTest", "ButtonClick edtName", "FormClose"}));
}

TEST_F(FormResourceTest, SettersSeeLoadingAndLoadedRunsInCreationOrder)
{
    TTestForm form(nullptr);
    ReadRootComponent(&form, kForm, "Test.frm");
    EXPECT_EQ(Log(), (std::vector<std::string>{"Loaded frmTest", "Loaded lblName", "Loaded pnlMain", "Loaded edtName",
                                               "Loaded sbStatus", "Loaded install"}));
    EXPECT_TRUE(form.CaptionSetWhileLoading);
    EXPECT_TRUE(Find(form, "lblName")->CaptionSetWhileLoading);
    for (int i = 0; i < form.ComponentCount(); ++i)
        EXPECT_FALSE(form.Components(i)->ComponentState().Contains(csLoading)) << form.Components(i)->Name();
    EXPECT_FALSE(form.IsLoading());
}

TEST_F(FormResourceTest, ErrorsNamePlacePathAndProblem)
{
    auto child = [](const std::string& props) {
        return "object f: TTestForm\n  object b: TTestControl\n" + props + "\n  end\n  object install: TTestInstaller\n  end\nend\n";
    };
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"object f: TTestForm\n  Caption 'x'\nend", "Test.frm:2:11: expected '=' but found a string"},
        {"object f: TTestForm\n  object b: TNoSuch\n  end\nend", "Test.frm:2:13: f.b (TNoSuch): unknown class 'TNoSuch'"},
        {child("    Captoin = 'x'"), "Test.frm:3:5: f.b (TTestControl): unknown property 'Captoin'"},
        {child("    Font.Nmae = 'x'"), "Test.frm:3:5: f.b (TTestControl): unknown property 'Font.Nmae'"},
        {child("    Width = 'wide'"), "Test.frm:3:13: f.b (TTestControl): property 'Width' expects an integer, not a string"},
        {child("    Align = alMiddle"), "Test.frm:3:13: f.b (TTestControl): 'alMiddle' is not a value of TTestAlign"},
        {child("    Font.Style = [fsBold, fsHeavy]"), "Test.frm:3:18: f.b (TTestControl): 'fsHeavy' is not a value of TTestFontStyle"},
        {child("    Visible = Yes"), "Test.frm:3:15: f.b (TTestControl): 'Yes' is not a Boolean (True or False)"},
        {child("    Color = clPink"), "Test.frm:3:13: f.b (TTestControl): 'clPink' is not a colour"},
        {child("    Small = 40000"), "Test.frm:3:13: f.b (TTestControl): value 40000 is out of range for property 'Small'"},
        {child("    Font = 'x'"), "Test.frm:3:5: f.b (TTestControl): property 'Font' is a nested object: set its properties (Font.Name = ...)"},
        {child("    OnClick = Nope"), "Test.frm:3:15: f.b (TTestControl): no handler named 'Nope' in TTestForm"},
        {child("    OnClick = FormClose"),
         "Test.frm:3:15: f.b (TTestControl): handler 'FormClose' does not take the parameters of event 'OnClick'"},
        {child("    FocusControl = edtMissing"),
         "Test.frm:3:20: f.b (TTestControl): unknown component 'edtMissing' for property 'FocusControl'"},
        {child("    FocusControl = psHelper"),
         "Test.frm:3:20: f.b (TTestControl): component 'psHelper' is a TTestHelper, not a TTestControl"},
        {child("    Panels = <\n      item\n        Widht = 1\n      end>"),
         "Test.frm:5:9: f.b (TTestControl): Panels[0]: unknown property 'Widht'"},
        {child("  end\n  object B: TTestControl"), "Test.frm:4:3: f.B (TTestControl): A component named B already exists"},
        {"object f: TTestForm\n  Caption = 'open\nend", "Test.frm:2:13: unterminated string"},
        {"object f: TTestForm\n  Caption = #300\nend", "Test.frm:2:13: character code out of range (at most 255)"},
        {"object f: TTestForm\n  Picture.Data = {0A0}\nend", "Test.frm:2:22: binary data has an odd number of hexadecimal digits"},
        {"object f: TTestForm\n  Width = 12abc\nend", "Test.frm:2:11: invalid number '12a'"},
        {"object f: TTestForm\n  object b: TTestControl\n", "Test.frm:3:1: expected 'end' of object 'b' but found the end of the resource"},
        {"object f: TTestForm\nend\nend", "Test.frm:3:1: expected the end of the resource but found 'end'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadError(c.text), c.message) << c.text;
}

TEST_F(FormResourceTest, RootMustMatchTheResourceClass)
{
    TTestControl control(nullptr);
    try {
        ReadRootComponent(&control, "object f: TTestForm\nend", "Test.frm");
        FAIL();
    } catch (const EFormResourceError& e) {
        EXPECT_STREQ(e.what(), "Test.frm:1:11: f (TTestForm): the resource describes a TTestForm, not a TTestControl");
    }
    // A descendant may read a resource written for its ancestor.
    TTestForm form(nullptr);
    ReadRootComponent(&form, "object f: TTestControl\n  Caption = 'x'\nend", "Test.frm");
    EXPECT_EQ(form.Caption(), "x");
}

TEST_F(FormResourceTest, FailedLoadFreesWhatItMadeAndTheRootCanLoadAgain)
{
    std::string broken = kForm;
    broken.replace(broken.find("FocusControl = edtName"), 22, "FocusControl = edtNone");
    TTestForm form(nullptr);
    (new TTestHelper(&form))->SetName("keep");
    EXPECT_THROW(ReadRootComponent(&form, broken, "Test.frm"), EFormResourceError);
    ASSERT_EQ(form.ComponentCount(), 1);  // only what was there before, psHelper went too
    EXPECT_EQ(form.Components(0)->Name(), "keep");
    EXPECT_FALSE(form.IsLoading());
    EXPECT_NE(std::find(Log().begin(), Log().end(), "~edtName"), Log().end());

    ReadRootComponent(&form, kForm, "Test.frm");
    EXPECT_EQ(form.ComponentCount(), 7);
}

TEST_F(FormResourceTest, ComponentErrorsPassUnchangedAfterCleanUp)
{
    TTestForm form(nullptr);
    TTestControl::FailCaption = true;
    try {
        ReadRootComponent(&form, kForm, "Test.frm");
        FAIL();
    } catch (const EFormResourceError&) {
        FAIL() << "a component's own error was rewritten";
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "caption refused");
    }
    EXPECT_EQ(form.ComponentCount(), 0);
}

TEST_F(FormResourceTest, MalformedInputNeverCrashes)
{
    const char* const garbage[] = {
        "",
        "   \r\n ",
        "end",
        "object",
        "object :",
        "object f: TTestForm",
        "object f: TTestForm\n  Caption =",
        "object f: TTestForm\n  Caption = 'x' +\nend",
        "object f: TTestForm\n  Items.Strings = ('a' 'b'\nend",
        "object f: TTestForm\n  Panels = < item Width = 1 >\nend",
        "object f: TTestForm\n  Font.Style = [fsBold,\nend",
        "object f: TTestForm\n  Width = -\nend",
        "object f: TTestForm\n  Width = 99999999999999999999\nend",
        "object f: TTestForm\n  Width = -9223372036854775809\nend",
        "object f: TTestForm\n  Caption = #\nend",
        "object f: TTestForm\n  Picture.Data = {0A zz}\nend",
        "object f: TTestForm\n  Picture.Data = {0A0B",
        "object f: TTestForm\n  Ratio = 1e999\nend",
        "object f: TTestForm\n  Width = $\nend",
        "object f: TTestForm\n  inherited x: TTestControl\n  end\nend",
        "object f: TTestForm\n  Caption = \x01\nend",
        "object f: TTestForm\n  Items = 5\nend",
        "\xEF\xBB\xBFobject f: TTestForm\nend",
    };
    for (const char* text : garbage) {
        TTestForm form(nullptr);
        EXPECT_THROW(ReadRootComponent(&form, text, "Bad.frm"), EFormResourceError) << text;
    }

    // Every cut of a good resource, and random damage to it: an error or a load, never anything else.
    std::string good = kForm;
    for (size_t length = 0; length < good.size(); ++length) {
        TTestForm form(nullptr);
        try {
            ReadRootComponent(&form, std::string_view(good).substr(0, length), "Cut.frm");
        } catch (const EFormResourceError&) {
        }
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = good;
        for (int n = 0; n < 3; ++n)
            damaged[random() % damaged.size()] = static_cast<char>(random() % 256);
        TTestForm form(nullptr);
        try {
            ReadRootComponent(&form, damaged, "Damaged.frm");
        } catch (const EFormResourceError&) {
        }
    }
}

TEST_F(FormResourceTest, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    std::string objects = "object f: TTestForm\n";
    for (int i = 0; i < 5000; ++i)
        objects += "object TTestControl\n";
    EXPECT_NE(LoadError(objects).find("nested too deeply"), std::string::npos);
    std::string lists = "object f: TTestForm\n  Items.Strings = " + std::string(100000, '(');
    EXPECT_NE(LoadError(lists).find("nested too deeply"), std::string::npos);
}

TEST_F(FormResourceTest, WriterRoundTrip)
{
    // Without the installer: a component its constructor makes would be written and then made twice.
    std::string text = kForm;
    text.erase(text.find("    Buddy = psHelper\n"), 21);
    text.erase(text.find("  object install"), 39);
    TTestForm first(nullptr);
    ReadRootComponent(&first, text, "Test.frm");
    ASSERT_EQ(first.ComponentCount(), 4);
    AnsiString written = WriteComponentResource(first);

    TTestForm second(nullptr);
    ReadRootComponent(&second, written, "Written.frm");
    EXPECT_EQ(WriteComponentResource(second), written);

    auto* edt = Find(second, "edtName");
    ASSERT_NE(edt, nullptr);
    EXPECT_EQ(edt->Parent(), Find(second, "pnlMain"));
    EXPECT_EQ(edt->Hint, "caf\xE9 \r\nx joined");
    EXPECT_EQ(Find(second, "lblName")->FocusControl(), edt);
    EXPECT_EQ(Find(second, "sbStatus")->Picture.Data, (TBinaryData{0x0A, 0x0B, 0x0C, 0x0D}));
    edt->OnClick(edt);
    EXPECT_EQ(second.Calls, (std::vector<std::string>{"ButtonClick edtName"}));

    // Only what differs from the defaults, with values in resource syntax.
    EXPECT_NE(written.find("object frmTest: TTestForm\r\n  Caption = 'Test ''form'''\r\n  Width = 400\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("    object edtName: TTestControl\r\n      Left = -8\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("      Hint = 'caf'#233' '#13#10'x joined'\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("      Items.Strings = (\r\n        'one'\r\n        'two')\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("      OnClick = ButtonClick\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("  Font.Style = [fsBold]\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("    Color = clWindow\r\n"), AnsiString::npos);
    EXPECT_NE(written.find("        item\r\n          Alignment = alRight\r\n        end>\r\n"), AnsiString::npos);
    EXPECT_EQ(written.find("Visible"), AnsiString::npos);
    EXPECT_EQ(written.find("Ratio = 1"), AnsiString::npos);
}

TEST_F(FormResourceTest, WriterKeepsEveryByteAndNumber)
{
    TTestForm form(nullptr);
    form.SetName("f");
    auto* c = new TTestControl(&form);
    c->SetName("c");
    AnsiString all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    c->SetCaption(all + all);  // long enough to be cut into joined pieces
    c->Hint = "'";
    c->PasswordChar = '\t';
    c->Ratio = 0.1;
    c->Left = -2147483647 - 1;
    c->Color = static_cast<TColor>(0x00123456);
    c->Font.Size = 12;
    new TTestControl(&form);  // unnamed

    AnsiString written = WriteComponentResource(form);
    for (char ch : written)
        ASSERT_TRUE(ch == '\r' || ch == '\n' || (ch >= 32 && ch < 127)) << "raw byte " << int(static_cast<unsigned char>(ch));
    TTestForm back(nullptr);
    ReadRootComponent(&back, written, "Written.frm");
    auto* d = Find(back, "c");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Caption(), all + all);
    EXPECT_EQ(d->Hint, "'");
    EXPECT_EQ(d->PasswordChar, '\t');
    EXPECT_EQ(d->Ratio, 0.1);
    EXPECT_EQ(d->Left, -2147483647 - 1);
    EXPECT_EQ(d->Color, static_cast<TColor>(0x00123456));
    EXPECT_EQ(d->Font.Size, 12);
    EXPECT_EQ(back.ComponentCount(), 2);
    EXPECT_EQ(WriteComponentResource(back), written);
}

TEST_F(FormResourceTest, SecondInstanceOfAFormTakesANumberedName)
{
    TComponent application(nullptr);
    auto* one = new TTestForm(&application);
    auto* two = new TTestForm(&application);
    ReadRootComponent(one, "object frmDialog: TTestForm\nend", "Dialog.frm");
    ReadRootComponent(two, "object frmDialog: TTestForm\nend", "Dialog.frm");
    EXPECT_EQ(one->Name(), "frmDialog");
    EXPECT_EQ(two->Name(), "frmDialog_1");
}

TEST_F(FormResourceTest, EmbeddedResourcesAreFoundByFileOrClassName)
{
    RegisterFormResources_tests_platform_vcl_core();
    RegisterFormResources_tests_platform_vcl_core();  // harmless twice
    const AnsiString* text = FindFormResource("embeddedform.FRM");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->substr(0, 32), "object frmEmbedded: TTestForm\n  ");
    EXPECT_EQ(FindFormResource("TTestForm"), text);
    EXPECT_EQ(FindFormResource("Missing.frm"), nullptr);
    EXPECT_EQ(FormResourceName("TTestForm"), "EmbeddedForm.frm");

    TTestForm form(nullptr);
    ReadComponentResource(&form, "TTestForm");
    EXPECT_EQ(form.Caption(), "Embedded");
    EXPECT_EQ(Find(form, "lblHello")->Caption(), "Hello");
    form.OnClick(&form);
    EXPECT_EQ(form.Calls, (std::vector<std::string>{"FormCreate"}));

    EXPECT_THROW(ReadComponentResource(&form, "Missing.frm"), EFormResourceError);
    EXPECT_THROW(RegisterFormResource("EmbeddedForm.frm", "object x: TTestForm\nend"), EFormResourceError);
}

TEST_F(FormResourceTest, CreatesTheRootFromTheResourceClass)
{
    TComponent owner(nullptr);
    TComponent* made = CreateComponentFromResource("object dlg: TTestForm\n  Caption = 'made'\nend", "Made.frm", &owner);
    EXPECT_EQ(made->Owner(), &owner);
    EXPECT_EQ(dynamic_cast<TTestForm*>(made)->Caption(), "made");
    EXPECT_THROW(CreateComponentFromResource("object dlg: TTestForm\n  Captoin = 'x'\nend", "Made.frm", &owner),
                 EFormResourceError);
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(FormResourceLexerTest, StringsJoinNumbersAndPositions)
{
    formres::TObjectNode tree = formres::ParseFormResource(
        "object a: TX\r\n  S = 'x'#$41'y' + #66\r\n  N = -$10\r\n  F = -1.5e2\r\n  L = ('p' 'q' 3)\r\nend", "L.frm");
    ASSERT_EQ(tree.Properties.size(), 4u);
    EXPECT_EQ(tree.Properties[0].Value.Text, "xAyB");
    EXPECT_EQ(tree.Properties[1].Value.Integer, -16);
    EXPECT_EQ(tree.Properties[2].Value.Float, -150.0);
    EXPECT_EQ(tree.Properties[3].Value.List.size(), 3u);
    EXPECT_EQ(tree.Properties[3].Pos.Line, 5);
    EXPECT_EQ(tree.Properties[3].Value.List[1].Pos.Column, 12);
    EXPECT_EQ(formres::PeekRootClassName("object a: TX\nend"), "TX");
    EXPECT_EQ(formres::PeekRootClassName("object TY\nend"), "TY");
    EXPECT_EQ(formres::PeekRootClassName("junk"), "");
}

}  // namespace
