// Link groups and shell links: installing a small setup into the Programs menu, links read back by lnkinfo,
// internet shortcuts, the link-name rules, the tree's rules for groups and links, and the uninstall record.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "installer/engine/ShellLinks.h"
#include "installer/engine/UninstallEXE.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/PathVariables.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Paths.h"
#include "platform/win/Settings.h"
#include "platform/win/ShellLink.h"
#include "tests/installer/engine/RegistryTestSupport.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/platform/win/LnkInfo.h"

using rtl::AnsiString;

namespace {

const char* const UninstallKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvern Test";

// The host file of an existing Windows path, empty when there is none.
std::string HostOf(const AnsiString& windowsPath)
{
    std::optional<win::TResolvedPath> resolved = win::ResolvePath(windowsPath.c_str());
    return resolved && resolved->Exists ? resolved->Host : std::string();
}

// What the driver installs after the files: groups, then links.
void InstallGroupsAndLinks()
{
    for (int code : {ComponentTypeCode::ShellLinkGroup, ComponentTypeCode::ShellLink}) {
        for (TInstallContainer* c : InstallContainers().Snapshot()) {
            if (c->ComponentType() == code)
                c->Install();
        }
    }
}

AnsiString Record(const char* subkey, const char* value)
{
    return RegReadString(win::HKEY_LOCAL_MACHINE, AnsiString(UninstallKey) + "\\" + subkey, value, "<none>");
}

unsigned HotKeyBytes(const std::string& bytes)
{
    if (bytes.size() < 76)
        return 0xFFFFFFFFu;
    return static_cast<uint8_t>(bytes[64]) | (static_cast<unsigned>(static_cast<uint8_t>(bytes[65])) << 8);
}


// The stored setup form, with its file's source in place, installing on XP.
class StoredLinkSetupTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        win::SetWindowsKind(win::TWindowsKind::WinXP);
        win::CoInitialize(nullptr);
        WriteHost(DriveC("src/app.exe"), "MZ app");
        form_ = std::make_unique<TfrmLinkSetup>(nullptr);
        install_ = &form_->Item<TInstall>("Install1");
        install_->SetSourceDir("C:\\dist");
        install_->SetInstalling(true);
        install_->SetCurrentInstallType(itFull);
    }
    void TearDown() override
    {
        install_->SetInstalling(false);
        form_.reset();
        win::CoUninitialize();
        EngineTest::TearDown();
    }
    void RunInstall()
    {
        install_->Compress(CompressOption::ForceNetFilesLocal);
        install_->InstallTree();
        InstallGroupsAndLinks();
    }

    std::unique_ptr<TfrmLinkSetup> form_;
    TInstall* install_ = nullptr;
};

class ShellLinkGroupTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        win::SetWindowsKind(win::TWindowsKind::WinXP);
        install_->Information()->SetProductName("Halvern Test");
        win::CoInitialize(nullptr);
    }
    void TearDown() override
    {
        win::CoUninitialize();
        FileEngineTest::TearDown();
    }

    // Main group in the driver, sub-group "\Tools".
    void MakeGroups()
    {
        main_ = new TMainLinkGroup(form_.get());
        main_->SetName("MainFolder");
        main_->SetContainer(install_);
        main_->SetDestDir("\\Halvern Test");
        sub_ = new TSubLinkGroup(form_.get());
        sub_->SetName("SubLinkGroup");
        sub_->SetDestDir("\\Tools");
    }
    TInstallSubLink* MakeLink(const char* name)
    {
        auto* link = new TInstallSubLink(form_.get());
        link->SetName(name);
        return link;
    }

    void RunInstall()
    {
        install_->Compress(CompressOption::ForceNetFilesLocal);
        install_->InstallTree();
        InstallGroupsAndLinks();
    }

    TMainLinkGroup* main_ = nullptr;
    TSubLinkGroup* sub_ = nullptr;
};

}  // namespace


TEST_F(StoredLinkSetupTest, ASetupMakesLinksAndAnInternetShortcutInItsProgramsFolder)
{
    RunInstall();
    const AnsiString folder = ProgramsFolder() + "\\Halvern Test\\Tools";
    auto& appLink = form_->Item<TInstallSubLink>("AppLink");
    EXPECT_EQ(appLink.GetLinkPath(), folder + "\\app.lnk");
    EXPECT_EQ(appLink.Method(), mtAutoDetect);
    const std::string appHost = HostOf(folder + "\\app.lnk");
    const std::string docsHost = HostOf(folder + "\\Documentation.lnk");
    const std::string webHost = HostOf(folder + "\\www.example.com_help_index.html.URL");
    ASSERT_FALSE(appHost.empty());
    ASSERT_FALSE(docsHost.empty());
    ASSERT_FALSE(webHost.empty());
    EXPECT_EQ(HotKeyBytes(ReadHost(appHost)), 0x648u);  // Ctrl+Alt+H
    EXPECT_EQ(HotKeyBytes(ReadHost(docsHost)), 0u);
    const std::string shortcut = ReadHost(webHost);
    EXPECT_NE(shortcut.find("[InternetShortcut]"), std::string::npos) << shortcut;
    EXPECT_NE(shortcut.find("URL=http://www.example.com/help/index.html"), std::string::npos) << shortcut;

    // Every link in install order in the uninstall record, after what the files wrote.
    const int entries = std::stoi(Record("Files", "Entries"));
    ASSERT_GE(entries, 3);
    EXPECT_EQ(Record("Files", ("File" + std::to_string(entries - 2)).c_str()), folder + "\\app.lnk");
    EXPECT_EQ(Record("Files", ("File" + std::to_string(entries)).c_str()),
              folder + "\\www.example.com_help_index.html.URL");

    if (!HaveLnkInfo())
        GTEST_SKIP() << "lnkinfo is not installed";
    const std::string info = LnkInfo(appHost);
    EXPECT_NE(info.find("C:\\Program Files\\MyApplication\\Docs\\app.exe"), std::string::npos) << info;
    // %c: the link's container, the sub-group's folder; %i: the installation's folder.
    EXPECT_NE(info.find("-open \"" + folder + "\\notes.txt\" -home \"C:\\Program Files\\MyApplication\""),
              std::string::npos)
        << info;
    EXPECT_NE(info.find(": C:\\Program Files\\MyApplication\\Docs\n"), std::string::npos) << info;
    const std::string docsInfo = LnkInfo(docsHost);
    EXPECT_NE(docsInfo.find("C:\\Program Files\\MyApplication\\Docs"), std::string::npos) << docsInfo;
    EXPECT_NE(docsInfo.find(": C:\\Program Files\\MyApplication\n"), std::string::npos) << docsInfo;
}

// The uninstaller finds the links in the record and removes them, with the folders they leave empty.
TEST_F(StoredLinkSetupTest, TheUninstallerRemovesTheLinks)
{
    RunInstall();
    const AnsiString folder = ProgramsFolder() + "\\Halvern Test\\Tools";
    const std::string appHost = HostOf(folder + "\\app.lnk");
    ASSERT_FALSE(appHost.empty());
    EXPECT_EQ(RunUninstallerProcess(UninstallCommandLine("C:\\Program Files\\uninstall.exe", "Halvern Test")), 0);
    EXPECT_FALSE(std::filesystem::exists(appHost));
    EXPECT_TRUE(HostOf(folder + "\\www.example.com_help_index.html.URL").empty());
    EXPECT_TRUE(HostOf(ProgramsFolder() + "\\Halvern Test").empty());
}

TEST_F(StoredLinkSetupTest, TheDriversMessagesInstallGroupsThenLinks)
{
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->InstallTree();
    auto& web = form_->Item<TInstallSubLink>("Web");
    // A link waits for its group: its container has not been processed yet.
    form_->Item<TSubLinkGroup>("SubLinkGroup").BroadcastMessage(install_, InstallMessage::InstallShellLink, nullptr);
    EXPECT_FALSE(web.Processed());
    auto& main = form_->Item<TMainLinkGroup>("MainFolder");
    install_->BroadcastMessage(install_, InstallMessage::InstallShellLinkGroup, nullptr);
    main.BroadcastMessage(install_, InstallMessage::InstallShellLinkGroup, nullptr);
    form_->Item<TSubLinkGroup>("SubLinkGroup").BroadcastMessage(install_, InstallMessage::InstallShellLink, nullptr);
    EXPECT_TRUE(web.Processed());
    EXPECT_FALSE(HostOf(web.GetLinkPath()).empty());
}

TEST_F(ShellLinkGroupTest, LinkNamesLoseForbiddenCharactersAndKeepTheirKindOfExtension)
{
    MakeGroups();
    TInstallSubLink* link = MakeLink("Link");
    link->SetLinkName("a<b?c");
    EXPECT_EQ(link->LinkName(), "a_b_c.LNK");
    link->SetLinkName("C:\\x|y\"z*");
    EXPECT_EQ(link->LinkName(), "C:\\x_y_z_.LNK");
    link->SetLinkName("Site.url");
    EXPECT_EQ(link->LinkName(), "Site.url");
    link->SetLinkName("Other");
    EXPECT_EQ(link->LinkName(), "Other.URL");
    link->SetLinkName("Other.txt");
    EXPECT_EQ(link->LinkName(), "Other.URL");
    link->SetLinkName("Back.lnk");
    EXPECT_EQ(link->LinkName(), "Back.lnk");
    EXPECT_FALSE(link->IsURL());

    // A name from an address only while the name is blank or ".LNK"; FTP alike, in any case.
    TInstallSubLink* address = MakeLink("Address");
    address->SetObjectLocation("hTTp://Example.org");
    EXPECT_EQ(address->LinkName(), "Example.org.URL");
    EXPECT_TRUE(address->IsURL());
    address->SetObjectLocation("http://elsewhere.net/a/b");
    EXPECT_EQ(address->LinkName(), "Example.org.URL");
    TInstallSubLink* ftp = MakeLink("Ftp");
    ftp->SetLinkName(".lnk");
    ftp->SetObjectLocation("ftp://files.example.org/pub/");
    EXPECT_EQ(ftp->LinkName(), "files.example.org_pub_.URL");
    TInstallSubLink* path = MakeLink("Path");
    path->SetObjectLocation("C:\\Tools\\viewer.exe");
    EXPECT_EQ(path->LinkName(), "viewer.LNK");

    // A ".URL" name drops the object link.
    TCustomInstallFile* app = AddFile("app.exe", "MZ");
    path->SetObjectLink(app);
    EXPECT_EQ(path->LinkName(), "app.lnk");
    TInstallSubLink* folder = MakeLink("Folder");
    docs_->SetDescription("Help/Docs");
    folder->SetObjectLink(docs_);
    EXPECT_EQ(folder->LinkName(), "Help_Docs.lnk");
    EXPECT_EQ(path->ObjectLink(), app);
    EXPECT_EQ(path->ObjectLocation(), "");
    EXPECT_TRUE(dynamic_cast<TpsObjectLink*>(path->ObjectLocationType()));
    path->SetLinkName("Home.URL");
    EXPECT_EQ(path->ObjectLink(), nullptr);
}

TEST_F(ShellLinkGroupTest, GroupsAndLinksKeepToTheirPlaceInTheTree)
{
    EXPECT_EQ(MessageOf<IEShellLinkGroup>([&] { new TSubLinkGroup(form_.get()); }),
              "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
    auto* main = new TMainLinkGroup(form_.get());
    EXPECT_EQ(main->DestDir(), "\\Halvern Test");
    EXPECT_TRUE(dynamic_cast<TpsProgramMenu*>(main->DestDirType()));
    main->SetDestDirType(&FindSpecifier(TpsWindow::StaticClass()));
    EXPECT_TRUE(dynamic_cast<TpsProgramMenu*>(main->DestDirType()));
    EXPECT_EQ(MessageOf<IEShellLinkGroup>([&] { new TMainLinkGroup(form_.get()); }),
              "You can only have one TMainLinkGroup component in your project");
    EXPECT_EQ(MessageOf<IEInstallShellLink>([&] { new TInstallSubLink(form_.get()); }),
              "To create a TInstallSubLink you must first have at least one TSubLinkGroup component in your project");

    auto* sub = new TSubLinkGroup(form_.get());
    EXPECT_EQ(sub->Container(), main);
    EXPECT_EQ(sub->DestDir(), "\\ASubGroup");
    EXPECT_EQ(sub->GetDestPath(), ProgramsFolder() + "\\Halvern Test\\ASubGroup");
    EXPECT_EQ(MessageOf<IEInstallShellLink>([&] { sub->SetContainer(docs_); }),
              "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
    auto* link = new TInstallSubLink(form_.get());
    link->SetName("Link");
    EXPECT_EQ(link->Container(), sub);
    EXPECT_EQ(MessageOf<IEInstallShellLink>([&] { link->SetContainer(main); }),
              "A TSubLinkGroup component must be the Container for TInstallSubLink components");

    // Links without an object refuse psObjectLink; other components too.
    TCustomPathSpecifier& objectLink = FindSpecifier(TpsObjectLink::StaticClass());
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { link->SetObjectLocationType(&objectLink); }),
              "Cannot use ddObjectLink for Link unless you assign a value to ObjectLink");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { objectLink.GetPath(docs_); }),
              "Docs must be a TCustomInstallShellLink to use the psObjectLink path specifier");

    // A link whose object goes goes with it; a sub-group whose main group goes takes its links along.
    TCustomInstallFile* app = AddFile("app.exe", "MZ");
    link->SetObjectLink(app);
    vcl::TComponentRef<TInstallSubLink> watched = link;
    delete app;
    EXPECT_FALSE(watched);
    auto* other = new TInstallSubLink(form_.get());
    vcl::TComponentRef<TInstallSubLink> otherRef = other;
    vcl::TComponentRef<TSubLinkGroup> subRef = sub;
    delete main;
    EXPECT_FALSE(subRef);
    EXPECT_FALSE(otherRef);
    EXPECT_EQ(MainLinkGroup(), nullptr);
    EXPECT_EQ(ShellLinkGroups().Count(), 0);
    EXPECT_EQ(InstallShellLinks().Count(), 0);
}

TEST_F(ShellLinkGroupTest, ALinkToAnExcludedFileMakesNothingAndIsNotRecorded)
{
    TCustomInstallFile* app = AddFile("app.exe", "MZ");
    TCustomInstallFile* extra = AddFile("extra.exe", "MZ");
    extra->SetInclude(false);
    MakeGroups();
    TInstallSubLink* link = MakeLink("ExtraLink");
    link->SetObjectLink(extra);
    TInstallSubLink* kept = MakeLink("AppLink");
    kept->SetObjectLink(app);
    RunInstall();
    EXPECT_TRUE(HostOf(kept->GetLinkPath()).size() > 0);
    EXPECT_TRUE(HostOf(link->GetLinkPath()).empty());
    EXPECT_TRUE(link->Processed());
    // Recorded, the uninstaller would delete whatever someone else keeps under the link's name.
    bool recorded = false, keptRecorded = false;
    const int entries = std::stoi(Record("Files", "Entries"));
    for (int i = 1; i <= entries; ++i) {
        const AnsiString path = Record("Files", ("File" + std::to_string(i)).c_str());
        recorded = recorded || path == link->GetLinkPath();
        keptRecorded = keptRecorded || path == kept->GetLinkPath();
    }
    EXPECT_FALSE(recorded);
    EXPECT_TRUE(keptRecorded);
}

TEST_F(ShellLinkGroupTest, TheUninstallerLinkPassesTheProductName)
{
    WriteHost(DriveC("src/uninstall.exe"), "MZ uninstall");
    auto* uninstaller = new TUninstallEXE(form_.get());
    uninstaller->SetName("IFifUninstallEXE_");
    uninstaller->SetContainer(docs_);
    uninstaller->SetIncludeFromDir("C:\\src");
    uninstaller->SetFileName("uninstall.exe");
    MakeGroups();
    TInstallSubLink* link = MakeLink("UninstallLink");
    link->SetObjectLink(uninstaller);
    link->SetParameters("ignored");
    RunInstall();
    EXPECT_EQ(link->Parameters(), "Halvern Test");
    EXPECT_FALSE(HostOf(link->GetLinkPath()).empty());
}

TEST_F(ShellLinkGroupTest, MethodsAndRefusedPathsTakeTheLinkErrorPath)
{
    MakeGroups();
    TInstallSubLink* link = MakeLink("Viewer");
    link->SetObjectLocation("C:\\Tools\\viewer.exe");
    link->SetMethod(mtShellLinkInterface);
    // Windows 98 makes shell links as well; a hard link is made only when asked for, on NT kinds.
    win::SetWindowsKind(win::TWindowsKind::Win98);
    RunInstall();
    EXPECT_FALSE(HostOf(link->GetLinkPath()).empty());
    EXPECT_TRUE(link->ComReady());

    // A path past the format's 260 characters is refused whole, never cut to another name.
    TInstallSubLink* deep = MakeLink("Deep");
    deep->SetObjectLocation("C:\\Tools\\viewer.exe");
    deep->SetLinkName(std::string(260, 'n') + ".lnk");
    EXPECT_EQ(MessageOf<IEInstallShellLink>([&] { deep->CreateShellLink(); }),
              "The TCustomInstallShellLink Deep name could not be installed. The following error was reported "
              "Indicates one or more arguments are invalid. Error code -2147024809");

    TInstallSubLink* blank = MakeLink("Blank");
    blank->SetObjectLocation("C:\\Tools\\viewer.exe");
    blank->SetLinkName("  ");
    EXPECT_EQ(MessageOf<IEInstallShellLink>([&] { blank->InstallObjects(); }),
              "The LinkName is blank for Blank and therefore could not be installed");

    // A meta-variable that cannot be expanded is reported as the link's error.
    TInstallSubLink* bad = MakeLink("Bad");
    bad->SetObjectLocation("C:\\Tools\\viewer.exe");
    bad->SetParameters("%i");
    SetInstallPathSource(nullptr);
    const std::string message = MessageOf<IEInstallShellLink>([&] { bad->CreateShellLink(); });
    EXPECT_EQ(message.rfind("The TCustomInstallShellLink Bad name could not be installed. The following error was "
                            "reported ",
                            0),
              0u)
        << message;
}

TEST_F(ShellLinkGroupTest, AHardLinkOnXPSharesTheInstalledFile)
{
    TCustomInstallFile* app = AddFile("app.exe", "MZ app");
    MakeGroups();
    TInstallSubLink* link = MakeLink("AppLink");
    link->SetObjectLink(app);
    link->SetHardLink(true);
    RunInstall();
    const std::string host = HostOf(link->GetLinkPath());
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(ReadHost(host), "MZ app");
    EXPECT_FALSE(link->ComReady());

    // A name already taken is the link's error.
    EXPECT_EQ(MessageOf<IEInstallShellLink>([&] { link->CreateHardLink(); }), "Could not create hardlink for AppLink");
}
