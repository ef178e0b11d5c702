#include "installer/support/NetInstallLocation.h"

#include <array>
#include <cstring>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Platform.h"

using rtl::AnsiString;

namespace {

// The library's answer text is needed by every error message, whichever location raised it.
win::TInternetGetLastResponseInfoA sharedLastResponseInfo = nullptr;

TCustomNetInstallLocation* currentLocation = nullptr;
TCustomNetInstallLocation* defaultLocation = nullptr;
bool downloadAbort = false;

constexpr std::array<const char*, 31> InternetErrorNames = {
    "ERROR_INTERNET_OUT_OF_HANDLES", "ERROR_INTERNET_TIMEOUT", "ERROR_INTERNET_EXTENDED_ERROR",
    "ERROR_INTERNET_INTERNAL_ERROR", "ERROR_INTERNET_INVALID_URL", "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
    "ERROR_INTERNET_NAME_NOT_RESOLVED", "ERROR_INTERNET_PROTOCOL_NOT_FOUND", "ERROR_INTERNET_INVALID_OPTION",
    "ERROR_INTERNET_BAD_OPTION_LENGTH", "ERROR_INTERNET_OPTION_NOT_SETTABLE", "ERROR_INTERNET_SHUTDOWN",
    "ERROR_INTERNET_INCORRECT_USER_NAME", "ERROR_INTERNET_INCORRECT_PASSWORD", "ERROR_INTERNET_LOGIN_FAILURE",
    "ERROR_INTERNET_INVALID_OPERATION", "ERROR_INTERNET_OPERATION_CANCELLED", "ERROR_INTERNET_INCORRECT_HANDLE_TYPE",
    "ERROR_INTERNET_INCORRECT_HANDLE_STATE", "ERROR_INTERNET_NOT_PROXY_REQUEST",
    "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND", "ERROR_INTERNET_BAD_REGISTRY_PARAMETER",
    "ERROR_INTERNET_NO_DIRECT_ACCESS", "ERROR_INTERNET_NO_CONTEXT", "ERROR_INTERNET_NO_CALLBACK",
    "ERROR_INTERNET_REQUEST_PENDING", "ERROR_INTERNET_INCORRECT_FORMAT", "ERROR_INTERNET_ITEM_NOT_FOUND",
    "ERROR_INTERNET_CANNOT_CONNECT", "ERROR_INTERNET_CONNECTION_ABORTED", "ERROR_INTERNET_CONNECTION_RESET"};

constexpr std::array<const char*, 9> GopherErrorNames = {
    "ERROR_GOPHER_PROTOCOL_ERROR", "ERROR_GOPHER_NOT_FILE", "ERROR_GOPHER_DATA_ERROR", "ERROR_GOPHER_END_OF_DATA",
    "ERROR_GOPHER_INVALID_LOCATOR", "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE", "ERROR_GOPHER_NOT_GOPHER_PLUS",
    "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND", "ERROR_GOPHER_UNKNOWN_LOCATOR"};

constexpr std::array<const char*, 6> HttpErrorNames = {
    "ERROR_HTTP_HEADER_NOT_FOUND", "ERROR_HTTP_DOWNLEVEL_SERVER", "ERROR_HTTP_INVALID_SERVER_RESPONSE",
    "ERROR_HTTP_INVALID_HEADER", "ERROR_HTTP_INVALID_QUERY_REQUEST", "ERROR_HTTP_HEADER_ALREADY_EXISTS"};

AnsiString ComposeMessage(const AnsiString& text)
{
    // Read first: everything after may change it.
    const win::DWORD code = win::GetLastError();
    const AnsiString server = currentLocation ? currentLocation->LoginInformation()->Hostname() : AnsiString();
    AnsiString response = "No server response";
    if (sharedLastResponseInfo) {
        std::array<char, 3000> buffer{};
        win::DWORD error = 0;
        win::DWORD length = static_cast<win::DWORD>(buffer.size());
        if (sharedLastResponseInfo(&error, buffer.data(), &length))
            response = AnsiString(buffer.data(), strnlen(buffer.data(), buffer.size()));
    }
    return rtl::Format("%s. Error message %s. Server %s. Response from server %s", text, InternetErrorName(code),
                       server, response);
}

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// A path of names as a URL path: "/" stays, every other byte that is not plain goes as %XX, so a "#",
// "%", "?" or blank in a file name reaches the server as part of the name.
AnsiString PercentEncodePath(const AnsiString& path)
{
    static const char digits[] = "0123456789ABCDEF";
    AnsiString result;
    for (unsigned char c : path) {
        if (IsUnreserved(c) || c == '/') {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += digits[c >> 4];
            result += digits[c & 15];
        }
    }
    return result;
}

// How many folders below its start "a/./b//c" (3) or "pub/../b" (1) ends, or -1 when it climbs above its
// start: a folder above the start cannot be climbed back into by "..".
int FolderDepth(const AnsiString& folder)
{
    int depth = 0;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find('/', start);
        if (end == AnsiString::npos)
            end = folder.size();
        const AnsiString name = folder.substr(start, end - start);
        if (name == "..") {
            if (depth == 0)
                return -1;
            --depth;
        } else if (!name.empty() && name != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return depth;
}

bool IsRelativeFolder(const AnsiString& folder) { return !folder.empty() && folder[0] != '/'; }

}  // namespace

namespace {

// A wait for the server ended by the abort flag: the download stops as it does between blocks.
struct TDownloadCancelled {};

bool WaitCancelled()
{
    return downloadAbort && win::GetLastError() == win::ERROR_INTERNET_OPERATION_CANCELLED;
}

// While the download waits for its server the window goes on and Cancel is heard.
class TWaitCheck {
public:
    TWaitCheck()
    {
        win::SetInternetWaitCheck([] {
            vcl::Application->ProcessMessages();
            return downloadAbort;
        });
    }
    ~TWaitCheck() { win::SetInternetWaitCheck(nullptr); }
    TWaitCheck(const TWaitCheck&) = delete;
    TWaitCheck& operator=(const TWaitCheck&) = delete;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Errors

ENIL::ENIL(const AnsiString& text) : rtl::Exception(ComposeMessage(text)) {}

AnsiString InternetErrorName(win::DWORD code)
{
    if (code == 6)
        return "ERROR_INVALID_HANDLE";
    if (code >= 12001 && code <= 12031)
        return InternetErrorNames[code - 12001];
    if (code == 12032)
        return "ERROR_INTERNET_FORCE_RETRY";
    if (code == 12036)
        return "ERROR_INTERNET_HANDLE_EXISTS";
    if (code == 12041)
        return "ERROR_INTERNET_MIXED_SECURITY";
    if (code == 12110)
        return "ERROR_FTP_TRANSFER_IN_PROGRESS";
    if (code == 12111)
        return "ERROR_FTP_DROPPED";
    if (code >= 12130 && code <= 12138)
        return GopherErrorNames[code - 12130];
    if (code >= 12150 && code <= 12155)
        return HttpErrorNames[code - 12150];
    return "Unregistered error code";
}

// ---------------------------------------------------------------------------------------------------------
// Login information

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomLoginInformation)

void TCustomLoginInformation::Assign(const vcl::TPersistent* source)
{
    const auto* other = dynamic_cast<const TCustomLoginInformation*>(source);
    if (!other) {
        inherited::Assign(source);
        return;
    }
    anonymous_ = other->anonymous_;
    directory_ = other->directory_;
    hostname_ = other->hostname_;
    password_ = other->password_;
    protocol_ = other->protocol_;
    username_ = other->username_;
}

vcl::TPersistent* TCustomLoginInformation::GetOwner() const { return location_; }

VCL_IMPLEMENT_CLASS(TLoginInformation)

void TLoginInformation::RegisterProperties(vcl::TClassDef<TLoginInformation>& def)
{
    using T = TLoginInformation;
    def.Property("Anonymous", &T::Anonymous, &T::SetAnonymous, true);
    def.Property("Directory", &T::Directory, &T::SetDirectory, AnsiString());
    def.Property("Hostname", &T::Hostname, &T::SetHostname, AnsiString());
    def.Property("Password", &T::Password, &T::SetPassword, AnsiString());
    def.Property("Protocol", &T::Protocol, &T::SetProtocol, ipHTTP);
    def.Property("Username", &T::Username, &T::SetUsername, AnsiString());
}

bool LoginInformationSet(const TCustomLoginInformation* information)
{
    if (!information)
        return false;
    if (information->Anonymous())
        return !rtl::Trim(information->Hostname()).empty();
    return !rtl::Trim(information->Hostname()).empty() || !rtl::Trim(information->Password()).empty() ||
           !rtl::Trim(information->Username()).empty();
}

AnsiString ServerFolder(const AnsiString& folder)
{
    if (rtl::Trim(folder).empty())
        return "/";
    AnsiString result = folder;
    for (char& c : result)
        if (c == '\\')
            c = '/';
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// The list and the globals

void TCustomNetInstallLocationList::Add(TCustomNetInstallLocation* location)
{
    if (!location)
        throw IENetList("Cannot add a blank location to the global net location list");
    items_.push_back(location);
}

void TCustomNetInstallLocationList::Remove(TCustomNetInstallLocation* location)
{
    std::erase(items_, location);
}

TCustomNetInstallLocationList& NetInstallLocationList()
{
    static TCustomNetInstallLocationList list;
    return list;
}

TCustomNetInstallLocation* CurrentNetInstallLocation() { return currentLocation; }
TCustomNetInstallLocation* DefaultNetInstallLocation() { return defaultLocation; }
void SetDefaultNetInstallLocation(TCustomNetInstallLocation* location) { defaultLocation = location; }
bool NetDownloadAbort() { return downloadAbort; }
void SetNetDownloadAbort(bool value) { downloadAbort = value; }

// ---------------------------------------------------------------------------------------------------------
// The location

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomNetInstallLocation)

TCustomNetInstallLocation::TCustomNetInstallLocation(vcl::TComponent* owner)
    : TComponent(owner), loginInformation_(std::make_unique<TLoginInformation>(this))
{
    NetInstallLocationList().Add(this);
}

TCustomNetInstallLocation::~TCustomNetInstallLocation()
{
    // A handle is forgotten only when it closed.
    if (file_ && InternetCloseHandle_(file_))
        file_ = nullptr;
    if (connection_ && InternetCloseHandle_(connection_))
        connection_ = nullptr;
    if (session_ && InternetCloseHandle_(session_))
        session_ = nullptr;
    if (libraryLoaded_ && library_)
        win::FreeLibrary(library_);
    if (currentLocation == this)
        currentLocation = nullptr;
    if (defaultLocation == this)
        defaultLocation = nullptr;
    NetInstallLocationList().Remove(this);
}

void TCustomNetInstallLocation::SetLoginInformation(TLoginInformation* value)
{
    loginInformation_->Assign(value);
}

void TCustomNetInstallLocation::LoadWinInet()
{
    library_ = win::LoadLibrary("WININET.DLL");
    if (!library_)
        throw ENIL_FailLoadWININET(
            "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
            "WININET.DLL file in the PresetupFiles property of the TInstall component");
    auto entry = [this](auto& pointer, const char* exported, const char* shown) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(win::GetProcAddress(library_, exported));
        if (!pointer)
            throw ENIL_FailLoadDLLProc(rtl::Format("Failed to load the procedure %s from WININET.DLL", shown));
    };
    entry(InternetGetLastResponseInfo_, "InternetGetLastResponseInfoA", "InternetGetLastResponseInfo");
    sharedLastResponseInfo = InternetGetLastResponseInfo_;
    entry(InternetOpen_, "InternetOpenA", "InternetOpen");
    entry(InternetConnect_, "InternetConnectA", "InternetConnect");
    entry(FtpSetCurrentDirectory_, "FtpSetCurrentDirectoryA", "FtpSetCurrentDirectory");
    entry(InternetCloseHandle_, "InternetCloseHandle", "InternetCloseHandle");
    entry(InternetQueryDataAvailable_, "InternetQueryDataAvailable", "InternetQueryDataAvailable");
    entry(InternetReadFile_, "InternetReadFile", "InternetReadFile");
    entry(FtpOpenFile_, "FtpOpenFileA", "FtpOpenFile");
    entry(HttpOpenRequest_, "HttpOpenRequestA", "HttpOpenRequest");
    entry(HttpSendRequest_, "HttpSendRequestA", "HttpSendRequest");
    entry(HttpQueryInfo_, "HttpQueryInfoA", "HttpQueryInfo");
    libraryLoaded_ = true;
}

void TCustomNetInstallLocation::OpenSession()
{
    currentLocation = this;
    if (!libraryLoaded_)
        LoadWinInet();
    if (!session_) {
        session_ = InternetOpen_(vcl::Application->Name().c_str(), win::INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!session_)
            throw ENIL_OpenSession("Cannot open internet connection");
    }
    const TLoginInformation& login = *loginInformation_;
    if (!connection_) {
        if (OnBeforeLogin)
            OnBeforeLogin(this);
        const bool ftp = login.Protocol() == ipFTP;
        const char* user = login.Username().c_str();
        const char* password = login.Password().c_str();
        if (login.Anonymous()) {
            // FTP logs in as the anonymous user; HTTP gets empty texts.
            user = ftp ? nullptr : "";
            password = ftp ? nullptr : "";
        }
        connection_ = InternetConnect_(session_, login.Hostname().c_str(), 0, user, password,
                                       ftp ? win::INTERNET_SERVICE_FTP : win::INTERNET_SERVICE_HTTP, 0, 0);
        if (!connection_)
            throw ENIL_OpenService(Fmt, "Cannot connect to host %s", login.Hostname());
        ftpRelativeFolder_.clear();
        if (OnAfterLogin)
            OnAfterLogin(this);
    }
    if (login.Protocol() == ipFTP)
        SetFtpDirectory();
}

void TCustomNetInstallLocation::SetFtpDirectory()
{
    const AnsiString folder = ServerFolder(loginInformation_->Directory());
    // The server takes a relative folder from where it is; climb back to the login folder first.
    AnsiString command = folder;
    const int depth = FolderDepth(ftpRelativeFolder_);
    if (IsRelativeFolder(folder) && depth > 0) {
        AnsiString climb;
        for (int i = 0; i < depth; ++i)
            climb += "../";
        command = climb + folder;
    }
    if (!FtpSetCurrentDirectory_(connection_, command.c_str()))
        throw ENIL_FTPSetDir(Fmt, "Cannot set directory on server to %s", folder);
    // Where the server now is, when that can be retraced: the folder as entered, whose depth is what the
    // next change climbs, and only when this change started from a known place.
    ftpRelativeFolder_ = IsRelativeFolder(folder) && depth >= 0 && FolderDepth(folder) >= 0 ? folder : AnsiString();
}

AnsiString TCustomNetInstallLocation::HttpObjectPath() const
{
    AnsiString folder = loginInformation_->Directory();
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return PercentEncodePath(ServerFolder(folder) + remoteFileName_);
}

void TCustomNetInstallLocation::OpenRemoteFile()
{
    if (loginInformation_->Protocol() == ipFTP) {
        file_ = FtpOpenFile_(connection_, remoteFileName_.c_str(), win::GENERIC_READ, win::FTP_TRANSFER_TYPE_BINARY, 0);
        if (!file_ && WaitCancelled())
            throw TDownloadCancelled();
        if (!file_)
            throw ENIL_FTPOpenFile(Fmt, "Cannot open file %s on server", remoteFileName_);
        return;
    }
    const AnsiString path = HttpObjectPath();
    const char* acceptTypes[] = {"", nullptr};
    file_ = HttpOpenRequest_(connection_, "GET", path.c_str(), nullptr, nullptr, acceptTypes,
                             win::INTERNET_FLAG_RELOAD | win::INTERNET_FLAG_EXISTING_CONNECT |
                                 win::INTERNET_FLAG_NO_CACHE_WRITE,
                             0);
    if (!file_)
        throw ENIL_HTTPOpenFile(Fmt, "Cannot open file %s on server", remoteFileName_);
    static const char headers[] = "Accept: */*\r\n\r\n";
    if (!HttpSendRequest_(file_, headers, static_cast<win::DWORD>(std::strlen(headers)), nullptr, 0)) {
        if (WaitCancelled())
            throw TDownloadCancelled();
        // The request went out and an answer came, one that cannot be read: say so, not that nothing was sent.
        if (win::GetLastError() == win::ERROR_HTTP_INVALID_SERVER_RESPONSE)
            throw ENIL_HTTPSendRequest(Fmt, "The server's answer to the request for file %s could not be read",
                                       remoteFileName_);
        throw ENIL_HTTPSendRequest(Fmt, "Cannot send request for file %s to the server", remoteFileName_);
    }
}


void TCustomNetInstallLocation::Download(const AnsiString& remoteName, const AnsiString& localName)
{
    TWaitCheck waitCheck;
    try {
        OpenSession();
    } catch (const ENIL&) {
        if (!WaitCancelled())
            throw;
        if (OnAfterDownload)
            OnAfterDownload(this, downloadAbort);
        return;
    }
    remoteFileName_ = remoteName;
    localFileName_ = localName;
    if (OnBeforeDownload)
        OnBeforeDownload(this);
    try {
        OpenRemoteFile();
        ReadRemoteFile();
    } catch (const TDownloadCancelled&) {
        // The request ended before the file could be read; nothing was written.
    } catch (...) {
        // The error that stopped the download is the one to report; a close failing after it is not.
        if (file_) {
            InternetCloseHandle_(file_);
            file_ = nullptr;
        }
        throw;
    }
    if (file_)
        CloseRemoteFile();
    if (OnAfterDownload)
        OnAfterDownload(this, downloadAbort);
}

void TCustomNetInstallLocation::CloseRemoteFile()
{
    win::HINTERNET file = file_;
    file_ = nullptr;
    if (!InternetCloseHandle_(file))
        throw ENIL_FTPCloseFile(Fmt, "Cannot close the file %s on the server", remoteFileName_);
}

int32_t TCustomNetInstallLocation::RemoteFileSize()
{
    if (loginInformation_->Protocol() == ipFTP) {
        win::DWORD available = 0;
        if (!InternetQueryDataAvailable_(file_, &available, 0, 0)) {
            if (WaitCancelled())
                throw TDownloadCancelled();
            throw ENIL_FailDataQuery(Fmt, "Could not query file %s on server", remoteFileName_);
        }
        return static_cast<int32_t>(available);
    }
    char text[33] = {};
    win::DWORD length = sizeof text;
    win::DWORD index = 0;
    if (!HttpQueryInfo_(file_, win::HTTP_QUERY_CONTENT_LENGTH, text, &length, &index)) {
        if (win::GetLastError() != win::ERROR_HTTP_HEADER_NOT_FOUND)
            throw ENIL_FailDataQuery(Fmt, "Could not query file %s on server", remoteFileName_);
        return 0;
    }
    return rtl::StrToIntDef(AnsiString(text, strnlen(text, sizeof text)), 0);
}

long TCustomNetInstallLocation::StatusCode()
{
    char text[33] = {};
    win::DWORD length = sizeof text;
    if (!HttpQueryInfo_(file_, win::HTTP_QUERY_STATUS_CODE, text, &length, nullptr))
        return 0;
    return rtl::StrToIntDef(AnsiString(text, strnlen(text, sizeof text)), 0);
}

void TCustomNetInstallLocation::ReadBlock(char* into, win::DWORD size, win::DWORD& count)
{
    count = 0;
    if (!InternetReadFile_(file_, into, size, &count)) {
        if (WaitCancelled())
            throw TDownloadCancelled();
        throw ENIL_ReadFile(Fmt, "Could not read from file %s on the server", remoteFileName_);
    }
}

namespace {

// A server's page for a missing file: "404" within the first 30 bytes of the answer, up to a zero byte.
bool LooksLikeNotFoundPage(const std::vector<char>& block, win::DWORD count)
{
    AnsiString head;
    for (win::DWORD i = 0; i < count && i < 30 && block[i] != '\0'; ++i)
        head += block[i];
    return rtl::UpperCase(head).find("404") != AnsiString::npos;
}

}  // namespace

void TCustomNetInstallLocation::ReadRemoteFile()
{
    const int32_t fileSize = RemoteFileSize();
    auto local = std::make_unique<rtl::TFileStream>(localFileName_, rtl::fmCreate);
    try {
        std::vector<char> block(BlockSize);
        win::DWORD count = 0;
        ReadBlock(block.data(), BlockSize, count);
        if (loginInformation_->Protocol() == ipHTTP) {
            // A read gives what has come; the page's head may come in more than one piece.
            for (win::DWORD more = 1; count > 0 && count < 30 && more > 0; count += more)
                ReadBlock(block.data() + count, BlockSize - count, more);
            if (LooksLikeNotFoundPage(block, count))
                throw ENIL_FileNotFound(Fmt, "Could not find the file %s on the server", remoteFileName_);
            // Any other refusal or redirection is a page about the file, not the file; the server's status
            // line goes into the message.
            if (StatusCode() >= 300) {
                win::SetLastError(win::ERROR_INTERNET_EXTENDED_ERROR);
                throw ENIL_FileNotFound(Fmt, "Could not find the file %s on the server", remoteFileName_);
            }
        }
        // The total wraps past 2 GB as the 32-bit count of the notifications does.
        uint32_t total = 0;
        while (count > 0) {
            total += count;
            const auto totalBytes = static_cast<int32_t>(total);
            const auto bytes = static_cast<int32_t>(count);
            if (OnDataReceived)
                OnDataReceived(this, remoteFileName_, bytes, totalBytes, fileSize, block.data());
            if (OnFileDataReceived)
                OnFileDataReceived(this, remoteFileName_, bytes, totalBytes, fileSize, block.data());
            vcl::Application->ProcessMessages();
            // What was written stays; the caller decides about it.
            if (downloadAbort)
                return;
            if (local->Write(block.data(), count) != static_cast<int64_t>(count))
                throw ENIL_WriteDestFile(
                    rtl::Format("%s could not write to the local dest file %s", Name(), localFileName_));
            ReadBlock(block.data(), BlockSize, count);
        }
        if (total == 0)
            throw ENIL_FileNotFound(Fmt, "Could not find the file %s on the server", remoteFileName_);
    } catch (const TDownloadCancelled&) {
        // Stopped by the abort flag while waiting: what was written stays, as between blocks.
        return;
    } catch (...) {
        // A failed download leaves no half file behind to be taken for the real one.
        local.reset();
        rtl::DeleteFile(localFileName_);
        throw;
    }
}

VCL_IMPLEMENT_CLASS(TNetInstallLocation)

void TNetInstallLocation::RegisterProperties(vcl::TClassDef<TNetInstallLocation>& def)
{
    using T = TNetInstallLocation;
    def.Property("LoginInformation", &T::LoginInformation, nullptr);
    def.Event("OnAfterDownload", &T::OnAfterDownload);
    def.Event("OnAfterLogin", &T::OnAfterLogin);
    def.Event("OnBeforeDownload", &T::OnBeforeDownload);
    def.Event("OnBeforeLogin", &T::OnBeforeLogin);
    def.Event("OnDataReceived", &T::OnDataReceived);
}

void RegisterNetInstallLocationClasses()
{
    vcl::RegisterClasses({&TNetInstallLocation::StaticClass()});
}
