// The table-of-contents editor driven headless through the main window's command: the contents list into
// the tree and back, the commands with their refusals, dragging with the mouse, and the project saved and
// opened again.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/MainUnit.h"
#include "tool/TOCTopicPropertiesUnit.h"
#include "tool/TableOfContentsUnit.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

// An entry as "name|page|G" (group) or "name|page|T" (topic), beside its line.
std::vector<AnsiString> Contents(const rtl::TStrings& toc)
{
    std::vector<AnsiString> lines;
    for (int i = 0; i < toc.Count(); ++i) {
        const auto* entry = dynamic_cast<const TTocObject*>(toc.Objects(i));
        lines.push_back(toc[i] + " = " +
                        (entry ? entry->Name + "|" + entry->PageName + "|" + (entry->IsGroup ? "G" : "T") : "(none)"));
    }
    return lines;
}

void Command(TfrmTableOfContents& editor, const char* item) { vt::Find<TMenuItem>(editor, item).Click(); }

TPoint Middle(const TTreeNode* node)
{
    const TRect r = node->DisplayRect(true);
    return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
}

// A point of the tree below every row.
TPoint Empty(const TTreeView& tree) { return Point(40, tree.ClientHeight() - 12); }

void Drag(TTreeView& tree, TPoint from, TPoint to) { vt::MouseDrag(tree, from.X, from.Y, to.X, to.Y); }

TTreeNode* NodeNamed(const TTreeView& tree, const AnsiString& text)
{
    for (int i = 0; i < tree.Items()->Count(); ++i) {
        if (tree.Items()->Item(i)->Text() == text)
            return tree.Items()->Item(i);
    }
    ADD_FAILURE() << "no node " << text;
    return nullptr;
}

// The tree as lines: level in TABs, text, image.
std::vector<AnsiString> Shown(const TTreeView& tree)
{
    std::vector<AnsiString> lines;
    for (int i = 0; i < tree.Items()->Count(); ++i) {
        const TTreeNode* node = tree.Items()->Item(i);
        lines.push_back(AnsiString(static_cast<size_t>(node->Level()), '\t') + node->Text() + " " +
                        rtl::IntToStr(node->ImageIndex()) + rtl::IntToStr(node->SelectedIndex()));
    }
    return lines;
}

class TocEditorTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        static int run = 0;
        programFolder = StartProgramIn("Toc");
        projectFolder = "C:\\toc" + rtl::IntToStr(++run);
        std::filesystem::create_directories(HostPathOf(projectFolder));
        form = OpenMainWindow();
        form->Show();
    }
    void TearDown() override
    {
        form.reset();
        win::SetProgramPath("");
        VclTest::TearDown();
    }

    void AddPage(const AnsiString& name, const AnsiString& topicId)
    {
        auto* page = new TPageObject;
        page->Name = name;
        page->TopicID = topicId;
        form->lstPages->Items()->AddObject(name, page);
    }

    void AddEntry(const AnsiString& line, const AnsiString& name, const AnsiString& pageName, bool group)
    {
        auto* entry = new TTocObject;
        entry->Name = name;
        entry->PageName = pageName;
        entry->IsGroup = group;
        ProjectState().TocList->AddObject(line, entry);
    }

    // Opens the editor with the menu's command; `script` plays the person in it and must close it.
    void RunEditor(std::function<void(TfrmTableOfContents&)> script)
    {
        vt::OnNextModal<TfrmTableOfContents>(std::move(script));
        vt::Find<TMenuItem>(*form, "TableOfContents1").Click();
        EXPECT_EQ(vt::PendingModalScripts(), 0);
        EXPECT_EQ(vt::PendingAnswers(), 0);
    }

    // Saves under `name` in the project folder and opens the file again.
    void SaveAndReopen(const char* name)
    {
        const AnsiString path = projectFolder + "\\" + name;
        ProjectState().ProjectFileName = path;
        vt::Find<TMenuItem>(*form, "Save1").Click();
        EXPECT_FALSE(ProjectState().Modified);
        form->LoadProject(path);
    }

    rtl::TStrings& Toc() { return *ProjectState().TocList; }

    AnsiString programFolder;
    AnsiString projectFolder;
    std::unique_ptr<TfrmMainMenu> form;
};

}  // namespace

TEST_F(TocEditorTest, BuildsATwoLevelTreeByCommandsAndDragging)
{
    AddPage("Welcome", "IDH_WELCOME");
    AddPage("Details", "IDH_DETAILS");
    RunEditor([](TfrmTableOfContents& editor) {
        EXPECT_EQ(editor.Caption(), "Table Of Contents");
        TTreeView& tree = *editor.lstItems;
        EXPECT_EQ(tree.Items()->Count(), 0);

        // Nothing selected: the group goes to the top level and is selected; the topic goes into it.
        vt::AnswerInput("Book");
        Command(editor, "AddNewGroupInCurrentGroup1");
        vt::AnswerInput("Chapter");
        Command(editor, "NewItemAtSubLevel1");
        EXPECT_EQ(tree.Selected()->Text(), "Chapter");
        // The new topic is selected, so neither add goes into it.
        vt::AnswerMessage(mrOk);
        Command(editor, "NewItemAtSubLevel1");
        vt::AnswerMessage(mrOk);
        Command(editor, "AddNewGroupInCurrentGroup1");
        const std::vector<vt::TShownMessage> shown = vt::Messages();
        ASSERT_EQ(shown.size(), 4u);
        EXPECT_EQ(shown[0].Caption, "New Group");
        EXPECT_EQ(shown[0].Text, "Give this group a name please.");
        EXPECT_EQ(shown[1].Caption, "New Topic");
        EXPECT_EQ(shown[1].Text, "Give this topic a name please.");
        EXPECT_EQ(shown[2].Text, "You can not add a topic to a topic.");
        EXPECT_EQ(shown[3].Text, "You can not add a sub-group to a topic.");

        // A click on empty space selects nothing; Cancel adds the preset name at the top level.
        vt::MouseClick(tree, Empty(tree).X, Empty(tree).Y);
        EXPECT_EQ(tree.Selected(), nullptr);
        vt::CancelInput();
        Command(editor, "NewItemAtSubLevel1");
        TTreeNode* loose = tree.Selected();
        ASSERT_NE(loose, nullptr);
        EXPECT_EQ(loose->Text(), "New Topic");
        EXPECT_EQ(loose->Level(), 0);

        // Its properties by a double-click: the dialog lists the pages and names none yet.
        vt::OnNextModal<TfrmTOCTopicProperties>([](TfrmTOCTopicProperties& dialog) {
            EXPECT_EQ(dialog.edtName->Text(), "New Topic");
            EXPECT_EQ(dialog.cbxLinkToPage->Items()->Count(), 2);
            EXPECT_EQ(dialog.cbxLinkToPage->ItemIndex(), -1);
            vt::SetText(*dialog.edtName, "More");
            vt::SelectItem(*dialog.cbxLinkToPage, "Details");
            vt::Click(*dialog.btnOK);
        });
        const TPoint at = Middle(loose);
        vt::MouseDblClick(tree, at.X, at.Y);
        EXPECT_EQ(loose->Text(), "More");
        EXPECT_FALSE(editor.LeftButtonDown);

        // Dragged onto the group, the topic becomes its last child.
        Drag(tree, Middle(loose), Middle(NodeNamed(tree, "Book")));
        EXPECT_EQ(loose->Parent(), NodeNamed(tree, "Book"));
        EXPECT_EQ(loose->Index(), 1);
        EXPECT_EQ(tree.Cursor(), crDefault);
        Command(editor, "Done1");
    });
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"Book = Book||G", "\tChapter = Chapter||T",
                                                        "\tMore = More|Details|T"}));
    EXPECT_TRUE(ProjectState().Modified);

    // The project saved and opened again holds the tree; the editor shows it with its images.
    SaveAndReopen("book.wkp");
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"Book = Book||G", "\tChapter = Chapter||T",
                                                        "\tMore = More|Details|T"}));
    RunEditor([](TfrmTableOfContents& editor) {
        EXPECT_EQ(Shown(*editor.lstItems), (std::vector<AnsiString>{"Book 00", "\tChapter 11", "\tMore 11"}));
        editor.Close();
    });
}

TEST_F(TocEditorTest, DraggingFollowsTheRulesOfGroupsAndTopics)
{
    AddPage("Welcome", "IDH_WELCOME");
    AddEntry("A", "A", "", true);
    AddEntry("\tA1", "A1", "Welcome", false);
    AddEntry("B", "B", "", true);
    AddEntry("\tB1", "B1", "", true);
    AddEntry("\t\tB11", "B11", "welcome", false);
    AddEntry("T", "T", "Welcome", false);
    RunEditor([](TfrmTableOfContents& editor) {
        TTreeView& tree = *editor.lstItems;
        const std::vector<AnsiString> start = Shown(tree);
        EXPECT_EQ(start, (std::vector<AnsiString>{"A 00", "\tA1 11", "B 00", "\tB1 00", "\t\tB11 11", "T 11"}));

        // Onto a topic: refused, nothing moves.
        vt::AnswerMessage(mrOk);
        Drag(tree, Middle(NodeNamed(tree, "A")), Middle(NodeNamed(tree, "T")));
        EXPECT_EQ(vt::LastMessage().Text, "You can not add anything to a topic.");
        // Into its own subtree: nothing moves, nothing is said.
        vt::ClearMessages();
        Drag(tree, Middle(NodeNamed(tree, "B")), Middle(NodeNamed(tree, "B1")));
        // Pressed on empty space and released over a group: nothing moves.
        Drag(tree, Empty(tree), Middle(NodeNamed(tree, "A")));
        EXPECT_TRUE(vt::Messages().empty());
        EXPECT_EQ(Shown(tree), start);

        // Dropped on empty space: to the end of the top level, subtree and all.
        Drag(tree, Middle(NodeNamed(tree, "B1")), Empty(tree));
        EXPECT_EQ(Shown(tree), (std::vector<AnsiString>{"A 00", "\tA1 11", "B 00", "T 11", "B1 00", "\tB11 11"}));
        // The drop is where the next drag would start from.
        EXPECT_EQ(editor.DragSource, nullptr);
        Command(editor, "Done1");
    });
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"A = A||G", "\tA1 = A1|Welcome|T", "B = B||G", "T = T|Welcome|T",
                                                        "B1 = B1||G", "\tB11 = B11|welcome|T"}));
}

TEST_F(TocEditorTest, DeletePropertiesAndTheirRefusals)
{
    AddPage("Welcome", "IDH_WELCOME");
    AddPage("Other", "IDH_OTHER");
    AddEntry("G", "G", "", true);
    AddEntry("\tSub", "Sub", "", true);
    AddEntry("\t\tDeep", "Deep", "Welcome", false);
    AddEntry("\tLeaf", "Leaf", "WELCOME", false);
    AddEntry("Keep", "Keep", "Welcome", false);
    RunEditor([](TfrmTableOfContents& editor) {
        TTreeView& tree = *editor.lstItems;
        tree.SetSelected(nullptr);
        vt::AnswerMessage(mrOk);
        Command(editor, "DeleteTopicGroup1");
        vt::AnswerMessage(mrOk);
        Command(editor, "Properties1");
        EXPECT_EQ(MessageTexts(),
                  (std::vector<AnsiString>{"You must select an item first.", "You must select an item first."}));

        // A group's name: an empty answer keeps the old one.
        vt::ClearMessages();
        tree.SetSelected(NodeNamed(tree, "G"));
        vt::AnswerInput("");
        Command(editor, "Properties1");
        EXPECT_EQ(vt::LastMessage().Caption, "Group Properties");
        EXPECT_EQ(vt::LastMessage().Text, "Group Name");
        EXPECT_EQ(NodeNamed(tree, "G")->Text(), "G");
        vt::AnswerInput("Guide");
        Command(editor, "Properties1");
        ASSERT_EQ(tree.Selected()->Text(), "Guide");

        // A topic's page is found without regard to case; Cancel changes nothing; OK with no page
        // chosen empties the page name.
        tree.SetSelected(NodeNamed(tree, "Leaf"));
        vt::OnNextModal<TfrmTOCTopicProperties>([](TfrmTOCTopicProperties& dialog) {
            EXPECT_EQ(dialog.cbxLinkToPage->ItemIndex(), 0);
            vt::SetText(*dialog.edtName, "Changed");
            vt::Click(*dialog.btnCancel);
        });
        Command(editor, "Properties1");
        EXPECT_EQ(tree.Selected()->Text(), "Leaf");
        vt::OnNextModal<TfrmTOCTopicProperties>([](TfrmTOCTopicProperties& dialog) {
            dialog.cbxLinkToPage->SetItemIndex(-1);
            vt::SetText(*dialog.edtName, "");
            vt::Click(*dialog.btnOK);
        });
        Command(editor, "Properties1");
        EXPECT_EQ(tree.Selected()->Text(), "");

        // A drag that starts on a group which is deleted before the button goes up moves nothing.
        const TPoint sub = Middle(NodeNamed(tree, "Sub"));
        vt::MouseClick(tree, sub.X, sub.Y);
        EXPECT_EQ(editor.DragSource, NodeNamed(tree, "Sub"));
        // Deleting a group takes everything beneath it, once the question is answered Yes.
        vt::ClearMessages();
        vt::AnswerMessage(mrNo);
        Command(editor, "DeleteTopicGroup1");
        EXPECT_EQ(NodeNamed(tree, "Sub")->Count(), 1);
        vt::AnswerMessage(mrYes);
        Command(editor, "DeleteTopicGroup1");
        EXPECT_EQ(MessageTexts(), (std::vector<AnsiString>{"Are you sure?", "Are you sure?"}));
        EXPECT_EQ(vt::LastMessage().Caption, "Confirm");
        EXPECT_EQ(editor.DragSource, nullptr);
        EXPECT_EQ(Shown(tree), (std::vector<AnsiString>{"Guide 00", "\t 11", "Keep 11"}));
        Command(editor, "Done1");
    });
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"Guide = Guide||G", "\t = ||T", "Keep = Keep|Welcome|T"}));
}

TEST_F(TocEditorTest, TheListPassesThroughTheTree)
{
    // Opening and closing without a change still marks the project changed; a name that begins with a
    // blank is one level deeper afterwards.
    AddEntry("A", "A", "", true);
    AddEntry(" B", " B", "", false);
    RunEditor([](TfrmTableOfContents& editor) { Command(editor, "Done1"); });
    EXPECT_TRUE(ProjectState().Modified);
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"A = A||G", "\tB =  B||T"}));

    // A line two levels deeper than the one before stops the command before the window shows.
    ProjectState().Modified = false;
    AddEntry("\t\t\tToo deep", "Too deep", "", false);
    const size_t shownBefore = vt::ModalFormsShown().size();
    vt::AnswerMessage(mrOk);
    vt::Find<TMenuItem>(*form, "TableOfContents1").Click();
    EXPECT_EQ(MessageTexts(), std::vector<AnsiString>{"Invalid level (3) for item \"Too deep\""});
    EXPECT_EQ(vt::ModalFormsShown().size(), shownBefore);
    EXPECT_FALSE(ProjectState().Modified);
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"A = A||G", "\tB =  B||T", "\t\t\tToo deep = Too deep||T"}));

    // An empty list opens an empty tree; a topic added with nothing selected is a top-level entry.
    form->FreeProject();
    RunEditor([](TfrmTableOfContents& editor) {
        EXPECT_EQ(editor.lstItems->Items()->Count(), 0);
        vt::AnswerInput("Alone");
        Command(editor, "NewItemAtSubLevel1");
        // The add that no menu offers puts a group beside the selected entry, even a topic.
        vt::AnswerInput("Beside");
        editor.NewItemAtCurrentLevel1Click(nullptr);
        EXPECT_EQ(vt::Messages().back().Caption, "New Group");
        editor.Close();
    });
    EXPECT_EQ(Contents(Toc()), (std::vector<AnsiString>{"Alone = Alone||T", "Beside = Beside||G"}));
}
