// Answers for programs run as processes (an answer script from SCRIVANE_ANSWERS) and the window log
// (SCRIVANE_WINDOW_LOG).
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"

namespace vcl::test {

namespace {

constexpr int DefaultWaitMs = 30000;

struct TAnswerLine {
    int Number = 0;  // in the file, for the messages
    AnsiString Caption;
    AnsiString Button;
};

struct TAnswerScript {
    std::string path;
    std::vector<TAnswerLine> lines;
    size_t next = 0;
    // Lines written "*caption<TAB>button": that window is answered whenever it comes, as often as it
    // comes, before the next line in order; for windows a run may or may not show.
    std::vector<TAnswerLine> standing;
};

std::optional<TAnswerScript>& ScriptState()
{
    static auto* state = new std::optional<TAnswerScript>;
    return *state;
}

// The script named by the environment, read once; null when none is named.
TAnswerScript* Script()
{
    const char* path = std::getenv("SCRIVANE_ANSWERS");
    if (!path || !*path)
        return nullptr;
    std::optional<TAnswerScript>& state = ScriptState();
    if (state && state->path == path)
        return &*state;
    state.emplace();
    state->path = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "answers: cannot read the answer script %s; nothing will be answered\n", path);
        return &*state;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            std::fprintf(stderr, "answers: line %d of %s has no tab between caption and button; skipped\n", number,
                         path);
            continue;
        }
        if (line[0] == '*')
            state->standing.push_back(TAnswerLine{number, line.substr(1, tab - 1), line.substr(tab + 1)});
        else
            state->lines.push_back(TAnswerLine{number, line.substr(0, tab), line.substr(tab + 1)});
    }
    return &*state;
}

int WaitMs()
{
    if (const char* text = std::getenv("SCRIVANE_ANSWER_WAIT_MS"); text && *text) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end && !*end && value >= 0 && value <= DefaultWaitMs)
            return static_cast<int>(value);
    }
    return DefaultWaitMs;
}

void Settle()
{
    Application->ProcessMessages();
    Application->CheckModal();
}

bool Usable(const TControl& control)
{
    for (const TControl* c = &control; c; c = c->Parent()) {
        if (!c->Visible() || !c->Enabled())
            return false;
    }
    return true;
}

// The visible, enabled button of that caption on the form (its controls and theirs).
TControl* FindButton(const TWinControl& parent, const AnsiString& caption)
{
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* control = parent.Controls(i);
        if (!control->Visible())
            continue;
        const bool isButton = dynamic_cast<TButton*>(control) || dynamic_cast<TSpeedButton*>(control);
        if (isButton && control->Enabled() && control->Caption() == caption && Usable(*control))
            return control;
        if (auto* inner = dynamic_cast<TWinControl*>(control)) {
            if (TControl* found = FindButton(*inner, caption))
                return found;
        }
    }
    return nullptr;
}

// The form a form shown inside another lives in: its parent's form, or the form of the window it was made
// a child of.
TCustomForm* HostForm(const TCustomForm& form)
{
    TWinControl* up = form.Parent();
    if (!up && form.WindowParent())
        up = TWinControl::FindControl(form.WindowParent());
    while (up && !dynamic_cast<TCustomForm*>(up))
        up = up->Parent();
    return dynamic_cast<TCustomForm*>(up);
}

bool Inside(const TCustomForm& form, const TCustomForm& outer)
{
    for (const TCustomForm* host = HostForm(form); host; host = HostForm(*host)) {
        if (host == &outer)
            return true;
    }
    return false;
}

// Whether a later sibling (stacked above it) that is a shown form covers part of the form: pages stacked
// in one frame all stay visible, and only the front one is seen.
bool Covered(const TCustomForm& form)
{
    QWidget* widget = WidgetOf(form);
    if (!widget || !widget->parentWidget())
        return false;
    const QObjectList& siblings = widget->parentWidget()->children();
    const qsizetype at = siblings.indexOf(widget);
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* other = Screen->Forms(i);
        if (other == &form || !other->Visible())
            continue;
        QWidget* above = WidgetOf(*other);
        if (!above || above->parentWidget() != widget->parentWidget() || siblings.indexOf(above) <= at)
            continue;
        if (above->geometry().intersects(widget->geometry()))
            return true;
    }
    return false;
}

// The windows of a modal form a line may name: the forms shown inside it that are in front, then itself.
std::vector<TCustomForm*> Windows(TCustomForm& modal)
{
    std::vector<TCustomForm*> windows;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* form = Screen->Forms(i);
        if (form != &modal && form->Visible() && form->Embedded() && Inside(*form, modal) && !Covered(*form))
            windows.push_back(form);
    }
    windows.push_back(&modal);
    return windows;
}

TControl* FindAnswer(TCustomForm& modal, const TAnswerLine& line)
{
    for (TCustomForm* window : Windows(modal)) {
        if (window->Visible() && window->Caption() == line.Caption) {
            if (TControl* button = FindButton(*window, line.Button))
                return button;
        }
    }
    return nullptr;
}

TControl* FindStandingAnswer(TCustomForm& modal, const TAnswerScript& script)
{
    for (const TAnswerLine& line : script.standing) {
        if (TControl* button = FindAnswer(modal, line))
            return button;
    }
    return nullptr;
}

// ---- the window log

struct TLogState {
    std::vector<TCustomForm*> showing;  // forms inside SetVisible(true), innermost last
    // Per window, the form inside it last logged as its front one.
    std::vector<std::pair<TComponentRef<TCustomForm>, TComponentRef<TCustomForm>>> fronts;
};

TLogState& LogState()
{
    static auto* state = new TLogState;
    return *state;
}

const char* LogPath()
{
    const char* path = std::getenv("SCRIVANE_WINDOW_LOG");
    return path && *path ? path : nullptr;
}

void AppendLog(const AnsiString& line)
{
    const char* path = LogPath();
    if (!path)
        return;
    // Opened for each line: another process of ours may log into the same file, and nothing is lost when
    // this one ends abruptly.
    if (std::FILE* file = std::fopen(path, "ab")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

bool ShownOrShowing(const TCustomForm& form)
{
    const auto& showing = LogState().showing;
    return form.Visible() || std::find(showing.begin(), showing.end(), &form) != showing.end();
}

// A form inside another is seen when it is shown, its window is (or is being) shown, and nothing stacked
// above it covers it; logged once each time it becomes the front one.

// A window without a caption (a popup) is named by its class, so the log still says which one showed.
AnsiString LoggedName(const TCustomForm& form)
{
    return form.Caption().empty() ? "(" + form.ClassName() + ")" : form.Caption();
}

void NoteFront(TCustomForm& form)
{
    if (!form.Visible() || !form.Embedded())
        return;
    TCustomForm* host = HostForm(form);
    if (!host || !ShownOrShowing(*host) || Covered(form))
        return;
    auto& fronts = LogState().fronts;
    std::erase_if(fronts, [](const auto& entry) { return !entry.first; });
    auto it = std::find_if(fronts.begin(), fronts.end(), [&](const auto& entry) { return entry.first.get() == host; });
    if (it == fronts.end()) {
        fronts.emplace_back(host, &form);
    } else {
        if (it->second.get() == &form)
            return;
        it->second = &form;
    }
    AppendLog("form " + LoggedName(form));
}

}  // namespace

namespace detail {

bool AnswerModalFromScript(TCustomForm& form)
{
    TAnswerScript* script = Script();
    if (!script)
        return false;
    TComponentRef<TCustomForm> guard(&form);
    // As the modal loop ends: a result, the form gone or hidden, or the application ending.
    auto ended = [&] {
        return !guard || guard->ModalResult() != mrNone || !guard->Visible() || Application->Terminated();
    };
    auto giveUp = [&](const AnsiString& why) {
        std::fprintf(stderr, "answers: %s; the modal window '%s' (%s) closes with Cancel\n", why.c_str(),
                     guard->Caption().c_str(), guard->ClassName().c_str());
    };
    Settle();
    const int waitMs = WaitMs();
    auto click = [](TControl& button) {
        try {
            Click(button);
        } catch (const ETestScriptError&) {
            // told on stderr where it was raised
        }
    };
    while (!ended()) {
        if (TControl* button = FindStandingAnswer(*guard, *script)) {
            click(*button);
            Settle();
            continue;
        }
        if (script->next >= script->lines.size()) {
            giveUp("no answer left");
            return true;
        }
        const TAnswerLine line = script->lines[script->next];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        TControl* button = FindAnswer(*guard, line);
        while (!button) {
            if (std::chrono::steady_clock::now() >= deadline) {
                giveUp("line " + rtl::IntToStr(line.Number) + " wants the button '" + line.Button + "' of '" +
                       line.Caption + "', which did not come within " + rtl::IntToStr(waitMs) + " ms");
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Settle();
            if (ended())
                return true;
            if (FindStandingAnswer(*guard, *script))
                break;
            button = FindAnswer(*guard, line);
        }
        if (!button)
            continue;
        ++script->next;
        click(*button);
    }
    return true;
}

bool AnswerMessageFromScript(const TShownMessage& shown, const std::vector<int>& results, int escape, int& result)
{
    TAnswerScript* script = Script();
    if (!script)
        return false;
    result = escape;
    const AnsiString box = "the " + shown.Kind + " '" + shown.Caption + "': " + shown.Text;
    for (const TAnswerLine& line : script->standing) {
        if (line.Caption != shown.Caption)
            continue;
        for (size_t i = 0; i < shown.Buttons.size() && i < results.size(); ++i) {
            if (shown.Buttons[i] == line.Button && results[i] != mrNone) {
                result = results[i];
                return true;
            }
        }
    }
    if (script->next >= script->lines.size()) {
        std::fprintf(stderr, "answers: no answer left for %s; taken as %d\n", box.c_str(), escape);
        return true;
    }
    const TAnswerLine& line = script->lines[script->next];
    if (line.Caption != shown.Caption) {
        std::fprintf(stderr, "answers: line %d wants '%s', but %s came; taken as %d\n", line.Number,
                     line.Caption.c_str(), box.c_str(), escape);
        return true;
    }
    for (size_t i = 0; i < shown.Buttons.size() && i < results.size(); ++i) {
        if (shown.Buttons[i] == line.Button && results[i] != mrNone) {
            ++script->next;
            result = results[i];
            return true;
        }
    }
    std::fprintf(stderr, "answers: line %d wants the button '%s', which %s does not have; taken as %d\n", line.Number,
                 line.Button.c_str(), box.c_str(), escape);
    return true;
}

TShowingForm::TShowingForm(TCustomForm& form) : form_(form)
{
    if (!LogPath())
        return;
    LogState().showing.push_back(&form);
    if (!form.Embedded()) {
        // Shown anew, its pages count as new too.
        std::erase_if(LogState().fronts, [&](const auto& entry) { return !entry.first || entry.first.get() == &form; });
        AppendLog("form " + LoggedName(form));
    }
}

TShowingForm::~TShowingForm()
{
    if (!LogPath())
        return;
    auto& showing = LogState().showing;
    if (auto it = std::find(showing.rbegin(), showing.rend(), &form_); it != showing.rend())
        showing.erase(std::next(it).base());
    NoteFront(form_);
}

void BroughtToFront(TControl& control)
{
    if (!LogPath())
        return;
    if (auto* form = dynamic_cast<TCustomForm*>(&control))
        NoteFront(*form);
}

void LogMessage(const TShownMessage& shown)
{
    AppendLog("message " + shown.Caption + ": " + shown.Text);
}

void LogFocus(TWinControl& control)
{
    const char* path = std::getenv("SCRIVANE_FOCUS_LOG");
    if (!path || !*path)
        return;
    TCustomForm* form = GetParentForm(&control);
    const AnsiString line = "focus " + (form ? LoggedName(*form) : AnsiString("?")) + ": " + control.Name() + "\n";
    if (std::FILE* file = std::fopen(path, "ab")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
}

}  // namespace detail

}  // namespace vcl::test
