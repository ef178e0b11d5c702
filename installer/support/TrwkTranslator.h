#pragma once
// The translator: 21 languages, each with its language text, and the operations that turn the texts and
// fonts of forms from one language into another. A text is found by its number (GLID) in the language it
// stands in and replaced by the text of that number in the target language; labels and buttons may carry
// their number themselves. The first translator made installs itself behind the hooks of
// TranslatorHooks.h, through which forms, dialogs and errors translate.
//
//   TTranslator* translator = new TTranslator(form);            // or from the form's resource
//   translator->lgGerman()->Strings()->SetText("5;Weiter >\r\n");
//   translator->lgEnglish()->Strings()->SetText("5;Next >\r\n");
//   translator->SetTranslateIntoLanguage(tlGerman);
//   translator->TranslateFrom(tlEnglish, "next >");             // "Weiter >"
//   language = translator->TranslateComponent(language, form);  // tlGerman once German has text
//
// tlUser stands for the language of the user's Windows (GetUserDefaultLangID); it is looked up each time
// it is used.

#include <cstdint>
#include <memory>
#include <vector>

#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkLanguage.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/Classes.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/WinTypes.h"

class TTranslator : public vcl::TComponent, public ITrwkTranslator {
    VCL_CLASS(TTranslator, vcl::TComponent)
public:
    explicit TTranslator(vcl::TComponent* owner);
    ~TTranslator() override;

    TLanguage* lgChineseSimplified() const { return Language(tlChineseSimplified); }
    TLanguage* lgChineseTraditional() const { return Language(tlChineseTraditional); }
    TLanguage* lgCzech() const { return Language(tlCzech); }
    TLanguage* lgDanish() const { return Language(tlDanish); }
    TLanguage* lgDutch() const { return Language(tlDutch); }
    TLanguage* lgEnglish() const { return Language(tlEnglish); }
    TLanguage* lgFrench() const { return Language(tlFrench); }
    TLanguage* lgGerman() const { return Language(tlGerman); }
    TLanguage* lgGreek() const { return Language(tlGreek); }
    TLanguage* lgHebrew() const { return Language(tlHebrew); }
    TLanguage* lgItalian() const { return Language(tlItalian); }
    TLanguage* lgJapanese() const { return Language(tlJapanese); }
    TLanguage* lgKorean() const { return Language(tlKorean); }
    TLanguage* lgNorwegianBokmal() const { return Language(tlNorwegianBokmal); }
    TLanguage* lgNorwegianNynorsk() const { return Language(tlNorwegianNynorsk); }
    TLanguage* lgPolish() const { return Language(tlPolish); }
    TLanguage* lgPortugese() const { return Language(tlPortugese); }
    TLanguage* lgRussian() const { return Language(tlRussian); }
    TLanguage* lgSpanish() const { return Language(tlSpanish); }
    TLanguage* lgSwedish() const { return Language(tlSwedish); }
    TLanguage* lgVietnamese() const { return Language(tlVietnamese); }

    TTrwkLanguage TranslateIntoLanguage() const { return translateInto_; }
    // Stores the value, then tells OnChange.
    void SetTranslateIntoLanguage(TTrwkLanguage value);
    // Told when TranslateIntoLanguage is set (not when the temporary swaps put it back).
    vcl::TNotifyEvent OnChange;

    // The 21 languages in value order (tlUser has none).
    const std::vector<TLanguage*>& Languages() const { return list_; }

    // ---- look-ups
    // The language object of a value, or nullptr (tlUser has none).
    TLanguage* FindLanguage(TTrwkLanguage value) const;
    // The language of the user's Windows, or nullptr when it cannot be had.
    TLanguage* GetUserLanguage() const;
    // The language texts are translated into: the user's for tlUser.
    TLanguage* GetTargetLanguage() const;

    // ---- translation
    rtl::AnsiString TranslateFrom(TTrwkLanguage source, const rtl::AnsiString& text) override;
    rtl::AnsiString TranslateByGlid(int32_t glid, const rtl::AnsiString& text) const;
    std::unique_ptr<rtl::TStringList> TranslateLines(TTrwkLanguage source, const rtl::TStrings& lines) const;
    TTrwkLanguage TranslateComponent(TTrwkLanguage source, vcl::TComponent* component) override;
    TTrwkLanguage TranslateComponentInto(TTrwkLanguage source, TTrwkLanguage target,
                                         vcl::TComponent* component) override;
    void SetFonts(vcl::TControl* control, bool keep) override;
    void SetFontsInto(TTrwkLanguage target, vcl::TControl* control, bool keep) override;

private:
    TLanguage* Language(TTrwkLanguage value) const { return languages_[static_cast<size_t>(value)].get(); }
    // tlUser: the user's language; otherwise the language of the value.
    TLanguage* Resolve(TTrwkLanguage value) const;
    void TranslateTexts(TTrwkLanguage source, vcl::TComponent* component);
    void TranslateOwned(TTrwkLanguage source, vcl::TComponent* component);
    // Runs `work` with TranslateIntoLanguage set to `target`, putting the old value back however it ends.
    template <class F>
    auto WithTarget(TTrwkLanguage target, F work);

    std::unique_ptr<TLanguage> languages_[LanguageCount + 1];  // indexed by value; tlUser's stays empty
    std::vector<TLanguage*> list_;
    TTrwkLanguage translateInto_ = tlUser;
};

// A label or bitmap button that names its text by number. A GLID above 0 takes the target language's
// text of that number; a negative one keeps the caption untranslated; 0 translates it by its text.
class TTranslateLabel : public vcl::TLabel {
    VCL_CLASS(TTranslateLabel, vcl::TLabel)
public:
    explicit TTranslateLabel(vcl::TComponent* owner) : TLabel(owner) {}
    int32_t GLID() const { return glid_; }
    void SetGLID(int32_t value) { glid_ = value; }

private:
    int32_t glid_ = 0;
};

class TTranslateBitBtn : public vcl::TBitBtn {
    VCL_CLASS(TTranslateBitBtn, vcl::TBitBtn)
public:
    explicit TTranslateBitBtn(vcl::TComponent* owner) : TBitBtn(owner) {}
    int32_t GLID() const { return glid_; }
    void SetGLID(int32_t value) { glid_ = value; }

private:
    int32_t glid_ = 0;
};

// The language of a Windows language id: its primary language in the low 10 bits, the sublanguage above.
// Languages without their own text give tlEnglish; Norwegian is Nynorsk for sublanguage 2, else Bokmal.
TTrwkLanguage LanguageFromLangId(win::LANGID id);
// The font character set of a language; rtl::Exception "Unrecognized language" for tlUser.
vcl::TFontCharset LanguageCharset(TTrwkLanguage value);
// Gives `control` and every control inside it the language's font: the language's own Font when it
// overrides, else the standard character set and face, raising the size to the language's minimum.
void ApplyLanguageFont(vcl::TControl* control, const TLanguage& language);

// Registers TTranslator, TTranslateLabel and TTranslateBitBtn for form resources; idempotent.
void RegisterTranslatorClasses();
