#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/Files.h"
#include "platform/win/Journal.h"
#include "platform/win/KnownFolders.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using FileOpsTest = WinPrefixTest;

std::vector<std::string> Find(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATA data{};
    HANDLE search = FindFirstFile(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return {"error " + std::to_string(GetLastError())};
    do
        names.push_back(data.cFileName);
    while (FindNextFile(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST_F(FileOpsTest, FoldersAndTheirErrors)
{
    EXPECT_TRUE(CreateDirectory("C:\\Work", nullptr));
    EXPECT_FALSE(CreateDirectory("C:\\work", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectory("C:\\no\\such", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateDirectory("C:\\", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    WriteHost(DriveC("Work/f.txt"), "x");
    EXPECT_FALSE(RemoveDirectory("C:\\Work"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectory("C:\\Work\\f.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(DeleteFile("C:\\Work"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFile("C:\\Work\\g.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(DeleteFile("C:\\WORK\\F.TXT"));

    ASSERT_TRUE(SetCurrentDirectory("C:\\Work"));
    EXPECT_FALSE(RemoveDirectory("C:\\Work"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(SetCurrentDirectory("C:\\"));
    EXPECT_TRUE(RemoveDirectory("C:\\Work"));
    EXPECT_FALSE(HostExists(DriveC("Work")));
}

TEST_F(FileOpsTest, CopyFileErrorsAndWhatTheCopyKeeps)
{
    EXPECT_FALSE(CopyFile("C:\\none.txt", "C:\\copy.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    WriteHost(DriveC("src.txt"), "source");
    WriteHost(DriveC("dst.txt"), "target");
    EXPECT_FALSE(CopyFile("C:\\src.txt", "C:\\dst.txt", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadHost(DriveC("dst.txt")), "target");
    EXPECT_FALSE(CopyFile("C:\\src.txt", "C:\\missing\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CopyFile("C:\\src.txt", "C:\\Src.TXT", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

    ASSERT_TRUE(SetFileAttributes("C:\\src.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(CopyFile("C:\\src.txt", "C:\\dst.txt", FALSE));
    EXPECT_EQ(ReadHost(DriveC("dst.txt")), "source");
    EXPECT_EQ(GetFileAttributes("C:\\dst.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    // Now the target is read-only itself.
    EXPECT_FALSE(CopyFile("C:\\src.txt", "C:\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    WIN32_FIND_DATA source{}, copy{};
    FindClose(FindFirstFile("C:\\src.txt", &source));
    FindClose(FindFirstFile("C:\\dst.txt", &copy));
    EXPECT_EQ(CompareFileTime(&source.ftLastWriteTime, &copy.ftLastWriteTime), 0);
    // No temporary file is left beside the copy.
    EXPECT_EQ(Find("C:\\*.*"), (Names{"Documents and Settings", "dst.txt", "Program Files", "src.txt", "WINDOWS"}));
}

TEST_F(FileOpsTest, MoveFileReplacingRenamingAndAcrossDrives)
{
    WriteHost(DriveC("a.txt"), "a");
    WriteHost(DriveC("b.txt"), "b");
    EXPECT_FALSE(MoveFile("C:\\a.txt", "C:\\b.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(MoveFile("C:\\none.txt", "C:\\c.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(MoveFileEx("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadHost(DriveC("b.txt")), "a");
    EXPECT_FALSE(HostExists(DriveC("a.txt")));

    // Only the case changes: the same file takes the new spelling.
    EXPECT_TRUE(MoveFile("C:\\b.txt", "C:\\B.TXT"));
    EXPECT_TRUE(HostExists(DriveC("B.TXT")));
    EXPECT_FALSE(HostExists(DriveC("b.txt")));

    // Folders move with what they hold.
    WriteHost(DriveC("dir/inner/x.txt"), "x");
    ASSERT_TRUE(SetFileAttributes("C:\\dir\\inner\\x.txt", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(MoveFile("C:\\dir", "C:\\Program Files\\dir2"));
    EXPECT_EQ(GetFileAttributes("C:\\Program Files\\dir2\\inner\\x.txt"), FILE_ATTRIBUTE_HIDDEN);

    // A: is another volume: files may be copied over, folders not.
    EXPECT_FALSE(MoveFileEx("C:\\B.TXT", "A:\\B.TXT", 0));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_FALSE(MoveFile("C:\\Program Files\\dir2", "A:\\dir2"));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_TRUE(MoveFile("C:\\B.TXT", "A:\\B.TXT"));
    EXPECT_EQ(ReadHost(DriveA("B.TXT")), "a");
    EXPECT_FALSE(HostExists(DriveC("B.TXT")));
}

TEST_F(FileOpsTest, DelayedMovesAreRecordedInOrder)
{
    WriteHost(DriveC("WINDOWS/new.dll.1"), "new");
    ASSERT_TRUE(SetCurrentDirectory("C:\\WINDOWS"));
    EXPECT_TRUE(MoveFileEx("new.dll.1", "C:\\WINDOWS\\new.dll", MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
    // The source need not exist yet: an installer names it before extracting it.
    EXPECT_TRUE(MoveFileEx("C:\\later.tmp", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_FALSE(MoveFileEx("C:\\x", "C:\\y", MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(HostExists(DriveC("WINDOWS/new.dll.1")));

    ResetPlatform();
    std::vector<TPendingMove> moves = PendingMoves();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].Source, "C:\\WINDOWS\\new.dll.1");
    EXPECT_EQ(moves[0].Target, "C:\\WINDOWS\\new.dll");
    EXPECT_TRUE(moves[0].ReplaceExisting);
    EXPECT_EQ(moves[1].Source, "C:\\later.tmp");
    EXPECT_EQ(moves[1].Target, "");
    EXPECT_FALSE(moves[1].ReplaceExisting);
    EXPECT_EQ(ReadHost(PendingMovesFilePath()),
              "C:\\WINDOWS\\new.dll.1\tC:\\WINDOWS\\new.dll\tR\nC:\\later.tmp\t\t-\n");

    WriteHost(PendingMovesFilePath(), "C:\\a\tC:\\b\tR\ngarbage\n");
    try {
        PendingMoves();
        FAIL() << "a malformed list must not be read";
    } catch (const rtl::Exception& e) {
        EXPECT_NE(e.Message().find("pending-moves.txt:2:"), std::string::npos) << e.Message();
    }
    ClearPendingMoves();
    EXPECT_TRUE(PendingMoves().empty());
}

TEST_F(FileOpsTest, CancelledDelayedMoveGoesAndAJournalPutsItBackInPlace)
{
    const std::string first = "C:\\a.1\tC:\\a\tR\n";
    const std::string second = "C:\\b.1\tC:\\b\tR\n";
    const std::string third = "C:\\c.1\tC:\\c\t-\n";
    WriteHost(PendingMovesFilePath(), first + second + third);
    const TPendingMove b{"C:\\b.1", "C:\\b", true};

    // Source, target and kind all count: the same move without replacing is another one.
    EXPECT_FALSE(CancelPendingMove({"C:\\b.1", "C:\\b", false}));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadHost(PendingMovesFilePath()), first + second + third);

    BeginJournal();
    ASSERT_TRUE(CancelPendingMove(b));
    EXPECT_EQ(ReadHost(PendingMovesFilePath()), first + third);
    EXPECT_TRUE(UndoJournal().empty());
    EXPECT_EQ(ReadHost(PendingMovesFilePath()), first + second + third);

    ASSERT_TRUE(CancelPendingMove(b));
    ASSERT_TRUE(CancelPendingMove({"C:\\a.1", "C:\\a", true}));
    ASSERT_TRUE(CancelPendingMove({"C:\\c.1", "C:\\c", false}));
    // The last one takes the list with it, as a list with nothing to do is no list.
    EXPECT_FALSE(HostExists(PendingMovesFilePath()));
    EXPECT_TRUE(PendingMoves().empty());
}

TEST_F(FileOpsTest, FindFirstFileMatchesWildcardsWithoutCase)
{
    for (const char* name : {"Alpha.txt", "beta.TXT", "gamma.doc", "readme", "alphabet.txt2"})
        WriteHost(DriveC("w/") + name, "12345");
    WriteHost(DriveC("w/sub/x"), "");

    EXPECT_EQ(Find("C:\\w\\*.txt"), (Names{"Alpha.txt", "beta.TXT"}));
    EXPECT_EQ(Find("C:\\W\\?ETA.*"), (Names{"beta.TXT"}));
    EXPECT_EQ(Find("C:\\w\\alpha*"), (Names{"Alpha.txt", "alphabet.txt2"}));
    EXPECT_EQ(Find("C:\\w\\*."), (Names{"readme", "sub"}));
    EXPECT_EQ(Find("C:\\w\\*.*"),
              (Names{".", "..", "Alpha.txt", "alphabet.txt2", "beta.TXT", "gamma.doc", "readme", "sub"}));
    EXPECT_EQ(Find("C:\\w\\README"), (Names{"readme"}));
    EXPECT_EQ(Find("C:\\w\\*.xls"), (Names{"error 2"}));
    EXPECT_EQ(Find("C:\\w\\nothing"), (Names{"error 2"}));
    EXPECT_EQ(Find("C:\\none\\*"), (Names{"error 3"}));
    EXPECT_EQ(Find("C:\\w\\"), (Names{"error 2"}));

    WIN32_FIND_DATA data{};
    HANDLE search = FindFirstFile("C:\\w\\gamma.doc", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(FindNextFile(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    EXPECT_FALSE(FindClose(search));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    search = FindFirstFile("C:\\w\\sub", &data);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    FindClose(search);
}

TEST_F(FileOpsTest, TemporaryNames)
{
    char path[MAX_PATH];
    const DWORD length = GetTempPath(sizeof path, path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::string(path), TempFolder() + "\\");
    EXPECT_EQ(GetFileAttributes(path), FILE_ATTRIBUTE_DIRECTORY);

    char first[MAX_PATH], second[MAX_PATH];
    const UINT one = GetTempFileName(path, "batch", 0, first);
    const UINT two = GetTempFileName(path, "batch", 0, second);
    ASSERT_NE(one, 0u);
    ASSERT_NE(two, 0u);
    EXPECT_NE(std::string(first), std::string(second));
    EXPECT_EQ(std::string(first).substr(0, length + 3), std::string(path) + "bat");
    EXPECT_EQ(std::string(first).substr(std::string(first).size() - 4), ".tmp");
    EXPECT_EQ(GetFileAttributes(first), FILE_ATTRIBUTE_ARCHIVE);  // created, empty

    EXPECT_EQ(GetTempFileName("C:\\WINDOWS", "ab", 0x1A2B, first), 0x1A2Bu);
    EXPECT_STREQ(first, "C:\\WINDOWS\\ab1A2B.tmp");
    EXPECT_EQ(GetFileAttributes(first), INVALID_FILE_ATTRIBUTES);  // only named

    EXPECT_EQ(GetTempFileName("C:\\no such folder", "x", 0, first), 0u);
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

TEST_F(FileOpsTest, HardLinksShareTheirContent)
{
    WriteHost(DriveC("orig.txt"), "one");
    EXPECT_TRUE(CreateHardLink("C:\\link.txt", "C:\\orig.txt", nullptr));
    WriteHost(DriveC("orig.txt"), "two");
    EXPECT_EQ(ReadHost(DriveC("link.txt")), "two");
    EXPECT_FALSE(CreateHardLink("C:\\link.txt", "C:\\orig.txt", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateHardLink("A:\\link.txt", "C:\\orig.txt", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_FALSE(CreateHardLink("C:\\l2.txt", "C:\\none.txt", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}
