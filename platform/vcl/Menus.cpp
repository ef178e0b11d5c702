// Shortcut texts, accelerators, menu items and the shortcut look-up. The menus' widgets are in QtMenus.cpp.
#include "platform/vcl/Menus.h"

#include <algorithm>

namespace vcl {

namespace {

struct TKeyName {
    uint16_t Key;
    const char* Name;
};

// The names shortcuts are written with; letters and digits stand for themselves.
constexpr TKeyName KeyNames[] = {
    {VK_BACK, "BkSp"},     {VK_TAB, "Tab"},       {VK_ESCAPE, "Esc"},   {VK_RETURN, "Enter"},   {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"},    {VK_NEXT, "PgDn"},     {VK_END, "End"},      {VK_HOME, "Home"},      {VK_LEFT, "Left"},
    {VK_UP, "Up"},         {VK_RIGHT, "Right"},   {VK_DOWN, "Down"},    {VK_INSERT, "Ins"},     {VK_DELETE, "Del"},
    {VK_OEM_1, ";"},       {VK_OEM_PLUS, "="},    {VK_OEM_COMMA, ","},  {VK_OEM_MINUS, "-"},     {VK_OEM_PERIOD, "."},
    {VK_OEM_2, "/"},       {VK_OEM_3, "`"},       {VK_OEM_4, "["},      {VK_OEM_5, "\\"},       {VK_OEM_6, "]"},
    {VK_OEM_7, "'"},       {VK_MULTIPLY, "Num *"}, {VK_ADD, "Num +"},   {VK_SUBTRACT, "Num -"}, {VK_DIVIDE, "Num /"},
};

AnsiString KeyName(uint16_t key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return AnsiString(1, static_cast<char>(key));
    if (key >= VK_F1 && key <= VK_F12)
        return "F" + rtl::IntToStr(key - VK_F1 + 1);
    for (const TKeyName& k : KeyNames) {
        if (k.Key == key)
            return k.Name;
    }
    return AnsiString();
}

uint16_t KeyOfName(const AnsiString& name)
{
    if (name.size() == 1) {
        char c = name[0];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return static_cast<uint16_t>(c);
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int n = 0;
        if (name[1] >= '0' && name[1] <= '9' && rtl::TryStrToInt(name.substr(1), n) && n >= 1 && n <= 12)
            return static_cast<uint16_t>(VK_F1 + n - 1);
    }
    for (const TKeyName& k : KeyNames) {
        if (rtl::SameText(name, k.Name))
            return k.Key;
    }
    return 0;
}

bool TakePrefix(AnsiString& text, const char* prefix)
{
    size_t n = std::char_traits<char>::length(prefix);
    // "Ctrl++" is Ctrl with the plus key: a modifier name needs a key after it.
    if (text.size() > n && rtl::SameText(text.substr(0, n), prefix)) {
        text.erase(0, n);
        return true;
    }
    return false;
}

// Items of a submenu at any depth, depth first, for look-ups.
template <class F>
TMenuItem* FindInTree(TMenuItem* parent, const F& match, bool usableOnly)
{
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (usableOnly && (!item->Enabled() || !item->Visible()))
            continue;
        if (match(item))
            return item;
        if (TMenuItem* found = FindInTree(item, match, usableOnly))
            return found;
    }
    return nullptr;
}

}  // namespace

TShortCut ShortCut(uint16_t key, TShiftState shift)
{
    if (key & 0xFF00)
        return 0;
    TShortCut result = key;
    if (shift.Contains(ssShift))
        result |= scShift;
    if (shift.Contains(ssCtrl))
        result |= scCtrl;
    if (shift.Contains(ssAlt))
        result |= scAlt;
    return result;
}

void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift)
{
    key = shortCut & 0x00FF;
    shift.Clear();
    if (shortCut & scShift)
        shift.Include(ssShift);
    if (shortCut & scCtrl)
        shift.Include(ssCtrl);
    if (shortCut & scAlt)
        shift.Include(ssAlt);
}

AnsiString ShortCutToText(TShortCut shortCut)
{
    AnsiString name = KeyName(shortCut & 0x00FF);
    if (name.empty())
        return AnsiString();
    AnsiString text;
    if (shortCut & scShift)
        text += "Shift+";
    if (shortCut & scCtrl)
        text += "Ctrl+";
    if (shortCut & scAlt)
        text += "Alt+";
    return text + name;
}

TShortCut TextToShortCut(const AnsiString& text)
{
    AnsiString rest = rtl::Trim(text);
    TShortCut modifiers = 0;
    while (true) {
        if (TakePrefix(rest, "Shift+"))
            modifiers |= scShift;
        else if (TakePrefix(rest, "Ctrl+"))
            modifiers |= scCtrl;
        else if (TakePrefix(rest, "Alt+"))
            modifiers |= scAlt;
        else
            break;
    }
    uint16_t key = KeyOfName(rest);
    return key ? static_cast<TShortCut>(key | modifiers) : 0;
}

AnsiString StripHotkey(const AnsiString& text)
{
    AnsiString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == cHotkeyPrefix) {
            if (i + 1 < text.size() && text[i + 1] == cHotkeyPrefix)
                out += cHotkeyPrefix;
            ++i;
            if (i < text.size() && text[i] != cHotkeyPrefix)
                out += text[i];
            continue;
        }
        out += text[i];
    }
    return out;
}

char GetHotkey(const AnsiString& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != cHotkeyPrefix)
            continue;
        if (text[i + 1] == cHotkeyPrefix) {
            ++i;
            continue;
        }
        char c = text[i + 1];
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// TMenuItem

VCL_IMPLEMENT_CLASS(TMenuItem)

void TMenuItem::RegisterProperties(TClassDef<TMenuItem>& def)
{
    def.Property("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck, false);
    def.Property("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption, AnsiString());
    def.Property("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false);
    def.Property("Default", &TMenuItem::Default, &TMenuItem::SetDefault, false);
    def.Property("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true);
    def.Property("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, 0);
    def.Property("HelpContext", &TMenuItem::HelpContext, &TMenuItem::SetHelpContext, 0);
    def.Property("Hint", &TMenuItem::Hint, &TMenuItem::SetHint, AnsiString());
    def.Property("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex, -1);
    def.Property("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem, false);
    def.Property("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, 0);
    def.Property("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true);
    def.Event("OnClick", &TMenuItem::OnClick);
}

void TMenuItem::SetCaption(const AnsiString& value)
{
    if (caption_ == value)
        return;
    bool wasLine = IsLine();
    caption_ = value;
    Changed(wasLine != IsLine());
}

void TMenuItem::SetChecked(bool value)
{
    if (checked_ == value)
        return;
    checked_ = value;
    if (value && radioItem_)
        TurnOffRadioSiblings();
    Changed(false);
}

void TMenuItem::TurnOffRadioSiblings()
{
    if (!parent_)
        return;
    for (TMenuItem* sibling : parent_->items_) {
        if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_ && sibling->checked_) {
            sibling->checked_ = false;
            sibling->Changed(false);
        }
    }
}

void TMenuItem::SetEnabled(bool value)
{
    if (enabled_ == value)
        return;
    enabled_ = value;
    Changed(false);
}

void TMenuItem::SetVisible(bool value)
{
    if (visible_ == value)
        return;
    visible_ = value;
    Changed(false);
}

void TMenuItem::SetDefault(bool value)
{
    if (default_ == value)
        return;
    default_ = value;
    Changed(false);
}

void TMenuItem::SetRadioItem(bool value)
{
    if (radioItem_ == value)
        return;
    radioItem_ = value;
    if (radioItem_ && checked_)
        TurnOffRadioSiblings();
    Changed(false);
}

void TMenuItem::SetShortCut(TShortCut value)
{
    if (shortCut_ == value)
        return;
    shortCut_ = value;
    Changed(false);
}

void TMenuItem::SetImageIndex(int value)
{
    if (imageIndex_ == value)
        return;
    imageIndex_ = value;
    Changed(false);
}

void TMenuItem::Click()
{
    if (!enabled_)
        return;
    if (autoCheck_)
        SetChecked(radioItem_ ? true : !checked_);
    if (OnClick)
        OnClick(this);
}

TMenuItem* TMenuItem::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EMenuError("Menu index out of range");
    return items_[static_cast<size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item)
{
    Insert(Count(), item);
}

void TMenuItem::Add(const std::vector<TMenuItem*>& items)
{
    for (TMenuItem* item : items)
        Add(item);
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item)
        return;
    if (item->parent_ || item->menu_)
        throw EMenuError("Menu inserted twice");
    if (index < 0 || index > Count())
        throw EMenuError("Menu index out of range");
    for (TMenuItem* p = this; p; p = p->parent_) {
        if (p == item)
            throw EMenuError("A menu item cannot be put into its own submenu");
    }
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    Changed(true);
}

void TMenuItem::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EMenuError("Menu index out of range");
    TMenuItem* item = items_[static_cast<size_t>(index)];
    items_.erase(items_.begin() + index);
    item->parent_ = nullptr;
    Changed(true);
}

void TMenuItem::Remove(TMenuItem* item)
{
    int index = IndexOf(item);
    if (index < 0)
        throw EMenuError("Sub-menu is not in menu");
    Delete(index);
}

void TMenuItem::Clear()
{
    while (!items_.empty())
        delete items_.back();
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(const AnsiString& caption) const
{
    AnsiString wanted = StripHotkey(caption);
    for (TMenuItem* item : items_) {
        if (rtl::AnsiSameText(StripHotkey(item->caption_), wanted))
            return item;
    }
    return nullptr;
}

TMenuItem* TMenuItem::Parent() const
{
    return parent_;
}

int TMenuItem::MenuIndex() const
{
    return parent_ ? parent_->IndexOf(this) : -1;
}

void TMenuItem::SetMenuIndex(int value)
{
    if (!parent_)
        return;
    TMenuItem* parent = parent_;
    int old = MenuIndex();
    value = std::clamp(value, 0, parent->Count() - 1);
    if (value == old)
        return;
    parent->items_.erase(parent->items_.begin() + old);
    parent->items_.insert(parent->items_.begin() + value, this);
    parent->Changed(true);
}

TMenu* TMenuItem::GetParentMenu() const
{
    const TMenuItem* item = this;
    while (item->parent_)
        item = item->parent_;
    return item->menu_;
}

void TMenuItem::SetParentComponent(TComponent* value)
{
    if (auto* item = dynamic_cast<TMenuItem*>(value))
        item->Add(this);
    else if (auto* menu = dynamic_cast<TMenu*>(value))
        menu->Items()->Add(this);
}

TComponent* TMenuItem::GetParentComponent() const
{
    if (!parent_)
        return nullptr;
    if (parent_->menu_)
        return parent_->menu_;
    return parent_;
}

void TMenuItem::Changed(bool structure)
{
    if (IsDestroying())
        return;
    if (TMenu* menu = GetParentMenu())
        menu->MenuChanged(this, structure);
}

// ---------------------------------------------------------------------------------------------------------
// TMenu

VCL_IMPLEMENT_CLASS(TMenu)

void TMenu::RegisterProperties(TClassDef<TMenu>& def)
{
    def.Property("Images", &TMenu::Images, &TMenu::SetImages);
}

void TMenu::SetImages(TImageList* value)
{
    if (images_.get() == value)
        return;
    if (TImageList* old = images_.get())
        old->UnRegisterChanges(this);
    images_ = value;
    if (value)
        value->RegisterChanges(this, [this] { MenuChanged(items_.get(), true); });
    MenuChanged(items_.get(), true);
}

void TMenu::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == images_.get()) {
        images_.reset();
        MenuChanged(items_.get(), true);
    }
}

TMenuItem* TMenu::FindShortCut(TShortCut shortCut) const
{
    if (shortCut == 0)
        return nullptr;
    return FindInTree(
        items_.get(), [shortCut](const TMenuItem* item) { return item->ShortCut() == shortCut; }, true);
}

TMenuItem* TMenu::FindItemByCaption(const AnsiString& caption) const
{
    AnsiString wanted = StripHotkey(caption);
    return FindInTree(
        items_.get(), [&](const TMenuItem* item) { return rtl::AnsiSameText(StripHotkey(item->Caption()), wanted); },
        false);
}

bool TMenu::IsShortCut(uint16_t key, TShiftState shift)
{
    TMenuItem* item = FindShortCut(ShortCut(key, shift));
    if (!item)
        return false;
    item->Click();
    return true;
}

void TMenu::PopupAt(TControl*, int, int) {}

void TMenu::AttachToForm(TCustomForm&) {}

void TMenu::DetachFromForm(TCustomForm&) {}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TMainMenu)

VCL_IMPLEMENT_CLASS(TPopupMenu)

void TPopupMenu::RegisterProperties(TClassDef<TPopupMenu>& def)
{
    def.Property("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment, paLeft);
    def.Property("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, true);
    def.Event("OnPopup", &TPopupMenu::OnPopup);
}

void TPopupMenu::PopupAt(TControl* control, int screenX, int screenY)
{
    if (!autoPopup_)
        return;
    popupComponent_ = control;
    Popup(screenX, screenY);
}

}  // namespace vcl
