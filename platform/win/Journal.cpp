#include "platform/win/Journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/win/FileObjects.h"
#include "platform/win/Files.h"
#include "platform/win/HostIo.h"
#include "platform/win/Platform.h"
#include "platform/win/WriteFaults.h"

namespace win {

namespace {

struct TStep {
    std::string What;
    std::function<bool(std::string& why)> Undo;
    std::string Kept;  // host path of an original kept aside, removed when the journal ends
};

struct TJournal {
    std::recursive_mutex Lock;
    bool Open = false;
    bool Undoing = false;
    std::vector<TStep> Steps;
    std::set<std::string> Noted;  // host paths whose state before the run is noted already
    std::set<std::string> AttributesNoted;
    std::string Folder;           // where originals are kept; made when first needed
    unsigned NextKept = 0;
};

TJournal& Journal()
{
    static TJournal journal;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::lock_guard lock(journal.Lock);
            journal.Open = false;
            journal.Steps.clear();
            journal.Noted.clear();
            journal.AttributesNoted.clear();
            journal.Folder.clear();
        });
        return true;
    }();
    (void)registered;
    return journal;
}

// Whether a change of `host` is to be noted now: a journal is open, not taking back, and the path is
// inside the prefix and not noted yet (which this marks).
bool FirstChange(TJournal& journal, const std::string& host)
{
    return journal.Open && !journal.Undoing && HostInsidePrefix(host) && journal.Noted.insert(host).second;
}

std::string Reason(int error) { return std::strerror(error); }

bool Failed(std::string& why, const std::string& text)
{
    why = text;
    return false;
}

// The next free name for an original kept aside; false (errno set) when the folder cannot be made.
bool KeptName(TJournal& journal, std::string* path)
{
    if (journal.Folder.empty()) {
        const std::string folder = PrefixFolder() + "/undo-" + std::to_string(::getpid());
        if (InjectedWriteFault("create folder", folder) || (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST))
            return false;
        journal.Folder = folder;
    }
    *path = journal.Folder + "/" + std::to_string(++journal.NextKept);
    return true;
}

// A copy of a host file with its mode and times; false with errno set.
bool CopyAside(const std::string& from, const struct stat& info, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    if (InjectedWriteFault("keep a copy", to)) {
        ::close(in);
        return false;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        errno = error;
        return false;
    }
    int error = CopyHostContents(in, out);
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (!error && (::fchmod(out, info.st_mode & 07777) != 0 || ::futimens(out, times) != 0))
        error = errno;
    ::close(in);
    if (::close(out) != 0 && !error)
        error = errno;
    if (error) {
        ::unlink(to.c_str());
        errno = error;
        return false;
    }
    return true;
}

// Removes what stands at `host` now (a file the run made), unless a program holds it.
bool RemoveMade(const std::string& host, std::string& why)
{
    struct stat info {};
    if (::lstat(host.c_str(), &info) != 0)
        return true;
    if (S_ISDIR(info.st_mode))
        return Failed(why, "a folder stands in its place");
    if (LockedAgainstDelete(info, host))
        return Failed(why, "it is in use by another program");
    if (InjectedWriteFault("delete", host) || ::unlink(host.c_str()) != 0)
        return Failed(why, Reason(errno));
    ForgetAttributes(host);
    return true;
}

// Puts an original kept aside back at `host`, over whatever stands there now.
bool PutBack(const std::string& kept, const std::string& host, DWORD attributes, std::string& why)
{
    struct stat now {};
    if (::lstat(host.c_str(), &now) == 0) {
        if (S_ISDIR(now.st_mode))
            return Failed(why, "a folder stands in its place");
        if (LockedAgainstDelete(now, host))
            return Failed(why, "it is in use by another program");
    }
    if (InjectedWriteFault("rename", host) || ::rename(kept.c_str(), host.c_str()) != 0)
        return Failed(why, Reason(errno));
    struct stat info {};
    if (HostStat(host, &info))
        StoreAttributes(host, info, attributes);
    return true;
}

std::string WindowsOfHost(const std::string& host)
{
    std::string path = "Z:" + host;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void RemoveKeptFolder(TJournal& journal)
{
    // An original that could not be put back stays until Windows starts again, and the folder after it.
    if (!journal.Folder.empty() && ::rmdir(journal.Folder.c_str()) != 0 && errno == ENOTEMPTY)
        MoveFileEx(WindowsOfHost(journal.Folder).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    journal.Folder.clear();
}

void End(TJournal& journal)
{
    journal.Open = false;
    journal.Steps.clear();
    journal.Noted.clear();
    journal.AttributesNoted.clear();
    RemoveKeptFolder(journal);
}

}  // namespace

void BeginJournal()
{
    CommitJournal();
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    journal.Open = true;
}

bool JournalOpen()
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    return journal.Open && !journal.Undoing;
}

void CommitJournal()
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    for (const TStep& step : journal.Steps) {
        if (!step.Kept.empty())
            ::unlink(step.Kept.c_str());
    }
    End(journal);
}

std::vector<std::string> UndoJournal()
{
    TJournal& journal = Journal();
    std::vector<std::string> left;
    std::vector<TStep> steps;
    {
        std::lock_guard lock(journal.Lock);
        if (!journal.Open || journal.Undoing)
            return left;
        journal.Undoing = true;
        steps.swap(journal.Steps);
    }
    // The steps take the locks of the services they change; this one is not held meanwhile.
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        std::string why;
        bool done = false;
        try {
            // Once more for a failure that passes.
            done = step->Undo(why) || step->Undo(why);
        } catch (const std::exception& error) {
            why = error.what();
        }
        if (done) {
            if (!step->Kept.empty())
                ::unlink(step->Kept.c_str());
            continue;
        }
        std::string line = step->What + ": " + why;
        // The original stays kept, and goes back in place when Windows starts again.
        if (!step->Kept.empty() &&
            MoveFileEx(WindowsOfHost(step->Kept).c_str(), step->What.c_str(),
                       MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
            line += " (it is put back when Windows starts again)";
        left.push_back(line);
    }
    std::lock_guard lock(journal.Lock);
    journal.Undoing = false;
    End(journal);
    return left;
}

bool JournalBeforeFileChange(const std::string& host, const std::string& windows, bool inPlace)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    if (!FirstChange(journal, host))
        return true;
    struct stat info {};
    if (::lstat(host.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        // Nothing there yet: what the change makes is noted as made.
        journal.Noted.erase(host);
        return true;
    }
    std::string kept;
    bool keptAside = KeptName(journal, &kept);
    if (keptAside && !inPlace) {
        keptAside = !InjectedWriteFault("keep a link", kept) && ::link(host.c_str(), kept.c_str()) == 0;
        if (!keptAside && errno != ENOSPC)
            keptAside = CopyAside(host, info, kept);
    } else if (keptAside) {
        keptAside = CopyAside(host, info, kept);
    }
    if (!keptAside) {
        SetLastError(WindowsErrorFromErrno(errno));
        journal.Noted.erase(host);
        return false;
    }
    const DWORD attributes = AttributesOf(host, info);
    journal.Steps.push_back({windows, [kept, host, attributes](std::string& why) {
                                 return PutBack(kept, host, attributes, why);
                             },
                             kept});
    return true;
}

void JournalFileCreated(const std::string& host, const std::string& windows)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    if (!FirstChange(journal, host))
        return;
    journal.Steps.push_back({windows, [host](std::string& why) { return RemoveMade(host, why); }, {}});
}

void JournalFolderCreated(const std::string& host, const std::string& windows)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    if (!FirstChange(journal, host))
        return;
    journal.Steps.push_back({windows, [host](std::string& why) {
                                 if (InjectedWriteFault("remove folder", host))
                                     return Failed(why, Reason(errno));
                                 if (::rmdir(host.c_str()) != 0 && errno != ENOENT)
                                     return Failed(why, errno == ENOTEMPTY ? "the folder is not empty" : Reason(errno));
                                 ForgetAttributes(host);
                                 return true;
                             },
                             {}});
}

void JournalFolderRemoved(const std::string& host, const std::string& windows, DWORD attributes)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    if (!journal.Open || journal.Undoing || !HostInsidePrefix(host))
        return;
    // A folder made by the run and removed again needs nothing; one that was there comes back.
    if (!journal.Noted.insert(host).second)
        return;
    journal.Steps.push_back({windows, [host, attributes](std::string& why) {
                                 if (InjectedWriteFault("create folder", host))
                                     return Failed(why, Reason(errno));
                                 if (::mkdir(host.c_str(), 0777) != 0 && errno != EEXIST)
                                     return Failed(why, Reason(errno));
                                 struct stat info {};
                                 if (HostStat(host, &info))
                                     StoreAttributes(host, info, attributes);
                                 return true;
                             },
                             {}});
}

void JournalFolderMoved(const std::string& fromHost, const std::string& toHost, const std::string& windows)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    if (!journal.Open || journal.Undoing || !HostInsidePrefix(toHost))
        return;
    journal.Noted.insert(toHost);
    journal.Steps.push_back({windows, [fromHost, toHost](std::string& why) {
                                 if (InjectedWriteFault("rename", fromHost) || ::rename(toHost.c_str(), fromHost.c_str()) != 0)
                                     return Failed(why, Reason(errno));
                                 MoveAttributes(toHost, fromHost);
                                 return true;
                             },
                             {}});
}

void JournalAttributesChanging(const std::string& host, const std::string& windows, DWORD attributes)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    // An entry the run made, or one kept aside already (which keeps its attributes), needs nothing.
    if (!journal.Open || journal.Undoing || !HostInsidePrefix(host) || journal.Noted.count(host) ||
        !journal.AttributesNoted.insert(host).second)
        return;
    journal.Steps.push_back({windows, [host, attributes](std::string& why) {
                                 struct stat info {};
                                 if (!HostStat(host, &info))
                                     return true;
                                 if (!S_ISDIR(info.st_mode)) {
                                     const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY)
                                                             ? (info.st_mode & ~mode_t{0222})
                                                             : (info.st_mode | S_IWUSR);
                                     if (InjectedWriteFault("attributes", host) || ::chmod(host.c_str(), mode & 07777) != 0)
                                         return Failed(why, Reason(errno));
                                 }
                                 StoreAttributes(host, info, attributes);
                                 return true;
                             },
                             {}});
}

void JournalStep(std::string what, std::function<bool(std::string& why)> undo)
{
    TJournal& journal = Journal();
    std::lock_guard lock(journal.Lock);
    if (!journal.Open || journal.Undoing)
        return;
    journal.Steps.push_back({std::move(what), std::move(undo), {}});
}

}  // namespace win
