// The look-up without case once the folder has been read: changes made on the host since, by this process
// outside the layer or by another process, are seen at the next look-up. Each host change here puts the
// folder's change time back as it was, as a change within the same clock tick leaves it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/win/Paths.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

class FolderIndexTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        fs::create_directories(DriveC("dir"));
        // Reads the folder into its index: the name is not there.
        EXPECT_EQ(Look("probe.txt"), DriveC("dir/probe.txt"));
    }

    std::string Look(const std::string& name) { return HostPathFromWindows("C:\\DIR\\" + name).value(); }

    // Runs `change` on the host folder and gives the folder its old change time back.
    void WithinTheTick(const std::function<void()>& change)
    {
        struct stat before {};
        ASSERT_EQ(::stat(DriveC("dir").c_str(), &before), 0);
        change();
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, DriveC("dir").c_str(), times, 0), 0);
    }
};

}  // namespace

TEST_F(FolderIndexTest, NamesMadeOnTheHostAfterTheFolderWasReadAreFound)
{
    WithinTheTick([&] { WriteHost(DriveC("dir/Made.TXT"), "host"); });
    EXPECT_EQ(Look("made.txt"), DriveC("dir/Made.TXT"));

    // A file made through the layer in another case goes into the host's file.
    WithinTheTick([&] { WriteHost(DriveC("dir/Report.TXT"), "old"); });
    ASSERT_TRUE(WriteWindows("C:\\dir\\REPORT.txt", "new"));
    EXPECT_EQ(ReadHost(DriveC("dir/Report.TXT")), "new");
    EXPECT_FALSE(HostExists(DriveC("dir/REPORT.txt")));
}

TEST_F(FolderIndexTest, NamesMadeByAnotherProcessOfOursAreFound)
{
    // The child uses the layer too, and must not take the parent's news of the folder from it.
    WithinTheTick([&] {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WriteHost(DriveC("dir/Child.TXT"), "child");
            const bool looked = HostPathFromWindows("C:\\dir\\other.txt").has_value();
            ::_exit(looked ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    });
    EXPECT_EQ(Look("CHILD.txt"), DriveC("dir/Child.TXT"));
}

TEST_F(FolderIndexTest, NamesRemovedOrRenamedOnTheHostAreNotFoundAsTheyWere)
{
    WriteHost(DriveC("dir/Gone.txt"), "g");
    WriteHost(DriveC("dir/Mixed.txt"), "m");
    EXPECT_EQ(Look("GONE.TXT"), DriveC("dir/Gone.txt"));
    EXPECT_EQ(Look("MIXED.TXT"), DriveC("dir/Mixed.txt"));

    // Gone: the name keeps the spelling it is given, as for a new file.
    WithinTheTick([&] { fs::remove(DriveC("dir/Gone.txt")); });
    EXPECT_EQ(Look("GONE.TXT"), DriveC("dir/GONE.TXT"));
    EXPECT_FALSE(ResolvePath("C:\\dir\\gone.txt")->Exists);

    // Renamed in case only: the new spelling is found.
    WithinTheTick([&] { fs::rename(DriveC("dir/Mixed.txt"), DriveC("dir/MIXED.Txt")); });
    EXPECT_EQ(Look("mixed.TXT"), DriveC("dir/MIXED.Txt"));

    // Of two case variants, the first in byte order; when it goes, the other.
    WithinTheTick([&] { WriteHost(DriveC("dir/mixed.txt"), "second"); });
    EXPECT_EQ(Look("Mixed.Txt"), DriveC("dir/MIXED.Txt"));
    WithinTheTick([&] { fs::remove(DriveC("dir/MIXED.Txt")); });
    EXPECT_EQ(Look("Mixed.Txt"), DriveC("dir/mixed.txt"));
}

TEST_F(FolderIndexTest, TheLayersOwnChangesAndAReplacedFolderAreSeen)
{
    ASSERT_TRUE(WriteWindows("C:\\dir\\Fresh.txt", "f"));
    EXPECT_EQ(Look("FRESH.TXT"), DriveC("dir/Fresh.txt"));
    ASSERT_TRUE(MoveFile("C:\\dir\\fresh.txt", "C:\\dir\\Moved.txt"));
    EXPECT_EQ(Look("FRESH.TXT"), DriveC("dir/FRESH.TXT"));
    EXPECT_EQ(Look("moved.txt"), DriveC("dir/Moved.txt"));
    ASSERT_TRUE(DeleteFile("C:\\dir\\MOVED.TXT"));
    EXPECT_EQ(Look("moved.txt"), DriveC("dir/moved.txt"));

    // Another folder put at the same path, its parent moved away meanwhile: the new folder's names count.
    WriteHost(DriveC("dir/Old.txt"), "o");
    EXPECT_EQ(Look("old.txt"), DriveC("dir/Old.txt"));
    fs::create_directories(DriveC("next/dir"));
    WriteHost(DriveC("next/dir/New.txt"), "n");
    fs::rename(DriveC("dir"), DriveC("next/was"));
    fs::rename(DriveC("next/dir"), DriveC("dir"));
    EXPECT_EQ(Look("old.txt"), DriveC("dir/old.txt"));
    EXPECT_EQ(Look("NEW.TXT"), DriveC("dir/New.txt"));
}
