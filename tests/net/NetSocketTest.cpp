// The socket component against peers the tests start on 127.0.0.1: look-ups, connecting, sending in
// chunks with the echo arriving in order, refusal, the peer going away, and the component's error texts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "net/NetSocket.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/support/LoopWait.h"
#include "tests/support/LoopbackPeer.h"

using namespace net;

namespace {

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return bytes;
}

template <class F>
std::string MessageOf(F&& action)
{
    try {
        action();
    } catch (const ESocketException& e) {
        return e.Message();
    }
    return "<nothing raised>";
}

// A socket whose events are written down.
struct TRecorder {
    std::unique_ptr<TNetSocket> Socket = std::make_unique<TNetSocket>(nullptr);
    std::vector<std::pair<TSocketState, TSocketState>> States;
    std::vector<int> Connected, Closed, Lookups, Sends;
    std::vector<TSocketState> StateWhenConnected;
    int DataSent = 0;
    std::string Received;

    TRecorder()
    {
        TNetSocket* s = Socket.get();
        s->OnChangeState = [this](TObject*, TSocketState from, TSocketState to) { States.emplace_back(from, to); };
        s->OnSessionConnected = [this, s](TObject*, uint16_t error) {
            Connected.push_back(error);
            StateWhenConnected.push_back(s->State());
        };
        s->OnSessionClosed = [this](TObject*, uint16_t error) { Closed.push_back(error); };
        s->OnDnsLookupDone = [this](TObject*, uint16_t error) { Lookups.push_back(error); };
        s->OnSendData = [this](TObject*, int count) { Sends.push_back(count); };
        s->OnDataSent = [this](TObject*, uint16_t) { ++DataSent; };
        s->OnDataAvailable = [this, s](TObject*, uint16_t) { Received += s->ReceiveText(); };
    }

    void ConnectTo(const AnsiString& addr, uint16_t port)
    {
        Socket->SetAddr(addr);
        Socket->SetPort(std::to_string(port));
        Socket->Connect();
    }
};

class NetSocketTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        win::RegisterWinSockModule();
    }
};

TEST_F(NetSocketTest, LookupsOfAddressesNamesAndTheHostsFile)
{
    WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"), "127.0.0.9   Update.Example.Test\n");
    TRecorder r;
    // A dotted address answers inside the call, in its normal form.
    r.Socket->DnsLookup(" 127.0.0.1 ");
    EXPECT_EQ(r.Lookups, std::vector<int>{0});
    EXPECT_EQ(r.Socket->DnsResult(), "127.0.0.1");

    r.Socket->DnsLookup("update.example.test");
    EXPECT_EQ(r.Lookups.size(), 1u);  // a name answers later, through the loop
    ASSERT_TRUE(LoopUntil([&] { return r.Lookups.size() == 2; }));
    EXPECT_EQ(r.Lookups[1], 0);
    EXPECT_EQ(r.Socket->DnsResult(), "127.0.0.9");
    EXPECT_EQ(r.Socket->DnsResultList(), std::vector<AnsiString>{"127.0.0.9"});

    r.Socket->DnsLookup("localhost");
    ASSERT_TRUE(LoopUntil([&] { return r.Lookups.size() == 3; }, 10000));
    EXPECT_EQ(r.Lookups[2], 0);
    EXPECT_EQ(r.Socket->DnsResult(), "127.0.0.1");

    // An empty name: the error, or with OnError assigned the handler and a lookup failing with 10022.
    EXPECT_EQ(MessageOf([&] { r.Socket->DnsLookup(""); }), "DNS lookup: invalid host name.");
    int errors = 0;
    r.Socket->OnError = [&](TObject*) { ++errors; };
    r.Socket->DnsLookup("");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(r.Lookups.back(), 10022);
}

TEST_F(NetSocketTest, ConnectSendsInChunksAndTheEchoArrivesInOrder)
{
    TLoopbackPeer peer(&TLoopbackPeer::Echo);
    TRecorder r;
    r.ConnectTo("localhost", peer.Port());
    EXPECT_EQ(r.Socket->State(), wsConnecting);
    ASSERT_TRUE(LoopUntil([&] { return !r.Connected.empty(); }));
    EXPECT_EQ(r.Connected, std::vector<int>{0});
    EXPECT_EQ(r.Socket->State(), wsConnected);
    std::vector<std::pair<TSocketState, TSocketState>> states = {
        {wsClosed, wsOpened}, {wsOpened, wsConnecting}, {wsConnecting, wsConnected}};
    EXPECT_EQ(r.States, states);
    EXPECT_EQ(r.Socket->PeerAddr(), "127.0.0.1");
    EXPECT_EQ(r.Socket->PeerPort(), std::to_string(peer.Port()));
    EXPECT_EQ(MessageOf([&] { r.Socket->SetPort("81"); }), "Cannot change Port if not closed");

    int writesBefore = r.DataSent;
    const std::string data = Pattern(3000);
    EXPECT_EQ(r.Socket->Send(data.data(), static_cast<int>(data.size())), 3000);
    // One send per chunk of 1460 bytes; OnDataSent comes later, from the loop.
    EXPECT_EQ(r.Sends, (std::vector<int>{1460, 1460, 80}));
    EXPECT_TRUE(r.Socket->AllSent());
    EXPECT_EQ(r.DataSent, writesBefore);
    ASSERT_TRUE(LoopUntil([&] { return r.Received.size() >= data.size() && r.DataSent > writesBefore; }));
    EXPECT_EQ(r.Received, data);
    EXPECT_EQ(r.Socket->ReadCount(), 3000);

    r.Socket->Close();
    EXPECT_EQ(r.Socket->State(), wsClosed);
    EXPECT_EQ(r.Closed, std::vector<int>{0});
    LoopFor(50);
    EXPECT_EQ(r.Closed.size(), 1u);
    EXPECT_EQ(peer.Received(), data);
    // Closing again changes nothing; the connection's settings are back to their defaults.
    r.Socket->Close();
    EXPECT_EQ(r.Closed.size(), 1u);
    EXPECT_EQ(r.Socket->Addr(), "");
    EXPECT_EQ(r.Socket->LingerOnOff(), wsLingerOn);
}

TEST_F(NetSocketTest, RefusedConnectionConnectsWithTheErrorThenClosesOnce)
{
    TRecorder r;
    r.ConnectTo("127.0.0.1", TLoopbackPeer::ClosedPort());
    ASSERT_TRUE(LoopUntil([&] { return !r.Closed.empty(); }));
    EXPECT_EQ(r.Connected, std::vector<int>{10061});
    EXPECT_EQ(r.StateWhenConnected, std::vector<TSocketState>{wsConnected});
    LoopFor(50);
    EXPECT_EQ(r.Closed.size(), 1u);
    EXPECT_EQ(r.Socket->State(), wsClosed);
    EXPECT_EQ(NetSocketErrorDesc(10061), "Connection refused");

    // The report of a refusal raised by the library.
    wsock::WSASetLastError(10061);
    EXPECT_EQ(MessageOf([&] { r.Socket->ReportSocketError("Connect"); }),
              "Error 10061 in function Connect\r\nConnection refused");
    EXPECT_EQ(r.Socket->LastError(), 10061);
}

TEST_F(NetSocketTest, PeerClosingMidTransfer)
{
    // The peer sends a block and closes in order: everything arrives, then one close.
    const std::string block = Pattern(5000);
    TLoopbackPeer sender([&](int fd, TLoopbackPeer&) { TLoopbackPeer::SendAll(fd, block); });
    WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"), "127.0.0.1   sender.example.test\n");
    TRecorder a;
    a.ConnectTo("sender.example.test", sender.Port());  // resolved while connecting, through the hosts file
    ASSERT_TRUE(LoopUntil([&] { return !a.Closed.empty(); }));
    EXPECT_EQ(a.Received, block);
    EXPECT_EQ(a.Closed, std::vector<int>{0});
    EXPECT_EQ(a.Socket->State(), wsClosed);

    // The peer takes a little of a long transfer and resets: the socket closes once, with the error.
    TLoopbackPeer taker([](int fd, TLoopbackPeer& p) {
        p.ReadBytes(fd, 1000);
        TLoopbackPeer::ResetOnClose(fd);
    });
    TRecorder b;
    b.ConnectTo("127.0.0.1", taker.Port());
    ASSERT_TRUE(LoopUntil([&] { return !b.Connected.empty(); }));
    const std::string big = Pattern(4 << 20);
    b.Socket->Send(big.data(), static_cast<int>(big.size()));
    ASSERT_TRUE(LoopUntil([&] { return !b.Closed.empty(); }));
    ASSERT_EQ(b.Closed.size(), 1u);
    EXPECT_TRUE(b.Closed[0] == 10054 || b.Closed[0] == 10053) << b.Closed[0];
    EXPECT_EQ(b.Socket->State(), wsClosed);
    LoopFor(50);
    EXPECT_EQ(b.Closed.size(), 1u);
    EXPECT_EQ(MessageOf([&] { b.Socket->Send("x", 1); }), "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(b.Closed.size(), 1u);  // no second close event for a socket closed before
}

// Sends far more than the network holds, closes while the peer is not reading, and gives what the peer
// got in the end against what the library had accepted.
std::pair<size_t, size_t> CloseWhilePeerWaits(TSocketLingerOnOff linger)
{
    std::atomic<bool> closed{false}, finished{false};
    TLoopbackPeer peer([&](int fd, TLoopbackPeer& p) {
        for (int i = 0; i < 500 && !closed && !p.Stopping(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        p.ReadBytes(fd, SIZE_MAX, 5000);  // to the end of the connection, however it ends
        finished = true;
    });
    TRecorder r;
    r.Socket->SetLingerOnOff(linger);
    r.ConnectTo("127.0.0.1", peer.Port());
    if (!LoopUntil([&] { return !r.Connected.empty(); }))
        return {0, 0};
    const std::string data = Pattern(32 << 20);
    r.Socket->Send(data.data(), static_cast<int>(data.size()));
    LoopFor(50);
    size_t accepted = 0;
    for (int count : r.Sends)
        accepted += static_cast<size_t>(count);
    r.Socket->Close();
    closed = true;
    LoopUntil([&] { return finished.load(); });
    return {peer.Received().size(), accepted};
}

TEST_F(NetSocketTest, ClosingResetsTheConnectionAndDropsWhatWasNotSent)
{
    auto [received, accepted] = CloseWhilePeerWaits(wsLingerOn);
    EXPECT_GT(accepted, 0u);
    EXPECT_LT(received, accepted);
    // Without lingering the host delivers what it had accepted, after the close.
    auto [all, acceptedToo] = CloseWhilePeerWaits(wsLingerOff);
    EXPECT_GT(acceptedToo, 0u);
    EXPECT_EQ(all, acceptedToo);
}

TEST_F(NetSocketTest, AHandlerThatReadsNothingDoesNotHoldTheLoop)
{
    TLoopbackPeer peer([](int fd, TLoopbackPeer& p) {
        TLoopbackPeer::SendAll(fd, "abc");
        p.WaitForClientClose(fd);
    });
    TRecorder r;
    int calls = 0;
    r.Socket->OnDataAvailable = [&](TObject*, uint16_t) { ++calls; };
    r.ConnectTo("127.0.0.1", peer.Port());
    ASSERT_TRUE(LoopUntil([&] { return calls > 0; }));
    LoopFor(50);
    EXPECT_EQ(calls, 1);  // asked once; the data waits for a read
    EXPECT_EQ(r.Socket->RcvdCount(), 3);
    EXPECT_EQ(r.Socket->ReceiveText(), "abc");
    r.Socket->Close();
}

TEST_F(NetSocketTest, ChecksRaiseTheirTextsOrGoToOnError)
{
    TNetSocket socket(nullptr);
    EXPECT_EQ(MessageOf([&] { socket.Connect(); }), "Connect: No Port Specified");
    socket.SetPort("80");
    EXPECT_EQ(MessageOf([&] { socket.Connect(); }), "Connect: No IP Address Specified");
    socket.SetAddr("127.0.0.1");
    socket.SetProto("");
    EXPECT_EQ(MessageOf([&] { socket.Connect(); }), "Connect: No Protocol Specified");
    socket.SetProto("tcp");
    socket.SetPort("");
    socket.SetPort("http-nonexistent-service");
    EXPECT_EQ(MessageOf([&] { socket.Connect(); }).rfind("connect: NetSocketResolvePort: Cannot convert port "
                                                         "'http-nonexistent-service', Error #",
                                                         0),
              0u);
    EXPECT_EQ(MessageOf([&] { socket.SetLocalAddr("1.2.3"); }), "SetLocalAddr(): Invalid IP address");
    EXPECT_EQ(MessageOf([&] { socket.SetSendFlags(static_cast<TSocketSendFlags>(7)); }), "Invalid SendFlags");

    int errors = 0;
    socket.OnError = [&](TObject*) { ++errors; };
    socket.SetLocalAddr("1.2.3");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LocalAddr(), "0.0.0.0");

    EXPECT_EQ(MessageOf([] { NetSocketResolvePort("", "tcp"); }), "NetSocketResolvePort: Invalid Port.");
    EXPECT_EQ(MessageOf([] { NetSocketResolvePort("80", ""); }), "NetSocketResolvePort: Invalid Proto.");
    EXPECT_EQ(NetSocketResolvePort("  8080abc", "tcp"), 8080);
    EXPECT_EQ(NetSocketResolveProto("17"), 17);
    EXPECT_EQ(MessageOf([] { NetSocketResolveProto(""); }), "NetSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(MessageOf([] { NetSocketResolveHost(""); }), "NetSocketResolveHost: '' Invalid Hostname.");
    EXPECT_EQ(NetSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
}

TEST_F(NetSocketTest, DottedAddressesAndErrorDescriptions)
{
    EXPECT_TRUE(NetSocketIsDottedIP(" 10.0.0.1 "));
    EXPECT_TRUE(NetSocketIsDottedIP("255.255.255.255"));
    EXPECT_FALSE(NetSocketIsDottedIP(".1.2.3"));
    EXPECT_FALSE(NetSocketIsDottedIP("1.2.3"));
    EXPECT_FALSE(NetSocketIsDottedIP("1.2.3.256"));
    EXPECT_FALSE(NetSocketIsDottedIP("1.2.3.4.5"));
    EXPECT_FALSE(NetSocketIsDottedIP("www.example.test"));
    EXPECT_EQ(NetSocketErrorDesc(0), "No Error");
    EXPECT_EQ(NetSocketErrorDesc(10035), "Operation would block");
    EXPECT_EQ(NetSocketErrorDesc(10093), "WinSock not initialized");
    EXPECT_EQ(NetSocketErrorDesc(11004), "No Data");
    EXPECT_EQ(NetSocketErrorDesc(10072), "Not a WinSock error");
    EXPECT_EQ(NetSocketErrorDesc(-1), "Not a WinSock error");
}

TEST_F(NetSocketTest, ExceptionInTheHiddenWindowGoesToTheBackgroundHandler)
{
    TNetSocket socket(nullptr);
    std::string seen;
    socket.OnBgException = [&](TObject*, rtl::Exception& e, bool& canClose) {
        seen = e.Message();
        canClose = false;
    };
    vcl::PostMessage(socket.Handle(), WM_TEST_EXCEPTION, 0, 0);
    ASSERT_TRUE(LoopUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "Test exception in NetSocket");
}

}  // namespace
