#include "platform/win/ShortNames.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/CodePage.h"
#include "platform/win/HostIo.h"
#include "platform/win/HostLock.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

// Characters no 8.3 name holds; a cleaned basis has "_" in their place.
bool Excluded(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || std::strchr("\"*+,/:;<=>?[\\]|", c) != nullptr;
}

std::string Cleaned(const std::string& text, size_t limit)
{
    std::string result;
    for (char c : text) {
        if (result.size() == limit)
            break;
        if (c == ' ' || c == '.')
            continue;
        result += Excluded(c) ? '_' : AnsiUpperChar(c);
    }
    return result;
}

// An alias, and whether its entry is gone. A gone entry's alias still leads to its long name, so a file
// erased through its alias and made again through it (erase X~1.DLL, move new X~1.DLL) gets its long
// name back; the alias is free for the next long name that needs one.
struct TAlias {
    std::string Name;
    bool Gone = false;
};
// A folder's aliases: host name -> alias.
using TFolderAliases = std::map<std::string, TAlias>;

// The table as one process sees it, read again whenever another process has replaced the file.
struct TAliasTable {
    std::mutex Lock;
    std::string Path;
    struct stat Seen {};
    bool Loaded = false;
    std::map<std::string, TFolderAliases> Folders;  // host folder -> its aliases
};

TAliasTable& Table()
{
    static TAliasTable table;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(table.Lock);
            table.Loaded = false;
            table.Folders.clear();
        });
        return true;
    }();
    (void)registered;
    return table;
}

// Tabs, line ends and backslashes of host names are written as \t, \n, \r and \\.
std::string Escaped(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\\')
            result += "\\\\";
        else if (c == '\t')
            result += "\\t";
        else if (c == '\n')
            result += "\\n";
        else if (c == '\r')
            result += "\\r";
        else
            result += c;
    }
    return result;
}

std::string Unescaped(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            result += text[i];
            continue;
        }
        const char next = text[++i];
        result += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return result;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Reads the table when this process has not, or when the file changed since.
void Refresh(TAliasTable& table)
{
    const std::string path = PrefixFolder() + "/shortnames.txt";
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (table.Loaded && table.Path == path && (exists ? SameFile(info, table.Seen) : table.Folders.empty()))
        return;
    table.Path = path;
    table.Folders.clear();
    table.Seen = info;
    table.Loaded = true;
    std::optional<std::string> content;
    try {
        content = ReadHostFile(path);
    } catch (const rtl::Exception& e) {
        std::cerr << e.Message() << "\n";
    }
    if (!content)
        return;
    size_t number = 0;
    for (const std::string& line : SplitLines(*content)) {
        ++number;
        const size_t first = line.find('\t');
        const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) {
            if (!line.empty())
                std::cerr << path << ":" << number << ": malformed short-name line ignored\n";
            continue;
        }
        const bool gone = line[0] == '*';
        table.Folders[Unescaped(line.substr(first + 1, second - first - 1))][Unescaped(line.substr(second + 1))] =
            TAlias{line.substr(gone ? 1 : 0, first - (gone ? 1 : 0)), gone};
    }
}

// A table that cannot be written costs the aliases their persistence, never the path operation.
void Save(TAliasTable& table)
{
    std::string content;
    for (const auto& [folder, aliases] : table.Folders)
        for (const auto& [name, alias] : aliases)
            content += (alias.Gone ? "*" : "") + alias.Name + "\t" + Escaped(folder) + "\t" + Escaped(name) + "\n";
    try {
        WriteHostFileAtomically(table.Path, content);
        ::stat(table.Path.c_str(), &table.Seen);
    } catch (const rtl::Exception& e) {
        std::cerr << e.Message() << "\n";
    }
}

// The prefix's lock, so processes of one prefix hand out aliases one at a time. Its file stays: it is the
// prefix's own, beside the table it guards.
std::string PrefixLockFile() { return PrefixFolder() + "/shortnames.lock"; }

std::vector<std::string> HostEntries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The folder's aliases, given to every long name that has none yet; those of entries that are gone are
// marked so.
const TFolderAliases& FolderAliases(TAliasTable& table, const std::string& hostFolder)
{
    const std::string folder = hostFolder.empty() ? "/" : hostFolder;
    Refresh(table);
    const std::vector<std::string> entries = HostEntries(folder);
    TFolderAliases& aliases = table.Folders[folder];
    bool changed = false;
    for (auto& [name, alias] : aliases) {
        const bool gone = !std::binary_search(entries.begin(), entries.end(), name);
        changed = changed || gone != alias.Gone;
        alias.Gone = gone;
    }
    std::set<std::string> taken;
    std::vector<std::pair<std::string, std::string>> pending;  // host name, Windows name
    for (const std::string& entry : entries) {
        const std::string name = AnsiFromUtf8(entry);
        if (FitsShortName(name))
            taken.insert(AnsiUpperCase(name));
        else if (auto found = aliases.find(entry); found != aliases.end())
            taken.insert(found->second.Name);
        else
            pending.emplace_back(entry, name);
    }
    // A gone entry whose alias a real name or a live alias now has leads nowhere any more.
    changed = std::erase_if(aliases, [&](const auto& item) { return item.second.Gone && taken.count(item.second.Name); }) >
                  0 ||
              changed;
    for (const auto& [entry, name] : pending) {
        std::string alias;
        for (int n = 1; alias.empty() || taken.count(alias); ++n)
            alias = ShortNameCandidate(name, n);
        taken.insert(alias);
        std::erase_if(aliases, [&](const auto& item) { return item.second.Name == alias; });
        aliases[entry] = TAlias{alias, false};
        changed = true;
    }
    if (aliases.empty())
        table.Folders.erase(folder);
    if (changed)
        Save(table);
    static const TFolderAliases none;
    auto found = table.Folders.find(folder);
    return found == table.Folders.end() ? none : found->second;
}

}  // namespace

bool FitsShortName(const std::string& name)
{
    if (name.empty() || name.front() == '.')
        return false;
    const size_t dot = name.find('.');
    const size_t baseLength = dot == std::string::npos ? name.size() : dot;
    const size_t extensionLength = dot == std::string::npos ? 0 : name.size() - dot - 1;
    if (baseLength > 8 || extensionLength > 3 || (dot != std::string::npos && extensionLength == 0))
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (i != dot && (name[i] == ' ' || name[i] == '.' || Excluded(name[i])))
            return false;
    return true;
}

std::string ShortNameCandidate(const std::string& name, int n)
{
    const size_t first = name.find_first_not_of(". ");
    const std::string rest = first == std::string::npos ? std::string() : name.substr(first);
    const size_t dot = rest.rfind('.');
    std::string basis = Cleaned(rest.substr(0, dot), 8);
    const std::string extension = dot == std::string::npos ? std::string() : Cleaned(rest.substr(dot + 1), 3);
    if (basis.empty())
        basis = "_";
    const std::string tail = "~" + std::to_string(n);
    basis.resize(std::min(basis.size(), tail.size() < 8 ? 8 - tail.size() : size_t{0}));
    return basis + tail + (extension.empty() ? "" : "." + extension);
}

std::string ShortNameOf(const std::string& hostFolder, const std::string& hostName)
{
    const std::string name = AnsiFromUtf8(hostName);
    if (FitsShortName(name))
        return name;
    TAliasTable& table = Table();
    std::lock_guard lock(table.Lock);
    THostLock prefixLock(PrefixLockFile(), -1, false);
    const TFolderAliases& aliases = FolderAliases(table, hostFolder);
    auto found = aliases.find(hostName);
    // An entry that vanished meanwhile has no alias; its name is all there is.
    return found == aliases.end() || found->second.Gone ? name : found->second.Name;
}

std::optional<std::string> HostNameOfAlias(const std::string& hostFolder, const std::string& alias)
{
    if (alias.find('~') == std::string::npos || !FitsShortName(alias))
        return std::nullopt;
    const std::string wanted = AnsiUpperCase(alias);
    TAliasTable& table = Table();
    std::lock_guard lock(table.Lock);
    THostLock prefixLock(PrefixLockFile(), -1, false);
    for (const auto& [name, candidate] : FolderAliases(table, hostFolder))
        if (candidate.Name == wanted)
            return name;
    return std::nullopt;
}

}  // namespace win
