// The one registration of the standard controls for form resources (called, never a static initialiser).
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"

namespace vcl {

void RegisterStandardControls()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    RegisterControlClasses();
    RegisterPictureClasses();
    RegisterClasses({
        // StdCtrls
        &TCustomLabel::StaticClass(), &TLabel::StaticClass(), &TButton::StaticClass(), &TCustomEdit::StaticClass(),
        &TEdit::StaticClass(), &TMemo::StaticClass(), &TCheckBox::StaticClass(), &TRadioButton::StaticClass(),
        &TComboBox::StaticClass(), &TListBox::StaticClass(), &TGroupBox::StaticClass(),
        // ExtCtrls
        &TCustomPanel::StaticClass(), &TPanel::StaticClass(), &TBevel::StaticClass(), &TSplitter::StaticClass(),
        &TImage::StaticClass(), &TPaintBox::StaticClass(),
        // Buttons
        &TBitBtn::StaticClass(), &TSpeedButton::StaticClass(),
        // ComCtrls
        &TTreeView::StaticClass(), &TProgressBar::StaticClass(), &TStatusBar::StaticClass(),
        &TStatusPanel::StaticClass(), &TStatusPanels::StaticClass(), &TCustomTabControl::StaticClass(),
        &TTabControl::StaticClass(), &TPageControl::StaticClass(), &TTabSheet::StaticClass(),
        &TUpDown::StaticClass(), &TSpinButton::StaticClass(),
        // Menus and image lists
        &TMenu::StaticClass(), &TMainMenu::StaticClass(), &TPopupMenu::StaticClass(), &TMenuItem::StaticClass(),
        &TImageList::StaticClass(),
    });
}

}  // namespace vcl
