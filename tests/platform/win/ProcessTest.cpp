#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/win/Paths.h"
#include "platform/win/Process.h"
#include "platform/win/Registry.h"
#include "platform/win/Shell.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using Args = std::vector<std::string>;

// Records its arguments, one a line, and the folder it runs in, beside itself.
const char RecorderScript[] =
    "#!/bin/sh\n"
    "here=$(dirname \"$0\")\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$here/args.tmp\"\n"
    "pwd > \"$here/pwd.txt\"\n"
    "mv \"$here/args.tmp\" \"$here/args.txt\"\n";

class ProcessTest : public WinPrefixTest {
protected:
    void WriteProgram(const std::string& hostPath, const std::string& content, bool executable = true)
    {
        WriteHost(hostPath, content);
        ::chmod(hostPath.c_str(), executable ? 0755 : 0644);
    }

    // The file's content once it exists; empty after `seconds` without it.
    static std::string AwaitHost(const std::string& path, int seconds = 20)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!HostExists(path) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ReadHost(path);
    }

    static BOOL Create(const char* application, std::string commandLine, PROCESS_INFORMATION& info,
                       const char* directory = nullptr)
    {
        STARTUPINFO startup{};
        startup.cb = sizeof startup;
        info = {};
        return CreateProcess(application, commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr,
                             FALSE, 0, nullptr, directory, &startup, &info);
    }

    static void CloseBoth(PROCESS_INFORMATION& info)
    {
        EXPECT_TRUE(CloseHandle(info.hThread));
        EXPECT_TRUE(CloseHandle(info.hProcess));
    }
};

}  // namespace

TEST(SplitCommandLine, FollowsTheWindowsRuntimeRules)
{
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine("  \t "), Args{});
    // The program's name keeps its backslashes and ends at its closing quote.
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\a.exe\" -x"), (Args{"C:\\Program Files\\a.exe", "-x"}));
    EXPECT_EQ(SplitCommandLine("C:\\a\\b.exe  one\ttwo "), (Args{"C:\\a\\b.exe", "one", "two"}));
    EXPECT_EQ(SplitCommandLine("p \"two words\" x\"y z\"w \"\""), (Args{"p", "two words", "xy zw", ""}));
    // Backslashes count only before a quote: 2n give n and a delimiting quote, 2n+1 give n and a quote.
    EXPECT_EQ(SplitCommandLine("p C:\\dir\\ a\\\\\"b c\" d\\\"e \\\\\\\"f"), (Args{"p", "C:\\dir\\", "a\\b c", "d\"e", "\\\"f"}));
    // A doubled quote inside quotes is one quote; an open quote runs to the end.
    EXPECT_EQ(SplitCommandLine("p \"say \"\"hi\"\"\" \"open end"), (Args{"p", "say \"hi\"", "open end"}));
}

TEST_F(ProcessTest, ArgumentsArriveSplitAndUntouchedByAnyShell)
{
    WriteProgram(DriveC("Tools/rec.exe"), RecorderScript);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(Create("C:\\Tools\\rec.exe",
                       "\"C:\\Tools\\rec.exe\" -xh C:\\proj\\demo.whp \"two words\" \"$(touch boom);x\" `id` caf\xe9", info))
        << GetLastError();
    EXPECT_NE(info.dwProcessId, 0u);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 0u);
    CloseBoth(info);

    EXPECT_EQ(ReadHost(DriveC("Tools/args.txt")),
              "-xh\nC:\\proj\\demo.whp\ntwo words\n$(touch boom);x\n`id`\ncaf\xc3\xa9\n");
    EXPECT_FALSE(HostExists(DriveC("Tools/boom")));
}

TEST_F(ProcessTest, AStartedProgramGetsItsStandardStreamsAndNoSocketOrFileOfOurs)
{
    // Becomes a program that lists its own descriptors, with what it inherited.
    WriteProgram(DriveC("Tools/fds.exe"), "#!/bin/sh\nexec ls -l /proc/self/fd > \"$(dirname \"$0\")/fds.txt\"\n");
    WriteHost(DriveC("Tools/held.txt"), "x");
    // Both opened as a library does that knows nothing of close-on-exec.
    const int held = ::open(DriveC("Tools/held.txt").c_str(), O_RDONLY);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(held, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);

    PROCESS_INFORMATION info;
    const BOOL started = Create("C:\\Tools\\fds.exe", "", info);
    if (started) {
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
        CloseBoth(info);
    }
    ::close(listener);
    ::close(held);
    ASSERT_TRUE(started) << GetLastError();

    const std::string listing = ReadHost(DriveC("Tools/fds.txt"));
    EXPECT_NE(listing.find("fds.txt"), std::string::npos) << listing;  // its own standard output is there
    EXPECT_EQ(listing.find("socket:"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("held.txt"), std::string::npos) << listing;
}

TEST_F(ProcessTest, ProgramNamedByTheCommandLineAloneGetsItsExtension)
{
    WriteProgram(DriveC("Tools/rec.exe"), RecorderScript);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(Create(nullptr, "c:\\TOOLS\\rec one", info)) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(info.hThread, INFINITE), WAIT_OBJECT_0);
    CloseBoth(info);
    EXPECT_EQ(ReadHost(DriveC("Tools/args.txt")), "one\n");
}

TEST_F(ProcessTest, StartsInTheCurrentDirectoryOrTheOneGiven)
{
    WriteProgram(DriveC("Tools/rec.exe"), RecorderScript);
    std::filesystem::create_directories(DriveC("work"));
    std::filesystem::create_directories(DriveC("other"));
    ASSERT_TRUE(SetCurrentDirectory("C:\\work"));

    PROCESS_INFORMATION info;
    ASSERT_TRUE(Create("C:\\Tools\\rec.exe", "", info)) << GetLastError();
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseBoth(info);
    EXPECT_EQ(ReadHost(DriveC("Tools/pwd.txt")), std::filesystem::canonical(DriveC("work")).string() + "\n");

    ASSERT_TRUE(Create("C:\\Tools\\rec.exe", "", info, "C:\\OTHER")) << GetLastError();
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseBoth(info);
    EXPECT_EQ(ReadHost(DriveC("Tools/pwd.txt")), std::filesystem::canonical(DriveC("other")).string() + "\n");

    EXPECT_FALSE(Create("C:\\Tools\\rec.exe", "", info, "C:\\missing"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

TEST_F(ProcessTest, WhatCannotRunFailsWithTheWindowsCode)
{
    WriteProgram(DriveC("Tools/text.exe"), "not a program\n", false);
    WriteProgram(DriveC("Tools/win.exe"), std::string("MZ\x90\0\x03\0\0\0", 8) + "PE image", true);
    std::filesystem::create_directories(DriveC("Tools/folder.exe"));

    struct Case {
        const char* Path;
        DWORD Error;
    };
    for (const Case& c : {Case{"C:\\Tools\\none.exe", ERROR_FILE_NOT_FOUND}, Case{"C:\\NoFolder\\x.exe", ERROR_PATH_NOT_FOUND},
                          Case{"Q:\\x.exe", ERROR_PATH_NOT_FOUND}, Case{"C:\\Tools\\folder.exe", ERROR_ACCESS_DENIED},
                          Case{"C:\\Tools\\text.exe", ERROR_BAD_EXE_FORMAT}, Case{"C:\\Tools\\win.exe", ERROR_BAD_EXE_FORMAT}}) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(StartProcess(c.Path, "-x"), c.Error);
        PROCESS_INFORMATION info;
        EXPECT_FALSE(Create(c.Path, "", info));
        EXPECT_EQ(GetLastError(), c.Error);
    }

    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    char environment[] = "A=1\0";
    EXPECT_FALSE(CreateProcess("C:\\Tools\\text.exe", nullptr, nullptr, nullptr, FALSE, 0, environment, nullptr,
                               &startup, &info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(CreateProcess(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(ProcessTest, ExitCodesWaitsAndTermination)
{
    WriteProgram(DriveC("t/seven.exe"), "#!/bin/sh\nexit 7\n");
    WriteProgram(DriveC("t/sleeper.exe"), "#!/bin/sh\nexec sleep 30\n");

    PROCESS_INFORMATION info;
    ASSERT_TRUE(Create("C:\\t\\seven.exe", "", info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
    CloseBoth(info);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetExitCodeProcess(info.hProcess, &code));

    ASSERT_TRUE(Create("C:\\t\\sleeper.exe", "", info));
    EXPECT_EQ(WaitForInputIdle(info.hProcess, 1000), 0u);
    EXPECT_EQ(GetProcessId(info.hProcess), info.dwProcessId);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 30), WAIT_TIMEOUT);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_TRUE(TerminateProcess(info.hProcess, 3));
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 3u);
    EXPECT_FALSE(TerminateProcess(info.hProcess, 4));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    // The thread handle is no process handle.
    EXPECT_FALSE(GetExitCodeProcess(info.hThread, &code));
    CloseBoth(info);
}

TEST_F(ProcessTest, StartProcessDoesNotWaitAndClosingLeavesTheProgramRunning)
{
    WriteProgram(DriveC("t/late.exe"), "#!/bin/sh\nsleep 0.3\necho \"$1\" > \"$(dirname \"$0\")/late.txt\"\n");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(StartProcess("C:\\t\\late.exe", "done"), ERROR_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_FALSE(HostExists(DriveC("t/late.txt")));
    EXPECT_EQ(AwaitHost(DriveC("t/late.txt")), "done\n");

    HANDLE process = nullptr;
    EXPECT_EQ(StartProcess("C:\\t\\late.exe", "again", &process), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ReadHost(DriveC("t/late.txt")), "again\n");
    EXPECT_TRUE(CloseHandle(process));
}

// A batch file started hidden runs in a console nobody sees: what it says goes nowhere, and it still does
// its work. Started shown, it speaks where its starter does.
TEST_F(ProcessTest, AChildStartedInsideARegistryBatchReadsItsChanges)
{
    // The child takes a copy of the machine's registry file as it finds it.
    WriteProgram(DriveC("Tools/look.exe"), "#!/bin/sh\ncp \"$SCRIVANE_PREFIX/system.reg\" \"$(dirname \"$0\")/seen.reg\"\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Child", &key), ERROR_SUCCESS);
    TRegistryBatch batch;
    const char value[] = "pending";
    ASSERT_EQ(RegSetValueEx(key, "Seen", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
              ERROR_SUCCESS);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(Create("C:\\Tools\\look.exe", "look.exe", info)) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    CloseBoth(info);
    EXPECT_NE(ReadHost(DriveC("Tools/seen.reg")).find("\"Seen\"=\"pending\""), std::string::npos);
    EXPECT_EQ(batch.End(), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(ProcessTest, ABatchStartedHiddenSaysNothing)
{
    WriteHost(DriveC("t/clean.bat"), "ERASE C:\\t\\missing.txt\r\nERASE C:\\t\\gone.txt\r\n");
    WriteHost(DriveC("t/gone.txt"), "x");
    auto run = [](bool hidden) {
        STARTUPINFO startup{};
        startup.cb = sizeof startup;
        if (hidden) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = SW_HIDE;
        }
        std::string command = "C:\\t\\clean.bat";
        PROCESS_INFORMATION info{};
        if (!CreateProcess(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return false;
        WaitForSingleObject(info.hProcess, 20000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return true;
    };
    // The children write to this process's own output, taken into a file for the test.
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(1);
    const int savedErr = ::dup(2);
    const std::string captured = Prefix() + "/captured.txt";
    const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 1);
    ::dup2(file, 2);
    ::close(file);
    const bool hidden = run(true);
    const std::string afterHidden = ReadHost(captured);
    const bool shown = run(false);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);

    ASSERT_TRUE(hidden);
    ASSERT_TRUE(shown);
    EXPECT_EQ(afterHidden, "");
    EXPECT_FALSE(HostExists(DriveC("t/gone.txt")));
    EXPECT_NE(ReadHost(captured).find("Could Not Find"), std::string::npos) << ReadHost(captured);
}

// A program of ours started from the prefix holds its own file as Windows holds a running image, until it
// ends: it can be neither deleted nor written, and a batch that erases it fails at once instead of waiting.
TEST_F(ProcessTest, AProgramInThePrefixHoldsItsOwnFileUntilItEnds)
{
    std::filesystem::create_directories(DriveC("t"));
    std::filesystem::copy_file(PROFILE_WRITER, DriveC("t/writer.exe"));
    const std::string start = DriveC("t/go");
    PROCESS_INFORMATION writer{};
    ASSERT_TRUE(Create(nullptr, "C:\\t\\writer.exe C:\\t\\w.ini 1 1 " + start, writer));
    ASSERT_EQ(AwaitHost(start + ".1"), "\n");

    EXPECT_FALSE(DeleteFile("C:\\t\\writer.exe"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CreateFile("C:\\t\\writer.exe", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    WriteHost(DriveC("t/clean.bat"), "ERASE C:\\t\\writer.exe\r\n");
    PROCESS_INFORMATION batch{};
    ASSERT_TRUE(Create(nullptr, "C:\\t\\clean.bat", batch));
    EXPECT_EQ(WaitForSingleObject(batch.hProcess, 3000), WAIT_OBJECT_0);
    CloseBoth(batch);
    EXPECT_TRUE(HostExists(DriveC("t/writer.exe")));

    WriteHost(start, "");
    EXPECT_EQ(WaitForSingleObject(writer.hProcess, 20000), WAIT_OBJECT_0);
    CloseBoth(writer);
    EXPECT_TRUE(DeleteFile("C:\\t\\writer.exe"));
}
