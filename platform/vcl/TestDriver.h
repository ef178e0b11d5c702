#pragma once
// The test driver: windows run headless and are driven as a person would drive them. While it is active,
// ShowModal runs the next queued script instead of a loop, message and input boxes take queued answers,
// common dialogs return scripted results, and everything shown is recorded.
//
//   vcl::test::Begin([](const AnsiString& failure) { ADD_FAILURE() << failure; });
//   vcl::test::OnNextModal<TfrmPreferences>([](TfrmPreferences& dlg) {
//       vcl::test::Click(vcl::test::Find<TCheckBox>(dlg, "cbxBackups"));
//       vcl::test::TypeText(vcl::test::Find<TEdit>(dlg, "edtName"), "abc");   // key events, one by one
//       vcl::test::AnswerMessage(vcl::mrYes);                                 // for a box the click shows
//       vcl::test::Click(vcl::test::Find<TButton>(dlg, "btnOK"));             // OnClick, ModalResult, close
//   });
//   main->Preferences1Click(nullptr);                         // shows the dialog modally: the script runs
//   EXPECT_EQ(vcl::test::LastMessage().Caption, "Confirm");
//   vcl::test::End();                                         // frees leftover forms, clears everything
//
// ShellExecute and help requests are only recorded while the driver runs (ShellRequests, HelpRequests).
//
// Something nobody scripted (a modal form without a script, a message box without an answer, a script
// that leaves its form open) is a failure: it is recorded, told to the failure callback at once, and the
// window closes with mrCancel (message boxes: their cancel answer), so a test never hangs.
//
// tests/platform/vcl/VclTestFixture.h has a GoogleTest fixture that does Begin and End.

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Shell.h"

namespace vcl::test {

// Raised where a script cannot go on (a control that cannot be found or clicked); also recorded.
class ETestScriptError : public rtl::Exception {
public:
    using Exception::Exception;
};

// Starts driving; `onFailure` hears each failure when it happens. Begin again resets.
void Begin(std::function<void(const AnsiString& failure)> onFailure = {});
// Frees the forms left over (every form still alive, and whatever Application owns), clears queues and
// records and stops driving; gives the failures recorded since Begin (also those already told to the
// callback).
std::vector<AnsiString> End();
bool Active();
// A test that plays the person itself, finding the real Qt widgets of a modal window or dialog and pressing
// their buttons, says so while the driver is not active: modal windows, message boxes and common dialogs
// then run their real loops, even on the offscreen platform.
void SetPersonAtScreen(bool value);
bool PersonAtScreen();
// Records a failure and tells the callback.
void Fail(const AnsiString& message);
std::vector<AnsiString> Failures();

// ---- modal windows
using TModalScript = std::function<void(TCustomForm& form)>;
// The script for the next modal form of any class.
void OnNextModal(TModalScript script);
// The script for the next modal form of that class (scripts for other classes keep their turn).
void OnNextModal(const AnsiString& className, TModalScript script);
template <class T>
void OnNextModal(std::function<void(T& form)> script)
{
    OnNextModal(T::StaticClass().ClassName(), [script](TCustomForm& form) { script(dynamic_cast<T&>(form)); });
}
template <class T, class F>
    requires(!std::is_convertible_v<F, TModalScript>)
void OnNextModal(F script)
{
    OnNextModal<T>(std::function<void(T&)>(std::move(script)));
}
int PendingModalScripts();
// The modal forms shown so far (class names, in order).
std::vector<AnsiString> ModalFormsShown();

// ---- acting on controls (each ends with ProcessMessages, so a modal form closes as it would)
// A click as a person makes it: the control must be visible and enabled; its widget clicks when it can
// (check boxes toggle), else Click() runs; then the form's ModalResult path.
void Click(TControl& control);
void DblClick(TControl& control);
// Key down, key press (the character), key up for each character; the control must be able to focus.
void TypeText(TWinControl& control, const AnsiString& text);
void PressKey(TWinControl& control, uint16_t key, TShiftState shift = {});
// Replaces the control's text (as a paste would): SetText.
void SetText(TControl& control, const AnsiString& text);
// Selects a list item as a click on it would (the widget fires the control's events).
void SelectItem(TControl& control, int index);
void SelectItem(TControl& control, const AnsiString& itemText);
// A mouse click at a point of the control (client coordinates), through its widget as the window system
// delivers it: MouseDown, MouseUp, and what the widget makes of it (a plain control's Click; the right
// button's popup menu).
void MouseClick(TControl& control, int x, int y, TMouseButton button = mbLeft, TShiftState shift = {});
void MouseDblClick(TControl& control, int x, int y);
// A drag with a button held: down at (x1, y1), a move to (x2, y2) with the button still down, up there.
void MouseDrag(TControl& control, int x1, int y1, int x2, int y2, TMouseButton button = mbLeft);
// The close box of the form's window: OnCloseQuery, OnClose; a modal form gets mrCancel.
void CloseByCloseBox(TCustomForm& form);
void ProcessMessages();

// An owned component by name and class; ETestScriptError (recorded) when missing.
TComponent& FindComponent(const TComponent& root, std::string_view name);
template <class T>
T& Find(const TComponent& root, std::string_view name)
{
    TComponent& found = FindComponent(root, name);
    T* typed = dynamic_cast<T*>(&found);
    if (!typed) {
        AnsiString message = AnsiString(name) + " is a " + found.ClassName() + ", not a " + T::StaticClass().ClassName();
        Fail(message);
        throw ETestScriptError(message);
    }
    return *typed;
}

// ---- message boxes, ShowMessage, MessageDlg, input boxes
struct TShownMessage {
    AnsiString Kind;     // "MessageDlg", "MessageBox", "ShowMessage", "InputBox", "InputQuery"
    AnsiString Caption;
    AnsiString Text;     // the prompt of an input box
    AnsiString Type;     // "mtWarning", "mtError", "mtInformation", "mtConfirmation", "mtCustom"
    std::vector<AnsiString> Buttons;  // captions in order: "&Yes", "&No", "OK", "Cancel", ...
    int HelpContext = 0;
    int Result = 0;       // the modal result (message boxes: the ID, the same numbers)
    AnsiString Value;     // input boxes: the default given, then the text returned
};
// The next message box answers with this result (mrYes, mrOk, IDNO ...); it must be one of its buttons.
void AnswerMessage(int result);
// The next input box: OK with this text / Cancel.
void AnswerInput(const AnsiString& text);
void CancelInput();
const std::vector<TShownMessage>& Messages();
// The last one shown; a failure (and an empty record) when none was.
const TShownMessage& LastMessage();
void ClearMessages();
int PendingAnswers();

// ---- common dialogs
struct TShownDialog {
    AnsiString Kind;  // "Open", "Save", "Font", "Color"
    AnsiString Title;
    AnsiString Filter;
    int FilterIndex = 0;
    AnsiString InitialDir;
    AnsiString DefaultExt;
    AnsiString FileName;  // as given to the dialog, then as returned
    bool Accepted = false;
};
// The next open or save dialog returns this Windows file name (a name without extension gets DefaultExt
// as the real dialog gives it); filterIndex 0 keeps the dialog's.
void AnswerFileDialog(const AnsiString& fileName, int filterIndex = 0);
void AnswerFontDialog(const TFont& font);
void AnswerColorDialog(TColor color);
// The next common dialog is cancelled.
void CancelDialog();
const std::vector<TShownDialog>& Dialogs();

// ---- the shell and the program's help: recorded; while the driver runs nothing is started
std::vector<win::TShellRequest> ShellRequests();
const std::vector<THelpRequest>& HelpRequests();

// ---- pictures
// Renders the form with its frame, caption and controls as a PNG of Width x Height pixels (host path).
void SaveFormAsPng(TCustomForm& form, const std::string& hostPath);

// ---- layout
// Every visible text that its control cuts short, as "<parent>.<control> '<text>' needs W x H in W x H":
// a label's caption (wrapped at its width when it wraps, descenders included), a button's or box's text
// beside its icon or check mark, a group box's or panel's caption, and any captioned control that leaves
// its parent's client area. Measured with the fonts the window draws with.
std::vector<AnsiString> CutTexts(TWinControl& root);

// ---- programs run as processes
// A program run offscreen outside a test (NobodyToAnswer) answers from a script when the environment
// names one in SCRIVANE_ANSWERS: a text file of lines "<window caption>\t<button caption>" (the button
// caption as shown, "&" included: "Next >", "&Yes", "OK"); lines starting with "#" and blank lines are
// skipped. A modal form takes the next lines in turn: it waits (processing messages, 30 s at most, or
// SCRIVANE_ANSWER_WAIT_MS) for the window the line names, the modal form itself or a form shown inside it
// (only the front one of stacked pages counts), clicks that window's visible, enabled button of that
// caption as a person would, and goes on until the modal form ends. A message box takes the next line
// at once, when the caption matches. A line that does not come true, or no line left, is told on stderr,
// stays unused, and the window closes with Cancel (message boxes: their escape answer).
//
// SCRIVANE_WINDOW_LOG names a file that gets a line for every form shown ("form <caption>"; a form inside
// another, such as a wizard page, when it comes to the front of its window) and every message box
// ("message <caption>: <text>"), appended and flushed at once.
// SCRIVANE_FOCUS_LOG names a file that gets a line "focus <form caption>: <control name>" each time a
// control receives the keyboard focus, so a run on a display can follow where the keys go.

// ---- used by the framework
namespace detail {
// Runs the answer script for a modal form that is shown; false (and nothing done) without a script.
bool AnswerModalFromScript(TCustomForm& form);
// The answer of a message box from the script; false (and nothing taken) without a script.
bool AnswerMessageFromScript(const TShownMessage& shown, const std::vector<int>& results, int escape, int& result);
// Window log hooks: a form is being made visible for as long as this lives.
class TShowingForm {
public:
    explicit TShowingForm(TCustomForm& form);
    ~TShowingForm();
    TShowingForm(const TShowingForm&) = delete;
    TShowingForm& operator=(const TShowingForm&) = delete;

private:
    TCustomForm& form_;
};
void BroughtToFront(TControl& control);
void LogMessage(const TShownMessage& shown);
void LogFocus(TWinControl& control);
// Runs the script for a modal form that is shown; gives when the form is closed.
void RunModalScript(TCustomForm& form);
struct TAnswer {
    enum TKind { Message, Input, CancelInput, File, Font, Color, Cancel } Kind = Message;
    int Result = 0;
    AnsiString Text;
    int FilterIndex = 0;
    std::shared_ptr<TFont> FontValue;
    TColor ColorValue = clBlack;
};
// Takes the next answer of the kinds given; false when none is queued.
bool TakeAnswer(std::initializer_list<TAnswer::TKind> kinds, TAnswer& answer);
void RecordMessage(const TShownMessage& shown);
void RecordDialog(const TShownDialog& shown);
}  // namespace detail

}  // namespace vcl::test
