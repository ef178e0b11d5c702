// The common controls' state and behaviour: progress and status bars, tab and page controls, up-down and
// spin buttons (tree views are in ComCtrlsTree.cpp). Their widgets are in QtComCtrls.cpp.
#include "platform/vcl/ComCtrls.h"

#include <algorithm>

namespace vcl {

namespace {

AnsiString WithThousands(int value)
{
    AnsiString digits = rtl::IntToStr(value < 0 ? -static_cast<int64_t>(value) : static_cast<int64_t>(value));
    AnsiString out;
    int count = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (count > 0 && count % 3 == 0)
            out.insert(out.begin(), ',');
        out.insert(out.begin(), *it);
        ++count;
    }
    return value < 0 ? "-" + out : out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TProgressBar

VCL_IMPLEMENT_CLASS(TProgressBar)

void TProgressBar::RegisterProperties(TClassDef<TProgressBar>& def)
{
    def.Property("Min", &TProgressBar::Min, &TProgressBar::SetMin, 0);
    def.Property("Max", &TProgressBar::Max, &TProgressBar::SetMax, 100);
    def.Property("Orientation", &TProgressBar::Orientation, &TProgressBar::SetOrientation, pbHorizontal);
    def.Property("Position", &TProgressBar::Position, &TProgressBar::SetPosition, 0);
    def.Property("Smooth", &TProgressBar::Smooth, &TProgressBar::SetSmooth, false);
    def.Property("Step", &TProgressBar::Step, &TProgressBar::SetStep, 10);
}

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 150, 16);
}

void TProgressBar::SetMin(int value)
{
    min_ = value;
    if (!IsLoading())
        position_ = std::clamp(position_, min_, std::max(min_, max_));
    UpdatePeer(paRange);
}

void TProgressBar::SetMax(int value)
{
    max_ = value;
    if (!IsLoading())
        position_ = std::clamp(position_, min_, std::max(min_, max_));
    UpdatePeer(paRange);
}

void TProgressBar::SetPosition(int value)
{
    // A resource may give the position before the range.
    position_ = IsLoading() ? value : std::clamp(value, min_, std::max(min_, max_));
    UpdatePeer(paRange);
}

void TProgressBar::Loaded()
{
    TWinControl::Loaded();
    SetPosition(position_);
}

void TProgressBar::StepIt()
{
    int next = position_ + step_;
    if (next > max_)
        next = min_;
    else if (next < min_)
        next = max_;
    SetPosition(next);
}

void TProgressBar::SetOrientation(TProgressBarOrientation value)
{
    if (orientation_ == value)
        return;
    orientation_ = value;
    UpdatePeer(paOrientation);
}

// ---------------------------------------------------------------------------------------------------------
// Status bars

VCL_IMPLEMENT_CLASS(TStatusPanel)

void TStatusPanel::RegisterProperties(TClassDef<TStatusPanel>& def)
{
    def.Property("Alignment", &TStatusPanel::Alignment, &TStatusPanel::SetAlignment, taLeftJustify);
    def.Property("Bevel", &TStatusPanel::Bevel, &TStatusPanel::SetBevel, pbLowered);
    def.Property("Style", &TStatusPanel::Style, &TStatusPanel::SetStyle, psText);
    def.Property("Text", &TStatusPanel::Text, &TStatusPanel::SetText, AnsiString());
    def.Property("Width", &TStatusPanel::Width, &TStatusPanel::SetWidth, 50);
}

TStatusPanel::TStatusPanel(TCollection* collection) : TCollectionItem(collection) {}

void TStatusPanel::SetText(const AnsiString& value)
{
    if (text_ == value)
        return;
    text_ = value;
    Changed(false);
}

void TStatusPanel::SetWidth(int value)
{
    if (width_ == value)
        return;
    width_ = value;
    Changed(true);
}

void TStatusPanel::SetAlignment(TAlignment value)
{
    if (alignment_ == value)
        return;
    alignment_ = value;
    Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value)
{
    if (bevel_ == value)
        return;
    bevel_ = value;
    Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value)
{
    if (style_ == value)
        return;
    style_ = value;
    Changed(false);
}

AnsiString TStatusPanel::DisplayName() const
{
    return text_.empty() ? TCollectionItem::DisplayName() : text_;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TStatusPanels)

TStatusPanels::TStatusPanels(TStatusBar* owner) : TCollection(TStatusPanel::StaticClass()), owner_(owner) {}

TPersistent* TStatusPanels::GetOwner() const
{
    return owner_;
}

void TStatusPanels::Update(TCollectionItem*)
{
    if (owner_)
        owner_->Invalidate();
}

VCL_IMPLEMENT_CLASS(TStatusBar)

void TStatusBar::RegisterProperties(TClassDef<TStatusBar>& def)
{
    def.Property("Align", &TControl::Align, &TControl::SetAlign, alBottom);
    def.Property("Panels", &TStatusBar::Panels, nullptr);
    def.Property("SimplePanel", &TStatusBar::SimplePanel, &TStatusBar::SetSimplePanel, false);
    def.Property("SimpleText", &TStatusBar::SimpleText, &TStatusBar::SetSimpleText, AnsiString());
    def.Property("SizeGrip", &TStatusBar::SizeGrip, &TStatusBar::SetSizeGrip, true);
}

TStatusBar::TStatusBar(TComponent* owner) : TCustomControl(owner), panels_(std::make_unique<TStatusPanels>(this))
{
    SetBounds(0, 0, 150, 19);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar()
{
    Destroying();
    DestroyPeer();
}

void TStatusBar::SetSimplePanel(bool value)
{
    if (simplePanel_ == value)
        return;
    simplePanel_ = value;
    Invalidate();
}

void TStatusBar::SetSimpleText(const AnsiString& value)
{
    if (simpleText_ == value)
        return;
    simpleText_ = value;
    Invalidate();
}

void TStatusBar::SetSizeGrip(bool value)
{
    if (sizeGrip_ == value)
        return;
    sizeGrip_ = value;
    Invalidate();
}

TRect TStatusBar::PanelRect(int index) const
{
    int left = 0;
    for (int i = 0; i < index && i < panels_->Count(); ++i)
        left += std::max(panels_->Items(i)->Width(), 0);
    int right = index == panels_->Count() - 1 ? ClientWidth() : left + std::max(panels_->Items(index)->Width(), 0);
    return Rect(left, 2, std::max(right, left), ClientHeight());
}

void TStatusBar::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(ClientRect());
    canvas->Font()->Assign(Font());
    auto panel = [&](TRect rect, const AnsiString& text, TAlignment alignment, TStatusPanelBevel bevel) {
        if (bevel != pbNone) {
            TColor top = bevel == pbLowered ? clBtnShadow : clBtnHighlight;
            TColor bottom = bevel == pbLowered ? clBtnHighlight : clBtnShadow;
            Frame3D(canvas, rect, top, bottom, 1);
        }
        rect.Left += 2;
        rect.Right -= 2;
        canvas->Brush()->SetStyle(bsClear);
        unsigned align = alignment == taCenter ? DT_CENTER : alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
        canvas->DrawText(text, rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | align);
    };
    if (simplePanel_) {
        panel(Rect(0, 2, ClientWidth(), ClientHeight()), simpleText_, taLeftJustify, pbLowered);
    } else {
        for (int i = 0; i < panels_->Count(); ++i) {
            TStatusPanel* p = panels_->Items(i);
            panel(PanelRect(i), p->Text(), p->Alignment(), p->Bevel());
        }
    }
    if (sizeGrip_) {
        int w = ClientWidth(), h = ClientHeight();
        for (int i = 0; i < 3; ++i) {
            int offset = 4 * i + 3;
            canvas->Pen()->SetColor(clBtnHighlight);
            canvas->MoveTo(w - offset, h - 1);
            canvas->LineTo(w, h - offset - 1);
            canvas->Pen()->SetColor(clBtnShadow);
            canvas->MoveTo(w - offset + 1, h - 1);
            canvas->LineTo(w, h - offset);
        }
    }
}

// ---------------------------------------------------------------------------------------------------------
// Tab controls

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomTabControl)

TCustomTabControl::TCustomTabControl(TComponent* owner) : TWinControl(owner), tabs_(std::make_unique<rtl::TStringList>())
{
    SetBounds(0, 0, 289, 193);
    SetTabStop(true);
    tabs_->OnChange = [this](TObject*) { TabsChanged(); };
}

TCustomTabControl::~TCustomTabControl()
{
    Destroying();
    DestroyPeer();
    tabs_->OnChange = nullptr;
}

void TCustomTabControl::TabsChanged()
{
    int count = tabs_->Count();
    // As the tab control does: the first tab is chosen as soon as there is one.
    if (tabIndex_ >= count)
        tabIndex_ = count - 1;
    if (tabIndex_ < 0 && count > 0)
        tabIndex_ = 0;
    UpdatePeer(paTabs);
    Realign();
}

void TCustomTabControl::SetTabIndex(int value)
{
    if (IsLoading()) {
        loadedTabIndex_ = value;
        return;
    }
    if (value < -1 || value >= tabs_->Count())
        return;
    if (tabIndex_ == value)
        return;
    tabIndex_ = value;
    UpdatePeer(paTabIndex);
}

void TCustomTabControl::Loaded()
{
    TWinControl::Loaded();
    if (loadedTabIndex_ != -2)
        SetTabIndex(loadedTabIndex_);
    loadedTabIndex_ = -2;
}

void TCustomTabControl::SetTabPosition(TTabPosition value)
{
    tabPosition_ = value;
    UpdatePeer(paTabLayout);
    Realign();
}

void TCustomTabControl::SetTabHeight(int value)
{
    tabHeight_ = std::max(value, 0);
    UpdatePeer(paTabLayout);
    Realign();
}

int TCustomTabControl::TabRowHeight() const
{
    if (tabs_->Count() == 0)
        return 0;
    if (tabHeight_ > 0)
        return tabHeight_;
    TCanvas measure;
    measure.Font()->Assign(Font());
    return measure.TextHeight("0") + 9;
}

TRect TCustomTabControl::DisplayRect() const
{
    int tabs = TabRowHeight();
    int w = Width(), h = Height();
    TRect r = Rect(4, 4, w - 4, h - 4);
    if (tabPosition_ == tpBottom)
        r.Bottom -= tabs;
    else
        r.Top += tabs;
    r.Right = std::max(r.Right, r.Left);
    r.Bottom = std::max(r.Bottom, r.Top);
    return r;
}

TRect TCustomTabControl::AlignRect() const
{
    return DisplayRect();
}

bool TCustomTabControl::TabChosenByUser(int index)
{
    if (index == tabIndex_ || index < 0 || index >= tabs_->Count())
        return true;
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    if (!allow) {
        UpdatePeer(paTabIndex);
        return false;
    }
    TabChosen(index);
    if (OnChange)
        OnChange(this);
    return true;
}

void TCustomTabControl::TabChosen(int index)
{
    tabIndex_ = index;
    UpdatePeer(paTabIndex);
}

VCL_IMPLEMENT_CLASS(TTabControl)

void TTabControl::RegisterProperties(TClassDef<TTabControl>& def)
{
    def.Property("HotTrack", &TCustomTabControl::HotTrack, &TCustomTabControl::SetHotTrack, false);
    def.Property("MultiLine", &TCustomTabControl::MultiLine, &TCustomTabControl::SetMultiLine, false);
    def.Property("TabHeight", &TCustomTabControl::TabHeight, &TCustomTabControl::SetTabHeight, 0);
    def.Property("TabPosition", &TCustomTabControl::TabPosition, &TCustomTabControl::SetTabPosition, tpTop);
    def.Property("Tabs", &TCustomTabControl::Tabs, &TTabControl::SetTabs);
    def.Property("TabIndex", &TCustomTabControl::TabIndex, &TCustomTabControl::SetTabIndex, -1);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Property("TabWidth", &TCustomTabControl::TabWidth, &TCustomTabControl::SetTabWidth, 0);
    def.Event("OnChange", &TCustomTabControl::OnChange);
    def.Event("OnChanging", &TCustomTabControl::OnChanging);
}

TTabControl::TTabControl(TComponent* owner) : TCustomTabControl(owner) {}

// ---------------------------------------------------------------------------------------------------------
// Page controls and tab sheets

VCL_IMPLEMENT_CLASS(TTabSheet)

void TTabSheet::RegisterProperties(TClassDef<TTabSheet>& def)
{
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("ImageIndex", &TTabSheet::ImageIndex, &TTabSheet::SetImageIndex, -1);
    def.Property("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex).Stored(false);
    def.Property("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible, true);
    // The page control shows and hides its sheets.
    def.Property("Visible", &TControl::Visible, &TControl::SetVisible).Stored(false);
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner)
{
    SetAlign(alClient);
    SetVisible(false);
}

TTabSheet::~TTabSheet()
{
    Destroying();
    if (pageControl_)
        pageControl_->RemovePage(this);
    pageControl_ = nullptr;
}

void TTabSheet::SetPageControl(TPageControl* value)
{
    SetParent(value);
}

void TTabSheet::SetParent(TWinControl* value)
{
    if (pageControl_ && value != pageControl_) {
        TPageControl* old = pageControl_;
        pageControl_ = nullptr;
        old->RemovePage(this);
    }
    TWinControl::SetParent(value);
    if (auto* pages = dynamic_cast<TPageControl*>(value); pages && pages != pageControl_)
        pages->InsertPage(this);
}

int TTabSheet::PageIndex() const
{
    if (!pageControl_)
        return -1;
    const auto& pages = pageControl_->pages_;
    return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int value)
{
    if (pageControl_)
        pageControl_->MovePage(this, value);
}

void TTabSheet::SetTabVisible(bool value)
{
    if (tabVisible_ == value)
        return;
    tabVisible_ = value;
    if (pageControl_)
        pageControl_->UpdateTabs();
}

int TTabSheet::TabIndex() const
{
    if (!pageControl_ || !tabVisible_)
        return -1;
    int index = 0;
    for (TTabSheet* page : pageControl_->pages_) {
        if (page == this)
            return index;
        if (page->tabVisible_)
            ++index;
    }
    return -1;
}

void TTabSheet::TextChanged()
{
    TWinControl::TextChanged();
    if (pageControl_)
        pageControl_->UpdateTabs();
}

VCL_IMPLEMENT_CLASS(TPageControl)

void TPageControl::RegisterProperties(TClassDef<TPageControl>& def)
{
    def.Property("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage);
    def.Property("HotTrack", &TCustomTabControl::HotTrack, &TCustomTabControl::SetHotTrack, false);
    def.Property("MultiLine", &TCustomTabControl::MultiLine, &TCustomTabControl::SetMultiLine, false);
    def.Property("TabHeight", &TCustomTabControl::TabHeight, &TCustomTabControl::SetTabHeight, 0);
    def.Property("TabPosition", &TCustomTabControl::TabPosition, &TCustomTabControl::SetTabPosition, tpTop);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Property("TabWidth", &TCustomTabControl::TabWidth, &TCustomTabControl::SetTabWidth, 0);
    def.Event("OnChange", &TCustomTabControl::OnChange);
    def.Event("OnChanging", &TCustomTabControl::OnChanging);
}

TPageControl::TPageControl(TComponent* owner) : TCustomTabControl(owner) {}

TPageControl::~TPageControl()
{
    Destroying();
    for (TTabSheet* page : pages_)
        page->pageControl_ = nullptr;
    pages_.clear();
    activePage_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    return pages_[static_cast<size_t>(index)];
}

void TPageControl::InsertPage(TTabSheet* page)
{
    pages_.push_back(page);
    page->pageControl_ = this;
    UpdateTabs();
    if (!activePage_)
        SetActivePage(page);
}

void TPageControl::RemovePage(TTabSheet* page)
{
    auto it = std::find(pages_.begin(), pages_.end(), page);
    if (it == pages_.end())
        return;
    TTabSheet* next = activePage_ == page ? FindNextPage(page, true, true) : activePage_;
    pages_.erase(it);
    page->pageControl_ = nullptr;
    if (activePage_ == page) {
        activePage_ = nullptr;
        if (next != page && !IsDestroying())
            SetActivePage(next);
    }
    if (!IsDestroying())
        UpdateTabs();
}

void TPageControl::MovePage(TTabSheet* page, int index)
{
    auto it = std::find(pages_.begin(), pages_.end(), page);
    if (it == pages_.end())
        return;
    pages_.erase(it);
    index = std::clamp(index, 0, static_cast<int>(pages_.size()));
    pages_.insert(pages_.begin() + index, page);
    UpdateTabs();
}

void TPageControl::UpdateTabs()
{
    rtl::TStrings* tabs = Tabs();
    tabs->BeginUpdate();
    tabs->Clear();
    for (TTabSheet* page : pages_) {
        if (page->TabVisible())
            tabs->Add(page->Caption());
    }
    tabs->EndUpdate();
    TCustomTabControl::TabChosen(activePage_ ? activePage_->TabIndex() : -1);
}

void TPageControl::SetActivePage(TTabSheet* page)
{
    if (page && page->pageControl_ != this)
        return;
    if (page == activePage_)
        return;
    TTabSheet* old = activePage_;
    activePage_ = page;
    if (page) {
        page->BringToFront();
        page->SetVisible(true);
    }
    if (old && old != page)
        old->SetVisible(false);
    TCustomTabControl::TabChosen(page ? page->TabIndex() : -1);
}

int TPageControl::ActivePageIndex() const
{
    return activePage_ ? activePage_->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int value)
{
    SetActivePage(value >= 0 && value < PageCount() ? pages_[static_cast<size_t>(value)] : nullptr);
}

void TPageControl::SetTabIndex(int value)
{
    for (TTabSheet* page : pages_) {
        if (page->TabIndex() == value && value >= 0) {
            SetActivePage(page);
            return;
        }
    }
}

void TPageControl::TabChosen(int index)
{
    SetTabIndex(index);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const
{
    if (pages_.empty())
        return nullptr;
    int count = PageCount();
    auto it = std::find(pages_.begin(), pages_.end(), current);
    int start = it == pages_.end() ? (goForward ? count - 1 : 0) : static_cast<int>(it - pages_.begin());
    int i = start;
    for (int step = 0; step < count; ++step) {
        i = goForward ? (i + 1) % count : (i + count - 1) % count;
        TTabSheet* page = pages_[static_cast<size_t>(i)];
        if (!checkTabVisible || page->TabVisible())
            return page;
    }
    return nullptr;
}

void TPageControl::SelectNextPage(bool goForward)
{
    if (TTabSheet* page = FindNextPage(activePage_, goForward, true); page && page != activePage_) {
        int index = page->TabIndex();
        TabChosenByUser(index);
    }
}

void TPageControl::Loaded()
{
    TCustomTabControl::Loaded();
    if (!activePage_ && !pages_.empty())
        SetActivePage(pages_.front());
}

// ---------------------------------------------------------------------------------------------------------
// Arrow buttons

void DrawArrowButton(TCanvas* canvas, const TRect& rect, TArrowDirection direction, bool pressed, bool enabled)
{
    canvas->Brush()->SetColor(clBtnFace);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(rect);
    TRect frame = rect;
    Frame3D(canvas, frame, pressed ? clBtnShadow : clBtnHighlight, pressed ? clBtnHighlight : cl3DDkShadow, 1);
    int size = std::max(std::min(rect.Width(), rect.Height()) / 4, 1);
    int cx = (rect.Left + rect.Right) / 2 + (pressed ? 1 : 0);
    int cy = (rect.Top + rect.Bottom) / 2 + (pressed ? 1 : 0);
    std::vector<TPoint> arrow;
    switch (direction) {
    case adUp: arrow = {Point(cx - size, cy + size / 2), Point(cx + size, cy + size / 2), Point(cx, cy - size / 2 - 1)}; break;
    case adDown: arrow = {Point(cx - size, cy - size / 2), Point(cx + size, cy - size / 2), Point(cx, cy + size / 2 + 1)}; break;
    case adLeft: arrow = {Point(cx + size / 2, cy - size), Point(cx + size / 2, cy + size), Point(cx - size / 2 - 1, cy)}; break;
    case adRight: arrow = {Point(cx - size / 2, cy - size), Point(cx - size / 2, cy + size), Point(cx + size / 2 + 1, cy)}; break;
    }
    TColor color = enabled ? clBtnText : clBtnShadow;
    canvas->Pen()->SetColor(color);
    canvas->Brush()->SetColor(color);
    canvas->Polygon(arrow);
}

// ---------------------------------------------------------------------------------------------------------
// TUpDown

VCL_IMPLEMENT_CLASS(TUpDown)

void TUpDown::RegisterProperties(TClassDef<TUpDown>& def)
{
    def.Property("AlignButton", &TUpDown::AlignButton, &TUpDown::SetAlignButton, udRight);
    def.Property("ArrowKeys", &TUpDown::ArrowKeys, &TUpDown::SetArrowKeys, true);
    def.Property("Associate", &TUpDown::Associate, &TUpDown::SetAssociate);
    def.Property("Increment", &TUpDown::Increment, &TUpDown::SetIncrement, 1);
    def.Property("Min", &TUpDown::Min, &TUpDown::SetMin, 0);
    def.Property("Max", &TUpDown::Max, &TUpDown::SetMax, 100);
    def.Property("Orientation", &TUpDown::Orientation, &TUpDown::SetOrientation, udVertical);
    def.Property("Position", &TUpDown::Position, &TUpDown::SetPosition, 0);
    def.Property("Thousands", &TUpDown::Thousands, &TUpDown::SetThousands, true);
    def.Property("Wrap", &TUpDown::Wrap, &TUpDown::SetWrap, false);
    def.Event("OnChanging", &TUpDown::OnChanging);
    def.Event("OnClick", &TUpDown::OnClick);
}

TUpDown::TUpDown(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 15, 25);
}

void TUpDown::SetMin(int value)
{
    min_ = value;
    if (!IsLoading())
        SetPosition(position_);
}

void TUpDown::SetMax(int value)
{
    max_ = value;
    if (!IsLoading())
        SetPosition(position_);
}

void TUpDown::SetPosition(int value)
{
    position_ = IsLoading() ? value : std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    if (!IsLoading())
        ShowPosition();
}

void TUpDown::SetThousands(bool value)
{
    thousands_ = value;
    if (!IsLoading())
        ShowPosition();
}

void TUpDown::SetOrientation(TUDOrientation value)
{
    if (orientation_ == value)
        return;
    orientation_ = value;
    Invalidate();
}

void TUpDown::ShowPosition()
{
    if (TWinControl* associate = associate_.get())
        associate->SetText(thousands_ ? WithThousands(position_) : rtl::IntToStr(position_));
}

void TUpDown::SetAssociate(TWinControl* value)
{
    if (value == this)
        throw EInvalidOperation("An up-down control cannot be its own associate");
    associate_ = value;
    if (!value || IsLoading())
        return;
    // The associate gives up room for the buttons at its side.
    int width = Width();
    if (alignButton_ == udRight) {
        value->SetWidth(std::max(value->Width() - width, 0));
        SetBounds(value->Left() + value->Width(), value->Top(), width, value->Height());
    } else {
        SetBounds(value->Left(), value->Top(), width, value->Height());
        value->SetBounds(value->Left() + width, value->Top(), std::max(value->Width() - width, 0), value->Height());
    }
    ShowPosition();
}

void TUpDown::Loaded()
{
    TCustomControl::Loaded();
    SetPosition(position_);
}

void TUpDown::Click(TUDBtnType button)
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    if (!allow)
        return;
    int next = position_ + (button == btNext ? increment_ : -increment_);
    int low = std::min(min_, max_), high = std::max(min_, max_);
    if (next > high)
        next = wrap_ ? low : high;
    else if (next < low)
        next = wrap_ ? high : low;
    SetPosition(next);
    if (OnClick)
        OnClick(this, button);
}

void TUpDown::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled())
        return;
    bool next = orientation_ == udVertical ? y < Height() / 2 : x >= Width() / 2;
    Click(next ? btNext : btPrev);
}

void TUpDown::Paint()
{
    TCanvas* canvas = Canvas();
    int w = Width(), h = Height();
    if (orientation_ == udVertical) {
        DrawArrowButton(canvas, Rect(0, 0, w, h / 2), adUp, false, Enabled());
        DrawArrowButton(canvas, Rect(0, h / 2, w, h), adDown, false, Enabled());
    } else {
        DrawArrowButton(canvas, Rect(0, 0, w / 2, h), adLeft, false, Enabled());
        DrawArrowButton(canvas, Rect(w / 2, 0, w, h), adRight, false, Enabled());
    }
}

// ---------------------------------------------------------------------------------------------------------
// TSpinButton

VCL_IMPLEMENT_CLASS(TSpinButton)

void TSpinButton::RegisterProperties(TClassDef<TSpinButton>& def)
{
    def.Property("FocusControl", &TSpinButton::FocusControl, &TSpinButton::SetFocusControl);
    def.Event("OnDownClick", &TSpinButton::OnDownClick);
    def.Event("OnUpClick", &TSpinButton::OnUpClick);
}

TSpinButton::TSpinButton(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 20, 25);
}

TSpinButton::~TSpinButton()
{
    Destroying();
    repeat_.reset();
}

void TSpinButton::UpClick()
{
    if (OnUpClick)
        OnUpClick(this);
}

void TSpinButton::DownClick()
{
    if (OnDownClick)
        OnDownClick(this);
}

void TSpinButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled())
        return;
    pressed_ = y < Height() / 2 ? 1 : -1;
    Invalidate();
    if (TWinControl* focus = focusControl_.get(); focus && focus->CanFocus())
        focus->SetFocus();
    TComponentRef<TSpinButton> self(this);
    if (pressed_ > 0)
        UpClick();
    else
        DownClick();
    if (!self || pressed_ == 0)
        return;
    // Held down, the button repeats: first after a pause, then quickly.
    repeat_ = std::make_unique<TTimer>(nullptr);
    repeat_->SetInterval(400);
    repeat_->OnTimer = [this](TObject*) { Repeat(); };
}

void TSpinButton::Repeat()
{
    if (pressed_ == 0 || !repeat_)
        return;
    repeat_->SetInterval(100);
    if (pressed_ > 0)
        UpClick();
    else
        DownClick();
}

void TSpinButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft) {
        pressed_ = 0;
        if (repeat_)
            repeat_->SetEnabled(false);
        Invalidate();
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

void TSpinButton::Paint()
{
    TCanvas* canvas = Canvas();
    int w = Width(), h = Height();
    DrawArrowButton(canvas, Rect(0, 0, w, h / 2), adUp, pressed_ > 0, Enabled());
    DrawArrowButton(canvas, Rect(0, h / 2, w, h), adDown, pressed_ < 0, Enabled());
}

}  // namespace vcl
