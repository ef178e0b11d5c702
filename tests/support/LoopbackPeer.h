#pragma once
// A TCP server the socket tests start for themselves on 127.0.0.1, one connection at a time, each handed
// to a session function on the server's thread. Every wait inside has a time-out; the destructor stops the
// server and joins its thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TLoopbackPeer {
public:
    // A session gets the connected descriptor; the server closes it when the session returns.
    using TSession = std::function<void(int fd, TLoopbackPeer& peer)>;

    explicit TLoopbackPeer(TSession session);
    ~TLoopbackPeer();
    TLoopbackPeer(const TLoopbackPeer&) = delete;
    TLoopbackPeer& operator=(const TLoopbackPeer&) = delete;

    uint16_t Port() const { return port_; }
    bool Stopping() const { return stopping_; }
    // What the sessions received, in order.
    std::string Received();

    // Session helpers (all bounded by `timeoutMs` and by the server stopping).
    // Sends back whatever arrives until the client closes.
    static void Echo(int fd, TLoopbackPeer& peer);
    // Reads `count` bytes (fewer when the client closes first); false on time-out.
    bool ReadBytes(int fd, size_t count, int timeoutMs = 5000);
    static bool SendAll(int fd, const std::string& bytes);
    // The server's close will reset the connection instead of ending it in order.
    static void ResetOnClose(int fd);
    // Waits until the client closes (or the time-out).
    bool WaitForClientClose(int fd, int timeoutMs = 5000);
    // A port on 127.0.0.1 where nothing listens (bound, then released).
    static uint16_t ClosedPort();

private:
    void Serve();
    void Note(const char* data, size_t length);

    TSession session_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::string received_;
    std::thread thread_;
};
