// The page editor of the main window: the page, link and picture lists with their commands, the page switch
// (also the flush every reader of page data calls first), link and picture markers as protected runs of
// text, and the text commands that keep markers whole.
#include <memory>
#include <unordered_set>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "tool/LinkPropertiesUnit.h"
#include "tool/MainUnit.h"
#include "tool/PageHeaderUnit.h"
#include "tool/PagePropertiesUnit.h"
#include "tool/ProjectFile.h"

using vcl::TObject;

namespace {

// Markers are green, underlined and protected.
const vcl::TColor MarkerColor = static_cast<vcl::TColor>(32768);
const uint16_t DeleteKey = 46;

// Name look-ups in the lists ignore the case of letters.
int IndexOfName(const rtl::TStrings& list, const AnsiString& name)
{
    for (int i = 0; i < list.Count(); ++i) {
        if (rtl::SameText(list.Strings(i), name))
            return i;
    }
    return -1;
}

// Asks for a name no entry of `list` has yet, again and again with the same preset; Cancel gives the preset.
AnsiString AskNewName(const rtl::TStrings& list, const AnsiString& caption, const AnsiString& prompt,
                      const AnsiString& preset, const AnsiString& taken)
{
    AnsiString name = vcl::InputBox(caption, prompt, preset);
    while (IndexOfName(list, name) >= 0) {
        vcl::ShowMessage(taken);
        name = vcl::InputBox(caption, prompt, preset);
    }
    return name;
}

bool AreYouSure()
{
    return vcl::MessageDlg("Are you sure?", vcl::mtConfirmation, {vcl::mbYes, vcl::mbNo}, 0) == vcl::mrYes;
}

bool IsMarkerCharacter(const richedit::TRichDocument& doc, int pos)
{
    if (pos < 0 || pos >= doc.Length())
        return false;
    const richedit::TCharAttributes& a = doc.AttributesAt(pos);
    return a.Protected && a.Underline;
}

bool IsProtectedHash(const richedit::TRichDocument& doc, int pos)
{
    return pos >= 0 && pos < doc.Length() && doc.IsProtected(pos) && doc.Text()[static_cast<size_t>(pos)] == '#';
}

// A selection that starts or ends inside a marker grows to the marker's first and last "#"; the protected
// blank behind a marker stays outside.
void WidenSelectionToMarkers(vcl::TRichEdit& rich)
{
    const richedit::TRichDocument& doc = rich.Document();
    const int s = rich.SelStart();
    const int e = s + rich.SelLength();
    if (e == s || !doc.AnyProtected(s, e))
        return;
    int a = s;
    if (doc.IsProtected(s)) {
        while (IsMarkerCharacter(doc, a) && a > 0)
            --a;
        if (!IsMarkerCharacter(doc, a))
            ++a;
    }
    int z = e - 1;
    if (doc.IsProtected(e - 1)) {
        while (IsMarkerCharacter(doc, z))
            ++z;
        if (!IsProtectedHash(doc, z))
            --z;
    }
    // A to Z inclusive; when Z lies before A the length is negative and selects what lies between.
    rich.SetSelStart(a);
    rich.SetSelLength(z - a + 1);
    if (rich.SelLength() > 1 && rich.SelText().starts_with("\r\n")) {
        const int start = rich.SelStart() + 2;
        const int length = rich.SelLength() - 2;
        rich.SetSelStart(start);
        rich.SetSelLength(length);
    }
}

// After a change of font or style over [start, start + length): every marker in it green and underlined
// again, then the same selection as before.
void RestoreMarkerFormatting(vcl::TRichEdit& rich, int start, int length)
{
    const richedit::TRichDocument& doc = rich.Document();
    if (length <= 0 || !doc.AnyProtected(start, start + length))
        return;
    const int last = start + length - 1;
    int pos = start;
    while (pos < last) {
        while (!IsProtectedHash(doc, pos) && pos < last)
            ++pos;
        if (pos >= last)
            break;
        const int a = pos;
        while (pos < last && doc.IsProtected(pos) && doc.Text().compare(static_cast<size_t>(pos), 2, "# ") != 0)
            ++pos;
        rich.SetSelStart(a);
        rich.SetSelLength(pos - a + 1);
        rich.SelAttributes()->SetColor(MarkerColor);
        rich.SelAttributes()->ChangeStyle(vcl::fsUnderline, true);
        pos = pos + 1;
    }
    rich.SetSelStart(start);
    rich.SetSelLength(length);
}

}  // namespace

// One pass over the list.
AnsiString FirstFreeName(const rtl::TStrings& list, const AnsiString& prefix)
{
    std::unordered_set<AnsiString> taken;
    for (int i = 0; i < list.Count(); ++i)
        taken.insert(rtl::UpperCase(list.Strings(i)));
    for (int n = 1;; ++n) {
        AnsiString name = prefix + rtl::IntToStr(n);
        if (taken.count(rtl::UpperCase(name)) == 0)
            return name;
    }
}

// ---------------------------------------------------------------------------------------------------------
// The page switch

TPageObject* TfrmMainMenu::PageRecord(int index) const
{
    if (index < 0 || index >= lstPages->Items()->Count())
        return nullptr;
    return static_cast<TPageObject*>(lstPages->Items()->Objects(index));
}

void TfrmMainMenu::StoreShownPage()
{
    TPageObject* page = PageRecord(CurrentPageIndex);
    if (page == nullptr)
        return;
    page->Text.Assign(*mmoPage->Lines());
    // The page's list owns its records, and the working list holds the same ones: let go of them before
    // the list is replaced, so none is freed.
    for (int i = 0; i < page->Links.Count(); ++i)
        page->Links.SetObjects(i, nullptr);
    page->Links.Assign(*lstLinks->Items());
    page->Pictures.Assign(*lstPictures->Items());
}

void TfrmMainMenu::lstPagesClick(TObject*)
{
    StoreShownPage();
    const int selected = lstPages->ItemIndex();
    TPageObject* page = PageRecord(selected);
    if (page == nullptr) {
        mmoPage->Hide();
        // The lists name nothing while no page is shown; their records stay with the page just stored.
        lstLinks->Items()->Clear();
        lstPictures->Items()->Clear();
    } else {
        TProtectedEdit allow(*this);
        if (page->Text.Count() > 0) {
            mmoPage->Lines()->Assign(page->Text);
        } else {
            mmoPage->Clear();
            vcl::TFont font;
            font.SetName("Arial");
            font.SetSize(10);
            font.SetStyle({});
            font.SetColor(vcl::clBlack);
            mmoPage->Font()->Assign(&font);
            mmoPage->DefAttributes()->Assign(&font);
        }
        lstLinks->Items()->Assign(page->Links);
        lstPictures->Items()->Assign(page->Pictures);
        mmoPage->Show();
    }
    CurrentPageIndex = page != nullptr ? selected : -1;
}

void TfrmMainMenu::lstLinksMouseDown(TObject* Sender, vcl::TMouseButton, vcl::TShiftState, int X, int Y)
{
    auto* list = dynamic_cast<vcl::TListBox*>(Sender);
    if (list == nullptr)
        return;
    list->SetItemIndex(list->ItemAtPos(vcl::TPoint{X, Y}, true));
    if (list == lstPages)
        lstPagesClick(Sender);
}

void TfrmMainMenu::lstPagesKeyUp(TObject* Sender, uint16_t& Key, vcl::TShiftState)
{
    if (Key == DeleteKey)
        DeletePageClick(Sender);
}

void TfrmMainMenu::lstLinksKeyUp(TObject* Sender, uint16_t& Key, vcl::TShiftState)
{
    if (Key == DeleteKey)
        DeleteLinkClick(Sender);
}

void TfrmMainMenu::lstPicturesKeyUp(TObject* Sender, uint16_t& Key, vcl::TShiftState)
{
    if (Key == DeleteKey)
        DeletePicClick(Sender);
}

void TfrmMainMenu::mmoPageKeyPress(TObject*, char&)
{
    ProjectState().Modified = true;
}

void TfrmMainMenu::mmoPageProtectChange(TObject*, int, int, bool& AllowChange)
{
    // Only the program's own edits may touch markers.
    AllowChange = AllowProtectedEdit;
}

// ---------------------------------------------------------------------------------------------------------
// Pages

void TfrmMainMenu::AddPageClick(TObject*)
{
    rtl::TStrings& pages = *lstPages->Items();
    const AnsiString name = AskNewName(pages, "New Page", "Give this page a name please.",
                                       FirstFreeName(pages, "New Page "), "A page with this name already exists.");
    auto page = std::make_unique<TPageObject>();
    page->Name = name;
    pages.AddObject(name, page.get());
    page.release();  // FreeProject frees what the page list holds
    ProjectState().Modified = true;
}

void TfrmMainMenu::DeletePageClick(TObject*)
{
    const int index = lstPages->ItemIndex();
    if (PageRecord(index) == nullptr) {
        vcl::ShowMessage("You must select a page from the list to delete.");
        return;
    }
    if (!AreYouSure())
        return;
    // The working lists go with the page: its links added since the last switch are freed with it, and
    // another page that is shown keeps what was written into it.
    StoreShownPage();
    TPageObject* page = PageRecord(index);
    lstPages->Items()->Delete(index);
    lstPages->SetItemIndex(-1);
    CurrentPageIndex = -1;
    lstLinks->Items()->Clear();
    lstPictures->Items()->Clear();
    delete page;
    mmoPage->Hide();
    ProjectState().Modified = true;
}

void TfrmMainMenu::MovePage(int step)
{
    const int index = lstPages->ItemIndex();
    const int other = index + step;
    if (index < 0 || other < 0 || other >= lstPages->Items()->Count())
        return;
    lstPages->Items()->Exchange(index, other);
    lstPages->SetItemIndex(other);
    // The editor's content stays with its page wherever that page goes.
    if (CurrentPageIndex == index)
        CurrentPageIndex = other;
    else if (CurrentPageIndex == other)
        CurrentPageIndex = index;
    ProjectState().Modified = true;
}

void TfrmMainMenu::SpinButton1UpClick(TObject*)
{
    MovePage(-1);
}

void TfrmMainMenu::SpinButton1DownClick(TObject*)
{
    MovePage(1);
}

void TfrmMainMenu::PropertiesPageClick(TObject*)
{
    const int index = lstPages->ItemIndex();
    TPageObject* page = PageRecord(index);
    if (page == nullptr) {
        vcl::ShowMessage("You must select a page before you can change its properties.");
        return;
    }
    std::unique_ptr<TfrmPageProperties> dialog(new TfrmPageProperties(vcl::Application));
    dialog->edtName->SetText(page->Name);
    dialog->edtContextID->SetText(page->ContextID);
    dialog->edtTopicID->SetText(page->TopicID);
    dialog->edtTopicTitle->SetText(page->TopicTitle);
    dialog->edtIndexKeywords->SetText(page->IndexKeywords);
    dialog->ShowModal();
    // However it closed; a name another page has is taken as it is.
    page->Name = dialog->edtName->Text();
    page->ContextID = dialog->edtContextID->Text();
    page->TopicID = dialog->edtTopicID->Text();
    page->TopicTitle = dialog->edtTopicTitle->Text();
    page->IndexKeywords = dialog->edtIndexKeywords->Text();
    lstPages->Items()->SetStrings(index, page->Name);
    ProjectState().Modified = true;
}

void TfrmMainMenu::Header1Click(TObject*)
{
    TPageObject* page = PageRecord(lstPages->ItemIndex());
    if (page == nullptr) {
        vcl::ShowMessage("You must select a page before you can change its header.");
        return;
    }
    std::unique_ptr<TfrmPageHeader> dialog(new TfrmPageHeader(vcl::Application));
    dialog->mmoHeader->Lines()->Assign(page->Header);
    dialog->mmoHeader->SetColor(ProjectState().HeaderColor);
    dialog->ShowModal();
    // A header without any text is no header.
    if (dialog->mmoHeader->GetTextLen() > 0)
        page->Header.Assign(*dialog->mmoHeader->Lines());
    else
        page->Header.Clear();
    ProjectState().Modified = true;
}

// ---------------------------------------------------------------------------------------------------------
// Links

void TfrmMainMenu::AddLinkClick(TObject*)
{
    if (PageRecord(lstPages->ItemIndex()) == nullptr) {
        vcl::ShowMessage("You must have a page selected to add a link to its link list.");
        return;
    }
    rtl::TStrings& links = *lstLinks->Items();
    const AnsiString name = AskNewName(links, "New Link", "Give this Link a name please.",
                                       FirstFreeName(links, "New Link "), "A Link with this name already exists.");
    auto link = std::make_unique<TLinkObject>();
    link->Name = name;
    links.AddObject(name, link.get());
    link.release();  // the shown page takes it at the next switch; FreeProject reaches it before that
    ProjectState().Modified = true;
}

void TfrmMainMenu::DeleteLinkClick(TObject*)
{
    const int index = lstLinks->ItemIndex();
    if (index < 0 || index >= lstLinks->Items()->Count()) {
        vcl::ShowMessage("You must select a link from the list to delete.");
        return;
    }
    if (!AreYouSure())
        return;
    // Markers of the link stay in the text.
    FreeWorkingLink(index);
    ProjectState().Modified = true;
}

void TfrmMainMenu::PropertiesLinkClick(TObject*)
{
    const int index = lstLinks->ItemIndex();
    auto* link = index >= 0 && index < lstLinks->Items()->Count()
                     ? static_cast<TLinkObject*>(lstLinks->Items()->Objects(index))
                     : nullptr;
    if (link == nullptr) {
        vcl::ShowMessage("You must select a link from the link list before changing its properties.");
        return;
    }
    std::unique_ptr<TfrmLinkProperties> dialog(new TfrmLinkProperties(vcl::Application));
    rtl::TStrings& pageNames = *dialog->cbxLinkToPage->Items();
    for (int i = 0; i < lstPages->Items()->Count(); ++i)
        pageNames.Add(lstPages->Items()->Strings(i));
    dialog->edtName->SetText(link->Name);
    dialog->cbxLinkType->SetItemIndex(link->LinkType);
    switch (link->LinkType) {
    case 0:
        dialog->cbxLinkToPage->SetItemIndex(IndexOfName(pageNames, link->Target));
        break;
    case 1:
        dialog->edtURL->SetText(link->Target);
        break;
    case 2:
        dialog->edtEMail->SetText(link->Target);
        break;
    default:
        break;
    }
    dialog->edtText->SetText(link->Text);
    dialog->cbxPopupLink->SetChecked(link->Popup);
    dialog->cbxLinkTypeChange(nullptr);
    dialog->ShowModal();

    // However it closed; markers in the text keep the old name.
    link->Name = dialog->edtName->Text();
    link->LinkType = dialog->cbxLinkType->ItemIndex();
    link->Popup = false;
    switch (link->LinkType) {
    case 0: {
        const int page = dialog->cbxLinkToPage->ItemIndex();
        link->Target = page >= 0 ? pageNames.Strings(page) : AnsiString();
        link->Popup = dialog->cbxPopupLink->Checked();
        break;
    }
    case 1:
        link->Target = dialog->edtURL->Text();
        break;
    case 2:
        link->Target = dialog->edtEMail->Text();
        break;
    default:
        break;
    }
    link->Text = dialog->edtText->Text();
    lstLinks->Items()->SetStrings(index, link->Name);
    ProjectState().Modified = true;
}

void TfrmMainMenu::InsertLinkAtCursor1Click(TObject*)
{
    const int index = lstLinks->ItemIndex();
    if (index < 0 || index >= lstLinks->Items()->Count()) {
        vcl::ShowMessage("You must select a link from the link list before inserting it.");
        return;
    }
    InsertMarker("##" + lstLinks->Items()->Strings(index) + "##");
}

void TfrmMainMenu::InsertLinkClick(TObject*)
{
    // Bound to nothing; does nothing.
}

// ---------------------------------------------------------------------------------------------------------
// Pictures

void TfrmMainMenu::AddPicClick(TObject*)
{
    if (PageRecord(lstPages->ItemIndex()) == nullptr) {
        vcl::ShowMessage("You must select a page before you can add a picture to it.");
        return;
    }
    std::unique_ptr<vcl::TOpenDialog> dialog(new vcl::TOpenDialog(this));
    dialog->SetFilter("Bitmap File|*.bmp");
    if (!dialog->Execute())
        return;
    // Relative to the project's folder once the project has a file; the full path before that.
    const AnsiString& projectFile = ProjectState().ProjectFileName;
    const AnsiString stored =
        projectFile.empty() ? dialog->FileName() : RelativePath(rtl::ExtractFilePath(projectFile), dialog->FileName());
    if (IndexOfName(*lstPictures->Items(), stored) < 0)
        lstPictures->Items()->Add(stored);
    ProjectState().Modified = true;
}

void TfrmMainMenu::DeletePicClick(TObject*)
{
    const int index = lstPictures->ItemIndex();
    if (index < 0 || index >= lstPictures->Items()->Count()) {
        vcl::ShowMessage("You must select a picture from the list to delete.");
        return;
    }
    if (!AreYouSure())
        return;
    // Markers of the picture stay in the text.
    lstPictures->Items()->Delete(index);
    ProjectState().Modified = true;
}

void TfrmMainMenu::InsertPictureAtCursor2Click(TObject*)
{
    const int index = lstPictures->ItemIndex();
    if (index < 0 || index >= lstPictures->Items()->Count()) {
        vcl::ShowMessage("You must select a picture from the picture list before inserting it.");
        return;
    }
    InsertMarker("#" + lstPictures->Items()->Strings(index) + "#");
}

// ---------------------------------------------------------------------------------------------------------
// Markers

void TfrmMainMenu::InsertMarker(const AnsiString& marker)
{
    vcl::TRichEdit& rich = *mmoPage;
    vcl::TRichEditUndoGroup oneChange(rich);
    rich.SetSelStart(rich.SelStart());
    const int start = rich.SelStart();
    const int before = rich.GetTextLen();
    rich.SetSelText(marker + " ");
    // Refused (the caret is inside protected text): nothing else to mark.
    const int inserted = rich.GetTextLen() - before;
    if (inserted <= 0)
        return;
    rich.SetSelStart(start);
    rich.SetSelLength(inserted - 1);
    rich.SelAttributes()->SetColor(MarkerColor);
    rich.SelAttributes()->SetStyle({vcl::fsUnderline});
    rich.SetSelLength(inserted);
    rich.SelAttributes()->SetProtected(true);
    // Typing goes on behind the marker: a selection left over it would take every key as an attempt to
    // overwrite it.
    rich.SetSelStart(start + inserted);
    ProjectState().Modified = true;
}

void TfrmMainMenu::RemoveMarkerAtCaret()
{
    vcl::TRichEdit& rich = *mmoPage;
    if (rich.SelLength() == 0)
        rich.SetSelLength(1);
    WidenSelectionToMarkers(rich);
    const richedit::TRichDocument& doc = rich.Document();
    const int start = rich.SelStart();
    const int end = start + rich.SelLength();
    if (end == start || !doc.AllProtected(start, end))
        return;
    // The protected blank behind the marker goes with it.
    if (end < doc.Length() && doc.IsProtected(end))
        rich.SetSelLength(rich.SelLength() + 1);
    // Deleted as it stands, protection and all: unprotected first, the marker's look would become what is
    // typed where it stood.
    TProtectedEdit allow(*this);
    rich.ClearSelection();
    ProjectState().Modified = true;
}

void TfrmMainMenu::RemoveLinkAtCursor1Click(TObject*)
{
    RemoveMarkerAtCaret();
}

void TfrmMainMenu::RemovePictureAtCursor1Click(TObject*)
{
    RemoveMarkerAtCaret();
}

// ---------------------------------------------------------------------------------------------------------
// Text

void TfrmMainMenu::mnuFontClick(TObject*)
{
    vcl::TRichEdit& rich = *mmoPage;
    if (rich.SelLength() == 0 || !rich.Visible())
        return;
    WidenSelectionToMarkers(rich);
    TProtectedEdit allow(*this);
    vcl::TRichEditUndoGroup oneChange(rich);
    std::unique_ptr<vcl::TFontDialog> dialog(new vcl::TFontDialog(this));
    dialog->Font()->Assign(rich.SelAttributes());
    if (dialog->Execute()) {
        // Underline belongs to markers alone.
        vcl::TFont chosen;
        chosen.Assign(dialog->Font());
        vcl::TFontStyles style = chosen.Style();
        style.Exclude(vcl::fsUnderline);
        chosen.SetStyle(style);
        const int start = rich.SelStart();
        const int length = rich.SelLength();
        rich.SelAttributes()->Assign(&chosen);
        RestoreMarkerFormatting(rich, start, length);
    }
    ProjectState().Modified = true;
}

void TfrmMainMenu::ToggleStyle(vcl::TFontStyle style)
{
    vcl::TRichEdit& rich = *mmoPage;
    if (rich.SelLength() == 0 || !rich.Visible())
        return;
    WidenSelectionToMarkers(rich);
    TProtectedEdit allow(*this);
    vcl::TRichEditUndoGroup oneChange(rich);
    const int start = rich.SelStart();
    const int length = rich.SelLength();
    // The style of the selection as the editor reports it, flipped, goes onto all of it.
    vcl::TFontStyles styles = rich.SelAttributes()->Style();
    if (styles.Contains(style))
        styles.Exclude(style);
    else
        styles.Include(style);
    rich.SelAttributes()->SetStyle(styles);
    RestoreMarkerFormatting(rich, start, length);
    ProjectState().Modified = true;
}

void TfrmMainMenu::Bold1Click(TObject*)
{
    ToggleStyle(vcl::fsBold);
}

void TfrmMainMenu::Italic1Click(TObject*)
{
    ToggleStyle(vcl::fsItalic);
}

void TfrmMainMenu::AlignParagraphs(vcl::TAlignment alignment)
{
    if (!mmoPage->Visible())
        return;
    TProtectedEdit allow(*this);
    mmoPage->Paragraph()->SetAlignment(alignment);
    ProjectState().Modified = true;
}

void TfrmMainMenu::Left1Click(TObject*)
{
    AlignParagraphs(vcl::taLeftJustify);
}

void TfrmMainMenu::RightJustify1Click(TObject*)
{
    AlignParagraphs(vcl::taRightJustify);
}

void TfrmMainMenu::CenterJustify1Click(TObject*)
{
    AlignParagraphs(vcl::taCenter);
}

void TfrmMainMenu::Cut1Click(TObject*)
{
    mmoPage->CutToClipboard();
    ProjectState().Modified = true;
}

void TfrmMainMenu::Copy1Click(TObject*)
{
    mmoPage->CopyToClipboard();
}

// A link marker pasted from another page names a link this page lacks: the help build would stop at it and
// nobody could delete it. It becomes ordinary text, which the paste then takes the underline from.
void TfrmMainMenu::ReleaseForeignLinkMarkers(int start, int end)
{
    vcl::TRichEdit& rich = *mmoPage;
    const richedit::TRichDocument& doc = rich.Document();
    const AnsiString text = doc.Text();
    for (int pos = start; pos + 1 < end;) {
        if (!doc.IsProtected(pos) || text.compare(static_cast<size_t>(pos), 2, "##") != 0) {
            ++pos;
            continue;
        }
        const size_t close = text.find('#', static_cast<size_t>(pos) + 2);
        if (close == AnsiString::npos || static_cast<int>(close) + 2 > end)
            break;
        const AnsiString name = text.substr(static_cast<size_t>(pos) + 2, close - static_cast<size_t>(pos) - 2);
        int markerEnd = static_cast<int>(close) + 2;
        if (markerEnd < end && doc.IsProtected(markerEnd))
            ++markerEnd;  // the blank behind it
        if (lstLinks->Items()->IndexOf(name) < 0) {
            TProtectedEdit allow(*this);
            rich.SetSelStart(pos);
            rich.SetSelLength(markerEnd - pos);
            rich.SelAttributes()->SetProtected(false);
        }
        pos = markerEnd;
    }
}

void TfrmMainMenu::Paste1Click(TObject*)
{
    vcl::TRichEdit& rich = *mmoPage;
    vcl::TRichEditUndoGroup oneChange(rich);
    const int start = rich.SelStart();
    rich.PasteFromClipboard();
    // The caret stands after what was pasted.
    const int end = rich.SelStart();
    if (end > start) {
        ReleaseForeignLinkMarkers(start, end);
        // Underline belongs to markers: everything else pasted loses it, and pasted markers, which nobody
        // may change, stay whole.
        const richedit::TRichDocument& doc = rich.Document();
        for (int pos = start; pos < end;) {
            while (pos < end && doc.IsProtected(pos))
                ++pos;
            const int from = pos;
            while (pos < end && !doc.IsProtected(pos))
                ++pos;
            if (pos > from) {
                rich.SetSelStart(from);
                rich.SetSelLength(pos - from);
                rich.SelAttributes()->ChangeStyle(vcl::fsUnderline, false);
            }
        }
        rich.SetSelStart(start);
        rich.SetSelLength(end - start);
    }
    ProjectState().Modified = true;
}
