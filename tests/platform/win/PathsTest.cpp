#include <gtest/gtest.h>

#include "platform/win/Paths.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using PathsTest = WinPrefixTest;

DWORD MappingError(const std::string& path)
{
    DWORD error = 0;
    EXPECT_FALSE(HostPathFromWindows(path, &error).has_value()) << path;
    return error;
}

std::string Full(const std::string& path)
{
    DWORD error = 0;
    std::optional<std::string> full = FullWindowsPath(path, &error);
    return full ? *full : "error " + std::to_string(error);
}

}  // namespace

TEST_F(PathsTest, DriveLettersMapInEitherCaseAndWithEitherSeparator)
{
    EXPECT_EQ(HostPathFromWindows("C:\\a\\b").value(), DriveC("a/b"));
    EXPECT_EQ(HostPathFromWindows("c:/a/b").value(), DriveC("a/b"));
    EXPECT_EQ(HostPathFromWindows("a:\\disk.txt").value(), DriveA("disk.txt"));
    EXPECT_EQ(HostPathFromWindows("Z:\\home\\x").value(), "/home/x");
    EXPECT_EQ(HostPathFromWindows("z:\\").value(), "/");
    EXPECT_EQ(HostPathFromWindows("C:\\").value(), Prefix() + "/drive_c");
}

TEST_F(PathsTest, UnmappedDrivesAndNetworkNamesFailClearly)
{
    EXPECT_EQ(MappingError("D:\\x"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(MappingError("\\\\server\\share\\x"), ERROR_BAD_NETPATH);
    EXPECT_EQ(MappingError("//server/share"), ERROR_BAD_NETPATH);
    EXPECT_EQ(MappingError("C:\\a<b"), ERROR_INVALID_NAME);
    EXPECT_EQ(MappingError("C:\\a:b"), ERROR_INVALID_NAME);
    EXPECT_EQ(MappingError(""), ERROR_PATH_NOT_FOUND);
}

TEST_F(PathsTest, DotsAndRepeatedSeparatorsNeverClimbAboveTheDriveRoot)
{
    EXPECT_EQ(Full("C:\\a\\\\.\\b\\\\\\c"), "C:\\a\\b\\c");
    EXPECT_EQ(Full("C:\\a\\..\\b\\"), "C:\\b");
    EXPECT_EQ(Full("C:/a/./b/.."), "C:\\a");
    EXPECT_EQ(MappingError("C:\\.."), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(MappingError("C:\\a\\..\\..\\etc"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(MappingError("A:\\.."), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(MappingError("Z:\\.."), ERROR_PATH_NOT_FOUND);
}

TEST_F(PathsTest, RelativePathsStartAtTheCurrentDirectory)
{
    EXPECT_EQ(CurrentDirectory(), "C:\\");
    ASSERT_TRUE(SetCurrentDirectory("c:\\windows\\SYSTEM32"));
    EXPECT_EQ(CurrentDirectory(), "c:\\windows\\SYSTEM32");
    EXPECT_EQ(Full("x.txt"), "c:\\windows\\SYSTEM32\\x.txt");
    EXPECT_EQ(Full("..\\y"), "c:\\windows\\y");
    EXPECT_EQ(Full("\\z"), "c:\\z");
    // Drive-relative names start at that drive's root.
    EXPECT_EQ(Full("C:foo"), "C:\\foo");
    EXPECT_EQ(Full("A:foo\\..\\bar"), "A:\\bar");
    EXPECT_EQ(HostPathFromWindows("drivers").value(), DriveC("WINDOWS/system32/drivers"));

    EXPECT_FALSE(SetCurrentDirectory("C:\\no such folder"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetCurrentDirectory("C:\\no\\such"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    WriteHost(DriveC("plain.txt"), "x");
    EXPECT_FALSE(SetCurrentDirectory("C:\\plain.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);

    ResetPlatform();
    EXPECT_EQ(CurrentDirectory(), "C:\\");
}

TEST_F(PathsTest, BufferFunctionsReportTheSizeTheyNeed)
{
    ASSERT_TRUE(SetCurrentDirectory("C:\\WINDOWS"));
    char small[4];
    EXPECT_EQ(GetCurrentDirectory(sizeof small, small), 11u);  // "C:\WINDOWS" and its zero
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectory(sizeof buffer, buffer), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");

    char* filePart = nullptr;
    EXPECT_EQ(GetFullPathName("Fonts\\arial.ttf", sizeof buffer, buffer, &filePart), 26u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\Fonts\\arial.ttf");
    EXPECT_STREQ(filePart, "arial.ttf");
    EXPECT_EQ(GetFullPathName("Fonts\\", sizeof buffer, buffer, &filePart), 17u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\Fonts\\");
    EXPECT_EQ(filePart, nullptr);

    EXPECT_EQ(GetShortPathName("C:\\Program Files", buffer, sizeof buffer), 11u);
    EXPECT_STREQ(buffer, "C:\\PROGRA~1");
    EXPECT_EQ(GetShortPathName("C:\\Program Files", buffer, 11), 12u);  // the size with the zero
    EXPECT_EQ(GetShortPathName("C:\\Program Files\\missing", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(PathsTest, HostPathsBecomeDriveOrZPaths)
{
    EXPECT_EQ(WindowsPathFromHost(DriveC("WINDOWS/Fonts")), "C:\\WINDOWS\\Fonts");
    EXPECT_EQ(WindowsPathFromHost(DriveC()), "C:\\");
    EXPECT_EQ(WindowsPathFromHost(DriveA("x/../y")), "A:\\y");
    EXPECT_EQ(WindowsPathFromHost("/etc/hosts"), "Z:\\etc\\hosts");
    EXPECT_EQ(WindowsPathFromHost("/"), "Z:\\");
    // A folder that merely starts like a drive folder is not in it.
    EXPECT_EQ(WindowsPathFromHost(Prefix() + "/drive_cx/f").substr(0, 3), "Z:\\");
    // Host names are UTF-8, Windows names Windows-1252.
    EXPECT_EQ(WindowsPathFromHost("/tmp/Caf\xC3\xA9 \xE2\x82\xAC"), "Z:\\tmp\\Caf\xE9 \x80");
    EXPECT_EQ(HostPathFromWindows("Z:\\tmp\\Caf\xE9 \x80").value(), "/tmp/Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(PathsTest, LookUpFallsBackToAMatchWithoutCase)
{
    WriteHost(DriveC("foo/bar.txt"), "content");
    EXPECT_EQ(HostPathFromWindows("C:\\Foo\\BAR.txt").value(), DriveC("foo/bar.txt"));
    HANDLE file = Open("C:\\FOO\\Bar.TXT", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "content");
    CloseHandle(file);

    // A new file takes the folders found without case and keeps its own spelling.
    ASSERT_TRUE(WriteWindows("C:\\FOO\\New File.TXT", "n"));
    EXPECT_EQ(ReadHost(DriveC("foo/New File.TXT")), "n");
    // An exact name wins over a match without case.
    WriteHost(DriveC("foo/BAR.txt"), "exact");
    EXPECT_EQ(HostPathFromWindows("C:\\foo\\BAR.txt").value(), DriveC("foo/BAR.txt"));

    // Accented capitals match too, in Windows-1252.
    WriteHost(DriveC("caf\xC3\xA9.txt"), "e");
    EXPECT_EQ(HostPathFromWindows("C:\\CAF\xC9.TXT").value(), DriveC("caf\xC3\xA9.txt"));
}
