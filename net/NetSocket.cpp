#include "net/NetSocket.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/vcl/Forms.h"

namespace net {

using namespace win;  // the library's types and constants
using win::u_int;
using win::u_long;
using win::u_short;

namespace {

constexpr int SendChunkSize = 1460;
constexpr long ConnectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;  // 0x3B
constexpr long ListenEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;               // 0x2B
constexpr long DupEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;                 // 0x33
// One pass of reads gives the thread back after this much data or time, so a peer that never stops
// sending cannot keep the windows and the timers waiting.
constexpr int64_t ReceivePassBytes = 64 * 1024;
constexpr auto ReceivePassTime = std::chrono::milliseconds(20);

AnsiString Trimmed(const AnsiString& text)
{
    size_t start = text.find_first_not_of(' ');
    if (start == AnsiString::npos)
        return AnsiString();
    size_t end = text.find_last_not_of(' ');
    return text.substr(start, end - start + 1);
}

bool StartsWithDigit(const AnsiString& text)
{
    size_t first = text.find_first_not_of(' ');
    return first != AnsiString::npos && text[first] >= '0' && text[first] <= '9';
}

// Leading blanks skipped, reading stops at the first non-digit.
int LeadingNumber(const AnsiString& text)
{
    size_t i = text.find_first_not_of(' ');
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= 0x7FFFFFF; ++i)
        value = value * 10 + (text[i] - '0');
    return static_cast<int>(value);
}

AnsiString DottedOf(u_long address)
{
    in_addr in{address};
    return wsock::inet_ntoa(in);
}

uint16_t LowWord(vcl::LPARAM value) { return static_cast<uint16_t>(static_cast<uintptr_t>(value) & 0xFFFF); }
uint16_t HighWord(vcl::LPARAM value) { return static_cast<uint16_t>((static_cast<uintptr_t>(value) >> 16) & 0xFFFF); }

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Utilities

AnsiString NetSocketErrorDesc(int error)
{
    switch (error) {
    case 0: return "No Error";
    case 10004: return "Interrupted system call";
    case 10009: return "Bad file number";
    case 10013: return "Permission denied";
    case 10014: return "Bad address";
    case 10022: return "Invalid argument";
    case 10024: return "Too many open files";
    case 10035: return "Operation would block";
    case 10036: return "Operation now in progress";
    case 10037: return "Operation already in progress";
    case 10038: return "Socket operation on non-socket";
    case 10039: return "Destination address required";
    case 10040: return "Message too long";
    case 10041: return "Protocol wrong type for socket";
    case 10042: return "Protocol not available";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported";
    case 10045: return "Operation not supported on socket";
    case 10046: return "Protocol family not supported";
    case 10047: return "Address family not supported by protocol family";
    case 10048: return "Address already in use";
    case 10049: return "Address not available";
    case 10050: return "Network is down";
    case 10051: return "Network is unreachable";
    case 10052: return "Network dropped connection on reset";
    case 10053: return "Connection aborted";
    case 10054: return "Connection reset by peer";
    case 10055: return "No buffer space available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Can't send after socket shutdown";
    case 10059: return "Too many references: can't splice";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10062: return "Too many levels of symbolic links";
    case 10063: return "File name too long";
    case 10064: return "Host is down";
    case 10065: return "No route to host";
    case 10066: return "Directory not empty";
    case 10067: return "Too many processes";
    case 10068: return "Too many users";
    case 10069: return "Disc quota exceeded";
    case 10070: return "Stale NFS file handle";
    case 10071: return "Too many levels of remote in path";
    case 10091: return "Network sub-system is unusable";
    case 10092: return "WinSock DLL cannot support this application";
    case 10093: return "WinSock not initialized";
    case 11001: return "Host not found";
    case 11002: return "Non-authoritative host not found";
    case 11003: return "Non-recoverable error";
    case 11004: return "No Data";
    default: return "Not a WinSock error";
    }
}

bool NetSocketIsDottedIP(const AnsiString& text)
{
    AnsiString trimmed = Trimmed(text);
    if (trimmed.empty() || trimmed[0] == '.')
        return false;
    int dots = 0;
    size_t start = 0;
    for (size_t i = 0; i <= trimmed.size(); ++i) {
        if (i < trimmed.size() && trimmed[i] != '.')
            continue;
        AnsiString part = Trimmed(trimmed.substr(start, i - start));
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != AnsiString::npos ||
            std::stoi(part) > 255)
            return false;
        if (i < trimmed.size())
            ++dots;
        start = i + 1;
    }
    return dots == 3;
}

u_long NetSocketResolveHost(const AnsiString& text)
{
    if (text.empty() || text.size() > 256)
        throw ESocketException("NetSocketResolveHost: '" + text + "' Invalid Hostname.");
    if (NetSocketIsDottedIP(text)) {
        AnsiString trimmed = Trimmed(text);
        u_long address = wsock::inet_addr(trimmed.c_str());
        if (address == INADDR_NONE && trimmed != "255.255.255.255")
            throw ESocketException("NetSocketResolveHost: '" + text + "' Invalid IP address.");
        return address;
    }
    hostent* host = wsock::gethostbyname(text.c_str());
    if (!host || !host->h_addr_list || !host->h_addr_list[0])
        throw ESocketException(rtl::Format("NetSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                           text.c_str(), wsock::WSAGetLastError()));
    u_long address = 0;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return address;
}

int NetSocketResolvePort(const AnsiString& port, const AnsiString& protocol)
{
    if (port.empty() || port.size() > 31)
        throw ESocketException("NetSocketResolvePort: Invalid Port.");
    if (protocol.empty() || protocol.size() > 31)
        throw ESocketException("NetSocketResolvePort: Invalid Proto.");
    if (StartsWithDigit(port))
        return LeadingNumber(port);
    servent* service = wsock::getservbyname(port.c_str(), protocol.c_str());
    if (!service)
        throw ESocketException(rtl::Format("NetSocketResolvePort: Cannot convert port '%s', Error #%d", port.c_str(),
                                           wsock::WSAGetLastError()));
    return wsock::ntohs(static_cast<u_short>(service->s_port));
}

int NetSocketResolveProto(const AnsiString& text)
{
    if (text.empty() || text.size() > 31)
        throw ESocketException("NetSocketResolveProto: Invalid Protocol.");
    if (StartsWithDigit(text))
        return LeadingNumber(text);
    protoent* protocol = wsock::getprotobyname(text.c_str());
    if (!protocol)
        throw ESocketException(rtl::Format("NetSocketResolveProto: Cannot convert protocol '%s', Error #%d",
                                           text.c_str(), wsock::WSAGetLastError()));
    return protocol->p_proto;
}

// ---------------------------------------------------------------------------------------------------------
// The component

// The hidden window's data: the socket it serves, cleared before the window goes.
struct TCustomNetSocket::TWindowData {
    TCustomNetSocket* Socket = nullptr;
};

VCL_IMPLEMENT_CLASS(TCustomNetSocket)

void TCustomNetSocket::RegisterProperties(vcl::TClassDef<TCustomNetSocket>& def)
{
    def.Property("Addr", &TCustomNetSocket::Addr, &TCustomNetSocket::SetAddr, "");
    def.Property("Port", &TCustomNetSocket::Port, &TCustomNetSocket::SetPort, "");
    def.Property("Proto", &TCustomNetSocket::Proto, &TCustomNetSocket::SetProto, "tcp");
    def.Property("LocalAddr", &TCustomNetSocket::LocalAddr, &TCustomNetSocket::SetLocalAddr, "0.0.0.0");
    def.Property("LocalPort", &TCustomNetSocket::LocalPort, &TCustomNetSocket::SetLocalPort, "0");
    def.Property("MultiThreaded", &TCustomNetSocket::MultiThreaded, &TCustomNetSocket::SetMultiThreaded, false);
    def.Property("MultiCast", &TCustomNetSocket::MultiCast, &TCustomNetSocket::SetMultiCast, false);
    def.Property("MultiCastAddrStr", &TCustomNetSocket::MultiCastAddrStr, &TCustomNetSocket::SetMultiCastAddrStr, "");
    def.Property("MultiCastIpTTL", &TCustomNetSocket::MultiCastIpTTL, &TCustomNetSocket::SetMultiCastIpTTL, 1);
    def.Property("FlushTimeout", &TCustomNetSocket::FlushTimeout, &TCustomNetSocket::SetFlushTimeout, 60);
    def.Property("SendFlags", &TCustomNetSocket::SendFlags, &TCustomNetSocket::SetSendFlags, wsSendNormal);
    def.Property("LingerOnOff", &TCustomNetSocket::LingerOnOff, &TCustomNetSocket::SetLingerOnOff, wsLingerOn);
    def.Property("LingerTimeout", &TCustomNetSocket::LingerTimeout, &TCustomNetSocket::SetLingerTimeout, 0);
    def.Property("ComponentOptions", &TCustomNetSocket::ComponentOptions, &TCustomNetSocket::SetComponentOptions,
                 TNetSocketOptions{});
    def.Event("OnDataAvailable", &TCustomNetSocket::OnDataAvailable);
    def.Event("OnDataSent", &TCustomNetSocket::OnDataSent);
    def.Event("OnSendData", &TCustomNetSocket::OnSendData);
    def.Event("OnSessionClosed", &TCustomNetSocket::OnSessionClosed);
    def.Event("OnSessionAvailable", &TCustomNetSocket::OnSessionAvailable);
    def.Event("OnSessionConnected", &TCustomNetSocket::OnSessionConnected);
    def.Event("OnChangeState", &TCustomNetSocket::OnChangeState);
    def.Event("OnLineTooLong", &TCustomNetSocket::OnLineTooLong);
    def.Event("OnDnsLookupDone", &TCustomNetSocket::OnDnsLookupDone);
    def.Event("OnError", &TCustomNetSocket::OnError);
    def.Event("OnBgException", &TCustomNetSocket::OnBgException);
}

TCustomNetSocket::TCustomNetSocket(vcl::TComponent* owner)
    : vcl::TComponent(owner), windowData_(std::make_shared<TWindowData>())
{
    windowData_->Socket = this;
    std::shared_ptr<TWindowData> data = windowData_;
    wnd_ = vcl::AllocateHWnd([data](vcl::TMessage& message) {
        if (data->Socket)
            data->Socket->WndProc(message);
    });
    AssignDefaultValue();
    NetSocketCountUp();
}

TCustomNetSocket::~TCustomNetSocket()
{
    destroying_ = true;
    try {
        CancelRunningLookup();
    } catch (...) {
        // a lookup that cannot be cancelled any more is dropped with the window
    }
    try {
        if (state_ != wsClosed)
            Close();
    } catch (...) {
        // nothing may escape a destructor
    }
    try {
        NetSocketCountDown();
    } catch (...) {
    }
    sendBuffer_.clear();
    windowData_->Socket = nullptr;
    vcl::DeallocateHWnd(wnd_);
}

void TCustomNetSocket::AssignDefaultValue()
{
    handle_ = INVALID_SOCKET;
    addr_.clear();
    addrAssigned_ = addrResolved_ = false;
    port_.clear();
    portAssigned_ = portResolved_ = false;
    proto_ = "tcp";
    protoAssigned_ = true;
    protoResolved_ = false;
    localPortResolved_ = false;
    localPortNumber_ = 0;
    sin_ = sockaddr_in{};
    sin_.sin_family = AF_INET;
    sockType_ = SOCK_STREAM;
    protocol_ = IPPROTO_TCP;
    localAddr_ = "0.0.0.0";
    localPort_ = "0";
    lingerOnOff_ = wsLingerOn;
    lingerTimeout_ = 0;
    reuseAddr_ = false;
    allSent_ = true;
    closeInvoked_ = false;
    paused_ = false;
    selectEvent_ = 0;
    state_ = wsClosed;
}

// ---- the raising rule and error reports

void TCustomNetSocket::RaiseException(const AnsiString& message)
{
    if (OnError)
        OnError(this);
    else
        throw ESocketException(message);
}

void TCustomNetSocket::ReportSocketError(const AnsiString& operation)
{
    int error = wsock::WSAGetLastError();
    AnsiString line = "Error " + rtl::IntToStr(error) + " in function " + operation + "\r\n" + NetSocketErrorDesc(error);
    if (error == WSAECONNRESET || error == WSAENOTCONN) {
        if (handle_ != INVALID_SOCKET)
            wsock::closesocket(handle_);
        handle_ = INVALID_SOCKET;
        // A socket closed long ago (a send after the close) has had its close event already.
        if (!closeInvoked_ && state_ != wsClosed) {
            closeInvoked_ = true;
            TriggerSessionClosed(static_cast<uint16_t>(error));
        }
        ChangeState(wsClosed);
    }
    lastError_ = error;
    RaiseException(line);
}

// ---- properties

void TCustomNetSocket::SetRemoteItem(const AnsiString& value, AnsiString& item, bool& assigned, bool& resolved,
                                     const char* name)
{
    if (assigned && value == item)
        return;
    if (state_ != wsClosed) {
        RaiseException(AnsiString("Cannot change ") + name + " if not closed");
        return;
    }
    item = Trimmed(value);
    resolved = false;
    assigned = !item.empty();
}

void TCustomNetSocket::SetAddr(const AnsiString& value)
{
    SetRemoteItem(value, addr_, addrAssigned_, addrResolved_, "Addr");
}

void TCustomNetSocket::SetPort(const AnsiString& value)
{
    SetRemoteItem(value, port_, portAssigned_, portResolved_, "Port");
}

void TCustomNetSocket::SetProto(const AnsiString& value)
{
    SetRemoteItem(value, proto_, protoAssigned_, protoResolved_, "Proto");
}

void TCustomNetSocket::SetLocalPort(const AnsiString& value)
{
    if (state_ != wsClosed) {
        RaiseException("Cannot change LocalPort if not closed");
        return;
    }
    localPort_ = value;
    localPortResolved_ = false;
}

void TCustomNetSocket::SetLocalAddr(const AnsiString& value)
{
    if (state_ != wsClosed) {
        RaiseException("Cannot change LocalAddr if not closed");
        return;
    }
    AnsiString address = value.empty() ? AnsiString("0.0.0.0") : value;
    // Normalising goes through the library, so a missing library shows here first.
    if (!NetSocketIsDottedIP(address)) {
        RaiseException("SetLocalAddr(): Invalid IP address");
        return;
    }
    localAddr_ = DottedOf(wsock::inet_addr(Trimmed(address).c_str()));
}

TSocketSendFlags TCustomNetSocket::SendFlags() const
{
    if (sendFlags_ == 0)
        return wsSendNormal;
    if (sendFlags_ == MSG_OOB)
        return wsSendUrgent;
    throw ESocketException("Invalid internal SendFlags");
}

void TCustomNetSocket::SetSendFlags(TSocketSendFlags value)
{
    if (value == wsSendNormal)
        sendFlags_ = 0;
    else if (value == wsSendUrgent)
        sendFlags_ = MSG_OOB;
    else
        RaiseException("Invalid SendFlags");
}

void TCustomNetSocket::ChangeState(TSocketState newState)
{
    TSocketState oldState = state_;
    state_ = newState;
    if (oldState != newState && OnChangeState)
        OnChangeState(this, oldState, newState);
}

// ---- events

void TCustomNetSocket::TriggerSessionConnected(uint16_t error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, error);
}

void TCustomNetSocket::TriggerSessionClosed(uint16_t error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, error);
}

void TCustomNetSocket::TriggerDataAvailable(uint16_t error)
{
    if (OnDataAvailable) {
        OnDataAvailable(this, error);
        return;
    }
    // Nobody reads: the data is dropped, so the notifications go on.
    char buffer[1024];
    if (wsock::recv(handle_, buffer, sizeof buffer, 0) < 0) {
        int failure = wsock::WSAGetLastError();
        if (failure != WSAEWOULDBLOCK)
            lastError_ = failure;
    }
}

void TCustomNetSocket::TriggerDataSent(uint16_t error)
{
    if (OnDataSent)
        OnDataSent(this, error);
}

void TCustomNetSocket::TriggerDnsLookupDone(uint16_t error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}

// ---- the hidden window

void TCustomNetSocket::WndProc(vcl::TMessage& message)
{
    try {
        switch (message.Msg) {
        case WM_ASYNCSELECT: DoSocketNotification(message); break;
        case WM_ASYNCGETHOSTBYNAME: DoLookupDone(message, false); break;
        case WM_ASYNCGETHOSTBYADDR: DoLookupDone(message, true); break;
        case WM_CLOSE_DELAYED: Close(); break;
        case WM_CLOSE_CONTINUED:
            if (message.WParam == handle_ && ReceiveLoop(static_cast<uint16_t>(message.LParam), true))
                FinishClose(static_cast<uint16_t>(message.LParam));
            break;
        case WM_FREE_DELAYED: delete this; break;
        case WM_TEST_EXCEPTION: throw ESocketException("Test exception in NetSocket");
        default: break;
        }
    } catch (rtl::Exception& error) {
        HandleBackGroundException(error);
    }
}

void TCustomNetSocket::HandleBackGroundException(rtl::Exception& error)
{
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, error, canClose);
        } catch (...) {
            // the handler's own failure changes nothing
        }
    }
    if (canClose) {
        try {
            AbortConnection();
        } catch (...) {
        }
    }
}

void TCustomNetSocket::DoSocketNotification(vcl::TMessage& message)
{
    if (message.WParam != handle_ || paused_)
        return;
    uint16_t events = LowWord(message.LParam);
    uint16_t error = HighWord(message.LParam);
    if (events & FD_CONNECT) {
        if (state_ != wsConnected) {
            ChangeState(wsConnected);
            TriggerSessionConnected(error);
            if (error != 0 && state_ != wsClosed)
                Close();
        }
    }
    if (events & FD_READ) {
        if (state_ != wsConnected) {
            ChangeState(wsConnected);
            TriggerSessionConnected(error);
        }
        ReceiveLoop(error, false);
    }
    if (events & FD_WRITE) {
        TryToSend();
        if (allSent_)
            TriggerDataSent(error);
    }
    if (events & FD_ACCEPT) {
        if (OnSessionAvailable)
            OnSessionAvailable(this, error);
    }
    if ((events & FD_CLOSE) && state_ != wsConnecting) {
        if (ReceiveLoop(error, true))
            FinishClose(error);
        else
            vcl::PostMessage(wnd_, WM_CLOSE_CONTINUED, handle_, error);
    }
}

void TCustomNetSocket::FinishClose(uint16_t error)
{
    if (!closeInvoked_) {
        closeInvoked_ = true;
        TriggerSessionClosed(error);
    }
    if (state_ != wsClosed)
        Close();
}

bool TCustomNetSocket::ReceiveLoop(uint16_t error, bool untilEmpty)
{
    const int64_t readAtStart = readCount_;
    const auto passEnd = std::chrono::steady_clock::now() + ReceivePassTime;
    try {
        while (handle_ != INVALID_SOCKET) {
            lastError_ = 0;
            int64_t readBefore = readCount_;
            TriggerDataAvailable(error);
            if (!untilEmpty && options_.Contains(nsoNoReceiveLoop))
                break;
            if (lastError_ != 0 || handle_ == INVALID_SOCKET)
                break;
            // A handler that read nothing would be asked again for ever; its next notification comes.
            if (OnDataAvailable && readCount_ == readBefore)
                break;
            u_long waiting = 0;
            if (wsock::ioctlsocket(handle_, FIONREAD, &waiting) == SOCKET_ERROR || waiting == 0)
                break;
            // The rest waits for the next pass: a read re-arms the read notification, and a close
            // continues from the message it posts.
            if (readCount_ - readAtStart >= ReceivePassBytes || std::chrono::steady_clock::now() >= passEnd)
                return false;
        }
    } catch (...) {
        // a failing handler ends the pass and nothing more
    }
    return true;
}

// ---- look-ups

void TCustomNetSocket::CancelRunningLookup()
{
    if (!lookupHandle_)
        return;
    HANDLE request = lookupHandle_;
    lookupHandle_ = nullptr;
    wsock::WSACancelAsyncRequest(request);
}

void TCustomNetSocket::DnsLookup(const AnsiString& hostName)
{
    if (hostName.empty()) {
        RaiseException("DNS lookup: invalid host name.");
        TriggerDnsLookupDone(WSAEINVAL);
        return;
    }
    CancelRunningLookup();
    dnsResult_.clear();
    dnsResultList_.clear();
    if (NetSocketIsDottedIP(hostName)) {
        dnsResult_ = DottedOf(wsock::inet_addr(Trimmed(hostName).c_str()));
        TriggerDnsLookupDone(0);
        return;
    }
    lookupStarting_ = true;
    HANDLE request = wsock::WSAAsyncGetHostByName(wnd_, WM_ASYNCGETHOSTBYNAME, hostName.c_str(), lookupBuffer_,
                                                  sizeof lookupBuffer_);
    LookupStarted(request, hostName, false);
}

void TCustomNetSocket::LookupStarted(HANDLE request, const AnsiString& host, bool reverse)
{
    lookupStarting_ = false;
    if (!request) {
        heldLookupAnswers_.clear();
        RaiseException(rtl::Format("%s: can't start DNS lookup, error #%d", host.c_str(), wsock::WSAGetLastError()));
        return;
    }
    lookupHandle_ = request;
    // An answer that came before the handle was known is handled now.
    std::vector<vcl::TMessage> held;
    held.swap(heldLookupAnswers_);
    for (vcl::TMessage& message : held)
        DoLookupDone(message, reverse);
}

void TCustomNetSocket::ReverseDnsLookup(const AnsiString& hostAddr)
{
    if (hostAddr.empty() || hostAddr.size() > 256 || !NetSocketIsDottedIP(hostAddr)) {
        RaiseException("ReverseDnsLookup: Invalid host name.");
        TriggerDnsLookupDone(WSAEINVAL);
        return;
    }
    CancelRunningLookup();
    dnsResult_.clear();
    dnsResultList_.clear();
    u_long address = wsock::inet_addr(Trimmed(hostAddr).c_str());
    lookupStarting_ = true;
    HANDLE request = wsock::WSAAsyncGetHostByAddr(wnd_, WM_ASYNCGETHOSTBYADDR, reinterpret_cast<const char*>(&address),
                                                  4, AF_INET, lookupBuffer_, sizeof lookupBuffer_);
    LookupStarted(request, hostAddr, true);
}

void TCustomNetSocket::CancelLookup()
{
    if (!lookupHandle_)
        return;
    HANDLE request = lookupHandle_;
    lookupHandle_ = nullptr;
    if (wsock::WSACancelAsyncRequest(request) != 0) {
        ReportSocketError("WSACancelAsyncRequest");
        return;
    }
    if (!destroying_)
        TriggerDnsLookupDone(10004);
}

void TCustomNetSocket::DoLookupDone(vcl::TMessage& message, bool reverse)
{
    if (lookupStarting_) {
        heldLookupAnswers_.push_back(message);
        return;
    }
    if (!lookupHandle_ || message.WParam != reinterpret_cast<uintptr_t>(lookupHandle_))
        return;
    lookupHandle_ = nullptr;
    uint16_t error = HighWord(message.LParam);
    if (error == 0) {
        const auto* host = reinterpret_cast<const hostent*>(lookupBuffer_);
        if (reverse) {
            dnsResult_ = host->h_name ? host->h_name : "";
            dnsResultList_.assign(1, dnsResult_);
        } else {
            for (char** entry = host->h_addr_list; entry && *entry; ++entry) {
                u_long address = 0;
                std::memcpy(&address, *entry, sizeof address);
                dnsResultList_.push_back(DottedOf(address));
            }
            if (!dnsResultList_.empty())
                dnsResult_ = dnsResultList_.front();
        }
    }
    TriggerDnsLookupDone(error);
}

// ---- connecting

void TCustomNetSocket::ResolveForConnect()
{
    if (!protoResolved_) {
        protocol_ = NetSocketResolveProto(proto_);
        sockType_ = protocol_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
        protoResolved_ = true;
    }
    if (!portResolved_) {
        sin_.sin_port = wsock::htons(static_cast<u_short>(NetSocketResolvePort(port_, proto_)));
        portResolved_ = true;
    }
    if (!localPortResolved_) {
        localPortNumber_ = NetSocketResolvePort(localPort_, proto_);
        localPortResolved_ = true;
    }
    if (!addrResolved_) {
        sin_.sin_addr.S_addr = NetSocketResolveHost(addr_);
        addrResolved_ = true;
    }
}

void TCustomNetSocket::SetOption(int level, int option, int value, const char* operation)
{
    if (wsock::setsockopt(handle_, level, option, reinterpret_cast<const char*>(&value), sizeof value) == SOCKET_ERROR)
        ReportSocketError(operation);
}

void TCustomNetSocket::SetLingerOption()
{
    if (lingerOnOff_ == wsLingerNoSet)
        return;
    if (handle_ == INVALID_SOCKET) {
        RaiseException("Cannot set linger option at this time");
        return;
    }
    linger value{static_cast<u_short>(lingerOnOff_ == wsLingerOn ? 1 : 0), static_cast<u_short>(lingerTimeout_)};
    if (wsock::setsockopt(handle_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value), sizeof value) ==
        SOCKET_ERROR)
        ReportSocketError("setsockopt(SO_LINGER)");
}

void TCustomNetSocket::BindSocket()
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = wsock::htons(static_cast<u_short>(localPortNumber_));
    local.sin_addr.S_addr = wsock::inet_addr(localAddr_.c_str());
    if (wsock::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        RaiseException(rtl::Format("winsock.bind failed, error #%d", wsock::WSAGetLastError()));
        return;
    }
    int length = sizeof local;
    if (wsock::getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) == SOCKET_ERROR) {
        RaiseException(rtl::Format("winsock.getsockname failed, error #%d", wsock::WSAGetLastError()));
        return;
    }
    localPortNumber_ = wsock::ntohs(local.sin_port);
    localPort_ = rtl::IntToStr(localPortNumber_);
}

void TCustomNetSocket::Connect()
{
    if (handle_ != INVALID_SOCKET && state_ != wsClosed) {
        RaiseException("Connect: Socket already in use");
        return;
    }
    if (!portAssigned_) {
        RaiseException("Connect: No Port Specified");
        return;
    }
    if (!addrAssigned_) {
        RaiseException("Connect: No IP Address Specified");
        return;
    }
    if (!protoAssigned_) {
        RaiseException("Connect: No Protocol Specified");
        return;
    }
    try {
        ResolveForConnect();
    } catch (const ESocketException& error) {
        RaiseException("connect: " + error.Message());
        return;
    }
    DeleteBufferedData();
    handle_ = wsock::socket(sin_.sin_family, sockType_, protocol_);
    if (handle_ == INVALID_SOCKET) {
        ReportSocketError("Connect (socket)");
        return;
    }
    ChangeState(wsOpened);
    if (IsStream()) {
        SetOption(SOL_SOCKET, SO_REUSEADDR, 1, "setsockopt(SO_REUSEADDR)");
        if (options_.Contains(nsoTcpNoDelay))
            SetOption(IPPROTO_TCP, TCP_NODELAY, 1, "setsockopt(IPPROTO_TCP, TCP_NODELAY)");
        SetLingerOption();
        SetOption(SOL_SOCKET, SO_KEEPALIVE, 1, "setsockopt(SO_KEEPALIVE)");
        if (localPortNumber_ != 0 || localAddr_ != "0.0.0.0")
            BindSocket();
    } else {
        BindSocket();
        if (multiCast_ && multiCastIpTTL_ != 1) {
            int ttl = multiCastIpTTL_;
            // bound when the program loads, as the multicast options always were
            if (WinSockSetSockOpt(handle_, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl),
                                  sizeof ttl) == SOCKET_ERROR)
                ReportSocketError("setsockopt(IP_MULTICAST_TTL)");
        }
        if (sin_.sin_addr.S_addr == INADDR_NONE)
            SetOption(SOL_SOCKET, SO_BROADCAST, 1, "setsockopt(SO_BROADCAST)");
    }
    selectEvent_ = ConnectEvents;
    if (wsock::WSAAsyncSelect(handle_, wnd_, WM_ASYNCSELECT, selectEvent_) == SOCKET_ERROR) {
        ReportSocketError("WSAAsyncSelect");
        return;
    }
    if (!IsStream()) {
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
        return;
    }
    if (wsock::connect(handle_, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_) == 0) {
        ChangeState(wsConnecting);
        return;
    }
    int error = wsock::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        ChangeState(wsConnecting);
        return;
    }
    lastError_ = error;
    ReportSocketError("Connect");
}

void TCustomNetSocket::Listen()
{
    if (!portAssigned_ || !protoAssigned_ || !addrAssigned_) {
        wsock::WSASetLastError(WSAEINVAL);
        RaiseException(!portAssigned_    ? "listen: port not assigned"
                       : !protoAssigned_ ? "listen: protocol not assigned"
                                         : "listen: address not assigned");
        return;
    }
    try {
        ResolveForConnect();
    } catch (const ESocketException& error) {
        RaiseException("listen: " + error.Message());
        return;
    }
    handle_ = wsock::socket(sin_.sin_family, sockType_, protocol_);
    if (handle_ == INVALID_SOCKET) {
        ReportSocketError("socket");
        return;
    }
    if (!IsStream() && reuseAddr_) {
        int on = 1;
        if (WinSockSetSockOpt(handle_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) ==
            SOCKET_ERROR)
            ReportSocketError("setsockopt(SO_REUSEADDR)");
    }
    // A listening socket binds to its own address and port.
    sockaddr_in local = sin_;
    if (wsock::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        ReportSocketError("Bind");
        Close();
        return;
    }
    int length = sizeof local;
    if (wsock::getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        sin_.sin_port = local.sin_port;
    ChangeState(wsBound);
    if (!IsStream() && multiCast_) {
        ip_mreq request{};
        request.imr_multiaddr.S_addr = WinSockInetAddr(multiCastAddrStr_.c_str());
        request.imr_interface.S_addr = WinSockHtonl(INADDR_ANY);
        if (WinSockSetSockOpt(handle_, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                              sizeof request) == SOCKET_ERROR)
            ReportSocketError("setsockopt(IP MULTICAST)");
    }
    if (!IsStream()) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
    } else {
        if (wsock::listen(handle_, 5) == SOCKET_ERROR) {
            ReportSocketError("Listen");
            return;
        }
        ChangeState(wsListening);
    }
    selectEvent_ = ListenEvents;
    if (wsock::WSAAsyncSelect(handle_, wnd_, WM_ASYNCSELECT, selectEvent_) == SOCKET_ERROR)
        ReportSocketError("WSAASyncSelect");
}

SOCKET TCustomNetSocket::Accept()
{
    if (state_ != wsListening) {
        wsock::WSASetLastError(WSAEINVAL);
        RaiseException("not a listening socket");
        return INVALID_SOCKET;
    }
    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET accepted = wsock::accept(handle_, reinterpret_cast<sockaddr*>(&peer), &length);
    if (accepted == INVALID_SOCKET)
        ReportSocketError("Accept");
    return accepted;
}

void TCustomNetSocket::Dup(SOCKET handle)
{
    if (handle == 0 || handle == INVALID_SOCKET) {
        wsock::WSASetLastError(WSAEINVAL);
        ReportSocketError("Dup");
        return;
    }
    if (handle_ != INVALID_SOCKET && wsock::closesocket(handle_) == SOCKET_ERROR) {
        ReportSocketError("Dup (closesocket)");
        return;
    }
    handle_ = handle;
    SetLingerOption();
    selectEvent_ = DupEvents;
    if (wsock::WSAAsyncSelect(handle_, wnd_, WM_ASYNCSELECT, selectEvent_) == SOCKET_ERROR) {
        ReportSocketError("WSAAsyncSelect");
        return;
    }
    ChangeState(wsConnected);
}

// ---- sending

void TCustomNetSocket::DeleteBufferedData()
{
    sendBuffer_.clear();
}

std::vector<int> TCustomNetSocket::SendBufferChunks() const
{
    std::vector<int> chunks;
    for (const auto& chunk : sendBuffer_) {
        int length = 0;
        chunk->Peek(length);
        chunks.push_back(length);
    }
    return chunks;
}

void TCustomNetSocket::PutDataInSendBuffer(const char* data, int length)
{
    while (length > 0) {
        if (sendBuffer_.empty())
            sendBuffer_.push_back(std::make_unique<TBuffer>(SendChunkSize));
        int written = sendBuffer_.back()->Write(data, length);
        if (written == 0) {
            sendBuffer_.push_back(std::make_unique<TBuffer>(SendChunkSize));
            continue;
        }
        data += written;
        length -= written;
    }
}

int TCustomNetSocket::Send(const void* data, int length)
{
    if (state_ != wsConnected) {
        wsock::WSASetLastError(WSAENOTCONN);
        ReportSocketError("Send");
        return -1;
    }
    if (length > 0 && data)
        PutDataInSendBuffer(static_cast<const char*>(data), length);
    allSent_ = false;
    TryToSend();
    if (allSent_) {
        // OnDataSent still comes from the message loop, as after any send.
        vcl::PostMessage(wnd_, WM_ASYNCSELECT, handle_, FD_WRITE);
    }
    return length;
}

int TCustomNetSocket::SendText(const AnsiString& text)
{
    if (text.empty())
        return 0;
    return Send(text.data(), static_cast<int>(text.size()));
}

void TCustomNetSocket::TryToSend()
{
    while (handle_ != INVALID_SOCKET && !sendBuffer_.empty()) {
        TBuffer& chunk = *sendBuffer_.front();
        int length = 0;
        const char* data = chunk.Peek(length);
        if (length <= 0) {
            if (sendBuffer_.size() > 1) {
                sendBuffer_.pop_front();
                continue;
            }
            allSent_ = true;
            break;
        }
        int sent = IsStream()
                       ? wsock::send(handle_, data, length, sendFlags_)
                       : wsock::sendto(handle_, data, length, sendFlags_, reinterpret_cast<const sockaddr*>(&sin_),
                                       sizeof sin_);
        if (sent == SOCKET_ERROR) {
            int error = wsock::WSAGetLastError();
            if (error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED || error == WSAECONNRESET ||
                error == WSAENOTCONN) {
                lastError_ = error;
                InternalClose(false, static_cast<uint16_t>(error));
                return;
            }
            if (error == WSAEWOULDBLOCK)
                return;  // the next write notification goes on
            ReportSocketError("TryToSend failed");
            return;
        }
        chunk.Remove(sent);
        bool partial = sent < length;
        if (sent > 0 && OnSendData) {
            OnSendData(this, sent);
            if (handle_ == INVALID_SOCKET)
                return;
        }
        if (partial)
            return;
    }
}

void TCustomNetSocket::FlushSendBuffer()
{
    while (handle_ != INVALID_SOCKET && !allSent_) {
        TryToSend();
        if (!allSent_)
            PumpMessages();
    }
}

// ---- receiving

int TCustomNetSocket::Receive(void* buffer, int length)
{
    int got = wsock::recv(handle_, static_cast<char*>(buffer), length, 0);
    if (got < 0)
        lastError_ = wsock::WSAGetLastError();
    else
        readCount_ += got;
    return got;
}

AnsiString TCustomNetSocket::ReceiveText()
{
    int count = RcvdCount();
    if (count < 0)
        return AnsiString();
    if (count == 0)
        count = 255;
    AnsiString text(static_cast<size_t>(count), '\0');
    int got = Receive(text.data(), count);
    if (got <= 0)
        return AnsiString();
    text.resize(static_cast<size_t>(got));
    return text;
}

int TCustomNetSocket::RcvdCount()
{
    if (ComponentState().Contains(vcl::csDesigning))
        return -1;
    u_long waiting = 0;
    if (wsock::ioctlsocket(handle_, FIONREAD, &waiting) == SOCKET_ERROR) {
        ReportSocketError("ioctlSocket");
        return -1;
    }
    return static_cast<int>(waiting);
}

int TCustomNetSocket::ReceiveDatagram(void* buffer, int length, sockaddr_in& from)
{
    int fromLength = sizeof from;
    int got = wsock::recvfrom(handle_, static_cast<char*>(buffer), length, 0, reinterpret_cast<sockaddr*>(&from),
                              &fromLength);
    if (got < 0)
        lastError_ = wsock::WSAGetLastError();
    else
        readCount_ += got;
    return got;
}

int TCustomNetSocket::SendDatagram(const void* data, int length, const sockaddr_in& to)
{
    int sent = wsock::sendto(handle_, static_cast<const char*>(data), length, sendFlags_,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0)
        lastError_ = wsock::WSAGetLastError();
    return sent;
}

// ---- closing

void TCustomNetSocket::Close()
{
    InternalClose(true, 0);
}

void TCustomNetSocket::Abort()
{
    AbortConnection();
}

void TCustomNetSocket::AbortConnection()
{
    CancelRunningLookup();
    DeleteBufferedData();
    if (handle_ != INVALID_SOCKET && IsStream() && state_ == wsConnected) {
        lingerOnOff_ = wsLingerOff;
        SetLingerOption();
    }
    InternalClose(false, 0);
}

void TCustomNetSocket::ShutdownSocket(int how)
{
    if (handle_ != INVALID_SOCKET)
        wsock::shutdown(handle_, how);
}

void TCustomNetSocket::InternalClose(bool shutdownFirst, uint16_t error)
{
    if (state_ == wsClosed && handle_ == INVALID_SOCKET)
        return;
    if (handle_ == INVALID_SOCKET) {
        ChangeState(wsClosed);
        AssignDefaultValue();
        return;
    }
    if (shutdownFirst && IsStream())
        wsock::shutdown(handle_, SD_SEND);
    while (wsock::closesocket(handle_) == SOCKET_ERROR) {
        int failure = wsock::WSAGetLastError();
        if (failure == WSANOTINITIALISED)
            break;
        if (failure != WSAEWOULDBLOCK) {
            ReportSocketError("Disconnect (closesocket)");
            return;
        }
        PumpMessages();
    }
    handle_ = INVALID_SOCKET;
    ChangeState(wsClosed);
    if (!destroying_ && !closeInvoked_) {
        closeInvoked_ = true;
        TriggerSessionClosed(error);
    }
    try {
        AssignDefaultValue();
    } catch (...) {
    }
}

// ---- events of the loop

void TCustomNetSocket::PauseEvents()
{
    paused_ = true;
    if (handle_ != INVALID_SOCKET)
        wsock::WSAAsyncSelect(handle_, wnd_, 0, 0);
}

void TCustomNetSocket::ResumeEvents()
{
    paused_ = false;
    if (handle_ != INVALID_SOCKET && selectEvent_ != 0)
        wsock::WSAAsyncSelect(handle_, wnd_, WM_ASYNCSELECT, selectEvent_);
}

void TCustomNetSocket::PostClose()
{
    vcl::PostMessage(wnd_, WM_CLOSE_DELAYED, 0, 0);
}

void TCustomNetSocket::PostFree()
{
    vcl::PostMessage(wnd_, WM_FREE_DELAYED, 0, 0);
}

void TCustomNetSocket::DrainUntilClosed()
{
    while (handle_ != INVALID_SOCKET && state_ != wsClosed) {
        PumpMessages();
        if (handle_ == INVALID_SOCKET)
            break;
        u_long waiting = 0;
        if (wsock::ioctlsocket(handle_, FIONREAD, &waiting) == SOCKET_ERROR)
            break;
        if (waiting == 0)
            continue;
        lastError_ = 0;
        TriggerDataAvailable(0);
        if (lastError_ != 0 && lastError_ != WSAEWOULDBLOCK)
            break;
    }
}

void TCustomNetSocket::PumpMessages()
{
    // One loop serves every window of the thread here, so both kinds of socket use the application's.
    vcl::Application->ProcessMessages();
}

// ---- addresses

// The peer's or the local address and port, "error" when the state has none or the library fails.
AnsiString TCustomNetSocket::AddressPart(bool peer, bool port, const char* operation)
{
    bool answers = peer ? state_ == wsConnected
                        : state_ == wsBound || state_ == wsConnected || state_ == wsListening;
    if (!answers)
        return "error";
    sockaddr_in address{};
    int length = sizeof address;
    int result = peer ? wsock::getpeername(handle_, reinterpret_cast<sockaddr*>(&address), &length)
                      : wsock::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length);
    if (result == SOCKET_ERROR) {
        ReportSocketError(operation);
        return "error";
    }
    return port ? rtl::IntToStr(wsock::ntohs(address.sin_port)) : DottedOf(address.sin_addr.S_addr);
}

AnsiString TCustomNetSocket::PeerAddr()
{
    return AddressPart(true, false, "GetPeerName");
}

AnsiString TCustomNetSocket::PeerPort()
{
    return AddressPart(true, true, "GetPeerPort");
}

AnsiString TCustomNetSocket::GetXAddr()
{
    return AddressPart(false, false, "GetSockName");
}

AnsiString TCustomNetSocket::GetXPort()
{
    return AddressPart(false, true, "GetSockPort");
}

}  // namespace net
