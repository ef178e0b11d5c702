// The setup program as a process over a prefix of its own: -b beside BUILD.INF writes the distribution,
// and a bad switch is answered with the usage text.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "installer/support/TrwkRegistry.h"
#include "platform/win/Registry.h"
#include "tests/installer/engine/EngineTestSupport.h"

namespace fs = std::filesystem;

namespace {

int32_t Int32At(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return static_cast<int32_t>(value);
}

class SetupProcessTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        fs::create_directories(DriveC("dev"));
        fs::copy_file(ENGINE_TEST_SETUP, DriveC("dev/TestSetup.exe"));
        WriteHost(DriveC("src/readme.txt"), "read me first");
        WriteHost(DriveC("src/data.bin"), std::string(20000, 'd'));
        WriteHost(DriveC("ulo/lib/T32V52.TXT"), "marker");
        WriteHost(DriveC("ulo/lib/TarnwickLoadProgram.exe"), std::string(4096, 'L'));
        RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\PESK\\T32V52\\Library", "Search Path", "$(ROOT)\\lib");
        RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\PESK\\T32V52", "RootDir", "C:\\ulo");
    }

    // Runs the setup program with `arguments`; its exit code, its standard error in `errors`. Ended after
    // a minute at most.
    int RunSetup(std::vector<std::string> arguments, std::string& errors)
    {
        return Run(DriveC("dev/TestSetup.exe"), std::move(arguments), errors);
    }
    int Run(const std::string& program, std::vector<std::string> arguments, std::string& errors)
    {
        const std::string errorFile = Prefix() + "/stderr.txt";
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, DriveC("dev").c_str());
        pid_t pid = -1;
        const int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (started != 0)
            return -1;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return -2;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        errors = ReadHost(errorFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }
};

}  // namespace

TEST_F(SetupProcessTest, BuildBesideBuildInfWritesASelfExtractingDistribution)
{
    WriteHost(DriveC("dev/BUILD.INF"), "C:\\build\r\n");
    std::string errors;
    ASSERT_EQ(RunSetup({"-b"}, errors), 0) << errors;

    const std::string exe = ReadHost(DriveC("build/setup.exe"));
    ASSERT_GT(exe.size(), 4096u + 56u) << errors;
    const std::string tail = exe.substr(exe.size() - 56);
    EXPECT_EQ(tail.substr(0, 16), std::string("\x0eSELFEXTRACTING\0", 16));
    const int32_t setupFirst = Int32At(tail, 16), setupLast = Int32At(tail, 20);
    const int32_t filesFirst = Int32At(tail, 24), filesLast = Int32At(tail, 28);
    EXPECT_EQ(setupFirst, 4096);
    EXPECT_EQ(filesFirst, setupLast + 1);
    EXPECT_EQ(filesLast, static_cast<int32_t>(exe.size()) - 57);
    EXPECT_EQ(tail.substr(32), std::string(24, '\0'));
    // Behind the loader lie setup.1 (the setup program itself, packed) and files.1, byte for byte.
    EXPECT_EQ(exe.substr(setupFirst, setupLast - setupFirst + 1), ReadHost(DriveC("build/setup.1")));
    EXPECT_EQ(exe.substr(filesFirst, filesLast - filesFirst + 1), ReadHost(DriveC("build/files.1")));
    EXPECT_GT(fs::file_size(DriveC("build/setup.1")), 0u);
}

TEST_F(SetupProcessTest, TheDistributionsSetupExeInstallsFromItselfAndEndsWell)
{
    fs::copy_file(ENGINE_TEST_LOADER, DriveC("ulo/lib/TarnwickLoadProgram.exe"), fs::copy_options::overwrite_existing);
    WriteHost(DriveC("dev/BUILD.INF"), "C:\\build\r\n");
    std::string errors;
    ASSERT_EQ(RunSetup({"-b"}, errors), 0) << errors;
    fs::remove_all(DriveC("src"));  // the distribution alone must do

    ASSERT_EQ(Run(DriveC("build/setup.exe"), {}, errors), 0) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/readme.txt")), "read me first");
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/data.bin")), std::string(20000, 'd'));
    // The good ending removed the run's install key.
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0", "Path", "gone"), "gone");
}

TEST_F(SetupProcessTest, ABlankFirstLineOfBuildInfCountsAsMissing)
{
    WriteHost(DriveC("dev/BUILD.INF"), "\r\nC:\\build\r\n");
    std::string errors;
    EXPECT_EQ(RunSetup({"-b"}, errors), 0);
    EXPECT_NE(errors.find("Must be 1 line in BUILD.INF. This line should specify the build directory"),
              std::string::npos)
        << errors;
    EXPECT_FALSE(HostExists(DriveC("build")));
}

TEST_F(SetupProcessTest, ABadSwitchIsAnsweredWithTheUsageText)
{
    std::string errors;
    EXPECT_EQ(RunSetup({"-x"}, errors), 1);
    EXPECT_NE(errors.find("Invalid parameter <-x>. Valid command line parameters are: -b (Build), -d (Debug), -f "
                          "(Transfer to floppies), -e (Called by self-extractor), -r (After reboot)"),
              std::string::npos)
        << errors;
}
