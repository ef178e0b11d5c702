#include "platform/win/FileObjects.h"

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

}  // namespace

bool ShareConflict(const struct stat& info, DWORD access, DWORD share)
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
    return conflict;
}

bool LockedAgainstDelete(const struct stat& info)
{
    bool locked = false;
    ForEachHandle([&](THandleObject& object) {
        auto* file = dynamic_cast<TFileObject*>(&object);
        if (file && SameFile(*file, info) && !(file->Share & FILE_SHARE_DELETE))
            locked = true;
    });
    return locked;
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
