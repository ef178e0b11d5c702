#include "tool/update/CheckForNewVersions.h"

#include "FormResources_tool_update.h"
#include "platform/win/Shell.h"

VCL_IMPLEMENT_CLASS(TfrmCheckForNewVersions)

void TfrmCheckForNewVersions::RegisterProperties(vcl::TClassDef<TfrmCheckForNewVersions>& def)
{
    def.Handler("FormActivate", &TfrmCheckForNewVersions::FormActivate);
    def.Handler("Label2Click", &TfrmCheckForNewVersions::Label2Click);
}

void RegisterCheckForNewVersions()
{
    RegisterFormResources_tool_update();
    vcl::RegisterClass<TfrmCheckForNewVersions>();
}

TfrmCheckForNewVersions::TfrmCheckForNewVersions(vcl::TComponent* owner) : TForm(owner)
{
    RegisterCheckForNewVersions();
    LoadForm("CheckForNewVersions.frm");
    Panel1 = FindChild<vcl::TPanel>("Panel1");
    Label1 = FindChild<vcl::TLabel>("Label1");
    lblStatus = FindChild<vcl::TLabel>("lblStatus");
    mmoVersionNotes = FindChild<vcl::TMemo>("mmoVersionNotes");
    Panel2 = FindChild<vcl::TPanel>("Panel2");
    Label2 = FindChild<vcl::TLabel>("Label2");
}

void TfrmCheckForNewVersions::FormActivate(vcl::TObject*)
{
    // The check over HTTP (CheckForVersions) comes with the HTTP client.
}

void TfrmCheckForNewVersions::Label2Click(vcl::TObject*)
{
    const rtl::AnsiString target = rtl::AnsiString("URL:") + ScrivaneHomePageAddress;
    win::ShellExecute(Handle(), "open", target.c_str(), nullptr, nullptr, win::SW_SHOWNORMAL);
}
