// Program body of the setup program.
#include "installer/engine/Install.h"
#include "installer/wizard/SetupMain.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Ole.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/wininet/WinInet.h"

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    win::RegisterWinInetModule();
    // The shortcuts are made through COM on this thread.
    win::CoInitialize(nullptr);
    int result = 0;
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Scrivane Install");
        vcl::Application->CreateForm(Form1);
        if (!vcl::Application->Terminated())
            vcl::Application->Run();
        // The forms go as the program ends: the installation's destructor starts the clean-up of a setup
        // that runs from a temporary copy.
        vcl::Application->DestroyComponents();
        result = SetupExitCode();
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        result = 1;
    }
    win::CoUninitialize();
    return result;
}
