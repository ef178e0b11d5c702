#include "installer/engine/StandardSpecifiers.h"

#include "installer/support/PathVariables.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Files.h"
#include "platform/win/Registry.h"
#include "platform/win/ShellFolders.h"

using rtl::AnsiString;

AnsiString SpecialFolder(int folder)
{
    AnsiString result;
    win::LPITEMIDLIST list = nullptr;
    if (win::SHGetSpecialFolderLocation(nullptr, folder, &list) == win::S_OK) {
        char path[261] = {};
        if (win::SHGetPathFromIDList(list, path))
            result = path;
    }
    win::CoTaskMemFree(list);
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Shell folder kinds

namespace {

using TRow = TWindowsFolderSpecifier::TRow;
constexpr int E = TWindowsFolderSpecifier::Empty;
constexpr int U = TWindowsFolderSpecifier::Undefined;

enum class TFamily { NT, NineX, Other };

TFamily RunningFamily()
{
    try {
        const TOSVerType kind = WindowsVersion();
        if (NTOSSet().Contains(kind))
            return TFamily::NT;
        if (Win9xOSSet().Contains(kind))
            return TFamily::NineX;
    } catch (const rtl::Exception&) {
        // A version query that fails counts as another kind of system.
    }
    return TFamily::Other;
}

constexpr TRow Recent{"psRecent", "Recently Used Documents", "Recently Used", 8, U, U};
constexpr TRow Printers{"psPrinters", "virtual folder containing installed printers", "Installed Printers", 4, U, U};
constexpr TRow Favorites{"psFavorites", "Favorites", "Favorites", 6, U, U};
constexpr TRow ControlPanel{"psControlPanel", "Control Panel", "Control Panel", 3, E, E};
constexpr TRow BitBucket{"psBitBucket", "Recycle bin", "Recycle bin", 10, E, E};
constexpr TRow Cookies{"psCookies", "Cookies", "Cookies", 33, E, E};
constexpr TRow SendTo{"psSendTo", "Send To Menu", "Send To", 9, E, E};
constexpr TRow Startup{"psStartup", "User Startup", "Startup", 7, E, E};
constexpr TRow CommonAltStartup{"psCommonAltStartup", "Alternate Startup folder for (All Users profile)",
                                "Common Alternate Startup folder", 30, 29, E};
constexpr TRow CommonStartMenu{"psCommonStartMenu", "Common Start Menu", "Common Start Menu", 22, 11, E};
constexpr TRow CommonPrograms{"psCommonPrograms", "Common Programs", "Common Programs", 23, 2, E};
constexpr TRow CommonStartup{"psCommonStartup", "Common Startup directory", "Common Startup", 24, 7, E};
constexpr TRow CommonDesktopDirectory{"psCommonDesktopDirectory", "Common Desktop Directory", "Common Desktop", 25, 16, U};
constexpr TRow CommonFavorites{"psCommonFavorites", "Common Favorites", "Common Favorites", 31, 6, E};

}  // namespace

VCL_IMPLEMENT_CLASS_NOPROPS(TWindowsFolderSpecifier)

TWindowsFolderSpecifier::TWindowsFolderSpecifier(vcl::TComponent* owner) : TStandardPathSpecifier(owner) {}

void TWindowsFolderSpecifier::SetRow(const TRow& row)
{
    row_ = &row;
    SetTexts(row.Name, row.Description, row.Caption);
}

int TWindowsFolderSpecifier::FolderNumber() const
{
    switch (RunningFamily()) {
    case TFamily::NT: return row_->NT;
    case TFamily::NineX: return row_->NineX;
    default: return row_->Other;
    }
}

AnsiString TWindowsFolderSpecifier::GetPath(vcl::TComponent*)
{
    // The shell's answer as it stands: no backslash removed, an empty one kept.
    const int folder = row_ ? FolderNumber() : Empty;
    if (folder == Undefined)
        return "undefined";
    if (folder == Empty)
        return AnsiString();
    return SpecialFolder(folder);
}

#define SCRIVANE_WINDOWS_FOLDER_BODY(Class, Row)                                 \
    VCL_IMPLEMENT_CLASS_NOPROPS(Class)                                           \
    Class::Class(vcl::TComponent* owner) : TWindowsFolderSpecifier(owner)        \
    {                                                                            \
        SetRow(Row);                                                             \
    }

SCRIVANE_WINDOWS_FOLDER_BODY(TpsPrinters, Printers)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsRecent, Recent)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsSendTo, SendTo)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsStartup, Startup)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsControlPanel, ControlPanel)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsFavorites, Favorites)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsBitBucket, BitBucket)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCookies, Cookies)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCommonAltStartup, CommonAltStartup)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCommonDesktopDirectory, CommonDesktopDirectory)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCommonFavorites, CommonFavorites)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCommonPrograms, CommonPrograms)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCommonStartMenu, CommonStartMenu)
SCRIVANE_WINDOWS_FOLDER_BODY(TpsCommonStartup, CommonStartup)

int TpsCommonStartup::FolderNumber() const
{
    try {
        if (WindowsVersion() == oswinXP)
            return Empty;
    } catch (const rtl::Exception&) {
    }
    return TWindowsFolderSpecifier::FolderNumber();
}

VCL_IMPLEMENT_CLASS_NOPROPS(TpsQuickLaunchMenu)

TpsQuickLaunchMenu::TpsQuickLaunchMenu(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psQuickLaunchMenu", "Path of the Quick Launch Toolbar Menu", "Quick Launch Toolbar menu");
}

AnsiString TpsQuickLaunchMenu::GetPath(vcl::TComponent*)
{
    const AnsiString appData = RemoveBackslash(SpecialFolder(win::CSIDL_APPDATA));
    if (appData.empty())
        return "undefined";
    return RemoveBackslash(appData + "\\Microsoft\\Internet Explorer\\Quick Launch");
}

// ---------------------------------------------------------------------------------------------------------
// Office kinds

int OfficeVersion()
{
    try {
        const AnsiString current = RegReadString(win::HKEY_CLASSES_ROOT, "\\Word.Document\\CurVer", "", "");
        if (current.empty())
            return -1;
        // "name.name.number": the number follows the second ".".
        const size_t first = current.find('.');
        if (first == AnsiString::npos)
            return -1;
        const size_t second = current.find('.', first + 1);
        if (second == AnsiString::npos)
            return -1;
        const AnsiString number = current.substr(second + 1);
        const AnsiString server =
            RegReadString(win::HKEY_CLASSES_ROOT, "\\" + current + "\\protocol\\StdFileEditing\\server", "", "");
        int version = -1;
        if (!rtl::TryStrToInt(number, version))
            return -1;
        if (server.empty() || !rtl::FileExists(server))
            return -1;
        return version;
    } catch (...) {
        return -1;
    }
}

namespace {

bool KnownOfficeVersion(int v)
{
    return v >= 7 && v <= 19;
}

AnsiString OfficeBase(int v)
{
    const AnsiString version = rtl::IntToStr(v) + ".0";
    if (v <= 8)
        return "\\Software\\Microsoft\\Office\\" + version;
    return "\\Software\\Policies\\Microsoft\\Office\\" + version;
}

AnsiString FileNewKey(int v, const AnsiString& name)
{
    return OfficeBase(v) + "\\Common\\FileNew\\" + name;
}

AnsiString WordOptionsKey(int v)
{
    return OfficeBase(v) + "\\Word\\Options";
}

AnsiString ProgramFilesDefault(const AnsiString& suffix)
{
    return AddBackslash(ProgramFilesFolder()) + suffix;
}

AnsiString OfficeFolder(const AnsiString& key, const AnsiString& valueName, const AnsiString& suffix)
{
    return RemoveBackslash(RegReadString(win::HKEY_CURRENT_USER, key, valueName, ProgramFilesDefault(suffix)));
}

AnsiString OfficeFileNewFolder(const AnsiString& name, const AnsiString& suffix)
{
    const int v = OfficeVersion();
    if (!KnownOfficeVersion(v))
        return ProgramFilesDefault(suffix);
    return OfficeFolder(FileNewKey(v, name), "", suffix);
}

AnsiString OfficeWordOption(const AnsiString& valueName, const AnsiString& suffix)
{
    const int v = OfficeVersion();
    if (!KnownOfficeVersion(v))
        return ProgramFilesDefault(suffix);
    return OfficeFolder(WordOptionsKey(v), valueName, suffix);
}

const char* const UserTemplatesSuffix = "Microsoft Office\\Templates";

}  // namespace

SCRIVANE_FOLDER_SPECIFIER_BODY(TpsOfficeUserTemplates, "psOfficeUserTemplates",
                               "Path to the MS Office User Templates directory", "User Templates",
                               OfficeFileNewFolder("LocalTemplates", UserTemplatesSuffix))
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsOfficeClipartDirectory, "psOfficeClipartDirectory",
                               "Path to the MS Office Clipart directory", "Office Clipart dir",
                               OfficeWordOption("PICTURE-PATH", "Microsoft Office\\Clipart"))
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsOfficeStartupDirectory, "psOfficeStartupDirectory",
                               "Path to the MS Office Startup directory", "Office Startup dir",
                               OfficeWordOption("STARTUP-PATH", "Microsoft Office\\Office\\Startup"))
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsOfficeToolsDirectory, "psOfficeToolsDirectory",
                               "Path to the MS Office Tools directory", "Office Tools dir",
                               OfficeWordOption("TOOLS-PATH", "Microsoft Office\\Office"))
SCRIVANE_FOLDER_SPECIFIER_BODY(TpsOfficeFavoritesDirectory, "psOfficeFavoritesDirectory",
                               "Path to the MS Office Favorites directory", "Office Favorites dir",
                               RegReadString(win::HKEY_CURRENT_USER,
                                             "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                             "Favorites", WindowsDirectory() + "\\Favorites"))

VCL_IMPLEMENT_CLASS_NOPROPS(TpsOfficeWorkgroupTemplates)

TpsOfficeWorkgroupTemplates::TpsOfficeWorkgroupTemplates(vcl::TComponent* owner) : TStandardPathSpecifier(owner)
{
    SetTexts("psOfficeWorkgroupTemplates", "Path to the MS Office Workgroup Templates directory",
             "Workgroup Templates");
}

AnsiString TpsOfficeWorkgroupTemplates::GetPath(vcl::TComponent*)
{
    const int v = OfficeVersion();
    if (KnownOfficeVersion(v)) {
        const AnsiString shared = RegReadString(win::HKEY_CURRENT_USER, FileNewKey(v, "SharedTemplates"), "", "");
        if (!shared.empty())
            return RemoveBackslash(shared);
    }
    return OfficeFileNewFolder("LocalTemplates", UserTemplatesSuffix);
}

void RegisterStandardSpecifierClasses()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    RegisterPathSpecifierClasses();
    const std::vector<const vcl::TClassMeta*> kinds = {
        &TpsPrinters::StaticClass(),
        &TpsRecent::StaticClass(),
        &TpsSendTo::StaticClass(),
        &TpsStartup::StaticClass(),
        &TpsControlPanel::StaticClass(),
        &TpsFavorites::StaticClass(),
        &TpsBitBucket::StaticClass(),
        &TpsCookies::StaticClass(),
        &TpsCommonAltStartup::StaticClass(),
        &TpsCommonStartup::StaticClass(),
        &TpsCommonDesktopDirectory::StaticClass(),
        &TpsCommonFavorites::StaticClass(),
        &TpsCommonPrograms::StaticClass(),
        &TpsCommonStartMenu::StaticClass(),
        &TpsQuickLaunchMenu::StaticClass(),
        &TpsOfficeUserTemplates::StaticClass(),
        &TpsOfficeWorkgroupTemplates::StaticClass(),
        &TpsOfficeClipartDirectory::StaticClass(),
        &TpsOfficeStartupDirectory::StaticClass(),
        &TpsOfficeToolsDirectory::StaticClass(),
        &TpsOfficeFavoritesDirectory::StaticClass(),
    };
    vcl::RegisterClasses({&TWindowsFolderSpecifier::StaticClass()});
    for (const vcl::TClassMeta* meta : kinds) {
        vcl::RegisterClasses({meta});
        PathSpecifierClasses().Add(meta);
    }
}
