// Hidden windows, posted and sent messages, the loops that deliver them, Terminate and timers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "platform/vcl/Messages.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestControls.h"
#include "tests/platform/vcl/VclTestFixture.h"

using namespace vcl;
using namespace vcltest;
namespace vt = vcl::test;

class MessagesTest : public VclTest {};

TEST_F(MessagesTest, PostedMessagesArriveInOrderAndSentOnesAtOnce)
{
    std::vector<std::pair<UINT, WPARAM>> got;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        got.emplace_back(m.Msg, m.WParam);
        m.Result = static_cast<LRESULT>(m.LParam * 2);
    });
    ASSERT_TRUE(IsWindow(wnd));
    EXPECT_TRUE(PostMessage(wnd, WM_USER + 1, 1, 0));
    EXPECT_TRUE(PostMessage(wnd, WM_USER + 2, 2, 0));
    EXPECT_TRUE(PostMessage(wnd, WM_USER + 1, 3, 0));
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(SendMessage(wnd, WM_USER + 9, 9, 21), 42);
    ASSERT_EQ(got.size(), 1u);
    Application->ProcessMessages();
    std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_USER + 9, 9}, {WM_USER + 1, 1}, {WM_USER + 2, 2}, {WM_USER + 1, 3}};
    EXPECT_EQ(got, expected);
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, MessagesToAFreedWindowAreDropped)
{
    int delivered = 0;
    HWND wnd = AllocateHWnd([&](TMessage&) { ++delivered; });
    PostMessage(wnd, WM_USER, 0, 0);
    DeallocateHWnd(wnd);
    Application->ProcessMessages();
    EXPECT_EQ(delivered, 0);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_FALSE(PostMessage(wnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(wnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessage(nullptr, WM_USER, 0, 0));
    DeallocateHWnd(wnd);  // twice is harmless

    // A window procedure may free its own window; what was queued behind it goes nowhere.
    HWND self = nullptr;
    self = AllocateHWnd([&](TMessage&) {
        ++delivered;
        DeallocateHWnd(self);
    });
    PostMessage(self, WM_USER, 0, 0);
    PostMessage(self, WM_USER, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(PendingMessageCount(), 0);
}

TEST_F(MessagesTest, NestedModalLoopDeliversPostedMessages)
{
    std::vector<int> got;
    HWND wnd = AllocateHWnd([&](TMessage& m) { got.push_back(static_cast<int>(m.WParam)); });
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    PostMessage(wnd, WM_USER, 1, 0);
    vt::OnNextModal([&](TCustomForm& form) {
        vt::ProcessMessages();
        EXPECT_EQ(got, std::vector<int>{1});
        PostMessage(wnd, WM_USER, 2, 0);
        vt::Click(*dynamic_cast<TdlgTest&>(form).btnOk);
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, ExceptionInAWindowProcedureGoesToTheApplication)
{
    std::vector<std::string> seen;
    Application->OnException = [&](TObject*, const rtl::Exception& e) { seen.push_back(e.Message()); };
    HWND wnd = AllocateHWnd([](TMessage&) { throw rtl::Exception("socket trouble"); });
    PostMessage(wnd, WM_USER, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, std::vector<std::string>{"socket trouble"});
    EXPECT_THROW(SendMessage(wnd, WM_USER, 0, 0), rtl::Exception);  // a direct call passes it on
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, WindowMessagesReachAFormsWndProc)
{
    std::unique_ptr<TdlgTest> dlg(new TdlgTest(Application));
    dlg->Show();
    HWND handle = dlg->Handle();
    EXPECT_EQ(TWinControl::FindControl(handle), dlg.get());
    PostMessage(handle, WM_CLOSE, 0, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(dlg->Visible());
    EXPECT_EQ(dlg->Events.back(), "close");
    dlg.reset();
    EXPECT_FALSE(IsWindow(handle));
}

TEST_F(MessagesTest, TerminateEndsRunWhenControlReturnsToTheLoop)
{
    TfrmTestMain* main = nullptr;
    Application->CreateForm(main);
    ASSERT_EQ(Application->MainForm(), main);
    bool afterTerminate = false;
    HWND wnd = AllocateHWnd([&](TMessage&) {
        Application->Terminate();
        afterTerminate = true;  // the handler still runs to its end
    });
    PostMessage(wnd, WM_USER, 0, 0);
    Application->Run();
    EXPECT_TRUE(afterTerminate);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(main->Visible());
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, TimerFiresFromTheLoopUntilDisabled)
{
    auto* timer = new TTimer(Application);
    int fired = 0;
    timer->OnTimer = [&](TObject*) {
        if (++fired == 2)
            timer->SetEnabled(false);
    };
    timer->SetInterval(5);
    for (int i = 0; i < 500 && fired < 2; ++i) {  // bounded: a timer that never runs fails, never hangs
        win::Sleep(2);
        Application->ProcessMessages();
    }
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(timer->Enabled());
    timer->Timer();  // stepping by hand
    EXPECT_EQ(fired, 3);
    delete timer;
}

TEST_F(MessagesTest, AMessageThatPostsItselfAgainCannotHoldProcessMessages)
{
    int delivered = 0;
    HWND wnd = nullptr;
    wnd = AllocateHWnd([&](TMessage&) {
        ++delivered;
        PostMessage(wnd, WM_USER, 0, 0);
    });
    PostMessage(wnd, WM_USER, 0, 0);
    Application->ProcessMessages();
    EXPECT_GT(delivered, 1);
    EXPECT_LT(delivered, 1000);  // bounded, whatever the exact count
    EXPECT_EQ(PendingMessageCount(), 1);
    DeallocateHWnd(wnd);
    Application->ProcessMessages();
    EXPECT_EQ(PendingMessageCount(), 0);
}

TEST_F(MessagesTest, AFailingExceptionHandlerStopsAtTheDispatch)
{
    Application->OnException = [](TObject*, const rtl::Exception&) { throw rtl::Exception("handler broke"); };
    int after = 0;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        if (m.WParam == 1)
            throw rtl::Exception("first");
        ++after;
    });
    PostMessage(wnd, WM_USER, 1, 0);
    PostMessage(wnd, WM_USER, 2, 0);
    Application->ProcessMessages();  // neither exception escapes; the next message still arrives
    EXPECT_EQ(after, 1);
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, ATimerMayFreeItselfInItsOwnEvent)
{
    auto* timer = new TTimer(Application);
    TComponentRef<TTimer> ref(timer);
    timer->SetInterval(2);
    timer->OnTimer = [timer](TObject*) { delete timer; };
    for (int i = 0; i < 500 && ref; ++i) {
        win::Sleep(2);
        Application->ProcessMessages();
    }
    EXPECT_FALSE(ref);
    Application->ProcessMessages();
}

TEST_F(MessagesTest, KeysReachAControlThatHasNoWindow)
{
    TTestEdit edit(nullptr);
    vt::TypeText(edit, "ab");
    EXPECT_EQ(edit.Text(), "ab");
    EXPECT_EQ(edit.KeysDown, (std::vector<uint16_t>{'A', 'B'}));
}

TEST_F(MessagesTest, WatchedDescriptorsWakeTheLoopWhileEnabled)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    TDescriptorWatch watch = 0;
    watch = WatchDescriptor(fds[0], false, [&] {
        ++calls;
        char byte;
        ASSERT_EQ(read(fds[0], &byte, 1), 1);
        if (byte == 'q')
            UnwatchDescriptor(watch);  // ending the watch from its own handler
    });
    auto pump = [] {
        for (int i = 0; i < 20; ++i) {
            Application->ProcessMessages();
            win::Sleep(2);
        }
    };
    pump();
    EXPECT_EQ(calls, 0);  // nothing to read yet
    ASSERT_EQ(write(fds[1], "a", 1), 1);
    pump();
    EXPECT_EQ(calls, 1);
    EnableDescriptorWatch(watch, false);
    ASSERT_EQ(write(fds[1], "b", 1), 1);
    pump();
    EXPECT_EQ(calls, 1);  // disabled: the byte waits
    EnableDescriptorWatch(watch, true);
    pump();
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(write(fds[1], "qz", 2), 2);
    pump();
    EXPECT_EQ(calls, 3);  // "z" is never asked for: the watch ended with "q"
    UnwatchDescriptor(watch);  // an ended watch is ignored
    close(fds[0]);
    close(fds[1]);
}
