#include "platform/win/Restart.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/win/CodePage.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/HostIo.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Process.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "platform/win/WinError.h"

namespace win {

namespace {

// The privilege's number here; any value will do as long as lookup and adjustment agree.
constexpr LUID ShutdownPrivilege = {19, 0};
const char* const RunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class TToken : public THandleObject {
public:
    explicit TToken(DWORD access) : Access(access) {}
    DWORD Access;
};

std::atomic<bool> restartRefused{false};
// Per process, as a real token's privileges are: enabled once, it stays so.
std::atomic<bool> shutdownEnabled{false};

// A reset of the platform (a test playing another run) forgets the privilege and the refusal.
void EnsureResetHook()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterResetHook([] {
            restartRefused = false;
            shutdownEnabled = false;
        });
    });
}

std::string RequestFilePath()
{
    return PrefixFolder() + "/restart-requested";
}

bool Fail(DWORD error)
{
    SetLastError(error);
    return false;
}

}  // namespace

HANDLE GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(~uintptr_t{0} - 1);  // (HANDLE)-1 is taken by INVALID_HANDLE_VALUE
}

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token)
{
    EnsureResetHook();
    if (!token)
        return Fail(ERROR_INVALID_PARAMETER);
    *token = nullptr;
    if (!IsNTKind(WindowsKind()))
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (process != GetCurrentProcess())
        return Fail(ERROR_INVALID_HANDLE);
    *token = AddHandle(std::make_unique<TToken>(desiredAccess));
    return TRUE;
}

BOOL LookupPrivilegeValue(const char*, const char* name, LUID* luid)
{
    if (!name || !luid)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!SameFileName(name, SE_SHUTDOWN_NAME))
        return Fail(ERROR_NO_SUCH_PRIVILEGE);
    *luid = ShutdownPrivilege;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState, DWORD, TOKEN_PRIVILEGES*,
                           DWORD* returnLength)
{
    auto* object = HandleObjectAs<TToken>(token);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(object->Access & TOKEN_ADJUST_PRIVILEGES))
        return Fail(ERROR_ACCESS_DENIED);
    if (returnLength)
        *returnLength = 0;
    if (disableAll) {
        shutdownEnabled = false;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (!newState)
        return Fail(ERROR_INVALID_PARAMETER);
    bool allKnown = true;
    for (DWORD i = 0; i < newState->PrivilegeCount && i < 1; ++i) {
        const LUID_AND_ATTRIBUTES& p = newState->Privileges[i];
        if (p.Luid.LowPart == ShutdownPrivilege.LowPart && p.Luid.HighPart == ShutdownPrivilege.HighPart)
            shutdownEnabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        else
            allKnown = false;
    }
    // As Windows does, success with ERROR_NOT_ALL_ASSIGNED when a privilege was not held.
    SetLastError(allKnown ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

BOOL ExitWindowsEx(UINT flags, DWORD)
{
    EnsureResetHook();
    if (restartRefused)
        return Fail(ERROR_PRIVILEGE_NOT_HELD);
    const bool needsPrivilege = (flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) != 0;
    if (needsPrivilege && IsNTKind(WindowsKind()) && !shutdownEnabled)
        return Fail(ERROR_PRIVILEGE_NOT_HELD);
    try {
        WriteHostFileAtomically(RequestFilePath(), std::to_string(flags) + "\n");
    } catch (const std::exception&) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    return TRUE;
}

void SetRestartRefused(bool refused)
{
    EnsureResetHook();
    restartRefused = refused;
}

std::optional<UINT> RestartRequested()
{
    std::optional<std::string> content = ReadHostFile(RequestFilePath());
    if (!content)
        return std::nullopt;
    try {
        return static_cast<UINT>(std::stoul(*content));
    } catch (const std::exception&) {
        return EWX_REBOOT;
    }
}

void ClearRestartRequest()
{
    std::remove(RequestFilePath().c_str());
    shutdownEnabled = false;
}

// ---------------------------------------------------------------------------------------------------------
// The boot step

namespace {

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

void Note(TBootStep& report, bool ok, const std::string& step)
{
    if (ok)
        report.Done.push_back(step);
    else
        report.Failed.push_back(step + ": error " + std::to_string(GetLastError()));
}

// "target=source" replaces the target with the source; "NUL=source" deletes the source.
void RunWininit(TBootStep& report)
{
    const std::string wininit = std::string(WindowsFolder) + "\\WININIT.INI";
    const std::optional<std::string> host = HostPathFromWindows(wininit);
    if (!host)
        return;
    const std::optional<std::string> content = ReadHostFile(*host);
    if (!content)
        return;
    bool inRename = false;
    for (const std::string& raw : SplitLines(*content)) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            inRename = SameFileName(line, "[Rename]");
            continue;
        }
        const size_t equals = line.find('=');
        if (!inRename || equals == std::string::npos)
            continue;
        const std::string target = Trim(line.substr(0, equals));
        const std::string source = Trim(line.substr(equals + 1));
        if (SameFileName(target, "NUL")) {
            Note(report, DeleteFile(source.c_str()) != FALSE, "delete " + source);
            continue;
        }
        DeleteFile(target.c_str());
        Note(report, MoveFileEx(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE,
             "rename " + source + " to " + target);
    }
    const std::string backup = std::string(WindowsFolder) + "\\WININIT.BAK";
    DeleteFile(backup.c_str());
    MoveFileEx(wininit.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void RunPendingMoves(TBootStep& report)
{
    std::vector<TPendingMove> moves;
    try {
        moves = PendingMoves();
    } catch (const std::exception& e) {
        report.Failed.push_back(std::string("pending moves: ") + e.what());
        return;
    }
    for (const TPendingMove& move : moves) {
        if (move.Target.empty()) {
            const bool ok = DeleteFile(move.Source.c_str()) || RemoveDirectory(move.Source.c_str());
            Note(report, ok, "delete " + move.Source);
            continue;
        }
        const DWORD flags = MOVEFILE_COPY_ALLOWED | (move.ReplaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
        Note(report, MoveFileEx(move.Source.c_str(), move.Target.c_str(), flags) != FALSE,
             "move " + move.Source + " to " + move.Target);
    }
    ClearPendingMoves();
}

std::vector<std::pair<std::string, std::string>> RunOnceValues(HKEY root)
{
    std::vector<std::pair<std::string, std::string>> values;
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, RunOnceKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD nameLength = sizeof(name);
        char data[4096] = {};
        DWORD size = sizeof(data) - 1;
        DWORD type = 0;
        const LONG result = RegEnumValue(key, index, name, &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        values.emplace_back(name, std::string(data, strnlen(data, sizeof(data))));
    }
    RegCloseKey(key);
    return values;
}

void RunOnce(TBootStep& report, HKEY root)
{
    for (const auto& [name, command] : RunOnceValues(root)) {
        HKEY key = nullptr;
        if (RegOpenKeyEx(root, RunOnceKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValue(key, name.c_str());
            RegCloseKey(key);
        }
        std::string commandLine = command;
        STARTUPINFO startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcess(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            Note(report, false, "run " + command);
            continue;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        report.Done.push_back("run " + command + " (exit code " + std::to_string(exitCode) + ")");
    }
}

}  // namespace

TBootStep RunBootStep()
{
    TBootStep report;
    ClearRestartRequest();
    RunWininit(report);
    RunPendingMoves(report);
    RunOnce(report, HKEY_LOCAL_MACHINE);
    RunOnce(report, HKEY_CURRENT_USER);
    return report;
}

}  // namespace win
