// The translator: look-ups by text and by number, the user's language from the prefix's setting, the
// walk over a form loaded from its resource (into German and back), fonts, and what a failed walk leaves.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FormResources_tests_installer_support.h"
#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkTranslator.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Settings.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;

class TfrmTranslated : public TForm {
    VCL_CLASS(TfrmTranslated, TForm)
public:
    explicit TfrmTranslated(TComponent* owner) : TForm(owner)
    {
        RegisterFormResources_tests_installer_support();
        RegisterTranslatorClasses();
        RegisterClass<TfrmTranslated>();
        LoadForm("TranslatedForm.frm");
    }
    template <class T>
    T& Get(std::string_view name) const { return *FindChild<T>(name); }
};
VCL_IMPLEMENT_CLASS_NOPROPS(TfrmTranslated)

// A panel with a text of its own that refuses to be changed, so a walk fails in the middle.
class TRefusingPanel : public TPanel {
    VCL_CLASS(TRefusingPanel, TPanel)
public:
    explicit TRefusingPanel(TComponent* owner) : TPanel(owner) {}
    const AnsiString& Refusal() const { return refusal_; }
    void SetRefusal(const AnsiString& value)
    {
        if (!refusal_.empty() && value != refusal_)
            throw rtl::Exception("refused");
        refusal_ = value;
    }

private:
    AnsiString refusal_;
};
VCL_IMPLEMENT_CLASS(TRefusingPanel)
void TRefusingPanel::RegisterProperties(TClassDef<TRefusingPanel>& def)
{
    def.Property("Refusal", &TRefusingPanel::Refusal, &TRefusingPanel::SetRefusal, AnsiString());
}

namespace {

const char* const GermanGreen = "Gr\xFCn";

class TranslatorTest : public VclTest {
protected:
    void TearDown() override
    {
        win::SetUserLanguageId(0x0409);
        VclTest::TearDown();
    }
};

std::vector<std::string> Items(const rtl::TStrings& list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list[i]);
    return items;
}

}  // namespace

TEST_F(TranslatorTest, TextsAreFoundWithoutCaseAndTakenFromTheTargetByNumber)
{
    TTranslator translator(nullptr);
    translator.lgEnglish()->Strings()->SetText("1;Next >\r\n2;Back\r\n3;next >\r\n4; Cancel\r\n");
    translator.lgGerman()->Strings()->SetText("2;Zur\xFC" "ck\r\n1;Weiter >\r\n1;Vorw\xE4rts\r\n4;Abbrechen\r\n");
    translator.SetTranslateIntoLanguage(tlGerman);

    EXPECT_EQ(translator.TranslateFrom(tlEnglish, "NEXT >"), "Weiter >");  // the first match, GLID 1
    EXPECT_EQ(translator.TranslateFrom(tlEnglish, "Back"), "Zur\xFC" "ck");
    EXPECT_EQ(translator.TranslateFrom(tlEnglish, "Cancel"), "Cancel");    // the stored text is " Cancel"
    EXPECT_EQ(translator.TranslateFrom(tlEnglish, " Cancel"), "Abbrechen");
    EXPECT_EQ(translator.TranslateFrom(tlEnglish, "Unknown"), "Unknown");
    EXPECT_EQ(translator.TranslateFrom(tlFrench, "Back"), "Back");          // French has no text
    EXPECT_EQ(translator.TranslateByGlid(1, "x"), "Weiter >");
    EXPECT_EQ(translator.TranslateByGlid(9, "x"), "x");

    // The hook translates from English through the global translator.
    EXPECT_EQ(GlobalTranslator(), &translator);
    EXPECT_EQ(TranslateText("back"), "Zur\xFC" "ck");
}

TEST_F(TranslatorTest, MemosMatchExactlyAndTakeTheTargetsLines)
{
    TTranslator translator(nullptr);
    translator.lgEnglish()->Strings()->SetText("#5;\r\nOne\r\nTwo\r\n#\r\n");
    translator.lgGerman()->Strings()->SetText("#5;\r\nEins\r\nZwei\r\nDrei\r\n#\r\n");
    translator.SetTranslateIntoLanguage(tlGerman);

    rtl::TStringList lines;
    lines.SetText("One\r\nTwo\r\n");
    EXPECT_EQ(Items(*translator.TranslateLines(tlEnglish, lines)), (std::vector<std::string>{"Eins", "Zwei", "Drei"}));
    lines.SetText("one\r\nTwo\r\n");
    EXPECT_EQ(Items(*translator.TranslateLines(tlEnglish, lines)), (std::vector<std::string>{"one", "Two"}));
}

TEST_F(TranslatorTest, TheUsersLanguageComesFromThePrefixSetting)
{
    TTranslator translator(nullptr);
    ASSERT_EQ(translator.TranslateIntoLanguage(), tlUser);
    translator.lgEnglish()->Strings()->SetText("1;Cancel\r\n");
    translator.lgGerman()->Strings()->SetText("1;Abbrechen\r\n");
    translator.lgNorwegianNynorsk()->Strings()->SetText("1;Avbryt\r\n");

    win::SetUserLanguageId(0x0407);
    EXPECT_EQ(translator.GetUserLanguage(), translator.lgGerman());
    EXPECT_EQ(translator.GetTargetLanguage(), translator.lgGerman());
    EXPECT_EQ(TranslateText("Cancel"), "Abbrechen");

    win::SetUserLanguageId(0x0814);  // Norwegian, sublanguage 2
    EXPECT_EQ(TranslateText("Cancel"), "Avbryt");

    // A source of tlUser is the user's language as well.
    EXPECT_EQ(translator.TranslateFrom(tlUser, "avbryt"), "Avbryt");
    win::SetUserLanguageId(0x0409);
    EXPECT_EQ(translator.TranslateFrom(tlUser, "cancel"), "Cancel");
}

TEST(LanguageFromLangId, PrimaryAndSubLanguages)
{
    EXPECT_EQ(LanguageFromLangId(0x0404), tlChineseTraditional);
    EXPECT_EQ(LanguageFromLangId(0x0804), tlChineseSimplified);
    EXPECT_EQ(LanguageFromLangId(0x0C04), tlChineseSimplified);
    EXPECT_EQ(LanguageFromLangId(0x0407), tlGerman);
    EXPECT_EQ(LanguageFromLangId(0x0416), tlPortugese);
    EXPECT_EQ(LanguageFromLangId(0x042A), tlVietnamese);
    EXPECT_EQ(LanguageFromLangId(0x0414), tlNorwegianBokmal);
    EXPECT_EQ(LanguageFromLangId(0x0814), tlNorwegianNynorsk);
    EXPECT_EQ(LanguageFromLangId(0x0C14), tlNorwegianBokmal);
    EXPECT_EQ(LanguageFromLangId(0x0409), tlEnglish);
    EXPECT_EQ(LanguageFromLangId(0x040E), tlEnglish);
    EXPECT_EQ(LanguageCharset(tlRussian), 204);
}

TEST_F(TranslatorTest, TheFirstTranslatorIsTheGlobalOneUntilItGoes)
{
    auto first = std::make_unique<TTranslator>(nullptr);
    {
        TTranslator second(nullptr);
        EXPECT_EQ(GlobalTranslator(), first.get());
    }
    EXPECT_EQ(GlobalTranslator(), first.get());
    first.reset();
    EXPECT_EQ(GlobalTranslator(), nullptr);
}

TEST_F(TranslatorTest, FormFromItsResourceIsTranslatedIntoGermanWithFontsAndBack)
{
    TfrmTranslated form(nullptr);
    auto& translator = form.Get<TTranslator>("MainTranslator");
    ASSERT_EQ(GlobalTranslator(), &translator);
    ASSERT_EQ(translator.lgGerman()->StringEntries().size(), 7u);

    EXPECT_EQ(TranslateComponentInto(tlEnglish, tlGerman, &form), tlGerman);
    EXPECT_EQ(translator.TranslateIntoLanguage(), tlUser);
    EXPECT_EQ(form.Caption(), "Installation");
    EXPECT_EQ(form.Get<TTranslateLabel>("lblWelcome").Caption(), "Willkommen");
    EXPECT_EQ(form.Get<TTranslateLabel>("lblUntouched").Caption(), "Welcome");
    EXPECT_EQ(form.Get<TTranslateLabel>("lblChoose").Caption(), "W\xE4hlen Sie eine Farbe");
    EXPECT_EQ(form.Get<TTranslateBitBtn>("btnNext").Caption(), "&Weiter >");
    EXPECT_EQ(form.Get<TButton>("btnCancel").Caption(), "Abbrechen");
    EXPECT_EQ(Items(*form.Get<TListBox>("lstColours").Items()), (std::vector<std::string>{"Rot", GermanGreen, "Blue"}));
    EXPECT_EQ(Items(*form.Get<TMemo>("memThanks").Lines()),
              (std::vector<std::string>{"Danke, dass Sie", "unser Produkt gew\xE4hlt haben."}));
    // What the walk hid and switched off is back.
    EXPECT_TRUE(form.Get<TPanel>("pnlButtons").Visible());
    EXPECT_TRUE(form.Get<TTranslateLabel>("lblWelcome").Visible());
    EXPECT_TRUE(form.Get<TTranslateLabel>("lblWelcome").AutoSize());

    TranslateControlFontInto(tlGerman, &form, false);
    for (TControl* control : std::vector<TControl*>{&form, &form.Get<TTranslateLabel>("lblWelcome"),
                                                    &form.Get<TTranslateBitBtn>("btnNext")}) {
        SCOPED_TRACE(control->Name());
        EXPECT_EQ(control->Font()->Name(), "MS Sans Serif");
        EXPECT_EQ(control->Font()->Charset(), 0);
        EXPECT_EQ(control->Font()->Size(), 8);  // raised from 6
    }
    EXPECT_EQ(form.Get<TTranslateLabel>("lblChoose").Font()->Size(), 12);  // a larger size stays

    EXPECT_EQ(TranslateComponentInto(tlGerman, tlEnglish, &form), tlEnglish);
    EXPECT_EQ(form.Caption(), "Setup");
    EXPECT_EQ(form.Get<TTranslateLabel>("lblWelcome").Caption(), "Welcome");
    EXPECT_EQ(form.Get<TTranslateLabel>("lblChoose").Caption(), "Choose a colour");
    EXPECT_EQ(form.Get<TTranslateBitBtn>("btnNext").Caption(), "&Next >");
    EXPECT_EQ(form.Get<TButton>("btnCancel").Caption(), "Cancel");
    EXPECT_EQ(Items(*form.Get<TListBox>("lstColours").Items()), (std::vector<std::string>{"Red", "Green", "Blue"}));
    EXPECT_EQ(Items(*form.Get<TMemo>("memThanks").Lines()),
              (std::vector<std::string>{"Thank you for choosing", "our product."}));
    TranslateControlFontInto(tlEnglish, &form, false);
    EXPECT_EQ(form.Get<TButton>("btnCancel").Font()->Name(), "Arial");
}

TEST_F(TranslatorTest, UserLanguageFromThePrefixTranslatesTheFormForTlUser)
{
    TfrmTranslated form(nullptr);
    win::SetUserLanguageId(0x0407);
    EXPECT_EQ(TranslateComponent(tlEnglish, &form), tlUser);
    EXPECT_EQ(form.Get<TButton>("btnCancel").Caption(), "Abbrechen");
    TranslateControlFont(&form, false);
    EXPECT_EQ(form.Font()->Name(), "MS Sans Serif");

    // A user language without text leaves the texts and the language they stand in, and the fonts are
    // set for English.
    win::SetUserLanguageId(0x0419);
    EXPECT_EQ(TranslateComponent(tlGerman, &form), tlGerman);
    EXPECT_EQ(form.Get<TButton>("btnCancel").Caption(), "Abbrechen");
    TranslateControlFont(&form, false);
    EXPECT_EQ(form.Font()->Name(), "Arial");
    EXPECT_EQ(form.Font()->Charset(), 0);
    // Kept: the Russian fonts although Russian has no text.
    TranslateControlFont(&form, true);
    EXPECT_EQ(form.Font()->Charset(), 204);
}

TEST_F(TranslatorTest, WithoutAnyTextEverythingStaysEnglishAndFontsAreEnglish)
{
    TForm form(nullptr);
    form.SetCaption("Setup");
    form.Font()->SetHeight(-8);
    TTranslator translator(&form);
    EXPECT_EQ(TranslateComponent(tlEnglish, &form), tlEnglish);
    EXPECT_EQ(TranslateComponentInto(tlEnglish, tlJapanese, &form), tlEnglish);
    EXPECT_EQ(form.Caption(), "Setup");
    TranslateControlFontInto(tlJapanese, &form, false);
    EXPECT_EQ(form.Font()->Name(), "Arial");
    EXPECT_EQ(form.Font()->Size(), 8);
    EXPECT_EQ(form.Font()->Charset(), 0);
}

TEST_F(TranslatorTest, FarEastFontsAndTheOverridingFont)
{
    TForm form(nullptr);
    TTranslator translator(&form);
    translator.lgChineseTraditional()->Strings()->SetText("1;x\r\n");
    translator.SetFontsInto(tlChineseTraditional, &form, false);
    EXPECT_EQ(form.Font()->Name(), "\xB7\x73\xB2\xD3\xA9\xFA\xC5");
    EXPECT_EQ(form.Font()->Charset(), 136);
    EXPECT_EQ(form.Font()->Size(), 9);

    TLanguage& korean = *translator.lgKorean();
    korean.Font()->SetName("Batang");
    korean.Font()->SetSize(11);
    korean.SetFontOverride(true);
    translator.SetFontsInto(tlKorean, &form, true);
    EXPECT_EQ(form.Font()->Name(), "Batang");
    EXPECT_EQ(form.Font()->Size(), 11);
}

TEST_F(TranslatorTest, OwnedFormsAreLeftToThemselves)
{
    TForm form(nullptr);
    TTranslator translator(&form);
    translator.lgEnglish()->Strings()->SetText("1;Cancel\r\n");
    translator.lgGerman()->Strings()->SetText("1;Abbrechen\r\n");
    form.SetCaption("Cancel");
    auto* owned = new TForm(&form);
    owned->SetCaption("Cancel");
    translator.TranslateComponentInto(tlEnglish, tlGerman, &form);
    EXPECT_EQ(form.Caption(), "Abbrechen");
    EXPECT_EQ(owned->Caption(), "Cancel");
}

TEST_F(TranslatorTest, FailedWalkShowsWhatItHidAndPutsTheTargetBack)
{
    RegisterClass<TRefusingPanel>();
    TForm form(nullptr);
    TTranslator translator(&form);
    translator.lgEnglish()->Strings()->SetText("1;Cancel\r\n");
    translator.lgGerman()->Strings()->SetText("1;Abbrechen\r\n");
    int changes = 0;
    translator.OnChange = [&](rtl::TObject*) { ++changes; };

    auto* outer = new TPanel(&form);
    outer->SetParent(&form);
    auto* label = new TLabel(outer);
    label->SetParent(outer);
    label->SetCaption("Cancel");
    auto* inner = new TRefusingPanel(outer);
    inner->SetParent(outer);
    inner->SetRefusal("Cancel");
    auto* hidden = new TPanel(&form);
    hidden->SetParent(&form);
    hidden->SetVisible(false);

    try {
        translator.TranslateComponentInto(tlEnglish, tlGerman, &form);
        ADD_FAILURE() << "the walk went through";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "refused");
    }
    EXPECT_TRUE(outer->Visible());
    EXPECT_TRUE(inner->Visible());
    EXPECT_TRUE(label->Visible());
    EXPECT_TRUE(label->AutoSize());
    EXPECT_EQ(label->Caption(), "Abbrechen");
    EXPECT_FALSE(hidden->Visible());
    EXPECT_EQ(translator.TranslateIntoLanguage(), tlUser);
    EXPECT_EQ(changes, 1);  // the swap told, the restore did not
}

TEST_F(TranslatorTest, ParseErrorInTheResourceFailsTheLoadWithItsMessage)
{
    RegisterTranslatorClasses();
    TComponent root(nullptr);
    const char* text =
        "object Holder: TComponent\n"
        "  object MainTranslator: TTranslator\n"
        "    lgFrench.Strings.Strings = (\n"
        "      '1;Suivant >'\n"
        "      'x;Annuler')\n"
        "  end\n"
        "end\n";
    try {
        ReadRootComponent(&root, text, "Holder.frm");
        ADD_FAILURE() << "loaded";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "The 1'th string (x;Annuler) does not have the proper format of GLID;Text or .GLID;");
    }
    EXPECT_EQ(GlobalTranslator(), nullptr);
}

TEST_F(TranslatorTest, LanguageTextsAndFontsTravelWithTheWrittenTranslator)
{
    TfrmTranslated form(nullptr);
    auto& translator = form.Get<TTranslator>("MainTranslator");
    translator.lgGreek()->SetFontOverride(true);
    translator.lgGreek()->Font()->SetName("Courier New");
    AnsiString text = WriteComponentResource(translator);

    TTranslator copy(nullptr);
    ReadRootComponent(&copy, text, "Copy.frm");
    EXPECT_EQ(copy.lgGerman()->Strings()->Text(), translator.lgGerman()->Strings()->Text());
    EXPECT_EQ(copy.lgGerman()->StringEntries().size(), 7u);
    EXPECT_EQ(copy.lgEnglish()->MemoEntries().size(), 1u);
    EXPECT_TRUE(copy.lgGreek()->FontOverride());
    EXPECT_EQ(copy.lgGreek()->Font()->Name(), "Courier New");
    EXPECT_EQ(copy.TranslateIntoLanguage(), tlUser);
}
