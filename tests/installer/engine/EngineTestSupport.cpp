#include "tests/installer/engine/EngineTestSupport.h"

#include "installer/engine/InstallObjects.h"
#include "platform/vcl/FormResource.h"

void RegisterFormResources_tests_installer_engine();

std::vector<std::string>& EngineLog()
{
    static std::vector<std::string> log;
    return log;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestInstallItem)

void TTestInstallItem::ContainerMessage(vcl::TComponent*, int code, rtl::TObject*)
{
    EngineLog().push_back(Name() + " " + std::to_string(code));
}

void TTestInstallItem::Install()
{
    ++Installs;
    EngineLog().push_back(Name() + " install");
    TInstallObject::Install();
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestFile)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestLink)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestRegistry)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestDialog)
VCL_IMPLEMENT_CLASS_NOPROPS(TInstallBDE)
VCL_IMPLEMENT_CLASS_NOPROPS(TRecordingGroup)
VCL_IMPLEMENT_CLASS_NOPROPS(TRecordingDirectory)

void TRecordingGroup::DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    EngineLog().push_back(Name() + " hook " + std::to_string(code) + " from " + sender->Name());
    TInstallGroup::DoInformationEventControl(sender, code, parameter);
}

void TRecordingDirectory::DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    EngineLog().push_back(Name() + " hook " + std::to_string(code) + " from " + sender->Name());
    TInstallDirectory::DoInformationEventControl(sender, code, parameter);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmInstallTree)

TfrmInstallTree::TfrmInstallTree(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_engine();
    LoadForm("InstallTree.frm");
}

void EngineTest::SetUp()
{
    WinPrefixTest::SetUp();
    RegisterInstallObjectClasses();
    vcl::RegisterClasses({&TTestFile::StaticClass(), &TTestLink::StaticClass(), &TTestRegistry::StaticClass(),
                          &TTestDialog::StaticClass(), &TInstallBDE::StaticClass(), &TRecordingGroup::StaticClass(),
                          &TRecordingDirectory::StaticClass()});
    EngineLog().clear();
    ResetInstallEngine();
}

void EngineTest::TearDown()
{
    EngineLog().clear();
    WinPrefixTest::TearDown();
}
