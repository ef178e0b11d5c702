// Folders, deleting, copying, moving and linking files, delayed moves and temporary names.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/rtl/SysUtils.h"
#include "platform/win/CodePage.h"
#include "platform/win/FileObjects.h"
#include "platform/win/Files.h"
#include "platform/win/HostIo.h"
#include "platform/win/Journal.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/win/WriteFaults.h"

namespace win {

namespace {

BOOL FailWith(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL FailWithErrno() { return FailWith(WindowsErrorFromErrno(errno)); }

DWORD MissingError(const TResolvedPath& path) { return path.ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND; }

bool ReadOnlyFile(const struct stat& info) { return !S_ISDIR(info.st_mode) && !(info.st_mode & S_IWUSR); }

std::string HostFolderOf(const std::string& host)
{
    const size_t slash = host.rfind('/');
    return slash == 0 ? "/" : host.substr(0, slash);
}

std::string LastName(const std::string& windows) { return windows.substr(windows.rfind('\\') + 1); }

bool Inside(const std::string& host, const std::string& folder)
{
    return host == folder || (host.size() > folder.size() && host.compare(0, folder.size(), folder) == 0 &&
                              host[folder.size()] == '/');
}

// Copies the host file into a temporary file in the target's folder and renames it over the target, so
// the target is either its old self or the whole copy. Sets the last error on failure.
bool CopyHostFile(const std::string& source, const struct stat& sourceInfo, const std::string& target)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return FailWithErrno();
    std::string temporary = HostFolderOf(target) + "/.scrivane-copy-XXXXXX";
    if (InjectedWriteFault("create", target)) {
        ::close(in);
        return FailWithErrno();
    }
    const int out = ::mkstemp(temporary.data());
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return FailWith(WindowsErrorFromErrno(error));
    }
    int error = CopyHostContents(in, out, target);
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (!error && (::fchmod(out, sourceInfo.st_mode & 07777) != 0 || ::futimens(out, times) != 0))
        error = errno;
    ::close(in);
    if (::close(out) != 0 && !error)
        error = errno;
    if (!error && (InjectedWriteFault("rename", target) || ::rename(temporary.c_str(), target.c_str()) != 0))
        error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return FailWith(WindowsErrorFromErrno(error));
    }
    MarkRunnableByName(target);
    return true;
}

int64_t SizeOf(const struct stat& info) { return S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0; }

// Copy of a resolved file whose checks are done: capacity, the copy itself and the attributes.
bool CopyResolved(const TResolvedPath& source, const struct stat& sourceInfo, const TResolvedPath& target,
                  const struct stat* targetInfo)
{
    const int64_t growth = SizeOf(sourceInfo) - (targetInfo ? SizeOf(*targetInfo) : 0);
    if (growth > 0 && !FitsOnDrive(target.Drive, growth))
        return FailWith(ERROR_DISK_FULL);
    const DWORD attributes = AttributesOf(source.Host, sourceInfo);
    if (targetInfo && !JournalBeforeFileChange(target.Host, target.Windows, false))
        return false;
    if (!CopyHostFile(source.Host, sourceInfo, target.Host))
        return false;
    if (!targetInfo)
        JournalFileCreated(target.Host, target.Windows);
    struct stat copied {};
    if (HostStat(target.Host, &copied))
        StoreAttributes(target.Host, copied, attributes);
    return true;
}

bool& DelayedMovesFail()
{
    static bool fail = false;
    static const bool hooked = [] {
        RegisterResetHook([] { fail = false; });
        return true;
    }();
    (void)hooked;
    return fail;
}

BOOL RecordPendingMove(const char* existingFileName, const char* newFileName, DWORD flags)
{
    if (DelayedMovesFail())
        return FailWith(ERROR_ACCESS_DENIED);
    if (!existingFileName || (flags & MOVEFILE_COPY_ALLOWED))
        return FailWith(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    std::optional<std::string> source = FullWindowsPath(existingFileName, &error);
    if (!source)
        return FailWith(error);
    std::string target;
    if (newFileName && *newFileName) {
        std::optional<std::string> full = FullWindowsPath(newFileName, &error);
        if (!full)
            return FailWith(error);
        target = *full;
    }
    const std::string line =
        *source + "\t" + target + "\t" + ((flags & MOVEFILE_REPLACE_EXISTING) ? "R" : "-") + "\n";
    const std::string path = PendingMovesFilePath();
    bool existed = false;
    try {
        std::optional<std::string> content = ReadHostFile(path);
        existed = content.has_value();
        if (content && !content->empty() && content->back() != '\n')
            *content += '\n';
        WriteHostFileAtomically(path, content.value_or("") + line);
    } catch (const rtl::Exception&) {
        return FailWith(ERROR_ACCESS_DENIED);
    }
    JournalStep(*source, [path, line, existed](std::string& why) {
        try {
            std::string content = ReadHostFile(path).value_or("");
            const size_t found = content.rfind(line);
            if (found == std::string::npos)
                return true;
            content.erase(found, line.size());
            if (content.empty() && !existed) {
                if (InjectedWriteFault("delete", path) || (::unlink(path.c_str()) != 0 && errno != ENOENT))
                    throw rtl::Exception("Cannot remove " + path + ": " + std::strerror(errno));
            } else {
                WriteHostFileAtomically(path, content);
            }
            return true;
        } catch (const rtl::Exception& error) {
            why = error.Message();
            return false;
        }
    });
    return TRUE;
}

}  // namespace

void SetDelayedMovesFail(bool fail)
{
    DelayedMovesFail() = fail;
}

BOOL CreateDirectory(const char* pathName, SECURITY_ATTRIBUTES*)
{
    if (pathName && HasWildcards(pathName))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> resolved = ResolvePath(pathName);
    if (!resolved)
        return FALSE;
    if (resolved->IsRoot)
        return FailWith(ERROR_ACCESS_DENIED);
    if (resolved->Exists)
        return FailWith(ERROR_ALREADY_EXISTS);
    if (!resolved->ParentExists)
        return FailWith(ERROR_PATH_NOT_FOUND);
    if (InjectedWriteFault("create folder", resolved->Host) || ::mkdir(resolved->Host.c_str(), 0777) != 0)
        return FailWith(errno == EEXIST ? ERROR_ALREADY_EXISTS : WindowsErrorFromErrno(errno));
    JournalFolderCreated(resolved->Host, resolved->Windows);
    return TRUE;
}

BOOL RemoveDirectory(const char* pathName)
{
    if (pathName && HasWildcards(pathName))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> resolved = ResolvePath(pathName);
    if (!resolved)
        return FALSE;
    struct stat info {};
    if (!resolved->Exists || ::lstat(resolved->Host.c_str(), &info) != 0)
        return FailWith(MissingError(*resolved));
    if (resolved->IsRoot)
        return FailWith(ERROR_ACCESS_DENIED);
    if (!S_ISDIR(info.st_mode))
        return FailWith(ERROR_DIRECTORY);
    if (AttributesOf(resolved->Host, info) & FILE_ATTRIBUTE_READONLY)
        return FailWith(ERROR_ACCESS_DENIED);
    // The current directory is in use, as on Windows.
    if (std::optional<std::string> current = HostPathFromWindows(CurrentDirectory()); current && Inside(*current, resolved->Host))
        return FailWith(ERROR_SHARING_VIOLATION);
    const DWORD attributes = AttributesOf(resolved->Host, info);
    if (InjectedWriteFault("remove folder", resolved->Host) || ::rmdir(resolved->Host.c_str()) != 0)
        return FailWith((errno == ENOTEMPTY || errno == EEXIST) ? ERROR_DIR_NOT_EMPTY : WindowsErrorFromErrno(errno));
    JournalFolderRemoved(resolved->Host, resolved->Windows, attributes);
    ForgetAttributes(resolved->Host);
    return TRUE;
}

BOOL DeleteFile(const char* fileName)
{
    if (fileName && HasWildcards(fileName))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> resolved = ResolvePath(fileName);
    if (!resolved)
        return FALSE;
    struct stat info {};
    if (::lstat(resolved->Host.c_str(), &info) != 0)
        return FailWith(MissingError(*resolved));
    if (S_ISDIR(info.st_mode) || resolved->IsRoot)
        return FailWith(ERROR_ACCESS_DENIED);
    if (S_ISREG(info.st_mode) && ReadOnlyFile(info))
        return FailWith(ERROR_ACCESS_DENIED);
    if (LockedAgainstDelete(info, resolved->Host))
        return FailWith(ERROR_SHARING_VIOLATION);
    if (!JournalBeforeFileChange(resolved->Host, resolved->Windows, false))
        return FALSE;
    if (InjectedWriteFault("delete", resolved->Host) || ::unlink(resolved->Host.c_str()) != 0)
        return FailWithErrno();
    ForgetAttributes(resolved->Host);
    return TRUE;
}

BOOL CopyFile(const char* existingFileName, const char* newFileName, BOOL failIfExists)
{
    if ((existingFileName && HasWildcards(existingFileName)) || (newFileName && HasWildcards(newFileName)))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> source = ResolvePath(existingFileName);
    if (!source)
        return FALSE;
    struct stat sourceInfo {};
    if (!source->Exists || !HostStat(source->Host, &sourceInfo))
        return FailWith(MissingError(*source));
    if (S_ISDIR(sourceInfo.st_mode))
        return FailWith(ERROR_ACCESS_DENIED);
    if (ShareConflict(sourceInfo, GENERIC_READ, FILE_SHARE_READ, source->Host))
        return FailWith(ERROR_SHARING_VIOLATION);

    std::optional<TResolvedPath> target = ResolvePath(newFileName);
    if (!target)
        return FALSE;
    if (!target->ParentExists)
        return FailWith(ERROR_PATH_NOT_FOUND);
    if (target->IsRoot)
        return FailWith(ERROR_ACCESS_DENIED);
    struct stat targetInfo {};
    const bool targetExists = target->Exists && HostStat(target->Host, &targetInfo);
    if (targetExists) {
        if (failIfExists)
            return FailWith(ERROR_FILE_EXISTS);
        if (S_ISDIR(targetInfo.st_mode) || ReadOnlyFile(targetInfo))
            return FailWith(ERROR_ACCESS_DENIED);
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return FailWith(ERROR_SHARING_VIOLATION);
        if (ShareConflict(targetInfo, GENERIC_WRITE, 0, target->Host) || LockedAgainstDelete(targetInfo, target->Host))
            return FailWith(ERROR_SHARING_VIOLATION);
    }
    return CopyResolved(*source, sourceInfo, *target, targetExists ? &targetInfo : nullptr) ? TRUE : FALSE;
}

BOOL MoveFile(const char* existingFileName, const char* newFileName)
{
    return MoveFileEx(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileEx(const char* existingFileName, const char* newFileName, DWORD flags)
{
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT)
        return RecordPendingMove(existingFileName, newFileName, flags);
    if (!newFileName)
        return FailWith(ERROR_INVALID_PARAMETER);
    if ((existingFileName && HasWildcards(existingFileName)) || HasWildcards(newFileName))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> source = ResolvePath(existingFileName);
    if (!source)
        return FALSE;
    struct stat sourceInfo {};
    if (::lstat(source->Host.c_str(), &sourceInfo) != 0)
        return FailWith(MissingError(*source));
    if (source->IsRoot)
        return FailWith(ERROR_ACCESS_DENIED);
    const bool folder = S_ISDIR(sourceInfo.st_mode);
    if (LockedAgainstDelete(sourceInfo, source->Host) || (folder && LockedInside(source->Host)))
        return FailWith(ERROR_SHARING_VIOLATION);

    std::optional<TResolvedPath> target = ResolvePath(newFileName);
    if (!target)
        return FALSE;
    if (!target->ParentExists)
        return FailWith(ERROR_PATH_NOT_FOUND);
    if (target->IsRoot)
        return FailWith(ERROR_ACCESS_DENIED);
    std::string targetHost = target->Host;
    struct stat targetInfo {};
    bool targetExists = ::lstat(target->Host.c_str(), &targetInfo) == 0;
    if (targetExists && targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
        // The same file under another case: a rename to the new spelling.
        targetHost = HostFolderOf(target->Host) + "/" + Utf8FromAnsi(LastName(target->Windows));
        if (targetHost == source->Host)
            return TRUE;
        targetExists = false;
    }
    if (targetExists) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING))
            return FailWith(ERROR_ALREADY_EXISTS);
        if (folder || S_ISDIR(targetInfo.st_mode) || ReadOnlyFile(targetInfo))
            return FailWith(ERROR_ACCESS_DENIED);
        if (LockedAgainstDelete(targetInfo, target->Host))
            return FailWith(ERROR_SHARING_VIOLATION);
    }

    // Drive A: is a volume of its own even though drive_a shares the host file system.
    const bool otherVolume = source->Drive != target->Drive && (source->Drive == 'A' || target->Drive == 'A');
    if (source->Drive != target->Drive && !(flags & MOVEFILE_COPY_ALLOWED))
        return FailWith(ERROR_NOT_SAME_DEVICE);
    if (!folder && !JournalBeforeFileChange(source->Host, source->Windows, false))
        return FALSE;
    if (targetExists && !JournalBeforeFileChange(targetHost, target->Windows, false))
        return FALSE;
    if (InjectedWriteFault("rename", targetHost))
        return FailWithErrno();
    if (!otherVolume && ::rename(source->Host.c_str(), targetHost.c_str()) == 0) {
        MoveAttributes(source->Host, targetHost);
        MarkRunnableByName(targetHost);
        if (folder)
            JournalFolderMoved(source->Host, targetHost, target->Windows);
        else if (!targetExists)
            JournalFileCreated(targetHost, target->Windows);
        return TRUE;
    }
    if (!otherVolume && errno != EXDEV)
        return FailWithErrno();
    if (folder || !(flags & MOVEFILE_COPY_ALLOWED))
        return FailWith(ERROR_NOT_SAME_DEVICE);
    TResolvedPath copyTarget = *target;
    copyTarget.Host = targetHost;
    if (!CopyResolved(*source, sourceInfo, copyTarget, targetExists ? &targetInfo : nullptr))
        return FALSE;
    if (InjectedWriteFault("delete", source->Host) || ::unlink(source->Host.c_str()) != 0) {
        const int error = errno;
        ::unlink(targetHost.c_str());
        return FailWith(WindowsErrorFromErrno(error));
    }
    ForgetAttributes(source->Host);
    MarkRunnableByName(targetHost);
    return TRUE;
}

BOOL CreateHardLink(const char* fileName, const char* existingFileName, SECURITY_ATTRIBUTES*)
{
    if ((fileName && HasWildcards(fileName)) || (existingFileName && HasWildcards(existingFileName)))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> existing = ResolvePath(existingFileName);
    if (!existing)
        return FALSE;
    struct stat info {};
    if (!existing->Exists || !HostStat(existing->Host, &info))
        return FailWith(MissingError(*existing));
    if (S_ISDIR(info.st_mode))
        return FailWith(ERROR_ACCESS_DENIED);
    std::optional<TResolvedPath> link = ResolvePath(fileName);
    if (!link)
        return FALSE;
    if (link->Exists)
        return FailWith(ERROR_ALREADY_EXISTS);
    if (!link->ParentExists)
        return FailWith(ERROR_PATH_NOT_FOUND);
    if (link->Drive != existing->Drive)
        return FailWith(ERROR_NOT_SAME_DEVICE);
    if (InjectedWriteFault("link", link->Host) || ::link(existing->Host.c_str(), link->Host.c_str()) != 0)
        return FailWith(errno == EEXIST ? ERROR_ALREADY_EXISTS : WindowsErrorFromErrno(errno));
    JournalFileCreated(link->Host, link->Windows);
    StoreAttributes(link->Host, info, AttributesOf(existing->Host, info));
    return TRUE;
}

std::string PendingMovesFilePath() { return PrefixFolder() + "/pending-moves.txt"; }

std::vector<TPendingMove> PendingMoves()
{
    const std::string path = PendingMovesFilePath();
    const std::string content = ReadHostFile(path).value_or("");
    std::vector<TPendingMove> moves;
    size_t start = 0;
    int number = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const size_t first = line.find('\t');
        const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        const std::string flag = second == std::string::npos ? "" : line.substr(second + 1);
        if (second == std::string::npos || first == 0 || (flag != "R" && flag != "-"))
            throw rtl::Exception(path + ":" + std::to_string(number) +
                                 ": expected source, tab, target, tab and R or -");
        moves.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1), flag == "R"});
    }
    return moves;
}

void ClearPendingMoves()
{
    const std::string path = PendingMovesFilePath();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw rtl::Exception("Cannot remove " + path + ": " + std::strerror(errno));
}

BOOL CancelPendingMove(const TPendingMove& move)
{
    const std::string line = move.Source + "\t" + move.Target + "\t" + (move.ReplaceExisting ? "R" : "-") + "\n";
    const std::string path = PendingMovesFilePath();
    size_t found = std::string::npos;
    try {
        std::string content = ReadHostFile(path).value_or("");
        if (!content.empty() && content.back() != '\n')
            content += '\n';
        // Whole lines only: one move's text may end another's.
        const size_t at = ("\n" + content).find("\n" + line);
        if (at == std::string::npos)
            return FailWith(ERROR_FILE_NOT_FOUND);
        found = at;
        content.erase(found, line.size());
        if (content.empty()) {
            if (::unlink(path.c_str()) != 0 && errno != ENOENT)
                return FailWith(ERROR_ACCESS_DENIED);
        } else {
            WriteHostFileAtomically(path, content);
        }
    } catch (const rtl::Exception&) {
        return FailWith(ERROR_ACCESS_DENIED);
    }
    JournalStep(move.Source, [path, line, found](std::string& why) {
        try {
            std::string content = ReadHostFile(path).value_or("");
            if (!content.empty() && content.back() != '\n')
                content += '\n';
            const bool atLineStart = found <= content.size() && (found == 0 || content[found - 1] == '\n');
            content.insert(atLineStart ? found : content.size(), line);
            WriteHostFileAtomically(path, content);
            return true;
        } catch (const rtl::Exception& error) {
            why = error.Message();
            return false;
        }
    });
    return TRUE;
}

DWORD GetTempPath(DWORD bufferLength, char* buffer)
{
    const std::string folder = TempFolder();
    // A temp folder removed by hand comes back, as programs expect it to exist.
    if (std::optional<std::string> host = HostPathFromWindows(folder); host && ::access(host->c_str(), F_OK) != 0)
        CreateDirectory(folder.c_str(), nullptr);
    return CopyToBuffer(folder + "\\", buffer, bufferLength);
}

UINT GetTempFileName(const char* pathName, const char* prefixString, UINT unique, char* tempFileName)
{
    if (!pathName || !tempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string base = pathName;
    if (base.empty() || (base.back() != '\\' && base.back() != '/'))
        base += '\\';
    base += std::string(prefixString ? prefixString : "").substr(0, 3);
    const auto nameOf = [&](UINT number) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", number & 0xFFFF);
        return base + hex + ".tmp";
    };
    const auto deliver = [&](const std::string& name, UINT number) -> UINT {
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        CopyToBuffer(name, tempFileName, MAX_PATH);
        return number;
    };
    if (unique != 0)
        return deliver(nameOf(unique), unique);

    std::optional<TResolvedPath> folder = ResolvePath(pathName);
    struct stat info {};
    if (!folder || !folder->Exists || !HostStat(folder->Host, &info) || !S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    if (nameOf(0xFFFF).size() >= MAX_PATH) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    const UINT start = GetTickCount();
    for (UINT step = 0; step < 0x10000; ++step) {
        const UINT number = (start + step) & 0xFFFF;
        if (number == 0)
            continue;
        const std::string name = nameOf(number);
        HANDLE file = CreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return deliver(name, number);
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

}  // namespace win
