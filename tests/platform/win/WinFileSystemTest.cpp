#include <gtest/gtest.h>

#include "platform/rtl/FileSystem.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using WinFileSystemTest = WinPrefixTest;

std::unique_ptr<rtl::IFileHandle> OpenFile(const std::string& path, rtl::TFileAccess access, rtl::TFileShare share,
                                           rtl::TFileDisposition disposition, uint32_t* error)
{
    return rtl::FileSystem().Open(path, access, share, disposition, error);
}

}  // namespace

TEST_F(WinFileSystemTest, OpensReadsAndWritesWindowsPaths)
{
    uint32_t error = 0;
    auto file = OpenFile("C:\\Program Files\\app.ini", rtl::TFileAccess::ReadWrite, rtl::TFileShare::Exclusive,
                         rtl::TFileDisposition::CreateAlways, &error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->Write("[Main]\nx=1\n", 11, &error), 11);
    EXPECT_EQ(file->Size(), 11);
    EXPECT_EQ(file->Seek(1, rtl::TSeekOrigin::Beginning, &error), 1);
    char buffer[4] = {};
    EXPECT_EQ(file->Read(buffer, 4, &error), 4);
    EXPECT_EQ(std::string(buffer, 4), "Main");
    ASSERT_TRUE(file->SetSize(6, &error));
    EXPECT_EQ(file->Seek(0, rtl::TSeekOrigin::Current, &error), 5);

    // Exclusive means exclusive.
    EXPECT_FALSE(OpenFile("c:\\program files\\APP.INI", rtl::TFileAccess::Read, rtl::TFileShare::DenyNone,
                          rtl::TFileDisposition::OpenExisting, &error));
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
    file.reset();
    EXPECT_EQ(ReadHost(DriveC("Program Files/app.ini")), "[Main]");

    EXPECT_FALSE(OpenFile("C:\\none.ini", rtl::TFileAccess::Read, rtl::TFileShare::DenyNone,
                          rtl::TFileDisposition::OpenExisting, &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(rtl::FileSystem().FileExists("C:\\PROGRAM FILES\\app.ini"));
    EXPECT_FALSE(rtl::FileSystem().FileExists("C:\\Program Files"));
    EXPECT_TRUE(rtl::FileSystem().DirectoryExists("C:\\Program Files"));
    EXPECT_TRUE(rtl::FileSystem().DeleteFile("C:\\Program Files\\app.ini", &error));
    EXPECT_FALSE(rtl::FileSystem().DeleteFile("C:\\Program Files\\app.ini", &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
}

TEST_F(WinFileSystemTest, ReplaceSwapsTheWholeFileInOneStep)
{
    WriteHost(DriveC("list.txt"), "old");
    WriteHost(DriveC("list.txt.new"), "new");
    uint32_t error = 0;
    // A reader that does not share deleting holds the file in place.
    auto reader = OpenFile("C:\\list.txt", rtl::TFileAccess::Read, rtl::TFileShare::DenyNone,
                           rtl::TFileDisposition::OpenExisting, &error);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(rtl::FileSystem().ReplaceFile("C:\\list.txt.new", "C:\\list.txt", &error));
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadHost(DriveC("list.txt")), "old");
    reader.reset();

    // One that shares deleting too, as profile readers do, keeps reading the file it opened.
    reader = OpenFile("C:\\list.txt", rtl::TFileAccess::Read, rtl::TFileShare::ShareAll,
                      rtl::TFileDisposition::OpenExisting, &error);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(rtl::FileSystem().ReplaceFile("C:\\list.txt.new", "C:\\list.txt", &error)) << error;
    EXPECT_EQ(ReadHost(DriveC("list.txt")), "new");
    char buffer[3] = {};
    EXPECT_EQ(reader->Read(buffer, 3, &error), 3);
    EXPECT_EQ(std::string(buffer, 3), "old");
    EXPECT_FALSE(HostExists(DriveC("list.txt.new")));
    EXPECT_FALSE(rtl::FileSystem().ReplaceFile("C:\\list.txt.new", "C:\\list.txt", &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
}
