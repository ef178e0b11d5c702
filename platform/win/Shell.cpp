#include "platform/win/Shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Registry.h"

extern char** environ;

namespace win {

namespace {

struct TShellState {
    std::mutex Lock;
    bool Allowed = true;
    std::vector<TShellRequest> Requests;
    std::vector<TShellChange> Changes;
};

TShellState& State()
{
    static TShellState state;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(state.Lock);
            state.Allowed = true;
            state.Requests.clear();
            state.Changes.clear();
        });
        return true;
    }();
    (void)registered;
    return state;
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    const size_t length = std::strlen(prefix);
    if (text.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

bool EqualsNoCase(const std::string& text, const char* other)
{
    return text.size() == std::strlen(other) && StartsWithNoCase(text, other);
}

// "http://x", "mailto:a@b": a scheme of two letters or more (one letter is a drive).
bool HasScheme(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '+' ||
                               text[i] == '-' || text[i] == '.'))
        ++i;
    return i >= 2 && i < text.size() && text[i] == ':' && std::isalpha(static_cast<unsigned char>(text[0]));
}

bool IsProgram(const std::string& path)
{
    const size_t dot = path.find_last_of(".\\/:");
    if (dot == std::string::npos || path[dot] != '.')
        return false;
    const std::string extension = path.substr(dot);
    for (const char* program : {".exe", ".com", ".bat", ".pif"}) {
        if (EqualsNoCase(extension, program))
            return true;
    }
    return false;
}

bool DesktopPresent()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::strcmp(platform, "offscreen") == 0)
        return false;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

std::string FindOpener()
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate = folder + "/xdg-open";
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Started in a session of its own with nothing on its standard streams; a thread of its own waits for it,
// so it never lingers as a zombie and nobody here waits.
bool StartDetached(const std::string& program, const std::string& argument)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    for (int stream : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);  // nothing of ours lives on in the browser
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string arg0 = program;
    std::string arg1 = argument;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

// Checks the request; gives the answer and fills what goes to the opener.
int Examine(TShellRequest& request)
{
    if (!request.Operation.empty() && !EqualsNoCase(request.Operation, "open") &&
        !EqualsNoCase(request.Operation, "explore"))
        return SE_ERR_NOASSOC;
    if (StartsWithNoCase(request.File, "URL:")) {
        request.Target = request.File.substr(4);
        return request.Target.empty() ? SE_ERR_FNF : SE_SUCCESS;
    }
    if (HasScheme(request.File)) {
        request.Target = request.File;
        return SE_SUCCESS;
    }
    if (request.File.empty())
        return SE_ERR_FNF;
    std::string path = request.File;
    if (!request.Directory.empty() && !(path.size() > 1 && path[1] == ':') && path[0] != '\\')
        path = request.Directory + (request.Directory.back() == '\\' ? "" : "\\") + path;
    std::optional<TResolvedPath> resolved = ResolvePath(path.c_str());
    if (!resolved)
        return SE_ERR_PNF;
    if (!resolved->Exists)
        return resolved->ParentExists ? SE_ERR_FNF : SE_ERR_PNF;
    if (IsProgram(resolved->Windows))
        return SE_ERR_NOASSOC;
    request.Target = resolved->Host;
    return SE_SUCCESS;
}

}  // namespace

HINSTANCE ShellExecute(const void*, const char* operation, const char* file, const char* parameters,
                       const char* directory, int showCommand)
{
    TShellRequest request;
    request.Operation = operation ? operation : "";
    request.File = file ? file : "";
    request.Parameters = parameters ? parameters : "";
    request.Directory = directory ? directory : "";
    request.ShowCommand = showCommand;
    int result = Examine(request);
    if (result > 32 && ShellCanLaunch()) {
        const std::string opener = FindOpener();
        if (opener.empty())
            result = SE_ERR_NOASSOC;
        else if (WritePendingRegistry() == ERROR_SUCCESS && StartDetached(opener, request.Target))
            request.Started = true;
        else
            result = SE_ERR_ACCESSDENIED;
    }
    request.Result = result;
    {
        TShellState& state = State();
        std::lock_guard lock(state.Lock);
        state.Requests.push_back(request);
    }
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(result));
}

int ShellExecuteResult(HINSTANCE result)
{
    return static_cast<int>(reinterpret_cast<uintptr_t>(result));
}

void SetShellLaunchAllowed(bool allowed)
{
    TShellState& state = State();
    std::lock_guard lock(state.Lock);
    state.Allowed = allowed;
}

bool ShellCanLaunch()
{
    TShellState& state = State();
    {
        std::lock_guard lock(state.Lock);
        if (!state.Allowed)
            return false;
    }
    return DesktopPresent();
}

std::vector<TShellRequest> ShellRequests()
{
    TShellState& state = State();
    std::lock_guard lock(state.Lock);
    return state.Requests;
}

void ClearShellRequests()
{
    TShellState& state = State();
    std::lock_guard lock(state.Lock);
    state.Requests.clear();
}

void SHChangeNotify(LONG eventId, UINT flags, const void*, const void*)
{
    TShellState& state = State();
    {
        std::lock_guard lock(state.Lock);
        state.Changes.push_back({eventId, flags});
    }
    char line[32];
    std::snprintf(line, sizeof line, "%08X %04X\n", static_cast<unsigned>(eventId), flags);
    // A record that cannot be written changes nothing for the caller, as a shell that ignores it.
    const std::string file = PrefixFolder() + "/shell-changes";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, line, std::strlen(line));
        ::close(fd);
    }
}

std::vector<TShellChange> ShellChanges()
{
    TShellState& state = State();
    std::lock_guard lock(state.Lock);
    return state.Changes;
}

}  // namespace win
