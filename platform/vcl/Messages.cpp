// Window handles, the posted-message queue and timers. The queue is ours; the Qt event loop is only woken
// (one posted QEvent per batch) so that it delivers the queue while it runs.
#include "platform/vcl/Messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>
#include <unordered_map>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/QtSeam.h"
#include "platform/win/Platform.h"

namespace vcl {

namespace {

constexpr uint32_t ERROR_INVALID_WINDOW_HANDLE = 1400;

struct TWindowEntry {
    TWndMethod Method;
    TWinControl* Control = nullptr;
};

struct TPosted {
    uintptr_t Window;
    TMessage Message;
};

struct TMessageState {
    std::unordered_map<uintptr_t, TWindowEntry> windows;
    uintptr_t nextWindow = 0x1000;
    std::deque<TPosted> queue;
    bool wakePending = false;
    int dispatchDepth = 0;
};

TMessageState& State()
{
    static TMessageState* state = new TMessageState;  // lives to the end: messages may come late
    return *state;
}

uintptr_t Key(HWND wnd) { return reinterpret_cast<uintptr_t>(wnd); }
HWND ToHandle(uintptr_t key) { return reinterpret_cast<HWND>(key); }

// Receives the wake-up event and delivers the queue from inside the Qt loop.
class TQueueWaker : public QObject {
public:
    static constexpr QEvent::Type WakeType = static_cast<QEvent::Type>(QEvent::User + 0x51);

    bool event(QEvent* e) override
    {
        if (e->type() != WakeType)
            return QObject::event(e);
        State().wakePending = false;
        DispatchPostedMessages();
        return true;
    }
};

TQueueWaker* Waker()
{
    static TQueueWaker* waker = new TQueueWaker;
    return waker;
}

void WakeLoop()
{
    TMessageState& s = State();
    if (s.wakePending || s.queue.empty() || !QtApplicationExists())
        return;
    s.wakePending = true;
    QCoreApplication::postEvent(Waker(), new QEvent(TQueueWaker::WakeType));
}

}  // namespace

namespace detail {

HWND AllocateControlHandle(TWinControl* control)
{
    TMessageState& s = State();
    uintptr_t key = s.nextWindow++;
    s.windows[key].Control = control;
    return ToHandle(key);
}

void FreeControlHandle(HWND wnd)
{
    State().windows.erase(Key(wnd));
}

TWinControl* ControlOfHandle(HWND wnd)
{
    TMessageState& s = State();
    auto it = s.windows.find(Key(wnd));
    return it == s.windows.end() ? nullptr : it->second.Control;
}

}  // namespace detail

HWND AllocateHWnd(TWndMethod method)
{
    TMessageState& s = State();
    uintptr_t key = s.nextWindow++;
    s.windows[key].Method = std::move(method);
    return ToHandle(key);
}

void DeallocateHWnd(HWND wnd)
{
    TMessageState& s = State();
    auto it = s.windows.find(Key(wnd));
    if (it != s.windows.end() && !it->second.Control)
        s.windows.erase(it);
}

bool IsWindow(HWND wnd)
{
    return wnd && State().windows.count(Key(wnd)) != 0;
}

bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(wnd)) {
        win::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    State().queue.push_back(TPosted{Key(wnd), message});
    WakeLoop();
    return true;
}

LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessageState& s = State();
    auto it = s.windows.find(Key(wnd));
    if (!wnd || it == s.windows.end())
        return 0;
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    if (it->second.Control) {
        it->second.Control->WndProc(message);
    } else {
        // A copy: the procedure may free its own window.
        TWndMethod method = it->second.Method;
        if (method)
            method(message);
    }
    return message.Result;
}

void PostQuitMessage(int)
{
    Application->Terminate();
}

int PendingMessageCount()
{
    return static_cast<int>(State().queue.size());
}

int DispatchPostedMessages()
{
    TMessageState& s = State();
    size_t count = s.queue.size();
    int delivered = 0;
    for (size_t i = 0; i < count && !s.queue.empty(); ++i) {
        TPosted posted = s.queue.front();
        s.queue.pop_front();
        if (!s.windows.count(posted.Window))
            continue;  // the window went away after the post
        ++delivered;
        DispatchGuarded([&posted] {
            SendMessage(ToHandle(posted.Window), posted.Message.Msg, posted.Message.WParam, posted.Message.LParam);
        });
    }
    WakeLoop();
    return delivered;
}

void DispatchGuarded(const std::function<void()>& handler)
{
    TMessageState& s = State();
    ++s.dispatchDepth;
    try {
        handler();
    } catch (...) {
        std::exception_ptr error = std::current_exception();
        try {
            Application->HandleException(nullptr, error);
        } catch (...) {
            // The exception handler itself failed; nothing may cross into the event loop.
        }
    }
    --s.dispatchDepth;
}

bool InsideDispatch()
{
    return State().dispatchDepth > 0;
}

// ---------------------------------------------------------------------------------------------------------

namespace {

struct TWatchTable {
    std::unordered_map<TDescriptorWatch, QPointer<QSocketNotifier>> notifiers;
    TDescriptorWatch next = 1;
};

TWatchTable& Watches()
{
    static TWatchTable* table = new TWatchTable;  // notifiers may outlive static destruction order
    return *table;
}

}  // namespace

TDescriptorWatch WatchDescriptor(int descriptor, bool forWriting, std::function<void()> ready)
{
    EnsureQtApplication();
    auto* notifier = new QSocketNotifier(descriptor, forWriting ? QSocketNotifier::Write : QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [ready = std::move(ready)] {
        // A copy: the handler may end its own watch.
        std::function<void()> handler = ready;
        DispatchGuarded(handler);
    });
    TWatchTable& table = Watches();
    TDescriptorWatch watch = table.next++;
    table.notifiers[watch] = notifier;
    return watch;
}

void EnableDescriptorWatch(TDescriptorWatch watch, bool enabled)
{
    TWatchTable& table = Watches();
    auto it = table.notifiers.find(watch);
    if (it != table.notifiers.end() && it->second && it->second->isEnabled() != enabled)
        it->second->setEnabled(enabled);
}

void UnwatchDescriptor(TDescriptorWatch watch)
{
    TWatchTable& table = Watches();
    auto it = table.notifiers.find(watch);
    if (it == table.notifiers.end())
        return;
    QSocketNotifier* notifier = it->second;
    table.notifiers.erase(it);
    if (!notifier)
        return;
    notifier->setEnabled(false);
    if (InsideDispatch())
        notifier->deleteLater();  // we may be inside its own signal
    else
        delete notifier;
}

// ---------------------------------------------------------------------------------------------------------

struct TTimer::TImpl {
    QPointer<QTimer> timer;
};

VCL_IMPLEMENT_CLASS(TTimer)

void TTimer::RegisterProperties(TClassDef<TTimer>& def)
{
    def.Property("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true);
    def.Property("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000u);
    def.Event("OnTimer", &TTimer::OnTimer);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner), impl_(std::make_unique<TImpl>()) {}

TTimer::~TTimer()
{
    if (QTimer* timer = impl_->timer) {
        timer->stop();
        if (InsideDispatch())
            timer->deleteLater();  // we may be inside its own timeout
        else
            delete timer;
    }
}

void TTimer::SetEnabled(bool value)
{
    if (enabled_ == value)
        return;
    enabled_ = value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned value)
{
    if (interval_ == value)
        return;
    interval_ = value;
    UpdateTimer();
}

void TTimer::Loaded()
{
    inherited::Loaded();
    UpdateTimer();
}

void TTimer::Timer()
{
    if (OnTimer)
        OnTimer(this);
}

void TTimer::UpdateTimer()
{
    if (IsLoading() || IsDestroying())
        return;
    // OnTimer is a plain member that may be assigned after Enabled, so the timer runs without it too.
    bool run = enabled_ && interval_ > 0;
    if (!run) {
        if (impl_->timer)
            impl_->timer->stop();
        return;
    }
    EnsureQtApplication();
    if (!impl_->timer) {
        impl_->timer = new QTimer;
        QObject::connect(impl_->timer, &QTimer::timeout, impl_->timer, [this] {
            DispatchGuarded([this] { Timer(); });
        });
    }
    impl_->timer->start(static_cast<int>(interval_));
}

void RegisterMessageClasses()
{
    RegisterClass(TTimer::StaticClass());
}

}  // namespace vcl
