// Common dialogs under the test driver: scripted answers, what the dialog was given, and its results.
#include <gtest/gtest.h>

#include <memory>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
namespace vt = vcl::test;

class DialogsTest : public VclTest {};

TEST_F(DialogsTest, OpenAndSaveDialogsTakeTheScriptedFileName)
{
    std::unique_ptr<TForm> owner(new TForm(Application));
    auto* open = new TOpenDialog(owner.get());
    open->SetFilter("Scrivane Project|*.wkp|All Files|*.*");
    open->SetDefaultExt("wkp");
    open->SetInitialDir("C:\\Projects");
    open->SetTitle("Open Project");

    vt::AnswerFileDialog("C:\\Projects\\demo");
    ASSERT_TRUE(open->Execute());
    EXPECT_EQ(open->FileName(), "C:\\Projects\\demo.wkp");  // completed with the default extension
    EXPECT_EQ(open->Files()->Count(), 1);
    const vt::TShownDialog& shown = vt::Dialogs().back();
    EXPECT_EQ(shown.Kind, "Open");
    EXPECT_EQ(shown.Title, "Open Project");
    EXPECT_EQ(shown.InitialDir, "C:\\Projects");
    EXPECT_TRUE(shown.Accepted);

    vt::AnswerFileDialog("C:\\Projects\\notes.txt", 2);
    ASSERT_TRUE(open->Execute());
    EXPECT_EQ(open->FileName(), "C:\\Projects\\notes.txt");
    EXPECT_EQ(open->FilterIndex(), 2);

    vt::CancelDialog();
    EXPECT_FALSE(open->Execute());
    EXPECT_EQ(open->FileName(), "C:\\Projects\\notes.txt");  // unchanged by a cancel

    auto* save = new TSaveDialog(owner.get());
    vt::AnswerFileDialog("C:\\out.rtf");
    ASSERT_TRUE(save->Execute());
    EXPECT_EQ(vt::Dialogs().back().Kind, "Save");
    EXPECT_EQ(save->FileName(), "C:\\out.rtf");
}

TEST_F(DialogsTest, MustExistAndMismatchedAnswersFail)
{
    CollectFailures();
    TOpenDialog open(nullptr);
    open.SetOptions({ofFileMustExist});
    vt::AnswerFileDialog("C:\\missing.wkp");
    EXPECT_FALSE(open.Execute());
    vt::AnswerColorDialog(clRed);  // the next dialog is a font dialog
    TFontDialog font(nullptr);
    EXPECT_FALSE(font.Execute());
    EXPECT_FALSE(open.Execute());  // nothing queued
    EXPECT_EQ(Collected().size(), 4u);
}

TEST_F(DialogsTest, FontAndColourDialogs)
{
    TFontDialog fontDialog(nullptr);
    TFont chosen;
    chosen.SetName("Times New Roman");
    chosen.SetSize(12);
    chosen.SetStyle({fsItalic});
    vt::AnswerFontDialog(chosen);
    ASSERT_TRUE(fontDialog.Execute());
    EXPECT_TRUE(fontDialog.Font()->SameAs(chosen));
    vt::CancelDialog();
    EXPECT_FALSE(fontDialog.Execute());

    TColorDialog colorDialog(nullptr);
    colorDialog.SetColor(clWhite);
    vt::AnswerColorDialog(RGBColor(1, 2, 3));
    ASSERT_TRUE(colorDialog.Execute());
    EXPECT_EQ(colorDialog.Color(), RGBColor(1, 2, 3));
    vt::CancelDialog();
    EXPECT_FALSE(colorDialog.Execute());
    EXPECT_EQ(colorDialog.Color(), RGBColor(1, 2, 3));
    EXPECT_EQ(vt::Dialogs().size(), 4u);
}

TEST_F(DialogsTest, FilterTextSplitsIntoPairs)
{
    auto pairs = SplitDialogFilter("Text|*.txt;*.asc|All|*.*");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, "Text");
    EXPECT_EQ(pairs[0].second, "*.txt;*.asc");
    EXPECT_EQ(pairs[1].second, "*.*");
    EXPECT_TRUE(SplitDialogFilter("").empty());
    auto odd = SplitDialogFilter("Only a name");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].second, "");
}
