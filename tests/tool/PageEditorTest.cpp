// The page editor driven headless through the main window: pages, links and pictures with their commands,
// the page switch that stores the editor, markers kept whole and green, the text commands, and a page that
// survives a save and a reopen unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/LinkPropertiesUnit.h"
#include "tool/MainUnit.h"
#include "tool/PageHeaderUnit.h"
#include "tool/PagePropertiesUnit.h"
#include "tool/ProjectFile.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

const uint32_t Green = 32768;

class PageEditorTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        StartProgramIn("Editor");
        form = OpenMainWindow();
        form->Show();
        rich = form->mmoPage;
    }
    void TearDown() override
    {
        form.reset();
        win::SetProgramPath("");
        VclTest::TearDown();
    }

    void Click(const char* menuItem) { vt::Find<TMenuItem>(*form, menuItem).Click(); }
    void AddPages(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            vt::AnswerInput(name);
            Click("AddPage");
        }
    }
    void ShowPage(int index) { vt::SelectItem(*form->lstPages, index); }
    TPageObject& Page(int index) { return *static_cast<TPageObject*>(form->lstPages->Items()->Objects(index)); }
    void AddLink(const char* name)
    {
        vt::AnswerInput(name);
        Click("AddLink");
    }
    // A page "Intro" shown with "See  now." and the link "Next" inserted at 4: "See ##Next##  now.".
    void MarkerPage()
    {
        AddPages({"Intro"});
        ShowPage(0);
        vt::TypeText(*rich, "See  now.");
        AddLink("Next");
        form->lstLinks->SetItemIndex(0);
        rich->SetSelStart(4);
        Click("InsertLinkAtCursor1");
        ASSERT_EQ(rich->Text(), "See ##Next##  now.");
    }
    const richedit::TCharAttributes& At(int pos) const { return rich->Document().AttributesAt(pos); }
    void Select(int start, int length)
    {
        rich->SetSelStart(start);
        rich->SetSelLength(length);
    }

    std::unique_ptr<TfrmMainMenu> form;
    TRichEdit* rich = nullptr;
};

// ---- pages, links and pictures

TEST_F(PageEditorTest, NewNamesTakeTheFirstFreeNumberAndDuplicatesAreAskedAgain)
{
    AddPages({"New Page 1", "new page 3"});
    vt::ClearMessages();
    vt::CancelInput();
    Click("AddPage");
    EXPECT_EQ(form->lstPages->Items()->Strings(2), "New Page 2");  // Cancel takes the proposal

    vt::AnswerInput("NEW PAGE 1");
    vt::AnswerMessage(mrOk);
    vt::CancelInput();
    Click("AddPage");
    ASSERT_EQ(vt::Messages().size(), 4u);
    EXPECT_EQ(vt::Messages()[1].Caption, "New Page");
    EXPECT_EQ(vt::Messages()[1].Text, "Give this page a name please.");
    EXPECT_EQ(vt::Messages()[2].Text, "A page with this name already exists.");
    EXPECT_EQ(vt::Messages()[3].Value, "New Page 4");  // asked again with the same proposal
    EXPECT_EQ(form->lstPages->Items()->Strings(3), "New Page 4");
    EXPECT_EQ(Page(3).Name, "New Page 4");
    EXPECT_EQ(form->lstPages->ItemIndex(), -1);
    EXPECT_TRUE(ProjectState().Modified);

    // Links the same way, in the shown page's list.
    ShowPage(0);
    AddLink("new link 1");
    vt::AnswerInput("New Link 1");
    vt::AnswerMessage(mrOk);
    vt::CancelInput();
    Click("AddLink");
    EXPECT_EQ(vt::LastMessage().Caption, "New Link");
    EXPECT_EQ(vt::Messages()[vt::Messages().size() - 2].Text, "A Link with this name already exists.");
    ASSERT_EQ(form->lstLinks->Items()->Count(), 2);
    auto* link = static_cast<TLinkObject*>(form->lstLinks->Items()->Objects(1));
    EXPECT_EQ(link->Name, "New Link 2");
    EXPECT_EQ(link->LinkType, 0);
    EXPECT_FALSE(link->Popup);
}

TEST_F(PageEditorTest, CommandsWithoutTheirSelectionSayWhyAndChangeNothing)
{
    AddPages({"One"});
    ProjectState().Modified = false;
    const std::pair<const char*, const char*> refusals[] = {
        {"DeletePage", "You must select a page from the list to delete."},
        {"PropertiesPage", "You must select a page before you can change its properties."},
        {"Header1", "You must select a page before you can change its header."},
        {"AddLink", "You must have a page selected to add a link to its link list."},
        {"DeleteLink", "You must select a link from the list to delete."},
        {"PropertiesLink", "You must select a link from the link list before changing its properties."},
        {"InsertLinkAtCursor1", "You must select a link from the link list before inserting it."},
        {"AddPic", "You must select a page before you can add a picture to it."},
        {"DeletePic", "You must select a picture from the list to delete."},
        {"InsertPictureAtCursor2", "You must select a picture from the picture list before inserting it."},
    };
    for (const auto& [item, text] : refusals) {
        SCOPED_TRACE(item);
        vt::AnswerMessage(mrOk);
        Click(item);
        EXPECT_EQ(vt::LastMessage().Text, text);
    }
    EXPECT_EQ(form->lstPages->Items()->Count(), 1);
    EXPECT_FALSE(ProjectState().Modified);
    EXPECT_TRUE(vt::Dialogs().empty());
}

TEST_F(PageEditorTest, SwitchingStoresTheEditorIntoThePageLeft)
{
    AddPages({"One", "Two"});
    ProjectState().Modified = false;
    ShowPage(0);
    EXPECT_TRUE(rich->Visible());
    EXPECT_EQ(At(0).Face, "Arial");
    vt::TypeText(*rich, "first page");
    AddLink("L");
    auto* link = form->lstLinks->Items()->Objects(0);
    form->lstPictures->Items()->Add("a.bmp");

    ShowPage(1);
    EXPECT_EQ(form->CurrentPageIndex, 1);
    EXPECT_EQ(rich->Text(), "");
    EXPECT_EQ(form->lstLinks->Items()->Count(), 0);
    EXPECT_GT(Page(0).Text.Count(), 0);
    ASSERT_EQ(Page(0).Links.Count(), 1);
    EXPECT_EQ(Page(0).Links.Objects(0), link);
    EXPECT_EQ(Page(0).Pictures.Text(), "a.bmp\r\n");
    vt::TypeText(*rich, "second");

    // A click below the last page stores the page and hides the editor.
    const int below = form->lstPages->ItemRect(2).Top + 2;
    vt::MouseClick(*form->lstPages, 5, below);
    EXPECT_EQ(form->CurrentPageIndex, -1);
    EXPECT_FALSE(rich->Visible());
    EXPECT_EQ(form->lstLinks->Items()->Count(), 0);

    vt::MouseClick(*form->lstPages, 5, form->lstPages->ItemRect(0).Top + 2);
    EXPECT_EQ(rich->Text(), "first page");
    EXPECT_EQ(form->lstLinks->Items()->Objects(0), link);
    ShowPage(1);
    EXPECT_EQ(rich->Text(), "second");
    // Typing changed the project; the switches did not.
    ProjectState().Modified = false;
    ShowPage(0);
    EXPECT_FALSE(ProjectState().Modified);
}

TEST_F(PageEditorTest, AMovedPageKeepsTheEditorAndTheNextSwitchStoresIntoIt)
{
    AddPages({"A", "B", "C"});
    ShowPage(0);
    vt::TypeText(*rich, "text of A");
    form->SpinButton1->UpClick();  // the first page goes nowhere
    EXPECT_EQ(form->lstPages->Items()->Strings(0), "A");
    form->SpinButton1->DownClick();
    EXPECT_EQ(form->lstPages->Items()->Strings(1), "A");
    EXPECT_EQ(form->lstPages->ItemIndex(), 1);
    EXPECT_EQ(form->CurrentPageIndex, 1);
    vt::TypeText(*rich, "!");

    ShowPage(2);
    EXPECT_EQ(Page(0).Name, "B");
    EXPECT_EQ(Page(0).Text.Count(), 0);
    ShowPage(1);
    EXPECT_EQ(rich->Text(), "text of A!");
    form->SpinButton1->DownClick();
    form->SpinButton1->DownClick();  // the last page goes nowhere
    EXPECT_EQ(form->lstPages->Items()->Strings(2), "A");
    EXPECT_EQ(form->CurrentPageIndex, 2);
}

TEST_F(PageEditorTest, DeletingAPageAsksAndTakesItsLinksAlong)
{
    AddPages({"A", "B"});
    ShowPage(1);
    AddLink("added since the switch");
    vt::AnswerMessage(mrNo);
    vt::PressKey(*form->lstPages, VK_DELETE);
    EXPECT_EQ(vt::LastMessage().Text, "Are you sure?");
    EXPECT_EQ(vt::LastMessage().Caption, "Confirm");
    EXPECT_EQ(form->lstPages->Items()->Count(), 2);

    vt::AnswerMessage(mrYes);
    Click("DeletePage");
    EXPECT_EQ(form->lstPages->Items()->Count(), 1);
    EXPECT_EQ(form->lstPages->ItemIndex(), -1);
    EXPECT_EQ(form->CurrentPageIndex, -1);
    EXPECT_EQ(form->lstLinks->Items()->Count(), 0);
    EXPECT_FALSE(rich->Visible());
    // The sanitiser sees that the added link went with its page, once.
}

TEST_F(PageEditorTest, PageAndHeaderDialogsGiveTheirValuesBack)
{
    AddPages({"A", "B"});
    ShowPage(1);
    vt::OnNextModal<TfrmPageProperties>([](TfrmPageProperties& dialog) {
        EXPECT_EQ(dialog.edtName->Text(), "B");
        vt::SetText(*dialog.edtName, "A");
        vt::SetText(*dialog.edtContextID, "$1F");
        vt::SetText(*dialog.edtIndexKeywords, "x;y");
        vt::Click(*dialog.btnOK);
    });
    vt::DblClick(*form->lstPages);
    EXPECT_EQ(form->lstPages->Items()->Strings(1), "A");  // another page's name is accepted
    EXPECT_EQ(Page(1).ContextID, "$1F");
    EXPECT_EQ(Page(1).IndexKeywords, "x;y");

    ProjectState().HeaderColor = clYellow;
    vt::OnNextModal<TfrmPageHeader>([](TfrmPageHeader& dialog) {
        EXPECT_EQ(dialog.mmoHeader->Color(), clYellow);
        dialog.mmoHeader->SetSelText("Header");
        vt::CloseByCloseBox(dialog);
    });
    Click("Header1");
    ASSERT_GT(Page(1).Header.Count(), 0);
    vt::OnNextModal<TfrmPageHeader>([](TfrmPageHeader& dialog) {
        EXPECT_EQ(dialog.mmoHeader->Text(), "Header");
        dialog.mmoHeader->Clear();
        vt::Click(*dialog.btnDone);
    });
    Click("Header1");
    EXPECT_EQ(Page(1).Header.Count(), 0);
}

TEST_F(PageEditorTest, TheLinkDialogShowsTheTargetOfItsTypeAndGivesItBack)
{
    AddPages({"Intro", "Details"});
    ShowPage(0);
    AddLink("L");
    auto* link = static_cast<TLinkObject*>(form->lstLinks->Items()->Objects(0));
    link->Target = "details";
    link->Popup = true;
    form->lstLinks->SetItemIndex(0);
    vt::OnNextModal<TfrmLinkProperties>([](TfrmLinkProperties& dialog) {
        EXPECT_EQ(dialog.cbxLinkToPage->Items()->Count(), 2);
        EXPECT_EQ(dialog.cbxLinkToPage->ItemIndex(), 1);
        EXPECT_TRUE(dialog.cbxPopupLink->Checked());
        EXPECT_TRUE(dialog.gbxTopicLink->Visible());
        dialog.cbxLinkType->SetItemIndex(1);
        dialog.cbxLinkTypeChange(nullptr);
        vt::SetText(*dialog.edtURL, "http://example.com/");
        vt::SetText(*dialog.edtName, "Web");
        vt::Click(*dialog.btnOK);
    });
    vt::DblClick(*form->lstLinks);
    EXPECT_EQ(link->LinkType, 1);
    EXPECT_EQ(link->Target, "http://example.com/");
    EXPECT_FALSE(link->Popup);
    EXPECT_EQ(form->lstLinks->Items()->Strings(0), "Web");

    vt::AnswerMessage(mrYes);
    vt::PressKey(*form->lstLinks, VK_DELETE);
    EXPECT_EQ(form->lstLinks->Items()->Count(), 0);
}

TEST_F(PageEditorTest, PicturesAreListedOnceFullBeforeTheFirstSaveAndRelativeAfterReopening)
{
    const AnsiString picture = "C:\\Help Project\\pics\\a.bmp";
    std::filesystem::create_directories(win::HostPathFromWindows("C:\\Help Project\\pics").value_or(""));
    rtl::WriteWholeFile(picture, "BM");
    AddPages({"Intro"});
    ShowPage(0);
    vt::AnswerFileDialog(picture);
    Click("AddPic");
    EXPECT_EQ(vt::Dialogs().back().Filter, "Bitmap File|*.bmp");
    vt::AnswerFileDialog(picture);
    Click("AddPic");
    ASSERT_EQ(form->lstPictures->Items()->Count(), 1);
    EXPECT_EQ(form->lstPictures->Items()->Strings(0), picture);
    form->lstPictures->SetItemIndex(0);
    Click("InsertPictureAtCursor2");
    EXPECT_EQ(rich->Text(), "#" + picture + "# ");

    ProjectState().ProjectFileName = "C:\\Help Project\\demo.wkp";
    form->lstPagesClick(nullptr);
    SaveProjectFile(ProjectState(), *form->lstPages->Items());
    form->FreeProject();
    LoadProjectFile("C:\\Help Project\\demo.wkp", ProjectState(), *form->lstPages->Items());
    form->CurrentPageIndex = -1;
    ShowPage(0);
    EXPECT_EQ(form->lstPictures->Items()->Strings(0), "pics\\a.bmp");
    EXPECT_EQ(rich->Text(), "#pics\\a.bmp# ");

    // Now that the project has a folder, a new choice is stored relative to it.
    rtl::WriteWholeFile("C:\\Help Project\\B.BMP", "BM");
    vt::AnswerFileDialog("C:\\Help Project\\B.BMP");
    Click("AddPic");
    EXPECT_EQ(form->lstPictures->Items()->Strings(1), "B.BMP");
}

// ---- markers

TEST_F(PageEditorTest, AnInsertedMarkerIsGreenUnderlinedAndProtectedWithItsBlank)
{
    MarkerPage();
    for (int pos = 4; pos < 12; ++pos) {
        EXPECT_EQ(At(pos).Color, Green) << pos;
        EXPECT_TRUE(At(pos).Underline && At(pos).Protected && !At(pos).Bold) << pos;
    }
    EXPECT_TRUE(At(12).Protected);
    EXPECT_FALSE(At(12).Underline);
    EXPECT_NE(At(12).Color, Green);
    EXPECT_FALSE(At(13).Protected);
    EXPECT_TRUE(ProjectState().Modified);
}

TEST_F(PageEditorTest, TypingOrDeletingInsideAMarkerChangesNothing)
{
    MarkerPage();
    for (int pos : {5, 8, 12}) {
        rich->SetSelStart(pos);
        vt::TypeText(*rich, "x");
        vt::PressKey(*rich, VK_DELETE);
        vt::PressKey(*rich, VK_BACK);
    }
    EXPECT_EQ(rich->Text(), "See ##Next##  now.");
    EXPECT_FALSE(form->AllowProtectedEdit);
}

TEST_F(PageEditorTest, RemoveAtCursorTakesTheWholeMarkerWithItsBlankFromAnyOfItsCharacters)
{
    for (int pos = 4; pos < 12; ++pos) {
        SCOPED_TRACE(pos);
        MarkerPage();
        rich->SetSelStart(pos);
        Click(pos % 2 ? "RemoveLinkAtCursor1" : "RemovePictureAtCursor1");
        EXPECT_EQ(rich->Text(), "See  now.");
        EXPECT_FALSE(rich->Document().AnyProtected(0, rich->GetTextLen()));
        EXPECT_FALSE(form->AllowProtectedEdit);
        form->FreeProject();
        form->CurrentPageIndex = -1;
    }
    // Plain text under the caret is left alone.
    MarkerPage();
    rich->SetSelStart(1);
    Click("RemoveLinkAtCursor1");
    EXPECT_EQ(rich->Text(), "See ##Next##  now.");
}

TEST_F(PageEditorTest, BoldOverASelectionEndingInsideAMarkerTakesTheWholeMarker)
{
    MarkerPage();
    Select(0, 7);  // "See ##N"
    Click("Bold1");
    for (int pos = 0; pos < 12; ++pos)
        EXPECT_TRUE(At(pos).Bold) << pos;
    for (int pos = 4; pos < 12; ++pos)
        EXPECT_TRUE(At(pos).Underline && At(pos).Color == Green) << pos;
    EXPECT_FALSE(At(0).Underline);
    EXPECT_FALSE(At(12).Bold);
    EXPECT_EQ(rich->SelStart(), 0);
    EXPECT_EQ(rich->SelLength(), 12);
    EXPECT_FALSE(form->AllowProtectedEdit);

    // A selection reaching back over a line end into the marker leaves the line end out.
    rich->SetSelStart(4);
    rich->UserTypes("\r\n");
    Select(4, 4);
    Click("Bold1");
    EXPECT_EQ(rich->SelStart(), 6);
    EXPECT_EQ(rich->SelLength(), 8);
    EXPECT_FALSE(At(6).Bold);

    // Italic over a selection starting inside the marker widens to its first "#".
    Select(10, 6);
    Click("Italic1");
    EXPECT_TRUE(At(6).Italic);
    EXPECT_TRUE(At(15).Italic);
    EXPECT_EQ(At(6).Color, Green);
}

TEST_F(PageEditorTest, TheFontCommandDropsUnderlineButMarkersKeepTheirs)
{
    MarkerPage();
    TFont chosen;
    chosen.SetName("Courier New");
    chosen.SetSize(14);
    chosen.SetColor(clRed);
    chosen.SetStyle({fsUnderline, fsItalic});
    vt::AnswerFontDialog(chosen);
    rich->SelectAll();
    Click("mnuFont");
    EXPECT_EQ(vt::Dialogs().back().Kind, "Font");
    for (int pos : {0, 13, 16}) {
        EXPECT_FALSE(At(pos).Underline) << pos;
        EXPECT_TRUE(At(pos).Italic) << pos;
        EXPECT_EQ(At(pos).Face, "Courier New");
        EXPECT_EQ(At(pos).Color, 0x0000FFu);
    }
    EXPECT_TRUE(At(4).Underline && At(4).Italic);
    EXPECT_EQ(At(4).Color, Green);
    EXPECT_EQ(At(4).HalfPoints, 28);

    // Cancelled: nothing changes, yet the project counts as changed.
    ProjectState().Modified = false;
    vt::CancelDialog();
    Click("mnuFont");
    EXPECT_EQ(At(0).Face, "Courier New");
    EXPECT_TRUE(ProjectState().Modified);
}

TEST_F(PageEditorTest, PastedTextLosesItsUnderlineOnly)
{
    AddPages({"Intro"});
    ShowPage(0);
    vt::TypeText(*rich, "ab|");
    Select(0, 1);
    rich->SelAttributes()->SetStyle({fsUnderline, fsBold});
    Select(1, 1);
    rich->SelAttributes()->SetStyle({fsUnderline});
    Select(0, 2);
    Click("Copy1");
    rich->SetSelStart(3);
    Click("Paste1");
    EXPECT_EQ(rich->Text(), "ab|ab");
    EXPECT_EQ(rich->SelStart(), 3);
    EXPECT_EQ(rich->SelLength(), 2);
    EXPECT_TRUE(At(3).Bold && !At(3).Underline);
    EXPECT_TRUE(!At(4).Bold && !At(4).Underline);
    EXPECT_TRUE(At(0).Underline);  // the original stays as it was

    Select(0, 3);
    Click("Cut1");
    EXPECT_EQ(rich->Text(), "ab");
}

TEST_F(PageEditorTest, TypingGoesOnRightBehindAMarkerJustInserted)
{
    MarkerPage();
    vt::TypeText(*rich, "Q");
    EXPECT_EQ(rich->Text(), "See ##Next## Q now.");
    EXPECT_FALSE(At(13).Protected || At(13).Underline);
    EXPECT_NE(At(13).Color, Green);

    // At the end of a centred paragraph, as its button leaves it: typing and Return go on behind it.
    form->FreeProject();
    form->CurrentPageIndex = -1;
    AddPages({"Centred"});
    ShowPage(0);
    AddLink("Next");
    form->lstLinks->SetItemIndex(0);
    vt::TypeText(*rich, "Title ");
    vt::Click(vt::Find<TSpeedButton>(*form, "btnCenter"));
    Click("InsertLinkAtCursor1");
    vt::TypeText(*rich, "!");
    vt::PressKey(*rich, VK_RETURN);
    vt::TypeText(*rich, "x");
    EXPECT_EQ(rich->Text(), "Title ##Next## !\r\nx");
    EXPECT_EQ(rich->Document().Alignment(1), richedit::paCenter);
}

TEST_F(PageEditorTest, TextTypedBesideAMarkerOrWhereOneWasRemovedIsPlainText)
{
    AddPages({"Intro", "Alone"});
    ShowPage(0);
    AddLink("Next");
    form->lstLinks->SetItemIndex(0);
    auto plain = [&](int pos) {
        EXPECT_FALSE(At(pos).Underline || At(pos).Protected) << pos;
        EXPECT_EQ(At(pos).Color, 0u) << pos;
    };
    // Before a marker at the start of a paragraph, the first and the second.
    Click("InsertLinkAtCursor1");
    vt::PressKey(*rich, VK_RETURN);
    Click("InsertLinkAtCursor1");
    rich->SetSelStart(0);
    vt::TypeText(*rich, "a");
    rich->SetSelStart(12);
    vt::TypeText(*rich, "b");
    EXPECT_EQ(rich->Text(), "a##Next## \r\nb##Next## ");
    plain(0);
    plain(12);

    // Where a marker stood that was all the page held.
    ShowPage(1);
    AddLink("Next");
    form->lstLinks->SetItemIndex(0);
    Click("InsertLinkAtCursor1");
    rich->SetSelStart(3);
    Click("RemoveLinkAtCursor1");
    ASSERT_EQ(rich->Text(), "");
    vt::TypeText(*rich, "c");
    plain(0);
    EXPECT_FALSE(rich->SelAttributes()->Style().Contains(fsUnderline));
}

TEST_F(PageEditorTest, CtrlVPastesMarkersWholeAndTheRestWithoutUnderline)
{
    MarkerPage();
    Select(0, 1);
    rich->SelAttributes()->SetStyle({fsUnderline});  // "S" underlined, as pasted from elsewhere
    Select(0, 13);                                  // "See ##Next## " with its marker
    Click("Copy1");
    rich->SetSelStart(rich->GetTextLen());
    vt::PressKey(*rich, 'V', {ssCtrl});
    EXPECT_EQ(rich->Text(), "See ##Next##  now.See ##Next## ");
    EXPECT_FALSE(At(18).Underline);
    for (int pos = 22; pos < 30; ++pos)
        EXPECT_TRUE(At(pos).Underline && At(pos).Protected && At(pos).Color == Green) << pos;
    EXPECT_TRUE(At(30).Protected);
    EXPECT_EQ(rich->SelStart(), 18);
    EXPECT_EQ(rich->SelLength(), 13);
}

TEST_F(PageEditorTest, AMarkerPastedOntoAPageWithoutItsLinkIsOrdinaryText)
{
    MarkerPage();
    AddPages({"Other"});
    Select(4, 9);  // "##Next## "
    Click("Copy1");
    ShowPage(1);
    vt::TypeText(*rich, "x");
    Click("Paste1");
    ASSERT_EQ(rich->Text(), "x##Next## ");
    for (int pos = 1; pos < 10; ++pos)
        EXPECT_FALSE(At(pos).Protected || At(pos).Underline) << pos;
    // It can be deleted like any text.
    rich->SetSelStart(rich->GetTextLen());
    for (int i = 0; i < 9; ++i)
        vt::PressKey(*rich, VK_BACK);
    EXPECT_EQ(rich->Text(), "x");

    // Once the page has the link, the same paste is a marker.
    AddLink("next");
    Click("Paste1");
    ASSERT_EQ(rich->Text(), "x##Next## ");
    for (int pos = 1; pos < 10; ++pos)
        EXPECT_TRUE(At(pos).Protected) << pos;
    EXPECT_TRUE(At(1).Underline);
}

TEST_F(PageEditorTest, CtrlZTakesBackTextChangesButNeverAMarker)
{
    MarkerPage();
    rich->SetSelStart(rich->GetTextLen());
    vt::TypeText(*rich, " More");
    Select(0, 3);
    Click("Bold1");
    vt::PressKey(*rich, 'Z', {ssCtrl});
    EXPECT_FALSE(At(0).Bold);
    vt::PressKey(*rich, 'Z', {ssCtrl});
    EXPECT_EQ(rich->Text(), "See ##Next##  now.");

    // A paste with its underline taken away goes in one step.
    Select(0, 3);
    rich->SelAttributes()->SetStyle({fsUnderline});
    Click("Copy1");
    rich->SetSelStart(0);
    Click("Paste1");
    ASSERT_EQ(rich->Text(), "SeeSee ##Next##  now.");
    vt::PressKey(*rich, 'Z', {ssCtrl});
    EXPECT_EQ(rich->Text(), "See ##Next##  now.");

    // The marker's insertion is a change to protected text: Ctrl+Z leaves it be.
    vt::PressKey(*rich, 'Z', {ssCtrl});
    vt::PressKey(*rich, 'Z', {ssCtrl});
    EXPECT_TRUE(rich->Text().find("##Next##") != AnsiString::npos);
    EXPECT_TRUE(rich->Document().AllProtected(4, 13));
    EXPECT_FALSE(form->AllowProtectedEdit);
}

// ---- a page that goes through the project file

TEST_F(PageEditorTest, APageWrittenInTheEditorLooksTheSameAfterSaveAndReopenAndSavesTheSameBytes)
{
    std::filesystem::create_directories(win::HostPathFromWindows("C:\\Round").value_or(""));
    ProjectState().ProjectFileName = "C:\\Round\\round.wkp";
    ProjectState().AutoSaveBackup = false;
    MarkerPage();
    rich->SetSelStart(rich->GetTextLen());
    rich->UserTypes("\r\nSecond line \xE9t\xE9");
    Select(0, 3);
    Click("Bold1");
    rich->SetSelStart(4);
    Click("CenterJustify1");  // the marker's paragraph, protected text and all
    rich->SetSelStart(rich->GetTextLen());
    Click("RightJustify1");
    EXPECT_EQ(rich->Paragraph()->Alignment(), taRightJustify);
    const richedit::TRichDocument written = rich->Document();
    ASSERT_EQ(written.Alignment(0), richedit::paCenter);

    form->lstPagesClick(nullptr);
    SaveProjectFile(ProjectState(), *form->lstPages->Items());
    const AnsiString bytes = ReadProjectBytes(ProjectState().ProjectFileName);
    form->FreeProject();
    form->CurrentPageIndex = -1;
    LoadProjectFile(ProjectState().ProjectFileName, ProjectState(), *form->lstPages->Items());
    ShowPage(0);
    EXPECT_TRUE(rich->Document() == written);
    ASSERT_EQ(form->lstLinks->Items()->Count(), 1);
    EXPECT_EQ(form->lstLinks->Items()->Strings(0), "Next");

    form->lstPagesClick(nullptr);
    SaveProjectFile(ProjectState(), *form->lstPages->Items());
    EXPECT_EQ(ReadProjectBytes(ProjectState().ProjectFileName), bytes);
}

}  // namespace
