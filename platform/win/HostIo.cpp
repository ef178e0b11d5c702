#include "platform/win/HostIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/rtl/SysUtils.h"
#include "platform/win/WinError.h"
#include "platform/win/WriteFaults.h"

namespace win {

namespace {

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

std::optional<std::string> ReadHostFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw rtl::Exception("Cannot read " + path + ": " + Reason(errno));
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw rtl::Exception("Cannot read " + path + ": " + Reason(error));
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return content;
}

int CopyHostContents(int in, int out, std::string counted)
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return errno;
        if (count == 0)
            return 0;
        if (!counted.empty() && InjectedWriteFault("write", counted))
            return errno;
        counted.clear();
        for (ssize_t done = 0; done < count;) {
            const ssize_t step = ::write(out, buffer + done, static_cast<size_t>(count - done));
            if (step < 0 && errno != EINTR)
                return errno;
            if (step > 0)
                done += step;
        }
    }
}

void WriteHostFileAtomically(const std::string& path, const std::string& content)
{
    std::string temporary = path + ".tmp-XXXXXX";
    if (InjectedWriteFault("create", path))
        throw rtl::Exception("Cannot write " + path + ": " + Reason(errno));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw rtl::Exception("Cannot write " + path + ": " + Reason(errno));
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw rtl::Exception("Cannot write " + path + ": " + Reason(error));
    };
    if (InjectedWriteFault("write", path))
        fail(errno);
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t count = ::write(fd, content.data() + written, content.size() - written);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        written += static_cast<size_t>(count);
    }
    if (::fchmod(fd, 0644) != 0 || InjectedWriteFault("fsync", path) || ::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw rtl::Exception("Cannot write " + path + ": " + Reason(error));
    }
    if (InjectedWriteFault("rename", path) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw rtl::Exception("Cannot write " + path + ": " + Reason(error));
    }
}

unsigned WindowsErrorFromErrno(int error)
{
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    default: return ERROR_GEN_FAILURE;
    }
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
        start = end + 1;
    }
    return lines;
}

bool HasProgramExtension(const std::string& name)
{
    const size_t dot = name.find_last_of("./\\");
    if (dot == std::string::npos || name[dot] != '.')
        return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "exe" || extension == "com" || extension == "bat" || extension == "cmd" || extension == "pif";
}

void MarkRunnableByName(const std::string& host)
{
    if (!HasProgramExtension(host))
        return;
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    const mode_t mode = info.st_mode | ((info.st_mode & 0444) >> 2);
    if ((mode & 07777) != (info.st_mode & 07777))
        ::chmod(host.c_str(), mode & 07777);
}

}  // namespace win
