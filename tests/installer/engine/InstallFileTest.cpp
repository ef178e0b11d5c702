// Install files: the settings rule, IDs, the overwrite rule with its question and the skipped-file
// reports, the file-list record, and archives downloaded from FTP and HTTP servers on loopback.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "installer/engine/PathSpecifiers.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Registry.h"
#include "platform/wininet/WinInet.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/support/LoopbackServers.h"

using rtl::AnsiString;
namespace fs = std::filesystem;

namespace {

class InstallFileTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        vcl::test::Begin([](const AnsiString& failure) { ADD_FAILURE() << failure; });
        docs_->OnStatus = [this](TCustomInstallFile* file, uint32_t, uint32_t total) {
            statuses_.push_back(file->FileName() + " " + std::to_string(total));
        };
    }
    void TearDown() override
    {
        // The driver's end frees what forms are left; the form goes first, with the tree.
        install_->SetInstalling(false);
        install_ = nullptr;
        form_.reset();
        vcl::test::End();
        FileEngineTest::TearDown();
    }

    // Compresses the driver's tree, then puts `existing` where the file installs.
    void CompressAndPlaceTarget(const std::string& name, const std::string& existing)
    {
        install_->Compress(CompressOption::ForceNetFilesLocal);
        WriteHost(InstalledHost("Docs/" + name), existing);
        statuses_.clear();
    }

    std::vector<std::string> statuses_;
};

}  // namespace

TEST_F(InstallFileTest, TheSettingsRuleWorksOutNamesKindsAndDefaults)
{
    TCustomInstallFile* file = AddFile("readme.txt", "r");
    EXPECT_EQ(file->DestName(), "readme.txt");
    file->SetDestName("liesmich.txt");
    EXPECT_EQ(file->FileName(), "readme.txt");
    WriteHost(DriveC("src/guide.hlp"), "h");
    file->SetFileName("guide.hlp");
    EXPECT_EQ(file->DestName(), "guide.hlp");
    EXPECT_TRUE(file->RegisterAsHelp());
    EXPECT_FALSE(file->ActiveX());

    TCustomInstallFile* control = AddFile("grid.OCX", "o");
    EXPECT_TRUE(control->ActiveX());
    EXPECT_EQ(control->FileType(), iftSystemWideDLL);
    EXPECT_TRUE(dynamic_cast<TpsSystem*>(control->DestDirType()));
    EXPECT_EQ(control->DestDir(), "");
    EXPECT_TRUE(control->UpdateDLLCounter());
    EXPECT_EQ(control->OverwriteMode(), owVersionDate);

    TCustomInstallFile* library = AddFile("tools.dll", "d");
    library->SetDestDirType(&FindSpecifier(TpsWindow::StaticClass()));
    EXPECT_EQ(library->OverwriteMode(), owVersionDate);
    EXPECT_EQ(library->FileType(), iftNormal);
    library->SetDestDirType(&FindSpecifier(TpsSystem::StaticClass()));
    EXPECT_EQ(library->FileType(), iftSystemWideDLL);
    EXPECT_TRUE(library->UpdateDLLCounter());

    TCustomInstallFile* longer = AddFile("tools.dllx", "d");
    longer->SetDestDirType(&FindSpecifier(TpsSystem::StaticClass()));
    EXPECT_EQ(longer->FileType(), iftNormal);
    EXPECT_EQ(longer->OverwriteMode(), owAlways);

    TCustomInstallFile* vendor = AddFile("shared.dll", "s");
    vendor->SetFileType(iftVendorSharedDLL);
    EXPECT_EQ(vendor->DestDir(), "\\System");
    EXPECT_TRUE(dynamic_cast<TpsCommonFiles*>(vendor->DestDirType()));
}

TEST_F(InstallFileTest, ContainersRefuseDuplicatesAndNonContainersRefuseFiles)
{
    AddFile("a.txt", "a");
    EXPECT_EQ(MessageOf<IEfcDuplicateFile>([&] { AddFile("a.txt", "again"); }),
              "There is already a file with the name :C:\\src\\a.txt");
    EXPECT_EQ(docs_->FileCount(), 1);
    TCustomInstallFile* loose = TInstallFile::CreateFromPath(form_.get(), "C:\\src\\a.txt");
    loose->SetName("Loose");
    auto* link = new TTestLink(form_.get());
    EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { loose->SetContainer(link); }),
              "The following TInstallFile component Loose requires the Container property to be a component descended "
              "from the TFileContainer component");
    EXPECT_EQ(loose->Container(), nullptr);
}

TEST_F(InstallFileTest, IdsAreTheLowestFreeAndRunOutToZero)
{
    std::vector<std::unique_ptr<TInstallFile>> files;
    for (int i = 0; i < 2000; ++i)
        files.push_back(std::make_unique<TInstallFile>(nullptr));
    EXPECT_EQ(files[0]->UniqueID(), 0);
    EXPECT_EQ(files[1999]->UniqueID(), 1999);
    TInstallFile extra(nullptr);
    EXPECT_EQ(extra.UniqueID(), 0);
    files[17].reset();
    EXPECT_EQ(TInstallFile(nullptr).UniqueID(), 17);
}

TEST_F(InstallFileTest, OverwriteNeverKeepsTheTargetYetFinishesAndCountsTheFile)
{
    TCustomInstallFile* file = AddFile("guide.hlp", "new help");
    file->SetOverwriteMode(owNever);
    CompressAndPlaceTarget("guide.hlp", "old help");
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/guide.hlp")), "old help");
    EXPECT_FALSE(file->DoInstall());
    EXPECT_TRUE(file->TargetExisted());
    // The help file is registered all the same, and the skipped bytes complete the container's total.
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\Help", "GUIDE.HLP", ""),
              "C:\\Program Files\\MyApplication\\Docs");
    EXPECT_EQ(statuses_, (std::vector<std::string>{"guide.hlp 100"}));
}

TEST_F(InstallFileTest, TheQuestionDecidesWhenTheModeAsks)
{
    TCustomInstallFile* file = AddFile("notes.txt", "new notes");
    file->SetOverwriteMode(owAsk);
    CompressAndPlaceTarget("notes.txt", "old notes");
    vcl::test::AnswerMessage(vcl::mrNo);
    install_->InstallTree();
    EXPECT_EQ(vcl::test::LastMessage().Text, "Copy This File notes.txt?");
    EXPECT_EQ(vcl::test::LastMessage().Caption, "Confirm");
    EXPECT_EQ(vcl::test::LastMessage().Buttons, (std::vector<AnsiString>{"&Yes", "&No"}));
    EXPECT_EQ(ReadHost(InstalledHost("Docs/notes.txt")), "old notes");

    vcl::test::AnswerMessage(vcl::mrYes);
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/notes.txt")), "new notes");
}

TEST_F(InstallFileTest, ASilentAbortBeforeTheInstallSkipsTheFileWithoutFinishing)
{
    TCustomInstallFile* file = AddFile("guide.hlp", "help");
    install_->Compress(CompressOption::ForceNetFilesLocal);
    statuses_.clear();
    file->OnBeforeInstall = [](TCustomInstallFile*) { throw rtl::EAbort(""); };
    bool after = false;
    file->OnAfterInstall = [&](TCustomInstallFile*) { after = true; };
    install_->InstallTree();
    EXPECT_FALSE(fs::exists(InstalledHost("Docs/guide.hlp")));
    EXPECT_FALSE(after);
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\Help", "GUIDE.HLP", "none"),
              "none");
    EXPECT_EQ(statuses_, (std::vector<std::string>{"guide.hlp 100"}));
}

TEST_F(InstallFileTest, TheFileListRecordHoldsSizeDateNameAndVersion)
{
    TCustomInstallFile* file = AddFile("a.txt", "abc");
    file->SetName("IFa_txt_with_a_name_longer_than_the_forty_bytes");
    file->SetSize(0x01020304);
    file->SetFileDate(36526.5);
    file->SetVersion("1.2.3.4-and-more-than-twenty");
    rtl::TMemoryStream stream;
    file->WriteFileListRecord(stream);
    ASSERT_EQ(stream.Size(), 80);
    const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[4] | bytes[5] | bytes[6] | bytes[7], 0);
    double date = 0;
    std::memcpy(&date, bytes + 8, 8);
    EXPECT_EQ(date, 36526.5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 16)), "IFa_txt_with_a_name_longer_than_the_for");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 56)), "1.2.3.4-and-more-tha");
}

// ---------------------------------------------------------------------------------------------------------
// Web distributions

namespace {

class WebInstallTest : public InstallFileTest {
protected:
    void SetUp() override
    {
        InstallFileTest::SetUp();
        win::RegisterWinInetModule();
        SetNetDownloadAbort(false);
        win::DWORD timeout = 3000;
        win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
        win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        InstallKey() = "\\SOFTWARE\\ULO\\Install\\Web";
        location_ = new TNetInstallLocation(form_.get());
        location_->SetName("Location");
        location_->LoginInformation()->SetHostname("127.0.0.1");
        docs_->SetNetLocation(location_);
        file_ = AddFile("data.txt", "downloaded bytes");
        file_->SetNet(true);
        // The build: the directory's network file goes into its web archive "...\Docs.1".
        docs_->Compress(0);
        webArchive_ = ReadHost(DriveC("dist/127.0.0.1/HTTP Root directory/Docs.1"));
        // The setup runs elsewhere: no sources, no build folder, no copy known yet.
        fs::remove_all(DriveC("src"));
        fs::remove_all(DriveC("dist"));
        docs_->SetLocalArchivePath("");
        install_->StoreDistributeType(dtWeb);
    }
    void TearDown() override
    {
        unsetenv("SCRIVANE_PORT_MAP");
        SetNetDownloadAbort(false);
        InstallFileTest::TearDown();
    }

    AnsiString RecordedCopy() const
    {
        return RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Web\\Docs", "LocalFile", "");
    }

    TNetInstallLocation* location_ = nullptr;
    TCustomInstallFile* file_ = nullptr;
    std::string webArchive_;
};

}  // namespace

TEST_F(WebInstallTest, AContainerFetchesItsArchiveOverHttpAndRecordsTheCopy)
{
    ASSERT_FALSE(webArchive_.empty());
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", webArchive_));
    });
    setenv("SCRIVANE_PORT_MAP", ("80=" + std::to_string(server.Port())).c_str(), 1);
    int progress = 0;
    docs_->OnDataReceived = [&](rtl::TObject*, const AnsiString& name, int32_t, int32_t, int32_t, void*) {
        EXPECT_EQ(name, "Docs.1");
        ++progress;
    };
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/data.txt")), "downloaded bytes");
    EXPECT_GT(progress, 0);
    EXPECT_FALSE(RecordedCopy().empty());
    EXPECT_EQ(RecordedCopy(), docs_->LocalArchivePath());
}

TEST_F(WebInstallTest, AServersErrorPageIsNeverTakenForTheArchive)
{
    THttpTestServer server([](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", "<html><body>Service unavailable</body></html>"));
    });
    setenv("SCRIVANE_PORT_MAP", ("80=" + std::to_string(server.Port())).c_str(), 1);
    EXPECT_THROW(install_->InstallTree(), rtl::Exception);
    EXPECT_EQ(RecordedCopy(), "");
    EXPECT_EQ(docs_->LocalArchivePath(), "");
    EXPECT_FALSE(fs::exists(InstalledHost("Docs/data.txt")));
}

TEST_F(WebInstallTest, AnAbortedDownloadLeavesNoRecordedCopy)
{
    THttpTestServer server([&](const std::string&, THttpExchange& exchange) {
        exchange.Send(THttpTestServer::Answer("200 OK", webArchive_ + std::string(40000, 'x')));
    });
    setenv("SCRIVANE_PORT_MAP", ("80=" + std::to_string(server.Port())).c_str(), 1);
    docs_->OnDataReceived = [](rtl::TObject*, const AnsiString&, int32_t, int32_t, int32_t, void*) {
        SetNetDownloadAbort(true);
    };
    EXPECT_THROW(install_->InstallTree(), EAIUserAbort);
    EXPECT_EQ(RecordedCopy(), "");
    EXPECT_EQ(docs_->LocalArchivePath(), "");
    EXPECT_FALSE(fs::exists(InstalledHost("Docs/data.txt")));
}

TEST_F(WebInstallTest, AnFtpServerServesTheSameArchive)
{
    fs::create_directories(Prefix() + "/ftp-root");
    WriteHost(Prefix() + "/ftp-root/Docs.1", webArchive_);
    TFtpTestServer server(Prefix() + "/ftp-root", Prefix() + "/ftp-root", "user", "secret");
    setenv("SCRIVANE_PORT_MAP", ("21=" + std::to_string(server.Port())).c_str(), 1);
    location_->LoginInformation()->SetProtocol(ipFTP);
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/data.txt")), "downloaded bytes");
    EXPECT_FALSE(RecordedCopy().empty());
}
