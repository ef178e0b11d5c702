// A setup program for the restart tests: a driver with a translator and one install file, "app.dll" from
// "C:\src", made read-only in "C:\Program Files\MyApplication". It builds its distribution with -b.
// The environment steers it:
//   RESTART_SETUP_LANGUAGE=<n>   the translator's target language at the start (a language's ordinal)
//   RESTART_SETUP_REFUSE=1       every restart request is refused
//   RESTART_SETUP_SUBFOLDER=1    a folder is left in the program's own folder just before the clean-up, so
//                                that only the clean-up batch can remove the folder
// Standard error tells how the run ended: "good ending, language <n>" or "bad ending".
#include <cstdio>
#include <cstdlib>

#include "installer/engine/FileContainers.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/support/TrwkTranslator.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Files.h"
#include "platform/win/Platform.h"
#include "platform/win/Restart.h"
#include "platform/win/SystemInfo.h"
#include "platform/wininet/WinInet.h"

namespace {

bool Given(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

class TfrmRestartSetup : public vcl::TForm {
public:
    explicit TfrmRestartSetup(vcl::TComponent* owner) : TForm(owner)
    {
        RegisterInstallObjectClasses();
        auto* translator = new TTranslator(this);
        translator->SetName("MainTranslator");
        if (const char* language = std::getenv("RESTART_SETUP_LANGUAGE"))
            translator->SetTranslateIntoLanguage(static_cast<TTrwkLanguage>(std::atoi(language)));
        auto* install = new TInstall(this);
        install->SetName("Install1");
        install->SetAutoMaximizeWindow(false);
        install->OnAfterNotifyGoodInstall = [translator](rtl::TObject*) {
            std::fprintf(stderr, "good ending, language %d\n", static_cast<int>(translator->TranslateIntoLanguage()));
        };
        install->OnAfterNotifyBadInstall = [](rtl::TObject*) { std::fprintf(stderr, "bad ending\n"); };
        if (Given("RESTART_SETUP_SUBFOLDER")) {
            install->OnBeforeCleanup = [](TCustomInstall* driver, bool&) {
                const rtl::AnsiString folder = driver->OwnFolder() + "\\left";
                win::CreateDirectory(folder.c_str(), nullptr);
            };
        }
        auto* group = new TInstallGroup(this);
        group->SetName("Program");
        group->SetContainer(install);
        TCustomInstallFile* file = TInstallFile::CreateInContainer(this, group, "C:\\src\\app.dll");
        file->SetName("App");
        file->SetInstallAttributes(TTrwkFileAttributesSet{tfaReadOnly});
        try {
            install->Loaded();
        } catch (...) {
            // As an error while the form loads: the driver's handler gives the run its bad ending.
            vcl::Application->HandleException(install);
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    win::RegisterWinInetModule();
    if (Given("RESTART_SETUP_REFUSE"))
        win::SetRestartRefused(true);
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Restart Setup");
        TfrmRestartSetup* form = nullptr;
        vcl::Application->CreateForm(form);
        if (!vcl::Application->Terminated())
            vcl::Application->Run();
        // The end of the program frees its form, and with it the driver, which starts a pending clean-up.
        delete form;
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        return 1;
    }
    return SetupExitCode();
}
