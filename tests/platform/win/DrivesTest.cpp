#include <gtest/gtest.h>

#include "platform/win/Drives.h"
#include "platform/win/Files.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using DrivesTest = WinPrefixTest;

uint64_t FreeBytes(const char* root)
{
    uint64_t free = 0;
    EXPECT_TRUE(GetDiskFreeSpaceEx(root, &free, nullptr, nullptr)) << root;
    return free;
}

}  // namespace

TEST_F(DrivesTest, TheFloppyReportsItsCapacityLessWhatItHolds)
{
    uint64_t total = 0, free = 0;
    ASSERT_TRUE(GetDiskFreeSpaceEx("A:\\", &free, &total, nullptr));
    EXPECT_EQ(total, 1457664u);
    EXPECT_EQ(free, 1457664u);
    WriteHost(DriveA("data/file.bin"), std::string(1000, 'x'));
    EXPECT_EQ(FreeBytes("A:\\data"), 1457664u - 1000u);

    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpace("a:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters));
    EXPECT_EQ(bytesPerSector * sectorsPerCluster, 512u);
    EXPECT_EQ(clusters, 2847u);
    EXPECT_EQ(freeClusters, (1457664u - 1000u) / 512u);

    ASSERT_TRUE(GetDiskFreeSpaceEx("C:\\", &free, &total, nullptr));
    EXPECT_GT(total, 0u);
    EXPECT_FALSE(GetDiskFreeSpaceEx("Q:\\", &free, &total, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(DrivesTest, AWriteBeyondTheFloppyFailsWholeAndLeavesTheFile)
{
    SetFloppyCapacity(4096);
    HANDLE file = Open("A:\\setup.cab", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string first(3000, 'a'), second(2000, 'b');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, first.data(), 3000, &written, nullptr));
    EXPECT_FALSE(WriteFile(file, second.data(), 2000, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetFileSize(file, nullptr), 3000u);
    // Overwriting what is there needs no room.
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    EXPECT_TRUE(WriteFile(file, second.data(), 2000, &written, nullptr));
    SetFilePointer(file, 5000, nullptr, FILE_BEGIN);
    EXPECT_FALSE(SetEndOfFile(file));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    CloseHandle(file);
    EXPECT_EQ(ReadHost(DriveA("setup.cab")), std::string(2000, 'b') + std::string(1000, 'a'));

    WriteHost(DriveC("big.bin"), std::string(2000, 'c'));
    EXPECT_FALSE(CopyFile("C:\\big.bin", "A:\\big.bin", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_FALSE(HostExists(DriveA("big.bin")));
    EXPECT_FALSE(MoveFile("C:\\big.bin", "A:\\big.bin"));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(HostExists(DriveC("big.bin")));
    // Replacing the file on the disk frees its old size first.
    EXPECT_TRUE(CopyFile("C:\\big.bin", "A:\\setup.cab", FALSE));
}

TEST_F(DrivesTest, AnEmptyFloppyDriveIsNotReady)
{
    WriteHost(DriveA("x.txt"), "x");
    SetFloppyPresent(false);
    EXPECT_EQ(Open("A:\\x.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(GetFileAttributes("A:\\x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    uint64_t free = 0;
    EXPECT_FALSE(GetDiskFreeSpaceEx("A:\\", &free, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(GetVolumeInformation("A:\\", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(GetDriveType("A:\\"), DRIVE_REMOVABLE);

    // The settings belong to the prefix and outlive the run.
    ResetPlatform();
    EXPECT_FALSE(FloppyPresent());
    SetFloppyPresent(true);
    EXPECT_NE(GetFileAttributes("A:\\x.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DrivesTest, DriveTypesAndVolumes)
{
    EXPECT_EQ(GetDriveType("A:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(GetDriveType("c:"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveType("Z:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveType("D:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveType(nullptr), DRIVE_FIXED);
    EXPECT_EQ(GetLogicalDrives(), 0x02000005u);
    char strings[16];
    EXPECT_EQ(GetLogicalDriveStrings(sizeof strings, strings), 12u);
    EXPECT_EQ(std::string(strings, 13), std::string("A:\\\0C:\\\0Z:\\\0", 12) + '\0');

    DWORD serialC = 0, serialA = 0, again = 0, maxLength = 0;
    char fileSystem[16];
    ASSERT_TRUE(GetVolumeInformation("C:\\", nullptr, 0, &serialC, &maxLength, nullptr, fileSystem, sizeof fileSystem));
    EXPECT_EQ(maxLength, 255u);
    EXPECT_STREQ(fileSystem, "NTFS");
    ASSERT_TRUE(GetVolumeInformation("A:\\", nullptr, 0, &serialA, nullptr, nullptr, fileSystem, sizeof fileSystem));
    EXPECT_STREQ(fileSystem, "FAT");
    EXPECT_NE(serialA, serialC);
    ResetPlatform();
    ASSERT_TRUE(GetVolumeInformation("c:\\", nullptr, 0, &again, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(again, serialC);
    EXPECT_FALSE(GetVolumeInformation("\\\\server\\share\\", nullptr, 0, &again, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
}
