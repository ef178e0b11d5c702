#pragma once
// THttpClient: one HTTP/1.0 request at a time over a TNetSocket, driven by socket events and messages to
// a hidden window of its own, on the thread that made it. Get waits, keeping the messages going:
//
//   net::THttpClient http(owner);
//   http.SetURL("http://www.example.com/file.txt");
//   http.ReceiveStream = &stream;
//   http.Get();   // EHttpException on a status of 400 or more, or when the request failed
//
// Whatever a server sends ends the request: a silent peer after ConnectTimeout / ResponseTimeout (both
// counted once for the whole request, relocations included), an endless chain of relocations after
// MaxRelocations, an endless header after MaxHeaderSize, an endless body after MaxBodySize.

#include <cstdint>
#include <functional>
#include <memory>

#include "net/NetSocket.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Messages.h"

namespace net {

VCL_ENUM(THttpClientState, hcsReady, hcsNotConnected, hcsConnected, hcsDnsLookup, hcsDnsLookupDone,
         hcsWaitingHeader, hcsWaitingBody, hcsAborting)
VCL_ENUM(THttpRequest, hrNone, hrGet, hrPost, hrHead)

class EHttpException : public rtl::Exception {
public:
    EHttpException(const AnsiString& message, int errorCode) : rtl::Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

using TDocDataEvent = std::function<void(TObject* Sender, const void* Buffer, int Len)>;
using TOnCommand = std::function<void(TObject* Sender, AnsiString& S)>;
using TCookieRcvdEvent = std::function<void(TObject* Sender, const AnsiString& Data, bool& Accept)>;
using THttpRequestDone = std::function<void(TObject* Sender, THttpRequest RqType, uint16_t Error)>;

// The hidden window's messages.
inline constexpr vcl::UINT WM_HTTP_REQUEST_DONE = vcl::WM_USER + 1;
inline constexpr vcl::UINT WM_HTTP_SET_READY = vcl::WM_USER + 2;
inline constexpr vcl::UINT WM_HTTP_LOGIN = vcl::WM_USER + 3;

// The parts of a URL; `path` on entry is the base for relative forms.
struct THttpUrlParts {
    AnsiString Scheme, User, Password, Host, Port, Path;
};
void ParseURL(const AnsiString& url, THttpUrlParts& parts);
// Standard Base64 with "=" padding.
AnsiString EncodeBase64(const AnsiString& text);
// "Sun, 06 Nov 1994 08:49:37" of a date-time value (days since 30 December 1899), written unconverted.
AnsiString RFC1123Date(double value);

class THttpClient : public vcl::TComponent {
    VCL_CLASS(THttpClient, vcl::TComponent)
public:
    explicit THttpClient(vcl::TComponent* owner);
    ~THttpClient() override;

    void Get();
    // Ends a running request at once, as a failure; nothing when none runs.
    void Abort();

    // ---- published
    const AnsiString& URL() const { return url_; }
    void SetURL(const AnsiString& value) { url_ = value; }
    const AnsiString& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const AnsiString& value) { localAddr_ = value; }
    const AnsiString& Proxy() const { return proxy_; }
    void SetProxy(const AnsiString& value) { proxy_ = value; }
    const AnsiString& ProxyPort() const { return proxyPort_; }
    void SetProxyPort(const AnsiString& value) { proxyPort_ = value; }
    const AnsiString& Sender() const { return sender_; }
    void SetSender(const AnsiString& value) { sender_ = value; }
    const AnsiString& Agent() const { return agent_; }
    void SetAgent(const AnsiString& value) { agent_ = value; }
    const AnsiString& Accept() const { return accept_; }
    void SetAccept(const AnsiString& value) { accept_ = value; }
    const AnsiString& Reference() const { return reference_; }
    void SetReference(const AnsiString& value) { reference_ = value; }
    const AnsiString& Username() const { return username_; }
    void SetUsername(const AnsiString& value) { username_ = value; }
    const AnsiString& Password() const { return password_; }
    void SetPassword(const AnsiString& value) { password_ = value; }
    const AnsiString& ProxyUsername() const { return proxyUsername_; }
    void SetProxyUsername(const AnsiString& value) { proxyUsername_ = value; }
    const AnsiString& ProxyPassword() const { return proxyPassword_; }
    void SetProxyPassword(const AnsiString& value) { proxyPassword_ = value; }
    bool NoCache() const { return noCache_; }
    void SetNoCache(bool value) { noCache_ = value; }
    double ModifiedSince() const { return modifiedSince_; }
    void SetModifiedSince(double value) { modifiedSince_ = value; }
    const AnsiString& Cookie() const { return cookie_; }
    void SetCookie(const AnsiString& value) { cookie_ = value; }
    const AnsiString& ContentTypePost() const { return contentTypePost_; }
    void SetContentTypePost(const AnsiString& value) { contentTypePost_ = value; }
    const AnsiString& ContentRangeBegin() const { return contentRangeBegin_; }
    void SetContentRangeBegin(const AnsiString& value) { contentRangeBegin_ = value; }
    const AnsiString& ContentRangeEnd() const { return contentRangeEnd_; }
    void SetContentRangeEnd(const AnsiString& value) { contentRangeEnd_ = value; }
    const AnsiString& AcceptRanges() const { return acceptRanges_; }
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool value);
    // Longest wait for the name and the connection, and for the whole answer after the request, in ms.
    int ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(int value) { connectTimeout_ = value; }
    int ResponseTimeout() const { return responseTimeout_; }
    void SetResponseTimeout(int value) { responseTimeout_ = value; }
    int MaxRelocations() const { return maxRelocations_; }
    void SetMaxRelocations(int value) { maxRelocations_ = value; }
    int MaxHeaderSize() const { return maxHeaderSize_; }
    void SetMaxHeaderSize(int value) { maxHeaderSize_ = value; }
    int64_t MaxBodySize() const { return maxBodySize_; }
    void SetMaxBodySize(int64_t value) { maxBodySize_ = value; }

    // ---- public state
    THttpClientState State() const { return state_; }
    THttpRequest RequestType() const { return requestType_; }
    rtl::TStream* ReceiveStream = nullptr;
    rtl::TStream* PostStream = nullptr;
    int StatusCode() const { return statusCode_; }
    const AnsiString& ReasonPhrase() const { return reasonPhrase_; }
    int ContentLength() const { return contentLength_; }
    const AnsiString& ContentType() const { return contentType_; }
    const AnsiString& Location() const { return location_; }
    const AnsiString& DocumentName() const { return documentName_; }
    rtl::TStringList& HeaderLines() { return *headerLines_; }
    rtl::TStringList& AuthChallenges() { return *authChallenges_; }
    uint16_t RequestError() const { return requestError_; }
    int64_t BodyByteCount() const { return bodyByteCount_; }
    int64_t PostByteCount() const { return postByteCount_; }
    bool Connected() const { return connected_; }
    // The socket the requests travel on (its SOCKS settings are the caller's).
    TNetSocket& CtrlSocket() { return *socket_; }

    vcl::TNotifyEvent OnStateChange, OnSessionConnected, OnRequestHeaderBegin, OnRequestHeaderEnd, OnHeaderBegin,
        OnHeaderEnd, OnHeaderData, OnDocBegin, OnDocEnd, OnSendBegin, OnSendEnd, OnLocationChange, OnTrace;
    TDocDataEvent OnDocData, OnSendData;
    TOnCommand OnCommand;
    TCookieRcvdEvent OnCookie;
    THttpRequestDone OnRequestDone;
    // Called for each line that arrives while neither a header nor a body is expected.
    TSessionEvent OnDataError;

private:
    struct TWindowData;
    using TLineHandler = void (THttpClient::*)(const char* data, int length);

    void WndProc(vcl::TMessage& message);
    void SetState(THttpClientState value);
    void PostReady();
    void StartRequest(THttpRequest type);
    void SplitRequestURL();
    void LoginDelayed();
    void SocketDnsLookupDone(uint16_t error);
    void SocketSessionConnected(uint16_t error);
    void SocketDataAvailable(uint16_t error);
    void SocketDataSent(uint16_t error);
    void SocketSessionClosed(uint16_t error);
    void SendRequestHeader(const AnsiString& method);
    void SendCommand(rtl::TMemoryStream& header, AnsiString line);
    void HandleLine(const char* data, int length);
    void HeaderLine(const char* data, int length);
    void ParseHeaderField(const AnsiString& line);
    // Parses the field line held back for a possible continuation.
    void FlushFieldLine();
    void SkipInterimAnswer();
    void HeaderEnded();
    void BodyChunk(const char* data, int length);
    void NewLocation(const AnsiString& value);
    void Relocate();
    void SendNextPostBlock();
    // Ends the request with an error of our own: the status 404 with `reason`, the connection dropped.
    void Fail(const AnsiString& reason, uint16_t socketError = 0);
    void CloseHandler();
    void CheckTimeouts(vcl::TObject*);
    // Starts the answer's deadline: the whole answer, however it trickles in, must arrive by then.
    void Touch();

    std::shared_ptr<TWindowData> windowData_;
    vcl::HWND wnd_ = nullptr;
    TNetSocket* socket_ = nullptr;  // owned as a component
    vcl::TTimer* timer_ = nullptr;  // owned as a component
    std::unique_ptr<rtl::TStringList> headerLines_, authChallenges_;

    AnsiString url_, localAddr_ = "0.0.0.0", proxy_, proxyPort_ = "80", sender_, agent_ = "Mozilla/3.0 (compatible)",
        accept_ = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*", reference_, username_, password_,
        proxyUsername_, proxyPassword_, cookie_, contentTypePost_ = "application/x-www-form-urlencoded",
        contentRangeBegin_, contentRangeEnd_, acceptRanges_;
    bool noCache_ = false;
    double modifiedSince_ = 0;
    bool multiThreaded_ = false;
    int connectTimeout_ = 30000, responseTimeout_ = 30000, maxRelocations_ = 10;
    int maxHeaderSize_ = 256 * 1024;
    int64_t maxBodySize_ = 16 * 1024 * 1024;

    THttpClientState state_ = hcsReady;
    THttpRequest requestType_ = hrNone;
    int statusCode_ = 0;
    AnsiString reasonPhrase_, contentType_, location_, documentName_;
    int contentLength_ = -1;
    uint16_t requestError_ = 0;
    int64_t bodyByteCount_ = 0, postByteCount_ = 0;
    bool connected_ = false;

    AnsiString hostName_, port_, hostValue_, target_, resolvedAddr_;
    AnsiString relocationError_;  // why the announced new address cannot be fetched
    char receiveBuffer_[8193] = {};
    int receiveCount_ = 0;
    char sendBuffer_[8193] = {};
    bool headerFlag_ = false, locationFlag_ = false, sendFlag_ = false;
    bool statusLineSeen_ = false, headerEnded_ = false, relocating_ = false;
    int lineCount_ = 0, chunkCount_ = 0, relocations_ = 0;
    TLineHandler next_ = nullptr;
    bool readyPosted_ = false;  // the end of this request is already on its way
    int64_t deadline_ = 0;      // steady-clock milliseconds; 0 while nothing is awaited
    int64_t connectDeadline_ = 0, answerDeadline_ = 0;  // of the whole request; 0 until started
    int headerBytes_ = 0;       // of every header of this request, interim answers and relocations included
    AnsiString fieldLine_;      // the last field line, parsed once no continuation can follow
};

// Registers THttpClient; idempotent.
void RegisterHttpClientClasses();

}  // namespace net
