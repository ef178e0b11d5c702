// The driver: its command line, the run with its order of component types and its two endings, and the
// distribution it builds (setup.exe's trailer, setup.1, files.1 and the list of a network distribution),
// read back from the layout alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "installer/engine/Install.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Registry.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Settings.h"
#include "platform/wininet/WinInet.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/support/LoopbackServers.h"

using rtl::AnsiString;

namespace {

ENGINE_TEST_ITEM(TTestLinkGroup, 7000, false)
ENGINE_TEST_ITEM(TTestIniFile, 4000, false)

// A dialog that cancels the run when the before-install wizard would show.
class TCancellingDialog : public TTestInstallItem {
    VCL_CLASS(TCancellingDialog, TTestInstallItem)
public:
    explicit TCancellingDialog(vcl::TComponent* owner) : TTestInstallItem(owner) { code_ = 9000; }
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override
    {
        TTestInstallItem::ContainerMessage(sender, code, parameter);
        if (code == InstallMessage::BeforeInstall)
            throw EAIUserAbort();
    }
};

}  // namespace

VCL_IMPLEMENT_CLASS_NOPROPS(TTestLinkGroup)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestIniFile)
VCL_IMPLEMENT_CLASS_NOPROPS(TCancellingDialog)

namespace {

int32_t Int32At(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return static_cast<int32_t>(value);
}

std::string Int32Bytes(int32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
    return bytes;
}

class InstallDriverTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        install_->SetInstalling(false);
    }
    void TearDown() override
    {
        FileEngineTest::TearDown();
        if (vcl::GetApplication())
            vcl::GetApplication()->ResetRunState();
    }

    // Runs the installation as the application would: an escaping error goes to its exception handler.
    void RunInstall()
    {
        try {
            install_->Install();
        } catch (...) {
            vcl::GetApplication()->HandleException(install_);
        }
    }

    std::vector<std::string> Installs() const
    {
        std::vector<std::string> installs;
        for (const std::string& line : EngineLog()) {
            if (line.size() > 8 && line.compare(line.size() - 8, 8, " install") == 0)
                installs.push_back(line.substr(0, line.size() - 8));
        }
        return installs;
    }
    bool Logged(const std::string& line) const
    {
        return std::find(EngineLog().begin(), EngineLog().end(), line) != EngineLog().end();
    }

    // A library folder with a loading program, as the build looks it up.
    void ProvideLoader(const std::string& loader)
    {
        WriteHost(DriveC("ulo/lib/T32V52.TXT"), "marker");
        WriteHost(DriveC("ulo/lib/TarnwickLoadProgram.exe"), loader);
        RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\PESK\\T32V52\\Library", "Search Path",
                       "C:\\nowhere;$(ROOT)\\lib\\");
        RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\PESK\\T32V52", "RootDir", "C:\\ulo");
        WriteHost(DriveC("src/setup.exe"), "the setup program");
    }

    template <class T>
    T* Item(const char* name, TInstallContainer* container)
    {
        auto* item = new T(form_.get());
        item->SetName(name);
        item->SetContainer(container);
        return item;
    }
};

}  // namespace

TEST_F(InstallDriverTest, CommandLineTakesSwitchesAndRefusesOthersWithTheUsageText)
{
    const std::string usage = "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), "
                              "-f (Transfer to floppies), -e (Called by self-extractor), -r (After reboot)";
    auto refused = [&](const char* argument) {
        std::string expected = usage;
        expected.replace(expected.find("%s"), 2, argument);
        EXPECT_EQ(MessageOf<IException>([&] { install_->ParseCommandLine({AnsiString(argument)}); }), expected)
            << argument;
    };
    refused("-x");
    refused("-");
    refused("a");
    refused("sC:\\dist");

    install_->ParseCommandLine({"-SC:\\My Build", "*TODISK", "-esetup.exe", "-n", "-sC:\\Other"});
    EXPECT_TRUE(install_->HasSwitch(TCustomInstall::swSource));
    EXPECT_EQ(install_->SwitchValue(TCustomInstall::swSource), "C:\\Other");  // the later one replaces
    EXPECT_TRUE(install_->SelfExtracting());
    EXPECT_EQ(install_->SelfExtractorName(), "setup.exe");
    EXPECT_TRUE(install_->HasSwitch(TCustomInstall::swNewUnfinished));
    EXPECT_FALSE(install_->HasSwitch(TCustomInstall::swFloppies));  // "*TODISK" passes unread

    // Every parse starts from nothing.
    install_->ParseCommandLine({"-b"});
    EXPECT_FALSE(install_->SelfExtracting());
    EXPECT_TRUE(install_->HasSwitch(TCustomInstall::swBuild));
}

TEST_F(InstallDriverTest, PropertiesKeepTheirPairingAndRefuseRunTimeChanges)
{
    install_->SetHideMainForm(true);
    EXPECT_FALSE(install_->AutoMaximizeWindow());
    install_->SetAutoMaximizeWindow(true);
    EXPECT_FALSE(install_->HideMainForm());

    rtl::TStringList files;
    files.Add("C:\\a.dll");
    files.Add("   ");
    files.Add("C:\\b.dll");
    install_->SetPresetupFiles(&files);
    EXPECT_EQ(install_->PresetupFiles()->Count(), 2);

    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->SetDistributeType(dtWeb); }),
              "DistributeType can only be set at design-time");
    EXPECT_EQ(MessageOf<IEInstall>([&] { new TInstall(form_.get()); }),
              "The TInstall component does not currently support the use of 2 TInstall components in the same "
              "project");
}

TEST_F(InstallDriverTest, RunInstallsTheTreeThenEachTypeInItsOrderAndEndsWell)
{
    // Created out of order and in different containers: the run takes them by type code, then creation.
    Item<TTestRegistry>("Registry1", install_);
    Item<TTestLink>("Link1", docs_);
    Item<TTestIniFile>("Ini1", group_);
    Item<TTestLink>("Link2", install_);
    Item<TTestLinkGroup>("LinkGroup1", docs_);
    Item<TTestFile>("File1", docs_);
    std::vector<std::string> events;
    install_->OnAfterInitialized = [&](rtl::TObject*) { events.push_back("initialized"); };
    install_->OnAfterInstallObjects = [&](TInstallContainer*, bool aborted) {
        events.push_back(aborted ? "after objects (aborted)" : "after objects");
    };
    install_->OnBeforeNotifyGoodInstall = [&](rtl::TObject*) { events.push_back("good"); };
    install_->OnBeforeShutdown = [&](TCustomInstall*, bool& quitOut) {
        events.push_back("shutdown");
        quitOut = false;
    };
    install_->ParseCommandLine({"-sC:\\dist"});

    RunInstall();

    EXPECT_EQ(Installs(), (std::vector<std::string>{"File1", "LinkGroup1", "Link1", "Link2", "Ini1", "Registry1"}));
    // After the driver's own children, then again after the whole run.
    const std::vector<std::string> expected{"initialized", "after objects", "after objects", "good", "shutdown"};
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(Logged("Registry1 -986"));
    EXPECT_TRUE(Logged("Registry1 -980"));
    EXPECT_TRUE(Logged("Registry1 -995"));
    EXPECT_TRUE(Logged("Registry1 -979"));
    EXPECT_FALSE(install_->Installing());
    EXPECT_FALSE(vcl::GetApplication()->Terminated());  // the handler kept the program running
    EXPECT_TRUE(InstallKey().empty());                  // the good ending removes the run's key
}

TEST_F(InstallDriverTest, RunStartsOnlyWithTheSourceFolderOfTheLoadingProgram)
{
    Item<TTestFile>("File1", docs_);
    EXPECT_NE(MessageOf<IEInstall>([&] { install_->Install(); }).find("The path of the loading program was not passed"),
              std::string::npos);
    EXPECT_TRUE(Installs().empty());
}

TEST_F(InstallDriverTest, CancelInTheBeforeInstallWizardEndsBadlyBeforeAnyFile)
{
    Item<TTestFile>("File1", docs_);
    Item<TCancellingDialog>("Wizard", install_);
    bool good = false;
    std::vector<std::string> bad;
    install_->OnBeforeNotifyGoodInstall = [&](rtl::TObject*) { good = true; };
    install_->OnBeforeNotifyBadInstall = [&](rtl::TObject*) { bad.push_back("bad"); };
    install_->ParseCommandLine({"-sC:\\dist"});

    RunInstall();

    EXPECT_TRUE(Installs().empty());
    EXPECT_FALSE(good);
    EXPECT_EQ(bad.size(), 1u);
    EXPECT_TRUE(Logged("Wizard -994"));
    EXPECT_TRUE(Logged("Wizard -978"));
    EXPECT_TRUE(install_->Aborted());
    EXPECT_FALSE(install_->Installing());
    EXPECT_TRUE(InstallKey().empty());
    EXPECT_TRUE(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0", "Path", "gone") == "gone");
    EXPECT_TRUE(vcl::GetApplication()->Terminated());
}

TEST_F(InstallDriverTest, ClearedRebootStillEndsTheProgramWithoutTheGoodEnding)
{
    Item<TTestFile>("File1", docs_);
    install_->SetReboot(true);
    bool good = false;
    install_->OnBeforeReboot = [](TCustomInstall*, bool& carryOn) { carryOn = false; };
    install_->OnBeforeNotifyGoodInstall = [&](rtl::TObject*) { good = true; };
    install_->ParseCommandLine({"-sC:\\dist"});

    RunInstall();

    EXPECT_EQ(Installs(), std::vector<std::string>{"File1"});
    EXPECT_FALSE(good);
    EXPECT_FALSE(install_->Reboot());
    EXPECT_TRUE(vcl::GetApplication()->Terminated());
}

TEST_F(InstallDriverTest, InstallTypePrefersDefaultThenCompact)
{
    install_->SetInstallTypes({itFull, itCompact});
    install_->Loaded();
    EXPECT_EQ(install_->CurrentInstallType(), itCompact);
    install_->SetInstallTypes({itFull, itCompact, itDefault});
    install_->Loaded();
    EXPECT_EQ(docs_->CurrentInstallType(), itDefault);
}

// ---------------------------------------------------------------------------------------------------------
// Trailer and file list

TEST_F(InstallDriverTest, TrailerIsRefusedWhenItsOffsetsLieOutsideTheFile)
{
    TSelfExtractTrailer trailer;
    trailer.Marker = "SELFEXTRACTING";
    trailer.Setup1First = 10;
    trailer.Setup1Last = 19;
    trailer.Files1First = 20;
    trailer.Files1Last = 29;
    const auto bytes = trailer.Encode();
    const std::string tail(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    EXPECT_EQ(tail.substr(0, 16), std::string("\x0eSELFEXTRACTING\0", 16));
    EXPECT_EQ(tail.substr(32), std::string(24, '\0'));

    WriteHost(DriveC("good.exe"), std::string(30, 'x') + tail);
    const TSelfExtractTrailer read = TCustomInstall::ReadTrailer("C:\\good.exe");
    EXPECT_EQ(read.Marker, "SELFEXTRACTING");
    EXPECT_EQ(read.Files1Last, 29);

    const std::string refused = "Could not read the extraction info from the archive file C:\\short.exe when trying to "
                                "find the correct offset into the self extracting file";
    WriteHost(DriveC("short.exe"), std::string(29, 'x') + tail);  // files.1 would end inside the trailer
    EXPECT_EQ(MessageOf<IEInstall>([] { TCustomInstall::ReadTrailer("C:\\short.exe"); }), refused);
    WriteHost(DriveC("short.exe"), tail.substr(1));
    EXPECT_EQ(MessageOf<IEInstall>([] { TCustomInstall::ReadTrailer("C:\\short.exe"); }), refused);
    // Cut short inside its data: offsets that happen to fit, but no marker.
    WriteHost(DriveC("short.exe"), std::string(30, 'x') + '\x0e' + std::string(15, 'y') + std::string(40, '\0'));
    EXPECT_EQ(MessageOf<IEInstall>([] { TCustomInstall::ReadTrailer("C:\\short.exe"); }), refused);

    // Each offset at the limits of its type: refused by the range check, never an overflow before it.
    const std::string refusedLimits = "Could not read the extraction info from the archive file C:\\limits.exe when "
                                      "trying to find the correct offset into the self extracting file";
    for (int field = 0; field < 4; ++field) {
        for (uint32_t value : {0x7FFFFFFFu, 0x80000000u}) {
            SCOPED_TRACE(std::to_string(field) + " " + std::to_string(value));
            std::string limits(56, '\0');  // bytes 20-23 ff ff ff 7f: the smallest input that overflowed
            for (int k = 0; k < 4; ++k)
                limits[static_cast<size_t>(16 + 4 * field + k)] = static_cast<char>((value >> (8 * k)) & 0xFF);
            WriteHost(DriveC("limits.exe"), limits);
            EXPECT_EQ(MessageOf<IEInstall>([] { TCustomInstall::ReadTrailer("C:\\limits.exe"); }), refusedLimits);
            WriteHost(DriveC("limits.exe"), std::string(30, 'x') + tail.substr(0, 16) + limits.substr(16));
            EXPECT_EQ(MessageOf<IEInstall>([] { TCustomInstall::ReadTrailer("C:\\limits.exe"); }), refusedLimits);
        }
    }
}

TEST_F(InstallDriverTest, FileListIsReadRecordByRecordAndRefusesImpossibleCounts)
{
    std::string record(80, '\0');
    record.replace(0, 4, Int32Bytes(1234));
    const double date = 36526.5;
    std::memcpy(record.data() + 8, &date, sizeof date);
    record.replace(16, 40, std::string(40, 'N'));  // no terminator: stops at the field's end
    record.replace(56, 24, std::string(24, '7'));  // the version keeps at most 20 characters
    WriteHost(DriveC("list.lst"), Int32Bytes(1) + record);
    const auto entries = ReadFileList("C:\\list.lst");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Size, 1234);
    EXPECT_EQ(entries[0].FileDate, date);
    EXPECT_EQ(entries[0].Name, std::string(40, 'N'));
    EXPECT_EQ(entries[0].Version, std::string(20, '7'));

    const std::string refused = "Cannot read the remote list of files: C:\\list.lst";
    for (int32_t count : {-1, 2, 0x7fffffff}) {
        WriteHost(DriveC("list.lst"), Int32Bytes(count) + record);
        EXPECT_EQ(MessageOf<IEInstall>([] { ReadFileList("C:\\list.lst"); }), refused) << count;
    }
    WriteHost(DriveC("list.lst"), "ab");
    EXPECT_EQ(MessageOf<IEInstall>([] { ReadFileList("C:\\list.lst"); }), refused);
}

// ---------------------------------------------------------------------------------------------------------
// Build

TEST_F(InstallDriverTest, StandAloneBuildAppendsBothArchivesBehindTheLoader)
{
    const std::string loader(3000, 'L');
    ProvideLoader(loader);
    AddFile("readme.txt", "read me first");
    AddFile("data.bin", std::string(5000, 'd'));

    install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true);

    const std::string exe = ReadHost(DriveC("build/setup.exe"));
    const std::string setup1 = ReadHost(DriveC("build/setup.1"));
    const std::string files1 = ReadHost(DriveC("build/files.1"));
    ASSERT_GT(exe.size(), loader.size() + 56);
    const std::string tail = exe.substr(exe.size() - 56);
    EXPECT_EQ(tail.substr(0, 16), std::string("\x0eSELFEXTRACTING\0", 16));
    const int32_t setupFirst = Int32At(tail, 16), setupLast = Int32At(tail, 20);
    const int32_t filesFirst = Int32At(tail, 24), filesLast = Int32At(tail, 28);
    EXPECT_EQ(exe.substr(0, loader.size()), loader);
    EXPECT_EQ(setupFirst, static_cast<int32_t>(loader.size()));
    EXPECT_EQ(filesFirst, setupLast + 1);
    EXPECT_EQ(filesLast, static_cast<int32_t>(exe.size()) - 57);
    EXPECT_EQ(exe.substr(setupFirst, setupLast - setupFirst + 1), setup1);
    EXPECT_EQ(exe.substr(filesFirst, filesLast - filesFirst + 1), files1);
    EXPECT_FALSE(HostExists(DriveC("build/filelist.lst")));
    EXPECT_EQ(install_->ArchiveFile(), "");  // the driver's archive settings are back
}

TEST_F(InstallDriverTest, ArchivePathsKeepTheirPlaceBelowTheBuildFolder)
{
    ProvideLoader(std::string(100, 'L'));
    AddFile("readme.txt", "read me first");
    AddFile("app.exe", "program bytes", group_);
    docs_->RestoreArchive(lzcOverwrite, "\\\\server\\share\\docs.1", nullptr);
    group_->RestoreArchive(lzcOverwrite, "D:\\arch\\group.1", nullptr);

    install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true);

    // Each below the folder its container's archive went to.
    EXPECT_FALSE(ReadHost(DriveC("build/arch/group.1")).empty());
    EXPECT_FALSE(ReadHost(DriveC("build/arch/server/share/docs.1")).empty());
    EXPECT_EQ(docs_->ArchiveFile(), "\\\\server\\share\\docs.1");  // put back after the build
}

TEST_F(InstallDriverTest, FloppyTransferSpreadsTheDistributionOverDisks)
{
    namespace fs = std::filesystem;
    const std::string loader(100, 'L');
    ProvideLoader(loader);
    std::string noise(70000, '\0');
    uint32_t seed = 12345;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    AddFile("noise.bin", noise);
    install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true);
    const std::string setup1 = ReadHost(DriveC("build/setup.1"));

    // As many disks as the archive needs are answered; the answers left over do not matter.
    vcl::test::Begin([](const AnsiString& failure) {
        if (failure != "a queued message box answer was never used")
            ADD_FAILURE() << failure;
    });
    win::SetFloppyCapacity(40000);
    install_->ParseCommandLine({"-sC:\\build", "-esetup.exe"});
    install_->SetSourceDir("C:\\build");
    // The disks taken out, by number; the one in the drive is `current`.
    int current = 1;
    int highest = 1;
    auto disk = [&](int n) { return DriveC("disks/" + std::to_string(n)); };
    install_->OnDiskPrompted = [&](int32_t wanted) {
        fs::create_directories(disk(current));
        for (const auto& entry : fs::directory_iterator(DriveA()))
            fs::rename(entry.path(), disk(current) + "/" + entry.path().filename().string());
        if (fs::exists(disk(wanted))) {
            for (const auto& entry : fs::directory_iterator(disk(wanted)))
                fs::rename(entry.path(), DriveA(entry.path().filename().string()));
        }
        current = wanted;
        highest = std::max(highest, current);
    };
    for (int i = 0; i < 8; ++i)
        vcl::test::AnswerMessage(vcl::IDOK);
    install_->TransferToFloppies("a:");
    std::vector<std::string> prompts;
    for (const auto& shown : vcl::test::Messages())
        prompts.push_back(shown.Text);
    form_.reset();
    install_ = nullptr;
    vcl::test::End();

    ASSERT_GE(highest, 2) << (prompts.empty() ? std::string() : prompts.back());
    EXPECT_EQ(prompts.front(), "Please insert disk 2");
    // The volumes follow each other, one a disk.
    auto onDisk = [&](int n, const std::string& name) {
        return n == current ? DriveA(name) : disk(n) + "/" + name;
    };
    for (int n = 2; n <= highest; ++n)
        EXPECT_TRUE(HostExists(onDisk(n, "files." + std::to_string(n)))) << n;
    // The first disk: the loader alone with the trailer that says so, then setup.1 whole.
    const std::string exe = ReadHost(onDisk(1, "setup.exe"));
    ASSERT_EQ(exe.size(), loader.size() + 56);
    EXPECT_EQ(exe.substr(0, loader.size()), loader);
    EXPECT_EQ(exe.substr(loader.size(), 16), std::string("\x0eNOTSELFEXTRACT\0", 16));
    EXPECT_EQ(exe.substr(loader.size() + 16), std::string(40, '\0'));
    EXPECT_EQ(ReadHost(onDisk(1, "setup.1")), setup1);
    EXPECT_TRUE(HostExists(onDisk(1, "files.1")));
}

TEST_F(InstallDriverTest, BuildRefusesWhatCannotWork)
{
    install_->SetUseLoadingProgram(false);
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true); }),
              "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to "
              "False");
    EXPECT_FALSE(HostExists(DriveC("build")));

    install_->SetUseLoadingProgram(true);
    WriteHost(DriveC("src/setup.exe"), "the setup program");
    EXPECT_EQ(MessageOf<IENoTarnwickPath>([] { TCustomInstall::LibraryFolder(true); }),
              "Cannot find the the Tarnwick directory on the VCL library search path");
    EXPECT_EQ(TCustomInstall::LibraryFolder(false), "");
    EXPECT_NE(MessageOf<IEInstall>([&] { install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true); })
                  .find("key in the registry is either missing"),
              std::string::npos);
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->CreateSetupArchive("C:\\build", "C:\\src\\none.exe"); }),
              "TInstall: Cannot find the executable file C:\\src\\none.exe");
}

// A web distribution: the build lists the network files in "filelist.lst" beside their archives, and the
// run reads the list from the server before the files are fetched.
TEST_F(InstallDriverTest, WebBuildListsItsFilesAndInstallsByDownloadOverHttpAndFtp)
{
    namespace fs = std::filesystem;
    win::RegisterWinInetModule();
    win::DWORD timeout = 3000;
    win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    ProvideLoader(std::string(100, 'L'));
    auto* location = new TNetInstallLocation(form_.get());
    location->SetName("Location");
    location->LoginInformation()->SetHostname("127.0.0.1");
    install_->SetNetLocation(location);
    install_->StoreDistributeType(dtWeb);
    TCustomInstallFile* file = AddFile("data.txt", "downloaded bytes");

    install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true);

    const std::string served = DriveC("build/127.0.0.1/HTTP Root directory/");
    const std::string list = ReadHost(served + "filelist.lst");
    ASSERT_EQ(list.size(), 4u + 80u);
    EXPECT_EQ(Int32At(list, 0), 1);
    EXPECT_EQ(Int32At(list, 4), 16);  // the size of "downloaded bytes"
    EXPECT_EQ(Int32At(list, 8), 0);
    const std::string name = file->Name();
    EXPECT_EQ(list.substr(20, 40), name + std::string(40 - name.size(), '\0'));
    double listedDate = 0;
    std::memcpy(&listedDate, list.data() + 12, sizeof listedDate);
    EXPECT_EQ(listedDate, file->FileDate());
    EXPECT_EQ(list.substr(60, 24), std::string(24, '\0'));  // a text file has no version
    const std::string archive = ReadHost(served + "Docs.1");
    ASSERT_FALSE(archive.empty());

    // The setup runs elsewhere: no sources, and what it knew of the file comes from the list.
    fs::remove_all(DriveC("src"));
    file->SetSize(0);
    file->SetFileDate(0);
    install_->SetInstalling(true);
    THttpTestServer server([&](const std::string& request, THttpExchange& exchange) {
        const bool wantsList = request.find("filelist.lst") != std::string::npos;
        exchange.Send(THttpTestServer::Answer("200 OK", wantsList ? list : archive));
    });
    setenv("SCRIVANE_PORT_MAP", ("80=" + std::to_string(server.Port())).c_str(), 1);
    install_->ReadArchiveInfo();
    EXPECT_EQ(file->Size(), 16);
    EXPECT_EQ(file->FileDate(), listedDate);
    install_->InstallTree();
    unsetenv("SCRIVANE_PORT_MAP");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/data.txt")), "downloaded bytes");

    // The same list from an FTP server.
    fs::create_directories(Prefix() + "/ftp-root");
    WriteHost(Prefix() + "/ftp-root/filelist.lst", list);
    TFtpTestServer ftp(Prefix() + "/ftp-root", Prefix() + "/ftp-root", "user", "secret");
    setenv("SCRIVANE_PORT_MAP", ("21=" + std::to_string(ftp.Port())).c_str(), 1);
    auto* ftpLocation = new TNetInstallLocation(form_.get());
    ftpLocation->SetName("FtpLocation");
    ftpLocation->LoginInformation()->SetHostname("127.0.0.1");
    ftpLocation->LoginInformation()->SetProtocol(ipFTP);
    const std::string fetched = DriveC("fetched.lst");
    ftpLocation->Download("filelist.lst", "C:\\fetched.lst");
    unsetenv("SCRIVANE_PORT_MAP");
    EXPECT_EQ(ReadHost(fetched), list);
}

TEST_F(InstallDriverTest, WebBuildRefusesANameTheListCannotHold)
{
    ProvideLoader(std::string(100, 'L'));
    auto* location = new TNetInstallLocation(form_.get());
    location->SetName("Location");
    location->LoginInformation()->SetHostname("127.0.0.1");
    install_->SetNetLocation(location);
    install_->StoreDistributeType(dtTraditionalNet);
    TCustomInstallFile* file = AddFile("data.txt", "bytes");
    file->SetName(std::string(40, 'N'));
    EXPECT_NE(MessageOf<IEInstall>([&] { install_->BuildDistribution("C:\\src\\setup.exe", "C:\\build", true); })
                  .find("is too long for the list of files"),
              std::string::npos);
    EXPECT_FALSE(HostExists(DriveC("build")));
}
