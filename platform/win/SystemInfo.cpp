#include "platform/win/SystemInfo.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win/CodePage.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

struct TCommandLineState {
    std::mutex Lock;
    std::vector<std::string> Arguments;  // argv[1..]
    bool Given = false;
    std::string Line;
    std::string ProgramPath;  // set by tests; empty: the running file
};

TCommandLineState& State()
{
    static TCommandLineState state;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(state.Lock);
            state.Arguments.clear();
            state.Given = false;
            state.Line.clear();
            state.ProgramPath.clear();
        });
        return true;
    }();
    (void)registered;
    return state;
}

struct TVersion {
    DWORD Major, Minor, Build, Platform;
    const char* ServicePackText;
    WORD ServicePack;
};

TVersion VersionOf(TWindowsKind kind)
{
    switch (kind) {
    case TWindowsKind::Win95: return {4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, "", 0};
    case TWindowsKind::Win98: return {4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, "", 0};
    case TWindowsKind::WinME: return {4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, "", 0};
    case TWindowsKind::WinNT4: return {4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6", 6};
    case TWindowsKind::Win2000: return {5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4", 4};
    case TWindowsKind::WinXP: return {5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3", 3};
    }
    return {5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3", 3};
}

// Fills the version structure that `info` points at, by its size field.
BOOL FillVersion(void* info)
{
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* basic = static_cast<OSVERSIONINFO*>(info);
    const TWindowsKind kind = WindowsKind();
    const bool extended = basic->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEX) && IsNTKind(kind);
    if (basic->dwOSVersionInfoSize != sizeof(OSVERSIONINFO) && !extended) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const TVersion version = VersionOf(kind);
    basic->dwMajorVersion = version.Major;
    basic->dwMinorVersion = version.Minor;
    basic->dwPlatformId = version.Platform;
    basic->dwBuildNumber = version.Platform == VER_PLATFORM_WIN32_NT
                               ? version.Build
                               : (version.Major << 24) | (version.Minor << 16) | version.Build;
    std::memset(basic->szCSDVersion, 0, sizeof basic->szCSDVersion);
    std::strncpy(basic->szCSDVersion, version.ServicePackText, sizeof basic->szCSDVersion - 1);
    if (extended) {
        auto* ex = static_cast<OSVERSIONINFOEX*>(info);
        ex->wServicePackMajor = version.ServicePack;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = VER_NT_WORKSTATION;
        ex->wReserved = 0;
    }
    return TRUE;
}

std::string ProgramPath()
{
    {
        TCommandLineState& state = State();
        std::lock_guard lock(state.Lock);
        if (!state.ProgramPath.empty())
            return state.ProgramPath;
    }
    char link[PATH_MAX + 1];
    const ssize_t length = ::readlink("/proc/self/exe", link, PATH_MAX);
    if (length <= 0)
        return std::string(WindowsFolder) + "\\program.exe";
    return WindowsPathFromHost(std::string(link, static_cast<size_t>(length)));
}

std::string Quoted(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string result = "\"";
    for (char c : argument) {
        if (c == '"')
            result += '\\';
        result += c;
    }
    return result + "\"";
}

// The program's path in quotes, then the arguments.
std::string CommandLineOf(const std::vector<std::string>& arguments)
{
    std::string line = Quoted(ProgramPath());
    if (line.front() != '"')
        line = "\"" + line + "\"";
    for (const std::string& argument : arguments)
        line += " " + Quoted(argument);
    return line;
}

UINT FolderInto(const std::string& folder, char* buffer, UINT size) { return CopyToBuffer(folder, buffer, size); }

}  // namespace

BOOL GetVersionEx(OSVERSIONINFO* versionInformation) { return FillVersion(versionInformation); }
BOOL GetVersionEx(OSVERSIONINFOEX* versionInformation) { return FillVersion(versionInformation); }

DWORD GetVersion()
{
    const TVersion version = VersionOf(WindowsKind());
    const DWORD low = version.Major | (version.Minor << 8);
    if (version.Platform == VER_PLATFORM_WIN32_NT)
        return low | (version.Build << 16);
    return low | 0x80000000u | ((version.Build & 0x7FFF) << 16);
}

UINT GetWindowsDirectory(char* buffer, UINT size) { return FolderInto(WindowsFolder, buffer, size); }

UINT GetSystemDirectory(char* buffer, UINT size)
{
    return FolderInto(IsNTKind(WindowsKind()) ? std::string(SystemFolder) : std::string(WindowsFolder) + "\\SYSTEM",
                      buffer, size);
}

BOOL GetUserName(char* buffer, DWORD* size)
{
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string name = CurrentUserName();
    const auto needed = static_cast<DWORD>(name.size() + 1);
    if (!buffer || *size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    CopyToBuffer(name, buffer, *size);
    *size = needed;
    return TRUE;
}

BOOL GetComputerName(char* buffer, DWORD* size)
{
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !host[0])
        std::strcpy(host, "localhost");
    std::string name = AnsiUpperCase(AnsiFromUtf8(host));
    name = name.substr(0, name.find('.')).substr(0, MAX_COMPUTERNAME_LENGTH);
    if (!buffer || *size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    CopyToBuffer(name, buffer, *size);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

LANGID GetUserDefaultLangID() { return UserLanguageId(); }
LANGID GetSystemDefaultLangID() { return SystemLanguageId(); }
LCID GetUserDefaultLCID() { return UserLanguageId(); }
LCID GetSystemDefaultLCID() { return SystemLanguageId(); }

DWORD GetModuleFileName(HMODULE module, char* fileName, DWORD size)
{
    if (module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string path = ProgramPath();
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return CopyToBuffer(path, fileName, size);
}

void SetCommandLine(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc && argv; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
    std::string line = CommandLineOf(arguments);
    {
        TCommandLineState& state = State();
        std::lock_guard lock(state.Lock);
        state.Arguments = std::move(arguments);
        state.Given = true;
        state.Line = std::move(line);
    }
    UseHostWorkingDirectory();
}

const char* GetCommandLine()
{
    TCommandLineState& state = State();
    const std::string program = ProgramPath();  // takes the lock itself
    std::lock_guard lock(state.Lock);
    if (!state.Given)
        state.Line = "\"" + program + "\"";
    return state.Line.c_str();
}

void SetProgramPath(const std::string& windowsPath)
{
    TCommandLineState& state = State();
    std::vector<std::string> arguments;
    bool given = false;
    {
        std::lock_guard lock(state.Lock);
        state.ProgramPath = windowsPath;
        arguments = state.Arguments;
        given = state.Given;
    }
    if (given) {
        // The command line names the program first.
        std::string line = CommandLineOf(arguments);
        std::lock_guard lock(state.Lock);
        state.Line = std::move(line);
    }
}

int ParamCount()
{
    TCommandLineState& state = State();
    std::lock_guard lock(state.Lock);
    return static_cast<int>(state.Arguments.size());
}

std::string ParamStr(int index)
{
    if (index == 0)
        return ProgramPath();
    TCommandLineState& state = State();
    std::lock_guard lock(state.Lock);
    if (index < 0 || static_cast<size_t>(index) > state.Arguments.size())
        return {};
    return state.Arguments[static_cast<size_t>(index) - 1];
}

uint64_t GetTickCount64()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace win
