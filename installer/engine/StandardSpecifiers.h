#pragma once
// The Windows shell folders and the folders of an installed office suite's word processor, as path
// specifiers. The shell kinds resolve through the shell's special-folder numbers, which differ between the
// NT and the 9x family; the office kinds read the registry by the suite's version. None raises.

#include "installer/engine/PathSpecifiers.h"

// The path of a shell folder number; empty when the shell has none (virtual folders included).
rtl::AnsiString SpecialFolder(int folder);
// The word processor's version from the registry, -1 when unknown or its server program is missing.
int OfficeVersion();

// A shell folder kind; its row gives the folder number per family of Windows.
class TWindowsFolderSpecifier : public TStandardPathSpecifier {
    VCL_CLASS(TWindowsFolderSpecifier, TStandardPathSpecifier)
public:
    // A cell of the table: a folder number, or one of these.
    static constexpr int Empty = -1;
    static constexpr int Undefined = -2;
    struct TRow {
        const char* Name;
        const char* Description;
        const char* Caption;
        int NT;
        int NineX;
        int Other;
    };

    explicit TWindowsFolderSpecifier(vcl::TComponent* owner);
    rtl::AnsiString GetPath(vcl::TComponent* component) override;

protected:
    void SetRow(const TRow& row);
    // The cell for the running Windows.
    virtual int FolderNumber() const;
    const TRow* Row() const { return row_; }

private:
    const TRow* row_ = nullptr;
};

#define SCRIVANE_WINDOWS_FOLDER_SPECIFIER(Class)                 \
    class Class : public TWindowsFolderSpecifier {               \
        VCL_CLASS(Class, TWindowsFolderSpecifier)                \
    public:                                                      \
        explicit Class(vcl::TComponent* owner);                  \
    };

SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsPrinters)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsRecent)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsSendTo)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsStartup)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsControlPanel)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsFavorites)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsBitBucket)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsCookies)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsCommonAltStartup)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsCommonDesktopDirectory)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsCommonFavorites)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsCommonPrograms)
SCRIVANE_WINDOWS_FOLDER_SPECIFIER(TpsCommonStartMenu)

// The all-users Startup folder: XP has none among the numbers used here.
class TpsCommonStartup : public TWindowsFolderSpecifier {
    VCL_CLASS(TpsCommonStartup, TWindowsFolderSpecifier)
public:
    explicit TpsCommonStartup(vcl::TComponent* owner);

protected:
    int FolderNumber() const override;
};

class TpsQuickLaunchMenu : public TStandardPathSpecifier {
    VCL_CLASS(TpsQuickLaunchMenu, TStandardPathSpecifier)
public:
    explicit TpsQuickLaunchMenu(vcl::TComponent* owner);
    rtl::AnsiString GetPath(vcl::TComponent* component) override;
};

SCRIVANE_FOLDER_SPECIFIER(TpsOfficeUserTemplates)
SCRIVANE_FOLDER_SPECIFIER(TpsOfficeWorkgroupTemplates)
SCRIVANE_FOLDER_SPECIFIER(TpsOfficeClipartDirectory)
SCRIVANE_FOLDER_SPECIFIER(TpsOfficeStartupDirectory)
SCRIVANE_FOLDER_SPECIFIER(TpsOfficeToolsDirectory)
SCRIVANE_FOLDER_SPECIFIER(TpsOfficeFavoritesDirectory)

// Registers the 21 kinds after the core ones (once).
void RegisterStandardSpecifierClasses();
