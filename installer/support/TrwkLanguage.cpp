#include "installer/support/TrwkLanguage.h"

#include <array>

#include "installer/support/TrwkSystem.h"
#include "installer/support/TrwkTranslator.h"

using rtl::AnsiString;

namespace {

// The Far East faces, as the bytes of their code pages: Big5 (cut inside its fourth character), Shift-JIS
// and EUC-KR.
constexpr const char* ChineseFace = "\xB7\x73\xB2\xD3\xA9\xFA\xC5";
constexpr const char* JapaneseFace = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
constexpr const char* KoreanFace = "\xB9\xD9\xC5\xC1";

// Indexed by TTrwkLanguage; tlUser's row is never handed out.
const std::array<TLanguageInfo, 22> Languages{{
    {"lgChineseSimplified", "trwiChineseSimplified.txt", "BM_LANG_SIMPCHINESE", 134, ChineseFace, 9},
    {"lgChineseTraditional", "trwiChineseTraditional.txt", "BM_LANG_CHINESE_TRADITIONAL", 136, ChineseFace, 9},
    {"lgCzech", "trwiCzech.txt", "BM_LANG_CZECH", 238, "Arial", 8},
    {"lgDanish", "trwiDanish.txt", "BM_LANG_DANISH", 0, "Arial", 8},
    {"lgDutch", "trwiDutch.txt", "BM_LANG_DUTCH", 0, "Arial", 8},
    {"lgEnglish", "trwiEnglish.txt", "BM_LANG_ENGLISH", 0, "Arial", 8},
    {"lgFrench", "trwiFrench.txt", "BM_LANG_FRENCH", 0, "Arial", 8},
    {"lgGerman", "trwiGerman.txt", "BM_LANG_GERMAN", 0, "MS Sans Serif", 8},
    {"lgGreek", "trwiGreek.txt", "BM_LANG_GREEK", 0, "SGreek", 8},
    // Hebrew forms keep the Latin face the other western languages use, with the Hebrew character set.
    {"lgHebrew", "trwiHebrew.txt", "BM_LANG_HEBREW", 177, "Arial", 8},
    {"lgItalian", "trwiItalian.txt", "BM_LANG_ITALIAN", 0, "Arial", 8},
    {"lgJapanese", "trwiJapanese.txt", "BM_LANG_JAPANESE", 128, JapaneseFace, 9},
    {"lgKorean", "trwiKorean.txt", "BM_LANG_KOREAN", 129, KoreanFace, 9},
    {"lgNorwegianBokmal", "trwiNorwegianBokmal.txt", "BM_LANG_NORWEGIAN_BOKMAL", 0, "Arial", 8},
    {"lgNorwegianNynorsk", "trwiNorwegianNynorsk.txt", "BM_LANG_NORWEGIAN_NYNORSK", 0, "Arial", 8},
    {"lgPolish", "trwiPolish.txt", "BM_LANG_POLISH", 238, "Arial", 8},
    {"lgPortugese", "trwiPortugese.txt", "BM_LANG_PORTUGESE", 238, "Arial", 8},
    {"lgRussian", "trwiRussian.txt", "BM_LANG_RUSSIAN", 204, "Arial", 8},
    {"lgSpanish", "trwiSpanish.txt", "BM_LANG_SPANISH", 0, "Arial", 8},
    {"lgSwedish", "trwiSwedish.txt", "BM_LANG_SWEDISH", 0, "Arial", 8},
    {"", "", "", 0, "", 0},
    {"lgVietnamese", "trwiVietnamese.txt", "BM_LANG_VIETNAMESE", 163, "Arial", 8},
}};

[[noreturn]] void FormatError(int line, const AnsiString& text)
{
    throw rtl::Exception(rtl::Format("The %d'th string (%s) does not have the proper format of GLID;Text", line, text));
}

[[noreturn]] void GlidError(int line, const AnsiString& text)
{
    throw rtl::Exception(
        rtl::Format("The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;", line, text));
}

// The GLID of a field: empty is a missing GLID, anything but a whole integer a malformed one. A GLID is
// decimal with an optional sign, or hexadecimal after "$"; the number reader's "0x" form is not one.
int32_t ReadGlid(const AnsiString& field, int line, const AnsiString& text)
{
    if (field.empty())
        FormatError(line, text);
    const size_t digits = field[0] == '+' || field[0] == '-' ? 1 : 0;
    if (field.size() > digits + 1 && field[digits] == '0' && (field[digits + 1] == 'x' || field[digits + 1] == 'X'))
        GlidError(line, text);
    int value = 0;
    if (!rtl::TryStrToInt(field, value))
        GlidError(line, text);
    return value;
}

}  // namespace

const TLanguageInfo& LanguageInfo(TTrwkLanguage value)
{
    if (value == tlUser || static_cast<unsigned>(value) >= Languages.size())
        throw rtl::Exception("Unrecognized language");
    return Languages[static_cast<size_t>(value)];
}

// ---------------------------------------------------------------------------------------------------------
// Entries

TLanguageString::TLanguageString(TLanguage* language, int32_t glid, int line, const AnsiString& text)
    : TLanguageElement(language, glid, line), text_(text.substr(0, MaxLength))
{
}

TLanguageMemo::TLanguageMemo(TLanguage* language, int32_t glid, int line, const rtl::TStrings& lines)
    : TLanguageElement(language, glid, line)
{
    lines_.Assign(lines);
}

// ---------------------------------------------------------------------------------------------------------
// TLangFormatStrings

void TLangFormatStrings::ParseIfWanted()
{
    if (language_ && language_->ParseOnChange())
        language_->Parse();
}

template <class F>
void TLangFormatStrings::ParseOnceAfter(F work)
{
    if (!language_) {
        work();
        return;
    }
    bool wanted = language_->ParseOnChange();
    language_->SetParseOnChange(false);
    try {
        work();
    } catch (...) {
        language_->SetParseOnChange(true);
        throw;
    }
    language_->SetParseOnChange(true);
    if (wanted)
        language_->Parse();
}

int TLangFormatStrings::AddObject(const AnsiString& s, rtl::TObject* object)
{
    int index = TStringList::AddObject(s, object);
    ParseIfWanted();
    return index;
}

void TLangFormatStrings::InsertObject(int index, const AnsiString& s, rtl::TObject* object)
{
    TStringList::InsertObject(index, s, object);
    ParseIfWanted();
}

void TLangFormatStrings::AddStrings(const rtl::TStrings& strings)
{
    TStringList::AddStrings(strings);
    ParseIfWanted();
}

void TLangFormatStrings::Clear()
{
    TStringList::Clear();
    ParseIfWanted();
}

void TLangFormatStrings::Move(int curIndex, int newIndex)
{
    TStringList::Move(curIndex, newIndex);
    ParseIfWanted();
}

void TLangFormatStrings::Delete(int index)
{
    TStringList::Delete(index);
    if (language_)
        language_->LineDeleted(index);
}

void TLangFormatStrings::SetText(const AnsiString& text)
{
    ParseOnceAfter([&] { TStringList::SetText(text); });
}

void TLangFormatStrings::Assign(const rtl::TStrings& source)
{
    ParseOnceAfter([&] { TStringList::Assign(source); });
}

// ---------------------------------------------------------------------------------------------------------
// TLanguage

VCL_IMPLEMENT_CLASS(TLanguage)

void TLanguage::RegisterProperties(vcl::TClassDef<TLanguage>& def)
{
    def.Property("Font", &TLanguage::Font, &TLanguage::SetFont);
    def.Property("FontOverride", &TLanguage::FontOverride, &TLanguage::SetFontOverride);
    def.Property("LanguageIdent", &TLanguage::LanguageIdent, nullptr);
    def.Property("Strings", &TLanguage::Strings, &TLanguage::SetStrings);
}

TLanguage::TLanguage(TTranslator* translator, TTrwkLanguage ident)
    : translator_(translator), ident_(ident), font_(std::make_unique<vcl::TFont>()),
      strings_(std::make_unique<TLangFormatStrings>(this))
{
    LanguageInfo(ident);  // only the languages of the table have an object
}

TLanguage::~TLanguage()
{
    // The lines go first, so that nothing they do on their way out reaches the entries.
    parseOnChange_ = false;
    strings_.reset();
}

const char* TLanguage::ResourceName() const { return LanguageInfo(ident_).ResourceName; }
const char* TLanguage::FileName() const { return LanguageInfo(ident_).FileName; }

vcl::TPersistent* TLanguage::GetOwner() const { return translator_; }

const TLanguageString* TLanguage::FindString(int32_t glid) const
{
    for (const auto& entry : stringEntries_)
        if (entry->GLID() == glid)
            return entry.get();
    return nullptr;
}

const TLanguageMemo* TLanguage::FindMemo(int32_t glid) const
{
    for (const auto& entry : memoEntries_)
        if (entry->GLID() == glid)
            return entry.get();
    return nullptr;
}

void TLanguage::ClearEntries()
{
    stringEntries_.clear();
    memoEntries_.clear();
}

void TLanguage::LineDeleted(int index)
{
    for (const auto& entry : stringEntries_)
        if (entry->Line() > index)
            entry->SetLine(entry->Line() - 1);
}

void TLanguage::Parse()
{
    ClearEntries();
    try {
        bool inMemo = false;
        int32_t memoGlid = 0;
        int memoLine = 0;
        rtl::TStringList scratch;
        const int count = strings_->Count();
        for (int line = 0; line < count; ++line) {
            const AnsiString text = rtl::Trim(strings_->Strings(line));
            if (text.empty())
                continue;
            if (text == "#") {
                if (!inMemo)
                    throw rtl::Exception(rtl::Format(
                        "Found the end of memo marker # at line %d. Was not in a memo however", line));
                memoEntries_.push_back(std::make_unique<TLanguageMemo>(this, memoGlid, memoLine, scratch));
                inMemo = false;
            } else if (text[0] == '*') {
                continue;
            } else if (!inMemo && text[0] == '#') {
                memoGlid = ReadGlid(GetField(text, 1).substr(1), line, text);
                memoLine = line;
                scratch.Clear();
                inMemo = true;
            } else if (!inMemo) {
                int32_t glid = ReadGlid(GetField(text, 1), line, text);
                AnsiString entry = GetField(text, 2);
                if (rtl::Trim(entry).empty())
                    FormatError(line, text);
                stringEntries_.push_back(std::make_unique<TLanguageString>(this, glid, line, entry));
            } else {
                scratch.Add(text);
            }
        }
        // A memo still open at the end is dropped.
    } catch (...) {
        ClearEntries();
        throw;
    }
}
