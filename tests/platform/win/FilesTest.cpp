#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/win/Files.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using FilesTest = WinPrefixTest;

std::string ReadAll(HANDLE file)
{
    std::string content;
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    return content;
}

}  // namespace

TEST_F(FilesTest, DispositionsAndTheirErrors)
{
    EXPECT_EQ(Open("C:\\missing.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("C:\\no folder\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open("C:\\*.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_EQ(Open("C:\\WINDOWS", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    HANDLE file = Open("C:\\a.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "hello", 5, &written, nullptr));
    CloseHandle(file);
    EXPECT_EQ(Open("C:\\a.txt", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    file = Open("C:\\a.txt", GENERIC_READ, 0, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(file), "hello");
    CloseHandle(file);

    EXPECT_EQ(Open("C:\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    file = Open("C:\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(file);
    EXPECT_EQ(ReadHost(DriveC("a.txt")), "");
}

TEST_F(FilesTest, ReadWriteSeekAndSize)
{
    HANDLE file = Open("C:\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &count, nullptr));
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);

    EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_BEGIN), 2u);
    char buffer[4] = {};
    ASSERT_TRUE(ReadFile(file, buffer, 3, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "234");
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
    ASSERT_TRUE(ReadFile(file, buffer, 4, &count, nullptr));
    EXPECT_EQ(count, 2u);
    ASSERT_TRUE(ReadFile(file, buffer, 4, &count, nullptr));
    EXPECT_EQ(count, 0u);  // the end reads as nothing, not as a failure

    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(file, 4, &high, FILE_BEGIN), 4u);
    EXPECT_EQ(high, 0);
    ASSERT_TRUE(SetEndOfFile(file));
    DWORD sizeHigh = 99;
    EXPECT_EQ(GetFileSize(file, &sizeHigh), 4u);
    EXPECT_EQ(sizeHigh, 0u);
    CloseHandle(file);
    EXPECT_EQ(ReadHost(DriveC("data.bin")), "0123");

    file = Open("C:\\data.bin", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_FALSE(WriteFile(file, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReadFile(file, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, ALockedFileRefusesWritersDeletesAndMoves)
{
    WriteHost(DriveC("locked.dll"), "old");
    HANDLE reader = Open("C:\\locked.dll", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);

    EXPECT_EQ(Open("C:\\LOCKED.DLL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    // A second reader that shares reading is fine; one that denies reading is not.
    HANDLE second = Open("C:\\locked.dll", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    CloseHandle(second);
    EXPECT_EQ(Open("C:\\locked.dll", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

    EXPECT_FALSE(DeleteFile("C:\\locked.dll"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(MoveFile("C:\\locked.dll", "C:\\moved.dll"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    WriteHost(DriveC("new.dll"), "new");
    EXPECT_FALSE(MoveFileEx("C:\\new.dll", "C:\\locked.dll", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(CopyFile("C:\\new.dll", "C:\\locked.dll", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadHost(DriveC("locked.dll")), "old");

    CloseHandle(reader);
    EXPECT_TRUE(MoveFileEx("C:\\new.dll", "C:\\locked.dll", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadHost(DriveC("locked.dll")), "new");
}

TEST_F(FilesTest, SharingDeleteAllowsDeletingAndResetReleasesLocks)
{
    WriteHost(DriveC("shared.txt"), "x");
    HANDLE file = Open("C:\\shared.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    EXPECT_TRUE(DeleteFile("C:\\shared.txt"));
    CloseHandle(file);

    WriteHost(DriveC("held.txt"), "x");
    file = Open("C:\\held.txt", GENERIC_READ, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ResetPlatform();
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(DeleteFile("C:\\held.txt"));
    // The old handle's value is never handed out again.
    EXPECT_FALSE(CloseHandle(file));
}

TEST_F(FilesTest, AttributesAreKeptAcrossRuns)
{
    ASSERT_TRUE(WriteWindows("C:\\attr.txt", "x"));
    EXPECT_EQ(GetFileAttributes("C:\\attr.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributes("C:\\WINDOWS"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes("C:\\nothing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributes("C:\\no\\thing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    ASSERT_TRUE(SetFileAttributes("C:\\attr.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ResetPlatform();
    EXPECT_EQ(GetFileAttributes("C:\\ATTR.TXT"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // Read-only holds even for a process the host would let write.
    EXPECT_EQ(Open("C:\\attr.txt", GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFile("C:\\attr.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    // A rename keeps the bits with the file.
    ASSERT_TRUE(MoveFile("C:\\attr.txt", "C:\\renamed.txt"));
    EXPECT_EQ(GetFileAttributes("C:\\renamed.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    ASSERT_TRUE(SetFileAttributes("C:\\renamed.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributes("C:\\renamed.txt"), FILE_ATTRIBUTE_NORMAL);
    // Writing sets the archive bit again.
    HANDLE file = Open("C:\\renamed.txt", GENERIC_WRITE, 0);
    DWORD written = 0;
    WriteFile(file, "y", 1, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributes("C:\\renamed.txt"), FILE_ATTRIBUTE_ARCHIVE);

    WriteHost(DriveC("plain"), "");
    EXPECT_EQ(GetFileAttributes("C:\\plain\\below"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    ASSERT_TRUE(SetFileAttributes("C:\\WINDOWS", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributes("C:\\WINDOWS"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    // A file created hidden is hidden from the start.
    HANDLE hidden = CreateFile("C:\\h.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    CloseHandle(hidden);
    EXPECT_EQ(GetFileAttributes("C:\\h.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(FilesTest, ATemporaryFileGoesWithItsLastHandle)
{
    HANDLE file = CreateFile("C:\\scratch.tmp", GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileAttributes("C:\\scratch.tmp"), FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_ARCHIVE);
    CloseHandle(file);
    EXPECT_FALSE(HostExists(DriveC("scratch.tmp")));
}

TEST_F(FilesTest, FileTimesRoundTrip)
{
    HANDLE file = Open("C:\\t.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now{}, written{};
    GetSystemTimeAsFileTime(&now);
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    EXPECT_LT(FileTimeValue(now) - FileTimeValue(written), 100'000'000u);  // within ten seconds

    SYSTEMTIME when{2004, 3, 0, 15, 13, 45, 30, 0};
    FILETIME chosen{};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &chosen));
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &chosen));
    CloseHandle(file);

    WIN32_FIND_DATA data{};
    HANDLE search = FindFirstFile("C:\\t.txt", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &chosen), 0);
}

TEST(FileTimeConversions, DosDateAndTime)
{
    SYSTEMTIME when{2004, 3, 0, 15, 13, 45, 31, 0};
    FILETIME time{};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &time));
    WORD date = 0, clock = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&time, &date, &clock));
    EXPECT_EQ(date, (24 << 9) | (3 << 5) | 15);
    EXPECT_EQ(clock, (13 << 11) | (45 << 5) | 15);  // two-second steps: 31 s is stored as 30 s

    FILETIME back{};
    ASSERT_TRUE(DosDateTimeToFileTime(date, clock, &back));
    SYSTEMTIME fields{};
    ASSERT_TRUE(FileTimeToSystemTime(&back, &fields));
    EXPECT_EQ(fields.wYear, 2004);
    EXPECT_EQ(fields.wSecond, 30);
    EXPECT_EQ(fields.wDayOfWeek, 1);  // a Monday

    // 1 January 1980, 00:00:00 is the smallest DOS date; 1979 cannot be held.
    EXPECT_TRUE(DosDateTimeToFileTime(0x21, 0, &back));
    ASSERT_TRUE(FileTimeToSystemTime(&back, &fields));
    EXPECT_EQ(fields.wYear, 1980);
    SYSTEMTIME early{1979, 12, 0, 31, 23, 59, 58, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&early, &time));
    EXPECT_FALSE(FileTimeToDosDateTime(&time, &date, &clock));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Month 13, 30 February and hour 24 do not exist.
    EXPECT_FALSE(DosDateTimeToFileTime((24 << 9) | (13 << 5) | 1, 0, &back));
    EXPECT_FALSE(DosDateTimeToFileTime((24 << 9) | (2 << 5) | 30, 0, &back));
    EXPECT_FALSE(DosDateTimeToFileTime((24 << 9) | (2 << 5) | 29 | 0, 24 << 11, &back));
    EXPECT_TRUE(DosDateTimeToFileTime((24 << 9) | (2 << 5) | 29, 0, &back));  // 2004 is a leap year

    FILETIME epoch = FileTimeFromValue(0);
    ASSERT_TRUE(FileTimeToSystemTime(&epoch, &fields));
    EXPECT_EQ(fields.wYear, 1601);
    EXPECT_EQ(fields.wDayOfWeek, 1);
}

TEST(FileTimeConversions, LocalTimeUsesTheZoneOffset)
{
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    setenv("TZ", "XST+2", 1);  // two hours west of UTC
    tzset();
    FILETIME utc = FileTimeFromValue(130'000'000'000'000'000ull), local{}, back{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(FileTimeValue(utc) - FileTimeValue(local), 2 * 3600 * 10'000'000ull);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(FileTimeValue(back), FileTimeValue(utc));
    if (saved)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// A program written by an installer must start on the host: files that get a program's extension, new or
// moved or copied into place, are executable; others are not.
TEST_F(FilesTest, ProgramFilesCanBeRun)
{
    for (const char* name : {"C:\\Setup.EXE", "C:\\clean.bat", "C:\\notes.txt", "C:\\exe", "C:\\a.tmp", "C:\\b.tmp"}) {
        HANDLE file = Open(name, GENERIC_WRITE, 0, CREATE_NEW);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        CloseHandle(file);
    }
    auto executable = [&](const char* name) {
        struct stat info {};
        return ::stat(DriveC(name).c_str(), &info) == 0 && (info.st_mode & S_IXUSR) != 0;
    };
    EXPECT_TRUE(executable("Setup.EXE"));
    EXPECT_TRUE(executable("clean.bat"));
    EXPECT_FALSE(executable("notes.txt"));
    EXPECT_FALSE(executable("exe"));
    EXPECT_FALSE(executable("a.tmp"));
    ASSERT_TRUE(MoveFileEx("C:\\a.tmp", "C:\\app.exe", MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(CopyFile("C:\\b.tmp", "C:\\tool.com", FALSE));
    EXPECT_TRUE(executable("app.exe"));
    EXPECT_TRUE(executable("tool.com"));
    EXPECT_FALSE(executable("b.tmp"));
}
