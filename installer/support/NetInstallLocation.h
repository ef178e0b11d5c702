#pragma once
// A network install location: the FTP or HTTP server from which the setup fetches its archives, one file
// at a time, through the Internet library "WININET.DLL", which is loaded by name on the first download.
//
//   TNetInstallLocation* location = new TNetInstallLocation(owner);
//   location->LoginInformation()->SetHostname("files.example.com");
//   location->LoginInformation()->SetProtocol(ipFTP);
//   location->LoginInformation()->SetDirectory("pub\\setup");       // "\" as on Windows
//   location->OnDataReceived = [](rtl::TObject*, const rtl::AnsiString& name, int32_t bytes, int32_t total,
//                                 int32_t size, void* buffer) { ... };
//   location->Download("files.1", "C:\\Temp\\files.1");
//
// The session and the server connection are opened on the first download and kept for the next ones.
// Download returns normally when the file is complete or when the download abort flag (SetNetDownloadAbort,
// set by the copy window's Cancel) stopped it after a block or while it waited for the server; the partial
// file then stays and OnAfterDownload gets Aborted true. While it waits the window goes on: Cancel acts
// within a tenth of a second or so. Every failure raises an ENIL whose message names the system's error
// code, the server and the server's last answer. Kept as they are on purpose: an HTTP answer whose first
// 30 bytes hold "404" is taken for a missing file, an empty file counts as missing, a download is never
// resumed. Any other HTTP answer of status 300 or above is not the file either: it fails the same way,
// with the server's status line as its answer.
//
// Beyond that, a failed download removes its local file, a failing close never hides the error that came
// before it, names travel percent-encoded in HTTP requests, and a relative FTP folder is always found from
// the login folder (the server's CWD alone would go on from wherever the last download left it).

#include <cstdint>
#include <functional>
#include <vector>

#include "installer/support/TrwkExceptions.h"
#include "platform/vcl/Classes.h"
#include "platform/win/Modules.h"
#include "platform/wininet/WinInet.h"

VCL_ENUM(TInternetProtocol, ipFTP, ipHTTP)

using TNotifyWithAbortFlag = std::function<void(rtl::TObject* Sender, bool Aborted)>;
using TLoginEvent = std::function<void(rtl::TObject* Sender)>;
using TDataReceivedEvent = std::function<void(rtl::TObject* Sender, const rtl::AnsiString& FileName, int32_t Bytes,
                                              int32_t TotalBytes, int32_t FileSize, void* Buffer)>;

class TCustomNetInstallLocation;

// ---------------------------------------------------------------------------------------------------------
// Errors. ENIL and its family append the system's last error, the current location's server and the
// server's last answer to their text; none of them is translated.

class ENIL : public rtl::Exception {
public:
    explicit ENIL(const rtl::AnsiString& text);
    template <typename... Args>
    ENIL(TExceptionFormat, std::string_view format, const Args&... args) : ENIL(rtl::Format(format, args...))
    {
    }
};

#define SCRIVANE_ENIL_CLASS(Name, Parent) \
    class Name : public Parent {          \
    public:                               \
        using Parent::Parent;             \
    };

SCRIVANE_ENIL_CLASS(ENIL_OpenSession, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_OpenService, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_FailDataQuery, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_ReadFile, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_FileNotFound, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_FTP, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_FTPSetDir, ENIL_FTP)
SCRIVANE_ENIL_CLASS(ENIL_FTPOpenFile, ENIL_FTP)
SCRIVANE_ENIL_CLASS(ENIL_FTPCloseFile, ENIL_FTP)
SCRIVANE_ENIL_CLASS(ENIL_HTTP, ENIL)
SCRIVANE_ENIL_CLASS(ENIL_HTTPOpenFile, ENIL_HTTP)
SCRIVANE_ENIL_CLASS(ENIL_HTTPSendRequest, ENIL_HTTP)
SCRIVANE_ENIL_CLASS(IENetList, ENIL)

#undef SCRIVANE_ENIL_CLASS

// These carry their own text only.
class ENIL_WriteDestFile : public rtl::Exception {
public:
    using Exception::Exception;
};
class ENIL_FailLoadWININET : public rtl::Exception {
public:
    using Exception::Exception;
};
class ENIL_FailLoadDLLProc : public rtl::Exception {
public:
    using Exception::Exception;
};

// "ERROR_INTERNET_TIMEOUT" for 12002 and so on; "Unregistered error code" for codes without a name.
rtl::AnsiString InternetErrorName(win::DWORD code);

// ---------------------------------------------------------------------------------------------------------
// Login information

class TCustomLoginInformation : public vcl::TPersistent {
    VCL_CLASS(TCustomLoginInformation, vcl::TPersistent)
public:
    explicit TCustomLoginInformation(TCustomNetInstallLocation* location = nullptr) : location_(location) {}

    bool Anonymous() const { return anonymous_; }
    void SetAnonymous(bool value) { anonymous_ = value; }
    const rtl::AnsiString& Directory() const { return directory_; }
    void SetDirectory(const rtl::AnsiString& value) { directory_ = value; }
    const rtl::AnsiString& Hostname() const { return hostname_; }
    void SetHostname(const rtl::AnsiString& value) { hostname_ = value; }
    const rtl::AnsiString& Password() const { return password_; }
    void SetPassword(const rtl::AnsiString& value) { password_ = value; }
    TInternetProtocol Protocol() const { return protocol_; }
    void SetProtocol(TInternetProtocol value) { protocol_ = value; }
    const rtl::AnsiString& Username() const { return username_; }
    void SetUsername(const rtl::AnsiString& value) { username_ = value; }

    TCustomNetInstallLocation* Location() const { return location_; }

    // From another login information: all six values; anything else as the framework has it.
    void Assign(const vcl::TPersistent* source) override;

protected:
    vcl::TPersistent* GetOwner() const override;

private:
    TCustomNetInstallLocation* location_;
    bool anonymous_ = true;
    rtl::AnsiString directory_;
    rtl::AnsiString hostname_;
    rtl::AnsiString password_;
    TInternetProtocol protocol_ = ipHTTP;
    rtl::AnsiString username_;
};

class TLoginInformation : public TCustomLoginInformation {
    VCL_CLASS(TLoginInformation, TCustomLoginInformation)
public:
    using TCustomLoginInformation::TCustomLoginInformation;
};

// Whether the information names a server: an anonymous login needs a host name, any other login a host
// name, a user name or a password (each trimmed).
bool LoginInformationSet(const TCustomLoginInformation* information);

// A folder as the server writes it: trimmed, "\" turned into "/", empty as "/".
rtl::AnsiString ServerFolder(const rtl::AnsiString& folder);

// ---------------------------------------------------------------------------------------------------------
// The location

class TCustomNetInstallLocation : public vcl::TComponent {
    VCL_CLASS(TCustomNetInstallLocation, vcl::TComponent)
public:
    // Blocks are read in this size.
    static constexpr win::DWORD BlockSize = 8192;

    explicit TCustomNetInstallLocation(vcl::TComponent* owner);
    ~TCustomNetInstallLocation() override;

    TLoginInformation* LoginInformation() const { return loginInformation_.get(); }
    // Copies `value`; the connection already made keeps the old values.
    virtual void SetLoginInformation(TLoginInformation* value);

    TNotifyWithAbortFlag OnAfterDownload;
    TLoginEvent OnAfterLogin;
    rtl::TNotifyEvent OnBeforeDownload;
    TLoginEvent OnBeforeLogin;
    TDataReceivedEvent OnDataReceived;
    // The progress callback of the install file that is downloading, set for the time of its download.
    TDataReceivedEvent OnFileDataReceived;

    // Loads the library and its eleven functions; ENIL_FailLoadWININET, ENIL_FailLoadDLLProc.
    virtual void LoadWinInet();
    // Loads the library, opens the session and connects as needed; for FTP sets the server's folder.
    virtual void OpenSession();
    // Fetches `remoteName` from the server into the local file `localName`.
    virtual void Download(const rtl::AnsiString& remoteName, const rtl::AnsiString& localName);

    bool LibraryLoaded() const { return libraryLoaded_; }
    const rtl::AnsiString& RemoteFileName() const { return remoteFileName_; }
    const rtl::AnsiString& LocalFileName() const { return localFileName_; }

private:
    void SetFtpDirectory();
    void OpenRemoteFile();
    rtl::AnsiString HttpObjectPath() const;
    int32_t RemoteFileSize();
    void ReadRemoteFile();
    // The HTTP answer's status, 0 when it cannot be had.
    long StatusCode();
    void ReadBlock(char* into, win::DWORD size, win::DWORD& count);
    void CloseRemoteFile();

    std::unique_ptr<TLoginInformation> loginInformation_;
    bool libraryLoaded_ = false;
    win::HMODULE library_ = nullptr;
    win::HINTERNET session_ = nullptr;
    win::HINTERNET connection_ = nullptr;
    win::HINTERNET file_ = nullptr;
    rtl::AnsiString localFileName_;
    rtl::AnsiString remoteFileName_;
    // The relative FTP folder this connection was last moved to (empty: the login folder or an absolute one).
    rtl::AnsiString ftpRelativeFolder_;

    win::TInternetGetLastResponseInfoA InternetGetLastResponseInfo_ = nullptr;
    win::TInternetOpenA InternetOpen_ = nullptr;
    win::TInternetConnectA InternetConnect_ = nullptr;
    win::TFtpSetCurrentDirectoryA FtpSetCurrentDirectory_ = nullptr;
    win::TInternetCloseHandle InternetCloseHandle_ = nullptr;
    win::TInternetQueryDataAvailable InternetQueryDataAvailable_ = nullptr;
    win::TInternetReadFile InternetReadFile_ = nullptr;
    win::TFtpOpenFileA FtpOpenFile_ = nullptr;
    win::THttpOpenRequestA HttpOpenRequest_ = nullptr;
    win::THttpSendRequestA HttpSendRequest_ = nullptr;
    win::THttpQueryInfoA HttpQueryInfo_ = nullptr;
};

class TNetInstallLocation : public TCustomNetInstallLocation {
    VCL_CLASS(TNetInstallLocation, TCustomNetInstallLocation)
public:
    using TCustomNetInstallLocation::TCustomNetInstallLocation;
};

// ---------------------------------------------------------------------------------------------------------
// The process-wide state of the locations

// Every location, in the order made; each joins when made and leaves when destroyed.
class TCustomNetInstallLocationList {
public:
    // IENetList for a null location.
    void Add(TCustomNetInstallLocation* location);
    void Remove(TCustomNetInstallLocation* location);
    int Count() const { return static_cast<int>(items_.size()); }
    TCustomNetInstallLocation* Items(int index) const { return items_.at(static_cast<size_t>(index)); }

private:
    std::vector<TCustomNetInstallLocation*> items_;
};

TCustomNetInstallLocationList& NetInstallLocationList();

// The location that opened its session last; it names the server in error messages.
TCustomNetInstallLocation* CurrentNetInstallLocation();
// The location of components that have none of their own (the installation's).
TCustomNetInstallLocation* DefaultNetInstallLocation();
void SetDefaultNetInstallLocation(TCustomNetInstallLocation* location);

// Stops the running download after its current block; false at start.
bool NetDownloadAbort();
void SetNetDownloadAbort(bool value);

void RegisterNetInstallLocationClasses();
