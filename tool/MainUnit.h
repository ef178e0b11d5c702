#pragma once
// The main window of the help-authoring tool: the page, link and picture lists, the page editor, the
// menus, the status bar; the start (config.ini, the Reopen list, the About window) and the end (the close
// question, config.ini written).
//
// What the project's commands use:
//
//   frmMainMenu->lstPages->Items()->AddObject(page->Name, page);   // the list owns nothing: FreeProject does
//   frmMainMenu->UpdateReopenList("C:\\help\\demo.wkp");          // after Open, Save As, Reopen
//   frmMainMenu->SetStatusText("File Name:  C:\\help\\demo.wkp");
//   frmMainMenu->FreeProject();                                    // New: every record freed once
//
// Ownership: the objects of lstPages are the TPageObjects; lstLinks holds the shown page's link records
// (the same ones as in the page's Links, plus links added since the last flush); ProjectState().TocList
// owns its entries. FreeProject frees each record exactly once, whichever list reaches it; the window does
// it when it closes and, for whatever is left, when it is destroyed.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/richedit/RichEdit.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/Messages.h"
#include "platform/vcl/StdCtrls.h"
#include "tool/ProgressUnit.h"
#include "tool/ProjectModel.h"

// The maker's and the product's home pages.
inline constexpr const char* HalvernHomePageAddress = "http://www.example.com/";

class TfrmMainMenu : public vcl::TForm {
    VCL_CLASS(TfrmMainMenu, vcl::TForm)
public:
    explicit TfrmMainMenu(vcl::TComponent* owner);
    ~TfrmMainMenu() override;

    // ---- controls
    vcl::TMainMenu* MainMenu1 = nullptr;
    vcl::TMenuItem* Reopen1 = nullptr;  // the Reopen submenu
    vcl::TListBox* lstPages = nullptr;
    vcl::TListBox* lstLinks = nullptr;
    vcl::TListBox* lstPictures = nullptr;
    vcl::TRichEdit* mmoPage = nullptr;
    vcl::TStatusBar* StatusBar1 = nullptr;
    vcl::TSpinButton* SpinButton1 = nullptr;

    // ---- the window's share of the model
    // The page whose text is in the editor, -1 when none is shown.
    int32_t CurrentPageIndex = -1;
    // While true the editor takes changes to protected text (the program's own edits).
    bool AllowProtectedEdit = false;

    // ---- what the commands use
    // The text of the status bar's one panel.
    void SetStatusText(const AnsiString& text);
    AnsiString StatusText() const;

    // The folder of the running program, without a trailing backslash, and its "config.ini".
    static AnsiString ProgramFolder();
    static AnsiString ConfigFileName();

    // The Reopen list after a project file was opened or saved under `path`: a new entry for it on top,
    // entries with the same path (letters a to z compared without case) removed, the others renumbered,
    // at most ten kept. An entry that goes is taken out of the menu at once and freed once the current
    // event is over, so the entry whose click runs this may go too.
    void UpdateReopenList(const AnsiString& path);
    int ReopenCount() const;
    vcl::TMenuItem* ReopenEntry(int index) const;
    // The path an entry names: its caption from the sixth character on.
    static AnsiString ReopenPath(const vcl::TMenuItem& entry);

    // Frees every page with what it owns, the link records of the working link list and every contents
    // entry, each record once, and empties the three lists (TocList stays, empty). Hides nothing itself.
    void FreeProject();
    // Frees the link record at `index` of the working link list and takes it out of the list and of the
    // shown page's Links, so no list keeps a freed record.
    void FreeWorkingLink(int index);

    // The load procedure for the project file at `path` (a full Windows path). Raises the file system's or
    // the reader's error; the caller reports it. ProjectFileName is the caller's to set.
    void LoadProject(const AnsiString& path);

    // ---- the checks before a build and the Make command (MakeHelpFile.cpp)
    // Walks the project before a build: stops with a message or asks Yes/No; true when the build may run.
    // Blanks the control characters of page text lines. Leaves its progress window open when it gives
    // false: CloseCheckProgress closes it.
    bool ValidateProject();
    // The progress window of the last check, null when it is closed or gone.
    TfrmProgress* CheckProgressWindow() const { return checkProgress_ ? checkProgress_->Window() : nullptr; }
    void CloseCheckProgress();

    // ---- handlers bound by the resource
    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);

    void New1Click(vcl::TObject* Sender);
    void Open1Click(vcl::TObject* Sender);
    void Save1Click(vcl::TObject* Sender);
    void SaveAs1Click(vcl::TObject* Sender);
    void FileReopenClick(vcl::TObject* Sender);
    void Preferences1Click(vcl::TObject* Sender);
    void Exit1Click(vcl::TObject* Sender);

    void HelpFileName1Click(vcl::TObject* Sender);
    void HelpWindow1Click(vcl::TObject* Sender);
    void HelpWindowPositionSize1Click(vcl::TObject* Sender);
    void TableOfContents1Click(vcl::TObject* Sender);
    void MakeHelpFile1Click(vcl::TObject* Sender);
    void RTF1Click(vcl::TObject* Sender);
    void TXT1Click(vcl::TObject* Sender);
    void HTML1Click(vcl::TObject* Sender);
    void RichTextFileRTF1Click(vcl::TObject* Sender);
    void TextFileTXT1Click(vcl::TObject* Sender);

    void AddPageClick(vcl::TObject* Sender);
    void DeletePageClick(vcl::TObject* Sender);
    void PropertiesPageClick(vcl::TObject* Sender);
    void Header1Click(vcl::TObject* Sender);
    void AddLinkClick(vcl::TObject* Sender);
    void DeleteLinkClick(vcl::TObject* Sender);
    void PropertiesLinkClick(vcl::TObject* Sender);
    void InsertLinkAtCursor1Click(vcl::TObject* Sender);
    void RemoveLinkAtCursor1Click(vcl::TObject* Sender);
    void InsertLinkClick(vcl::TObject* Sender);
    void AddPicClick(vcl::TObject* Sender);
    void DeletePicClick(vcl::TObject* Sender);
    void InsertPictureAtCursor2Click(vcl::TObject* Sender);
    void RemovePictureAtCursor1Click(vcl::TObject* Sender);

    void mnuFontClick(vcl::TObject* Sender);
    void Bold1Click(vcl::TObject* Sender);
    void Italic1Click(vcl::TObject* Sender);
    void Left1Click(vcl::TObject* Sender);
    void RightJustify1Click(vcl::TObject* Sender);
    void CenterJustify1Click(vcl::TObject* Sender);
    void Cut1Click(vcl::TObject* Sender);
    void Copy1Click(vcl::TObject* Sender);
    void Paste1Click(vcl::TObject* Sender);

    void HelpFile1Click(vcl::TObject* Sender);
    void CheckForUpdates1Click(vcl::TObject* Sender);
    void HalvernHomePage1Click(vcl::TObject* Sender);
    void ScrivaneHomePage1Click(vcl::TObject* Sender);
    void About1Click(vcl::TObject* Sender);

    void lstPagesClick(vcl::TObject* Sender);
    void lstLinksMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift, int X, int Y);
    void lstPagesKeyUp(vcl::TObject* Sender, uint16_t& Key, vcl::TShiftState Shift);
    void lstLinksKeyUp(vcl::TObject* Sender, uint16_t& Key, vcl::TShiftState Shift);
    void lstPicturesKeyUp(vcl::TObject* Sender, uint16_t& Key, vcl::TShiftState Shift);
    void SpinButton1UpClick(vcl::TObject* Sender);
    void SpinButton1DownClick(vcl::TObject* Sender);
    void mmoPageKeyPress(vcl::TObject* Sender, char& Key);
    void mmoPageProtectChange(vcl::TObject* Sender, int StartPos, int EndPos, bool& AllowChange);

    void WndProc(vcl::TMessage& message) override;

private:
    void BindControls();
    void ReadPreferences();
    void WritePreferences();
    vcl::TMenuItem* NewReopenEntry(const AnsiString& caption);
    void RetireReopenEntry(int index);
    void FreeRetiredReopenEntries();
    void ShowVersionCheck();

    // The page editor's own steps (PageEditor.cpp).
    TPageObject* PageRecord(int index) const;
    void StoreShownPage();
    void MovePage(int step);
    void InsertMarker(const AnsiString& marker);
    void RemoveMarkerAtCaret();
    void ReleaseForeignLinkMarkers(int start, int end);
    void ToggleStyle(vcl::TFontStyle style);
    void AlignParagraphs(vcl::TAlignment alignment);

    // Reopen entries taken out of the menu, freed by a posted message.
    std::vector<vcl::TComponentRef<vcl::TMenuItem>> retiredReopenEntries_;
    // Reopen clicks still running: while one runs, its entry may be retired but must not be freed, even
    // when a load lets the posted message through.
    int runningReopenClicks_ = 0;

    // The checks' progress window (MakeHelpFile.cpp).
    std::unique_ptr<TProgressWindow> checkProgress_;

    // ---- the File commands: the window half of a save (flush, progress window, Modified).
    void SaveProject();

    // ---- the exports and the import (TextExport.cpp)
    // Flushes the shown page, then leaves the editor without a page: nothing selected, CurrentPageIndex -1,
    // the working link and picture lists empty, the editor hidden.
    void FlushAndLeaveEditor();
    // How both exports begin: without pages a message; the save dialog (`extension` completes a name
    // typed without one); the flush and no page shown; the progress window over the pages, shown. Null
    // when the export ends here.
    std::unique_ptr<TProgressWindow> BeginExport(const AnsiString& filter, const AnsiString& extension,
                                                 AnsiString& fileName);
};

// The program's own edits of the editor may touch markers while one of these lives.
class TProtectedEdit {
public:
    explicit TProtectedEdit(TfrmMainMenu& form) : form_(form) { form_.AllowProtectedEdit = true; }
    ~TProtectedEdit() { form_.AllowProtectedEdit = false; }
    TProtectedEdit(const TProtectedEdit&) = delete;
    TProtectedEdit& operator=(const TProtectedEdit&) = delete;

private:
    TfrmMainMenu& form_;
};

// The first of "<prefix>1", "<prefix>2", ... that no entry of `list` names (letter case ignored).
AnsiString FirstFreeName(const rtl::TStrings& list, const AnsiString& prefix);

// The program's main window, made by the program body.
extern TfrmMainMenu* frmMainMenu;
