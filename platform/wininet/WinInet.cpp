#include "platform/wininet/WinInet.h"

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/Modules.h"
#include "platform/win/NetAddress.h"
#include "platform/win/Platform.h"
#include "platform/wininet/InternetTransfer.h"

namespace win {

using inet::TCurlMulti;
using inet::TCurlTransfer;
using inet::TTimeouts;

namespace {

enum class TKind { Session, Connection, FtpFile, HttpRequest };

struct TInternetObject {
    TKind Kind;
    uintptr_t Parent = 0;
    TTimeouts Timeouts;
    virtual ~TInternetObject() = default;
};

struct TSession : TInternetObject {
    std::string Agent;
};

struct TConnection : TInternetObject {
    DWORD Service = 0;
    std::string Host;
    INTERNET_PORT Port = 0;
    std::string UserName;
    std::string Password;
    std::string Agent;
    std::string Directory;  // the FTP server's current folder, as the caller's CWDs made it
    bool FileOpen = false;
    std::unique_ptr<TCurlMulti> Multi = std::make_unique<TCurlMulti>();
};

struct TFile : TInternetObject {
    std::unique_ptr<TCurlTransfer> Transfer;
};

struct TRequest : TFile {
    std::string Path;
    std::vector<std::string> Headers;  // of the request itself (accept types, referrer, reload)
    bool Http10 = false;
};

struct TResponseInfo {
    DWORD Error = 0;
    std::string Text;
};

struct TInternetState {
    std::mutex Lock;
    std::map<uintptr_t, std::shared_ptr<TInternetObject>> Handles;
    uintptr_t NextHandle = 0xCC0004;  // handle values are never reused
    TTimeouts Defaults{DefaultConnectTimeout, DefaultReceiveTimeout};
};

TInternetState& State()
{
    static TInternetState state;
    static const bool registered = [] {
        RegisterResetHook([] {
            std::map<uintptr_t, std::shared_ptr<TInternetObject>> handles;
            {
                std::lock_guard lock(state.Lock);
                handles.swap(state.Handles);
                state.Defaults = TTimeouts{DefaultConnectTimeout, DefaultReceiveTimeout};
            }
            // Transfers go before the connections whose multi handles they live in.
            for (auto& [value, object] : handles)
                if (object->Kind == TKind::FtpFile || object->Kind == TKind::HttpRequest)
                    object.reset();
        });
        return true;
    }();
    (void)registered;
    return state;
}

// Windows keeps the last answer per thread.
thread_local TResponseInfo responseInfo;

void SetResponse(int code, const std::string& text)
{
    responseInfo.Error = static_cast<DWORD>(code);
    responseInfo.Text = text;
}

HINTERNET AddHandle(std::shared_ptr<TInternetObject> object)
{
    TInternetState& state = State();
    std::lock_guard lock(state.Lock);
    const uintptr_t value = state.NextHandle;
    state.NextHandle += 4;
    state.Handles[value] = std::move(object);
    return reinterpret_cast<HINTERNET>(value);
}

// The object of a handle when it is of the kind asked for; null with the Windows error otherwise.
template <class T>
std::shared_ptr<T> Lookup(HINTERNET handle, std::initializer_list<TKind> kinds)
{
    TInternetState& state = State();
    std::lock_guard lock(state.Lock);
    const auto found = state.Handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found == state.Handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    for (TKind kind : kinds)
        if (found->second->Kind == kind)
            return std::static_pointer_cast<T>(found->second);
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
}

std::shared_ptr<TInternetObject> ParentOf(const TInternetObject& object)
{
    TInternetState& state = State();
    std::lock_guard lock(state.Lock);
    const auto found = state.Handles.find(object.Parent);
    return found == state.Handles.end() ? nullptr : found->second;
}

template <class T>
T Fail(DWORD error, T result)
{
    SetLastError(error);
    return result;
}

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string PercentByte(unsigned char c)
{
    static const char digits[] = "0123456789ABCDEF";
    return {'%', digits[c >> 4], digits[c & 15]};
}

// Every byte but the unreserved ones (and "/" when `keepSlash`) as %XX.
std::string Encode(const std::string& text, bool keepSlash)
{
    std::string result;
    for (unsigned char c : text)
        result += IsUnreserved(c) || (keepSlash && c == '/') ? std::string(1, static_cast<char>(c)) : PercentByte(c);
    return result;
}

// An HTTP object name onto the wire: what may not stand in a request line is escaped, the rest (escapes
// the caller made included) stays.
std::string WirePath(const std::string& objectName)
{
    std::string result = objectName.empty() || objectName[0] != '/' ? "/" : "";
    for (unsigned char c : objectName) {
        const bool unsafe = c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", static_cast<char>(c)) != nullptr;
        result += unsafe ? PercentByte(c) : std::string(1, static_cast<char>(c));
    }
    return result;
}

bool IsHostName(const std::string& host)
{
    if (host.empty())
        return false;
    for (unsigned char c : host)
        if (!IsUnreserved(c) && c != ':')
            return false;
    return true;
}

std::string UrlHost(const std::string& host) { return host.find(':') != std::string::npos ? "[" + host + "]" : host; }

// Points the transfer at the connection's server, through the hosts file and the port map. False with
// the Windows error when the name or the map cannot be used.
bool AimAt(TCurlTransfer& transfer, const TConnection& connection, const std::string& scheme, const std::string& path,
           curl_slist*& connectTo)
{
    if (!IsHostName(connection.Host))
        return Fail(ERROR_INTERNET_NAME_NOT_RESOLVED, false);
    uint16_t mapped = connection.Port;
    std::optional<std::string> address;
    try {
        mapped = MappedPort(connection.Port);
        address = HostsFileAddress(connection.Host);
    } catch (const rtl::Exception& e) {
        // A bad port map or an unreadable hosts file: the answer text says which.
        SetResponse(0, e.Message() + "\r\n");
        return Fail(ERROR_INTERNET_INVALID_OPTION, false);
    }
    const std::string url =
        scheme + "://" + UrlHost(connection.Host) + ":" + std::to_string(connection.Port) + path;
    curl_easy_setopt(transfer.Easy(), CURLOPT_URL, url.c_str());
    if (address || mapped != connection.Port) {
        const std::string entry = UrlHost(connection.Host) + ":" + std::to_string(connection.Port) + ":" +
                                  (address ? UrlHost(*address) : std::string()) + ":" + std::to_string(mapped);
        connectTo = curl_slist_append(nullptr, entry.c_str());
        curl_easy_setopt(transfer.Easy(), CURLOPT_CONNECT_TO, connectTo);
    }
    return true;
}

// A transfer on an FTP connection, its answers going to the thread's response info.
std::unique_ptr<TCurlTransfer> FtpTransfer(TConnection& connection)
{
    auto transfer = std::make_unique<TCurlTransfer>(*connection.Multi, TCurlTransfer::TProtocol::Ftp, connection.Timeouts);
    transfer->OnReply = SetResponse;
    if (!connection.UserName.empty()) {
        curl_easy_setopt(transfer->Easy(), CURLOPT_USERNAME, connection.UserName.c_str());
        curl_easy_setopt(transfer->Easy(), CURLOPT_PASSWORD, connection.Password.c_str());
    }
    return transfer;
}

// The URL path of an FTP folder (relative to the login folder, or absolute) with a file name in it.
std::string FtpUrlPath(const std::string& folder, const std::string& fileName)
{
    std::string path = "/";
    std::string rest = folder;
    if (!rest.empty() && rest[0] == '/') {
        path += "%2F";
        rest.erase(0, 1);
    }
    path += Encode(rest, true);
    if (!rest.empty() && rest.back() != '/')
        path += "/";
    return path + Encode(fileName, false);
}

// Runs a transfer that moves no file (a login, a change of folder) to its end.
BOOL RunCommand(TConnection& connection, const std::string& folder)
{
    std::unique_ptr<TCurlTransfer> transfer = FtpTransfer(connection);
    curl_slist* connectTo = nullptr;
    if (!AimAt(*transfer, connection, "ftp", FtpUrlPath(folder, ""), connectTo))
        return FALSE;
    curl_easy_setopt(transfer->Easy(), CURLOPT_NOBODY, 1L);
    transfer->Start();
    DWORD error = transfer->WaitUntil([] { return false; });
    if (!error)
        error = transfer->Error();
    transfer.reset();
    curl_slist_free_all(connectTo);
    return error ? Fail(error, FALSE) : TRUE;
}

// "a/b" after "x" is "x/a/b", "../c" after "x/a" is "x/c"; an absolute folder replaces the current one.
// Names are resolved as written, so a path the caller keeps climbing in and out of never grows.
std::string JoinFtpFolder(const std::string& current, const std::string& directory)
{
    const bool absolute = !directory.empty() && directory[0] == '/';
    const std::string joined = absolute || current.empty() ? directory : current + "/" + directory;
    std::vector<std::string> names;
    size_t start = joined[0] == '/' ? 1 : 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string name = joined.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == ".." && !names.empty() && names.back() != "..")
            names.pop_back();
        else if (!(name == ".." && joined[0] == '/'))  // nothing lies above the root
            names.push_back(name);
    }
    std::string result = joined[0] == '/' ? "/" : "";
    for (size_t i = 0; i < names.size(); ++i)
        result += (i ? "/" : "") + names[i];
    return result;
}

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Sessions and connections

BOOL InternetGetLastResponseInfoA(DWORD* error, char* buffer, DWORD* bufferLength)
{
    if (!error || !bufferLength)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const std::string& text = responseInfo.Text;
    if (!buffer || *bufferLength < text.size() + 1) {
        *bufferLength = static_cast<DWORD>(text.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *bufferLength = static_cast<DWORD>(text.size());
    *error = responseInfo.Error;
    return TRUE;
}

HINTERNET InternetOpenA(const char* agent, DWORD, const char*, const char*, DWORD)
{
    auto session = std::make_shared<TSession>();
    session->Kind = TKind::Session;
    session->Agent = Text(agent);
    {
        std::lock_guard lock(State().Lock);
        session->Timeouts = State().Defaults;
    }
    inet::InitializeCurl();
    return AddHandle(session);
}

HINTERNET InternetConnectA(HINTERNET sessionHandle, const char* serverName, INTERNET_PORT serverPort,
                           const char* userName, const char* password, DWORD service, DWORD, DWORD_PTR)
{
    const auto session = Lookup<TSession>(sessionHandle, {TKind::Session});
    if (!session)
        return nullptr;
    if (service != INTERNET_SERVICE_FTP && service != INTERNET_SERVICE_HTTP)
        return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME, nullptr);
    auto connection = std::make_shared<TConnection>();
    connection->Kind = TKind::Connection;
    connection->Parent = reinterpret_cast<uintptr_t>(sessionHandle);
    connection->Timeouts = session->Timeouts;
    connection->Service = service;
    connection->Host = Text(serverName);
    connection->Port = serverPort != 0 ? serverPort
                                       : service == INTERNET_SERVICE_FTP ? INTERNET_DEFAULT_FTP_PORT
                                                                         : INTERNET_DEFAULT_HTTP_PORT;
    connection->UserName = Text(userName);
    connection->Password = Text(password);
    connection->Agent = session->Agent;
    // FTP logs in now; HTTP meets the server with the first request.
    if (service == INTERNET_SERVICE_FTP && !RunCommand(*connection, ""))
        return nullptr;
    return AddHandle(connection);
}

BOOL FtpSetCurrentDirectoryA(HINTERNET connectionHandle, const char* directory)
{
    const auto connection = Lookup<TConnection>(connectionHandle, {TKind::Connection});
    if (!connection)
        return FALSE;
    if (connection->Service != INTERNET_SERVICE_FTP)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, FALSE);
    if (connection->FileOpen)
        return Fail(ERROR_FTP_TRANSFER_IN_PROGRESS, FALSE);
    if (!directory || !*directory)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const std::string folder = JoinFtpFolder(connection->Directory, directory);
    if (!RunCommand(*connection, folder))
        return FALSE;
    connection->Directory = folder;
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle)
{
    TInternetState& state = State();
    std::vector<std::shared_ptr<TInternetObject>> closed;
    {
        std::lock_guard lock(state.Lock);
        const auto found = state.Handles.find(reinterpret_cast<uintptr_t>(handle));
        if (found == state.Handles.end())
            return Fail(ERROR_INVALID_HANDLE, FALSE);
        // The handle and everything opened from it, children first.
        std::vector<uintptr_t> order{found->first};
        for (size_t i = 0; i < order.size(); ++i)
            for (const auto& [value, object] : state.Handles)
                if (object->Parent == order[i])
                    order.push_back(value);
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            closed.push_back(state.Handles[*it]);
            state.Handles.erase(*it);
        }
    }
    for (auto& object : closed) {
        if (object->Kind == TKind::FtpFile)
            if (auto parent = ParentOf(*object); parent)
                static_cast<TConnection&>(*parent).FileOpen = false;
        object.reset();
    }
    return TRUE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength)
{
    if (option != INTERNET_OPTION_CONNECT_TIMEOUT && option != INTERNET_OPTION_RECEIVE_TIMEOUT)
        return Fail(ERROR_INTERNET_INVALID_OPTION, FALSE);
    if (!buffer || bufferLength != sizeof(DWORD))
        return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH, FALSE);
    DWORD value;
    std::memcpy(&value, buffer, sizeof value);
    auto apply = [&](TTimeouts& timeouts) {
        (option == INTERNET_OPTION_CONNECT_TIMEOUT ? timeouts.Connect : timeouts.Receive) = value;
    };
    TInternetState& state = State();
    std::lock_guard lock(state.Lock);
    if (!handle) {
        apply(state.Defaults);
        return TRUE;
    }
    const auto found = state.Handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found == state.Handles.end())
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    apply(found->second->Timeouts);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------------
// Files and requests

HINTERNET FtpOpenFileA(HINTERNET connectionHandle, const char* fileName, DWORD access, DWORD flags, DWORD_PTR)
{
    const auto connection = Lookup<TConnection>(connectionHandle, {TKind::Connection});
    if (!connection)
        return nullptr;
    if (connection->Service != INTERNET_SERVICE_FTP)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, nullptr);
    if (access != GENERIC_READ || !fileName || !*fileName)
        return Fail(ERROR_INVALID_PARAMETER, nullptr);
    if (connection->FileOpen)
        return Fail(ERROR_FTP_TRANSFER_IN_PROGRESS, nullptr);
    auto file = std::make_shared<TFile>();
    file->Kind = TKind::FtpFile;
    file->Parent = reinterpret_cast<uintptr_t>(connectionHandle);
    file->Timeouts = connection->Timeouts;
    file->Transfer = FtpTransfer(*connection);
    curl_slist* connectTo = nullptr;
    if (!AimAt(*file->Transfer, *connection, "ftp", FtpUrlPath(connection->Directory, fileName), connectTo))
        return nullptr;
    if ((flags & 3) == FTP_TRANSFER_TYPE_ASCII)
        curl_easy_setopt(file->Transfer->Easy(), CURLOPT_TRANSFERTEXT, 1L);
    file->Transfer->Start();
    DWORD error = file->Transfer->WaitForAnswer();
    curl_slist_free_all(connectTo);
    if (!error && file->Transfer->Finished())
        error = file->Transfer->Error();
    if (error)
        return Fail(error, nullptr);
    connection->FileOpen = true;
    return AddHandle(file);
}

HINTERNET HttpOpenRequestA(HINTERNET connectionHandle, const char* verb, const char* objectName, const char* version,
                           const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR)
{
    const auto connection = Lookup<TConnection>(connectionHandle, {TKind::Connection});
    if (!connection)
        return nullptr;
    if (connection->Service != INTERNET_SERVICE_HTTP)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, nullptr);
    // Only GET requests are made here.
    if (verb && *verb && std::strcmp(verb, "GET") != 0)
        return Fail(ERROR_INVALID_PARAMETER, nullptr);
    auto request = std::make_shared<TRequest>();
    request->Kind = TKind::HttpRequest;
    request->Parent = reinterpret_cast<uintptr_t>(connectionHandle);
    request->Timeouts = connection->Timeouts;
    request->Path = WirePath(Text(objectName));
    request->Http10 = version && std::strcmp(version, "HTTP/1.0") == 0;
    std::string accept;
    for (const char** type = acceptTypes; type && *type; ++type)
        if (**type)
            accept += (accept.empty() ? "" : ", ") + std::string(*type);
    if (!accept.empty())
        request->Headers.push_back("Accept: " + accept);
    if (referrer && *referrer)
        request->Headers.push_back("Referer: " + std::string(referrer));
    if (flags & INTERNET_FLAG_RELOAD)
        request->Headers.push_back("Cache-Control: no-cache");
    return AddHandle(request);
}

BOOL HttpSendRequestA(HINTERNET requestHandle, const char* headers, DWORD headersLength, void* optional,
                      DWORD optionalLength)
{
    const auto request = Lookup<TRequest>(requestHandle, {TKind::HttpRequest});
    if (!request)
        return FALSE;
    if (optional && optionalLength > 0)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const auto connection = std::static_pointer_cast<TConnection>(ParentOf(*request));
    if (!connection)
        return Fail(ERROR_INVALID_HANDLE, FALSE);

    std::vector<std::string> lines = request->Headers;
    if (headers) {
        const std::string extra = headersLength == DWORD(-1) ? std::string(headers) : std::string(headers, headersLength);
        size_t start = 0;
        while (start < extra.size()) {
            size_t end = extra.find_first_of("\r\n", start);
            if (end == std::string::npos)
                end = extra.size();
            if (end > start)
                lines.push_back(extra.substr(start, end - start));
            start = end + 1;
        }
    }
    // The library adds nothing of its own beyond the host and the agent.
    bool hasAccept = false;
    for (const std::string& line : lines)
        hasAccept = hasAccept || rtl::SameText(line.substr(0, 7), "Accept:");
    if (!hasAccept)
        lines.push_back("Accept:");

    request->Transfer.reset();
    request->Transfer =
        std::make_unique<TCurlTransfer>(*connection->Multi, TCurlTransfer::TProtocol::Http, request->Timeouts);
    CURL* easy = request->Transfer->Easy();
    curl_slist* connectTo = nullptr;
    if (!AimAt(*request->Transfer, *connection, "http", request->Path, connectTo))
        return FALSE;
    curl_slist* headerList = nullptr;
    for (const std::string& line : lines)
        headerList = curl_slist_append(headerList, line.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     request->Http10 ? static_cast<long>(CURL_HTTP_VERSION_1_0) : static_cast<long>(CURL_HTTP_VERSION_1_1));
    if (!connection->Agent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, connection->Agent.c_str());
    // Credentials go only where a user name was given: an anonymous request carries none.
    if (!connection->UserName.empty()) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERNAME, connection->UserName.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, connection->Password.c_str());
    }
    SetResponse(0, "");
    request->Transfer->Start();
    DWORD error = request->Transfer->WaitForAnswer();
    curl_slist_free_all(connectTo);
    curl_slist_free_all(headerList);
    if (!request->Transfer->HeaderLines().empty())
        SetResponse(static_cast<int>(request->Transfer->StatusCode()), request->Transfer->HeaderLines().front() + "\r\n");
    if (!error && request->Transfer->Finished())
        error = request->Transfer->Error();
    return error ? Fail(error, FALSE) : TRUE;
}

BOOL HttpQueryInfoA(HINTERNET requestHandle, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index)
{
    const auto request = Lookup<TRequest>(requestHandle, {TKind::HttpRequest});
    if (!request)
        return FALSE;
    if (!bufferLength)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!request->Transfer)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, FALSE);
    std::vector<std::string> values;
    if (infoLevel == HTTP_QUERY_STATUS_CODE) {
        values.push_back(std::to_string(request->Transfer->StatusCode()));
    } else if (infoLevel == HTTP_QUERY_CONTENT_LENGTH) {
        for (const std::string& line : request->Transfer->HeaderLines())
            if (rtl::SameText(line.substr(0, 15), "Content-Length:"))
                values.push_back(rtl::Trim(line.substr(15)));
    } else {
        return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST, FALSE);
    }
    const size_t wanted = index ? *index : 0;
    if (wanted >= values.size())
        return Fail(ERROR_HTTP_HEADER_NOT_FOUND, FALSE);
    const std::string& value = values[wanted];
    if (!buffer || *bufferLength < value.size() + 1) {
        *bufferLength = static_cast<DWORD>(value.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    *bufferLength = static_cast<DWORD>(value.size());
    if (index)
        ++*index;
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------------
// Reading

BOOL InternetQueryDataAvailable(HINTERNET fileHandle, DWORD* bytesAvailable, DWORD, DWORD_PTR)
{
    const auto file = Lookup<TFile>(fileHandle, {TKind::FtpFile, TKind::HttpRequest});
    if (!file)
        return FALSE;
    if (!bytesAvailable)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!file->Transfer)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, FALSE);
    TCurlTransfer& transfer = *file->Transfer;
    const int64_t length = transfer.ContentLength();
    if (length >= 0) {
        const int64_t left = std::max<int64_t>(0, length - transfer.Delivered()) + static_cast<int64_t>(transfer.Buffered());
        *bytesAvailable = static_cast<DWORD>(std::min<int64_t>(left, 0xFFFFFFFF));
        return TRUE;
    }
    if (const DWORD error = transfer.WaitUntil([&] { return transfer.Buffered() > 0; }))
        return Fail(error, FALSE);
    if (transfer.Buffered() == 0 && transfer.Error())
        return Fail(transfer.Error(), FALSE);
    *bytesAvailable = static_cast<DWORD>(std::min<size_t>(transfer.Buffered(), 0xFFFFFFFF));
    return TRUE;
}

BOOL InternetReadFile(HINTERNET fileHandle, void* buffer, DWORD bytesToRead, DWORD* bytesRead)
{
    const auto file = Lookup<TFile>(fileHandle, {TKind::FtpFile, TKind::HttpRequest});
    if (!file)
        return FALSE;
    if (!bytesRead || (!buffer && bytesToRead > 0))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *bytesRead = 0;
    if (!file->Transfer)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, FALSE);
    TCurlTransfer& transfer = *file->Transfer;
    // Bytes that came are handed out after a short gathering at most, so a trickle cannot hold the
    // caller until a whole buffer has come.
    const auto gathered = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    if (const DWORD error = transfer.WaitUntil([&] {
            return transfer.Buffered() >= bytesToRead ||
                   (transfer.Buffered() > 0 && std::chrono::steady_clock::now() >= gathered);
        }))
        return Fail(error, FALSE);
    // What arrived before a failure is handed out first; the failure comes with the next read.
    if (transfer.Buffered() == 0 && transfer.Error())
        return Fail(transfer.Error(), FALSE);
    *bytesRead = static_cast<DWORD>(transfer.Take(buffer, bytesToRead));
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------------
// The module

void RegisterWinInetModule()
{
    RegisterBuiltinModule("wininet.dll", [](const std::string& name) -> FARPROC {
        // Never destroyed: a finaliser may still look functions up here while the program ends.
        static const auto& exports = *new const std::map<std::string, FARPROC>{
            {"InternetGetLastResponseInfoA", reinterpret_cast<FARPROC>(&InternetGetLastResponseInfoA)},
            {"InternetOpenA", reinterpret_cast<FARPROC>(&InternetOpenA)},
            {"InternetConnectA", reinterpret_cast<FARPROC>(&InternetConnectA)},
            {"FtpSetCurrentDirectoryA", reinterpret_cast<FARPROC>(&FtpSetCurrentDirectoryA)},
            {"InternetCloseHandle", reinterpret_cast<FARPROC>(&InternetCloseHandle)},
            {"InternetQueryDataAvailable", reinterpret_cast<FARPROC>(&InternetQueryDataAvailable)},
            {"InternetReadFile", reinterpret_cast<FARPROC>(&InternetReadFile)},
            {"FtpOpenFileA", reinterpret_cast<FARPROC>(&FtpOpenFileA)},
            {"HttpOpenRequestA", reinterpret_cast<FARPROC>(&HttpOpenRequestA)},
            {"HttpSendRequestA", reinterpret_cast<FARPROC>(&HttpSendRequestA)},
            {"HttpQueryInfoA", reinterpret_cast<FARPROC>(&HttpQueryInfoA)},
            {"InternetSetOptionA", reinterpret_cast<FARPROC>(&InternetSetOptionA)},
        };
        const auto found = exports.find(name);
        return found == exports.end() ? nullptr : found->second;
    });
}

}  // namespace win
