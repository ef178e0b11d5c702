#include "installer/support/TrwkTranslator.h"

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/win/SystemInfo.h"

using rtl::AnsiString;
using namespace vcl;

// ---------------------------------------------------------------------------------------------------------
// Languages of Windows, character sets

TTrwkLanguage LanguageFromLangId(win::LANGID id)
{
    const unsigned primary = id & 0x3FFu;
    const unsigned sub = static_cast<unsigned>(id) >> 10;
    switch (primary) {
    case 4: return sub == 1 ? tlChineseTraditional : tlChineseSimplified;
    case 5: return tlCzech;
    case 6: return tlDanish;
    case 7: return tlGerman;
    case 8: return tlGreek;
    case 10: return tlSpanish;
    case 12: return tlFrench;
    case 13: return tlHebrew;
    case 16: return tlItalian;
    case 17: return tlJapanese;
    case 18: return tlKorean;
    case 19: return tlDutch;
    // Bokmal is the written Norwegian most texts are in, so it serves every sublanguage but Nynorsk.
    case 20: return sub == 2 ? tlNorwegianNynorsk : tlNorwegianBokmal;
    case 21: return tlPolish;
    case 22: return tlPortugese;
    case 25: return tlRussian;
    case 29: return tlSwedish;
    case 42: return tlVietnamese;
    default: return tlEnglish;
    }
}

TFontCharset LanguageCharset(TTrwkLanguage value) { return LanguageInfo(value).Charset; }

void ApplyLanguageFont(TControl* control, const TLanguage& language)
{
    if (!control)
        return;
    if (language.FontOverride()) {
        control->Font()->Assign(language.Font());
    } else {
        const TLanguageInfo& info = LanguageInfo(language.LanguageIdent());
        control->Font()->SetCharset(info.Charset);
        control->Font()->SetName(info.FaceName);
        if (control->Font()->Size() < info.MinSize)
            control->Font()->SetSize(info.MinSize);
    }
    if (auto* windowed = dynamic_cast<TWinControl*>(control))
        for (int i = 0; i < windowed->ControlCount(); ++i)
            ApplyLanguageFont(windowed->Controls(i), language);
}

// ---------------------------------------------------------------------------------------------------------
// TTranslator

VCL_IMPLEMENT_CLASS(TTranslator)

void TTranslator::RegisterProperties(TClassDef<TTranslator>& def)
{
    def.Property("lgChineseSimplified", &TTranslator::lgChineseSimplified, nullptr);
    def.Property("lgChineseTraditional", &TTranslator::lgChineseTraditional, nullptr);
    def.Property("lgCzech", &TTranslator::lgCzech, nullptr);
    def.Property("lgDanish", &TTranslator::lgDanish, nullptr);
    def.Property("lgDutch", &TTranslator::lgDutch, nullptr);
    def.Property("lgEnglish", &TTranslator::lgEnglish, nullptr);
    def.Property("lgFrench", &TTranslator::lgFrench, nullptr);
    def.Property("lgGerman", &TTranslator::lgGerman, nullptr);
    def.Property("lgGreek", &TTranslator::lgGreek, nullptr);
    def.Property("lgHebrew", &TTranslator::lgHebrew, nullptr);
    def.Property("lgItalian", &TTranslator::lgItalian, nullptr);
    def.Property("lgJapanese", &TTranslator::lgJapanese, nullptr);
    def.Property("lgKorean", &TTranslator::lgKorean, nullptr);
    def.Property("lgNorwegianBokmal", &TTranslator::lgNorwegianBokmal, nullptr);
    def.Property("lgNorwegianNynorsk", &TTranslator::lgNorwegianNynorsk, nullptr);
    def.Property("lgPolish", &TTranslator::lgPolish, nullptr);
    def.Property("lgPortugese", &TTranslator::lgPortugese, nullptr);
    def.Property("lgRussian", &TTranslator::lgRussian, nullptr);
    def.Property("lgSpanish", &TTranslator::lgSpanish, nullptr);
    def.Property("lgSwedish", &TTranslator::lgSwedish, nullptr);
    def.Property("lgVietnamese", &TTranslator::lgVietnamese, nullptr);
    def.Property("TranslateIntoLanguage", &TTranslator::TranslateIntoLanguage, &TTranslator::SetTranslateIntoLanguage,
                 tlUser);
}

TTranslator::TTranslator(TComponent* owner) : TComponent(owner)
{
    for (int value = 0; value <= LanguageCount; ++value) {
        if (value == tlUser)
            continue;
        languages_[value] = std::make_unique<TLanguage>(this, static_cast<TTrwkLanguage>(value));
        list_.push_back(languages_[value].get());
    }
    SetTranslateIntoLanguage(tlUser);
    if (!GlobalTranslator())
        SetGlobalTranslator(this);
}

TTranslator::~TTranslator()
{
    if (GlobalTranslator() == this)
        SetGlobalTranslator(nullptr);
}

void TTranslator::SetTranslateIntoLanguage(TTrwkLanguage value)
{
    translateInto_ = value;
    if (OnChange)
        OnChange(this);
}

TLanguage* TTranslator::FindLanguage(TTrwkLanguage value) const
{
    for (TLanguage* language : list_)
        if (language->LanguageIdent() == value)
            return language;
    return nullptr;
}

TLanguage* TTranslator::GetUserLanguage() const
{
    try {
        return FindLanguage(LanguageFromLangId(win::GetUserDefaultLangID()));
    } catch (const std::exception&) {
        return nullptr;
    }
}

TLanguage* TTranslator::GetTargetLanguage() const { return Resolve(translateInto_); }

TLanguage* TTranslator::Resolve(TTrwkLanguage value) const
{
    return value == tlUser ? GetUserLanguage() : FindLanguage(value);
}

AnsiString TTranslator::TranslateFrom(TTrwkLanguage source, const AnsiString& text)
{
    const TLanguage* from = Resolve(source);
    if (!from)
        return text;
    for (const auto& entry : from->StringEntries()) {
        if (!rtl::AnsiSameText(entry->Text(), text))
            continue;
        if (const TLanguage* target = GetTargetLanguage())
            if (const TLanguageString* translated = target->FindString(entry->GLID()))
                return translated->Text();
        return text;
    }
    return text;
}

AnsiString TTranslator::TranslateByGlid(int32_t glid, const AnsiString& text) const
{
    if (const TLanguage* target = GetTargetLanguage())
        if (const TLanguageString* translated = target->FindString(glid))
            return translated->Text();
    return text;
}

std::unique_ptr<rtl::TStringList> TTranslator::TranslateLines(TTrwkLanguage source, const rtl::TStrings& lines) const
{
    auto result = std::make_unique<rtl::TStringList>();
    result->Assign(lines);
    const TLanguage* from = Resolve(source);
    if (!from)
        return result;
    const AnsiString joined = lines.Text();
    for (const auto& memo : from->MemoEntries()) {
        if (memo->Lines().Text() != joined)
            continue;
        if (const TLanguage* target = GetTargetLanguage())
            if (const TLanguageMemo* translated = target->FindMemo(memo->GLID()))
                result->Assign(translated->Lines());
        break;
    }
    return result;
}

namespace {

// Hides a control for the time its texts change and puts it back as it was, also when the walk fails.
class THiddenWhileTranslated {
public:
    explicit THiddenWhileTranslated(TComponent* component) : control_(dynamic_cast<TControl*>(component))
    {
        if (!control_)
            return;
        wasVisible_ = control_->Visible();
        if (!dynamic_cast<TCustomForm*>(control_.get()) && !dynamic_cast<TImage*>(control_.get()))
            control_->SetVisible(false);
        label_ = dynamic_cast<TCustomLabel*>(control_.get());
        if (label_) {
            labelAutoSize_ = label_->AutoSize();
            label_->SetAutoSize(false);
        }
    }
    ~THiddenWhileTranslated()
    {
        if (!control_)
            return;
        try {
            if (label_)
                label_->SetAutoSize(labelAutoSize_);
            control_->SetVisible(wasVisible_);
            if (auto* windowed = dynamic_cast<TWinControl*>(control_.get()))
                windowed->Realign();
        } catch (const std::exception&) {
            // Putting a control back must not hide the error that ended the walk.
        }
    }
    THiddenWhileTranslated(const THiddenWhileTranslated&) = delete;
    THiddenWhileTranslated& operator=(const THiddenWhileTranslated&) = delete;

private:
    TComponentRef<TControl> control_;
    TCustomLabel* label_ = nullptr;
    bool wasVisible_ = true;
    bool labelAutoSize_ = false;
};

// The number a translate label or button carries, or 0.
int32_t GlidOf(TComponent* component)
{
    if (auto* label = dynamic_cast<TTranslateLabel*>(component))
        return label->GLID();
    if (auto* button = dynamic_cast<TTranslateBitBtn*>(component))
        return button->GLID();
    return 0;
}

}  // namespace

void TTranslator::TranslateTexts(TTrwkLanguage source, TComponent* component)
{
    for (const TPropInfo* info : GetStringPropList(component)) {
        if (SameIdent(info->Name, "NAME") || info->IsReadOnly())
            continue;
        AnsiString value = info->Access.GetStr(*component);
        if (!rtl::Trim(value).empty())
            info->Access.SetStr(*component, TranslateFrom(source, value));
    }
    auto translateItems = [&](rtl::TStrings& items) {
        for (int i = 0; i < items.Count(); ++i)
            items.SetStrings(i, TranslateFrom(source, items.Strings(i)));
    };
    if (auto* memo = dynamic_cast<TMemo*>(component))
        memo->Lines()->Assign(*TranslateLines(source, *memo->Lines()));
    else if (auto* listBox = dynamic_cast<TListBox*>(component))
        translateItems(*listBox->Items());
    else if (auto* comboBox = dynamic_cast<TComboBox*>(component))
        translateItems(*comboBox->Items());
}

void TTranslator::TranslateOwned(TTrwkLanguage source, TComponent* component)
{
    THiddenWhileTranslated hidden(component);
    const int32_t glid = GlidOf(component);
    if (glid > 0) {
        auto* control = static_cast<TControl*>(component);
        control->SetCaption(TranslateByGlid(glid, control->Caption()));
    } else if (glid == 0) {
        TranslateTexts(source, component);
    }
    // Guarded: a handler run by a changed text may free what follows.
    std::vector<TComponentRef<TComponent>> owned;
    for (int i = 0; i < component->ComponentCount(); ++i)
        owned.emplace_back(component->Components(i));
    for (TComponent* child : owned)
        if (child && !dynamic_cast<TCustomForm*>(child))
            TranslateOwned(source, child);
}

TTrwkLanguage TTranslator::TranslateComponent(TTrwkLanguage source, TComponent* component)
{
    if (!component)
        return source;
    TranslateOwned(source, component);
    const TLanguage* target = GetTargetLanguage();
    return target && target->Strings()->Count() > 0 ? translateInto_ : source;
}

template <class F>
auto TTranslator::WithTarget(TTrwkLanguage target, F work)
{
    struct TRestore {
        TTranslator& self;
        TTrwkLanguage old;
        ~TRestore() { self.translateInto_ = old; }
    } restore{*this, translateInto_};
    SetTranslateIntoLanguage(target);
    return work();
}

TTrwkLanguage TTranslator::TranslateComponentInto(TTrwkLanguage source, TTrwkLanguage target, TComponent* component)
{
    return WithTarget(target, [&] { return TranslateComponent(source, component); });
}

void TTranslator::SetFonts(TControl* control, bool keep)
{
    if (!control)
        return;
    const TLanguage* language = GetTargetLanguage();
    if (!language)
        return;
    if (language->Strings()->Count() == 0 && !keep)
        language = lgEnglish();
    ApplyLanguageFont(control, *language);
}

void TTranslator::SetFontsInto(TTrwkLanguage target, TControl* control, bool keep)
{
    WithTarget(target, [&] { SetFonts(control, keep); });
}

// ---------------------------------------------------------------------------------------------------------
// Translate labels and buttons

VCL_IMPLEMENT_CLASS(TTranslateLabel)

void TTranslateLabel::RegisterProperties(TClassDef<TTranslateLabel>& def)
{
    def.Property("GLID", &TTranslateLabel::GLID, &TTranslateLabel::SetGLID);
}

VCL_IMPLEMENT_CLASS(TTranslateBitBtn)

void TTranslateBitBtn::RegisterProperties(TClassDef<TTranslateBitBtn>& def)
{
    def.Property("GLID", &TTranslateBitBtn::GLID, &TTranslateBitBtn::SetGLID);
}

void RegisterTranslatorClasses()
{
    RegisterStandardControls();
    RegisterClasses({&TTranslator::StaticClass(), &TTranslateLabel::StaticClass(), &TTranslateBitBtn::StaticClass()});
}
