// Downloads against servers the tests start on 127.0.0.1: a real FTP server and a scripted HTTP server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>

#include "installer/support/NetInstallLocation.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Messages.h"
#include "platform/win/Modules.h"
#include "platform/win/NetAddress.h"
#include "platform/wininet/WinInet.h"
#include "tests/installer/support/LoopbackServers.h"
#include "tests/platform/win/WinTestFixture.h"

namespace fs = std::filesystem;
using rtl::AnsiString;

namespace {

// Bytes whose cut shows: no short run of them repeats.
std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return bytes;
}

void WriteFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// The user's Cancel in the copy window after `milliseconds`, heard only while the window runs.
std::unique_ptr<vcl::TTimer> CancelAfter(unsigned milliseconds)
{
    auto timer = std::make_unique<vcl::TTimer>(nullptr);
    vcl::TTimer* self = timer.get();
    timer->SetInterval(milliseconds);
    timer->OnTimer = [self](rtl::TObject*) {
        self->SetEnabled(false);
        SetNetDownloadAbort(true);
    };
    return timer;
}

// A server that trickles: the headers, then one byte every 20 ms, for ten seconds at most.
std::string TrickledBody() { return Pattern(500); }

template <class E, class F>
std::string MessageOf(F&& action)
{
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    } catch (const rtl::Exception& e) {
        return "<other exception: " + e.Message() + ">";
    }
    return "<nothing raised>";
}

class NetDownloadTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        win::RegisterWinInetModule();
        SetNetDownloadAbort(false);
        SetTimeouts(3000, 3000);
        fs::create_directories(DriveC("dl"));
        location_ = std::make_unique<TNetInstallLocation>(nullptr);
        location_->SetName("NetLocation");
        location_->OnBeforeLogin = [this](rtl::TObject*) { log_.push_back("BeforeLogin"); };
        location_->OnAfterLogin = [this](rtl::TObject*) { log_.push_back("AfterLogin"); };
        location_->OnBeforeDownload = [this](rtl::TObject*) { log_.push_back("BeforeDownload " + location_->RemoteFileName()); };
        location_->OnAfterDownload = [this](rtl::TObject*, bool aborted) {
            log_.push_back(std::string("AfterDownload ") + (aborted ? "aborted" : "complete"));
        };
        location_->OnDataReceived = [this](rtl::TObject* sender, const AnsiString& name, int32_t bytes, int32_t total,
                                           int32_t size, void* buffer) {
            EXPECT_EQ(sender, location_.get());
            EXPECT_NE(buffer, nullptr);
            log_.push_back("Data " + name + " " + std::to_string(bytes) + " " + std::to_string(total) + " " +
                           std::to_string(size));
        };
    }

    void TearDown() override
    {
        location_.reset();
        unsetenv("SCRIVANE_PORT_MAP");
        SetNetDownloadAbort(false);
        WinPrefixTest::TearDown();
    }

    static void SetTimeouts(win::DWORD connect, win::DWORD receive)
    {
        ASSERT_TRUE(win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect));
        ASSERT_TRUE(win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive));
    }

    // Sends the protocol's usual port to the test server.
    static void MapPort(int from, uint16_t to)
    {
        setenv("SCRIVANE_PORT_MAP", (std::to_string(from) + "=" + std::to_string(to)).c_str(), 1);
    }

    void UseHttp(uint16_t port, const std::string& directory = "")
    {
        MapPort(80, port);
        TLoginInformation* login = location_->LoginInformation();
        login->SetHostname("127.0.0.1");
        login->SetProtocol(ipHTTP);
        login->SetDirectory(directory);
    }

    std::string LocalFile(const std::string& name) const { return "C:\\dl\\" + name; }
    std::string LocalHost(const std::string& name) const { return DriveC("dl/" + name); }

    std::unique_ptr<TNetInstallLocation> location_;
    std::vector<std::string> log_;
};

// ---------------------------------------------------------------------------------------------------------
// The component without a server

TEST_F(NetDownloadTest, LoginInformationDefaultsCopiesAndTheFilledTest)
{
    TLoginInformation& login = *location_->LoginInformation();
    EXPECT_TRUE(login.Anonymous());
    EXPECT_EQ(login.Protocol(), ipHTTP);
    EXPECT_FALSE(LoginInformationSet(&login));
    login.SetHostname("  ");
    EXPECT_FALSE(LoginInformationSet(&login));  // blanks do not name a server
    login.SetAnonymous(false);
    EXPECT_FALSE(LoginInformationSet(&login));
    login.SetPassword(" pw ");
    EXPECT_TRUE(LoginInformationSet(&login));  // a named login needs any one of the three

    TLoginInformation other;
    other.SetAnonymous(false);
    other.SetDirectory("a\\b");
    other.SetHostname("host");
    other.SetPassword("p");
    other.SetProtocol(ipFTP);
    other.SetUsername("u");
    location_->SetLoginInformation(&other);
    EXPECT_NE(location_->LoginInformation(), &other);
    EXPECT_EQ(login.Directory(), "a\\b");
    EXPECT_EQ(login.Hostname(), "host");
    EXPECT_EQ(login.Password(), "p");
    EXPECT_EQ(login.Protocol(), ipFTP);
    EXPECT_EQ(login.Username(), "u");
    EXPECT_FALSE(login.Anonymous());
    EXPECT_EQ(login.Location(), location_.get());

    EXPECT_EQ(ServerFolder(" "), "/");
    EXPECT_EQ(ServerFolder("pub\\setup"), "pub/setup");
    EXPECT_EQ(ServerFolder(" pub\\ "), " pub/ ");  // trimmed only to test for empty
}

TEST_F(NetDownloadTest, SetupFormsDescribeTheLocation)
{
    RegisterNetInstallLocationClasses();
    vcl::TComponent root(nullptr);
    vcl::ReadRootComponent(&root,
                           "object Form1: TComponent\n"
                           "  object NetLocation: TNetInstallLocation\n"
                           "    LoginInformation.Hostname = 'files.example'\n"
                           "    LoginInformation.Protocol = ipFTP\n"
                           "    LoginInformation.Directory = 'pub\\setup'\n"
                           "  end\n"
                           "end\n",
                           "SetupMain.frm");
    auto* location = dynamic_cast<TNetInstallLocation*>(root.FindComponent("NetLocation"));
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(location->LoginInformation()->Hostname(), "files.example");
    EXPECT_EQ(location->LoginInformation()->Protocol(), ipFTP);
    EXPECT_EQ(location->LoginInformation()->Directory(), "pub\\setup");
    EXPECT_TRUE(location->LoginInformation()->Anonymous());
}

TEST_F(NetDownloadTest, GlobalListCurrentAndDefaultLocations)
{
    const int before = NetInstallLocationList().Count();
    auto second = std::make_unique<TNetInstallLocation>(nullptr);
    EXPECT_EQ(NetInstallLocationList().Count(), before + 1);
    EXPECT_EQ(NetInstallLocationList().Items(before), second.get());
    EXPECT_THROW(NetInstallLocationList().Add(nullptr), IENetList);
    EXPECT_NE(MessageOf<IENetList>([] { NetInstallLocationList().Add(nullptr); })
                  .find("Cannot add a blank location to the global net location list. Error message"),
              std::string::npos);

    SetDefaultNetInstallLocation(second.get());
    win::SetModuleMissing("wininet.dll", true);
    EXPECT_THROW(second->Download("a.1", LocalFile("a.1")), ENIL_FailLoadWININET);
    EXPECT_EQ(CurrentNetInstallLocation(), second.get());  // set before the library is loaded
    second.reset();
    EXPECT_EQ(CurrentNetInstallLocation(), nullptr);
    EXPECT_EQ(DefaultNetInstallLocation(), nullptr);
    EXPECT_EQ(NetInstallLocationList().Count(), before);
}

TEST_F(NetDownloadTest, MissingLibraryOrFunctionStopsBeforeAnySession)
{
    win::SetModuleMissing("wininet.dll", true);
    EXPECT_EQ(MessageOf<ENIL_FailLoadWININET>([&] { location_->Download("a.1", LocalFile("a.1")); }),
              "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
              "WININET.DLL file in the PresetupFiles property of the TInstall component");
    win::SetModuleMissing("wininet.dll", false);

    win::SetExportMissing("wininet.dll", "FtpOpenFileA", true);
    EXPECT_EQ(MessageOf<ENIL_FailLoadDLLProc>([&] { location_->Download("a.1", LocalFile("a.1")); }),
              "Failed to load the procedure FtpOpenFile from WININET.DLL");
    EXPECT_FALSE(location_->LibraryLoaded());
    EXPECT_TRUE(log_.empty());  // no login was tried
    EXPECT_FALSE(HostExists(LocalHost("a.1")));
}

TEST_F(NetDownloadTest, ErrorNamesByCode)
{
    EXPECT_EQ(InternetErrorName(6), "ERROR_INVALID_HANDLE");
    EXPECT_EQ(InternetErrorName(12001), "ERROR_INTERNET_OUT_OF_HANDLES");
    EXPECT_EQ(InternetErrorName(12019), "ERROR_INTERNET_INCORRECT_HANDLE_STATE");
    EXPECT_EQ(InternetErrorName(12031), "ERROR_INTERNET_CONNECTION_RESET");
    EXPECT_EQ(InternetErrorName(12032), "ERROR_INTERNET_FORCE_RETRY");
    EXPECT_EQ(InternetErrorName(12033), "Unregistered error code");
    EXPECT_EQ(InternetErrorName(12036), "ERROR_INTERNET_HANDLE_EXISTS");
    EXPECT_EQ(InternetErrorName(12041), "ERROR_INTERNET_MIXED_SECURITY");
    EXPECT_EQ(InternetErrorName(12111), "ERROR_FTP_DROPPED");
    EXPECT_EQ(InternetErrorName(12130), "ERROR_GOPHER_PROTOCOL_ERROR");
    EXPECT_EQ(InternetErrorName(12138), "ERROR_GOPHER_UNKNOWN_LOCATOR");
    EXPECT_EQ(InternetErrorName(12139), "Unregistered error code");
    EXPECT_EQ(InternetErrorName(12150), "ERROR_HTTP_HEADER_NOT_FOUND");
    EXPECT_EQ(InternetErrorName(12155), "ERROR_HTTP_HEADER_ALREADY_EXISTS");
    EXPECT_EQ(InternetErrorName(0), "Unregistered error code");
}

// ---------------------------------------------------------------------------------------------------------
// HTTP

TEST_F(NetDownloadTest, HttpRequestLineHeadersProgressAndSecondDownload)
{
    const std::string content = Pattern(20000);
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", content));
    });
    UseHttp(server.Port(), "setup files\\disk 1");
    vcl::Application->SetName("SetupProgram");
    std::vector<std::string> fileEvents;
    location_->OnFileDataReceived = [&](rtl::TObject*, const AnsiString&, int32_t bytes, int32_t total, int32_t size,
                                        void*) {
        fileEvents.push_back(std::to_string(bytes) + "/" + std::to_string(total) + "/" + std::to_string(size));
    };
    location_->Download("data#1 100%.1", LocalFile("one.1"));
    location_->Download("b.1", LocalFile("two.1"));
    vcl::Application->SetName("");

    EXPECT_EQ(ReadHost(LocalHost("one.1")), content);
    EXPECT_EQ(ReadHost(LocalHost("two.1")), content);
    EXPECT_EQ(log_, (std::vector<std::string>{
                        "BeforeLogin", "AfterLogin", "BeforeDownload data#1 100%.1",
                        "Data data#1 100%.1 8192 8192 20000", "Data data#1 100%.1 8192 16384 20000",
                        "Data data#1 100%.1 3616 20000 20000", "AfterDownload complete", "BeforeDownload b.1",
                        "Data b.1 8192 8192 20000", "Data b.1 8192 16384 20000", "Data b.1 3616 20000 20000",
                        "AfterDownload complete"}));
    EXPECT_EQ(fileEvents.size(), 6u);
    EXPECT_EQ(fileEvents[2], "3616/20000/20000");

    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string& first = requests[0];
    // The name's "#", "%" and blanks travel encoded, so the server sees the whole name.
    EXPECT_EQ(first.substr(0, first.find("\r\n")), "GET /setup%20files/disk%201/data%231%20100%25.1 HTTP/1.1");
    EXPECT_NE(first.find("\r\nHost: 127.0.0.1\r\n"), std::string::npos);  // the port the program asked for
    EXPECT_NE(first.find("\r\nAccept: */*\r\n"), std::string::npos);
    EXPECT_NE(first.find("\r\nUser-Agent: SetupProgram\r\n"), std::string::npos);
    EXPECT_NE(first.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_EQ(first.find("Authorization"), std::string::npos);  // anonymous sends no credentials
    EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET /setup%20files/disk%201/b.1 HTTP/1.1");
}

TEST_F(NetDownloadTest, HttpNamedLoginSendsCredentialsAndHostsFileNamesTheServer)
{
    WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"), "# test servers\n127.0.0.1   Files.Example  other\n");
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", "payload"));
    });
    UseHttp(server.Port());
    location_->LoginInformation()->SetHostname("files.example");
    location_->LoginInformation()->SetAnonymous(false);
    location_->LoginInformation()->SetUsername("ann");
    location_->LoginInformation()->SetPassword("secret");
    location_->Download("x.1", LocalFile("x.1"));
    EXPECT_EQ(ReadHost(LocalHost("x.1")), "payload");
    const std::string request = server.Requests().at(0);
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /x.1 HTTP/1.1");
    EXPECT_NE(request.find("\r\nHost: files.example\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nAuthorization: Basic YW5uOnNlY3JldA==\r\n"), std::string::npos);
}

TEST_F(NetDownloadTest, HttpNotFoundPagesEmptyFilesAndLate404)
{
    const std::string late = std::string(30, 'x') + "404 is only data here" + Pattern(100);
    THttpTestServer server([&](const std::string& head, THttpExchange& exchange) {
        if (head.find("GET /missing.1 ") == 0)
            exchange.Send(THttpTestServer::Answer("404 Not Found", "<html><body>404 not found</body></html>"));
        else if (head.find("GET /empty.1 ") == 0)
            exchange.Send(THttpTestServer::Answer("200 OK", ""));
        else if (head.find("GET /nolength.1 ") == 0)
            exchange.Send(THttpTestServer::Answer("200 OK", Pattern(9000), false));
        else
            exchange.Send(THttpTestServer::Answer("200 OK", late));
    });
    UseHttp(server.Port());

    const std::string missing =
        MessageOf<ENIL_FileNotFound>([&] { location_->Download("missing.1", LocalFile("missing.1")); });
    EXPECT_EQ(missing.find("Could not find the file missing.1 on the server. Error message "), 0u) << missing;
    EXPECT_NE(missing.find(". Server 127.0.0.1. Response from server "), std::string::npos) << missing;
    EXPECT_FALSE(HostExists(LocalHost("missing.1")));  // no half file left behind

    EXPECT_NE(MessageOf<ENIL_FileNotFound>([&] { location_->Download("empty.1", LocalFile("empty.1")); })
                  .find("Could not find the file empty.1 on the server"),
              std::string::npos);
    EXPECT_FALSE(HostExists(LocalHost("empty.1")));

    location_->Download("late.1", LocalFile("late.1"));
    EXPECT_EQ(ReadHost(LocalHost("late.1")), late);

    log_.clear();
    location_->Download("nolength.1", LocalFile("nolength.1"));
    EXPECT_EQ(ReadHost(LocalHost("nolength.1")), Pattern(9000));
    EXPECT_EQ(log_.at(1), "Data nolength.1 8192 8192 0");  // the size is 0 when the server gives none
    EXPECT_EQ(log_.at(2), "Data nolength.1 808 9000 0");
}

TEST_F(NetDownloadTest, HttpMalformedContentLengthIsAnErrorAndKeepsNothing)
{
    std::string length;
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + Pattern(100));
    });
    UseHttp(server.Port());
    for (const char* value : {"12abc", "+12", "12 5", ""}) {
        SCOPED_TRACE(value);
        length = value;
        const std::string message =
            MessageOf<ENIL_HTTPSendRequest>([&] { location_->Download("cut.1", LocalFile("cut.1")); });
        // Sent, and answered: the message blames the answer, not the request.
        EXPECT_EQ(message.find("The server's answer to the request for file cut.1 could not be read. Error message "
                               "ERROR_HTTP_INVALID_SERVER_RESPONSE."),
                  0u)
            << message;
        EXPECT_FALSE(HostExists(LocalHost("cut.1")));
    }
    // A true length still works on the same connection.
    length = "100";
    location_->Download("whole.1", LocalFile("whole.1"));
    EXPECT_EQ(ReadHost(LocalHost("whole.1")), Pattern(100));
}

TEST_F(NetDownloadTest, HttpStalledServersFailWithTheTimeoutInTime)
{
    SetTimeouts(3000, 300);
    THttpTestServer server([&](const std::string& head, THttpExchange& exchange) {
        if (head.find("GET /midway.1 ") == 0)
            exchange.Send("HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n" + Pattern(10000));
        exchange.Stall(std::chrono::seconds(5));
    });
    UseHttp(server.Port());

    auto start = std::chrono::steady_clock::now();
    const std::string silent =
        MessageOf<ENIL_HTTPSendRequest>([&] { location_->Download("silent.1", LocalFile("silent.1")); });
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(silent.find("Cannot send request for file silent.1 to the server. Error message ERROR_INTERNET_TIMEOUT."),
              0u)
        << silent;
    EXPECT_GE(elapsed, std::chrono::milliseconds(250));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));

    start = std::chrono::steady_clock::now();
    const std::string midway =
        MessageOf<ENIL_ReadFile>([&] { location_->Download("midway.1", LocalFile("midway.1")); });
    elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(midway.find("Could not read from file midway.1 on the server. Error message ERROR_INTERNET_TIMEOUT."), 0u)
        << midway;
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_FALSE(HostExists(LocalHost("midway.1")));
    EXPECT_EQ(log_.back(), "Data midway.1 1808 10000 30000");  // what came was handed out, then nothing
}

TEST_F(NetDownloadTest, FtpServerThatNeverGreetsFailsWithTheTimeout)
{
    SetTimeouts(300, 300);
    THttpTestServer silent([](const std::string&, THttpExchange&) {});  // takes the connection, says nothing
    MapPort(21, silent.Port());
    location_->LoginInformation()->SetHostname("127.0.0.1");
    location_->LoginInformation()->SetProtocol(ipFTP);
    const auto start = std::chrono::steady_clock::now();
    const std::string message = MessageOf<ENIL_OpenService>([&] { location_->Download("a.1", LocalFile("a.1")); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(message.find("Cannot connect to host 127.0.0.1. Error message ERROR_INTERNET_TIMEOUT."), 0u) << message;
}

// Answers an FTP client's commands as a server would, sending a file through `data` (a server that
// speaks first) after RETR.
void ServeFtp(THttpExchange& control, uint16_t dataPort)
{
    control.Send("220 ready\r\n");
    for (std::string line = control.ReadLine(); !line.empty(); line = control.ReadLine()) {
        const std::string command = line.substr(0, line.find(' '));
        if (command == "USER")
            control.Send("331 password please\r\n");
        else if (command == "PASS")
            control.Send("230 in\r\n");
        else if (command == "PWD")
            control.Send("257 \"/\"\r\n");
        else if (command == "CWD")
            control.Send("250 there\r\n");
        else if (command == "EPSV")
            control.Send("229 passive (|||" + std::to_string(dataPort) + "|)\r\n");
        else if (command == "TYPE")
            control.Send("200 binary\r\n");
        else if (command == "RETR")
            control.Send("150 here it comes\r\n");
        else if (command == "QUIT")
            control.Send("221 bye\r\n");
        else
            control.Send("502 not here\r\n");
    }
}

TEST_F(NetDownloadTest, FtpTrickleFailsWithinItsFloorAndCancelActsAtOnce)
{
    SetTimeouts(3000, 1000);
    THttpTestServer data([](const std::string&, THttpExchange& exchange) {
        exchange.Trickle(TrickledBody(), std::chrono::milliseconds(20));
    }, false);
    THttpTestServer control([&](const std::string&, THttpExchange& exchange) { ServeFtp(exchange, data.Port()); },
                            false);
    MapPort(21, control.Port());
    location_->LoginInformation()->SetHostname("127.0.0.1");
    location_->LoginInformation()->SetProtocol(ipFTP);

    auto start = std::chrono::steady_clock::now();
    const std::string message =
        MessageOf<ENIL_ReadFile>([&] { location_->Download("slow.1", LocalFile("slow.1")); });
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(message.find("Could not read from file slow.1 on the server. Error message ERROR_INTERNET_TIMEOUT."), 0u)
        << message;
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_FALSE(HostExists(LocalHost("slow.1")));

    // The connection is given up with the failed file; a new location starts afresh.
    location_ = std::make_unique<TNetInstallLocation>(nullptr);
    location_->LoginInformation()->SetHostname("127.0.0.1");
    location_->LoginInformation()->SetProtocol(ipFTP);
    bool aborted = false;
    location_->OnAfterDownload = [&](rtl::TObject*, bool value) { aborted = value; };
    const auto cancel = CancelAfter(300);
    start = std::chrono::steady_clock::now();
    location_->Download("cancel.1", LocalFile("cancel.1"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1300));
    EXPECT_TRUE(aborted);
    const std::string kept = ReadHost(LocalHost("cancel.1"));
    EXPECT_EQ(kept, TrickledBody().substr(0, kept.size()));
}

TEST_F(NetDownloadTest, FtpRefusalAtTheGreetingIsTheServersAnswer)
{
    THttpTestServer busy([](const std::string&, THttpExchange& exchange) {
        exchange.Send("421 Too many users, try again later\r\n");
    }, false);
    MapPort(21, busy.Port());
    location_->LoginInformation()->SetHostname("127.0.0.1");
    location_->LoginInformation()->SetProtocol(ipFTP);
    const std::string message = MessageOf<ENIL_OpenService>([&] { location_->Download("a.1", LocalFile("a.1")); });
    EXPECT_EQ(message, "Cannot connect to host 127.0.0.1. Error message ERROR_INTERNET_EXTENDED_ERROR. Server "
                       "127.0.0.1. Response from server 421 Too many users, try again later\r\n");
}

TEST_F(NetDownloadTest, BadPortMapIsExplainedInTheError)
{
    setenv("SCRIVANE_PORT_MAP", "80=eighty", 1);
    location_->LoginInformation()->SetHostname("127.0.0.1");
    const std::string message = MessageOf<ENIL_HTTPSendRequest>([&] { location_->Download("a.1", LocalFile("a.1")); });
    EXPECT_NE(message.find("Error message ERROR_INTERNET_INVALID_OPTION."), std::string::npos) << message;
    EXPECT_NE(message.find("Response from server SCRIVANE_PORT_MAP: '80=eighty' is not a port redirection"),
              std::string::npos)
        << message;
}

TEST_F(NetDownloadTest, HttpRefusedConnectionNamesTheError)
{
    uint16_t closedPort;
    {
        THttpTestServer gone([](const std::string&, THttpExchange&) {});
        closedPort = gone.Port();
    }
    UseHttp(closedPort);
    const std::string message =
        MessageOf<ENIL_HTTPSendRequest>([&] { location_->Download("a.1", LocalFile("a.1")); });
    EXPECT_EQ(message.find("Cannot send request for file a.1 to the server. Error message "
                           "ERROR_INTERNET_CANNOT_CONNECT. Server 127.0.0.1."),
              0u)
        << message;
}

TEST_F(NetDownloadTest, HttpAbortAfterTheFirstBlockKeepsWhatWasWritten)
{
    const std::string content = Pattern(30000);
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", content));
    });
    UseHttp(server.Port());
    int blocks = 0;
    location_->OnFileDataReceived = [&](rtl::TObject*, const AnsiString&, int32_t, int32_t, int32_t, void*) {
        if (++blocks == 2)
            SetNetDownloadAbort(true);  // as the copy window's Cancel does
    };
    location_->Download("big.1", LocalFile("big.1"));
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(ReadHost(LocalHost("big.1")), content.substr(0, 8192));
    EXPECT_EQ(log_.back(), "AfterDownload aborted");
}


TEST_F(NetDownloadTest, HttpTrickleFailsWithinItsFloorAndCancelActsAtOnce)
{
    SetTimeouts(3000, 1000);
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        exchange.Trickle(TrickledBody(), std::chrono::milliseconds(20));
    });
    UseHttp(server.Port());

    // 50 bytes a second is under the floor: the time-out's message, after the receive time-out.
    auto start = std::chrono::steady_clock::now();
    const std::string message =
        MessageOf<ENIL_ReadFile>([&] { location_->Download("slow.1", LocalFile("slow.1")); });
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(message.find("Could not read from file slow.1 on the server. Error message ERROR_INTERNET_TIMEOUT."), 0u)
        << message;
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_FALSE(HostExists(LocalHost("slow.1")));

    // Blocks come as they arrive, so the window and its Cancel run meanwhile; what was written stays.
    std::string written;
    location_->OnFileDataReceived = [&](rtl::TObject*, const AnsiString&, int32_t bytes, int32_t, int32_t,
                                        void* buffer) {
        written.append(static_cast<const char*>(buffer), static_cast<size_t>(bytes));
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300))
            SetNetDownloadAbort(true);  // as the copy window's Cancel does
    };
    start = std::chrono::steady_clock::now();
    location_->Download("cancel.1", LocalFile("cancel.1"));
    elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(900));
    EXPECT_EQ(log_.back(), "AfterDownload aborted");
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written, TrickledBody().substr(0, written.size()));
    const std::string kept = ReadHost(LocalHost("cancel.1"));
    EXPECT_EQ(kept, written.substr(0, kept.size()));
}

TEST_F(NetDownloadTest, CancelWhileTheServerIsSilentActsWithinASecond)
{
    SetTimeouts(3000, 3000);
    THttpTestServer server([&](const std::string& head, THttpExchange& exchange) {
        if (head.find("GET /body.1 ") == 0)
            exchange.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + Pattern(100));
        exchange.Stall(std::chrono::seconds(10));
    });
    UseHttp(server.Port());
    for (const char* name : {"head.1", "body.1"}) {
        SCOPED_TRACE(name);
        SetNetDownloadAbort(false);
        // The window runs while the download waits: its timer stands for the user's Cancel.
        const auto cancel = CancelAfter(300);
        const auto start = std::chrono::steady_clock::now();
        location_->Download(name, LocalFile(name));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1300));
        EXPECT_EQ(log_.back(), "AfterDownload aborted");
    }
}

TEST_F(NetDownloadTest, HttpRefusalsNameTheServersAnswerAndKeepNoPage)
{
    THttpTestServer server([&](const std::string& head, THttpExchange& exchange) {
        if (head.find("GET /forbidden.1 ") == 0)
            exchange.Send(THttpTestServer::Answer("403 Forbidden", "<html><body>Access denied</body></html>"));
        else if (head.find("GET /broken.1 ") == 0)
            exchange.Send(THttpTestServer::Answer("500 Internal Server Error", "<html>Sorry</html>"));
        else
            exchange.Send(THttpTestServer::Answer("200 OK", Pattern(300)));
    });
    UseHttp(server.Port());
    for (const auto& [name, status] : {std::pair{"forbidden.1", "HTTP/1.1 403 Forbidden"},
                                       std::pair{"broken.1", "HTTP/1.1 500 Internal Server Error"}}) {
        SCOPED_TRACE(name);
        const std::string message =
            MessageOf<ENIL_FileNotFound>([&] { location_->Download(name, LocalFile(name)); });
        EXPECT_EQ(message, std::string("Could not find the file ") + name +
                               " on the server. Error message ERROR_INTERNET_EXTENDED_ERROR. Server 127.0.0.1. "
                               "Response from server " + status + "\r\n");
        EXPECT_FALSE(HostExists(LocalHost(name)));
    }
    location_->Download("good.1", LocalFile("good.1"));
    EXPECT_EQ(ReadHost(LocalHost("good.1")), Pattern(300));
}

TEST_F(NetDownloadTest, DownloadDescriptorsAreNotInherited)
{
    const std::string content = Pattern(30000);
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", content));
    });
    UseHttp(server.Port());
    auto descriptors = [] {
        std::vector<int> result;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
            result.push_back(std::stoi(entry.path().filename().string()));
        return result;
    };
    const std::vector<int> before = descriptors();
    std::vector<std::string> inherited;
    int seen = 0;
    location_->OnFileDataReceived = [&](rtl::TObject*, const AnsiString&, int32_t, int32_t, int32_t, void*) {
        for (int fd : descriptors()) {
            if (std::find(before.begin(), before.end(), fd) != before.end())
                continue;
            const int flags = fcntl(fd, F_GETFD);
            if (flags < 0)
                continue;  // the listing's own, closed already
            ++seen;
            if (!(flags & FD_CLOEXEC))
                inherited.push_back(fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).string());
        }
    };
    location_->Download("big.1", LocalFile("big.1"));
    EXPECT_GT(seen, 0);
    EXPECT_TRUE(inherited.empty()) << inherited.front();
}

// ---------------------------------------------------------------------------------------------------------
// The library itself

TEST_F(NetDownloadTest, LibraryHandlesQueriesAndBuffers)
{
    THttpTestServer server([&](const std::string& head, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", Pattern(20000), head.find("GET /sized") == 0));
    });
    MapPort(80, server.Port());
    win::HINTERNET session = win::InternetOpenA("agent", 0, nullptr, nullptr, 0);
    win::HINTERNET connection =
        win::InternetConnectA(session, "127.0.0.1", 0, "", "", win::INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(win::FtpOpenFileA(connection, "a", win::GENERIC_READ, 2, 0), nullptr);
    EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_INCORRECT_HANDLE_TYPE);

    win::HINTERNET sized = win::HttpOpenRequestA(connection, "GET", "/sized", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(win::HttpSendRequestA(sized, nullptr, 0, nullptr, 0));
    char text[8];
    win::DWORD length = 3;
    win::DWORD index = 0;
    EXPECT_FALSE(win::HttpQueryInfoA(sized, win::HTTP_QUERY_CONTENT_LENGTH, text, &length, &index));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, 6u);  // what it takes, with the terminating zero
    length = sizeof text;
    ASSERT_TRUE(win::HttpQueryInfoA(sized, win::HTTP_QUERY_CONTENT_LENGTH, text, &length, &index));
    EXPECT_EQ(std::string(text), "20000");
    EXPECT_EQ(length, 5u);
    EXPECT_FALSE(win::HttpQueryInfoA(sized, win::HTTP_QUERY_CONTENT_LENGTH, text, &length, &index));
    EXPECT_EQ(win::GetLastError(), win::ERROR_HTTP_HEADER_NOT_FOUND);  // no second one
    win::DWORD available = 0;
    ASSERT_TRUE(win::InternetQueryDataAvailable(sized, &available, 0, 0));
    EXPECT_EQ(available, 20000u);
    std::vector<char> buffer(30000);
    win::DWORD read = 0;
    ASSERT_TRUE(win::InternetReadFile(sized, buffer.data(), 30000, &read));
    EXPECT_EQ(read, 20000u);  // the whole buffer unless the data ends first
    ASSERT_TRUE(win::InternetReadFile(sized, buffer.data(), 30000, &read));
    EXPECT_EQ(read, 0u);

    win::HINTERNET unsized = win::HttpOpenRequestA(connection, nullptr, "/unsized", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(win::HttpSendRequestA(unsized, nullptr, 0, nullptr, 0));
    length = sizeof text;
    EXPECT_FALSE(win::HttpQueryInfoA(unsized, win::HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr));
    EXPECT_EQ(win::GetLastError(), win::ERROR_HTTP_HEADER_NOT_FOUND);

    // Closing the session closes what was opened from it.
    EXPECT_TRUE(win::InternetCloseHandle(session));
    EXPECT_FALSE(win::InternetReadFile(unsized, buffer.data(), 10, &read));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
    EXPECT_FALSE(win::InternetCloseHandle(connection));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

// ---------------------------------------------------------------------------------------------------------
// Failing closes, through a library whose close and read can be made to fail

struct TFaultyLibrary {
    static inline bool FailRead = false;
    static inline bool FailClose = false;
    static inline int Reads = 0;

    static win::BOOL Read(win::HINTERNET file, void* buffer, win::DWORD count, win::DWORD* read)
    {
        if (FailRead && ++Reads > 1) {
            win::SetLastError(win::ERROR_INTERNET_CONNECTION_RESET);
            return win::FALSE;
        }
        return win::InternetReadFile(file, buffer, count, read);
    }
    static win::BOOL Close(win::HINTERNET handle)
    {
        const win::BOOL closed = win::InternetCloseHandle(handle);
        if (FailClose) {
            win::SetLastError(win::ERROR_INVALID_HANDLE);
            return win::FALSE;
        }
        return closed;
    }
    static void Install()
    {
        Reads = 0;
        win::RegisterWinInetModule();
        win::HMODULE real = win::LoadLibrary("wininet.dll");
        std::map<std::string, win::FARPROC> exports;
        for (const char* name :
             {"InternetGetLastResponseInfoA", "InternetOpenA", "InternetConnectA", "FtpSetCurrentDirectoryA",
              "InternetQueryDataAvailable", "FtpOpenFileA", "HttpOpenRequestA", "HttpSendRequestA", "HttpQueryInfoA"})
            exports[name] = win::GetProcAddress(real, name);
        win::FreeLibrary(real);
        exports["InternetReadFile"] = reinterpret_cast<win::FARPROC>(&Read);
        exports["InternetCloseHandle"] = reinterpret_cast<win::FARPROC>(&Close);
        win::RegisterBuiltinModule("wininet.dll", [exports](const std::string& name) -> win::FARPROC {
            const auto found = exports.find(name);
            return found == exports.end() ? nullptr : found->second;
        });
    }
};

TEST_F(NetDownloadTest, FailingCloseNeverHidesTheReadErrorBeforeIt)
{
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", Pattern(20000)));
    });
    UseHttp(server.Port());
    TFaultyLibrary::Install();
    TFaultyLibrary::FailRead = true;
    TFaultyLibrary::FailClose = true;
    const std::string readError = MessageOf<ENIL_ReadFile>([&] { location_->Download("a.1", LocalFile("a.1")); });
    EXPECT_EQ(readError.find("Could not read from file a.1 on the server. Error message ERROR_INTERNET_CONNECTION_RESET."),
              0u)
        << readError;

    // A close that fails on its own is reported, for HTTP too, and the download does not count as done.
    TFaultyLibrary::FailRead = false;
    log_.clear();
    const std::string closeError =
        MessageOf<ENIL_FTPCloseFile>([&] { location_->Download("b.1", LocalFile("b.1")); });
    EXPECT_EQ(closeError.find("Cannot close the file b.1 on the server. Error message ERROR_INVALID_HANDLE."), 0u)
        << closeError;
    EXPECT_NE(log_.back(), "AfterDownload complete");
    TFaultyLibrary::FailClose = false;
    win::RegisterWinInetModule();
}

// ---------------------------------------------------------------------------------------------------------
// FTP, against a real server

class NetFtpDownloadTest : public NetDownloadTest {
protected:
    static void SetUpTestSuite()
    {
        std::string pattern = (fs::temp_directory_path() / "scrivane-ftp-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        WriteFile(root_ / "anonymous/pub/setup/files.1", Pattern(20000));
        WriteFile(root_ / "anonymous/pub/setup/setup.1", Pattern(100));
        WriteFile(root_ / "anonymous/pub/setup/empty.1", "");
        WriteFile(root_ / "anonymous/top.1", "top");
        WriteFile(root_ / "ann/private.1", "for ann only");
        try {
            server_ = new TFtpTestServer((root_ / "anonymous").string(), (root_ / "ann").string(), "ann", "secret");
        } catch (const std::exception& e) {
            startError_ = e.what();
        }
    }

    void SetUp() override
    {
        NetDownloadTest::SetUp();
        ASSERT_NE(server_, nullptr) << startError_;
    }

    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void UseFtp(const std::string& directory)
    {
        MapPort(21, server_->Port());
        TLoginInformation* login = location_->LoginInformation();
        login->SetHostname("127.0.0.1");
        login->SetProtocol(ipFTP);
        login->SetDirectory(directory);
    }

    static inline fs::path root_;
    static inline TFtpTestServer* server_ = nullptr;
    static inline std::string startError_;
};

TEST_F(NetFtpDownloadTest, AnonymousDownloadsFromASubFolderOneAfterAnother)
{
    UseFtp("pub\\setup");
    location_->Download("files.1", LocalFile("files.1"));
    location_->Download("setup.1", LocalFile("setup.1"));
    EXPECT_EQ(ReadHost(LocalHost("files.1")), Pattern(20000));
    EXPECT_EQ(ReadHost(LocalHost("setup.1")), Pattern(100));
    EXPECT_EQ(log_, (std::vector<std::string>{"BeforeLogin", "AfterLogin", "BeforeDownload files.1",
                                              "Data files.1 8192 8192 20000", "Data files.1 8192 16384 20000",
                                              "Data files.1 3616 20000 20000", "AfterDownload complete",
                                              "BeforeDownload setup.1", "Data setup.1 100 100 100",
                                              "AfterDownload complete"}));

    // Another folder on the same connection is found from the login folder too.
    location_->LoginInformation()->SetDirectory("");
    location_->Download("top.1", LocalFile("top.1"));
    EXPECT_EQ(ReadHost(LocalHost("top.1")), "top");
    location_->LoginInformation()->SetDirectory("pub\\setup");
    location_->Download("setup.1", LocalFile("again.1"));
    EXPECT_EQ(ReadHost(LocalHost("again.1")), Pattern(100));

    // A cancelled transfer leaves the connection fit for the next download.
    location_->OnFileDataReceived = [](rtl::TObject*, const AnsiString&, int32_t, int32_t total, int32_t, void*) {
        if (total > 8192)
            SetNetDownloadAbort(true);
    };
    location_->Download("files.1", LocalFile("cancelled.1"));
    EXPECT_EQ(ReadHost(LocalHost("cancelled.1")), Pattern(8192));
    EXPECT_EQ(log_.back(), "AfterDownload aborted");
    SetNetDownloadAbort(false);
    location_->OnFileDataReceived = nullptr;
    location_->Download("files.1", LocalFile("files.1"));
    EXPECT_EQ(ReadHost(LocalHost("files.1")).size(), 20000u);
    EXPECT_TRUE(ReadHost(LocalHost("files.1")) == Pattern(20000));
}

TEST_F(NetFtpDownloadTest, AFolderThatClimbsWithDotDotServesEveryDownloadNotJustTheFirst)
{
    UseFtp("pub\\..\\pub\\setup");
    location_->Download("setup.1", LocalFile("one.1"));
    location_->Download("files.1", LocalFile("two.1"));
    location_->Download("setup.1", LocalFile("three.1"));
    EXPECT_EQ(ReadHost(LocalHost("one.1")), Pattern(100));
    EXPECT_TRUE(ReadHost(LocalHost("two.1")) == Pattern(20000));
    EXPECT_EQ(ReadHost(LocalHost("three.1")), Pattern(100));

    // One that climbs back to the login folder, then a plain one again.
    location_->LoginInformation()->SetDirectory("pub\\setup\\..\\..");
    location_->Download("top.1", LocalFile("top.1"));
    location_->Download("top.1", LocalFile("top2.1"));
    EXPECT_EQ(ReadHost(LocalHost("top2.1")), "top");
    location_->LoginInformation()->SetDirectory("pub\\setup");
    location_->Download("setup.1", LocalFile("four.1"));
    EXPECT_EQ(ReadHost(LocalHost("four.1")), Pattern(100));
}

TEST_F(NetFtpDownloadTest, NamedLoginAndRefusedPassword)
{
    UseFtp("");
    location_->LoginInformation()->SetAnonymous(false);
    location_->LoginInformation()->SetUsername("ann");
    location_->LoginInformation()->SetPassword("secret");
    location_->Download("private.1", LocalFile("private.1"));
    EXPECT_EQ(ReadHost(LocalHost("private.1")), "for ann only");

    TNetInstallLocation intruder(nullptr);
    intruder.LoginInformation()->Assign(location_->LoginInformation());
    intruder.LoginInformation()->SetPassword("wrong");
    const std::string message =
        MessageOf<ENIL_OpenService>([&] { intruder.Download("private.1", LocalFile("stolen.1")); });
    EXPECT_EQ(message.find("Cannot connect to host 127.0.0.1. Error message ERROR_INTERNET_INCORRECT_PASSWORD. "
                           "Server 127.0.0.1. Response from server 530 "),
              0u)
        << message;
}

TEST_F(NetFtpDownloadTest, MissingFileFolderAndEmptyFile)
{
    UseFtp("pub\\setup");
    const std::string missing =
        MessageOf<ENIL_FTPOpenFile>([&] { location_->Download("nothere.1", LocalFile("nothere.1")); });
    EXPECT_EQ(missing.find("Cannot open file nothere.1 on server. Error message ERROR_INTERNET_EXTENDED_ERROR. "
                           "Server 127.0.0.1. Response from server 550 "),
              0u)
        << missing;
    EXPECT_FALSE(HostExists(LocalHost("nothere.1")));

    const std::string empty = MessageOf<ENIL_FileNotFound>([&] { location_->Download("empty.1", LocalFile("empty.1")); });
    EXPECT_EQ(empty.find("Could not find the file empty.1 on the server."), 0u) << empty;
    EXPECT_FALSE(HostExists(LocalHost("empty.1")));

    // The connection is still good for the next download.
    location_->Download("setup.1", LocalFile("setup.1"));
    EXPECT_EQ(ReadHost(LocalHost("setup.1")), Pattern(100));

    location_->LoginInformation()->SetDirectory("pub\\nowhere");
    const std::string folder =
        MessageOf<ENIL_FTPSetDir>([&] { location_->Download("setup.1", LocalFile("setup.1")); });
    EXPECT_EQ(folder.find("Cannot set directory on server to pub/nowhere. Error message ERROR_INTERNET_EXTENDED_ERROR."),
              0u)
        << folder;
    EXPECT_NE(folder.find("Response from server 550 "), std::string::npos) << folder;
}

TEST_F(NetFtpDownloadTest, LibraryFollowsTheServersFolderRulesAndOneFileAtATime)
{
    MapPort(21, server_->Port());
    win::HINTERNET session = win::InternetOpenA("", 0, nullptr, nullptr, 0);
    win::HINTERNET connection =
        win::InternetConnectA(session, "127.0.0.1", 0, nullptr, nullptr, win::INTERNET_SERVICE_FTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    // Relative folders go on from the current one, as the server's CWD does.
    ASSERT_TRUE(win::FtpSetCurrentDirectoryA(connection, "pub"));
    ASSERT_TRUE(win::FtpSetCurrentDirectoryA(connection, "setup"));
    win::HINTERNET file = win::FtpOpenFileA(connection, "setup.1", win::GENERIC_READ, 2, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(win::FtpOpenFileA(connection, "files.1", win::GENERIC_READ, 2, 0), nullptr);
    EXPECT_EQ(win::GetLastError(), win::ERROR_FTP_TRANSFER_IN_PROGRESS);
    EXPECT_TRUE(win::InternetCloseHandle(file));
    ASSERT_TRUE(win::FtpSetCurrentDirectoryA(connection, ".."));
    EXPECT_EQ(win::FtpOpenFileA(connection, "setup.1", win::GENERIC_READ, 2, 0), nullptr);
    EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_EXTENDED_ERROR);

    // The server's answer, as it gave it; too small a buffer is told the size it needs.
    char answer[256];
    win::DWORD code = 0;
    win::DWORD length = 4;
    EXPECT_FALSE(win::InternetGetLastResponseInfoA(&code, answer, &length));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
    const win::DWORD needed = length;
    length = sizeof answer;
    ASSERT_TRUE(win::InternetGetLastResponseInfoA(&code, answer, &length));
    EXPECT_EQ(length + 1, needed);
    EXPECT_EQ(code, 550u);
    const std::string text(answer, length);
    EXPECT_EQ(text.substr(0, 4), "550 ");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    ASSERT_TRUE(win::FtpSetCurrentDirectoryA(connection, "/pub/setup"));
    file = win::FtpOpenFileA(connection, "setup.1", win::GENERIC_READ, 2, 0);
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(win::InternetCloseHandle(session));
}

}  // namespace
