#pragma once
// Modules: LoadLibrary / GetProcAddress / FreeLibrary over the layer's built-in modules, looked up by the
// file name alone ("kernel32.dll", "KERNEL32", "C:\WINDOWS\system32\kernel32.dll" are one module).
//
//   HMODULE kernel = win::LoadLibrary("kernel32.dll");
//   auto createHardLink = reinterpret_cast<win::TCreateHardLinkA>(win::GetProcAddress(kernel, "CreateHardLinkA"));
//   win::FreeLibrary(kernel);
//
// The built-in kernel32 exports what the kind of Windows has: CreateHardLinkA only on 2000 and XP. Other
// services add their modules with RegisterBuiltinModule. A name that no built-in module answers is a real
// shared object, opened by its path with dlopen (ERROR_MOD_NOT_FOUND when there is no such file,
// ERROR_BAD_EXE_FORMAT when it is no shared object); its exports are its symbols. Tests can make a module
// or one export missing; ResetPlatform forgets that and closes every loaded module.

#include <functional>
#include <map>
#include <string>

#include "platform/win/WinTypes.h"

namespace win {

using FARPROC = void (*)();

// The same module loaded again gives the same handle and counts one more reference; null with
// ERROR_MOD_NOT_FOUND when there is no such module.
HMODULE LoadLibrary(const char* fileName);
// Null with ERROR_PROC_NOT_FOUND when the module does not export the name, ERROR_INVALID_HANDLE for a
// handle that is not loaded.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Drops one reference; the handle stays valid until the last one goes.
BOOL FreeLibrary(HMODULE module);

// The exported function of a name, or null. Asked on every GetProcAddress, so an export may depend on
// settings such as the kind of Windows.
using TModuleExports = std::function<FARPROC(const std::string& procName)>;
// `name` with its extension ("wsock32.dll"); registering a name again replaces its exports.
void RegisterBuiltinModule(const std::string& name, TModuleExports exports);

// String resources: LoadString copies string `id` of a loaded module into the buffer, cut to
// `bufferMax` - 1 characters and ended with a zero, and gives the characters copied; 0 with
// ERROR_RESOURCE_NAME_NOT_FOUND when the module has no such string, ERROR_INVALID_HANDLE for a handle that
// is not loaded. Built-in modules carry the strings registered for them; "comdlg32.dll" and "shell32.dll"
// carry the captions of the folder browser.
int LoadString(HINSTANCE instance, UINT id, char* buffer, int bufferMax);
// Adds `strings` to the module's table (making the module loadable when it exports nothing).
void RegisterBuiltinStrings(const std::string& name, const std::map<UINT, std::string>& strings);

// For tests: a module that cannot be loaded, an export that is not there.
void SetModuleMissing(const std::string& name, bool missing);
void SetExportMissing(const std::string& moduleName, const std::string& procName, bool missing);

// The signature of kernel32's CreateHardLinkA.
using TCreateHardLinkA = BOOL (*)(const char* fileName, const char* existingFileName, SECURITY_ATTRIBUTES* security);

}  // namespace win
