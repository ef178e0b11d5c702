#include "net/NetSocketLayers.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/rtl/SysUtils.h"
#include "platform/win/NetAddress.h"
#include "platform/vcl/Forms.h"

namespace net {

using namespace win;

namespace {

constexpr int SocksLogicError = 20001;
constexpr int SocksVersionError = 20002;
constexpr int SocksMethodNotAcceptable = 20003;
constexpr int SocksAddressTypeNotSupported = 20011;
constexpr int SocksUnassignedError = 20012;
constexpr int SocksInternalError = 20013;
constexpr int SocksAuthenticationFailed = 20015;
constexpr int SocksRequestRejected = 20016;
constexpr int SocksResolveError = 20017;
constexpr int SocksConnectionRefused = 20008;

const char* const Socks5ReplyTexts[] = {
    "general SOCKS server failure", "connection not allowed by ruleset", "network unreachable",
    "host unreachable",             "connection refused",                "time to live expired",
    "command not supported",        "address type not supported",
};

void AppendPort(std::string& bytes, int port)
{
    bytes += static_cast<char>((port >> 8) & 0xFF);
    bytes += static_cast<char>(port & 0xFF);
}

// The exception's class name, a blank and its message.
AnsiString ExceptionText(const rtl::Exception& e)
{
    const char* name = dynamic_cast<const ESocketException*>(&e) ? "ESocketException" : "Exception";
    return AnsiString(name) + " " + e.Message();
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// SOCKS

VCL_IMPLEMENT_CLASS(TCustomSocksNetSocket)

void TCustomSocksNetSocket::RegisterProperties(vcl::TClassDef<TCustomSocksNetSocket>& def)
{
    def.Property("SocksServer", &TCustomSocksNetSocket::SocksServer, &TCustomSocksNetSocket::SetSocksServer, "");
    def.Property("SocksPort", &TCustomSocksNetSocket::SocksPort, &TCustomSocksNetSocket::SetSocksPort, "");
    def.Property("SocksLevel", &TCustomSocksNetSocket::SocksLevel, &TCustomSocksNetSocket::SetSocksLevel, "5");
    def.Property("SocksUsercode", &TCustomSocksNetSocket::SocksUsercode, &TCustomSocksNetSocket::SetSocksUsercode, "");
    def.Property("SocksPassword", &TCustomSocksNetSocket::SocksPassword, &TCustomSocksNetSocket::SetSocksPassword, "");
    def.Property("SocksAuthentication", &TCustomSocksNetSocket::SocksAuthentication,
                 &TCustomSocksNetSocket::SetSocksAuthentication, socksNoAuthentication);
    def.Event("OnSocksConnected", &TCustomSocksNetSocket::OnSocksConnected);
    def.Event("OnSocksError", &TCustomSocksNetSocket::OnSocksError);
    def.Event("OnSocksAuthState", &TCustomSocksNetSocket::OnSocksAuthState);
}

void TCustomSocksNetSocket::SetSocksServer(const AnsiString& value)
{
    if (State() != wsClosed) {
        RaiseException("Can't change socks server if not closed");
        return;
    }
    socksServer_ = rtl::Trim(value);
}

void TCustomSocksNetSocket::SetSocksPort(const AnsiString& value)
{
    if (State() != wsClosed) {
        RaiseException("Can't change socks port if not closed");
        return;
    }
    socksPort_ = rtl::Trim(value);
}

void TCustomSocksNetSocket::SetSocksLevel(const AnsiString& value)
{
    if (State() != wsClosed) {
        RaiseException("Can't change socks level if not closed");
        return;
    }
    AnsiString level = rtl::UpperCase(value);
    if (level != "4" && level != "4A" && level != "5") {
        RaiseException("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    socksLevel_ = level;
}

void TCustomSocksNetSocket::Listen()
{
    if (SocksAssigned()) {
        RaiseException("Listening is not supported thru socks server");
        return;
    }
    TCustomNetSocket::Listen();
}

void TCustomSocksNetSocket::Connect()
{
    if (!SocksAssigned()) {
        TCustomNetSocket::Connect();
        return;
    }
    if (rtl::LowerCase(Proto()) != "tcp") {
        RaiseException("tcp is the only protocol supported thru socks server");
        return;
    }
    // The request carries these in single length bytes; longer ones cannot be sent faithfully.
    if (socksLevel_ == "5" && Addr().size() > 255) {
        RaiseException("Host name too long for the socks server");
        return;
    }
    if (socksLevel_ == "5" && socksAuthentication_ == socksAuthenticateUsercode &&
        (socksUsercode_.size() > 255 || socksPassword_.size() > 255)) {
        RaiseException("Socks user code or password too long");
        return;
    }
    targetHost_ = Addr();
    targetPort_ = Port();
    SetAddr(socksServer_);
    SetPort(socksPort_);
    replyCount_ = 0;
    behindReply_.clear();
    behindReplyRead_ = 0;
    phase_ = 1;
    try {
        TCustomNetSocket::Connect();
    } catch (...) {
        phase_ = 0;
        throw;
    }
    if (HSocket() == INVALID_SOCKET)
        phase_ = 0;
}

void TCustomSocksNetSocket::SendQuietly(const std::string& bytes)
{
    try {
        Send(bytes.data(), static_cast<int>(bytes.size()));
    } catch (...) {
        // the proxy's silence then ends the negotiation
    }
}

void TCustomSocksNetSocket::TriggerSessionConnected(uint16_t error)
{
    if (phase_ != 1) {
        TCustomNetSocket::TriggerSessionConnected(error);
        return;
    }
    if (OnSocksConnected)
        OnSocksConnected(this, error);
    if (error != 0) {
        phase_ = 0;
        TCustomNetSocket::TriggerSessionConnected(error);
        return;
    }
    if (SocksLevel4()) {
        SocksDoConnect();
        return;
    }
    authenticationOffered_ = socksAuthentication_ == socksAuthenticateUsercode;
    std::string offer = {5, 1, static_cast<char>(authenticationOffered_ ? 2 : 0)};
    SendQuietly(offer);
}

void TCustomSocksNetSocket::SocksDoConnect()
{
    phase_ = 3;
    replyCount_ = 0;
    int port = 0;
    try {
        // The proxy connects on this machine's behalf, so the prefix's port redirection holds for it too.
        port = win::MappedPort(static_cast<uint16_t>(NetSocketResolvePort(targetPort_, "tcp")));
    } catch (rtl::Exception& e) {
        SocksFailure(SocksResolveError, ExceptionText(e));
        return;
    }
    std::string request;
    if (SocksLevel4()) {
        request = {4, 1};
        AppendPort(request, port);
        uint32_t address = 0;
        if (socksLevel_ == "4A") {
            const unsigned char invalid[4] = {0, 0, 0, 1};  // 0.0.0.1: the proxy resolves the name that follows
            std::memcpy(&address, invalid, 4);
        } else {
            try {
                address = static_cast<uint32_t>(NetSocketResolveHost(targetHost_));
            } catch (rtl::Exception& e) {
                SocksFailure(SocksResolveError, ExceptionText(e));
                return;
            }
        }
        request.append(reinterpret_cast<const char*>(&address), 4);
        request += socksUsercode_;
        request += '\0';
        if (socksLevel_ == "4A") {
            request += targetHost_;
            request += '\0';
        }
    } else {
        request = {5, 1, 0, 3, static_cast<char>(targetHost_.size())};
        request += targetHost_;
        AppendPort(request, port);
    }
    SendQuietly(request);
}

void TCustomSocksNetSocket::SocksDoAuthenticate()
{
    phase_ = 2;
    replyCount_ = 0;
    if (OnSocksAuthState)
        OnSocksAuthState(this, socksAuthStart);
    std::string request = {1, static_cast<char>(socksUsercode_.size())};
    request += socksUsercode_;
    request += static_cast<char>(socksPassword_.size());
    request += socksPassword_;
    SendQuietly(request);
}

void TCustomSocksNetSocket::SocksFailure(int code, const AnsiString& message)
{
    if (OnSocksError)
        OnSocksError(this, code, message);
    phase_ = 0;
    TCustomNetSocket::TriggerSessionConnected(static_cast<uint16_t>(code));
    if (State() != wsClosed)
        Close();
}

void TCustomSocksNetSocket::SocksGranted(int replyLength)
{
    behindReply_.assign(reinterpret_cast<const char*>(reply_) + replyLength, replyCount_ - replyLength);
    behindReplyRead_ = 0;
    replyCount_ = 0;
    phase_ = 0;
    TCustomNetSocket::TriggerSessionConnected(0);
    if (!behindReply_.empty() && HSocket() != INVALID_SOCKET)
        TriggerDataAvailable(0);
}

void TCustomSocksNetSocket::TriggerDataAvailable(uint16_t error)
{
    if (phase_ == 0) {
        TCustomNetSocket::TriggerDataAvailable(error);
        return;
    }
    if (error != 0) {
        SocksFailure(error, "data receive error");
        return;
    }
    if (replyCount_ >= ReplyBufferSize) {
        // A reply can never be this long; the proxy is not speaking the protocol.
        SocksFailure(SocksLogicError, "socks reply too long");
        return;
    }
    int got = TCustomNetSocket::Receive(reply_ + replyCount_, ReplyBufferSize - replyCount_);
    if (got <= 0) {
        if (LastError() != 0 && LastError() != WSAEWOULDBLOCK)
            SocksFailure(LastError(), "data receive error");
        return;
    }
    replyCount_ += got;
    switch (phase_) {
    case 1: MethodReply(); break;
    case 2: AuthenticationReply(); break;
    case 3: ConnectReply(); break;
    default: SocksFailure(SocksInternalError, "internal error"); break;
    }
}

bool TCustomSocksNetSocket::MethodReply()
{
    if (SocksLevel4()) {
        SocksFailure(SocksLogicError, "TNetSocket logic error");
        return true;
    }
    if (replyCount_ < 2)
        return false;
    if (reply_[0] != 5) {
        SocksFailure(SocksVersionError, "socks version error");
        return true;
    }
    unsigned char method = reply_[1];
    if (method == 0) {
        if (authenticationOffered_ && OnSocksAuthState)
            OnSocksAuthState(this, socksAuthNotRequired);
        SocksDoConnect();
    } else if (method == 2) {
        SocksDoAuthenticate();
    } else {
        SocksFailure(SocksMethodNotAcceptable, "authentification method not acceptable");
    }
    return true;
}

bool TCustomSocksNetSocket::AuthenticationReply()
{
    if (replyCount_ < 2)
        return false;
    if (replyCount_ > 2) {
        SocksFailure(SocksLogicError, "too much data availaible");
        return true;
    }
    if (reply_[0] != 1) {
        SocksFailure(SocksVersionError, "socks version error");
        return true;
    }
    if (reply_[1] != 0) {
        SocksFailure(SocksAuthenticationFailed, "socks authentication failed");
        return true;
    }
    if (OnSocksAuthState)
        OnSocksAuthState(this, socksAuthSuccess);
    SocksDoConnect();
    return true;
}

bool TCustomSocksNetSocket::ConnectReply()
{
    if (SocksLevel4()) {
        if (replyCount_ < 8)
            return false;
        if (reply_[0] != 0) {
            SocksFailure(SocksVersionError, "socks version error");
            return true;
        }
        switch (reply_[1]) {
        case 90: SocksGranted(8); break;
        case 91: SocksFailure(SocksRequestRejected, "request rejected or failed"); break;
        case 92: SocksFailure(SocksConnectionRefused, "connection refused"); break;
        case 93: SocksFailure(SocksAuthenticationFailed, "authentification failed"); break;
        default: SocksFailure(SocksUnassignedError, "unassigned error #" + rtl::IntToStr(reply_[1])); break;
        }
        return true;
    }
    if (replyCount_ < 2)
        return false;
    if (reply_[0] != 5) {
        SocksFailure(SocksVersionError, "socks version error");
        return true;
    }
    int code = reply_[1];
    if (code >= 1 && code <= 8) {
        SocksFailure(20003 + code, Socks5ReplyTexts[code - 1]);
        return true;
    }
    if (code != 0) {
        SocksFailure(SocksUnassignedError, "unassigned error #" + rtl::IntToStr(code));
        return true;
    }
    if (replyCount_ < 5)
        return false;
    int length = 0;
    if (reply_[3] == 1)
        length = 10;
    else if (reply_[3] == 3)
        length = 7 + reply_[4];
    else {
        SocksFailure(SocksAddressTypeNotSupported, "address type not supported");
        return true;
    }
    if (length > ReplyBufferSize) {
        SocksFailure(SocksLogicError, "socks reply too long");
        return true;
    }
    if (replyCount_ < length)
        return false;
    if (reply_[3] == 1)
        boundAddr_ = rtl::Format("%d.%d.%d.%d", reply_[4], reply_[5], reply_[6], reply_[7]);
    else
        boundAddr_ = AnsiString(reinterpret_cast<const char*>(reply_ + 5), reply_[4]);
    boundPort_ = rtl::IntToStr(reply_[length - 2] * 256 + reply_[length - 1]);
    SocksGranted(length);
    return true;
}

void TCustomSocksNetSocket::TriggerSessionClosed(uint16_t error)
{
    if (phase_ == 2 && OnSocksAuthState)
        OnSocksAuthState(this, socksAuthFailure);
    phase_ = 0;
    TCustomNetSocket::TriggerSessionClosed(error);
}

int TCustomSocksNetSocket::Receive(void* buffer, int length)
{
    if (phase_ == 0 && behindReplyRead_ < behindReply_.size()) {
        int count = std::min<int>(length, static_cast<int>(behindReply_.size() - behindReplyRead_));
        std::memcpy(buffer, behindReply_.data() + behindReplyRead_, static_cast<size_t>(count));
        behindReplyRead_ += static_cast<size_t>(count);
        return count;
    }
    return TCustomNetSocket::Receive(buffer, length);
}

int TCustomSocksNetSocket::RcvdCount()
{
    if (phase_ == 0 && behindReplyRead_ < behindReply_.size())
        return static_cast<int>(behindReply_.size() - behindReplyRead_);
    return TCustomNetSocket::RcvdCount();
}

// ---------------------------------------------------------------------------------------------------------
// Lines

VCL_IMPLEMENT_CLASS(TCustomLineNetSocket)

void TCustomLineNetSocket::RegisterProperties(vcl::TClassDef<TCustomLineNetSocket>& def)
{
    def.Property("LineMode", &TCustomLineNetSocket::LineMode, &TCustomLineNetSocket::SetLineMode, false);
    def.Property("LineEnd", &TCustomLineNetSocket::LineEnd, &TCustomLineNetSocket::SetLineEnd, "\r\n");
    def.Property("LineLimit", &TCustomLineNetSocket::LineLimit, &TCustomLineNetSocket::SetLineLimit, 65536);
    def.Property("LineEcho", &TCustomLineNetSocket::LineEcho, &TCustomLineNetSocket::SetLineEcho, false);
    def.Property("LineEdit", &TCustomLineNetSocket::LineEdit, &TCustomLineNetSocket::SetLineEdit, false);
    def.Event("OnLineLimitExceeded", &TCustomLineNetSocket::OnLineLimitExceeded);
}

void TCustomLineNetSocket::SetLineMode(bool value)
{
    if (value == lineMode_)
        return;
    lineMode_ = value;
    if (!buffered_.empty() || readyLine_ > 0)
        vcl::PostMessage(Handle(), WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

void TCustomLineNetSocket::WndProc(vcl::TMessage& message)
{
    if (message.Msg != WM_TRIGGER_DATA_AVAILABLE) {
        TCustomSocksNetSocket::WndProc(message);
        return;
    }
    try {
        if (lineMode_ && !lineEnd_.empty())
            DeliverLines(0, 0);
        else if (!buffered_.empty())
            TCustomSocksNetSocket::TriggerDataAvailable(0);
    } catch (rtl::Exception& error) {
        HandleBackGroundException(error);
    }
}

void TCustomLineNetSocket::EditAndEcho(const char* data, int count)
{
    std::string echo;
    for (int i = 0; i < count; ++i) {
        char c = data[i];
        if (!lineEdit_) {
            buffered_ += c;
            if (lineEcho_)
                echo += c;
        } else if (c == '\b') {
            if (!buffered_.empty()) {
                buffered_.pop_back();
                if (lineEcho_)
                    echo += "\b \b";
            }
        } else if (c == '\t') {
            do {
                buffered_ += ' ';
                if (lineEcho_)
                    echo += ' ';
            } while (buffered_.size() % 8 != 0);
        } else {
            buffered_ += c;
            if (lineEcho_)
                echo += c;
        }
    }
    if (!echo.empty())
        Send(echo.data(), static_cast<int>(echo.size()));
}

void TCustomLineNetSocket::OfferReadyLine(size_t length, uint16_t error)
{
    readyLine_ = length;
    // One offer per line: a handler that leaves it unread must not hold the loop.
    if (lineMode_ && OnDataAvailable)
        OnDataAvailable(this, error);
    if (readyLine_ > 0) {
        buffered_.erase(0, readyLine_);
        readyLine_ = 0;
    }
}

void TCustomLineNetSocket::DeliverLines(size_t searchFrom, uint16_t error)
{
    while (lineMode_ && !lineEnd_.empty()) {
        size_t at = buffered_.find(lineEnd_, searchFrom);
        if (at == std::string::npos)
            break;
        OfferReadyLine(at + lineEnd_.size(), error);
        searchFrom = 0;
    }
    if (lineLimit_ > 0 && buffered_.size() > static_cast<size_t>(lineLimit_)) {
        bool clearData = true;
        if (OnLineLimitExceeded)
            OnLineLimitExceeded(this, static_cast<int>(buffered_.size()), clearData);
        if (clearData)
            buffered_.clear();
    }
}

void TCustomLineNetSocket::TriggerDataAvailable(uint16_t error)
{
    if (!lineMode_ || lineEnd_.empty() || SocksNegotiating()) {
        TCustomSocksNetSocket::TriggerDataAvailable(error);
        return;
    }
    int count = TCustomSocksNetSocket::RcvdCount();
    if (count <= 0)
        count = 255;
    std::string incoming(static_cast<size_t>(count), '\0');
    int got = TCustomSocksNetSocket::Receive(incoming.data(), count);
    if (got <= 0)
        return;
    size_t before = buffered_.size();
    EditAndEcho(incoming.data(), got);
    DeliverLines(before > lineEnd_.size() ? before - lineEnd_.size() : 0, error);
}

void TCustomLineNetSocket::TriggerSessionClosed(uint16_t error)
{
    if (lineMode_ && !buffered_.empty())
        OfferReadyLine(buffered_.size(), error);
    buffered_.clear();
    buffered_.shrink_to_fit();
    readyLine_ = 0;
    TCustomSocksNetSocket::TriggerSessionClosed(error);
}

int TCustomLineNetSocket::Receive(void* buffer, int length)
{
    if (lineMode_ && readyLine_ > 0) {
        int count = std::min<int>(length, static_cast<int>(readyLine_));
        std::memcpy(buffer, buffered_.data(), static_cast<size_t>(count));
        buffered_.erase(0, static_cast<size_t>(count));
        readyLine_ -= static_cast<size_t>(count);
        return count;
    }
    if (lineMode_)
        return 0;
    if (!buffered_.empty()) {
        int count = std::min<int>(length, static_cast<int>(buffered_.size()));
        std::memcpy(buffer, buffered_.data(), static_cast<size_t>(count));
        buffered_.erase(0, static_cast<size_t>(count));
        return count;
    }
    return TCustomSocksNetSocket::Receive(buffer, length);
}

int TCustomLineNetSocket::RcvdCount()
{
    if (lineMode_)
        return static_cast<int>(readyLine_);
    if (!buffered_.empty())
        return static_cast<int>(buffered_.size());
    return TCustomSocksNetSocket::RcvdCount();
}

// ---------------------------------------------------------------------------------------------------------
// Waiting

VCL_IMPLEMENT_CLASS(TCustomSyncNetSocket)

void TCustomSyncNetSocket::RegisterProperties(vcl::TClassDef<TCustomSyncNetSocket>& def)
{
    def.Property("Timeout", &TCustomSyncNetSocket::Timeout, &TCustomSyncNetSocket::SetTimeout, 30000);
}

int TCustomSyncNetSocket::WaitUntilReady(const bool& flag)
{
    auto stop = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_, 0));
    while (!flag) {
        if (std::chrono::steady_clock::now() >= stop || vcl::Application->Terminated() || Terminated())
            return WaitTimedOut;
        PumpMessages();
        if (flag)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

int TCustomSyncNetSocket::Synchronize(const std::function<void()>& start, bool& flag)
{
    flag = false;
    if (start)
        start();
    return WaitUntilReady(flag);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TNetSocket)

void RegisterNetSocketClasses()
{
    vcl::RegisterClass(TNetSocket::StaticClass());
}

}  // namespace net
