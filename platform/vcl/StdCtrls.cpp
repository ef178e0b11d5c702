// The standard controls' state and behaviour; their widgets are in QtStdCtrls.cpp.
#include "platform/vcl/StdCtrls.h"

#include <algorithm>
#include <cctype>

#include "platform/vcl/Forms.h"

namespace vcl {

using TStoredFn = std::function<bool(const TPersistent&)>;

namespace {

// A colour that follows the parent is not written.
bool ColorStored(const TPersistent& p, TColor defaultColor)
{
    const auto& c = static_cast<const TControl&>(p);
    return !c.ParentColor() && c.Color() != defaultColor;
}

bool HasLineBreak(const AnsiString& s)
{
    return s.find_first_of("\r\n") != AnsiString::npos;
}

// The lines of a text: breaks are CR LF, CR or LF; a break at the very end makes no empty last line.
std::vector<AnsiString> SplitLines(const AnsiString& text)
{
    std::vector<AnsiString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == AnsiString::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TListItems

TListItems::TListItems(TChangedEvent changed) : changed_(std::move(changed)) {}

TListItems::~TListItems() = default;

void TListItems::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        Error(index);
}

void TListItems::Notify(TListChange change, int index)
{
    if (UpdateCount() > 0)
        changedWhileUpdating_ = true;
    if (changed_)
        changed_(change, index);
}

void TListItems::SetUpdateState(bool updating)
{
    if (updating || !changedWhileUpdating_)
        return;
    changedWhileUpdating_ = false;
    Notify(TListChange::Refreshed, -1);
}

void TListItems::Clear()
{
    if (items_.empty())
        return;
    items_.clear();
    Notify(TListChange::Reset, -1);
}

void TListItems::Delete(int index)
{
    CheckIndex(index);
    items_.erase(items_.begin() + index);
    Notify(TListChange::Deleted, index);
}

void TListItems::Insert(int index, const AnsiString& s)
{
    InsertObject(index, s, nullptr);
}

void TListItems::InsertObject(int index, const AnsiString& s, TObject* object)
{
    if (index < 0 || index > Count())
        Error(index);
    items_.insert(items_.begin() + index, TItem{s, object, false});
    Notify(TListChange::Inserted, index);
}

int TListItems::Add(const AnsiString& s)
{
    return AddObject(s, nullptr);
}

int TListItems::AddObject(const AnsiString& s, TObject* object)
{
    int index = sorted_ ? SortedPosition(s) : Count();
    InsertObject(index, s, object);
    return index;
}

int TListItems::SortedPosition(const AnsiString& s) const
{
    auto it = std::upper_bound(items_.begin(), items_.end(), s,
                               [this](const AnsiString& value, const TItem& item) { return CompareStrings(value, item.Text) < 0; });
    return static_cast<int>(it - items_.begin());
}

void TListItems::SortItems()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const TItem& a, const TItem& b) { return CompareStrings(a.Text, b.Text) < 0; });
}

void TListItems::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    if (index1 == index2)
        return;
    std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
    Notify(TListChange::Changed, index1);
    Notify(TListChange::Changed, index2);
}

void TListItems::Move(int curIndex, int newIndex)
{
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (curIndex == newIndex)
        return;
    TItem item = items_[static_cast<size_t>(curIndex)];
    items_.erase(items_.begin() + curIndex);
    Notify(TListChange::Deleted, curIndex);
    items_.insert(items_.begin() + newIndex, item);
    Notify(TListChange::Inserted, newIndex);
}

void TListItems::Assign(const rtl::TStrings& source)
{
    if (&source == this)
        return;
    Delimiter = source.Delimiter;
    QuoteChar = source.QuoteChar;
    NameValueSeparator = source.NameValueSeparator;
    items_.clear();
    items_.reserve(static_cast<size_t>(source.Count()));
    for (int i = 0; i < source.Count(); ++i)
        items_.push_back(TItem{source.Strings(i), source.Objects(i), false});
    if (sorted_)
        SortItems();
    Notify(TListChange::Reset, -1);
}

void TListItems::AddStrings(const rtl::TStrings& strings)
{
    if (strings.Count() == 0)
        return;
    std::vector<TItem> added;
    for (int i = 0; i < strings.Count(); ++i)
        added.push_back(TItem{strings.Strings(i), strings.Objects(i), false});
    items_.insert(items_.end(), added.begin(), added.end());
    if (sorted_)
        SortItems();
    Notify(TListChange::Reset, -1);
}

void TListItems::SetSorted(bool value)
{
    if (sorted_ == value)
        return;
    sorted_ = value;
    if (sorted_ && !items_.empty()) {
        SortItems();
        Notify(TListChange::Reset, -1);
    }
}

bool TListItems::Selected(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].Selected;
}

void TListItems::SetSelected(int index, bool value)
{
    CheckIndex(index);
    items_[static_cast<size_t>(index)].Selected = value;
}

AnsiString TListItems::Get(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].Text;
}

void TListItems::Put(int index, const AnsiString& s)
{
    CheckIndex(index);
    items_[static_cast<size_t>(index)].Text = s;
    Notify(TListChange::Changed, index);
}

TObject* TListItems::GetObject(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].Object;
}

void TListItems::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    items_[static_cast<size_t>(index)].Object = object;
}

void TListItems::SetStringsBulk(std::vector<AnsiString>&& lines)
{
    items_.clear();
    items_.reserve(lines.size());
    for (AnsiString& line : lines)
        items_.push_back(TItem{std::move(line), nullptr, false});
    if (sorted_)
        SortItems();
    Notify(TListChange::Reset, -1);
}

// ---------------------------------------------------------------------------------------------------------
// TCustomLabel

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomLabel)

VCL_IMPLEMENT_CLASS(TLabel)

void TLabel::RegisterProperties(TClassDef<TLabel>& def)
{
    def.Property("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment, taLeftJustify);
    def.Property("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize, true);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("Color", &TControl::Color, &TControl::SetColor)
        .Stored(TStoredFn([](const TPersistent& p) { return ColorStored(p, clBtnFace); }));
    def.Property("DragCursor", &TCustomLabel::DragCursor, &TCustomLabel::SetDragCursor, crDrag);
    def.Property("DragMode", &TCustomLabel::DragMode, &TCustomLabel::SetDragMode, dmManual);
    def.Property("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
    def.Property("Layout", &TCustomLabel::Layout, &TCustomLabel::SetLayout, tlTop);
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
    def.Property("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar, true);
    def.Property("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent, false);
    def.Property("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap, false);
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TCustomLabel::SetAlignment(TAlignment value)
{
    if (alignment_ == value)
        return;
    alignment_ = value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool value)
{
    if (autoSize_ == value)
        return;
    autoSize_ = value;
    AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool value)
{
    if (wordWrap_ == value)
        return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool value)
{
    if (transparent_ == value)
        return;
    transparent_ = value;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value)
{
    if (layout_ == value)
        return;
    layout_ = value;
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value)
{
    if (showAccelChar_ == value)
        return;
    showAccelChar_ = value;
    AdjustBounds();
    Invalidate();
}

namespace {

// The character after the caption's lone "&" ("&&" is an ampersand), upper-cased; 0 when there is none.
char AcceleratorOf(const AnsiString& caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
        ++i;
    }
    return 0;
}

}  // namespace

bool TCustomLabel::DialogKey(uint16_t key, TShiftState shift)
{
    if (!shift.Contains(ssAlt) || !showAccelChar_ || !focusControl_ || key > 0xFF)
        return false;
    const char accelerator = AcceleratorOf(Caption());
    if (accelerator == 0 || accelerator != static_cast<char>(key) || !focusControl_->CanFocus())
        return false;
    focusControl_->SetFocus();
    return true;
}

void TCustomLabel::TextChanged()
{
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::FontChanged()
{
    TGraphicControl::FontChanged();
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::Loaded()
{
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::DoDrawText(TRect& rect, unsigned flags)
{
    AnsiString text = Caption();
    // An empty caption still measures one line (as "&" would not).
    if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&")))
        text = " ";
    if (!showAccelChar_)
        flags |= DT_NOPREFIX;
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    if (!Enabled() && !(flags & DT_CALCRECT)) {
        TRect shifted = rect;
        shifted.Left += 1;
        shifted.Top += 1;
        shifted.Right += 1;
        shifted.Bottom += 1;
        canvas->Font()->SetColor(clBtnHighlight);
        canvas->DrawText(text, shifted, flags);
        canvas->Font()->SetColor(clBtnShadow);
    }
    canvas->DrawText(text, rect, flags);
}

void TCustomLabel::Paint()
{
    TCanvas* canvas = Canvas();
    TRect rect = ClientRect();
    if (!transparent_) {
        canvas->Brush()->SetColor(Color());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->FillRect(rect);
    }
    canvas->Brush()->SetStyle(bsClear);
    unsigned flags = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0u);
    flags |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
    if (layout_ != tlTop) {
        TRect measured = rect;
        DoDrawText(measured, flags | DT_CALCRECT);
        int offset = rect.Height() - measured.Height();
        rect.Top += layout_ == tlBottom ? offset : offset / 2;
    }
    DoDrawText(rect, flags);
}

void TCustomLabel::AdjustBounds()
{
    if (!autoSize_ || IsLoading() || IsDestroying())
        return;
    TRect rect = ClientRect();
    if (!wordWrap_)
        rect.Right = rect.Left + 32767;
    DoDrawText(rect, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0u));
    int left = Left();
    if (alignment_ == taRightJustify)
        left += Width() - rect.Width();
    SetBounds(left, Top(), rect.Width(), rect.Height());
}

// ---------------------------------------------------------------------------------------------------------
// TButton

VCL_IMPLEMENT_CLASS(TButton)

void TButton::RegisterProperties(TClassDef<TButton>& def)
{
    def.Property("Cancel", &TButton::Cancel, &TButton::SetCancel, false);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("Default", &TButton::Default, &TButton::SetDefault, false);
    def.Property("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
}

TButton::TButton(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TButton::SetDefault(bool value)
{
    if (default_ == value)
        return;
    default_ = value;
    UpdatePeer(paDefault);
}

void TButton::Click()
{
    if (TCustomForm* form = GetParentForm(this))
        form->SetModalResult(modalResult_);
    inherited::Click();
}

bool TButton::DialogKey(uint16_t key, TShiftState)
{
    if (key == VK_RETURN) {
        TCustomForm* form = GetParentForm(this);
        TWinControl* focused = form ? form->FocusedControl() : nullptr;
        if (focused == this || (default_ && !dynamic_cast<TButton*>(focused))) {
            Click();
            return true;
        }
    } else if (key == VK_ESCAPE && cancel_) {
        Click();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// TCustomEdit

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomEdit)

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
    SetColor(clWindow);
}

void TCustomEdit::SetReadOnly(bool value)
{
    if (readOnly_ == value)
        return;
    readOnly_ = value;
    UpdatePeer(paReadOnly);
}

void TCustomEdit::SetMaxLength(int value)
{
    value = std::max(value, 0);
    if (maxLength_ == value)
        return;
    maxLength_ = value;
    UpdatePeer(paMaxLength);
}

void TCustomEdit::SetCharCase(TEditCharCase value)
{
    if (charCase_ == value)
        return;
    charCase_ = value;
    SetText(ApplyCharCase(Text()));
}

void TCustomEdit::SetBorderStyle(TBorderStyle value)
{
    if (borderStyle_ == value)
        return;
    borderStyle_ = value;
    UpdatePeer(paBorder);
}

AnsiString TCustomEdit::ApplyCharCase(const AnsiString& text) const
{
    switch (charCase_) {
    case ecUpperCase: return rtl::AnsiUpperCase(text);
    case ecLowerCase: return rtl::AnsiLowerCase(text);
    default: return text;
    }
}

void TCustomEdit::TextChanged()
{
    AnsiString cased = ApplyCharCase(Text());
    if (cased != Text()) {
        SetText(cased);  // comes back here once with the cased text
        return;
    }
    if (!fromWidget_) {
        // As a window's new text does: the caret goes to the start.
        if (!keepSelection_)
            selStart_ = selLength_ = 0;
        TextToPeer();
    }
    ClampSelection();
    Change();
}

void TCustomEdit::Change()
{
    if (IsLoading() || IsDestroying())
        return;
    if (OnChange)
        OnChange(this);
}

void TCustomEdit::ClampSelection()
{
    int length = static_cast<int>(Text().size());
    selStart_ = std::clamp(selStart_, 0, length);
    selLength_ = std::clamp(selLength_, 0, length - selStart_);
}

void TCustomEdit::SetSelStart(int value)
{
    selStart_ = value;
    selLength_ = 0;
    ClampSelection();
    UpdatePeer(paSelection);
}

void TCustomEdit::SetSelLength(int value)
{
    selLength_ = value;
    ClampSelection();
    UpdatePeer(paSelection);
}

AnsiString TCustomEdit::SelText() const
{
    return Text().substr(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_));
}

void TCustomEdit::SetSelText(const AnsiString& value)
{
    const AnsiString& text = Text();
    AnsiString changed = text.substr(0, static_cast<size_t>(selStart_)) + value +
                         text.substr(static_cast<size_t>(selStart_ + selLength_));
    int caret = selStart_ + static_cast<int>(value.size());
    keepSelection_ = true;
    try {
        SetText(changed);
    } catch (...) {
        keepSelection_ = false;
        throw;
    }
    keepSelection_ = false;
    selStart_ = caret;
    selLength_ = 0;
    ClampSelection();
    UpdatePeer(paSelection);
}

void TCustomEdit::SelectAll()
{
    selStart_ = 0;
    selLength_ = static_cast<int>(Text().size());
    UpdatePeer(paSelection);
}

void TCustomEdit::TextEditedByUser(const AnsiString& text, int selStart, int selLength)
{
    modified_ = true;
    fromWidget_ = true;
    try {
        selStart_ = selStart;
        selLength_ = selLength;
        SetText(text);
    } catch (...) {
        fromWidget_ = false;
        throw;
    }
    fromWidget_ = false;
    selStart_ = selStart;
    selLength_ = selLength;
    ClampSelection();
}

void TCustomEdit::SelectionChangedByUser(int selStart, int selLength)
{
    selStart_ = selStart;
    selLength_ = selLength;
    ClampSelection();
}

// ---------------------------------------------------------------------------------------------------------
// TEdit

VCL_IMPLEMENT_CLASS(TEdit)

void TEdit::RegisterProperties(TClassDef<TEdit>& def)
{
    def.Property("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect, true);
    def.Property("BorderStyle", &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle, bsSingle);
    def.Property("CharCase", &TCustomEdit::CharCase, &TCustomEdit::SetCharCase, ecNormal);
    def.Property("Color", &TControl::Color, &TControl::SetColor, clWindow);
    def.Property("HideSelection", &TCustomEdit::HideSelection, &TCustomEdit::SetHideSelection, true);
    def.Property("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0);
    def.Property("PasswordChar", &TEdit::PasswordChar, &TEdit::SetPasswordChar, '\0');
    def.Property("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Property("Text", &TControl::Text, &TControl::SetText, AnsiString());
    def.Event("OnChange", &TCustomEdit::OnChange);
}

TEdit::TEdit(TComponent* owner) : TCustomEdit(owner) {}

void TEdit::SetPasswordChar(char value)
{
    if (passwordChar_ == value)
        return;
    passwordChar_ = value;
    UpdatePeer(paPassword);
}

// ---------------------------------------------------------------------------------------------------------
// TMemo and its lines

int TMemoLines::Count() const
{
    return static_cast<int>(memo_.LineCache().size());
}

AnsiString TMemoLines::Get(int index) const
{
    const std::vector<AnsiString>& lines = memo_.LineCache();
    if (index < 0 || index >= static_cast<int>(lines.size()))
        Error(index);
    return lines[static_cast<size_t>(index)];
}

void TMemoLines::Put(int index, const AnsiString& s)
{
    std::vector<AnsiString>& lines = memo_.LineCache();
    if (index < 0 || index >= static_cast<int>(lines.size()))
        Error(index);
    lines[static_cast<size_t>(index)] = s;
    memo_.LinesChanged(nullptr, HasLineBreak(s));
}

void TMemoLines::Clear()
{
    memo_.LineCache().clear();
    memo_.LinesChanged(nullptr, false);
}

void TMemoLines::Delete(int index)
{
    std::vector<AnsiString>& lines = memo_.LineCache();
    if (index < 0 || index >= static_cast<int>(lines.size()))
        Error(index);
    lines.erase(lines.begin() + index);
    memo_.LinesChanged(nullptr, false);
}

void TMemoLines::Insert(int index, const AnsiString& s)
{
    std::vector<AnsiString>& lines = memo_.LineCache();
    if (index < 0 || index > static_cast<int>(lines.size()))
        Error(index);
    bool atEnd = index == static_cast<int>(lines.size());
    lines.insert(lines.begin() + index, s);
    bool breaks = HasLineBreak(s);
    memo_.LinesChanged(atEnd && !breaks ? &s : nullptr, breaks);
}

void TMemoLines::SetUpdateState(bool updating)
{
    if (!updating)
        memo_.FlushLines();
}

void TMemoLines::SetStringsBulk(std::vector<AnsiString>&& lines)
{
    memo_.LineCache() = std::move(lines);
    memo_.LinesChanged(nullptr, false);
}

VCL_IMPLEMENT_CLASS(TMemo)

void TMemo::RegisterProperties(TClassDef<TMemo>& def)
{
    def.Property("Alignment", &TMemo::Alignment, &TMemo::SetAlignment, taLeftJustify);
    def.Property("BorderStyle", &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle, bsSingle);
    def.Property("Color", &TControl::Color, &TControl::SetColor, clWindow);
    def.Property("HideSelection", &TCustomEdit::HideSelection, &TCustomEdit::SetHideSelection, true);
    def.Property("Lines", &TMemo::Lines, &TMemo::SetLines);
    def.Property("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0);
    def.Property("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false);
    def.Property("ScrollBars", &TMemo::ScrollBars, &TMemo::SetScrollBars, ssNone);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Property("WantReturns", &TMemo::WantReturns, &TMemo::SetWantReturns, true);
    def.Property("WantTabs", &TMemo::WantTabs, &TMemo::SetWantTabs, false);
    def.Property("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap, true);
    def.Event("OnChange", &TCustomEdit::OnChange);
}

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner), lines_(std::make_unique<TMemoLines>(*this))
{
    SetBounds(0, 0, 185, 89);
}

TMemo::~TMemo()
{
    Destroying();
    DestroyPeer();
}

std::vector<AnsiString>& TMemo::LineCache() const
{
    if (!cacheValid_) {
        cache_ = SplitLines(Text());
        cacheValid_ = true;
    }
    return cache_;
}

void TMemo::LinesChanged(const AnsiString* appended, bool reparse)
{
    reparsePending_ = reparsePending_ || reparse;
    if (lines_->UpdateCount() > 0) {
        linesPending_ = true;
        appendedLine_.clear();
        return;
    }
    appending_ = appended != nullptr;
    if (appended)
        appendedLine_ = *appended;
    linesPending_ = true;
    FlushLines();
}

void TMemo::FlushLines()
{
    if (!linesPending_)
        return;
    linesPending_ = false;
    // The widget can take one appended line on its own when its text ends with a line break.
    const AnsiString& old = Text();
    if (appending_ && !(old.empty() || old.back() == '\n'))
        appending_ = false;
    AnsiString joined;
    size_t total = 0;
    for (const AnsiString& line : cache_)
        total += line.size() + 2;
    joined.reserve(total);
    for (const AnsiString& line : cache_) {
        joined += line;
        joined += "\r\n";
    }
    fromLines_ = true;
    try {
        SetText(joined);
    } catch (...) {
        fromLines_ = appending_ = false;
        throw;
    }
    fromLines_ = appending_ = false;
    if (reparsePending_) {
        reparsePending_ = false;
        cacheValid_ = false;
    }
}

void TMemo::TextChanged()
{
    if (!fromLines_)
        cacheValid_ = false;
    TCustomEdit::TextChanged();
}

void TMemo::TextToPeer()
{
    UpdatePeer(appending_ ? static_cast<int>(paAppendLine) : static_cast<int>(paText));
}

void TMemo::SetScrollBars(TScrollStyle value)
{
    if (scrollBars_ == value)
        return;
    scrollBars_ = value;
    UpdatePeer(paScrollBars);
}

void TMemo::SetWordWrap(bool value)
{
    if (wordWrap_ == value)
        return;
    wordWrap_ = value;
    UpdatePeer(paWordWrap);
}

void TMemo::SetWantTabs(bool value)
{
    if (wantTabs_ == value)
        return;
    wantTabs_ = value;
    UpdatePeer(paWantTabs);
}

void TMemo::SetAlignment(TAlignment value)
{
    if (alignment_ == value)
        return;
    alignment_ = value;
    UpdatePeer(paAlignment);
}

void TMemo::KeyPress(char& key)
{
    TCustomEdit::KeyPress(key);
    if (key == '\r' && !wantReturns_)
        key = 0;
}

bool TMemo::WantsKey(uint16_t key, TShiftState) const
{
    if (key == VK_RETURN)
        return wantReturns_;
    if (key == VK_TAB)
        return wantTabs_;
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// TCheckBox

VCL_IMPLEMENT_CLASS(TCheckBox)

void TCheckBox::RegisterProperties(TClassDef<TCheckBox>& def)
{
    def.Property("Alignment", &TCheckBox::Alignment, &TCheckBox::SetAlignment, taRightJustify);
    def.Property("AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed, false);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked).Stored(false);
    def.Property("Color", &TControl::Color, &TControl::SetColor)
        .Stored(TStoredFn([](const TPersistent& p) { return ColorStored(p, clBtnFace); }));
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
    def.Property("State", &TCheckBox::State, &TCheckBox::SetState, cbUnchecked);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
    SetParentColor(true);
}

void TCheckBox::SetState(TCheckBoxState value)
{
    if (state_ == value)
        return;
    state_ = value;
    UpdatePeer(paState);
    if (!IsLoading())
        Click();
}

void TCheckBox::SetAllowGrayed(bool value)
{
    if (allowGrayed_ == value)
        return;
    allowGrayed_ = value;
    UpdatePeer(paState);
}

void TCheckBox::SetAlignment(TAlignment value)
{
    if (alignment_ == value)
        return;
    alignment_ = value;
    UpdatePeer(paAlignment);
}

void TCheckBox::Toggle()
{
    switch (state_) {
    case cbUnchecked: SetState(cbChecked); break;
    case cbChecked: SetState(allowGrayed_ ? cbGrayed : cbUnchecked); break;
    default: SetState(cbUnchecked); break;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TRadioButton

VCL_IMPLEMENT_CLASS(TRadioButton)

void TRadioButton::RegisterProperties(TClassDef<TRadioButton>& def)
{
    def.Property("Alignment", &TRadioButton::Alignment, &TRadioButton::SetAlignment, taRightJustify);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked, false);
    def.Property("Color", &TControl::Color, &TControl::SetColor)
        .Stored(TStoredFn([](const TPersistent& p) { return ColorStored(p, clBtnFace); }));
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 113, 17);
    SetTabStop(true);
    SetParentColor(true);
}

void TRadioButton::SetChecked(bool value)
{
    if (checked_ == value)
        return;
    checked_ = value;
    UpdatePeer(paChecked);
    if (!value)
        return;
    if (TWinControl* parent = Parent()) {
        for (int i = 0; i < parent->ControlCount(); ++i) {
            if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other != this)
                other->SetChecked(false);
        }
    }
    if (!IsLoading())
        Click();
}

void TRadioButton::SetAlignment(TAlignment value)
{
    if (alignment_ == value)
        return;
    alignment_ = value;
    UpdatePeer(paAlignment);
}

// ---------------------------------------------------------------------------------------------------------
// TComboBox

VCL_IMPLEMENT_CLASS(TComboBox)

void TComboBox::RegisterProperties(TClassDef<TComboBox>& def)
{
    def.Property("Color", &TControl::Color, &TControl::SetColor, clWindow);
    def.Property("DropDownCount", &TComboBox::DropDownCount, &TComboBox::SetDropDownCount, 8);
    def.Property("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex, -1);
    def.Property("Items", &TComboBox::Items, &TComboBox::SetItems);
    def.Property("MaxLength", &TComboBox::MaxLength, &TComboBox::SetMaxLength, 0);
    def.Property("Sorted", &TComboBox::Sorted, &TComboBox::SetSorted, false);
    def.Property("Style", &TComboBox::Style, &TComboBox::SetStyle, csDropDown);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Property("Text", &TControl::Text, &TControl::SetText, AnsiString());
    def.Event("OnChange", &TComboBox::OnChange);
    def.Event("OnDropDown", &TComboBox::OnDropDown);
}

int IndexAfterListChange(int selected, TListChange change, int index)
{
    switch (change) {
    case TListChange::Inserted:
        return selected >= index ? selected + 1 : selected;
    case TListChange::Deleted:
        return selected == index ? -1 : selected > index ? selected - 1 : selected;
    case TListChange::Reset:
        return -1;
    case TListChange::Changed:
    case TListChange::Refreshed:
        break;
    }
    return selected;
}

TComboBox::TComboBox(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TListItems>([this](TListChange change, int index) { ItemsChanged(change, index); }))
{
    SetBounds(0, 0, 145, 21);
    SetTabStop(true);
    SetColor(clWindow);
}

TComboBox::~TComboBox()
{
    Destroying();
    DestroyPeer();
}

void TComboBox::ItemsChanged(TListChange change, int index)
{
    itemIndex_ = IndexAfterListChange(itemIndex_, change, index);
    if (items_->UpdateCount() > 0)
        return;  // the widget hears of it once, when the update ends
    lastChange_ = change;
    lastChangeIndex_ = index;
    UpdatePeer(paItems);
}

void TComboBox::SetItemIndex(int value)
{
    if (IsLoading()) {
        // A resource gives the index before the items; Loaded applies it.
        loadedItemIndex_ = value;
        return;
    }
    if (value < -1 || value >= items_->Count())
        value = -1;
    itemIndex_ = value;
    syncing_ = true;
    try {
        SetText(value >= 0 ? items_->Strings(value) : AnsiString());
    } catch (...) {
        syncing_ = false;
        throw;
    }
    syncing_ = false;
    UpdatePeer(paItemIndex);
}

void TComboBox::Loaded()
{
    TWinControl::Loaded();
    if (loadedItemIndex_ >= 0)
        SetItemIndex(loadedItemIndex_);
    loadedItemIndex_ = -1;
}

void TComboBox::TextChanged()
{
    if (!syncing_) {
        // The text names the item it matches (without regard to case), if any.
        int found = -1;
        for (int i = 0; i < items_->Count() && found < 0; ++i) {
            if (rtl::AnsiSameText(items_->Strings(i), Text()))
                found = i;
        }
        itemIndex_ = found;
        if (!fromWidget_)
            UpdatePeer(paItemIndex);
    }
    if (!fromWidget_)
        UpdatePeer(paText);
}

void TComboBox::SetStyle(TComboBoxStyle value)
{
    if (style_ == value)
        return;
    style_ = value;
    UpdatePeer(paStyle);
}

void TComboBox::SetSorted(bool value)
{
    items_->SetSorted(value);
}

void TComboBox::SetMaxLength(int value)
{
    maxLength_ = std::max(value, 0);
    UpdatePeer(paMaxLength);
}

void TComboBox::Clear()
{
    items_->Clear();
    SetText(AnsiString());
}

void TComboBox::Change()
{
    if (IsLoading() || IsDestroying())
        return;
    if (OnChange)
        OnChange(this);
}

void TComboBox::ItemSelectedByUser(int index)
{
    if (index < 0 || index >= items_->Count())
        return;
    itemIndex_ = index;
    fromWidget_ = syncing_ = true;
    try {
        SetText(items_->Strings(index));
    } catch (...) {
        fromWidget_ = syncing_ = false;
        throw;
    }
    fromWidget_ = syncing_ = false;
    UpdatePeer(paText);
    Click();
    Change();
}

void TComboBox::TextEditedByUser(const AnsiString& text)
{
    fromWidget_ = true;
    try {
        SetText(text);
    } catch (...) {
        fromWidget_ = false;
        throw;
    }
    fromWidget_ = false;
    Change();
}

// ---------------------------------------------------------------------------------------------------------
// TListBox

VCL_IMPLEMENT_CLASS(TListBox)

void TListBox::RegisterProperties(TClassDef<TListBox>& def)
{
    def.Property("BorderStyle", &TListBox::BorderStyle, &TListBox::SetBorderStyle, bsSingle);
    def.Property("Color", &TControl::Color, &TControl::SetColor, clWindow);
    def.Property("DragMode", &TListBox::DragMode, &TListBox::SetDragMode, dmManual);
    def.Property("ExtendedSelect", &TListBox::ExtendedSelect, &TListBox::SetExtendedSelect, true);
    def.Property("IntegralHeight", &TListBox::IntegralHeight, &TListBox::SetIntegralHeight, false);
    def.Property("ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight, 13);
    def.Property("Items", &TListBox::Items, &TListBox::SetItems);
    def.Property("MultiSelect", &TListBox::MultiSelect, &TListBox::SetMultiSelect, false);
    def.Property("Sorted", &TListBox::Sorted, &TListBox::SetSorted, false);
    def.Property("Style", &TListBox::Style, &TListBox::SetStyle, lbStandard);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
}

TListBox::TListBox(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TListItems>([this](TListChange change, int index) { ItemsChanged(change, index); }))
{
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetColor(clWindow);
}

TListBox::~TListBox()
{
    Destroying();
    DestroyPeer();
}

void TListBox::ItemsChanged(TListChange change, int index)
{
    itemIndex_ = IndexAfterListChange(itemIndex_, change, index);
    if (change == TListChange::Reset)
        topIndex_ = 0;
    topIndex_ = std::clamp(topIndex_, 0, std::max(items_->Count() - 1, 0));
    if (items_->UpdateCount() > 0)
        return;  // the widget hears of it once, when the update ends
    lastChange_ = change;
    lastChangeIndex_ = index;
    UpdatePeer(paItems);
    if (change == TListChange::Refreshed)
        UpdatePeer(paTopIndex);
}

void TListBox::SetItemIndex(int value)
{
    if (value < -1 || value >= items_->Count())
        value = -1;
    if (!multiSelect_) {
        if (itemIndex_ == value)
            return;
        if (itemIndex_ >= 0)
            items_->SetSelected(itemIndex_, false);
        if (value >= 0)
            items_->SetSelected(value, true);
    } else if (value >= 0) {
        items_->SetSelected(value, true);
    }
    itemIndex_ = value;
    UpdatePeer(paSelection);
}

void TListBox::SetMultiSelect(bool value)
{
    if (multiSelect_ == value)
        return;
    multiSelect_ = value;
    // Into several: the one selected item stays selected. Into one: only ItemIndex is.
    for (int i = 0; i < items_->Count(); ++i)
        items_->SetSelected(i, multiSelect_ ? items_->Selected(i) : i == itemIndex_);
    UpdatePeer(paMultiSelect);
}

void TListBox::SetExtendedSelect(bool value)
{
    if (extendedSelect_ == value)
        return;
    extendedSelect_ = value;
    UpdatePeer(paMultiSelect);
}

bool TListBox::Selected(int index) const
{
    if (index < 0 || index >= items_->Count())
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    return multiSelect_ ? items_->Selected(index) : index == itemIndex_;
}

void TListBox::SetSelected(int index, bool value)
{
    if (index < 0 || index >= items_->Count())
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    if (!multiSelect_) {
        if (value)
            SetItemIndex(index);
        else if (index == itemIndex_)
            SetItemIndex(-1);
        return;
    }
    items_->SetSelected(index, value);
    UpdatePeer(paSelection);
}

int TListBox::SelCount() const
{
    if (!multiSelect_)
        return -1;
    int count = 0;
    for (int i = 0; i < items_->Count(); ++i)
        count += items_->Selected(i) ? 1 : 0;
    return count;
}

void TListBox::SetSorted(bool value)
{
    items_->SetSorted(value);
}

void TListBox::SetItemHeight(int value)
{
    if (value <= 0 || itemHeight_ == value)
        return;
    itemHeight_ = value;
    UpdatePeer(paItemHeight);
}

void TListBox::SetBorderStyle(TBorderStyle value)
{
    if (borderStyle_ == value)
        return;
    borderStyle_ = value;
    UpdatePeer(paBorder);
}

int TListBox::TopIndex() const
{
    return topIndex_;
}

void TListBox::SetTopIndex(int value)
{
    topIndex_ = std::clamp(value, 0, std::max(items_->Count() - 1, 0));
    UpdatePeer(paTopIndex);
}

int TListBox::ItemAtPos(TPoint pos, bool existing) const
{
    int fromWidget = PeerItemAtPos(pos);
    int index = fromWidget;
    if (fromWidget == -2) {
        if (pos.Y < 0 || pos.X < 0 || pos.X >= ClientWidth())
            return -1;
        index = topIndex_ + pos.Y / itemHeight_;
        if (index >= items_->Count())
            index = -1;
    }
    if (index < 0)
        return existing ? -1 : items_->Count();
    return index;
}

TRect TListBox::ItemRect(int index) const
{
    int top = (index - topIndex_) * itemHeight_;
    return Rect(0, top, ClientWidth(), top + itemHeight_);
}

void TListBox::SelectedByUser(int index, const std::vector<int>& selected)
{
    if (index >= items_->Count())
        index = -1;
    if (multiSelect_) {
        for (int i = 0; i < items_->Count(); ++i)
            items_->SetSelected(i, false);
        for (int i : selected) {
            if (i >= 0 && i < items_->Count())
                items_->SetSelected(i, true);
        }
    } else {
        if (itemIndex_ >= 0 && itemIndex_ < items_->Count())
            items_->SetSelected(itemIndex_, false);
        if (index >= 0)
            items_->SetSelected(index, true);
    }
    itemIndex_ = index;
    Click();
}

// ---------------------------------------------------------------------------------------------------------
// TGroupBox

VCL_IMPLEMENT_CLASS(TGroupBox)

void TGroupBox::RegisterProperties(TClassDef<TGroupBox>& def)
{
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("Color", &TControl::Color, &TControl::SetColor)
        .Stored(TStoredFn([](const TPersistent& p) { return ColorStored(p, clBtnFace); }));
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
}

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 185, 105);
    SetParentColor(true);
}

TRect TGroupBox::AlignRect() const
{
    TCanvas measure;
    measure.Font()->Assign(Font());
    TRect r = TCustomControl::AlignRect();
    r.Top += measure.TextHeight("0");
    r.Left += 2;
    r.Right -= 2;
    r.Bottom -= 2;
    return r;
}

void TGroupBox::TextChanged()
{
    Invalidate();
}

void TGroupBox::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    int textHeight = canvas->TextHeight("0");
    TRect frame = Rect(0, textHeight / 2 - 1, Width(), Height());
    // An etched frame: shadow, then highlight one pixel in.
    TRect outer = frame;
    Frame3D(canvas, outer, clBtnShadow, clBtnHighlight, 1);
    TRect inner = Rect(frame.Left + 1, frame.Top + 1, frame.Right, frame.Bottom);
    Frame3D(canvas, inner, clBtnHighlight, clBtnShadow, 1);
    if (!Caption().empty()) {
        TRect text = Rect(8, 0, 0, textHeight);
        canvas->DrawText(Caption(), text, DT_CALCRECT | DT_SINGLELINE);
        text.Left -= 2;
        text.Right += 2;
        canvas->Brush()->SetColor(Color());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->FillRect(text);
        text.Left += 2;
        canvas->Brush()->SetStyle(bsClear);
        canvas->DrawText(Caption(), text, DT_SINGLELINE | DT_LEFT);
    }
}

}  // namespace vcl
