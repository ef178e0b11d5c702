#include "installer/engine/Install.h"

#include "installer/engine/PathSpecifiers.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Registry.h"

using rtl::AnsiString;

VCL_IMPLEMENT_CLASS(TCustomInstall)

void TCustomInstall::RegisterProperties(vcl::TClassDef<TCustomInstall>& def)
{
    using T = TCustomInstall;
    def.Property("DestDir", &T::DestDir, &T::SetDestDir, AnsiString("\\MyApplication"));
    def.Property("DistributeType", &T::DistributeType, &T::SetDistributeType, dtTraditional);
    def.Property("Information", &T::Information, nullptr);
    def.Property("win2KExtendedInformation", &T::win2KExtendedInformation, nullptr);
    def.Property("InstallTypes", &T::InstallTypes, &T::SetInstallTypes, TInstallTypes{itFull});
    def.Event("OnUserAbort", &T::OnUserAbort);
    def.Property("Reboot", &T::Reboot, &T::SetReboot, false);
}

TCustomInstall::TCustomInstall(vcl::TComponent* owner)
    : TFileContainer(owner), information_(std::make_unique<TInstallInformation>())
{
    if (!InstallDriver())
        SetInstallDriver(this);
    // The driver's folder is the destination itself, not a container's to name.
    DropPathSpecifier();
    SetInstallTypes({itFull});
    SetDestDir("\\MyApplication");
    // Defaults that a stored form replaces; one that names no folder type leaves none (Loaded).
    if (TCustomPathSpecifier* programFiles = StandardPathSpecifiers().FindSpecifierOrNull(TpsProgramFiles::StaticClass())) {
        SetDestDirType(programFiles);
        MarkDestDirTypeDefaulted();
    }
    if (TCustomPathSpecifier* archive = StandardPathSpecifiers().FindSpecifierOrNull(TpsMainArchiveFile::StaticClass()))
        SetArchiveFileType(archive);
}

TCustomInstall::~TCustomInstall()
{
    if (InstallDriver() == this)
        SetInstallDriver(nullptr);
}

void TCustomInstall::SetSelfExtractor(bool given, const AnsiString& name)
{
    selfExtracting_ = given;
    selfExtractorName_ = name;
}

void TCustomInstall::AddUnfinished(const AnsiString& name, int kind)
{
    if (InstallKey().empty())
        throw IEInstall(AnsiString("The TInstall could not either write or read unfinished business from the registry"));
    ++unfinishedCount_;
    RegWriteString(win::HKEY_LOCAL_MACHINE, AddBackslash(InstallKey()) + "Unfinished", name, std::to_string(kind));
}

VCL_IMPLEMENT_CLASS_NOPROPS(TInstall)

TInstall::TInstall(vcl::TComponent* owner) : TCustomInstall(owner) {}

bool TCustomInstall::AskUserAbort()
{
    bool quitOut = true;
    if (OnUserAbort)
        OnUserAbort(this, quitOut);
    return quitOut;
}

void TCustomInstall::InstallByType(int code, const AnsiString& text)
{
    bool statusShown = false;
    try {
        const std::vector<TInstallContainer*> all = InstallContainers().Snapshot();
        // Each turns null should what an install runs free it.
        for (const vcl::TComponentRef<TInstallContainer>& container : std::vector<vcl::TComponentRef<TInstallContainer>>(all.begin(), all.end())) {
            if (!container || container->ComponentType() != code)
                continue;
            if (!statusShown && !rtl::Trim(text).empty()) {
                DoStatus(text);
                statusShown = true;
            }
            container->Install();
        }
    } catch (...) {
        if (statusShown)
            ClearStatus();
        throw;
    }
    if (statusShown)
        ClearStatus();
}
