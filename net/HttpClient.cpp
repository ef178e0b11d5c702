#include "net/HttpClient.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"

namespace net {

namespace {

constexpr int LineBufferSize = 8192;
constexpr int MaxHeaderLines = 1000;
constexpr int TimedOut = 10060;  // the library's "connection timed out"

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool StartsWith(const AnsiString& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

AnsiString SocketErrorText(int error)
{
    return NetSocketErrorDesc(error) + " (Error #" + rtl::IntToStr(error) + ")";
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Helpers

void ParseURL(const AnsiString& url, THttpUrlParts& parts)
{
    const AnsiString base = parts.Path;
    parts = THttpUrlParts{};
    if (StartsWith(url, "./")) {
        size_t slash = base.rfind('/');
        parts.Path = (slash == AnsiString::npos ? AnsiString("/") : base.substr(0, slash + 1)) + url.substr(2);
        return;
    }
    if (StartsWith(url, "../")) {
        size_t slash = base.rfind('/');
        AnsiString left = slash == AnsiString::npos ? AnsiString("/") : base.substr(0, slash + 1);
        AnsiString rest = url;
        while (StartsWith(rest, "../")) {
            rest.erase(0, 3);
            if (left.size() > 1) {
                size_t previous = left.rfind('/', left.size() - 2);
                left = previous == AnsiString::npos ? AnsiString("/") : left.substr(0, previous + 1);
            }
        }
        parts.Path = left + rest;
        return;
    }
    AnsiString rest;
    const AnsiString lower = rtl::LowerCase(url);
    size_t schemeEnd = url.find("://");
    if (StartsWith(url, "/") && !StartsWith(url, "//")) {
        parts.Scheme = "http";
        parts.Path = url;
        return;
    }
    if (StartsWith(url, "//")) {
        rest = url.substr(2);
    } else if (StartsWith(lower, "http:") && url.find("//") == AnsiString::npos) {
        parts.Scheme = "http";
        parts.Path = url.substr(5);
        return;
    } else if (StartsWith(lower, "mailto:")) {
        parts.Scheme = "mailto";
        rest = url.substr(7);
    } else if (schemeEnd != AnsiString::npos) {
        parts.Scheme = url.substr(0, schemeEnd);
        rest = url.substr(schemeEnd + 3);
    } else {
        rest = url;
    }
    size_t slash = rest.find('/');
    size_t query = rest.find('?');
    size_t pathStart = slash;
    if (query != AnsiString::npos && (slash == AnsiString::npos || query < slash))
        pathStart = query;
    const AnsiString authority = rest.substr(0, pathStart);
    if (pathStart != AnsiString::npos)
        parts.Path = rest.substr(pathStart);
    size_t at = authority.rfind('@');
    size_t colon = authority.rfind(':');
    size_t hostStart = at == AnsiString::npos ? 0 : at + 1;
    size_t hostEnd = authority.size();
    if (colon != AnsiString::npos && (at == AnsiString::npos || colon > at)) {
        parts.Port = authority.substr(colon + 1);
        hostEnd = colon;
    }
    parts.Host = authority.substr(hostStart, hostEnd - hostStart);
    if (at != AnsiString::npos) {
        const AnsiString user = authority.substr(0, at);
        size_t split = user.find(':');
        parts.User = user.substr(0, split);
        if (split != AnsiString::npos)
            parts.Password = user.substr(split + 1);
    }
}

AnsiString EncodeBase64(const AnsiString& text)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    AnsiString out;
    size_t i = 0;
    for (; i + 2 < text.size(); i += 3) {
        uint32_t n = (uint8_t(text[i]) << 16) | (uint8_t(text[i + 1]) << 8) | uint8_t(text[i + 2]);
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        out += alphabet[(n >> 6) & 63];
        out += alphabet[n & 63];
    }
    if (i < text.size()) {
        uint32_t n = uint8_t(text[i]) << 16;
        if (i + 1 < text.size())
            n |= uint8_t(text[i + 1]) << 8;
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        out += i + 1 < text.size() ? alphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

AnsiString RFC1123Date(double value)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    rtl::DecodeDate(value, year, month, day);
    rtl::DecodeTime(value, hour, minute, second, ms);
    long dayCount = static_cast<long>(std::floor(value));
    long weekday = ((dayCount - 2) % 7 + 7) % 7;  // day 2 of the count is a Monday
    return AnsiString(days[weekday]) + ", " +
           rtl::Format("%2.2d %s %4.4d %2.2d:%2.2d:%2.2d", day, months[(month + 11) % 12], year, hour, minute, second);
}

// ---------------------------------------------------------------------------------------------------------
// The component

struct THttpClient::TWindowData {
    THttpClient* Client = nullptr;
};

VCL_IMPLEMENT_CLASS(THttpClient)

void THttpClient::RegisterProperties(vcl::TClassDef<THttpClient>& def)
{
    def.Property("URL", &THttpClient::URL, &THttpClient::SetURL, "");
    def.Property("LocalAddr", &THttpClient::LocalAddr, &THttpClient::SetLocalAddr, "0.0.0.0");
    def.Property("Proxy", &THttpClient::Proxy, &THttpClient::SetProxy, "");
    def.Property("ProxyPort", &THttpClient::ProxyPort, &THttpClient::SetProxyPort, "80");
    def.Property("Sender", &THttpClient::Sender, &THttpClient::SetSender, "");
    def.Property("Agent", &THttpClient::Agent, &THttpClient::SetAgent, "Mozilla/3.0 (compatible)");
    def.Property("Accept", &THttpClient::Accept, &THttpClient::SetAccept,
                 "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    def.Property("Reference", &THttpClient::Reference, &THttpClient::SetReference, "");
    def.Property("Username", &THttpClient::Username, &THttpClient::SetUsername, "");
    def.Property("Password", &THttpClient::Password, &THttpClient::SetPassword, "");
    def.Property("ProxyUsername", &THttpClient::ProxyUsername, &THttpClient::SetProxyUsername, "");
    def.Property("ProxyPassword", &THttpClient::ProxyPassword, &THttpClient::SetProxyPassword, "");
    def.Property("NoCache", &THttpClient::NoCache, &THttpClient::SetNoCache, false);
    def.Property("ModifiedSince", &THttpClient::ModifiedSince, &THttpClient::SetModifiedSince, 0.0);
    def.Property("Cookie", &THttpClient::Cookie, &THttpClient::SetCookie, "");
    def.Property("ContentTypePost", &THttpClient::ContentTypePost, &THttpClient::SetContentTypePost,
                 "application/x-www-form-urlencoded");
    def.Property("ContentRangeBegin", &THttpClient::ContentRangeBegin, &THttpClient::SetContentRangeBegin, "");
    def.Property("ContentRangeEnd", &THttpClient::ContentRangeEnd, &THttpClient::SetContentRangeEnd, "");
    def.Property("MultiThreaded", &THttpClient::MultiThreaded, &THttpClient::SetMultiThreaded, false);
    def.Event("OnStateChange", &THttpClient::OnStateChange);
    def.Event("OnSessionConnected", &THttpClient::OnSessionConnected);
    def.Event("OnRequestHeaderBegin", &THttpClient::OnRequestHeaderBegin);
    def.Event("OnRequestHeaderEnd", &THttpClient::OnRequestHeaderEnd);
    def.Event("OnHeaderBegin", &THttpClient::OnHeaderBegin);
    def.Event("OnHeaderEnd", &THttpClient::OnHeaderEnd);
    def.Event("OnHeaderData", &THttpClient::OnHeaderData);
    def.Event("OnDocBegin", &THttpClient::OnDocBegin);
    def.Event("OnDocEnd", &THttpClient::OnDocEnd);
    def.Event("OnSendBegin", &THttpClient::OnSendBegin);
    def.Event("OnSendEnd", &THttpClient::OnSendEnd);
    def.Event("OnLocationChange", &THttpClient::OnLocationChange);
    def.Event("OnTrace", &THttpClient::OnTrace);
    def.Event("OnDocData", &THttpClient::OnDocData);
    def.Event("OnSendData", &THttpClient::OnSendData);
    def.Event("OnCommand", &THttpClient::OnCommand);
    def.Event("OnCookie", &THttpClient::OnCookie);
    def.Event("OnRequestDone", &THttpClient::OnRequestDone);
}

void RegisterHttpClientClasses()
{
    RegisterNetSocketClasses();
    vcl::RegisterClass(THttpClient::StaticClass());
}

THttpClient::THttpClient(vcl::TComponent* owner)
    : vcl::TComponent(owner),
      windowData_(std::make_shared<TWindowData>()),
      headerLines_(std::make_unique<rtl::TStringList>()),
      authChallenges_(std::make_unique<rtl::TStringList>())
{
    RegisterHttpClientClasses();
    windowData_->Client = this;
    std::shared_ptr<TWindowData> data = windowData_;
    wnd_ = vcl::AllocateHWnd([data](vcl::TMessage& message) {
        if (data->Client)
            data->Client->WndProc(message);
    });
    socket_ = new TNetSocket(this);
    socket_->OnDnsLookupDone = [this](TObject*, uint16_t error) { SocketDnsLookupDone(error); };
    socket_->OnSessionConnected = [this](TObject*, uint16_t error) { SocketSessionConnected(error); };
    socket_->OnDataAvailable = [this](TObject*, uint16_t error) { SocketDataAvailable(error); };
    socket_->OnDataSent = [this](TObject*, uint16_t error) { SocketDataSent(error); };
    socket_->OnSessionClosed = [this](TObject*, uint16_t error) { SocketSessionClosed(error); };
    timer_ = new vcl::TTimer(this);
    timer_->SetEnabled(false);
    timer_->SetInterval(100);
    timer_->OnTimer = [this](vcl::TObject* sender) { CheckTimeouts(sender); };
}

THttpClient::~THttpClient()
{
    windowData_->Client = nullptr;
    if (socket_) {
        socket_->OnSessionClosed = nullptr;
        socket_->OnDnsLookupDone = nullptr;
        socket_->OnSessionConnected = nullptr;
        socket_->OnDataAvailable = nullptr;
        socket_->OnDataSent = nullptr;
    }
    vcl::DeallocateHWnd(wnd_);
}

void THttpClient::SetMultiThreaded(bool value)
{
    multiThreaded_ = value;
    socket_->SetMultiThreaded(value);
}

void THttpClient::WndProc(vcl::TMessage& message)
{
    switch (message.Msg) {
    case WM_HTTP_REQUEST_DONE:
        if (OnRequestDone)
            OnRequestDone(this, requestType_, requestError_);
        break;
    case WM_HTTP_SET_READY:
        // A server that keeps the connection after the end of the answer is left behind here.
        if (socket_->State() != wsClosed) {
            try {
                socket_->Abort();
            } catch (...) {
            }
        }
        SetState(hcsReady);
        break;
    case WM_HTTP_LOGIN:
        try {
            LoginDelayed();
        } catch (rtl::Exception& e) {
            Fail(e.Message());
        }
        break;
    default: break;
    }
}

void THttpClient::SetState(THttpClientState value)
{
    if (value == state_)
        return;
    state_ = value;
    if (value == hcsReady) {
        deadline_ = 0;
        timer_->SetEnabled(false);
    }
    if (OnStateChange)
        OnStateChange(this);
    if (value == hcsReady)
        vcl::PostMessage(wnd_, WM_HTTP_REQUEST_DONE, 0, 0);
}

// ---- starting

void THttpClient::StartRequest(THttpRequest type)
{
    if (state_ != hcsReady)
        throw EHttpException("HTTP component is busy", 1);
    if (type == hrPost && !PostStream)
        throw EHttpException("HTTP component has nothing to post", 2);
    relocating_ = false;
    SetState(hcsNotConnected);
    requestType_ = type;
    headerLines_->Clear();
    requestError_ = 0;
    documentName_.clear();
    statusCode_ = 0;
    reasonPhrase_.clear();
    bodyByteCount_ = postByteCount_ = 0;
    lineCount_ = chunkCount_ = relocations_ = 0;
    contentLength_ = -1;
    contentType_.clear();
    sendFlag_ = headerFlag_ = locationFlag_ = false;
    statusLineSeen_ = headerEnded_ = false;
    readyPosted_ = false;
    receiveCount_ = 0;
    next_ = nullptr;
    connectDeadline_ = answerDeadline_ = 0;
    headerBytes_ = 0;
    fieldLine_.clear();
    relocationError_.clear();
    location_ = url_;
    SplitRequestURL();
    try {
        LoginDelayed();
    } catch (...) {
        // Nothing was started; the client must not stay busy for ever.
        SetState(hcsReady);
        throw;
    }
}

void THttpClient::SplitRequestURL()
{
    THttpUrlParts url;
    ParseURL(url_, url);
    hostValue_ = url.Host;
    if (proxy_.empty()) {
        target_ = url.Path;
        if (!url.User.empty() || !url.Password.empty()) {
            username_ = url.User;
            password_ = url.Password;
        }
        hostName_ = url.Host;
        port_ = url.Port.empty() ? AnsiString("80") : url.Port;
    } else {
        target_ = (url.Scheme.empty() ? AnsiString("http") : url.Scheme) + "://" + url.Host +
                  (url.Port.empty() ? AnsiString() : ":" + url.Port) + url.Path;
        THttpUrlParts proxy;
        ParseURL(proxy_, proxy);
        hostName_ = proxy.Host;
        port_ = proxy.Port.empty() ? proxyPort_ : proxy.Port;
    }
    if (target_.empty())
        target_ = "/";
    AnsiString name = url.Path.substr(0, url.Path.find('?'));
    if (name.empty() || name == "/") {
        documentName_ = "document.htm";
    } else {
        if (name.back() == '/')
            name.pop_back();
        name = name.substr(name.rfind('/') == AnsiString::npos ? 0 : name.rfind('/') + 1).substr(0, 255);
        documentName_ = name.substr(0, name.find('?'));
    }
}

void THttpClient::LoginDelayed()
{
    resolvedAddr_.clear();
    SetState(hcsDnsLookup);
    socket_->SetLocalAddr(localAddr_);
    // A relocated request connects again within what is left of the first connection's deadline, or of
    // the answer's, never with fresh ones.
    if (connectDeadline_ == 0)
        connectDeadline_ = NowMs() + connectTimeout_;
    deadline_ = answerDeadline_ != 0 ? std::min(answerDeadline_, NowMs() + connectTimeout_) : connectDeadline_;
    timer_->SetEnabled(true);
    try {
        socket_->DnsLookup(hostName_);
    } catch (rtl::Exception& e) {
        statusCode_ = 404;
        reasonPhrase_ = e.Message();
        connected_ = false;
        readyPosted_ = true;
        SetState(hcsReady);
    }
}

// ---- socket events

void THttpClient::SocketDnsLookupDone(uint16_t error)
{
    if (error != 0) {
        if (state_ != hcsAborting) {
            requestError_ = error;
            statusCode_ = 404;
            reasonPhrase_ = "can't resolve hostname to IP address";
            CloseHandler();
        }
        return;
    }
    resolvedAddr_ = socket_->DnsResult();
    SetState(hcsDnsLookupDone);
    try {
        socket_->SetAddr(resolvedAddr_);
        socket_->SetLocalAddr(localAddr_);
        socket_->SetPort(port_);
        socket_->SetProto("tcp");
        socket_->Connect();
    } catch (rtl::Exception& e) {
        int failure = socket_->LastError();
        requestError_ = static_cast<uint16_t>(failure);
        statusCode_ = 404;
        reasonPhrase_ = failure != 0 ? "can't connect: " + SocketErrorText(failure) : "can't connect: " + e.Message();
        try {
            socket_->Close();
        } catch (...) {
        }
        CloseHandler();
    }
}

void THttpClient::SocketSessionConnected(uint16_t error)
{
    if (error != 0) {
        requestError_ = error;
        statusCode_ = 404;
        reasonPhrase_ = SocketErrorText(error);
        CloseHandler();
        return;
    }
    connected_ = true;
    SetState(hcsConnected);
    if (OnSessionConnected)
        OnSessionConnected(this);
    next_ = &THttpClient::HeaderLine;
    SetState(hcsWaitingHeader);
    Touch();
    static const char* const methods[] = {"GET", "GET", "POST", "HEAD"};
    try {
        SendRequestHeader(methods[requestType_]);
        if (requestType_ == hrPost) {
            if (OnSendBegin)
                OnSendBegin(this);
            sendFlag_ = true;
            SendNextPostBlock();
        }
    } catch (...) {
        connected_ = false;
        try {
            socket_->Close();
        } catch (...) {
        }
    }
}

void THttpClient::SendCommand(rtl::TMemoryStream& header, AnsiString line)
{
    if (OnCommand)
        OnCommand(this, line);
    if (!line.empty())
        header.WriteBuffer(line.data(), static_cast<int64_t>(line.size()));
    header.WriteBuffer("\r\n", 2);
}

void THttpClient::SendRequestHeader(const AnsiString& method)
{
    rtl::TMemoryStream header;
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
    SendCommand(header, method + " " + target_ + " HTTP/1.0");
    if (!sender_.empty())
        SendCommand(header, "From: " + sender_);
    if (!accept_.empty())
        SendCommand(header, "Accept: " + accept_);
    if (!reference_.empty())
        SendCommand(header, "Referer: " + reference_);
    if (method == "POST" && !contentTypePost_.empty())
        SendCommand(header, "Content-Type: " + contentTypePost_);
    if (!agent_.empty())
        SendCommand(header, "User-Agent: " + agent_);
    SendCommand(header, "Host: " + hostValue_);  // never with the port
    if (noCache_)
        SendCommand(header, "Pragma: no-cache");
    if (method == "POST")
        SendCommand(header, "Content-Length: " + rtl::IntToStr(static_cast<long long>(PostStream->Size())));
    if (modifiedSince_ != 0)
        SendCommand(header, "If-Modified-Since: " + RFC1123Date(modifiedSince_) + " GMT");
    if (!username_.empty())
        SendCommand(header, "Authorization: Basic " + EncodeBase64(username_ + ":" + password_));
    if (!proxy_.empty() && !proxyUsername_.empty())
        SendCommand(header, "Proxy-Authorization: Basic " + EncodeBase64(proxyUsername_ + ":" + proxyPassword_));
    if (!cookie_.empty())
        SendCommand(header, "Cookie: " + cookie_);
    if (!contentRangeBegin_.empty() || !contentRangeEnd_.empty()) {
        SendCommand(header, "Range: bytes=" + contentRangeBegin_ + "-" + contentRangeEnd_);
        contentRangeBegin_.clear();
        contentRangeEnd_.clear();
    }
    acceptRanges_.clear();
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
    SendCommand(header, "");
    socket_->Send(header.Memory(), static_cast<int>(header.Size()));
}

void THttpClient::SendNextPostBlock()
{
    int64_t count = PostStream ? PostStream->Read(sendBuffer_, sizeof sendBuffer_) : 0;
    if (count > 0) {
        postByteCount_ += count;
        if (OnSendData)
            OnSendData(this, sendBuffer_, static_cast<int>(count));
        socket_->Send(sendBuffer_, static_cast<int>(count));
        return;
    }
    sendFlag_ = false;
    if (OnSendEnd)
        OnSendEnd(this);
}

void THttpClient::SocketDataSent(uint16_t)
{
    if (sendFlag_)
        SendNextPostBlock();
}

void THttpClient::Touch()
{
    if (answerDeadline_ == 0)
        answerDeadline_ = NowMs() + responseTimeout_;
    deadline_ = answerDeadline_;
}

void THttpClient::SocketDataAvailable(uint16_t)
{
    if (receiveCount_ >= LineBufferSize) {
        Fail("HTTP line too long");
        return;
    }
    int got = socket_->Receive(receiveBuffer_ + receiveCount_, LineBufferSize - receiveCount_);
    // No Touch here: a server that trickles must not hold the answer open for ever.
    if (got <= 0 || requestType_ == hrNone)
        return;
    receiveCount_ += got;
    receiveBuffer_[receiveCount_] = '\0';
    if (state_ == hcsWaitingBody) {
        int count = receiveCount_;
        receiveCount_ = 0;
        if (next_)
            (this->*next_)(receiveBuffer_, count);
        return;
    }
    while (receiveCount_ > 0 && !readyPosted_) {
        const char* end = static_cast<const char*>(std::memchr(receiveBuffer_, '\n', std::strlen(receiveBuffer_)));
        if (!end)
            break;
        int length = static_cast<int>(end - receiveBuffer_);
        std::string line(receiveBuffer_, static_cast<size_t>(length > 0 && end[-1] == '\r' ? length - 1 : length));
        receiveCount_ -= length + 1;
        std::memmove(receiveBuffer_, end + 1, static_cast<size_t>(receiveCount_) + 1);
        HandleLine(line.data(), static_cast<int>(line.size()));
    }
}

void THttpClient::HandleLine(const char* data, int length)
{
    if (state_ != hcsWaitingHeader && state_ != hcsWaitingBody) {
        if (OnDataError)
            OnDataError(this, 0);
        return;
    }
    if (next_)
        (this->*next_)(data, length);
    else
        PostReady();
}

// ---- the answer's header

void THttpClient::HeaderLine(const char* data, int length)
{
    const AnsiString line(data, static_cast<size_t>(length));
    if (lineCount_ == 0) {
        if (OnHeaderBegin)
            OnHeaderBegin(this);
        headerFlag_ = true;
    }
    ++lineCount_;
    headerBytes_ += length + 2;
    if (headerBytes_ > maxHeaderSize_ || lineCount_ > MaxHeaderLines) {
        Fail("HTTP header too large");
        return;
    }
    if (rtl::UpperCase(line.substr(0, 6)) == "<HTML>") {
        // An answer without a header: all of it is the document.
        if (contentType_.empty())
            contentType_ = "text/html";
        SetState(hcsWaitingBody);
        next_ = &THttpClient::BodyChunk;
        headerFlag_ = false;
        headerEnded_ = true;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        BodyChunk(data, length);
        return;
    }
    if (line.empty()) {
        FlushFieldLine();
        if (readyPosted_)
            return;
        if (statusCode_ >= 100 && statusCode_ < 200) {
            SkipInterimAnswer();
            return;
        }
        HeaderEnded();
        return;
    }
    if ((line[0] == ' ' || line[0] == '\t') && !fieldLine_.empty()) {
        // A continuation: the value goes on in the field above.
        const size_t start = line.find_first_not_of(" \t");
        if (start != AnsiString::npos)
            fieldLine_ += " " + line.substr(start);
        headerLines_->SetStrings(headerLines_->Count() - 1, fieldLine_);
        return;
    }
    FlushFieldLine();
    if (readyPosted_)
        return;
    headerLines_->Add(line);
    const AnsiString version = line.substr(0, 8);
    if (version == "HTTP/1.0" || version == "HTTP/1.1" || !statusLineSeen_) {
        ParseHeaderField(line);
        if (readyPosted_)
            return;
        if (OnHeaderData)
            OnHeaderData(this);
        if (statusCode_ >= 400 && socket_->State() != wsClosed)
            socket_->Close();
        return;
    }
    // Held back until the next line shows whether the value goes on.
    fieldLine_ = line;
}

void THttpClient::FlushFieldLine()
{
    if (fieldLine_.empty())
        return;
    const AnsiString line = fieldLine_;
    fieldLine_.clear();
    ParseHeaderField(line);
    if (readyPosted_)
        return;
    if (OnHeaderData)
        OnHeaderData(this);
}

void THttpClient::SkipInterimAnswer()
{
    // "100 Continue" and its kin announce the answer; the real one follows on the same connection.
    headerLines_->Clear();
    authChallenges_->Clear();
    statusCode_ = 0;
    reasonPhrase_.clear();
    statusLineSeen_ = false;
    contentLength_ = -1;
    contentType_.clear();
    locationFlag_ = false;
}

void THttpClient::ParseHeaderField(const AnsiString& line)
{
    const AnsiString version = line.substr(0, 8);
    if (version == "HTTP/1.0" || version == "HTTP/1.1") {
        const AnsiString code = line.substr(9, 3);
        int value = 0;
        if (line.size() < 12 || line[8] != ' ' || code.find_first_not_of("0123456789") != AnsiString::npos ||
            !rtl::TryStrToInt(code, value)) {
            Fail("malformed status line: " + line.substr(0, 80));
            return;
        }
        statusCode_ = value;
        reasonPhrase_ = line.size() > 13 ? line.substr(13) : AnsiString();
        statusLineSeen_ = true;
        return;
    }
    if (!statusLineSeen_) {
        Fail("answer without a status line");
        return;
    }
    size_t colon = line.find(':');
    if (colon == AnsiString::npos) {
        Fail("malformed header line: " + line.substr(0, 80));
        return;
    }
    const AnsiString name = rtl::LowerCase(line.substr(0, colon));
    size_t valueStart = line.find_first_not_of(' ', colon + 1);
    const AnsiString value = valueStart == AnsiString::npos ? AnsiString() : line.substr(valueStart);
    if (name == "location") {
        locationFlag_ = true;
        NewLocation(value);
    } else if (name == "content-length") {
        int length = 0;
        if (!rtl::TryStrToInt(rtl::Trim(value), length) || length < 0) {
            Fail("malformed header line: " + line.substr(0, 80));
            return;
        }
        contentLength_ = length;
    } else if (name == "content-range") {
        size_t dash = value.find('-');
        size_t slash = value.find('/');
        if (dash != AnsiString::npos && dash >= 6) {
            contentRangeBegin_ = value.substr(6, dash - 6);
            contentRangeEnd_ = value.substr(dash + 1, slash == AnsiString::npos ? AnsiString::npos : slash - dash - 1);
        }
    } else if (name == "accept-ranges") {
        acceptRanges_ = value;
    } else if (name == "content-type") {
        contentType_ = rtl::LowerCase(value);
    } else if (name == "www-authenticate") {
        authChallenges_->Add(value);
    } else if (name == "set-cookie") {
        bool accept = true;
        if (OnCookie)
            OnCookie(this, value, accept);
    }
}

void THttpClient::HeaderEnded()
{
    headerEnded_ = true;
    if (contentLength_ == 0) {
        headerFlag_ = false;
        next_ = nullptr;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        PostReady();
        return;
    }
    if (locationFlag_) {
        headerFlag_ = false;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        receiveCount_ = 0;
        lineCount_ = chunkCount_ = 0;
        relocating_ = true;
        socket_->Close();
        return;
    }
    if (rtl::LowerCase(rtl::ExtractFileExt(documentName_)) == ".exe" && contentType_ == "text/html") {
        size_t dot = documentName_.rfind('.');
        documentName_ = documentName_.substr(0, dot) + ".htm";
    }
    SetState(hcsWaitingBody);
    next_ = &THttpClient::BodyChunk;
    headerFlag_ = false;
    if (OnHeaderEnd)
        OnHeaderEnd(this);
    if (receiveCount_ > 0) {
        int count = receiveCount_;
        receiveCount_ = 0;
        BodyChunk(receiveBuffer_, count);
    }
}

void THttpClient::BodyChunk(const char* data, int length)
{
    if (chunkCount_ == 0 && OnDocBegin)
        OnDocBegin(this);
    ++chunkCount_;
    if (maxBodySize_ > 0 && bodyByteCount_ + length > maxBodySize_) {
        Fail("document too large");
        return;
    }
    bodyByteCount_ += length;
    if (ReceiveStream)
        ReceiveStream->WriteBuffer(data, length);
    if (OnDocData)
        OnDocData(this, data, length);
}

// ---- relocation

void THttpClient::NewLocation(const AnsiString& value)
{
    if (!proxy_.empty()) {
        if (StartsWith(value, "/")) {
            size_t schemeEnd = target_.find("://");
            size_t pathStart = schemeEnd == AnsiString::npos ? 0 : target_.find('/', schemeEnd + 3);
            location_ = target_ = target_.substr(0, pathStart) + value;
            return;
        }
        THttpUrlParts parts;
        parts.Path = target_;
        ParseURL(value, parts);
        if (!parts.Scheme.empty() && !parts.Host.empty()) {
            location_ = target_ = value;
            hostValue_ = parts.Host;
        } else if (!parts.Host.empty()) {
            hostValue_ = parts.Host;
        }
        return;
    }
    if (StartsWith(value, "/")) {
        target_ = value;
        location_ = "http://" + hostName_ + value;
        return;
    }
    THttpUrlParts parts;
    parts.Path = target_;
    ParseURL(value, parts);
    if (!parts.Scheme.empty() && rtl::LowerCase(parts.Scheme) != "http") {
        // Only plain HTTP can be fetched; following would send this request to the wrong kind of server.
        relocationError_ = "can't follow relocation to " + value.substr(0, 200);
        return;
    }
    hostName_ = parts.Host;
    port_ = parts.Port.empty() ? AnsiString("80") : parts.Port;
    target_ = parts.Path;
    if (!parts.Scheme.empty() && !parts.Host.empty()) {
        hostValue_ = parts.Host;
        if (target_.empty()) {
            target_ = "/";
            location_ = parts.Scheme + "://" + parts.Host;
        } else {
            location_ = parts.Scheme + "://" + parts.Host + target_;
        }
        return;
    }
    const AnsiString scheme = parts.Scheme.empty() ? AnsiString("http") : parts.Scheme;
    if (target_.empty()) {
        location_ = scheme + "://" + hostValue_ + "/" + parts.Host;
        hostName_ = hostValue_;
        target_ = location_;
    } else if (!parts.Host.empty()) {
        hostValue_ = parts.Host;
    } else {
        location_ = scheme + "://" + hostValue_ + target_;
        hostName_ = hostValue_;
    }
}

void THttpClient::Relocate()
{
    connected_ = false;
    locationFlag_ = false;
    relocating_ = false;
    if (requestType_ == hrPost)
        requestType_ = hrGet;
    if (!relocationError_.empty()) {
        Fail(relocationError_);
        return;
    }
    if (++relocations_ > maxRelocations_) {
        Fail("too many relocations");
        return;
    }
    if (OnLocationChange)
        OnLocationChange(this);
    headerLines_->Clear();
    statusLineSeen_ = headerEnded_ = false;
    contentLength_ = -1;
    vcl::PostMessage(wnd_, WM_HTTP_LOGIN, 0, 0);
}

// ---- the end

void THttpClient::SocketSessionClosed(uint16_t error)
{
    // Only an orderly close ends a body without a length; a reset leaves it incomplete whatever arrived.
    const bool complete = headerEnded_ && contentLength_ >= 0 && bodyByteCount_ >= contentLength_;
    if (error != 0 && !relocating_ && !complete && statusCode_ < 400) {
        // The socket is closing already: the request ends as a failure through the usual close.
        requestError_ = error;
        statusCode_ = 404;
        reasonPhrase_ = SocketErrorText(error);
        locationFlag_ = false;
    }
    if (relocating_) {
        Relocate();
        return;
    }
    CloseHandler();
}

void THttpClient::CloseHandler()
{
    if (readyPosted_)
        return;
    connected_ = false;
    if (headerFlag_) {
        headerFlag_ = false;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        if (locationFlag_)
            Relocate();
        else
            PostReady();
        return;
    }
    if (chunkCount_ > 0 && OnDocEnd)
        OnDocEnd(this);
    PostReady();
}

void THttpClient::PostReady()
{
    if (readyPosted_)
        return;
    readyPosted_ = true;
    deadline_ = 0;
    if (statusCode_ < 400 && requestError_ == 0) {
        if (!statusLineSeen_) {
            statusCode_ = 404;
            reasonPhrase_ = "answer without a status line";
        } else if (!headerEnded_) {
            statusCode_ = 404;
            reasonPhrase_ = "answer ended inside its header";
        } else if (requestType_ != hrHead && contentLength_ > bodyByteCount_) {
            statusCode_ = 404;
            reasonPhrase_ = "document shorter than its Content-Length";
        }
    }
    vcl::PostMessage(wnd_, WM_HTTP_SET_READY, 0, 0);
}

void THttpClient::Fail(const AnsiString& reason, uint16_t socketError)
{
    if (readyPosted_)
        return;
    requestError_ = socketError;
    statusCode_ = 404;
    reasonPhrase_ = reason;
    headerFlag_ = locationFlag_ = relocating_ = false;
    connected_ = false;
    PostReady();
    try {
        socket_->Abort();
    } catch (...) {
    }
}

void THttpClient::CheckTimeouts(vcl::TObject*)
{
    if (deadline_ == 0 || readyPosted_ || state_ == hcsReady || NowMs() < deadline_)
        return;
    Fail(SocketErrorText(TimedOut), TimedOut);
}

void THttpClient::Abort()
{
    if (state_ == hcsReady || readyPosted_)
        return;
    Fail("request aborted");
}

void THttpClient::Get()
{
    StartRequest(hrGet);
    while (state_ != hcsReady) {
        if (multiThreaded_)
            socket_->PumpMessages();
        else
            vcl::Application->ProcessMessages();
        CheckTimeouts(this);
        if (state_ != hcsReady)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (statusCode_ >= 400)
        throw EHttpException(reasonPhrase_, statusCode_);
}

}  // namespace net
