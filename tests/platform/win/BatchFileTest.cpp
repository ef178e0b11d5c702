#include "platform/win/BatchFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/Paths.h"
#include "platform/win/Process.h"
#include "tests/platform/win/WinTestFixture.h"

namespace win {
namespace {

class BatchFileTest : public WinPrefixTest {
protected:
    // Runs the lines in this process; the messages land in Messages.
    int Run(const std::string& lines, const std::vector<std::string>& arguments = {})
    {
        std::ostringstream messages;
        const int level = RunBatchCommands(lines, "C:\\t\\test.bat", arguments, messages);
        Messages = messages.str();
        return level;
    }

    // Writes the batch file and runs it as its own process, through CreateProcess; its exit code.
    DWORD RunAsProgram(const std::string& windowsPath, const std::string& content)
    {
        EXPECT_TRUE(WriteWindows(windowsPath, content));
        STARTUPINFO startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + windowsPath + "\"";
        if (!CreateProcess(windowsPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            ADD_FAILURE() << "not started: " << GetLastError();
            return 999;
        }
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 999;
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return code;
    }

    static std::string Short(const std::string& path)
    {
        char buffer[401];
        const DWORD length = GetShortPathName(path.c_str(), buffer, sizeof buffer);
        return std::string(buffer, length < sizeof buffer ? length : 0);
    }

    std::string Messages;
};

std::vector<std::string> Texts(const std::vector<TBatchToken>& tokens)
{
    std::vector<std::string> texts;
    for (const TBatchToken& token : tokens)
        texts.push_back(token.Text + (token.Quoted ? " (q)" : ""));
    return texts;
}

TEST(BatchArguments, SplitAsTheCommandInterpreterSplitsThem)
{
    EXPECT_EQ(Texts(SplitBatchArguments(" /Y \"C:\\Program Files\\x\"  a,b;c=d\t e")),
              (std::vector<std::string>{"/Y", "C:\\Program Files\\x (q)", "a", "b", "c", "d", "e"}));
    EXPECT_EQ(Texts(SplitBatchArguments("C:\\\"My Files\"\\a.txt \"\" \"open")),
              (std::vector<std::string>{"C:\\My Files\\a.txt (q)", " (q)", "open (q)"}));
    EXPECT_TRUE(SplitBatchArguments("  ,;= ").empty());
}

TEST_F(BatchFileTest, QuotedLongPathsAreErasedMovedAndDeletedExactlyAsWritten)
{
    WriteHost(DriveC("Program Files/Halvern/old.dll"), "old");
    WriteHost(DriveC("Program Files/Halvern/old.1"), "new");
    WriteHost(DriveC("Program Files/Halvern/Sub Dir/a/b.txt"), "b");
    WriteHost(DriveC("Program Files/Halvern/Sub Dir/c.txt"), "c");
    WriteHost(DriveC("Program Files/Halvern/Sub/keep.txt"), "keep");
    const int level = Run("@ECHO OFF\r\n"
                          "REM replace the locked file\r\n"
                          "erase \"C:\\Program Files\\Halvern\\old.dll\"\r\n"
                          "move \"C:\\Program Files\\Halvern\\old.1\" \"C:\\Program Files\\Halvern\\old.dll\"\r\n"
                          "DELTREE /Y \"C:\\Program Files\\Halvern\\Sub Dir\"\r\n");
    EXPECT_EQ(level, 0) << Messages;
    EXPECT_EQ(ReadHost(DriveC("Program Files/Halvern/old.dll")), "new");
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern/old.1")));
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern/Sub Dir")));
    EXPECT_EQ(ReadHost(DriveC("Program Files/Halvern/Sub/keep.txt")), "keep");

    // MOVE into a folder keeps the name; several quoted paths are each erased.
    WriteHost(DriveC("t/one.txt"), "1");
    WriteHost(DriveC("t/two words.txt"), "2");
    EXPECT_EQ(Run("MOVE /Y C:\\t\\one.txt \"C:\\Program Files\\Halvern\"\n"
                  "DEL \"C:\\Program Files\\Halvern\\one.txt\" \"C:\\t\\two words.txt\"\n"),
              0)
        << Messages;
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern/one.txt")));
    EXPECT_FALSE(HostExists(DriveC("t/two words.txt")));
}

TEST_F(BatchFileTest, ShortPathsWrittenByOneProcessWorkInTheInterpreterProcess)
{
    WriteHost(DriveC("Program Files/Halvern Tools/Shared Library.dll"), "old");
    WriteHost(DriveC("Program Files/Halvern Tools/Shared Library.1"), "new");
    WriteHost(DriveC("Program Files/Halvern Tools/Old Stuff/deep/x.txt"), "x");
    const std::string target = Short("C:\\Program Files\\Halvern Tools\\Shared Library.dll");
    const std::string folder = target.substr(0, target.rfind('\\') + 1);
    EXPECT_EQ(target, "C:\\PROGRA~1\\HALVER~1\\SHARED~1.DLL");
    // The new file's name as the installer writes it, long and unquoted after the short folder.
    const std::string batch = "erase " + target + "\r\n" + "move " + folder + "Shared Library.1 " + target + "\r\n" +
                              "DELTREE /Y " + Short("C:\\Program Files\\Halvern Tools\\Old Stuff") + "\r\n";
    EXPECT_EQ(RunAsProgram("C:\\WINDOWS\\TEMP\\bat1.bat", batch), 0u);
    EXPECT_EQ(ReadHost(DriveC("Program Files/Halvern Tools/Shared Library.dll")), "new");
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern Tools/Shared Library.1")));
    EXPECT_FALSE(HostExists(DriveC("Program Files/Halvern Tools/Old Stuff")));
    EXPECT_TRUE(HostExists(DriveC("Program Files/Halvern Tools")));
}

TEST_F(BatchFileTest, APathWithBlanksSplitByACarelessLineDeletesNothingBesideIt)
{
    // Decoys that the words of the path would name one by one.
    WriteHost(DriveC("Temp/My/decoy.txt"), "decoy");
    WriteHost(DriveC("Work/Setup/decoy.txt"), "decoy");
    WriteHost(DriveC("Work/Files/decoy.txt"), "decoy");
    WriteHost(DriveC("Temp/My Setup Files/setup.exe"), "program");
    WriteHost(DriveC("Temp/My Setup Files/data/d.txt"), "data");
    ASSERT_TRUE(SetCurrentDirectory("C:\\Work"));

    EXPECT_EQ(Run("ERASE C:\\Temp\\My Setup Files\\setup.exe\r\n"
                  "DELTREE /Y C:\\Temp\\My Setup Files\r\n"),
              0)
        << Messages;
    EXPECT_FALSE(HostExists(DriveC("Temp/My Setup Files")));
    // A line whose whole path is gone deletes nothing at all.
    EXPECT_EQ(Run("DELTREE /Y C:\\Temp\\My Setup Files\r\nERASE C:\\Temp\\My Setup Files\\setup.exe\r\n"), 1);
    EXPECT_EQ(Run("MOVE C:\\Temp\\My Setup Files\\a C:\\Temp\\My\\b\r\n"), 1);
    EXPECT_NE(Messages.find("syntax"), std::string::npos);
    // MOVE takes the one reading with an existing source and a whole destination, not the decoy.
    WriteHost(DriveC("Temp/My Setup/x"), "x");
    EXPECT_EQ(Run("MOVE C:\\Temp\\My Setup C:\\Temp\\Moved\r\n"), 0) << Messages;
    EXPECT_EQ(ReadHost(DriveC("Temp/Moved/x")), "x");
    for (const char* decoy : {"Temp/My/decoy.txt", "Work/Setup/decoy.txt", "Work/Files/decoy.txt"})
        EXPECT_EQ(ReadHost(DriveC(decoy)), "decoy") << decoy;
}

TEST_F(BatchFileTest, TheCleanUpBatchRemovesTheProgramItsFolderAndItself)
{
    WriteHost(DriveC("Temp/Setup Run/setup.exe"), "program");
    WriteHost(DriveC("Temp/Setup Run/setup.1"), "archive");
    const std::string batch = "C:\\Temp\\bat2A.bat";
    const std::string content = "ERASE C:\\Temp\\Setup Run\\setup.exe\r\n"
                                "DELTREE /Y C:\\Temp\\Setup Run\r\n"
                                "ERASE C:\\Temp\\bat2A.PIF\r\n"
                                "ERASE " + batch + "\r\n";
    EXPECT_EQ(RunAsProgram(batch, content), 0u);
    EXPECT_FALSE(HostExists(DriveC("Temp/Setup Run")));
    EXPECT_FALSE(HostExists(DriveC("Temp/bat2A.bat")));
    EXPECT_TRUE(HostExists(DriveC("Temp")));
}

TEST_F(BatchFileTest, RootsFoldersReadOnlyFilesAndLinksAreHandledSafely)
{
    WriteHost(DriveC("keep/file.txt"), "keep");
    EXPECT_EQ(Run("DELTREE /Y C:\\\r\nDELTREE /Y Z:\\\r\n"), 1);
    EXPECT_EQ(Run("DEL C:\\keep\r\n"), 1);  // a folder is not emptied by DEL
    EXPECT_EQ(Run("DEL C:\\keep\\*.txt\r\n"), 1);
    EXPECT_EQ(ReadHost(DriveC("keep/file.txt")), "keep");

    ASSERT_TRUE(SetFileAttributes("C:\\keep\\file.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Run("DEL C:\\keep\\file.txt\r\n"), 1);
    EXPECT_TRUE(HostExists(DriveC("keep/file.txt")));
    EXPECT_EQ(Run("DEL /F C:\\keep\\file.txt\r\n"), 0) << Messages;
    EXPECT_FALSE(HostExists(DriveC("keep/file.txt")));

    // A link inside the tree is removed, never followed out of it.
    WriteHost(DriveC("outside/precious.txt"), "precious");
    WriteHost(DriveC("tree/inner.txt"), "inner");
    ASSERT_TRUE(SetFileAttributes("C:\\tree\\inner.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(::symlink(DriveC("outside").c_str(), DriveC("tree/link").c_str()), 0);
    EXPECT_EQ(Run("DELTREE /Y C:\\tree\r\n"), 0) << Messages;
    EXPECT_FALSE(HostExists(DriveC("tree")));
    EXPECT_EQ(ReadHost(DriveC("outside/precious.txt")), "precious");
    // What was deleted leaves no attributes behind for a new file of that name.
    WriteHost(DriveC("tree/inner.txt"), "again");
    EXPECT_EQ(GetFileAttributes("C:\\tree\\inner.txt"), FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(BatchFileTest, RdRemovesOnlyEmptyFoldersAndFailsQuietlyOnTheRest)
{
    WriteHost(DriveC("Apps/My Tool/Bin/tool.exe"), "tool");
    std::filesystem::create_directories(DriveC("Apps/Empty"));
    std::filesystem::create_directories(DriveC("Apps/Two Words"));
    // A folder that holds something, and its parents, stay: error level 1 and not a word.
    EXPECT_EQ(Run("RD C:\\Apps\\My Tool\\Bin\r\nRMDIR " + Short("C:\\Apps\\My Tool") + "\r\n"), 1);
    EXPECT_EQ(Messages, "");
    EXPECT_EQ(ReadHost(DriveC("Apps/My Tool/Bin/tool.exe")), "tool");
    EXPECT_EQ(Run("RD C:\\Apps\\Empty\r\nrmdir \"C:\\Apps\\Two Words\"\r\n"), 0) << Messages;
    EXPECT_FALSE(HostExists(DriveC("Apps/Empty")));
    EXPECT_FALSE(HostExists(DriveC("Apps/Two Words")));
    EXPECT_EQ(Run("RD C:\\Apps\\Empty\r\n"), 1);  // gone already
    EXPECT_EQ(Messages, "");
    // Never a tree, never a root, never a file.
    EXPECT_EQ(Run("RD /S /Q C:\\Apps\\My Tool\r\nRD C:\\\r\nRD Z:\\\r\nRD C:\\Apps\\My Tool\\Bin\\tool.exe\r\n"), 1);
    EXPECT_NE(Messages.find("root"), std::string::npos) << Messages;
    EXPECT_EQ(ReadHost(DriveC("Apps/My Tool/Bin/tool.exe")), "tool");
    // The clean-up order: the file, then each folder upward while empty.
    EXPECT_EQ(Run("ERASE C:\\Apps\\My Tool\\Bin\\tool.exe\r\nRD C:\\Apps\\My Tool\\Bin\r\n"
                  "RD C:\\Apps\\My Tool\r\nRD C:\\Apps\r\n"),
              0)
        << Messages;
    EXPECT_FALSE(HostExists(DriveC("Apps")));
    EXPECT_TRUE(HostExists(DriveC("")));
}

TEST_F(BatchFileTest, ParametersUnknownCommandsAndTheErrorLevel)
{
    WriteHost(DriveC("p/100%/a b.txt"), "x");
    EXPECT_EQ(Run("ERASE \"%1\\100%%\\%2\"\r\n", {"C:\\p", "a b.txt"}), 0) << Messages;
    EXPECT_FALSE(HostExists(DriveC("p/100%/a b.txt")));
    EXPECT_EQ(Run("FORMAT C:\r\n"), 1);
    EXPECT_NE(Messages.find("'FORMAT' is not recognized"), std::string::npos);
    // The last command's level is the result; labels, remarks and blank lines leave it alone.
    EXPECT_EQ(Run("FORMAT C:\r\n:label\r\nREM x\r\n\r\n"), 1);
    WriteHost(DriveC("p/x.txt"), "x");
    EXPECT_EQ(Run("FORMAT C:\r\nDEL C:\\p\\x.txt\r\n"), 0);
}

}  // namespace
}  // namespace win
