#pragma once
// The installation driver, the one TInstall on the setup's main form and the root of the install-object
// tree. After the form is loaded it reads the command line and either builds the distribution (-b), copies
// it to floppies (-f), resumes after a restart (-r) or waits for the main form's first activation and runs
// the installation: the tree's files, then the components installed by type code, then one of two endings.
//
//   setup.exe -s"C:\dist" -e"setup.exe"      // installs from the self-extracting setup.exe in C:\dist
//   setup.exe -b                              // builds into the folder named by BUILD.INF's first line

#include <array>
#include <memory>
#include <set>
#include <vector>

#include "installer/engine/FileContainers.h"
#include "installer/support/InstallInformation.h"
#include "installer/support/PendingWork.h"
#include "installer/support/TranslatorHooks.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/GraphicsCanvas.h"

namespace rtl {
class TStringList;
class TStrings;
}

class IEInstall : public IException {
public:
    using IException::IException;
};
// A self-extracting file whose end, which says where its parts lie, is missing or wrong.
class IEDamagedDistribution : public IEInstall, public TDamageNote {
public:
    template <typename... Args>
    IEDamagedDistribution(rtl::AnsiString damage, TExceptionFormat, std::string_view format, const Args&... args)
        : IEInstall(Fmt, format, args...), TDamageNote(std::move(damage))
    {
    }
};
class IENoTarnwickPath : public IException {
public:
    using IException::IException;
};
class IEInstallNetLocNil : public IEInstall {
public:
    using IEInstall::IEInstall;
};

class TCustomInstall;
// The user asked to cancel (QuitOut starts as True; False carries on).
using TUserAbortEvent = std::function<void(TCustomInstall* Install, bool& QuitOut)>;
using TRebootWindowsEvent = std::function<void(TCustomInstall* Install, bool& Continue)>;
using TCleanupEvent = std::function<void(TCustomInstall* Install, bool& Continue)>;
using TBeforeRunFileEvent =
    std::function<void(TCustomInstall* Install, TCustomInstallFile* FileToRun, bool& DefaultAction)>;

// Settings of the build, kept with the form.
class TBuildInfo : public vcl::TPersistent {
    VCL_CLASS(TBuildInfo, vcl::TPersistent)
public:
    TBuildInfo() = default;
    bool AddUninstallOnCreate() const { return addUninstallOnCreate_; }
    void SetAddUninstallOnCreate(bool value) { addUninstallOnCreate_ = value; }
    const rtl::AnsiString& AppName() const { return appName_; }
    void SetAppName(const rtl::AnsiString& value) { appName_ = value; }
    const rtl::AnsiString& AppURL() const { return appURL_; }
    void SetAppURL(const rtl::AnsiString& value) { appURL_ = value; }
    const rtl::AnsiString& BuildDirectory() const { return buildDirectory_; }
    void SetBuildDirectory(const rtl::AnsiString& value) { buildDirectory_ = value; }
    const rtl::AnsiString& CredentialsFile() const { return credentialsFile_; }
    void SetCredentialsFile(const rtl::AnsiString& value) { credentialsFile_ = value; }
    const rtl::AnsiString& OCXName() const { return ocxName_; }
    void SetOCXName(const rtl::AnsiString& value) { ocxName_ = value; }
    const rtl::AnsiString& PrivateKeyFile() const { return privateKeyFile_; }
    void SetPrivateKeyFile(const rtl::AnsiString& value) { privateKeyFile_ = value; }
    bool SignCode() const { return signCode_; }
    void SetSignCode(bool value) { signCode_ = value; }
    const rtl::AnsiString& URLPath() const { return urlPath_; }
    void SetURLPath(const rtl::AnsiString& value) { urlPath_ = value; }
    rtl::AnsiString TrwkVersion() const { return "5.20.00"; }

    void Assign(const vcl::TPersistent* source) override;

private:
    bool addUninstallOnCreate_ = true;
    rtl::AnsiString appName_;
    rtl::AnsiString appURL_;
    rtl::AnsiString buildDirectory_ = "c:\\build";
    rtl::AnsiString credentialsFile_;
    rtl::AnsiString ocxName_ = "twsetup";
    rtl::AnsiString privateKeyFile_;
    bool signCode_ = false;
    rtl::AnsiString urlPath_;
};

// The last 56 bytes of a distribution's setup.exe: where setup.1 and files.1 lie behind the loader.
struct TSelfExtractTrailer {
    static constexpr int Size = 56;
    rtl::AnsiString Marker;  // "SELFEXTRACTING" or "NOTSELFEXTRACT"
    int32_t Setup1First = 0;
    int32_t Setup1Last = 0;
    int32_t Files1First = 0;
    int32_t Files1Last = 0;

    std::array<uint8_t, Size> Encode() const;
    static TSelfExtractTrailer Decode(const uint8_t* bytes);
};

// One record of "filelist.lst", the list of a network distribution's files.
struct TFileListEntry {
    int32_t Size = 0;
    double FileDate = 0;
    rtl::AnsiString Name;
    rtl::AnsiString Version;
};
// Reads the list record by record; IEInstall names `file` when it is short, its count impossible, or it
// cannot be opened.
std::vector<TFileListEntry> ReadFileList(const rtl::AnsiString& file);

class TCustomInstall : public TFileContainer {
    VCL_CLASS(TCustomInstall, TFileContainer)
public:
    // The command-line switches, by their letters "bcdefnrs".
    enum Switch { swBuild, swCleanup, swDebug, swSelfExtract, swFloppies, swNewUnfinished, swReboot, swSource };
    static constexpr int SwitchCount = 8;

    explicit TCustomInstall(vcl::TComponent* owner);
    ~TCustomInstall() override;

    // Published.
    bool AutoMaximizeWindow() const { return autoMaximizeWindow_; }
    virtual void SetAutoMaximizeWindow(bool value);
    TBuildInfo* BuildInfo() const { return buildInfo_.get(); }
    virtual void SetBuildInfo(TBuildInfo* value) { buildInfo_->Assign(value); }
    TDistributeType DistributeType() const { return distributeType_; }
    virtual void SetDistributeType(TDistributeType value);
    bool HideMainForm() const { return hideMainForm_; }
    virtual void SetHideMainForm(bool value);
    TInstallInformation* Information() const { return information_.get(); }
    TControlPanelExtensionInformation* Win2KExtendedInformation() const { return extendedInformation_.get(); }
    // The side picture of the wizard pages whose dialogs have none of their own.
    vcl::TPicture* DialogThemeBitmap() const { return dialogThemeBitmap_.get(); }
    // Copies the picture (null empties it).
    virtual void SetDialogThemeBitmap(const vcl::TPicture* value);
    TRegistrationInformation* RegistrationInformation() const { return registration_.get(); }
    bool NoUninstall() const { return noUninstall_; }
    void SetNoUninstall(bool value) { noUninstall_ = value; }
    rtl::TStringList* PresetupFiles() const { return presetupFiles_.get(); }
    virtual void SetPresetupFiles(rtl::TStrings* value);
    // The computer is restarted at the end of the run (a locked file waits for it).
    bool Reboot() const { return reboot_; }
    void SetReboot(bool value) { reboot_ = value; }
    bool RunAutomatic() const { return runAutomatic_; }
    void SetRunAutomatic(bool value) { runAutomatic_ = value; }
    bool UseLoadingProgram() const { return useLoadingProgram_; }
    virtual void SetUseLoadingProgram(bool value);
    void SetNetLocation(TCustomNetInstallLocation* value) override;

    rtl::TNotifyEvent OnAfterInitialized;
    rtl::TNotifyEvent OnBeforeReadArchiveInfo;
    rtl::TNotifyEvent OnAfterReadArchiveInfo;
    rtl::TNotifyEvent OnBeforeNotifyGoodInstall;
    rtl::TNotifyEvent OnAfterNotifyGoodInstall;
    rtl::TNotifyEvent OnBeforeNotifyBadInstall;
    rtl::TNotifyEvent OnAfterNotifyBadInstall;
    TRebootWindowsEvent OnBeforeReboot;
    rtl::TNotifyEvent OnFailedReboot;
    TCleanupEvent OnBeforeCleanup;
    TUserAbortEvent OnBeforeShutdown;
    TBeforeRunFileEvent OnBeforeRunFile;
    TUserAbortEvent OnUserAbort;

    // A run (install or resume) is under way.
    bool Installing() const { return installing_; }
    void SetInstalling(bool value) { installing_ = value; }
    bool Aborted() const { return aborted_; }
    // The run has committed its changes: a Cancel can no longer undo them.
    bool Committed() const { return committed_; }
    // The folder the setup runs from.
    const rtl::AnsiString& SourceDir() const { return sourceDir_; }
    void SetSourceDir(const rtl::AnsiString& value) { sourceDir_ = value; }
    bool HasSwitch(Switch which) const { return switches_[which]; }
    const rtl::AnsiString& SwitchValue(Switch which) const { return switchValues_[which]; }
    // The "-e" switch: whether it was given, and its value (the self-extracting executable's name).
    bool SelfExtracting() const { return switches_[swSelfExtract]; }
    const rtl::AnsiString& SelfExtractorName() const { return switchValues_[swSelfExtract]; }
    void SetSelfExtractor(bool given, const rtl::AnsiString& name);
    vcl::TCustomForm* MainForm() const { return mainForm_.get(); }

    // Reads the arguments (without the program's name); IException with the usage text for a bad one.
    virtual void ParseCommandLine(const std::vector<rtl::AnsiString>& arguments);
    // The program's own arguments.
    void ParseCommandLine();
    // The start after the form is read: the command line, the source folder, the install key, the install
    // type, then the mode.
    void Loaded() override;
    // The run.
    void Install() override;
    // The driver's own part of the run: the tree's file containers and files, as an install object.
    void InstallTree();
    virtual void InstallByType(int code, const rtl::AnsiString& text);
    void ReadArchiveInfo() override;
    virtual void RunFiles();
    virtual void NotifyGoodInstall();
    virtual void NotifyBadInstall();
    // Fires OnBeforeShutdown; when it agrees the application is told to end. True when the handler refused.
    bool Shutdown();
    // The application's handler of unhandled exceptions: the bad ending of a run.
    virtual void HandleException(rtl::TObject* sender, const rtl::Exception& error);
    // Fires OnUserAbort with QuitOut True and gives what the handler left: whether to abort.
    virtual bool AskUserAbort();
    // The main form's first activation: runs the installation when RunAutomatic.
    void FirstActivation(rtl::TObject* sender);

    // The install key of this setup program under "\SOFTWARE\ULO\Install", made when `create`; empty when
    // none is found or it cannot be made.
    virtual rtl::AnsiString FindInstallKey(bool create);
    // Deletes the install key, the local archive copies it records and, once nothing else is left, its
    // parent keys.
    virtual void RemoveInstallKey();
    virtual void ClearUnfinished();
    // Work left for after the restart under the install key's "Unfinished": kind 0 names a component whose
    // FinishAfterReboot runs, kind 1 a file to delete.
    virtual void AddUnfinished(const rtl::AnsiString& name, int kind);
    // The list as "name;kind" lines; empty when nothing is left.
    virtual void ReadUnfinished(rtl::TStrings& list);
    int UnfinishedCount() const { return unfinishedCount_; }

    // Restart and resume (InstallRestart.cpp).
    // Registers "TarnwickUnfinished" to start this program with -r after the restart.
    virtual void RegisterRunOnce();
    // The command RegisterRunOnce registers.
    rtl::AnsiString RunOnceCommand() const;
    // The translator's target language under the install key, and back (tlUser without a translator).
    void SaveLanguage();
    TTrwkLanguage ReadLanguage();
    // Restarts the computer; a failure is reported (OnFailedReboot or a message), never raised.
    void RebootWindows();
    // The resume after the restart (-r): the unfinished list is done, then the run ends well.
    void FinishAfterReboot() override;
    // Removes the temporary copy this program runs from (-c) and leaves a batch file that removes the
    // program itself once it has ended.
    virtual void TempCleanup();
    // A run that took over the key of an earlier run still waiting for its restart: that run's delayed
    // moves onto this run's files, its RunOnce commands and its temporary copy go, so that the next start
    // cannot undo this installation.
    void TakeOverEarlierRun();
    // The batch file the driver's destruction starts, when one is pending.
    bool CleanupBatchPending() const { return cleanupBatchPending_; }
    void SetCleanupBatchPending(bool value) { cleanupBatchPending_ = value; }
    const rtl::AnsiString& CleanupBatch() const { return cleanupBatch_; }

    // The running file (OwnPath), its folder without trailing backslash, and the setup.exe of the
    // distribution.
    rtl::AnsiString OwnPath() const;
    rtl::AnsiString OwnFolder() const;
    rtl::AnsiString SetupExePath() const;

    // Distribution build and floppy transfer.
    void Build();
    virtual void BuildDistribution(const rtl::AnsiString& exe, const rtl::AnsiString& folder, bool standAlone);
    void CreateSetupFiles(const rtl::AnsiString& folder, const rtl::AnsiString& exe);
    virtual void CreateSetupArchive(const rtl::AnsiString& folder, const rtl::AnsiString& exe);
    void Compress(uint32_t options) override;
    void WriteFileList();
    void MakeSelfExtracting(const rtl::AnsiString& setupExe, const rtl::AnsiString& setup1,
                            const rtl::AnsiString& files1);
    void AppendNotSelfExtract(const rtl::AnsiString& setupExe);
    static TSelfExtractTrailer ReadTrailer(const rtl::AnsiString& file);
    void ReadSelfExtractInfo();
    void TransferToFloppies(const rtl::AnsiString& drive);
    // Asks for disk `disk` of the floppy transfer; IEInstall "Aborted by user" when cancelled.
    virtual void PromptForDisk(int32_t disk);
    // The folder of the loading program; empty (or IENoTarnwickPath when `raise`) when none is found.
    static rtl::AnsiString LibraryFolder(bool raise);

protected:
    void Notification(vcl::TComponent* component, vcl::TOperation operation) override;

private:
    void ApplyInstallType();
    void RunInstallSteps();
    // The good ending of a run or a resume: notice, clean-up, the key removed, the program ended.
    void EndWell();
    void ReadRemoteFileList();
    void ShowBuildError(const rtl::Exception& error);
    // IEInstall when there is no install key to keep the unfinished list under.
    void RequireInstallKey() const;
    void FinishUnfinished(const rtl::TStrings& lines);
    void WriteCleanupBatch(const rtl::AnsiString& program, const rtl::AnsiString& folder);
    void StartCleanupBatch();
    // Notes which of the install key's parents exist before the run, so that only the run's own go.
    void NoteParentKeys();
    void RemoveInstallKeyOnce();
    void ReportNotPutBack(const std::vector<rtl::AnsiString>& left);
    void ReportCleanupFailure(const rtl::AnsiString& reason);

    bool autoMaximizeWindow_ = true;
    std::unique_ptr<TBuildInfo> buildInfo_;
    TDistributeType distributeType_ = dtTraditional;
    bool hideMainForm_ = false;
    std::unique_ptr<TInstallInformation> information_;
    std::unique_ptr<TControlPanelExtensionInformation> extendedInformation_;
    std::unique_ptr<vcl::TPicture> dialogThemeBitmap_ = std::make_unique<vcl::TPicture>();
    std::unique_ptr<TRegistrationInformation> registration_;
    bool noUninstall_ = false;
    std::unique_ptr<rtl::TStringList> presetupFiles_;
    bool reboot_ = false;
    bool runAutomatic_ = true;
    bool useLoadingProgram_ = true;

    bool aborted_ = false;
    std::set<rtl::AnsiString> parentsBefore_;  // the install key's parents that were there when the run started
    bool committed_ = false;
    bool installing_ = false;
    bool activated_ = false;
    vcl::TComponentRef<vcl::TCustomForm> mainForm_;
    rtl::TNotifyEvent savedOnActivate_;
    bool activationHooked_ = false;
    int unfinishedCount_ = 0;
    // The program copy an earlier run of this setup ran from, when its key was taken over, and the batch
    // files its unfinished list named.
    rtl::AnsiString earlierPath_;
    std::vector<rtl::AnsiString> earlierBatches_;
    std::vector<win::TPendingMove> earlierMoves_;  // the delayed moves listed when this run began
    bool cleanupBatchPending_ = false;
    rtl::AnsiString cleanupBatch_;
    rtl::AnsiString sourceDir_;
    std::array<bool, SwitchCount> switches_{};
    std::array<rtl::AnsiString, SwitchCount> switchValues_;
    bool archiveInfoDone_ = false;
};

class TInstall : public TCustomInstall {
    VCL_CLASS(TInstall, TCustomInstall)
public:
    explicit TInstall(vcl::TComponent* owner);
};

// When the run started (written with the install key).
rtl::TDateTime& RunStart();

// How the setup program ended, as its exit code, so a script or a parent installer can tell: a good
// ending, a failure (the bad ending after an error, or an error of the build or the command line), the
// user's Cancel, and an installation that needs the computer restarted to finish.
enum TSetupExitCode : int { secGood = 0, secFailed = 1, secCancelled = 2, secRestart = 3 };
TSetupExitCode& SetupExitCode();
