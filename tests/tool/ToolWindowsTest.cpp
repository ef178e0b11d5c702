// The small windows of the tool (colours, position and size, preferences, progress, About, the version
// check's form) driven headless, and the program's own file version.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/LayoutChecks.h"
#include "tests/support/PeFiles.h"
#include "tool/AboutUnit.h"
#include "tool/FileVersion.h"
#include "tool/PreferencesUnit.h"
#include "tool/ProgressUnit.h"
#include "tool/ProjectModel.h"
#include "tool/WindowPositionSizeUnit.h"
#include "tool/WindowSetupUnit.h"
#include "tool/update/CheckForNewVersions.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

class ToolWindowsTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        ProjectState() = TProjectState();
    }
    void TearDown() override
    {
        win::SetProgramPath("");
        VclTest::TearDown();
    }
};

void ExpectFrame(const TForm& form, const char* caption, int helpContext)
{
    SCOPED_TRACE(caption);
    EXPECT_EQ(form.Caption(), caption);
    EXPECT_EQ(form.HelpContext(), helpContext);
    EXPECT_EQ(form.Position(), poScreenCenter);
    ExpectLaidOutWhole(form);
}

template <class T>
std::unique_ptr<T> Make()
{
    return std::unique_ptr<T>(new T(Application));
}

// ---- window colours

TEST_F(ToolWindowsTest, TheColourPanelsTakeAPickedColourAndKeepTheirsOnCancel)
{
    auto dialog = Make<TfrmWindowSetup>();
    ExpectFrame(*dialog, "Window Setup", 7);
    EXPECT_EQ(dialog->pnlHeaderColor->Width(), 185);
    EXPECT_EQ(dialog->pnlHeaderColor->Height(), 25);
    EXPECT_EQ(dialog->pnlPageColor->Height(), 41);
    EXPECT_EQ(dialog->pnlHeaderColor->TabOrder(), 0);
    EXPECT_EQ(dialog->pnlPageColor->TabOrder(), 1);
    EXPECT_EQ(dialog->pnlPageColor->Color(), clWhite);

    dialog->pnlHeaderColor->SetColor(clYellow);
    dialog->pnlPageColor->SetColor(clAqua);
    vt::OnNextModal<TfrmWindowSetup>([](TfrmWindowSetup& d) {
        vt::AnswerColorDialog(TColor(0x00123456));
        vt::Click(*d.pnlPageColor);
        vt::CancelDialog();
        vt::Click(*d.pnlHeaderColor);
        vt::Click(*d.btnOK);
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_EQ(dialog->pnlPageColor->Color(), TColor(0x00123456));
    EXPECT_EQ(dialog->pnlHeaderColor->Color(), clYellow);
    // The colour dialog starts at the panel's colour.
    ASSERT_EQ(vt::Dialogs().size(), 2u);
    EXPECT_TRUE(vt::Dialogs()[0].Accepted);
    EXPECT_FALSE(vt::Dialogs()[1].Accepted);
    EXPECT_EQ(dialog->dlgColor->Color(), clYellow);
}

TEST_F(ToolWindowsTest, OKWithoutAPickGivesBackTheColoursItWasGiven)
{
    auto dialog = Make<TfrmWindowSetup>();
    dialog->pnlHeaderColor->SetColor(TColor(0x00010203));
    dialog->pnlPageColor->SetColor(TColor(0x00A0B0C0));
    vt::OnNextModal<TfrmWindowSetup>([](TfrmWindowSetup& d) { vt::Click(*d.btnOK); });
    dialog->ShowModal();
    EXPECT_EQ(dialog->pnlHeaderColor->Color(), TColor(0x00010203));
    EXPECT_EQ(dialog->pnlPageColor->Color(), TColor(0x00A0B0C0));
}

// ---- position and size

TEST_F(ToolWindowsTest, ThePositionDialogClosesOnlyWithFourWholeNumbers)
{
    auto dialog = Make<TfrmWindowPositionSize>();
    ExpectFrame(*dialog, "Window Position / Size", 8);
    for (TEdit* field : {dialog->edtLeft, dialog->edtTop, dialog->edtWidth, dialog->edtHeight})
        field->SetText("0");
    std::vector<AnsiString> refused;
    vt::OnNextModal<TfrmWindowPositionSize>([&refused](TfrmWindowPositionSize& d) {
        for (const char* bad : {"12x", "", "1.5", "2147483648"}) {
            vt::SetText(*d.edtTop, bad);
            vt::AnswerMessage(mrOk);
            vt::Click(*d.btnOK);
            if (d.Visible() && vt::Messages().size() == refused.size() + 1)
                refused.push_back(bad);
        }
        // The close box is refused the same way, and the typed text stays.
        vt::SetText(*d.edtTop, "12x");
        vt::AnswerMessage(mrOk);
        vt::CloseByCloseBox(d);
        EXPECT_TRUE(d.Visible());
        EXPECT_EQ(d.edtTop->Text(), "12x");
        vt::SetText(*d.edtTop, "-20");
        vt::SetText(*d.edtWidth, "-2147483648");
        vt::Click(*d.btnOK);
    });
    dialog->ShowModal();
    EXPECT_EQ(refused, (std::vector<AnsiString>{"12x", "", "1.5", "2147483648"}));
    ASSERT_EQ(vt::Messages().size(), 5u);
    EXPECT_EQ(vt::Messages()[0].Kind, "ShowMessage");
    EXPECT_EQ(vt::Messages()[0].Text, "Invalid number in form.");
    EXPECT_EQ(dialog->edtTop->Text(), "-20");
    EXPECT_FALSE(dialog->Visible());
}

// The fields take a number with leading blanks, as the page dialog's context number does, and the
// caller reads it back the same way.
TEST_F(ToolWindowsTest, ThePositionFieldsTakeLeadingBlanksLikeTheContextNumber)
{
    auto dialog = Make<TfrmWindowPositionSize>();
    for (TEdit* field : {dialog->edtLeft, dialog->edtTop, dialog->edtWidth, dialog->edtHeight})
        field->SetText("0");
    vt::OnNextModal<TfrmWindowPositionSize>([](TfrmWindowPositionSize& d) {
        vt::SetText(*d.edtLeft, "  -20");
        vt::SetText(*d.edtHeight, " $1F");
        vt::Click(*d.btnOK);
        EXPECT_FALSE(d.Visible());
    });
    dialog->ShowModal();
    EXPECT_TRUE(vt::Messages().empty());
    EXPECT_EQ(dialog->FieldValue(*dialog->edtLeft), -20);
    EXPECT_EQ(dialog->FieldValue(*dialog->edtHeight), 31);
    // Blanks after the number, or nothing but blanks, are refused like any other text.
    for (const char* bad : {"12 ", "   "}) {
        dialog->edtTop->SetText(bad);
        vt::OnNextModal<TfrmWindowPositionSize>([](TfrmWindowPositionSize& d) {
            vt::AnswerMessage(mrOk);
            vt::Click(*d.btnOK);
            EXPECT_TRUE(d.Visible());
            vt::SetText(*d.edtTop, "1");
            vt::Click(*d.btnOK);
        });
        dialog->ShowModal();
        EXPECT_EQ(vt::LastMessage().Text, "Invalid number in form.");
    }
}

// ---- preferences

TEST_F(ToolWindowsTest, PreferencesChangeOnlyWithOK)
{
    TProjectState& state = ProjectState();
    state.AutoSaveBackup = true;
    state.CheckForUpdates = false;
    state.UseCompression = true;
    state.ShowHelpFile = false;
    auto toggleAll = [](TfrmPreferences& d) {
        for (TCheckBox* box : {d.cbxBackups, d.cbxUpdates, d.cbxCompression, d.cbxDisplay})
            vt::Click(*box);
    };

    for (const char* close : {"Cancel", "close box"}) {
        SCOPED_TRACE(close);
        auto dialog = Make<TfrmPreferences>();
        EXPECT_TRUE(dialog->cbxBackups->Checked());
        EXPECT_FALSE(dialog->cbxUpdates->Checked());
        EXPECT_TRUE(dialog->cbxCompression->Checked());
        EXPECT_FALSE(dialog->cbxDisplay->Checked());
        const std::string how = close;
        vt::OnNextModal<TfrmPreferences>([&](TfrmPreferences& d) {
            toggleAll(d);
            if (how == "Cancel")
                vt::Click(*d.btnCancel);
            else
                vt::CloseByCloseBox(d);
        });
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
        EXPECT_TRUE(state.AutoSaveBackup);
        EXPECT_FALSE(state.CheckForUpdates);
        EXPECT_TRUE(state.UseCompression);
        EXPECT_FALSE(state.ShowHelpFile);
    }

    auto dialog = Make<TfrmPreferences>();
    ExpectFrame(*dialog, "Preferences", 4);
    vt::OnNextModal<TfrmPreferences>([&](TfrmPreferences& d) {
        toggleAll(d);
        vt::Click(*d.btnOK);
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_FALSE(state.AutoSaveBackup);
    EXPECT_TRUE(state.CheckForUpdates);
    EXPECT_FALSE(state.UseCompression);
    EXPECT_TRUE(state.ShowHelpFile);
}

// ---- progress

TEST_F(ToolWindowsTest, TheProgressWindowBlocksItsFormAndIsGoneOnceClosed)
{
    auto main = Make<TForm>();
    main->Show();
    TProgressWindow progress(main.get(), 0, 7);
    TfrmProgress* window = progress.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Caption(), "Progress");
    EXPECT_EQ(window->Width(), 381);
    EXPECT_EQ(window->Height(), 57);
    EXPECT_TRUE(window->BorderIcons().Empty());
    EXPECT_TRUE(window->Visible());
    EXPECT_FALSE(window->Modal());
    EXPECT_EQ(window->barProgress->Align(), alClient);
    EXPECT_EQ(window->barProgress->Max(), 7);
    EXPECT_FALSE(main->Enabled());

    progress.SetPosition(3);
    EXPECT_EQ(window->barProgress->Position(), 3);
    TComponentRef<TfrmProgress> watch = window;
    progress.Close();
    EXPECT_EQ(progress.Window(), nullptr);
    EXPECT_TRUE(main->Enabled());
    Application->ProcessMessages();
    EXPECT_FALSE(watch);
    // Nothing happens once it is gone.
    progress.SetPosition(5);
    progress.Close();
}

TEST_F(ToolWindowsTest, AProgressWindowClosedOrFreedByAnyoneIsNeverTouchedAgain)
{
    auto main = Make<TForm>();
    {
        TProgressWindow outer(main.get(), 0, 100);
        {
            // A nested one leaves the form to the outer one.
            TProgressWindow inner(main.get(), 0, 3);
            EXPECT_FALSE(main->Enabled());
        }
        EXPECT_FALSE(main->Enabled());
        // Closed by someone else: it frees itself, and the holder forgets it.
        outer.Window()->Close();
        EXPECT_TRUE(main->Enabled());
        Application->ProcessMessages();
        EXPECT_EQ(outer.Window(), nullptr);
        outer.SetRange(0, 5);
    }
    {
        TProgressWindow progress(main.get(), 0, 10);
        delete progress.Window();
        EXPECT_EQ(progress.Window(), nullptr);
        EXPECT_TRUE(main->Enabled());
    }
    {
        // A form that goes first is not touched by the window either.
        auto other = Make<TForm>();
        TProgressWindow progress(other.get(), 0, 1);
        other.reset();
        progress.Close();
        Application->ProcessMessages();
    }
    EXPECT_TRUE(main->Enabled());
}

// ---- About and the file version

TEST_F(ToolWindowsTest, TheAboutWindowShowsTheRunningProgramsVersion)
{
    win::SetProgramPath(win::WindowsPathFromHost(SCRIVANE_EXE));
    auto about = Make<TfrmAbout>();
    ExpectFrame(*about, "About Screen", 16);
    EXPECT_EQ(about->lblVersion->Caption(), "1.0.0.56");
    EXPECT_EQ(about->imgIcon->Picture()->Width(), 32);
    EXPECT_EQ(about->imgIcon->Picture()->Height(), 32);
    EXPECT_EQ(vt::Find<TLabel>(*about, "lblProduct").Font()->Height(), -27);
    vt::OnNextModal<TfrmAbout>([](TfrmAbout& a) { vt::Click(*a.btnOK); });
    about->ShowModal();
    EXPECT_FALSE(about->Visible());

    // A program without a version resource shows an empty version.
    win::SetProgramPath("");
    EXPECT_EQ(Make<TfrmAbout>()->lblVersion->Caption(), "");
}

TEST_F(ToolWindowsTest, TheFileVersionComesFromTheU_S_EnglishTableOfAnyProgramFile)
{
    EXPECT_EQ(GetFileVersionString(win::WindowsPathFromHost(SCRIVANE_EXE)), "1.0.0.56");
    // This test program has no version resource.
    EXPECT_EQ(GetFileVersionString(), "");
    EXPECT_EQ(GetFileVersionString("C:\\no\\such.exe"), "");

    std::filesystem::create_directories(win::HostPathFromWindows("C:\\ver").value());
    auto writePe = [](const char* name, const testpe::TVersionLayout& layout) {
        rtl::WriteWholeFile(AnsiString("C:\\ver\\") + name, testpe::BuildPe(testpe::VersionBlock(layout)).Bytes);
    };
    testpe::TVersionLayout english;
    english.FileVersion = "2.3.4.5";
    english.Values = {{"CompanyName", "Halvern"}, {"FileVersion", "2.3.4.5 (build)"}};
    writePe("english.exe", english);
    testpe::TVersionLayout german = english;
    german.Block = "040704B0";
    german.Translations = {0x04B00407};
    writePe("german.exe", german);
    testpe::TVersionLayout noValue = english;
    noValue.Values = {{"CompanyName", "Halvern"}};
    writePe("novalue.exe", noValue);
    rtl::WriteWholeFile("C:\\ver\\plain.txt", "not a program");

    EXPECT_EQ(GetFileVersionString("C:\\ver\\english.exe"), "2.3.4.5 (build)");
    EXPECT_EQ(GetFileVersionString("C:\\ver\\german.exe"), "");
    EXPECT_EQ(GetFileVersionString("C:\\ver\\novalue.exe"), "");
    EXPECT_EQ(GetFileVersionString("C:\\ver\\plain.txt"), "");
    // The running program may be a PE file too.
    win::SetProgramPath("C:\\ver\\english.exe");
    EXPECT_EQ(GetFileVersionString(), "2.3.4.5 (build)");
}

// ---- the version check's form

TEST_F(ToolWindowsTest, TheVersionCheckWindowHasItsFormAndOpensTheHomePage)
{
    auto check = Make<TfrmCheckForNewVersions>();
    ExpectFrame(*check, "Check For New Versions", 16);
    EXPECT_EQ(check->Width(), 398);
    EXPECT_EQ(check->Height(), 273);
    EXPECT_EQ(check->EventHandlerName("OnActivate"), "FormActivate");
    // The notes fill what the two bands leave.
    EXPECT_EQ(check->mmoVersionNotes->Top(), check->Panel1->Height());
    EXPECT_EQ(check->mmoVersionNotes->Top() + check->mmoVersionNotes->Height(), check->Panel2->Top());
    EXPECT_EQ(check->lblStatus->Caption(), "Checking For New Versions...");

    vt::OnNextModal<TfrmCheckForNewVersions>([](TfrmCheckForNewVersions& c) {
        vt::Click(*c.Label2);
        c.Close();
    });
    check->ShowModal();
    ASSERT_EQ(vt::ShellRequests().size(), 1u);
    EXPECT_EQ(vt::ShellRequests()[0].File, "URL:http://www.example.com/products/applications/scrivane/index.shtml");
    EXPECT_EQ(vt::ShellRequests()[0].Operation, "open");
}

}  // namespace
