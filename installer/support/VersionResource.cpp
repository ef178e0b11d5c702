#include "installer/support/VersionResource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/win/FileTime.h"
#include "platform/win/Files.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/win/Version.h"

using rtl::AnsiString;

namespace VersionResource {

win::WORD LanguageIdentifier(TLanguage language)
{
    // lnArabic .. lnBahasa are 0x0401 .. 0x0421 in order; the rest are sub-languages.
    static constexpr std::array<win::WORD, 12> kLater = {2052, 2055, 2057, 2058, 2060, 2064,
                                                          2067, 2068, 2070, 2074, 3084, 4108};
    if (language <= lnBahasa)
        return static_cast<win::WORD>(0x0401 + language);
    const size_t index = static_cast<size_t>(language - lnSimplifiedChinese);
    return index < kLater.size() ? kLater[index] : 0;
}

win::WORD CodePage(TCharacterSet characterSet)
{
    static constexpr std::array<win::WORD, 12> kCodePages = {0, 932, 949, 950, 1200, 1250,
                                                              1251, 1252, 1253, 1254, 1255, 1256};
    return static_cast<size_t>(characterSet) < kCodePages.size() ? kCodePages[characterSet] : 0;
}

}  // namespace VersionResource

using namespace VersionResource;

namespace {

AnsiString VersionText(win::DWORD mostSignificant, win::DWORD leastSignificant)
{
    return rtl::IntToStr(mostSignificant >> 16) + "." + rtl::IntToStr(mostSignificant & 0xFFFF) + "." +
           rtl::IntToStr(leastSignificant >> 16) + "." + rtl::IntToStr(leastSignificant & 0xFFFF);
}

AnsiString FileOSText(win::DWORD os)
{
    switch (os) {
    case win::VOS__WINDOWS16: return "Windows 3.0 or later";
    case win::VOS__PM16: return "16 bit OS/2 Presentation Manager";
    case win::VOS__PM32: return "32 bit OS/2 Presentation Manager";
    case win::VOS__WINDOWS32: return "32 bit Windows";
    case win::VOS_DOS: return "MS-Dos";
    case win::VOS_DOS_WINDOWS16: return "Windows 3.0 or later with MS-Dos";
    case win::VOS_DOS_WINDOWS32: return "32 bit Windows with MS-Dos";
    case win::VOS_OS216: return "16 bit OS/2";
    case win::VOS_OS216_PM16: return "16 bit OS/2 with Presentation Manager";
    case win::VOS_OS232: return "32 bit OS/2";
    case win::VOS_OS232_PM32: return "32 bit OS/2 with Presentation Manager";
    case win::VOS_NT: return "Windows NT";
    case win::VOS_NT_WINDOWS32: return "Windows NT with 32 bit Windows";
    default: return "Unknown";
    }
}

AnsiString FileTypeText(win::DWORD type)
{
    switch (type) {
    case win::VFT_APP: return "Application";
    case win::VFT_DLL: return "Dynamic-Link Library";
    case win::VFT_DRV: return "Device Driver";
    case win::VFT_FONT: return "Font";
    case win::VFT_VXD: return "Virtual Device Driver";
    case win::VFT_STATIC_LIB: return "Static-Link Library";
    default: return "Unknown";
    }
}

AnsiString FileSubTypeText(win::DWORD type, win::DWORD subType)
{
    if (type == win::VFT_DRV) {
        static const char* const kDrivers[] = {"Printer", "Keyboard", "Language", "Display", "Mouse",
                                               "Network", "System", "Installable", "Sound", "Communications"};
        return subType >= 1 && subType <= 10 ? kDrivers[subType - 1] : "Unknown";
    }
    if (type == win::VFT_FONT) {
        static const char* const kFonts[] = {"Raster", "Vector", "TrueType"};
        return subType >= 1 && subType <= 3 ? kFonts[subType - 1] : "Unknown";
    }
    return "";
}

// Errors that mean the file is there but could not be read, as opposed to a file without version
// information (missing, not an executable, no resource).
bool IsReadFailure(win::DWORD error)
{
    switch (error) {
    case win::ERROR_SHARING_VIOLATION:
    case win::ERROR_LOCK_VIOLATION:
    case win::ERROR_ACCESS_DENIED:
    case win::ERROR_NOT_READY:
    case win::ERROR_GEN_FAILURE:
    case win::ERROR_TOO_MANY_OPEN_FILES:
    case win::ERROR_NOT_ENOUGH_MEMORY:
        return true;
    default:
        return false;
    }
}

AnsiString ProgramPath()
{
    char path[win::MAX_PATH + 1] = {};
    const win::DWORD length = win::GetModuleFileName(nullptr, path, sizeof path);
    return length > 0 && length < sizeof path ? AnsiString(path, length) : AnsiString();
}

std::vector<AnsiString> SplitVersion(const AnsiString& version)
{
    std::vector<AnsiString> fields;
    size_t start = 0;
    while (true) {
        const size_t dot = version.find('.', start);
        fields.push_back(version.substr(start, dot == AnsiString::npos ? AnsiString::npos : dot - start));
        if (dot == AnsiString::npos)
            return fields;
        start = dot + 1;
    }
}

bool AllDigits(const AnsiString& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Below zero when a is older, above when newer.
int CompareField(const AnsiString& a, const AnsiString& b)
{
    if (AllDigits(a) && AllDigits(b)) {
        // By value at any length: "10000000000" is newer than "9999999999", "00" equals "0".
        const AnsiString x = a.substr(std::min(a.find_first_not_of('0'), a.size()));
        const AnsiString y = b.substr(std::min(b.find_first_not_of('0'), b.size()));
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        return x.compare(y);
    }
    int x = 0;
    int y = 0;
    if (rtl::TryStrToInt(a, x) && rtl::TryStrToInt(b, y))
        return x < y ? -1 : (x > y ? 1 : 0);
    return a.compare(b);  // by character code
}

TOverwriteResult ResultOfComparison(int comparison)
{
    switch (comparison) {
    case 0: return orSame;
    case 1: return orReplace;
    default: return orKeepExisting;
    }
}

TOverwriteResult DecideByVersion(const AnsiString& newVersion, const AnsiString& existingPath)
{
    TVersionResource& reader = TVersionResource::Shared();
    reader.SetFileName(existingPath);
    if (reader.ReadFailed())
        return orCannotDecide;
    return ResultOfComparison(TVersionResource::CompareVersions(newVersion, reader.VersionInfo()->FileVersion()));
}

// A date-time in the two-second steps of DOS date-times, so a date that has been through one compares equal
// to the moment it came from.
int64_t DosSteps(rtl::TDateTime date)
{
    const int64_t seconds = std::llround(date * 86400.0);
    return seconds >= 0 ? seconds / 2 : (seconds - 1) / 2;
}

TOverwriteResult DecideByDate(rtl::TDateTime newDate, const AnsiString& existingPath)
{
    rtl::TDateTime existingDate = 0;
    if (!FileDateForOverwrite(existingPath, existingDate))
        return orCannotDecide;
    const int64_t a = DosSteps(newDate);
    const int64_t b = DosSteps(existingDate);
    if (a == b)
        return orSame;
    return a > b ? orReplace : orKeepExisting;
}

bool ExistingFile(const AnsiString& path)
{
    if (rtl::Trim(path).empty())
        return false;
    const win::DWORD attributes = win::GetFileAttributes(path.c_str());
    return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::unique_ptr<TVersionResource>& SharedReader()
{
    static std::unique_ptr<TVersionResource> reader;
    return reader;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TVersionInfo

VCL_IMPLEMENT_CLASS(TVersionInfo)

void TVersionInfo::RegisterProperties(vcl::TClassDef<TVersionInfo>& def)
{
    using T = TVersionInfo;
    def.Property("Comment", &T::Comment, &T::SetComment, AnsiString());
    def.Property("CompanyName", &T::CompanyName, &T::SetCompanyName, AnsiString());
    def.Property("FileDescription", &T::FileDescription, &T::SetFileDescription, AnsiString());
    def.Property("FileVersion", &T::FileVersion, &T::SetFileVersion, AnsiString());
    def.Property("InternalName", &T::InternalName, &T::SetInternalName, AnsiString());
    def.Property("LegalCopyright", &T::LegalCopyright, &T::SetLegalCopyright, AnsiString());
    def.Property("LegalTradeMarks", &T::LegalTradeMarks, &T::SetLegalTradeMarks, AnsiString());
    def.Property("OriginalFileName", &T::OriginalFileName, &T::SetOriginalFileName, AnsiString());
    def.Property("PrivateBuild", &T::PrivateBuild, &T::SetPrivateBuild, AnsiString());
    def.Property("ProductName", &T::ProductName, &T::SetProductName, AnsiString());
    def.Property("ProductVersion", &T::ProductVersion, &T::SetProductVersion, AnsiString());
    def.Property("SpecialBuild", &T::SpecialBuild, &T::SetSpecialBuild, AnsiString());
    def.Property("FileOS", &T::FileOS, &T::SetFileOS, AnsiString());
    def.Property("FileType", &T::FileType, &T::SetFileType, AnsiString());
    def.Property("FileSubType", &T::FileSubType, &T::SetFileSubType, AnsiString());
}

void TVersionInfo::Clear()
{
    *this = TVersionInfo();
}

void TVersionInfo::Assign(const vcl::TPersistent* source)
{
    const auto* other = dynamic_cast<const TVersionInfo*>(source);
    if (!other) {
        inherited::Assign(source);
        return;
    }
    if (other != this)
        *this = *other;
}

// ---------------------------------------------------------------------------------------------------------
// TVersionResource

VCL_IMPLEMENT_CLASS(TVersionResource)

void TVersionResource::RegisterProperties(vcl::TClassDef<TVersionResource>& def)
{
    using T = TVersionResource;
    def.Property("FileName", &T::FileName, &T::SetFileName, AnsiString());
    def.Property("Language", &T::Language, &T::SetLanguage, lnUSEnglish);
    def.Property("CharacterSet", &T::CharacterSet, &T::SetCharacterSet, csMultilingual);
    def.Property("VersionInfo", &T::VersionInfo, nullptr);
}

TVersionResource::TVersionResource(vcl::TComponent* owner)
    : TComponent(owner), fileName_(ProgramPath()), versionInfo_(std::make_unique<TVersionInfo>())
{
    ReadVersionInfo();
}

TVersionResource::~TVersionResource() = default;

void TVersionResource::SetFileName(const AnsiString& value)
{
    fileName_ = value;
    ReadVersionInfo();
}

void TVersionResource::SetLanguage(TLanguage value)
{
    language_ = value;
    ReadVersionInfo();
}

void TVersionResource::SetCharacterSet(TCharacterSet value)
{
    characterSet_ = value;
    ReadVersionInfo();
}

void TVersionResource::ReadVersionInfo()
{
    TVersionInfo& info = *versionInfo_;
    info.Clear();
    readFailed_ = false;

    win::DWORD handle = 0;
    const win::DWORD size = win::GetFileVersionInfoSize(fileName_.c_str(), &handle);
    if (size == 0) {
        readFailed_ = IsReadFailure(win::GetLastError());
        return;
    }
    std::vector<unsigned char> data(size);
    if (!win::GetFileVersionInfo(fileName_.c_str(), handle, size, data.data())) {
        readFailed_ = IsReadFailure(win::GetLastError());
        return;
    }

    void* value = nullptr;
    win::UINT length = 0;
    win::VS_FIXEDFILEINFO fixed{};
    if (!win::VerQueryValue(data.data(), "\\", &value, &length) || length < sizeof fixed)
        return;
    std::memcpy(&fixed, value, sizeof fixed);
    if (fixed.dwSignature != win::VS_FFI_SIGNATURE)
        return;

    // A table of several translations names its first language first.
    if (win::VerQueryValue(data.data(), "\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        const auto* pair = static_cast<const unsigned char*>(value);
        info.SetPrimaryLanguage(static_cast<uint16_t>((pair[0] | pair[1] << 8) & 0x3FF));
    }

    info.SetFileVersion(VersionText(fixed.dwFileVersionMS, fixed.dwFileVersionLS));
    info.SetProductVersion(VersionText(fixed.dwProductVersionMS, fixed.dwProductVersionLS));
    info.SetFileOS(FileOSText(fixed.dwFileOS));
    info.SetFileType(FileTypeText(fixed.dwFileType));
    info.SetFileSubType(FileSubTypeText(fixed.dwFileType, fixed.dwFileSubtype));

    const AnsiString prefix = "\\StringFileInfo\\" + rtl::IntToHex(LanguageIdentifier(language_), 4) +
                              rtl::IntToHex(CodePage(characterSet_), 4) + "\\";
    auto query = [&](const char* name, void (TVersionInfo::*set)(const AnsiString&)) {
        if (win::VerQueryValue(data.data(), (prefix + name).c_str(), &value, &length))
            (info.*set)(AnsiString(static_cast<const char*>(value)));
    };
    // Resource compilers name the comment "Comments"; a file that says "Comment" is read too.
    query("Comment", &TVersionInfo::SetComment);
    query("Comments", &TVersionInfo::SetComment);
    query("CompanyName", &TVersionInfo::SetCompanyName);
    query("FileDescription", &TVersionInfo::SetFileDescription);
    query("InternalName", &TVersionInfo::SetInternalName);
    query("LegalCopyright", &TVersionInfo::SetLegalCopyright);
    query("LegalTradeMarks", &TVersionInfo::SetLegalTradeMarks);
    query("OriginalFileName", &TVersionInfo::SetOriginalFileName);
    query("PrivateBuild", &TVersionInfo::SetPrivateBuild);
    query("ProductName", &TVersionInfo::SetProductName);
    query("ProductVersion", &TVersionInfo::SetProductVersion);
    query("SpecialBuild", &TVersionInfo::SetSpecialBuild);
}

int TVersionResource::CompareVersions(const AnsiString& a, const AnsiString& b)
{
    const std::vector<AnsiString> fieldsA = SplitVersion(a);
    const std::vector<AnsiString> fieldsB = SplitVersion(b);
    auto field = [](const std::vector<AnsiString>& fields, size_t i) {
        return i < fields.size() ? fields[i] : AnsiString();
    };
    size_t i = 0;
    AnsiString x = field(fieldsA, i);
    AnsiString y = field(fieldsB, i);
    while (!x.empty() && !y.empty()) {
        const int comparison = CompareField(x, y);
        if (comparison > 0)
            return 1;
        if (comparison < 0)
            return 2;
        ++i;
        x = field(fieldsA, i);
        y = field(fieldsB, i);
    }
    if (x.empty() && y.empty())
        return 0;
    return y.empty() ? 1 : 2;
}

TOverwriteResult TVersionResource::CompareFileForOverwrite(const AnsiString& newVersion, const AnsiString& existingPath,
                                                           TOverwriteType mode, rtl::TDateTime newDate)
{
    switch (mode) {
    case owAlways:
        return orReplace;
    case owNever:
        return ExistingFile(existingPath) ? orKeepExisting : orReplace;
    case owVersion:
        return DecideByVersion(newVersion, existingPath);
    case owDate:
        return DecideByDate(newDate, existingPath);
    case owVersionDate: {
        const TOverwriteResult byVersion = DecideByVersion(newVersion, existingPath);
        return byVersion == orSame ? DecideByDate(newDate, existingPath) : byVersion;
    }
    case owAsk:
        return orAsk;
    }
    return orCannotDecide;
}

TOverwriteResult TVersionResource::IsFileNewerByName(const AnsiString& newPath, const AnsiString& existingPath,
                                                     TOverwriteType mode)
{
    AnsiString newVersion;
    rtl::TDateTime newDate = 0;
    if (mode == owVersion || mode == owVersionDate) {
        TVersionResource& reader = Shared();
        reader.SetFileName(newPath);
        if (reader.ReadFailed())
            return orCannotDecide;
        newVersion = reader.VersionInfo()->FileVersion();
    }
    if ((mode == owDate || mode == owVersionDate) && !FileDateForOverwrite(newPath, newDate))
        return orCannotDecide;
    return CompareFileForOverwrite(newVersion, existingPath, mode, newDate);
}

TVersionResource& TVersionResource::Shared()
{
    std::unique_ptr<TVersionResource>& reader = SharedReader();
    if (!reader)
        reader = std::make_unique<TVersionResource>(nullptr);
    return *reader;
}

void TVersionResource::FreeShared()
{
    SharedReader().reset();
}

bool FileDateForOverwrite(const AnsiString& path, rtl::TDateTime& date)
{
    win::HANDLE file = win::CreateFile(path.c_str(), win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                       nullptr, win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == win::INVALID_HANDLE_VALUE)
        return false;
    win::FILETIME written{};
    const bool ok = win::GetFileTime(file, nullptr, nullptr, &written);
    win::CloseHandle(file);
    win::FILETIME local{};
    win::SYSTEMTIME time{};
    if (!ok || !win::FileTimeToLocalFileTime(&written, &local) || !win::FileTimeToSystemTime(&local, &time))
        return false;
    // DOS date-times keep even seconds; unlike them, any year is kept, so an old file still has a date.
    rtl::TDateTime day = 0;
    rtl::TDateTime clock = 0;
    if (!rtl::TryEncodeDate(time.wYear, time.wMonth, time.wDay, day) ||
        !rtl::TryEncodeTime(time.wHour, time.wMinute, time.wSecond & ~1, 0, clock))
        return false;
    date = day + clock;
    return true;
}

void RegisterVersionResourceClasses()
{
    vcl::RegisterClasses({&TVersionResource::StaticClass()});
}
