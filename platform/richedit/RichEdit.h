#pragma once
// TRichEdit: the rich-text editor control. Its document (RichDocument.h) is the truth; the widget is a
// view rebuilt or patched from it, and everything the user does in the widget (typing, deleting,
// cutting, pasting, dropping) comes back here as an edit of the document. So positions and protection
// are exact whatever the widget toolkit would do on its own:
//
// - positions count a paragraph end as two (CR LF), as SelStart, SelLength and SelText show;
// - every change that would touch a protected character, the program's own included (SelText,
//   SelAttributes, Paragraph.Alignment, loading Lines, Clear), is first put to OnProtectChange; without a
//   handler, or when the handler leaves AllowChange false, the change is dropped silently;
// - Lines is the content as the lines of its rich text (RtfWriter.h); setting Lines joins the lines with
//   CR LF after each and reads them as rich text (text that is not rich text is taken as plain text).
//   With PlainText on, Lines holds one plain line per paragraph (a final empty paragraph does not count).
//   Set Lines in one go (Assign, Text, LoadFromStream, or between BeginUpdate and EndUpdate): each change
//   outside an update reads the whole content again.
//
//   vcl::RegisterRichEditControls();                 // once, before forms with a TRichEdit are read
//   auto* rich = new vcl::TRichEdit(form);
//   rich->SetParent(form);
//   rich->OnProtectChange = [&](TObject*, int start, int end, bool& allow) { allow = AllowProtectedEdit; };
//   rich->Lines()->Assign(page->Text);
//   rich->SetSelStart(4);
//   rich->SetSelText("##Next## ");
//   rich->SetSelStart(4);
//   rich->SetSelLength(8);
//   rich->SelAttributes()->SetColor(vcl::TColor(32768));
//   rich->SelAttributes()->SetStyle({vcl::fsUnderline});
//   page->Text->Assign(*rich->Lines());              // the rich-text lines
//
// Ctrl+Z (Undo) takes the changes back, newest first, through the document and its protection.
//
// The control's Text (plain, paragraphs joined by CR LF) is its document's; the base Text storage of
// TControl is only read when code sets the text through a TControl reference.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/richedit/RichDocument.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

namespace vcl {

class TRichEdit;
class TRichEditStrings;

VCL_ENUM(TConsistentAttribute, caBold, caColor, caFace, caItalic, caSize, caStrikeOut, caUnderline, caProtected)
using TConsistentAttributes = TSet<TConsistentAttribute>;
VCL_ENUM(TAttributeType, atSelected, atDefaultText)

using TRichEditProtectChange = std::function<void(TObject* Sender, int StartPos, int EndPos, bool& AllowChange)>;

// The character attributes of the selection (SelAttributes) or the defaults (DefAttributes). Reading a
// selection gives its first character's attributes (the caret's, for an empty selection); setting one
// changes that attribute over the whole selection, or what the caret types next.
class TTextAttributes : public TPersistent {
    VCL_CLASS(TTextAttributes, TPersistent)
public:
    TTextAttributes(TRichEdit& editor, TAttributeType type);

    AnsiString Name() const;
    void SetName(const AnsiString& value);
    // Points; a size set in half points (from rich text) reads rounded down.
    int Size() const;
    void SetSize(int value);
    // Pixels at 96 dpi, as a positive character height.
    int Height() const;
    void SetHeight(int value);
    TColor Color() const;
    void SetColor(TColor value);
    TFontStyles Style() const;
    void SetStyle(TFontStyles value);
    // Sets or clears one style over the whole selection; every character keeps its other styles.
    void ChangeStyle(TFontStyle style, bool value);
    bool Protected() const;
    void SetProtected(bool value);
    TFontCharset Charset() const { return ANSI_CHARSET; }
    void SetCharset(TFontCharset) {}
    // Which attributes are the same over the whole selection (all, for the defaults and the caret).
    TConsistentAttributes ConsistentAttributes() const;

    // From a TFont (name, size, colour, style: one change) or another TTextAttributes (everything).
    void Assign(const TPersistent* source) override;

protected:
    // To a TFont: name, size, colour, style.
    void AssignTo(TPersistent* dest) const override;
    TPersistent* GetOwner() const override;

private:
    richedit::TCharAttributes Current() const;
    void Change(const richedit::TAttributeChange& change);

    TRichEdit& editor_;
    TAttributeType type_;
};

// The paragraph formatting of the selection (the caret's paragraph for an empty one).
class TParaAttributes : public TPersistent {
    VCL_CLASS(TParaAttributes, TPersistent)
public:
    explicit TParaAttributes(TRichEdit& editor) : editor_(editor) {}
    // The first selected paragraph's; setting aligns every paragraph the selection reaches.
    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    void Assign(const TPersistent* source) override;

protected:
    TPersistent* GetOwner() const override;

private:
    TRichEdit& editor_;
};

class TRichEdit : public TWinControl {
    VCL_CLASS(TRichEdit, TWinControl)
public:
    explicit TRichEdit(TComponent* owner);
    ~TRichEdit() override;

    // ---- content
    rtl::TStrings* Lines() const;
    void SetLines(const rtl::TStrings* value);
    bool PlainText() const { return plainText_; }
    void SetPlainText(bool value) { plainText_ = value; }
    // The plain text: paragraphs joined by CR LF. Setting it replaces everything with plain text.
    AnsiString Text() const;
    void SetText(const AnsiString& value);
    int GetTextLen() const;
    // Empties the control (asking first when protected text would go); the default attributes remain.
    void Clear();
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    // ---- selection
    int SelStart() const { return selStart_; }
    // Collapses the selection to a caret at `value`.
    void SetSelStart(int value);
    int SelLength() const { return selEnd_ - selStart_; }
    // From SelStart; a negative length selects backwards from it.
    void SetSelLength(int value);
    AnsiString SelText() const;
    // Replaces the selection (inserts at the caret) with plain text in the caret's attributes, then
    // puts the caret after it.
    void SetSelText(const AnsiString& value);
    void SelectAll();
    // Deletes the selection.
    void ClearSelection();
    TTextAttributes* SelAttributes() const { return selAttributes_.get(); }
    void SetSelAttributes(const TTextAttributes* value) { selAttributes_->Assign(value); }
    TTextAttributes* DefAttributes() const { return defAttributes_.get(); }
    void SetDefAttributes(const TTextAttributes* value) { defAttributes_->Assign(value); }
    TParaAttributes* Paragraph() const { return paragraph_.get(); }

    // ---- undo: the last changes, newest first (a run of typing is one change); loading content
    // forgets them. Undo asks OnProtectChange like any edit and does nothing when refused.
    bool CanUndo() const { return !undo_.empty(); }
    void Undo();
    void ClearUndo();
    // The edits between these (nesting counts) are taken back by one Undo.
    void BeginUndoGroup();
    void EndUndoGroup();

    // ---- clipboard: rich text and plain text (defined with the widget side)
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();

    // ---- options
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool value);
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool value);
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool value) { wantReturns_ = value; }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);

    TRichEditProtectChange OnProtectChange;
    TNotifyEvent OnChange;
    TNotifyEvent OnSelectionChange;

    // ---- the document and the widget side
    const richedit::TRichDocument& Document() const { return document_; }
    // Replaces the whole document (asking first when protected text would go); the caret goes to 0.
    bool LoadDocument(const richedit::TRichDocument& document);
    // What the caret types with: attributes set on an empty selection, else those of its position.
    richedit::TCharAttributes CaretAttributes() const;
    const richedit::TCharAttributes& DefaultCharAttributes() const { return defaults_; }

    // What the user does in the widget, as edits of the document (nothing while ReadOnly).
    void UserTypes(const AnsiString& text);
    // Backspace (forward false) or Delete: the selection, else one character (a paragraph end whole).
    void UserDeletes(bool forward);
    void UserDeletesRange(int start, int end);
    // Puts a fragment in place of the selection (paste) and selects nothing after it.
    void UserInserts(const richedit::TRichDocument& fragment);
    // Drops a fragment at `pos`; `moveFrom`/`moveTo`, when given, is the dragged range of this control.
    void UserDrops(int pos, const richedit::TRichDocument& fragment, int moveFrom = -1, int moveTo = -1);
    // The user moved the caret or selected (model positions).
    void UserSelects(int anchor, int caret);
    // The selection as the fragment the clipboard takes.
    richedit::TRichDocument SelectionFragment() const;

    // The last content change, for the widget to patch itself: valid when its view stands at FromVersion.
    struct TChangeRecord {
        uint64_t FromVersion = 0;
        int Start = 0;
        int OldViewLength = 0;  // characters the change removed, a paragraph end counting one
        int NewEnd = 0;         // the end of the changed range in the new document
        bool Whole = true;      // the whole document changed
    };
    const TChangeRecord& LastChange() const { return lastChange_; }
    int SelectionAnchor() const { return anchorAtEnd_ ? selEnd_ : selStart_; }
    int SelectionCaret() const { return anchorAtEnd_ ? selStart_ : selEnd_; }

    // For tests of the view: "" when the widget shows exactly the document (text, paragraphs, their
    // alignment, every character's attributes) or there is no widget, else the first difference.
    AnsiString ViewMismatch() const;

    bool WantsKey(uint16_t key, TShiftState shift) const override;

    enum { paContent = paFirstCustom, paSelection, paOptions };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    friend class TTextAttributes;
    friend class TParaAttributes;
    friend class TRichEditStrings;

    bool AskProtect(int start, int end);
    richedit::TProtectQuery Query();
    // Runs one edit of [start, end) that leaves [start, newEnd(document)) changed.
    bool Edit(int start, int end, const std::function<bool(richedit::TRichDocument&)>& edit,
              const std::function<int()>& newEnd);
    void Changed();
    void SetSelection(int start, int end, bool anchorAtEnd = false);
    void SelectionChanged();
    void ChangeSelectionAttributes(const richedit::TAttributeChange& change);
    void ChangeDefaultAttributes(const richedit::TAttributeChange& change);
    void SetSelectionAlignment(richedit::TParaAlignment alignment);
    bool LoadText(const AnsiString& text, bool rich);

    // The undo history (oldest first), and the group being gathered: so far its edits left [Start, End)
    // of the document where [Start, End - Delta) stood in Before, the copy taken when it began.
    struct TUndoEntry {
        richedit::TRichDocument::TUndoStep Step;
        bool Typing = false;
    };
    struct TUndoGroup {
        int Depth = 0;
        std::optional<richedit::TRichDocument> Before;
        bool Edited = false;
        int Start = 0;
        int End = 0;
        int Delta = 0;
    };
    void RecordUndo(richedit::TRichDocument::TUndoStep step, bool typing);

    richedit::TRichDocument document_;
    std::vector<TUndoEntry> undo_;
    TUndoGroup undoGroup_;
    bool undoing_ = false;
    bool typingGoesOn_ = false;  // the next typed text joins the last change
    bool undoRecorded_ = false;
    richedit::TCharAttributes defaults_;
    std::optional<richedit::TCharAttributes> caretAttributes_;
    int selStart_ = 0;
    int selEnd_ = 0;
    bool anchorAtEnd_ = false;
    TChangeRecord lastChange_;
    std::unique_ptr<TRichEditStrings> lines_;
    std::unique_ptr<TTextAttributes> selAttributes_;
    std::unique_ptr<TTextAttributes> defAttributes_;
    std::unique_ptr<TParaAttributes> paragraph_;
    bool plainText_ = false;
    bool modified_ = false;
    bool readOnly_ = false;
    TScrollStyle scrollBars_ = ssNone;
    bool hideSelection_ = true;
    bool wantTabs_ = false;
    bool wantReturns_ = true;
    bool wordWrap_ = true;
};

// Gathers the edits of a control made during its life into one change that one Undo takes back.
class TRichEditUndoGroup {
public:
    explicit TRichEditUndoGroup(TRichEdit& edit) : edit_(edit) { edit_.BeginUndoGroup(); }
    ~TRichEditUndoGroup() { edit_.EndUndoGroup(); }
    TRichEditUndoGroup(const TRichEditUndoGroup&) = delete;
    TRichEditUndoGroup& operator=(const TRichEditUndoGroup&) = delete;

private:
    TRichEdit& edit_;
};

// Registers TRichEdit for form resources; idempotent. Call it before reading a form that holds one.
void RegisterRichEditControls();

}  // namespace vcl
