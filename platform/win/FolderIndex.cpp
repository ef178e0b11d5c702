#include "platform/win/FolderIndex.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "platform/win/CodePage.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

// Why change notices and not the folder's change time alone: a change time is only as fine as the kernel's
// clock tick, so a name made by another process within the tick of our last look leaves the time as it was
// and would be missed for as long as the folder stays quiet. A notice is queued by the very call that
// changes the folder, before that call returns, so every change finished before a look-up is in the queue
// when the look-up drains it, whichever process made it. The change time is still compared, for file
// systems that send no notice of some changes (a network folder changed elsewhere): a folder whose time
// moved while no notice came is read again.

constexpr size_t MaxFolders = 16;
constexpr uint32_t WatchedChanges =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

using TNames = std::unordered_map<std::string, std::set<std::string>>;  // upper-cased Windows name -> host names

struct TFolderIndex {
    int Watch = -1;
    dev_t Device = 0;
    ino_t Inode = 0;
    timespec Changed{};    // the folder's change time when last compared
    bool Noticed = false;  // a notice came since
    uint64_t LastUse = 0;
    TNames Names;
};

struct TIndexState {
    std::mutex Lock;
    int Notices = -1;  // the notice queue, -1 when the host gives none
    pid_t Owner = 0;   // a forked child shares its parent's queue and must not read it
    uint64_t Uses = 0;
    std::map<std::string, TFolderIndex> Folders;  // host folder -> its index
    std::unordered_map<int, std::string> FolderOfWatch;
};

void DropAll(TIndexState& state)
{
    for (const auto& [folder, index] : state.Folders)
        ::inotify_rm_watch(state.Notices, index.Watch);
    state.Folders.clear();
    state.FolderOfWatch.clear();
}

TIndexState& State()
{
    static TIndexState state;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(state.Lock);
            DropAll(state);
        });
        return true;
    }();
    (void)registered;
    return state;
}

std::string Key(const std::string& hostName) { return AnsiUpperCase(AnsiFromUtf8(hostName)); }

void Add(TNames& names, const std::string& hostName) { names[Key(hostName)].insert(hostName); }

void Remove(TNames& names, const std::string& hostName)
{
    auto found = names.find(Key(hostName));
    if (found == names.end())
        return;
    found->second.erase(hostName);
    if (found->second.empty())
        names.erase(found);
}

void Drop(TIndexState& state, std::map<std::string, TFolderIndex>::iterator folder)
{
    ::inotify_rm_watch(state.Notices, folder->second.Watch);
    state.FolderOfWatch.erase(folder->second.Watch);
    state.Folders.erase(folder);
}

// The queue of this process, made on first use and again in a forked child.
bool NoticesReady(TIndexState& state)
{
    const pid_t self = ::getpid();
    if (state.Owner == self)
        return state.Notices >= 0;
    if (state.Notices >= 0)
        ::close(state.Notices);
    state.Folders.clear();
    state.FolderOfWatch.clear();
    state.Owner = self;
    state.Notices = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return state.Notices >= 0;
}

void Apply(TIndexState& state, const inotify_event& event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        DropAll(state);
        return;
    }
    auto watch = state.FolderOfWatch.find(event.wd);
    if (watch == state.FolderOfWatch.end())
        return;
    auto folder = state.Folders.find(watch->second);
    if (folder == state.Folders.end())
        return;
    if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        Drop(state, folder);
        return;
    }
    TFolderIndex& index = folder->second;
    index.Noticed = true;
    if (event.len == 0)
        return;
    const std::string name = event.name;
    if (event.mask & (IN_CREATE | IN_MOVED_TO))
        Add(index.Names, name);
    else if (event.mask & (IN_DELETE | IN_MOVED_FROM))
        Remove(index.Names, name);
}

void DrainNotices(TIndexState& state)
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = ::read(state.Notices, buffer, sizeof buffer);
        if (length <= 0)
            return;  // EAGAIN: all read
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            Apply(state, *event);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

bool ReadFolder(const std::string& folder, TNames& names)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string hostName = entry->d_name;
        if (hostName != "." && hostName != "..")
            Add(names, hostName);
    }
    ::closedir(dir);
    return true;
}

std::optional<std::string> FirstOf(const TNames& names, const std::string& key)
{
    auto found = names.find(key);
    if (found == names.end())
        return std::nullopt;
    return *found->second.begin();
}

// A new index of `folder`, whose state `info` was taken just before. The watch comes before the reading, so
// a change made while the folder is read is also in the queue, and applying it again leaves the same names.
TFolderIndex* BuildIndex(TIndexState& state, const std::string& folder, const struct stat& info)
{
    if (state.Folders.size() >= MaxFolders) {
        auto oldest = state.Folders.begin();
        for (auto it = state.Folders.begin(); it != state.Folders.end(); ++it)
            if (it->second.LastUse < oldest->second.LastUse)
                oldest = it;
        Drop(state, oldest);
    }
    const int watch = ::inotify_add_watch(state.Notices, folder.c_str(), WatchedChanges);
    if (watch < 0)
        return nullptr;
    // The same folder under another path (through a symbolic link) shares its watch: left to that index.
    if (state.FolderOfWatch.count(watch))
        return nullptr;
    TFolderIndex index;
    index.Watch = watch;
    index.Device = info.st_dev;
    index.Inode = info.st_ino;
    index.Changed = info.st_mtim;
    if (!ReadFolder(folder, index.Names)) {
        ::inotify_rm_watch(state.Notices, watch);
        return nullptr;
    }
    state.FolderOfWatch[watch] = folder;
    return &(state.Folders[folder] = std::move(index));
}

// The folder's index, brought up to date, or nothing when it cannot be kept.
TFolderIndex* CurrentIndex(TIndexState& state, const std::string& folder)
{
    DrainNotices(state);
    struct stat info {};
    auto found = state.Folders.find(folder);
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (found != state.Folders.end())
            Drop(state, found);
        return nullptr;
    }
    if (found != state.Folders.end()) {
        TFolderIndex& index = found->second;
        const bool timeMoved =
            info.st_mtim.tv_sec != index.Changed.tv_sec || info.st_mtim.tv_nsec != index.Changed.tv_nsec;
        // Another folder now at this path, or a change that sent no notice: read it again.
        if (info.st_dev != index.Device || info.st_ino != index.Inode || (timeMoved && !index.Noticed)) {
            Drop(state, found);
        } else {
            index.Changed = info.st_mtim;
            index.Noticed = false;
            return &index;
        }
    }
    return BuildIndex(state, folder, info);
}

std::optional<std::string> ScanFolder(const std::string& folder, const std::string& key)
{
    TNames names;
    ReadFolder(folder, names);
    return FirstOf(names, key);
}

}  // namespace

std::optional<std::string> FindWithoutCase(const std::string& hostFolder, const std::string& name)
{
    const std::string folder = hostFolder.empty() ? "/" : hostFolder;
    const std::string key = AnsiUpperCase(name);
    TIndexState& state = State();
    std::lock_guard lock(state.Lock);
    if (!NoticesReady(state))
        return ScanFolder(folder, key);
    TFolderIndex* index = CurrentIndex(state, folder);
    if (!index)
        return ScanFolder(folder, key);
    index->LastUse = ++state.Uses;
    return FirstOf(index->Names, key);
}

}  // namespace win
