#include "tool/PreferencesUnit.h"

#include "FormResources_tool.h"
#include "tool/ProjectModel.h"

VCL_IMPLEMENT_CLASS(TfrmPreferences)

void TfrmPreferences::RegisterProperties(vcl::TClassDef<TfrmPreferences>& def)
{
    def.Handler("FormCreate", &TfrmPreferences::FormCreate);
    def.Handler("btnOKClick", &TfrmPreferences::btnOKClick);
}

TfrmPreferences::TfrmPreferences(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterClass<TfrmPreferences>();
    LoadForm("PreferencesUnit.frm");
}

void TfrmPreferences::BindControls()
{
    cbxBackups = FindChild<vcl::TCheckBox>("cbxBackups");
    cbxUpdates = FindChild<vcl::TCheckBox>("cbxUpdates");
    cbxCompression = FindChild<vcl::TCheckBox>("cbxCompression");
    cbxDisplay = FindChild<vcl::TCheckBox>("cbxDisplay");
    btnOK = FindChild<vcl::TButton>("btnOK");
    btnCancel = FindChild<vcl::TButton>("btnCancel");
}

void TfrmPreferences::FormCreate(vcl::TObject*)
{
    // OnCreate comes at the end of loading, before the constructor could look the controls up.
    BindControls();
    const TProjectState& state = ProjectState();
    cbxBackups->SetChecked(state.AutoSaveBackup);
    cbxUpdates->SetChecked(state.CheckForUpdates);
    cbxCompression->SetChecked(state.UseCompression);
    cbxDisplay->SetChecked(state.ShowHelpFile);
}

void TfrmPreferences::btnOKClick(vcl::TObject*)
{
    TProjectState& state = ProjectState();
    state.CheckForUpdates = cbxUpdates->Checked();
    state.AutoSaveBackup = cbxBackups->Checked();
    state.ShowHelpFile = cbxDisplay->Checked();
    state.UseCompression = cbxCompression->Checked();
}
