#include "installer/engine/FileContainers.h"

#include <cmath>
#include <iterator>

#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/GraphicsCanvas.h"
#include "platform/win/Files.h"
#include "platform/win/Registry.h"

using rtl::AnsiString;

namespace {

// part / whole x 100, rounded; 0 without a whole, never past 100 (a server may send more than it announced).
uint32_t GuardedPercent(int64_t part, int64_t whole)
{
    if (whole <= 0 || part <= 0)
        return 0;
    const double percent = std::round(static_cast<double>(part) / static_cast<double>(whole) * 100.0);
    return percent >= 100.0 ? 100u : static_cast<uint32_t>(percent);
}

AnsiString LocalFileKey(const AnsiString& name)
{
    return AddBackslash(InstallKey()) + name;
}

bool IsWholeArchiveSpecifier(TCustomPathSpecifier* specifier)
{
    return dynamic_cast<TpsContainerArchiveFile*>(specifier) || dynamic_cast<TpsMainArchiveFile*>(specifier);
}

void DeleteArchiveOrRaise(const AnsiString& owner, const AnsiString& path)
{
    if (rtl::FileExists(path) && !win::DeleteFile(path.c_str()))
        throw IEFileContainer(Fmt, "%s cannot delete the archive file %s", owner, path);
}

// Shows the hourglass while `body` runs.
template <class Body>
void WithHourGlass(Body body)
{
    const vcl::TCursor cursor = vcl::Screen->Cursor();
    vcl::Screen->SetCursor(vcl::crHourGlass);
    WithCleanup(body, [cursor] { vcl::Screen->SetCursor(cursor); });
}

// The saved archive settings of a child that Compress redirects for the time of its compression.
struct TSavedArchive {
    TlzhCommand Command;
    AnsiString File;
    TCustomPathSpecifier* Type;
    bool Include;
};

int NameClashCounter = 0;

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TFileRelated

VCL_IMPLEMENT_CLASS(TFileRelated)

void TFileRelated::RegisterProperties(vcl::TClassDef<TFileRelated>& def)
{
    using T = TFileRelated;
    def.Property("AddToArchive", &T::AddToArchive, &T::SetAddToArchive, lzcOverwrite);
    def.Property("ArchiveFile", &T::ArchiveFile, &T::SetArchiveFile, AnsiString());
    def.Property("ArchiveFileType", &T::ArchiveFileType, &T::SetArchiveFileType);
    def.Property("NetLocation", &T::NetLocation, &T::SetNetLocation);
}

TFileRelated::TFileRelated(vcl::TComponent* owner) : TInstallObject(owner)
{
    SetInstallWithContainer(true);
}

TCustomPathSpecifier* TFileRelated::ArchiveFileType() const
{
    return archiveFileType_.get();
}

TCustomNetInstallLocation* TFileRelated::NetLocation() const
{
    return netLocation_.get();
}

void TFileRelated::SetNetLocation(TCustomNetInstallLocation* value)
{
    netLocation_ = value;
}

void TFileRelated::SetArchiveFile(const AnsiString& value)
{
    // Those two specifiers name a whole archive, so a file name under them means nothing.
    if (!IsLoading() && IsWholeArchiveSpecifier(ArchiveFileType())) {
        archiveFile_.clear();
        return;
    }
    archiveFile_ = value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* value)
{
    archiveTypeSet_ = true;
    if (value && !IsLoading()) {
        value->Validate(this);
        if (IsWholeArchiveSpecifier(value))
            archiveFile_.clear();
    }
    archiveFileType_ = value;
}

void TFileRelated::RestoreArchive(TlzhCommand command, const AnsiString& file, TCustomPathSpecifier* type)
{
    addToArchive_ = command;
    archiveFile_ = file;
    archiveFileType_ = type;
}

void TFileRelated::SetContainer(TInstallContainer* value)
{
    if (value == Container())
        return;
    inherited::SetContainer(value);
    if (IsLoading())
        return;
    if (dynamic_cast<TFileRelated*>(value) || dynamic_cast<TCustomInstallGroup*>(value)) {
        SetArchiveFileType(&FindSpecifier(TpsContainerArchiveFile::StaticClass()));
        archiveFile_.clear();
    } else if (dynamic_cast<TpsContainerArchiveFile*>(ArchiveFileType())) {
        SetArchiveFileType(nullptr);
    }
}

void TFileRelated::Loaded()
{
    inherited::Loaded();
    if (archiveTypeDefaulted_ && !archiveTypeSet_)
        archiveFileType_ = nullptr;
    archiveTypeDefaulted_ = false;
    AnsiString path;
    if (FindLocalArchive(path))
        localArchivePath_ = path;
}

AnsiString TFileRelated::GetArchivePath()
{
    AnsiString path = archiveFileType_ ? archiveFileType_->GetPath(this) + archiveFile_ : archiveFile_;
    return RemoveBackslash(path);
}

bool TFileRelated::HasLocalArchive()
{
    if (!rtl::Trim(localArchivePath_).empty())
        return true;
    AnsiString path;
    return FindLocalArchive(path);
}

bool TFileRelated::FindLocalArchive(AnsiString& path)
{
    path.clear();
    // Without an install key there is no record; a value under the root of the machine's keys would be one
    // nobody reads back.
    if (rtl::Trim(Name()).empty() || InstallKey().empty())
        return false;
    const AnsiString found = rtl::Trim(RegReadString(win::HKEY_LOCAL_MACHINE, LocalFileKey(Name()), "LocalFile", ""));
    if (found.empty() || !rtl::FileExists(found))
        return false;
    path = found;
    return true;
}

void TFileRelated::SaveLocalFile(const AnsiString& path)
{
    if (rtl::Trim(Name()).empty() || rtl::Trim(path).empty() || InstallKey().empty())
        return;
    try {
        RegWriteString(win::HKEY_LOCAL_MACHINE, LocalFileKey(Name()), "LocalFile", path);
    } catch (const rtl::Exception&) {
        // A copy that is not recorded is fetched again by a resumed run.
    }
}

TCustomNetInstallLocation* TFileRelated::FindNetLocation()
{
    if (NetLocation())
        return NetLocation();
    if (dynamic_cast<TCustomInstallFile*>(this)) {
        if (auto* container = dynamic_cast<TFileContainer*>(Container()))
            return container->FindNetLocation();
    }
    if (TCustomInstall* driver = InstallDriver(); driver && driver->NetLocation())
        return driver->NetLocation();
    return DefaultNetInstallLocation();
}

AnsiString TFileRelated::NetArchiveFolder()
{
    TCustomNetInstallLocation* location = FindNetLocation();
    if (!location)
        throw IEFileRel_NoNetLocation(Fmt, "Could not find a net install location for %s", Name());
    const TLoginInformation& login = *location->LoginInformation();
    if (!rtl::Trim(login.Directory()).empty())
        return CleanFileName(login.Hostname()) + "\\" + CleanFileName(login.Directory());
    return CleanFileName(login.Hostname()) + "\\" +
           (login.Protocol() == ipFTP ? "FTP Root directory" : "HTTP Root directory");
}

void TFileRelated::Download()
{
    AnsiString recorded;
    if (FindLocalArchive(recorded)) {
        localArchivePath_ = recorded;
        return;
    }
    TCustomNetInstallLocation* location = FindNetLocation();
    if (!location)
        throw IEFileRel_NoNetLocation(Fmt, "Could not find a net install location for %s", Name());
    if (!LoginInformationSet(location->LoginInformation())) {
        if (NetLocation())
            throw IEFileRelated(Fmt,
                                "%s could not install itself because the TNetLocation component's properties, in the "
                                "NetLocation property, have not been filled in",
                                Name());
        throw IEFileRelated(Fmt,
                            "%s could not install itself because the LoginInformation property of the TInstall "
                            "component has not been properly filled in",
                            Name());
    }
    const AnsiString reserved = TempFileName(true);
    localArchivePath_ = rtl::ChangeFileExt(reserved, ".1");
    win::DeleteFile(reserved.c_str());
    const AnsiString local = localArchivePath_;
    auto forget = [this, &local] {
        win::DeleteFile(local.c_str());
        localArchivePath_.clear();
    };
    location->OnFileDataReceived = [this](rtl::TObject*, const AnsiString& fileName, int32_t bytes, int32_t total,
                                          int32_t size, void* buffer) {
        DoDownloadStatus(fileName, bytes, total, size, buffer);
    };
    try {
        location->Download(rtl::ChangeFileExt(Name(), ".1"), local);
    } catch (...) {
        location->OnFileDataReceived = nullptr;
        forget();
        throw;
    }
    location->OnFileDataReceived = nullptr;
    if (NetDownloadAbort()) {
        forget();
        throw EAIUserAbort();
    }
    // What arrived must read as an archive before it is taken for one: a server's error page recorded as
    // the local copy would be reused by every later run.
    try {
        TTrwkCompress reader(nullptr);
        reader.SetCompressedFile(local);
        reader.Count();
    } catch (...) {
        forget();
        throw;
    }
    if (!IsDesigning(this))
        SaveLocalFile(local);
}

void TFileRelated::DoDownloadStatus(const AnsiString& fileName, int32_t bytes, int32_t totalBytes, int32_t fileSize,
                                    void* buffer)
{
    TDownloadStatusParameter parameter;
    parameter.Bytes = bytes;
    parameter.FileName = fileName;
    parameter.FileSize = fileSize;
    parameter.TotalBytes = totalBytes;
    parameter.Percent = GuardedPercent(totalBytes, fileSize);
    if (OnDataReceived)
        OnDataReceived(this, fileName, bytes, totalBytes, fileSize, buffer);
    BroadcastMessage(this, InstallMessage::DownloadStatus, &parameter);
    if (TInstallContainer* container = Container())
        container->DoInformationEventControl(this, HookCode::DownloadProgress, &parameter);
}

// ---------------------------------------------------------------------------------------------------------
// TpsFileContainer

VCL_IMPLEMENT_CLASS(TpsFileContainer)

void TpsFileContainer::RegisterProperties(vcl::TClassDef<TpsFileContainer>& def)
{
    def.Property("FileContainer", &TpsFileContainer::FileContainer, &TpsFileContainer::SetFileContainer);
}

TpsFileContainer::TpsFileContainer(vcl::TComponent* owner) : TCustomPathSpecifier(owner) {}

TFileContainer* TpsFileContainer::FileContainer() const
{
    return fileContainer_.get();
}

void TpsFileContainer::SetFileContainer(TFileContainer* value)
{
    fileContainer_ = value;
}

void TpsFileContainer::Validate(vcl::TComponent* component)
{
    if (dynamic_cast<TFileContainer*>(component) || dynamic_cast<TCustomInstallFile*>(component))
        throw IEPathSpecifier(AnsiString("A file container cannot reference another file container or group"));
}

AnsiString TpsFileContainer::GetDescription()
{
    if (!FileContainer())
        return "Path specifier for unknown file container";
    return "Path into which " + FileContainer()->Description() + " will be installed";
}

AnsiString TpsFileContainer::GetCaption()
{
    if (!FileContainer())
        return "Path specifier for unknown file container";
    return "<" + FileContainer()->Description() + ">";
}

AnsiString TpsFileContainer::GetPath(vcl::TComponent* component)
{
    Validate(component);
    return FileContainer() ? FileContainer()->GetDestPath() : AnsiString();
}

void TpsFileContainer::SetName(const AnsiString& value)
{
    if (!PlainNaming && Owner() && !value.empty()) {
        vcl::TComponent* other = Owner()->FindComponent(value);
        if (other && other != this)
            UniqueComponentName(other, "nameClash" + std::to_string(++NameClashCounter));
    }
    inherited::SetName(value);
}

void TpsFileContainer::Loaded()
{
    inherited::Loaded();
    TFileContainer* container = FileContainer();
    if (container && container->PathSpecifier() != this)
        container->AdoptPathSpecifier(this);
}

// ---------------------------------------------------------------------------------------------------------
// TFileContainer

VCL_IMPLEMENT_CLASS(TFileContainer)

void TFileContainer::RegisterProperties(vcl::TClassDef<TFileContainer>& def)
{
    using T = TFileContainer;
    def.Property("Description", &T::Description, &T::SetDescription, AnsiString());
    def.Event("OnAfterInstallObjects", &T::OnAfterInstallObjects);
    def.Event("OnBeforeInstallObjects", &T::OnBeforeInstallObjects);
    def.Event("OnDataReceived", &T::OnDataReceived);
    def.Event("OnNewDisk", &T::OnNewDisk);
    def.Event("OnReplacing", &T::OnReplacing);
    def.Event("OnStatus", &T::OnStatus);
}

TFileContainer::TFileContainer(vcl::TComponent* owner) : TFileRelated(owner)
{
    CreatePathSpecifier();
}

TFileContainer::~TFileContainer()
{
    ClearFiles();
    if (TpsFileContainer* specifier = pathSpecifier_.get(); specifier && !specifier->IsDestroying()) {
        pathSpecifier_ = nullptr;
        delete specifier;
    }
}

void TFileContainer::CreatePathSpecifier()
{
    auto* specifier = new TpsFileContainer(Owner());
    specifier->PlainNaming = true;
    AnsiString name = "psFileContainer";
    for (int n = 1; Owner() && Owner()->FindComponent(name); ++n)
        name = "psFileContainer" + std::to_string(n);
    specifier->SetName(name);
    specifier->PlainNaming = false;
    specifier->SetFileContainer(this);
    pathSpecifier_ = specifier;
}

void TFileContainer::DropPathSpecifier()
{
    if (TpsFileContainer* specifier = pathSpecifier_.get()) {
        pathSpecifier_ = nullptr;
        delete specifier;
    }
}

void TFileContainer::AdoptPathSpecifier(TpsFileContainer* specifier)
{
    if (specifier == pathSpecifier_.get())
        return;
    DropPathSpecifier();
    pathSpecifier_ = specifier;
}

void TFileContainer::Notification(vcl::TComponent* component, vcl::TOperation operation)
{
    inherited::Notification(component, operation);
    if (operation == vcl::opRemove && component == pathSpecifier_.get())
        pathSpecifier_ = nullptr;
}

int TFileContainer::ComponentType() const
{
    return ComponentTypeCode::FileContainer;
}

void TFileContainer::RunOperation(TInstallFileState state)
{
    WithCleanup(
        [&] {
            switch (state) {
            case ifsCompress: Compress(0); break;
            case ifsInstall: Install(); break;
            case ifsCopying: CopyFiles(); break;
            case ifsReflect: Reflect(); break;
            case ifsNone: break;
            }
        },
        [&] { containerState_ = ifsNone; });
}

// ---- Compress

bool TFileContainer::StartPass(bool includeAll)
{
    if (OnBeforeProcess)
        OnBeforeProcess(this);
    if (!Include())
        return false;
    DoInformationEventControl(this, HookCode::PassStarts, this);
    ReadInfo();
    operationTotal_ = TotalSizeDeep(includeAll);
    bytesDone_ = 0;
    return true;
}

void TFileContainer::Compress(uint32_t options)
{
    using namespace CompressOption;
    if ((options & ForceNetFilesLocal) && (options & ForceFilesNet))
        throw IEFileContainer(AnsiString("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress"));
    containerState_ = ifsCompress;
    WithCleanup(
        [&] {
            if (!StartPass((options & IncludeAll) != 0))
                return;
            const AnsiString folder = RemoveBackslash(rtl::ExtractFileDir(GetArchivePath()));
            try {
                SetLocalArchivePath(folder + "\\" + NetArchiveFolder() + "\\" + Name() + ".1");
            } catch (const IEFileRel_NoNetLocation&) {
                if (!(options & ForceNetFilesLocal))
                    throw;
            }
            if (AddToArchive() == lzcOverwrite) {
                DeleteArchiveOrRaise(Name(), rtl::ChangeFileExt(GetArchivePath(), ".1"));
                if ((HasNetFiles() || ((options & ForceFilesNet) && FileCount() > 0)) && !LocalArchivePath().empty())
                    DeleteArchiveOrRaise(Name(), LocalArchivePath());
            }
            for (int i = 0; i < ChildCount(); ++i) {
                if (auto* child = dynamic_cast<TFileRelated*>(ChildAt(i)))
                    CompressChild(*child, options, folder);
            }
            if (OnAfterProcess)
                OnAfterProcess(this);
            DoInformationEventControl(this, HookCode::PassDone, this);
        },
        [&] {
            containerState_ = ifsNone;
            BroadcastMessage(this, InstallMessage::PassDone, nullptr);
        });
}

void TFileContainer::CompressChild(TFileRelated& child, uint32_t options, const AnsiString& folder)
{
    using namespace CompressOption;
    auto* file = dynamic_cast<TCustomInstallFile*>(&child);
    const bool net = file && !(options & ForceNetFilesLocal) && (child.Net() || (options & ForceFilesNet));
    const TSavedArchive saved{child.AddToArchive(), child.ArchiveFile(), child.ArchiveFileType(), child.Include()};
    if (!child.Include() && (options & IncludeAll))
        child.SetInclude(true);
    auto webArchive = [&] { return folder + "\\" + child.NetArchiveFolder() + "\\" + child.Name() + ".1"; };
    if (net) {
        if (child.NetLocation()) {
            child.RestoreArchive(lzcOverwrite, webArchive(), nullptr);
        } else {
            child.RestoreArchive(lzcOnlyAdd, file->KeepsSeparateArchive() ? webArchive() : LocalArchivePath(),
                                 nullptr);
        }
        file->SetSeparateWebArchive(true);
    } else if (options & ClearArchives) {
        child.RestoreArchive(lzcOnlyAdd, AnsiString(), nullptr);
    } else if (dynamic_cast<TpsContainerArchiveFile*>(saved.Type)) {
        child.RestoreArchive(lzcOnlyAdd, saved.File, saved.Type);
    } else if (dynamic_cast<TpsInstallSource*>(saved.Type)) {
        TCustomInstall* driver = InstallDriver();
        const AnsiString base = driver ? RemoveBackslash(rtl::ExtractFileDir(driver->GetArchivePath())) : folder;
        child.RestoreArchive(lzcOverwrite, base + saved.File, nullptr);
    } else if (options & BuildLayout) {
        // The archive's path below its drive, or the whole of a path that names none (a UNC or relative
        // one), keeps its place below the build folder.
        const AnsiString path = child.GetArchivePath();
        AnsiString rest = path.find(':') != AnsiString::npos ? AfterColon(path) : path;
        rest.erase(0, rest.find_first_not_of('\\'));
        child.RestoreArchive(lzcOverwrite, folder + "\\" + rest, nullptr);
    }
    WithCleanup(
        [&] {
            if (auto* container = dynamic_cast<TFileContainer*>(&child))
                container->Compress(options);
            else if (file)
                file->CompressFile();
        },
        [&] {
            child.RestoreArchive(saved.Command, saved.File, saved.Type);
            child.SetInclude(saved.Include);
        });
}

// ---- Install, copy, reflect

void TFileContainer::InstallObjects()
{
    containerState_ = ifsInstall;
    vcl::TCursor cursor = vcl::Screen->Cursor();
    vcl::Screen->SetCursor(vcl::crHourGlass);
    WithCleanup(
        [&] {
            AnsiString recorded;
            if (FindLocalArchive(recorded))
                SetLocalArchivePath(recorded);
            ReadArchiveInfo();
            BroadcastMessage(this, InstallMessage::InstallingObjects, nullptr);
            DoInformationEventControl(this, HookCode::PassStarts, this);
            operationTotal_ = TotalSizeDeep(false);
            bytesDone_ = 0;
            if (OnBeforeInstallObjects)
                OnBeforeInstallObjects(this);
            inherited::InstallObjects();
            DoInformationEventControl(this, HookCode::PassDone, this);
        },
        [&] {
            vcl::Screen->SetCursor(cursor);
            const bool aborted = SharedCompressor().Abort();
            WithCleanup(
                [&] {
                    BroadcastMessage(this, InstallMessage::PassDone, nullptr);
                    if (afterInstallEnabled_ && OnAfterInstallObjects)
                        OnAfterInstallObjects(this, aborted);
                },
                [&] { containerState_ = ifsNone; });
        });
}

void TFileContainer::CopyFiles()
{
    containerState_ = ifsCopying;
    WithCleanup(
        [&] {
            if (!StartPass(false))
                return;
            for (int i = 0; i < FileCount(); ++i)
                FileAt(i)->CopyPlain();
            for (int i = 0; i < FileContainerCount(); ++i)
                static_cast<TFileContainer*>(FileContainers(i))->CopyFiles();
            if (OnAfterProcess)
                OnAfterProcess(this);
            DoInformationEventControl(this, HookCode::PassDone, this);
        },
        [&] {
            containerState_ = ifsNone;
            BroadcastMessage(this, InstallMessage::PassDone, nullptr);
        });
}

void TFileContainer::Reflect()
{
    // Nothing in the system supplies a reflection sink: the state is only marked for the pass.
    containerState_ = ifsReflect;
    containerState_ = ifsNone;
}

// ---- Files and totals

void TFileContainer::ClearFiles()
{
    FreeChildrenOfClass(TCustomInstallFile::StaticClass());
}

int TFileContainer::FileCount() const
{
    return CountOfClass(TCustomInstallFile::StaticClass());
}

TCustomInstallFile* TFileContainer::FileAt(int index) const
{
    return static_cast<TCustomInstallFile*>(ChildOfClass(index, TCustomInstallFile::StaticClass()));
}

void TFileContainer::IndexFile(TCustomInstallFile* file) const
{
    sourceEntries_[file] = sourceIndex_.emplace(file->SourcePath(), file);
}

TCustomInstallFile* TFileContainer::FindFileBySource(const AnsiString& path) const
{
    if (!sourceIndexMade_) {
        for (int i = 0; i < FileCount(); ++i)
            IndexFile(FileAt(i));
        sourceIndexMade_ = true;
    }
    const auto [first, last] = sourceIndex_.equal_range(path);
    if (first == last)
        return nullptr;
    if (std::next(first) == last)
        return first->second;
    // Only a stored form can hold two files of one source: the first in order answers.
    for (int i = 0; i < FileCount(); ++i) {
        if (rtl::SameText(FileAt(i)->SourcePath(), path))
            return FileAt(i);
    }
    return nullptr;
}

void TFileContainer::FileSourceChanged(TCustomInstallFile* file)
{
    auto entry = sourceEntries_.find(file);
    if (entry == sourceEntries_.end())
        return;
    sourceIndex_.erase(entry->second);
    IndexFile(file);
}

void TFileContainer::AddHelperComponent(TInstallContainer* child)
{
    inherited::AddHelperComponent(child);
    if (auto* file = dynamic_cast<TCustomInstallFile*>(child); file && sourceIndexMade_)
        IndexFile(file);
}

void TFileContainer::RemoveHelperComponent(TInstallContainer* child)
{
    inherited::RemoveHelperComponent(child);
    // By pointer alone: a child that is being freed is past its own class's part already.
    if (auto entry = sourceEntries_.find(child); entry != sourceEntries_.end()) {
        sourceIndex_.erase(entry->second);
        sourceEntries_.erase(entry);
    }
}

bool TFileContainer::HasNetFiles() const
{
    for (int i = 0; i < FileCount(); ++i) {
        if (FileAt(i)->Net())
            return true;
    }
    return false;
}

int64_t TFileContainer::TotalSize(bool all, bool deep)
{
    int64_t total = 0;
    for (int i = 0; i < FileCount(); ++i) {
        if (all || FileAt(i)->IsIncluded())
            total += FileAt(i)->Size();
    }
    if (deep) {
        for (int i = 0; i < FileContainerCount(); ++i) {
            auto* sub = static_cast<TFileContainer*>(FileContainers(i));
            if (all || sub->IsIncluded())
                total += sub->TotalSizeDeep(all);
        }
    }
    return total;
}

int64_t TFileContainer::TotalArchivedSize(bool all)
{
    int64_t total = 0;
    for (int i = 0; i < FileCount(); ++i) {
        if (all || FileAt(i)->IsIncluded())
            total += FileAt(i)->ArchivedSize();
    }
    for (int i = 0; i < FileContainerCount(); ++i)
        total += static_cast<TFileContainer*>(FileContainers(i))->TotalArchivedSize(all);
    return total;
}

void TFileContainer::ReadArchiveInfo()
{
    WithHourGlass([&] {
        for (int i = 0; i < FileCount(); ++i)
            FileAt(i)->ReadInfoFromArchive();
        for (int i = 0; i < FileContainerCount(); ++i)
            static_cast<TFileContainer*>(FileContainers(i))->ReadArchiveInfo();
        SetArchiveInfoRead(true);
    });
}

void TFileContainer::ReadInfo()
{
    WithHourGlass([&] {
        for (int i = 0; i < FileCount(); ++i)
            FileAt(i)->ReadSizeDateVersion();
        for (int i = 0; i < FileContainerCount(); ++i)
            static_cast<TFileContainer*>(FileContainers(i))->ReadInfo();
    });
}

bool TFileContainer::NeedsDownload()
{
    if (CurrentDistributeType() == dtTraditional)
        return false;
    for (int i = 0; i < FileCount(); ++i) {
        TCustomInstallFile* file = FileAt(i);
        if (file->Net() && file->Include() && !file->NetLocation())
            return true;
    }
    return false;
}

AnsiString TFileContainer::GetDownloadedArchive()
{
    AnsiString path;
    if (!FindLocalArchive(path))
        throw IEFileContainer(Fmt,
                              "%s has not yet downloaded the archive file and therefore cannot retrieve the path of "
                              "the archive file",
                              Name());
    return path;
}

// ---- Events of the files

void TFileContainer::DoNewDisk(TCustomInstallFile* file, TDiskParameter& disk)
{
    AnsiString path = disk.Path;
    if (OnNewDisk) {
        OnNewDisk(file, static_cast<int32_t>(disk.DiskNumber), path);
        file->SetTag(1);
    }
    disk.Path = path;
}

void TFileContainer::DoReplacing(TCustomInstallFile* file)
{
    if (OnReplacing)
        OnReplacing(file);
    BroadcastMessage(this, InstallMessage::Replacing, file);
}

void TFileContainer::DoFileStatus(TCustomInstallFile* file, TFileStatusParameter& status)
{
    if (OnStatus)
        OnStatus(file, status.FilePercent, status.TotalPercent);
    BroadcastMessage(this, InstallMessage::FileStatus, &status);
}

// ---- Hooks

void TFileContainer::AddToTotals(TFileStatusParameter& status, int64_t doneBytes)
{
    const int64_t totalDone = bytesDone_ + doneBytes;
    status.TotalBytesDone = ClampedBytes(totalDone);
    status.TotalPercent = GuardedPercent(totalDone, operationTotal_);
}

namespace {

TParameterPair& RequirePair(rtl::TObject* parameter)
{
    auto* pair = dynamic_cast<TParameterPair*>(parameter);
    if (!pair)
        throw IEFileContainer(AnsiString("DoInformationEventControl--PO is not a TList object"));
    if (!pair->First || !pair->Second)
        throw IEFileContainer(AnsiString("DoInformationEventControl--Not engouh parameters for status event"));
    return *pair;
}

}  // namespace

void TFileContainer::HandleFileStatus(int, rtl::TObject* parameter)
{
    TParameterPair& pair = RequirePair(parameter);
    auto* file = dynamic_cast<TCustomInstallFile*>(pair.First);
    if (!file)
        throw IEFileContainer(AnsiString("DoInformationEventControl says bad first parameter"));
    auto* status = dynamic_cast<TFileStatusParameter*>(pair.Second);
    if (!status)
        throw IEFileContainer(AnsiString("DoInformationEventControl says bad second parameter"));
    AddToTotals(*status, status->Stats.Done);
    DoFileStatus(file, *status);
    if (status->Stats.EntryDone && containerState_ != ifsNone)
        bytesDone_ += status->Stats.Uncompressed;
}

void TFileContainer::HandleNewDisk(rtl::TObject* parameter)
{
    TParameterPair& pair = RequirePair(parameter);
    auto* file = dynamic_cast<TCustomInstallFile*>(pair.First);
    if (!file)
        throw IEFileContainer(Fmt, "DoInformationEventControl says bad %d parameter", 1);
    auto* disk = dynamic_cast<TDiskParameter*>(pair.Second);
    if (!disk)
        throw IEFileContainer(Fmt, "DoInformationEventControl says bad %d parameter", 2);
    DoNewDisk(file, *disk);
    BroadcastMessage(this, InstallMessage::ChangeDisk, parameter);
}

void TFileContainer::HandleDownloadStatus(rtl::TObject* parameter)
{
    auto* download = dynamic_cast<TDownloadStatusParameter*>(parameter);
    if (!download)
        throw IEFileContainer(Fmt, "The PO object passed to %s is not a TDownloadStatusParameter object", Name());
    if (OnDataReceived)
        OnDataReceived(this, download->FileName, download->Bytes, download->TotalBytes, download->FileSize, nullptr);
    BroadcastMessage(this, InstallMessage::DownloadStatus, parameter);
}

void TFileContainer::HandleSkippedFile(rtl::TObject* parameter)
{
    auto* file = dynamic_cast<TCustomInstallFile*>(parameter);
    if (!file)
        throw IEFileContainer(AnsiString("DoInformationEventControl says bad first parameter"));
    TFileStatusParameter status;
    status.FileBytesDone = file->Size();
    status.FilePercent = 100;
    status.FileName = file->FileName();
    AddToTotals(status, file->Size());
    DoFileStatus(file, status);
    bytesDone_ += file->Size();
}

void TFileContainer::DoInformationEventControl(vcl::TComponent*, int code, rtl::TObject* parameter)
{
    if (containerState_ == ifsNone)
        return;
    const bool handled = code == HookCode::FileReplacing ||
                         (code >= HookCode::InstallProgress && code <= HookCode::NewVolume) ||
                         code == HookCode::DownloadProgress || code == HookCode::FileCancelled ||
                         code == HookCode::FileKept;
    if (handled && !parameter)
        throw IEFileContainer(Fmt, "%s got a nil PO parameter", Name());
    switch (code) {
    case HookCode::FileReplacing: {
        auto* file = dynamic_cast<TCustomInstallFile*>(parameter);
        if (!file)
            throw IEFileContainer(AnsiString("DoInformationEventControl parameter is not TInstallFile"));
        DoReplacing(file);
        break;
    }
    case HookCode::InstallProgress:
    case HookCode::CompressProgress:
    case HookCode::CopyProgress: HandleFileStatus(code, parameter); break;
    case HookCode::NewVolume: HandleNewDisk(parameter); break;
    case HookCode::DownloadProgress: HandleDownloadStatus(parameter); break;
    case HookCode::FileCancelled:
    case HookCode::FileKept: HandleSkippedFile(parameter); break;
    default: break;
    }
    if (TInstallContainer* container = Container())
        container->DoInformationEventControl(this, code, parameter);
}

// ---------------------------------------------------------------------------------------------------------
// Groups and directories

VCL_IMPLEMENT_CLASS(TInstallGroupDialogOptions)

void TInstallGroupDialogOptions::RegisterProperties(vcl::TClassDef<TInstallGroupDialogOptions>& def)
{
    using T = TInstallGroupDialogOptions;
    def.Property("AllowChangeDir", &T::AllowChangeDir, &T::SetAllowChangeDir, true);
    def.Property("AllowExcludeInclude", &T::AllowExcludeInclude, &T::SetAllowExcludeInclude, true);
    def.Property("Description", &T::Description, &T::SetDescription);
    def.Property("DisplayDirectory", &T::DisplayDirectory, &T::SetDisplayDirectory, true);
    def.Property("SmallIcon", &T::SmallIcon, &T::SetSmallIcon);
    def.Property("ShowRegardlessOfInclude", &T::ShowRegardlessOfInclude, &T::SetShowRegardlessOfInclude, true);
}

TInstallGroupDialogOptions::TInstallGroupDialogOptions()
    : description_(std::make_unique<rtl::TStringList>()), smallIcon_(std::make_unique<vcl::TIcon>())
{
}

TInstallGroupDialogOptions::~TInstallGroupDialogOptions() = default;

void TInstallGroupDialogOptions::SetDescription(rtl::TStrings* value)
{
    if (value)
        description_->Assign(*value);
    else
        description_->Clear();
}

void TInstallGroupDialogOptions::SetSmallIcon(vcl::TIcon* value)
{
    smallIcon_->Assign(value);
}

void TInstallGroupDialogOptions::Assign(const vcl::TPersistent* source)
{
    auto* other = dynamic_cast<const TInstallGroupDialogOptions*>(source);
    if (!other) {
        inherited::Assign(source);
        return;
    }
    allowChangeDir_ = other->allowChangeDir_;
    allowExcludeInclude_ = other->allowExcludeInclude_;
    description_->Assign(*other->description_);
    displayDirectory_ = other->displayDirectory_;
    smallIcon_->Assign(other->smallIcon_.get());
    showRegardlessOfInclude_ = other->showRegardlessOfInclude_;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomInstallGroup)

TCustomInstallGroup::TCustomInstallGroup(vcl::TComponent* owner)
    : TFileContainer(owner), dialogOptions_(std::make_unique<TInstallGroupDialogOptions>())
{
}

TCustomInstallGroup::~TCustomInstallGroup() = default;

int TCustomInstallGroup::ComponentType() const
{
    return ComponentTypeCode::Group;
}

void TCustomInstallGroup::SetContainer(TInstallContainer* value)
{
    if (value && !dynamic_cast<TCustomInstall*>(value) && !dynamic_cast<TCustomInstallGroup*>(value))
        throw IEInstallGroup(
            AnsiString("A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component"));
    if (!value && !IsLoading())
        value = InstallDriver();
    inherited::SetContainer(value);
}

VCL_IMPLEMENT_CLASS(TInstallGroup)

void TInstallGroup::RegisterProperties(vcl::TClassDef<TInstallGroup>& def)
{
    def.Property("DialogOptions", &TInstallGroup::DialogOptions, &TInstallGroup::SetDialogOptions);
}

TInstallGroup::TInstallGroup(vcl::TComponent* owner) : TCustomInstallGroup(owner) {}

VCL_IMPLEMENT_CLASS_NOPROPS(TInstallDirectory)

TInstallDirectory::TInstallDirectory(vcl::TComponent* owner) : TFileContainer(owner)
{
    SetInstallWithContainer(true);
    SetInclude(true);
    if (IsDesigning(owner))
    {
        int containers = 0;
        for (TInstallContainer* each : InstallContainers().Snapshot())
            containers += dynamic_cast<TFileContainer*>(each) != nullptr;
        SetDescription("Install Directory " + std::to_string(containers));
    }
}

void TInstallDirectory::RemoveMissingFiles()
{
    for (int i = FileCount() - 1; i >= 0; --i) {
        TCustomInstallFile* file = FileAt(i);
        if (!rtl::FileExists(file->SourcePath())) {
            file->SetContainer(nullptr);
            delete file;
        }
    }
}

void RegisterFileContainerClasses()
{
    vcl::RegisterClasses({&TFileRelated::StaticClass(), &TFileContainer::StaticClass(),
                          &TCustomInstallGroup::StaticClass(), &TInstallGroup::StaticClass(),
                          &TInstallDirectory::StaticClass(), &TpsFileContainer::StaticClass()});
}
