// FindFirstFile and friends: a search takes a snapshot of the folder when it starts.

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win/CodePage.h"
#include "platform/win/FileObjects.h"
#include "platform/win/Files.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

class TFindObject : public THandleObject {
public:
    std::vector<WIN32_FIND_DATA> Entries;
    size_t Next = 0;
};

HANDLE Fail(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "*" any run, "?" any one character, without regard to case; linear with one back-track point.
bool Glob(const std::string& name, const std::string& mask)
{
    size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || AnsiUpperChar(mask[m]) == AnsiUpperChar(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool MatchesMask(const std::string& name, const std::string& mask)
{
    // "*.*" is every name, with or without a dot; "x*." the names without an extension.
    if (mask == "*.*" || mask == "*")
        return true;
    if (mask.size() > 1 && mask.back() == '.' && mask != "..")
        return name.find('.') == std::string::npos && Glob(name, mask.substr(0, mask.size() - 1));
    return Glob(name, mask);
}

WIN32_FIND_DATA DataOf(const std::string& name, const std::string& host)
{
    WIN32_FIND_DATA data{};
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0)
        ::lstat(host.c_str(), &info);
    data.dwFileAttributes = AttributesOf(host, info);
    data.ftCreationTime = FileTimeFromTimespec(info.st_mtim);
    data.ftLastAccessTime = FileTimeFromTimespec(info.st_atim);
    data.ftLastWriteTime = FileTimeFromTimespec(info.st_mtim);
    if (S_ISREG(info.st_mode)) {
        const auto size = static_cast<uint64_t>(info.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    }
    std::memcpy(data.cFileName, name.data(), std::min<size_t>(name.size(), MAX_PATH - 1));
    return data;
}

std::vector<WIN32_FIND_DATA> List(const TResolvedPath& folder, const std::string& mask)
{
    std::vector<std::pair<std::string, std::string>> names;  // Windows name, host name
    if (DIR* dir = ::opendir(folder.Host.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string hostName = entry->d_name;
            if (hostName == "." || hostName == "..")
                continue;
            const std::string name = AnsiFromUtf8(hostName);
            if (name.size() < MAX_PATH && MatchesMask(name, mask))
                names.emplace_back(name, hostName);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
        const std::string upperA = AnsiUpperCase(a.first), upperB = AnsiUpperCase(b.first);
        return upperA != upperB ? upperA < upperB : a.first < b.first;
    });
    std::vector<WIN32_FIND_DATA> entries;
    const std::string base = folder.Host == "/" ? "" : folder.Host;
    if (!folder.IsRoot) {
        if (MatchesMask(".", mask))
            entries.push_back(DataOf(".", folder.Host));
        if (MatchesMask("..", mask))
            entries.push_back(DataOf("..", base + "/.."));
    }
    for (const auto& [name, hostName] : names)
        entries.push_back(DataOf(name, base + "/" + hostName));
    return entries;
}

}  // namespace

HANDLE FindFirstFile(const char* fileName, WIN32_FIND_DATA* findFileData)
{
    if (!fileName || !findFileData)
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string given = fileName;
    if (given.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    if (IsSeparator(given.back()))
        return Fail(ERROR_FILE_NOT_FOUND);

    size_t split = given.find_last_of("\\/");
    std::string folderPart, mask;
    if (split != std::string::npos) {
        folderPart = given.substr(0, split + 1);
        mask = given.substr(split + 1);
    } else if (given.size() >= 2 && given[1] == ':') {
        folderPart = given.substr(0, 2);
        mask = given.substr(2);
    } else {
        folderPart = ".";
        mask = given;
    }
    if (HasWildcards(folderPart))
        return Fail(ERROR_INVALID_NAME);

    auto search = std::make_unique<TFindObject>();
    if (!HasWildcards(mask)) {
        std::optional<TResolvedPath> resolved = ResolvePath(fileName);
        if (!resolved)
            return INVALID_HANDLE_VALUE;
        if (!resolved->Exists || resolved->IsRoot)
            return Fail(resolved->ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        const std::string hostName = resolved->Host.substr(resolved->Host.rfind('/') + 1);
        search->Entries.push_back(DataOf(AnsiFromUtf8(hostName), resolved->Host));
    } else {
        std::optional<TResolvedPath> folder = ResolvePath(folderPart.c_str());
        if (!folder)
            return INVALID_HANDLE_VALUE;
        struct stat info {};
        if (!folder->Exists || !HostStat(folder->Host, &info) || !S_ISDIR(info.st_mode))
            return Fail(ERROR_PATH_NOT_FOUND);
        search->Entries = List(*folder, mask);
        if (search->Entries.empty())
            return Fail(ERROR_FILE_NOT_FOUND);
    }
    *findFileData = search->Entries[0];
    search->Next = 1;
    SetLastError(ERROR_SUCCESS);
    return AddHandle(std::move(search));
}

BOOL FindNextFile(HANDLE findFile, WIN32_FIND_DATA* findFileData)
{
    auto* search = HandleObjectAs<TFindObject>(findFile);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!findFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (search->Next >= search->Entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findFileData = search->Entries[search->Next++];
    return TRUE;
}

BOOL FindClose(HANDLE findFile)
{
    if (!HandleObjectAs<TFindObject>(findFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(findFile);
}

}  // namespace win
