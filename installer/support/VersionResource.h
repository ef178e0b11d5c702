#pragma once
// The version resource of a file (TVersionResource, its values in TVersionInfo) and the overwrite rule
// that decides whether a file about to be installed replaces an existing one (TOverwriteType, the results
// 0 to 4). Extraction, plain copies and the install files all ask the rule.
//
//   TOverwriteResult r = TVersionResource::CompareFileForOverwrite("1.2", "C:\\app\\a.dll", owVersion, date);
//
// A file whose version information cannot be read because it is held open without sharing (or reading is
// refused) is not taken for a file without version: the version modes then answer orCannotDecide, as the
// date mode does for a file it cannot open. So a newer file that happens to be locked is never judged older.

#include <cstdint>
#include <memory>

#include "platform/rtl/DateUtils.h"
#include "platform/vcl/Classes.h"
#include "platform/win/WinTypes.h"

// The language and character-set enumerations of version resources; in a namespace of their own because
// the translator has a TLanguage of its own.
namespace VersionResource {

VCL_ENUM_SIZED(TLanguage, uint8_t, lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish,
               lnGerman, lnGreek, lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian,
               lnIcelandic, lnItalian, lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish,
               lnBrazilianPortuguese, lnRhaetoRomanic, lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak,
               lnAlbanian, lnSwedish, lnThai, lnTurkish, lnUrdu, lnBahasa, lnSimplifiedChinese, lnSwissGerman,
               lnUKEnglish, lnMexicanSpanish, lnBelgianFrench, lnSwissItalian, lnBelgianDutch,
               lnNorwegianNynorsk, lnPortuguese, lnSerboCroatian, lnCanadianFrench, lnSwissFrench)

VCL_ENUM_SIZED(TCharacterSet, uint8_t, csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic,
               csMultilingual, csGreek, csTurkish, csHebrew, csArabic)

// The Windows language identifier (lnUSEnglish: 0x0409) and code page (csMultilingual: 1252).
win::WORD LanguageIdentifier(TLanguage language);
win::WORD CodePage(TCharacterSet characterSet);

}  // namespace VersionResource

VCL_ENUM_SIZED(TOverwriteType, uint8_t, owAlways, owNever, owVersion, owDate, owVersionDate, owAsk)

// The overwrite rule's answer.
enum TOverwriteResult : uint8_t {
    orCannotDecide = 0,
    orSame = 1,          // do not replace
    orReplace = 2,
    orKeepExisting = 3,  // the existing file is newer
    orAsk = 4,
};

// The values read from a version resource; all empty when the file has none.
class TVersionInfo : public vcl::TPersistent {
    VCL_CLASS(TVersionInfo, vcl::TPersistent)
public:
    TVersionInfo() = default;

#define VERSION_INFO_TEXT(Name, member)                                       \
    const rtl::AnsiString& Name() const { return member; }                    \
    void Set##Name(const rtl::AnsiString& value) { member = value; }
    VERSION_INFO_TEXT(Comment, comment_)
    VERSION_INFO_TEXT(CompanyName, companyName_)
    VERSION_INFO_TEXT(FileDescription, fileDescription_)
    VERSION_INFO_TEXT(FileVersion, fileVersion_)
    VERSION_INFO_TEXT(InternalName, internalName_)
    VERSION_INFO_TEXT(LegalCopyright, legalCopyright_)
    VERSION_INFO_TEXT(LegalTradeMarks, legalTradeMarks_)
    VERSION_INFO_TEXT(OriginalFileName, originalFileName_)
    VERSION_INFO_TEXT(PrivateBuild, privateBuild_)
    VERSION_INFO_TEXT(ProductName, productName_)
    VERSION_INFO_TEXT(ProductVersion, productVersion_)
    VERSION_INFO_TEXT(SpecialBuild, specialBuild_)
    VERSION_INFO_TEXT(FileOS, fileOS_)
    VERSION_INFO_TEXT(FileType, fileType_)
    VERSION_INFO_TEXT(FileSubType, fileSubType_)
#undef VERSION_INFO_TEXT

    // The primary language (low 10 bits) of the first entry of the file's translation table; 0 when none.
    uint16_t PrimaryLanguage() const { return primaryLanguage_; }
    void SetPrimaryLanguage(uint16_t value) { primaryLanguage_ = value; }

    void Clear();
    void Assign(const vcl::TPersistent* source) override;

private:
    rtl::AnsiString comment_;
    rtl::AnsiString companyName_;
    rtl::AnsiString fileDescription_;
    rtl::AnsiString fileVersion_;
    rtl::AnsiString internalName_;
    rtl::AnsiString legalCopyright_;
    rtl::AnsiString legalTradeMarks_;
    rtl::AnsiString originalFileName_;
    rtl::AnsiString privateBuild_;
    rtl::AnsiString productName_;
    rtl::AnsiString productVersion_;
    rtl::AnsiString specialBuild_;
    rtl::AnsiString fileOS_;
    rtl::AnsiString fileType_;
    rtl::AnsiString fileSubType_;
    uint16_t primaryLanguage_ = 0;
};

// Reads the version resource of FileName at construction and whenever FileName, Language or
// CharacterSet is set; there is no other call.
class TVersionResource : public vcl::TComponent {
    VCL_CLASS(TVersionResource, vcl::TComponent)
public:
    // FileName starts as the running program's own path.
    explicit TVersionResource(vcl::TComponent* owner);
    ~TVersionResource() override;

    const rtl::AnsiString& FileName() const { return fileName_; }
    void SetFileName(const rtl::AnsiString& value);
    VersionResource::TLanguage Language() const { return language_; }
    void SetLanguage(VersionResource::TLanguage value);
    VersionResource::TCharacterSet CharacterSet() const { return characterSet_; }
    void SetCharacterSet(VersionResource::TCharacterSet value);
    TVersionInfo* VersionInfo() const { return versionInfo_.get(); }

    // True when the last read found the file but could not read it (held open without sharing, access
    // refused): its version is unknown, not empty.
    bool ReadFailed() const { return readFailed_; }

    // 0 equal, 1 a is newer, 2 a is older. Fields separated by "."; decimal fields compare by value at any
    // length, other integers (StrToInt's forms) by value, anything else as text by character code; a missing
    // or empty field ends the comparison (the version with more fields is newer).
    static int CompareVersions(const rtl::AnsiString& a, const rtl::AnsiString& b);
    // The rule for a new file known by its version text and date (an archive entry's header).
    static TOverwriteResult CompareFileForOverwrite(const rtl::AnsiString& newVersion,
                                                    const rtl::AnsiString& existingPath, TOverwriteType mode,
                                                    rtl::TDateTime newDate);
    // The rule for a new file on disk: its version and date are read from the file.
    static TOverwriteResult IsFileNewerByName(const rtl::AnsiString& newPath, const rtl::AnsiString& existingPath,
                                              TOverwriteType mode);

    // The reader the rule uses, made on first use; FreeShared (library shutdown) frees it, and it is made
    // again when needed afterwards.
    static TVersionResource& Shared();
    static void FreeShared();

private:
    void ReadVersionInfo();

    rtl::AnsiString fileName_;
    VersionResource::TLanguage language_ = VersionResource::lnUSEnglish;
    VersionResource::TCharacterSet characterSet_ = VersionResource::csMultilingual;
    std::unique_ptr<TVersionInfo> versionInfo_;
    bool readFailed_ = false;
};

// The last-write time of a file as a DOS date-time (two-second steps) turned into a date-time; false when
// the file cannot be opened for reading (sharing allowed).
bool FileDateForOverwrite(const rtl::AnsiString& path, rtl::TDateTime& date);

// Registers TVersionResource with the class registry; idempotent.
void RegisterVersionResourceClasses();
