// The shell's "open" and the program path that tests can move.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/win/Shell.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

using namespace win;

// Sets an environment variable for one test and puts the old value back.
class TEnvironmentOverride {
public:
    TEnvironmentOverride(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TEnvironmentOverride()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class ShellTest : public WinPrefixTest {};

int Execute(const char* operation, const char* file, const char* directory = nullptr)
{
    return ShellExecuteResult(ShellExecute(nullptr, operation, file, nullptr, directory, SW_SHOWNORMAL));
}

TEST_F(ShellTest, AddressesGoToTheOpenerAsTheyStandAfterThePrefix)
{
    EXPECT_EQ(Execute("open", "URL:http://www.example.com/a b"), SE_SUCCESS);
    EXPECT_EQ(Execute(nullptr, "url:mailto:ann@example.com"), SE_SUCCESS);
    EXPECT_EQ(Execute("OPEN", "https://www.example.com/"), SE_SUCCESS);
    EXPECT_EQ(Execute("open", "URL:"), SE_ERR_FNF);

    const std::vector<TShellRequest> requests = ShellRequests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].Operation, "open");
    EXPECT_EQ(requests[0].File, "URL:http://www.example.com/a b");
    EXPECT_EQ(requests[0].Target, "http://www.example.com/a b");
    EXPECT_EQ(requests[0].ShowCommand, SW_SHOWNORMAL);
    EXPECT_EQ(requests[1].Operation, "");
    EXPECT_EQ(requests[1].Target, "mailto:ann@example.com");
    EXPECT_EQ(requests[2].Target, "https://www.example.com/");
    EXPECT_EQ(requests[3].Result, SE_ERR_FNF);
    // The test main runs offscreen: nothing was started.
    for (const TShellRequest& request : requests)
        EXPECT_FALSE(request.Started);
}

TEST_F(ShellTest, DocumentsMustExistAndProgramsAreNotStarted)
{
    WriteHost(DriveC("docs/Read Me.txt"), "hello");
    WriteHost(DriveC("docs/setup.EXE"), "MZ");

    EXPECT_EQ(Execute("open", "C:\\docs\\read me.txt"), SE_SUCCESS);
    EXPECT_EQ(ShellRequests().back().Target, DriveC("docs/Read Me.txt"));
    // Relative to the directory given.
    EXPECT_EQ(Execute("open", "Read Me.txt", "C:\\docs"), SE_SUCCESS);
    EXPECT_EQ(Execute("open", "C:\\docs\\missing.txt"), SE_ERR_FNF);
    EXPECT_EQ(Execute("open", "C:\\nowhere\\missing.txt"), SE_ERR_PNF);
    EXPECT_EQ(Execute("open", "Q:\\unmapped.txt"), SE_ERR_PNF);
    EXPECT_EQ(Execute("open", ""), SE_ERR_FNF);
    EXPECT_EQ(Execute("open", "C:\\docs\\setup.EXE"), SE_ERR_NOASSOC);
    EXPECT_EQ(Execute("print", "C:\\docs\\read me.txt"), SE_ERR_NOASSOC);
    EXPECT_EQ(Execute("openx", "URL:http://www.example.com/"), SE_ERR_NOASSOC);
    EXPECT_EQ(ShellRequests().size(), 9u);

    ClearShellRequests();
    EXPECT_TRUE(ShellRequests().empty());
}

TEST_F(ShellTest, LaunchingNeedsPermissionAndADesktop)
{
    TEnvironmentOverride display("DISPLAY", ":99");
    {
        TEnvironmentOverride platform("QT_QPA_PLATFORM", "offscreen");
        EXPECT_FALSE(ShellCanLaunch());
    }
    TEnvironmentOverride platform("QT_QPA_PLATFORM", "xcb");
    EXPECT_TRUE(ShellCanLaunch());
    SetShellLaunchAllowed(false);
    EXPECT_FALSE(ShellCanLaunch());
    // ResetPlatform allows it again.
    ResetPlatform();
    EXPECT_TRUE(ShellCanLaunch());
    TEnvironmentOverride noDisplay("DISPLAY", nullptr);
    TEnvironmentOverride noWayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_FALSE(ShellCanLaunch());
}

TEST_F(ShellTest, TheOpenerStartsDetachedAndIsNeverWaitedFor)
{
    // A stand-in opener that records its argument, then lingers.
    const std::string bin = Prefix() + "/bin";
    const std::string record = Prefix() + "/opened.txt";
    WriteHost(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + ".part'\nmv '" + record + ".part' '" +
                                     record + "'\nsleep 3\n");
    ASSERT_EQ(::chmod((bin + "/xdg-open").c_str(), 0755), 0);
    TEnvironmentOverride path("PATH", (bin + ":/usr/bin:/bin").c_str());
    TEnvironmentOverride display("DISPLAY", ":99");
    TEnvironmentOverride platform("QT_QPA_PLATFORM", "xcb");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Execute("open", "URL:http://www.example.com/products/"), SE_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(ShellRequests().back().Started);

    for (int i = 0; i < 200 && !HostExists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadHost(record), "http://www.example.com/products/");

    // Without an opener on the PATH there is no association.
    TEnvironmentOverride emptyPath("PATH", (Prefix() + "/nothing").c_str());
    EXPECT_EQ(Execute("open", "URL:http://www.example.com/"), SE_ERR_NOASSOC);
    EXPECT_FALSE(ShellRequests().back().Started);
}

class ProgramPathTest : public WinPrefixTest {};

TEST_F(ProgramPathTest, TestsCanPlayAProgramInstalledElsewhere)
{
    const std::string running = ParamStr(0);
    const char* const argv[] = {"ignored", "C:\\help\\demo.wkp"};
    SetCommandLine(2, argv);

    SetProgramPath("C:\\Program Files\\Scrivane\\Scrivane.exe");
    EXPECT_EQ(ParamStr(0), "C:\\Program Files\\Scrivane\\Scrivane.exe");
    EXPECT_EQ(ParamStr(1), "C:\\help\\demo.wkp");
    EXPECT_STREQ(GetCommandLine(), "\"C:\\Program Files\\Scrivane\\Scrivane.exe\" C:\\help\\demo.wkp");
    char buffer[MAX_PATH] = {};
    const std::string expected = "C:\\Program Files\\Scrivane\\Scrivane.exe";
    EXPECT_EQ(GetModuleFileName(nullptr, buffer, MAX_PATH), expected.size());
    EXPECT_EQ(buffer, expected);

    SetProgramPath("");
    EXPECT_EQ(ParamStr(0), running);
    SetProgramPath("C:\\x.exe");
    ResetPlatform();
    EXPECT_EQ(ParamStr(0), running);
}

}  // namespace

// There is no shell to tell of a change: the notification is kept in the process and in the prefix, where
// a test of a program run as a process finds it.
TEST_F(ShellTest, ChangeNotificationsAreRecordedInTheProcessAndThePrefix)
{
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);
    SHChangeNotify(0x2, SHCNF_IDLIST, nullptr, nullptr);
    const std::vector<TShellChange> changes = ShellChanges();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].EventId, SHCNE_ASSOCCHANGED);
    EXPECT_EQ(changes[0].Flags, 0x2000u);
    EXPECT_EQ(ReadHost(Prefix() + "/shell-changes"), "08000000 2000\n00000002 0000\n");
    ResetPlatform();
    EXPECT_TRUE(ShellChanges().empty());
}
