// The socket's SOCKS and line layers: the version request through real proxies on loopback (one with a
// user name and password over SOCKS 5, one over SOCKS 4), proxies that answer wrongly, and lines.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/net/HttpTestSupport.h"
#include "tests/support/LoopWait.h"

using namespace net;

namespace {

const char* const VersionUrl = "http://www.example.com/products/applications/scrivane/version.txt";
const std::string VersionAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n1.0.0.56\r\n";

std::string FetchVersion(THttpClient& http, std::string& error)
{
    rtl::TMemoryStream body;
    http.SetURL(VersionUrl);
    http.SetResponseTimeout(5000);
    http.SetConnectTimeout(5000);
    http.ReceiveStream = &body;
    try {
        http.Get();
    } catch (const EHttpException& e) {
        error = e.Message();
    }
    http.ReceiveStream = nullptr;
    return std::string(reinterpret_cast<const char*>(body.Memory()), static_cast<size_t>(body.Size()));
}

class SocksTest : public HttpPrefixTest {
protected:
    void SetUp() override
    {
        HttpPrefixTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "scrivane-socks-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        HttpPrefixTest::TearDown();
    }
    std::string folder_;
};

// A SOCKS 5 proxy of the test's own that answers each step with the given bytes.
TLoopbackPeer::TSession FakeSocks5(std::string methodReply, std::string connectReply)
{
    return [=](int fd, TLoopbackPeer& peer) {
        if (!peer.ReadBytes(fd, 3))
            return;
        TLoopbackPeer::SendAll(fd, methodReply);
        if (connectReply.empty() || !peer.ReadBytes(fd, 5))
            return;
        TLoopbackPeer::SendAll(fd, connectReply);
        peer.WaitForClientClose(fd, 3000);
    };
}

struct TSocksRecorder {
    std::unique_ptr<TNetSocket> Socket = std::make_unique<TNetSocket>(nullptr);
    std::vector<int> Connected, SocksErrors;
    std::vector<std::string> Messages;
    std::string Received;
    TSocksRecorder(uint16_t proxyPort)
    {
        Socket->SetSocksServer(" 127.0.0.1 ");
        Socket->SetSocksPort(std::to_string(proxyPort));
        Socket->OnSessionConnected = [this](TObject*, uint16_t e) { Connected.push_back(e); };
        Socket->OnSocksError = [this](TObject*, int e, const AnsiString& m) {
            SocksErrors.push_back(e);
            Messages.push_back(m);
        };
        Socket->OnDataAvailable = [this](TObject*, uint16_t) { Received += Socket->ReceiveText(); };
    }
};

}  // namespace

TEST_F(SocksTest, TheVersionRequestThroughARealSocks5ProxyWithAPassword)
{
    if (!std::filesystem::exists("/usr/bin/microsocks"))
        GTEST_SKIP() << "microsocks is not installed";
    TLoopbackPeer web(Answer(VersionAnswer));
    SendPort80To(web.Port());
    uint16_t proxyPort = TLoopbackPeer::ClosedPort();
    TServerProcess proxy({"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(proxyPort), "-u", "author",
                          "-P", "s3cret"});
    ASSERT_TRUE(proxy.Started());
    ASSERT_TRUE(TServerProcess::WaitForPort(proxyPort));

    THttpClient http(nullptr);
    TNetSocket& socket = http.CtrlSocket();
    socket.SetSocksServer("127.0.0.1");
    socket.SetSocksPort(std::to_string(proxyPort));
    socket.SetSocksLevel("5");
    socket.SetSocksAuthentication(socksAuthenticateUsercode);
    socket.SetSocksUsercode("author");
    socket.SetSocksPassword("s3cret");
    std::vector<TSocksAuthState> auth;
    socket.OnSocksAuthState = [&](TObject*, TSocksAuthState s) { auth.push_back(s); };
    std::string error;
    EXPECT_EQ(FetchVersion(http, error), "1.0.0.56\r\n");
    EXPECT_EQ(error, "");
    EXPECT_EQ(web.Received(), VersionRequest);
    EXPECT_EQ(auth, (std::vector<TSocksAuthState>{socksAuthStart, socksAuthSuccess}));

    socket.SetSocksPassword("wrong");
    error.clear();
    FetchVersion(http, error);
    EXPECT_NE(error, "");
    EXPECT_EQ(web.Received(), VersionRequest);  // nothing more reached the server
}

TEST_F(SocksTest, TheVersionRequestThroughARealSocks4Proxy)
{
    if (!std::filesystem::exists("/usr/sbin/danted"))
        GTEST_SKIP() << "danted is not installed";
    TLoopbackPeer web(Answer(VersionAnswer));
    SendPort80To(web.Port());
    uint16_t proxyPort = TLoopbackPeer::ClosedPort();
    const std::string config = folder_ + "/danted.conf";
    std::ofstream(config) << "logoutput: " << folder_ << "/danted.log\n"
                          << "internal: 127.0.0.1 port = " << proxyPort << "\n"
                          << "external: 127.0.0.1\n"
                          << "clientmethod: none\nsocksmethod: none\n"
                          << (getuid() == 0 ? "user.privileged: root\nuser.unprivileged: nobody\n" : "")
                          << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
                          << "socks pass {\n  from: 127.0.0.0/8 to: 127.0.0.0/8\n  command: connect\n"
                          << "  protocol: tcp\n  socksmethod: none\n}\n";
    TServerProcess proxy({"/usr/sbin/danted", "-f", config, "-N", "1", "-p", folder_ + "/danted.pid"});
    ASSERT_TRUE(proxy.Started());
    ASSERT_TRUE(TServerProcess::WaitForPort(proxyPort));

    THttpClient http(nullptr);
    http.CtrlSocket().SetSocksServer("127.0.0.1");
    http.CtrlSocket().SetSocksPort(std::to_string(proxyPort));
    http.CtrlSocket().SetSocksLevel("4");
    std::vector<int> proxyConnected;
    http.CtrlSocket().OnSocksConnected = [&](TObject*, uint16_t e) { proxyConnected.push_back(e); };
    std::string error;
    EXPECT_EQ(FetchVersion(http, error), "1.0.0.56\r\n");
    EXPECT_EQ(error, "");
    EXPECT_EQ(web.Received(), VersionRequest);
    EXPECT_EQ(proxyConnected, std::vector<int>{0});  // the way went through the proxy
}

TEST_F(SocksTest, ProxiesThatAnswerWronglyAreRefusedWithTheirCodes)
{
    struct TCase {
        const char* Name;
        std::string MethodReply, ConnectReply;
        int Code;
        std::string Message;
    };
    const std::string longName(200, 'n');
    const std::vector<TCase> cases = {
        {"no acceptable method", std::string("\x05\xFF", 2), "", 20003, "authentification method not acceptable"},
        {"wrong version", std::string("\x04\x00", 2), "", 20002, "socks version error"},
        {"refused", std::string("\x05\x00", 2), std::string("\x05\x05\x00\x01\0\0\0\0\0\0", 10), 20008,
         "connection refused"},
        {"unassigned code", std::string("\x05\x00", 2), std::string("\x05\x21\x00\x01\0\0\0\0\0\0", 10), 20012,
         "unassigned error #33"},
        {"IPv6 bound address", std::string("\x05\x00", 2), std::string("\x05\x00\x00\x04", 4) + std::string(18, '\0'),
         20011, "address type not supported"},
        {"bound name longer than the reply buffer", std::string("\x05\x00", 2),
         std::string("\x05\x00\x00\x03\xC8", 5) + longName + std::string(2, '\0'), 20001, "socks reply too long"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLoopbackPeer proxy(FakeSocks5(c.MethodReply, c.ConnectReply));
        TSocksRecorder r(proxy.Port());
        r.Socket->SetAddr("127.0.0.1");
        r.Socket->SetPort("80");
        r.Socket->Connect();
        ASSERT_TRUE(LoopUntil([&] { return !r.Connected.empty(); }));
        EXPECT_EQ(r.Connected, std::vector<int>{c.Code});
        EXPECT_EQ(r.SocksErrors, std::vector<int>{c.Code});
        ASSERT_EQ(r.Messages.size(), 1u);
        EXPECT_EQ(r.Messages[0], c.Message);
        EXPECT_TRUE(LoopUntil([&] { return r.Socket->State() == wsClosed; }));
    }
}

TEST_F(SocksTest, AGrantedReplyInPiecesHandsOnTheDataBehindItAndNamesAreBounded)
{
    TLoopbackPeer proxy([](int fd, TLoopbackPeer& peer) {
        if (!peer.ReadBytes(fd, 3))
            return;
        TLoopbackPeer::SendAll(fd, std::string("\x05", 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        TLoopbackPeer::SendAll(fd, std::string("\x00", 1));
        if (!peer.ReadBytes(fd, 7 + 9))  // 5 1 0 3, the length, "127.0.0.1", the port
            return;
        TLoopbackPeer::SendAll(fd, std::string("\x05\x00\x00\x03\x04ho", 7));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        TLoopbackPeer::SendAll(fd, "st\x1F\x90hello");  // the reply's end and the first data together
        peer.WaitForClientClose(fd, 3000);
    });
    TSocksRecorder r(proxy.Port());
    r.Socket->SetAddr("127.0.0.1");
    r.Socket->SetPort("8080");
    r.Socket->Connect();
    ASSERT_TRUE(LoopUntil([&] { return r.Received == "hello"; }));
    EXPECT_EQ(r.Connected, std::vector<int>{0});
    EXPECT_EQ(r.Socket->BoundAddr(), "host");
    EXPECT_EQ(r.Socket->BoundPort(), "8080");
    EXPECT_EQ(proxy.Received(), std::string("\x05\x01\x00\x05\x01\x00\x03\x09", 8) + "127.0.0.1" + "\x1F\x90");
    EXPECT_THROW(r.Socket->SetSocksLevel("4"), ESocketException);  // only while closed
    r.Socket->Close();

    // A host name that one length byte cannot carry is refused before anything is sent.
    TSocksRecorder big(proxy.Port());
    big.Socket->SetAddr(std::string(256, 'h'));
    big.Socket->SetPort("80");
    EXPECT_THROW(big.Socket->Connect(), ESocketException);
    EXPECT_EQ(big.Socket->State(), wsClosed);
    EXPECT_THROW(big.Socket->SetSocksLevel("6"), ESocketException);
    EXPECT_THROW(big.Socket->Listen(), ESocketException);
}

TEST_F(SocksTest, LineModeHandsOverWholeLinesAndTheRestAtTheClose)
{
    TLoopbackPeer peer([](int fd, TLoopbackPeer&) {
        TLoopbackPeer::SendAll(fd, "a\r");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        TLoopbackPeer::SendAll(fd, "\nb\r\nc");
    });
    TNetSocket socket(nullptr);
    socket.SetLineMode(true);
    std::vector<std::string> lines;
    bool closed = false;
    socket.OnDataAvailable = [&](TObject*, uint16_t) { lines.push_back(socket.ReceiveText()); };
    socket.OnSessionClosed = [&](TObject*, uint16_t) { closed = true; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(std::to_string(peer.Port()));
    socket.Connect();
    ASSERT_TRUE(LoopUntil([&] { return closed; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"a\r\n", "b\r\n", "c"}));
}

TEST_F(SocksTest, AProxyThatNeverGrantsEndsTheRequestAtTheConnectTimeOut)
{
    TLoopbackPeer proxy([](int fd, TLoopbackPeer& peer) {
        peer.ReadBytes(fd, 3);
        peer.WaitForClientClose(fd, 5000);
    });
    THttpClient http(nullptr);
    http.CtrlSocket().SetSocksServer("127.0.0.1");
    http.CtrlSocket().SetSocksPort(std::to_string(proxy.Port()));
    http.SetConnectTimeout(300);
    http.SetURL(VersionUrl);
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(http.Get(), EHttpException);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(250));
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(http.RequestError(), 10060);
}

TEST_F(SocksTest, WaitingEndsWithTheFlagOrAtTheTimeOut)
{
    TNetSocket socket(nullptr);
    bool flag = false;
    socket.SetTimeout(200);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket.WaitUntilReady(flag), WaitTimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));

    TLoopbackPeer peer(TLoopbackPeer::Echo);
    socket.SetTimeout(5000);
    socket.OnSessionConnected = [&](TObject*, uint16_t) { flag = true; };
    EXPECT_EQ(socket.Synchronize(
                  [&] {
                      socket.SetAddr("127.0.0.1");
                      socket.SetPort(std::to_string(peer.Port()));
                      socket.Connect();
                  },
                  flag),
              0);
    EXPECT_EQ(socket.State(), wsConnected);
}
