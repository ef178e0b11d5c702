#include "platform/win/Process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/win/BatchFile.h"
#include "platform/win/CodePage.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Registry.h"
#include "platform/win/Shell.h"

extern char** environ;

namespace win {

namespace {

// A started program, shared by its process and thread handles.
struct TChild {
    pid_t Pid = 0;
    bool Ended = false;
    DWORD ExitCode = STILL_ACTIVE;
};

// Programs whose handles were all closed while they still ran. Nobody waits for them, but their exit must
// still be collected so they do not linger as zombies; that happens whenever a program is started.
struct TOrphans {
    std::mutex Lock;
    std::vector<pid_t> Pids;
};

TOrphans& Orphans()
{
    static TOrphans orphans;
    return orphans;
}

void ReapOrphans()
{
    TOrphans& orphans = Orphans();
    std::lock_guard lock(orphans.Lock);
    std::erase_if(orphans.Pids, [](pid_t pid) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    });
}

// Collects the child's exit if it has ended (or waits for it with `block`); true once it has ended.
bool Poll(TChild& child, bool block)
{
    if (child.Ended)
        return true;
    int status = 0;
    pid_t result;
    do
        result = ::waitpid(child.Pid, &status, block ? 0 : WNOHANG);
    while (result < 0 && errno == EINTR);
    if (result == 0)
        return false;
    child.Ended = true;
    if (result < 0)
        child.ExitCode = 0;  // collected elsewhere; its code is lost
    else if (WIFEXITED(status))
        child.ExitCode = static_cast<DWORD>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        child.ExitCode = 128 + static_cast<DWORD>(WTERMSIG(status));
    else
        child.ExitCode = 0;
    return true;
}

class TChildHandle : public THandleObject {
public:
    explicit TChildHandle(std::shared_ptr<TChild> child) : Child(std::move(child)) {}
    ~TChildHandle() override
    {
        // Closing the last handle leaves the program running, as it does on Windows.
        if (Child.use_count() == 1 && !Poll(*Child, false)) {
            TOrphans& orphans = Orphans();
            std::lock_guard lock(orphans.Lock);
            orphans.Pids.push_back(Child->Pid);
        }
    }
    std::shared_ptr<TChild> Child;
};

class TProcessHandle : public TChildHandle {
public:
    using TChildHandle::TChildHandle;
};

class TThreadHandle : public TChildHandle {
public:
    using TChildHandle::TChildHandle;
};

TChild* ChildOf(HANDLE handle)
{
    auto* object = HandleObjectAs<TChildHandle>(handle);
    return object ? object->Child.get() : nullptr;
}

TChild* ProcessOf(HANDLE handle)
{
    auto* object = HandleObjectAs<TProcessHandle>(handle);
    return object ? object->Child.get() : nullptr;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The file part of a Windows path has an extension.
bool HasExtension(const std::string& path)
{
    const size_t name = path.find_last_of("\\/:");
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && (name == std::string::npos || dot > name);
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD: return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN: return ERROR_NOT_ENOUGH_MEMORY;
    case E2BIG:
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool IsBatchFile(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : AnsiUpperCase(path.substr(dot));
    return extension == ".BAT" || extension == ".CMD";
}

// The host file of the program, or nothing with the last error set.
std::optional<std::string> ProgramFile(const std::string& windowsPath)
{
    std::optional<TResolvedPath> resolved = ResolvePath(windowsPath.c_str());
    if (!resolved)
        return std::nullopt;
    if (!resolved->Exists) {
        SetLastError(resolved->ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    struct stat info{};
    if (::stat(resolved->Host.c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    // A batch file is run by the layer's interpreter, whatever its permissions.
    if (S_ISREG(info.st_mode) && IsBatchFile(windowsPath))
        return resolved->Host;
    // A Windows program image, or any file the host cannot run, is no program here.
    if (!S_ISREG(info.st_mode) || ::access(resolved->Host.c_str(), X_OK) != 0) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return std::nullopt;
    }
    return resolved->Host;
}

// The host folder a program starts in: the given one (which must be a folder), else this process's
// current directory when it maps onto the host. Nothing with the last error set on failure; an empty
// string when the current directory does not map (the host's own working directory is kept).
std::optional<std::string> StartFolder(const char* currentDirectory)
{
    const std::string windows = currentDirectory ? std::string(currentDirectory) : CurrentDirectory();
    std::optional<TResolvedPath> resolved = ResolvePath(windows.c_str());
    if (!resolved) {
        if (!currentDirectory)
            return std::string();
        SetLastError(ERROR_DIRECTORY);
        return std::nullopt;
    }
    struct stat info{};
    if (!resolved->Exists || ::stat(resolved->Host.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (!currentDirectory)
            return std::string();
        SetLastError(ERROR_DIRECTORY);
        return std::nullopt;
    }
    return resolved->Host;
}

// posix_spawn's attribute and file-action objects, released however the start ends.
class TSpawnSetup {
public:
    TSpawnSetup()
    {
        ::posix_spawnattr_init(&attributes_);
        ::posix_spawn_file_actions_init(&actions_);
        // The program starts with every signal at its default and none blocked, whatever ours are.
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attributes_, &none);
        ::posix_spawnattr_setsigdefault(&attributes_, &all);
        ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~TSpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;

    int ChangeDirectory(const std::string& hostFolder)
    {
        return ::posix_spawn_file_actions_addchdir_np(&actions_, hostFolder.c_str());
    }
    // No console to read from or write to.
    int Detach()
    {
        int error = ::posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        for (int fd = 1; fd <= 2 && error == 0; ++fd)
            error = ::posix_spawn_file_actions_addopen(&actions_, fd, "/dev/null", O_WRONLY, 0);
        return error;
    }
    // A started program gets its standard streams and nothing else: no socket or file of ours that the
    // library opened without close-on-exec (a live FTP connection, a locked file) may live on in it.
    int KeepOnlyStandardStreams() { return ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3); }
    int Spawn(pid_t* pid, const std::string& hostFile, const std::vector<std::string>& arguments)
    {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        return ::posix_spawn(pid, hostFile.c_str(), &actions_, &attributes_, argv.data(), environ);
    }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> arguments;
    const size_t n = commandLine.size();
    size_t i = 0;
    while (i < n && IsBlank(commandLine[i]))
        ++i;
    if (i == n)
        return arguments;

    // The program's name: quoted up to the next quote, else up to the next blank; backslashes are plain.
    std::string program;
    if (commandLine[i] == '"') {
        const size_t end = commandLine.find('"', i + 1);
        program = commandLine.substr(i + 1, (end == std::string::npos ? n : end) - i - 1);
        i = end == std::string::npos ? n : end + 1;
    } else {
        while (i < n && !IsBlank(commandLine[i]))
            program += commandLine[i++];
    }
    arguments.push_back(std::move(program));

    for (;;) {
        while (i < n && IsBlank(commandLine[i]))
            ++i;
        if (i == n)
            break;
        std::string argument;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            const char c = commandLine[i];
            if (c == '\\') {
                size_t count = 0;
                while (i + count < n && commandLine[i + count] == '\\')
                    ++count;
                if (i + count < n && commandLine[i + count] == '"') {
                    argument.append(count / 2, '\\');
                    i += count;
                    if (count % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                } else {
                    argument.append(count, '\\');
                    i += count;
                }
            } else if (c == '"') {
                if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    argument += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                argument += c;
                ++i;
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

BOOL CreateProcess(const char* applicationName, char* commandLine, SECURITY_ATTRIBUTES* /*processAttributes*/,
                   SECURITY_ATTRIBUTES* /*threadAttributes*/, BOOL /*inheritHandles*/, DWORD /*creationFlags*/,
                   void* environment, const char* currentDirectory, STARTUPINFO* startupInfo,
                   PROCESS_INFORMATION* processInformation)
{
    if (!startupInfo || !processInformation || environment)
        return Fail(ERROR_INVALID_PARAMETER);
    ReapOrphans();
    // The child reads the registry from its files: changes still held by a write batch go there first.
    if (const LONG error = WritePendingRegistry(); error != ERROR_SUCCESS)
        return Fail(static_cast<DWORD>(error));

    std::vector<std::string> arguments = commandLine ? SplitCommandLine(commandLine) : std::vector<std::string>();
    std::string program;
    if (applicationName && *applicationName) {
        program = applicationName;
    } else {
        if (arguments.empty() || arguments.front().empty())
            return Fail(ERROR_INVALID_PARAMETER);
        program = arguments.front();
        if (!HasExtension(program))
            program += ".exe";
    }
    if (arguments.empty())
        arguments.push_back(program);

    std::optional<std::string> hostFile = ProgramFile(program);
    if (!hostFile)
        return FALSE;
    std::optional<std::string> hostFolder = StartFolder(currentDirectory);
    if (!hostFolder)
        return FALSE;

    const bool batch = IsBatchFile(program);
    if (batch)
        arguments.front() = FullWindowsPath(program).value_or(program);
    for (std::string& argument : arguments)
        argument = Utf8FromAnsi(argument);
    if (batch) {
        // The interpreter gets the batch file's full Windows path, then the batch file's arguments.
        hostFile = BatchInterpreterPath();
        arguments.insert(arguments.begin(), *hostFile);
    }

    TSpawnSetup setup;
    if (!hostFolder->empty()) {
        if (int error = setup.ChangeDirectory(*hostFolder); error != 0)
            return Fail(ErrorFromErrno(error));
    }
    // A batch file started hidden runs in a console nobody sees: its messages go nowhere.
    if (batch && (startupInfo->dwFlags & STARTF_USESHOWWINDOW) && startupInfo->wShowWindow == SW_HIDE) {
        if (int error = setup.Detach(); error != 0)
            return Fail(ErrorFromErrno(error));
    }
    if (int error = setup.KeepOnlyStandardStreams(); error != 0)
        return Fail(ErrorFromErrno(error));
    pid_t pid = 0;
    if (int error = setup.Spawn(&pid, *hostFile, arguments); error != 0)
        return Fail(ErrorFromErrno(error));

    auto child = std::make_shared<TChild>();
    child->Pid = pid;
    processInformation->hProcess = AddHandle(std::make_unique<TProcessHandle>(child));
    processInformation->hThread = AddHandle(std::make_unique<TThreadHandle>(child));
    processInformation->dwProcessId = static_cast<DWORD>(pid);
    processInformation->dwThreadId = static_cast<DWORD>(pid);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    TChild* child = ChildOf(handle);
    if (!child) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (milliseconds == INFINITE) {
        Poll(*child, true);
        return WAIT_OBJECT_0;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!Poll(*child, false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return WAIT_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode)
{
    TChild* child = ProcessOf(process);
    if (!child)
        return Fail(ERROR_INVALID_HANDLE);
    if (!exitCode)
        return Fail(ERROR_INVALID_PARAMETER);
    Poll(*child, false);
    *exitCode = child->ExitCode;
    return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT exitCode)
{
    TChild* child = ProcessOf(process);
    if (!child)
        return Fail(ERROR_INVALID_HANDLE);
    if (Poll(*child, false))
        return Fail(ERROR_ACCESS_DENIED);  // Windows' answer for a program that has already ended
    if (::kill(child->Pid, SIGKILL) != 0)
        return Fail(ErrorFromErrno(errno));
    Poll(*child, true);
    child->ExitCode = exitCode;
    return TRUE;
}

DWORD WaitForInputIdle(HANDLE process, DWORD /*milliseconds*/)
{
    if (!ProcessOf(process)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return 0;
}

DWORD GetProcessId(HANDLE process)
{
    TChild* child = ProcessOf(process);
    if (!child) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(child->Pid);
}

DWORD StartProcess(const std::string& applicationPath, const std::string& parameters, HANDLE* process)
{
    std::string commandLine = "\"" + applicationPath + "\"";
    if (!parameters.empty())
        commandLine += " " + parameters;
    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(SW_SHOWNORMAL);
    PROCESS_INFORMATION information{};
    if (!CreateProcess(applicationPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &information))
        return GetLastError();
    CloseHandle(information.hThread);
    if (process)
        *process = information.hProcess;
    else
        CloseHandle(information.hProcess);
    return ERROR_SUCCESS;
}

}  // namespace win
