// A setup program made of engine components only: a driver, a group and a directory with two files from
// "C:\src". It builds its distribution with -b and installs into "C:\Program Files\MyApplication".
//
// The tests choose variants through the environment:
//   TEST_SETUP_WEB=http|ftp   a web distribution on 127.0.0.1 (FTP as "user" / "secret")
//   TEST_SETUP_RECEIVE_MS=n   the downloads' receive time-out, which is also the window of their progress floor
//   TEST_SETUP_DISKS=<folder> floppies for -f: after each disk prompt the disk in drive A: is taken out
//                             into <folder>/<its number> and the one asked for is put in
#include <cstdlib>
#include <filesystem>
#include <string>

#include "installer/engine/FileContainers.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/wininet/WinInet.h"

namespace {

namespace fs = std::filesystem;

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

class TTestSetupInstall : public TInstall {
public:
    explicit TTestSetupInstall(vcl::TComponent* owner) : TInstall(owner) {}

    // As a stored form gives it: the run-time rule of the setter stands aside.
    void StoreDistributeType(TDistributeType value)
    {
        SetComponentState(vcl::csLoading, true);
        SetDistributeType(value);
        SetComponentState(vcl::csLoading, false);
    }

    void PromptForDisk(int32_t disk) override
    {
        TInstall::PromptForDisk(disk);
        const std::string disks = Variable("TEST_SETUP_DISKS");
        if (disks.empty())
            return;
        const std::string drive = win::DriveFolder('A').value_or("");
        const fs::path out = fs::path(disks) / std::to_string(current_);
        fs::create_directories(out);
        for (const auto& entry : fs::directory_iterator(drive))
            fs::rename(entry.path(), out / entry.path().filename());
        const fs::path in = fs::path(disks) / std::to_string(disk);
        if (fs::exists(in)) {
            for (const auto& entry : fs::directory_iterator(in))
                fs::rename(entry.path(), fs::path(drive) / entry.path().filename());
        }
        current_ = disk;
    }

private:
    int32_t current_ = 1;  // the disk in the drive
};

class TfrmTestSetup : public vcl::TForm {
public:
    explicit TfrmTestSetup(vcl::TComponent* owner) : TForm(owner)
    {
        RegisterInstallObjectClasses();
        auto* install = new TTestSetupInstall(this);
        install->SetName("Install1");
        install->SetAutoMaximizeWindow(false);
        if (const std::string web = Variable("TEST_SETUP_WEB"); !web.empty()) {
            auto* location = new TNetInstallLocation(this);
            location->SetName("Location");
            TLoginInformation* login = location->LoginInformation();
            login->SetHostname("127.0.0.1");
            if (web == "ftp") {
                login->SetProtocol(ipFTP);
                login->SetAnonymous(false);
                login->SetUsername("user");
                login->SetPassword("secret");
            }
            install->SetNetLocation(location);
            if (const std::string receive = Variable("TEST_SETUP_RECEIVE_MS"); !receive.empty()) {
                win::DWORD milliseconds = static_cast<win::DWORD>(std::stoul(receive));
                win::InternetSetOptionA(nullptr, win::INTERNET_OPTION_RECEIVE_TIMEOUT, &milliseconds, sizeof milliseconds);
            }
            install->StoreDistributeType(dtWeb);
        }
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
        // As the setup program ends: the driver's destructor starts the clean-up of a temporary copy.
        vcl::Application->DestroyComponents();
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        return 1;
    }
    return SetupExitCode();
}
