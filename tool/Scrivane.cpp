// Program body of the help-authoring tool.
#include "platform/vcl/Forms.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "tool/MainUnit.h"

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Halvern Scrivane");
        vcl::Application->CreateForm(frmMainMenu);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        return 1;
    }
    return 0;
}
