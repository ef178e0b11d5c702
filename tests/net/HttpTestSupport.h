#pragma once
// What the HTTP and SOCKS tests share: a prefix whose hosts file sends the maker's host to 127.0.0.1 and
// whose port map sends port 80 to a loopback server of the test, answer sessions for that server, and
// real proxy programs started on loopback and always stopped.

#include <chrono>
#include <cstdlib>
#include <string>

#include "net/HttpClient.h"
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

