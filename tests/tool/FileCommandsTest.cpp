// The File commands driven headless through the main window: New with its question, Open, Save, Save As,
// Reopen, failed loads and saves that lose nothing, the project named on the command line, and the demo
// project opened and saved again byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Messages.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tool/AboutUnit.h"
#include "tool/MainUnit.h"
#include "tool/update/CheckForNewVersions.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

AnsiString Crlf(std::initializer_list<const char*> lines)
{
    AnsiString text;
    for (const char* line : lines)
        text += AnsiString(line) + "\r\n";
    return text;
}

// Two empty pages, the help window at 5,6 sized 300 by 400.
const AnsiString TwoPages = Crlf({"WKPFILEVERSION", "3", "demo.hlp", "255", "65280", "5", "6", "300", "400", "0", "2",
                                  "One", "", "", "", "", "0", "0", "0", "0", "Two", "", "", "", "", "0", "0", "0", "0"});
// The second page has letters where its text count belongs.
const AnsiString Damaged = Crlf({"WKPFILEVERSION", "3", "demo.hlp", "255", "65280", "5", "6", "300", "400", "1",
                                 "Group", "Group", "", "TRUE", "2", "One", "", "", "", "", "0", "0", "0", "0", "Two",
                                 "", "", "", "", "abc"});

class FileCommandsTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        static int run = 0;
        const AnsiString folder = "C:\\Program Files\\Scrivane Files " + rtl::IntToStr(++run);
        projects_ = "C:\\Projects " + rtl::IntToStr(run);
        for (const AnsiString& f : {folder, projects_})
            std::filesystem::create_directories(win::HostPathFromWindows(f).value_or(""));
        win::SetProgramPath(folder + "\\Scrivane.exe");
        config_ = folder + "\\config.ini";
        StartWith({});
        ProjectState() = TProjectState();
    }
    void TearDown() override
    {
        win::SetProgramPath("");
        VclTest::TearDown();
    }

    static void StartWith(std::initializer_list<const char*> arguments)
    {
        std::vector<const char*> argv{"Scrivane"};
        argv.insert(argv.end(), arguments);
        win::SetCommandLine(static_cast<int>(argv.size()), argv.data());
    }
    std::unique_ptr<TfrmMainMenu> Open(const AnsiString& config = "[Preferences]\r\n")
    {
        rtl::WriteWholeFile(config_, config);
        vt::OnNextModal<TfrmAbout>([](TfrmAbout& about) { vt::Click(*about.btnOK); });
        std::unique_ptr<TfrmMainMenu> form(new TfrmMainMenu(Application));
        form->Show();
        return form;
    }
    AnsiString Project(const char* name, const AnsiString& bytes = TwoPages) const
    {
        const AnsiString path = projects_ + "\\" + name;
        rtl::WriteWholeFile(path, bytes);
        return path;
    }
    // A menu command as the window system runs it: an escaping error is reported in a message box.
    static void Run(TMenuItem& item) { DispatchGuarded([&] { item.Click(); }); }
    static void Run(TfrmMainMenu& form, const char* item) { Run(vt::Find<TMenuItem>(form, item)); }
    void OpenProject(TfrmMainMenu& form, const AnsiString& path)
    {
        vt::AnswerFileDialog(path);
        Run(form, "Open1");
    }
    static std::vector<AnsiString> Items(const rtl::TStrings& list)
    {
        std::vector<AnsiString> items;
        for (int i = 0; i < list.Count(); ++i)
            items.push_back(list.Strings(i));
        return items;
    }
    static std::vector<AnsiString> ReopenPaths(const TfrmMainMenu& form)
    {
        std::vector<AnsiString> paths;
        for (int i = 0; i < form.ReopenCount(); ++i)
            paths.push_back(form.ReopenEntry(i)->Caption());
        return paths;
    }

    AnsiString projects_;
    AnsiString config_;
};

TEST_F(FileCommandsTest, OpenLoadsTheProjectAndListsItForReopen)
{
    auto form = Open("[Preferences]\r\nFile0=&0 - C:\\old.wkp\r\n");
    const AnsiString path = Project("two.wkp");
    OpenProject(*form, path);

    ASSERT_EQ(vt::Dialogs().size(), 1u);
    EXPECT_EQ(vt::Dialogs()[0].Kind, "Open");
    EXPECT_EQ(vt::Dialogs()[0].Filter, "Help Project|*.wkp|All Files|*.*");
    EXPECT_EQ(vt::Dialogs()[0].DefaultExt, "wkp");
    const TProjectState& state = ProjectState();
    EXPECT_EQ(state.ProjectFileName, path);
    EXPECT_EQ(state.HelpFileName, "demo.hlp");
    EXPECT_FALSE(state.Modified);
    EXPECT_EQ(Items(*form->lstPages->Items()), (std::vector<AnsiString>{"One", "Two"}));
    EXPECT_EQ(form->lstPages->ItemIndex(), -1);
    EXPECT_FALSE(form->mmoPage->Visible());
    EXPECT_EQ(form->mmoPage->Color(), TColor(255));
    EXPECT_EQ(form->StatusText(), "File Name:  " + path);
    EXPECT_EQ(ReopenPaths(*form), (std::vector<AnsiString>{"&0 - " + path, "&1 - C:\\old.wkp"}));
    // The progress window is gone and gave the window back.
    EXPECT_TRUE(form->Enabled());
    EXPECT_TRUE(vt::Messages().empty());

    // Cancel ends the command with nothing changed.
    vt::CancelDialog();
    Run(*form, "Open1");
    EXPECT_EQ(form->lstPages->Items()->Count(), 2);
    EXPECT_EQ(state.ProjectFileName, path);
}

TEST_F(FileCommandsTest, NewAsksAboutChangesAndKeepsOnlyTheHelpWindowsPlace)
{
    auto form = Open();
    const AnsiString path = Project("two.wkp");
    OpenProject(*form, path);
    TProjectState& state = ProjectState();

    // A project's page colour, as loading it shows it in the editor.
    state.PageColor = clYellow;
    form->mmoPage->SetColor(clYellow);

    // No: nothing is written.
    state.HelpFileName = "changed.hlp";
    state.Modified = true;
    vt::AnswerMessage(mrNo);
    Run(*form, "New1");
    EXPECT_EQ(vt::LastMessage().Caption, "Confirm");
    EXPECT_EQ(vt::LastMessage().Text,
              "The current file has changed since you last saved it.  Would you like to save it now?");
    EXPECT_EQ(vt::LastMessage().Buttons, (std::vector<AnsiString>{"&Yes", "&No"}));
    EXPECT_EQ(rtl::ReadWholeFile(path), TwoPages);

    EXPECT_EQ(form->lstPages->Items()->Count(), 0);
    EXPECT_EQ(state.TocList->Count(), 0);
    EXPECT_EQ(state.WindowLeft, 5);
    EXPECT_EQ(state.WindowTop, 6);
    EXPECT_EQ(state.WindowWidth, 200);
    EXPECT_EQ(state.WindowHeight, 200);
    EXPECT_EQ(state.PageColor, clWhite);
    EXPECT_EQ(form->mmoPage->Color(), clWhite);
    EXPECT_EQ(state.HeaderColor, clWhite);
    EXPECT_EQ(state.HelpFileName, "");
    EXPECT_EQ(state.ProjectFileName, "");
    EXPECT_FALSE(state.Modified);
    EXPECT_EQ(form->CurrentPageIndex, -1);
    EXPECT_EQ(form->StatusText(), "File Name:  ");

    // Yes saves first.
    OpenProject(*form, path);
    state.HelpFileName = "changed.hlp";
    state.Modified = true;
    vt::AnswerMessage(mrYes);
    Run(*form, "New1");
    EXPECT_NE(rtl::ReadWholeFile(path).find("\r\nchanged.hlp\r\n"), AnsiString::npos);
    EXPECT_EQ(form->lstPages->Items()->Count(), 0);

    // Yes without a file name asks for one; Cancel there still makes the new project.
    form->lstPages->Items()->AddObject("Loose", new TPageObject);
    state.Modified = true;
    vt::AnswerMessage(mrYes);
    vt::CancelDialog();
    Run(*form, "New1");
    EXPECT_EQ(vt::Dialogs().back().Kind, "Save");
    EXPECT_EQ(form->lstPages->Items()->Count(), 0);
    EXPECT_TRUE(vt::PendingAnswers() == 0);
}

TEST_F(FileCommandsTest, SaveAsWritesANewProjectAndSaveKeepsABackup)
{
    auto form = Open();
    auto* page = new TPageObject;
    page->Name = "Intro";
    form->lstPages->Items()->AddObject(page->Name, page);
    ProjectState().Modified = true;

    // Save without a name is Save As; the first save has nothing to back up and reports nothing.
    const AnsiString path = projects_ + "\\fresh.wkp";
    vt::AnswerFileDialog(projects_ + "\\fresh");
    Run(*form, "Save1");
    EXPECT_EQ(vt::Dialogs().back().Kind, "Save");
    EXPECT_EQ(ProjectState().ProjectFileName, path);
    EXPECT_EQ(rtl::ReadWholeFile(path), Crlf({"WKPFILEVERSION", "3", "", "16777215", "16777215", "0", "0", "200",
                                              "200", "0", "1", "Intro", "", "", "", "", "0", "0", "0", "0"}));
    EXPECT_FALSE(rtl::FileExists(projects_ + "\\fresh.bak"));
    EXPECT_FALSE(ProjectState().Modified);
    EXPECT_EQ(form->StatusText(), "File Name:  " + path);
    EXPECT_EQ(ReopenPaths(*form), std::vector<AnsiString>{"&0 - " + path});
    EXPECT_TRUE(vt::Messages().empty());

    // Save again: the backup holds what was there; no dialog this time.
    const AnsiString first = rtl::ReadWholeFile(path);
    ProjectState().HelpFileName = "second.hlp";
    Run(*form, "Save1");
    EXPECT_EQ(vt::Dialogs().size(), 1u);
    EXPECT_EQ(rtl::ReadWholeFile(projects_ + "\\fresh.bak"), first);
    EXPECT_NE(rtl::ReadWholeFile(path), first);

    // Save As cancelled saves nothing and keeps the name.
    ProjectState().HelpFileName = "third.hlp";
    vt::CancelDialog();
    Run(*form, "SaveAs1");
    EXPECT_EQ(ProjectState().ProjectFileName, path);
    EXPECT_EQ(rtl::ReadWholeFile(path).find("third.hlp"), AnsiString::npos);

    // With backups off no backup is made.
    ProjectState().AutoSaveBackup = false;
    vt::AnswerFileDialog(projects_ + "\\other.wkp");
    Run(*form, "SaveAs1");
    Run(*form, "Save1");
    EXPECT_FALSE(rtl::FileExists(projects_ + "\\other.bak"));
}

TEST_F(FileCommandsTest, AFailedSaveLeavesTheOldFileAndTheChanges)
{
    auto form = Open();
    const AnsiString path = Project("two.wkp");
    OpenProject(*form, path);
    ProjectState().HelpFileName = "changed.hlp";
    ProjectState().Modified = true;

    win::HANDLE lock = win::CreateFile(path.c_str(), win::GENERIC_READ, win::FILE_SHARE_READ, nullptr,
                                       win::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, win::INVALID_HANDLE_VALUE);
    vt::AnswerMessage(mrOk);
    Run(*form, "Save1");
    EXPECT_EQ(vt::LastMessage().Text, "I/O error 32.");
    EXPECT_EQ(rtl::ReadWholeFile(path), TwoPages);
    EXPECT_TRUE(ProjectState().Modified);
    EXPECT_TRUE(form->Enabled());

    // New that cannot save what it was asked to save stops and keeps the project.
    vt::AnswerMessage(mrYes);
    vt::AnswerMessage(mrOk);
    Run(*form, "New1");
    EXPECT_EQ(vt::LastMessage().Text, "I/O error 32.");
    EXPECT_EQ(form->lstPages->Items()->Count(), 2);
    EXPECT_EQ(ProjectState().ProjectFileName, path);
    EXPECT_TRUE(ProjectState().Modified);
    win::CloseHandle(lock);
    // No temporary file is left beside the project.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(win::HostPathFromWindows(projects_).value_or("")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"two.bak", "two.wkp"}));
}

TEST_F(FileCommandsTest, AFailedLoadKeepsWhatWasReadAndNothingElse)
{
    auto form = Open("[Preferences]\r\nFile0=&0 - C:\\old.wkp\r\n");
    const AnsiString path = Project("damaged.wkp", Damaged);
    vt::AnswerMessage(mrOk);
    OpenProject(*form, path);
    EXPECT_EQ(vt::LastMessage().Text, "Invalid numeric input.");
    EXPECT_EQ(vt::LastMessage().Caption, Application->Title());
    EXPECT_EQ(ProjectState().ProjectFileName, "");
    EXPECT_FALSE(ProjectState().Modified);
    EXPECT_EQ(ReopenPaths(*form), std::vector<AnsiString>{"&0 - C:\\old.wkp"});
    EXPECT_EQ(Items(*ProjectState().TocList), std::vector<AnsiString>{"Group"});
    EXPECT_EQ(Items(*form->lstPages->Items()), std::vector<AnsiString>{"One"});
    EXPECT_EQ(form->StatusText(), "File Name:  ");
    EXPECT_TRUE(form->Enabled());
}

// While the pages arrive, the messages that run between them must not redraw the growing page list each
// time: the list shows the pages in one step at the end, also when the load fails.
TEST_F(FileCommandsTest, ThePageListTakesTheLoadedPagesInOneUpdate)
{
    auto form = Open();
    rtl::TStrings& pages = *form->lstPages->Items();
    std::vector<int> updating;
    HWND probe = AllocateHWnd([&](TMessage&) { updating.push_back(pages.UpdateCount()); });
    PostMessage(probe, WM_USER, 0, 0);
    OpenProject(*form, Project("two.wkp"));
    EXPECT_EQ(updating, std::vector<int>{1});
    EXPECT_EQ(pages.UpdateCount(), 0);
    EXPECT_EQ(Items(pages), (std::vector<AnsiString>{"One", "Two"}));

    updating.clear();
    PostMessage(probe, WM_USER, 0, 0);
    vt::AnswerMessage(mrOk);
    OpenProject(*form, Project("damaged.wkp", Damaged));
    EXPECT_EQ(updating, std::vector<int>{1});
    EXPECT_EQ(pages.UpdateCount(), 0);
    EXPECT_EQ(Items(pages), std::vector<AnsiString>{"One"});
    DeallocateHWnd(probe);
}

TEST_F(FileCommandsTest, ReopenLoadsTheEntrysFileOrSaysItIsGone)
{
    const AnsiString path = Project("two.wkp");
    const AnsiString gone = projects_ + "\\gone.wkp";
    auto form = Open("[Preferences]\r\nFile0=&0 - " + gone + "\r\nFile1=&1 - C:\\b.wkp\r\nFile2=&2 - " + path + "\r\n");

    vt::AnswerMessage(mrOk);
    Run(*form->ReopenEntry(0));
    EXPECT_EQ(vt::LastMessage().Text, "File no longer exists.");
    EXPECT_EQ(ReopenPaths(*form).size(), 3u);
    EXPECT_EQ(form->lstPages->Items()->Count(), 0);
    EXPECT_EQ(form->StatusText(), "File Name:");

    Run(*form->ReopenEntry(2));
    Application->ProcessMessages();
    EXPECT_EQ(ReopenPaths(*form),
              (std::vector<AnsiString>{"&0 - " + path, "&1 - " + gone, "&2 - C:\\b.wkp"}));
    EXPECT_EQ(ProjectState().ProjectFileName, path);
    EXPECT_EQ(Items(*form->lstPages->Items()), (std::vector<AnsiString>{"One", "Two"}));
}

TEST_F(FileCommandsTest, TheProjectOnTheCommandLineIsLoadedAtTheStart)
{
    const AnsiString path = Project("two.wkp");
    StartWith({path.c_str()});
    auto form = Open("[Preferences]\r\nFile0=&0 - C:\\old.wkp\r\n");
    EXPECT_EQ(ProjectState().ProjectFileName, path);
    EXPECT_EQ(form->lstPages->Items()->Count(), 2);
    EXPECT_EQ(form->StatusText(), "File Name:  " + path);
    EXPECT_EQ(form->ReopenCount(), 1);
}

TEST_F(FileCommandsTest, ABadProjectOnTheCommandLineIsReportedAndSkipsTheUpdateCheck)
{
    const AnsiString path = Project("damaged.wkp", Damaged);
    for (const AnsiString& argument : {path, projects_ + "\\missing.wkp"}) {
        StartWith({argument.c_str()});
        vt::AnswerMessage(mrOk);
        auto form = Open("[Preferences]\r\nCheckForUpdates=1\r\n");
        EXPECT_EQ(vt::ModalFormsShown().back(), "TfrmAbout");
        EXPECT_EQ(ProjectState().ProjectFileName, "");
        form.reset();
    }
    ASSERT_EQ(vt::Messages().size(), 2u);
    EXPECT_EQ(vt::Messages()[0].Text, "Invalid numeric input.");
    EXPECT_EQ(vt::Messages()[1].Text, "File not found.");
}

TEST_F(FileCommandsTest, TheDemoProjectShownAndSavedUnderANewNameKeepsItsBytes)
{
    const AnsiString demo = win::WindowsPathFromHost(SCRIVANE_EXAMPLES_DIR "/demo.wkp");
    auto form = Open();
    OpenProject(*form, demo);
    ASSERT_EQ(form->lstPages->Items()->Count(), 3);
    // A page in the editor goes back through it when saved.
    vt::SelectItem(*form->lstPages, 1);
    ASSERT_TRUE(form->mmoPage->Visible());

    const AnsiString copy = projects_ + "\\copy.wkp";
    vt::AnswerFileDialog(copy);
    Run(*form, "SaveAs1");
    EXPECT_EQ(rtl::ReadWholeFile(copy), rtl::ReadWholeFile(demo));
    EXPECT_TRUE(vt::Messages().empty());
}

TEST_F(FileCommandsTest, SaveTakesTheShownPageFromTheEditorFirst)
{
    auto form = Open();
    form->lstPages->Items()->AddObject("Typed", new TPageObject);
    vt::SelectItem(*form->lstPages, 0);
    ASSERT_TRUE(form->mmoPage->Visible());
    vt::TypeText(*form->mmoPage, "typed words");
    vt::AnswerFileDialog(projects_ + "\\typed.wkp");
    Run(*form, "SaveAs1");
    EXPECT_NE(rtl::ReadWholeFile(projects_ + "\\typed.wkp").find("typed words"), AnsiString::npos);
    // The page stays shown.
    EXPECT_TRUE(form->mmoPage->Visible());
    EXPECT_EQ(form->CurrentPageIndex, 0);
}

// The progress window as queued messages see it between the pages of a load and of a save.
TEST_F(FileCommandsTest, LoadAndSaveShowTheirProgressPageByPageAndLetMessagesRun)
{
    auto form = Open();
    struct TSeen {
        int Max, Position;
        bool WindowEnabled;
        bool operator==(const TSeen&) const = default;
    };
    std::vector<TSeen> seen;
    bool watching = true;
    HWND watcher = nullptr;
    watcher = AllocateHWnd([&](TMessage&) {
        // The newest progress window; each state it shows is noted once.
        TfrmProgress* progress = nullptr;
        for (int i = 0; i < Application->ComponentCount(); ++i)
            if (auto* window = dynamic_cast<TfrmProgress*>(Application->Components(i)); window && window->Visible())
                progress = window;
        if (progress != nullptr) {
            const TSeen now{progress->barProgress->Max(), progress->barProgress->Position(), form->Enabled()};
            if (seen.empty() || !(seen.back() == now))
                seen.push_back(now);
        }
        if (watching)
            PostMessage(watcher, WM_USER, 0, 0);
    });
    PostMessage(watcher, WM_USER, 0, 0);

    OpenProject(*form, Project("two.wkp"));
    EXPECT_EQ(seen, (std::vector<TSeen>{{2, 1, false}, {2, 2, false}}));
    seen.clear();
    Run(*form, "Save1");
    EXPECT_EQ(seen, (std::vector<TSeen>{{2, 0, false}, {2, 1, false}}));
    watching = false;
    vt::ProcessMessages();
    DeallocateHWnd(watcher);
    EXPECT_TRUE(form->Enabled());
}

}  // namespace

TEST_F(FileCommandsTest, AReopenEntryRetiredDuringItsOwnClickLivesUntilTheClickEnds)
{
    // Saving the changed project under the clicked entry's own name retires that entry, and the load
    // that follows lets posted messages run.
    const AnsiString path = Project("two.wkp");
    auto form = Open("[Preferences]\r\nFile0=&0 - C:\\other.wkp\r\nFile1=&1 - " + path + "\r\n");
    auto* page = new TPageObject;
    page->Name = "Mine";
    form->lstPages->Items()->AddObject(page->Name, page);
    ProjectState().Modified = true;

    TMenuItem* entry = form->ReopenEntry(1);
    TComponentRef<TMenuItem> clicked(entry);
    const TNotifyEvent original = entry->OnClick;
    bool aliveWhenDone = false;
    entry->OnClick = [&clicked, original, &aliveWhenDone](TObject* sender) {
        original(sender);
        aliveWhenDone = clicked != nullptr;
    };
    vt::AnswerMessage(mrYes);
    vt::AnswerFileDialog(path);
    Run(*entry);

    EXPECT_TRUE(aliveWhenDone);
    Application->ProcessMessages();
    EXPECT_EQ(clicked, nullptr) << "freed once its click is over";
    EXPECT_EQ(ReopenPaths(*form), (std::vector<AnsiString>{"&0 - " + path, "&1 - C:\\other.wkp"}));
    EXPECT_EQ(Items(*form->lstPages->Items()), std::vector<AnsiString>{"Mine"});
}
