// A setup program made of engine components only: a driver, a group and a directory with two files from
// "C:\src". It builds its distribution with -b and installs into "C:\Program Files\MyApplication".
#include "installer/engine/FileContainers.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/wininet/WinInet.h"

namespace {

class TfrmTestSetup : public vcl::TForm {
public:
    explicit TfrmTestSetup(vcl::TComponent* owner) : TForm(owner)
    {
        RegisterInstallObjectClasses();
        auto* install = new TInstall(this);
        install->SetName("Install1");
        install->SetAutoMaximizeWindow(false);
        auto* group = new TInstallGroup(this);
        group->SetName("Program");
        group->SetContainer(install);
        auto* docs = new TInstallDirectory(this);
        docs->SetName("Docs");
        docs->SetContainer(group);
        docs->SetDestDir("\\Docs");
        for (const char* name : {"readme.txt", "data.bin"}) {
            TCustomInstallFile* file = TInstallFile::CreateInContainer(this, docs, rtl::AnsiString("C:\\src\\") + name);
            file->SetName(name[0] == 'r' ? "Readme" : "Data");
        }
        // The form is complete: the driver starts as after loading.
        install->Loaded();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    win::RegisterWinInetModule();
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Test Setup");
        TfrmTestSetup* form = nullptr;
        vcl::Application->CreateForm(form);
        if (!vcl::Application->Terminated())
            vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        return 1;
    }
    return 0;
}
