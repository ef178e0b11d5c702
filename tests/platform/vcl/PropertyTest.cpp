#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/vcl/TestComponents.h"

using namespace vcl;
using namespace vcltest;

namespace {

std::vector<AnsiString> Names(const std::vector<const TPropInfo*>& props)
{
    std::vector<AnsiString> names;
    for (const TPropInfo* p : props)
        names.push_back(p->Name);
    return names;
}

TEST(PropertyTest, ScalarKindsReadAndWriteByName)
{
    TTestControl c(nullptr);
    SetPropValue(&c, "Caption", "OK");
    SetPropValue(&c, "left", 12);  // names ignore case
    SetPropValue(&c, "Visible", false);
    SetPropValue(&c, "Ratio", 2.5);
    SetPropValue(&c, "PasswordChar", "*");
    SetPropValue(&c, "Color", "clRed");
    SetPropValue(&c, "Align", "alClient");

    EXPECT_EQ(c.Caption(), "OK");
    EXPECT_EQ(c.Left, 12);
    EXPECT_FALSE(c.Visible);
    EXPECT_DOUBLE_EQ(c.Ratio, 2.5);
    EXPECT_EQ(c.PasswordChar, '*');
    EXPECT_EQ(c.Color, clRed);
    EXPECT_EQ(c.Align, alClient);

    EXPECT_EQ(GetPropValue(&c, "Caption").AsString(), "OK");
    EXPECT_EQ(GetPropValue(&c, "Left").AsInteger(), 12);
    EXPECT_FALSE(GetPropValue(&c, "Visible").AsBool());
    EXPECT_EQ(GetPropValue(&c, "PasswordChar").AsString(), "*");
    EXPECT_EQ(GetPropValue(&c, "Align").AsString(), "alClient");
    EXPECT_EQ(GetEnumProp(&c, "ALIGN"), "alClient");
    EXPECT_EQ(GetOrdProp(&c, "Align"), alClient);
    EXPECT_EQ(GetOrdProp(&c, "Color"), 0x0000FF);

    // Numbers given as text, and the ordinal of an enumeration.
    SetPropValue(&c, "Left", "$10");
    EXPECT_EQ(c.Left, 16);
    SetOrdProp(&c, "Align", alTop);
    EXPECT_EQ(c.Align, alTop);
    SetPropValue(&c, "Color", "$00FF8000");
    EXPECT_EQ(static_cast<int32_t>(c.Color), 0x00FF8000);
}

TEST(PropertyTest, BadValuesAndUnknownNamesAreErrorsNotAdditions)
{
    TTestControl c(nullptr);
    try {
        SetPropValue(&c, "Captoin", "x");
        FAIL();
    } catch (const EPropertyError& e) {
        EXPECT_STREQ(e.what(), "unknown property 'Captoin' of TTestControl");
    }
    EXPECT_FALSE(IsPublishedProp(&c, "Captoin"));
    EXPECT_EQ(GetPropInfo(&c, "Captoin"), nullptr);

    EXPECT_THROW(SetPropValue(&c, "Align", "alMiddle"), EPropertyError);
    EXPECT_THROW(SetOrdProp(&c, "Align", 6), EPropertyError);
    EXPECT_THROW(SetPropValue(&c, "Small", 40000), EPropertyError);  // beyond int16
    EXPECT_THROW(SetPropValue(&c, "Left", "12a"), EPropertyError);
    EXPECT_THROW(SetPropValue(&c, "Color", "clPink"), EPropertyError);
    EXPECT_THROW(SetPropValue(&c, "PasswordChar", "ab"), EPropertyError);
    EXPECT_THROW(SetSetProp(&c, "Font.Style", "[fsBold, fsHeavy]"), EPropertyError);
    EXPECT_THROW(GetStrProp(&c, "Left"), EPropertyError);
    EXPECT_THROW(SetPropValue(&c, "Caption.Length", 1), EPropertyError);  // a string has no properties
    EXPECT_THROW(GetPropValue(&c, "OnClick"), EPropertyError);             // events have their own calls
    EXPECT_EQ(c.Small, 0);
    EXPECT_EQ(c.Align, alNone);
}

TEST(PropertyTest, NestedObjectsAndSetsByDottedPath)
{
    TTestControl c(nullptr);
    SetPropValue(&c, "Font.Name", "Courier New");
    SetSetProp(&c, "Font.Style", "[fsBold, fsItalic]");
    SetPropValue(&c, "font.size", 10);
    EXPECT_EQ(c.Font.Name, "Courier New");
    EXPECT_EQ(c.Font.Style, (TTestFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(GetSetProp(&c, "Font.Style"), "[fsBold, fsItalic]");
    EXPECT_EQ(GetSetProp(&c, "Font.Style", false), "fsBold, fsItalic");
    EXPECT_EQ(GetPropValue(&c, "Font.Size").AsInteger(), 10);
    SetPropValue(&c, "Font.Style", "[]");
    EXPECT_TRUE(c.Font.Style.Empty());

    EXPECT_EQ(GetObjectProp(&c, "Font"), &c.Font);
    EXPECT_EQ(PropType(&c, "Font"), tkClass);
    EXPECT_EQ(PropType(&c, "Font.Style"), tkSet);

    // A nested object without a setter is assigned in place.
    TTestFont other;
    other.Name = "Symbol";
    SetObjectProp(&c, "Font", &other);
    EXPECT_EQ(c.Font.Name, "Symbol");
    EXPECT_THROW(SetObjectProp(&c, "Font", &c.Picture), EPropertyError);
}

TEST(PropertyTest, ListsCollectionsBinaryAndReferences)
{
    TComponent form(nullptr);
    auto* c = new TTestControl(&form);
    auto* target = new TTestControl(&form);

    rtl::TStringList lines;
    lines.Add("one");
    lines.Add("two");
    SetPropValue(c, "Items", &lines);
    EXPECT_EQ(c->Items.Text(), "one\r\ntwo\r\n");
    EXPECT_EQ(GetStringsProp(c, "Items"), &c->Items);
    SetPropValue(c, "Items", "a\r\nb\r\nc");
    EXPECT_EQ(c->Items.Count(), 3);

    SetBinaryProp(c, "Picture.Data", TBinaryData{0x0A, 0x0B});
    EXPECT_EQ(GetBinaryProp(c, "Picture.Data"), (TBinaryData{0x0A, 0x0B}));

    auto* panels = dynamic_cast<TCollection*>(GetObjectProp(c, "Panels"));
    ASSERT_EQ(panels, &c->Panels);
    SetPropValue(panels->Add(), "Width", 75);
    EXPECT_EQ(c->Panels.ItemsAs<TTestPanel>(0)->Width, 75);

    SetObjectProp(c, "FocusControl", target);
    EXPECT_EQ(c->FocusControl(), target);
    EXPECT_EQ(GetPropValue(c, "FocusControl.Caption").AsString(), "");  // paths walk references too
    TTestFont notAComponent;
    EXPECT_THROW(SetObjectProp(c, "FocusControl", &notAComponent), EPropertyError);
    auto* helper = new TTestHelper(&form);
    EXPECT_THROW(SetObjectProp(c, "FocusControl", helper), EPropertyError);  // not a TTestControl
    SetPropValue(c, "FocusControl", nullptr);
    EXPECT_EQ(c->FocusControl(), nullptr);
    SetPropValue(c, "Buddy", helper);
    delete helper;
    EXPECT_EQ(GetObjectProp(c, "Buddy"), nullptr);
}

TEST(PropertyTest, EventsAreTypedAndBindByHandlerName)
{
    TTestForm form(nullptr);
    auto* button = new TTestControl(&form);
    button->SetName("btnOk");

    int clicks = 0;
    SetEventProp<TNotifyEvent>(button, "OnClick", [&](TObject*) { ++clicks; });
    GetEventProp<TNotifyEvent>(button, "OnClick")(button);
    EXPECT_EQ(clicks, 1);
    EXPECT_THROW(SetEventProp<TNotifyEvent>(button, "OnClose", [](TObject*) {}), EPropertyError);
    EXPECT_THROW(GetEventProp<TCloseEvent>(button, "OnClick"), EPropertyError);
    EXPECT_FALSE(GetEventProp<TCloseEvent>(button, "OnClose"));  // unassigned reads as empty

    BindEventHandler(button, "OnClick", &form, "buttonclick");
    button->OnClick(button);
    EXPECT_EQ(form.Calls, (std::vector<std::string>{"ButtonClick btnOk"}));
    EXPECT_EQ(button->EventHandlerName("OnClick"), "ButtonClick");

    BindEventHandler(button, "OnClose", &form, "FormClose");
    TCloseAction action = caHide;
    button->OnClose(button, action);
    EXPECT_EQ(action, caFree);

    EXPECT_THROW(BindEventHandler(button, "OnClick", &form, "FormClose"), EPropertyError);  // other parameters
    EXPECT_THROW(BindEventHandler(button, "OnClick", &form, "NoSuchHandler"), EPropertyError);

    // Re-assigned in code at any time; an empty handler clears it.
    button->OnClick = [&](TObject*) { clicks += 10; };
    button->OnClick(button);
    EXPECT_EQ(clicks, 11);
    SetMethodProp(button, "OnClick", std::any());
    EXPECT_FALSE(button->OnClick);
}

TEST(PropertyTest, TablesAreInheritedInRegistrationOrder)
{
    TTestForm form(nullptr);
    std::vector<AnsiString> names = Names(GetPropList(&form));
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "Name");  // TComponent's first
    EXPECT_EQ(names[1], "Tag");
    EXPECT_EQ(names[2], "Caption");
    EXPECT_EQ(TTestForm::StaticClass().FindHandler("formcreate")->Name, "FormCreate");
    EXPECT_EQ(TTestControl::StaticClass().FindHandler("FormCreate"), nullptr);

    // The translator's walk: string properties only.
    EXPECT_EQ(Names(GetStringPropList(&form)), (std::vector<AnsiString>{"Name", "Caption", "Hint"}));
    EXPECT_EQ(Names(GetPropList(&form, {tkMethod})), (std::vector<AnsiString>{"OnClick", "OnClose", "OnKeyPress"}));
}

TEST(PropertyTest, ReregisteringAnInheritedNameKeepsItsPlace)
{
    struct Local {
        static const TClassMeta& Build()
        {
            static TClassMeta meta("TNarrow", &TTestControl::StaticClass(), nullptr, nullptr);
            TClassDef<TTestControl> def(meta);
            def.Property("Left", &TTestControl::Left, nullptr, 5);  // read-only here, other default
            return meta;
        }
    };
    const TClassMeta& meta = Local::Build();
    const TClassMeta& base = TTestControl::StaticClass();
    EXPECT_EQ(meta.PropCount(), base.PropCount());
    int index = -1;
    for (int i = 0; i < meta.PropCount(); ++i)
        if (meta.Props(i).Name == "Left")
            index = i;
    ASSERT_GE(index, 0);
    EXPECT_EQ(base.Props(index).Name, "Left");
    EXPECT_TRUE(meta.Props(index).IsReadOnly());
    EXPECT_FALSE(base.Props(index).IsReadOnly());
}

TEST(PropertyTest, StoredFollowsDefaultsAndFlags)
{
    TTestControl c(nullptr);
    const TClassMeta& meta = c.ClassType();
    auto stored = [&](const char* name) { return meta.FindProp(name)->IsStored(c); };
    EXPECT_FALSE(stored("Caption"));  // default ''
    EXPECT_TRUE(stored("Width"));     // no default: integers always
    EXPECT_FALSE(stored("Hint"));     // no default: strings when not empty
    EXPECT_FALSE(stored("Name"));     // written in the object header instead
    EXPECT_FALSE(stored("Visible"));
    c.Visible = false;
    c.Hint = "tip";
    EXPECT_TRUE(stored("Visible"));
    EXPECT_TRUE(stored("Hint"));
    EXPECT_EQ(meta.FindProp("Visible")->Default, TPropValue(true));
    EXPECT_EQ(meta.FindProp("Align")->Default, TPropValue("alNone"));
}

TEST(PropertyTest, CopyPublishedPropsCopiesValuesNestedObjectsAndCollections)
{
    TTestControl a(nullptr), b(nullptr);
    a.SetCaption("x");
    a.Font.Style = {fsUnderline};
    a.Items.Add("line");
    a.Panels.AddAs<TTestPanel>()->Text = "p";
    CopyPublishedProps(a, b);
    EXPECT_EQ(b.Caption(), "x");
    EXPECT_EQ(b.Font.Style, (TTestFontStyles{fsUnderline}));
    EXPECT_EQ(b.Items.Text(), "line\r\n");
    ASSERT_EQ(b.Panels.Count(), 1);
    EXPECT_EQ(b.Panels.ItemsAs<TTestPanel>(0)->Text, "p");
}

TEST(ColorTest, IdentifiersAndSystemColours)
{
    EXPECT_EQ(static_cast<uint32_t>(clBtnFace), 0x8000000Fu);
    EXPECT_EQ(SystemColorIndex(clWindow), 5);
    EXPECT_EQ(SystemColorIndex(clRed), -1);
    EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
    EXPECT_EQ(ColorToString(clSilver), "clSilver");  // clLtGray shares the value; the first name wins
    EXPECT_EQ(ColorToString(static_cast<TColor>(0x00123456)), "$00123456");
    EXPECT_EQ(StringToColor("CLWHITE"), clWhite);
    EXPECT_EQ(StringToColor("$80000005"), clWindow);
    EXPECT_EQ(StringToColor("-16777201"), static_cast<TColor>(-16777201));
    EXPECT_THROW(StringToColor("$1FFFFFFFF"), rtl::EConvertError);
    EXPECT_THROW(StringToColor("red"), rtl::EConvertError);
    EXPECT_THROW(StringToColor(""), rtl::EConvertError);
}

TEST(EnumTest, IdentifiersAndSets)
{
    const TEnumInfo& info = EnumInfoOf<TTestAlign>();
    EXPECT_EQ(info.TypeName(), "TTestAlign");
    EXPECT_EQ(info.Count(), 6);
    EXPECT_EQ(info.ValueOf("ALCLIENT"), alClient);
    EXPECT_EQ(info.ValueOf("alMiddle"), -1);
    EXPECT_EQ(info.Name(99), "");
    EXPECT_EQ(EnumName(alLeft), "alLeft");

    TTestFontStyles s{fsBold};
    s << fsItalic;
    s >> fsBold;
    EXPECT_EQ(s, TTestFontStyles{fsItalic});
    EXPECT_EQ(StringToSet(EnumInfoOf<TTestFontStyle>(), " [ fsStrikeOut ,fsBold ] "), (1u << fsBold) | (1u << fsStrikeOut));
    EXPECT_THROW(StringToSet(EnumInfoOf<TTestFontStyle>(), "[fsBold"), EPropertyError);
}

}  // namespace
