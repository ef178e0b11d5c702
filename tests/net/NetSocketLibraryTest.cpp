// The socket library is loaded by the first socket that needs it and released with the last socket; a
// missing library or function fails the socket call that needed it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

#include "net/NetSocket.h"
#include "platform/win/Modules.h"
#include "tests/platform/win/WinTestFixture.h"

using net::ESocketException;
using net::TNetSocket;

namespace {

class NetSocketLibraryTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        win::RegisterWinSockModule();
    }
    void TearDown() override
    {
        win::SetModuleMissing("wsock32.dll", false);
        win::SetExportMissing("wsock32.dll", "inet_addr", false);
        win::SetExportMissing("wsock32.dll", "WSAStartup", false);
        WinPrefixTest::TearDown();
    }
};

std::string FailureOf(TNetSocket& socket)
{
    try {
        socket.SetLocalAddr("");
    } catch (const ESocketException& e) {
        return e.Message();
    }
    return "<nothing raised>";
}

TEST_F(NetSocketLibraryTest, LoadedOnFirstUseAndReleasedWithTheLastSocket)
{
    int startups = win::WinSockStartupCount();
    // Made and freed without use: the library is never touched.
    std::make_unique<TNetSocket>(nullptr).reset();
    EXPECT_FALSE(net::NetSocketLibraryLoaded());
    EXPECT_EQ(win::WinSockStartupCount(), startups);

    auto first = std::make_unique<TNetSocket>(nullptr);
    auto second = std::make_unique<TNetSocket>(nullptr);
    EXPECT_EQ(net::NetSocketCount(), 2);
    EXPECT_FALSE(net::NetSocketLibraryLoaded());
    first->SetLocalAddr("127.0.0.1");
    EXPECT_TRUE(net::NetSocketLibraryLoaded());
    EXPECT_TRUE(win::WinSockStarted());
    EXPECT_EQ(win::WinSockStartupCount(), startups + 1);
    second->SetLocalAddr("127.0.0.1");  // the entries stay filled: no second start
    EXPECT_EQ(win::WinSockStartupCount(), startups + 1);

    first.reset();
    EXPECT_TRUE(net::NetSocketLibraryLoaded());
    second.reset();
    EXPECT_FALSE(net::NetSocketLibraryLoaded());
    EXPECT_FALSE(win::WinSockStarted());
    EXPECT_EQ(net::NetSocketCount(), 0);

    // The next socket's first call loads and starts it again.
    auto third = std::make_unique<TNetSocket>(nullptr);
    third->SetLocalAddr("");
    EXPECT_EQ(third->LocalAddr(), "0.0.0.0");
    EXPECT_TRUE(win::WinSockStarted());
    EXPECT_EQ(win::WinSockStartupCount(), startups + 2);
    EXPECT_EQ(net::NetSocketGetProc(""), nullptr);
}

TEST_F(NetSocketLibraryTest, MissingLibraryOrFunctionFailsTheFirstCall)
{
    TNetSocket socket(nullptr);
    win::SetModuleMissing("wsock32.dll", true);
    EXPECT_EQ(FailureOf(socket), "Unable to load wsock32.dll Error #126");
    EXPECT_FALSE(net::NetSocketLibraryLoaded());
    win::SetModuleMissing("wsock32.dll", false);

    win::SetExportMissing("wsock32.dll", "inet_addr", true);
    EXPECT_EQ(FailureOf(socket), "Procedure inet_addr not found in wsock32.dll Error #127");
    // The library itself was loaded and started; only the one function is missing.
    EXPECT_TRUE(net::NetSocketLibraryLoaded());
    EXPECT_TRUE(win::WinSockStarted());
    win::SetExportMissing("wsock32.dll", "inet_addr", false);
    EXPECT_EQ(FailureOf(socket), "<nothing raised>");
}

TEST_F(NetSocketLibraryTest, AFailedStartIsReportedOnceAndNotTriedAgain)
{
    TNetSocket socket(nullptr);
    int startups = win::WinSockStartupCount();
    win::SetWinSockStartupFailure(10091);
    EXPECT_EQ(FailureOf(socket), "wsock32.dll: WSAStartup error #10091");
    EXPECT_TRUE(net::NetSocketLibraryLoaded());  // it stays loaded
    win::SetWinSockStartupFailure(0);
    EXPECT_EQ(FailureOf(socket), "<nothing raised>");
    EXPECT_EQ(win::WinSockStartupCount(), startups);
    EXPECT_FALSE(win::WinSockStarted());

    TNetSocket other(nullptr);
    win::SetExportMissing("wsock32.dll", "WSAStartup", true);
    net::NetSocketUnloadLibrary();
    EXPECT_EQ(FailureOf(other), "Procedure WSAStartup not found in wsock32.dll Error #127");
    EXPECT_FALSE(win::WinSockStarted());
}

}  // namespace

TEST_F(NetSocketLibraryTest, AProgramThatEndsWithALiveSocketStopsTheLibraryCleanly)
{
    // The finaliser runs during the exit, after other statics of the program are gone; the sanitizers end
    // the program with an error if it touches one of them.
    const std::string command = std::string("timeout -k 5 60 '") + SCRIVANE_LIVE_SOCKET_PROGRAM + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("socket open"), std::string::npos) << output;
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
}
