#include "installer/engine/Install.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "FormResources_installer_engine.h"
#include "installer/engine/InstallFiles.h"
#include "installer/engine/InstallRollback.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/ProgramLauncher.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/UninstallLayout.h"
#include "installer/support/VersionResource.h"
#include "platform/rtl/DateUtils.h"
#include "platform/vcl/FormResource.h"
#include "platform/vcl/Registry.h"
#include "platform/win/Registry.h"
#include "platform/win/SystemInfo.h"

using rtl::AnsiString;

namespace {

const char* const InstallRootKey = SetupRunsKey;
// The keys above the install keys, innermost first: each goes once it holds nothing more.
const char* const InstallKeyParents[] = {InstallRootKey, "\\SOFTWARE\\ULO", "\\Software\\Tarnwick"};
const char SwitchLetters[] = "bcdefnrs";

const char* const UsageText =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to "
    "floppies), -e (Called by self-extractor), -r (After reboot)";

void Fire(const rtl::TNotifyEvent& event, rtl::TObject* sender)
{
    if (event)
        event(sender);
}

// The side picture the wizard pages show when neither their dialog nor the stored form gives one.
void LoadDefaultThemePicture(vcl::TPicture& picture)
{
    RegisterFormResources_installer_engine();
    if (const AnsiString* bytes = vcl::FindFormResource("InstallTheme.bmp"))
        picture.Bitmap()->LoadFromBytes(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
}

}  // namespace

rtl::TDateTime& RunStart()
{
    static rtl::TDateTime start = 0;
    return start;
}

TSetupExitCode& SetupExitCode()
{
    static TSetupExitCode code = secGood;
    return code;
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TBuildInfo)

void TBuildInfo::RegisterProperties(vcl::TClassDef<TBuildInfo>& def)
{
    using T = TBuildInfo;
    def.Property("AddUninstallOnCreate", &T::AddUninstallOnCreate, &T::SetAddUninstallOnCreate, true);
    def.Property("AppName", &T::AppName, &T::SetAppName, AnsiString());
    def.Property("AppURL", &T::AppURL, &T::SetAppURL, AnsiString());
    def.Property("BuildDirectory", &T::BuildDirectory, &T::SetBuildDirectory, AnsiString("c:\\build"));
    def.Property("CredentialsFile", &T::CredentialsFile, &T::SetCredentialsFile, AnsiString());
    def.Property("OCXName", &T::OCXName, &T::SetOCXName, AnsiString("twsetup"));
    def.Property("PrivateKeyFile", &T::PrivateKeyFile, &T::SetPrivateKeyFile, AnsiString());
    def.Property("SignCode", &T::SignCode, &T::SetSignCode, false);
    def.Property("URLPath", &T::URLPath, &T::SetURLPath, AnsiString());
}

void TBuildInfo::Assign(const vcl::TPersistent* source)
{
    const auto* other = dynamic_cast<const TBuildInfo*>(source);
    if (!other) {
        inherited::Assign(source);
        return;
    }
    if (other != this)
        *this = *other;
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TCustomInstall)

void TCustomInstall::RegisterProperties(vcl::TClassDef<TCustomInstall>& def)
{
    using T = TCustomInstall;
    def.Property("AutoMaximizeWindow", &T::AutoMaximizeWindow, &T::SetAutoMaximizeWindow, true);
    def.Property("BuildInfo", &T::BuildInfo, &T::SetBuildInfo);
    def.Property("DestDir", &T::DestDir, &T::SetDestDir, AnsiString("\\MyApplication"));
    def.Property("DistributeType", &T::DistributeType, &T::SetDistributeType, dtTraditional);
    def.Property("HideMainForm", &T::HideMainForm, &T::SetHideMainForm, false);
    def.Property("DialogThemeBitmap", &T::DialogThemeBitmap, nullptr);
    def.Property("Information", &T::Information, nullptr);
    def.Property("win2KExtendedInformation", &T::Win2KExtendedInformation, nullptr);
    def.Property("InstallTypes", &T::InstallTypes, &T::SetInstallTypes, TInstallTypes{itFull});
    def.Property("NoUninstall", &T::NoUninstall, &T::SetNoUninstall, false);
    def.Property("PresetupFiles", &T::PresetupFiles, &T::SetPresetupFiles);
    def.Property("Reboot", &T::Reboot, &T::SetReboot, false);
    def.Property("RunAutomatic", &T::RunAutomatic, &T::SetRunAutomatic, true);
    def.Property("UseLoadingProgram", &T::UseLoadingProgram, &T::SetUseLoadingProgram, true);
    def.Event("OnAfterInitialized", &T::OnAfterInitialized);
    def.Event("OnAfterNotifyBadInstall", &T::OnAfterNotifyBadInstall);
    def.Event("OnAfterNotifyGoodInstall", &T::OnAfterNotifyGoodInstall);
    def.Event("OnAfterReadArchiveInfo", &T::OnAfterReadArchiveInfo);
    def.Event("OnBeforeCleanup", &T::OnBeforeCleanup);
    def.Event("OnBeforeNotifyBadInstall", &T::OnBeforeNotifyBadInstall);
    def.Event("OnBeforeNotifyGoodInstall", &T::OnBeforeNotifyGoodInstall);
    def.Event("OnBeforeReadArchiveInfo", &T::OnBeforeReadArchiveInfo);
    def.Event("OnBeforeReboot", &T::OnBeforeReboot);
    def.Event("OnBeforeRunFile", &T::OnBeforeRunFile);
    def.Event("OnBeforeShutdown", &T::OnBeforeShutdown);
    def.Event("OnFailedReboot", &T::OnFailedReboot);
    def.Event("OnUserAbort", &T::OnUserAbort);
}

TCustomInstall::TCustomInstall(vcl::TComponent* owner)
    : TFileContainer(owner),
      buildInfo_(std::make_unique<TBuildInfo>()),
      information_(std::make_unique<TInstallInformation>()),
      extendedInformation_(std::make_unique<TControlPanelExtensionInformation>()),
      registration_(std::make_unique<TRegistrationInformation>()),
      presetupFiles_(std::make_unique<rtl::TStringList>())
{
    if (InstallDriver())
        throw IEInstall(AnsiString(
            "The TInstall component does not currently support the use of 2 TInstall components in the same project"));
    if (!dynamic_cast<vcl::TCustomForm*>(owner))
        throw IEInstall(AnsiString("The owner of a TInstall must be a form"));
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
    LoadDefaultThemePicture(*dialogThemeBitmap_);
    if (!IsDesigning(this)) {
        if (vcl::TApplication* application = vcl::GetApplication())
            application->OnException = [this](rtl::TObject* sender, const rtl::Exception& error) {
                HandleException(sender, error);
            };
    }
}

TCustomInstall::~TCustomInstall()
{
    if (mainForm_ && activationHooked_ && !IsDesigning(this) &&
        !mainForm_->ComponentState().Contains(vcl::csDestroying))
        mainForm_->OnActivate = savedOnActivate_;
    if (InstallDriver() == this)
        SetInstallDriver(nullptr);
    if (!IsDesigning(this)) {
        if (vcl::TApplication* application = vcl::GetApplication())
            application->OnException = nullptr;
    }
    StartCleanupBatch();
}

void TCustomInstall::SetAutoMaximizeWindow(bool value)
{
    autoMaximizeWindow_ = value;
    if (value && !ComponentState().Contains(vcl::csLoading))
        hideMainForm_ = false;
}

void TCustomInstall::SetHideMainForm(bool value)
{
    hideMainForm_ = value;
    if (value && !ComponentState().Contains(vcl::csLoading))
        autoMaximizeWindow_ = false;
}

void TCustomInstall::SetUseLoadingProgram(bool value)
{
    useLoadingProgram_ = value;
    if (value && !ComponentState().Contains(vcl::csLoading)) {
        if (TCustomPathSpecifier* archive =
                StandardPathSpecifiers().FindSpecifierOrNull(TpsMainArchiveFile::StaticClass()))
            RestoreArchive(AddToArchive(), AnsiString(), archive);
    }
}

void TCustomInstall::SetPresetupFiles(rtl::TStrings* value)
{
    presetupFiles_->Clear();
    if (!value)
        return;
    for (int i = 0; i < value->Count(); ++i) {
        if (!rtl::Trim(value->Strings(i)).empty())
            presetupFiles_->Add(value->Strings(i));
    }
}

void TCustomInstall::SetDistributeType(TDistributeType value)
{
    if (!ComponentState().Contains(vcl::csLoading)) {
        if (!IsDesigning(this))
            throw IEInstall(AnsiString("DistributeType can only be set at design-time"));
        if (value != dtTraditional && !NetLocation())
            throw IEInstallNetLocNil(AnsiString(
                "Must assign a net location via the NetLocation property before you can set the distribute type"));
    }
    distributeType_ = value;
}

void TCustomInstall::SetNetLocation(TCustomNetInstallLocation* value)
{
    TFileContainer::SetNetLocation(value);
    SetDefaultNetInstallLocation(value);
    if (!value)
        distributeType_ = dtTraditional;
}

void TCustomInstall::Notification(vcl::TComponent* component, vcl::TOperation operation)
{
    const bool wasLocation = operation == vcl::opRemove && component != nullptr &&
                             component == static_cast<vcl::TComponent*>(NetLocation());
    TFileContainer::Notification(component, operation);
    if (wasLocation)
        SetNetLocation(nullptr);
}

void TCustomInstall::SetSelfExtractor(bool given, const AnsiString& name)
{
    switches_[swSelfExtract] = given;
    switchValues_[swSelfExtract] = name;
}

// ---------------------------------------------------------------------------------------------------------
// Command line and start

void TCustomInstall::ParseCommandLine(const std::vector<AnsiString>& arguments)
{
    switches_.fill(false);
    switchValues_.fill(AnsiString());
    for (const AnsiString& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '-' && argument[0] != '*'))
            throw IException(Fmt, UsageText, argument);
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(argument[1])));
        const char* found = letter != '\0' ? std::strchr(SwitchLetters, letter) : nullptr;
        if (!found) {
            if (argument[0] == '*')
                continue;
            throw IException(Fmt, UsageText, argument);
        }
        const auto index = static_cast<size_t>(found - SwitchLetters);
        switches_[index] = true;
        switchValues_[index] = argument.substr(2);
    }
}

void TCustomInstall::ParseCommandLine()
{
    std::vector<AnsiString> arguments;
    for (int i = 1; i <= win::ParamCount(); ++i)
        arguments.push_back(win::ParamStr(i));
    ParseCommandLine(arguments);
}

AnsiString TCustomInstall::OwnPath() const
{
    return win::ParamStr(0);
}

AnsiString TCustomInstall::OwnFolder() const
{
    return RemoveBackslash(rtl::ExtractFilePath(OwnPath()));
}

AnsiString TCustomInstall::SetupExePath() const
{
    if (SelfExtracting())
        return const_cast<TCustomInstall*>(this)->GetArchivePath();
    // The loading program names itself with -e; without it, the distribution's loader has its fixed name.
    if (useLoadingProgram_)
        return AddBackslash(sourceDir_) + "setup.exe";
    return OwnPath();
}

void TCustomInstall::Loaded()
{
    TFileContainer::Loaded();
    const bool designing = IsDesigning(this);
    if (!designing) {
        ParseCommandLine();
        if (switches_[swDebug] && rtl::Trim(switchValues_[swSource]).empty())
            throw IEInstall(AnsiString("You forgot to pass in the build directory. In Run | Parameters, follow this "
                                       "format: -d \"-sC:\\My Build\""));
    }
    sourceDir_ = switches_[swSource] ? switchValues_[swSource] : OwnFolder();
    InstallKey() = FindInstallKey(false);
    AnsiString local;
    if (!InstallKey().empty() && FindLocalArchive(local))
        SetLocalArchivePath(local);
    mainForm_ = vcl::GetApplication() ? vcl::GetApplication()->MainForm() : nullptr;
    if (!mainForm_)
        mainForm_ = dynamic_cast<vcl::TCustomForm*>(Owner());
    if (!mainForm_ && runAutomatic_)
        throw IEInstall(AnsiString("Application.MainForm is undefined and the TInstall is not on a form. Therefore, "
                                   "therefore the TInstall can't run the installation automatically"));
    ApplyInstallType();
    if (designing)
        return;
    if (switches_[swBuild]) {
        Build();
    } else if (switches_[swFloppies]) {
        TransferToFloppies("a:");
    } else if (switches_[swReboot]) {
        FinishAfterReboot();
    } else if (mainForm_) {
        if (auto* form = dynamic_cast<vcl::TForm*>(mainForm_.get())) {
            savedOnActivate_ = form->OnActivate;
            form->OnActivate = [this](rtl::TObject* sender) { FirstActivation(sender); };
            activationHooked_ = true;
        }
        if (hideMainForm_) {
            mainForm_->SetLeft(-2 * mainForm_->Width());
            mainForm_->SetTop(-2 * mainForm_->Height());
        }
    }
}

void TCustomInstall::ApplyInstallType()
{
    TInstallType type = itFull;
    if (InstallTypes().Contains(itDefault))
        type = itDefault;
    else if (InstallTypes().Contains(itCompact))
        type = itCompact;
    SetCurrentInstallType(type);
}

void TCustomInstall::FirstActivation(rtl::TObject*)
{
    if (activated_)
        return;
    if (savedOnActivate_)
        savedOnActivate_(Owner());
    activated_ = true;
    if (mainForm_ && autoMaximizeWindow_) {
        mainForm_->SetWindowState(vcl::wsMaximized);
        mainForm_->Repaint();
    }
    if (!runAutomatic_)
        return;
    if (mainForm_ && activationHooked_ && !mainForm_->ComponentState().Contains(vcl::csDestroying) &&
        savedOnActivate_) {
        mainForm_->OnActivate = savedOnActivate_;
        activationHooked_ = false;
    }
    Install();
}

// ---------------------------------------------------------------------------------------------------------
// The run

void TCustomInstall::InstallTree()
{
    const TUninstallRecordsRun records;
    TInstallObject::Install();
}

void TCustomInstall::Install()
{
    // Every component's records are written in this run; only the records' own functions touch them.
    const TUninstallRecordsRun records;
    aborted_ = false;
    // A Cancel counts from the start of this run until its commit.
    committed_ = false;
    SharedCompressor().SetAbort(false);
    SetNetDownloadAbort(false);
    // The run decides how the program ends, whatever was shown before it.
    SetupExitCode() = secGood;
    RunStart() = rtl::Now();
    DeferRegistration() = true;
    for (TCustomInstallFile* file : DeferredRegistrations().Snapshot())
        DeferredRegistrations().Remove(file);
    unfinishedCount_ = 0;
    cleanupBatchPending_ = false;
    installing_ = true;
    if (useLoadingProgram_ && !switches_[swSource])
        throw IEInstall(AnsiString(
            "The path of the loading program was not passed correctly. If you are running your install project in "
            "the IDE, then you need to add two command line parameters. In Run | Parameters | \"Run Parameters\", "
            "type in: -d \"-sBUILDPATH\" where BUILDPATH is the path into which you built the distributables. "
            "Example: -d \"-sC:\\My Build\"."));
    // From here on a bad ending takes back everything the run changed, its own install key included.
    InstallRollback().Begin();
    NoteParentKeys();
    // A first run has no list to empty.
    if (switches_[swNewUnfinished] && !InstallKey().empty())
        ClearUnfinished();
    InstallKey() = FindInstallKey(true);
    earlierBatches_.clear();
    earlierMoves_.clear();
    if (!earlierPath_.empty()) {
        try {
            earlierMoves_ = win::PendingMoves();
        } catch (const rtl::Exception&) {
            // A list that cannot be read is left as it is.
        }
        rtl::TStringList lines;
        ReadUnfinished(lines);
        for (int i = 0; i < lines.Count(); ++i) {
            const AnsiString& line = lines.Strings(i);
            const size_t separator = line.rfind(';');
            if (separator != AnsiString::npos && line.substr(separator + 1) == "1")
                earlierBatches_.push_back(line.substr(0, separator));
        }
    }
    ClearUnfinished();
    if (switches_[swSelfExtract])
        ReadSelfExtractInfo();
    ReadArchiveInfo();
    Fire(OnAfterInitialized, this);
    BroadcastMessage(this, InstallMessage::RunStarts, nullptr);
    BroadcastMessage(this, InstallMessage::BeforeInstall, nullptr);
    if (aborted_)
        return;
    RunInstallSteps();
    // A Cancel confirmed after the copy loops last looked at their flags still ends the run as cancelled.
    if (SharedCompressor().Abort() || NetDownloadAbort())
        throw EAIUserAbort();
    TakeOverEarlierRun();
    if (reboot_ || unfinishedCount_ > 0) {
        RegisterRunOnce();
        // The product's uninstaller takes this run's waiting work back with the product.
        RegWriteString(win::HKEY_LOCAL_MACHINE, InstallKey(), SetupRunProductValue,
                       UninstallKeyOf(Information()->ProductName()));
    }
    if (reboot_)
        SaveLanguage();
    if (const win::LONG error = InstallRollback().WriteRegistry(); error != win::ERROR_SUCCESS)
        throw IEInstall("Cannot write the registry (error " + rtl::IntToStr(error) + ").");
    // The installation is complete: nothing of it is taken back any more, whatever follows.
    InstallRollback().Commit();
    committed_ = true;
    if (reboot_) {
        SetupExitCode() = secRestart;
        BroadcastMessage(this, InstallMessage::BeforeReboot, nullptr);
        bool carryOn = reboot_;
        if (OnBeforeReboot)
            OnBeforeReboot(this, carryOn);
        reboot_ = carryOn;
        if (reboot_)
            RebootWindows();
        if (vcl::TApplication* application = vcl::GetApplication())
            application->Terminate();
        return;
    }
    EndWell();
}

void TCustomInstall::EndWell()
{
    NotifyGoodInstall();
    // The installation stands: a clean-up that fails says so and leaves its rest to the next start.
    try {
        TempCleanup();
    } catch (const rtl::Exception& error) {
        ReportCleanupFailure(error.Message());
    }
    RemoveInstallKey();
    if (runAutomatic_)
        Shutdown();
    RunFiles();
    installing_ = false;
}

void TCustomInstall::RunInstallSteps()
{
    auto afterObjects = [this] {
        if (OnAfterInstallObjects)
            OnAfterInstallObjects(this, SharedCompressor().Abort());
    };
    try {
        InstallTree();
        DeferRegistration() = false;
        for (TCustomInstallFile* file : DeferredRegistrations().Snapshot())
            file->RegisterActiveX();
        struct Step {
            int code;
            const char* text;
        };
        static const Step steps[] = {{2750, "Installing ODBC drivers..."},
                                     {2875, "Installing ODBC sources..."},
                                     {3000, "Installing Borland Database Engine aliases..."},
                                     {ComponentTypeCode::ShellLinkGroup, "Installing shell links..."},
                                     {ComponentTypeCode::ShellLink, "Installing shell links..."},
                                     {4000, "Installing INI files..."},
                                     {ComponentTypeCode::Registry, "Installing registry keys..."},
                                     {8700, ""},
                                     {9052, ""},
                                     {9050, ""},
                                     {9054, ""}};
        for (const Step& step : steps)
            InstallByType(step.code, step.text);
    } catch (...) {
        afterObjects();
        throw;
    }
    afterObjects();
}

void TCustomInstall::InstallByType(int code, const AnsiString& text)
{
    bool shown = false;
    WithCleanup(
        [&] {
            const std::vector<TInstallContainer*> all = InstallContainers().Snapshot();
            // Each turns null should what an install runs free it.
            for (TInstallContainer* component : std::vector<vcl::TComponentRef<TInstallContainer>>(all.begin(), all.end())) {
                if (!component || component->ComponentType() != code)
                    continue;
                if (!shown && !rtl::Trim(text).empty()) {
                    DoStatus(text);
                    shown = true;
                }
                component->Install();
            }
        },
        [&] {
            if (shown)
                ClearStatus();
        });
}

void TCustomInstall::NotifyGoodInstall()
{
    Fire(OnBeforeNotifyGoodInstall, this);
    BroadcastMessage(this, InstallMessage::GoodEnding, nullptr);
    BroadcastMessage(this, InstallMessage::AfterGoodInstall, nullptr);
    Fire(OnAfterNotifyGoodInstall, this);
}

void TCustomInstall::NotifyBadInstall()
{
    Fire(OnBeforeNotifyBadInstall, this);
    BroadcastMessage(this, InstallMessage::BadEnding, nullptr);
    BroadcastMessage(this, InstallMessage::AfterBadInstall, nullptr);
    Fire(OnAfterNotifyBadInstall, this);
}

bool TCustomInstall::Shutdown()
{
    bool quitOut = true;
    if (OnBeforeShutdown)
        OnBeforeShutdown(this, quitOut);
    if (quitOut) {
        if (vcl::TApplication* application = vcl::GetApplication())
            application->Terminate();
    }
    return !quitOut;
}

void TCustomInstall::RunFiles()
{
    for (TCustomInstallFile* file : InstallFiles().Snapshot()) {
        if (!file->RunAfterInstall())
            continue;
        bool defaultAction = true;
        if (OnBeforeRunFile)
            OnBeforeRunFile(this, file, defaultAction);
        if (!defaultAction)
            continue;
        TProgramLauncher launcher(nullptr);
        launcher.SetFileName(file->GetDestFileName());
        launcher.SetShowMode(smNormal);
        launcher.Execute();
    }
}

namespace {

// Through the application's standard display, with what was damaged when the error knows it.
void ShowError(const rtl::Exception& error)
{
    vcl::TApplication* application = vcl::GetApplication();
    if (!application)
        return;
    if (dynamic_cast<const TDamageNote*>(&error))
        application->ShowException(rtl::Exception(ShownErrorText(error)));
    else
        application->ShowException(error);
}

}  // namespace

void TCustomInstall::HandleException(rtl::TObject*, const rtl::Exception& error)
{
    vcl::TApplication* application = vcl::GetApplication();
    const bool userAbort = dynamic_cast<const EAIUserAbort*>(&error) != nullptr;
    if (!installing_) {
        SetupExitCode() = secFailed;
        ShowError(error);
        return;
    }
    installing_ = false;
    aborted_ = true;
    SetupExitCode() = userAbort ? secCancelled : secFailed;
    // Whatever the cause, the machine is put back before the bad ending is shown.
    const std::vector<AnsiString> left = InstallRollback().Undo();
    try {
        if (userAbort) {
            NotifyBadInstall();
            ReportNotPutBack(left);
            TempCleanup();
            RemoveInstallKey();
            if (runAutomatic_)
                Shutdown();
        } else {
            NotifyBadInstall();
            ShowError(error);
            ReportNotPutBack(left);
            TempCleanup();
            // A resume keeps the key: its unfinished entries are still to be done by a later run.
            if (!switches_[swReboot])
                RemoveInstallKey();
            Shutdown();
        }
    } catch (...) {
        if (runAutomatic_ && application)
            application->Terminate();
    }
}

bool TCustomInstall::AskUserAbort()
{
    bool quitOut = true;
    if (OnUserAbort)
        OnUserAbort(this, quitOut);
    return quitOut;
}

// ---------------------------------------------------------------------------------------------------------
// The install key

AnsiString TCustomInstall::FindInstallKey(bool create)
{
    const AnsiString own = OwnPath();
    rtl::TDateTime fileDate = 0;
    FileDateForOverwrite(own, fileDate);
    int32_t fileSize = 0;
    try {
        rtl::TFileStream stream(own, rtl::fmOpenRead | rtl::fmShareDenyNone);
        fileSize = static_cast<int32_t>(stream.Size());
    } catch (const rtl::Exception&) {
    }
    vcl::TRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    rtl::TStringList names;
    try {
        // Only a run makes the parent: a look-up that finds nothing leaves nothing behind.
        if (!registry.OpenKey(InstallRootKey, create))
            return {};
        registry.GetKeyNames(names);
        registry.CloseKey();
    } catch (const rtl::Exception&) {
        return {};
    }
    for (int i = 0; i < names.Count(); ++i) {
        const AnsiString key = AnsiString(InstallRootKey) + "\\" + names.Strings(i);
        try {
            if (!registry.OpenKey(key, false))
                continue;
            const AnsiString earlier = registry.ReadString("Path");
            const double date = registry.ReadFloat("CreationDate");
            const int size = registry.ReadInteger("Size");
            if (std::fabs(date - fileDate) < 1e-7 && size == fileSize) {
                // Another copy of this setup ran before and has not ended well: this run takes its place.
                if (!earlier.empty() && !rtl::SameText(earlier, own))
                    earlierPath_ = earlier;
                // The keys the run that made this key made are still the setup's to remove.
                const AnsiString made = ";" + rtl::UpperCase(registry.ReadString(SetupRunMadeKeysValue)) + ";";
                for (const char* parent : InstallKeyParents) {
                    if (made.find(";" + rtl::UpperCase(parent) + ";") != AnsiString::npos)
                        parentsBefore_.erase(rtl::UpperCase(parent));
                }
                registry.WriteFloat("LastRunDate", RunStart());
                registry.WriteString("Path", own);
                registry.CloseKey();
                return key;
            }
            registry.CloseKey();
        } catch (const rtl::Exception&) {
            registry.CloseKey();
        }
    }
    if (!create)
        return {};
    int n = 0;
    while (names.IndexOf("Install" + std::to_string(n)) >= 0)
        ++n;
    const AnsiString key = AnsiString(InstallRootKey) + "\\Install" + std::to_string(n);
    try {
        if (!registry.OpenKey(key, true))
            return {};
        registry.WriteString("Path", own);
        registry.WriteFloat("LastRunDate", RunStart());
        registry.WriteFloat("CreationDate", fileDate);
        registry.WriteInteger("Size", fileSize);
        AnsiString made;
        for (const char* parent : InstallKeyParents) {
            if (!parentsBefore_.count(rtl::UpperCase(parent)))
                made += (made.empty() ? "" : ";") + AnsiString(parent);
        }
        registry.WriteString(SetupRunMadeKeysValue, made);
        if (switches_[swSelfExtract])
            registry.WriteString("SelfExtract", AddBackslash(switchValues_[swSource]) + switchValues_[swSelfExtract]);
        registry.CloseKey();
    } catch (const rtl::Exception&) {
        return {};
    }
    return key;
}

void TCustomInstall::RemoveInstallKey()
{
    if (InstallKey().empty())
        return;
    // Once more for a deletion that failed in passing: a key left here would outlive the installation.
    for (int pass = 0; pass < 2; ++pass)
        RemoveInstallKeyOnce();
    InstallKey().clear();
}

void TCustomInstall::RemoveInstallKeyOnce()
{
    vcl::TRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    try {
        if (registry.OpenKey(InstallKey(), false)) {
            rtl::TStringList names;
            registry.GetKeyNames(names);
            registry.CloseKey();
            for (int i = 0; i < names.Count(); ++i) {
                const AnsiString sub = AddBackslash(InstallKey()) + names.Strings(i);
                const AnsiString local = RegReadString(win::HKEY_LOCAL_MACHINE, sub, "LocalFile", AnsiString());
                // Downloads are kept in the temporary folder; a record naming anything else is not ours to delete.
                if (!rtl::Trim(local).empty() && InsideTempFolder(local))
                    rtl::DeleteFile(local);
                RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, sub);
            }
            RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, InstallKey());
        }
        // Each parent goes when it holds nothing more, the maker's key among them: an empty key left
        // behind is debris on a machine the setup should leave as it found it. One that was there before
        // the run is not the setup's to take.
        for (const char* parent : InstallKeyParents) {
            if (parentsBefore_.count(rtl::UpperCase(parent)) || !registry.OpenKey(parent, false))
                continue;
            rtl::TStringList values;
            registry.GetValueNames(values);
            const bool empty = !registry.HasSubKeys() && values.Count() == 0;
            registry.CloseKey();
            if (empty)
                RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, parent);
        }
    } catch (const rtl::Exception&) {
    }
}

void TCustomInstall::NoteParentKeys()
{
    parentsBefore_.clear();
    TtrwkRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    for (const char* parent : InstallKeyParents) {
        if (registry.KeyExists(parent))
            parentsBefore_.insert(rtl::UpperCase(parent));
    }
}

void TCustomInstall::ReportNotPutBack(const std::vector<AnsiString>& left)
{
    if (left.empty())
        return;
    AnsiString text = "Setup could not put back everything it changed:";
    for (const AnsiString& line : left)
        text += "\n" + line;
    if (vcl::TApplication* application = vcl::GetApplication())
        application->MessageBox(text, application->Title(), vcl::MB_OK);
}

void TCustomInstall::ReportCleanupFailure(const AnsiString& reason)
{
    if (vcl::TApplication* application = vcl::GetApplication())
        application->MessageBox(rtl::Format("The installation is complete, but its temporary files could not all be "
                                            "removed: %s\nThey are removed when Windows starts again.",
                                            reason),
                                application->Title(), vcl::MB_OK);
}

void TCustomInstall::ClearUnfinished()
{
    RequireInstallKey();
    RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, AddBackslash(InstallKey()) + "Unfinished");
}

void TCustomInstall::AddUnfinished(const AnsiString& name, int kind)
{
    RequireInstallKey();
    ++unfinishedCount_;
    RegWriteString(win::HKEY_LOCAL_MACHINE, AddBackslash(InstallKey()) + "Unfinished", name, std::to_string(kind));
}

void TCustomInstall::SetDialogThemeBitmap(const vcl::TPicture* value)
{
    if (value)
        dialogThemeBitmap_->Assign(value);
    else
        dialogThemeBitmap_->SetGraphic(nullptr);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TInstall)

TInstall::TInstall(vcl::TComponent* owner) : TCustomInstall(owner) {}
