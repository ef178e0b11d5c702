// The shell's folder browser: the name space it shows, selecting a path in it, OK for folders only, and
// what its callback hears.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/FolderBrowser.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Files.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
namespace vt = vcl::test;

class FolderBrowserTest : public VclTest {};

TEST_F(FolderBrowserTest, SelectsFullPathsOfExistingFoldersOnly)
{
    win::CreateDirectory("C:\\Browse", nullptr);
    win::CreateDirectory("C:\\Browse\\Inner Folder", nullptr);
    TFolderBrowser browser(nullptr, TBrowseInfo{"Pick one", BIF_RETURNONLYFSDIRS, {}});
    EXPECT_EQ(browser.lblTitle->Caption(), "Pick one");
    EXPECT_EQ(browser.SelectedPath(), "");
    EXPECT_FALSE(browser.btnOK->Enabled());
    // My Computer holds the drives, each a root path.
    TTreeNode* computer = browser.tvFolders->Items()->GetFirstNode();
    ASSERT_NE(computer, nullptr);
    EXPECT_EQ(computer->Text(), "My Computer");
    std::vector<std::string> drives;
    for (int i = 0; i < computer->Count(); ++i)
        drives.push_back(computer->Item(i)->Text());
    EXPECT_EQ(drives, (std::vector<std::string>{"A:\\", "C:\\", "Z:\\"}));

    EXPECT_TRUE(browser.SelectPath("c:\\browse\\inner folder\\"));
    EXPECT_EQ(browser.SelectedPath(), "C:\\Browse\\Inner Folder");
    EXPECT_TRUE(browser.btnOK->Enabled());
    EXPECT_TRUE(browser.tvFolders->Selected()->IsVisible());

    for (const char* refused : {"C:\\Browse\\Missing", "Browse", "\\\\server\\share", "C:\\\\Browse", "C:Browse", "Q:\\", ""}) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(browser.SelectPath(refused));
        EXPECT_EQ(browser.SelectedPath(), "C:\\Browse\\Inner Folder");
    }
    EXPECT_TRUE(browser.SelectPath("C:"));
    EXPECT_EQ(browser.SelectedPath(), "C:\\");
}

TEST_F(FolderBrowserTest, CallbackHearsTheStartAndEveryChangeAndOkGivesTheFolder)
{
    win::CreateDirectory("C:\\Heard", nullptr);
    std::vector<std::string> heard;
    TBrowseInfo info{"", BIF_RETURNONLYFSDIRS, {}};
    info.Callback = [&](TFolderBrowser& browser, TBrowseMessage message, const AnsiString& path) {
        heard.push_back(EnumName(message) + " " + path);
        if (message == bmInitialized)
            browser.SelectPath("C:\\Heard");
    };
    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) {
        vt::SelectItem(*browser.tvFolders, "My Computer");
        vt::SelectItem(*browser.tvFolders, "Heard");
        vt::Click(*browser.btnOK);
    });
    AnsiString path = "unchanged";
    EXPECT_TRUE(BrowseForFolder(info, path));
    EXPECT_EQ(path, "C:\\Heard");
    EXPECT_EQ(heard, (std::vector<std::string>{"bmInitialized ", "bmSelChanged C:\\Heard", "bmSelChanged C:\\Heard",
                                               "bmSelChanged ", "bmSelChanged C:\\Heard"}));

    vt::OnNextModal<TFolderBrowser>([&](TFolderBrowser& browser) { vt::Click(*browser.btnCancel); });
    EXPECT_FALSE(BrowseForFolder(info, path));
    EXPECT_EQ(path, "C:\\Heard");
}
