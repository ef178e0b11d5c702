#pragma once
// TCustomNetSocket: one Windows socket as an event-driven, non-blocking component. It resolves names
// asynchronously, connects, keeps outgoing data in chunks and sends them as the network accepts them, and
// turns the library's notifications (messages to a hidden window of its own) into events, all on the
// thread that made it:
//
//   auto* socket = new net::TNetSocket(owner);
//   socket->OnSessionConnected = [](TObject*, uint16_t error) { ... };
//   socket->OnDataAvailable = [socket](TObject*, uint16_t) { AnsiString text = socket->ReceiveText(); };
//   socket->SetAddr("localhost"); socket->SetPort("80"); socket->Connect();
//
// Checks and library failures go through one rule: with OnError assigned, it fires and the operation
// goes on; otherwise ESocketException carries the text. Closing resets the connection by default
// (lingering on, 0 seconds), dropping what was not sent.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "net/NetSocketBuf.h"
#include "net/NetSocketLibrary.h"
#include "platform/vcl/Classes.h"
#include "platform/vcl/Messages.h"

namespace net {

using vcl::TObject;

VCL_ENUM(TSocketState, wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening,
         wsClosed)
VCL_ENUM(TSocketSendFlags, wsSendNormal, wsSendUrgent)
VCL_ENUM(TSocketLingerOnOff, wsLingerOff, wsLingerOn, wsLingerNoSet)
VCL_ENUM(TNetSocketOption, nsoNoReceiveLoop, nsoTcpNoDelay)
using TNetSocketOptions = vcl::TSet<TNetSocketOption>;

using TSessionEvent = std::function<void(TObject* Sender, uint16_t Error)>;
using TSendDataEvent = std::function<void(TObject* Sender, int BytesSent)>;
using TChangeStateEvent = std::function<void(TObject* Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent = std::function<void(TObject* Sender, rtl::Exception& E, bool& CanClose)>;

// The hidden window's messages.
inline constexpr vcl::UINT WM_ASYNCSELECT = vcl::WM_USER + 1;
inline constexpr vcl::UINT WM_ASYNCGETHOSTBYNAME = vcl::WM_USER + 2;
inline constexpr vcl::UINT WM_ASYNCGETHOSTBYADDR = vcl::WM_USER + 3;
inline constexpr vcl::UINT WM_CLOSE_DELAYED = vcl::WM_USER + 4;
inline constexpr vcl::UINT WM_FREE_DELAYED = vcl::WM_USER + 5;
inline constexpr vcl::UINT WM_TEST_EXCEPTION = vcl::WM_USER + 6;
// The rest of a close whose remaining data did not fit in one pass (wParam = socket handle, lParam = error).
inline constexpr vcl::UINT WM_CLOSE_CONTINUED = vcl::WM_USER + 7;

// The text of a Windows Sockets error code ("Not a WinSock error" for any other number).
AnsiString NetSocketErrorDesc(int error);
// Whether `text` is four numbers of at most 255 joined by three dots (blanks around allowed).
bool NetSocketIsDottedIP(const AnsiString& text);
// Network-order address of a host name or dotted address; raises ESocketException.
win::u_long NetSocketResolveHost(const AnsiString& text);
// Port number (host order) of a number or service name; raises ESocketException.
int NetSocketResolvePort(const AnsiString& port, const AnsiString& protocol);
// Protocol number of a number or protocol name; raises ESocketException.
int NetSocketResolveProto(const AnsiString& text);

class TCustomNetSocket : public vcl::TComponent {
    VCL_CLASS(TCustomNetSocket, vcl::TComponent)
public:
    explicit TCustomNetSocket(vcl::TComponent* owner);
    ~TCustomNetSocket() override;

    // ---- connection
    virtual void Connect();
    void Close();
    void Abort();
    void AbortConnection();
    void ShutdownSocket(int how);
    virtual void Listen();
    win::SOCKET Accept();
    void Dup(win::SOCKET handle);

    // ---- look-ups
    void DnsLookup(const AnsiString& hostName);
    void ReverseDnsLookup(const AnsiString& hostAddr);
    void CancelLookup();

    // ---- data
    int Send(const void* data, int length);
    int SendText(const AnsiString& text);
    virtual int Receive(void* buffer, int length);
    AnsiString ReceiveText();
    virtual int RcvdCount();
    int ReceiveDatagram(void* buffer, int length, win::sockaddr_in& from);
    int SendDatagram(const void* data, int length, const win::sockaddr_in& to);
    void FlushSendBuffer();
    bool AllSent() const { return allSent_; }
    // The chunks waiting in the send buffer, each with its unread count (first first).
    std::vector<int> SendBufferChunks() const;

    // ---- events of the loop
    void PauseEvents();
    void ResumeEvents();
    void PostClose();
    void PostFree();
    void DrainUntilClosed();
    void PumpMessages();

    // ---- addresses
    AnsiString PeerAddr();
    AnsiString PeerPort();
    AnsiString GetXAddr();
    AnsiString GetXPort();

    // ---- errors
    void ReportSocketError(const AnsiString& operation);
    void RaiseException(const AnsiString& message);

    // ---- properties
    const AnsiString& Addr() const { return addr_; }
    void SetAddr(const AnsiString& value);
    const AnsiString& Port() const { return port_; }
    void SetPort(const AnsiString& value);
    const AnsiString& Proto() const { return proto_; }
    void SetProto(const AnsiString& value);
    const AnsiString& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const AnsiString& value);
    const AnsiString& LocalPort() const { return localPort_; }
    void SetLocalPort(const AnsiString& value);
    TSocketState State() const { return state_; }
    win::SOCKET HSocket() const { return handle_; }
    vcl::HWND Handle() const { return wnd_; }
    TSocketSendFlags SendFlags() const;
    void SetSendFlags(TSocketSendFlags value);
    TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
    void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
    int LingerTimeout() const { return lingerTimeout_; }
    void SetLingerTimeout(int value) { lingerTimeout_ = value; }
    bool ReuseAddr() const { return reuseAddr_; }
    void SetReuseAddr(bool value) { reuseAddr_ = value; }
    TNetSocketOptions ComponentOptions() const { return options_; }
    void SetComponentOptions(TNetSocketOptions value) { options_ = value; }
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool value) { multiThreaded_ = value; }
    bool MultiCast() const { return multiCast_; }
    void SetMultiCast(bool value) { multiCast_ = value; }
    const AnsiString& MultiCastAddrStr() const { return multiCastAddrStr_; }
    void SetMultiCastAddrStr(const AnsiString& value) { multiCastAddrStr_ = value; }
    int MultiCastIpTTL() const { return multiCastIpTTL_; }
    void SetMultiCastIpTTL(int value) { multiCastIpTTL_ = value; }
    int FlushTimeout() const { return flushTimeout_; }
    void SetFlushTimeout(int value) { flushTimeout_ = value; }
    const AnsiString& DnsResult() const { return dnsResult_; }
    const std::vector<AnsiString>& DnsResultList() const { return dnsResultList_; }
    int64_t ReadCount() const { return readCount_; }
    int LastError() const { return lastError_; }
    bool Terminated() const { return terminated_; }

    TSessionEvent OnDataAvailable;
    TSessionEvent OnDataSent;
    TSessionEvent OnSessionClosed;
    TSessionEvent OnSessionAvailable;
    TSessionEvent OnSessionConnected;
    TSessionEvent OnDnsLookupDone;
    TSendDataEvent OnSendData;
    TChangeStateEvent OnChangeState;
    vcl::TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;
    TSessionEvent OnLineTooLong;

protected:
    virtual void WndProc(vcl::TMessage& message);
    void ChangeState(TSocketState newState);
    virtual void TriggerSessionConnected(uint16_t error);
    virtual void TriggerSessionClosed(uint16_t error);
    virtual void TriggerDataAvailable(uint16_t error);
    virtual void TriggerDataSent(uint16_t error);
    virtual void TriggerDnsLookupDone(uint16_t error);
    void HandleBackGroundException(rtl::Exception& error);

private:
    struct TWindowData;

    void AssignDefaultValue();
    void SetRemoteItem(const AnsiString& value, AnsiString& item, bool& assigned, bool& resolved, const char* name);
    AnsiString AddressPart(bool peer, bool port, const char* operation);
    void ResolveForConnect();
    void SetLingerOption();
    void BindSocket();
    void SetOption(int level, int option, int value, const char* operation);
    bool IsStream() const { return sockType_ == win::SOCK_STREAM; }
    void DeleteBufferedData();
    void PutDataInSendBuffer(const char* data, int length);
    void TryToSend();
    // One bounded pass of reads; false when data was left for a later pass.
    bool ReceiveLoop(uint16_t error, bool untilEmpty);
    void FinishClose(uint16_t error);
    void InternalClose(bool shutdownFirst, uint16_t error);
    void CancelRunningLookup();
    void DoSocketNotification(vcl::TMessage& message);
    void DoLookupDone(vcl::TMessage& message, bool reverse);
    void LookupStarted(win::HANDLE request, const AnsiString& host, bool reverse);

    std::shared_ptr<TWindowData> windowData_;
    vcl::HWND wnd_ = nullptr;
    win::SOCKET handle_ = win::INVALID_SOCKET;
    TSocketState state_ = wsClosed;

    AnsiString addr_, port_, proto_ = "tcp";
    bool addrAssigned_ = false, addrResolved_ = false;
    bool portAssigned_ = false, portResolved_ = false;
    bool protoAssigned_ = true, protoResolved_ = false;
    bool localPortResolved_ = false;
    int localPortNumber_ = 0;
    win::sockaddr_in sin_{};
    int sockType_ = win::SOCK_STREAM;
    int protocol_ = win::IPPROTO_TCP;
    AnsiString localAddr_ = "0.0.0.0", localPort_ = "0";
    TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
    int lingerTimeout_ = 0;
    bool reuseAddr_ = false;
    TNetSocketOptions options_;
    bool multiThreaded_ = false;
    bool multiCast_ = false;
    AnsiString multiCastAddrStr_;
    int multiCastIpTTL_ = 1;
    int sendFlags_ = 0;
    int flushTimeout_ = 60;
    AnsiString dnsResult_;
    std::vector<AnsiString> dnsResultList_;
    int64_t readCount_ = 0;
    int lastError_ = 0;

    std::deque<std::unique_ptr<TBuffer>> sendBuffer_;
    bool allSent_ = true;
    bool closeInvoked_ = false;
    bool paused_ = false;
    long selectEvent_ = 0;
    bool destroying_ = false;
    bool terminated_ = false;

    win::HANDLE lookupHandle_ = nullptr;
    bool lookupStarting_ = false;
    std::vector<vcl::TMessage> heldLookupAnswers_;
    alignas(void*) char lookupBuffer_[1025] = {};
};

}  // namespace net

// The SOCKS, line and waiting layers and the published TNetSocket above them.
#include "net/NetSocketLayers.h"
