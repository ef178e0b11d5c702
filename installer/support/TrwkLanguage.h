#pragma once
// One language of the translator: its language text (numbered one-line texts and memos), parsed again
// whenever its lines change, and the font its forms use.
//
//   language->Strings()->SetText("5;Next >\r\n#88;\r\nFirst line\r\nSecond line\r\n#\r\n");
//   language->FindString(5)->Text();       // "Next >"
//   language->FindMemo(88)->Lines();       // the two lines
//
// A language text, one entry a line (blanks and control characters around a line do not count):
//   GLID;Text       a one-line text; it ends at the next ";" and is cut at 255 characters
//   #GLID;          opens a memo; its lines follow, up to a line "#"
//   * ...           a comment, also inside a memo
// A malformed line raises a plain rtl::Exception naming its line (counted from 0), and the language is
// left without entries.

#include <cstdint>
#include <memory>
#include <vector>

#include "installer/support/TranslatorHooks.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Classes.h"
#include "platform/vcl/Graphics.h"

class TLanguage;
class TTranslator;

// An entry of a language text: its GLID and the line (from 0) it starts at.
class TLanguageElement {
public:
    TLanguageElement(TLanguage* language, int32_t glid, int line) : language_(language), glid_(glid), line_(line) {}
    virtual ~TLanguageElement() = default;

    TLanguage* Language() const { return language_; }
    int32_t GLID() const { return glid_; }
    int Line() const { return line_; }
    void SetLine(int value) { line_ = value; }

private:
    TLanguage* language_;
    int32_t glid_;
    int line_;
};

// A one-line text.
class TLanguageString : public TLanguageElement {
public:
    static constexpr size_t MaxLength = 255;
    TLanguageString(TLanguage* language, int32_t glid, int line, const rtl::AnsiString& text);
    const rtl::AnsiString& Text() const { return text_; }

private:
    rtl::AnsiString text_;
};

// A text of several lines.
class TLanguageMemo : public TLanguageElement {
public:
    TLanguageMemo(TLanguage* language, int32_t glid, int line, const rtl::TStrings& lines);
    const rtl::TStringList& Lines() const { return lines_; }

private:
    rtl::TStringList lines_;
};

// The lines of a language text. Adding, inserting, moving, clearing, setting the text and loading parse
// the language again; assigning parses once, after all lines are in. Deleting a line does not parse: the
// one-line entries below it only move up one line, so the entries stay as they were until the next change.
class TLangFormatStrings : public rtl::TStringList {
public:
    explicit TLangFormatStrings(TLanguage* language) : language_(language) {}

    int AddObject(const rtl::AnsiString& s, rtl::TObject* object) override;
    void InsertObject(int index, const rtl::AnsiString& s, rtl::TObject* object) override;
    void AddStrings(const rtl::TStrings& strings) override;
    void Clear() override;
    void Move(int curIndex, int newIndex) override;
    void Delete(int index) override;
    void SetText(const rtl::AnsiString& text) override;
    void Assign(const rtl::TStrings& source) override;

private:
    void ParseIfWanted();
    // Runs `work` with parsing held back, then parses once; a failed `work` parses nothing.
    template <class F>
    void ParseOnceAfter(F work);

    TLanguage* language_;
};

// The languages that have an object of their own: every value but tlUser.
inline constexpr int LanguageCount = 21;

// What each language has fixed: its names, and the standard font of its forms.
struct TLanguageInfo {
    const char* PropertyName;  // "lgGerman"
    const char* FileName;      // "trwiGerman.txt"
    const char* ResourceName;  // "BM_LANG_GERMAN"
    vcl::TFontCharset Charset;
    const char* FaceName;      // in the code page of the language (the Far East faces are double-byte)
    int MinSize;               // points
};
// rtl::Exception "Unrecognized language" for tlUser and any value past tlVietnamese.
const TLanguageInfo& LanguageInfo(TTrwkLanguage value);

class TLanguage : public vcl::TPersistent {
    VCL_CLASS(TLanguage, vcl::TPersistent)
public:
    TLanguage(TTranslator* translator, TTrwkLanguage ident);
    ~TLanguage() override;

    vcl::TFont* Font() const { return font_.get(); }
    void SetFont(const vcl::TFont* value) { font_->Assign(value); }
    // When set, the font step copies Font whole instead of the language's standard font.
    bool FontOverride() const { return fontOverride_; }
    void SetFontOverride(bool value) { fontOverride_ = value; }
    TTrwkLanguage LanguageIdent() const { return ident_; }
    TLangFormatStrings* Strings() const { return strings_.get(); }
    // Copies the lines and parses them once.
    void SetStrings(const rtl::TStrings* value) { strings_->Assign(*value); }

    TTranslator* Translator() const { return translator_; }
    // "BM_LANG_GERMAN", "trwiGerman.txt".
    const char* ResourceName() const;
    const char* FileName() const;

    // The parsed entries, in the order of their lines.
    const std::vector<std::unique_ptr<TLanguageString>>& StringEntries() const { return stringEntries_; }
    const std::vector<std::unique_ptr<TLanguageMemo>>& MemoEntries() const { return memoEntries_; }
    // The first entry with that GLID, or nullptr.
    const TLanguageString* FindString(int32_t glid) const;
    const TLanguageMemo* FindMemo(int32_t glid) const;

    // Whether a change of the lines parses them (cleared while a change is made of several steps).
    bool ParseOnChange() const { return parseOnChange_; }
    void SetParseOnChange(bool value) { parseOnChange_ = value; }
    // Rebuilds the entries from the lines; on a malformed line raises and leaves no entries.
    void Parse();
    // A line was deleted: the one-line entries below it move up.
    void LineDeleted(int index);

protected:
    vcl::TPersistent* GetOwner() const override;

private:
    void ClearEntries();

    TTranslator* translator_;
    TTrwkLanguage ident_;
    std::unique_ptr<vcl::TFont> font_;
    bool fontOverride_ = false;
    std::unique_ptr<TLangFormatStrings> strings_;
    bool parseOnChange_ = true;
    std::vector<std::unique_ptr<TLanguageString>> stringEntries_;
    std::vector<std::unique_ptr<TLanguageMemo>> memoEntries_;
};
