#include <gtest/gtest.h>

#include "platform/rtl/FileSystem.h"

TEST(FileSystemSeam, WithoutAnInstalledFileSystemFilesFailClearly)
{
    rtl::IFileSystem* saved = &rtl::FileSystem();
    rtl::SetFileSystem(nullptr);
    EXPECT_THROW(rtl::FileSystem(), rtl::Exception);
    rtl::SetFileSystem(saved);
}
