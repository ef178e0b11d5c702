#pragma once
// Message boxes, input boxes and the common dialogs (open, save, font, colour). Under the test driver they
// take scripted answers and are recorded (TestDriver.h). File names in and out are Windows paths.
//
//   if (vcl::MessageDlg("Are you sure?", vcl::mtConfirmation, {vcl::mbYes, vcl::mbNo}, 0) == vcl::mrYes) ...
//   vcl::ShowMessage("Done");                                    // caption: Application->Title()
//   AnsiString name = vcl::InputBox("Help File Name", "Enter the name of the help file.", current);
//   dlgOpen->SetFilter("Scrivane Project|*.wkp|All Files|*.*");
//   if (dlgOpen->Execute()) Load(dlgOpen->FileName());

#include "platform/vcl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Graphics.h"

namespace vcl {

VCL_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom)
VCL_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp)
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// A message box captioned "Warning", "Error", "Information", "Confirm" (mtCustom: the application's title)
// with the buttons in the classic order ("&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore",
// "&All", "N&o to All", "Yes to &All", "&Help"); gives the modal result of the button pressed. Closing it
// otherwise gives its cancel answer (mrCancel, else mrNo, else mrOk).
int MessageDlg(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);
// An OK box captioned with the application's title.
void ShowMessage(const AnsiString& message);
// OK gives the text typed; Cancel gives `defaultValue`.
AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue);
// OK: true and `value` takes the text; Cancel: false and `value` stays.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);

namespace detail {
// TApplication::MessageBox: MB_ flags in, IDOK ... out.
int ShowMessageBox(const AnsiString& text, const AnsiString& caption, int flags);
}  // namespace detail

// ---------------------------------------------------------------------------------------------------------

VCL_ENUM(TOpenOption, ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate,
         ofAllowMultiSelect, ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware,
         ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog,
         ofNoDereferenceLinks, ofEnableIncludeNotify, ofEnableSizing)
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TComponent {
    VCL_CLASS(TOpenDialog, TComponent)
public:
    explicit TOpenDialog(TComponent* owner);
    ~TOpenDialog() override;

    const AnsiString& FileName() const { return fileName_; }
    void SetFileName(const AnsiString& value) { fileName_ = value; }
    // "Description|*.ext;*.ex2|All Files|*.*"
    const AnsiString& Filter() const { return filter_; }
    void SetFilter(const AnsiString& value) { filter_ = value; }
    // 1-based, as the classic dialog counts.
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int value) { filterIndex_ = value; }
    // Without the dot ("wkp"); added to a name typed without an extension.
    const AnsiString& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const AnsiString& value) { defaultExt_ = value; }
    const AnsiString& InitialDir() const { return initialDir_; }
    void SetInitialDir(const AnsiString& value) { initialDir_ = value; }
    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& value) { title_ = value; }
    TOpenOptions Options() const { return options_; }
    void SetOptions(TOpenOptions value) { options_ = value; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    // The names chosen (one unless ofAllowMultiSelect).
    rtl::TStrings* Files() const;

    // Shows the dialog; true when a file was chosen (FileName, FilterIndex and Files then hold it).
    virtual bool Execute();
    virtual bool IsSaveDialog() const { return false; }

private:
    AnsiString fileName_;
    AnsiString filter_;
    int filterIndex_ = 1;
    AnsiString defaultExt_;
    AnsiString initialDir_;
    AnsiString title_;
    TOpenOptions options_ = {ofHideReadOnly, ofEnableSizing};
    int helpContext_ = 0;
    std::unique_ptr<rtl::TStringList> files_;
};

class TSaveDialog : public TOpenDialog {
    VCL_CLASS(TSaveDialog, TOpenDialog)
public:
    explicit TSaveDialog(TComponent* owner);
    bool IsSaveDialog() const override { return true; }
};

class TFontDialog : public TComponent {
    VCL_CLASS(TFontDialog, TComponent)
public:
    explicit TFontDialog(TComponent* owner);
    ~TFontDialog() override;
    TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* value) { font_->Assign(value); }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    // True when a font was chosen (Font then holds it).
    bool Execute();

private:
    std::unique_ptr<TFont> font_;
    int helpContext_ = 0;
};

class TColorDialog : public TComponent {
    VCL_CLASS(TColorDialog, TComponent)
public:
    explicit TColorDialog(TComponent* owner);
    TColor Color() const { return color_; }
    void SetColor(TColor value) { color_ = value; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    // True when a colour was chosen (Color then holds it, as an RGB value).
    bool Execute();

private:
    TColor color_ = clBlack;
    int helpContext_ = 0;
};

// Turns "Desc|*.a;*.b|All|*.*" into its (description, patterns) pairs; an odd last piece is a description
// with no patterns.
std::vector<std::pair<AnsiString, AnsiString>> SplitDialogFilter(const AnsiString& filter);

// Registers the dialog components; idempotent.
void RegisterDialogClasses();

}  // namespace vcl
