#include "platform/wininet/InternetTransfer.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/wininet/WinInet.h"

namespace win::inet {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The code of a reply line "ddd text" or "ddd-text", 0 for a continuation line.
int ReplyCode(const std::string& line, char& separator)
{
    if (line.size() < 4 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]) ||
        (line[3] != ' ' && line[3] != '-'))
        return 0;
    separator = line[3];
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

void SetCloseOnExec(int fd)
{
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC))
        ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

// The library's sockets (the FTP control and data connections too) must not live on in a program we
// start: made close-on-exec at once, so no start in another thread can catch one between.
curl_socket_t OpenSocket(void*, curlsocktype, curl_sockaddr* address)
{
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// A socket the library accepted (active FTP) or made some other way.
int CloseOnExec(void*, curl_socket_t fd, curlsocktype)
{
    SetCloseOnExec(fd);
    return CURL_SOCKOPT_OK;
}

std::vector<int> OpenDescriptors()
{
    std::vector<int> result;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), IsDigit))
            result.push_back(std::stoi(name));
    }
    std::sort(result.begin(), result.end());
    return result;
}


// "Content-Length: 12abc" (or empty, or signed): a length only digits can give; a server that writes
// anything else has not said how long its answer is.
bool IsMalformedContentLength(const std::string& line)
{
    static const char name[] = "content-length:";
    if (line.size() < sizeof name - 1)
        return false;
    for (size_t i = 0; i < sizeof name - 1; ++i)
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(line[i]))) != name[i])
            return false;
    size_t start = line.find_first_not_of(" \t", sizeof name - 1);
    size_t end = line.find_last_not_of(" \t");
    if (start == std::string::npos)
        return true;
    for (size_t i = start; i <= end; ++i)
        if (!IsDigit(line[i]))
            return true;
    return false;
}

}  // namespace

void InitializeCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// ---------------------------------------------------------------------------------------------------------
// The multi handle

thread_local std::function<bool()> waitCheck;

bool WaitCancelled() { return waitCheck && waitCheck(); }

TCurlMulti::TCurlMulti()
{
    InitializeCurl();
    // The multi handle makes its own wake-up socket pair without close-on-exec and keeps it for its life;
    // whatever is new after it was made is its.
    const std::vector<int> before = OpenDescriptors();
    multi_ = curl_multi_init();
    for (int fd : OpenDescriptors())
        if (!std::binary_search(before.begin(), before.end(), fd))
            SetCloseOnExec(fd);
}

TCurlMulti::~TCurlMulti() { curl_multi_cleanup(multi_); }

void TCurlMulti::Perform()
{
    int running = 0;
    curl_multi_perform(multi_, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        char* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        if (owner)
            reinterpret_cast<TCurlTransfer*>(owner)->Finish(message->data.result);
    }
}

void TCurlMulti::Wait(int milliseconds) { curl_multi_poll(multi_, nullptr, 0, std::max(milliseconds, 0), nullptr); }

// ---------------------------------------------------------------------------------------------------------
// A transfer

TCurlTransfer::TCurlTransfer(TCurlMulti& multi, TProtocol protocol, TTimeouts timeouts)
    : multi_(multi), protocol_(protocol), timeouts_(timeouts), easy_(curl_easy_init())
{
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, reinterpret_cast<char*>(this));
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, protocol == TProtocol::Ftp ? "ftp" : "http");
    curl_easy_setopt(easy_, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.Connect));
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &TCurlTransfer::WriteCallback);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &TCurlTransfer::HeaderCallback);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &TCurlTransfer::PrereqCallback);
    curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy_, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket);
    curl_easy_setopt(easy_, CURLOPT_SOCKOPTFUNCTION, &CloseOnExec);
    if (protocol == TProtocol::Ftp) {
        // One CWD with the whole folder, so the server sees the folder as the caller named it.
        curl_easy_setopt(easy_, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        curl_easy_setopt(easy_, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         static_cast<long>(std::max<DWORD>(1, (timeouts.Receive + 999) / 1000)));
    }
}

TCurlTransfer::~TCurlTransfer()
{
    if (added_)
        curl_multi_remove_handle(multi_.Handle(), easy_);
    curl_easy_cleanup(easy_);
}

void TCurlTransfer::Start()
{
    lastProgress_ = std::chrono::steady_clock::now();
    if (curl_multi_add_handle(multi_.Handle(), easy_) != CURLM_OK) {
        finished_ = true;
        error_ = ERROR_INTERNET_INTERNAL_ERROR;
        return;
    }
    added_ = true;
}

DWORD TCurlTransfer::WaitUntil(const std::function<bool()>& enough)
{
    using namespace std::chrono;
    while (!finished_ && !enough()) {
        // What came while the caller was busy elsewhere is read first, and counts.
        multi_.Perform();
        if (finished_ || enough())
            break;
        const auto limit = connected_ ? milliseconds(timeouts_.Receive)
                                      : milliseconds(timeouts_.Connect) + milliseconds(timeouts_.Receive);
        const auto waited = steady_clock::now() - lastProgress_;
        if (waited >= limit) {
            Abandon(ERROR_INTERNET_TIMEOUT);
            return ERROR_INTERNET_TIMEOUT;
        }
        if (WaitCancelled()) {
            Abandon(ERROR_INTERNET_OPERATION_CANCELLED);
            return ERROR_INTERNET_OPERATION_CANCELLED;
        }
        multi_.Wait(static_cast<int>(std::min<int64_t>(duration_cast<milliseconds>(limit - waited).count() + 1, 100)));
    }
    return 0;
}

DWORD TCurlTransfer::WaitForAnswer()
{
    return WaitUntil([this] { return InBody() || Buffered() > 0; });
}

void TCurlTransfer::Abandon(DWORD error)
{
    if (added_) {
        curl_multi_remove_handle(multi_.Handle(), easy_);
        added_ = false;
    }
    finished_ = true;
    error_ = error;
}

size_t TCurlTransfer::Take(void* destination, size_t count)
{
    const size_t n = std::min(count, Buffered());
    if (n > 0)
        std::memcpy(destination, buffer_.data() + taken_, n);
    taken_ += n;
    // Dropping the taken front now and then keeps the buffer small without moving it on every read.
    if (taken_ == buffer_.size()) {
        buffer_.clear();
        taken_ = 0;
    } else if (taken_ > 65536 && taken_ * 2 > buffer_.size()) {
        buffer_.erase(0, taken_);
        taken_ = 0;
    }
    return n;
}

int64_t TCurlTransfer::ContentLength() const
{
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK)
        return -1;
    return length;
}

long TCurlTransfer::StatusCode() const
{
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

size_t TCurlTransfer::WriteCallback(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<TCurlTransfer*>(self);
    transfer->buffer_.append(data, size * count);
    transfer->delivered_ += static_cast<int64_t>(size * count);
    transfer->Activity(size * count);
    return size * count;
}

size_t TCurlTransfer::HeaderCallback(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<TCurlTransfer*>(self);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    transfer->Activity();
    transfer->HeaderLine(std::move(line));
    // Stops the transfer: nothing of an answer whose length cannot be trusted may pass for a whole file.
    return transfer->malformedHeader_ ? 0 : size * count;
}

int TCurlTransfer::PrereqCallback(void* self, char*, char*, int, int)
{
    static_cast<TCurlTransfer*>(self)->Activity();
    return CURL_PREREQFUNC_OK;
}

void TCurlTransfer::Activity(size_t bodyBytes)
{
    connected_ = true;
    if (!InBody()) {
        lastProgress_ = std::chrono::steady_clock::now();
        return;
    }
    bodyProgress_ += bodyBytes;
    if (bodyProgress_ >= ProgressFloor) {
        bodyProgress_ = 0;
        lastProgress_ = std::chrono::steady_clock::now();
    }
}

void TCurlTransfer::HeaderLine(std::string line)
{
    if (protocol_ == TProtocol::Ftp) {
        FtpLine(line);
        return;
    }
    if (line.compare(0, 5, "HTTP/") == 0) {
        // Every answer starts the list again: only the final one counts.
        headerLines_.clear();
        headersDone_ = false;
        headerLines_.push_back(std::move(line));
    } else if (line.empty()) {
        const long code = StatusCode();
        if (!headerLines_.empty() && (code < 100 || code >= 200))
            headersDone_ = true;
    } else if (!headerLines_.empty()) {
        if (IsMalformedContentLength(line))
            malformedHeader_ = true;
        headerLines_.push_back(std::move(line));
    }
}

void TCurlTransfer::FtpLine(const std::string& line)
{
    char separator = 0;
    const int code = ReplyCode(line, separator);
    reply_ += line + "\r\n";
    if (replyCode_ == 0)
        replyCode_ = code;
    // A reply ends with its code followed by a blank ("230-" lines go on, "230 " ends it).
    if (code == 0 || code != replyCode_ || separator != ' ')
        return;
    lastCode_ = code;
    if (code == 331)
        passwordAsked_ = true;
    if (code == 125 || code == 150)
        transferStarted_ = true;
    const std::string text = std::move(reply_);
    reply_.clear();
    replyCode_ = 0;
    if (OnReply)
        OnReply(code, text);
}

void TCurlTransfer::Finish(CURLcode result)
{
    if (added_) {
        curl_multi_remove_handle(multi_.Handle(), easy_);
        added_ = false;
    }
    finished_ = true;
    const bool ftp = protocol_ == TProtocol::Ftp;
    if (malformedHeader_) {
        error_ = ERROR_HTTP_INVALID_SERVER_RESPONSE;
        return;
    }
    switch (result) {
        case CURLE_OK:
            error_ = 0;
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
            error_ = ERROR_INTERNET_NAME_NOT_RESOLVED;
            break;
        case CURLE_COULDNT_CONNECT:
            error_ = ERROR_INTERNET_CANNOT_CONNECT;
            break;
        case CURLE_OPERATION_TIMEDOUT:
            error_ = ERROR_INTERNET_TIMEOUT;
            break;
        case CURLE_LOGIN_DENIED:
            error_ = !ftp ? ERROR_INTERNET_LOGIN_FAILURE
                          : passwordAsked_ ? ERROR_INTERNET_INCORRECT_PASSWORD : ERROR_INTERNET_INCORRECT_USER_NAME;
            break;
        case CURLE_URL_MALFORMAT:
            error_ = ERROR_INTERNET_INVALID_URL;
            break;
        case CURLE_UNSUPPORTED_PROTOCOL:
            error_ = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
            break;
        case CURLE_OUT_OF_MEMORY:
            error_ = ERROR_NOT_ENOUGH_MEMORY;
            break;
        case CURLE_PARTIAL_FILE:
        case CURLE_SEND_ERROR:
            error_ = ERROR_INTERNET_CONNECTION_ABORTED;
            break;
        case CURLE_RECV_ERROR:
            error_ = ERROR_INTERNET_CONNECTION_RESET;
            break;
        case CURLE_GOT_NOTHING:
            error_ = ERROR_HTTP_INVALID_SERVER_RESPONSE;
            break;
        default:
            // The server refused a command: its answer tells why.
            if (ftp && lastCode_ >= 400)
                error_ = ERROR_INTERNET_EXTENDED_ERROR;
            else if (!ftp && (result == CURLE_WEIRD_SERVER_REPLY || result == CURLE_BAD_CONTENT_ENCODING))
                error_ = ERROR_HTTP_INVALID_SERVER_RESPONSE;
            else
                error_ = ERROR_INTERNET_INTERNAL_ERROR;
            break;
    }
    // The library reads a 421 (the server will not serve now) as its own time-out; it is the server's
    // refusal, and its text tells why.
    if (ftp && lastCode_ == 421)
        error_ = ERROR_INTERNET_EXTENDED_ERROR;
    // A missing file or folder is the server's refusal too.
    if (ftp && lastCode_ >= 400 &&
        (result == CURLE_REMOTE_FILE_NOT_FOUND || result == CURLE_REMOTE_ACCESS_DENIED ||
         result == CURLE_FTP_COULDNT_RETR_FILE || result == CURLE_QUOTE_ERROR))
        error_ = ERROR_INTERNET_EXTENDED_ERROR;
}

}  // namespace win::inet

namespace win {

void SetInternetWaitCheck(std::function<bool()> check) { inet::waitCheck = std::move(check); }

}  // namespace win
