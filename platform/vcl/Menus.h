#pragma once
// Main and popup menus with their items: captions with "&" accelerators, "-" separators, submenus,
// check marks, shortcuts. A form's Menu shows its main menu as the window's menu bar; a shortcut runs its
// item when the form is active; a control's PopupMenu shows on a right click. Tests Click() items directly.
//
//   auto* file = new vcl::TMenuItem(form);
//   file->SetCaption("&File");
//   mainMenu->Items()->Add(file);
//   auto* open = new vcl::TMenuItem(form);
//   open->SetCaption("&Open");
//   open->SetShortCut(vcl::TextToShortCut("Ctrl+O"));
//   open->OnClick = [](vcl::TObject*) { ... };
//   file->Add(open);
//
// In a resource the items are objects nested in the menu (and in each other); ShortCut is the number
// TextToShortCut gives ("ShortCut = 16463" for Ctrl+O). The menus' widgets are made in QtMenus.cpp.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"

namespace vcl {

class TMenu;

// A key with its Shift, Ctrl and Alt bits, as menus keep it; 0 is none.
using TShortCut = uint16_t;
inline constexpr TShortCut scNone = 0;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

TShortCut ShortCut(uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift);
// "Ctrl+N", "F1", "Shift+Ctrl+S" (modifiers in that order); "" for none or a key without a name.
AnsiString ShortCutToText(TShortCut shortCut);
// The modifiers in any order, without regard to case ("ctrl+shift+s"); 0 for a text that names no key.
TShortCut TextToShortCut(const AnsiString& text);

inline constexpr char cHotkeyPrefix = '&';
inline const char* const cLineCaption = "-";
// The caption without its accelerator marks ("&&" stays one "&").
AnsiString StripHotkey(const AnsiString& text);
// The accelerator character (upper case), or 0.
char GetHotkey(const AnsiString& text);

class EMenuError : public rtl::Exception {
public:
    using Exception::Exception;
};

// ---------------------------------------------------------------------------------------------------------

class TMenuItem : public TComponent {
    VCL_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* owner);
    // Frees the submenu's items too, and leaves its parent.
    ~TMenuItem() override;

    const AnsiString& Caption() const { return caption_; }
    void SetCaption(const AnsiString& value);
    bool Checked() const { return checked_; }
    // A radio item that is checked unchecks the radio items of its group beside it.
    void SetChecked(bool value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool RadioItem() const { return radioItem_; }
    void SetRadioItem(bool value);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value) { groupIndex_ = value; }
    bool AutoCheck() const { return autoCheck_; }
    void SetAutoCheck(bool value) { autoCheck_ = value; }
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut value);
    const AnsiString& Hint() const { return hint_; }
    void SetHint(const AnsiString& value) { hint_ = value; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value);
    bool IsLine() const { return caption_ == cLineCaption; }

    // An enabled item: AutoCheck turns its check mark, then OnClick. A disabled item does nothing.
    virtual void Click();
    TNotifyEvent OnClick;

    // The submenu.
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;
    TMenuItem* operator[](int index) const { return Items(index); }
    // EMenuError "Menu inserted twice" for an item that already has a parent.
    void Add(TMenuItem* item);
    void Add(const std::vector<TMenuItem*>& items);
    // 0 <= index <= Count(), else EMenuError "Menu index out of range".
    void Insert(int index, TMenuItem* item);
    // Takes the item out of the submenu; it is not freed (its owner frees it).
    void Delete(int index);
    void Remove(TMenuItem* item);
    // Frees every item of the submenu.
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    // The item of the submenu with that caption (accelerators ignored, without regard to case), or null.
    TMenuItem* Find(const AnsiString& caption) const;
    TMenuItem* Parent() const;
    int MenuIndex() const;
    void SetMenuIndex(int value);
    // The menu the item is in, or null.
    TMenu* GetParentMenu() const;

    void SetParentComponent(TComponent* value) override;
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }

    // The Qt side's handles of the item.
    struct TImpl;
    TImpl& Impl() const { return *impl_; }

private:
    friend class TMenu;
    // Tells the menu: `structure` when items came or went (the widgets are made again).
    void Changed(bool structure);
    void TurnOffRadioSiblings();

    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
    TMenu* menu_ = nullptr;  // set on a menu's hidden root item
    AnsiString caption_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool default_ = false;
    bool radioItem_ = false;
    int groupIndex_ = 0;
    bool autoCheck_ = false;
    TShortCut shortCut_ = 0;
    AnsiString hint_;
    int helpContext_ = 0;
    int imageIndex_ = -1;
    std::unique_ptr<TImpl> impl_;
};

// ---------------------------------------------------------------------------------------------------------

class TMenu : public TComponent, public IMenuLink {
    VCL_CLASS(TMenu, TComponent)
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;

    // The hidden item whose submenu is the menu's items.
    TMenuItem* Items() const { return items_.get(); }
    TImageList* Images() const { return images_.get(); }
    void SetImages(TImageList* value);
    // The enabled, visible item (in an enabled, visible submenu) with that shortcut, or null.
    TMenuItem* FindShortCut(TShortCut shortCut) const;
    // The first item, at any depth, with that caption (accelerators ignored, without regard to case).
    TMenuItem* FindItemByCaption(const AnsiString& caption) const;

    bool IsShortCut(uint16_t key, TShiftState shift) override;
    void PopupAt(TControl* control, int screenX, int screenY) override;
    void AttachToForm(TCustomForm& form) override;
    void DetachFromForm(TCustomForm& form) override;

    // An item changed; the Qt side brings the menu's widgets up to date.
    virtual void MenuChanged(TMenuItem* item, bool structure);

    struct TImpl;
    TImpl& Impl() const { return *impl_; }

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    std::unique_ptr<TMenuItem> items_;
    TComponentRef<TImageList> images_;
    std::unique_ptr<TImpl> impl_;
};

// The menu bar of the form whose Menu it is.
class TMainMenu : public TMenu {
    VCL_CLASS(TMainMenu, TMenu)
public:
    explicit TMainMenu(TComponent* owner);
    ~TMainMenu() override;

    TCustomForm* Form() const { return form_.get(); }
    void AttachToForm(TCustomForm& form) override;
    void DetachFromForm(TCustomForm& form) override;
    void MenuChanged(TMenuItem* item, bool structure) override;

private:
    // Makes the menu bar again (when the form has its window).
    void BuildBar();
    TComponentRef<TCustomForm> form_;
};

VCL_ENUM(TPopupAlignment, paLeft, paRight, paCenter)

class TPopupMenu : public TMenu {
    VCL_CLASS(TPopupMenu, TMenu)
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool value) { autoPopup_ = value; }
    TPopupAlignment Alignment() const { return alignment_; }
    void SetAlignment(TPopupAlignment value) { alignment_ = value; }
    // The control the menu was last shown for.
    TComponent* PopupComponent() const { return popupComponent_.get(); }
    void SetPopupComponent(TComponent* value) { popupComponent_ = value; }
    // The screen point it was last shown at.
    TPoint PopupPoint() const { return popupPoint_; }

    // OnPopup, then the menu at a screen position (it returns at once; a chosen item's OnClick follows).
    virtual void Popup(int x, int y);
    // A right click on a control whose PopupMenu this is (when AutoPopup).
    void PopupAt(TControl* control, int screenX, int screenY) override;
    void MenuChanged(TMenuItem* item, bool structure) override;

    TNotifyEvent OnPopup;

private:
    bool autoPopup_ = true;
    TPopupAlignment alignment_ = paLeft;
    TComponentRef<TComponent> popupComponent_;
    TPoint popupPoint_;
};

}  // namespace vcl
