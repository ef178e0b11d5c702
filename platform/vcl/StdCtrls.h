#pragma once
// The standard controls: labels, push buttons, edits and memos, check boxes and radio buttons, combo and
// list boxes, group boxes. Each keeps its state in plain members (usable before it has a widget, and in
// tests without one) and tells its widget about changes through its peer (QtStdCtrls.cpp).
//
//   auto* lst = new vcl::TListBox(form);
//   lst->SetParent(form);
//   lst->Items()->AddObject("Intro", page);     // an object per item, not owned
//   lst->SetItemIndex(0);                       // from code: no OnClick (a user's click fires it)
//   lst->ItemAtPos(vcl::Point(5, 20), true);    // the item under a point, -1 below the last
//
//   memo->Lines()->Add("line");                 // Lines and Text are two views of one text
//   memo->Text();                               // "line\r\n"
//
// Events fire for what a user does; setting a property from code fires only what the classic controls
// fire (a check box's OnClick when Checked changes, an edit's OnChange when its text changes), and
// nothing while the control is being loaded from a resource.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/GraphicsCanvas.h"

namespace vcl {

VCL_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth)
VCL_ENUM(TTextLayout, tlTop, tlCenter, tlBottom)
VCL_ENUM(TEditCharCase, ecNormal, ecUpperCase, ecLowerCase)
VCL_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed)
VCL_ENUM(TComboBoxStyle, csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable)
VCL_ENUM(TListBoxStyle, lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable)
VCL_ENUM(TDragMode, dmManual, dmAutomatic)

// ---------------------------------------------------------------------------------------------------------
// Items of list and combo boxes

// Refreshed: the changes made between BeginUpdate and EndUpdate, told once at the end; the control heard
// each of them already (for its selection) but shows the list only now.
enum class TListChange { Inserted, Deleted, Changed, Reset, Refreshed };

// Where the selected item `selected` (-1 for none) stands after a change at `index`: it follows an insert
// or a delete before it, and is lost when it is deleted itself or the list is reset.
int IndexAfterListChange(int selected, TListChange change, int index);

// Strings with an object each (not owned) and, for multi-selection list boxes, a selected flag each. The
// owning control hears of every change, one item at a time (Reset after bulk changes and sorting); between
// BeginUpdate and EndUpdate it keeps its widget as it is, and Refreshed at the end shows every change at
// once, so adding many items costs no more than adding them to a hidden list.
class TListItems : public rtl::TStrings {
public:
    using TChangedEvent = std::function<void(TListChange change, int index)>;
    explicit TListItems(TChangedEvent changed);
    ~TListItems() override;

    int Count() const override { return static_cast<int>(items_.size()); }
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const AnsiString& s) override;
    void InsertObject(int index, const AnsiString& s, TObject* object) override;
    // In a sorted list, at the place the text sorts to (after equal texts).
    int Add(const AnsiString& s) override;
    int AddObject(const AnsiString& s, TObject* object) override;
    void Exchange(int index1, int index2) override;
    void Move(int curIndex, int newIndex) override;
    // Whole-list changes, told as one Reset (and sorted in one step).
    void Assign(const rtl::TStrings& source) override;
    void AddStrings(const rtl::TStrings& strings) override;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    bool Selected(int index) const;
    void SetSelected(int index, bool value);

protected:
    AnsiString Get(int index) const override;
    void Put(int index, const AnsiString& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void SetStringsBulk(std::vector<AnsiString>&& lines) override;
    void SetUpdateState(bool updating) override;

private:
    struct TItem {
        AnsiString Text;
        TObject* Object = nullptr;
        bool Selected = false;
    };
    void CheckIndex(int index) const;
    void Notify(TListChange change, int index);
    int SortedPosition(const AnsiString& s) const;
    void SortItems();

    std::vector<TItem> items_;
    bool sorted_ = false;
    bool changedWhileUpdating_ = false;
    TChangedEvent changed_;
};

// ---------------------------------------------------------------------------------------------------------
// Labels

class TCustomLabel : public TGraphicControl {
    VCL_CLASS(TCustomLabel, TGraphicControl)
public:
    explicit TCustomLabel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    // The control an accelerator ("&Name") of the caption focuses.
    TWinControl* FocusControl() const { return focusControl_.get(); }
    void SetFocusControl(TWinControl* value) { focusControl_ = value; }
    TDragMode DragMode() const { return dragMode_; }
    void SetDragMode(TDragMode value) { dragMode_ = value; }
    TCursor DragCursor() const { return dragCursor_; }
    void SetDragCursor(TCursor value) { dragCursor_ = value; }

    void Loaded() override;
    // Fits the bounds to the caption (AutoSize), keeping the side the alignment holds.
    void AdjustBounds();
    // Alt and the caption's accelerator focuses FocusControl.
    bool DialogKey(uint16_t key, TShiftState shift) override;

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void Paint() override;
    // Draws (or with DT_CALCRECT measures) the caption in `rect` on the canvas.
    virtual void DoDrawText(TRect& rect, unsigned flags);
    void TextChanged() override;
    void FontChanged() override;

private:
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    bool transparent_ = false;
    TTextLayout layout_ = tlTop;
    bool showAccelChar_ = true;
    TComponentRef<TWinControl> focusControl_;
    TDragMode dragMode_ = dmManual;
    TCursor dragCursor_ = crDrag;
};

class TLabel : public TCustomLabel {
    VCL_CLASS(TLabel, TCustomLabel)
public:
    explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// ---------------------------------------------------------------------------------------------------------
// Push buttons

class TButton : public TWinControl {
    VCL_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);

    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    // The form's ModalResult (which closes a modal form), then OnClick.
    void Click() override;
    // Return clicks the focused button, else the default one; Escape the cancel button.
    bool DialogKey(uint16_t key, TShiftState shift) override;

    enum { paDefault = paFirstCustom, paGlyph };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    bool default_ = false;
    bool cancel_ = false;
    TModalResult modalResult_ = mrNone;
};

// ---------------------------------------------------------------------------------------------------------
// Edits and memos

class TCustomEdit : public TWinControl {
    VCL_CLASS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* owner);

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    // 0: no limit. Applies to what the user types.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool value) { autoSelect_ = value; }
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool value) { hideSelection_ = value; }
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    // 0-based character positions in Text.
    int SelStart() const { return selStart_; }
    void SetSelStart(int value);
    int SelLength() const { return selLength_; }
    void SetSelLength(int value);
    AnsiString SelText() const;
    // Replaces the selection; the caret goes behind the new text.
    void SetSelText(const AnsiString& value);
    void SelectAll();
    void ClearSelection() { SetSelText(AnsiString()); }
    void Clear() { SetText(AnsiString()); }

    TNotifyEvent OnChange;

    // ---- the widget side
    // The user changed the text (and the caret); OnChange follows.
    void TextEditedByUser(const AnsiString& text, int selStart, int selLength);
    void SelectionChangedByUser(int selStart, int selLength);

    enum { paReadOnly = paFirstCustom, paMaxLength, paSelection, paBorder, paFirstEditCustom };

protected:
    void TextChanged() override;
    // Tells the widget of the new text.
    virtual void TextToPeer() { UpdatePeer(paText); }
    virtual void Change();
    AnsiString ApplyCharCase(const AnsiString& text) const;

private:
    void ClampSelection();

    bool readOnly_ = false;
    int maxLength_ = 0;
    TEditCharCase charCase_ = ecNormal;
    TBorderStyle borderStyle_ = bsSingle;
    bool autoSelect_ = true;
    bool hideSelection_ = true;
    bool modified_ = false;
    int selStart_ = 0;
    int selLength_ = 0;
    bool fromWidget_ = false;
    bool keepSelection_ = false;
};

class TEdit : public TCustomEdit {
    VCL_CLASS(TEdit, TCustomEdit)
public:
    explicit TEdit(TComponent* owner);

    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char value);

    enum { paPassword = paFirstEditCustom };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    char passwordChar_ = 0;
};

class TMemo;

// A memo's lines: a view of its text (each line followed by CR LF). Between BeginUpdate and EndUpdate
// the memo's text catches up at the end.
class TMemoLines : public rtl::TStrings {
public:
    explicit TMemoLines(TMemo& memo) : memo_(memo) {}
    int Count() const override;
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const AnsiString& s) override;

protected:
    AnsiString Get(int index) const override;
    void Put(int index, const AnsiString& s) override;
    void SetUpdateState(bool updating) override;
    void SetStringsBulk(std::vector<AnsiString>&& lines) override;

private:
    TMemo& memo_;
};

class TMemo : public TCustomEdit {
    VCL_CLASS(TMemo, TCustomEdit)
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;

    rtl::TStrings* Lines() const { return lines_.get(); }
    void SetLines(const rtl::TStrings& value) { lines_->Assign(value); }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool value) { wantReturns_ = value; }
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    bool WantsKey(uint16_t key, TShiftState shift) const override;
    // Without WantReturns, Return types nothing (it goes to the default button, if any).
    void KeyPress(char& key) override;

    enum { paScrollBars = paFirstEditCustom, paWordWrap, paWantTabs, paAlignment, paAppendLine };
    // The line just appended (for the widget, which adds it without taking the whole text again).
    const AnsiString& AppendedLine() const { return appendedLine_; }

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void TextChanged() override;
    void TextToPeer() override;

private:
    friend class TMemoLines;
    // The lines, split from the text on first use after it changed.
    std::vector<AnsiString>& LineCache() const;
    // `appended`: the one line added at the end, else null.
    void LinesChanged(const AnsiString* appended, bool reparse);
    void FlushLines();

    std::unique_ptr<TMemoLines> lines_;
    mutable std::vector<AnsiString> cache_;
    mutable bool cacheValid_ = true;
    bool linesPending_ = false;
    bool reparsePending_ = false;
    bool fromLines_ = false;
    bool appending_ = false;
    AnsiString appendedLine_;
    TScrollStyle scrollBars_ = ssNone;
    bool wordWrap_ = true;
    bool wantReturns_ = true;
    bool wantTabs_ = false;
    TAlignment alignment_ = taLeftJustify;
};

// ---------------------------------------------------------------------------------------------------------
// Check boxes and radio buttons

class TCheckBox : public TWinControl {
    VCL_CLASS(TCheckBox, TWinControl)
public:
    explicit TCheckBox(TComponent* owner);

    bool Checked() const { return state_ == cbChecked; }
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return state_; }
    // A change fires OnClick (not while loading).
    void SetState(TCheckBoxState value);
    bool AllowGrayed() const { return allowGrayed_; }
    void SetAllowGrayed(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // The next state a click gives: unchecked, checked, grayed (when allowed), unchecked.
    void Toggle();

    enum { paState = paFirstCustom, paAlignment };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    TCheckBoxState state_ = cbUnchecked;
    bool allowGrayed_ = false;
    TAlignment alignment_ = taRightJustify;
};

class TRadioButton : public TWinControl {
    VCL_CLASS(TRadioButton, TWinControl)
public:
    explicit TRadioButton(TComponent* owner);

    bool Checked() const { return checked_; }
    // Checking one unchecks the radio buttons beside it (the same parent) and fires OnClick.
    void SetChecked(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    enum { paChecked = paFirstCustom, paAlignment };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    bool checked_ = false;
    TAlignment alignment_ = taRightJustify;
};

// ---------------------------------------------------------------------------------------------------------
// Combo and list boxes

class TComboBox : public TWinControl {
    VCL_CLASS(TComboBox, TWinControl)
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    rtl::TStrings* Items() const { return items_.get(); }
    void SetItems(const rtl::TStrings& value) { items_->Assign(value); }
    // -1: none. Setting it from code shows the item's text and fires nothing.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle value);
    bool Sorted() const { return items_->Sorted(); }
    void SetSorted(bool value);
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int value) { dropDownCount_ = value; }
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    void Clear();
    void Loaded() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;

    // ---- the widget side
    // The user picked an item: Text, OnClick, OnChange.
    void ItemSelectedByUser(int index);
    // The user typed into the edit part: OnChange.
    void TextEditedByUser(const AnsiString& text);

    enum { paItems = paFirstCustom, paItemIndex, paStyle, paMaxLength };
    // The change the widget is told about with paItems.
    TListChange LastChange() const { return lastChange_; }
    int LastChangeIndex() const { return lastChangeIndex_; }

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void TextChanged() override;
    virtual void Change();

private:
    void ItemsChanged(TListChange change, int index);

    std::unique_ptr<TListItems> items_;
    int itemIndex_ = -1;
    TComboBoxStyle style_ = csDropDown;
    int dropDownCount_ = 8;
    int maxLength_ = 0;
    bool fromWidget_ = false;
    bool syncing_ = false;
    int loadedItemIndex_ = -1;
    TListChange lastChange_ = TListChange::Reset;
    int lastChangeIndex_ = -1;
};

class TListBox : public TWinControl {
    VCL_CLASS(TListBox, TWinControl)
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;

    rtl::TStrings* Items() const { return items_.get(); }
    void SetItems(const rtl::TStrings& value) { items_->Assign(value); }
    // -1: none. From code it fires nothing; a user's click fires OnClick.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool value);
    bool ExtendedSelect() const { return extendedSelect_; }
    void SetExtendedSelect(bool value);
    // In a single-selection list, Selected(i) is i == ItemIndex.
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;
    bool Sorted() const { return items_->Sorted(); }
    void SetSorted(bool value);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    bool IntegralHeight() const { return integralHeight_; }
    void SetIntegralHeight(bool value) { integralHeight_ = value; }
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle value) { style_ = value; }
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    // The first item shown.
    int TopIndex() const;
    void SetTopIndex(int value);
    TDragMode DragMode() const { return dragMode_; }
    void SetDragMode(TDragMode value) { dragMode_ = value; }
    void Clear() { items_->Clear(); }

    // The item under a point of the client area; -1 (existing) or Count (not existing) below the last.
    int ItemAtPos(TPoint pos, bool existing) const;
    TRect ItemRect(int index) const;

    // ---- the widget side
    // The user clicked or moved onto an item (multi-selection: the items selected now): OnClick.
    void SelectedByUser(int index, const std::vector<int>& selected);
    void TopIndexChangedByUser(int value) { topIndex_ = value; }

    enum { paItems = paFirstCustom, paSelection, paMultiSelect, paItemHeight, paTopIndex, paBorder };
    TListChange LastChange() const { return lastChange_; }
    int LastChangeIndex() const { return lastChangeIndex_; }

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    void ItemsChanged(TListChange change, int index);
    // The widget's answer for ItemAtPos, or -2 when there is no widget.
    int PeerItemAtPos(TPoint pos) const;

    std::unique_ptr<TListItems> items_;
    int itemIndex_ = -1;
    bool multiSelect_ = false;
    bool extendedSelect_ = true;
    int itemHeight_ = 13;
    bool integralHeight_ = false;
    TListBoxStyle style_ = lbStandard;
    TBorderStyle borderStyle_ = bsSingle;
    int topIndex_ = 0;
    TDragMode dragMode_ = dmManual;
    TListChange lastChange_ = TListChange::Reset;
    int lastChangeIndex_ = -1;
};

// ---------------------------------------------------------------------------------------------------------

// A frame with a caption; its children sit inside.
class TGroupBox : public TCustomControl {
    VCL_CLASS(TGroupBox, TCustomControl)
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void Paint() override;
    TRect AlignRect() const override;
    void TextChanged() override;
};

// Registers every standard control of this library (StdCtrls, ExtCtrls, Buttons, ComCtrls, Menus,
// ImgList and the picture classes) for form resources; idempotent.
void RegisterStandardControls();

}  // namespace vcl
