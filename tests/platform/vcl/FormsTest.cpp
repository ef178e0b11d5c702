// Forms from resources driven headless: modal dialogs, closing rules, message boxes, exceptions.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/TestDriver.h"
#include "tests/platform/vcl/VclTestControls.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
using namespace vcltest;
namespace vt = vcl::test;

class FormsTest : public VclTest {};

TEST_F(FormsTest, ResourceBuildsTheFormWithParentsEventsAndForwardReference)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    EXPECT_TRUE(main->Created);
    EXPECT_EQ(main->Caption(), "Test Main");
    EXPECT_EQ(main->ClientWidth(), 400);
    EXPECT_EQ(main->ClientHeight(), 200);
    EXPECT_EQ(main->Width(), 408);   // sizeable frame of 4 on each side
    EXPECT_EQ(main->Height(), 227);  // and a caption of 19
    EXPECT_EQ(main->edtNote->Parent(), main->pnlTop);
    EXPECT_EQ(main->pnlTop->Parent(), main.get());
    EXPECT_EQ(main->edtNote->Owner(), main.get());
    EXPECT_EQ(main->ActiveControl(), main->edtNote);  // named before it existed
    EXPECT_TRUE(static_cast<bool>(main->btnOpen->OnClick));
    EXPECT_EQ(main->pnlTop->Width(), 400);  // alTop fills the client width
    EXPECT_FALSE(main->Visible());
    // Controls follow the form's font unless they have their own.
    EXPECT_EQ(main->btnOpen->Font()->Name(), "Arial");
    EXPECT_TRUE(main->btnOpen->Font()->Style().Contains(fsBold));
}

TEST_F(FormsTest, ModalDialogFromAButtonReturnsItsResult)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    vt::OnNextModal<TdlgTest>([](TdlgTest& dlg) {
        EXPECT_TRUE(dlg.Visible());
        EXPECT_TRUE(dlg.Modal());
        EXPECT_TRUE(dlg.Active());
        vt::TypeText(*dlg.edtName, "Ann b");
        vt::Click(*dlg.btnOk);
        EXPECT_FALSE(dlg.Visible());
    });
    vt::Click(*main->btnOpen);
    EXPECT_EQ(main->DialogResult, mrOk);
    EXPECT_EQ(main->NameTyped, "Ann b");
    EXPECT_EQ(vt::ModalFormsShown(), std::vector<AnsiString>{"TdlgTest"});
    EXPECT_TRUE(main->Active());  // the main form is active again
}

TEST_F(FormsTest, CloseQueryAndCloseActionCanRefuseTheClose)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    dlg->AllowClose = false;
    vt::OnNextModal([](TCustomForm& form) {
        auto& d = dynamic_cast<TdlgTest&>(form);
        vt::Click(*d.btnOk);
        EXPECT_TRUE(d.Visible());
        EXPECT_EQ(d.ModalResult(), mrNone);
        d.AllowClose = true;
        d.ActionOnClose = caNone;
        vt::Click(*d.btnOk);
        EXPECT_TRUE(d.Visible());
        d.ActionOnClose = caHide;
        vt::Click(*d.btnCancel);
        EXPECT_FALSE(d.Visible());
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    std::vector<std::string> expected = {"create", "closequery", "closequery", "close", "closequery", "close"};
    EXPECT_EQ(dlg->Events, expected);
}

TEST_F(FormsTest, CloseBoxGoesThroughTheQueriesAndGivesCancel)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    vt::OnNextModal([](TCustomForm& form) { vt::CloseByCloseBox(form); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_EQ(dlg->Events.back(), "close");

    // A modeless form hides; closing the main form ends the application.
    std::unique_ptr<TdlgTest> modeless(new TdlgTest(Application));
    modeless->Show();
    vt::CloseByCloseBox(*modeless);
    EXPECT_FALSE(modeless->Visible());
    TfrmTestMain* main = nullptr;
    Application->CreateForm(main);
    main->Show();
    main->Close();
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(FormsTest, AFormWithoutASystemMenuIgnoresACloseRequest)
{
    std::unique_ptr<TdlgTest> modeless(new TdlgTest(Application));
    modeless->SetBorderIcons({biMinimize, biMaximize});
    modeless->Show();
    modeless->CloseRequestedByUser();  // what the window manager's close box and Alt+F4 send
    vt::ProcessMessages();
    EXPECT_TRUE(modeless->Visible());

    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    dlg->SetBorderIcons({});
    vt::OnNextModal([](TCustomForm& form) {
        form.CloseRequestedByUser();
        vt::ProcessMessages();
        EXPECT_EQ(form.ModalResult(), mrNone);
        form.SetModalResult(mrOk);
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);

    // Code may still close it.
    modeless->Close();
    EXPECT_FALSE(modeless->Visible());
}

TEST_F(FormsTest, ReturnAndEscapeReachTheDefaultAndCancelButtons)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    vt::OnNextModal([](TCustomForm& form) { vt::PressKey(*dynamic_cast<TdlgTest&>(form).edtName, VK_RETURN); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    vt::OnNextModal([](TCustomForm& form) { vt::PressKey(*dynamic_cast<TdlgTest&>(form).edtName, VK_ESCAPE); });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
}

TEST_F(FormsTest, KeyPreviewLetsTheFormChangeKeysFirst)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    main->SetKeyPreview(true);
    main->OnKeyPress = [](TObject*, char& key) {
        if (key == 'x')
            key = 'y';
        if (key == 'q')
            key = 0;
    };
    vt::TypeText(*main->edtNote, "axqB");
    EXPECT_EQ(main->edtNote->Text(), "ayB");
    std::vector<uint16_t> keys = {'A', 'X', 'Q', 'B'};
    EXPECT_EQ(main->edtNote->KeysDown, keys);
    vt::PressKey(*main->edtNote, VK_BACK);
    EXPECT_EQ(main->edtNote->Text(), "ay");
}

TEST_F(FormsTest, UnscriptedWindowsFailAndCloseWithCancel)
{
    CollectFailures();
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    vt::OnNextModal([](TCustomForm&) {});  // leaves the form open
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_FALSE(dlg->Visible());
    EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);  // no answer: its cancel answer
    vt::AnswerMessage(mrOk);  // not one of its buttons
    EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    ASSERT_EQ(Collected().size(), 4u);
    EXPECT_NE(Collected()[0].find("unexpected modal form TdlgTest 'Test Dialog'"), std::string::npos);
    EXPECT_NE(Collected()[1].find("left TdlgTest"), std::string::npos);
    EXPECT_NE(Collected()[2].find("'Confirm': Sure? [&Yes, &No]"), std::string::npos);
    EXPECT_NE(Collected()[3].find("not a button"), std::string::npos);
}

TEST_F(FormsTest, MessageBoxesAreAnsweredAndRecorded)
{
    Application->SetTitle("Halvern Scrivane");
    vt::AnswerMessage(mrNo);
    EXPECT_EQ(MessageDlg("Delete it?", mtConfirmation, {mbYes, mbNo}, 12), mrNo);
    const vt::TShownMessage& shown = vt::LastMessage();
    EXPECT_EQ(shown.Caption, "Confirm");
    EXPECT_EQ(shown.Text, "Delete it?");
    EXPECT_EQ(shown.Type, "mtConfirmation");
    EXPECT_EQ(shown.Buttons, (std::vector<AnsiString>{"&Yes", "&No"}));
    EXPECT_EQ(shown.HelpContext, 12);

    vt::AnswerMessage(mrCancel);
    EXPECT_EQ(MessageDlg("w", mtWarning, {mbOK, mbCancel}, 0), mrCancel);
    EXPECT_EQ(vt::LastMessage().Caption, "Warning");
    EXPECT_EQ(vt::LastMessage().Buttons, (std::vector<AnsiString>{"OK", "Cancel"}));
    vt::AnswerMessage(mrIgnore);
    EXPECT_EQ(MessageDlg("e", mtError, mbAbortRetryIgnore, 0), mrIgnore);
    EXPECT_EQ(vt::LastMessage().Buttons, (std::vector<AnsiString>{"&Abort", "&Retry", "&Ignore"}));
    EXPECT_EQ(vt::LastMessage().Caption, "Error");
    vt::AnswerMessage(mrAll);
    EXPECT_EQ(MessageDlg("i", mtInformation, {mbAll, mbOK}, 0), mrAll);
    EXPECT_EQ(vt::LastMessage().Buttons, (std::vector<AnsiString>{"OK", "&All"}));
    EXPECT_EQ(vt::LastMessage().Caption, "Information");

    vt::AnswerMessage(mrOk);
    ShowMessage("Done");
    EXPECT_EQ(vt::LastMessage().Caption, "Halvern Scrivane");
    EXPECT_EQ(vt::LastMessage().Buttons, std::vector<AnsiString>{"OK"});

    vt::AnswerMessage(IDYES);
    EXPECT_EQ(Application->MessageBox("Go on?", "Question", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(vt::LastMessage().Kind, "MessageBox");
    EXPECT_EQ(vt::LastMessage().Type, "mtConfirmation");
    EXPECT_EQ(vt::LastMessage().Buttons, (std::vector<AnsiString>{"&Yes", "&No", "Cancel"}));
    EXPECT_EQ(vt::Messages().size(), 6u);
}

TEST_F(FormsTest, InputBoxGivesTheTextOrTheDefault)
{
    vt::AnswerInput("manual.hlp");
    EXPECT_EQ(InputBox("Help File Name", "Enter the name of the help file.", "old.hlp"), "manual.hlp");
    EXPECT_EQ(vt::LastMessage().Caption, "Help File Name");
    EXPECT_EQ(vt::LastMessage().Text, "Enter the name of the help file.");
    EXPECT_EQ(vt::LastMessage().Value, "old.hlp");
    vt::CancelInput();
    EXPECT_EQ(InputBox("Help File Name", "Enter", "old.hlp"), "old.hlp");
    AnsiString value = "keep";
    vt::CancelInput();
    EXPECT_FALSE(InputQuery("c", "p", value));
    EXPECT_EQ(value, "keep");
}

TEST_F(FormsTest, HandlerExceptionsGoToTheApplication)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    TTestButton& fail = vt::Find<TTestButton>(*main, "btnFail");

    // Without OnException: an error box with the text, a full stop added, captioned with the title.
    Application->SetTitle("App");
    vt::AnswerMessage(mrOk);
    vt::Click(fail);
    EXPECT_EQ(vt::LastMessage().Text, "The handler failed.");
    EXPECT_EQ(vt::LastMessage().Caption, "App");
    EXPECT_EQ(vt::LastMessage().Type, "mtError");

    std::vector<std::string> seen;
    Application->OnException = [&](TObject*, const rtl::Exception& e) { seen.push_back(e.Message()); };
    vt::Click(fail);
    fail.OnClick = [](TObject*) { throw rtl::EAbort(); };  // silent
    vt::Click(fail);
    fail.OnClick = [](TObject*) { throw std::runtime_error("plain"); };
    vt::Click(fail);
    EXPECT_EQ(seen, (std::vector<std::string>{"The handler failed", "plain"}));
}

TEST_F(FormsTest, HelpContextsAreRecorded)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    Application->SetHelpFile("C:\\Help\\x.hlp");
    TTestButton& fail = vt::Find<TTestButton>(*main, "btnFail");
    fail.SetFocus();
    vt::PressKey(fail, VK_F1);
    Application->HelpJump("Overview");
    ASSERT_EQ(Application->HelpRequests().size(), 2u);
    EXPECT_EQ(Application->HelpRequests()[0].Context, 42);
    EXPECT_EQ(Application->HelpRequests()[0].HelpFile, "C:\\Help\\x.hlp");
    EXPECT_EQ(Application->HelpRequests()[1].Topic, "Overview");
}

TEST_F(FormsTest, PositionsPlaceTheFormWhenShown)
{
    EXPECT_EQ(Screen->Width(), 1024);
    EXPECT_EQ(Screen->Height(), 768);
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    EXPECT_EQ(dlg->Width(), 308);  // dialog frame 4, caption 19
    EXPECT_EQ(dlg->Height(), 147);
    dlg->Show();
    EXPECT_EQ(dlg->Left(), (1024 - 308) / 2);
    EXPECT_EQ(dlg->Top(), (768 - 147) / 2);
    dlg->Hide();

    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    EXPECT_EQ(main->Left(), 100);  // poDesigned keeps its place
    TForm* owned = new TForm(main.get());
    owned->SetBounds(0, 0, 100, 50);
    owned->SetPosition(poOwnerFormCenter);
    owned->Show();
    EXPECT_EQ(owned->Left(), 100 + (408 - 100) / 2);
    EXPECT_EQ(owned->Top(), 50 + (227 - 50) / 2);
}

TEST_F(FormsTest, FormEmbeddedInAnotherFormsWindow)
{
    class TPage : public TForm {
    public:
        using TForm::TForm;
        void CreateParams(TCreateParams& params) override
        {
            TForm::CreateParams(params);
            if (auto* owner = dynamic_cast<TCustomForm*>(Owner())) {
                params.WndParent = owner->Handle();
                params.Style = WS_CHILD | WS_CLIPSIBLINGS;
                params.X = params.Y = 0;
            }
        }
    };
    std::unique_ptr<TfrmTestMain> frame(new TfrmTestMain(Application));
    auto* page = new TPage(frame.get());
    page->SetBorderStyle(bsNone);
    page->HandleNeeded();
    page->SetBounds(0, 0, frame->ClientWidth(), frame->Height());
    EXPECT_TRUE(page->Embedded());
    EXPECT_EQ(page->FrameWidth(), 0);
    EXPECT_EQ(page->CaptionHeight(), 0);
    EXPECT_EQ(page->ClientWidth(), 400);
    page->Show();
    EXPECT_FALSE(page->Showing());  // its frame is not shown yet
    EXPECT_FALSE(page->Active());
    frame->Show();
    EXPECT_TRUE(page->Showing());
    EXPECT_TRUE(frame->Active());
    TPoint origin = page->ClientToScreen(TPoint{0, 0});
    EXPECT_EQ(origin.X, 100 + 4);
    EXPECT_EQ(origin.Y, 50 + 4 + 19);
}

TEST_F(FormsTest, DestroyingAFormFreesEveryComponentOnce)
{
    TCountingComponent::Alive = 0;
    auto* main = new TfrmTestMain(Application);
    new TCountingComponent(main);
    new TCountingComponent(main->btnOpen);  // owned by a control
    auto* panelChild = new TTestEdit(Application);  // owned elsewhere, parented on the form
    panelChild->SetParent(main->pnlTop);
    TComponentRef<TTestEdit> child(panelChild);
    main->Show();
    EXPECT_EQ(TCountingComponent::Alive, 2);
    delete main;
    EXPECT_EQ(TCountingComponent::Alive, 0);
    EXPECT_FALSE(child);  // a control goes with its parent
}

TEST_F(FormsTest, ReleaseFreesTheFormAfterTheCurrentEvent)
{
    auto* dlg = new TdlgTest(Application);
    TComponentRef<TdlgTest> ref(dlg);
    dlg->Show();
    dlg->btnOk->OnClick = [dlg](TObject*) { dlg->Release(); };
    vt::Click(*dlg->btnOk);  // processes messages after the click: the release runs then
    EXPECT_FALSE(ref);

    auto* closing = new TdlgTest(Application);
    TComponentRef<TdlgTest> closingRef(closing);
    closing->ActionOnClose = caFree;
    closing->Show();
    closing->Close();
    EXPECT_TRUE(closingRef);
    vt::ProcessMessages();
    EXPECT_FALSE(closingRef);
}

namespace {

// A form class whose resource is given at run time, for resources that are wrong on purpose.
class TRuntimeForm : public TForm {
    VCL_CLASS(TRuntimeForm, TForm)
public:
    TRuntimeForm(TComponent* owner, const AnsiString& resource) : TForm(owner)
    {
        RegisterTestControls();
        LoadForm(resource);
    }
    explicit TRuntimeForm(TComponent* owner) : TForm(owner) {}
};
VCL_IMPLEMENT_CLASS_NOPROPS(TRuntimeForm)

}  // namespace

TEST_F(FormsTest, WrittenFormReadsBackTheSame)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    AnsiString text = WriteComponentResource(*main);
    EXPECT_NE(text.find("Caption = 'Test Main'"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("ClientWidth"), AnsiString::npos) << text;  // Width and Height carry the size
    RegisterClass<TRuntimeForm>();
    TRuntimeForm copy(nullptr);
    std::string copyText = text;
    copyText.replace(copyText.find("TfrmTestMain"), 12, "TRuntimeForm");
    // The handlers named in the text belong to TfrmTestMain; drop them for the plain copy.
    for (const char* handler : {"  OnCreate = FormCreate\r\n", "    OnClick = btnOpenClick\r\n", "    OnClick = btnFailClick\r\n"}) {
        size_t at = copyText.find(handler);
        ASSERT_NE(at, std::string::npos) << handler << copyText;
        copyText.erase(at, std::strlen(handler));
    }
    ReadRootComponent(&copy, copyText, "copy.frm");
    EXPECT_EQ(copy.ClientWidth(), 400);
    EXPECT_EQ(copy.ClientHeight(), 200);
    EXPECT_EQ(copy.Font()->Name(), "Arial");
    EXPECT_EQ(copy.Font()->Height(), -13);
    auto* edt = dynamic_cast<TTestEdit*>(copy.FindComponent("edtNote"));
    ASSERT_NE(edt, nullptr);
    EXPECT_EQ(edt->Parent(), copy.FindComponent("pnlTop"));
    EXPECT_EQ(copy.ActiveControl(), edt);
    EXPECT_EQ(dynamic_cast<TControl*>(copy.FindComponent("pnlTop"))->Color(), clRed);
    EXPECT_EQ(WriteComponentResource(copy), copyText);
}

TEST_F(FormsTest, BadResourceFailsTheConstructorAndLeaksNothing)
{
    RegisterFormResource("BadControl.frm", "object frmBad: TRuntimeForm\n  Caption = 'x'\n  object b: TTestButton\n    Captoin = 'y'\n  end\nend\n");
    RegisterFormResource("BadParent.frm", "object frmBad: TRuntimeForm\n  PopupMenu = frmBad\nend\n");
    RegisterClass<TRuntimeForm>();
    int forms = Screen->FormCount();
    try {
        TRuntimeForm form(Application, "BadControl.frm");
        FAIL() << "no error";
    } catch (const EFormResourceError& e) {
        EXPECT_NE(std::string(e.Message()).find("BadControl.frm:4:5"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(TRuntimeForm(Application, "BadParent.frm"), rtl::Exception);  // not a popup menu
    EXPECT_EQ(Screen->FormCount(), forms);
}

TEST_F(FormsTest, VisibleInTheResourceShowsTheFormOnceMade)
{
    RegisterFormResource("Shown.frm", "object frmShown: TRuntimeForm\n  Caption = 'shown'\n  Visible = True\n  OnShow = x\nend\n");
    RegisterFormResource("Shown2.frm", "object frmShown: TRuntimeForm\n  Caption = 'shown'\n  Visible = True\nend\n");
    RegisterClass<TRuntimeForm>();
    EXPECT_THROW(TRuntimeForm(Application, "Shown.frm"), EFormResourceError);  // no handler x
    TRuntimeForm form(Application, "Shown2.frm");
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(form.Showing());
    EXPECT_TRUE(form.Active());
}

TEST_F(FormsTest, FormWithAParentControlIsAChildWindow)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    auto* inner = new TForm(main.get());
    inner->SetParent(main->pnlTop);
    inner->SetBounds(5, 5, 100, 30);
    inner->Show();
    EXPECT_TRUE(inner->Embedded());
    EXPECT_EQ(inner->ClientWidth(), 100);
    EXPECT_EQ(GetParentForm(inner), main.get());
    EXPECT_FALSE(inner->Active());
    main->Show();
    EXPECT_TRUE(inner->Showing());
    EXPECT_TRUE(main->Active());
}

TEST_F(FormsTest, ModalFormClosedWithFreeGivesItsResultThenGoes)
{
    auto* dlg = new TdlgTest(Application);
    TComponentRef<TdlgTest> ref(dlg);
    dlg->ActionOnClose = caFree;
    vt::OnNextModal([](TCustomForm& form) { vt::Click(*dynamic_cast<TdlgTest&>(form).btnOk); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_TRUE(ref);  // still there for the caller to read
    vt::ProcessMessages();
    EXPECT_FALSE(ref);
}

TEST_F(FormsTest, CloseQueryThatProcessesMessagesAsksOnce)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    int asked = 0;
    dlg->OnCloseQuery = [&](TObject*, bool&) {
        ++asked;
        Application->ProcessMessages();
    };
    vt::OnNextModal([](TCustomForm& form) { vt::Click(*dynamic_cast<TdlgTest&>(form).btnOk); });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(asked, 1);
}

TEST_F(FormsTest, AHandlerRunsToItsEndBeforeTheModalFormCloses)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    bool visibleAfterProcessing = false;
    dlg->btnOk->OnClick = [&](TObject*) {
        Application->ProcessMessages();  // a long operation letting messages through
        visibleAfterProcessing = dlg->Visible();
    };
    vt::OnNextModal([](TCustomForm& form) {
        vt::Click(*dynamic_cast<TdlgTest&>(form).btnOk);
        EXPECT_FALSE(form.Visible());
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_TRUE(visibleAfterProcessing);
}
