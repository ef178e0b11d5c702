#include "platform/win/Platform.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/rtl/FileSystem.h"
#include "platform/rtl/SysUtils.h"
#include "platform/win/FileObjects.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/WinFileSystem.h"

namespace win {

namespace fs = std::filesystem;

namespace {

struct TPlatformState {
    std::recursive_mutex Lock;
    std::optional<std::string> Prefix;
    std::vector<std::function<void()>> ResetHooks;
};

TPlatformState& State()
{
    static TPlatformState state;
    return state;
}

// Windows keeps the last error per thread; so do we.
thread_local uint32_t lastError = 0;

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    throw rtl::Exception("Cannot find the prefix folder: neither SCRIVANE_PREFIX nor HOME is set");
}

std::string PrefixFromEnvironment()
{
    std::string folder;
    if (const char* prefix = std::getenv("SCRIVANE_PREFIX"); prefix && *prefix)
        folder = prefix;
    else
        folder = HomeFolder() + "/.scrivane";
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error)
        throw rtl::Exception("Cannot use the prefix folder " + folder + ": " + error.message());
    std::string result = absolute.lexically_normal().string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

// "C:\a\b" -> <drive folder>/a/b, for the fixed folder names of a fresh installation only.
fs::path HostFolderOnDrive(const fs::path& drive, const std::string& windowsPath)
{
    fs::path result = drive;
    std::string component;
    for (size_t i = 3; i <= windowsPath.size(); ++i) {
        if (i == windowsPath.size() || windowsPath[i] == '\\') {
            if (!component.empty())
                result /= component;
            component.clear();
        } else {
            component += windowsPath[i];
        }
    }
    return result;
}

void MakeFolder(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw rtl::Exception("Cannot create the folder " + folder.string() + " of the prefix: " + error.message());
}

// The tree is built beside drive_c and renamed into place, so an interrupted first run never leaves a
// half-made drive that later runs would take for a finished one.
void PopulateDriveC(const std::string& prefix)
{
    const fs::path driveC = fs::path(prefix) / "drive_c";
    const fs::path staging = fs::path(prefix) / ("drive_c.new-" + std::to_string(getpid()));
    std::error_code ignored;
    fs::remove_all(staging, ignored);

    std::vector<std::string> folders = {WindowsFolder,
                                        SystemFolder,
                                        std::string(WindowsFolder) + "\\system",
                                        std::string(WindowsFolder) + "\\Fonts",
                                        std::string(WindowsFolder) + "\\Temp",
                                        ProgramFilesFolder,
                                        CommonFilesFolder,
                                        UserProfileFolder(),
                                        TempFolder()};
    for (const TKnownFolder& folder : ShellFolders())
        folders.push_back(folder.Path);
    for (const std::string& folder : folders)
        MakeFolder(HostFolderOnDrive(staging, folder));

    std::error_code error;
    fs::rename(staging, driveC, error);
    if (error) {
        fs::remove_all(staging, ignored);
        // Another process may have finished the same work first.
        if (!fs::is_directory(driveC))
            throw rtl::Exception("Cannot create drive C: in the prefix " + prefix + ": " + error.message());
    }
}

void PreparePrefix(const std::string& prefix)
{
    MakeFolder(prefix);
    if (!fs::is_directory(fs::path(prefix) / "drive_c"))
        PopulateDriveC(prefix);
    MakeFolder(fs::path(prefix) / "drive_a");
}

}  // namespace

std::string PrefixFolder()
{
    TPlatformState& state = State();
    std::lock_guard lock(state.Lock);
    if (!state.Prefix) {
        std::string prefix = PrefixFromEnvironment();
        PreparePrefix(prefix);
        state.Prefix = prefix;
    }
    return *state.Prefix;
}

void InitializePlatform()
{
    rtl::SetFileSystem(&WindowsFileSystem());
    const std::string prefix = PrefixFolder();
    std::error_code imageError;
    std::error_code prefixError;
    const fs::path image = fs::read_symlink("/proc/self/exe", imageError);
    const fs::path realPrefix = fs::weakly_canonical(prefix, prefixError);
    if (!imageError && !prefixError)
        HoldProgramImage(image.string(), realPrefix.string());
}

void ResetPlatform()
{
    TPlatformState& state = State();
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard lock(state.Lock);
        state.Prefix.reset();
        hooks = state.ResetHooks;
    }
    lastError = 0;
    // Outside the lock: a hook may well ask for the prefix again.
    for (const auto& hook : hooks)
        hook();
}

void RegisterResetHook(std::function<void()> hook)
{
    TPlatformState& state = State();
    std::lock_guard lock(state.Lock);
    state.ResetHooks.push_back(std::move(hook));
}

uint32_t GetLastError() { return lastError; }

void SetLastError(uint32_t error) { lastError = error; }

}  // namespace win
