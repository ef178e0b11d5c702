// The main window driven headless: its start (config.ini, the Reopen list, the About window), its end (the
// close question, config.ini written or refused), its menus and bindings, the commands of the window
// itself, and the freeing of every record the project holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/IniFiles.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/NetAddress.h"
#include "platform/win/Paths.h"
#include "platform/wsock32/WinSock.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/FileVersion.h"
#include "tool/MainUnit.h"
#include "tool/PreferencesUnit.h"
#include "tool/WindowPositionSizeUnit.h"
#include "tool/WindowSetupUnit.h"
#include "tool/update/CheckForNewVersions.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

const char* const NewUserConfig =
    "[Preferences]\r\nAutoSaveBackup=1\r\nCheckForUpdates=0\r\nUseCompression=1\r\nShowHelpFile=1\r\n"
    "File0=\r\nFile1=\r\nFile2=\r\nFile3=\r\nFile4=\r\nFile5=\r\nFile6=\r\nFile7=\r\nFile8=\r\nFile9=\r\n";

// Each test plays a program installed in a folder of its own, with a fresh project state.
class MainWindowTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        folder_ = StartProgramIn("");
    }
    void TearDown() override
    {
        win::SetProgramPath("");
        VclTest::TearDown();
    }

    const AnsiString& Folder() const { return folder_; }
    AnsiString Config() const { return folder_ + "\\config.ini"; }
    void WriteConfig(const AnsiString& text) const { rtl::WriteWholeFile(Config(), text); }
    AnsiString ReadConfig() const { return rtl::ReadWholeFile(Config()); }

    // The window as the program body makes it: the About window comes first and is answered with OK.
    std::unique_ptr<TfrmMainMenu> Open() { return OpenMainWindow(); }

    static std::vector<AnsiString> ReopenCaptions(const TfrmMainMenu& form)
    {
        std::vector<AnsiString> captions;
        for (int i = 0; i < form.ReopenCount(); ++i)
            captions.push_back(form.ReopenEntry(i)->Caption());
        return captions;
    }

    static void Click(TfrmMainMenu& form, const char* menuItem) { vt::Find<TMenuItem>(form, menuItem).Click(); }

private:
    AnsiString folder_;
};

// ---- start and end

TEST_F(MainWindowTest, ANewUserGetsTheDefaultsAndTheFileIsWrittenAtTheEnd)
{
    ASSERT_FALSE(rtl::FileExists(Config()));
    auto form = Open();
    EXPECT_EQ(vt::ModalFormsShown(), std::vector<AnsiString>{"TfrmAbout"});
    EXPECT_TRUE(vt::Messages().empty());

    const TProjectState& state = ProjectState();
    EXPECT_TRUE(state.AutoSaveBackup);
    EXPECT_FALSE(state.CheckForUpdates);
    EXPECT_TRUE(state.UseCompression);
    EXPECT_TRUE(state.ShowHelpFile);
    EXPECT_EQ(state.WindowWidth, 200);
    EXPECT_EQ(state.WindowHeight, 200);
    EXPECT_EQ(state.PageColor, clWhite);
    EXPECT_FALSE(state.Modified);
    ASSERT_TRUE(state.TocList);
    EXPECT_EQ(state.TocList->Count(), 0);
    EXPECT_EQ(form->CurrentPageIndex, -1);
    EXPECT_EQ(form->ReopenCount(), 0);
    EXPECT_EQ(Application->HelpFile(), Folder() + "\\Help\\Scrivane Help.hlp");
    EXPECT_EQ(form->StatusText(), "File Name:");
    EXPECT_FALSE(form->mmoPage->Visible());
    // Reading creates nothing.
    EXPECT_FALSE(rtl::FileExists(Config()));

    Click(*form, "Exit1");
    EXPECT_EQ(ReadConfig(), NewUserConfig);
    EXPECT_FALSE(ProjectState().TocList);
    EXPECT_TRUE(vt::Messages().empty());
}

TEST_F(MainWindowTest, PreferencesAreIntegersWithTheDefaultForAnythingElse)
{
    struct TCase {
        const char* Value;
        bool Read;  // for every key; "default" rows use each key's own default
        bool Default;
    };
    const TCase cases[] = {
        {"0", false, false},  {"1", true, false},    {"-1", true, false},  {"2", true, false},
        {"0x0", false, false}, {"0X1a", true, false}, {" 0 ", false, false}, {"abc", false, true},
        {"1abc", false, true}, {"0x", false, true},   {"", false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string("value '") + c.Value + "'");
        const AnsiString v = c.Value;
        WriteConfig("[Preferences]\r\nAutoSaveBackup=" + v + "\r\nCheckForUpdates=" + v + "\r\nUseCompression=" + v +
                    "\r\nShowHelpFile=" + v + "\r\n");
        auto form = Open();
        const TProjectState& state = ProjectState();
        EXPECT_EQ(state.AutoSaveBackup, c.Default ? true : c.Read);
        EXPECT_EQ(state.CheckForUpdates, c.Default ? false : c.Read);
        EXPECT_EQ(state.UseCompression, c.Default ? true : c.Read);
        EXPECT_EQ(state.ShowHelpFile, c.Default ? true : c.Read);
    }
}

TEST_F(MainWindowTest, ReopenEntriesAreReadAsStoredAndCloseUp)
{
    WriteConfig("[Preferences]\r\nFile0=\r\nFile1=&1 - C:\\help\\one.wkp\r\nFile4=&4 - C:\\help\\four.wkp\r\n"
                "File9=odd\r\nFile10=&0 - C:\\never.wkp\r\n");
    auto form = Open();
    EXPECT_EQ(ReopenCaptions(*form),
              (std::vector<AnsiString>{"&1 - C:\\help\\one.wkp", "&4 - C:\\help\\four.wkp", "odd"}));
    EXPECT_EQ(TfrmMainMenu::ReopenPath(*form->ReopenEntry(0)), "C:\\help\\one.wkp");
    EXPECT_EQ(TfrmMainMenu::ReopenPath(*form->ReopenEntry(2)), "");
    EXPECT_EQ(form->ReopenEntry(0)->OnClick != nullptr, true);

    // The end writes them back closed up, with the other keys empty.
    Click(*form, "Exit1");
    rtl::TIniFile ini(Config());
    EXPECT_EQ(ini.ReadString("Preferences", "File0", "?"), "&1 - C:\\help\\one.wkp");
    EXPECT_EQ(ini.ReadString("Preferences", "File1", "?"), "&4 - C:\\help\\four.wkp");
    EXPECT_EQ(ini.ReadString("Preferences", "File2", "?"), "odd");
    EXPECT_EQ(ini.ReadString("Preferences", "File3", "?"), "");
    EXPECT_TRUE(ini.ValueExists("Preferences", "File9"));
}

TEST_F(MainWindowTest, ClosingWithUnsavedChangesAsksAndNoLeavesEverythingAsItWas)
{
    const AnsiString before = "[Preferences]\r\nAutoSaveBackup=0\r\nFile0=&0 - C:\\a.wkp\r\n";
    WriteConfig(before);
    auto form = Open();
    ProjectState().Modified = true;
    ProjectState().CheckForUpdates = true;

    vt::AnswerMessage(mrNo);
    Click(*form, "Exit1");
    const vt::TShownMessage& question = vt::LastMessage();
    EXPECT_EQ(question.Caption, "Confirm");
    EXPECT_EQ(question.Text, "The current file has changed since you last saved it.  Do you want to continue and "
                             "lose your changes?");
    EXPECT_EQ(question.Buttons, (std::vector<AnsiString>{"&Yes", "&No"}));
    EXPECT_EQ(ReadConfig(), before);
    EXPECT_TRUE(ProjectState().TocList);

    vt::AnswerMessage(mrYes);
    Click(*form, "Exit1");
    rtl::TIniFile ini(Config());
    EXPECT_EQ(ini.ReadString("Preferences", "CheckForUpdates", ""), "1");
    EXPECT_EQ(ini.ReadString("Preferences", "AutoSaveBackup", ""), "0");
    EXPECT_EQ(ini.ReadString("Preferences", "File0", ""), "&0 - C:\\a.wkp");
}

TEST_F(MainWindowTest, ARefusedWriteIsReportedAndTheWindowStillCloses)
{
    auto form = Open();
    // A folder where the file should be: the write is refused.
    std::filesystem::create_directories(HostPathOf(Config()));
    vt::AnswerMessage(mrOk);
    Click(*form, "Exit1");
    EXPECT_EQ(vt::LastMessage().Text, "Unable to write to " + Config() + ".");
    EXPECT_FALSE(ProjectState().TocList);
    EXPECT_FALSE(form->Visible());
}

TEST_F(MainWindowTest, StartingWithTheUpdateCheckOnShowsAboutThenTheCheckWithoutTheWarning)
{
    // The maker's web server is one of the test's own, on loopback.
    // It answers once the whole request is in: closing on unread bytes resets the connection, a failure.
    TLoopbackPeer server([](int fd, TLoopbackPeer& peer) {
        std::string got;
        while (!got.ends_with("\r\n\r\n")) {
            const size_t had = got.size();
            if (!peer.ReadBytes(fd, 1))
                return;
            got = peer.Received();
            if (got.size() == had)
                return;  // the client closed
        }
        TLoopbackPeer::SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n0.0.0.1\r\nNotes.\r\n");
    });
    const std::string hosts = HostPathOf(win::HostsFilePath());
    std::filesystem::create_directories(std::filesystem::path(hosts).parent_path());
    rtl::WriteWholeFile(win::HostsFilePath(), "127.0.0.1 www.example.com\r\n");
    setenv("SCRIVANE_PORT_MAP", ("80=" + std::to_string(server.Port())).c_str(), 1);
    win::RegisterWinSockModule();

    WriteConfig("[Preferences]\r\nCheckForUpdates=1\r\n");
    auto form = Open();
    bool mainShown = true;
    vt::OnNextModal<TfrmCheckForNewVersions>([&](TfrmCheckForNewVersions& check) {
        mainShown = form->Visible();
        check.FormActivate(&check);  // as showing it does
        EXPECT_EQ(check.lblStatus->Caption(), "New Version Found");
        EXPECT_EQ((*check.mmoVersionNotes->Lines())[1], "You are currently running version: " + GetFileVersionString());
        check.Close();
    });
    form->Show();
    unsetenv("SCRIVANE_PORT_MAP");
    std::filesystem::remove(hosts);
    EXPECT_FALSE(mainShown);  // the check comes before the main window is up
    EXPECT_EQ(vt::ModalFormsShown(), (std::vector<AnsiString>{"TfrmAbout", "TfrmCheckForNewVersions"}));
    EXPECT_TRUE(vt::Messages().empty());
}

// ---- the Reopen list

class ReopenListTest : public MainWindowTest {
protected:
    std::unique_ptr<TfrmMainMenu> OpenWith(const std::vector<AnsiString>& paths)
    {
        AnsiString text = "[Preferences]\r\n";
        for (size_t i = 0; i < paths.size(); ++i)
            text += "File" + rtl::IntToStr(i) + "=&" + rtl::IntToStr(i) + " - " + paths[i] + "\r\n";
        WriteConfig(text);
        return Open();
    }
};

TEST_F(ReopenListTest, AnOpenedFileMovesToTheTopAndTheOthersAreRenumbered)
{
    auto form = OpenWith({"C:\\a.wkp", "C:\\b.wkp", "C:\\c.wkp", "C:\\d.wkp"});
    form->UpdateReopenList("C:\\c.wkp");
    EXPECT_EQ(ReopenCaptions(*form),
              (std::vector<AnsiString>{"&0 - C:\\c.wkp", "&1 - C:\\a.wkp", "&2 - C:\\b.wkp", "&3 - C:\\d.wkp"}));

    // A file not yet listed pushes the others down.
    form->UpdateReopenList("C:\\new.wkp");
    EXPECT_EQ(ReopenCaptions(*form), (std::vector<AnsiString>{"&0 - C:\\new.wkp", "&1 - C:\\c.wkp", "&2 - C:\\a.wkp",
                                                              "&3 - C:\\b.wkp", "&4 - C:\\d.wkp"}));
    // Every entry, old and new, runs the Reopen command.
    for (int i = 0; i < form->ReopenCount(); ++i)
        EXPECT_TRUE(form->ReopenEntry(i)->OnClick != nullptr);
}

TEST_F(ReopenListTest, OnlyTheLettersAToZCompareWithoutCase)
{
    auto form = OpenWith({"C:\\Help\\Demo.wkp", "C:\\help\\\xC9t\xE9.wkp", "C:\\Help\\Demo.wkp"});
    // Both entries naming the same file go, whatever their case.
    form->UpdateReopenList("c:\\HELP\\demo.WKP");
    EXPECT_EQ(ReopenCaptions(*form), (std::vector<AnsiString>{"&0 - c:\\HELP\\demo.WKP", "&1 - C:\\help\\\xC9t\xE9.wkp"}));
    // Accented letters keep their case: "é" is not "É" here.
    form->UpdateReopenList("C:\\help\\\xC9T\xC9.wkp");
    EXPECT_EQ(form->ReopenCount(), 3);
    form->UpdateReopenList("C:\\HELP\\\xC9T\xC9.WKP");
    EXPECT_EQ(form->ReopenCount(), 3);
}

TEST_F(ReopenListTest, TheEleventhFileDropsTheOldest)
{
    std::vector<AnsiString> paths;
    for (int i = 0; i < 10; ++i)
        paths.push_back("C:\\p" + rtl::IntToStr(i) + ".wkp");
    auto form = OpenWith(paths);
    ASSERT_EQ(form->ReopenCount(), 10);
    form->UpdateReopenList("C:\\eleventh.wkp");
    ASSERT_EQ(form->ReopenCount(), 10);
    EXPECT_EQ(form->ReopenEntry(0)->Caption(), "&0 - C:\\eleventh.wkp");
    EXPECT_EQ(form->ReopenEntry(1)->Caption(), "&1 - C:\\p0.wkp");
    EXPECT_EQ(form->ReopenEntry(9)->Caption(), "&9 - C:\\p8.wkp");

    // Renumbering touches only the digit, even of a caption that was stored out of order.
    Application->ProcessMessages();
    Click(*form, "Exit1");
    rtl::TIniFile ini(Config());
    EXPECT_EQ(ini.ReadString("Preferences", "File9", ""), "&9 - C:\\p8.wkp");
}

TEST_F(ReopenListTest, TheClickedEntryMayRemoveItselfAndIsFreedOnlyAfterItsClick)
{
    auto form = OpenWith({"C:\\a.wkp", "C:\\b.wkp", "C:\\c.wkp"});
    TMenuItem* clicked = form->ReopenEntry(2);
    TComponentRef<TMenuItem> watch = clicked;
    AnsiString seenAfterUpdate;
    clicked->OnClick = [&form, &seenAfterUpdate](TObject* sender) {
        auto* entry = static_cast<TMenuItem*>(sender);
        form->UpdateReopenList(TfrmMainMenu::ReopenPath(*entry));
        // Still alive: the handler may go on using its entry.
        seenAfterUpdate = entry->Caption();
    };
    clicked->Click();
    EXPECT_EQ(seenAfterUpdate, "&2 - C:\\c.wkp");
    EXPECT_EQ(ReopenCaptions(*form), (std::vector<AnsiString>{"&0 - C:\\c.wkp", "&1 - C:\\a.wkp", "&2 - C:\\b.wkp"}));
    EXPECT_TRUE(watch);
    Application->ProcessMessages();
    EXPECT_FALSE(watch);
}

// ---- menus, bindings, layout

TEST_F(MainWindowTest, TheMenuBarRunsTheHandlersByName)
{
    struct TEntry {
        const char* Item;
        const char* Caption;
        const char* ShortCut;
        int HelpContext;
        const char* Handler;
    };
    const TEntry entries[] = {
        {"File1", "&File", "", 3, ""},
        {"New1", "&New", "Ctrl+N", 0, "New1Click"},
        {"Open1", "&Open", "Ctrl+O", 0, "Open1Click"},
        {"Reopen1", "&Reopen", "", 0, ""},
        {"Save1", "&Save", "Ctrl+S", 0, "Save1Click"},
        {"SaveAs1", "Save &As", "", 0, "SaveAs1Click"},
        {"Preferences1", "&Preferences", "", 4, "Preferences1Click"},
        {"Exit1", "E&xit", "", 0, "Exit1Click"},
        {"Project1", "P&roject", "", 5, ""},
        {"HelpFileName1", "&Help File Name", "", 6, "HelpFileName1Click"},
        {"HelpWindow1", "Help &Window Colors", "", 7, "HelpWindow1Click"},
        {"HelpWindowPositionSize1", "Help Window &Position / Size", "", 8, "HelpWindowPositionSize1Click"},
        {"TableOfContents1", "&Table Of Contents", "Ctrl+T", 9, "TableOfContents1Click"},
        {"MakeHelpFile1", "&Make The Help File", "Ctrl+M", 10, "MakeHelpFile1Click"},
        {"ExportTo1", "&Export To", "", 11, ""},
        {"RTF1", "Rich Text File (RTF)", "", 0, "RTF1Click"},
        {"TXT1", "Text File (TXT)", "", 0, "TXT1Click"},
        {"HTML1", "HTML File (HTML)", "", 0, "HTML1Click"},
        {"RichTextFileRTF1", "Rich Text File (RTF)", "", 0, "RichTextFileRTF1Click"},
        {"TextFileTXT1", "Text File (TXT)", "", 0, "TextFileTXT1Click"},
        {"Page1", "&Page", "", 12, ""},
        {"AddPage", "&Add", "Ctrl+P", 0, "AddPageClick"},
        {"DeletePage", "&Delete", "", 0, "DeletePageClick"},
        {"PropertiesPage", "&Properties", "", 0, "PropertiesPageClick"},
        {"Header1", "Page &Header", "", 0, "Header1Click"},
        {"Links1", "&Links", "", 13, ""},
        {"AddLink", "&Add", "Ctrl+L", 0, "AddLinkClick"},
        {"DeleteLink", "&Delete", "", 0, "DeleteLinkClick"},
        {"PropertiesLink", "&Properties", "", 0, "PropertiesLinkClick"},
        {"InsertLinkAtCursor1", "&Insert At Cursor", "", 0, "InsertLinkAtCursor1Click"},
        {"RemoveLinkAtCursor1", "&Remove Link At Cursor", "", 0, "RemoveLinkAtCursor1Click"},
        {"Pictures1", "&Pictures", "", 14, ""},
        {"AddPic", "&Add", "Ctrl+I", 0, "AddPicClick"},
        {"DeletePic", "&Delete", "", 0, "DeletePicClick"},
        {"InsertPictureAtCursor2", "&Insert At Cursor", "", 0, "InsertPictureAtCursor2Click"},
        {"RemovePictureAtCursor1", "&Remove Picture At Cursor", "", 0, "RemovePictureAtCursor1Click"},
        {"Text1", "&Text", "", 15, ""},
        {"mnuFont", "Change &Font", "Ctrl+F", 0, "mnuFontClick"},
        {"Bold1", "Toggle &Bold", "Ctrl+B", 0, "Bold1Click"},
        {"Italic1", "Toggle &Italic", "Ctrl+A", 0, "Italic1Click"},
        {"Left1", "&Left Justify", "", 0, "Left1Click"},
        {"RightJustify1", "&Right Justify", "", 0, "RightJustify1Click"},
        {"CenterJustify1", "C&enter Justify", "", 0, "CenterJustify1Click"},
        {"Cut1", "C&ut", "Ctrl+X", 0, "Cut1Click"},
        {"Copy1", "&Copy", "Ctrl+C", 0, "Copy1Click"},
        {"Paste1", "&Paste", "Ctrl+V", 0, "Paste1Click"},
        {"Help1", "&Help", "", 16, ""},
        {"HelpFile1", "&Help File", "F1", 0, "HelpFile1Click"},
        {"CheckForUpdates1", "&Check For Updates", "", 0, "CheckForUpdates1Click"},
        {"HalvernHomePage1", "&Halvern Home Page", "", 0, "HalvernHomePage1Click"},
        {"ScrivaneHomePage1", "Scrivane Home &Page", "", 0, "ScrivaneHomePage1Click"},
        {"About1", "&About", "", 0, "About1Click"},
    };
    auto form = Open();
    for (const TEntry& e : entries) {
        SCOPED_TRACE(e.Item);
        auto& item = vt::Find<TMenuItem>(*form, e.Item);
        EXPECT_EQ(item.Caption(), e.Caption);
        EXPECT_EQ(ShortCutToText(item.ShortCut()), e.ShortCut);
        EXPECT_EQ(item.HelpContext(), e.HelpContext);
        EXPECT_EQ(item.EventHandlerName("OnClick"), e.Handler);
        EXPECT_EQ(item.OnClick != nullptr, *e.Handler != '\0');
    }
    // The import menu is there but hidden; the top level is in the table's order.
    EXPECT_FALSE(vt::Find<TMenuItem>(*form, "ImportFrom1").Visible());
    std::vector<AnsiString> top;
    for (int i = 0; i < form->MainMenu1->Items()->Count(); ++i)
        top.push_back(form->MainMenu1->Items()->Items(i)->Name());
    EXPECT_EQ(top, (std::vector<AnsiString>{"File1", "Project1", "Page1", "Links1", "Pictures1", "Text1", "Help1"}));
    EXPECT_EQ(form->MainMenu1->FindShortCut(TextToShortCut("F1")), &vt::Find<TMenuItem>(*form, "HelpFile1"));
}

TEST_F(MainWindowTest, ListsEditorButtonsAndPopupMenusAreBound)
{
    auto form = Open();
    struct TBinding {
        const char* Component;
        const char* Event;
        const char* Handler;
    };
    const TBinding bindings[] = {
        {"lstPages", "OnClick", "lstPagesClick"},
        {"lstPages", "OnDblClick", "PropertiesPageClick"},
        {"lstPages", "OnMouseDown", "lstLinksMouseDown"},
        {"lstPages", "OnKeyUp", "lstPagesKeyUp"},
        {"lstLinks", "OnDblClick", "PropertiesLinkClick"},
        {"lstLinks", "OnMouseDown", "lstLinksMouseDown"},
        {"lstLinks", "OnKeyUp", "lstLinksKeyUp"},
        {"lstPictures", "OnMouseDown", "lstLinksMouseDown"},
        {"lstPictures", "OnKeyUp", "lstPicturesKeyUp"},
        {"SpinButton1", "OnUpClick", "SpinButton1UpClick"},
        {"SpinButton1", "OnDownClick", "SpinButton1DownClick"},
        {"mmoPage", "OnKeyPress", "mmoPageKeyPress"},
        {"mmoPage", "OnProtectChange", "mmoPageProtectChange"},
        {"btnBold", "OnClick", "Bold1Click"},
        {"btnItalic", "OnClick", "Italic1Click"},
        {"btnLeft", "OnClick", "Left1Click"},
        {"btnCenter", "OnClick", "CenterJustify1Click"},
        {"btnRight", "OnClick", "RightJustify1Click"},
        {"frmMainMenu", "OnCreate", "FormCreate"},
        {"frmMainMenu", "OnShow", "FormShow"},
        {"frmMainMenu", "OnClose", "FormClose"},
    };
    for (const TBinding& b : bindings) {
        SCOPED_TRACE(std::string(b.Component) + "." + b.Event);
        const TComponent& component = form->Name() == b.Component ? *form : vt::FindComponent(*form, b.Component);
        EXPECT_EQ(component.EventHandlerName(b.Event), b.Handler);
    }

    // The popup menus: each list's own, and the editor's with its three submenus.
    EXPECT_EQ(form->lstPages->PopupMenu(), &vt::Find<TPopupMenu>(*form, "popPages"));
    EXPECT_EQ(form->lstLinks->PopupMenu(), &vt::Find<TPopupMenu>(*form, "popLinks"));
    EXPECT_EQ(form->lstPictures->PopupMenu(), &vt::Find<TPopupMenu>(*form, "popPictures"));
    auto& editorMenu = vt::Find<TPopupMenu>(*form, "popEditor");
    EXPECT_EQ(form->mmoPage->PopupMenu(), &editorMenu);
    auto captions = [](const TMenuItem& menu) {
        std::vector<AnsiString> result;
        for (int i = 0; i < menu.Count(); ++i)
            result.push_back(menu.Items(i)->Caption() + (menu.Items(i)->OnClick || menu.Items(i)->IsLine() ||
                                                                 menu.Items(i)->Count() > 0
                                                             ? ""
                                                             : " (unbound)"));
        return result;
    };
    EXPECT_EQ(captions(*editorMenu.Items()), (std::vector<AnsiString>{"&Text", "&Pictures", "&Links"}));
    EXPECT_EQ(captions(*editorMenu.Items()->Items(0)),
              (std::vector<AnsiString>{"Change &Font", "-", "Toggle &Bold", "Toggle &Italics", "-", "&Cut", "C&opy",
                                       "P&aste", "-", "&Left Justify", "C&enter Justify", "&Right Justify"}));
    EXPECT_EQ(captions(*editorMenu.Items()->Items(2)), (std::vector<AnsiString>{"&Insert At Cursor", "&Remove At Cursor"}));
    EXPECT_EQ(captions(*vt::Find<TPopupMenu>(*form, "popPages").Items()),
              (std::vector<AnsiString>{"&Add", "&Delete", "-", "&Properties", "Page &Header"}));
    EXPECT_EQ(captions(*vt::Find<TPopupMenu>(*form, "popLinks").Items()),
              (std::vector<AnsiString>{"&Add", "&Delete", "-", "&Properties", "&Insert At Cursor"}));
    EXPECT_EQ(captions(*vt::Find<TPopupMenu>(*form, "popPictures").Items()),
              (std::vector<AnsiString>{"&Add", "&Delete", "-", "&Insert At Cursor"}));
    EXPECT_EQ(vt::Find<TMenuItem>(*form, "popInsertLinkAtCursor").EventHandlerName("OnClick"), "InsertLinkAtCursor1Click");
    EXPECT_EQ(vt::Find<TMenuItem>(*form, "popRemovePicture").EventHandlerName("OnClick"), "RemovePictureAtCursor1Click");
}

TEST_F(MainWindowTest, TheLayoutHasItsColumnsBarsAndEditor)
{
    auto form = Open();
    EXPECT_EQ(form->Width(), 746);
    EXPECT_EQ(form->Height(), 504);

    auto& left = vt::Find<TPanel>(*form, "pnlLeft");
    EXPECT_EQ(left.Width(), 169);
    EXPECT_EQ(vt::Find<TSplitter>(*form, "Splitter3").Width(), 4);
    EXPECT_EQ(vt::Find<TSplitter>(*form, "Splitter3").Left(), 169);
    // Top to bottom: caption, pages, splitter, caption, links, splitter, caption, pictures to the bottom.
    const char* const column[] = {"pnlPagesCaption", "lstPages", "Splitter1", "pnlLinksCaption", "lstLinks",
                                  "Splitter2", "pnlPicturesCaption", "lstPictures"};
    int y = 0;
    for (const char* name : column) {
        SCOPED_TRACE(name);
        auto& control = dynamic_cast<TControl&>(vt::FindComponent(*form, name));
        EXPECT_EQ(control.Parent(), &left);
        EXPECT_EQ(control.Top(), y);
        EXPECT_EQ(control.Width(), 169);
        EXPECT_GT(control.Height(), 0);
        y = control.Top() + control.Height();
    }
    EXPECT_EQ(y, left.ClientHeight());
    EXPECT_EQ(form->SpinButton1->Parent(), &vt::Find<TPanel>(*form, "pnlPagesCaption"));

    // Once a page is shown, the editor fills the page area below its caption bar with the five buttons.
    form->mmoPage->Show();
    auto& page = vt::Find<TPanel>(*form, "pnlPage");
    EXPECT_EQ(page.Left(), 173);
    EXPECT_EQ(form->mmoPage->Top(), vt::Find<TPanel>(*form, "pnlPageCaption").Height());
    EXPECT_EQ(form->mmoPage->Width(), page.ClientWidth());
    EXPECT_EQ(form->mmoPage->Top() + form->mmoPage->Height(), page.ClientHeight());
    EXPECT_EQ(form->mmoPage->Font()->Name(), "Arial");
    EXPECT_EQ(form->mmoPage->Font()->Height(), -13);

    ASSERT_EQ(form->StatusBar1->Panels()->Count(), 1);
    EXPECT_EQ(form->StatusBar1->Align(), alBottom);
    EXPECT_EQ(form->StatusBar1->Top() + form->StatusBar1->Height(), form->ClientHeight());
    EXPECT_EQ(left.Top() + left.Height(), form->StatusBar1->Top());
    form->SetStatusText("File Name:  C:\\help\\demo.wkp");
    EXPECT_EQ(form->StatusBar1->Panels()->Items(0)->Text(), "File Name:  C:\\help\\demo.wkp");
}

// ---- the window's own commands

TEST_F(MainWindowTest, TheHelpFileNameIsAskedForAndAnEmptyAnswerKeepsIt)
{
    auto form = Open();
    ProjectState().HelpFileName = "old";
    vt::AnswerInput("demo");
    Click(*form, "HelpFileName1");
    const vt::TShownMessage& box = vt::LastMessage();
    EXPECT_EQ(box.Caption, "Help File Name");
    EXPECT_EQ(box.Text, "Enter the name of the help file.");
    EXPECT_EQ(ProjectState().HelpFileName, "demo");
    EXPECT_TRUE(ProjectState().Modified);

    ProjectState().Modified = false;
    vt::AnswerInput("");
    Click(*form, "HelpFileName1");
    EXPECT_EQ(ProjectState().HelpFileName, "demo");
    EXPECT_TRUE(ProjectState().Modified);
    vt::CancelInput();
    Click(*form, "HelpFileName1");
    EXPECT_EQ(ProjectState().HelpFileName, "demo");
}

TEST_F(MainWindowTest, TheColourDialogGetsTheColoursAndGivesThemBackHoweverItCloses)
{
    auto form = Open();
    ProjectState().PageColor = TColor(0x00C0FFEE);
    ProjectState().HeaderColor = clYellow;
    vt::OnNextModal<TfrmWindowSetup>([](TfrmWindowSetup& dialog) {
        EXPECT_EQ(dialog.pnlPageColor->Color(), TColor(0x00C0FFEE));
        EXPECT_EQ(dialog.pnlHeaderColor->Color(), clYellow);
        vt::AnswerColorDialog(clRed);
        vt::Click(*dialog.pnlHeaderColor);
        vt::CancelDialog();
        vt::Click(*dialog.pnlPageColor);
        vt::CloseByCloseBox(dialog);
    });
    Click(*form, "HelpWindow1");
    EXPECT_EQ(ProjectState().HeaderColor, clRed);
    EXPECT_EQ(ProjectState().PageColor, TColor(0x00C0FFEE));
    EXPECT_EQ(form->mmoPage->Color(), TColor(0x00C0FFEE));
    EXPECT_TRUE(ProjectState().Modified);
    ASSERT_EQ(vt::Dialogs().size(), 2u);
    EXPECT_EQ(vt::Dialogs()[0].Kind, "Color");
}

TEST_F(MainWindowTest, ThePositionDialogGetsTheFourValuesAndGivesThemBack)
{
    auto form = Open();
    ProjectState().WindowLeft = 10;
    ProjectState().WindowTop = 20;
    vt::OnNextModal<TfrmWindowPositionSize>([](TfrmWindowPositionSize& dialog) {
        EXPECT_EQ(dialog.edtLeft->Text(), "10");
        EXPECT_EQ(dialog.edtTop->Text(), "20");
        EXPECT_EQ(dialog.edtWidth->Text(), "200");
        EXPECT_EQ(dialog.edtHeight->Text(), "200");
        vt::SetText(*dialog.edtLeft, "-20");
        vt::SetText(*dialog.edtHeight, "50");
        vt::Click(*dialog.btnOK);
    });
    Click(*form, "HelpWindowPositionSize1");
    EXPECT_EQ(ProjectState().WindowLeft, -20);
    EXPECT_EQ(ProjectState().WindowTop, 20);
    EXPECT_EQ(ProjectState().WindowWidth, 200);
    EXPECT_EQ(ProjectState().WindowHeight, 50);
    EXPECT_TRUE(ProjectState().Modified);
}

TEST_F(MainWindowTest, HelpUpdatesHomePagesAndAbout)
{
    auto form = Open();
    Click(*form, "HelpFile1");
    ASSERT_FALSE(vt::HelpRequests().empty());
    EXPECT_EQ(vt::HelpRequests().back().HelpFile, Folder() + "\\Help\\Scrivane Help.hlp");
    EXPECT_EQ(vt::HelpRequests().back().Topic, "Overview");

    // The update check warns first; Cancel ends it.
    vt::AnswerMessage(mrCancel);
    Click(*form, "CheckForUpdates1");
    EXPECT_EQ(vt::LastMessage().Caption, "Warning");
    EXPECT_EQ(vt::LastMessage().Text, "This feature requires an internet connection.  Please make sure you are "
                                      "connected to the internet before hitting OK.");
    EXPECT_EQ(vt::LastMessage().Buttons, (std::vector<AnsiString>{"OK", "Cancel"}));
    vt::AnswerMessage(mrOk);
    vt::OnNextModal<TfrmCheckForNewVersions>([](TfrmCheckForNewVersions& check) { check.Close(); });
    Click(*form, "CheckForUpdates1");

    Click(*form, "HalvernHomePage1");
    Click(*form, "ScrivaneHomePage1");
    const std::vector<win::TShellRequest> requests = vt::ShellRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Operation, "open");
    EXPECT_EQ(requests[0].File, "URL:http://www.example.com/");
    EXPECT_EQ(requests[1].File, "URL:http://www.example.com/products/applications/scrivane/index.shtml");
    EXPECT_EQ(requests[1].ShowCommand, win::SW_SHOWNORMAL);
    EXPECT_FALSE(requests[1].Started);

    vt::OnNextModal<TfrmAbout>([](TfrmAbout& about) { vt::Click(*about.btnOK); });
    vt::OnNextModal<TfrmPreferences>([](TfrmPreferences& dialog) { vt::Click(*dialog.btnCancel); });
    Click(*form, "About1");
    Click(*form, "Preferences1");
    EXPECT_EQ(vt::ModalFormsShown(), (std::vector<AnsiString>{"TfrmAbout", "TfrmCheckForNewVersions", "TfrmAbout",
                                                              "TfrmPreferences"}));
    EXPECT_FALSE(ProjectState().Modified);
}

// ---- freeing

int linksFreed = 0, pagesFreed = 0, entriesFreed = 0;

struct TCountedLink : TLinkObject {
    ~TCountedLink() override { ++linksFreed; }
};
struct TCountedPage : TPageObject {
    ~TCountedPage() override { ++pagesFreed; }
};
struct TCountedEntry : TTocObject {
    ~TCountedEntry() override { ++entriesFreed; }
};

class FreeingTest : public MainWindowTest {
protected:
    // Two pages; the first is shown, its working list holding its two links and one added since the
    // last flush; the second has a link of its own; two contents entries.
    void Fill(TfrmMainMenu& form)
    {
        linksFreed = pagesFreed = entriesFreed = 0;
        auto* first = new TCountedPage;
        for (const char* name : {"One", "Two"})
            first->Links.AddObject(name, new TCountedLink);
        auto* second = new TCountedPage;
        second->Links.AddObject("Other", new TCountedLink);
        form.lstPages->Items()->AddObject("First", first);
        form.lstPages->Items()->AddObject("Second", second);
        form.CurrentPageIndex = 0;
        form.lstLinks->Items()->AddObject("One", first->Links.Objects(0));
        form.lstLinks->Items()->AddObject("Two", first->Links.Objects(1));
        form.lstLinks->Items()->AddObject("Added", new TCountedLink);
        form.lstPictures->Items()->Add("pics\\a.bmp");
        ProjectState().TocList->AddObject("Group", new TCountedEntry);
        ProjectState().TocList->AddObject("\tTopic", new TCountedEntry);
    }
};

TEST_F(FreeingTest, ClosingFreesEveryRecordOnce)
{
    auto form = Open();
    Fill(*form);
    Click(*form, "Exit1");
    EXPECT_EQ(linksFreed, 4);
    EXPECT_EQ(pagesFreed, 2);
    EXPECT_EQ(entriesFreed, 2);
    EXPECT_EQ(form->lstPages->Items()->Count(), 0);
    EXPECT_EQ(form->lstLinks->Items()->Count(), 0);
    EXPECT_EQ(form->lstPictures->Items()->Count(), 0);
    form.reset();
    EXPECT_EQ(linksFreed, 4);
}

TEST_F(FreeingTest, NewAndDestructionFreeWhatIsLeftAndAFreedLinkLeavesEveryList)
{
    auto form = Open();
    Fill(*form);
    // The shown page's first link, reached through both lists, goes once.
    form->FreeWorkingLink(0);
    EXPECT_EQ(linksFreed, 1);
    auto* first = static_cast<TPageObject*>(form->lstPages->Items()->Objects(0));
    EXPECT_EQ(first->Links.IndexOf("One"), -1);
    EXPECT_EQ(form->lstLinks->Items()->IndexOf("One"), -1);
    // The added one is in no page yet.
    form->FreeWorkingLink(form->lstLinks->Items()->IndexOf("Added"));
    EXPECT_EQ(linksFreed, 2);

    form->FreeProject();
    EXPECT_EQ(linksFreed, 4);
    EXPECT_EQ(pagesFreed, 2);
    EXPECT_EQ(entriesFreed, 2);
    ASSERT_TRUE(ProjectState().TocList);
    EXPECT_EQ(ProjectState().TocList->Count(), 0);

    // A window freed without closing still frees what it holds.
    Fill(*form);
    form.reset();
    EXPECT_EQ(linksFreed, 4);
    EXPECT_EQ(pagesFreed, 2);
}

}  // namespace
