#include "platform/win/HostLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace win {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

enum class TTake { Taken, TimedOut, Failed };

TTake Take(int fd, int timeoutMs, steady_clock::time_point deadline)
{
    if (timeoutMs < 0) {
        while (::flock(fd, LOCK_EX) != 0)
            if (errno != EINTR)
                return TTake::Failed;
        return TTake::Taken;
    }
    // Turns are short (a read and a rename), so a few quick looks serve better than one long sleep.
    milliseconds pause(1);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return TTake::Taken;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return TTake::Failed;
        const auto now = steady_clock::now();
        if (now >= deadline)
            return TTake::TimedOut;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, milliseconds(16));
    }
}

// Whether `fd` is still the file named `path`: a holder that removes its lock file leaves the file a waiter
// had opened without a name, and a lock on it would be a turn of its own beside the next holder's.
bool StillNamed(int fd, const std::string& path)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Every process of the user must find the same folder whatever its prefix, environment or temporary folder,
// so it is fixed, one per user and closed to others. It lies outside every prefix and every folder of files:
// a lock never shows up beside a file a program changes (an installation leaves the machine as it was).
std::string LockFolder()
{
    const std::string folder = "/tmp/scrivane-locks-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 0077) != 0)
        return {};
    return folder;
}

}  // namespace

THostLock::THostLock(std::string lockFile, int timeoutMs, bool removeWhenDone)
    : lockFile_(std::move(lockFile)), removeWhenDone_(removeWhenDone)
{
    if (lockFile_.empty())
        return;
    const auto deadline = steady_clock::now() + milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        const int fd = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            return;
        const TTake taken = Take(fd, timeoutMs, deadline);
        if (taken == TTake::Taken && (!removeWhenDone_ || StillNamed(fd, lockFile_))) {
            fd_ = fd;
            return;
        }
        ::close(fd);
        if (taken != TTake::Taken) {
            timedOut_ = taken == TTake::TimedOut;
            return;
        }
    }
}

THostLock::~THostLock()
{
    if (fd_ < 0)
        return;
    // Removed while still held, so no newcomer can open it and take it beside a waiter (StillNamed).
    if (removeWhenDone_)
        ::unlink(lockFile_.c_str());
    ::close(fd_);
}

std::string ChangeLockFileOf(const std::string& host)
{
    const std::string folder = LockFolder();
    if (folder.empty())
        return {};
    std::string key = host;
    const size_t slash = host.rfind('/');
    if (slash != std::string::npos) {
        if (char* real = ::realpath(slash == 0 ? "/" : host.substr(0, slash).c_str(), nullptr)) {
            key = std::string(real) + "/" + host.substr(slash + 1);
            std::free(real);
        }
    }
    // Windows names ignore case; two files that differ in case alone only share their turns.
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    uint64_t hash = 14695981039346656037ull;  // FNV-1a: a name that collides only shares turns too
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "/%016" PRIx64 ".lock", hash);
    return folder + name;
}

}  // namespace win
