// Path specifiers: the lists and the class registry, the placeholder, the core kinds with their refusals,
// and the shell and office kinds on a 98 and an XP prefix.
#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/StandardSpecifiers.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/rtl/Classes.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "platform/win/ShellFolders.h"
#include "tests/installer/engine/EngineTestSupport.h"

namespace {

using PathSpecifierTest = EngineTest;

std::string PathOf(const vcl::TClassMeta& meta, vcl::TComponent* component = nullptr)
{
    return FindSpecifier(meta).GetPath(component);
}

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST_F(PathSpecifierTest, ThePlaceholderExpandsOnlyP)
{
    EXPECT_EQ(ExpandPathPlaceholder("%p\\bin;%P", "C:\\App"), "C:\\App\\bin;C:\\App");
    EXPECT_EQ(ExpandPathPlaceholder("%p%%", "C:\\App"), "C:\\App%");
    EXPECT_EQ(ExpandPathPlaceholder("100%x", "C:\\App"), "100x");  // unlike ExpandPath, the letter stays
    EXPECT_EQ(ExpandPathPlaceholder("ends with %", "C:\\App"), "ends with ");
    EXPECT_EQ(ExpandPathPlaceholder("", "C:\\App"), "");
}

TEST_F(PathSpecifierTest, AFormGetsEachStandardKindOnceAndReferencesFindThem)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    EXPECT_EQ(StandardPathSpecifiers().Count(), 35);
    EXPECT_EQ(PathSpecifierClasses().Count(), 35);
    EXPECT_EQ(PathSpecifierClasses().Items(0), &TpsBDEDLL::StaticClass());
    EXPECT_EQ(PathSpecifierClasses().Items(13), &TpsWindow::StaticClass());
    EXPECT_EQ(PathSpecifierClasses().Items(14), &TpsPrinters::StaticClass());
    EXPECT_EQ(PathSpecifierClasses().Items(34), &TpsOfficeFavoritesDirectory::StaticClass());
    EXPECT_NE(form->FindComponent("psQuickLaunchMenu"), nullptr);
    EXPECT_EQ(form->Item("Install1").DestDirType(), form->FindComponent("psProgramFiles"));

    // A second container on a form that holds them all makes none.
    auto* more = new TInstallDirectory(form.get());
    (void)more;
    EXPECT_EQ(StandardPathSpecifiers().Count(), 35);

    // Made again without the only-if-missing rule, the name is taken: the framework's error.
    EXPECT_THROW(RegisterStandardSpecifier(TpsWindow::StaticClass(), form.get(), false), vcl::EComponentError);
    EXPECT_EQ(StandardPathSpecifiers().Count(), 35);

    EXPECT_THROW(PathSpecifiers().Add(nullptr), IEPathSpecifierList);
    form.reset();
    EXPECT_EQ(PathSpecifiers().Count(), 0);
    EXPECT_EQ(MessageOf([] { FindSpecifier(TpsWindow::StaticClass()); }), "Could not find the path specifier");
}

TEST_F(PathSpecifierTest, CoreKindsGiveTheirFoldersWithoutTrailingBackslash)
{
    win::SetWindowsKind(win::TWindowsKind::WinXP);
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    EXPECT_EQ(PathOf(TpsProgramFiles::StaticClass()), "C:\\Program Files");
    EXPECT_EQ(PathOf(TpsCommonFiles::StaticClass()), "C:\\Program Files\\Common Files");
    EXPECT_EQ(PathOf(TpsWindow::StaticClass()), "C:\\WINDOWS");
    EXPECT_EQ(rtl::UpperCase(PathOf(TpsSystem::StaticClass())), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_NE(PathOf(TpsStartMenu::StaticClass()).find("\\Start Menu"), std::string::npos);
    EXPECT_EQ(PathOf(TpsBDEDLL::StaticClass()), "C:\\Program Files\\Borland\\Common Files\\BDE");
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\Borland\\Database Engine", "DLLPath", "D:\\BDE\\;E:\\Old");
    EXPECT_EQ(PathOf(TpsBDEDLL::StaticClass()), "D:\\BDE\\");  // the first field, backslash and all

    auto& install = form->Item<TInstall>("Install1");
    auto& fileA = form->Item("FileA");
    EXPECT_EQ(PathOf(TpsMainInstall::StaticClass(), &fileA), "C:\\Program Files\\MyApplication");
    EXPECT_EQ(MessageOf([&] { PathOf(TpsMainInstall::StaticClass(), &install); }),
              "Cannot use the ddMainInstallDir path specifier for a TInstall component");
    install.SetSourceDir("E:\\");
    EXPECT_EQ(PathOf(TpsInstallSource::StaticClass(), &fileA), "E:");
    EXPECT_EQ(PathOf(TpsMainArchiveFile::StaticClass(), &fileA), "E:\\files.1");
    auto& archive = dynamic_cast<TpsMainArchiveFile&>(FindSpecifier(TpsMainArchiveFile::StaticClass()));
    archive.SetArchiveFolder("A:");
    EXPECT_EQ(archive.GetPath(&fileA), "A:\\files.1");
    install.SetSelfExtractor(true, " Setup.exe ");
    EXPECT_EQ(archive.GetPath(&fileA), "E:\\Setup.exe");
    install.SetSelfExtractor(true, "  ");
    EXPECT_EQ(MessageOf([&] { archive.GetPath(&fileA); }),
              "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
    install.SetSelfExtractor(false, "");
    archive.SetArchiveFolder("");

    // The container's archive: for an object whose container is the driver, the driver's archive.
    auto& link = form->Item("Link1");
    EXPECT_EQ(PathOf(TpsContainerArchiveFile::StaticClass(), &link), "E:\\files.1");
}

TEST_F(PathSpecifierTest, ContainerKindsRefuseWhatTheyCannotServe)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& destDir = FindSpecifier(TpsContainerDestDir::StaticClass());
    auto& archive = FindSpecifier(TpsContainerArchiveFile::StaticClass());
    auto* spare = new TTestLink(form.get());
    spare->SetName("Spare");

    EXPECT_EQ(MessageOf([&] { destDir.GetPath(form->FindComponent("psWindow")); }),
              "psWindow must be a TInstallObject to use the psContainerDestDir path specifier");
    EXPECT_EQ(MessageOf([&] { destDir.GetPath(spare); }),
              "Cannot use ddContainerDestDir for Spare unless you assign a Container");
    EXPECT_EQ(MessageOf([&] { archive.GetPath(spare); }),
              "Cannot use ddContainerArchiveFile for Spare unless you assign a Container");
    EXPECT_EQ(MessageOf([&] { spare->SetDestDirType(&destDir); }),
              "Cannot use ddContainerDestDir for Spare unless you assign a Container");
    spare->SetContainer(&form->Item("Link1"));  // a link is no file-related container
    EXPECT_EQ(MessageOf([&] { archive.GetPath(spare); }),
              "Cannot use the ddContainerArchiveFile path specifier for Spare because the Container is not a "
              "TFileRelated descendant");

    // Texts that name the container, and the general ones where the component cannot be served.
    EXPECT_EQ(destDir.GetComponentDescription(&form->Item("Group1")), "Main installation directory");
    EXPECT_EQ(destDir.GetComponentDescription(&form->Item("Dir1")), "Path of the <Documentation> group");
    EXPECT_EQ(destDir.GetComponentDescription(&form->Item("FileA")), "Path of the <Manuals> directory");
    EXPECT_EQ(destDir.GetComponentDescription(spare), "Path of the <Link1> group");
    EXPECT_EQ(destDir.GetComponentCaption(&form->Item("FileA")), "<Manuals>");
    EXPECT_EQ(destDir.GetComponentCaption(spare), "<Link1>");
    EXPECT_EQ(destDir.GetComponentDescription(form->FindComponent("psWindow")), "Path of the group (container)");

    // An author's own specifier gives what its handler says, and nothing without one.
    auto* own = new TPathSpecifier(form.get());
    EXPECT_EQ(own->GetPath(spare), "");
    EXPECT_EQ(own->GetCaption(), "My cool new path specifier");
    own->OnGetPath = [](vcl::TComponent* c, rtl::AnsiString& path) { path = "X:\\" + c->Name(); };
    EXPECT_EQ(own->GetPath(spare), "X:\\Spare");
}

TEST_F(PathSpecifierTest, ShellKindsOnXP)
{
    win::SetWindowsKind(win::TWindowsKind::WinXP);
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    const std::string user = "C:\\Documents and Settings\\" + win::CurrentUserName();
    const std::string all = "C:\\Documents and Settings\\All Users";
    EXPECT_EQ(PathOf(TpsRecent::StaticClass()), user + "\\Recent");
    EXPECT_EQ(PathOf(TpsFavorites::StaticClass()), user + "\\Favorites");
    EXPECT_EQ(PathOf(TpsCookies::StaticClass()), user + "\\Cookies");
    EXPECT_EQ(PathOf(TpsSendTo::StaticClass()), user + "\\SendTo");
    EXPECT_EQ(PathOf(TpsStartup::StaticClass()), user + "\\Start Menu\\Programs\\Startup");
    EXPECT_EQ(PathOf(TpsCommonStartMenu::StaticClass()), all + "\\Start Menu");
    EXPECT_EQ(PathOf(TpsCommonPrograms::StaticClass()), all + "\\Start Menu\\Programs");
    EXPECT_EQ(PathOf(TpsCommonDesktopDirectory::StaticClass()), all + "\\Desktop");
    EXPECT_EQ(PathOf(TpsCommonFavorites::StaticClass()), all + "\\Favorites");
    EXPECT_EQ(PathOf(TpsCommonStartup::StaticClass()), "");  // none on XP
    EXPECT_EQ(PathOf(TpsControlPanel::StaticClass()), "");  // virtual folders have no path
    EXPECT_EQ(PathOf(TpsPrinters::StaticClass()), "");
    EXPECT_EQ(PathOf(TpsBitBucket::StaticClass()), "");
    EXPECT_EQ(PathOf(TpsCommonAltStartup::StaticClass()), "");
    EXPECT_EQ(PathOf(TpsQuickLaunchMenu::StaticClass()),
              user + "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch");

    // The shell reads where the registry says the folders are.
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "Common Desktop", "D:\\Shared Desktop");
    EXPECT_EQ(PathOf(TpsCommonDesktopDirectory::StaticClass()), "D:\\Shared Desktop");
}

TEST_F(PathSpecifierTest, ShellKindsOn98UseTheUsersFolders)
{
    win::SetWindowsKind(win::TWindowsKind::Win98);
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    EXPECT_EQ(PathOf(TpsRecent::StaticClass()), "undefined");
    EXPECT_EQ(PathOf(TpsPrinters::StaticClass()), "undefined");
    EXPECT_EQ(PathOf(TpsCookies::StaticClass()), "");
    EXPECT_EQ(PathOf(TpsStartup::StaticClass()), "");
    EXPECT_EQ(PathOf(TpsCommonPrograms::StaticClass()), SpecialFolder(win::CSIDL_PROGRAMS));
    EXPECT_EQ(PathOf(TpsCommonStartMenu::StaticClass()), SpecialFolder(win::CSIDL_STARTMENU));
    EXPECT_EQ(PathOf(TpsCommonStartup::StaticClass()), SpecialFolder(win::CSIDL_STARTUP));
    EXPECT_EQ(PathOf(TpsCommonDesktopDirectory::StaticClass()), SpecialFolder(win::CSIDL_DESKTOPDIRECTORY));
    EXPECT_NE(PathOf(TpsCommonPrograms::StaticClass()), "");
    // The all-users numbers do not exist on the 9x kinds.
    EXPECT_EQ(SpecialFolder(win::CSIDL_COMMON_PROGRAMS), "");
}

TEST_F(PathSpecifierTest, OfficeKindsFollowTheWordProcessorsVersion)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    // No word processor: Program Files and the suffix.
    EXPECT_EQ(OfficeVersion(), -1);
    EXPECT_EQ(PathOf(TpsOfficeClipartDirectory::StaticClass()), "C:\\Program Files\\Microsoft Office\\Clipart");
    EXPECT_EQ(PathOf(TpsOfficeUserTemplates::StaticClass()), "C:\\Program Files\\Microsoft Office\\Templates");
    EXPECT_EQ(PathOf(TpsOfficeWorkgroupTemplates::StaticClass()), "C:\\Program Files\\Microsoft Office\\Templates");
    EXPECT_EQ(PathOf(TpsOfficeToolsDirectory::StaticClass()), "C:\\Program Files\\Microsoft Office\\Office");
    EXPECT_EQ(PathOf(TpsOfficeFavoritesDirectory::StaticClass()), "C:\\Documents and Settings\\" +
                                                                      win::CurrentUserName() + "\\Favorites");

    // Version 9 with its server program present reads the policies keys.
    win::CreateDirectory("C:\\Office", nullptr);
    rtl::WriteWholeFile("C:\\Office\\winword.exe", "MZ");
    RegWriteString(win::HKEY_CLASSES_ROOT, "\\Word.Document\\CurVer", "", "Word.Document.9");
    RegWriteString(win::HKEY_CLASSES_ROOT, "\\Word.Document.9\\protocol\\StdFileEditing\\server", "",
                   "C:\\Office\\winword.exe");
    EXPECT_EQ(OfficeVersion(), 9);
    RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\Policies\\Microsoft\\Office\\9.0\\Word\\Options",
                   "PICTURE-PATH", "D:\\Clips\\");
    RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\Policies\\Microsoft\\Office\\9.0\\Common\\FileNew\\SharedTemplates",
                   "", "\\\\server\\templates");
    EXPECT_EQ(PathOf(TpsOfficeClipartDirectory::StaticClass()), "D:\\Clips");
    EXPECT_EQ(PathOf(TpsOfficeWorkgroupTemplates::StaticClass()), "\\\\server\\templates");
    EXPECT_EQ(PathOf(TpsOfficeStartupDirectory::StaticClass()),
              "C:\\Program Files\\Microsoft Office\\Office\\Startup");  // value missing: the default

    // A server given as a command line with arguments names no file: unknown version.
    RegWriteString(win::HKEY_CLASSES_ROOT, "\\Word.Document.9\\protocol\\StdFileEditing\\server", "",
                   "C:\\Office\\winword.exe /n");
    EXPECT_EQ(OfficeVersion(), -1);
    RegWriteString(win::HKEY_CLASSES_ROOT, "\\Word.Document\\CurVer", "", "Word.Document");
    EXPECT_EQ(OfficeVersion(), -1);
}

}  // namespace
