// The test driver: scripted modal windows, answered boxes and dialogs, user actions on widgets, pictures.
#include "platform/vcl/TestDriver.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <cstdio>

#include "platform/vcl/QtSeam.h"

namespace vcl::test {

namespace {

struct TScript {
    AnsiString ClassName;  // empty: any
    TModalScript Script;
};

struct TDriverState {
    bool active = false;
    bool personAtScreen = false;
    std::function<void(const AnsiString&)> onFailure;
    std::deque<TScript> scripts;
    std::deque<detail::TAnswer> messageAnswers;
    std::deque<detail::TAnswer> inputAnswers;
    std::deque<detail::TAnswer> dialogAnswers;
    std::vector<TShownMessage> messages;
    std::vector<TShownDialog> dialogs;
    std::vector<AnsiString> failures;
    std::vector<AnsiString> modalShown;
};

TDriverState& State()
{
    static auto* state = new TDriverState;
    return *state;
}

std::deque<detail::TAnswer>& QueueFor(detail::TAnswer::TKind kind)
{
    switch (kind) {
    case detail::TAnswer::Message: return State().messageAnswers;
    case detail::TAnswer::Input:
    case detail::TAnswer::CancelInput: return State().inputAnswers;
    default: return State().dialogAnswers;
    }
}

const char* AnswerName(detail::TAnswer::TKind kind)
{
    switch (kind) {
    case detail::TAnswer::Message: return "message box answer";
    case detail::TAnswer::Input: return "input box text";
    case detail::TAnswer::CancelInput: return "input box cancel";
    case detail::TAnswer::File: return "file dialog answer";
    case detail::TAnswer::Font: return "font dialog answer";
    case detail::TAnswer::Color: return "colour dialog answer";
    default: return "dialog cancel";
    }
}

AnsiString Describe(const TControl& control)
{
    AnsiString name = control.Name().empty() ? AnsiString("(unnamed)") : control.Name();
    return name + " (" + control.ClassName() + ")";
}

[[noreturn]] void ScriptError(const AnsiString& message)
{
    Fail(message);
    throw ETestScriptError(message);
}

// After an action: what it set off runs, and a modal form whose ModalResult it set closes.
void Settle()
{
    Application->ProcessMessages();
    Application->CheckModal();
}

void FreeLeftoverForms()
{
    // What the application owns goes first (forms, timers, dialogs left by the test); then forms without
    // an owner. A form's destructor may free others (the ones it owns), so the list is read afresh.
    Application->DestroyComponents();
    while (Screen->FormCount() > 0)
        delete Screen->Forms(Screen->FormCount() - 1);
    Application->ProcessMessages();
}

void RequireUsable(const TControl& control, const char* action)
{
    for (const TControl* c = &control; c; c = c->Parent()) {
        if (!c->Visible())
            ScriptError(AnsiString("cannot ") + action + " " + Describe(control) + ": " +
                        (c == &control ? AnsiString("it is") : Describe(*c) + " is") + " not visible");
        if (!c->Enabled())
            ScriptError(AnsiString("cannot ") + action + " " + Describe(control) + ": " +
                        (c == &control ? AnsiString("it is") : Describe(*c) + " is") + " disabled");
    }
}

// Makes the control's widget when its window can exist; false when it cannot (a control on no form).
bool HaveWidget(TControl& control)
{
    if (control.Peer())
        return true;
    try {
        control.EnsurePeer();
    } catch (const rtl::Exception&) {
        return false;
    }
    return control.Peer() && control.Peer()->Widget();
}

struct TKeyStroke {
    uint16_t Vk = 0;
    int QtKey = 0;
    bool Shift = false;
};

TKeyStroke StrokeFor(char c)
{
    TKeyStroke k;
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') {
        k.Vk = static_cast<uint16_t>(u - 'a' + 'A');
    } else if (u >= 'A' && u <= 'Z') {
        k.Vk = u;
        k.Shift = true;
    } else if (u >= '0' && u <= '9') {
        k.Vk = u;
    } else {
        switch (u) {
        case ' ': k.Vk = VK_SPACE; break;
        case '\r':
        case '\n': k.Vk = VK_RETURN; break;
        case '\t': k.Vk = VK_TAB; break;
        case '\b': k.Vk = VK_BACK; break;
        case 27: k.Vk = VK_ESCAPE; break;
        case '-': k.Vk = VK_OEM_MINUS; break;
        case '_': k.Vk = VK_OEM_MINUS; k.Shift = true; break;
        case '=': k.Vk = VK_OEM_PLUS; break;
        case '+': k.Vk = VK_OEM_PLUS; k.Shift = true; break;
        case ',': k.Vk = VK_OEM_COMMA; break;
        case '.': k.Vk = VK_OEM_PERIOD; break;
        case '/': k.Vk = VK_OEM_2; break;
        case '?': k.Vk = VK_OEM_2; k.Shift = true; break;
        case ';': k.Vk = VK_OEM_1; break;
        case ':': k.Vk = VK_OEM_1; k.Shift = true; break;
        case '\'': k.Vk = VK_OEM_7; break;
        case '"': k.Vk = VK_OEM_7; k.Shift = true; break;
        case '[': k.Vk = VK_OEM_4; break;
        case ']': k.Vk = VK_OEM_6; break;
        case '\\': k.Vk = VK_OEM_5; break;
        default: break;  // a character with no key of its own still arrives as its character
        }
    }
    k.QtKey = k.Vk ? QtKeyFromVirtualKey(k.Vk) : Qt::Key_unknown;
    return k;
}

Qt::KeyboardModifiers QtModifiers(TShiftState shift)
{
    Qt::KeyboardModifiers m;
    if (shift.Contains(ssShift))
        m |= Qt::ShiftModifier;
    if (shift.Contains(ssCtrl))
        m |= Qt::ControlModifier;
    if (shift.Contains(ssAlt))
        m |= Qt::AltModifier;
    return m;
}

// One key stroke: down (with its character, when it has one), up. Through the widget when there is one,
// so the widget does what it does with the key; else straight to the control's handlers.
void Stroke(TWinControl& control, uint16_t vk, int qtKey, TShiftState shift, const AnsiString& text)
{
    TComponentRef<TWinControl> guard(&control);
    if (HaveWidget(control)) {
        QWidget* widget = control.Peer()->Widget();
        if (control.CanFocus())
            DispatchGuarded([&] { control.SetFocus(); });
        QWidget* target = widget->focusProxy() ? widget->focusProxy() : widget;
        QKeyEvent press(QEvent::KeyPress, qtKey, QtModifiers(shift), ToQString(text));
        QCoreApplication::sendEvent(target, &press);
        if (guard && guard->Peer() && guard->Peer()->Widget()) {
            QKeyEvent release(QEvent::KeyRelease, qtKey, QtModifiers(shift), ToQString(text));
            QCoreApplication::sendEvent(target, &release);
        }
    } else {
        DispatchGuarded([&] {
            uint16_t key = vk ? control.HandleKeyDown(vk, shift) : 0;
            if (guard && !text.empty() && (vk == 0 || key != 0))
                control.HandleKeyPress(text[0]);
            if (guard && vk)
                control.HandleKeyUp(vk, shift);
        });
    }
    Settle();
}

AnsiString KeyText(uint16_t vk, TShiftState shift)
{
    if (shift.Contains(ssCtrl) || shift.Contains(ssAlt))
        return AnsiString();
    switch (vk) {
    case VK_RETURN: return "\r";
    case VK_ESCAPE: return "\x1b";
    case VK_BACK: return "\b";
    case VK_TAB: return "\t";
    case VK_SPACE: return " ";
    default: break;
    }
    if (vk >= 'A' && vk <= 'Z')
        return AnsiString(1, static_cast<char>(shift.Contains(ssShift) ? vk : vk - 'A' + 'a'));
    if (vk >= '0' && vk <= '9' && !shift.Contains(ssShift))
        return AnsiString(1, static_cast<char>(vk));
    return AnsiString();
}

}  // namespace

void Begin(std::function<void(const AnsiString&)> onFailure)
{
    if (State().active)
        End();
    TDriverState& s = State();
    s.active = true;
    s.onFailure = std::move(onFailure);
    Application->ResetRunState();
    win::SetShellLaunchAllowed(false);
    win::ClearShellRequests();
}

std::vector<AnsiString> End()
{
    TDriverState& s = State();
    if (s.active) {
        FreeLeftoverForms();
        if (!s.scripts.empty())
            Fail(rtl::IntToStr(s.scripts.size()) + " modal script(s) never ran (no such modal form was shown)");
        for (auto* queue : {&s.messageAnswers, &s.inputAnswers, &s.dialogAnswers}) {
            for (const detail::TAnswer& answer : *queue)
                Fail(AnsiString("a queued ") + AnswerName(answer.Kind) + " was never used");
        }
    }
    std::vector<AnsiString> failures = std::move(s.failures);
    s.scripts.clear();
    s.messageAnswers.clear();
    s.inputAnswers.clear();
    s.dialogAnswers.clear();
    s.messages.clear();
    s.dialogs.clear();
    s.failures.clear();
    s.modalShown.clear();
    s.onFailure = nullptr;
    s.active = false;
    Application->ResetRunState();
    Screen->SetSize(0, 0);
    Screen->SetCursor(crDefault);
    win::ClearShellRequests();
    win::SetShellLaunchAllowed(true);
    return failures;
}

bool Active()
{
    return State().active;
}

void SetPersonAtScreen(bool value)
{
    State().personAtScreen = value;
}

bool PersonAtScreen()
{
    return State().personAtScreen;
}

void Fail(const AnsiString& message)
{
    TDriverState& s = State();
    s.failures.push_back(message);
    if (s.onFailure)
        s.onFailure(message);
    else
        std::fprintf(stderr, "test driver: %s\n", message.c_str());
}

std::vector<AnsiString> Failures()
{
    return State().failures;
}

std::vector<win::TShellRequest> ShellRequests()
{
    return win::ShellRequests();
}

const std::vector<THelpRequest>& HelpRequests()
{
    return Application->HelpRequests();
}

void OnNextModal(TModalScript script)
{
    State().scripts.push_back(TScript{AnsiString(), std::move(script)});
}

void OnNextModal(const AnsiString& className, TModalScript script)
{
    State().scripts.push_back(TScript{className, std::move(script)});
}

int PendingModalScripts()
{
    return static_cast<int>(State().scripts.size());
}

std::vector<AnsiString> ModalFormsShown()
{
    return State().modalShown;
}

void Click(TControl& control)
{
    RequireUsable(control, "click");
    TComponentRef<TControl> guard(&control);
    if (!(HaveWidget(control) && control.Peer()->UserClick()))
        DispatchGuarded([&] { control.Click(); });
    Settle();
}

void DblClick(TControl& control)
{
    RequireUsable(control, "double-click");
    DispatchGuarded([&] { control.DblClick(); });
    Settle();
}

void TypeText(TWinControl& control, const AnsiString& text)
{
    RequireUsable(control, "type into");
    TComponentRef<TWinControl> guard(&control);
    for (char c : text) {
        if (!guard)
            ScriptError("the control typed into went away while typing");
        TKeyStroke k = StrokeFor(c);
        TShiftState shift;
        if (k.Shift)
            shift.Include(ssShift);
        Stroke(control, k.Vk, k.QtKey, shift, AnsiString(1, c));
    }
}

void PressKey(TWinControl& control, uint16_t key, TShiftState shift)
{
    RequireUsable(control, "press a key on");
    int qtKey = QtKeyFromVirtualKey(key);
    Stroke(control, key, qtKey ? qtKey : Qt::Key_unknown, shift, KeyText(key, shift));
}

void SetText(TControl& control, const AnsiString& text)
{
    RequireUsable(control, "set the text of");
    DispatchGuarded([&] { control.SetText(text); });
    Settle();
}

void SelectItem(TControl& control, int index)
{
    RequireUsable(control, "select in");
    if (!HaveWidget(control))
        ScriptError("cannot select in " + Describe(control) + ": it has no window");
    if (!control.Peer()->UserSelect(index))
        ScriptError("cannot select item " + rtl::IntToStr(index) + " in " + Describe(control));
    Settle();
}

void SelectItem(TControl& control, const AnsiString& itemText)
{
    RequireUsable(control, "select in");
    if (!HaveWidget(control))
        ScriptError("cannot select in " + Describe(control) + ": it has no window");
    if (!control.Peer()->UserSelectText(itemText))
        ScriptError("cannot select '" + itemText + "' in " + Describe(control));
    Settle();
}

namespace {

Qt::MouseButton QtButton(TMouseButton button)
{
    return button == mbRight ? Qt::RightButton : button == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
}

QWidget* MouseTarget(TControl& control, const char* action)
{
    RequireUsable(control, action);
    if (!HaveWidget(control))
        ScriptError(AnsiString("cannot ") + action + " " + Describe(control) + ": it has no window");
    return control.Peer()->ClientWidget();
}

}  // namespace

void MouseClick(TControl& control, int x, int y, TMouseButton button, TShiftState shift)
{
    QWidget* target = MouseTarget(control, "click");
    QPointer<QWidget> guard(target);
    QPointF local(x, y);
    QPointF global = target->mapToGlobal(local);
    Qt::MouseButton qtButton = QtButton(button);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, qtButton, qtButton, QtModifiers(shift));
    QCoreApplication::sendEvent(target, &press);
    if (guard) {
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, qtButton, Qt::NoButton, QtModifiers(shift));
        QCoreApplication::sendEvent(target, &release);
    }
    if (guard && button == mbRight) {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, local.toPoint(), global.toPoint(), QtModifiers(shift));
        QCoreApplication::sendEvent(target, &menu);
    }
    Settle();
}

void MouseDblClick(TControl& control, int x, int y)
{
    QWidget* target = MouseTarget(control, "double-click");
    QPointer<QWidget> guard(target);
    QPointF local(x, y);
    QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    for (QEvent::Type type : {QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        if (!guard)
            break;
        Qt::MouseButtons held = type == QEvent::MouseButtonDblClick ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent e(type, local, global, Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &e);
    }
    Settle();
}

void MouseDrag(TControl& control, int x1, int y1, int x2, int y2, TMouseButton button)
{
    QWidget* target = MouseTarget(control, "drag");
    QPointer<QWidget> guard(target);
    Qt::MouseButton qtButton = QtButton(button);
    QPointF from(x1, y1);
    QPointF to(x2, y2);
    QMouseEvent press(QEvent::MouseButtonPress, from, target->mapToGlobal(from), qtButton, qtButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    if (guard) {
        QMouseEvent move(QEvent::MouseMove, to, target->mapToGlobal(to), Qt::NoButton, qtButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
    }
    if (guard) {
        QMouseEvent release(QEvent::MouseButtonRelease, to, target->mapToGlobal(to), qtButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(target, &release);
    }
    Settle();
}

void CloseByCloseBox(TCustomForm& form)
{
    if (!form.Visible())
        ScriptError("cannot close " + Describe(form) + " by its close box: it is not shown");
    if (!form.BorderIcons().Contains(biSystemMenu) || form.BorderStyle() == bsNone)
        ScriptError("cannot close " + Describe(form) + " by its close box: it has none");
    DispatchGuarded([&] { form.CloseRequestedByUser(); });
    Settle();
}

void ProcessMessages()
{
    Settle();
}

TComponent& FindComponent(const TComponent& root, std::string_view name)
{
    TComponent* found = root.FindComponent(name);
    if (!found)
        ScriptError("no component " + AnsiString(name) + " in " + root.Name() + " (" + root.ClassName() + ")");
    return *found;
}

void AnswerMessage(int result)
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::Message;
    answer.Result = result;
    State().messageAnswers.push_back(answer);
}

void AnswerInput(const AnsiString& text)
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::Input;
    answer.Text = text;
    State().inputAnswers.push_back(answer);
}

void CancelInput()
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::CancelInput;
    State().inputAnswers.push_back(answer);
}

const std::vector<TShownMessage>& Messages()
{
    return State().messages;
}

const TShownMessage& LastMessage()
{
    static const TShownMessage none;
    if (State().messages.empty()) {
        Fail("no message box was shown");
        return none;
    }
    return State().messages.back();
}

void ClearMessages()
{
    State().messages.clear();
}

int PendingAnswers()
{
    TDriverState& s = State();
    return static_cast<int>(s.messageAnswers.size() + s.inputAnswers.size() + s.dialogAnswers.size());
}

void AnswerFileDialog(const AnsiString& fileName, int filterIndex)
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::File;
    answer.Text = fileName;
    answer.FilterIndex = filterIndex;
    State().dialogAnswers.push_back(answer);
}

void AnswerFontDialog(const TFont& font)
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::Font;
    answer.FontValue = std::make_shared<TFont>();
    answer.FontValue->Assign(&font);
    State().dialogAnswers.push_back(answer);
}

void AnswerColorDialog(TColor color)
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::Color;
    answer.ColorValue = color;
    State().dialogAnswers.push_back(answer);
}

void CancelDialog()
{
    detail::TAnswer answer;
    answer.Kind = detail::TAnswer::Cancel;
    State().dialogAnswers.push_back(answer);
}

const std::vector<TShownDialog>& Dialogs()
{
    return State().dialogs;
}

// ---------------------------------------------------------------------------------------------------------

void SaveFormAsPng(TCustomForm& form, const std::string& hostPath)
{
    EnsureQtApplication();
    form.HandleNeeded();
    QWidget* window = WidgetOf(form);
    if (!window)
        throw rtl::Exception("The form " + form.Name() + " has no window to picture");
    int width = std::max(form.Width(), 1), height = std::max(form.Height(), 1);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(ToQColor(clBtnFace));
    {
        QPainter painter(&image);
        int frame = form.FrameWidth();
        int caption = form.CaptionHeight();
        if (frame > 0) {
            painter.setPen(ToQColor(clBtnHighlight));
            painter.drawLine(0, 0, width - 1, 0);
            painter.drawLine(0, 0, 0, height - 1);
            painter.setPen(ToQColor(cl3DDkShadow));
            painter.drawLine(width - 1, 0, width - 1, height - 1);
            painter.drawLine(0, height - 1, width - 1, height - 1);
        }
        if (caption > 0) {
            QRect bar(frame, frame, width - 2 * frame, caption - 1);
            QLinearGradient gradient(bar.topLeft(), bar.topRight());
            gradient.setColorAt(0, ToQColor(clActiveCaption));
            gradient.setColorAt(1, ToQColor(clGradientActiveCaption));
            painter.fillRect(bar, gradient);
            QFont font = ToQFont(*form.Font());
            font.setBold(true);
            font.setPixelSize(std::max(caption - 8, 8));
            painter.setFont(font);
            painter.setPen(ToQColor(clCaptionText));
            painter.drawText(bar.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, ToQString(form.Caption()));
        }
        QPixmap inside = window->grab();
        painter.drawPixmap(frame, frame + caption, inside);
    }
    if (!image.save(QString::fromStdString(hostPath), "PNG"))
        throw rtl::Exception("Cannot write the picture " + hostPath);
}

// ---------------------------------------------------------------------------------------------------------

namespace detail {

void RunModalScript(TCustomForm& form)
{
    TDriverState& s = State();
    s.modalShown.push_back(form.ClassName());
    auto it = std::find_if(s.scripts.begin(), s.scripts.end(), [&](const TScript& script) {
        return script.ClassName.empty() || form.InheritsFrom(script.ClassName);
    });
    if (it == s.scripts.end()) {
        Fail("unexpected modal form " + form.ClassName() + " '" + form.Caption() + "' (no script queued); closed with mrCancel");
        form.EndModal(mrCancel);
        return;
    }
    TModalScript script = std::move(it->Script);
    s.scripts.erase(it);
    TComponentRef<TCustomForm> guard(&form);
    try {
        script(form);
    } catch (const ETestScriptError&) {
        // recorded where it was raised
    } catch (const std::exception& e) {
        Fail("the script for " + AnsiString(guard ? guard->ClassName() : AnsiString("a modal form")) + " raised: " + e.what());
    }
    if (!guard)
        return;
    Settle();
    if (guard && guard->Modal() && guard->Visible()) {
        Fail("the script left " + guard->ClassName() + " '" + guard->Caption() + "' open; closed with mrCancel");
        guard->EndModal(mrCancel);
    }
}

bool TakeAnswer(std::initializer_list<TAnswer::TKind> kinds, TAnswer& answer)
{
    if (kinds.size() == 0)
        return false;
    std::deque<TAnswer>& queue = QueueFor(*kinds.begin());
    if (queue.empty())
        return false;
    const TAnswer& next = queue.front();
    if (std::find(kinds.begin(), kinds.end(), next.Kind) == kinds.end()) {
        Fail(AnsiString("the next queued answer is a ") + AnswerName(next.Kind) + ", which does not fit the " +
             AnswerName(*kinds.begin()) + " asked for");
        queue.pop_front();
        return false;
    }
    answer = next;
    queue.pop_front();
    return true;
}

void RecordMessage(const TShownMessage& shown)
{
    State().messages.push_back(shown);
}

void RecordDialog(const TShownDialog& shown)
{
    State().dialogs.push_back(shown);
}

}  // namespace detail

}  // namespace vcl::test
