// The folder dialog driven as a person would: the folder it opens on, a typed new folder, a folder made
// through the create button and its input box, the dialog opening again on the new folder, and its layout.
#include <gtest/gtest.h>

#include <string>

#include "installer/support/OpenFolderDialog.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Files.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

void MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('\\', 3);; slash = path.find('\\', slash + 1)) {
        win::CreateDirectory(path.substr(0, slash).c_str(), nullptr);
        if (slash == std::string::npos)
            break;
    }
    ASSERT_TRUE(rtl::DirectoryExists(path)) << path;
}

class OpenFolderDialogTest : public VclTest {
protected:
    TOpenFolderDialog dialog{nullptr};
};

}  // namespace

TEST_F(OpenFolderDialogTest, TypedNewFolderIsCreatedWithoutAskingAndTheDialogOpensOnIt)
{
    MakeFolders("C:\\Typed\\Data");
    dialog.SetDirectory("C:\\Typed\\Data");
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        EXPECT_EQ(browser.SelectedPath(), "C:\\Typed\\Data");
        ASSERT_NE(dialog.PathEdit(), nullptr);
        EXPECT_EQ(dialog.PathEdit()->Text(), "C:\\Typed\\Data");
        EXPECT_TRUE(dialog.CreateButton()->Visible());
        vt::SetText(*dialog.PathEdit(), "");
        vt::TypeText(*dialog.PathEdit(), "C:\\Typed\\Data\\New\\Sub1");
        EXPECT_EQ(dialog.CurrentPath(), "C:\\Typed\\Data\\New\\Sub1");
        EXPECT_EQ(browser.SelectedPath(), "C:\\Typed\\Data");  // no such folder yet
        EXPECT_EQ(dialog.PathEdit()->Text(), "C:\\Typed\\Data\\New\\Sub1");
        vt::Click(*dialog.CreateButton());
    });
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        EXPECT_EQ(browser.SelectedPath(), "C:\\Typed\\Data\\New\\Sub1");
        EXPECT_EQ(dialog.PathEdit()->Text(), "C:\\Typed\\Data\\New\\Sub1");
        vt::Click(*browser.btnOK);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Directory(), "C:\\Typed\\Data\\New\\Sub1");
    EXPECT_TRUE(rtl::DirectoryExists("C:\\Typed\\Data\\New\\Sub1"));
    EXPECT_TRUE(vt::Messages().empty());  // nobody was asked for a name
    EXPECT_EQ(vt::ModalFormsShown().size(), 2u);
}

TEST_F(OpenFolderDialogTest, CreateButtonAsksForTheNameOfTheNewFolderInsideTheSelectedOne)
{
    MakeFolders("C:\\Button\\Data");
    dialog.SetDirectory("C:\\Button\\Data");
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        vt::CancelInput();
        vt::Click(*dialog.CreateButton());
        EXPECT_FALSE(rtl::DirectoryExists("C:\\Button\\Data\\Made"));
        EXPECT_EQ(browser.ModalResult(), mrNone);  // still open

        vt::AnswerInput("Made");
        vt::Click(*dialog.CreateButton());
    });
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        EXPECT_EQ(browser.SelectedPath(), "C:\\Button\\Data\\Made");
        vt::Click(*browser.btnOK);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Directory(), "C:\\Button\\Data\\Made");
    ASSERT_EQ(vt::Messages().size(), 2u);
    const vt::TShownMessage& asked = vt::Messages()[1];
    EXPECT_EQ(asked.Kind, "InputQuery");
    EXPECT_EQ(asked.Caption, "New Folder");
    EXPECT_EQ(asked.Text, TOFDResourceStrings::NewFolderPrompt());
}

TEST_F(OpenFolderDialogTest, OpensOnTheNearestExistingFolderAndFollowsTheSelection)
{
    MakeFolders("C:\\Start\\Data");
    struct Case {
        const char* Directory;
        const char* Selected;
    } cases[] = {
        {"C:\\Start\\Data\\Missing\\Deeper", "C:\\Start\\Data"},
        {"c:\\start\\data\\", "C:\\Start\\Data"},
        {"C:\\", "C:\\"},
        {"C:", "C:\\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Directory);
        dialog.SetDirectory(c.Directory);
        vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
            EXPECT_EQ(browser.SelectedPath(), c.Selected);
            EXPECT_EQ(dialog.PathEdit()->Text(), c.Selected);
            // Create is offered exactly while OK may be pressed: not on My Computer.
            EXPECT_EQ(dialog.CreateButton()->Visible(), browser.btnOK->Enabled());
            EXPECT_EQ(browser.btnOK->Enabled(), *c.Selected != 0);
            vt::Click(*browser.btnCancel);
        });
        EXPECT_FALSE(dialog.Execute());
        EXPECT_EQ(dialog.Directory(), c.Directory);
    }

    dialog.SetDirectory("C:\\Start");
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        browser.tvFolders->Selected()->Expand(false);  // the person opens C:\Start
        vt::SelectItem(*browser.tvFolders, "My Computer");
        EXPECT_FALSE(browser.btnOK->Enabled());
        EXPECT_FALSE(dialog.CreateButton()->Visible());
        vt::SelectItem(*browser.tvFolders, "Data");
        EXPECT_TRUE(dialog.CreateButton()->Visible());
        EXPECT_EQ(dialog.PathEdit()->Text(), "C:\\Start\\Data");
        vt::Click(*browser.btnOK);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Directory(), "C:\\Start\\Data");
}

TEST_F(OpenFolderDialogTest, TypedFolderIsMadeWhenOkIsPressedAndAFolderThatCannotBeMadeIsAnError)
{
    MakeFolders("C:\\Ok");
    dialog.SetDirectory("C:\\Ok");
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        vt::SetText(*dialog.PathEdit(), "");
        vt::TypeText(*dialog.PathEdit(), "Q:\\Nowhere\\");
        vt::AnswerMessage(mrOk);
        vt::Click(*dialog.CreateButton());
        EXPECT_EQ(vt::LastMessage().Text, "Cannot create the folder Q:\\Nowhere\\.");
        EXPECT_EQ(browser.ModalResult(), mrNone);

        vt::SetText(*dialog.PathEdit(), "");
        vt::TypeText(*dialog.PathEdit(), "c:\\ok\\Later\\Inner");
        vt::Click(*browser.btnOK);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Directory(), "c:\\ok\\Later\\Inner");
    EXPECT_TRUE(rtl::DirectoryExists("C:\\Ok\\Later\\Inner"));

    // An emptied edit box leaves the folder the tree shows.
    dialog.SetDirectory("C:\\Ok");
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        vt::SetText(*dialog.PathEdit(), "x");
        vt::PressKey(*dialog.PathEdit(), VK_DELETE);
        EXPECT_EQ(dialog.CurrentPath(), "");
        vt::Click(*browser.btnOK);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Directory(), "C:\\Ok");
}

TEST_F(OpenFolderDialogTest, CreateButtonAndPathEditSitBesideTheBrowsersOwnControls)
{
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        // The browser's OK is (142, 268, 217, 291) and Cancel starts at 223; its tree starts at (12, 44).
        EXPECT_EQ(dialog.CreateButton()->BoundsRect(), Rect(12, 246, 136, 269));
        EXPECT_EQ(dialog.CreateButton()->Caption(), "&New Folder");
        EXPECT_EQ(browser.tvFolders->Height(), 130);
        EXPECT_FALSE(browser.tvFolders->HideSelection());
        EXPECT_EQ(dialog.PathEdit()->BoundsRect(), Rect(12, 189, 298, 210));
        EXPECT_EQ(browser.lblTitle->Caption(), TOFDResourceStrings::Title());
        vt::Click(*browser.btnCancel);
    });
    EXPECT_FALSE(dialog.Execute());

    MakeFolders("C:\\Plain\\Data");
    dialog.SetShowCreateButton(false);
    dialog.SetShowPathEdit(false);
    dialog.SetDirectory("C:\\Plain");
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        EXPECT_EQ(dialog.CreateButton(), nullptr);
        EXPECT_EQ(dialog.PathEdit(), nullptr);
        EXPECT_EQ(browser.tvFolders->Height(), 190);
        browser.tvFolders->Selected()->Expand(false);  // the person opens C:\Plain
        vt::SelectItem(*browser.tvFolders, "Data");
        vt::Click(*browser.btnOK);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Directory(), "C:\\Plain\\Data");
}
