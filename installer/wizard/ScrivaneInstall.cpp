// Program body of the setup program.
#include "installer/wizard/SetupMain.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/wininet/WinInet.h"

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    win::RegisterWinInetModule();
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Scrivane Install");
        vcl::Application->CreateForm(Form1);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        return 1;
    }
    return 0;
}
