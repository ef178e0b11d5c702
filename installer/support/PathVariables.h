#pragma once
// The user's well-known folders, read from the registry with fixed defaults, and ExpandPath, which puts
// folders in place of the %-meta-variables of a text:
//
//   ExpandPath("%p\\Halvern\\readme.txt", nullptr)   // "C:\Program Files\Halvern\readme.txt"
//   ExpandPath("100%%", nullptr)                      // "100%"
//
// %a the component's own destination folder, %b Programs, %c the destination folder of the component's
// container, %d Desktop, %f Common Files, %i the destination folder of the installation, %m Start Menu,
// %p Program Files, %s the system folder, %w the Windows folder; upper case alike. "%%" is one "%", any
// other "%x" vanishes, and a "%" at the very end is dropped. Expansion is not recursive. Every folder
// comes without a trailing backslash.

#include <functional>

#include "platform/rtl/SysUtils.h"

rtl::AnsiString StartMenuFolder();
rtl::AnsiString ProgramsFolder();
rtl::AnsiString StartupFolder();
rtl::AnsiString DesktopFolder();
rtl::AnsiString ProgramFilesFolder();
rtl::AnsiString CommonFilesFolder();

// What ExpandPath asks of an install component; the engine's install components implement it.
class IInstallPathSource {
public:
    virtual ~IInstallPathSource() = default;
    // The component's destination folder.
    virtual rtl::AnsiString GetDestPath() = 0;
    // The component's Container, or nullptr when it has none.
    virtual IInstallPathSource* ContainerPathSource() = 0;
};

// The installation component of the setup for %i; the engine installs it, nullptr while it has none.
using TInstallPathSourceHook = std::function<IInstallPathSource*()>;
void SetInstallPathSource(TInstallPathSourceHook hook);

// Raises EAICannotExpandContainerDirMV for %a or %c without a component, or %c without a container, and
// EAICannotExpandInstallDirMV for %i without an installation component (messages translated).
rtl::AnsiString ExpandPath(const rtl::AnsiString& text, IInstallPathSource* component);
