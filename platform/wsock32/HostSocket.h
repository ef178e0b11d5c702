#pragma once
// The host's sockets, behind names that clash with neither the host's macros nor the Windows ones: the
// Windows side (WinSock.cpp) speaks Windows constants, this side the host's. Addresses are IPv4 in network
// byte order; every failing call gives the Windows Sockets error code of the host's errno.

#include <cstdint>
#include <string>
#include <vector>

namespace win::host {

struct TAddress {
    uint32_t Ip = 0;     // network byte order
    uint16_t Port = 0;   // network byte order
};

// -1 on failure with `error` set.
int Socket(bool datagram, int protocol, int& error);
int Close(int fd);
bool SetNonBlocking(int fd, int& error);

// Options the Windows side knows; the value is an int (or, for the linger option, on/off and seconds).
enum class TOption { ReuseAddr, KeepAlive, Broadcast, Linger, NoDelay, MulticastTtl, AddMembership, SendBuffer, ReceiveBuffer };
bool SetOption(int fd, TOption option, int value, int seconds, int& error);

bool Bind(int fd, const TAddress& address, int& error);
// 0 when connected at once, else the error (10035 while the connection is being made).
int Connect(int fd, const TAddress& address);
bool Listen(int fd, int backlog, int& error);
int Accept(int fd, TAddress& peer, int& error);
bool Shutdown(int fd, int how, int& error);
bool LocalAddress(int fd, TAddress& address, int& error);
bool PeerAddress(int fd, TAddress& address, int& error);
// The pending error of a connection being made (0 when it succeeded).
int PendingError(int fd);

// -1 on failure with `error` set. `urgent` sends out-of-band.
long Send(int fd, const char* data, size_t length, bool urgent, int& error);
long SendTo(int fd, const char* data, size_t length, const TAddress& to, int& error);
long Receive(int fd, char* buffer, size_t length, bool peek, bool urgent, int& error);
long ReceiveFrom(int fd, char* buffer, size_t length, bool peek, TAddress& from, int& error);
// Bytes waiting to be read; -1 on failure.
long Waiting(int fd, int& error);
// What a read would find now, without waiting: data, the end of the stream (peer closed), an error
// (reset), or nothing yet.
enum class TReadiness { Nothing, Data, End, Error };
TReadiness ReadReadiness(int fd, int& error);

// Blocking look-ups through the host's resolver and databases; an error code of Windows (11001 host not
// found, ...) on failure.
int ResolveName(const std::string& name, std::vector<uint32_t>& addresses, std::string& canonical);
int ResolveAddress(uint32_t ip, std::string& name);
bool ServiceByName(const std::string& name, const std::string& protocol, uint16_t& port, std::string& canonical);
bool ProtocolByName(const std::string& name, int& number, std::string& canonical);

// Parses a dotted address in any of the forms the classic resolver knows; false when it is none.
bool ParseDotted(const std::string& text, uint32_t& ip);
std::string FormatDotted(uint32_t ip);

// A pipe a worker thread writes one byte into to wake the event loop: [0] is watched, [1] written.
bool MakeWakePipe(int fds[2]);
void WakeWrite(int fd);
void WakeDrain(int fd);

// The Windows Sockets error of a host errno.
int WinSockError(int hostErrno);

}  // namespace win::host
