#pragma once
// The global translation hooks. Forms, dialogs, exceptions and the path expander translate through these
// few functions; the translator component installs itself behind them when it is created. While none is
// installed every hook leaves its text, component or font as it stands.
//
//   rtl::AnsiString caption = TranslateText("Installation aborted by the user");   // unchanged without translator
//   language = TranslateComponent(language, form);                             // the language the texts are in now

#include <cstdint>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/TypInfo.h"

namespace vcl {
class TComponent;
class TControl;
}  // namespace vcl

// The languages of the translator, in the order their values are stored. tlUser stands for the language of
// the user's Windows.
VCL_ENUM_SIZED(TTrwkLanguage, uint8_t, tlChineseSimplified, tlChineseTraditional, tlCzech, tlDanish, tlDutch,
               tlEnglish, tlFrench, tlGerman, tlGreek, tlHebrew, tlItalian, tlJapanese, tlKorean, tlNorwegianBokmal,
               tlNorwegianNynorsk, tlPolish, tlPortugese, tlRussian, tlSpanish, tlSwedish, tlUser, tlVietnamese)

// What the hooks ask of the translator. The translator component implements it and installs itself with
// SetGlobalTranslator; tests install fakes the same way.
class ITrwkTranslator {
public:
    virtual ~ITrwkTranslator() = default;

    // The text in the target language, found through its text in `source`; the text itself when none.
    virtual rtl::AnsiString TranslateFrom(TTrwkLanguage source, const rtl::AnsiString& text) = 0;
    // Translates `component` and what it owns; gives the language its texts stand in afterwards.
    virtual TTrwkLanguage TranslateComponent(TTrwkLanguage source, vcl::TComponent* component) = 0;
    virtual TTrwkLanguage TranslateComponentInto(TTrwkLanguage source, TTrwkLanguage target,
                                                 vcl::TComponent* component) = 0;
    // Sets the fonts of `control` and its children for the target language.
    virtual void SetFonts(vcl::TControl* control, bool keep) = 0;
    virtual void SetFontsInto(TTrwkLanguage target, vcl::TControl* control, bool keep) = 0;
};

// The installed translator, or nullptr.
ITrwkTranslator* GlobalTranslator();
// Installs (or, with nullptr, removes) the translator behind the hooks. The translator component installs
// itself only when none is installed, and removes itself when it goes.
void SetGlobalTranslator(ITrwkTranslator* translator);

// The text from English into the target language.
rtl::AnsiString TranslateText(const rtl::AnsiString& text);
// Without a translator these give `source` back.
TTrwkLanguage TranslateComponent(TTrwkLanguage source, vcl::TComponent* component);
TTrwkLanguage TranslateComponentInto(TTrwkLanguage source, TTrwkLanguage target, vcl::TComponent* component);
void TranslateControlFont(vcl::TControl* control, bool keep);
void TranslateControlFontInto(TTrwkLanguage target, vcl::TControl* control, bool keep);
