// Message boxes and common dialogs: what they show and answer, recorded for the test driver; the Qt
// windows themselves are in QtDialogs.cpp.
#include "platform/vcl/Dialogs.h"

#include <cstdio>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/TestDriver.h"

namespace vcl {

namespace detail {
// QtDialogs.cpp
int QtMessageBox(const test::TShownMessage& shown, const std::vector<int>& results, int defaultResult, int escapeResult);
bool QtInputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
bool QtFileDialog(const TOpenDialog& dialog, AnsiString& fileName, int& filterIndex);
bool QtFontDialog(TFont& font);
bool QtColorDialog(TColor& color);
}  // namespace detail

namespace {

const char* const TypeCaptions[] = {"Warning", "Error", "Information", "Confirm", ""};

struct TButtonInfo {
    const char* Caption;
    int Result;
};

constexpr TButtonInfo DialogButtons[] = {
    {"&Yes", mrYes},         {"&No", mrNo},          {"OK", mrOk},           {"Cancel", mrCancel},
    {"&Abort", mrAbort},     {"&Retry", mrRetry},    {"&Ignore", mrIgnore},  {"&All", mrAll},
    {"N&o to All", mrNoToAll}, {"Yes to &All", mrYesToAll}, {"&Help", mrNone},
};

int CancelAnswer(const std::vector<int>& results)
{
    for (int wanted : {mrCancel, mrNo, mrOk}) {
        for (int r : results) {
            if (r == wanted)
                return r;
        }
    }
    return results.empty() ? mrCancel : results.front();
}

AnsiString ButtonList(const test::TShownMessage& shown)
{
    AnsiString list;
    for (const AnsiString& b : shown.Buttons)
        list += (list.empty() ? "" : ", ") + b;
    return "[" + list + "]";
}

// Shows (or, under the test driver, answers) a message box and records it.
int RunMessage(test::TShownMessage shown, const std::vector<int>& results, int defaultResult)
{
    int escape = CancelAnswer(results);
    test::detail::LogMessage(shown);
    if (test::Active()) {
        test::detail::TAnswer answer;
        if (!test::detail::TakeAnswer({test::detail::TAnswer::Message}, answer)) {
            shown.Result = escape;
            test::detail::RecordMessage(shown);
            test::Fail("unexpected " + shown.Kind + " '" + shown.Caption + "': " + shown.Text + " " + ButtonList(shown) +
                       " (no answer queued)");
            return escape;
        }
        bool known = false;
        for (int r : results)
            known = known || (r == answer.Result && r != mrNone);
        if (!known) {
            shown.Result = escape;
            test::detail::RecordMessage(shown);
            test::Fail("answer " + rtl::IntToStr(answer.Result) + " is not a button of " + shown.Kind + " '" +
                       shown.Caption + "': " + shown.Text + " " + ButtonList(shown));
            return escape;
        }
        shown.Result = answer.Result;
        test::detail::RecordMessage(shown);
        return answer.Result;
    }
    if (NobodyToAnswer()) {
        int result = escape;
        if (!test::detail::AnswerMessageFromScript(shown, results, escape, result))
            std::fprintf(stderr, "%s: %s (nobody to answer; taken as %d)\n", shown.Caption.c_str(), shown.Text.c_str(),
                         escape);
        return result;
    }
    return detail::QtMessageBox(shown, results, defaultResult, escape);
}

AnsiString DialogTitle()
{
    AnsiString title = Application->Title();
    if (title.empty())
        title = rtl::ChangeFileExt(rtl::ExtractFileName(Application->ExeName()), "");
    return title;
}

}  // namespace

int MessageDlg(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
{
    test::TShownMessage shown;
    shown.Kind = "MessageDlg";
    shown.Caption = type == mtCustom ? DialogTitle() : AnsiString(TypeCaptions[type]);
    shown.Text = message;
    shown.Type = EnumName(type);
    shown.HelpContext = helpContext;
    std::vector<int> results;
    for (int i = 0; i <= static_cast<int>(mbHelp); ++i) {
        if (buttons.Contains(static_cast<TMsgDlgBtn>(i))) {
            shown.Buttons.push_back(DialogButtons[i].Caption);
            results.push_back(DialogButtons[i].Result);
        }
    }
    int defaultResult = buttons.Contains(mbOK) ? mrOk : buttons.Contains(mbYes) ? mrYes : (results.empty() ? mrOk : results.front());
    return RunMessage(shown, results, defaultResult);
}

void ShowMessage(const AnsiString& message)
{
    test::TShownMessage shown;
    shown.Kind = "ShowMessage";
    shown.Caption = DialogTitle();
    shown.Text = message;
    shown.Type = "mtCustom";
    shown.Buttons = {"OK"};
    RunMessage(shown, {mrOk}, mrOk);
}

namespace detail {

int ShowMessageBox(const AnsiString& text, const AnsiString& caption, int flags)
{
    test::TShownMessage shown;
    shown.Kind = "MessageBox";
    shown.Caption = caption;
    shown.Text = text;
    std::vector<int> results;
    switch (flags & 0x0F) {
    case MB_OKCANCEL:
        shown.Buttons = {"OK", "Cancel"};
        results = {IDOK, IDCANCEL};
        break;
    case MB_ABORTRETRYIGNORE:
        shown.Buttons = {"&Abort", "&Retry", "&Ignore"};
        results = {IDABORT, IDRETRY, IDIGNORE};
        break;
    case MB_YESNOCANCEL:
        shown.Buttons = {"&Yes", "&No", "Cancel"};
        results = {IDYES, IDNO, IDCANCEL};
        break;
    case MB_YESNO:
        shown.Buttons = {"&Yes", "&No"};
        results = {IDYES, IDNO};
        break;
    case MB_RETRYCANCEL:
        shown.Buttons = {"&Retry", "Cancel"};
        results = {IDRETRY, IDCANCEL};
        break;
    default:
        shown.Buttons = {"OK"};
        results = {IDOK};
        break;
    }
    switch (flags & 0xF0) {
    case MB_ICONERROR: shown.Type = "mtError"; break;
    case MB_ICONQUESTION: shown.Type = "mtConfirmation"; break;
    case MB_ICONWARNING: shown.Type = "mtWarning"; break;
    case MB_ICONINFORMATION: shown.Type = "mtInformation"; break;
    default: shown.Type = "mtCustom"; break;
    }
    size_t defaultIndex = static_cast<size_t>((flags >> 8) & 0x0F);
    int defaultResult = defaultIndex < results.size() ? results[defaultIndex] : results.front();
    return RunMessage(shown, results, defaultResult);
}

}  // namespace detail

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)
{
    test::TShownMessage shown;
    shown.Kind = "InputQuery";
    shown.Caption = caption;
    shown.Text = prompt;
    shown.Buttons = {"OK", "Cancel"};
    shown.Value = value;
    if (test::Active()) {
        test::detail::TAnswer answer;
        if (!test::detail::TakeAnswer({test::detail::TAnswer::Input, test::detail::TAnswer::CancelInput}, answer)) {
            shown.Result = mrCancel;
            test::detail::RecordMessage(shown);
            test::Fail("unexpected input box '" + caption + "': " + prompt + " (no answer queued)");
            return false;
        }
        bool ok = answer.Kind == test::detail::TAnswer::Input;
        shown.Result = ok ? mrOk : mrCancel;
        test::detail::RecordMessage(shown);
        if (ok)
            value = answer.Text;
        return ok;
    }
    if (NobodyToAnswer()) {
        std::fprintf(stderr, "%s: %s (nobody to answer; cancelled)\n", caption.c_str(), prompt.c_str());
        return false;
    }
    return detail::QtInputQuery(caption, prompt, value);
}

AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue)
{
    AnsiString value = defaultValue;
    if (!InputQuery(caption, prompt, value))
        return defaultValue;
    return value;
}

// ---------------------------------------------------------------------------------------------------------

std::vector<std::pair<AnsiString, AnsiString>> SplitDialogFilter(const AnsiString& filter)
{
    std::vector<AnsiString> pieces;
    size_t start = 0;
    while (start <= filter.size() && !filter.empty()) {
        size_t bar = filter.find('|', start);
        if (bar == AnsiString::npos) {
            pieces.push_back(filter.substr(start));
            break;
        }
        pieces.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<std::pair<AnsiString, AnsiString>> pairs;
    for (size_t i = 0; i < pieces.size(); i += 2)
        pairs.emplace_back(pieces[i], i + 1 < pieces.size() ? pieces[i + 1] : AnsiString());
    return pairs;
}

VCL_IMPLEMENT_CLASS(TOpenDialog)

void TOpenDialog::RegisterProperties(TClassDef<TOpenDialog>& def)
{
    def.Property("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt, AnsiString());
    def.Property("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName, AnsiString());
    def.Property("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter, AnsiString());
    def.Property("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex, 1);
    def.Property("HelpContext", &TOpenDialog::HelpContext, &TOpenDialog::SetHelpContext, 0);
    def.Property("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir, AnsiString());
    def.Property("Options", &TOpenDialog::Options, &TOpenDialog::SetOptions, TOpenOptions{ofHideReadOnly, ofEnableSizing});
    def.Property("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle, AnsiString());
}

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner), files_(std::make_unique<rtl::TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

rtl::TStrings* TOpenDialog::Files() const
{
    return files_.get();
}

bool TOpenDialog::Execute()
{
    test::TShownDialog shown;
    shown.Kind = IsSaveDialog() ? "Save" : "Open";
    shown.Title = title_;
    shown.Filter = filter_;
    shown.FilterIndex = filterIndex_;
    shown.InitialDir = initialDir_;
    shown.DefaultExt = defaultExt_;
    shown.FileName = fileName_;
    AnsiString chosen = fileName_;
    int index = filterIndex_;
    bool accepted = false;
    if (test::Active()) {
        test::detail::TAnswer answer;
        if (!test::detail::TakeAnswer({test::detail::TAnswer::File, test::detail::TAnswer::Cancel}, answer)) {
            test::detail::RecordDialog(shown);
            test::Fail("unexpected " + shown.Kind + " dialog '" + title_ + "' (no answer queued)");
            return false;
        }
        accepted = answer.Kind == test::detail::TAnswer::File;
        if (accepted) {
            chosen = answer.Text;
            if (answer.FilterIndex > 0)
                index = answer.FilterIndex;
            // The dialog completes a name typed without an extension.
            if (!defaultExt_.empty() && rtl::ExtractFileExt(chosen).empty())
                chosen += "." + defaultExt_;
            if (!IsSaveDialog() && options_.Contains(ofFileMustExist) && !rtl::FileExists(chosen)) {
                test::detail::RecordDialog(shown);
                test::Fail("the open dialog '" + title_ + "' needs an existing file, and " + chosen + " does not exist");
                return false;
            }
        }
    } else if (NobodyToAnswer()) {
        std::fprintf(stderr, "%s dialog: nobody to answer; cancelled\n", shown.Kind.c_str());
    } else {
        accepted = detail::QtFileDialog(*this, chosen, index);
    }
    shown.Accepted = accepted;
    if (accepted) {
        fileName_ = chosen;
        filterIndex_ = index;
        files_->Clear();
        files_->Add(chosen);
        shown.FileName = chosen;
        shown.FilterIndex = index;
    }
    if (test::Active())
        test::detail::RecordDialog(shown);
    return accepted;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TSaveDialog)

TSaveDialog::TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}

VCL_IMPLEMENT_CLASS(TFontDialog)

void TFontDialog::RegisterProperties(TClassDef<TFontDialog>& def)
{
    def.Property("Font", &TFontDialog::Font, nullptr);
    def.Property("HelpContext", &TFontDialog::HelpContext, &TFontDialog::SetHelpContext, 0);
}

TFontDialog::TFontDialog(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {}
TFontDialog::~TFontDialog() = default;

bool TFontDialog::Execute()
{
    test::TShownDialog shown;
    shown.Kind = "Font";
    bool accepted = false;
    if (test::Active()) {
        test::detail::TAnswer answer;
        if (!test::detail::TakeAnswer({test::detail::TAnswer::Font, test::detail::TAnswer::Cancel}, answer)) {
            test::detail::RecordDialog(shown);
            test::Fail("unexpected font dialog (no answer queued)");
            return false;
        }
        accepted = answer.Kind == test::detail::TAnswer::Font;
        if (accepted && answer.FontValue)
            font_->Assign(answer.FontValue.get());
        shown.Accepted = accepted;
        test::detail::RecordDialog(shown);
        return accepted;
    }
    if (NobodyToAnswer())
        return false;
    return detail::QtFontDialog(*font_);
}

VCL_IMPLEMENT_CLASS(TColorDialog)

void TColorDialog::RegisterProperties(TClassDef<TColorDialog>& def)
{
    def.Property("Color", &TColorDialog::Color, &TColorDialog::SetColor, clBlack);
    def.Property("HelpContext", &TColorDialog::HelpContext, &TColorDialog::SetHelpContext, 0);
}

TColorDialog::TColorDialog(TComponent* owner) : TComponent(owner) {}

bool TColorDialog::Execute()
{
    test::TShownDialog shown;
    shown.Kind = "Color";
    if (test::Active()) {
        test::detail::TAnswer answer;
        if (!test::detail::TakeAnswer({test::detail::TAnswer::Color, test::detail::TAnswer::Cancel}, answer)) {
            test::detail::RecordDialog(shown);
            test::Fail("unexpected colour dialog (no answer queued)");
            return false;
        }
        bool accepted = answer.Kind == test::detail::TAnswer::Color;
        if (accepted)
            color_ = answer.ColorValue;
        shown.Accepted = accepted;
        test::detail::RecordDialog(shown);
        return accepted;
    }
    if (NobodyToAnswer())
        return false;
    return detail::QtColorDialog(color_);
}

void RegisterDialogClasses()
{
    RegisterClasses({&TOpenDialog::StaticClass(), &TSaveDialog::StaticClass(), &TFontDialog::StaticClass(),
                     &TColorDialog::StaticClass()});
}

}  // namespace vcl
