#pragma once
// The setup program's main form: it carries the whole description of the installation of Scrivane as
// components (files and folders, program-menu links, registry entries, wizard dialogs and their managers,
// the translator, the path specifiers). The installation object among them runs the setup once the form has
// been loaded; the form's handlers tell the shell about the new ".wkp" association and the person that a restart
// finishes the installation.

#include "platform/vcl/Forms.h"

class TCustomInstall;

class TForm1 : public vcl::TForm {
    VCL_CLASS(TForm1, vcl::TForm)
public:
    explicit TForm1(vcl::TComponent* owner);

    void Install1AfterNotifyGoodInstall(rtl::TObject* Sender);
    void Install1BeforeReboot(TCustomInstall* Install, bool& Continue);
};

// The program's main form, made by the program body.
extern TForm1* Form1;

// Every class the form's resource names, registered for loading.
void RegisterSetupClasses();
