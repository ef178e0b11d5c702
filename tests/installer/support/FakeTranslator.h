#pragma once
// A translator for tests: English texts mapped to their translations, installed behind the hooks for the
// lifetime of the object.

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "installer/support/TranslatorHooks.h"

class TFakeTranslator : public ITrwkTranslator {
public:
    explicit TFakeTranslator(std::initializer_list<std::pair<const std::string, std::string>> texts) : texts_(texts)
    {
        SetGlobalTranslator(this);
    }
    ~TFakeTranslator() override { SetGlobalTranslator(nullptr); }

    rtl::AnsiString TranslateFrom(TTrwkLanguage source, const rtl::AnsiString& text) override
    {
        Lookups.emplace_back(source, text);
        auto found = texts_.find(text);
        return found == texts_.end() ? text : found->second;
    }
    TTrwkLanguage TranslateComponent(TTrwkLanguage, vcl::TComponent* component) override
    {
        LastComponent = component;
        return tlGerman;
    }
    TTrwkLanguage TranslateComponentInto(TTrwkLanguage, TTrwkLanguage target, vcl::TComponent* component) override
    {
        LastComponent = component;
        return target;
    }
    void SetFonts(vcl::TControl*, bool keep) override { FontCalls.push_back(keep ? "keep" : "set"); }
    void SetFontsInto(TTrwkLanguage target, vcl::TControl*, bool) override
    {
        FontCalls.push_back("into " + vcl::EnumName(target));
    }

    std::vector<std::pair<TTrwkLanguage, std::string>> Lookups;
    vcl::TComponent* LastComponent = nullptr;
    std::vector<std::string> FontCalls;

private:
    std::map<std::string, std::string> texts_;
};
