#pragma once
// The socket library, loaded when a socket first needs one of its functions and released with the last
// socket. Every function is called through an entry that is filled by name on its first call:
//
//   SOCKET s = net::wsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);   // loads and starts the library
//
// A missing library or function raises ESocketException to the caller of the socket operation.

#include "platform/rtl/SysUtils.h"
#include "platform/win/Modules.h"
#include "platform/wsock32/WinSock.h"

namespace net {

using rtl::AnsiString;

// The socket component's exception (message only).
class ESocketException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The address of a library function, loading and starting the library first when it is not loaded;
// null for an empty name.
win::FARPROC NetSocketGetProc(const AnsiString& name);
// Stops and unloads the library and empties every entry; the socket count becomes 0. Nothing when the
// library is not loaded.
void NetSocketUnloadLibrary();
bool NetSocketLibraryLoaded();

// The process-wide socket count: each socket raises it when made and lowers it when freed; the library
// goes when it falls below 1.
void NetSocketCountUp();
void NetSocketCountDown();
int NetSocketCount();

// The library's functions, each through its entry.
namespace wsock {

using namespace win;  // the library's types and constants
using win::u_int;
using win::u_long;
using win::u_short;

int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
void WSASetLastError(int error);
int WSAGetLastError();
int WSAAsyncSelect(SOCKET s, vcl::HWND wnd, u_int msg, long events);
HANDLE WSAAsyncGetHostByName(vcl::HWND wnd, u_int msg, const char* name, char* buffer, int bufferLength);
HANDLE WSAAsyncGetHostByAddr(vcl::HWND wnd, u_int msg, const char* address, int length, int type, char* buffer,
                             int bufferLength);
int WSACancelAsyncRequest(HANDLE request);
hostent* gethostbyname(const char* name);
servent* getservbyname(const char* name, const char* protocol);
protoent* getprotobyname(const char* name);
SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const sockaddr* address, int length);
int connect(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
int setsockopt(SOCKET s, int level, int option, const char* value, int length);
int send(SOCKET s, const char* data, int length, int flags);
int sendto(SOCKET s, const char* data, int length, int flags, const sockaddr* to, int toLength);
int recv(SOCKET s, char* buffer, int length, int flags);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int getsockname(SOCKET s, sockaddr* address, int* length);
int getpeername(SOCKET s, sockaddr* address, int* length);
char* inet_ntoa(in_addr address);
u_long inet_addr(const char* text);
u_short htons(u_short value);
u_short ntohs(u_short value);

}  // namespace wsock

}  // namespace net
