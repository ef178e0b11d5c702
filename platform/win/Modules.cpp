#include "platform/win/Modules.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/rtl/SysUtils.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Settings.h"

namespace win {

namespace {

struct TLoadedModule {
    std::string Name;  // the key of the built-in module, or the host path of a shared object
    int References = 0;
    void* Shared = nullptr;  // dlopen's handle of a shared object
};

struct TModuleState {
    std::mutex Lock;
    std::map<std::string, TModuleExports> Builtins;  // upper-cased name -> exports
    std::map<std::string, std::map<UINT, std::string>> Strings;  // upper-cased name -> string table
    std::map<uintptr_t, TLoadedModule> Loaded;       // handle value -> module
    uintptr_t NextHandle = 0x10000000;               // handle values are never reused
    std::set<std::string> MissingModules;
    std::set<std::pair<std::string, std::string>> MissingExports;
};

FARPROC Kernel32Export(const std::string& procName)
{
    if (procName == "CreateHardLinkA") {
        const TWindowsKind kind = WindowsKind();
        if (kind == TWindowsKind::Win2000 || kind == TWindowsKind::WinXP)
            return reinterpret_cast<FARPROC>(static_cast<TCreateHardLinkA>(&CreateHardLink));
    }
    return nullptr;
}

TModuleState& State()
{
    static TModuleState state;
    static const bool registered = [] {
        state.Builtins["KERNEL32.DLL"] = Kernel32Export;
        // The folder browser's captions: its new-folder button, the prompt for the name, its title.
        state.Strings["COMDLG32.DLL"] = {{703, "&New Folder"}};
        state.Strings["SHELL32.DLL"] = {{8977, "Type the name of the new folder:"}, {9248, "Browse for Folder%s"}};
        RegisterResetHook([] {
            std::lock_guard lock(state.Lock);
            for (auto& [handle, module] : state.Loaded)
                if (module.Shared)
                    ::dlclose(module.Shared);
            state.Loaded.clear();
            state.MissingModules.clear();
            state.MissingExports.clear();
        });
        return true;
    }();
    (void)registered;
    return state;
}

// "C:\WINDOWS\system32\Kernel32" -> "KERNEL32.DLL".
std::string ModuleKey(const std::string& fileName)
{
    std::string name = rtl::UpperCase(rtl::ExtractFileName(fileName));
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (!name.empty() && rtl::ExtractFileExt(name).empty())
        name += ".DLL";
    return name;
}

HMODULE ToHandle(uintptr_t value) { return reinterpret_cast<HMODULE>(value); }

// A file that is no built-in module: a real shared object, opened once per host path.
HMODULE LoadSharedObject(TModuleState& state, const char* fileName)
{
    DWORD error = ERROR_SUCCESS;
    const std::optional<std::string> host = fileName ? HostPathFromWindows(fileName, &error) : std::nullopt;
    struct stat info {};
    if (!host || ::stat(host->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    for (auto& [handle, module] : state.Loaded)
        if (module.Shared && module.Name == *host) {
            ++module.References;
            return ToHandle(handle);
        }
    void* shared = ::dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!shared) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    const uintptr_t handle = state.NextHandle;
    state.NextHandle += 0x10000;
    state.Loaded[handle] = TLoadedModule{*host, 1, shared};
    return ToHandle(handle);
}

}  // namespace

HMODULE LoadLibrary(const char* fileName)
{
    TModuleState& state = State();
    const std::string key = ModuleKey(fileName ? fileName : "");
    std::lock_guard lock(state.Lock);
    const bool known = state.Builtins.count(key) || state.Strings.count(key);
    if (!key.empty() && !known && !state.MissingModules.count(key))
        return LoadSharedObject(state, fileName);
    if (key.empty() || !known || state.MissingModules.count(key)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    for (auto& [handle, module] : state.Loaded)
        if (!module.Shared && module.Name == key) {
            ++module.References;
            return ToHandle(handle);
        }
    const uintptr_t handle = state.NextHandle;
    state.NextHandle += 0x10000;
    state.Loaded[handle] = TLoadedModule{key, 1};
    return ToHandle(handle);
}

FARPROC GetProcAddress(HMODULE module, const char* procName)
{
    TModuleState& state = State();
    TModuleExports exports;
    std::string key;
    {
        std::lock_guard lock(state.Lock);
        auto loaded = state.Loaded.find(reinterpret_cast<uintptr_t>(module));
        if (loaded == state.Loaded.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        key = loaded->second.Name;
        const std::string name = procName ? procName : "";
        if (state.MissingExports.count({key, name})) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        if (void* shared = loaded->second.Shared) {
            void* symbol = procName ? ::dlsym(shared, procName) : nullptr;
            if (!symbol)
                SetLastError(ERROR_PROC_NOT_FOUND);
            return reinterpret_cast<FARPROC>(symbol);
        }
        exports = state.Builtins[key];
    }
    // Outside the lock: an export may ask other services (the settings) for what it answers.
    FARPROC proc = procName && exports ? exports(procName) : nullptr;
    if (!proc)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return proc;
}

BOOL FreeLibrary(HMODULE module)
{
    TModuleState& state = State();
    std::lock_guard lock(state.Lock);
    auto loaded = state.Loaded.find(reinterpret_cast<uintptr_t>(module));
    if (loaded == state.Loaded.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--loaded->second.References == 0) {
        if (loaded->second.Shared)
            ::dlclose(loaded->second.Shared);
        state.Loaded.erase(loaded);
    }
    return TRUE;
}

int LoadString(HINSTANCE instance, UINT id, char* buffer, int bufferMax)
{
    TModuleState& state = State();
    std::lock_guard lock(state.Lock);
    auto loaded = state.Loaded.find(reinterpret_cast<uintptr_t>(instance));
    if (loaded == state.Loaded.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = '\0';
    const auto table = state.Strings.find(loaded->second.Name);
    const std::string* text = nullptr;
    if (table != state.Strings.end()) {
        const auto found = table->second.find(id);
        if (found != table->second.end())
            text = &found->second;
    }
    if (!text) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const size_t length = std::min(text->size(), static_cast<size_t>(bufferMax - 1));
    text->copy(buffer, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

void RegisterBuiltinStrings(const std::string& name, const std::map<UINT, std::string>& strings)
{
    TModuleState& state = State();
    std::lock_guard lock(state.Lock);
    for (const auto& [id, text] : strings)
        state.Strings[ModuleKey(name)][id] = text;
}

void RegisterBuiltinModule(const std::string& name, TModuleExports exports)
{
    TModuleState& state = State();
    std::lock_guard lock(state.Lock);
    state.Builtins[ModuleKey(name)] = std::move(exports);
}

void SetModuleMissing(const std::string& name, bool missing)
{
    TModuleState& state = State();
    std::lock_guard lock(state.Lock);
    if (missing)
        state.MissingModules.insert(ModuleKey(name));
    else
        state.MissingModules.erase(ModuleKey(name));
}

void SetExportMissing(const std::string& moduleName, const std::string& procName, bool missing)
{
    TModuleState& state = State();
    std::lock_guard lock(state.Lock);
    const std::pair<std::string, std::string> entry{ModuleKey(moduleName), procName};
    if (missing)
        state.MissingExports.insert(entry);
    else
        state.MissingExports.erase(entry);
}

}  // namespace win
