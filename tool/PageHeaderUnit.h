#pragma once
// The page header editor: the rich text of a page's non-scrolling region, with a font command. The header
// command loads the page's header lines and the header colour, shows the dialog modally and takes the
// editor's rich-text lines back however it closed:
//
//   std::unique_ptr<TfrmPageHeader> dlg(new TfrmPageHeader(vcl::Application));
//   dlg->mmoHeader->Lines()->Assign(page->Header);
//   dlg->mmoHeader->SetColor(ProjectState().HeaderColor);
//   dlg->ShowModal();
//   page->Header.Assign(*dlg->mmoHeader->Lines());

#include "platform/richedit/RichEdit.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"

class TfrmPageHeader : public vcl::TForm {
    VCL_CLASS(TfrmPageHeader, vcl::TForm)
public:
    explicit TfrmPageHeader(vcl::TComponent* owner);

    // Closes the dialog.
    void btnDoneClick(vcl::TObject* Sender);
    // With text selected: the font dialog, preset with the selection's face, colour, size and style;
    // a confirmed choice goes onto the selection whole, underline included.
    void mnuFontClick(vcl::TObject* Sender);

    vcl::TRichEdit* mmoHeader = nullptr;
    vcl::TPanel* pnlButtons = nullptr;
    vcl::TButton* btnDone = nullptr;
    vcl::TMainMenu* mnuMain = nullptr;
    vcl::TMenuItem* mnuText = nullptr;
    vcl::TMenuItem* mnuFont = nullptr;
    vcl::TFontDialog* dlgFont = nullptr;
};
