// TRichEdit without its widget: the document, the selection, attributes, Lines and the user's edits.
// The widget side (the view, the keyboard, the clipboard) is QtRichEdit.cpp.
#include "platform/richedit/RichEdit.h"

#include <algorithm>
#include <cstdlib>

#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"

namespace vcl {

using richedit::TAttributeChange;
using richedit::TCharAttributes;
using richedit::TRichDocument;

// ---------------------------------------------------------------------------------------------------------
// Lines: the content as rich-text lines (or plain lines), read again whenever they are set

class TRichEditStrings : public rtl::TStrings {
public:
    explicit TRichEditStrings(TRichEdit& editor) : editor_(editor) {}

    int Count() const override { return static_cast<int>(Visible().size()); }

    void Clear() override
    {
        Modify([](std::vector<AnsiString>& lines) { lines.clear(); });
    }

    void Delete(int index) override
    {
        CheckIndex(index, Count() - 1);
        Modify([index](std::vector<AnsiString>& lines) { lines.erase(lines.begin() + index); });
    }

    void Insert(int index, const AnsiString& s) override
    {
        CheckIndex(index, Count());
        Modify([index, &s](std::vector<AnsiString>& lines) { lines.insert(lines.begin() + index, s); });
    }

protected:
    AnsiString Get(int index) const override
    {
        CheckIndex(index, Count() - 1);
        return Visible()[static_cast<size_t>(index)];
    }

    void Put(int index, const AnsiString& s) override
    {
        CheckIndex(index, Count() - 1);
        Modify([index, &s](std::vector<AnsiString>& lines) { lines[static_cast<size_t>(index)] = s; });
    }

    void SetUpdateState(bool updating) override
    {
        if (updating) {
            pending_ = Source();
        } else {
            std::vector<AnsiString> lines = std::move(pending_);
            pending_.clear();
            Load(lines);
        }
    }

private:
    static void CheckIndex(int index, int last)
    {
        if (index < 0 || index > last)
            Error(index);
    }

    // What reading gives: the lines being assembled during an update, else the content's.
    const std::vector<AnsiString>& Visible() const { return UpdateCount() > 0 ? pending_ : Current(); }

    const std::vector<AnsiString>& Current() const
    {
        const TRichDocument& doc = editor_.Document();
        if (!cacheValid_ || cacheVersion_ != doc.Version() || cachePlain_ != editor_.PlainText()) {
            cache_ = editor_.PlainText() ? doc.PlainLines() : richedit::WriteRtfLines(doc);
            cacheVersion_ = doc.Version();
            cachePlain_ = editor_.PlainText();
            cacheValid_ = true;
        }
        return cache_;
    }

    // What a change starts from: the lines last set, as long as nothing else changed the content since,
    // so that lines added one by one build up one text.
    std::vector<AnsiString> Source() const
    {
        if (setValid_ && setVersion_ == editor_.Document().Version() && setPlain_ == editor_.PlainText())
            return set_;
        return Current();
    }

    template <class F>
    void Modify(F change)
    {
        if (UpdateCount() > 0) {
            change(pending_);
            return;
        }
        std::vector<AnsiString> lines = Source();
        change(lines);
        Load(lines);
    }

    void Load(const std::vector<AnsiString>& lines)
    {
        bool plain = editor_.PlainText();
        AnsiString text;
        for (size_t i = 0; i < lines.size(); ++i) {
            text += lines[i];
            if (!plain || i + 1 < lines.size())
                text += "\r\n";
        }
        if (!editor_.LoadText(text, !plain))
            return;
        set_ = lines;
        setVersion_ = editor_.Document().Version();
        setPlain_ = plain;
        setValid_ = true;
    }

    TRichEdit& editor_;
    std::vector<AnsiString> pending_;
    mutable std::vector<AnsiString> cache_;
    mutable uint64_t cacheVersion_ = 0;
    mutable bool cachePlain_ = false;
    mutable bool cacheValid_ = false;
    std::vector<AnsiString> set_;
    uint64_t setVersion_ = 0;
    bool setPlain_ = false;
    bool setValid_ = false;
};

// ---------------------------------------------------------------------------------------------------------
// TTextAttributes

VCL_IMPLEMENT_CLASS_NOPROPS(TTextAttributes)

TTextAttributes::TTextAttributes(TRichEdit& editor, TAttributeType type) : editor_(editor), type_(type) {}

TCharAttributes TTextAttributes::Current() const
{
    if (type_ == atDefaultText)
        return editor_.defaults_;
    if (editor_.SelLength() == 0)
        return editor_.CaretAttributes();
    return editor_.Document().AttributesAt(editor_.SelStart());
}

void TTextAttributes::Change(const TAttributeChange& change)
{
    if (type_ == atDefaultText)
        editor_.ChangeDefaultAttributes(change);
    else
        editor_.ChangeSelectionAttributes(change);
}

AnsiString TTextAttributes::Name() const { return Current().Face; }

void TTextAttributes::SetName(const AnsiString& value)
{
    TAttributeChange change;
    change.Face = value;
    Change(change);
}

int TTextAttributes::Size() const { return Current().HalfPoints / 2; }

void TTextAttributes::SetSize(int value)
{
    TAttributeChange change;
    change.HalfPoints = value * 2;
    Change(change);
}

int TTextAttributes::Height() const { return MulDiv(Size(), ScreenPixelsPerInch, 72); }

void TTextAttributes::SetHeight(int value) { SetSize(MulDiv(std::abs(value), 72, ScreenPixelsPerInch)); }

TColor TTextAttributes::Color() const { return static_cast<TColor>(Current().Color); }

void TTextAttributes::SetColor(TColor value)
{
    TAttributeChange change;
    change.Color = ColorToRGB(value);
    Change(change);
}

TFontStyles TTextAttributes::Style() const
{
    TCharAttributes a = Current();
    TFontStyles style;
    if (a.Bold)
        style.Include(fsBold);
    if (a.Italic)
        style.Include(fsItalic);
    if (a.Underline)
        style.Include(fsUnderline);
    if (a.StrikeOut)
        style.Include(fsStrikeOut);
    return style;
}

void TTextAttributes::SetStyle(TFontStyles value)
{
    TAttributeChange change;
    change.Bold = value.Contains(fsBold);
    change.Italic = value.Contains(fsItalic);
    change.Underline = value.Contains(fsUnderline);
    change.StrikeOut = value.Contains(fsStrikeOut);
    Change(change);
}

void TTextAttributes::ChangeStyle(TFontStyle style, bool value)
{
    TAttributeChange change;
    switch (style) {
    case fsBold:
        change.Bold = value;
        break;
    case fsItalic:
        change.Italic = value;
        break;
    case fsUnderline:
        change.Underline = value;
        break;
    case fsStrikeOut:
        change.StrikeOut = value;
        break;
    }
    Change(change);
}

bool TTextAttributes::Protected() const { return Current().Protected; }

void TTextAttributes::SetProtected(bool value)
{
    TAttributeChange change;
    change.Protected = value;
    Change(change);
}

TConsistentAttributes TTextAttributes::ConsistentAttributes() const
{
    TConsistentAttributes same = {caBold, caColor, caFace, caItalic, caSize, caStrikeOut, caUnderline, caProtected};
    if (type_ == atDefaultText || editor_.SelLength() == 0)
        return same;
    const TRichDocument& doc = editor_.Document();
    const TCharAttributes& first = doc.AttributesAt(editor_.SelStart());
    doc.ForEachRun(editor_.SelStart(), editor_.SelStart() + editor_.SelLength(), [&](const TRichDocument::TRun& run) {
        const TCharAttributes& a = *run.Attributes;
        if (a.Bold != first.Bold)
            same.Exclude(caBold);
        if (a.Color != first.Color)
            same.Exclude(caColor);
        if (a.Face != first.Face)
            same.Exclude(caFace);
        if (a.Italic != first.Italic)
            same.Exclude(caItalic);
        if (a.HalfPoints != first.HalfPoints)
            same.Exclude(caSize);
        if (a.StrikeOut != first.StrikeOut)
            same.Exclude(caStrikeOut);
        if (a.Underline != first.Underline)
            same.Exclude(caUnderline);
        if (a.Protected != first.Protected)
            same.Exclude(caProtected);
    });
    return same;
}

void TTextAttributes::Assign(const TPersistent* source)
{
    if (const auto* font = dynamic_cast<const TFont*>(source)) {
        TAttributeChange change;
        change.Face = font->Name();
        change.HalfPoints = font->Size() * 2;
        change.Color = ColorToRGB(font->Color());
        change.Bold = font->Style().Contains(fsBold);
        change.Italic = font->Style().Contains(fsItalic);
        change.Underline = font->Style().Contains(fsUnderline);
        change.StrikeOut = font->Style().Contains(fsStrikeOut);
        Change(change);
        return;
    }
    if (const auto* other = dynamic_cast<const TTextAttributes*>(source)) {
        Change(TAttributeChange::All(other->Current()));
        return;
    }
    inherited::Assign(source);
}

void TTextAttributes::AssignTo(TPersistent* dest) const
{
    if (auto* font = dynamic_cast<TFont*>(dest)) {
        TFont copy;
        copy.Assign(font);
        copy.SetName(Name());
        copy.SetSize(Size());
        copy.SetColor(Color());
        copy.SetStyle(Style());
        font->Assign(&copy);
        return;
    }
    inherited::AssignTo(dest);
}

TPersistent* TTextAttributes::GetOwner() const { return &editor_; }

// ---------------------------------------------------------------------------------------------------------
// TParaAttributes

VCL_IMPLEMENT_CLASS_NOPROPS(TParaAttributes)

TAlignment TParaAttributes::Alignment() const
{
    const TRichDocument& doc = editor_.Document();
    switch (doc.Alignment(doc.ParagraphAt(editor_.SelStart()))) {
    case richedit::paCenter:
        return taCenter;
    case richedit::paRight:
        return taRightJustify;
    default:
        return taLeftJustify;
    }
}

void TParaAttributes::SetAlignment(TAlignment value)
{
    editor_.SetSelectionAlignment(value == taCenter         ? richedit::paCenter
                                  : value == taRightJustify ? richedit::paRight
                                                            : richedit::paLeft);
}

void TParaAttributes::Assign(const TPersistent* source)
{
    if (const auto* other = dynamic_cast<const TParaAttributes*>(source)) {
        SetAlignment(other->Alignment());
        return;
    }
    inherited::Assign(source);
}

TPersistent* TParaAttributes::GetOwner() const { return &editor_; }

// ---------------------------------------------------------------------------------------------------------
// TRichEdit

VCL_IMPLEMENT_CLASS(TRichEdit)

void TRichEdit::RegisterProperties(TClassDef<TRichEdit>& def)
{
    def.Property("Color", &TControl::Color, &TControl::SetColor, clWindow);
    def.Property("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, false);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Property("HideSelection", &TRichEdit::HideSelection, &TRichEdit::SetHideSelection, true);
    def.Property("Lines", &TRichEdit::Lines, nullptr);
    def.Property("PlainText", &TRichEdit::PlainText, &TRichEdit::SetPlainText, false);
    def.Property("ReadOnly", &TRichEdit::ReadOnly, &TRichEdit::SetReadOnly, false);
    def.Property("ScrollBars", &TRichEdit::ScrollBars, &TRichEdit::SetScrollBars, ssNone);
    def.Property("WantReturns", &TRichEdit::WantReturns, &TRichEdit::SetWantReturns, true);
    def.Property("WantTabs", &TRichEdit::WantTabs, &TRichEdit::SetWantTabs, false);
    def.Property("WordWrap", &TRichEdit::WordWrap, &TRichEdit::SetWordWrap, true);
    def.Event("OnChange", &TRichEdit::OnChange);
    def.Event("OnProtectChange", &TRichEdit::OnProtectChange);
    def.Event("OnSelectionChange", &TRichEdit::OnSelectionChange);
}

TRichEdit::TRichEdit(TComponent* owner)
    : TWinControl(owner),
      lines_(std::make_unique<TRichEditStrings>(*this)),
      selAttributes_(std::make_unique<TTextAttributes>(*this, atSelected)),
      defAttributes_(std::make_unique<TTextAttributes>(*this, atDefaultText)),
      paragraph_(std::make_unique<TParaAttributes>(*this))
{
    SetBounds(0, 0, 185, 89);
    SetTabStop(true);
    SetColor(clWindow);
    // Arial 10 point, regular, black; the defaults follow the control's font from here on. Placed on a form
    // without a font of its own, the box takes the form's font, as every other control does.
    TFont font;
    font.SetName("Arial");
    font.SetSize(10);
    font.SetColor(clBlack);
    Font()->Assign(&font);
    SetParentFont(true);
}

TRichEdit::~TRichEdit()
{
    // The widget goes while everything it reads is still here.
    DestroyPeer();
}

rtl::TStrings* TRichEdit::Lines() const { return lines_.get(); }

void TRichEdit::SetLines(const rtl::TStrings* value)
{
    if (value)
        lines_->Assign(*value);
}

AnsiString TRichEdit::Text() const { return document_.Text(); }

void TRichEdit::SetText(const AnsiString& value) { LoadText(value, false); }

int TRichEdit::GetTextLen() const { return document_.Length(); }

void TRichEdit::Clear() { LoadDocument(TRichDocument(defaults_)); }

void TRichEdit::TextChanged() { LoadText(inherited::Text(), false); }

void TRichEdit::FontChanged()
{
    inherited::FontChanged();
    const TFont& font = *Font();
    TAttributeChange change;
    change.Face = font.Name();
    change.HalfPoints = font.Size() * 2;
    change.Color = ColorToRGB(font.Color());
    change.Bold = font.Style().Contains(fsBold);
    change.Italic = font.Style().Contains(fsItalic);
    change.Underline = font.Style().Contains(fsUnderline);
    change.StrikeOut = font.Style().Contains(fsStrikeOut);
    ChangeDefaultAttributes(change);
}

bool TRichEdit::LoadText(const AnsiString& text, bool rich)
{
    if (rich && richedit::IsRtf(text))
        return LoadDocument(richedit::ReadRtf(text));
    TRichDocument doc(defaults_);
    doc.AppendText(text, defaults_);
    return LoadDocument(doc);
}

bool TRichEdit::LoadDocument(const TRichDocument& document)
{
    if (document_.AnyProtected(0, document_.Length()) && !AskProtect(0, document_.Length()))
        return false;
    document_ = document;
    lastChange_ = TChangeRecord{};
    ClearUndo();
    Changed();
    modified_ = false;
    SetSelection(0, 0);
    return true;
}

bool TRichEdit::AskProtect(int start, int end)
{
    bool allow = false;
    if (OnProtectChange)
        OnProtectChange(this, start, end, allow);
    return allow;
}

richedit::TProtectQuery TRichEdit::Query()
{
    return [this](int start, int end) { return AskProtect(start, end); };
}

bool TRichEdit::Edit(int start, int end, const std::function<bool(TRichDocument&)>& edit,
                     const std::function<int()>& newEnd)
{
    uint64_t from = document_.Version();
    TChangeRecord record;
    std::optional<TRichDocument::TUndoStep> step;
    if (start >= 0) {
        document_.SnapRange(start, end);
        record.FromVersion = from;
        record.Start = start;
        record.OldViewLength = (end - start) - (document_.ParagraphAt(end) - document_.ParagraphAt(start));
        record.Whole = false;
        if (!undoing_ && undoGroup_.Depth == 0)
            step = document_.KeepForUndo(start, end);
    }
    if (!edit(document_))
        return false;
    if (document_.Version() == from)
        return true;
    if (!record.Whole)
        record.NewEnd = newEnd();
    lastChange_ = record;
    if (!undoing_) {
        typingGoesOn_ = false;
        TUndoGroup& group = undoGroup_;
        if (group.Depth > 0 && !record.Whole) {
            // The group's range grows to take this edit in; what lies behind it moves with the edit.
            const int grown = record.NewEnd - end;
            if (!group.Edited) {
                group.Start = start;
                group.End = record.NewEnd;
                group.Delta = grown;
                group.Edited = true;
            } else {
                group.End = std::max(group.End, end) + grown;
                group.Start = std::min(group.Start, start);
                group.Delta += grown;
            }
        } else if (step) {
            step->End = record.NewEnd;
            RecordUndo(std::move(*step), false);
        }
    }
    Changed();
    return true;
}

// ---- undo

namespace {
const size_t MaxUndoSteps = 100;
}

void TRichEdit::RecordUndo(TRichDocument::TUndoStep step, bool typing)
{
    undo_.push_back(TUndoEntry{std::move(step), typing});
    undoRecorded_ = true;
    if (undo_.size() > MaxUndoSteps)
        undo_.erase(undo_.begin());
}

void TRichEdit::Undo()
{
    if (undo_.empty())
        return;
    const TRichDocument::TUndoStep step = undo_.back().Step;
    const int restoredEnd = step.Start + step.Old->Length();
    bool done = false;
    {
        struct TUndoing {
            bool& flag;
            ~TUndoing() { flag = false; }
        } undoing{undoing_};
        undoing_ = true;
        done = Edit(
            step.Start, step.End, [&](TRichDocument& doc) { return doc.Undo(step, Query()); },
            [restoredEnd] { return restoredEnd; });
    }
    if (!done)
        return;  // refused: the step stays, and so does everything before it
    undo_.pop_back();
    typingGoesOn_ = false;
    SetSelection(step.Start, restoredEnd);
}

void TRichEdit::ClearUndo()
{
    undo_.clear();
    typingGoesOn_ = false;
    // A group being gathered starts over from what is there now.
    if (undoGroup_.Depth > 0) {
        undoGroup_.Before = document_;
        undoGroup_.Edited = false;
    }
}

void TRichEdit::BeginUndoGroup()
{
    if (undoGroup_.Depth++ > 0)
        return;
    undoGroup_.Before = document_;
    undoGroup_.Edited = false;
}

void TRichEdit::EndUndoGroup()
{
    if (undoGroup_.Depth == 0 || --undoGroup_.Depth > 0)
        return;
    TUndoGroup& group = undoGroup_;
    if (group.Edited && group.Before) {
        TRichDocument::TUndoStep step = group.Before->KeepForUndo(group.Start, group.End - group.Delta);
        step.End = group.End;
        RecordUndo(std::move(step), false);
    }
    group.Before.reset();
    group.Edited = false;
    typingGoesOn_ = false;
}

void TRichEdit::Changed()
{
    caretAttributes_.reset();
    modified_ = true;
    UpdatePeer(paContent);
    if (OnChange)
        OnChange(this);
}

void TRichEdit::SetSelection(int start, int end, bool anchorAtEnd)
{
    document_.SnapRange(start, end);
    bool moved = start != selStart_ || end != selEnd_;
    if (moved)
        typingGoesOn_ = false;
    selStart_ = start;
    selEnd_ = end;
    anchorAtEnd_ = anchorAtEnd && start != end;
    if (!moved) {
        UpdatePeer(paSelection);
        return;
    }
    caretAttributes_.reset();
    UpdatePeer(paSelection);
    SelectionChanged();
}

void TRichEdit::SelectionChanged()
{
    if (OnSelectionChange)
        OnSelectionChange(this);
}

void TRichEdit::SetSelStart(int value) { SetSelection(value, value); }

void TRichEdit::SetSelLength(int value)
{
    if (value >= 0)
        SetSelection(selStart_, selStart_ + value);
    else
        SetSelection(selStart_ + value, selStart_);
}

AnsiString TRichEdit::SelText() const
{
    return document_.Text().substr(static_cast<size_t>(selStart_), static_cast<size_t>(selEnd_ - selStart_));
}

void TRichEdit::SetSelText(const AnsiString& value)
{
    int start = selStart_;
    AnsiString text = richedit::NormalizeText(value);
    TCharAttributes attributes = CaretAttributes();
    int end = start + static_cast<int>(text.size());
    if (Edit(
            selStart_, selEnd_,
            [&](TRichDocument& doc) { return doc.ReplaceText(selStart_, selEnd_, text, attributes, Query()); },
            [end] { return end; }))
        SetSelection(end, end);
}

void TRichEdit::SelectAll() { SetSelection(0, document_.Length()); }

void TRichEdit::ClearSelection()
{
    int start = selStart_;
    if (Edit(
            selStart_, selEnd_, [&](TRichDocument& doc) { return doc.Delete(selStart_, selEnd_, Query()); },
            [start] { return start; }))
        SetSelection(start, start);
}

TCharAttributes TRichEdit::CaretAttributes() const
{
    if (caretAttributes_)
        return *caretAttributes_;
    if (selStart_ == selEnd_)
        return document_.InsertionAttributes(selStart_);
    TCharAttributes attributes = document_.AttributesAt(selStart_);
    attributes.Protected = false;
    return attributes;
}

void TRichEdit::ChangeSelectionAttributes(const TAttributeChange& change)
{
    if (selStart_ != selEnd_) {
        int end = selEnd_;
        Edit(
            selStart_, selEnd_,
            [&](TRichDocument& doc) { return doc.ChangeAttributes(selStart_, selEnd_, change, Query()); },
            [end] { return end; });
        return;
    }
    // At a caret: what it types next, and the look of its paragraph when that is empty.
    TCharAttributes next = CaretAttributes();
    change.ApplyTo(next);
    // The range that changes then: an empty paragraph's end (the last paragraph shows the end before it).
    int from = selStart_, to = selStart_;
    const int paragraph = document_.ParagraphAt(selStart_);
    if (!document_.IsEmpty() && document_.ParagraphStart(paragraph) == document_.ParagraphEnd(paragraph)) {
        from = document_.ParagraphStart(paragraph) - (paragraph == document_.ParagraphCount() - 1 ? 2 : 0);
        to = from + 2;
    }
    bool done = Edit(
        from, to, [&](TRichDocument& doc) { return doc.ChangeAttributes(selStart_, selStart_, change, Query()); },
        [to] { return to; });
    if (done)
        caretAttributes_ = next;
}

void TRichEdit::ChangeDefaultAttributes(const TAttributeChange& change)
{
    change.ApplyTo(defaults_);
    if (document_.IsEmpty()) {
        document_.SetEmptyAttributes(defaults_);
        caretAttributes_.reset();
        lastChange_ = TChangeRecord{};
        UpdatePeer(paContent);
    }
}

void TRichEdit::SetSelectionAlignment(richedit::TParaAlignment alignment)
{
    int first = document_.ParagraphAt(selStart_);
    int last = selEnd_ > selStart_ ? document_.ParagraphAt(selEnd_ - 1) : first;
    int from = document_.ParagraphStart(first);
    int to = document_.ParagraphEnd(last);
    Edit(
        from, to, [&](TRichDocument& doc) { return doc.SetAlignment(selStart_, selEnd_, alignment, Query()); },
        [to] { return to; });
}

void TRichEdit::SetReadOnly(bool value)
{
    readOnly_ = value;
    UpdatePeer(paOptions);
}

void TRichEdit::SetScrollBars(TScrollStyle value)
{
    scrollBars_ = value;
    UpdatePeer(paOptions);
}

void TRichEdit::SetHideSelection(bool value)
{
    hideSelection_ = value;
    UpdatePeer(paOptions);
}

void TRichEdit::SetWantTabs(bool value)
{
    wantTabs_ = value;
    UpdatePeer(paOptions);
}

void TRichEdit::SetWordWrap(bool value)
{
    wordWrap_ = value;
    UpdatePeer(paOptions);
}

bool TRichEdit::WantsKey(uint16_t key, TShiftState) const
{
    return (key == VK_RETURN && wantReturns_) || (key == VK_TAB && wantTabs_);
}

// ---- what the user does

void TRichEdit::UserTypes(const AnsiString& text)
{
    if (readOnly_)
        return;
    int start = selStart_;
    AnsiString clean = richedit::NormalizeText(text);
    if (clean.empty())
        return;
    TCharAttributes attributes = CaretAttributes();
    int end = start + static_cast<int>(clean.size());
    const bool joins = typingGoesOn_;
    undoRecorded_ = false;
    if (!Edit(
            selStart_, selEnd_,
            [&](TRichDocument& doc) { return doc.ReplaceText(selStart_, selEnd_, clean, attributes, Query()); },
            [end] { return end; }))
        return;
    // A run of typing is one change to take back.
    if (undoRecorded_) {
        TUndoEntry& last = undo_.back();
        if (joins && undo_.size() >= 2 && last.Step.Old->IsEmpty()) {
            TUndoEntry& before = undo_[undo_.size() - 2];
            if (before.Typing && before.Step.End == last.Step.Start) {
                before.Step.End = end;
                undo_.pop_back();
            }
        }
        undo_.back().Typing = true;
    }
    SetSelection(end, end);
    typingGoesOn_ = true;
}

void TRichEdit::UserDeletes(bool forward)
{
    if (selStart_ != selEnd_) {
        UserDeletesRange(selStart_, selEnd_);
        return;
    }
    if (forward) {
        if (selStart_ < document_.Length())
            UserDeletesRange(selStart_, selStart_ + 1);
    } else if (selStart_ > 0) {
        UserDeletesRange(selStart_ - 1, selStart_);
    }
}

void TRichEdit::UserDeletesRange(int start, int end)
{
    if (readOnly_)
        return;
    document_.SnapRange(start, end);
    if (start == end)
        return;
    if (Edit(
            start, end, [&](TRichDocument& doc) { return doc.Delete(start, end, Query()); },
            [start] { return start; }))
        SetSelection(start, start);
}

void TRichEdit::UserInserts(const TRichDocument& fragment)
{
    if (readOnly_)
        return;
    int start = selStart_;
    int end = start + fragment.Length();
    if (Edit(
            selStart_, selEnd_, [&](TRichDocument& doc) { return doc.Replace(selStart_, selEnd_, fragment, Query()); },
            [end] { return end; }))
        SetSelection(end, end);
}

void TRichEdit::UserDrops(int pos, const TRichDocument& fragment, int moveFrom, int moveTo)
{
    if (readOnly_ || fragment.IsEmpty())
        return;
    pos = document_.SnapCaret(pos);
    bool move = moveFrom >= 0 && moveTo > moveFrom;
    if (move) {
        document_.SnapRange(moveFrom, moveTo);
        if (pos >= moveFrom && pos <= moveTo)
            return;  // dropped onto itself
        // Both halves of a move are asked about before either happens.
        if (document_.TouchesProtected(moveFrom, moveTo) && !AskProtect(moveFrom, moveTo))
            return;
    }
    int end = pos + fragment.Length();
    TRichEditUndoGroup group(*this);
    if (!Edit(
            pos, pos, [&](TRichDocument& doc) { return doc.Replace(pos, pos, fragment, Query()); },
            [end] { return end; }))
        return;
    if (move) {
        int shift = pos < moveFrom ? fragment.Length() : 0;
        int from = moveFrom + shift, to = moveTo + shift;
        Edit(
            from, to, [&](TRichDocument& doc) { return doc.Delete(from, to, nullptr); }, [from] { return from; });
        if (pos > moveFrom) {
            pos -= moveTo - moveFrom;
            end -= moveTo - moveFrom;
        }
    }
    SetSelection(pos, end);
}

void TRichEdit::UserSelects(int anchor, int caret)
{
    SetSelection(std::min(anchor, caret), std::max(anchor, caret), anchor > caret);
}

TRichDocument TRichEdit::SelectionFragment() const { return document_.Copy(selStart_, selEnd_); }

// ---------------------------------------------------------------------------------------------------------

void RegisterRichEditControls()
{
    RegisterControlClasses();
    RegisterClasses({&TRichEdit::StaticClass()});
}

}  // namespace vcl
