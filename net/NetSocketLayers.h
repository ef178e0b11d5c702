#pragma once
// Three layers between the socket base and the published TNetSocket, each passing calls straight through
// while unused:
//   - TCustomSocksNetSocket connects through a SOCKS 4, 4A or 5 proxy (SocksServer not empty);
//   - TCustomLineNetSocket hands received data over line by line (LineMode on);
//   - TCustomSyncNetSocket waits for a flag while the messages go on, never longer than its time-out.
//
//   socket->SetSocksServer("127.0.0.1"); socket->SetSocksPort("1080");
//   socket->SetSocksAuthentication(socksAuthenticateUsercode); socket->SetSocksUsercode("me"); ...
//   socket->Connect();   // OnSessionConnected fires once the proxy has connected the target

#include <cstdint>
#include <functional>
#include <string>

#include "net/NetSocket.h"

namespace net {

VCL_ENUM(TSocksAuthentication, socksNoAuthentication, socksAuthenticateUsercode)
VCL_ENUM(TSocksAuthState, socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired)

using TSocksErrorEvent = std::function<void(TObject* Sender, int Error, const AnsiString& Msg)>;
using TSocksAuthStateEvent = std::function<void(TObject* Sender, TSocksAuthState AuthState)>;
using TLineLimitEvent = std::function<void(TObject* Sender, int RcvdLength, bool& ClearData)>;

// The message that hands waiting data over again after LineMode changed.
inline constexpr vcl::UINT WM_TRIGGER_DATA_AVAILABLE = vcl::WM_USER + 20;
// What a wait answers when it ends without its flag.
inline constexpr int WaitTimedOut = 12001;

class TCustomSocksNetSocket : public TCustomNetSocket {
    VCL_CLASS(TCustomSocksNetSocket, TCustomNetSocket)
public:
    using TCustomNetSocket::TCustomNetSocket;

    void Connect() override;
    void Listen() override;
    int Receive(void* buffer, int length) override;
    int RcvdCount() override;

    const AnsiString& SocksServer() const { return socksServer_; }
    void SetSocksServer(const AnsiString& value);
    const AnsiString& SocksPort() const { return socksPort_; }
    void SetSocksPort(const AnsiString& value);
    const AnsiString& SocksLevel() const { return socksLevel_; }
    void SetSocksLevel(const AnsiString& value);
    const AnsiString& SocksUsercode() const { return socksUsercode_; }
    void SetSocksUsercode(const AnsiString& value) { socksUsercode_ = value; }
    const AnsiString& SocksPassword() const { return socksPassword_; }
    void SetSocksPassword(const AnsiString& value) { socksPassword_ = value; }
    TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
    void SetSocksAuthentication(TSocksAuthentication value) { socksAuthentication_ = value; }
    // Where the proxy's SOCKS 5 reply says it is bound.
    const AnsiString& BoundAddr() const { return boundAddr_; }
    const AnsiString& BoundPort() const { return boundPort_; }

    TSessionEvent OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;

protected:
    void TriggerSessionConnected(uint16_t error) override;
    void TriggerSessionClosed(uint16_t error) override;
    void TriggerDataAvailable(uint16_t error) override;
    bool SocksNegotiating() const { return phase_ != 0; }

private:
    enum { ReplyBufferSize = 128 };
    bool SocksAssigned() const { return !socksServer_.empty(); }
    bool SocksLevel4() const { return socksLevel_[0] == '4'; }
    void SendQuietly(const std::string& bytes);
    void SocksDoConnect();
    void SocksDoAuthenticate();
    void SocksFailure(int code, const AnsiString& message);
    void SocksGranted(int replyLength);
    // Each phase's reply; false while it is still incomplete.
    bool MethodReply();
    bool AuthenticationReply();
    bool ConnectReply();

    AnsiString socksServer_, socksPort_, socksLevel_ = "5", socksUsercode_, socksPassword_;
    TSocksAuthentication socksAuthentication_ = socksNoAuthentication;
    AnsiString targetHost_, targetPort_;
    int phase_ = 0;  // 0 data, 1 method negotiation, 2 authentication, 3 connect request sent
    bool authenticationOffered_ = false;
    unsigned char reply_[ReplyBufferSize] = {};
    int replyCount_ = 0;
    AnsiString boundAddr_, boundPort_;
    std::string behindReply_;  // application data that came behind the proxy's reply
    size_t behindReplyRead_ = 0;
};

class TCustomLineNetSocket : public TCustomSocksNetSocket {
    VCL_CLASS(TCustomLineNetSocket, TCustomSocksNetSocket)
public:
    using TCustomSocksNetSocket::TCustomSocksNetSocket;

    int Receive(void* buffer, int length) override;
    int RcvdCount() override;

    bool LineMode() const { return lineMode_; }
    void SetLineMode(bool value);
    const AnsiString& LineEnd() const { return lineEnd_; }
    void SetLineEnd(const AnsiString& value) { lineEnd_ = value; }
    int LineLimit() const { return lineLimit_; }
    void SetLineLimit(int value) { lineLimit_ = value; }
    bool LineEcho() const { return lineEcho_; }
    void SetLineEcho(bool value) { lineEcho_ = value; }
    bool LineEdit() const { return lineEdit_; }
    void SetLineEdit(bool value) { lineEdit_ = value; }

    TLineLimitEvent OnLineLimitExceeded;

protected:
    void WndProc(vcl::TMessage& message) override;
    void TriggerDataAvailable(uint16_t error) override;
    void TriggerSessionClosed(uint16_t error) override;

private:
    void EditAndEcho(const char* data, int count);
    void DeliverLines(size_t searchFrom, uint16_t error);
    void OfferReadyLine(size_t length, uint16_t error);

    bool lineMode_ = false;
    AnsiString lineEnd_ = "\r\n";
    int lineLimit_ = 65536;
    bool lineEcho_ = false, lineEdit_ = false;
    std::string buffered_;
    size_t readyLine_ = 0;  // bytes of the ready line not read yet
};

class TCustomSyncNetSocket : public TCustomLineNetSocket {
    VCL_CLASS(TCustomSyncNetSocket, TCustomLineNetSocket)
public:
    using TCustomLineNetSocket::TCustomLineNetSocket;

    // Longest wait in milliseconds.
    int Timeout() const { return timeout_; }
    void SetTimeout(int value) { timeout_ = value; }
    // Waits, pumping messages, until `flag` is set (0), or the time-out passes or the loop ends (12001).
    int WaitUntilReady(const bool& flag);
    // Clears `flag`, runs `start`, then waits for `flag`.
    int Synchronize(const std::function<void()>& start, bool& flag);

private:
    int timeout_ = 30000;
};

// The published class.
class TNetSocket : public TCustomSyncNetSocket {
    VCL_CLASS(TNetSocket, TCustomSyncNetSocket)
public:
    using TCustomSyncNetSocket::TCustomSyncNetSocket;
};

// Registers TNetSocket; idempotent.
void RegisterNetSocketClasses();

}  // namespace net
