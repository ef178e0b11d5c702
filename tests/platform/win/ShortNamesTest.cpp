#include "platform/win/ShortNames.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "tests/platform/win/WinTestFixture.h"

namespace win {
namespace {

using ShortNamesTest = WinPrefixTest;

std::string Short(const std::string& path)
{
    char buffer[401];
    const DWORD length = GetShortPathName(path.c_str(), buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "<error " + std::to_string(GetLastError()) + ">";
}

std::string Long(const std::string& path)
{
    char buffer[401];
    const DWORD length = GetLongPathName(path.c_str(), buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "<error " + std::to_string(GetLastError()) + ">";
}

TEST(ShortNameRules, WhatFitsAndWhatAnAliasLooksLike)
{
    for (const char* name : {"README.TXT", "readme.txt", "A", "12345678.123", "PROGRA~1", "a-b_c!.x"})
        EXPECT_TRUE(FitsShortName(name)) << name;
    for (const char* name : {"Program Files", "toolongname", "abc.html", "a.b.c", ".config", "a+b", "x[1]", "abc.",
                             "a;b", ""})
        EXPECT_FALSE(FitsShortName(name)) << name;

    EXPECT_EQ(ShortNameCandidate("Program Files", 1), "PROGRA~1");
    EXPECT_EQ(ShortNameCandidate("Program Files", 10), "PROGR~10");
    EXPECT_EQ(ShortNameCandidate("My Document.html", 2), "MYDOCU~2.HTM");
    EXPECT_EQ(ShortNameCandidate("Temp File.tar.gz", 1), "TEMPFI~1.GZ");
    EXPECT_EQ(ShortNameCandidate(".config", 1), "CONFIG~1");
    EXPECT_EQ(ShortNameCandidate("a+b=c.txt", 1), "A_B_C~1.TXT");
    EXPECT_EQ(ShortNameCandidate("...", 1), "_~1");
    EXPECT_EQ(ShortNameCandidate("Caf\xE9" " au lait", 1), "CAF\xC9" "AU~1");  // Windows-1252
}

TEST_F(ShortNamesTest, EveryLongComponentGetsAnAliasAndTheLongFormComesBack)
{
    EXPECT_EQ(Short("C:\\Program Files\\Common Files"), "C:\\PROGRA~1\\COMMON~1");
    EXPECT_EQ(Short("c:\\program files\\"), "c:\\PROGRA~1\\");
    EXPECT_EQ(Short("C:\\WINDOWS\\system32"), "C:\\WINDOWS\\system32");  // 8.3 names stay as given
    EXPECT_EQ(Long("C:\\PROGRA~1\\COMMON~1"), "C:\\Program Files\\Common Files");
    EXPECT_EQ(Long("C:\\progra~1\\common~1\\"), "C:\\Program Files\\Common Files\\");

    const std::string temp = TempFolder();
    const std::string shortTemp = Short(temp);
    EXPECT_EQ(shortTemp.find(' '), std::string::npos) << shortTemp;
    EXPECT_EQ(Long(shortTemp), temp);

    EXPECT_EQ(Short("C:\\Program Files\\Missing"), "<error 2>");
    EXPECT_EQ(Short("C:\\Nowhere\\Missing"), "<error 3>");
}

TEST_F(ShortNamesTest, AliasesAreUniqueInTheirFolderAndStableForTheLifeOfTheFile)
{
    for (const char* name : {"Program Data", "Program Files", "Progress Report.txt", "PROGRE~1.TXT"})
        WriteHost(DriveC(std::string("d/") + name + "/x"), "x");
    EXPECT_EQ(Short("C:\\d\\Program Files"), "C:\\d\\PROGRA~2");
    EXPECT_EQ(Short("C:\\d\\Program Data"), "C:\\d\\PROGRA~1");
    // A real name is never an alias of another entry.
    EXPECT_EQ(Short("C:\\d\\Progress Report.txt"), "C:\\d\\PROGRE~2.TXT");

    // A newcomer takes the next free alias; the others keep theirs, in this process and in a later one.
    WriteHost(DriveC("d/Program Apps/x"), "x");
    EXPECT_EQ(Short("C:\\d\\Program Apps"), "C:\\d\\PROGRA~3");
    ResetPlatform();
    EXPECT_EQ(Short("C:\\d\\Program Files"), "C:\\d\\PROGRA~2");
    EXPECT_EQ(Short("C:\\d\\Program Data"), "C:\\d\\PROGRA~1");

    // A removed entry frees its alias.
    std::filesystem::remove_all(DriveC("d/Program Data"));
    WriteHost(DriveC("d/Program Zed/x"), "x");
    EXPECT_EQ(Short("C:\\d\\Program Zed"), "C:\\d\\PROGRA~1");
    EXPECT_EQ(Short("C:\\d\\Program Files"), "C:\\d\\PROGRA~2");
}

TEST_F(ShortNamesTest, EveryPathServiceResolvesAliases)
{
    WriteHost(DriveC("Program Files/Halvern Tools/read me.txt"), "content");
    const std::string shortFile = Short("C:\\Program Files\\Halvern Tools\\read me.txt");
    EXPECT_EQ(shortFile, "C:\\PROGRA~1\\HALVER~1\\README~1.TXT");

    // Opening, reading, attributes and creating beside it, in any case.
    EXPECT_EQ(ReadWindows("c:\\progra~1\\halver~1\\readme~1.txt"), "content");
    EXPECT_NE(GetFileAttributes("C:\\PROGRA~1\\HALVER~1"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(WriteWindows("C:\\PROGRA~1\\HALVER~1\\new.txt", "new"));
    EXPECT_EQ(ReadHost(DriveC("Program Files/Halvern Tools/new.txt")), "new");
    EXPECT_TRUE(MoveFile("C:\\PROGRA~1\\HALVER~1\\README~1.TXT", "C:\\PROGRA~1\\HALVER~1\\moved.txt"));
    EXPECT_EQ(ReadHost(DriveC("Program Files/Halvern Tools/moved.txt")), "content");
    EXPECT_TRUE(DeleteFile("C:\\PROGRA~1\\HALVER~1\\moved.txt"));
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern Tools/moved.txt")));

    // A file erased through its alias and made again through it keeps its long name.
    WriteHost(DriveC("Program Files/Halvern Tools/Shared Library.dll"), "old");
    EXPECT_EQ(Short("C:\\Program Files\\Halvern Tools\\Shared Library.dll"), "C:\\PROGRA~1\\HALVER~1\\SHARED~1.DLL");
    EXPECT_TRUE(DeleteFile("C:\\PROGRA~1\\HALVER~1\\SHARED~1.DLL"));
    EXPECT_TRUE(WriteWindows("C:\\PROGRA~1\\HALVER~1\\SHARED~1.DLL", "new"));
    EXPECT_EQ(ReadHost(DriveC("Program Files/Halvern Tools/Shared Library.dll")), "new");
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern Tools/SHARED~1.DLL")));

    // An alias nobody has is no name.
    EXPECT_EQ(GetFileAttributes("C:\\PROGRA~7\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    // Aliases are unknown outside their own folder.
    EXPECT_EQ(GetFileAttributes("C:\\WINDOWS\\PROGRA~1"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace win
