// The Make command of the main window and the checks it runs before anything is written.
#include <optional>

#include "platform/vcl/Dialogs.h"
#include "platform/win/Paths.h"
#include "tool/HelpBuild.h"
#include "tool/MainUnit.h"

namespace {

const char TwoLineBreaks[] = "\r\n\r\n";
const char LinkQuestionEnd[] = "Do you wish to continue (this link will not work and may cause errors)?";
const char PictureQuestionEnd[] = "Do you wish to continue (this picture will not work and may cause errors)?";
const char TocQuestionEnd[] = "Do you wish to continue (this TOC item will not work and may cause errors)?";
const int MinimumWindowSize = 100;
const int DeepestTocLevel = 9;

// A fault that makes the build impossible: told, and the walk ends.
bool Stop(const AnsiString& text)
{
    vcl::ShowMessage(text);
    return false;
}

// A fault that only spoils part of the help file: only No ends the walk.
bool Ask(const AnsiString& text)
{
    return vcl::MessageDlg(text, vcl::mtConfirmation, {vcl::mbYes, vcl::mbNo}, 0) != vcl::mrNo;
}

AnsiString WindowSizeQuestion(const char* dimension)
{
    return AnsiString("The help window ") + dimension +
           " that you specified is less than 100.  You may want to consider making this larger as the window "
           "will be quite small.  " +
           TwoLineBreaks + "Would you like to continue?";
}

AnsiString LinkQuestion(const TLinkObject& link, const TPageObject& page, const char* finding)
{
    return "The link:  " + link.Name + "  on page:  " + page.Name + "  " + finding + TwoLineBreaks + LinkQuestionEnd;
}

AnsiString TocQuestion(const TTocObject& entry, const char* finding)
{
    return "The Table Of Contents topic:  " + entry.Name + "  " + finding + TwoLineBreaks + TocQuestionEnd;
}

bool LinksPass(const TPageObject& page, const TPageIndex& pageIndex)
{
    for (int j = 0; j < page.Links.Count(); ++j) {
        auto* link = dynamic_cast<const TLinkObject*>(page.Links.Objects(j));
        if (!link)
            throw EHelpBuildError("The link \"" + page.Links[j] + "\" of page " + page.Name + " has no link record.");
        if (link->Target.empty() && !Ask(LinkQuestion(*link, page, "is not linked to any place.")))
            return false;
        // Only topic links name a page; addresses are not looked up.
        if (link->LinkType == 0 && !pageIndex.Find(link->Target) &&
            !Ask(LinkQuestion(*link, page, "is linked to a page that no longer exists.")))
            return false;
        if (link->Text.empty() && !Ask(LinkQuestion(*link, page, "does not have any text assigned to it.")))
            return false;
    }
    return true;
}

bool PictureExists(const AnsiString& entry)
{
    // Relative entries are taken against the current directory, the project's folder.
    const std::optional<std::string> full = win::FullWindowsPath(entry);
    return full && rtl::FileExists(*full);
}

bool PicturesPass(const TPageObject& page, const AnsiString& projectFolder)
{
    win::SetCurrentDirectory(projectFolder.c_str());
    for (int j = 0; j < page.Pictures.Count(); ++j) {
        const AnsiString entry = page.Pictures[j];
        if (!PictureExists(entry) &&
            !Ask("The picture:  " + entry + "  on page:  " + page.Name + "  points to a file that no longer exists." +
                 TwoLineBreaks + PictureQuestionEnd))
            return false;
    }
    return true;
}

// Control characters in the body would reach the compiler inside its text; the header is left as it is.
void BlankControlCharacters(TPageObject& page)
{
    for (int j = 0; j < page.Text.Count(); ++j) {
        AnsiString line = page.Text[j];
        bool changed = false;
        for (char& c : line) {
            if (static_cast<unsigned char>(c) < 32) {
                c = ' ';
                changed = true;
            }
        }
        if (changed)
            page.Text.SetStrings(j, line);
    }
}

bool ContentsPass(const rtl::TStrings& tocList, const TPageIndex& pageIndex)
{
    for (int i = 0; i < tocList.Count(); ++i) {
        size_t level = 0;
        const TTocObject& entry = TocEntryAt(tocList, i, level);
        if (level > DeepestTocLevel &&
            !Ask(TocQuestion(entry, "is too deep into the hierarchy.  You may only use a total of 9 levels.")))
            return false;
        if (!entry.IsGroup && !pageIndex.Find(entry.PageName) &&
            !Ask(TocQuestion(entry, "is not linked to a valid page.")))
            return false;
    }
    return true;
}

// Closes the checks' progress window however the Make command ends.
class TCheckProgressCloser {
public:
    explicit TCheckProgressCloser(TfrmMainMenu& form) : form_(form) {}
    ~TCheckProgressCloser() { form_.CloseCheckProgress(); }
    TCheckProgressCloser(const TCheckProgressCloser&) = delete;
    TCheckProgressCloser& operator=(const TCheckProgressCloser&) = delete;

private:
    TfrmMainMenu& form_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------

void TfrmMainMenu::CloseCheckProgress()
{
    // TProgressWindow forgets a window that is gone already, so this is safe at any time.
    checkProgress_.reset();
}

bool TfrmMainMenu::ValidateProject()
{
    CloseCheckProgress();
    const TProjectState& state = ProjectState();
    rtl::TStrings& pages = *lstPages->Items();

    if (state.HelpFileName.empty())
        return Stop("You have not yet set a Help File Name for this project.");
    // The name comes from the project file: one that would write outside the project folder is refused
    // before any question is put.
    try {
        CheckHelpFileName(state.HelpFileName);
    } catch (const EHelpBuildError& e) {
        return Stop(e.Message());
    }
    if (pages.Count() == 0)
        return Stop("You have not yet added any pages to the help project.");

    // The window is made only now: until here it would not have been shown anyway.
    checkProgress_ = std::make_unique<TProgressWindow>(this, 0, pages.Count());

    if (state.WindowWidth < MinimumWindowSize && !Ask(WindowSizeQuestion("width")))
        return false;
    if (state.WindowHeight < MinimumWindowSize && !Ask(WindowSizeQuestion("height")))
        return false;

    const TPageIndex pageIndex(pages);
    const AnsiString projectFolder = rtl::ExtractFileDir(state.ProjectFileName);
    for (int i = 0; i < pages.Count(); ++i) {
        checkProgress_->SetPosition(i);
        vcl::Application->ProcessMessages();
        TPageObject& page = PageAt(pages, i);
        if (page.TopicID.empty())
            return Stop("You have not assigned a Topic ID to page: " + page.Name + TwoLineBreaks +
                        "Please do so before making the help file.");
        if (!LinksPass(page, pageIndex) || !PicturesPass(page, projectFolder))
            return false;
        BlankControlCharacters(page);
    }

    if (state.TocList && !ContentsPass(*state.TocList, pageIndex))
        return false;

    CloseCheckProgress();
    return true;
}

void TfrmMainMenu::MakeHelpFile1Click(vcl::TObject*)
{
    lstPagesClick(nullptr);
    const TProjectState& state = ProjectState();
    if (state.ProjectFileName.empty()) {
        vcl::ShowMessage(SaveProjectFirstText);
        return;
    }
    {
        const TCheckProgressCloser closer(*this);
        if (!ValidateProject())
            return;
    }
    // The checks' window is gone before the build's comes.
    vcl::Application->ProcessMessages();

    const rtl::TStrings& pages = *lstPages->Items();
    THelpBuild build(pages, state);
    // A file that cannot be written ends the command with its error; the window closes on the way out and
    // the compiler is not started.
    TProgressWindow progress(this, 0, pages.Count());
    build.WriteTopicFile([&](int i) {
        progress.SetPosition(i);
        vcl::Application->ProcessMessages();
    });
    build.WriteContentsFile();
    build.RemoveGidFile();
    build.WriteHelpProjectFile();
    build.StartCompiler(ProgramFolder());
    progress.Close();
    vcl::ShowMessage(build.ClosingMessage());
}
