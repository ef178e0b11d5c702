#pragma once
// What the HTTP and SOCKS tests share: a prefix whose hosts file sends the maker's host to 127.0.0.1 and
// whose port map sends port 80 to a loopback server of the test, answer sessions for that server, and
// real proxy programs started on loopback and always stopped.

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/HttpClient.h"
#include "platform/vcl/Messages.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/LoopWait.h"
#include "tests/support/LoopbackPeer.h"

// The version check's request, byte for byte.
inline const std::string VersionRequest =
    "GET /products/applications/scrivane/version.txt HTTP/1.0\r\n"
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
    "User-Agent: Mozilla/3.0 (compatible)\r\n"
    "Host: www.example.com\r\n"
    "\r\n";

class HttpPrefixTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        win::RegisterWinSockModule();
        WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"), "127.0.0.1   www.example.com\n");
    }
    void TearDown() override
    {
        unsetenv("SCRIVANE_PORT_MAP");
        WinPrefixTest::TearDown();
    }
    // The maker's port 80 is `port` on loopback from now on.
    static void SendPort80To(uint16_t port) { setenv("SCRIVANE_PORT_MAP", ("80=" + std::to_string(port)).c_str(), 1); }
};

// Reads one request header (up to its empty line) and gives it back; empty on time-out or close.
inline std::string ReadRequest(int fd, TLoopbackPeer& peer, int timeoutMs = 5000)
{
    const size_t before = peer.Received().size();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline && !peer.Stopping()) {
        const size_t had = peer.Received().size();
        if (!peer.ReadBytes(fd, 1, timeoutMs))
            return std::string();
        std::string got = peer.Received().substr(before);
        if (got.size() >= 4 && got.compare(got.size() - 4, 4, "\r\n\r\n") == 0)
            return got;
        if (peer.Received().size() == had)
            return std::string();  // the client closed
    }
    return std::string();
}

// A session that reads the request and sends `answer`, then closes.
inline TLoopbackPeer::TSession Answer(std::string answer)
{
    return [answer](int fd, TLoopbackPeer& peer) {
        if (!ReadRequest(fd, peer).empty())
            TLoopbackPeer::SendAll(fd, answer);
    };
}


// Measures how long the message loop leaves a 10 ms timer waiting: the longest gap between its ticks.
class TLoopGapWatch {
public:
    TLoopGapWatch() : timer_(nullptr)
    {
        timer_.SetInterval(10);
        timer_.OnTimer = [this](vcl::TObject*) {
            const auto now = std::chrono::steady_clock::now();
            if (now - last_ > longest_)
                longest_ = now - last_;
            last_ = now;
        };
        timer_.SetEnabled(true);
    }
    // The longest gap, the one still open included.
    std::chrono::milliseconds Longest() const
    {
        auto open = std::chrono::steady_clock::now() - last_;
        return std::chrono::duration_cast<std::chrono::milliseconds>(open > longest_ ? open : longest_);
    }

private:
    vcl::TTimer timer_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longest_{};
};

// A session that answers with a status line and then header lines for as long as the client reads (at
// most `limitBytes`, at most 10 s).
inline TLoopbackPeer::TSession EndlessHeader(size_t limitBytes = 256u << 20)
{
    return [limitBytes](int fd, TLoopbackPeer& peer) {
        if (ReadRequest(fd, peer).empty() || !TLoopbackPeer::SendAll(fd, "HTTP/1.0 200 OK\r\n"))
            return;
        const std::string lines = [] {
            std::string block;
            while (block.size() < 60000)
                block += "X-Padding: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
            return block;
        }();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (size_t sent = 0; sent < limitBytes && !peer.Stopping() && std::chrono::steady_clock::now() < end;
             sent += lines.size())
            if (!TLoopbackPeer::SendAll(fd, lines))
                return;
    };
}

// A session that reads the request and then sends `bytes` one at a time, `everyMs` apart (bounded).
inline TLoopbackPeer::TSession Trickle(std::string bytes, int everyMs)
{
    return [bytes, everyMs](int fd, TLoopbackPeer& peer) {
        if (ReadRequest(fd, peer).empty())
            return;
        for (char c : bytes) {
            if (peer.Stopping() || !TLoopbackPeer::SendAll(fd, std::string(1, c)))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
        }
    };
}
