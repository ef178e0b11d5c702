#pragma once
// The Windows Sockets 1.1 library "wsock32.dll" over the host's sockets (IPv4 only, as 1.1 is). Programs
// load it by name and look its functions up by their exported names:
//
//   win::RegisterWinSockModule();                                   // once, in the program body
//   HMODULE lib = win::LoadLibrary("wsock32.dll");
//   auto start = reinterpret_cast<win::TWSAStartup>(win::GetProcAddress(lib, "WSAStartup"));
//
// - Socket handles are the library's own numbers, never reused, so a notification still queued for a
//   closed socket cannot reach its successor.
// - WSAAsyncSelect makes the socket non-blocking and posts the selected events to a hidden window
//   (wParam the socket, low word of lParam the event, high word the error), under Windows' rules:
//   FD_CONNECT once when a connection attempt ends; FD_WRITE when the connection is made and again only
//   after a send failed with WSAEWOULDBLOCK; FD_READ when data waits, then not again until the program
//   reads (a read that leaves data behind gives the next one); FD_CLOSE once, after the data before the
//   peer's close has been read (error 0), or at once on a reset (WSAECONNRESET). A non-blocking connect
//   always answers WSAEWOULDBLOCK; a refusal comes as FD_CONNECT with WSAECONNREFUSED.
// - WSAAsyncGetHostByName looks the name up on a thread of its own; the answer (a hostent in the caller's
//   buffer) is posted from the event loop, never from that thread. Names go through the prefix's hosts
//   file first, and connect sends ports through $SCRIVANE_PORT_MAP (NetAddress.h).
// - Errors: WSAGetLastError (the same value as GetLastError) gives the Windows code of the host's error.
// - WSACleanup balances WSAStartup; calls made without a started library fail with WSANOTINITIALISED.

#include <cstdint>

#include "platform/vcl/Messages.h"
#include "platform/win/WinTypes.h"

namespace win {

using SOCKET = uintptr_t;
using u_short = uint16_t;
using u_int = uint32_t;
using u_long = uint32_t;  // 32 bits on Windows

inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_INET = 2;
inline constexpr int SOCK_STREAM = 1;
inline constexpr int SOCK_DGRAM = 2;
inline constexpr int IPPROTO_IP = 0;
inline constexpr int IPPROTO_TCP = 6;
inline constexpr int IPPROTO_UDP = 17;
inline constexpr u_long INADDR_ANY = 0;
inline constexpr u_long INADDR_NONE = 0xFFFFFFFF;

inline constexpr int SOL_SOCKET = 0xFFFF;
inline constexpr int SO_REUSEADDR = 0x0004;
inline constexpr int SO_KEEPALIVE = 0x0008;
inline constexpr int SO_BROADCAST = 0x0020;
inline constexpr int SO_LINGER = 0x0080;
inline constexpr int SO_SNDBUF = 0x1001;
inline constexpr int SO_RCVBUF = 0x1002;
inline constexpr int TCP_NODELAY = 0x0001;
// The 1.1 library's numbers for the multicast options.
inline constexpr int IP_MULTICAST_TTL = 3;
inline constexpr int IP_ADD_MEMBERSHIP = 5;

inline constexpr long FIONREAD = 0x4004667F;
inline constexpr long FIONBIO = static_cast<long>(0x8004667EU);

inline constexpr int MSG_OOB = 0x1;
inline constexpr int MSG_PEEK = 0x2;

inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

inline constexpr long FD_READ = 0x01;
inline constexpr long FD_WRITE = 0x02;
inline constexpr long FD_OOB = 0x04;
inline constexpr long FD_ACCEPT = 0x08;
inline constexpr long FD_CONNECT = 0x10;
inline constexpr long FD_CLOSE = 0x20;

inline constexpr int MAXGETHOSTSTRUCT = 1024;

inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSANO_DATA = 11004;

struct in_addr {
    u_long S_addr;  // network byte order
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port;  // network byte order
    in_addr sin_addr;
    char sin_zero[8];
};

struct linger {
    u_short l_onoff;
    u_short l_linger;
};

struct ip_mreq {
    in_addr imr_multiaddr;
    in_addr imr_interface;
};

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};

struct servent {
    char* s_name;
    char** s_aliases;
    short s_port;  // network byte order
    char* s_proto;
};

struct protoent {
    char* p_name;
    char** p_aliases;
    short p_proto;
};

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

// The exported functions' signatures.
using TWSAStartup = int (*)(WORD versionRequested, WSADATA* data);
using TWSACleanup = int (*)();
using TWSASetLastError = void (*)(int error);
using TWSAGetLastError = int (*)();
using TWSAAsyncSelect = int (*)(SOCKET s, vcl::HWND wnd, u_int msg, long events);
using TWSAAsyncGetHostByName = HANDLE (*)(vcl::HWND wnd, u_int msg, const char* name, char* buffer, int bufferLength);
using TWSAAsyncGetHostByAddr = HANDLE (*)(vcl::HWND wnd, u_int msg, const char* address, int length, int type,
                                          char* buffer, int bufferLength);
using TWSACancelAsyncRequest = int (*)(HANDLE request);
using Tgethostbyname = hostent* (*)(const char* name);
using Tgetservbyname = servent* (*)(const char* name, const char* protocol);
using Tgetprotobyname = protoent* (*)(const char* name);
using Tsocket = SOCKET (*)(int af, int type, int protocol);
using Tbind = int (*)(SOCKET s, const sockaddr* address, int length);
using Tconnect = int (*)(SOCKET s, const sockaddr* address, int length);
using Tlisten = int (*)(SOCKET s, int backlog);
using Taccept = SOCKET (*)(SOCKET s, sockaddr* address, int* length);
using Tshutdown = int (*)(SOCKET s, int how);
using Tclosesocket = int (*)(SOCKET s);
using Tsetsockopt = int (*)(SOCKET s, int level, int option, const char* value, int length);
using Tsend = int (*)(SOCKET s, const char* data, int length, int flags);
using Tsendto = int (*)(SOCKET s, const char* data, int length, int flags, const sockaddr* to, int toLength);
using Trecv = int (*)(SOCKET s, char* buffer, int length, int flags);
using Trecvfrom = int (*)(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
using Tioctlsocket = int (*)(SOCKET s, long command, u_long* argument);
using Tgetsockname = int (*)(SOCKET s, sockaddr* address, int* length);
using Tgetpeername = int (*)(SOCKET s, sockaddr* address, int* length);
using Tinet_ntoa = char* (*)(in_addr address);
using Tinet_addr = u_long (*)(const char* text);
using Thtons = u_short (*)(u_short value);
using Tntohs = u_short (*)(u_short value);
using Thtonl = u_long (*)(u_long value);

// Registers "wsock32.dll" with the modules service; idempotent.
void RegisterWinSockModule();
// For tests: the look-ups still waiting on the host's resolver (each on a thread of its own, which cannot
// be stopped), and how many were ever handed to it.
int WinSockLookupThreads();
int WinSockResolverLookups();

// For programs that bind a few functions when they load rather than by name: the library's own
// setsockopt, inet_addr and htonl.
int WinSockSetSockOpt(SOCKET s, int level, int option, const char* value, int length);
u_long WinSockInetAddr(const char* text);
u_long WinSockHtonl(u_long value);

// For tests: how often the library was started (WSAStartup) and is started now; a start that fails with
// `error` (0: starts normally) until ResetPlatform.
int WinSockStartupCount();
bool WinSockStarted();
void SetWinSockStartupFailure(int error);

}  // namespace win
