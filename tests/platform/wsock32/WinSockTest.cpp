// The socket library as programs see it: looked up by name, notifications posted under Windows' rules,
// look-ups through the prefix's hosts file, ports through the port map, Windows error codes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win/Modules.h"
#include "platform/wsock32/WinSock.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/support/LoopWait.h"
#include "tests/support/LoopbackPeer.h"

namespace {

constexpr vcl::UINT WM_SOCKET = vcl::WM_USER + 1;
constexpr vcl::UINT WM_LOOKUP = vcl::WM_USER + 2;

struct TEvent {
    long Event;
    int Error;
};

class WinSockTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        win::RegisterWinSockModule();
        lib_ = win::LoadLibrary("WSOCK32.DLL");
        ASSERT_NE(lib_, nullptr);
        startup = Proc<win::TWSAStartup>("WSAStartup");
        cleanup = Proc<win::TWSACleanup>("WSACleanup");
        lastError = Proc<win::TWSAGetLastError>("WSAGetLastError");
        asyncSelect = Proc<win::TWSAAsyncSelect>("WSAAsyncSelect");
        getHostByName = Proc<win::TWSAAsyncGetHostByName>("WSAAsyncGetHostByName");
        cancel = Proc<win::TWSACancelAsyncRequest>("WSACancelAsyncRequest");
        socket = Proc<win::Tsocket>("socket");
        connect = Proc<win::Tconnect>("connect");
        send = Proc<win::Tsend>("send");
        recv = Proc<win::Trecv>("recv");
        closesocket = Proc<win::Tclosesocket>("closesocket");
        setsockopt = Proc<win::Tsetsockopt>("setsockopt");
        ioctl = Proc<win::Tioctlsocket>("ioctlsocket");
        htons = Proc<win::Thtons>("htons");
        inetAddr = Proc<win::Tinet_addr>("inet_addr");
        wnd_ = vcl::AllocateHWnd([this](vcl::TMessage& m) {
            if (m.Msg == WM_SOCKET)
                events_.push_back(TEvent{static_cast<long>(m.LParam & 0xFFFF), static_cast<int>((m.LParam >> 16) & 0xFFFF)});
            else if (m.Msg == WM_LOOKUP)
                lookups_.push_back(m);
        });
    }

    void TearDown() override
    {
        vcl::DeallocateHWnd(wnd_);
        while (win::WinSockStarted())
            cleanup();
        win::FreeLibrary(lib_);
        WinPrefixTest::TearDown();
    }

    template <class T>
    T Proc(const char* name)
    {
        auto proc = reinterpret_cast<T>(win::GetProcAddress(lib_, name));
        EXPECT_NE(proc, nullptr) << name;
        return proc;
    }

    void Start()
    {
        win::WSADATA data{};
        ASSERT_EQ(startup(0x0101, &data), 0);
    }

    win::sockaddr_in Loopback(uint16_t port)
    {
        win::sockaddr_in address{};
        address.sin_family = win::AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.S_addr = inetAddr("127.0.0.1");
        return address;
    }

    // A socket with every notification selected, its connection under way.
    win::SOCKET ConnectTo(uint16_t port)
    {
        win::SOCKET s = socket(win::AF_INET, win::SOCK_STREAM, win::IPPROTO_TCP);
        EXPECT_NE(s, win::INVALID_SOCKET);
        EXPECT_EQ(asyncSelect(s, wnd_, WM_SOCKET, win::FD_READ | win::FD_WRITE | win::FD_CONNECT | win::FD_CLOSE), 0);
        win::sockaddr_in to = Loopback(port);
        EXPECT_EQ(connect(s, reinterpret_cast<win::sockaddr*>(&to), sizeof to), win::SOCKET_ERROR);
        EXPECT_EQ(lastError(), win::WSAEWOULDBLOCK);
        return s;
    }

    int Count(long event) const
    {
        int count = 0;
        for (const TEvent& e : events_)
            count += e.Event == event;
        return count;
    }

    bool WaitForEvent(long event, int count = 1) { return LoopUntil([&] { return Count(event) >= count; }); }

    std::string Read(win::SOCKET s, int length)
    {
        std::string text(static_cast<size_t>(length), '\0');
        int got = recv(s, text.data(), length, 0);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return text;
    }

    win::TWSAStartup startup = nullptr;
    win::TWSACleanup cleanup = nullptr;
    win::TWSAGetLastError lastError = nullptr;
    win::TWSAAsyncSelect asyncSelect = nullptr;
    win::TWSAAsyncGetHostByName getHostByName = nullptr;
    win::TWSACancelAsyncRequest cancel = nullptr;
    win::Tsocket socket = nullptr;
    win::Tconnect connect = nullptr;
    win::Tsend send = nullptr;
    win::Trecv recv = nullptr;
    win::Tclosesocket closesocket = nullptr;
    win::Tsetsockopt setsockopt = nullptr;
    win::Tioctlsocket ioctl = nullptr;
    win::Thtons htons = nullptr;
    win::Tinet_addr inetAddr = nullptr;

    win::HMODULE lib_ = nullptr;
    vcl::HWND wnd_ = nullptr;
    std::vector<TEvent> events_;
    std::vector<vcl::TMessage> lookups_;
};

TEST_F(WinSockTest, StartupVersionsCleanupAndCallsBeforeStartup)
{
    EXPECT_EQ(socket(win::AF_INET, win::SOCK_STREAM, 0), win::INVALID_SOCKET);
    EXPECT_EQ(lastError(), win::WSANOTINITIALISED);
    win::WSADATA data{};
    EXPECT_EQ(startup(0x0001, &data), win::WSAVERNOTSUPPORTED);
    EXPECT_FALSE(win::WinSockStarted());
    EXPECT_EQ(startup(0x0202, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_EQ(cleanup(), 0);
    EXPECT_EQ(cleanup(), win::SOCKET_ERROR);
    EXPECT_EQ(lastError(), win::WSANOTINITIALISED);
    // Every function the socket component looks up is there.
    for (const char* name : {"WSASetLastError", "WSAAsyncGetHostByAddr", "gethostbyname", "getservbyname",
                             "getprotobyname", "bind", "listen", "accept", "shutdown", "sendto", "recvfrom",
                             "getsockname", "getpeername", "inet_ntoa", "ntohs"})
        EXPECT_NE(win::GetProcAddress(lib_, name), nullptr) << name;
}

TEST_F(WinSockTest, ReadWriteConnectAndCloseFollowWindowsRules)
{
    TLoopbackPeer peer([](int fd, TLoopbackPeer& p) {
        TLoopbackPeer::SendAll(fd, "hello");
        p.ReadBytes(fd, 3);
        TLoopbackPeer::SendAll(fd, "world");
    });
    Start();
    win::SOCKET s = ConnectTo(peer.Port());
    ASSERT_TRUE(WaitForEvent(win::FD_READ));
    ASSERT_GE(events_.size(), 3u);
    EXPECT_EQ(events_[0].Event, win::FD_CONNECT);
    EXPECT_EQ(events_[0].Error, 0);
    EXPECT_EQ(events_[1].Event, win::FD_WRITE);

    // Not read yet: no second FD_READ however long it waits.
    LoopFor(100);
    EXPECT_EQ(Count(win::FD_READ), 1);
    // A read that leaves data behind gives the next one; one that empties the socket does not.
    EXPECT_EQ(Read(s, 2), "he");
    ASSERT_TRUE(WaitForEvent(win::FD_READ, 2));
    EXPECT_EQ(Read(s, 100), "llo");
    LoopFor(100);
    EXPECT_EQ(Count(win::FD_READ), 2);

    EXPECT_EQ(send(s, "abc", 3, 0), 3);
    ASSERT_TRUE(WaitForEvent(win::FD_READ, 3));
    // The peer closed after "world", but FD_CLOSE waits until that has been read.
    LoopFor(100);
    EXPECT_EQ(Count(win::FD_CLOSE), 0);
    EXPECT_EQ(Read(s, 100), "world");
    ASSERT_TRUE(WaitForEvent(win::FD_CLOSE));
    EXPECT_EQ(events_.back().Error, 0);
    LoopFor(50);
    EXPECT_EQ(Count(win::FD_CLOSE), 1);
    EXPECT_EQ(Count(win::FD_WRITE), 1);  // no send would have blocked
    EXPECT_EQ(Count(win::FD_CONNECT), 1);
    EXPECT_EQ(peer.Received(), "abc");
    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(closesocket(s), win::SOCKET_ERROR);
    EXPECT_EQ(lastError(), win::WSAENOTSOCK);
}

TEST_F(WinSockTest, WriteEventComesAgainOnlyAfterASendWouldBlock)
{
    std::atomic<bool> drain{false};
    TLoopbackPeer peer([&](int fd, TLoopbackPeer& p) {
        while (!drain && !p.Stopping())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        p.WaitForClientClose(fd);
    });
    Start();
    win::SOCKET s = ConnectTo(peer.Port());
    ASSERT_TRUE(WaitForEvent(win::FD_WRITE));
    int small = 4096;
    setsockopt(s, win::SOL_SOCKET, win::SO_SNDBUF, reinterpret_cast<const char*>(&small), sizeof small);
    std::string block(65536, 'x');
    size_t total = 0;
    int result = 0;
    for (int i = 0; i < 1000; ++i) {
        result = send(s, block.data(), static_cast<int>(block.size()), 0);
        if (result == win::SOCKET_ERROR)
            break;
        total += static_cast<size_t>(result);
        LoopFor(1);
    }
    ASSERT_EQ(result, win::SOCKET_ERROR);
    EXPECT_EQ(lastError(), win::WSAEWOULDBLOCK);
    EXPECT_EQ(Count(win::FD_WRITE), 1);
    drain = true;
    ASSERT_TRUE(WaitForEvent(win::FD_WRITE, 2));
    closesocket(s);
    EXPECT_GT(total, 0u);
}

TEST_F(WinSockTest, RefusalAndResetAreReportedThroughNotifications)
{
    Start();
    win::SOCKET refused = ConnectTo(TLoopbackPeer::ClosedPort());
    ASSERT_TRUE(WaitForEvent(win::FD_CONNECT));
    EXPECT_EQ(events_[0].Error, win::WSAECONNREFUSED);
    LoopFor(50);
    EXPECT_EQ(events_.size(), 1u);  // neither a write nor a close event for a connection never made
    closesocket(refused);

    events_.clear();
    TLoopbackPeer peer([](int fd, TLoopbackPeer&) { TLoopbackPeer::ResetOnClose(fd); });
    win::SOCKET reset = ConnectTo(peer.Port());
    ASSERT_TRUE(WaitForEvent(win::FD_CLOSE));
    EXPECT_EQ(events_.back().Error, win::WSAECONNRESET);
    char byte;
    EXPECT_EQ(recv(reset, &byte, 1, 0), win::SOCKET_ERROR);
    EXPECT_EQ(lastError(), win::WSAECONNRESET);
    closesocket(reset);

    // Sending on a socket that never connected.
    win::SOCKET idle = socket(win::AF_INET, win::SOCK_STREAM, 0);
    EXPECT_EQ(send(idle, "x", 1, 0), win::SOCKET_ERROR);
    EXPECT_EQ(lastError(), win::WSAENOTCONN);
    closesocket(idle);
}

TEST_F(WinSockTest, PortMapSendsTheConnectionToAnotherPort)
{
    TLoopbackPeer peer(&TLoopbackPeer::Echo);
    uint16_t asked = TLoopbackPeer::ClosedPort();
    setenv("SCRIVANE_PORT_MAP", (std::to_string(asked) + "=" + std::to_string(peer.Port())).c_str(), 1);
    Start();
    win::SOCKET s = ConnectTo(asked);
    bool connected = WaitForEvent(win::FD_CONNECT);
    unsetenv("SCRIVANE_PORT_MAP");
    ASSERT_TRUE(connected);
    EXPECT_EQ(events_[0].Error, 0);
    EXPECT_EQ(send(s, "ping", 4, 0), 4);
    ASSERT_TRUE(WaitForEvent(win::FD_READ));
    win::u_long waiting = 0;
    EXPECT_EQ(ioctl(s, win::FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 4u);
    EXPECT_EQ(Read(s, 10), "ping");
    closesocket(s);
}

TEST_F(WinSockTest, NameLookupsAnswerThroughTheLoopAndHonourTheHostsFile)
{
    WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"), "# test\n127.0.0.7   Echo.Test.Example\n");
    Start();
    alignas(win::hostent) char buffer[win::MAXGETHOSTSTRUCT];
    win::HANDLE request = getHostByName(wnd_, WM_LOOKUP, "echo.test.example", buffer, sizeof buffer);
    ASSERT_NE(request, nullptr);
    EXPECT_TRUE(lookups_.empty());  // the answer is posted, never given inside the call
    ASSERT_TRUE(LoopUntil([&] { return !lookups_.empty(); }));
    EXPECT_EQ(lookups_[0].WParam, reinterpret_cast<uintptr_t>(request));
    EXPECT_EQ((lookups_[0].LParam >> 16) & 0xFFFF, 0);
    auto* host = reinterpret_cast<win::hostent*>(buffer);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    EXPECT_EQ(std::memcmp(host->h_addr_list[0], "\x7F\x00\x00\x07", 4), 0);
    EXPECT_EQ(host->h_addr_list[1], nullptr);

    // The host's resolver, on a thread of its own; the answer still comes through the loop.
    lookups_.clear();
    request = getHostByName(wnd_, WM_LOOKUP, "localhost", buffer, sizeof buffer);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(LoopUntil([&] { return !lookups_.empty(); }, 10000));
    EXPECT_EQ((lookups_[0].LParam >> 16) & 0xFFFF, 0);
    EXPECT_EQ(std::memcmp(host->h_addr_list[0], "\x7F\x00\x00\x01", 4), 0);

    // Too small a buffer; a cancelled request never answers.
    lookups_.clear();
    char tiny[16];
    getHostByName(wnd_, WM_LOOKUP, "echo.test.example", tiny, sizeof tiny);
    ASSERT_TRUE(LoopUntil([&] { return !lookups_.empty(); }));
    EXPECT_EQ((lookups_[0].LParam >> 16) & 0xFFFF, win::WSAENOBUFS);
    EXPECT_GT(lookups_[0].LParam & 0xFFFF, 16);
    lookups_.clear();
    request = getHostByName(wnd_, WM_LOOKUP, "localhost", buffer, sizeof buffer);
    EXPECT_EQ(cancel(request), 0);
    LoopFor(200);
    EXPECT_TRUE(lookups_.empty());
    EXPECT_EQ(cancel(request), win::SOCKET_ERROR);
}

}  // namespace
