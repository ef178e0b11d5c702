#pragma once
// One file of the product (type code 2000): its source on the build machine, its archive entry (the file's
// ID), where and under which name it is installed, the overwrite rule for an existing target, and what is
// done with it once in place (LockedFiles.cpp: locked targets, COM, shared-DLL and help registration).
//
//   auto* file = TInstallFile::CreateInContainer(form, directory, "C:\\src\\app.exe");
//   file->CompressFile();   // into the container's archive
//   file->Install();        // extracted into the container's folder, under OverwriteMode
//
// Changing the source name, the folders, the kind or the container outside loading runs the settings rule
// (ApplyFileSettings), which works out the name, the destination and the overwrite defaults.

#include "installer/engine/FileContainers.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/TrwkFiles.h"
#include "installer/support/VersionResource.h"

VCL_ENUM_SIZED(TInstallFileType, uint8_t, iftNormal, iftJustADLL, iftApplicationSpecificDLL, iftVendorSharedDLL,
               iftSystemWideDLL)

class IECustomInstallFile : public IException {
public:
    using IException::IException;
};
class IEfcDuplicateFile : public IEFileContainer {
public:
    using IEFileContainer::IEFileContainer;
};

class TCustomInstallFile : public TFileRelated {
    VCL_CLASS(TCustomInstallFile, TFileRelated)
public:
    // Bytes of one record of a web distribution's file list.
    static constexpr int FileListRecordSize = 80;

    explicit TCustomInstallFile(vcl::TComponent* owner);
    ~TCustomInstallFile() override;
    // A file ignores its siblings' broadcasts (final: a file that acts on them must be found again).
    void ContainerMessage(TComponent*, int, rtl::TObject*) final {}
    bool TakesMessages() const override { return false; }
    static TCustomInstallFile* CreateFromPath(vcl::TComponent* owner, const rtl::AnsiString& path);
    static TCustomInstallFile* CreateInContainer(vcl::TComponent* owner, TInstallContainer* container,
                                                 const rtl::AnsiString& path);

    // Published.
    TTrwkFileAttributesSet InstallAttributes() const { return installAttributes_; }
    void SetInstallAttributes(TTrwkFileAttributesSet value) { installAttributes_ = value; }
    bool ActiveX() const { return activeX_; }
    virtual void SetActiveX(bool value);
    const rtl::AnsiString& DestName() const { return destName_; }
    virtual void SetDestName(const rtl::AnsiString& value);
    const rtl::AnsiString& FileName() const { return fileName_; }
    virtual void SetFileName(const rtl::AnsiString& value);
    TInstallFileType FileType() const { return fileType_; }
    virtual void SetFileType(TInstallFileType value);
    const rtl::AnsiString& IncludeFromDir() const { return includeFromDir_; }
    virtual void SetIncludeFromDir(const rtl::AnsiString& value);
    TOverwriteType OverwriteMode() const { return overwriteMode_; }
    void SetOverwriteMode(TOverwriteType value) { overwriteMode_ = value; }
    bool RegisterAsHelp() const { return registerAsHelp_; }
    void SetRegisterAsHelp(bool value) { registerAsHelp_ = value; }
    bool RunAfterInstall() const { return runAfterInstall_; }
    void SetRunAfterInstall(bool value) { runAfterInstall_ = value; }
    bool UpdateDLLCounter() const { return updateDLLCounter_; }
    void SetUpdateDLLCounter(bool value) { updateDLLCounter_ = value; }
    int32_t UniqueID() const { return uniqueID_; }
    void SetUniqueID(int32_t value);
    TInstallFileNotifyEvent OnAfterCompress, OnAfterCopy, OnAfterInstall, OnBeforeCompress, OnBeforeCopy,
        OnBeforeInstall, OnReplacing;
    TInstallFileStatusEvent OnStatus;
    TInstallFileNewDiskEvent OnNewDisk;

    void SetDestDir(const rtl::AnsiString& value) override;
    void SetDestDirType(TCustomPathSpecifier* value) override;
    void SetContainer(TInstallContainer* value) override;

    // Unpublished state.
    TInstallFileState State() const { return state_; }
    // Runs the operation of the state; State returns to ifsNone afterwards.
    virtual void SetState(TInstallFileState value);
    int32_t Size() const { return size_; }
    void SetSize(int32_t value) { size_ = value; }
    int32_t ArchivedSize() const { return archivedSize_; }
    rtl::TDateTime FileDate() const { return fileDate_; }
    void SetFileDate(rtl::TDateTime value) { fileDate_ = value; }
    const rtl::AnsiString& Version() const { return version_; }
    void SetVersion(const rtl::AnsiString& value);
    const rtl::AnsiString& CompressedArchive() const { return compressedArchive_; }
    uint8_t CompressMark() const { return compressMark_; }
    void SetCompressMark(uint8_t value) { compressMark_ = value; }
    bool SeparateWebArchive() const { return separateWebArchive_; }
    void SetSeparateWebArchive(bool value) { separateWebArchive_ = value; }
    bool TargetExisted() const { return targetExisted_; }
    bool DoInstall() const { return doInstall_; }
    bool ReplacedAtRestart() const { return replacedAtRestart_; }
    // Where the file stands once a replacement waiting for the restart is in place.
    rtl::AnsiString FinalPath();

    int ComponentType() const override;
    void InstallObjects() override;
    // An entry in the "ActiveX" record for an ActiveX file, in the "Files" record otherwise.
    void WriteUninstallInfo(const rtl::AnsiString& key) override;
    void FinishAfterReboot() override;
    void Loaded() override;
    rtl::AnsiString GetArchivePath() override;

    rtl::AnsiString SourcePath() const;
    rtl::AnsiString GetDestFileName();
    // Such a network file gets a web archive of its own, fetched only when the overwrite rule asks for it.
    bool KeepsSeparateArchive() const;

    virtual void CompressFile();
    virtual void CopyPlain();
    virtual void ReadInfoFromArchive();
    virtual void ReadSizeDateVersion();
    [[noreturn]] virtual void RaiseUserAbort();
    // The record of this file in a web distribution's file list.
    void WriteFileListRecord(rtl::TStream& stream) const;

    // Locked targets and registration (LockedFiles.cpp).
    virtual void ReplaceLocked();
    void FinishInstall();
    void RegisterActiveX();
    virtual void RegisterActiveXLibrary();
    virtual void RegisterTypeLibrary();
    virtual void RegisterActiveXServer();
    virtual bool IsOLESelfRegister();
    virtual bool UpdateSharedDLLCount();

private:
    // The value of the help-file registration: the installed name, upper-cased, names its folder.
    rtl::AnsiString HelpValueName() const;
    rtl::AnsiString HelpValueData();
    // Whether the target has a shared-library counter of at least 1 (under its short or its full name):
    // another product counts on the file.
    bool HasSharedCount();
    void PrepareTarget(const rtl::AnsiString& target);
    struct TFileSettings {
        TInstallContainer* Container;
        rtl::AnsiString IncludeFromDir;
        bool ActiveX;
        TInstallFileType FileType;
        TCustomPathSpecifier* DestDirType;
        rtl::AnsiString DestName;
        rtl::AnsiString DestDir;
        rtl::AnsiString FileName;
    };
    TFileSettings CurrentSettings() const;
    void ApplyFileSettings(const TFileSettings& next);
    // Tells the container that the source path may have changed (its look-up by source keeps up).
    void NoteSourceChanged();
    void ApplyDestinationOfType(TInstallFileType type);
    bool DecideInstall(TOverwriteResult result);
    TTrwkCompress& ArchiveCompressor(const rtl::AnsiString& archivePath, std::unique_ptr<TTrwkCompress>& own);
    void PrepareArchive();
    void Extract(TTrwkCompress& compressor);
    void FinishFile(int hookCode);
    void RestoreFinalName();
    void ReadInfoFrom(const rtl::AnsiString& archivePath);
    void EndOperation();
    void RaiseBlankArchive() const;
    void RaiseBlankDestination() const;
    void StatusHandler(TlzhFileStats& stats);
    void NewDiskHandler(rtl::TObject* sender, int32_t disk, rtl::AnsiString& path);
    void ReportToContainer(int code, rtl::TObject* parameter);
    rtl::AnsiString InstalledPath();
    // The installed file's path; the blank-destination error when it is not there.
    rtl::AnsiString RequireInstalledFile();

    TTrwkFileAttributesSet installAttributes_;
    bool activeX_ = false;
    rtl::AnsiString destName_;
    rtl::AnsiString fileName_;
    TInstallFileType fileType_ = iftNormal;
    rtl::AnsiString includeFromDir_;
    TOverwriteType overwriteMode_ = owAlways;
    bool registerAsHelp_ = false;
    bool runAfterInstall_ = false;
    bool updateDLLCounter_ = false;
    int32_t uniqueID_ = 0;

    TInstallFileState state_ = ifsNone;
    int32_t size_ = 0;
    int32_t archivedSize_ = 0;
    rtl::TDateTime fileDate_ = 0;
    rtl::AnsiString version_;
    rtl::AnsiString compressedArchive_;
    uint8_t compressMark_ = 0;
    bool separateWebArchive_ = false;
    bool targetExisted_ = false;
    bool doInstall_ = false;
    bool replacedAtRestart_ = false;
    // The target's own name while the extraction writes the numbered file that replaces it at the restart.
    rtl::AnsiString finalName_;
    // What this run registered for the file, for the uninstall record: the help value with how it was
    // before, and the name of the shared-library counter it raised (empty: none).
    bool helpRegistered_ = false;
    TRegistryWriteNotes helpNotes_;
    rtl::AnsiString countedName_;
    // The target was counted as shared before this install: it is counted for this product too.
    bool sharedBefore_ = false;
    win::SECURITY_ATTRIBUTES security_{12, nullptr, 0};
};

class TInstallFile : public TCustomInstallFile {
    VCL_CLASS(TInstallFile, TCustomInstallFile)
public:
    explicit TInstallFile(vcl::TComponent* owner);
};

void RegisterInstallFileClasses();
