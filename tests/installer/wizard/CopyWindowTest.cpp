// The windows of a copy pass: the copy-progress window as the during-copy manager makes, feeds, places and
// ends it, its Cancel, and the status popup's stack of texts, its size and place, its translation and its
// refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>


#include "installer/engine/InstallFiles.h"
#include "installer/support/NetInstallLocation.h"
#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkTranslator.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/wizard/CopyWindowTestSupport.h"
#include "tests/platform/vcl/ControlTestSupport.h"
#include "tests/platform/vcl/RealWidgetPress.h"

namespace vt = vcl::test;

namespace {

TFileStatusParameter FileStatus(const char* name, uint32_t filePercent, uint32_t totalPercent)
{
    TFileStatusParameter status;
    status.FileName = name;
    status.FilePercent = filePercent;
    status.TotalPercent = totalPercent;
    return status;
}

TDownloadStatusParameter DownloadStatus(const char* name, uint32_t percent)
{
    TDownloadStatusParameter status;
    status.FileName = name;
    status.Percent = percent;
    return status;
}

// Where a control sits in its form's client area.
vcl::TPoint OnForm(const vcl::TControl& control)
{
    vcl::TPoint at{control.Left(), control.Top()};
    for (const vcl::TControl* parent = control.Parent(); parent && !dynamic_cast<const vcl::TCustomForm*>(parent);
         parent = parent->Parent()) {
        at.X += parent->Left();
        at.Y += parent->Top();
    }
    return at;
}

// The message of the IException a message raises, or "" when it raises none.
std::string Refusal(TfrmCopySetup& setup, int code, rtl::TObject* parameter)
{
    try {
        setup.Send(code, parameter);
    } catch (const IException& e) {
        return e.Message();
    }
    return "";
}

// ---------------------------------------------------------------------------------------------------------

TEST_F(CopyWindowTest, TheCopyWindowIsBuiltAsDesigned)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    TCopyFileDlg& dialog = setup->CopyDialog();
    EXPECT_EQ(dialog.DialogManager(), &setup->Manager());

    std::unique_ptr<TCopyFileForm> form(new TCopyFileForm(vcl::Application));
    EXPECT_EQ(form->DM(), &setup->Manager());
    EXPECT_EQ(form->Caption(), "Copying installation files");
    EXPECT_EQ(form->ClientWidth(), 466);
    EXPECT_EQ(form->ClientHeight(), 119);
    EXPECT_TRUE(form->UnZipImage->Visible());
    EXPECT_FALSE(form->TransferBitmap->Visible());
    EXPECT_FALSE(form->UnZipImage->Picture()->Empty());
    EXPECT_FALSE(form->TransferBitmap->Picture()->Empty());
    EXPECT_EQ(form->TransferBitmap->Left(), form->UnZipImage->Left());
    EXPECT_EQ(form->TransferBitmap->Top(), form->UnZipImage->Top());
    EXPECT_TRUE(form->CancelBtn->Cancel());
    EXPECT_EQ(form->lblCopyingFile->Caption(), "---");
    for (vcl::TProgressBar* bar : {form->ProgressBar1, form->ProgressBar2}) {
        EXPECT_EQ(bar->Min(), 0);
        EXPECT_EQ(bar->Max(), 100);
        EXPECT_EQ(bar->Width(), 176);
        EXPECT_EQ(bar->Height(), 16);  // a bar, not a block filling its row
    }
    // The labels stand left of their bars, with a gap, the file row above the total row.
    EXPECT_EQ(form->Label1->Alignment(), vcl::taRightJustify);
    EXPECT_GE(OnForm(*form->ProgressBar1).X - (OnForm(*form->Label1).X + form->Label1->Width()), 6);
    EXPECT_GE(OnForm(*form->ProgressBar2).X - (OnForm(*form->Label2).X + form->Label2->Width()), 6);
    EXPECT_LT(OnForm(*form->ProgressBar1).Y, OnForm(*form->ProgressBar2).Y);
    EXPECT_LT(OnForm(*form->Label1).X, OnForm(*form->ProgressBar1).X);
    EXPECT_LT(OnForm(*form->lblCopyFileHeader).Y, OnForm(*form->lblCopyingFile).Y);
    EXPECT_LT(OnForm(*form->lblCopyingFile).Y, OnForm(*form->ProgressBar1).Y);
    EXPECT_LE(OnForm(*form->ProgressBar2).Y + form->ProgressBar2->Height(), form->ClientHeight());
    EXPECT_LT(OnForm(*form->ProgressBar1).X + 176, OnForm(*form->CancelBtn).X);

    // A dialog made after the form was loaded finds the manager itself.
    std::unique_ptr<TCopyFileDlg> later(new TCopyFileDlg(nullptr));
    EXPECT_EQ(later->DialogManager(), &setup->Manager());
}

TEST_F(CopyWindowTest, ACopyPassMakesTheWindowFeedsItAndHidesItAtTheEnd)
{
    vcl::Screen->SetSize(1280, 1024);
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    EXPECT_EQ(setup->CopyWindow(), nullptr);

    // The install file's own name, as the file container sends it.
    TFileStatusParameter first = FileStatus("Scrivane.exe", 40, 10);
    setup->Send(InstallMessage::FileStatus, &first);
    TCopyFileForm* window = setup->CopyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(setup->CopyDialog().Form(), window);
    EXPECT_TRUE(window->Visible());
    EXPECT_EQ(window->lblCopyingFile->Caption(), "Scrivane.exe");
    EXPECT_EQ(window->ProgressBar1->Position(), 40);
    EXPECT_EQ(window->ProgressBar2->Position(), 10);
    EXPECT_FALSE(window->TransferBitmap->Visible());
    // Bottom centre at the dialog's size, 30 above the bottom edge less the caption.
    const int sw = vcl::Screen->Width();
    const int sh = vcl::Screen->Height();
    EXPECT_EQ(window->Width(), 474);
    EXPECT_EQ(window->Height(), 146);
    EXPECT_EQ(window->Left(), static_cast<int>(std::nearbyint(sw / 2.0 - 474 / 2.0)));
    EXPECT_EQ(window->Top(), sh - vcl::GetSystemMetrics(vcl::SM_CYCAPTION) - 146 - 30);

    // A download shows the transfer picture over the unpacking one and leaves the total bar.
    TDownloadStatusParameter download = DownloadStatus("http://127.0.0.1/setup.2", 70);
    setup->Send(InstallMessage::DownloadStatus, &download);
    EXPECT_EQ(setup->CopyWindow(), window);
    EXPECT_TRUE(window->TransferBitmap->Visible());
    EXPECT_TRUE(window->UnZipImage->Visible());
    EXPECT_EQ(window->ProgressBar1->Position(), 70);
    EXPECT_EQ(window->ProgressBar2->Position(), 10);
    EXPECT_EQ(window->lblCopyingFile->Caption(), "http://127.0.0.1/setup.2");

    TFileStatusParameter next = FileStatus("Tools\\hcrtf.exe", 5, 60);
    setup->Send(InstallMessage::FileStatus, &next);
    EXPECT_FALSE(window->TransferBitmap->Visible());
    EXPECT_EQ(window->ProgressBar1->Position(), 5);
    EXPECT_EQ(window->ProgressBar2->Position(), 60);
    EXPECT_EQ(window->lblCopyingFile->Caption(), "Tools\\hcrtf.exe");

    setup->Send(InstallMessage::PassDone, nullptr);
    EXPECT_EQ(setup->CopyWindow(), nullptr);
    EXPECT_FALSE(window->Visible());

    // The next pass has a window of its own, which starts from the design again.
    TDownloadStatusParameter again = DownloadStatus("setup.3", 20);
    setup->Send(InstallMessage::DownloadStatus, &again);
    TCopyFileForm* second = setup->CopyWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, window);
    EXPECT_TRUE(second->Visible());
    EXPECT_EQ(second->ProgressBar2->Position(), 0);
    EXPECT_EQ(setup->CopyDialog().Form(), second);
    setup->Send(InstallMessage::PassDone, nullptr);
    EXPECT_TRUE(vt::ModalFormsShown().empty());
}

TEST_F(CopyWindowTest, TheEnginesCopyPassNamesTheInstallFileAndEndsTheWindow)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    WriteHost(DriveC("src/readme.txt"), std::string(5000, 'r'));
    TCustomInstallFile* file = TInstallFile::CreateInContainer(setup.get(), &setup->Install(), "C:\\src\\readme.txt");
    file->SetDestName("liesmich.txt");
    std::vector<std::string> seen;
    setup->Install().OnStatus = [&](TCustomInstallFile*, uint32_t, uint32_t) {
        if (TCopyFileForm* window = setup->CopyWindow())
            seen.push_back(window->lblCopyingFile->Caption());
    };
    setup->Install().CopyFiles();
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/liesmich.txt")), std::string(5000, 'r'));
    // The window came with the first status and was fed the file's own name; the pass's end hid it.
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "readme.txt");
    EXPECT_EQ(setup->CopyWindow(), nullptr);
    auto* window = dynamic_cast<TCopyFileForm*>(setup->CopyDialog().Form());
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->Visible());
    EXPECT_EQ(window->lblCopyingFile->Caption(), "readme.txt");
    EXPECT_EQ(window->ProgressBar1->Position(), 100);
    EXPECT_EQ(window->ProgressBar2->Position(), 100);
}

// A whole installation from the archive of a directory inside a group: the total bar climbs with the
// bytes of both files and ends full.
TEST_F(CopyWindowTest, TheTotalBarFollowsAWholeInstallationFromItsArchive)
{
    std::unique_ptr<TfrmCopySetup> setup = ArchivedSetup();
    TInstall& install = setup->Install();
    auto* docs = setup->FindChild<TInstallDirectory>("Docs");

    std::vector<int> totals;
    std::vector<int> files;
    // Each status sees the window as the one before it left it.
    docs->OnStatus = [&](TCustomInstallFile*, uint32_t, uint32_t) {
        if (TCopyFileForm* window = setup->CopyWindow()) {
            totals.push_back(window->ProgressBar2->Position());
            files.push_back(window->ProgressBar1->Position());
        }
    };
    install.InstallTree();
    install.SetInstalling(false);
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/b.txt")), std::string(100000, 'b'));

    auto* window = dynamic_cast<TCopyFileForm*>(setup->CopyDialog().Form());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->ProgressBar2->Position(), 100);
    ASSERT_FALSE(totals.empty());
    EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end())) << ::testing::PrintToString(totals);
    // The file added last stands first, so the larger one, three quarters of the bytes, takes the total
    // from a quarter to full: it passes 70 to 80 on the way.
    EXPECT_TRUE(std::any_of(totals.begin(), totals.end(), [](int t) { return t >= 70 && t <= 80; }))
        << ::testing::PrintToString(totals);
    EXPECT_EQ(files.back(), 100) << ::testing::PrintToString(files);
}

// The middle row of a bar as its widget paints it in the form's picture.
std::vector<uint32_t> PaintedRow(vcl::TCustomForm& form, const vcl::TControl& bar)
{
    const ctltest::TPicturePixels picture = ctltest::FormPicture(form);
    const vcl::TPoint at = OnForm(bar);
    const int y = form.FrameWidth() + form.CaptionHeight() + at.Y + bar.Height() / 2;
    std::vector<uint32_t> row;
    for (int x = 0; x < bar.Width(); ++x)
        row.push_back(picture.At(form.FrameWidth() + at.X + x, y));
    return row;
}

// How much of the bar's width is painted filled, in percent: the columns that differ from the empty bar.
int PaintedPercent(const std::vector<uint32_t>& row, const std::vector<uint32_t>& empty)
{
    int filled = 0;
    for (size_t x = 0; x < row.size(); ++x)
        filled += row[x] != empty[x];
    return static_cast<int>(std::lround(100.0 * filled / static_cast<double>(row.size())));
}

// What a person sees through the driver's whole run, as the setup program starts it (the archive's
// information read first, then the tree installed): the total bar as its widget paints it rises with the
// bytes and ends full.
TEST_F(CopyWindowTest, TheTotalBarIsPaintedFullThroughTheDriversInstallationRun)
{
    std::unique_ptr<TfrmCopySetup> setup = ArchivedSetup();
    auto* docs = setup->FindChild<TInstallDirectory>("Docs");
    std::vector<std::vector<uint32_t>> rows;
    size_t firstOfSecondFile = 0;
    TCustomInstallFile* current = nullptr;
    // Each status sees the window as the one before it left it.
    docs->OnStatus = [&](TCustomInstallFile* file, uint32_t, uint32_t) {
        TCopyFileForm* window = setup->CopyWindow();
        if (!window)
            return;
        if (current && file != current && !firstOfSecondFile)
            firstOfSecondFile = rows.size();
        current = file;
        rows.push_back(PaintedRow(*window, *window->ProgressBar2));
    };
    // As the loading program starts the setup: from the distribution's folder.
    setup->Install().ParseCommandLine({"-sC:\\dist"});
    setup->Install().Install();
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/a.txt")), std::string(300000, 'a'));

    auto* window = dynamic_cast<TCopyFileForm*>(setup->CopyDialog().Form());
    ASSERT_NE(window, nullptr);
    vcl::TProgressBar& total = *window->ProgressBar2;
    rows.push_back(PaintedRow(*window, total));  // as the pass left it
    total.SetPosition(0);
    const std::vector<uint32_t> empty = PaintedRow(*window, total);
    std::vector<int> painted;
    for (const auto& row : rows)
        painted.push_back(PaintedPercent(row, empty));
    ASSERT_GT(firstOfSecondFile, 10u) << ::testing::PrintToString(painted);
    EXPECT_TRUE(std::is_sorted(painted.begin(), painted.end())) << ::testing::PrintToString(painted);
    // The file added last stands first: the smaller one, a quarter of the bytes.
    EXPECT_NEAR(painted[firstOfSecondFile], 25, 3) << ::testing::PrintToString(painted);
    // Full, frame and all.
    EXPECT_EQ(painted.back(), 100);
}

TEST_F(CopyWindowTest, WithoutTheDialogNoCopyWindowShowsAndAGoneDialogLeavesNoRegistration)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    const int registered = DuringCopyFormCount();
    delete &setup->CopyDialog();
    EXPECT_EQ(DuringCopyFormCount(), registered - 1);
    TFileStatusParameter status = FileStatus("Scrivane.exe", 1, 1);
    setup->Send(InstallMessage::FileStatus, &status);
    EXPECT_EQ(setup->Manager().DuringCopyFormCount(), 0);
}

// A copy window shown by a pass, whose driver counts the user's questions and answers them with Answer.
struct TAskedCopyWindow {
    TAskedCopyWindow() : Setup(new TfrmCopySetup(nullptr))
    {
        Setup->Install().OnUserAbort = [this](TCustomInstall*, bool& quitOut) {
            ++Asked;
            quitOut = Answer;
        };
        SharedCompressor().SetAbort(false);
        SetNetDownloadAbort(false);
        TFileStatusParameter status = FileStatus("Scrivane.exe", 50, 50);
        Setup->Send(InstallMessage::FileStatus, &status);
        Window = Setup->CopyWindow();
    }
    std::unique_ptr<TfrmCopySetup> Setup;
    int Asked = 0;
    bool Answer = false;
    TCopyFileForm* Window = nullptr;
};

TEST_F(CopyWindowTest, CancelAsksTheDriverAndStopsTheLoopsButLeavesTheWindowOpen)
{
    TAskedCopyWindow asking;
    ASSERT_NE(asking.Window, nullptr);
    TfrmCopySetup* setup = asking.Setup.get();
    TCopyFileForm* window = asking.Window;
    int& asked = asking.Asked;
    bool& answer = asking.Answer;

    vt::Click(*window->CancelBtn);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(SharedCompressor().Abort());
    EXPECT_FALSE(NetDownloadAbort());
    answer = true;
    vt::Click(*window->CancelBtn);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(SharedCompressor().Abort());
    EXPECT_TRUE(NetDownloadAbort());
    // The window stays until the pass ends.
    EXPECT_TRUE(window->Visible());
    EXPECT_EQ(setup->CopyWindow(), window);
    setup->Send(InstallMessage::PassDone, nullptr);
    EXPECT_FALSE(window->Visible());
    SharedCompressor().SetAbort(false);
    SetNetDownloadAbort(false);
}

// The window system's close request to the copy window's own Qt window (the close box, Alt+F4).
void RequestClose(vcl::TCustomForm& form)
{
    ASSERT_TRUE(vt::RequestRealClose(form));
    vt::ProcessMessages();
}

TEST_F(CopyWindowTest, ACloseRequestIsACancelAndTheWindowStays)
{
    TAskedCopyWindow asking;
    ASSERT_NE(asking.Window, nullptr);
    TfrmCopySetup* setup = asking.Setup.get();
    TCopyFileForm* window = asking.Window;
    int& asked = asking.Asked;
    bool& answer = asking.Answer;

    // Refused by the driver: nothing stops, and the window is still there to cancel later.
    RequestClose(*window);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(SharedCompressor().Abort());
    EXPECT_TRUE(window->Visible());
    answer = true;
    RequestClose(*window);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(SharedCompressor().Abort());
    EXPECT_TRUE(NetDownloadAbort());
    EXPECT_TRUE(window->Visible());
    EXPECT_EQ(setup->CopyWindow(), window);
    // The pass's own end still takes the window away.
    setup->Send(InstallMessage::PassDone, nullptr);
    EXPECT_FALSE(window->Visible());
    SharedCompressor().SetAbort(false);
    SetNetDownloadAbort(false);
}

// Keys typed into the copy window as it comes up: Return and Space meant for the page before do not
// cancel; Escape, the window's cancel key, asks as the button does.
TEST_F(CopyWindowTest, OnlyEscapeCancelsFromTheKeyboard)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    int asked = 0;
    setup->Install().OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
        ++asked;
        quitOut = false;
    };
    TFileStatusParameter status = FileStatus("Scrivane.exe", 50, 50);
    setup->Send(InstallMessage::FileStatus, &status);
    TCopyFileForm* window = setup->CopyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(vt::ActivateRealWindow(*window, window->CancelBtn));
    vt::ProcessMessages();
    vt::PressRealKey(*window, vt::TRealKey::Return);
    vt::PressRealKey(*window, vt::TRealKey::Space);
    EXPECT_EQ(asked, 0);
    vt::PressRealKey(*window, vt::TRealKey::Escape);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window->Visible());
    setup->Send(InstallMessage::PassDone, nullptr);
}

class CopyWindowRunTest : public CopyWindowTest {
protected:
    void TearDown() override
    {
        if (vcl::GetApplication())
            vcl::GetApplication()->ResetRunState();
        SetupExitCode() = secGood;
        SharedCompressor().SetAbort(false);
        SetNetDownloadAbort(false);
        CopyWindowTest::TearDown();
    }
    // The driver's run as the setup program makes it; what leaves it goes to the application's handler.
    void Run(TInstall& install)
    {
        install.ParseCommandLine({"-sC:\\dist"});
        try {
            install.Install();
        } catch (...) {
            vcl::GetApplication()->HandleException(&install);
        }
    }
};

// Cancel pressed while the last file finishes, after the archive loop last looked at its flag: the run
// still ends as cancelled, and what it had installed goes again.
TEST_F(CopyWindowRunTest, ACancelAsTheLastFileEndsIsHonoured)
{
    std::unique_ptr<TfrmCopySetup> setup = ArchivedSetup();
    // The file added first is unpacked last.
    auto* last = setup->FindChild<TCustomInstallFile>("FileA");
    int asked = 0;
    setup->Install().OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
        ++asked;
        quitOut = true;
    };
    last->OnAfterInstall = [&](TCustomInstallFile*) {
        TCopyFileForm* window = setup->CopyWindow();
        ASSERT_NE(window, nullptr);
        vt::Click(*window->CancelBtn);
    };
    Run(setup->Install());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(SetupExitCode(), secCancelled);
    EXPECT_TRUE(setup->Install().Aborted());
    EXPECT_FALSE(setup->Install().Committed());
    EXPECT_FALSE(std::filesystem::exists(DriveC("Program Files/MyApplication/Docs/a.txt")));
    EXPECT_FALSE(std::filesystem::exists(DriveC("Program Files/MyApplication/Docs/b.txt")));
}

// Once the run has committed, Cancel and the close request are refused with a message, unasked.
TEST_F(CopyWindowRunTest, AfterTheCommitACancelIsRefusedWithAMessage)
{
    std::unique_ptr<TfrmCopySetup> setup = ArchivedSetup();
    int asked = 0;
    setup->Install().OnUserAbort = [&](TCustomInstall*, bool& quitOut) {
        ++asked;
        quitOut = true;
    };
    Run(setup->Install());
    ASSERT_EQ(SetupExitCode(), secGood);
    EXPECT_TRUE(setup->Install().Committed());

    TFileStatusParameter status = FileStatus("a.txt", 100, 100);
    setup->Send(InstallMessage::FileStatus, &status);
    TCopyFileForm* window = setup->CopyWindow();
    ASSERT_NE(window, nullptr);
    vt::ClearMessages();
    vt::AnswerMessage(vcl::mrOk);
    vt::Click(*window->CancelBtn);
    vt::AnswerMessage(vcl::mrOk);
    RequestClose(*window);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(SharedCompressor().Abort());
    EXPECT_FALSE(NetDownloadAbort());
    ASSERT_EQ(vt::Messages().size(), 2u);
    for (const vt::TShownMessage& shown : vt::Messages())
        EXPECT_EQ(shown.Text, "The installation is complete and can no longer be cancelled.");
    EXPECT_TRUE(window->Visible());
    setup->Send(InstallMessage::PassDone, nullptr);
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/a.txt")), std::string(300000, 'a'));
}

// ---------------------------------------------------------------------------------------------------------

TEST_F(CopyWindowTest, ThePopupShowsTheNewestTextOnItsStackAndHidesWhenItIsEmpty)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    TInstallStatusDlg& dialog = setup->StatusDialog();
    EXPECT_EQ(dialog.Form(), nullptr);
    setup->Pop();  // nothing to pop, nothing shown
    EXPECT_EQ(dialog.Form(), nullptr);

    setup->Push("Installing the program files");
    TInstallStatusForm* popup = dialog.StatusForm();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->Visible());
    EXPECT_EQ(popup->lblMessage->Caption(), "Installing the program files");
    setup->Push("Registering the help files");
    EXPECT_EQ(popup->lblMessage->Caption(), "Registering the help files");

    setup->Pop();
    EXPECT_TRUE(popup->Visible());
    EXPECT_EQ(popup->lblMessage->Caption(), "Installing the program files");
    EXPECT_EQ(dialog.CurrentText(), "Installing the program files");
    setup->Pop();
    EXPECT_FALSE(popup->Visible());
    EXPECT_TRUE(dialog.Texts().empty());
    setup->Pop();
    EXPECT_FALSE(popup->Visible());

    // The same window comes back for the next stage.
    setup->Push("Creating the shortcuts");
    EXPECT_EQ(dialog.StatusForm(), popup);
    EXPECT_TRUE(popup->Visible());
    EXPECT_EQ(popup->lblMessage->Caption(), "Creating the shortcuts");
    EXPECT_TRUE(vt::ModalFormsShown().empty());
}

TEST_F(CopyWindowTest, ThePopupFitsItsTextAndStaysCentred)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    const int sw = vcl::Screen->Width();
    bool sawHalf = false;
    auto check = [&](const rtl::AnsiString& text) {
        setup->Push(text);
        TInstallStatusForm* popup = setup->StatusDialog().StatusForm();
        const int width = popup->Canvas()->TextWidth(text) + 80;
        EXPECT_EQ(popup->Width(), width) << text;
        EXPECT_EQ(popup->Height(), 58);
        // Halves go to the even side.
        EXPECT_EQ(popup->Left(), static_cast<int>(std::nearbyint(sw / 2.0 - width / 2.0))) << text;
        sawHalf = sawHalf || (sw - width) % 2 != 0;
        EXPECT_EQ(popup->lblMessage->Left(), 5);
        EXPECT_EQ(popup->lblMessage->Top(), static_cast<int>(std::nearbyint(popup->ClientHeight() / 2.0 -
                                                                             popup->lblMessage->Height() / 2.0)));
        return width;
    };
    // Long enough in any font to need more than the form's own width of 428.
    const int longWidth =
        check("Installing the program files of the help-authoring tool, its help compiler and the tool's own help");
    EXPECT_GT(longWidth, 428);
    const int shortWidth = check("Done");
    EXPECT_LT(shortWidth, longWidth);
    for (const char* text : {"Doneo", "Done.", "Done..", "Done!", "Do", "D", "Fi", "Files"}) {
        if (!sawHalf)
            check(text);
    }
    EXPECT_TRUE(sawHalf) << "no text gave an odd width";
    // A pop back to the long text widens the window again.
    for (int i = 0; i < 20 && setup->StatusDialog().Texts().size() > 1; ++i)
        setup->Pop();
    EXPECT_EQ(setup->StatusDialog().StatusForm()->Width(), longWidth);
}

TEST_F(CopyWindowTest, ABadPushIsRefusedAndChangesNothing)
{
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    TInstallStatusDlg& dialog = setup->StatusDialog();
    setup->Push("Installing");
    TInstallStatusForm* popup = dialog.StatusForm();
    const int width = popup->Width();

    EXPECT_EQ(Refusal(*setup, InstallMessage::Status, nullptr), "InstallStatusDlg1 got a nil PO parameter");
    TFileStatusParameter wrong = FileStatus("Scrivane.exe", 1, 1);
    EXPECT_EQ(Refusal(*setup, InstallMessage::Status, &wrong),
              "The PO object passed to InstallStatusDlg1 is not a TMessageParameter object");
    EXPECT_EQ(dialog.Texts(), (std::vector<rtl::AnsiString>{"Installing"}));
    EXPECT_EQ(dialog.CurrentText(), "Installing");
    EXPECT_EQ(popup->lblMessage->Caption(), "Installing");
    EXPECT_EQ(popup->Width(), width);
    EXPECT_TRUE(popup->Visible());

    // A refused first push makes no window at all.
    auto* fresh = new TInstallStatusDlg(setup.get());
    fresh->SetName("Fresh");
    fresh->SetContainer(&setup->Install());
    EXPECT_THROW(fresh->ContainerMessage(&setup->Install(), InstallMessage::Status, nullptr), IException);
    EXPECT_EQ(fresh->Form(), nullptr);

    // A popup given a manager leaves the texts to it.
    dialog.SetDialogManager(&setup->Manager());
    setup->Push("Ignored");
    setup->Send(InstallMessage::ClearStatus, nullptr);
    EXPECT_EQ(dialog.Texts(), (std::vector<rtl::AnsiString>{"Installing"}));
    EXPECT_EQ(popup->lblMessage->Caption(), "Installing");
}

TEST_F(CopyWindowTest, EachTextIsTranslatedFromEnglishAsItIsShown)
{
    TTranslator translator(nullptr);
    translator.lgEnglish()->Strings()->SetText("1;Installing files\r\n2;Cleaning up\r\n");
    translator.lgGerman()->Strings()->SetText("1;Dateien werden installiert\r\n2;Aufr\xE4umen\r\n");
    translator.SetTranslateIntoLanguage(tlGerman);
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    TInstallStatusDlg& dialog = setup->StatusDialog();

    setup->Push("Installing files");
    TInstallStatusForm* popup = dialog.StatusForm();
    EXPECT_EQ(popup->lblMessage->Caption(), "Dateien werden installiert");
    EXPECT_EQ(dialog.FormLanguage(), tlEnglish);
    EXPECT_EQ(popup->Width(), popup->Canvas()->TextWidth("Dateien werden installiert") + 80);
    // The next text is English again and is found as English.
    setup->Push("Cleaning up");
    EXPECT_EQ(popup->lblMessage->Caption(), "Aufr\xE4umen");
    setup->Pop();
    EXPECT_EQ(popup->lblMessage->Caption(), "Dateien werden installiert");
    EXPECT_EQ(dialog.Texts(), (std::vector<rtl::AnsiString>{"Installing files"}));
}

}  // namespace

namespace {

TEST_F(CopyWindowTest, TheCopyWindowIsTranslatedByNumberWhenItIsMade)
{
    TTranslator translator(nullptr);
    translator.lgEnglish()->Strings()->SetText("6;Cancel\r\n14;Processing\r\n15;File progress\r\n16;Total progress\r\n");
    translator.lgGerman()->Strings()->SetText(
        "6;Abbrechen\r\n14;Verarbeitung\r\n15;Dateifortschritt\r\n16;Gesamtfortschritt\r\n");
    translator.SetTranslateIntoLanguage(tlGerman);
    std::unique_ptr<TfrmCopySetup> setup(new TfrmCopySetup(nullptr));
    TFileStatusParameter status = FileStatus("Cancel", 1, 1);  // a file name is never looked up
    setup->Send(InstallMessage::FileStatus, &status);
    TCopyFileForm* window = setup->CopyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->FormLanguage(), tlGerman);
    EXPECT_EQ(window->CancelBtn->Caption(), "Abbrechen");
    EXPECT_EQ(window->lblCopyFileHeader->Caption(), "Verarbeitung");
    EXPECT_EQ(window->Label1->Caption(), "Dateifortschritt");
    EXPECT_EQ(window->Label2->Caption(), "Gesamtfortschritt");
    EXPECT_EQ(window->lblCopyingFile->Caption(), "Cancel");
    setup->Send(InstallMessage::PassDone, nullptr);
}

}  // namespace
