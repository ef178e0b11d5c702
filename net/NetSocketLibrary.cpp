#include "net/NetSocketLibrary.h"

#include "platform/win/Platform.h"

namespace net {

namespace {

const char* const LibraryName = "wsock32.dll";

struct TEntries {
    win::TWSAStartup WSAStartup = nullptr;
    win::TWSACleanup WSACleanup = nullptr;
    win::TWSASetLastError WSASetLastError = nullptr;
    win::TWSAGetLastError WSAGetLastError = nullptr;
    win::TWSAAsyncSelect WSAAsyncSelect = nullptr;
    win::TWSAAsyncGetHostByName WSAAsyncGetHostByName = nullptr;
    win::TWSAAsyncGetHostByAddr WSAAsyncGetHostByAddr = nullptr;
    win::TWSACancelAsyncRequest WSACancelAsyncRequest = nullptr;
    win::Tgethostbyname gethostbyname = nullptr;
    win::Tgetservbyname getservbyname = nullptr;
    win::Tgetprotobyname getprotobyname = nullptr;
    win::Tsocket socket = nullptr;
    win::Tbind bind = nullptr;
    win::Tconnect connect = nullptr;
    win::Tlisten listen = nullptr;
    win::Taccept accept = nullptr;
    win::Tshutdown shutdown = nullptr;
    win::Tclosesocket closesocket = nullptr;
    win::Tsetsockopt setsockopt = nullptr;
    win::Tsend send = nullptr;
    win::Tsendto sendto = nullptr;
    win::Trecv recv = nullptr;
    win::Trecvfrom recvfrom = nullptr;
    win::Tioctlsocket ioctlsocket = nullptr;
    win::Tgetsockname getsockname = nullptr;
    win::Tgetpeername getpeername = nullptr;
    win::Tinet_ntoa inet_ntoa = nullptr;
    win::Tinet_addr inet_addr = nullptr;
    win::Thtons htons = nullptr;
    win::Tntohs ntohs = nullptr;
};

struct TLibrary {
    win::HMODULE Handle = nullptr;
    TEntries Entries;
    int SocketCount = 0;
};

TLibrary& Library()
{
    static TLibrary library;
    static const bool registered = [] {
        // The platform forgets its loaded modules; so does this unit, or it would call a stale handle.
        win::RegisterResetHook([] {
            library.Handle = nullptr;
            library.Entries = TEntries{};
        });
        return true;
    }();
    (void)registered;
    return library;
}

// Stops the library at program end, after every socket went.
struct TFinalizer {
    ~TFinalizer() { NetSocketUnloadLibrary(); }
};

void LoadLibraryOnce()
{
    TLibrary& library = Library();
    if (library.Handle)
        return;
    library.Handle = win::LoadLibrary(LibraryName);
    if (!library.Handle)
        throw ESocketException(AnsiString("Unable to load ") + LibraryName + " Error #" +
                               std::to_string(win::GetLastError()));
    // The finaliser's entry is found now, while the library's table surely lives.
    library.Entries.WSACleanup = reinterpret_cast<win::TWSACleanup>(win::GetProcAddress(library.Handle, "WSACleanup"));
    static TFinalizer finalizer;  // made after the modules service, so it goes before it
    (void)finalizer;
    auto start = reinterpret_cast<win::TWSAStartup>(win::GetProcAddress(library.Handle, "WSAStartup"));
    if (!start)
        throw ESocketException(AnsiString("Procedure WSAStartup not found in ") + LibraryName + " Error #" +
                               std::to_string(win::GetLastError()));
    library.Entries.WSAStartup = start;
    win::WSADATA data{};
    if (int error = start(0x0101, &data))
        throw ESocketException(rtl::Format("%s: WSAStartup error #%d", LibraryName, error));
}

template <class F>
F Entry(F& entry, const char* name)
{
    if (!entry)
        entry = reinterpret_cast<F>(NetSocketGetProc(name));
    return entry;
}

}  // namespace

win::FARPROC NetSocketGetProc(const AnsiString& name)
{
    LoadLibraryOnce();
    if (name.empty())
        return nullptr;
    win::FARPROC proc = win::GetProcAddress(Library().Handle, name.c_str());
    if (!proc)
        throw ESocketException("Procedure " + name + " not found in " + LibraryName + " Error #" +
                               std::to_string(win::GetLastError()));
    return proc;
}

void NetSocketUnloadLibrary()
{
    TLibrary& library = Library();
    if (library.Handle) {
        win::TWSACleanup cleanup = library.Entries.WSACleanup;
        if (!cleanup)
            cleanup = reinterpret_cast<win::TWSACleanup>(win::GetProcAddress(library.Handle, "WSACleanup"));
        if (cleanup)
            cleanup();
        win::FreeLibrary(library.Handle);
        library.Handle = nullptr;
        library.Entries = TEntries{};
    }
    library.SocketCount = 0;
}

bool NetSocketLibraryLoaded()
{
    return Library().Handle != nullptr;
}

void NetSocketCountUp()
{
    ++Library().SocketCount;
}

void NetSocketCountDown()
{
    // A release while sockets lived has counted them out already.
    TLibrary& library = Library();
    if (library.SocketCount > 0)
        --library.SocketCount;
    if (library.SocketCount < 1)
        NetSocketUnloadLibrary();
}

int NetSocketCount()
{
    return Library().SocketCount;
}

namespace wsock {

#define NET_SOCKET_ENTRY(name) Entry(Library().Entries.name, #name)

int WSAStartup(WORD versionRequested, WSADATA* data) { return NET_SOCKET_ENTRY(WSAStartup)(versionRequested, data); }
int WSACleanup() { return NET_SOCKET_ENTRY(WSACleanup)(); }
void WSASetLastError(int error) { NET_SOCKET_ENTRY(WSASetLastError)(error); }
int WSAGetLastError() { return NET_SOCKET_ENTRY(WSAGetLastError)(); }
int WSAAsyncSelect(SOCKET s, vcl::HWND wnd, u_int msg, long events)
{
    return NET_SOCKET_ENTRY(WSAAsyncSelect)(s, wnd, msg, events);
}
HANDLE WSAAsyncGetHostByName(vcl::HWND wnd, u_int msg, const char* name, char* buffer, int bufferLength)
{
    return NET_SOCKET_ENTRY(WSAAsyncGetHostByName)(wnd, msg, name, buffer, bufferLength);
}
HANDLE WSAAsyncGetHostByAddr(vcl::HWND wnd, u_int msg, const char* address, int length, int type, char* buffer,
                             int bufferLength)
{
    return NET_SOCKET_ENTRY(WSAAsyncGetHostByAddr)(wnd, msg, address, length, type, buffer, bufferLength);
}
int WSACancelAsyncRequest(HANDLE request) { return NET_SOCKET_ENTRY(WSACancelAsyncRequest)(request); }
hostent* gethostbyname(const char* name) { return NET_SOCKET_ENTRY(gethostbyname)(name); }
servent* getservbyname(const char* name, const char* protocol) { return NET_SOCKET_ENTRY(getservbyname)(name, protocol); }
protoent* getprotobyname(const char* name) { return NET_SOCKET_ENTRY(getprotobyname)(name); }
SOCKET socket(int af, int type, int protocol) { return NET_SOCKET_ENTRY(socket)(af, type, protocol); }
int bind(SOCKET s, const sockaddr* address, int length) { return NET_SOCKET_ENTRY(bind)(s, address, length); }
int connect(SOCKET s, const sockaddr* address, int length) { return NET_SOCKET_ENTRY(connect)(s, address, length); }
int listen(SOCKET s, int backlog) { return NET_SOCKET_ENTRY(listen)(s, backlog); }
SOCKET accept(SOCKET s, sockaddr* address, int* length) { return NET_SOCKET_ENTRY(accept)(s, address, length); }
int shutdown(SOCKET s, int how) { return NET_SOCKET_ENTRY(shutdown)(s, how); }
int closesocket(SOCKET s) { return NET_SOCKET_ENTRY(closesocket)(s); }
int setsockopt(SOCKET s, int level, int option, const char* value, int length)
{
    return NET_SOCKET_ENTRY(setsockopt)(s, level, option, value, length);
}
int send(SOCKET s, const char* data, int length, int flags) { return NET_SOCKET_ENTRY(send)(s, data, length, flags); }
int sendto(SOCKET s, const char* data, int length, int flags, const sockaddr* to, int toLength)
{
    return NET_SOCKET_ENTRY(sendto)(s, data, length, flags, to, toLength);
}
int recv(SOCKET s, char* buffer, int length, int flags) { return NET_SOCKET_ENTRY(recv)(s, buffer, length, flags); }
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength)
{
    return NET_SOCKET_ENTRY(recvfrom)(s, buffer, length, flags, from, fromLength);
}
int ioctlsocket(SOCKET s, long command, u_long* argument) { return NET_SOCKET_ENTRY(ioctlsocket)(s, command, argument); }
int getsockname(SOCKET s, sockaddr* address, int* length) { return NET_SOCKET_ENTRY(getsockname)(s, address, length); }
int getpeername(SOCKET s, sockaddr* address, int* length) { return NET_SOCKET_ENTRY(getpeername)(s, address, length); }
char* inet_ntoa(in_addr address) { return NET_SOCKET_ENTRY(inet_ntoa)(address); }
u_long inet_addr(const char* text) { return NET_SOCKET_ENTRY(inet_addr)(text); }
u_short htons(u_short value) { return NET_SOCKET_ENTRY(htons)(value); }
u_short ntohs(u_short value) { return NET_SOCKET_ENTRY(ntohs)(value); }

#undef NET_SOCKET_ENTRY

}  // namespace wsock

}  // namespace net
