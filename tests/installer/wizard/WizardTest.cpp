// The wizard of a test setup: shown on the driver's message, pages in Order, skipping, Back, Next, Cancel
// and the close rule, its place on the screen, and the managers' and dialogs' other paths.
#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/InstallFiles.h"
#include "installer/support/NetInstallLocation.h"
#include "installer/support/TrwkCompress.h"
#include "platform/vcl/TestDriver.h"
#include "tests/installer/support/FakeTranslator.h"
#include "tests/installer/wizard/WizardTestSupport.h"

namespace vt = vcl::test;

namespace {

using WizardFrameTest = WizardTest;

TEST_F(WizardFrameTest, TheDriversMessageShowsThePagesInOrderAndNextOnTheLastFinishes)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    std::vector<int> shown;
    int left = -1, top = -1;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        EXPECT_EQ(CurrentDialogManager(), &setup->Item<TDialogManager>("DialogManager1"));
        EXPECT_EQ(PageOrders(frame), (std::vector<int>{10, 20, 30, 45, 60}));
        left = frame.Left();
        top = frame.Top();
        EXPECT_EQ(frame.Width(), 478);
        EXPECT_EQ(frame.Height(), 395);
        for (int step = 0; step < 5; ++step) {
            TTestPageForm& page = ShownPage(frame);
            shown.push_back(page.Order());
            EXPECT_EQ(frame.Caption(), "Test page");
            EXPECT_EQ(page.IsFirstPage(), step == 0);
            EXPECT_EQ(page.BackBtn->Visible(), step != 0);
            EXPECT_EQ(page.IsLastPage(), step == 4);
            vt::Click(*page.ProceedBtn);
        }
        EXPECT_TRUE(frame.Finished());
    });
    setup->RunBeforeInstall();  // no abort: the wizard ended with OK
    EXPECT_EQ(shown, (std::vector<int>{10, 20, 30, 45, 60}));
    EXPECT_EQ(left, 273);
    EXPECT_EQ(top, 186);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
    EXPECT_EQ(vt::ModalFormsShown(), (std::vector<vcl::AnsiString>{"TBaseFormContainer"}));
    // Each page's dialog held the page while the frame lived; the frame took its pages with it.
    EXPECT_EQ(setup->Item("Page10").Form(), nullptr);
}

TEST_F(WizardFrameTest, SkippedPagesArePassedOverBothWaysAndBackStopsAtTheFirstShownPage)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    setup->Item("Page10").Skip = true;
    setup->Item("Page30").Skip = true;
    setup->Item("Page60").Skip = true;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        EXPECT_EQ(ShownOrder(frame), 20);  // 10 skips itself
        EXPECT_TRUE(ShownPage(frame).IsFirstPage());
        EXPECT_FALSE(ShownPage(frame).BackBtn->Visible());
        frame.PreviousPage();  // nothing before 20 shows: 20 stays
        EXPECT_EQ(ShownOrder(frame), 20);
        vt::Click(*ShownPage(frame).ProceedBtn);
        EXPECT_EQ(ShownOrder(frame), 45);  // over 30
        EXPECT_FALSE(ShownPage(frame).IsLastPage());  // position only: 60 comes after, though it skips
        vt::Click(*ShownPage(frame).BackBtn);
        EXPECT_EQ(ShownOrder(frame), 20);
        vt::Click(*ShownPage(frame).ProceedBtn);
        vt::Click(*ShownPage(frame).ProceedBtn);  // only skipping pages follow 45: 45 again, then finished
        EXPECT_TRUE(frame.Finished());
        EXPECT_EQ(frame.ModalResult(), vcl::mrOk);
    });
    setup->RunBeforeInstall();
    EXPECT_EQ(PageLog(), (std::vector<std::string>{"show 20", "show 20", "show 45", "show 20", "show 45", "show 45"}));
}

TEST_F(WizardFrameTest, CancelAsksTheDriverAndAnAgreedCancelIsTheUsersAbort)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    int asked = 0;
    bool answer = false;
    setup->Install().OnUserAbort = [&](TCustomInstall* install, bool& quitOut) {
        EXPECT_EQ(install, &setup->Install());
        EXPECT_TRUE(quitOut);
        ++asked;
        quitOut = answer;
    };
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        vt::Click(*ShownPage(frame).ProceedBtn);
        vt::Click(*ShownPage(frame).CancelBtn);  // the handler says no: nothing changes
        EXPECT_EQ(ShownOrder(frame), 20);
        EXPECT_TRUE(frame.Visible());
        frame.CloseRequestedByUser();  // Alt+F4 does nothing
        vt::ProcessMessages();
        EXPECT_TRUE(frame.Visible());
        EXPECT_EQ(frame.ModalResult(), vcl::mrNone);
        answer = true;
        vt::Click(*ShownPage(frame).CancelBtn);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
    EXPECT_EQ(setup->Item("Page20").Form(), nullptr);
}

TEST_F(WizardFrameTest, AWizardWithNothingToShow)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    // Every page asks to be skipped: the wizard finishes at once with OK instead of a window nobody can close.
    for (const char* name : {"Page10", "Page20", "Page30", "Page45", "Page60"})
        setup->Item(name).Skip = true;
    vcl::TModalResult result = vcl::mrNone;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        result = frame.ModalResult();
        EXPECT_TRUE(frame.Finished());
    });
    setup->RunBeforeInstall();
    EXPECT_EQ(result, vcl::mrOk);

    // No page may show (or, for the after-install manager, none is registered): no window at all.
    for (const char* name : {"Page10", "Page20", "Page30", "Page45", "Page60"})
        setup->Item(name).Shows = false;
    setup->RunBeforeInstall();
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::AfterGoodInstall, nullptr);
    EXPECT_EQ(vt::ModalFormsShown().size(), 1u);
    EXPECT_EQ(CurrentDialogManager(), nullptr);
}

TEST_F(WizardFrameTest, EqualOrdersAreNeverExchangedButTheSortIsNotStable)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    for (const char* name : {"Page20", "Page30", "Page60"})
        setup->Item(name).Shows = false;
    auto& a = setup->Item("Page10");
    auto& b = setup->Item("Page45");
    a.SetOrder(10);
    b.SetOrder(10);
    auto* c = new TTestPageDlg(setup.get());  // registered last, with the manager found by type
    c->SetOrder(5);
    EXPECT_EQ(c->DialogManager(), &setup->Item<TDialogManager>("DialogManager1"));
    auto* d = new TTestPageDlg(setup.get());
    d->SetOrder(10);
    std::vector<TCustomBaseInstallDlg*> dialogs;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        for (int i = 0; i < frame.PageCount(); ++i)
            dialogs.push_back(frame.Pages(i)->DC());
        ShownPage(frame).AbortWizard();
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
    // 10 (A), 10 (B), 5 (C), 10 (D) in registration order.
    EXPECT_EQ(dialogs, (std::vector<TCustomBaseInstallDlg*>{c, &b, &a, d}));
}

TEST_F(WizardFrameTest, ARegistrationWithoutDialogBuildsItsPageOnlyForItsOwnManager)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    for (const char* name : {"Page10", "Page20", "Page30", "Page45", "Page60"})
        setup->Item(name).Shows = false;
    TBIFEntry* bare = RegisterPageForm(&TTestPageForm::StaticClass(), nullptr);
    int order = -1;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        ASSERT_EQ(frame.PageCount(), 1);
        order = frame.Pages(0)->Order();  // the page's own
        EXPECT_EQ(frame.Pages(0)->DC(), nullptr);
        vt::Click(*ShownPage(frame).ProceedBtn);
    });
    setup->RunBeforeInstall();
    EXPECT_EQ(order, 5);
    // The page belongs to the before-install manager: the after-install wizard leaves it out.
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::AfterGoodInstall, nullptr);
    EXPECT_EQ(vt::ModalFormsShown().size(), 1u);
    UnregisterPageForm(bare);
}

TEST_F(WizardFrameTest, PagesLiveInsideTheFrameAndResizeWithIt)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        TTestPageForm& page = ShownPage(frame);
        EXPECT_TRUE(page.Embedded());
        EXPECT_EQ(page.BorderStyle(), vcl::bsNone);
        EXPECT_EQ(page.CaptionHeight(), 0);
        EXPECT_EQ(page.BorderIcons(), vcl::TBorderIcons{});
        EXPECT_EQ(page.Left(), frame.DisplayPanel->Left());
        EXPECT_EQ(page.Width(), frame.ClientWidth());
        EXPECT_EQ(page.Height(), frame.ClientHeight());
        frame.SetBounds(frame.Left(), frame.Top(), 600, 500);
        EXPECT_EQ(page.Width(), frame.ClientWidth());
        EXPECT_EQ(page.Height(), frame.ClientHeight());
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(setup->RunBeforeInstall(), EAIUserAbort);
}

// ---------------------------------------------------------------------------------------------------------

TEST_F(WizardFrameTest, TheNinePositionsOnA1024By768Screen)
{
    struct TCase {
        int Position, Left, Top;
    };
    // Frame 478 x 395, offsets 10 and 20, caption 18.
    const TCase cases[] = {
        {tdpCenterLeft, 10, 186 + 20}, {tdpCenter, 273 + 10, 186 + 20}, {tdpCenterRight, 1024 - 478 - 10, 206},
        {tdpBottomLeft, 10, 335},      {tdpBottomCenter, 283, 335},     {tdpBottomRight, 536, 335},
        {tdpTopLeft, 10, 20},          {tdpTopCenter, 283, 20},         {tdpTopRight, 536, 20},
    };
    for (const TCase& c : cases) {
        vcl::TPoint p = DialogPositionOrigin(c.Position, 10, 20, 478, 395, false, {-1, -1});
        EXPECT_EQ(p.X, c.Left) << c.Position;
        EXPECT_EQ(p.Y, c.Top) << c.Position;
    }
    EXPECT_EQ(DialogPositionOrigin(9, 10, 20, 478, 395, false, {7, 8}).X, 7);

    // The centre: 512 - 238.5 truncates to 273 and rounds to the even 274; 512 - 239.5 gives 272 both ways.
    EXPECT_EQ(DialogPositionOrigin(tdpCenter, 0, 0, 477, 395, false, {}).X, 273);
    EXPECT_EQ(DialogPositionOrigin(tdpCenter, 0, 0, 477, 395, true, {}).X, 274);
    EXPECT_EQ(DialogPositionOrigin(tdpCenter, 0, 0, 479, 395, true, {}).X, 272);
    EXPECT_EQ(DialogPositionOrigin(tdpCenter, 0, 0, 478, 395, true, {}).Y, 186);  // 186.5 to even

    std::unique_ptr<TBaseFormContainer> frame(new TBaseFormContainer(vcl::Application));
    frame->SetDialogPosition(tdpBottomRight, 10, 20);
    EXPECT_EQ(frame->Left(), 536);
    EXPECT_EQ(frame->Top(), 335);
    EXPECT_EQ(frame->Caption(), "BaseFormContainer");
}

TEST_F(WizardFrameTest, BuildingWithoutACurrentManagerIsAnError)
{
    std::unique_ptr<TBaseFormContainer> frame(new TBaseFormContainer(vcl::Application));
    try {
        frame->BuildPages();
        FAIL() << "built without a manager";
    } catch (const IException& e) {
        EXPECT_EQ(e.Message(), "The current dialog manager is not defined");
    }
}

// ---------------------------------------------------------------------------------------------------------

using DialogManagerTest = WizardTest;

TEST_F(DialogManagerTest, FindDialogManagerTakesTheFirstOfItsTypeOnTheDriver)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto& first = setup->Item<TDialogManager>("DialogManager1");
    auto* second = new TDialogManager(setup.get());
    second->SetContainer(&setup->Install());
    auto* elsewhere = new TDialogManager(setup.get());
    elsewhere->SetManagerType(dmReboot);
    EXPECT_EQ(FindDialogManager(dmBeforeInstall), &first);
    EXPECT_EQ(FindDialogManager(dmAfterGoodInstall), &setup->Item<TDialogManager>("GoodManager"));
    EXPECT_EQ(FindDialogManager(dmReboot), nullptr);  // not on the driver
    EXPECT_EQ(first.DialogCount(), 5);
    // A manager going away is forgotten by its dialogs, and a dialog going away by its manager.
    auto& page = setup->Item("Page10");
    delete &first;
    EXPECT_EQ(page.DialogManager(), nullptr);
    EXPECT_EQ(FindDialogManager(dmBeforeInstall), second);
    page.SetDialogManager(second);
    EXPECT_EQ(second->DialogCount(), 1);
    delete &page;
    EXPECT_EQ(second->DialogCount(), 0);
    try {
        second->AddDialog(nullptr);
        FAIL();
    } catch (const IException& e) {
        EXPECT_EQ(e.Message(), "Cannot add a NIL Dialog to the Dialog Manager " + second->Name());
    }
}

TEST_F(DialogManagerTest, StatusMessagesCheckTheirParameter)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto* copies = new TDialogManager(setup.get());
    copies->SetName("CopyManager");
    copies->SetContainer(&setup->Install());
    copies->SetManagerType(dmDuringCopyFiles);
    auto message = [&](int code, rtl::TObject* parameter) -> std::string {
        try {
            copies->ContainerMessage(&setup->Install(), code, parameter);
        } catch (const IException& e) {
            return e.Message();
        }
        return "";
    };
    TDownloadStatusParameter download;
    TFileStatusParameter file;
    EXPECT_EQ(message(InstallMessage::FileStatus, nullptr), "CopyManager got a nil PO parameter");
    EXPECT_EQ(message(InstallMessage::FileStatus, &download),
              "The PO object passed to CopyManager is not a TFileStatusParameter object");
    EXPECT_EQ(message(InstallMessage::DownloadStatus, &file),
              "The PO object passed to CopyManager is not a TDownloadStatusParameter object");
    EXPECT_EQ(message(InstallMessage::FileStatus, &file), "");  // no copy form registered: nothing shows
    EXPECT_EQ(copies->DuringCopyFormCount(), 0);
    // The codes of other occasions are not this manager's.
    EXPECT_EQ(message(InstallMessage::BeforeInstall, nullptr), "");
    EXPECT_EQ(message(InstallMessage::ChangeDisk, nullptr), "");
    EXPECT_TRUE(vt::ModalFormsShown().empty());
}

TEST_F(DialogManagerTest, CopyWindowsComeWithTheFirstStatusAndGoWhenThePassEnds)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto* copies = new TDialogManager(setup.get());
    copies->SetContainer(&setup->Install());
    copies->SetManagerType(dmDuringCopyFiles);
    auto& dialog = setup->Item("Page20");
    dialog.SetPosition(tdpCenter);
    dialog.SetWidth(477);  // 512 - 238.5: rounded to the even 274, where the wizard would truncate
    dialog.SetHeight(120);
    TDCFEntry* placed = RegisterDuringCopyForm(&TBaseDuringCopyForm::StaticClass(), &dialog);
    TDCFEntry* bare = RegisterDuringCopyForm(&TBaseDuringCopyForm::StaticClass(), nullptr);
    TFileStatusParameter status;
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::FileStatus, &status);
    ASSERT_EQ(copies->DuringCopyFormCount(), 2);
    TBaseDuringCopyForm* form = copies->DuringCopyForms(0);
    EXPECT_EQ(dialog.Form(), form);
    EXPECT_EQ(form->Left(), 274);
    EXPECT_EQ(form->Top(), 324);
    EXPECT_EQ(form->Width(), 477);
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(copies->DuringCopyForms(1)->Visible());
    TDownloadStatusParameter download;
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::DownloadStatus, &download);
    EXPECT_EQ(copies->DuringCopyFormCount(), 2);  // the same windows

    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::PassDone, nullptr);
    EXPECT_EQ(copies->DuringCopyFormCount(), 0);
    EXPECT_FALSE(form->Visible());  // hidden; the application still owns it

    // A second manager of the kind keeps none: the forms find the first one as theirs.
    auto* other = new TDialogManager(setup.get());
    other->SetContainer(&setup->Install());
    other->SetManagerType(dmDuringCopyFiles);
    other->UpdateDuringCopyForms(&status, nullptr);
    EXPECT_EQ(other->DuringCopyFormCount(), 0);
    UnregisterDuringCopyForm(placed);
    UnregisterDuringCopyForm(bare);
}

TEST_F(DialogManagerTest, TheRegistrationListReportsBadLookUps)
{
    auto text = [](int index) -> std::string {
        try {
            PageFormEntry(index);
        } catch (const IException& e) {
            return e.Message();
        }
        return "";
    };
    TBIFEntry* entry = RegisterPageForm(&TTestPageForm::StaticClass(), nullptr);
    EXPECT_EQ(PageFormEntry(PageFormCount() - 1), entry);
    EXPECT_EQ(text(PageFormCount()), std::to_string(PageFormCount()) + " is an invalid index in the BIFList");
    EXPECT_EQ(text(-1), "-1 is an invalid index in the BIFList");
    UnregisterPageForm(entry);
    FinalizeDialogRegistrations();
    EXPECT_EQ(PageFormCount(), 0);
    EXPECT_EQ(text(0), "The BIFList is NIL");
    UnregisterPageForm(nullptr);  // without a list nothing happens
}

// ---------------------------------------------------------------------------------------------------------

using StandAloneDialogTest = WizardTest;

TEST_F(StandAloneDialogTest, ADialogWithoutManagerShowsItsPageAloneOnItsMessage)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto& dialog = setup->Item("Page20");
    // With its manager the dialog ignores its own message.
    setup->Install().BroadcastMessage(&setup->Install(), TestPageStandAloneCode, nullptr);
    EXPECT_TRUE(vt::ModalFormsShown().empty());

    for (const char* name : {"Page10", "Page30", "Page45", "Page60"})
        delete &setup->Item(name);
    dialog.SetDialogManager(nullptr);
    std::vector<std::string> events;
    dialog.OnBeforeExecute = [&](vcl::TObject*) { events.push_back("before"); };
    dialog.OnAfterExecute = [&](vcl::TObject*) { events.push_back("after"); };
    vt::OnNextModal<TTestPageForm>([&](TTestPageForm& page) {
        EXPECT_FALSE(page.Embedded());
        EXPECT_EQ(page.Caption(), "Test page");
        EXPECT_EQ(page.BorderStyle(), vcl::bsDialog);
        EXPECT_EQ(page.DC(), &dialog);
        EXPECT_EQ(page.Container(), &setup->Install());
        EXPECT_FALSE(page.BackBtn->Visible());
        EXPECT_FALSE(page.IsFirstPage());
        vt::Click(*page.ProceedBtn);
    });
    setup->Install().BroadcastMessage(&setup->Install(), TestPageStandAloneCode, nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(dialog.Form(), nullptr);

    // Cancel, agreed (no handler), closes the page with Abort: the user's abort.
    vt::OnNextModal<TTestPageForm>([&](TTestPageForm& page) { vt::Click(*page.CancelBtn); });
    EXPECT_THROW(dialog.Execute(), EAIUserAbort);
    // So does the close box.
    vt::OnNextModal<TTestPageForm>([&](TTestPageForm& page) { vt::CloseByCloseBox(page); });
    EXPECT_THROW(dialog.ShowDialog(), EAIUserAbort);
    // A dialog that may not show is done at once.
    dialog.Shows = false;
    EXPECT_TRUE(dialog.ShowDialog());
}

TEST_F(StandAloneDialogTest, ExecuteSwallowsASilentAbort)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto& dialog = setup->Item("Page20");
    bool after = false;
    dialog.OnBeforeExecute = [](vcl::TObject*) { throw rtl::EAbort("stop"); };
    dialog.OnAfterExecute = [&](vcl::TObject*) { after = true; };
    EXPECT_FALSE(dialog.Execute());
    EXPECT_FALSE(after);
    EXPECT_TRUE(vt::ModalFormsShown().empty());

    // From OnAfterExecute the result is the dialog's.
    dialog.OnBeforeExecute = nullptr;
    dialog.OnAfterExecute = [](vcl::TObject*) { throw rtl::EAbort("late"); };
    vt::OnNextModal<TTestPageForm>([](TTestPageForm& page) { vt::Click(*page.ProceedBtn); });
    EXPECT_TRUE(dialog.Execute());
    try {
        dialog.AssignDialogProperties();
        FAIL();
    } catch (const IException& e) {
        EXPECT_EQ(e.Message(), "Cannot AssignDialogProperties for Page20 because the Dialog is Nil");
    }
}

TEST_F(StandAloneDialogTest, FormsAndDialogsTranslateIntoTheirLanguage)
{
    TFakeTranslator translator({});
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto& dialog = setup->Item("Page20");
    std::unique_ptr<TTestPageForm> page(new TTestPageForm(vcl::Application));
    page->TranslateForm();
    EXPECT_EQ(page->FormLanguage(), tlGerman);  // what the main translator gave
    EXPECT_EQ(translator.LastComponent, page.get());
    EXPECT_EQ(translator.FontCalls, (std::vector<std::string>{"set"}));

    dialog.SetOverrideMainTranslator(true);
    dialog.SetTranslateIntoLanguage(tlFrench);
    dialog.SetAutoSetFont(false);
    dialog.SetForm(page.get());
    dialog.AssignDialogProperties();
    EXPECT_TRUE(page->OverrideMainTranslator());
    EXPECT_EQ(page->TranslateIntoLanguage(), tlFrench);
    EXPECT_FALSE(page->AutoSetFont());
    EXPECT_EQ(dialog.FormLanguage(), tlFrench);
    page->DoTranslate();
    EXPECT_EQ(page->FormLanguage(), tlFrench);
    EXPECT_EQ(translator.FontCalls.size(), 1u);  // fonts are left alone now

    // Once the form is gone the dialog has nothing to translate.
    page.reset();
    translator.LastComponent = nullptr;
    dialog.Retranslate();
    EXPECT_EQ(translator.LastComponent, nullptr);
}

TEST_F(StandAloneDialogTest, CancelInTheCopyWindowRaisesBothAbortFlagsOnlyWhenTheDriverAgrees)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    std::unique_ptr<TBaseDuringCopyForm> form(new TBaseDuringCopyForm(vcl::Application));
    bool answer = false;
    setup->Install().OnUserAbort = [&](TCustomInstall*, bool& quitOut) { quitOut = answer; };
    SetNetDownloadAbort(false);
    SharedCompressor().SetAbort(false);
    form->CancelCopy();
    EXPECT_FALSE(SharedCompressor().Abort());
    EXPECT_FALSE(NetDownloadAbort());
    answer = true;
    form->CancelCopy();
    EXPECT_TRUE(SharedCompressor().Abort());
    EXPECT_TRUE(NetDownloadAbort());
    SetNetDownloadAbort(false);
}

}  // namespace

// The setup registers no change-disk form, so the request shows nothing; a registered one is shown with the
// volume wanted, and what it answers goes back to the file.
TEST_F(DialogManagerTest, AChangeDiskFormShowsOnlyWhenOneIsRegistered)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto* disks = new TDialogManager(setup.get());
    disks->SetContainer(&setup->Install());
    disks->SetManagerType(dmChangeDisk);
    auto* file = new TInstallFile(setup.get());
    TDiskParameter disk;
    disk.DiskNumber = 2;
    disk.Path = "A:";
    TParameterPair request(file, &disk);
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::ChangeDisk, &request);
    EXPECT_TRUE(vt::ModalFormsShown().empty());

    TCDFEntry* entry = RegisterChangeDiskForm(&TBaseChangeDiskForm::StaticClass());
    vt::OnNextModal<TBaseChangeDiskForm>([&](TBaseChangeDiskForm& form) {
        EXPECT_EQ(form.DM(), disks);
        ASSERT_EQ(form.DC(), &disk);
        EXPECT_EQ(form.DC()->DiskNumber, 2u);
        form.DC()->Path = "B:";
        form.SetModalResult(vcl::mrOk);
    });
    setup->Install().BroadcastMessage(&setup->Install(), InstallMessage::ChangeDisk, &request);
    EXPECT_EQ(disk.Path, "B:");
    EXPECT_EQ(file->Tag(), 1);
    EXPECT_EQ(CurrentDialogManager(), nullptr);

    vt::OnNextModal<TBaseChangeDiskForm>([](TBaseChangeDiskForm& form) { form.SetModalResult(vcl::mrAbort); });
    EXPECT_THROW(disks->ShowChangeDisk(&request), EAIUserAbort);

    auto failure = [&](rtl::TObject* parameter) -> std::string {
        try {
            disks->ShowChangeDisk(parameter);
        } catch (const rtl::Exception& e) {
            return e.Message();
        }
        return "";
    };
    EXPECT_EQ(failure(nullptr), "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form");
    EXPECT_EQ(failure(&disk), "TChangeDiskDlg--PO is not a TList object");
    TParameterPair half(file, nullptr);
    EXPECT_EQ(failure(&half), "TChangeDiskDlg--Not engouh parameters for status event");
    TParameterPair swapped(&disk, file);
    EXPECT_EQ(failure(&swapped), "TChangeDiskDlg says bad first parameter");
    TParameterPair twoFiles(file, file);
    EXPECT_EQ(failure(&twoFiles), "TChangeDiskDlg says bad second parameter");
    UnregisterChangeDiskForm(entry);
}

// A page's side picture: the dialog's own, or the installation's when the dialog has none.
TEST_F(DialogManagerTest, AThemePictureComesFromTheDialogOrElseTheInstallation)
{
    std::unique_ptr<TfrmWizardSetup> setup(new TfrmWizardSetup(nullptr));
    auto& dialog = setup->Item("Page20");
    auto paint = [](vcl::TColor color) {
        vcl::TPicture picture;
        vcl::TBitmap* bitmap = picture.Bitmap();
        bitmap->SetSize(4, 3);
        bitmap->Canvas()->Brush()->SetColor(color);
        bitmap->Canvas()->FillRect(vcl::Rect(0, 0, 4, 3));
        return picture.Data();
    };
    vcl::TPicture installation;
    installation.SetData(paint(vcl::clNavy));
    setup->Install().SetDialogThemeBitmap(&installation);

    vcl::TPicture target;
    dialog.ApplyThemeBitmap(&target);
    ASSERT_FALSE(target.Empty());
    EXPECT_EQ(target.Bitmap()->Canvas()->Pixels(1, 1), vcl::clNavy);

    vcl::TPicture own;
    own.SetData(paint(vcl::clMaroon));
    dialog.SetThemeBitmap(&own);
    dialog.ApplyThemeBitmap(&target);
    EXPECT_EQ(target.Bitmap()->Canvas()->Pixels(1, 1), vcl::clMaroon);
    dialog.ApplyThemeBitmap(nullptr);  // nothing to copy into
}
