#pragma once
// Servers the download tests start for themselves, on 127.0.0.1 only, each stopped by its destructor:
// a real FTP server (pyftpdlib, in a child process) and a scripted HTTP server (a thread of the test),
// which also serves scripted FTP exchanges.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// pyftpdlib serving an anonymous user (read-only, in `anonymousRoot`) and one named user (in `userRoot`).
class TFtpTestServer {
public:
    TFtpTestServer(const std::string& anonymousRoot, const std::string& userRoot, const std::string& user,
                   const std::string& password);
    ~TFtpTestServer();
    TFtpTestServer(const TFtpTestServer&) = delete;
    TFtpTestServer& operator=(const TFtpTestServer&) = delete;
    uint16_t Port() const { return port_; }

private:
    // Closes its input (the server then ends), waits, and kills it only when it will not go.
    void Stop();

    pid_t pid_ = -1;
    int toServer_ = -1;    // closing it ends the server
    int fromServer_ = -1;
    uint16_t port_ = 0;
};

// One connection of the scripted HTTP server, handed to the script after the request head was read.
class THttpExchange {
public:
    explicit THttpExchange(int socket, const std::atomic<bool>& stopping) : socket_(socket), stopping_(stopping) {}
    void Send(const std::string& bytes);
    // Sends nothing for `duration` (or until the server stops).
    void Stall(std::chrono::milliseconds duration);
    // Sends `bytes` one at a time, `pause` apart, until all went, the client left or the server stops.
    void Trickle(const std::string& bytes, std::chrono::milliseconds pause);
    // The client's next line without its CR LF; empty when it sent none within `limit` or left.
    std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    int socket_;
    const std::atomic<bool>& stopping_;
    std::string pending_;  // read past the last line
};

class THttpTestServer {
public:
    using TScript = std::function<void(const std::string& requestHead, THttpExchange& exchange)>;

    // With `clientSpeaksFirst` false the script runs as soon as a client connects, with an empty head
    // (for servers that greet, as FTP's do).
    explicit THttpTestServer(TScript script, bool clientSpeaksFirst = true);
    ~THttpTestServer();
    THttpTestServer(const THttpTestServer&) = delete;
    THttpTestServer& operator=(const THttpTestServer&) = delete;
    uint16_t Port() const { return port_; }
    // The request heads received so far, in order.
    std::vector<std::string> Requests();

    // "HTTP/1.1 <status>" with the headers given, "Connection: close" and the body.
    static std::string Answer(const std::string& status, const std::string& body, bool withLength = true);

private:
    void Serve();
    void ServeConnection(int socket);

    TScript script_;
    bool clientSpeaksFirst_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::vector<std::string> requests_;
    std::thread thread_;
    std::vector<std::thread> connections_;  // touched by the serving thread only, until it has ended
};
