#pragma once
// One transfer of the Internet library over libcurl, read the way the library's callers read: pull the
// next bytes when they are wanted. The transfer runs in its connection's multi handle (which keeps the
// server connection for the next transfer) and advances only while a caller waits for something, under
// the connect and receive time-outs. Internal to platform/wininet.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace win::inet {

struct TTimeouts {
    DWORD Connect;
    DWORD Receive;
};

// A connection's multi handle: the server connections kept between its transfers.
class TCurlMulti {
public:
    TCurlMulti();
    ~TCurlMulti();
    TCurlMulti(const TCurlMulti&) = delete;
    TCurlMulti& operator=(const TCurlMulti&) = delete;
    CURLM* Handle() const { return multi_; }
    // One step of every transfer, then the finished ones are told.
    void Perform();
    // Waits for network activity, at most `milliseconds`.
    void Wait(int milliseconds);

private:
    CURLM* multi_;
};

class TCurlTransfer {
public:
    enum class TProtocol { Ftp, Http };

    TCurlTransfer(TCurlMulti& multi, TProtocol protocol, TTimeouts timeouts);
    ~TCurlTransfer();
    TCurlTransfer(const TCurlTransfer&) = delete;
    TCurlTransfer& operator=(const TCurlTransfer&) = delete;

    // For the options of this transfer; the common ones (no proxy, the protocol only, time-outs, the
    // callbacks) are set already.
    CURL* Easy() const { return easy_; }
    // Gives the transfer to the multi handle; it advances from the next wait on.
    void Start();

    // Lets the transfer run until `enough` holds or it ends. 0, ERROR_INTERNET_TIMEOUT when the server
    // was silent (or its body trickled) too long, or ERROR_INTERNET_OPERATION_CANCELLED when the thread's
    // wait check asked to stop; the transfer is then ended.
    DWORD WaitUntil(const std::function<bool()>& enough);
    // Waits until the server's answer has begun: the final headers of an HTTP answer, the data of an FTP
    // transfer (the server's 125 or 150), or the end.
    DWORD WaitForAnswer();

    bool Finished() const { return finished_; }
    // The Windows error of a finished transfer, 0 when it succeeded.
    DWORD Error() const { return error_; }

    // The body bytes received and not yet taken.
    size_t Buffered() const { return buffer_.size() - taken_; }
    size_t Take(void* destination, size_t count);
    // The size the server announced for the body, -1 when it did not.
    int64_t ContentLength() const;
    int64_t Delivered() const { return delivered_; }

    // HTTP: the header lines of the final answer, status line first.
    const std::vector<std::string>& HeaderLines() const { return headerLines_; }
    long StatusCode() const;

    // FTP: each complete answer of the server, with its code and its lines ended by CR LF, as it arrives.
    std::function<void(int code, const std::string& text)> OnReply;

private:
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
    static int PrereqCallback(void* self, char*, char*, int, int);
    friend class TCurlMulti;
    void Finish(CURLcode result);
    void Abandon(DWORD error);
    void HeaderLine(std::string line);
    void FtpLine(const std::string& line);
    // Anything from the server before the body restarts the silence time-out; in the body only every
    // ProgressFloor bytes do.
    void Activity(size_t bodyBytes = 0);
    bool InBody() const { return protocol_ == TProtocol::Http ? headersDone_ : transferStarted_; }

    TCurlMulti& multi_;
    TProtocol protocol_;
    TTimeouts timeouts_;
    CURL* easy_;
    bool added_ = false;
    bool finished_ = false;
    DWORD error_ = 0;
    bool connected_ = false;
    // When the server last made progress: less than ProgressFloor bytes in a receive time-out from then is
    // a trickle, whatever the caller did meanwhile (what came while it was away is counted before the check).
    std::chrono::steady_clock::time_point lastProgress_{};
    size_t bodyProgress_ = 0;  // body bytes since the last restart of the time-out

    std::string buffer_;
    size_t taken_ = 0;
    int64_t delivered_ = 0;

    bool headersDone_ = false;
    bool malformedHeader_ = false;  // the answer's length was not a number: the transfer is stopped
    std::vector<std::string> headerLines_;

    std::string reply_;        // the answer being received
    int replyCode_ = 0;
    bool transferStarted_ = false;
    bool passwordAsked_ = false;  // the server answered 331 to the user name
    int lastCode_ = 0;
};

// The thread's wait check (SetInternetWaitCheck); true when it asks to stop.
bool WaitCancelled();

// Sets up libcurl once for the process.
void InitializeCurl();

}  // namespace win::inet
