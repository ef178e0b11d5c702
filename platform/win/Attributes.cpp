// The attribute table: the Windows attributes the host file system cannot hold, in
// <prefix>/attributes.txt. Each line is "<hex attributes> <device> <inode> <host path>"; a later line for
// a path overrides earlier ones and "-" for the attributes removes the entry. Changes are appended, and the
// file is rewritten compactly once it holds more stale lines than live ones.

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>

#include "platform/rtl/SysUtils.h"
#include "platform/win/FileObjects.h"
#include "platform/win/Files.h"
#include "platform/win/HostIo.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

struct TEntry {
    DWORD Bits = 0;
    uint64_t Device = 0;
    uint64_t Inode = 0;
};

struct TAttributeTable {
    std::recursive_mutex Lock;
    bool Loaded = false;
    std::string Path;
    std::map<std::string, TEntry> Entries;
    size_t Lines = 0;
};

TAttributeTable& Table()
{
    static TAttributeTable table;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(table.Lock);
            table.Loaded = false;
            table.Entries.clear();
            table.Lines = 0;
        });
        return true;
    }();
    (void)registered;
    return table;
}

std::string LineOf(const std::string& host, const std::optional<TEntry>& entry)
{
    char head[64];
    if (entry)
        std::snprintf(head, sizeof head, "%08X %" PRIu64 " %" PRIu64 " ", static_cast<unsigned>(entry->Bits),
                      entry->Device, entry->Inode);
    else
        std::snprintf(head, sizeof head, "- 0 0 ");
    return head + host + "\n";
}

void ParseLine(TAttributeTable& table, const std::string& line, size_t number)
{
    unsigned bits = 0;
    uint64_t device = 0, inode = 0;
    int consumed = 0;
    const bool removal = line.compare(0, 2, "- ") == 0;
    const int fields = removal ? std::sscanf(line.c_str(), "- %" SCNu64 " %" SCNu64 " %n", &device, &inode, &consumed)
                               : std::sscanf(line.c_str(), "%8X %" SCNu64 " %" SCNu64 " %n", &bits, &device, &inode,
                                             &consumed);
    if (fields != (removal ? 2 : 3) || consumed <= 0 || static_cast<size_t>(consumed) >= line.size() ||
        line[static_cast<size_t>(consumed)] != '/') {
        std::cerr << table.Path << ":" << number << ": malformed attribute line ignored\n";
        return;
    }
    const std::string host = line.substr(static_cast<size_t>(consumed));
    if (removal)
        table.Entries.erase(host);
    else
        table.Entries[host] = TEntry{bits, device, inode};
}

void Load(TAttributeTable& table)
{
    if (table.Loaded)
        return;
    table.Path = PrefixFolder() + "/attributes.txt";
    table.Entries.clear();
    table.Lines = 0;
    const std::optional<std::string> content = ReadHostFile(table.Path);
    if (content) {
        size_t start = 0;
        while (start < content->size()) {
            size_t end = content->find('\n', start);
            if (end == std::string::npos)
                end = content->size();
            const std::string line = content->substr(start, end - start);
            start = end + 1;
            if (!line.empty())
                ParseLine(table, line, ++table.Lines);
        }
    }
    table.Loaded = true;
}

// A table that cannot be written costs the bits their persistence, never the file operation: the change
// stays in memory for this run.
void Rewrite(TAttributeTable& table)
{
    std::string content;
    for (const auto& [host, entry] : table.Entries)
        content += LineOf(host, entry);
    try {
        WriteHostFileAtomically(table.Path, content);
        table.Lines = table.Entries.size();
    } catch (const rtl::Exception& e) {
        std::cerr << e.Message() << "\n";
    }
}

void Append(TAttributeTable& table, const std::string& text, size_t lines)
{
    const int fd = ::open(table.Path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    bool written = false;
    if (fd >= 0) {
        written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
    }
    if (!written) {
        std::cerr << "Cannot write the attribute table " << table.Path << "\n";
        return;
    }
    table.Lines += lines;
    if (table.Lines > 64 && table.Lines > 2 * table.Entries.size())
        Rewrite(table);
}

bool Matches(const TEntry& entry, const struct stat& info)
{
    return entry.Device == static_cast<uint64_t>(info.st_dev) && entry.Inode == static_cast<uint64_t>(info.st_ino);
}

DWORD DefaultBits(const struct stat& info) { return S_ISDIR(info.st_mode) ? 0 : FILE_ATTRIBUTE_ARCHIVE; }

DWORD KeptMask(const struct stat& info)
{
    return S_ISDIR(info.st_mode)
               ? FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
               : FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;
}

void Set(TAttributeTable& table, const std::string& host, const struct stat& info, DWORD bits)
{
    // A host name with a line break cannot be written as one line; such a file keeps the defaults.
    if (host.find('\n') != std::string::npos)
        return;
    auto found = table.Entries.find(host);
    if (bits == DefaultBits(info)) {
        if (found == table.Entries.end())
            return;
        table.Entries.erase(found);
        Append(table, LineOf(host, std::nullopt), 1);
        return;
    }
    const TEntry entry{bits, static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    if (found != table.Entries.end() && found->second.Bits == entry.Bits && Matches(found->second, info))
        return;
    table.Entries[host] = entry;
    Append(table, LineOf(host, entry), 1);
}

}  // namespace

DWORD AttributesOf(const std::string& host, const struct stat& info)
{
    TAttributeTable& table = Table();
    std::lock_guard lock(table.Lock);
    Load(table);
    DWORD bits = DefaultBits(info);
    auto found = table.Entries.find(host);
    if (found != table.Entries.end() && Matches(found->second, info))
        bits = found->second.Bits & KeptMask(info);
    if (S_ISDIR(info.st_mode))
        bits |= FILE_ATTRIBUTE_DIRECTORY;
    else if (!(info.st_mode & S_IWUSR))
        bits |= FILE_ATTRIBUTE_READONLY;
    return bits == 0 ? FILE_ATTRIBUTE_NORMAL : bits;
}

void StoreAttributes(const std::string& host, const struct stat& info, DWORD attributes)
{
    TAttributeTable& table = Table();
    std::lock_guard lock(table.Lock);
    Load(table);
    Set(table, host, info, attributes & KeptMask(info));
}

void ForgetAttributes(const std::string& host)
{
    TAttributeTable& table = Table();
    std::lock_guard lock(table.Lock);
    Load(table);
    if (table.Entries.erase(host) > 0)
        Append(table, LineOf(host, std::nullopt), 1);
}

void MoveAttributes(const std::string& fromHost, const std::string& toHost)
{
    TAttributeTable& table = Table();
    std::lock_guard lock(table.Lock);
    Load(table);
    std::string text;
    size_t lines = 0;
    const auto drop = [&](const std::string& host) {
        if (table.Entries.erase(host) > 0) {
            text += LineOf(host, std::nullopt);
            ++lines;
        }
    };
    // What the target replaced goes, then the source's entries follow it.
    drop(toHost);
    std::map<std::string, TEntry> moved;
    if (auto found = table.Entries.find(fromHost); found != table.Entries.end()) {
        moved[toHost] = found->second;
        table.Entries.erase(found);
        text += LineOf(fromHost, std::nullopt);
        ++lines;
    }
    const std::string inside = fromHost + "/";
    auto it = table.Entries.lower_bound(inside);
    while (it != table.Entries.end() && it->first.compare(0, inside.size(), inside) == 0) {
        moved[toHost + "/" + it->first.substr(inside.size())] = it->second;
        text += LineOf(it->first, std::nullopt);
        ++lines;
        it = table.Entries.erase(it);
    }
    for (const auto& [host, entry] : moved) {
        table.Entries[host] = entry;
        text += LineOf(host, entry);
        ++lines;
    }
    if (lines > 0)
        Append(table, text, lines);
}

void MarkArchive(const std::string& host, const struct stat& info)
{
    TAttributeTable& table = Table();
    std::lock_guard lock(table.Lock);
    Load(table);
    auto found = table.Entries.find(host);
    if (found == table.Entries.end() || !Matches(found->second, info) || (found->second.Bits & FILE_ATTRIBUTE_ARCHIVE))
        return;
    Set(table, host, info, found->second.Bits | FILE_ATTRIBUTE_ARCHIVE);
}

}  // namespace win
