#include "platform/wsock32/HostSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace win::host {

namespace {

sockaddr_in ToHost(const TAddress& address)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = address.Port;
    in.sin_addr.s_addr = address.Ip;
    return in;
}

TAddress FromHost(const sockaddr_in& in)
{
    return TAddress{in.sin_addr.s_addr, in.sin_port};
}

int LastError()
{
    return WinSockError(errno);
}

}  // namespace

int WinSockError(int hostErrno)
{
    switch (hostErrno) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10038;  // a closed handle is no socket to Windows
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10035;  // a non-blocking connect "would block" on Windows
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case EPIPE: return 10054;  // the peer is gone
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return 10022;
    }
}

int Socket(bool datagram, int protocol, int& error)
{
    int fd = ::socket(AF_INET, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, protocol);
    if (fd < 0)
        error = LastError();
    return fd;
}

int Close(int fd)
{
    return ::close(fd) == 0 ? 0 : LastError();
}

bool SetNonBlocking(int fd, int& error)
{
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        error = LastError();
        return false;
    }
    return true;
}

bool SetOption(int fd, TOption option, int value, int seconds, int& error)
{
    int result = -1;
    switch (option) {
    case TOption::ReuseAddr: result = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value); break;
    case TOption::KeepAlive: result = ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value); break;
    case TOption::Broadcast: result = ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value); break;
    case TOption::SendBuffer: result = ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &value, sizeof value); break;
    case TOption::ReceiveBuffer: result = ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &value, sizeof value); break;
    case TOption::NoDelay: result = ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value); break;
    case TOption::MulticastTtl: result = ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &value, sizeof value); break;
    case TOption::Linger: {
        ::linger linger{value != 0 ? 1 : 0, seconds};
        result = ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &linger, sizeof linger);
        break;
    }
    case TOption::AddMembership: {
        // `value` is the group, `seconds` the interface, both in network byte order.
        ip_mreq request{};
        request.imr_multiaddr.s_addr = static_cast<uint32_t>(value);
        request.imr_interface.s_addr = static_cast<uint32_t>(seconds);
        result = ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
        break;
    }
    }
    if (result != 0)
        error = LastError();
    return result == 0;
}

bool Bind(int fd, const TAddress& address, int& error)
{
    sockaddr_in in = ToHost(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0) {
        error = LastError();
        return false;
    }
    return true;
}

int Connect(int fd, const TAddress& address)
{
    sockaddr_in in = ToHost(address);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) == 0 ? 0 : LastError();
}

bool Listen(int fd, int backlog, int& error)
{
    if (::listen(fd, backlog) != 0) {
        error = LastError();
        return false;
    }
    return true;
}

int Accept(int fd, TAddress& peer, int& error)
{
    sockaddr_in in{};
    socklen_t length = sizeof in;
    int accepted = ::accept4(fd, reinterpret_cast<sockaddr*>(&in), &length, SOCK_CLOEXEC);
    if (accepted < 0)
        error = LastError();
    else
        peer = FromHost(in);
    return accepted;
}

bool Shutdown(int fd, int how, int& error)
{
    int hostHow = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(fd, hostHow) != 0) {
        error = LastError();
        return false;
    }
    return true;
}

bool LocalAddress(int fd, TAddress& address, int& error)
{
    sockaddr_in in{};
    socklen_t length = sizeof in;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&in), &length) != 0) {
        error = LastError();
        return false;
    }
    address = FromHost(in);
    return true;
}

bool PeerAddress(int fd, TAddress& address, int& error)
{
    sockaddr_in in{};
    socklen_t length = sizeof in;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&in), &length) != 0) {
        error = LastError();
        return false;
    }
    address = FromHost(in);
    return true;
}

int PendingError(int fd)
{
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &value, &length) != 0)
        return LastError();
    return WinSockError(value);
}

long Send(int fd, const char* data, size_t length, bool urgent, int& error)
{
    // Never a signal for a peer that went away: the caller gets the error instead.
    ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL | (urgent ? MSG_OOB : 0));
    if (sent < 0)
        error = LastError();
    return sent;
}

long SendTo(int fd, const char* data, size_t length, const TAddress& to, int& error)
{
    sockaddr_in in = ToHost(to);
    ssize_t sent = ::sendto(fd, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&in), sizeof in);
    if (sent < 0)
        error = LastError();
    return sent;
}

long Receive(int fd, char* buffer, size_t length, bool peek, bool urgent, int& error)
{
    ssize_t got = ::recv(fd, buffer, length, (peek ? MSG_PEEK : 0) | (urgent ? MSG_OOB : 0));
    if (got < 0)
        error = LastError();
    return got;
}

long ReceiveFrom(int fd, char* buffer, size_t length, bool peek, TAddress& from, int& error)
{
    sockaddr_in in{};
    socklen_t size = sizeof in;
    ssize_t got = ::recvfrom(fd, buffer, length, peek ? MSG_PEEK : 0, reinterpret_cast<sockaddr*>(&in), &size);
    if (got < 0)
        error = LastError();
    else
        from = FromHost(in);
    return got;
}

long Waiting(int fd, int& error)
{
    int count = 0;
    if (::ioctl(fd, FIONREAD, &count) != 0) {
        error = LastError();
        return -1;
    }
    return count;
}

TReadiness ReadReadiness(int fd, int& error)
{
    char byte;
    ssize_t got = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0)
        return TReadiness::Data;
    if (got == 0)
        return TReadiness::End;
    if (errno == EAGAIN || errno == EINTR)
        return TReadiness::Nothing;
    error = LastError();
    return TReadiness::Error;
}

int ResolveName(const std::string& name, std::vector<uint32_t>& addresses, std::string& canonical)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0)
        return result == EAI_AGAIN ? 11002 : result == EAI_FAIL ? 11003 : 11001;
    canonical = found->ai_canonname ? found->ai_canonname : name;
    for (addrinfo* a = found; a; a = a->ai_next) {
        uint32_t ip = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (uint32_t known : addresses)
            seen = seen || known == ip;
        if (!seen)
            addresses.push_back(ip);
    }
    ::freeaddrinfo(found);
    return addresses.empty() ? 11004 : 0;
}

int ResolveAddress(uint32_t ip, std::string& name)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = ip;
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return 11004;
    name = host;
    return 0;
}

bool ServiceByName(const std::string& name, const std::string& protocol, uint16_t& port, std::string& canonical)
{
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (::getservbyname_r(name.c_str(), protocol.empty() ? nullptr : protocol.c_str(), &entry, buffer, sizeof buffer,
                          &found) != 0 ||
        !found)
        return false;
    port = static_cast<uint16_t>(found->s_port);
    canonical = found->s_name;
    return true;
}

bool ProtocolByName(const std::string& name, int& number, std::string& canonical)
{
    protoent entry{};
    protoent* found = nullptr;
    char buffer[1024];
    if (::getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || !found) {
        // A host without a protocol database still knows the two that matter.
        if (name == "tcp" || name == "TCP") {
            number = 6;
            canonical = "tcp";
            return true;
        }
        if (name == "udp" || name == "UDP") {
            number = 17;
            canonical = "udp";
            return true;
        }
        return false;
    }
    number = found->p_proto;
    canonical = found->p_name;
    return true;
}

bool ParseDotted(const std::string& text, uint32_t& ip)
{
    ::in_addr parsed{};
    if (::inet_aton(text.c_str(), &parsed) == 0)
        return false;
    ip = parsed.s_addr;
    return true;
}

std::string FormatDotted(uint32_t ip)
{
    ::in_addr address{};
    address.s_addr = ip;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

bool MakeWakePipe(int fds[2])
{
    return ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0;
}

void WakeWrite(int fd)
{
    char byte = 1;
    // A full pipe already wakes the loop; nothing is lost by a write that does not fit.
    [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);
}

void WakeDrain(int fd)
{
    char bytes[64];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
}

}  // namespace win::host
