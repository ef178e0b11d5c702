#pragma once
// The installation driver, the one TInstall on the setup's main form and the root of the install-object
// tree. What is here is the part the tree and the path specifiers rely on: its destination and archive
// defaults, the product information, the distribution type, the source folder, the command-line switch
// values and whether a run is under way.

#include <memory>

#include "installer/engine/FileContainers.h"
#include "installer/support/InstallInformation.h"

class IEInstall : public IException {
public:
    using IException::IException;
};

class TCustomInstall;
// The user asked to cancel (QuitOut starts as True; False carries on).
using TUserAbortEvent = std::function<void(TCustomInstall* Install, bool& QuitOut)>;

class TCustomInstall : public TFileContainer {
    VCL_CLASS(TCustomInstall, TFileContainer)
public:
    explicit TCustomInstall(vcl::TComponent* owner);
    ~TCustomInstall() override;

    TDistributeType DistributeType() const { return distributeType_; }
    void SetDistributeType(TDistributeType value) { distributeType_ = value; }
    TInstallInformation* Information() const { return information_.get(); }
    // The optional values of the Add/Remove Programs entry, and the user's registration.
    TControlPanelExtensionInformation* win2KExtendedInformation() const { return extendedInformation_.get(); }
    TRegistrationInformation* RegistrationInformation() const { return registrationInformation_.get(); }

    // A run (install or resume) is under way.
    bool Installing() const { return installing_; }
    void SetInstalling(bool value) { installing_ = value; }
    // The folder the setup runs from.
    const rtl::AnsiString& SourceDir() const { return sourceDir_; }
    void SetSourceDir(const rtl::AnsiString& value) { sourceDir_ = value; }
    // The "-e" switch: whether it was given, and its value (the self-extracting executable's name).
    bool SelfExtracting() const { return selfExtracting_; }
    const rtl::AnsiString& SelfExtractorName() const { return selfExtractorName_; }
    void SetSelfExtractor(bool given, const rtl::AnsiString& name);

    // Installs every component of the type code, in creation order, showing the text (when not blank)
    // while the first one installs.
    virtual void InstallByType(int code, const rtl::AnsiString& text);

    // Fires OnUserAbort with QuitOut True and gives what the handler left: whether to abort.
    virtual bool AskUserAbort();
    TUserAbortEvent OnUserAbort;
    // The computer is restarted at the end of the run (a locked file waits for it).
    bool Reboot() const { return reboot_; }
    void SetReboot(bool value) { reboot_ = value; }
    // Work left for after the restart under the install key's "Unfinished": kind 0 names a component whose
    // FinishAfterReboot runs, kind 1 a file to delete.
    void AddUnfinished(const rtl::AnsiString& name, int kind);
    int UnfinishedCount() const { return unfinishedCount_; }

private:
    TDistributeType distributeType_ = dtTraditional;
    std::unique_ptr<TInstallInformation> information_;
    std::unique_ptr<TControlPanelExtensionInformation> extendedInformation_ =
        std::make_unique<TControlPanelExtensionInformation>();
    std::unique_ptr<TRegistrationInformation> registrationInformation_ = std::make_unique<TRegistrationInformation>();
    bool installing_ = false;
    rtl::AnsiString sourceDir_;
    bool selfExtracting_ = false;
    rtl::AnsiString selfExtractorName_;
    bool reboot_ = false;
    int unfinishedCount_ = 0;
};

class TInstall : public TCustomInstall {
    VCL_CLASS(TInstall, TCustomInstall)
public:
    explicit TInstall(vcl::TComponent* owner);
};
