#include "platform/win/FileObjects.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/win/Files.h"
#include "platform/win/Platform.h"

namespace win {

TFileObject::~TFileObject()
{
    if (DeleteOnClose) {
        struct stat info {};
        if (::lstat(Host.c_str(), &info) == 0 && info.st_dev == Device && info.st_ino == Inode) {
            ::unlink(Host.c_str());
            ForgetAttributes(Host);
        }
    }
    if (Fd >= 0)
        ::close(Fd);
    if (LockFd >= 0)
        ::close(LockFd);
}

bool TFileObject::CanRead() const { return (Access & GENERIC_READ) != 0; }
bool TFileObject::CanWrite() const { return (Access & GENERIC_WRITE) != 0; }

TFileObject* FileOf(HANDLE handle)
{
    auto* file = HandleObjectAs<TFileObject>(handle);
    if (!file)
        SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

namespace {

bool SameFile(const TFileObject& file, const struct stat& info)
{
    return file.Device == info.st_dev && file.Inode == info.st_ino;
}

// Share modes between processes: every open file description of a handle holds a shared lock on one byte
// far past any file's data for each kind of access it has and for each kind of sharing it refuses. Another
// process then sees a conflict as a lock on the byte that stands against what it asks for. A running
// program's hold of its own image also takes a byte of its own, by which it is told apart.
enum TShareSlot : int { SlotRead, SlotWrite, SlotDelete, SlotDenyRead, SlotDenyWrite, SlotDenyDelete, SlotImage };
constexpr off_t ShareLockBase = off_t{1} << 62;

struct flock SlotLock(TShareSlot slot, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = ShareLockBase + slot;
    lock.l_len = 1;
    return lock;
}

bool SlotLocked(int fd, TShareSlot slot)
{
    struct flock lock = SlotLock(slot, F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

// The slots of the access asked for whose refusal a holder publishes, and of the refusals asked for whose
// access a holder publishes.
bool OtherProcessConflict(int fd, DWORD access, DWORD share)
{
    return ((access & GENERIC_READ) && SlotLocked(fd, SlotDenyRead)) ||
           ((access & GENERIC_WRITE) && SlotLocked(fd, SlotDenyWrite)) ||
           ((access & DELETE) && SlotLocked(fd, SlotDenyDelete)) ||
           (!(share & FILE_SHARE_READ) && SlotLocked(fd, SlotRead)) ||
           (!(share & FILE_SHARE_WRITE) && SlotLocked(fd, SlotWrite)) ||
           (!(share & FILE_SHARE_DELETE) && SlotLocked(fd, SlotDelete));
}

// Opens the host file for looking at locks; -1 when it cannot be read, and then only this process counts.
int LockProbe(const std::string& host)
{
    return host.empty() ? -1 : ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

bool OtherProcessConflictAt(const std::string& host, DWORD access, DWORD share)
{
    const int fd = LockProbe(host);
    if (fd < 0)
        return false;
    const bool conflict = OtherProcessConflict(fd, access, share);
    ::close(fd);
    return conflict;
}

bool TakeSlot(int fd, TShareSlot slot)
{
    struct flock lock = SlotLock(slot, F_RDLCK);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

void HoldProgramImage(const std::string& hostImage, const std::string& prefix)
{
    static int held = -1;
    if (held >= 0 || hostImage.empty() || prefix.empty() || hostImage.compare(0, prefix.size() + 1, prefix + "/") != 0)
        return;
    // Close-on-exec: the hold is this process's, not its children's.
    const int fd = ::open(hostImage.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    for (TShareSlot slot : {SlotRead, SlotDenyWrite, SlotDenyDelete, SlotImage})
        TakeSlot(fd, slot);
    // Never closed: the locks go with the process.
    held = fd;
}

void PublishShareMode(TFileObject& file)
{
    const DWORD access = file.Access;
    if (!(access & (GENERIC_READ | GENERIC_WRITE | DELETE)))
        return;
    const int fd = LockProbe(file.Host);
    if (fd < 0)
        return;
    const auto take = [fd](TShareSlot slot) { TakeSlot(fd, slot); };
    if (access & GENERIC_READ)
        take(SlotRead);
    if (access & GENERIC_WRITE)
        take(SlotWrite);
    if (access & DELETE)
        take(SlotDelete);
    if (!(file.Share & FILE_SHARE_READ))
        take(SlotDenyRead);
    if (!(file.Share & FILE_SHARE_WRITE))
        take(SlotDenyWrite);
    if (!(file.Share & FILE_SHARE_DELETE))
        take(SlotDenyDelete);
    file.LockFd = fd;
}

bool ShareConflict(const struct stat& info, DWORD access, DWORD share, const std::string& host)
{
    const bool reads = access & GENERIC_READ;
    const bool writes = access & GENERIC_WRITE;
    const bool deletes = access & DELETE;
    // An open for attributes only never meets another's share mode.
    if (!reads && !writes && !deletes)
        return false;
    bool conflict = false;
    ForEachHandle([&](THandleObject& object) {
        auto* file = dynamic_cast<TFileObject*>(&object);
        if (!file || !SameFile(*file, info))
            return;
        if ((reads && !(file->Share & FILE_SHARE_READ)) || (writes && !(file->Share & FILE_SHARE_WRITE)) ||
            (deletes && !(file->Share & FILE_SHARE_DELETE)))
            conflict = true;
        if ((file->CanRead() && !(share & FILE_SHARE_READ)) || (file->CanWrite() && !(share & FILE_SHARE_WRITE)) ||
            ((file->Access & DELETE) && !(share & FILE_SHARE_DELETE)))
            conflict = true;
    });
    return conflict || OtherProcessConflictAt(host, access, share);
}

bool LockedAgainstDelete(const struct stat& info, const std::string& host)
{
    bool locked = false;
    ForEachHandle([&](THandleObject& object) {
        auto* file = dynamic_cast<TFileObject*>(&object);
        if (file && SameFile(*file, info) && !(file->Share & FILE_SHARE_DELETE))
            locked = true;
    });
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return locked || (S_ISREG(info.st_mode) && OtherProcessConflictAt(host, DELETE, shareAll));
}

bool LockedInside(const std::string& hostFolder)
{
    const std::string inside = hostFolder + "/";
    bool locked = false;
    ForEachHandle([&](THandleObject& object) {
        auto* file = dynamic_cast<TFileObject*>(&object);
        if (file && !(file->Share & FILE_SHARE_DELETE) && file->Host.compare(0, inside.size(), inside) == 0)
            locked = true;
    });
    return locked;
}

bool HasWildcards(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

bool HostStat(const std::string& host, struct stat* info) { return ::stat(host.c_str(), info) == 0; }

}  // namespace win
