#include "tool/MainUnit.h"

#include <memory>
#include <unordered_set>

#include "FormResources_tool.h"
#include "platform/rtl/IniFiles.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/Shell.h"
#include "platform/win/SystemInfo.h"
#include "tool/AboutUnit.h"
#include "tool/FileVersion.h"
#include "tool/PreferencesUnit.h"
#include "tool/ProjectFile.h"
#include "tool/WindowPositionSizeUnit.h"
#include "tool/WindowSetupUnit.h"
#include "tool/update/CheckForNewVersions.h"

TfrmMainMenu* frmMainMenu = nullptr;

namespace {

const char* const PreferencesSection = "Preferences";
const int ReopenLimit = 10;
// Posted to the window itself: free the Reopen entries taken out of the menu.
const vcl::UINT WM_FREEREOPENENTRIES = vcl::WM_USER + 1;

// A Boolean preference: an integer ("0x" for hexadecimal), anything but 0 true; anything else the default.
bool ReadPreference(const rtl::TIniFile& ini, const char* key, bool defaultValue)
{
    int value = 0;
    if (!rtl::TryStrToInt(ini.ReadString(PreferencesSection, key, ""), value))
        return defaultValue;
    return value != 0;
}

AnsiString FileKey(int index)
{
    return "File" + rtl::IntToStr(index);
}

const char* const ProjectFileFilter = "Help Project|*.wkp|All Files|*.*";
const char* const ProjectFileExtension = "wkp";

}  // namespace

VCL_IMPLEMENT_CLASS(TfrmMainMenu)

void TfrmMainMenu::RegisterProperties(vcl::TClassDef<TfrmMainMenu>& def)
{
    def.Handler("FormCreate", &TfrmMainMenu::FormCreate);
    def.Handler("FormShow", &TfrmMainMenu::FormShow);
    def.Handler("FormClose", &TfrmMainMenu::FormClose);

    def.Handler("New1Click", &TfrmMainMenu::New1Click);
    def.Handler("Open1Click", &TfrmMainMenu::Open1Click);
    def.Handler("Save1Click", &TfrmMainMenu::Save1Click);
    def.Handler("SaveAs1Click", &TfrmMainMenu::SaveAs1Click);
    def.Handler("FileReopenClick", &TfrmMainMenu::FileReopenClick);
    def.Handler("Preferences1Click", &TfrmMainMenu::Preferences1Click);
    def.Handler("Exit1Click", &TfrmMainMenu::Exit1Click);

    def.Handler("HelpFileName1Click", &TfrmMainMenu::HelpFileName1Click);
    def.Handler("HelpWindow1Click", &TfrmMainMenu::HelpWindow1Click);
    def.Handler("HelpWindowPositionSize1Click", &TfrmMainMenu::HelpWindowPositionSize1Click);
    def.Handler("TableOfContents1Click", &TfrmMainMenu::TableOfContents1Click);
    def.Handler("MakeHelpFile1Click", &TfrmMainMenu::MakeHelpFile1Click);
    def.Handler("RTF1Click", &TfrmMainMenu::RTF1Click);
    def.Handler("TXT1Click", &TfrmMainMenu::TXT1Click);
    def.Handler("HTML1Click", &TfrmMainMenu::HTML1Click);
    def.Handler("RichTextFileRTF1Click", &TfrmMainMenu::RichTextFileRTF1Click);
    def.Handler("TextFileTXT1Click", &TfrmMainMenu::TextFileTXT1Click);

    def.Handler("AddPageClick", &TfrmMainMenu::AddPageClick);
    def.Handler("DeletePageClick", &TfrmMainMenu::DeletePageClick);
    def.Handler("PropertiesPageClick", &TfrmMainMenu::PropertiesPageClick);
    def.Handler("Header1Click", &TfrmMainMenu::Header1Click);
    def.Handler("AddLinkClick", &TfrmMainMenu::AddLinkClick);
    def.Handler("DeleteLinkClick", &TfrmMainMenu::DeleteLinkClick);
    def.Handler("PropertiesLinkClick", &TfrmMainMenu::PropertiesLinkClick);
    def.Handler("InsertLinkAtCursor1Click", &TfrmMainMenu::InsertLinkAtCursor1Click);
    def.Handler("RemoveLinkAtCursor1Click", &TfrmMainMenu::RemoveLinkAtCursor1Click);
    def.Handler("InsertLinkClick", &TfrmMainMenu::InsertLinkClick);
    def.Handler("AddPicClick", &TfrmMainMenu::AddPicClick);
    def.Handler("DeletePicClick", &TfrmMainMenu::DeletePicClick);
    def.Handler("InsertPictureAtCursor2Click", &TfrmMainMenu::InsertPictureAtCursor2Click);
    def.Handler("RemovePictureAtCursor1Click", &TfrmMainMenu::RemovePictureAtCursor1Click);

    def.Handler("mnuFontClick", &TfrmMainMenu::mnuFontClick);
    def.Handler("Bold1Click", &TfrmMainMenu::Bold1Click);
    def.Handler("Italic1Click", &TfrmMainMenu::Italic1Click);
    def.Handler("Left1Click", &TfrmMainMenu::Left1Click);
    def.Handler("RightJustify1Click", &TfrmMainMenu::RightJustify1Click);
    def.Handler("CenterJustify1Click", &TfrmMainMenu::CenterJustify1Click);
    def.Handler("Cut1Click", &TfrmMainMenu::Cut1Click);
    def.Handler("Copy1Click", &TfrmMainMenu::Copy1Click);
    def.Handler("Paste1Click", &TfrmMainMenu::Paste1Click);

    def.Handler("HelpFile1Click", &TfrmMainMenu::HelpFile1Click);
    def.Handler("CheckForUpdates1Click", &TfrmMainMenu::CheckForUpdates1Click);
    def.Handler("HalvernHomePage1Click", &TfrmMainMenu::HalvernHomePage1Click);
    def.Handler("ScrivaneHomePage1Click", &TfrmMainMenu::ScrivaneHomePage1Click);
    def.Handler("About1Click", &TfrmMainMenu::About1Click);

    def.Handler("lstPagesClick", &TfrmMainMenu::lstPagesClick);
    def.Handler("lstLinksMouseDown", &TfrmMainMenu::lstLinksMouseDown);
    def.Handler("lstPagesKeyUp", &TfrmMainMenu::lstPagesKeyUp);
    def.Handler("lstLinksKeyUp", &TfrmMainMenu::lstLinksKeyUp);
    def.Handler("lstPicturesKeyUp", &TfrmMainMenu::lstPicturesKeyUp);
    def.Handler("SpinButton1UpClick", &TfrmMainMenu::SpinButton1UpClick);
    def.Handler("SpinButton1DownClick", &TfrmMainMenu::SpinButton1DownClick);
    def.Handler("mmoPageKeyPress", &TfrmMainMenu::mmoPageKeyPress);
    def.Handler("mmoPageProtectChange", &TfrmMainMenu::mmoPageProtectChange);
}

TfrmMainMenu::TfrmMainMenu(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterRichEditControls();
    vcl::RegisterClass<TfrmMainMenu>();
    LoadForm("MainUnit.frm");
    BindControls();
}

TfrmMainMenu::~TfrmMainMenu()
{
    // The lists are still whole here; their records are ours to free.
    FreeProject();
}

void TfrmMainMenu::BindControls()
{
    if (MainMenu1 != nullptr)
        return;
    MainMenu1 = FindChild<vcl::TMainMenu>("MainMenu1");
    Reopen1 = FindChild<vcl::TMenuItem>("Reopen1");
    lstPages = FindChild<vcl::TListBox>("lstPages");
    lstLinks = FindChild<vcl::TListBox>("lstLinks");
    lstPictures = FindChild<vcl::TListBox>("lstPictures");
    mmoPage = FindChild<vcl::TRichEdit>("mmoPage");
    StatusBar1 = FindChild<vcl::TStatusBar>("StatusBar1");
    SpinButton1 = FindChild<vcl::TSpinButton>("SpinButton1");
}

// ---------------------------------------------------------------------------------------------------------
// What the commands use

void TfrmMainMenu::SetStatusText(const AnsiString& text)
{
    StatusBar1->Panels()->Items(0)->SetText(text);
}

AnsiString TfrmMainMenu::StatusText() const
{
    return StatusBar1->Panels()->Items(0)->Text();
}

AnsiString TfrmMainMenu::ProgramFolder()
{
    return rtl::ExcludeTrailingPathDelimiter(rtl::ExtractFilePath(vcl::Application->ExeName()));
}

AnsiString TfrmMainMenu::ConfigFileName()
{
    return ProgramFolder() + "\\config.ini";
}

int TfrmMainMenu::ReopenCount() const
{
    return Reopen1->Count();
}

vcl::TMenuItem* TfrmMainMenu::ReopenEntry(int index) const
{
    return Reopen1->Items(index);
}

AnsiString TfrmMainMenu::ReopenPath(const vcl::TMenuItem& entry)
{
    return rtl::Copy(entry.Caption(), 6, static_cast<int>(entry.Caption().size()));
}

vcl::TMenuItem* TfrmMainMenu::NewReopenEntry(const AnsiString& caption)
{
    auto* entry = new vcl::TMenuItem(this);
    entry->SetCaption(caption);
    entry->OnClick = [this](vcl::TObject* sender) { FileReopenClick(sender); };
    return entry;
}

void TfrmMainMenu::RetireReopenEntry(int index)
{
    vcl::TMenuItem* entry = Reopen1->Items(index);
    Reopen1->Delete(index);
    retiredReopenEntries_.emplace_back(entry);
    vcl::PostMessage(Handle(), WM_FREEREOPENENTRIES, 0, 0);
}

void TfrmMainMenu::FreeRetiredReopenEntries()
{
    if (runningReopenClicks_ > 0)
        return;  // the click posts the message again when it ends
    std::vector<vcl::TComponentRef<vcl::TMenuItem>> retired;
    retired.swap(retiredReopenEntries_);
    for (vcl::TMenuItem* entry : retired)
        delete entry;
}

void TfrmMainMenu::WndProc(vcl::TMessage& message)
{
    if (message.Msg == WM_FREEREOPENENTRIES) {
        FreeRetiredReopenEntries();
        return;
    }
    inherited::WndProc(message);
}

void TfrmMainMenu::UpdateReopenList(const AnsiString& path)
{
    // 1. The new entry on top.
    Reopen1->Insert(0, NewReopenEntry("&0 - " + path));
    // 2. Older entries for the same file go; letters a to z compare without case.
    const AnsiString wanted = rtl::UpperCase(path);
    for (int i = 1; i < Reopen1->Count();) {
        if (rtl::UpperCase(ReopenPath(*Reopen1->Items(i))) == wanted)
            RetireReopenEntry(i);
        else
            ++i;
    }
    // 3. Renumber: the caption's second character is the first digit of the position.
    for (int i = 1; i < Reopen1->Count(); ++i) {
        vcl::TMenuItem* entry = Reopen1->Items(i);
        AnsiString caption = entry->Caption();
        if (caption.size() >= 2) {
            caption[1] = rtl::IntToStr(i)[0];
            entry->SetCaption(caption);
        }
    }
    // 4. Ten at most.
    if (Reopen1->Count() > ReopenLimit)
        RetireReopenEntry(ReopenLimit);
}

void TfrmMainMenu::FreeProject()
{
    if (lstPages == nullptr)
        return;
    // A link record may sit in the working list and in its page's Links at once: collect every record
    // once, take them out of the pages' lists, then free each.
    std::vector<rtl::TObject*> links;
    std::unordered_set<rtl::TObject*> seen;
    auto collect = [&](rtl::TObject* object) {
        if (object != nullptr && seen.insert(object).second)
            links.push_back(object);
    };
    rtl::TStrings& working = *lstLinks->Items();
    for (int i = 0; i < working.Count(); ++i) {
        collect(working.Objects(i));
        working.SetObjects(i, nullptr);
    }
    rtl::TStrings& pages = *lstPages->Items();
    std::vector<TPageObject*> pageRecords;
    for (int i = 0; i < pages.Count(); ++i) {
        auto* page = static_cast<TPageObject*>(pages.Objects(i));
        pages.SetObjects(i, nullptr);
        if (page == nullptr)
            continue;
        pageRecords.push_back(page);
        for (int j = 0; j < page->Links.Count(); ++j) {
            collect(page->Links.Objects(j));
            page->Links.SetObjects(j, nullptr);
        }
    }
    for (rtl::TObject* link : links)
        delete link;
    for (TPageObject* page : pageRecords)
        delete page;
    working.Clear();
    pages.Clear();
    lstPictures->Items()->Clear();
    if (ProjectState().TocList)
        ProjectState().TocList->Clear();
}

void TfrmMainMenu::FreeWorkingLink(int index)
{
    rtl::TStrings& working = *lstLinks->Items();
    rtl::TObject* link = working.Objects(index);
    working.Delete(index);
    if (CurrentPageIndex >= 0 && CurrentPageIndex < lstPages->Items()->Count()) {
        if (auto* page = static_cast<TPageObject*>(lstPages->Items()->Objects(CurrentPageIndex))) {
            const int inPage = link != nullptr ? page->Links.IndexOfObject(link) : -1;
            if (inPage >= 0) {
                // Out of the page's list without its owning delete; the record goes once, below.
                page->Links.SetObjects(inPage, nullptr);
                page->Links.Delete(inPage);
            }
        }
    }
    delete link;
}

void TfrmMainMenu::LoadProject(const AnsiString& path)
{
    // A changed project is offered for saving first; a save that fails stops the load here.
    New1Click(this);
    TProjectState& state = ProjectState();
    TProgressWindow progress(this, 0, 100);
    auto step = [&](int position, int count) {
        if (position == 1)
            progress.SetRange(0, count);
        progress.SetPosition(position);
        // The bar repaints and advances visibly.
        vcl::Application->ProcessMessages();
        win::Sleep(10);
    };
    // The list shows the pages once they are all read: shown one by one, each would relay out and repaint
    // the growing list while the messages run between pages.
    rtl::TStrings& pages = *lstPages->Items();
    pages.BeginUpdate();
    try {
        LoadProjectFile(path, state, pages, step);
    } catch (...) {
        // What was read stays shown: the colours too.
        pages.EndUpdate();
        mmoPage->SetColor(state.PageColor);
        throw;
    }
    pages.EndUpdate();
    mmoPage->SetColor(state.PageColor);
    lstPages->SetItemIndex(-1);
    progress.Close();
    SetStatusText("File Name:  " + path);
}

void TfrmMainMenu::SaveProject()
{
    const rtl::TStrings& pages = *lstPages->Items();
    TProgressWindow progress(this, 0, pages.Count());
    // The shown page's edits go into its record before anything is written.
    lstPagesClick(this);
    auto step = [&](int position, int) {
        progress.SetPosition(position);
        vcl::Application->ProcessMessages();
        win::Sleep(10);
    };
    // Raises with Modified unchanged and the old file whole.
    SaveProjectFile(ProjectState(), pages, step);
    progress.Close();
}

// ---------------------------------------------------------------------------------------------------------
// Start and end

void TfrmMainMenu::ReadPreferences()
{
    const rtl::TIniFile ini(ConfigFileName());
    TProjectState& state = ProjectState();
    state.AutoSaveBackup = ReadPreference(ini, "AutoSaveBackup", true);
    state.CheckForUpdates = ReadPreference(ini, "CheckForUpdates", false);
    state.UseCompression = ReadPreference(ini, "UseCompression", true);
    state.ShowHelpFile = ReadPreference(ini, "ShowHelpFile", true);
    // Empty keys are skipped, so the entries close up; the captions stay as stored.
    for (int i = 0; i < ReopenLimit; ++i) {
        const AnsiString caption = ini.ReadString(PreferencesSection, FileKey(i), "");
        if (!caption.empty())
            Reopen1->Add(NewReopenEntry(caption));
    }
}

void TfrmMainMenu::WritePreferences()
{
    rtl::TIniFile ini(ConfigFileName());
    const TProjectState& state = ProjectState();
    ini.WriteBool(PreferencesSection, "AutoSaveBackup", state.AutoSaveBackup);
    ini.WriteBool(PreferencesSection, "CheckForUpdates", state.CheckForUpdates);
    ini.WriteBool(PreferencesSection, "UseCompression", state.UseCompression);
    ini.WriteBool(PreferencesSection, "ShowHelpFile", state.ShowHelpFile);
    for (int i = 0; i < ReopenLimit; ++i)
        ini.WriteString(PreferencesSection, FileKey(i), i < Reopen1->Count() ? Reopen1->Items(i)->Caption() : "");
}

void TfrmMainMenu::FormCreate(vcl::TObject*)
{
    // OnCreate comes at the end of loading, before the constructor could look the controls up.
    BindControls();
    TProjectState& state = ProjectState();
    state.WindowWidth = 200;
    state.WindowHeight = 200;
    vcl::Application->SetHelpFile(ProgramFolder() + "\\Help\\Scrivane Help.hlp");
    state.PageColor = vcl::clWhite;
    state.HeaderColor = vcl::clWhite;
    state.HelpFileName.clear();
    state.ProjectFileName.clear();
    state.Modified = false;
    CurrentPageIndex = -1;
    AllowProtectedEdit = false;
    state.TocList = NewTocList();
    ReadPreferences();
    About1Click(this);
}

void TfrmMainMenu::FormShow(vcl::TObject*)
{
    if (win::ParamCount() >= 1) {
        const AnsiString path = win::ParamStr(1);
        try {
            LoadProject(path);
        } catch (...) {
            // Reported; the window shows what was loaded, and the start-up check is skipped.
            vcl::Application->HandleException(this);
            return;
        }
        ProjectState().ProjectFileName = path;
    }
    if (ProjectState().CheckForUpdates)
        ShowVersionCheck();
}

void TfrmMainMenu::FormClose(vcl::TObject*, vcl::TCloseAction& Action)
{
    if (ProjectState().Modified &&
        vcl::MessageDlg("The current file has changed since you last saved it.  Do you want to continue and "
                        "lose your changes?",
                        vcl::mtConfirmation, {vcl::mbYes, vcl::mbNo}, 0) == vcl::mrNo) {
        Action = vcl::caNone;
        return;
    }
    ProjectState().TocList.reset();
    FreeProject();
    try {
        WritePreferences();
    } catch (...) {
        // "Unable to write to ..." is reported, and the program ends all the same.
        vcl::Application->HandleException(this);
    }
}

// ---------------------------------------------------------------------------------------------------------
// File

void TfrmMainMenu::New1Click(vcl::TObject*)
{
    TProjectState& state = ProjectState();
    if (state.Modified &&
        vcl::MessageDlg("The current file has changed since you last saved it.  Would you like to save it now?",
                        vcl::mtConfirmation, {vcl::mbYes, vcl::mbNo}, 0) == vcl::mrYes) {
        // Saved or its dialog cancelled, New goes on; a failed save raises and keeps the project.
        Save1Click(this);
    }
    // FreeProject rather than the model's own reset: it also reaches the records only the working link
    // list holds, each once. TocList stays, empty.
    FreeProject();
    mmoPage->Hide();
    CurrentPageIndex = -1;
    state.PageColor = vcl::clWhite;
    mmoPage->SetColor(state.PageColor);
    state.HeaderColor = vcl::clWhite;
    state.HelpFileName.clear();
    state.ProjectFileName.clear();
    // The help window keeps its place, not its size.
    state.WindowWidth = 200;
    state.WindowHeight = 200;
    SetStatusText("File Name:  ");
    state.Modified = false;
}

void TfrmMainMenu::Open1Click(vcl::TObject*)
{
    std::unique_ptr<vcl::TOpenDialog> dialog(new vcl::TOpenDialog(this));
    dialog->SetFilter(ProjectFileFilter);
    dialog->SetDefaultExt(ProjectFileExtension);
    dialog->SetOptions({vcl::ofHideReadOnly, vcl::ofFileMustExist, vcl::ofEnableSizing});
    if (!dialog->Execute())
        return;
    const AnsiString path = dialog->FileName();
    LoadProject(path);
    UpdateReopenList(path);
    ProjectState().ProjectFileName = path;
}

void TfrmMainMenu::Save1Click(vcl::TObject* Sender)
{
    if (ProjectState().ProjectFileName.empty())
        SaveAs1Click(Sender);
    else
        SaveProject();
}

void TfrmMainMenu::SaveAs1Click(vcl::TObject*)
{
    std::unique_ptr<vcl::TSaveDialog> dialog(new vcl::TSaveDialog(this));
    dialog->SetFilter(ProjectFileFilter);
    dialog->SetDefaultExt(ProjectFileExtension);
    dialog->SetOptions({vcl::ofHideReadOnly, vcl::ofOverwritePrompt, vcl::ofEnableSizing});
    if (!dialog->Execute())
        return;
    const AnsiString path = dialog->FileName();
    ProjectState().ProjectFileName = path;
    UpdateReopenList(path);
    SetStatusText("File Name:  " + path);
    SaveProject();
}

void TfrmMainMenu::FileReopenClick(vcl::TObject* Sender)
{
    const auto* entry = dynamic_cast<const vcl::TMenuItem*>(Sender);
    if (entry == nullptr)
        return;
    ++runningReopenClicks_;
    struct TClickEnd {
        TfrmMainMenu& form;
        ~TClickEnd()
        {
            if (--form.runningReopenClicks_ == 0 && !form.retiredReopenEntries_.empty())
                vcl::PostMessage(form.Handle(), WM_FREEREOPENENTRIES, 0, 0);
        }
    } clickEnd{*this};
    // Taken now: a Save As inside the load's New may retire the clicked entry.
    const AnsiString path = ReopenPath(*entry);
    if (!rtl::FileExists(path)) {
        vcl::ShowMessage("File no longer exists.");
        return;
    }
    LoadProject(path);
    UpdateReopenList(path);
    ProjectState().ProjectFileName = path;
}

void TfrmMainMenu::Preferences1Click(vcl::TObject*)
{
    std::unique_ptr<TfrmPreferences> dialog(new TfrmPreferences(vcl::Application));
    dialog->ShowModal();
}

void TfrmMainMenu::Exit1Click(vcl::TObject*)
{
    Close();
}

// ---------------------------------------------------------------------------------------------------------
// Project

void TfrmMainMenu::HelpFileName1Click(vcl::TObject*)
{
    TProjectState& state = ProjectState();
    const AnsiString name = vcl::InputBox("Help File Name", "Enter the name of the help file.", state.HelpFileName);
    if (!name.empty())
        state.HelpFileName = name;
    state.Modified = true;
}

void TfrmMainMenu::HelpWindow1Click(vcl::TObject*)
{
    TProjectState& state = ProjectState();
    std::unique_ptr<TfrmWindowSetup> dialog(new TfrmWindowSetup(vcl::Application));
    dialog->pnlPageColor->SetColor(state.PageColor);
    dialog->pnlHeaderColor->SetColor(state.HeaderColor);
    dialog->ShowModal();
    // However it closed.
    state.PageColor = dialog->pnlPageColor->Color();
    state.HeaderColor = dialog->pnlHeaderColor->Color();
    mmoPage->SetColor(state.PageColor);
    state.Modified = true;
}

void TfrmMainMenu::HelpWindowPositionSize1Click(vcl::TObject*)
{
    TProjectState& state = ProjectState();
    std::unique_ptr<TfrmWindowPositionSize> dialog(new TfrmWindowPositionSize(vcl::Application));
    dialog->edtLeft->SetText(rtl::IntToStr(state.WindowLeft));
    dialog->edtTop->SetText(rtl::IntToStr(state.WindowTop));
    dialog->edtWidth->SetText(rtl::IntToStr(state.WindowWidth));
    dialog->edtHeight->SetText(rtl::IntToStr(state.WindowHeight));
    dialog->ShowModal();
    // The dialog closes only with four whole numbers; all four are converted before any is taken.
    const int32_t left = dialog->FieldValue(*dialog->edtLeft);
    const int32_t top = dialog->FieldValue(*dialog->edtTop);
    const int32_t width = dialog->FieldValue(*dialog->edtWidth);
    const int32_t height = dialog->FieldValue(*dialog->edtHeight);
    state.WindowLeft = left;
    state.WindowTop = top;
    state.WindowWidth = width;
    state.WindowHeight = height;
    state.Modified = true;
}

void TfrmMainMenu::RichTextFileRTF1Click(vcl::TObject*)
{
    // Import from rich text: does nothing (its menu is hidden).
}

// The contents editor: TableOfContentsUnit.cpp. The text and rich-text exports, the text import:
// TextExport.cpp. The HTML export: HtmlExport.cpp.

// ---------------------------------------------------------------------------------------------------------
// Pages, links, pictures, text commands, the lists and the editor: PageEditor.cpp

// ---------------------------------------------------------------------------------------------------------
// Help

void TfrmMainMenu::HelpFile1Click(vcl::TObject*)
{
    vcl::Application->HelpJump("Overview");
}

void TfrmMainMenu::CheckForUpdates1Click(vcl::TObject*)
{
    if (vcl::MessageDlg("This feature requires an internet connection.  Please make sure you are connected to "
                        "the internet before hitting OK.",
                        vcl::mtWarning, vcl::mbOKCancel, 0) != vcl::mrOk)
        return;
    ShowVersionCheck();
}

void TfrmMainMenu::ShowVersionCheck()
{
    std::unique_ptr<TfrmCheckForNewVersions> check(new TfrmCheckForNewVersions(vcl::Application));
    check->RunningVersion = [] { return GetFileVersionString(); };
    check->ShowModal();
}

void TfrmMainMenu::HalvernHomePage1Click(vcl::TObject*)
{
    const AnsiString target = AnsiString("URL:") + HalvernHomePageAddress;
    win::ShellExecute(Handle(), "open", target.c_str(), nullptr, nullptr, win::SW_SHOWNORMAL);
}

void TfrmMainMenu::ScrivaneHomePage1Click(vcl::TObject*)
{
    const AnsiString target = AnsiString("URL:") + ScrivaneHomePageAddress;
    win::ShellExecute(Handle(), "open", target.c_str(), nullptr, nullptr, win::SW_SHOWNORMAL);
}

void TfrmMainMenu::About1Click(vcl::TObject*)
{
    std::unique_ptr<TfrmAbout> about(new TfrmAbout(vcl::Application));
    about->ShowModal();
}
