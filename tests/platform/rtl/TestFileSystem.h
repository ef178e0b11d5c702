#pragma once
// A file system for the runtime library's tests: Windows paths ("C:\dir\file", "\\server\share\file") on a
// fresh host folder, with the sharing rules of Windows and faults to order (a full disk, a refused
// replacement, a denied path).

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "platform/rtl/FileSystem.h"

namespace rtltest {

class TestFileSystem : public rtl::IFileSystem {
public:
    TestFileSystem();
    ~TestFileSystem() override;

    std::unique_ptr<rtl::IFileHandle> Open(const rtl::AnsiString& path, rtl::TFileAccess access,
                                           rtl::TFileShare share, rtl::TFileDisposition disposition,
                                           uint32_t* error) override;
    bool FileExists(const rtl::AnsiString& path) override;
    bool DirectoryExists(const rtl::AnsiString& path) override;
    bool DeleteFile(const rtl::AnsiString& path, uint32_t* error) override;
    bool ReplaceFile(const rtl::AnsiString& source, const rtl::AnsiString& target, uint32_t* error) override;
    // One turn per file name (any case) at a time; a second one, or any while refused, fails at once.
    std::unique_ptr<rtl::IFileLock> LockForChange(const rtl::AnsiString& path, int timeoutMs,
                                                  uint32_t* error) override;

    // Host helpers for setting up and checking files.
    std::filesystem::path HostPath(const rtl::AnsiString& path) const;
    void MakeDirectory(const rtl::AnsiString& path);
    void WriteHostFile(const rtl::AnsiString& path, const std::string& bytes);
    std::string ReadHostFile(const rtl::AnsiString& path) const;
    // Every file name in the folder, to see that no temporary file stayed behind.
    std::set<std::string> FilesIn(const rtl::AnsiString& directory) const;

    // Faults: writes beyond this many more bytes fail with "disk full"; negative means no limit.
    void SetFreeSpace(int64_t bytes) { freeSpace_ = bytes; }
    void SetFailReplace(bool fail) { failReplace_ = fail; }
    // As if another process kept its turn to change every file.
    void SetRefuseTurns(bool refuse) { refuseTurns_ = refuse; }
    void DenyAccess(const rtl::AnsiString& path);

    // Called by the handles.
    void Closed(const std::string& hostPath, int id);
    bool TakeSpace(int64_t& count);

private:
    struct OpenFile {
        bool read;
        bool write;
        bool shareRead;
        bool shareWrite;
        bool shareDelete;
    };
    // Open by a handle that does not share deleting, so the file cannot be replaced.
    bool HeldAgainstDelete(const std::string& hostPath) const;

    std::filesystem::path root_;
    std::map<std::string, std::map<int, OpenFile>> open_;
    std::set<std::string> denied_;
    int nextId_ = 1;
    int64_t freeSpace_ = -1;
    bool failReplace_ = false;
    bool refuseTurns_ = false;
    std::set<std::string> turns_;
};

// Installs a TestFileSystem for the life of a test and puts the previous one back afterwards.
class FileSystemFixture {
public:
    FileSystemFixture();
    ~FileSystemFixture();
    TestFileSystem fs;

private:
    rtl::IFileSystem* saved_ = nullptr;
};

}  // namespace rtltest
