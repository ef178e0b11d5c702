#include "tool/PageHeaderUnit.h"

#include "FormResources_tool.h"

using namespace vcl;

VCL_IMPLEMENT_CLASS(TfrmPageHeader)

void TfrmPageHeader::RegisterProperties(TClassDef<TfrmPageHeader>& def)
{
    def.Handler("btnDoneClick", &TfrmPageHeader::btnDoneClick);
    def.Handler("mnuFontClick", &TfrmPageHeader::mnuFontClick);
}

TfrmPageHeader::TfrmPageHeader(TComponent* owner) : TForm(owner)
{
    RegisterRichEditControls();
    RegisterFormResources_tool();
    RegisterClass<TfrmPageHeader>();
    LoadForm("PageHeaderUnit.frm");
    mmoHeader = FindChild<TRichEdit>("mmoHeader");
    pnlButtons = FindChild<TPanel>("pnlButtons");
    btnDone = FindChild<TButton>("btnDone");
    mnuMain = FindChild<TMainMenu>("mnuMain");
    mnuText = FindChild<TMenuItem>("mnuText");
    mnuFont = FindChild<TMenuItem>("mnuFont");
    dlgFont = FindChild<TFontDialog>("dlgFont");
}

void TfrmPageHeader::btnDoneClick(TObject*)
{
    Close();
}

void TfrmPageHeader::mnuFontClick(TObject*)
{
    if (mmoHeader->SelLength() == 0)
        return;
    dlgFont->Font()->Assign(mmoHeader->SelAttributes());
    if (dlgFont->Execute())
        mmoHeader->SelAttributes()->Assign(dlgFont->Font());
}
