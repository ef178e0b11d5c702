#pragma once
// The base of every installable component on the setup's main form: TInstallContainer (type code, ordered
// helper components, destination, inclusion rules, messages down and hooks up) and TInstallObject (one with
// a parent Container), the engine's process-wide lists and objects, and the parameter objects that
// messages carry.
//
//   group->SetContainer(install);        // install->AddHelperComponent(group): ordered by type code
//   install->BroadcastMessage(install, InstallMessage::GoodEnding, nullptr);   // direct children >= 2000
//   file->Container()->DoInformationEventControl(file, HookCode::FileDone, file);   // up the chain
//
// The tree is a second structure beside the framework's ownership: the form owns every component, the
// Container links only order them. A container being destroyed tells every other container first, so no
// link or child list keeps it.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "installer/support/TrwkArchive.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkSystem.h"
#include "platform/vcl/Classes.h"

class TTrwkCompress;
class TCustomPathSpecifier;
class TCustomInstall;
class TCustomInstallFile;

VCL_ENUM_SIZED(TInstallType, uint8_t, itFull, itDefault, itCompact, itCustom)
using TInstallTypes = vcl::TSet<TInstallType>;

VCL_ENUM_SIZED(TDistributeType, uint8_t, dtTraditional, dtWeb, dtTraditionalNet)

class TInstallContainer;
using TInstallContainerNotifyEvent = std::function<void(TInstallContainer* Container)>;

// ---------------------------------------------------------------------------------------------------------
// Errors

class IEInstallContainer : public IException {
public:
    using IException::IException;
};
class IEContainerList : public IException {
public:
    using IException::IException;
};
class IECustomInstallFileList : public IException {
public:
    using IException::IException;
};

// ---------------------------------------------------------------------------------------------------------
// Type codes, container messages and hook codes

namespace ComponentTypeCode {
inline constexpr int Group = 500;
inline constexpr int FileContainer = 1000;
inline constexpr int File = 2000;
inline constexpr int ShellLinkGroup = 7000;
inline constexpr int ShellLink = 8000;
inline constexpr int Registry = 8500;
inline constexpr int Dialog = 9000;
// Broadcasts reach children from this code on.
inline constexpr int MessageReceiver = 2000;
}  // namespace ComponentTypeCode

namespace InstallMessage {
inline constexpr int Installing = -999;
inline constexpr int FileStatus = -998;
inline constexpr int Replacing = -997;
inline constexpr int PassDone = -996;
inline constexpr int GoodEnding = -995;
inline constexpr int BadEnding = -994;
inline constexpr int ChangeDisk = -993;
inline constexpr int InstallingObjects = -992;
inline constexpr int LinkGroupInstalls = -991;
inline constexpr int BeforeProcess = -990;
inline constexpr int AfterProcess = -989;
inline constexpr int DownloadStatus = -988;
inline constexpr int BeforeReboot = -987;
inline constexpr int RunStarts = -986;
inline constexpr int BeforeReadArchiveInfo = -984;
inline constexpr int AfterReadArchiveInfo = -983;
inline constexpr int ShowWelcome = -982;
inline constexpr int ShowLicense = -981;
inline constexpr int BeforeInstall = -980;
inline constexpr int AfterGoodInstall = -979;
inline constexpr int AfterBadInstall = -978;
inline constexpr int ShowReadme = -977;
inline constexpr int Status = -974;
inline constexpr int ClearStatus = -973;
inline constexpr int InstallShellLink = -970;
inline constexpr int InstallShellLinkGroup = -969;
inline constexpr int InstallRegistry = -968;
inline constexpr int ShowSelectDestination = -966;
}  // namespace InstallMessage

namespace HookCode {
inline constexpr int FileDone = 1001;
inline constexpr int FileStarts = 1002;
inline constexpr int FileReplacing = 1003;
inline constexpr int CompressStarts = 1004;
inline constexpr int CompressDone = 1005;
inline constexpr int CopyStarts = 1006;
inline constexpr int CopyDone = 1007;
inline constexpr int InstallProgress = 1008;
inline constexpr int CompressProgress = 1009;
inline constexpr int CopyProgress = 1010;
inline constexpr int NewVolume = 1011;
inline constexpr int PassStarts = 1012;
inline constexpr int PassDone = 1013;
inline constexpr int DownloadProgress = 1014;
inline constexpr int FileCancelled = 1015;
inline constexpr int FileKept = 1016;
}  // namespace HookCode

// ---------------------------------------------------------------------------------------------------------
// Parameter objects: the sender makes and frees them; a receiver reads them and may write during the call.

class TMessageParameter : public rtl::TObject {
public:
    rtl::AnsiString Message;
};

// A byte count for a 32-bit field (a parameter's, a file's Size): a count past what it holds reads as its
// largest value, never wrapped into a negative one. The engine keeps its running totals in 64 bits.
inline int32_t ClampedBytes(int64_t bytes)
{
    return static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, std::numeric_limits<int32_t>::max()));
}

class TFileStatusParameter : public rtl::TObject {
public:
    int32_t FileBytesDone = 0;
    uint32_t FilePercent = 0;
    rtl::AnsiString FileName;
    TlzhFileStats Stats;
    int32_t TotalBytesDone = 0;
    uint32_t TotalPercent = 0;
};

class TDownloadStatusParameter : public rtl::TObject {
public:
    int32_t Bytes = 0;
    rtl::AnsiString FileName;
    int32_t FileSize = 0;
    int32_t TotalBytes = 0;
    uint32_t Percent = 0;  // round(TotalBytes / FileSize x 100), 0 when FileSize is 0
};

class TDiskParameter : public rtl::TObject {
public:
    uint32_t DiskNumber = 0;
    rtl::AnsiString Path;  // no trailing backslash; a receiver may change it
};

// The two-item list of the change-disk request and of the file-status hooks: the install file first.
class TParameterPair : public rtl::TObject {
public:
    TParameterPair(rtl::TObject* first, rtl::TObject* second) : First(first), Second(second) {}
    rtl::TObject* First;
    rtl::TObject* Second;
};

// ---------------------------------------------------------------------------------------------------------

class TInstallContainer : public vcl::TComponent {
    VCL_CLASS(TInstallContainer, vcl::TComponent)
public:
    explicit TInstallContainer(vcl::TComponent* owner);
    ~TInstallContainer() override;

    // Published.
    bool Include() const { return include_; }
    void SetInclude(bool value) { include_ = value; }
    bool Uninstall() const { return uninstall_; }
    void SetUninstall(bool value) { uninstall_ = value; }
    OSSet OS() const { return os_; }
    void SetOS(OSSet value) { os_ = value; }
    const rtl::AnsiString& DestDir() const { return destDir_; }
    virtual void SetDestDir(const rtl::AnsiString& value);
    TCustomPathSpecifier* DestDirType() const;
    // Validates the pair first (outside loading), which raises when the specifier cannot serve it.
    virtual void SetDestDirType(TCustomPathSpecifier* value);
    TInstallTypes InstallTypes() const { return installTypes_; }
    // An empty set is taken as [itFull].
    void SetInstallTypes(TInstallTypes value);
    int32_t Order() const { return order_; }
    void SetOrder(int32_t value) { order_ = value; }
    TInstallContainerNotifyEvent OnAfterProcess;
    TInstallContainerNotifyEvent OnBeforeProcess;

    bool InstallWithContainer() const { return installWithContainer_; }
    bool Processed() const { return processed_; }
    TInstallType CurrentInstallType() const { return currentInstallType_; }
    TComponent* SoleReceiver() const { return soleReceiver_.get(); }
    void SetSoleReceiver(TComponent* value) { soleReceiver_ = value; }

    // Helper components (children), ordered by type code.
    virtual int FileContainerCount() const;
    virtual TInstallContainer* FileContainers(int index) const;
    virtual void ContainerRemoved(TInstallContainer* container);
    // Broadcasts -974 with the text.
    virtual void DoStatus(const rtl::AnsiString& text);
    // A component reports upward; file containers handle and forward it.
    virtual void DoInformationEventControl(TComponent* sender, int code, rtl::TObject* parameter);
    // A broadcast arrives.
    virtual void ContainerMessage(TComponent* sender, int code, rtl::TObject* parameter);
    // False for a class that ignores every broadcast: broadcasts then pass it by.
    virtual bool TakesMessages() const { return true; }
    // The specifier's folder followed by DestDir, no trailing backslash.
    virtual rtl::AnsiString GetDestPath();
    // EInstallContainer "Class must declare a registered type" in the base.
    virtual int ComponentType() const;
    virtual void AddHelperComponent(TInstallContainer* child);
    virtual void Install();
    virtual void UninstallComponent() {}
    virtual void InstallObjects();
    virtual void UninstallObjects() {}
    virtual bool IsIncluded() const;
    virtual void FinishAfterReboot() {}
    virtual void Retranslate() {}
    virtual void RemoveHelperComponent(TInstallContainer* child);
    virtual void WriteUninstallInfo(const rtl::AnsiString& key);

    void BroadcastMessage(TComponent* sender, int code, rtl::TObject* parameter);
    void ClearStatus();
    // First on every child, recursively, then on this container.
    void SetCurrentInstallType(TInstallType value);
    int ChildCount() const { return static_cast<int>(children_.size()); }
    TInstallContainer* ChildAt(int index) const;
    int CountOfClass(const vcl::TClassMeta& meta) const;
    // Null when the index is past the children of the class.
    TInstallContainer* ChildOfClass(int index, const vcl::TClassMeta& meta) const;
    // Frees every child of the class, last first.
    void FreeChildrenOfClass(const vcl::TClassMeta& meta);

    void Loaded() override;

protected:
    void SetInstallWithContainer(bool value) { installWithContainer_ = value; }
    void SetProcessed(bool value) { processed_ = value; }
    // The constructor gave DestDirType a default that the stored form may replace.
    void MarkDestDirTypeDefaulted() { destDirTypeDefaulted_ = true; }

private:
    // The children of a class in their order, kept for each class asked about: made when first asked,
    // dropped on an insert, an entry taken out on a removal (by pointer alone: the child may be past its
    // own destructor then).
    using TChildrenOfClass = std::pair<const vcl::TClassMeta*, std::vector<TInstallContainer*>>;
    const std::vector<TInstallContainer*>& ChildrenOfClass(const vcl::TClassMeta& meta) const;

    bool installWithContainer_ = false;
    std::vector<TInstallContainer*> children_;
    mutable std::vector<TChildrenOfClass> childrenOfClass_;
    // The children that take messages, kept the same way.
    std::optional<std::vector<TInstallContainer*>> receivers_;
    bool include_ = true;
    bool processed_ = false;
    TInstallType currentInstallType_ = itFull;
    vcl::TComponentRef<TComponent> soleReceiver_;
    bool uninstall_ = true;
    OSSet os_;
    rtl::AnsiString destDir_;
    vcl::TComponentRef<TCustomPathSpecifier> destDirType_;
    TInstallTypes installTypes_{itFull, itDefault, itCompact};
    int32_t order_ = -1;
    bool destDirTypeSet_ = false;
    bool destDirTypeDefaulted_ = false;
};

class TInstallObject : public TInstallContainer {
    VCL_CLASS(TInstallObject, TInstallContainer)
public:
    explicit TInstallObject(vcl::TComponent* owner);

    TInstallContainer* Container() const { return container_.get(); }
    virtual void SetContainer(TInstallContainer* value);

    void ContainerRemoved(TInstallContainer* container) override;
    // While the driver installs, only once the Container has been processed.
    void Install() override;

private:
    vcl::TComponentRef<TInstallContainer> container_;
};

// ---------------------------------------------------------------------------------------------------------
// Process-wide lists and objects

template <class T, class E>
class TTypedObjectList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    T* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    void Add(T* item)
    {
        if (!item)
            throw E(E::BlankEntryText);
        items_.push_back(item);
    }
    void Remove(T* item)
    {
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (*it == item) {
                items_.erase(it);
                return;
            }
        }
    }
    // A copy to walk while items may leave.
    std::vector<T*> Snapshot() const { return items_; }

private:
    std::vector<T*> items_;
};

struct TContainerListError : IEContainerList {
    using IEContainerList::IEContainerList;
    static constexpr const char* BlankEntryText = "Cannot add a blank entry to the TInstallContainerList object";
};
struct TInstallFileListError : IECustomInstallFileList {
    using IECustomInstallFileList::IECustomInstallFileList;
    static constexpr const char* BlankEntryText = "Cannot add a blank entry to the TCustomInstallFileList object";
};

using TInstallContainerList = TTypedObjectList<TInstallContainer, TContainerListError>;
using TCustomInstallFileList = TTypedObjectList<TCustomInstallFile, TInstallFileListError>;

// Every TInstallContainer, in creation order.
TInstallContainerList& InstallContainers();
// The one archive compressor of the main archive.
TTrwkCompress& SharedCompressor();
TCustomInstallFileList& InstallFiles();
TCustomInstallFileList& DeferredRegistrations();
// Which archive file IDs 0..1999 are taken.
std::vector<bool>& FileIDTable();
// Set once the first stored file has cleared the table for the IDs of the stored form.
bool& FileIDTableInitialised();
// This run's registry key under "\SOFTWARE\ULO\Install".
rtl::AnsiString& InstallKey();
bool& DeferRegistration();
// The one driver; set and cleared by the driver itself.
TCustomInstall* InstallDriver();
void SetInstallDriver(TCustomInstall* driver);
bool IsDesigning(const vcl::TComponent* component);
// While the driver runs an installation; False without a driver.
bool IsInstalling();
// The driver's DistributeType; dtTraditionalNet without a driver.
TDistributeType CurrentDistributeType();

// Resets the process-wide state of the engine (tests play several runs in one process).
void ResetInstallEngine();

void RegisterInstallObjectClasses();
