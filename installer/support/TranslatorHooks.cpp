#include "installer/support/TranslatorHooks.h"

namespace {

ITrwkTranslator* globalTranslator = nullptr;

}  // namespace

ITrwkTranslator* GlobalTranslator() { return globalTranslator; }

void SetGlobalTranslator(ITrwkTranslator* translator) { globalTranslator = translator; }

rtl::AnsiString TranslateText(const rtl::AnsiString& text)
{
    if (!globalTranslator)
        return text;
    return globalTranslator->TranslateFrom(tlEnglish, text);
}

TTrwkLanguage TranslateComponent(TTrwkLanguage source, vcl::TComponent* component)
{
    if (!globalTranslator)
        return source;
    return globalTranslator->TranslateComponent(source, component);
}

TTrwkLanguage TranslateComponentInto(TTrwkLanguage source, TTrwkLanguage target, vcl::TComponent* component)
{
    if (!globalTranslator)
        return source;
    return globalTranslator->TranslateComponentInto(source, target, component);
}

void TranslateControlFont(vcl::TControl* control, bool keep)
{
    if (globalTranslator)
        globalTranslator->SetFonts(control, keep);
}

void TranslateControlFontInto(TTrwkLanguage target, vcl::TControl* control, bool keep)
{
    if (globalTranslator)
        globalTranslator->SetFontsInto(target, control, keep);
}
