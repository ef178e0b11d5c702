// Every window of the tool as a person reads it: no caption, label, button or check box text cut short by
// its control, measured with the fonts the windows draw with.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tool/AboutUnit.h"
#include "tool/LinkPropertiesUnit.h"
#include "tool/MainUnit.h"
#include "tool/PageHeaderUnit.h"
#include "tool/PagePropertiesUnit.h"
#include "tool/PreferencesUnit.h"
#include "tool/ProgressUnit.h"
#include "tool/ProjectModel.h"
#include "tool/TOCTopicPropertiesUnit.h"
#include "tool/TableOfContentsUnit.h"
#include "tool/WindowPositionSizeUnit.h"
#include "tool/WindowSetupUnit.h"
#include "tool/update/CheckForNewVersions.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

class FormLayoutTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        const AnsiString folder = "C:\\Program Files\\Scrivane Layout";
        std::filesystem::create_directories(win::HostPathFromWindows(folder).value_or(""));
        win::SetProgramPath(folder + "\\Scrivane.exe");
        rtl::WriteWholeFile(folder + "\\config.ini", "[Preferences]\r\n");
        const char* argv[] = {"Scrivane"};
        win::SetCommandLine(1, argv);
        ProjectState() = TProjectState();
    }
    void TearDown() override
    {
        win::SetProgramPath("");
        VclTest::TearDown();
    }
};

void ExpectTextsWhole(TForm& form)
{
    for (const AnsiString& cut : vt::CutTexts(form))
        ADD_FAILURE() << form.ClassName() << " '" << form.Caption() << "': " << cut;
}

template <class T>
void ExpectTextsWhole()
{
    std::unique_ptr<T> form(new T(Application));
    ExpectTextsWhole(*form);
}

}  // namespace

TEST_F(FormLayoutTest, NoWindowOfTheToolCutsItsTexts)
{
    vt::OnNextModal<TfrmAbout>([](TfrmAbout& about) { vt::Click(*about.btnOK); });
    std::unique_ptr<TfrmMainMenu> main(new TfrmMainMenu(Application));
    main->Show();
    ExpectTextsWhole(*main);
    ExpectTextsWhole<TfrmAbout>();
    ExpectTextsWhole<TfrmLinkProperties>();
    ExpectTextsWhole<TfrmPageHeader>();
    ExpectTextsWhole<TfrmPageProperties>();
    ExpectTextsWhole<TfrmPreferences>();
    ExpectTextsWhole<TfrmProgress>();
    ExpectTextsWhole<TfrmTOCTopicProperties>();
    ExpectTextsWhole<TfrmTableOfContents>();
    ExpectTextsWhole<TfrmWindowPositionSize>();
    ExpectTextsWhole<TfrmWindowSetup>();
    ExpectTextsWhole<TfrmCheckForNewVersions>();
}

// The checker itself: a caption wider than its button, and a wrapped label one line short of its text,
// are both told.
TEST_F(FormLayoutTest, ACutTextIsTold)
{
    std::unique_ptr<TForm> form(new TForm(Application));
    form->SetName("frmCut");
    auto* button = new TButton(form.get());
    button->SetName("btnLong");
    button->SetParent(form.get());
    button->SetCaption("A caption far too long for a button");
    auto* label = new TLabel(form.get());
    label->SetName("lblTwoLines");
    label->SetParent(form.get());
    label->SetAutoSize(false);
    label->SetWordWrap(true);
    label->SetCaption("Which directory do you want to install this program into?");
    label->SetBounds(8, 40, 120, 14);
    const auto cut = vt::CutTexts(*form);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_NE(cut[0].find("frmCut.btnLong"), AnsiString::npos) << cut[0];
    EXPECT_NE(cut[1].find("frmCut.lblTwoLines"), AnsiString::npos) << cut[1];
    // Room for every line, descenders included, is enough.
    label->SetBounds(8, 40, 120, 60);
    button->SetCaption("OK");
    EXPECT_TRUE(vt::CutTexts(*form).empty());
}
