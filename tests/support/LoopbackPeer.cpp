#include "tests/support/LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

int Listener(uint16_t& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("loopback peer: no socket");
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("loopback peer: cannot listen");
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0;
}

}  // namespace

TLoopbackPeer::TLoopbackPeer(TSession session) : session_(std::move(session))
{
    listener_ = Listener(port_);
    thread_ = std::thread([this] { Serve(); });
}

TLoopbackPeer::~TLoopbackPeer()
{
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

std::string TLoopbackPeer::Received()
{
    std::lock_guard lock(lock_);
    return received_;
}

void TLoopbackPeer::Note(const char* data, size_t length)
{
    std::lock_guard lock(lock_);
    received_.append(data, length);
}

void TLoopbackPeer::Serve()
{
    while (!stopping_) {
        if (!WaitReadable(listener_, 50))
            continue;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        session_(fd, *this);
        ::close(fd);
    }
}

void TLoopbackPeer::Echo(int fd, TLoopbackPeer& peer)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[4096];
    while (!peer.stopping_ && std::chrono::steady_clock::now() < deadline) {
        if (!WaitReadable(fd, 50))
            continue;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        peer.Note(buffer, static_cast<size_t>(got));
        if (!SendAll(fd, std::string(buffer, static_cast<size_t>(got))))
            return;
    }
}

bool TLoopbackPeer::ReadBytes(int fd, size_t count, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    size_t total = 0;
    while (total < count && !stopping_) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (!WaitReadable(fd, 50))
            continue;
        ssize_t got = ::recv(fd, buffer, std::min(sizeof buffer, count - total), 0);
        if (got <= 0)
            return true;
        Note(buffer, static_cast<size_t>(got));
        total += static_cast<size_t>(got);
    }
    return true;
}

bool TLoopbackPeer::SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void TLoopbackPeer::ResetOnClose(int fd)
{
    linger value{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &value, sizeof value);
}

bool TLoopbackPeer::WaitForClientClose(int fd, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
        if (!WaitReadable(fd, 50))
            continue;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return true;
        Note(buffer, static_cast<size_t>(got));
    }
    return false;
}

uint16_t TLoopbackPeer::ClosedPort()
{
    uint16_t port = 0;
    int fd = Listener(port);
    ::close(fd);
    return port;
}
