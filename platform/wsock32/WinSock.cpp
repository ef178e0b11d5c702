#include "platform/wsock32/WinSock.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Modules.h"
#include "platform/win/NetAddress.h"
#include "platform/win/Platform.h"
#include "platform/wsock32/HostSocket.h"

namespace win {

namespace {

struct TSock {
    int Fd = -1;
    bool Datagram = false;
    vcl::HWND Wnd = nullptr;
    u_int Msg = 0;
    long Events = 0;
    bool NonBlocking = false;
    bool Connecting = false;
    bool Connected = false;
    bool Listening = false;
    bool SendShut = false;
    // Windows' re-enabling rules: an event is posted only while armed.
    bool ReadArmed = true;
    bool WriteArmed = false;
    bool AcceptArmed = true;
    bool CloseReported = false;
    // The host reports a reset once; Windows goes on failing every later read and send with it.
    int ResetError = 0;
    vcl::TDescriptorWatch ReadWatch = 0;
    vcl::TDescriptorWatch WriteWatch = 0;
};

// A name or address look-up that runs on a thread of its own; the thread touches nothing but this.
struct TLookup {
    bool Reverse = false;
    std::string Name;
    uint32_t Ip = 0;
    vcl::HWND Wnd = nullptr;
    u_int Msg = 0;
    char* Buffer = nullptr;
    int BufferLength = 0;
    uintptr_t Handle = 0;
    // Filled by the thread.
    int Error = 0;
    std::vector<uint32_t> Addresses;
    std::string Canonical;
};

struct TWinSockState {
    std::map<SOCKET, TSock> Sockets;
    SOCKET NextSocket = 0x104;
    int Started = 0;
    int StartupCount = 0;
    int StartupFailure = 0;
    std::map<uintptr_t, std::shared_ptr<TLookup>> Lookups;  // running, not cancelled
    uintptr_t NextLookup = 0x2A04;
    int WakeFds[2] = {-1, -1};
    vcl::TDescriptorWatch WakeWatch = 0;
    std::mutex DoneLock;  // guards Done, which the threads fill
    std::vector<std::shared_ptr<TLookup>> Done;
    std::atomic<int> LookupThreads{0};  // look-ups still asking the host's resolver
    int ResolverLookups = 0;            // look-ups ever handed to the host's resolver
};

void CloseAll();

TWinSockState& State()
{
    static TWinSockState* state = new TWinSockState;  // lookup threads may finish after exit began
    static const bool registered = [] {
        RegisterResetHook([] {
            CloseAll();
            state->Started = 0;
            state->StartupCount = 0;
            state->StartupFailure = 0;
        });
        return true;
    }();
    (void)registered;
    return *state;
}

template <class R>
R Fail(int error, R result)
{
    SetLastError(static_cast<uint32_t>(error));
    return result;
}

bool RequireStarted()
{
    if (State().Started > 0)
        return true;
    SetLastError(WSANOTINITIALISED);
    return false;
}

TSock* Find(SOCKET s)
{
    if (!RequireStarted())
        return nullptr;
    auto& sockets = State().Sockets;
    auto it = sockets.find(s);
    if (it == sockets.end()) {
        SetLastError(WSAENOTSOCK);
        return nullptr;
    }
    return &it->second;
}

host::TAddress ToHost(const sockaddr* address)
{
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return host::TAddress{in->sin_addr.S_addr, in->sin_port};
}

u_short Swap16(u_short value)
{
    if constexpr (std::endian::native == std::endian::big)
        return value;
    return static_cast<u_short>((value >> 8) | (value << 8));
}

u_long Swap32(u_long value)
{
    if constexpr (std::endian::native == std::endian::big)
        return value;
    return __builtin_bswap32(value);
}

// ---- notifications

void OnReadable(SOCKET handle);
void OnWritable(SOCKET handle);

void Post(const TSock& sock, SOCKET handle, long event, int error)
{
    if (sock.Wnd && (sock.Events & event))
        vcl::PostMessage(sock.Wnd, sock.Msg, handle,
                         static_cast<vcl::LPARAM>((static_cast<uint32_t>(error) << 16) | static_cast<uint32_t>(event)));
}

// Watches exactly what the next event needs, so nothing spins while an event waits for the program.
void Rearm(SOCKET handle, TSock& sock)
{
    bool selected = sock.Wnd && sock.Events != 0;
    bool wantRead = selected && !sock.CloseReported &&
                    ((sock.Listening && sock.AcceptArmed) || ((sock.Connected || sock.Datagram) && sock.ReadArmed));
    bool wantWrite = selected && (sock.Connecting || (sock.Connected && sock.WriteArmed));
    if (wantRead && !sock.ReadWatch)
        sock.ReadWatch = vcl::WatchDescriptor(sock.Fd, false, [handle] { OnReadable(handle); });
    if (wantWrite && !sock.WriteWatch)
        sock.WriteWatch = vcl::WatchDescriptor(sock.Fd, true, [handle] { OnWritable(handle); });
    if (sock.ReadWatch)
        vcl::EnableDescriptorWatch(sock.ReadWatch, wantRead);
    if (sock.WriteWatch)
        vcl::EnableDescriptorWatch(sock.WriteWatch, wantWrite);
}

void OnReadable(SOCKET handle)
{
    auto& sockets = State().Sockets;
    auto it = sockets.find(handle);
    if (it == sockets.end())
        return;
    TSock& sock = it->second;
    if (sock.Listening) {
        sock.AcceptArmed = false;
        Post(sock, handle, FD_ACCEPT, 0);
    } else if (sock.Datagram) {
        sock.ReadArmed = false;
        Post(sock, handle, FD_READ, 0);
    } else {
        int error = 0;
        switch (host::ReadReadiness(sock.Fd, error)) {
        case host::TReadiness::Data:
            sock.ReadArmed = false;
            Post(sock, handle, FD_READ, 0);
            break;
        case host::TReadiness::End:
            sock.CloseReported = true;
            Post(sock, handle, FD_CLOSE, 0);
            break;
        case host::TReadiness::Error:
            sock.CloseReported = true;
            sock.ResetError = error == WSAECONNABORTED ? WSAECONNABORTED : WSAECONNRESET;
            Post(sock, handle, FD_CLOSE, sock.ResetError);
            break;
        case host::TReadiness::Nothing: break;
        }
    }
    Rearm(handle, sock);
}

void OnWritable(SOCKET handle)
{
    auto& sockets = State().Sockets;
    auto it = sockets.find(handle);
    if (it == sockets.end())
        return;
    TSock& sock = it->second;
    if (sock.Connecting) {
        sock.Connecting = false;
        int error = host::PendingError(sock.Fd);
        // A reset this early still followed a connection that was made, as Windows reports it.
        bool resetAlready = error == WSAECONNRESET || error == WSAECONNABORTED;
        Post(sock, handle, FD_CONNECT, resetAlready ? 0 : error);
        if (error == 0 || resetAlready) {
            sock.Connected = true;
            sock.ReadArmed = true;
            sock.WriteArmed = false;
            Post(sock, handle, FD_WRITE, 0);
        }
        if (resetAlready) {
            sock.ResetError = error;
            sock.CloseReported = true;
            Post(sock, handle, FD_CLOSE, error);
        }
    } else if (sock.Connected && sock.WriteArmed) {
        sock.WriteArmed = false;
        Post(sock, handle, FD_WRITE, 0);
    }
    Rearm(handle, sock);
}

void Unwatch(TSock& sock)
{
    vcl::UnwatchDescriptor(sock.ReadWatch);
    vcl::UnwatchDescriptor(sock.WriteWatch);
    sock.ReadWatch = sock.WriteWatch = 0;
}

void CloseAll()
{
    TWinSockState& s = State();
    for (auto& [handle, sock] : s.Sockets) {
        Unwatch(sock);
        host::Close(sock.Fd);
    }
    s.Sockets.clear();
    s.Lookups.clear();  // their answers are dropped when they come
}

// ---- look-ups

// Lays a hostent out at the start of the caller's buffer, its lists and texts behind it. The size the
// answer needs, or 0 when it did not fit (nothing is written then).
int FillHostent(char* buffer, int length, const std::string& name, const std::vector<uint32_t>& addresses)
{
    size_t pointers = (addresses.size() + 1) + 1;  // the address list and the empty alias list
    size_t needed = sizeof(hostent) + pointers * sizeof(char*) + addresses.size() * 4 + name.size() + 1;
    if (!buffer || needed > static_cast<size_t>(length))
        return -static_cast<int>(needed);
    auto* entry = reinterpret_cast<hostent*>(buffer);
    auto** addressList = reinterpret_cast<char**>(buffer + sizeof(hostent));
    char** aliases = addressList + addresses.size() + 1;
    char* bytes = reinterpret_cast<char*>(aliases + 1);
    for (size_t i = 0; i < addresses.size(); ++i) {
        std::memcpy(bytes + i * 4, &addresses[i], 4);
        addressList[i] = bytes + i * 4;
    }
    addressList[addresses.size()] = nullptr;
    aliases[0] = nullptr;
    char* text = bytes + addresses.size() * 4;
    std::memcpy(text, name.c_str(), name.size() + 1);
    entry->h_name = text;
    entry->h_aliases = aliases;
    entry->h_addrtype = AF_INET;
    entry->h_length = 4;
    entry->h_addr_list = addressList;
    return static_cast<int>(needed);
}

// What the prefix's hosts file or the text itself answers without asking the host's resolver.
bool ResolveLocally(const std::string& name, std::vector<uint32_t>& addresses)
{
    uint32_t ip = 0;
    if (host::ParseDotted(name, ip)) {
        addresses.push_back(ip);
        return true;
    }
    if (std::optional<std::string> mapped = HostsFileAddress(name); mapped && host::ParseDotted(*mapped, ip)) {
        addresses.push_back(ip);
        return true;
    }
    return false;
}

// Whether a resolver could answer the name at all: labels of letters, digits, "-" and "_" between dots.
// Anything else (a blank, a control character, "%", an empty label) is garbled and not asked about: its
// look-up would only wait on the network, outliving whoever asked.
bool IsHostName(const std::string& name)
{
    if (name.empty() || name.size() > 255)
        return false;
    size_t label = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
            continue;
        }
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '-' && c != '_')
            return false;
        if (++label > 63)
            return false;
    }
    return true;
}

void Deliver(TLookup& lookup)
{
    int error = lookup.Error;
    int size = 0;
    if (error == 0) {
        std::string name = lookup.Reverse ? lookup.Name : (lookup.Canonical.empty() ? lookup.Name : lookup.Canonical);
        size = FillHostent(lookup.Buffer, lookup.BufferLength, name, lookup.Addresses);
        if (size < 0) {
            error = WSAENOBUFS;
            size = -size;
        }
    }
    vcl::PostMessage(lookup.Wnd, lookup.Msg, lookup.Handle,
                     static_cast<vcl::LPARAM>((static_cast<uint32_t>(error) << 16) | (static_cast<uint32_t>(size) & 0xFFFF)));
}

void DeliverFinishedLookups()
{
    TWinSockState& s = State();
    host::WakeDrain(s.WakeFds[0]);
    std::vector<std::shared_ptr<TLookup>> done;
    {
        std::lock_guard lock(s.DoneLock);
        done.swap(s.Done);
    }
    for (auto& lookup : done) {
        auto it = s.Lookups.find(lookup->Handle);
        if (it == s.Lookups.end() || it->second != lookup)
            continue;  // cancelled
        s.Lookups.erase(it);
        Deliver(*lookup);
    }
}

HANDLE StartLookup(std::shared_ptr<TLookup> lookup)
{
    TWinSockState& s = State();
    lookup->Handle = s.NextLookup;
    s.NextLookup += 4;
    s.Lookups[lookup->Handle] = lookup;
    HANDLE handle = reinterpret_cast<HANDLE>(lookup->Handle);
    if (!lookup->Reverse && ResolveLocally(lookup->Name, lookup->Addresses)) {
        s.Lookups.erase(lookup->Handle);
        Deliver(*lookup);  // posted: it arrives after the call returned, as a real answer does
        return handle;
    }
    if (!lookup->Reverse && !IsHostName(lookup->Name)) {
        s.Lookups.erase(lookup->Handle);
        lookup->Error = WSAHOST_NOT_FOUND;
        Deliver(*lookup);
        return handle;
    }
    if (s.WakeFds[0] < 0) {
        if (!host::MakeWakePipe(s.WakeFds))
            return Fail(WSAENOBUFS, HANDLE{});
        s.WakeWatch = vcl::WatchDescriptor(s.WakeFds[0], false, [] { DeliverFinishedLookups(); });
    }
    int wake = s.WakeFds[1];
    ++s.LookupThreads;
    ++s.ResolverLookups;
    std::thread([lookup, wake] {
        if (lookup->Reverse)
            lookup->Error = host::ResolveAddress(lookup->Ip, lookup->Name);
        else
            lookup->Error = host::ResolveName(lookup->Name, lookup->Addresses, lookup->Canonical);
        {
            TWinSockState& state = State();
            std::lock_guard lock(state.DoneLock);
            state.Done.push_back(lookup);
            --state.LookupThreads;
        }
        host::WakeWrite(wake);
    }).detach();
    return handle;
}

// ---- the exported functions

int WSAStartup(WORD versionRequested, WSADATA* data)
{
    int major = versionRequested & 0xFF;
    int minor = versionRequested >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    if (!data)
        return WSAEFAULT;
    if (State().StartupFailure)
        return State().StartupFailure;
    *data = WSADATA{};
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    std::strcpy(data->szDescription, "Windows Sockets 1.1");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
    ++State().Started;
    ++State().StartupCount;
    return 0;
}

int WSACleanup()
{
    TWinSockState& s = State();
    if (s.Started == 0)
        return Fail(WSANOTINITIALISED, SOCKET_ERROR);
    if (--s.Started == 0)
        CloseAll();
    return 0;
}

void WSASetLastError(int error)
{
    SetLastError(static_cast<uint32_t>(error));
}

int WSAGetLastError()
{
    return static_cast<int>(GetLastError());
}

int WSAAsyncSelect(SOCKET s, vcl::HWND wnd, u_int msg, long events)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (events != 0 && !vcl::IsWindow(wnd))
        return Fail(WSAEINVAL, SOCKET_ERROR);
    int error = 0;
    if (!sock->NonBlocking && !host::SetNonBlocking(sock->Fd, error))
        return Fail(error, SOCKET_ERROR);
    sock->NonBlocking = true;
    sock->Wnd = events != 0 ? wnd : nullptr;
    sock->Msg = msg;
    sock->Events = events;
    // A new selection re-arms every event, as on Windows.
    sock->ReadArmed = true;
    sock->AcceptArmed = true;
    sock->WriteArmed = sock->Connected;
    Rearm(s, *sock);
    return 0;
}

HANDLE WSAAsyncGetHostByName(vcl::HWND wnd, u_int msg, const char* name, char* buffer, int bufferLength)
{
    if (!RequireStarted())
        return HANDLE{};
    if (!name || !buffer)
        return Fail(WSAEFAULT, HANDLE{});
    auto lookup = std::make_shared<TLookup>();
    lookup->Name = name;
    lookup->Wnd = wnd;
    lookup->Msg = msg;
    lookup->Buffer = buffer;
    lookup->BufferLength = bufferLength;
    return StartLookup(std::move(lookup));
}

HANDLE WSAAsyncGetHostByAddr(vcl::HWND wnd, u_int msg, const char* address, int length, int type, char* buffer,
                             int bufferLength)
{
    if (!RequireStarted())
        return HANDLE{};
    if (!address || !buffer || length < 4)
        return Fail(WSAEFAULT, HANDLE{});
    if (type != AF_INET)
        return Fail(WSAEAFNOSUPPORT, HANDLE{});
    auto lookup = std::make_shared<TLookup>();
    lookup->Reverse = true;
    std::memcpy(&lookup->Ip, address, 4);
    lookup->Addresses.push_back(lookup->Ip);
    lookup->Wnd = wnd;
    lookup->Msg = msg;
    lookup->Buffer = buffer;
    lookup->BufferLength = bufferLength;
    return StartLookup(std::move(lookup));
}

int WSACancelAsyncRequest(HANDLE request)
{
    if (!RequireStarted())
        return SOCKET_ERROR;
    TWinSockState& s = State();
    auto handle = reinterpret_cast<uintptr_t>(request);
    if (s.Lookups.erase(handle) != 0)
        return 0;
    return Fail(handle != 0 && handle < s.NextLookup ? WSAEALREADY : WSAEINVAL, SOCKET_ERROR);
}

// The blocking look-ups answer in storage of the thread, valid until its next call, as on Windows.
hostent* gethostbyname(const char* name)
{
    if (!RequireStarted())
        return nullptr;
    if (!name)
        return Fail(WSAEFAULT, static_cast<hostent*>(nullptr));
    alignas(hostent) static thread_local char storage[MAXGETHOSTSTRUCT];
    std::vector<uint32_t> addresses;
    std::string canonical = name;
    if (!ResolveLocally(name, addresses)) {
        if (int error = host::ResolveName(name, addresses, canonical))
            return Fail(error, static_cast<hostent*>(nullptr));
    }
    if (FillHostent(storage, sizeof storage, canonical, addresses) < 0)
        return Fail(WSANO_DATA, static_cast<hostent*>(nullptr));
    return reinterpret_cast<hostent*>(storage);
}

servent* getservbyname(const char* name, const char* protocol)
{
    if (!RequireStarted())
        return nullptr;
    static thread_local std::string serviceName, protocolName;
    static thread_local char* noAliases[1] = {nullptr};
    static thread_local servent entry;
    uint16_t port = 0;
    if (!name || !host::ServiceByName(name, protocol ? protocol : "", port, serviceName))
        return Fail(WSANO_DATA, static_cast<servent*>(nullptr));
    protocolName = protocol ? protocol : "tcp";
    entry = servent{serviceName.data(), noAliases, static_cast<short>(port), protocolName.data()};
    return &entry;
}

protoent* getprotobyname(const char* name)
{
    if (!RequireStarted())
        return nullptr;
    static thread_local std::string protocolName;
    static thread_local char* noAliases[1] = {nullptr};
    static thread_local protoent entry;
    int number = 0;
    if (!name || !host::ProtocolByName(name, number, protocolName))
        return Fail(WSANO_DATA, static_cast<protoent*>(nullptr));
    entry = protoent{protocolName.data(), noAliases, static_cast<short>(number)};
    return &entry;
}

SOCKET socket(int af, int type, int protocol)
{
    if (!RequireStarted())
        return INVALID_SOCKET;
    if (af != AF_INET)
        return Fail(WSAEAFNOSUPPORT, INVALID_SOCKET);
    if (type != SOCK_STREAM && type != SOCK_DGRAM)
        return Fail(10044, INVALID_SOCKET);
    int error = 0;
    int fd = host::Socket(type == SOCK_DGRAM, protocol, error);
    if (fd < 0)
        return Fail(error, INVALID_SOCKET);
    TWinSockState& s = State();
    SOCKET handle = s.NextSocket;
    s.NextSocket += 4;
    TSock& sock = s.Sockets[handle];
    sock.Fd = fd;
    sock.Datagram = type == SOCK_DGRAM;
    return handle;
}

bool ValidAddress(const sockaddr* address, int length)
{
    if (!address || length < static_cast<int>(sizeof(sockaddr_in)))
        return Fail(WSAEFAULT, false);
    if (address->sa_family != AF_INET)
        return Fail(WSAEAFNOSUPPORT, false);
    return true;
}

int bind(SOCKET s, const sockaddr* address, int length)
{
    TSock* sock = Find(s);
    if (!sock || !ValidAddress(address, length))
        return SOCKET_ERROR;
    int error = 0;
    return host::Bind(sock->Fd, ToHost(address), error) ? 0 : Fail(error, SOCKET_ERROR);
}

int connect(SOCKET s, const sockaddr* address, int length)
{
    TSock* sock = Find(s);
    if (!sock || !ValidAddress(address, length))
        return SOCKET_ERROR;
    if (sock->Connected && !sock->Datagram)
        return Fail(WSAEISCONN, SOCKET_ERROR);
    if (sock->Connecting)
        return Fail(WSAEALREADY, SOCKET_ERROR);
    host::TAddress to = ToHost(address);
    to.Port = Swap16(MappedPort(Swap16(to.Port)));
    int error = host::Connect(sock->Fd, to);
    if (sock->Datagram) {
        if (error != 0)
            return Fail(error, SOCKET_ERROR);
        sock->Connected = true;
        return 0;
    }
    if (!sock->NonBlocking) {
        if (error != 0)
            return Fail(error, SOCKET_ERROR);
        sock->Connected = true;
        return 0;
    }
    if (error == 0 || error == WSAEWOULDBLOCK) {
        // Even a connection made at once is announced by FD_CONNECT and FD_WRITE.
        sock->Connecting = true;
        Rearm(s, *sock);
    } else {
        // Windows reports a refusal through the notification, never from the call.
        Post(*sock, s, FD_CONNECT, error);
    }
    return Fail(WSAEWOULDBLOCK, SOCKET_ERROR);
}

int listen(SOCKET s, int backlog)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    int error = 0;
    if (!host::Listen(sock->Fd, backlog, error))
        return Fail(error, SOCKET_ERROR);
    sock->Listening = true;
    Rearm(s, *sock);
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* length)
{
    TSock* sock = Find(s);
    if (!sock)
        return INVALID_SOCKET;
    if (!sock->Listening)
        return Fail(WSAEINVAL, INVALID_SOCKET);
    if (address && (!length || *length < static_cast<int>(sizeof(sockaddr_in))))
        return Fail(WSAEFAULT, INVALID_SOCKET);
    host::TAddress peer;
    int error = 0;
    int fd = host::Accept(sock->Fd, peer, error);
    sock->AcceptArmed = true;
    Rearm(s, *sock);
    if (fd < 0)
        return Fail(error, INVALID_SOCKET);
    TSock accepted;
    accepted.Fd = fd;
    accepted.Connected = true;
    accepted.Wnd = sock->Wnd;
    accepted.Msg = sock->Msg;
    accepted.Events = sock->Events;
    accepted.WriteArmed = true;
    if (accepted.Events && !host::SetNonBlocking(fd, error)) {
        host::Close(fd);
        return Fail(error, INVALID_SOCKET);
    }
    accepted.NonBlocking = accepted.Events != 0;
    TWinSockState& st = State();
    SOCKET handle = st.NextSocket;
    st.NextSocket += 4;
    TSock& stored = st.Sockets[handle] = accepted;
    Rearm(handle, stored);
    if (address) {
        auto* in = reinterpret_cast<sockaddr_in*>(address);
        *in = sockaddr_in{AF_INET, peer.Port, in_addr{peer.Ip}, {}};
        *length = sizeof(sockaddr_in);
    }
    return handle;
}

int shutdown(SOCKET s, int how)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (how < SD_RECEIVE || how > SD_BOTH)
        return Fail(WSAEINVAL, SOCKET_ERROR);
    int error = 0;
    if (!host::Shutdown(sock->Fd, how, error))
        return Fail(error, SOCKET_ERROR);
    sock->SendShut = sock->SendShut || how != SD_RECEIVE;
    return 0;
}

int closesocket(SOCKET s)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    Unwatch(*sock);
    host::Close(sock->Fd);
    State().Sockets.erase(s);
    return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int length)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (!value || length < 1)
        return Fail(WSAEFAULT, SOCKET_ERROR);
    int number = 0;
    std::memcpy(&number, value, static_cast<size_t>(std::min<int>(length, sizeof number)));
    if (length < static_cast<int>(sizeof number))
        number = static_cast<unsigned char>(value[0]);  // a one-byte Boolean
    int error = 0;
    bool done = false;
    if (level == SOL_SOCKET && option == SO_LINGER) {
        if (length < static_cast<int>(sizeof(linger)))
            return Fail(WSAEFAULT, SOCKET_ERROR);
        linger setting;
        std::memcpy(&setting, value, sizeof setting);
        done = host::SetOption(sock->Fd, host::TOption::Linger, setting.l_onoff, setting.l_linger, error);
    } else if (level == SOL_SOCKET && option == SO_REUSEADDR) {
        done = host::SetOption(sock->Fd, host::TOption::ReuseAddr, number, 0, error);
    } else if (level == SOL_SOCKET && option == SO_KEEPALIVE) {
        done = host::SetOption(sock->Fd, host::TOption::KeepAlive, number, 0, error);
    } else if (level == SOL_SOCKET && option == SO_BROADCAST) {
        done = host::SetOption(sock->Fd, host::TOption::Broadcast, number, 0, error);
    } else if (level == SOL_SOCKET && option == SO_SNDBUF) {
        done = host::SetOption(sock->Fd, host::TOption::SendBuffer, number, 0, error);
    } else if (level == SOL_SOCKET && option == SO_RCVBUF) {
        done = host::SetOption(sock->Fd, host::TOption::ReceiveBuffer, number, 0, error);
    } else if (level == IPPROTO_TCP && option == TCP_NODELAY) {
        done = host::SetOption(sock->Fd, host::TOption::NoDelay, number, 0, error);
    } else if (level == IPPROTO_IP && option == IP_MULTICAST_TTL) {
        done = host::SetOption(sock->Fd, host::TOption::MulticastTtl, number, 0, error);
    } else if (level == IPPROTO_IP && option == IP_ADD_MEMBERSHIP) {
        if (length < static_cast<int>(sizeof(ip_mreq)))
            return Fail(WSAEFAULT, SOCKET_ERROR);
        ip_mreq request;
        std::memcpy(&request, value, sizeof request);
        done = host::SetOption(sock->Fd, host::TOption::AddMembership, static_cast<int>(request.imr_multiaddr.S_addr),
                               static_cast<int>(request.imr_interface.S_addr), error);
    } else {
        return Fail(10042, SOCKET_ERROR);
    }
    return done ? 0 : Fail(error, SOCKET_ERROR);
}

int send(SOCKET s, const char* data, int length, int flags)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (!data || length < 0)
        return Fail(WSAEFAULT, SOCKET_ERROR);
    if (sock->SendShut)
        return Fail(WSAESHUTDOWN, SOCKET_ERROR);
    if (!sock->Connected)
        return Fail(WSAENOTCONN, SOCKET_ERROR);
    if (sock->ResetError)
        return Fail(sock->ResetError, SOCKET_ERROR);
    int error = 0;
    long sent = host::Send(sock->Fd, data, static_cast<size_t>(length), (flags & MSG_OOB) != 0, error);
    if (sent < 0) {
        if (error == WSAECONNRESET || error == WSAECONNABORTED)
            sock->ResetError = error;
        if (error == WSAEWOULDBLOCK) {
            // The next FD_WRITE comes when there is room again.
            sock->WriteArmed = true;
            Rearm(s, *sock);
        }
        return Fail(error, SOCKET_ERROR);
    }
    return static_cast<int>(sent);
}

int sendto(SOCKET s, const char* data, int length, int flags, const sockaddr* to, int toLength)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (!sock->Datagram || !to)
        return send(s, data, length, flags);
    if (!data || length < 0 || !ValidAddress(to, toLength))
        return Fail(WSAEFAULT, SOCKET_ERROR);
    int error = 0;
    long sent = host::SendTo(sock->Fd, data, static_cast<size_t>(length), ToHost(to), error);
    return sent < 0 ? Fail(error, SOCKET_ERROR) : static_cast<int>(sent);
}

int ReceiveAny(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (!buffer || length < 0 || (from && (!fromLength || *fromLength < static_cast<int>(sizeof(sockaddr_in)))))
        return Fail(WSAEFAULT, SOCKET_ERROR);
    if (!sock->Datagram && !sock->Connected)
        return Fail(WSAENOTCONN, SOCKET_ERROR);
    if (sock->ResetError)
        return Fail(sock->ResetError, SOCKET_ERROR);
    int error = 0;
    long got = 0;
    host::TAddress peer;
    if (sock->Datagram)
        got = host::ReceiveFrom(sock->Fd, buffer, static_cast<size_t>(length), (flags & MSG_PEEK) != 0, peer, error);
    else
        got = host::Receive(sock->Fd, buffer, static_cast<size_t>(length), (flags & MSG_PEEK) != 0,
                            (flags & MSG_OOB) != 0, error);
    // A read re-enables FD_READ; data left behind gives the next one.
    sock->ReadArmed = true;
    Rearm(s, *sock);
    if (got < 0) {
        if (error == WSAECONNRESET || error == WSAECONNABORTED)
            sock->ResetError = error;
        return Fail(error, SOCKET_ERROR);
    }
    if (from && sock->Datagram) {
        *reinterpret_cast<sockaddr_in*>(from) = sockaddr_in{AF_INET, peer.Port, in_addr{peer.Ip}, {}};
        *fromLength = sizeof(sockaddr_in);
    }
    return static_cast<int>(got);
}

int recv(SOCKET s, char* buffer, int length, int flags)
{
    return ReceiveAny(s, buffer, length, flags, nullptr, nullptr);
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength)
{
    return ReceiveAny(s, buffer, length, flags, from, fromLength);
}

int ioctlsocket(SOCKET s, long command, u_long* argument)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (!argument)
        return Fail(WSAEFAULT, SOCKET_ERROR);
    int error = 0;
    if (command == FIONREAD) {
        long waiting = host::Waiting(sock->Fd, error);
        if (waiting < 0)
            return Fail(error, SOCKET_ERROR);
        *argument = static_cast<u_long>(waiting);
        return 0;
    }
    if (command == FIONBIO) {
        if (*argument == 0 && sock->Wnd)
            return Fail(WSAEINVAL, SOCKET_ERROR);  // not while notifications are selected
        if (*argument != 0 && !sock->NonBlocking && !host::SetNonBlocking(sock->Fd, error))
            return Fail(error, SOCKET_ERROR);
        sock->NonBlocking = sock->NonBlocking || *argument != 0;
        return 0;
    }
    return Fail(WSAEINVAL, SOCKET_ERROR);
}

int AddressOf(SOCKET s, sockaddr* address, int* length, bool peer)
{
    TSock* sock = Find(s);
    if (!sock)
        return SOCKET_ERROR;
    if (!address || !length || *length < static_cast<int>(sizeof(sockaddr_in)))
        return Fail(WSAEFAULT, SOCKET_ERROR);
    host::TAddress found;
    int error = 0;
    if (!(peer ? host::PeerAddress(sock->Fd, found, error) : host::LocalAddress(sock->Fd, found, error)))
        return Fail(error, SOCKET_ERROR);
    *reinterpret_cast<sockaddr_in*>(address) = sockaddr_in{AF_INET, found.Port, in_addr{found.Ip}, {}};
    *length = sizeof(sockaddr_in);
    return 0;
}

int getsockname(SOCKET s, sockaddr* address, int* length)
{
    return AddressOf(s, address, length, false);
}

int getpeername(SOCKET s, sockaddr* address, int* length)
{
    return AddressOf(s, address, length, true);
}

char* inet_ntoa(in_addr address)
{
    static thread_local char text[16];
    std::string dotted = host::FormatDotted(address.S_addr);
    std::memcpy(text, dotted.c_str(), std::min(dotted.size() + 1, sizeof text));
    text[sizeof text - 1] = '\0';
    return text;
}

u_long inet_addr(const char* text)
{
    uint32_t ip = 0;
    if (!text || !host::ParseDotted(text, ip))
        return INADDR_NONE;
    return ip;
}

u_short htons(u_short value) { return Swap16(value); }
u_short ntohs(u_short value) { return Swap16(value); }
u_long htonl(u_long value) { return Swap32(value); }

}  // namespace

int WinSockSetSockOpt(SOCKET s, int level, int option, const char* value, int length)
{
    return setsockopt(s, level, option, value, length);
}

u_long WinSockInetAddr(const char* text)
{
    return inet_addr(text);
}

u_long WinSockHtonl(u_long value)
{
    return htonl(value);
}

int WinSockStartupCount()
{
    return State().StartupCount;
}

int WinSockLookupThreads()
{
    return State().LookupThreads;
}

int WinSockResolverLookups()
{
    return State().ResolverLookups;
}

bool WinSockStarted()
{
    return State().Started > 0;
}

void SetWinSockStartupFailure(int error)
{
    State().StartupFailure = error;
}

void RegisterWinSockModule()
{
    RegisterBuiltinModule("wsock32.dll", [](const std::string& name) -> FARPROC {
        // Never destroyed: a finaliser of a program that ends with a socket still looks functions up here.
        static const auto& exports = *new const std::map<std::string, FARPROC>{
            {"WSAStartup", reinterpret_cast<FARPROC>(&WSAStartup)},
            {"WSACleanup", reinterpret_cast<FARPROC>(&WSACleanup)},
            {"WSASetLastError", reinterpret_cast<FARPROC>(&WSASetLastError)},
            {"WSAGetLastError", reinterpret_cast<FARPROC>(&WSAGetLastError)},
            {"WSAAsyncSelect", reinterpret_cast<FARPROC>(&WSAAsyncSelect)},
            {"WSAAsyncGetHostByName", reinterpret_cast<FARPROC>(&WSAAsyncGetHostByName)},
            {"WSAAsyncGetHostByAddr", reinterpret_cast<FARPROC>(&WSAAsyncGetHostByAddr)},
            {"WSACancelAsyncRequest", reinterpret_cast<FARPROC>(&WSACancelAsyncRequest)},
            {"gethostbyname", reinterpret_cast<FARPROC>(&gethostbyname)},
            {"getservbyname", reinterpret_cast<FARPROC>(&getservbyname)},
            {"getprotobyname", reinterpret_cast<FARPROC>(&getprotobyname)},
            {"socket", reinterpret_cast<FARPROC>(&socket)},
            {"bind", reinterpret_cast<FARPROC>(&bind)},
            {"connect", reinterpret_cast<FARPROC>(&connect)},
            {"listen", reinterpret_cast<FARPROC>(&listen)},
            {"accept", reinterpret_cast<FARPROC>(&accept)},
            {"shutdown", reinterpret_cast<FARPROC>(&shutdown)},
            {"closesocket", reinterpret_cast<FARPROC>(&closesocket)},
            {"setsockopt", reinterpret_cast<FARPROC>(&setsockopt)},
            {"send", reinterpret_cast<FARPROC>(&send)},
            {"sendto", reinterpret_cast<FARPROC>(&sendto)},
            {"recv", reinterpret_cast<FARPROC>(&recv)},
            {"recvfrom", reinterpret_cast<FARPROC>(&recvfrom)},
            {"ioctlsocket", reinterpret_cast<FARPROC>(&ioctlsocket)},
            {"getsockname", reinterpret_cast<FARPROC>(&getsockname)},
            {"getpeername", reinterpret_cast<FARPROC>(&getpeername)},
            {"inet_ntoa", reinterpret_cast<FARPROC>(&inet_ntoa)},
            {"inet_addr", reinterpret_cast<FARPROC>(&inet_addr)},
            {"htons", reinterpret_cast<FARPROC>(&htons)},
            {"ntohs", reinterpret_cast<FARPROC>(&ntohs)},
            {"htonl", reinterpret_cast<FARPROC>(&htonl)},
        };
        const auto found = exports.find(name);
        return found == exports.end() ? nullptr : found->second;
    });
}

}  // namespace win
