// The window side as a person meets it: mouse, popup menus and shortcuts, activation, painting, a
// control freed by its own event, headless runs, and what the driver reports when a test goes wrong.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestControls.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
using namespace vcltest;
namespace vt = vcl::test;

class InteractionTest : public VclTest {};

TEST_F(InteractionTest, MouseEventsReachTheControlWithClientCoordinates)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    std::vector<std::string> events;
    TTestEdit& edit = *main->edtNote;
    edit.OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y) +
                         (s.Contains(ssDouble) ? " double" : "") + (s.Contains(ssShift) ? " shift" : ""));
    };
    edit.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        events.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    };
    edit.OnClick = [&](TObject*) { events.push_back("click"); };
    edit.OnDblClick = [&](TObject*) { events.push_back("dblclick"); };
    vt::MouseClick(edit, 5, 7, mbLeft, {ssShift});
    vt::MouseClick(edit, 3, 4, mbRight);  // no popup menu: nothing more happens
    vt::MouseDblClick(edit, 1, 2);
    std::vector<std::string> expected = {"down 0 5,7 shift", "click", "up 5,7", "down 1 3,4", "up 3,4",
                                         "down 0 1,2", "click", "up 1,2", "dblclick", "down 0 1,2 double", "up 1,2"};
    EXPECT_EQ(events, expected);
}

TEST_F(InteractionTest, PopupMenusOpenOnRightClickAndShortcutsComeFirst)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    auto* menu = new TFakeMenu(main.get());
    menu->SetName("mnuPopup");
    EXPECT_THROW(main->edtNote->SetPopupMenu(main->btnOpen), EInvalidOperation);
    main->pnlTop->SetPopupMenu(menu);  // a parent's popup menu answers shortcuts for its children
    main->edtNote->SetPopupMenu(menu);
    main->Show();
    vt::MouseClick(*main->edtNote, 2, 3, mbRight);
    TPoint screen = main->edtNote->ClientToScreen(TPoint{2, 3});
    ASSERT_EQ(menu->Calls.size(), 1u);
    EXPECT_EQ(menu->Calls[0], "popup edtNote " + std::to_string(screen.X) + "," + std::to_string(screen.Y));

    int keyDowns = 0;
    main->edtNote->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++keyDowns; };
    vt::PressKey(*main->edtNote, 'N', {ssCtrl});
    EXPECT_EQ(menu->Calls.back(), "shortcut");
    EXPECT_EQ(keyDowns, 0);
    vt::PressKey(*main->edtNote, 'M', {ssCtrl});
    EXPECT_EQ(keyDowns, 1);
    delete menu;  // the references turn empty
    EXPECT_EQ(main->edtNote->PopupMenu(), nullptr);
}

TEST_F(InteractionTest, MainMenuJoinsTheFormAndTakesRoomAboveTheClientArea)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    auto* menu = new TFakeMenu(main.get());
    int clientHeight = main->ClientHeight(), height = main->Height();
    main->SetMenu(menu);
    EXPECT_EQ(main->ClientHeight(), clientHeight);
    EXPECT_EQ(main->Height(), height + 19);
    EXPECT_EQ(main->ClientOrigin().Y, 4 + 19 + 19);
    main->Show();
    std::vector<std::string> expected = {"attach frmTestMain", "attach frmTestMain window"};
    EXPECT_EQ(menu->Calls, expected);
    vt::PressKey(*main->edtNote, 'N', {ssCtrl});
    EXPECT_EQ(menu->Calls.back(), "shortcut");
    EXPECT_THROW(main->SetMenu(main->btnOpen), EInvalidOperation);
    main->SetMenu(nullptr);
    EXPECT_EQ(menu->Calls.back(), "detach frmTestMain");
    EXPECT_EQ(main->ClientHeight(), clientHeight);
}

TEST_F(InteractionTest, ActivationFollowsShowAndHide)
{
    std::vector<std::string> events;
    Application->OnActivate = [&](TObject*) { events.push_back("app activate"); };
    std::unique_ptr<TdlgTest> a(new TdlgTest(Application));
    std::unique_ptr<TdlgTest> b(new TdlgTest(Application));
    a->SetName("a");
    b->SetName("b");
    for (TdlgTest* f : {a.get(), b.get()}) {
        f->OnActivate = [&events, f](TObject*) { events.push_back("activate " + f->Name()); };
        f->OnDeactivate = [&events, f](TObject*) { events.push_back("deactivate " + f->Name()); };
        f->OnShow = [&events, f](TObject*) { events.push_back("show " + f->Name()); };
        f->OnHide = [&events, f](TObject*) { events.push_back("hide " + f->Name()); };
    }
    a->Show();
    b->Show();
    EXPECT_EQ(Screen->ActiveForm(), b.get());
    b->Hide();
    EXPECT_TRUE(a->Active());
    a->OnActivate = [&](TObject*) { events.push_back("activate again"); };  // handlers change at run time
    b->Show();
    b->Hide();
    std::vector<std::string> expected = {"show a", "app activate", "activate a", "show b", "deactivate a",
                                         "activate b", "hide b", "deactivate b", "activate a", "show b",
                                         "deactivate a", "activate b", "hide b", "deactivate b", "activate again"};
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(Application->Active());
}

TEST_F(InteractionTest, ControlsAndFormsPaintWhenTheFormIsPictured)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    auto* box = new TTestPaintBox(main.get());
    box->SetParent(main.get());
    box->SetBounds(200, 100, 50, 50);
    int formPaints = 0;
    main->OnPaint = [&](TObject*) { ++formPaints; };
    std::string path = ::testing::TempDir() + "/vcl-paint.png";
    vt::SaveFormAsPng(*main, path);
    EXPECT_GE(box->Paints, 1);
    EXPECT_GE(formPaints, 1);
    std::remove(path.c_str());
}

TEST_F(InteractionTest, AControlFreedByItsOwnEventIsSafe)
{
    auto* dlg = new TdlgTest(Application);
    TComponentRef<TdlgTest> ref(dlg);
    dlg->Show();
    TTestEdit* edit = dlg->edtName;
    edit->OnMouseDown = [dlg](TObject*, TMouseButton, TShiftState, int, int) { delete dlg; };
    vt::MouseClick(*edit, 1, 1);
    EXPECT_FALSE(ref);
    vt::ProcessMessages();  // the widget that was busy goes now
}

TEST_F(InteractionTest, NestedModalFormsRunTheirOwnScripts)
{
    std::unique_ptr<TfrmTestMain> main(new TfrmTestMain(Application));
    main->Show();
    vt::OnNextModal<TdlgTest>([](TdlgTest& outer) {
        outer.btnOk->OnClick = [&outer](TObject*) {
            std::unique_ptr<TdlgTest> inner(new TdlgTest(Application));
            EXPECT_EQ(inner->ShowModal(), mrCancel);
            EXPECT_TRUE(outer.Visible());
        };
        vt::Click(*outer.btnOk);
    });
    vt::OnNextModal<TdlgTest>([](TdlgTest& inner) { vt::Click(*inner.btnCancel); });
    vt::Click(*main->btnOpen);
    EXPECT_EQ(main->DialogResult, mrOk);
    EXPECT_EQ(vt::ModalFormsShown().size(), 2u);
}

TEST_F(InteractionTest, HeadlessRunsAnswerModalWindowsWithCancel)
{
    vt::End();
    setenv("SCRIVANE_EXIT_AFTER_START", "1", 1);
    EXPECT_TRUE(NobodyToAnswer());
    {
        std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
        EXPECT_EQ(dlg->ShowModal(), mrCancel);
        EXPECT_FALSE(dlg->Visible());
        EXPECT_EQ(MessageDlg("Save?", mtConfirmation, mbYesNoCancel, 0), mrCancel);
        EXPECT_EQ(Application->MessageBox("Go?", "x", MB_YESNO), IDNO);
        EXPECT_EQ(InputBox("c", "p", "default"), "default");
        TOpenDialog open(nullptr);
        EXPECT_FALSE(open.Execute());

        TfrmTestMain* main = nullptr;
        Application->CreateForm(main);
        Application->Run();  // shows the main form, handles what is pending, and returns
        EXPECT_TRUE(main->Visible());
        delete main;
    }
    unsetenv("SCRIVANE_EXIT_AFTER_START");
    SetUp();
}

TEST_F(InteractionTest, EndReportsWhatTheTestQueuedButNeverUsed)
{
    CollectFailures();
    vt::OnNextModal<TdlgTest>([](TdlgTest&) {});
    vt::AnswerMessage(mrYes);
    vt::AnswerInput("x");
    vt::CancelDialog();
    new TdlgTest(Application);  // left over: End frees it
    EXPECT_GE(Screen->FormCount(), 1);
    std::vector<AnsiString> failures = vt::End();
    EXPECT_EQ(Screen->FormCount(), 0);
    ASSERT_EQ(failures.size(), 4u);
    EXPECT_NE(failures[0].find("1 modal script(s) never ran"), std::string::npos);
    EXPECT_NE(failures[1].find("message box answer was never used"), std::string::npos);
    EXPECT_NE(failures[2].find("input box text"), std::string::npos);
    EXPECT_NE(failures[3].find("dialog cancel"), std::string::npos);
    EXPECT_FALSE(vt::Active());
    SetUp();
}

TEST_F(InteractionTest, BorderStylesGiveTheirFrames)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    form.SetBorderStyle(bsToolWindow);
    EXPECT_EQ(form.CaptionHeight(), 16);
    EXPECT_EQ(form.ClientHeight(), 100 - 8 - 16);
    form.SetBorderStyle(bsNone);
    EXPECT_EQ(form.ClientWidth(), 200);
    EXPECT_EQ(form.ClientHeight(), 100);
    form.SetBorderStyle(bsSingle);
    form.SetClientWidth(300);
    EXPECT_EQ(form.Width(), 308);
    form.HandleNeeded();
    form.SetBorderStyle(bsSizeable);  // the window is made again; the outer size stays
    EXPECT_TRUE(form.HandleAllocated());
    EXPECT_EQ(form.Width(), 308);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 18);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    TCreateParams params;
    form.SetBorderStyle(bsDialog);
    form.SetBorderIcons({biSystemMenu, biHelp});
    form.CreateParams(params);
    EXPECT_EQ(params.Style & (WS_CAPTION | WS_SYSMENU | WS_CHILD), WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(params.ExStyle & WS_EX_CONTEXTHELP);
    form.SetFormStyle(fsStayOnTop);
    form.CreateParams(params);
    EXPECT_TRUE(params.ExStyle & WS_EX_TOPMOST);
}

TEST_F(InteractionTest, TimerFromAResourceStartsWhenLoaded)
{
    RegisterFormResource("Timed.frm",
                         "object frmTimed: TForm\n  object tmrTick: TTimer\n    Interval = 5\n  end\nend\n");
    std::unique_ptr<TForm> form(new TForm(Application));
    ReadComponentResource(form.get(), "Timed.frm");
    auto* timer = dynamic_cast<TTimer*>(form->FindComponent("tmrTick"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->Enabled());
    int ticks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };
    for (int i = 0; i < 500 && ticks == 0; ++i) {  // bounded: a timer that never runs fails, never hangs
        win::Sleep(2);
        Application->ProcessMessages();
    }
    EXPECT_GE(ticks, 1);
}
