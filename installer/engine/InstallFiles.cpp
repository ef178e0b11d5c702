#include "installer/engine/InstallFiles.h"

#include <cstring>

#include "installer/engine/Install.h"
#include "installer/engine/LockedFiles.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/TranslatorHooks.h"
#include "platform/vcl/Dialogs.h"

using rtl::AnsiString;

namespace {

constexpr int MaxVersionLength = 20;

AnsiString UpperExtension(const AnsiString& fileName)
{
    return rtl::UpperCase(rtl::ExtractFileExt(fileName));
}

bool OneOf(const AnsiString& text, std::initializer_list<const char*> values)
{
    for (const char* value : values) {
        if (text == value)
            return true;
    }
    return false;
}

}  // namespace

VCL_IMPLEMENT_CLASS(TCustomInstallFile)

void TCustomInstallFile::RegisterProperties(vcl::TClassDef<TCustomInstallFile>&) {}

TCustomInstallFile::TCustomInstallFile(vcl::TComponent* owner) : TFileRelated(owner)
{
    SetInstallWithContainer(true);
    SetInclude(true);
    SetNet(false);
    InstallFiles().Add(this);
    std::vector<bool>& ids = FileIDTable();
    for (size_t id = 0; id < ids.size(); ++id) {
        if (!ids[id]) {
            ids[id] = true;
            uniqueID_ = static_cast<int32_t>(id);
            break;
        }
    }
}

TCustomInstallFile::~TCustomInstallFile()
{
    InstallFiles().Remove(this);
    DeferredRegistrations().Remove(this);
    std::vector<bool>& ids = FileIDTable();
    if (uniqueID_ >= 0 && static_cast<size_t>(uniqueID_) < ids.size())
        ids[static_cast<size_t>(uniqueID_)] = false;
}

TCustomInstallFile* TCustomInstallFile::CreateFromPath(vcl::TComponent* owner, const AnsiString& path)
{
    auto* file = new TInstallFile(owner);
    try {
        file->SetIncludeFromDir(RemoveBackslash(rtl::ExtractFileDir(path)));
        file->SetFileName(rtl::ExtractFileName(path));
    } catch (...) {
        delete file;
        throw;
    }
    return file;
}

TCustomInstallFile* TCustomInstallFile::CreateInContainer(vcl::TComponent* owner, TInstallContainer* container,
                                                          const AnsiString& path)
{
    TCustomInstallFile* file = CreateFromPath(owner, path);
    try {
        file->SetContainer(container);
    } catch (...) {
        delete file;
        throw;
    }
    return file;
}

void TCustomInstallFile::SetUniqueID(int32_t value)
{
    uniqueID_ = value;
}

void TCustomInstallFile::SetVersion(const AnsiString& value)
{
    version_ = value.substr(0, MaxVersionLength);
}

void TCustomInstallFile::Loaded()
{
    inherited::Loaded();
    // The IDs of the stored form win over the ones the constructors took.
    if (!FileIDTableInitialised()) {
        std::vector<bool>& ids = FileIDTable();
        std::fill(ids.begin(), ids.end(), false);
        FileIDTableInitialised() = true;
    }
    if (uniqueID_ >= 0 && static_cast<size_t>(uniqueID_) < FileIDTable().size())
        FileIDTable()[static_cast<size_t>(uniqueID_)] = true;
}

int TCustomInstallFile::ComponentType() const
{
    return ComponentTypeCode::File;
}

AnsiString TCustomInstallFile::SourcePath() const
{
    return AddBackslash(includeFromDir_) + fileName_;
}

void TCustomInstallFile::NoteSourceChanged()
{
    if (auto* container = dynamic_cast<TFileContainer*>(Container()))
        container->FileSourceChanged(this);
}

AnsiString TCustomInstallFile::GetDestFileName()
{
    return AddBackslash(GetDestPath()) + destName_;
}

AnsiString TCustomInstallFile::InstalledPath()
{
    return AddBackslash(GetDestPath()) + destName_;
}

AnsiString TCustomInstallFile::FinalPath()
{
    return AddBackslash(GetDestPath()) + (finalName_.empty() ? destName_ : finalName_);
}

bool TCustomInstallFile::KeepsSeparateArchive() const
{
    return NetLocation() || overwriteMode_ == owVersion || overwriteMode_ == owDate || overwriteMode_ == owVersionDate;
}

AnsiString TCustomInstallFile::GetArchivePath()
{
    const TDistributeType type = CurrentDistributeType();
    if (type == dtWeb || (type != dtTraditional && Net())) {
        if (state_ == ifsInstall) {
            if (KeepsSeparateArchive() && HasLocalArchive()) {
                if (LocalArchivePath().empty()) {
                    AnsiString recorded;
                    FindLocalArchive(recorded);
                    SetLocalArchivePath(recorded);
                }
                return LocalArchivePath();
            }
            auto* container = dynamic_cast<TFileContainer*>(Container());
            if (container && container->HasLocalArchive())
                return container->LocalArchivePath().empty() ? container->GetDownloadedArchive()
                                                             : container->LocalArchivePath();
        } else if (state_ == ifsReflect) {
            return AnsiString();
        }
    }
    return inherited::GetArchivePath();
}

// ---------------------------------------------------------------------------------------------------------
// The settings rule

TCustomInstallFile::TFileSettings TCustomInstallFile::CurrentSettings() const
{
    return {Container(), includeFromDir_, activeX_, fileType_, DestDirType(), destName_, DestDir(), fileName_};
}

void TCustomInstallFile::ApplyFileSettings(const TFileSettings& next)
{
    const TFileSettings current = CurrentSettings();
    if (next.Container && !dynamic_cast<TFileContainer*>(next.Container))
        throw IECustomInstallFile(Fmt,
                                  "The following TInstallFile component %s requires the Container property to be a "
                                  "component descended from the TFileContainer component",
                                  Name());
    const bool nameChanges = next.FileName != current.FileName;
    const bool folderChanges = next.IncludeFromDir != current.IncludeFromDir;
    const AnsiString newSource = AddBackslash(next.IncludeFromDir) + next.FileName;
    if (auto* container = dynamic_cast<TFileContainer*>(next.Container);
        container && (nameChanges || folderChanges || next.Container != current.Container)) {
        TCustomInstallFile* other = container->FindFileBySource(newSource);
        if (other && other != this)
            throw IEfcDuplicateFile(Fmt, "There is already a file with the name :%s", newSource);
    }
    AnsiString destName = next.DestName;
    AnsiString destDir = next.DestDir;
    if (nameChanges && !rtl::Trim(next.FileName).empty()) {
        destName = next.FileName;
        installAttributes_ = TTrwkFileAttributesSet();
        ReadOnlyAttribute(AddBackslash(current.IncludeFromDir) + next.FileName, installAttributes_, &security_);
    }
    const AnsiString ext = UpperExtension(next.FileName);
    bool activeX = next.ActiveX;
    if (nameChanges || folderChanges) {
        registerAsHelp_ = OneOf(ext, {".HLP", ".CNT"});
        activeX = OneOf(ext, {".TLB", ".OCX"}) || OLESelfRegisterOf(newSource);
    }
    TInstallFileType type = next.FileType;
    if (activeX && activeX != current.ActiveX)
        type = iftSystemWideDLL;
    if (next.DestDirType != current.DestDirType && ext.size() == 4 && OneOf(ext, {".DLL", ".OCX", ".BLL", ".EXE"})) {
        if (dynamic_cast<TpsWindow*>(next.DestDirType) || dynamic_cast<TpsBDEDLL*>(next.DestDirType))
            overwriteMode_ = owVersionDate;
        else if (dynamic_cast<TpsSystem*>(next.DestDirType))
            type = iftSystemWideDLL;
    }
    if (type != current.FileType) {
        if (type == iftJustADLL || type == iftApplicationSpecificDLL) {
            overwriteMode_ = owVersionDate;
        } else if (type == iftVendorSharedDLL || type == iftSystemWideDLL) {
            updateDLLCounter_ = true;
            overwriteMode_ = owVersionDate;
        }
    }
    TFileRelated::SetDestDirType(next.DestDirType);
    TFileRelated::SetContainer(next.Container);
    switch (type) {
    case iftApplicationSpecificDLL:
        destDir = "\\System";
        TFileRelated::SetDestDirType(&FindSpecifier(TpsMainInstall::StaticClass()));
        break;
    case iftVendorSharedDLL:
        destDir = "\\System";
        TFileRelated::SetDestDirType(&FindSpecifier(TpsCommonFiles::StaticClass()));
        break;
    case iftSystemWideDLL:
        destDir.clear();
        TFileRelated::SetDestDirType(&FindSpecifier(TpsSystem::StaticClass()));
        break;
    default: break;
    }
    includeFromDir_ = next.IncludeFromDir;
    fileName_ = next.FileName;
    NoteSourceChanged();
    TFileRelated::SetDestDir(destDir);
    destName_ = destName;
    fileType_ = type;
    activeX_ = activeX;
}

#define SCRIVANE_FILE_SETTER(Setter, Field, Type, Store)   \
    void TCustomInstallFile::Setter(Type value)            \
    {                                                      \
        if (IsLoading()) {                                 \
            Store;                                         \
            return;                                        \
        }                                                  \
        TFileSettings next = CurrentSettings();            \
        next.Field = value;                                \
        ApplyFileSettings(next);                           \
    }

SCRIVANE_FILE_SETTER(SetDestName, DestName, const AnsiString&, destName_ = value)
SCRIVANE_FILE_SETTER(SetFileName, FileName, const AnsiString&, fileName_ = value; NoteSourceChanged())
SCRIVANE_FILE_SETTER(SetIncludeFromDir, IncludeFromDir, const AnsiString&, includeFromDir_ = value; NoteSourceChanged())
SCRIVANE_FILE_SETTER(SetDestDir, DestDir, const AnsiString&, TFileRelated::SetDestDir(value))
SCRIVANE_FILE_SETTER(SetDestDirType, DestDirType, TCustomPathSpecifier*, TFileRelated::SetDestDirType(value))
SCRIVANE_FILE_SETTER(SetFileType, FileType, TInstallFileType, fileType_ = value)
SCRIVANE_FILE_SETTER(SetActiveX, ActiveX, bool, activeX_ = value)
SCRIVANE_FILE_SETTER(SetContainer, Container, TInstallContainer*, TFileRelated::SetContainer(value))
#undef SCRIVANE_FILE_SETTER

void TCustomInstallFile::SetState(TInstallFileState value)
{
    WithCleanup(
        [&] {
            switch (value) {
            case ifsCompress: CompressFile(); break;
            case ifsInstall: Install(); break;
            case ifsCopying: CopyPlain(); break;
            default: break;
            }
        },
        [&] { state_ = ifsNone; });
}

void TCustomInstallFile::RaiseUserAbort()
{
    throw EAIUserAbort();
}

void TCustomInstallFile::RaiseBlankArchive() const
{
    throw IECustomInstallFile(Fmt,
                              "Cannot either compress or decompress the following file because it's archive file "
                              "property is blank. File is :%s",
                              fileName_);
}

void TCustomInstallFile::RaiseBlankDestination() const
{
    throw IECustomInstallFile(Fmt,
                              "Cannot compress,copy, or install the following file because it's destination directory "
                              "is blank. File is :%s",
                              Name());
}

void TCustomInstallFile::ReportToContainer(int code, rtl::TObject* parameter)
{
    if (TInstallContainer* container = Container())
        container->DoInformationEventControl(this, code, parameter);
}

// The closing broadcast of an operation; a receiver that fails stops the archive work too.
void TCustomInstallFile::EndOperation()
{
    state_ = ifsNone;
    try {
        BroadcastMessage(this, InstallMessage::PassDone, nullptr);
    } catch (...) {
        SharedCompressor().SetAbort(true);
        throw;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Compress and plain copy

void TCustomInstallFile::CompressFile()
{
    state_ = ifsCompress;
    TTrwkCompress& compressor = SharedCompressor();
    WithCleanup(
        [&] {
            try {
                if (OnBeforeCompress)
                    OnBeforeCompress(this);
                ReportToContainer(HookCode::CompressStarts, this);
                const AnsiString archive = GetArchivePath();
                if (rtl::Trim(archive).empty())
                    RaiseBlankArchive();
                if (!Include())
                    return;
                CreateFolderAndParents(rtl::ExtractFileDir(archive));
                compressor.SetCompressedFile(archive);
                compressor.OnAborted = [this](rtl::TObject*) { RaiseUserAbort(); };
                compressor.OnStatus = [this](rtl::TObject*, TlzhFileStats& stats) { StatusHandler(stats); };
                rtl::TStringList files;
                files.Add(SourcePath());
                compressor.SetFilesToProcess(&files);
                compressor.Compress(AddToArchive(), uniqueID_);
                compressMark_ = 2;
                compressedArchive_ = compressor.CompressedFile();
                if (OnAfterCompress)
                    OnAfterCompress(this);
                ReportToContainer(HookCode::CompressDone, this);
            } catch (const rtl::EAbort&) {
            }
        },
        [&] {
            compressor.OnAborted = nullptr;
            compressor.OnStatus = nullptr;
            EndOperation();
        });
}

void TCustomInstallFile::CopyPlain()
{
    state_ = ifsCopying;
    TTrwkCompress& compressor = SharedCompressor();
    WithCleanup(
        [&] {
            try {
                if (OnBeforeCopy)
                    OnBeforeCopy(this);
                ReportToContainer(HookCode::CopyStarts, this);
                if (!Include())
                    return;
                if (rtl::Trim(GetDestPath()).empty())
                    RaiseBlankDestination();
                CreateFolderAndParents(GetDestPath());
                compressor.OnStatus = [this](rtl::TObject*, TlzhFileStats& stats) { StatusHandler(stats); };
                compressor.SetOverwrite(overwriteMode_);
                compressor.CopyFile(SourcePath(), GetDestFileName());
                if (OnAfterCopy)
                    OnAfterCopy(this);
                ReportToContainer(HookCode::CopyDone, this);
            } catch (const rtl::EAbort&) {
            }
        },
        [&] {
            compressor.OnStatus = nullptr;
            EndOperation();
        });
}

// ---------------------------------------------------------------------------------------------------------
// Install

bool TCustomInstallFile::DecideInstall(TOverwriteResult result)
{
    switch (result) {
    case orCannotDecide:
    case orReplace: return true;
    case orSame:
    case orKeepExisting: return false;
    case orAsk:
        return vcl::MessageDlg(rtl::Format(TranslateText("Copy This File %s?"), fileName_), vcl::mtConfirmation,
                               {vcl::mbYes, vcl::mbNo}, 0) == vcl::mrYes;
    }
    return true;
}

// Fetches what a network file needs before it is extracted.
void TCustomInstallFile::PrepareArchive()
{
    AnsiString recorded;
    if (FindLocalArchive(recorded))
        SetLocalArchivePath(recorded);
    if (KeepsSeparateArchive()) {
        Download();
        return;
    }
    auto* container = dynamic_cast<TFileContainer*>(Container());
    if (container && !container->HasLocalArchive())
        container->Download();
}

TTrwkCompress& TCustomInstallFile::ArchiveCompressor(const AnsiString& archivePath, std::unique_ptr<TTrwkCompress>& own)
{
    TCustomInstall* driver = InstallDriver();
    if (driver && rtl::SameText(archivePath, driver->GetArchivePath()))
        return SharedCompressor();
    own = std::make_unique<TTrwkCompress>(nullptr);
    return *own;
}

void TCustomInstallFile::InstallObjects()
{
    replacedAtRestart_ = false;
    doInstall_ = false;
    helpRegistered_ = false;
    helpNotes_.Clear();
    countedName_.clear();
    sharedBefore_ = false;
    try {
        ReportToContainer(HookCode::FileStarts, this);
        if (OnBeforeInstall)
            OnBeforeInstall(this);
    } catch (const rtl::EAbort&) {
        ReportToContainer(HookCode::FileCancelled, this);
        return;
    }
    if (rtl::Trim(GetDestPath()).empty())
        RaiseBlankDestination();
    targetExisted_ = rtl::FileExists(GetDestFileName());
    sharedBefore_ = targetExisted_ && HasSharedCount();
    // A target that cannot be read (a locked one among them) leaves the rule undecided: it is installed, so
    // a file in use is still replaced, at the next start.
    const TOverwriteResult result =
        TVersionResource::CompareFileForOverwrite(version_, GetDestFileName(), overwriteMode_, fileDate_);
    const bool undecided = result == orCannotDecide;
    doInstall_ = DecideInstall(result);
    if (doInstall_) {
        try {
            ReplaceLocked();
        } catch (const rtl::EAbort&) {
            doInstall_ = false;
        }
    }
    if (!doInstall_) {
        FinishFile(HookCode::FileKept);
        return;
    }
    std::unique_ptr<TTrwkCompress> own;
    TTrwkCompress* compressor = nullptr;
    const TDistributeType type = CurrentDistributeType();
    if (type != dtTraditional && (Net() || type == dtWeb)) {
        state_ = ifsInstall;
        WithCleanup([&] { PrepareArchive(); }, [&] { state_ = ifsNone; });
        own = std::make_unique<TTrwkCompress>(nullptr);
        compressor = own.get();
    } else {
        AnsiString recorded;
        if (FindLocalArchive(recorded))
            SetLocalArchivePath(recorded);
        compressor = &ArchiveCompressor(GetArchivePath(), own);
    }
    // The rule has decided already; an undecided answer would only stop the extraction.
    const TOverwriteType extractRule = undecided ? owAlways : overwriteMode_;
    state_ = ifsInstall;
    WithCleanup(
        [&] {
            CreateFolderAndParents(GetDestPath());
            const AnsiString archive = GetArchivePath();
            if (rtl::Trim(archive).empty())
                RaiseBlankArchive();
            PrepareTarget(AddBackslash(GetDestPath()) + destName_);
            compressor->SetCompressedFile(archive);
            compressor->SetExtractDirectory(GetDestPath());
            compressor->SetDestinationName(destName_);
            compressor->SetOverwrite(extractRule);
            compressor->OnAborted = [this](rtl::TObject*) { RaiseUserAbort(); };
            compressor->OnNewDisk = [this](rtl::TObject* sender, int32_t disk, AnsiString& path) {
                NewDiskHandler(sender, disk, path);
            };
            compressor->OnStatus = [this](rtl::TObject*, TlzhFileStats& stats) { StatusHandler(stats); };
            rtl::TStringList files;
            files.Add(SourcePath());
            compressor->SetFilesToProcess(&files);
            compressor->Extract();
            RestoreFinalName();
            FinishFile(0);
        },
        [&] {
            RestoreFinalName();
            compressor->OnAborted = nullptr;
            compressor->OnNewDisk = nullptr;
            compressor->OnStatus = nullptr;
            if (compressor->Abort())
                SharedCompressor().SetAbort(true);
            EndOperation();
        });
}

// Keeps what is at the target for a bad ending to put back, and lets a read-only target be replaced as
// any other: the rule has decided to install over it.
void TCustomInstallFile::PrepareTarget(const AnsiString& target)
{
    const win::DWORD attributes = win::GetFileAttributes(target.c_str());
    if (attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_READONLY))
        win::SetFileAttributes(target.c_str(), attributes & ~win::FILE_ATTRIBUTE_READONLY);
}

// Whatever outlives the restart (help and shared-DLL values, links, uninstall records) names the file the
// numbered one becomes, never the numbered one.
void TCustomInstallFile::RestoreFinalName()
{
    if (replacedAtRestart_ && !finalName_.empty()) {
        destName_ = finalName_;
        finalName_.clear();
    }
}

// What follows the extraction, or the decision to keep the target (reported first, so totals stay right).
void TCustomInstallFile::FinishFile(int hookCode)
{
    RestoreFinalName();
    if (hookCode)
        ReportToContainer(hookCode, this);
    FinishInstall();
    if (OnAfterInstall)
        OnAfterInstall(this);
    ReportToContainer(HookCode::FileDone, this);
    TInstallContainer::InstallObjects();
}

// ---------------------------------------------------------------------------------------------------------
// The compressor's callbacks

void TCustomInstallFile::StatusHandler(TlzhFileStats& stats)
{
    TFileStatusParameter parameter;
    parameter.FileBytesDone = stats.Done;
    parameter.FilePercent = stats.Percent;
    parameter.FileName = fileName_;
    parameter.Stats = stats;
    parameter.TotalBytesDone = ClampedBytes(stats.TotalDone);
    parameter.TotalPercent = stats.TotalPercent;
    TParameterPair pair(this, &parameter);
    if (OnStatus)
        OnStatus(this, stats.Percent, stats.TotalPercent);
    BroadcastMessage(this, InstallMessage::FileStatus, &parameter);
    const int code = state_ == ifsCompress  ? HookCode::CompressProgress
                     : state_ == ifsCopying ? HookCode::CopyProgress
                                            : HookCode::InstallProgress;
    ReportToContainer(code, &pair);
}

void TCustomInstallFile::NewDiskHandler(rtl::TObject* sender, int32_t disk, AnsiString& path)
{
    SetTag(0);
    TDiskParameter parameter;
    parameter.DiskNumber = static_cast<uint32_t>(disk);
    parameter.Path = RemoveBackslash(rtl::ExtractFileDir(GetArchivePath()));
    TParameterPair pair(this, &parameter);
    if (OnNewDisk)
        OnNewDisk(this, disk, parameter.Path);
    BroadcastMessage(this, InstallMessage::ChangeDisk, &pair);
    ReportToContainer(HookCode::NewVolume, &pair);
    if (!OnNewDisk && Tag() == 0) {
        const AnsiString prompt = rtl::Format(TranslateText("Please insert disk #%d"), disk);
        if (vcl::MessageDlg(prompt, vcl::mtInformation, {vcl::mbOK, vcl::mbCancel}, 0) != vcl::mrOk) {
            if (auto* compressor = dynamic_cast<TTrwkCompress*>(sender))
                compressor->SetAbort(true);
        }
    }
    path = AddBackslash(parameter.Path);
    try {
        if (auto* main = dynamic_cast<TpsMainArchiveFile*>(&FindSpecifier(TpsMainArchiveFile::StaticClass())))
            main->SetArchiveFolder(path);
    } catch (const rtl::Exception&) {
    }
    SetTag(0);
}

// ---------------------------------------------------------------------------------------------------------
// Reading information

void TCustomInstallFile::ReadSizeDateVersion()
{
    const AnsiString path = SourcePath();
    try {
        rtl::TFileStream stream(path, rtl::fmOpenRead | rtl::fmShareDenyNone);
        rtl::TDateTime date = 0;
        FileDateForOverwrite(path, date);
        fileDate_ = date;
        // Size is 32 bits wide; a larger source (one for a plain copy: no archive entry holds it) counts as
        // the largest size, as its copy reports it, so the totals still meet.
        size_ = ClampedBytes(stream.Size());
    } catch (const rtl::Exception&) {
        throw IECustomInstallFile(Fmt,
                                  "Could not open or find the following file when trying to read the Size, Date, and "
                                  "Version :%s",
                                  path);
    }
    TVersionResource& reader = TVersionResource::Shared();
    reader.SetFileName(path);
    SetVersion(reader.VersionInfo()->FileVersion());
}

void TCustomInstallFile::ReadInfoFromArchive()
{
    if (IsInstalling() && ArchiveInfoRead())
        return;
    const TDistributeType type = CurrentDistributeType();
    if (type == dtTraditional || (type == dtTraditionalNet && !Net())) {
        ReadInfoFrom(GetArchivePath());
        return;
    }
    if (KeepsSeparateArchive() && HasLocalArchive()) {
        AnsiString path = LocalArchivePath();
        if (path.empty())
            FindLocalArchive(path);
        ReadInfoFrom(path);
        return;
    }
    auto* container = dynamic_cast<TFileContainer*>(Container());
    if (!container)
        throw IECustomInstallFile(Fmt,
                                  "%s cannot perform ReadInfoFromArchive because either no container is assigned or "
                                  "the container is not TFileContainer",
                                  Name());
    if (container->HasLocalArchive()) {
        AnsiString path = container->LocalArchivePath();
        if (path.empty())
            container->FindLocalArchive(path);
        ReadInfoFrom(path);
    }
}

void TCustomInstallFile::ReadInfoFrom(const AnsiString& archivePath)
{
    if (rtl::Trim(archivePath).empty())
        RaiseBlankArchive();
    std::unique_ptr<TTrwkCompress> own;
    TTrwkCompress& compressor = ArchiveCompressor(archivePath, own);
    compressor.SetCompressedFile(archivePath);
    if (compressor.Count() == 0)
        return;
    const int index = compressor.IndexOfFileID(uniqueID_);
    TlzhFileStats stats;
    compressor.GetFileInfo(index, stats);
    // Index 0 also answers for an ID no entry has.
    if (stats.Header.FileID() != uniqueID_)
        return;
    archivedSize_ = stats.Compressed;
    fileDate_ = stats.Header.FileDate();
    size_ = stats.Uncompressed;
    SetVersion(stats.Header.FileVersion());
    SetArchiveInfoRead(true);
}

void TCustomInstallFile::WriteFileListRecord(rtl::TStream& stream) const
{
    uint8_t record[FileListRecordSize] = {};
    const uint32_t size = static_cast<uint32_t>(size_);
    for (int i = 0; i < 4; ++i)
        record[i] = static_cast<uint8_t>(size >> (8 * i));
    uint64_t date = 0;
    const double value = fileDate_;
    std::memcpy(&date, &value, sizeof date);
    for (int i = 0; i < 8; ++i)
        record[8 + i] = static_cast<uint8_t>(date >> (8 * i));
    const AnsiString name = Name().substr(0, 39);
    std::memcpy(record + 16, name.data(), name.size());
    const AnsiString version = version_.substr(0, MaxVersionLength);
    std::memcpy(record + 56, version.data(), version.size());
    stream.WriteBuffer(record, FileListRecordSize);
}

void TCustomInstallFile::WriteUninstallInfo(const AnsiString& key)
{
    // The registrations are the product's whether the file was written or kept.
    if (helpRegistered_)
        AddRegistryKeysRecordEntry(key, hkLocalMachine, HelpFilesKey, {{HelpValueName(), HelpValueData()}},
                                   helpNotes_);
    if (!countedName_.empty())
        AddSharedDLLRecordEntry(key, countedName_);
    // Only a file this run wrote is the product's to remove: one the overwrite rule kept, or that was
    // skipped, belongs to whoever put it there.
    if (!doInstall_)
        return;
    const AnsiString path = AddBackslash(GetDestPath()) + DestName();
    if (ActiveX())
        AddActiveXRecordEntry(key, path, FileName());
    else
        AddFilesRecordEntry(key, path);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TInstallFile)

void TInstallFile::RegisterProperties(vcl::TClassDef<TInstallFile>& def)
{
    using T = TCustomInstallFile;
    def.Property("Net", &T::Net, &T::SetNet, false);
    def.Property("InstallAttributes", &T::InstallAttributes, &T::SetInstallAttributes);
    def.Property("ActiveX", &T::ActiveX, &T::SetActiveX, false);
    def.Property("DestName", &T::DestName, &T::SetDestName, AnsiString());
    def.Property("FileName", &T::FileName, &T::SetFileName, AnsiString());
    def.Property("FileType", &T::FileType, &T::SetFileType, iftNormal);
    def.Property("IncludeFromDir", &T::IncludeFromDir, &T::SetIncludeFromDir, AnsiString());
    def.Property("OverwriteMode", &T::OverwriteMode, &T::SetOverwriteMode, owAlways);
    def.Property("RegisterAsHelp", &T::RegisterAsHelp, &T::SetRegisterAsHelp, false);
    def.Property("RunAfterInstall", &T::RunAfterInstall, &T::SetRunAfterInstall, false);
    def.Property("UpdateDLLCounter", &T::UpdateDLLCounter, &T::SetUpdateDLLCounter, false);
    def.Property("UniqueID", &T::UniqueID, &T::SetUniqueID);
    def.Event("OnAfterCompress", &T::OnAfterCompress);
    def.Event("OnAfterCopy", &T::OnAfterCopy);
    def.Event("OnAfterInstall", &T::OnAfterInstall);
    def.Event("OnBeforeCompress", &T::OnBeforeCompress);
    def.Event("OnBeforeCopy", &T::OnBeforeCopy);
    def.Event("OnBeforeInstall", &T::OnBeforeInstall);
    def.Event("OnReplacing", &T::OnReplacing);
    def.Event("OnStatus", &T::OnStatus);
    def.Event("OnNewDisk", &T::OnNewDisk);
}

TInstallFile::TInstallFile(vcl::TComponent* owner) : TCustomInstallFile(owner) {}

void RegisterInstallFileClasses()
{
    vcl::RegisterClasses({&TCustomInstallFile::StaticClass(), &TInstallFile::StaticClass()});
}
