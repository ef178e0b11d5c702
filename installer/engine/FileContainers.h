#pragma once
// The file-related layer of the install-object tree: TFileRelated (an install object with an archive, which
// a web distribution may fetch from a network install location), TFileContainer (one that holds install
// files and sub-containers and runs compress, install, plain copy and reflect over them), the group (type
// code 500), the plain directory (1000) and the path specifier every file container gets for its folder.
//
//   directory->Compress({});          // the files of the directory into its archive, sub-containers too
//   directory->Install();             // extraction under the overwrite rule, progress in OnStatus
//
// While an operation runs the container handles the hooks of its files (progress totals, disk changes,
// replaced targets, downloads) and passes each one on up to the driver; an idle container drops them.

#include <map>
#include <memory>
#include <unordered_map>

#include "installer/engine/InstallObjects.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/support/NetInstallLocation.h"
#include "installer/support/TrwkCompress.h"

namespace vcl {
class TIcon;
}
class TFileContainer;
class TpsFileContainer;

VCL_ENUM_SIZED(TInstallFileState, uint8_t, ifsNone, ifsCompress, ifsInstall, ifsCopying, ifsReflect)

using TAfterInstallObjectsEvent = std::function<void(TInstallContainer* Container, bool WasAborted)>;
using TInstallFileNotifyEvent = std::function<void(TCustomInstallFile* InstallFile)>;
using TInstallFileNewDiskEvent = std::function<void(TCustomInstallFile* InstallFile, int32_t NewDisk, rtl::AnsiString& Path)>;
using TInstallFileStatusEvent =
    std::function<void(TCustomInstallFile* InstallFile, uint32_t FilePercentDone, uint32_t TotalPercentDone)>;

// Options of Compress, as bits.
namespace CompressOption {
inline constexpr uint32_t ClearArchives = 1u << 0;
inline constexpr uint32_t BuildLayout = 1u << 1;
inline constexpr uint32_t ForceNetFilesLocal = 1u << 3;
inline constexpr uint32_t ForceFilesNet = 1u << 4;
inline constexpr uint32_t IncludeAll = 1u << 5;
}  // namespace CompressOption

// Runs `cleanup` after `body`, also when it fails; a failing cleanup does not hide the first error.
template <class Body, class Cleanup>
void WithCleanup(Body body, Cleanup cleanup)
{
    try {
        body();
    } catch (...) {
        try {
            cleanup();
        } catch (...) {
        }
        throw;
    }
    cleanup();
}

class IEFileRelated : public IException {
public:
    using IException::IException;
};
// No network install location can be found for a component.
class IEFileRel_NoNetLocation : public IEFileRelated {
public:
    using IEFileRelated::IEFileRelated;
};
class IEInstallGroup : public IException {
public:
    using IException::IException;
};

class TFileRelated : public TInstallObject {
    VCL_CLASS(TFileRelated, TInstallObject)
public:
    explicit TFileRelated(vcl::TComponent* owner);

    TlzhCommand AddToArchive() const { return addToArchive_; }
    void SetAddToArchive(TlzhCommand value) { addToArchive_ = value; }
    const rtl::AnsiString& ArchiveFile() const { return archiveFile_; }
    // Outside loading, a name given with a specifier that names a whole archive is cleared.
    virtual void SetArchiveFile(const rtl::AnsiString& value);
    TCustomPathSpecifier* ArchiveFileType() const;
    virtual void SetArchiveFileType(TCustomPathSpecifier* value);
    bool Net() const { return net_; }
    virtual void SetNet(bool value) { net_ = value; }
    TCustomNetInstallLocation* NetLocation() const;
    virtual void SetNetLocation(TCustomNetInstallLocation* value);
    TDataReceivedEvent OnDataReceived;
    // Puts back archive settings as they were, without the setters' rules (a redirected compression).
    void RestoreArchive(TlzhCommand command, const rtl::AnsiString& file, TCustomPathSpecifier* type);

    const rtl::AnsiString& LocalArchivePath() const { return localArchivePath_; }
    void SetLocalArchivePath(const rtl::AnsiString& value) { localArchivePath_ = value; }
    bool ArchiveInfoRead() const { return archiveInfoRead_; }
    void SetArchiveInfoRead(bool value) { archiveInfoRead_ = value; }

    void SetContainer(TInstallContainer* value) override;
    void Loaded() override;

    // The specifier's path for this component followed by ArchiveFile, no trailing backslash.
    virtual rtl::AnsiString GetArchivePath();
    virtual bool HasLocalArchive();
    // The copy recorded under the install key by an earlier download, when its file still exists.
    bool FindLocalArchive(rtl::AnsiString& path);
    // Records the copy for a resumed run; a failing write is ignored.
    virtual void SaveLocalFile(const rtl::AnsiString& path);
    // The component's own location, else its container's, else the installation's; may be null.
    TCustomNetInstallLocation* FindNetLocation();
    // "<host>\<folder>" of the location, made safe as a file name; IEFileRel_NoNetLocation without one.
    rtl::AnsiString NetArchiveFolder();
    // Fetches "<Name>.1" into a new temporary file, unless a recorded copy exists.
    virtual void Download();
    // The location's progress callback: the bytes of the block, the bytes received so far, the file's size.
    virtual void DoDownloadStatus(const rtl::AnsiString& fileName, int32_t bytes, int32_t totalBytes, int32_t fileSize,
                                  void* buffer);

private:
    TlzhCommand addToArchive_ = lzcOverwrite;
    rtl::AnsiString archiveFile_;
    vcl::TComponentRef<TCustomPathSpecifier> archiveFileType_;
    bool net_ = true;
    vcl::TComponentRef<TCustomNetInstallLocation> netLocation_;
    rtl::AnsiString localArchivePath_;
    bool archiveInfoRead_ = false;
    bool archiveTypeSet_ = false;
    bool archiveTypeDefaulted_ = false;
};

// The folder of a file container as a destination for other components.
class TpsFileContainer : public TCustomPathSpecifier {
    VCL_CLASS(TpsFileContainer, TCustomPathSpecifier)
public:
    explicit TpsFileContainer(vcl::TComponent* owner);

    TFileContainer* FileContainer() const;
    void SetFileContainer(TFileContainer* value);

    void Validate(vcl::TComponent* component) override;
    rtl::AnsiString GetDescription() override;
    rtl::AnsiString GetCaption() override;
    rtl::AnsiString GetPath(vcl::TComponent* component) override;
    // A name another component bears goes to this specifier; the other one is renamed.
    void SetName(const rtl::AnsiString& value) override;
    void Loaded() override;

    // Set by the container while it names the specifier it makes.
    bool PlainNaming = false;

private:
    vcl::TComponentRef<TFileContainer> fileContainer_;
};

class TFileContainer : public TFileRelated {
    VCL_CLASS(TFileContainer, TFileRelated)
public:
    explicit TFileContainer(vcl::TComponent* owner);
    ~TFileContainer() override;

    // The name shown to the user.
    const rtl::AnsiString& Description() const { return description_; }
    void SetDescription(const rtl::AnsiString& value) { description_ = value; }
    TInstallContainerNotifyEvent OnBeforeInstallObjects;
    TAfterInstallObjectsEvent OnAfterInstallObjects;
    TInstallFileNewDiskEvent OnNewDisk;
    TInstallFileNotifyEvent OnReplacing;
    TInstallFileStatusEvent OnStatus;

    TInstallFileState ContainerState() const { return containerState_; }
    void SetContainerState(TInstallFileState value) { containerState_ = value; }
    // The byte totals of the operation under way, in 64 bits: an installation may pass 2 GiB.
    int64_t OperationTotal() const { return operationTotal_; }
    int64_t BytesDone() const { return bytesDone_; }
    TpsFileContainer* PathSpecifier() const { return pathSpecifier_.get(); }
    // The specifier a stored form brought replaces the one the constructor made.
    void AdoptPathSpecifier(TpsFileContainer* specifier);
    void SetAfterInstallEnabled(bool value) { afterInstallEnabled_ = value; }

    int ComponentType() const override;
    // Handles the reports of the children while an operation runs and passes each one on up.
    void DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
    void InstallObjects() override;

    // The operation of a state; ContainerState returns to ifsNone afterwards.
    void RunOperation(TInstallFileState state);
    virtual void Compress(uint32_t options);
    virtual void CopyFiles();
    virtual void Reflect();
    virtual void ClearFiles();
    int FileCount() const;
    TCustomInstallFile* FileAt(int index) const;
    // The first file (in FileAt's order) whose source path is `path`, compared without case; null if none.
    TCustomInstallFile* FindFileBySource(const rtl::AnsiString& path) const;
    // A file of this container tells it that its source path changed.
    void FileSourceChanged(TCustomInstallFile* file);
    void AddHelperComponent(TInstallContainer* child) override;
    void RemoveHelperComponent(TInstallContainer* child) override;
    bool HasNetFiles() const;
    // The bytes of the files counted (all, or only the included ones), of sub-containers too when deep.
    virtual int64_t TotalSize(bool all, bool deep);
    int64_t TotalSizeFlat(bool all) { return TotalSize(all, false); }
    int64_t TotalSizeDeep(bool all) { return TotalSize(all, true); }
    virtual int64_t TotalArchivedSize(bool all);
    virtual void ReadArchiveInfo();
    virtual void ReadInfo();
    virtual bool NeedsDownload();
    virtual rtl::AnsiString GetDownloadedArchive();
    virtual void DoNewDisk(TCustomInstallFile* file, TDiskParameter& disk);
    virtual void DoReplacing(TCustomInstallFile* file);
    virtual void DoFileStatus(TCustomInstallFile* file, TFileStatusParameter& status);

protected:
    void Notification(vcl::TComponent* component, vcl::TOperation operation) override;
    // The driver has no folder specifier of its own.
    void DropPathSpecifier();

private:
    void CreatePathSpecifier();
    // The start of a compress or copy pass: OnBeforeProcess, then, unless the container is left out, the
    // pass hook, the file information and the byte totals. False when it is left out.
    bool StartPass(bool includeAll);
    void CompressChild(TFileRelated& child, uint32_t options, const rtl::AnsiString& folder);
    void AddToTotals(TFileStatusParameter& status, int64_t doneBytes);
    void HandleFileStatus(int code, rtl::TObject* parameter);
    void HandleNewDisk(rtl::TObject* parameter);
    void HandleDownloadStatus(rtl::TObject* parameter);
    void HandleSkippedFile(rtl::TObject* parameter);

    // The files by source path, made when first asked for and kept up to date after that, so that adding a
    // file (which looks for one of the same source) does not walk all the others.
    struct TSourceLess {
        bool operator()(const rtl::AnsiString& a, const rtl::AnsiString& b) const { return rtl::CompareText(a, b) < 0; }
    };
    using TSourceIndex = std::multimap<rtl::AnsiString, TCustomInstallFile*, TSourceLess>;
    void IndexFile(TCustomInstallFile* file) const;

    mutable bool sourceIndexMade_ = false;
    mutable TSourceIndex sourceIndex_;
    mutable std::unordered_map<const TInstallContainer*, TSourceIndex::iterator> sourceEntries_;
    rtl::AnsiString description_;
    TInstallFileState containerState_ = ifsNone;
    int64_t operationTotal_ = 0;
    int64_t bytesDone_ = 0;
    vcl::TComponentRef<TpsFileContainer> pathSpecifier_;
    bool afterInstallEnabled_ = true;
};

// Options kept for a group-selection dialog.
class TInstallGroupDialogOptions : public vcl::TPersistent {
    VCL_CLASS(TInstallGroupDialogOptions, vcl::TPersistent)
public:
    TInstallGroupDialogOptions();
    ~TInstallGroupDialogOptions() override;

    bool AllowChangeDir() const { return allowChangeDir_; }
    void SetAllowChangeDir(bool value) { allowChangeDir_ = value; }
    bool AllowExcludeInclude() const { return allowExcludeInclude_; }
    void SetAllowExcludeInclude(bool value) { allowExcludeInclude_ = value; }
    rtl::TStringList* Description() const { return description_.get(); }
    void SetDescription(rtl::TStrings* value);
    bool DisplayDirectory() const { return displayDirectory_; }
    void SetDisplayDirectory(bool value) { displayDirectory_ = value; }
    vcl::TIcon* SmallIcon() const { return smallIcon_.get(); }
    void SetSmallIcon(vcl::TIcon* value);
    bool ShowRegardlessOfInclude() const { return showRegardlessOfInclude_; }
    void SetShowRegardlessOfInclude(bool value) { showRegardlessOfInclude_ = value; }

    void Assign(const vcl::TPersistent* source) override;

private:
    bool allowChangeDir_ = true;
    bool allowExcludeInclude_ = true;
    std::unique_ptr<rtl::TStringList> description_;
    bool displayDirectory_ = true;
    std::unique_ptr<vcl::TIcon> smallIcon_;
    bool showRegardlessOfInclude_ = true;
};

class TCustomInstallGroup : public TFileContainer {
    VCL_CLASS(TCustomInstallGroup, TFileContainer)
public:
    explicit TCustomInstallGroup(vcl::TComponent* owner);
    ~TCustomInstallGroup() override;
    int ComponentType() const override;
    // Only the driver or another group may hold a group; none means the driver.
    void SetContainer(TInstallContainer* value) override;

    TInstallGroupDialogOptions* DialogOptions() const { return dialogOptions_.get(); }
    void SetDialogOptions(TInstallGroupDialogOptions* value) { dialogOptions_->Assign(value); }

private:
    std::unique_ptr<TInstallGroupDialogOptions> dialogOptions_;
};

class TInstallGroup : public TCustomInstallGroup {
    VCL_CLASS(TInstallGroup, TCustomInstallGroup)
public:
    explicit TInstallGroup(vcl::TComponent* owner);
};

class TInstallDirectory : public TFileContainer {
    VCL_CLASS(TInstallDirectory, TFileContainer)
public:
    explicit TInstallDirectory(vcl::TComponent* owner);
    // Frees the files whose source no longer exists.
    virtual void RemoveMissingFiles();
};

void RegisterFileContainerClasses();
