#include "installer/support/PathVariables.h"

#include <cctype>
#include <utility>

#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkSystem.h"
#include "platform/win/Paths.h"

using rtl::AnsiString;

namespace {

const char* const ShellFoldersKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const CurrentVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

AnsiString UserShellFolder(const char* name, const AnsiString& defaultValue)
{
    return RemoveBackslash(RegReadString(win::HKEY_CURRENT_USER, ShellFoldersKey, name, defaultValue));
}

AnsiString MachineFolder(const char* name, const AnsiString& defaultValue)
{
    return RemoveBackslash(RegReadString(win::HKEY_LOCAL_MACHINE, CurrentVersionKey, name, defaultValue));
}

// "C:\" for a current directory on C:.
AnsiString CurrentDrive() { return AddBackslash(rtl::ExtractFileDrive(win::CurrentDirectory())); }

TInstallPathSourceHook& InstallPathSource()
{
    static TInstallPathSourceHook hook;
    return hook;
}

AnsiString ContainerFolder(IInstallPathSource* component)
{
    if (!component)
        throw EAICannotExpandContainerDirMV(
            TranslateText("Cannot expand the %c meta variable because the component is Nil"));
    IInstallPathSource* container = component->ContainerPathSource();
    if (!container)
        throw EAICannotExpandContainerDirMV(
            TranslateText("Cannot expand the %c meta variable because the Container property is Nil"));
    return container->GetDestPath();
}

AnsiString InstallFolder()
{
    IInstallPathSource* install = InstallPathSource() ? InstallPathSource()() : nullptr;
    if (!install)
        throw EAICannotExpandInstallDirMV(
            TranslateText("Cannot expand the %i meta variable because there is no TInstall component"));
    return install->GetDestPath();
}

// The folder of a meta-variable letter, with its trailing backslash removed; empty for other letters.
AnsiString MetaVariableFolder(char letter, IInstallPathSource* component)
{
    switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a':
        if (!component)
            throw EAICannotExpandContainerDirMV(
                TranslateText("Cannot expand the %a meta variable because the component is Nil"));
        return RemoveBackslash(component->GetDestPath());
    case 'b': return ProgramsFolder();
    case 'c': return RemoveBackslash(ContainerFolder(component));
    case 'd': return DesktopFolder();
    case 'f': return CommonFilesFolder();
    case 'i': return RemoveBackslash(InstallFolder());
    case 'm': return StartMenuFolder();
    case 'p': return ProgramFilesFolder();
    case 's': return RemoveBackslash(SystemDirectory());
    case 'w': return RemoveBackslash(WindowsDirectory());
    default: return AnsiString();
    }
}

}  // namespace

AnsiString StartMenuFolder() { return UserShellFolder("Start Menu", WindowsDirectory() + "\\" + "Startmen"); }

AnsiString ProgramsFolder() { return UserShellFolder("Programs", StartMenuFolder() + "\\" + "Programs"); }

AnsiString StartupFolder() { return UserShellFolder("Startup", WindowsDirectory() + "\\" + "Startup"); }

AnsiString DesktopFolder() { return UserShellFolder("Desktop", WindowsDirectory() + "\\" + "Desktop"); }

AnsiString ProgramFilesFolder() { return MachineFolder("ProgramFilesDir", CurrentDrive() + "Program Files"); }

AnsiString CommonFilesFolder()
{
    return MachineFolder("CommonFilesDir", CurrentDrive() + "Program Files\\Common Files");
}

void SetInstallPathSource(TInstallPathSourceHook hook) { InstallPathSource() = std::move(hook); }

AnsiString ExpandPath(const AnsiString& text, IInstallPathSource* component)
{
    AnsiString result;
    result.reserve(text.size());
    bool afterPercent = false;
    for (char c : text) {
        if (!afterPercent) {
            if (c == '%')
                afterPercent = true;
            else
                result += c;
            continue;
        }
        if (c == '%')
            result += '%';
        else
            result += MetaVariableFolder(c, component);
        afterPercent = false;
    }
    return result;
}
