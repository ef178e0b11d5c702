#pragma once
// The main window of the help-authoring tool.

#include "platform/vcl/Forms.h"

class TfrmMainMenu : public vcl::TForm {
    VCL_CLASS(TfrmMainMenu, vcl::TForm)
public:
    explicit TfrmMainMenu(vcl::TComponent* owner);
};

// The program's main window, made by the program body.
extern TfrmMainMenu* frmMainMenu;
