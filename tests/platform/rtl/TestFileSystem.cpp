#include "tests/platform/rtl/TestFileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace rtltest {

namespace {

constexpr uint32_t ErrorFileNotFound = 2;
constexpr uint32_t ErrorPathNotFound = 3;
constexpr uint32_t ErrorAccessDenied = 5;
constexpr uint32_t ErrorSharingViolation = 32;
constexpr uint32_t ErrorFileExists = 80;
constexpr uint32_t ErrorDiskFull = 112;

class TestHandle : public rtl::IFileHandle {
public:
    TestHandle(TestFileSystem& fs, std::string hostPath, int id, int fd)
        : fs_(fs), hostPath_(std::move(hostPath)), id_(id), fd_(fd)
    {
    }
    ~TestHandle() override
    {
        ::close(fd_);
        fs_.Closed(hostPath_, id_);
    }

    int64_t Read(void* buffer, int64_t count, uint32_t* error) override
    {
        ssize_t n = ::read(fd_, buffer, static_cast<size_t>(count));
        if (n < 0)
            *error = ErrorAccessDenied;
        return n;
    }

    int64_t Write(const void* buffer, int64_t count, uint32_t* error) override
    {
        if (!fs_.TakeSpace(count)) {
            *error = ErrorDiskFull;
            return -1;
        }
        ssize_t n = ::write(fd_, buffer, static_cast<size_t>(count));
        if (n < 0)
            *error = ErrorAccessDenied;
        return n;
    }

    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin, uint32_t* error) override
    {
        int whence = origin == rtl::TSeekOrigin::Beginning ? SEEK_SET
                     : origin == rtl::TSeekOrigin::Current ? SEEK_CUR
                                                           : SEEK_END;
        off_t position = ::lseek(fd_, offset, whence);
        if (position < 0)
            *error = 131;  // negative seek
        return position;
    }

    int64_t Size() override
    {
        off_t here = ::lseek(fd_, 0, SEEK_CUR);
        off_t end = ::lseek(fd_, 0, SEEK_END);
        ::lseek(fd_, here, SEEK_SET);
        return end;
    }

    bool SetSize(int64_t size, uint32_t* error) override
    {
        if (::ftruncate(fd_, size) != 0) {
            *error = ErrorAccessDenied;
            return false;
        }
        return true;
    }

private:
    TestFileSystem& fs_;
    std::string hostPath_;
    int id_;
    int fd_;
};

bool Allows(rtl::TFileShare share, bool write)
{
    switch (share) {
    case rtl::TFileShare::Exclusive: return false;
    case rtl::TFileShare::DenyWrite: return !write;
    case rtl::TFileShare::DenyRead: return write;
    case rtl::TFileShare::DenyNone:
    case rtl::TFileShare::ShareAll: return true;
    }
    return false;
}

}  // namespace

TestFileSystem::TestFileSystem()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rtl-fs-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    std::filesystem::create_directories(root_ / "C");
}

TestFileSystem::~TestFileSystem()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path TestFileSystem::HostPath(const rtl::AnsiString& path) const
{
    std::filesystem::path result = root_;
    std::string rest;
    if (path.size() >= 2 && path[1] == ':') {
        result /= std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
        rest = path.substr(2);
    } else if (path.rfind("\\\\", 0) == 0) {
        result /= "unc";
        rest = path.substr(1);
    } else {
        return std::filesystem::path();  // relative paths name no place here
    }
    std::stringstream parts(rest);
    std::string part;
    while (std::getline(parts, part, '\\'))
        if (!part.empty())
            result /= part;
    return result;
}

void TestFileSystem::MakeDirectory(const rtl::AnsiString& path) { std::filesystem::create_directories(HostPath(path)); }

void TestFileSystem::WriteHostFile(const rtl::AnsiString& path, const std::string& bytes)
{
    std::filesystem::create_directories(HostPath(path).parent_path());
    std::ofstream(HostPath(path), std::ios::binary) << bytes;
}

std::string TestFileSystem::ReadHostFile(const rtl::AnsiString& path) const
{
    std::ifstream in(HostPath(path), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::set<std::string> TestFileSystem::FilesIn(const rtl::AnsiString& directory) const
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(HostPath(directory)))
        names.insert(entry.path().filename().string());
    return names;
}

void TestFileSystem::DenyAccess(const rtl::AnsiString& path) { denied_.insert(HostPath(path).string()); }

void TestFileSystem::Closed(const std::string& hostPath, int id)
{
    auto it = open_.find(hostPath);
    if (it == open_.end())
        return;
    it->second.erase(id);
    if (it->second.empty())
        open_.erase(it);
}

bool TestFileSystem::TakeSpace(int64_t& count)
{
    if (freeSpace_ < 0)
        return true;
    if (freeSpace_ == 0)
        return false;
    count = std::min(count, freeSpace_);
    freeSpace_ -= count;
    return true;
}

bool TestFileSystem::HeldAgainstDelete(const std::string& hostPath) const
{
    auto it = open_.find(hostPath);
    if (it != open_.end())
        for (const auto& [id, file] : it->second)
            if (!file.shareDelete)
                return true;
    return false;
}

std::unique_ptr<rtl::IFileHandle> TestFileSystem::Open(const rtl::AnsiString& path, rtl::TFileAccess access,
                                                       rtl::TFileShare share, rtl::TFileDisposition disposition,
                                                       uint32_t* error)
{
    std::filesystem::path host = HostPath(path);
    if (host.empty() || !std::filesystem::is_directory(host.parent_path())) {
        *error = ErrorPathNotFound;
        return nullptr;
    }
    const std::string key = host.string();
    if (denied_.count(key) || std::filesystem::is_directory(host)) {
        *error = ErrorAccessDenied;
        return nullptr;
    }
    const bool exists = std::filesystem::exists(host);
    if (!exists && disposition == rtl::TFileDisposition::OpenExisting) {
        *error = ErrorFileNotFound;
        return nullptr;
    }
    if (exists && disposition == rtl::TFileDisposition::CreateNew) {
        *error = ErrorFileExists;
        return nullptr;
    }
    OpenFile wanted{access != rtl::TFileAccess::Write, access != rtl::TFileAccess::Read, Allows(share, false),
                    Allows(share, true), share == rtl::TFileShare::ShareAll};
    auto it = open_.find(key);
    if (it != open_.end()) {
        for (const auto& [id, other] : it->second) {
            if ((wanted.read && !other.shareRead) || (wanted.write && !other.shareWrite) ||
                (other.read && !wanted.shareRead) || (other.write && !wanted.shareWrite)) {
                *error = ErrorSharingViolation;
                return nullptr;
            }
        }
    }
    int flags = access == rtl::TFileAccess::Read ? O_RDONLY : access == rtl::TFileAccess::Write ? O_WRONLY : O_RDWR;
    if (disposition != rtl::TFileDisposition::OpenExisting)
        flags |= O_CREAT;
    if (disposition == rtl::TFileDisposition::CreateAlways)
        flags |= O_TRUNC;
    int fd = ::open(key.c_str(), flags, 0644);
    if (fd < 0) {
        *error = ErrorAccessDenied;
        return nullptr;
    }
    int id = nextId_++;
    open_[key][id] = wanted;
    return std::make_unique<TestHandle>(*this, key, id, fd);
}

bool TestFileSystem::FileExists(const rtl::AnsiString& path)
{
    std::filesystem::path host = HostPath(path);
    return !host.empty() && std::filesystem::is_regular_file(host);
}

bool TestFileSystem::DirectoryExists(const rtl::AnsiString& path)
{
    std::filesystem::path host = HostPath(path);
    return !host.empty() && std::filesystem::is_directory(host);
}

bool TestFileSystem::DeleteFile(const rtl::AnsiString& path, uint32_t* error)
{
    std::filesystem::path host = HostPath(path);
    if (!FileExists(path)) {
        *error = ErrorFileNotFound;
        return false;
    }
    if (HeldAgainstDelete(host.string())) {
        *error = ErrorSharingViolation;
        return false;
    }
    std::filesystem::remove(host);
    return true;
}

bool TestFileSystem::ReplaceFile(const rtl::AnsiString& source, const rtl::AnsiString& target, uint32_t* error)
{
    std::filesystem::path from = HostPath(source);
    std::filesystem::path to = HostPath(target);
    if (failReplace_ || denied_.count(to.string())) {
        *error = ErrorAccessDenied;
        return false;
    }
    if (HeldAgainstDelete(from.string()) || HeldAgainstDelete(to.string())) {
        *error = ErrorSharingViolation;
        return false;
    }
    std::error_code failed;
    std::filesystem::rename(from, to, failed);
    if (failed) {
        *error = ErrorAccessDenied;
        return false;
    }
    return true;
}

namespace {

class TestTurn : public rtl::IFileLock {
public:
    TestTurn(std::set<std::string>& turns, std::string key) : turns_(turns), key_(std::move(key)) {}
    ~TestTurn() override { turns_.erase(key_); }

private:
    std::set<std::string>& turns_;
    std::string key_;
};

}  // namespace

std::unique_ptr<rtl::IFileLock> TestFileSystem::LockForChange(const rtl::AnsiString& path, int, uint32_t* error)
{
    std::string key = HostPath(path).string();
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    if (refuseTurns_ || !turns_.insert(key).second) {
        *error = ErrorSharingViolation;
        return nullptr;
    }
    return std::make_unique<TestTurn>(turns_, key);
}

FileSystemFixture::FileSystemFixture()
{
    try {
        saved_ = &rtl::FileSystem();
    } catch (const rtl::Exception&) {
        saved_ = nullptr;
    }
    rtl::SetFileSystem(&fs);
}

FileSystemFixture::~FileSystemFixture() { rtl::SetFileSystem(saved_); }

}  // namespace rtltest
