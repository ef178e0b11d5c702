#include "tests/installer/wizard/CopyWindowTestSupport.h"

#include <filesystem>

#include "installer/engine/InstallFiles.h"

void RegisterFormResources_tests_installer_wizard();

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmCopySetup)

TfrmCopySetup::TfrmCopySetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_wizard();
    LoadForm("CopySetup.frm");
}

TCopyFileForm* TfrmCopySetup::CopyWindow() const
{
    return Manager().DuringCopyFormCount() == 1 ? dynamic_cast<TCopyFileForm*>(Manager().DuringCopyForms(0))
                                                : nullptr;
}

void TfrmCopySetup::Push(const rtl::AnsiString& text)
{
    TMessageParameter parameter;
    parameter.Message = text;
    Send(InstallMessage::Status, &parameter);
}

void CopyWindowTest::SetUp()
{
    WizardTest::SetUp();
    RegisterCopyWindowClasses();
    vcl::RegisterClasses({&TfrmCopySetup::StaticClass()});
}

namespace {

std::unique_ptr<TfrmCopySetup> TwoFileSetup()
{
    auto setup = std::make_unique<TfrmCopySetup>(nullptr);
    TInstall& install = setup->Install();
    install.SetSourceDir("C:\\dist");
    auto* group = new TInstallGroup(setup.get());
    group->SetName("Group");
    group->SetContainer(&install);
    auto* docs = new TInstallDirectory(setup.get());
    docs->SetName("Docs");
    docs->SetContainer(group);
    docs->SetDestDir("\\Docs");
    TInstallFile::CreateInContainer(setup.get(), docs, "C:\\src\\a.txt")->SetName("FileA");
    TInstallFile::CreateInContainer(setup.get(), docs, "C:\\src\\b.txt")->SetName("FileB");
    install.SetInstalling(true);
    install.SetCurrentInstallType(itFull);
    return setup;
}

}  // namespace

std::unique_ptr<TfrmCopySetup> CopyWindowTest::ArchivedSetup()
{
    WriteHost(DriveC("src/a.txt"), std::string(300000, 'a'));
    WriteHost(DriveC("src/b.txt"), std::string(100000, 'b'));
    {
        std::unique_ptr<TfrmCopySetup> building = TwoFileSetup();
        building->Install().Compress(CompressOption::ForceNetFilesLocal);
        building->Install().SetInstalling(false);
    }
    std::filesystem::remove(DriveC("src/a.txt"));
    std::filesystem::remove(DriveC("src/b.txt"));
    return TwoFileSetup();
}
