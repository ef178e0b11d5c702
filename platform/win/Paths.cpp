#include "platform/win/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/win/CodePage.h"
#include "platform/win/FolderIndex.h"
#include "platform/win/Platform.h"
#include "platform/win/Settings.h"
#include "platform/win/ShortNames.h"

namespace win {

namespace {

struct TPathsState {
    std::mutex Lock;
    std::string CurrentDirectory = "C:\\";
};

TPathsState& State()
{
    static TPathsState state;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(state.Lock);
            state.CurrentDirectory = "C:\\";
        });
        return true;
    }();
    (void)registered;
    return state;
}

struct TParsedPath {
    char Drive = 'C';  // as given
    std::vector<std::string> Names;
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

void SetError(DWORD* error, DWORD code)
{
    if (error)
        *error = code;
}

// Adds the names of `text` (separated by "\") to `names`; false when ".." climbs above the root.
bool AppendNames(const std::string& text, std::vector<std::string>& names)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string name = text.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (names.empty())
                return false;
            names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    return true;
}

std::optional<TParsedPath> Parse(const std::string& input, const std::string& currentDirectory, DWORD* error)
{
    if (input.empty()) {
        SetError(error, ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::string path = input;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || (c == ':' && !(i == 1 && IsLetter(path[0])))) {
            SetError(error, ERROR_INVALID_NAME);
            return std::nullopt;
        }
        if (c == '/')
            path[i] = '\\';
    }
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        SetError(error, ERROR_BAD_NETPATH);
        return std::nullopt;
    }

    TParsedPath parsed;
    std::string rest;
    if (path.size() >= 2 && path[1] == ':') {
        // "C:x" and "C:\x" both start at the root of C:.
        parsed.Drive = path[0];
        rest = path.substr(2);
    } else {
        parsed.Drive = currentDirectory.empty() ? 'C' : currentDirectory[0];
        if (path[0] != '\\' && currentDirectory.size() > 3)
            AppendNames(currentDirectory.substr(3), parsed.Names);
        rest = path;
    }
    if (!AppendNames(rest, parsed.Names)) {
        SetError(error, ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return parsed;
}

std::string Format(const TParsedPath& parsed)
{
    std::string result(1, parsed.Drive);
    result += ":\\";
    for (size_t i = 0; i < parsed.Names.size(); ++i) {
        if (i > 0)
            result += '\\';
        result += parsed.Names[i];
    }
    return result;
}

std::optional<TParsedPath> ParseAgainstCurrent(const std::string& input, DWORD* error)
{
    return Parse(input, CurrentDirectory(), error);
}

bool IsHostDirectory(const std::string& host)
{
    struct stat info {};
    return ::stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool HostEntryExists(const std::string& host)
{
    struct stat info {};
    return ::lstat(host.c_str(), &info) == 0;
}

// Host path of the parsed Windows path; `found` counts the leading names that exist on the host.
std::string HostPathOf(const std::string& root, const std::vector<std::string>& names, size_t* found)
{
    std::string host = root;
    bool searching = IsHostDirectory(root.empty() ? "/" : root);
    *found = 0;
    for (const std::string& name : names) {
        const std::string spelt = host + "/" + Utf8FromAnsi(name);
        if (!searching) {
            host = spelt;
            continue;
        }
        if (HostEntryExists(spelt)) {
            host = spelt;
        } else if (std::optional<std::string> match = FindWithoutCase(host, name)) {
            host += "/" + *match;
        } else if (std::optional<std::string> aliased = HostNameOfAlias(host, name)) {
            // The alias of an entry that is gone names what would be made there.
            host += "/" + *aliased;
            if (!HostEntryExists(host)) {
                searching = false;
                continue;
            }
        } else {
            host = spelt;
            searching = false;
            continue;
        }
        ++*found;
        searching = IsHostDirectory(host);
    }
    return host.empty() ? "/" : host;
}

}  // namespace

std::optional<std::string> DriveFolder(char drive)
{
    switch (UpperLetter(drive)) {
    case 'A': return PrefixFolder() + "/drive_a";
    case 'C': return PrefixFolder() + "/drive_c";
    case 'Z': return std::string();
    default: return std::nullopt;
    }
}

std::optional<std::string> FullWindowsPath(const std::string& path, DWORD* error)
{
    std::optional<TParsedPath> parsed = ParseAgainstCurrent(path, error);
    if (!parsed)
        return std::nullopt;
    return Format(*parsed);
}

namespace {

std::optional<TResolvedPath> Resolve(const std::string& windowsPath, DWORD* error)
{
    std::optional<TParsedPath> parsed = ParseAgainstCurrent(windowsPath, error);
    if (!parsed)
        return std::nullopt;
    const char drive = UpperLetter(parsed->Drive);
    std::optional<std::string> root = DriveFolder(drive);
    if (!root) {
        SetError(error, ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    if (drive == 'A' && !FloppyPresent()) {
        SetError(error, ERROR_NOT_READY);
        return std::nullopt;
    }
    TResolvedPath resolved;
    resolved.Windows = Format(*parsed);
    resolved.Drive = drive;
    size_t found = 0;
    resolved.Host = HostPathOf(*root, parsed->Names, &found);
    resolved.IsRoot = parsed->Names.empty();
    if (resolved.IsRoot) {
        resolved.ParentExists = true;
    } else if (found + 1 >= parsed->Names.size()) {
        // A file where a folder should be is a missing path, as on Windows.
        const size_t slash = resolved.Host.rfind('/');
        resolved.ParentExists = IsHostDirectory(slash == 0 ? "/" : resolved.Host.substr(0, slash));
    }
    struct stat info {};
    resolved.Exists = found == parsed->Names.size() && ::stat(resolved.Host.c_str(), &info) == 0;
    return resolved;
}

}  // namespace

std::optional<std::string> HostPathFromWindows(const std::string& windowsPath, DWORD* error)
{
    std::optional<TResolvedPath> resolved = Resolve(windowsPath, error);
    if (!resolved)
        return std::nullopt;
    return resolved->Host;
}

std::optional<TResolvedPath> ResolvePath(const char* windowsPath)
{
    if (!windowsPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    DWORD error = ERROR_SUCCESS;
    std::optional<TResolvedPath> resolved = Resolve(windowsPath, &error);
    if (!resolved)
        SetLastError(error);
    return resolved;
}

namespace {

std::string WithBackslashes(const std::string& text)
{
    std::string result = text;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

// `host` relative to `folder`, when it lies in it ("" for the folder itself).
std::optional<std::string> Inside(const std::string& host, const std::string& folder)
{
    if (host == folder)
        return std::string();
    if (host.size() > folder.size() && host.compare(0, folder.size(), folder) == 0 && host[folder.size()] == '/')
        return host.substr(folder.size() + 1);
    return std::nullopt;
}

std::string Normalised(const std::filesystem::path& path)
{
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

}  // namespace

std::string WindowsPathFromHost(const std::string& hostPath)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path given = hostPath.empty() ? fs::path(".") : fs::path(hostPath);
    const std::string host = Normalised(fs::absolute(given, ignored));
    const std::string canonical = Normalised(fs::weakly_canonical(host, ignored));
    for (char drive : {'C', 'A'}) {
        const std::string folder = *DriveFolder(drive);
        std::optional<std::string> rest = Inside(host, folder);
        if (!rest)
            rest = Inside(canonical, Normalised(fs::weakly_canonical(folder, ignored)));
        if (rest)
            return AnsiFromUtf8(std::string(1, drive) + ":\\" + WithBackslashes(*rest));
    }
    return AnsiFromUtf8("Z:\\" + WithBackslashes(host.substr(1)));
}

DWORD CopyToBuffer(const std::string& text, char* buffer, DWORD bufferLength)
{
    const auto length = static_cast<DWORD>(text.size());
    if (!buffer || bufferLength <= length)
        return length + 1;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return length;
}

std::string CurrentDirectory()
{
    TPathsState& state = State();
    std::lock_guard lock(state.Lock);
    return state.CurrentDirectory;
}

void UseHostWorkingDirectory()
{
    std::error_code error;
    const std::filesystem::path host = std::filesystem::current_path(error);
    if (error)
        return;
    const std::string windows = WindowsPathFromHost(host.string());
    TPathsState& state = State();
    std::lock_guard lock(state.Lock);
    state.CurrentDirectory = windows;
}

DWORD GetFullPathName(const char* fileName, DWORD bufferLength, char* buffer, char** filePart)
{
    if (filePart)
        *filePart = nullptr;
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD error = ERROR_SUCCESS;
    std::optional<std::string> full = FullWindowsPath(fileName, &error);
    if (!full) {
        SetLastError(error);
        return 0;
    }
    const std::string given = fileName;
    const bool trailing = !given.empty() && (given.back() == '\\' || given.back() == '/');
    if (trailing && full->size() > 3)
        *full += '\\';
    const DWORD result = CopyToBuffer(*full, buffer, bufferLength);
    if (filePart && result < bufferLength && full->back() != '\\')
        *filePart = buffer + full->rfind('\\') + 1;
    return result;
}

DWORD GetCurrentDirectory(DWORD bufferLength, char* buffer)
{
    return CopyToBuffer(CurrentDirectory(), buffer, bufferLength);
}

BOOL SetCurrentDirectory(const char* pathName)
{
    std::optional<TResolvedPath> resolved = ResolvePath(pathName);
    if (!resolved)
        return FALSE;
    if (!resolved->Exists) {
        SetLastError(resolved->ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!IsHostDirectory(resolved->Host)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    TPathsState& state = State();
    std::lock_guard lock(state.Lock);
    state.CurrentDirectory = resolved->Windows;
    return TRUE;
}

namespace {

// The path with each name of an existing path replaced: `shortForm` gives its short name, else its long
// (host) name. A trailing backslash, when given, is kept.
DWORD ConvertExisting(const char* path, char* result, DWORD bufferLength, bool shortForm)
{
    std::optional<TResolvedPath> resolved = ResolvePath(path);
    if (!resolved)
        return 0;
    if (!resolved->Exists) {
        SetLastError(resolved->ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    std::optional<std::string> root = DriveFolder(resolved->Drive);
    std::string folder = root ? *root : std::string();
    std::string converted = resolved->Windows.substr(0, 3);
    size_t hostStart = folder.size() + 1;
    size_t windowsStart = 3;
    while (windowsStart < resolved->Windows.size()) {
        size_t windowsEnd = resolved->Windows.find('\\', windowsStart);
        if (windowsEnd == std::string::npos)
            windowsEnd = resolved->Windows.size();
        size_t hostEnd = resolved->Host.find('/', hostStart);
        if (hostEnd == std::string::npos)
            hostEnd = resolved->Host.size();
        const std::string hostName = resolved->Host.substr(hostStart, hostEnd - hostStart);
        const std::string given = resolved->Windows.substr(windowsStart, windowsEnd - windowsStart);
        if (converted.size() > 3)
            converted += '\\';
        if (shortForm)
            converted += FitsShortName(given) ? given : ShortNameOf(folder, hostName);
        else
            converted += AnsiFromUtf8(hostName);
        folder = resolved->Host.substr(0, hostEnd);
        hostStart = hostEnd + 1;
        windowsStart = windowsEnd + 1;
    }
    const std::string given = path;
    if (converted.size() > 3 && (given.back() == '\\' || given.back() == '/'))
        converted += '\\';
    return CopyToBuffer(converted, result, bufferLength);
}

}  // namespace

DWORD GetShortPathName(const char* longPath, char* shortPath, DWORD bufferLength)
{
    return ConvertExisting(longPath, shortPath, bufferLength, true);
}

DWORD GetLongPathName(const char* shortPath, char* longPath, DWORD bufferLength)
{
    return ConvertExisting(shortPath, longPath, bufferLength, false);
}

}  // namespace win
