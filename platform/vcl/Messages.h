#pragma once
// Window messages: handles of windows, numbered messages, hidden windows with a window procedure, the
// posted-message queue and the timer component. Posted messages are dispatched by the event loop
// (TApplication::Run, ShowModal's nested loop, ProcessMessages), oldest first.
//
//   HWND wnd = vcl::AllocateHWnd([this](vcl::TMessage& m) { if (m.Msg == WM_SOCKET) OnSocket(m); });
//   vcl::PostMessage(wnd, WM_SOCKET, socket, event);   // queued; delivered by the loop
//   vcl::SendMessage(wnd, WM_SOCKET, 0, 0);            // called at once, gives m.Result
//   vcl::DeallocateHWnd(wnd);                          // later posts to it are refused, queued ones dropped
//
// Windowed controls and forms have handles from the same table (TWinControl::Handle()), so a message
// posted to a form reaches its WndProc. An exception that escapes a window procedure called by the loop
// is handed to Application->HandleException, never to the event loop.

#include <cstdint>
#include <functional>

#include "platform/vcl/Classes.h"

namespace vcl {

struct HWND__;
using HWND = HWND__*;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

using TWndMethod = std::function<void(TMessage& message)>;

// Message numbers the framework uses; WM_USER and WM_APP start the program's own ranges.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_ACTIVATEAPP = 0x001C;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;
// The framework's own control messages.
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_RELEASE = CM_BASE + 33;

// Window styles, as CreateParams fills them.
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_MINIMIZE = 0x20000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_DISABLED = 0x08000000;
inline constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr uint32_t WS_MAXIMIZE = 0x01000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_DLGFRAME = 0x00400000;
inline constexpr uint32_t WS_VSCROLL = 0x00200000;
inline constexpr uint32_t WS_HSCROLL = 0x00100000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr uint32_t WS_EX_CONTEXTHELP = 0x00000400;

// Virtual key codes; letters and digits are their upper-case ASCII codes.
inline constexpr uint16_t VK_LBUTTON = 0x01;
inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_TAB = 0x09;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;
inline constexpr uint16_t VK_PAUSE = 0x13;
inline constexpr uint16_t VK_CAPITAL = 0x14;
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;
inline constexpr uint16_t VK_NEXT = 0x22;
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
inline constexpr uint16_t VK_INSERT = 0x2D;
inline constexpr uint16_t VK_DELETE = 0x2E;
inline constexpr uint16_t VK_NUMPAD0 = 0x60;
inline constexpr uint16_t VK_MULTIPLY = 0x6A;
inline constexpr uint16_t VK_ADD = 0x6B;
inline constexpr uint16_t VK_SUBTRACT = 0x6D;
inline constexpr uint16_t VK_DECIMAL = 0x6E;
inline constexpr uint16_t VK_DIVIDE = 0x6F;
inline constexpr uint16_t VK_F1 = 0x70;
inline constexpr uint16_t VK_F12 = 0x7B;
inline constexpr uint16_t VK_NUMLOCK = 0x90;
inline constexpr uint16_t VK_SCROLL = 0x91;
inline constexpr uint16_t VK_OEM_1 = 0xBA;       // ;:
inline constexpr uint16_t VK_OEM_PLUS = 0xBB;
inline constexpr uint16_t VK_OEM_COMMA = 0xBC;
inline constexpr uint16_t VK_OEM_MINUS = 0xBD;
inline constexpr uint16_t VK_OEM_PERIOD = 0xBE;
inline constexpr uint16_t VK_OEM_2 = 0xBF;       // /?
inline constexpr uint16_t VK_OEM_3 = 0xC0;       // `~
inline constexpr uint16_t VK_OEM_4 = 0xDB;       // [{
inline constexpr uint16_t VK_OEM_5 = 0xDC;       // \|
inline constexpr uint16_t VK_OEM_6 = 0xDD;       // ]}
inline constexpr uint16_t VK_OEM_7 = 0xDE;       // '"

// A hidden window whose messages go to `method`.
HWND AllocateHWnd(TWndMethod method);
// Frees a hidden window; messages still queued for it are dropped. A null or unknown handle is ignored.
void DeallocateHWnd(HWND wnd);
// Whether the handle names a live window (hidden window or control).
bool IsWindow(HWND wnd);

// Queues the message; false (with ERROR_INVALID_WINDOW_HANDLE) for a null handle or one that is not a
// live window.
bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure at once; 0 for a handle that is not a live window.
LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Asks the main loop to end (Application->Terminate, as the classic loop does on WM_QUIT).
void PostQuitMessage(int exitCode);

// How many posted messages wait (for tests and for loops that want to know whether to wait).
int PendingMessageCount();
// Delivers the messages that were queued when it was called, oldest first; the loop calls it. Messages
// posted meanwhile wait for the next call. Gives the number delivered.
int DispatchPostedMessages();

// Runs an event handler for the event loop: an exception is handed to Application->HandleException and
// goes no further. Every place where Qt or the message queue calls into components goes through here.
void DispatchGuarded(const std::function<void()>& handler);
// Whether an event is being dispatched right now (then widgets are deleted later, not at once).
bool InsideDispatch();

// ---------------------------------------------------------------------------------------------------------
// Host descriptors watched by the event loop, for services that turn the host's readiness into posted
// messages (the socket library). `ready` runs on the loop's thread, guarded like any handler, whenever the
// descriptor is readable (or writable) while the watch is enabled; a handler that leaves the condition
// standing must disable its watch, or it is called again on the next pass.

using TDescriptorWatch = uintptr_t;
TDescriptorWatch WatchDescriptor(int descriptor, bool forWriting, std::function<void()> ready);
void EnableDescriptorWatch(TDescriptorWatch watch, bool enabled);
// Ends the watch (call it before the descriptor is closed); an unknown watch is ignored.
void UnwatchDescriptor(TDescriptorWatch watch);

// ---------------------------------------------------------------------------------------------------------
// The timer component: OnTimer every Interval milliseconds while Enabled, driven by the event loop.

class TTimer : public TComponent {
    VCL_CLASS(TTimer, TComponent)
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds; 0 stops the timer.
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned value);

    TNotifyEvent OnTimer;

    void Loaded() override;
    // Fires OnTimer as the loop does (tests use it to step a timer by hand).
    void Timer();

private:
    struct TImpl;
    void UpdateTimer();

    bool enabled_ = true;
    unsigned interval_ = 1000;
    std::unique_ptr<TImpl> impl_;
};

// Registers TTimer; idempotent.
void RegisterMessageClasses();

}  // namespace vcl
