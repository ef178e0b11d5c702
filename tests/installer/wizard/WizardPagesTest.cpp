// The setup's own wizard pages on a setup form like the real one: the before-install wizard from Welcome
// to the program menu, what the destination and program-menu pages write into the installation, Browse
// and the folders it makes, the finish pages in their wizards and alone, and the dialogs' errors.
#include <gtest/gtest.h>

#include <memory>

#include "installer/support/PathVariables.h"
#include "installer/wizard/Backdrop.h"
#include "installer/wizard/FolderPages.h"
#include "platform/richedit/RichEdit.h"
#include "platform/vcl/FolderBrowser.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Files.h"
#include "tests/installer/wizard/WizardPagesSupport.h"

namespace vt = vcl::test;
using rtl::AnsiString;

namespace {

class WizardPagesTest : public PagesTest {
protected:
    // The prefix's Programs folder holds only an empty "Startup"; the tests list their own folders.
    static void EmptyProgramsFolder() { win::RemoveDirectory((ProgramsFolder() + "\\Startup").c_str()); }
};

TEST_F(WizardPagesTest, TheBeforeInstallWizardShowsItsFivePagesInOrder)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    std::vector<AnsiString> captions;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        EXPECT_EQ(PageOrders(frame), (std::vector<int>{10, 20, 30, 45, 60}));
        for (int step = 0; step < 5; ++step) {
            auto& page = dynamic_cast<TWizardPageForm&>(*frame.Pages(frame.Tabs->TabIndex()));
            captions.push_back(frame.Caption());
            EXPECT_EQ(page.BackBtn->Visible(), step != 0) << step;
            EXPECT_TRUE(page.CancelBtn->Visible());
            EXPECT_EQ(page.ProceedBtn->Caption(), step == 1 ? "Accept >" : "Next >");
            EXPECT_EQ(page.ProceedBtn->GLID(), step == 1 ? 88 : 5);
            if (auto* licence = dynamic_cast<TLicenseForm*>(&page)) {
                // The placeholder lines gave way to the dialog's text, shown read-only.
                EXPECT_EQ(licence->Agreement->Lines()->Text(),
                          "Scrivane is free software.\r\nYou may give it away, but not sell it.\r\n");
                EXPECT_TRUE(licence->Agreement->ReadOnly());
            }
            if (auto* readme = dynamic_cast<TReadmeForm*>(&page)) {
                EXPECT_EQ(readme->Information->Lines()->Text(), "Scrivane 1.0.0.26\r\n");
            }
            if (auto* destination = dynamic_cast<TSelectDestinationForm*>(&page)) {
                EXPECT_TRUE(destination->gbDirectory->Visible());
                EXPECT_EQ(destination->edDestDir->Text(), "C:\\Program Files\\Halvern\\Scrivane");
                EXPECT_EQ(destination->Container(), &setup->Install());
            }
            vt::Click(*page.ProceedBtn);
        }
        EXPECT_TRUE(frame.Finished());
    });
    setup->RunBeforeInstall();
    EXPECT_EQ(captions, (std::vector<AnsiString>{"Welcome", "Software license agreement", "Readme information",
                                                 "Choose Destination Location", "Select folder in start menu"}));
    // The installation itself was not touched by going through.
    EXPECT_EQ(setup->Install().GetDestPath(), "C:\\Program Files\\Halvern\\Scrivane");
}

TEST_F(WizardPagesTest, TheFormsCarryTheirDesignedLayout)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    std::unique_ptr<TWelcomeForm> welcome(new TWelcomeForm(vcl::Application));
    EXPECT_EQ(welcome->ClientWidth(), 470);
    EXPECT_EQ(welcome->ClientHeight(), 368);
    EXPECT_EQ(welcome->FormStyle(), vcl::fsStayOnTop);
    EXPECT_EQ(welcome->Font()->Name(), "Arial");
    EXPECT_EQ(welcome->ThemeBitmap->Width(), 136);
    EXPECT_TRUE(welcome->ThemeBitmap->Center());
    EXPECT_EQ(welcome->ProceedBtn->Left(), 288);
    EXPECT_EQ(welcome->CancelBtn->Width(), 89);
    EXPECT_EQ(welcome->CancelBtn->Parent()->Height(), 52);
    EXPECT_TRUE(welcome->CancelBtn->Cancel());
    EXPECT_EQ(welcome->CancelBtn->ModalResult(), vcl::mrNone);  // only a confirmed Cancel ends the page
    EXPECT_TRUE(welcome->ProceedBtn->Default());
    EXPECT_EQ(welcome->DM(), &setup->Item<TDialogManager>("DialogManager"));
    EXPECT_EQ(welcome->Order(), 5);  // the form's own, without a dialog
    auto& rotated = vt::Find<TRotate3DLabel>(*welcome, "Rotate3DLabel1");
    EXPECT_EQ(rotated.Caption(), "ULO Deployment Software");
    EXPECT_EQ(rotated.LabelStyle()->AStyle3D(), A3dResit);
    EXPECT_EQ(MainRotate3DLabel(), &rotated);
    // It does not size itself: the resource must leave room for the whole text.
    rotated.Canvas()->Font()->Assign(rotated.Font());
    EXPECT_GE(rotated.Width(), rotated.Canvas()->TextWidth(rotated.Caption()));
    EXPECT_LE(rotated.Left() + rotated.Width(), welcome->BackBtn->Left());
    EXPECT_EQ(vt::Find<TTranslateLabel>(*welcome, "Label2").GLID(), 11);

    std::unique_ptr<TLicenseForm> licence(new TLicenseForm(vcl::Application));
    EXPECT_EQ(licence->Agreement->Lines()->Count(), 3);
    EXPECT_EQ(licence->Agreement->Lines()->Strings(0), "Put the license in the Agreement property. This is a ");
    EXPECT_FALSE(licence->ProceedBtn->Default());

    std::unique_ptr<TGoodInstallForm> good(new TGoodInstallForm(vcl::Application));
    EXPECT_EQ(good->CancelBtn, nullptr);
    EXPECT_EQ(good->FinishBtn->Left(), 384);
    EXPECT_EQ(good->BackBtn->Left(), 304);
    EXPECT_EQ(good->DM(), &setup->Item<TDialogManager>("DialogManager1"));

    std::unique_ptr<TSelectDestinationForm> destination(new TSelectDestinationForm(vcl::Application));
    EXPECT_EQ(destination->FormStyle(), vcl::fsNormal);
    EXPECT_EQ(destination->Container(), &setup->Install());
    EXPECT_EQ(destination->BrowseBtn->Height(), 25);

    std::unique_ptr<TSelectFolderForm> folder(new TSelectFolderForm(vcl::Application));
    EXPECT_EQ(folder->Container(), &setup->Item<TMainLinkGroup>("MainFolder"));
    folder->SetBounds(folder->Left(), folder->Top(), 600, 500);
    EXPECT_EQ(folder->Label1->Height(), 18);
    EXPECT_EQ(folder->Label4->Height(), 8);
    EXPECT_TRUE(folder->FolderListBox->Sorted());
}

TEST_F(WizardPagesTest, ATypedDestinationBecomesTheInstallationsAbsolutePath)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        auto& page = GoToPage<TSelectDestinationForm>(frame);
        vt::SetText(*page.edDestDir, "");
        vt::TypeText(*page.edDestDir, "D:\\Tools\\Scriv\\");
        EXPECT_EQ(setup->Install().DestDirType(), nullptr);
        EXPECT_EQ(setup->Install().GetDestPath(), "D:\\Tools\\Scriv");
        vt::Click(*page.ProceedBtn);
        EXPECT_EQ(ShownWizardPage(frame).Order(), 60);
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
}

TEST_F(WizardPagesTest, ABlankOrRelativeDestinationIsRefused)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        auto& page = GoToPage<TSelectDestinationForm>(frame);
        for (const char* typed : {"", "   ", "Scrivane", "\\Scrivane", "C:Scrivane", "\\\\server"}) {
            vt::SetText(*page.edDestDir, typed);
            vt::AnswerMessage(vcl::mrOk);
            vt::Click(*page.ProceedBtn);
            EXPECT_EQ(ShownWizardPage(frame).Order(), 45) << typed;
            EXPECT_NE(vt::LastMessage().Text.find("full path"), std::string::npos);
        }
        EXPECT_EQ(vt::Messages().size(), 6u);
        vt::SetText(*page.edDestDir, "\\\\server\\apps\\Scrivane");
        vt::Click(*page.ProceedBtn);
        EXPECT_EQ(ShownWizardPage(frame).Order(), 60);
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
    EXPECT_EQ(vt::Messages().size(), 6u);

    // Alone, the refused Next does not end the page either.
    auto& dialog = setup->Item<TSelectDestinationDlg>("SelectDestinationDlg");
    dialog.SetDialogManager(nullptr);
    setup->Install().SetDestDirType(nullptr);
    setup->Install().SetDestDir("Relative");
    vt::OnNextModal<TSelectDestinationForm>([&](TSelectDestinationForm& page) {
        EXPECT_FALSE(page.BackBtn->Visible());
        vt::AnswerMessage(vcl::mrOk);
        vt::Click(*page.ProceedBtn);
        EXPECT_EQ(page.ModalResult(), vcl::mrNone);
        vt::SetText(*page.edDestDir, "C:\\Scrivane");
        vt::Click(*page.ProceedBtn);
    });
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::ShowSelectDestination, nullptr);
    EXPECT_EQ(setup->Install().GetDestPath(), "C:\\Scrivane");
}

TEST_F(WizardPagesTest, BrowseRemovesEveryFolderItMadeAndTheUserDidNotChoose)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    MakeFolder("C:\\Elsewhere");
    const AnsiString wanted = "C:\\Program Files\\Halvern\\Scrivane";
    ASSERT_FALSE(rtl::DirectoryExists("C:\\Program Files\\Halvern"));
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        auto& page = GoToPage<TSelectDestinationForm>(frame);
        // Another folder chosen: both levels made for the dialog go again.
        vt::OnNextModal<vcl::TFolderBrowser>([&](vcl::TFolderBrowser& browser) {
            EXPECT_TRUE(rtl::DirectoryExists(wanted));
            EXPECT_EQ(browser.SelectedPath(), wanted);
            ASSERT_TRUE(browser.SelectPath("C:\\Elsewhere"));
            vt::Click(*browser.btnOK);
        });
        vt::Click(*page.BrowseBtn);
        EXPECT_FALSE(rtl::DirectoryExists(wanted));
        EXPECT_FALSE(rtl::DirectoryExists("C:\\Program Files\\Halvern"));
        EXPECT_TRUE(rtl::DirectoryExists("C:\\Program Files"));
        EXPECT_EQ(setup->Install().DestDirType(), nullptr);
        EXPECT_EQ(setup->Install().DestDir(), "C:\\Elsewhere");
        EXPECT_EQ(page.edDestDir->Text(), "C:\\Elsewhere");

        // Cancelled: what was made goes, what existed stays.
        vt::SetText(*page.edDestDir, "C:\\Elsewhere\\New\\Deeper");
        vt::OnNextModal<vcl::TFolderBrowser>([&](vcl::TFolderBrowser& browser) { vt::Click(*browser.btnCancel); });
        vt::Click(*page.BrowseBtn);
        EXPECT_FALSE(rtl::DirectoryExists("C:\\Elsewhere\\New"));
        EXPECT_TRUE(rtl::DirectoryExists("C:\\Elsewhere"));
        EXPECT_EQ(setup->Install().DestDir(), "C:\\Elsewhere\\New\\Deeper");

        // The folder opened on is the one chosen: it is used, and so is the level above it.
        vt::OnNextModal<vcl::TFolderBrowser>([&](vcl::TFolderBrowser& browser) { vt::Click(*browser.btnOK); });
        vt::Click(*page.BrowseBtn);
        EXPECT_TRUE(rtl::DirectoryExists("C:\\Elsewhere\\New\\Deeper"));

        // A level made for the dialog that got something in it meanwhile is not emptied.
        vt::SetText(*page.edDestDir, "C:\\Kept\\Inner");
        vt::OnNextModal<vcl::TFolderBrowser>([&](vcl::TFolderBrowser& browser) {
            MakeFolder("C:\\Kept\\Other");
            vt::Click(*browser.btnCancel);
        });
        vt::Click(*page.BrowseBtn);
        EXPECT_FALSE(rtl::DirectoryExists("C:\\Kept\\Inner"));
        EXPECT_TRUE(rtl::DirectoryExists("C:\\Kept\\Other"));
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
}

// Chosen with OK, the folders Browse made stay for the installation; when the setup ends badly instead,
// the ones still empty go again, and a good ending keeps them.
TEST_F(WizardPagesTest, TheBadEndingRemovesTheEmptyFoldersBrowseMadeForTheDestination)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    MakeFolder("C:\\Existing");
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        auto& page = GoToPage<TSelectDestinationForm>(frame);
        for (const char* typed : {"C:\\Existing\\Deep\\New\\Destination", "C:\\Filled\\Inner"}) {
            vt::SetText(*page.edDestDir, typed);
            vt::OnNextModal<vcl::TFolderBrowser>([&](vcl::TFolderBrowser& browser) { vt::Click(*browser.btnOK); });
            vt::Click(*page.BrowseBtn);
            EXPECT_TRUE(rtl::DirectoryExists(typed));
        }
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
    WriteHost(HostPath("C:\\Filled\\Inner\\kept.txt"), "something");
    ASSERT_TRUE(rtl::DirectoryExists("C:\\Existing\\Deep\\New\\Destination"));

    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::GoodEnding, nullptr);
    EXPECT_TRUE(rtl::DirectoryExists("C:\\Existing\\Deep\\New\\Destination"));

    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::BadEnding, nullptr);
    EXPECT_FALSE(rtl::DirectoryExists("C:\\Existing\\Deep"));
    EXPECT_TRUE(rtl::DirectoryExists("C:\\Existing"));
    EXPECT_TRUE(rtl::DirectoryExists("C:\\Filled\\Inner"));
    EXPECT_TRUE(rtl::DirectoryExists("C:\\Program Files"));
}

TEST_F(WizardPagesTest, BrowseOnABlankDestinationMakesNothing)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    EXPECT_TRUE(CreateMissingFolders("").empty());
    EXPECT_TRUE(CreateMissingFolders("  ").empty());
    EXPECT_TRUE(CreateMissingFolders("Relative\\Folder").empty());
    EXPECT_FALSE(rtl::DirectoryExists("Relative"));
    setup->Install().SetDestDirType(nullptr);
    setup->Install().SetDestDir("");
    std::unique_ptr<TSelectDestinationForm> page(new TSelectDestinationForm(vcl::Application));
    page->RefreshPage();
    EXPECT_FALSE(page->gbDirectory->Visible());
    vt::OnNextModal<vcl::TFolderBrowser>([&](vcl::TFolderBrowser& browser) { vt::Click(*browser.btnCancel); });
    page->BrowseBtnClick(nullptr);
    EXPECT_EQ(setup->Install().DestDir(), "");
}

TEST_F(WizardPagesTest, TheProgramMenuPageListsTheProgramsFoldersAndWritesTheChosenOne)
{
    EmptyProgramsFolder();
    const AnsiString programs = ProgramsFolder();
    MakeFolder(programs + "\\Zeta Tools");
    MakeFolder(programs + "\\Accessories");
    WriteHost(HostPath(programs + "\\Readme.lnk"), "not a folder");
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    auto& group = setup->Item<TMainLinkGroup>("MainFolder");
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        auto& page = GoToPage<TSelectFolderForm>(frame);
        EXPECT_EQ(ItemsOf(*page.FolderListBox), (std::vector<AnsiString>{"Accessories", "Zeta Tools"}));
        // "\Halvern\Scrivane": the page shows the last level and wrote it back.
        EXPECT_EQ(page.FolderEdit->Text(), "Scrivane");
        EXPECT_EQ(group.DestDir(), "\\Scrivane");
        vt::SelectItem(*page.FolderListBox, "Zeta Tools");
        EXPECT_EQ(page.FolderEdit->Text(), "Zeta Tools");
        EXPECT_EQ(group.DestDir(), "\\Zeta Tools");
        EXPECT_EQ(group.DestDirType(), &FindSpecifier(TpsProgramMenu::StaticClass()));
        EXPECT_EQ(group.GetDestPath(), programs + "\\Zeta Tools");
        vt::SetText(*page.FolderEdit, "");
        vt::TypeText(*page.FolderEdit, "Halvern Apps");
        EXPECT_EQ(group.DestDir(), "\\Halvern Apps");
        vt::Click(*page.ProceedBtn);
        EXPECT_TRUE(frame.Finished());
    });
    setup->RunBeforeInstall();
    EXPECT_EQ(group.DestDir(), "\\Halvern Apps");
}

TEST_F(WizardPagesTest, ProgramFoldersOnlyOnTheKindsOfWindowsThatHaveThem)
{
    EmptyProgramsFolder();
    MakeFolder(ProgramsFolder() + "\\Accessories");
    rtl::TStringList names;
    names.Add("left over");
    ProgramFolderNames(oswinNT351, names);
    EXPECT_EQ(names.Count(), 0);
    for (TOSVerType kind : {oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP}) {
        ProgramFolderNames(kind, names);
        EXPECT_EQ(names.Text(), "Accessories\r\n") << static_cast<int>(kind);
    }

    // With nothing to list and no program-menu folder, the edit stays empty and the folder is untouched.
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    win::RemoveDirectory((ProgramsFolder() + "\\Accessories").c_str());
    auto& group = setup->Item<TMainLinkGroup>("MainFolder");
    group.SetDestDir("");
    std::unique_ptr<TSelectFolderForm> page(new TSelectFolderForm(vcl::Application));
    page->RefreshPage();
    EXPECT_EQ(page->FolderEdit->Text(), "");
    EXPECT_EQ(group.DestDir(), "");
    // Without a name of its own the page takes the first folder listed.
    MakeFolder(ProgramsFolder() + "\\Games");
    page->RefreshPage();
    EXPECT_EQ(page->FolderEdit->Text(), "Games");
    EXPECT_EQ(group.DestDir(), "\\Games");
}

TEST_F(WizardPagesTest, WithoutAMainLinkGroupTheProgramMenuPageSkipsItselfBothWays)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    delete &setup->Item<TMainLinkGroup>("MainFolder");
    auto& dialog = setup->Item<TSelectFolderDlg>("SelectFolderDlg");
    EXPECT_EQ(dialog.Container(), nullptr);
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        EXPECT_EQ(frame.PageCount(), 5);  // built, yet skipped
        auto& page = GoToPage<TSelectDestinationForm>(frame);
        EXPECT_FALSE(page.IsLastPage());
        vt::Click(*page.ProceedBtn);  // nothing after it shows: the wizard ends here
        EXPECT_TRUE(frame.Finished());
    });
    setup->RunBeforeInstall();
    EXPECT_EQ(vt::ModalFormsShown().size(), 1u);
    // Alone, a folder page without a group cannot run.
    dialog.SetDialogManager(nullptr);
    EXPECT_EQ(ShowDialogError(dialog), "Cannot run this dialog SelectFolderDlg with a blank Container property");
}

TEST_F(WizardPagesTest, TheFinishPagesShowFinishAsTheLastPageOfTheirWizards)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    for (int code : {InstallMessage::AfterGoodInstall, InstallMessage::AfterBadInstall}) {
        AnsiString caption;
        vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
            ASSERT_EQ(frame.PageCount(), 1);
            auto& page = ShownWizardPage(frame);
            caption = frame.Caption();
            EXPECT_FALSE(page.BackBtn->Visible());
            EXPECT_FALSE(page.ProceedBtn->Visible());
            EXPECT_TRUE(page.FinishBtn->Visible());
            vt::Click(*page.FinishBtn);
            EXPECT_TRUE(frame.Finished());
        });
        setup->Install().BroadcastMessage(&setup->Install(), code, nullptr);
        EXPECT_EQ(caption, code == InstallMessage::AfterGoodInstall ? "Setup complete" : "Setup incomplete");
    }
    // Their stand-alone codes are ignored while they have managers.
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::GoodEnding, nullptr);
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::BadEnding, nullptr);
    EXPECT_EQ(vt::ModalFormsShown().size(), 2u);
}

TEST_F(WizardPagesTest, WithoutManagersThePagesShowAloneOnTheirOwnCodes)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    struct TCase {
        const char* Dialog;
        int Code;
        const char* Caption;
    };
    const TCase cases[] = {
        {"GoodInstallationDlg", InstallMessage::GoodEnding, "Setup complete"},
        {"BadInstallationDlg", InstallMessage::BadEnding, "Setup incomplete"},
        {"WelcomeDlg", InstallMessage::ShowWelcome, "Welcome"},
        {"LicenseDlg", InstallMessage::ShowLicense, "Software license agreement"},
        {"ReadmeDlg", InstallMessage::ShowReadme, "Readme information"},
        {"SelectFolderDlg", InstallMessage::LinkGroupInstalls, "Select folder in start menu"},
    };
    for (const TCase& c : cases) {
        auto& dialog = setup->Item<TWizardPageDlg>(c.Dialog);
        dialog.SetDialogManager(nullptr);
        AnsiString caption;
        vt::OnNextModal([&](vcl::TCustomForm& form) {
            auto& page = dynamic_cast<TWizardPageForm&>(form);
            caption = page.Caption();
            EXPECT_FALSE(page.Embedded());
            EXPECT_FALSE(page.BackBtn->Visible());
            EXPECT_EQ(page.DC(), &dialog);
            vt::Click(page.FinishBtn ? *page.FinishBtn : *page.ProceedBtn);
        });
        // The program-menu page hears its code from the link group, the others from the installation.
        TInstallContainer* sender = dialog.Container();
        sender->BroadcastMessage(sender, c.Code, nullptr);
        EXPECT_EQ(caption, c.Caption) << c.Dialog;
        EXPECT_EQ(dialog.Form(), nullptr);
    }
    EXPECT_EQ(vt::ModalFormsShown().size(), 6u);
    // Another page's code shows nothing.
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::ShowSelectDestination, nullptr);
    EXPECT_EQ(vt::ModalFormsShown().size(), 6u);

    // A confirmed Cancel ends a lone page as the user's abort; an unconfirmed one leaves it open.
    bool answer = false;
    setup->Install().OnUserAbort = [&](TCustomInstall*, bool& quitOut) { quitOut = answer; };
    auto& welcome = setup->Item<TWelcomeDlg>("WelcomeDlg");
    vt::OnNextModal<TWelcomeForm>([&](TWelcomeForm& page) {
        vt::Click(*page.CancelBtn);
        EXPECT_EQ(page.ModalResult(), vcl::mrNone);
        answer = true;
        vt::Click(*page.CancelBtn);
    });
    EXPECT_THROW(welcome.Execute(), EAIUserAbort);
}

TEST_F(WizardPagesTest, TheFolderDialogsRefuseWhatTheyCannotEdit)
{
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    auto& destination = setup->Item<TSelectDestinationDlg>("SelectDestinationDlg");
    destination.SetDialogManager(nullptr);
    destination.SetContainer(static_cast<TInstallContainer*>(nullptr));
    EXPECT_EQ(ShowDialogError(destination),
              "Cannot run this dialog SelectDestinationDlg with a blank Container property");
    EXPECT_TRUE(vt::ModalFormsShown().empty());

    auto& folder = setup->Item<TSelectFolderDlg>("SelectFolderDlg");
    EXPECT_EQ(folder.Container(), &setup->Item<TMainLinkGroup>("MainFolder"));
    folder.SetContainer(&setup->Install());
    try {
        folder.Container();
        FAIL() << "an installation taken for a link group";
    } catch (const IException& e) {
        EXPECT_EQ(e.Message(), "The container for SelectFolderDlg must be a TCustomShellLinkGroup");
    }
    EXPECT_EQ(ShowDialogError(folder), "The container for SelectFolderDlg must be a TCustomShellLinkGroup");
    EXPECT_TRUE(vt::ModalFormsShown().empty());

    // A new folder dialog takes the main link group of the setup.
    std::unique_ptr<TSelectFolderDlg> made(new TSelectFolderDlg(setup.get()));
    EXPECT_EQ(made->Container(), &setup->Item<TMainLinkGroup>("MainFolder"));
    EXPECT_EQ(made->Order(), 60);
    EXPECT_EQ(made->DialogManager(), &setup->Item<TDialogManager>("DialogManager"));
}

TEST_F(WizardPagesTest, ThePagesTranslateTheirButtonsAndTextsByNumber)
{
    TTranslator translator(nullptr);
    translator.lgEnglish()->Strings()->SetText("4;< Previous\r\n5;Next >\r\n6;Cancel\r\n88;Accept >\r\n"
                                               "10;This program will install the software on your computer.\r\n");
    translator.lgGerman()->Strings()->SetText("4;< Zur\xFC" "ck\r\n5;Weiter >\r\n6;Abbrechen\r\n88;Annehmen >\r\n"
                                              "10;Dieses Programm installiert die Software.\r\n");
    translator.SetTranslateIntoLanguage(tlGerman);
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    std::vector<AnsiString> proceed;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        auto& welcome = dynamic_cast<TWelcomeForm&>(ShownWizardPage(frame));
        EXPECT_EQ(vt::Find<TTranslateLabel>(welcome, "Label1").Caption(), "Dieses Programm installiert die Software.");
        EXPECT_EQ(welcome.CancelBtn->Caption(), "Abbrechen");
        EXPECT_EQ(vt::Find<TRotate3DLabel>(welcome, "Rotate3DLabel1").Caption(), "ULO Deployment Software");
        for (int step = 0; step < 2; ++step) {
            proceed.push_back(ShownWizardPage(frame).ProceedBtn->Caption());
            vt::Click(*ShownWizardPage(frame).ProceedBtn);
        }
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
    EXPECT_EQ(proceed, (std::vector<AnsiString>{"Weiter >", "Annehmen >"}));
}

TEST_F(WizardPagesTest, TheSidePictureIsTheDialogsOrElseTheInstallations)
{
    auto picture = [](vcl::TColor color) {
        auto made = std::make_unique<vcl::TPicture>();
        made->Bitmap()->SetSize(4, 3);
        made->Bitmap()->Canvas()->Brush()->SetColor(color);
        made->Bitmap()->Canvas()->FillRect(vcl::Rect(0, 0, 4, 3));
        return made;
    };
    std::unique_ptr<TfrmPagesSetup> setup(new TfrmPagesSetup(nullptr));
    setup->Install().SetDialogThemeBitmap(picture(vcl::clNavy).get());
    setup->Item<TLicenseDlg>("LicenseDlg").SetThemeBitmap(picture(vcl::clMaroon).get());
    std::unique_ptr<TReadmeForm> bare(new TReadmeForm(vcl::Application));
    EXPECT_EQ(bare->ThemeBitmap->Picture()->Bitmap()->Canvas()->Pixels(1, 1), vcl::clNavy);
    std::vector<vcl::TColor> colours;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        for (int step = 0; step < 3; ++step) {
            colours.push_back(ShownWizardPage(frame).ThemeBitmap->Picture()->Bitmap()->Canvas()->Pixels(1, 1));
            vt::Click(*ShownWizardPage(frame).ProceedBtn);
        }
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
    EXPECT_EQ(colours, (std::vector<vcl::TColor>{vcl::clNavy, vcl::clMaroon, vcl::clNavy}));
}

TEST_F(WizardPagesTest, FullDestinationPaths)
{
    for (const char* good : {"C:\\", "C:", "c:\\Apps", " D:\\Apps ", "\\\\server\\share", "\\\\server\\share\\Apps"})
        EXPECT_TRUE(IsFullDestinationPath(good)) << good;
    for (const char* bad : {"", "C:Apps", "Apps", "\\Apps", "\\\\", "\\\\server", "\\\\server\\",
                            "\\\\\\share", "1:\\Apps"})
        EXPECT_FALSE(IsFullDestinationPath(bad)) << bad;
}

}  // namespace
