// The driver's distribution side: the -b build (setup.exe with its trailer, setup.1, files.1 and the file
// list of a network distribution), the archive information read before a run, the self-extracting read
// and the -f transfer to floppies.

#include <cstring>
#include <limits>

#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/support/TrwkFiles.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Files.h"

using rtl::AnsiString;

namespace {

constexpr int FileListRecordBytes = 80;
constexpr int FileListNameField = 40;
constexpr int FileListVersionField = 24;
constexpr int MaxFileListVersion = 20;
constexpr int FloppyChunk = 8192;

void PutInt32(uint8_t* at, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetInt32(const uint8_t* at)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

// The text of a zero-terminated field, stopped at the field's end when it has no terminator.
AnsiString FieldText(const uint8_t* at, size_t field, size_t limit)
{
    size_t length = 0;
    while (length < field && length < limit && at[length] != 0)
        ++length;
    return AnsiString(reinterpret_cast<const char*>(at), length);
}

// Copies `count` bytes from `from` to `to` in chunks; false when fewer were written.
bool CopyBytes(rtl::TStream& from, rtl::TStream& to, int64_t count, const std::function<void()>& beforeChunk = {})
{
    std::vector<uint8_t> buffer(FloppyChunk);
    while (count > 0) {
        if (beforeChunk)
            beforeChunk();
        const int64_t step = std::min<int64_t>(count, FloppyChunk);
        const int64_t got = from.Read(buffer.data(), step);
        if (got <= 0)
            return false;
        if (to.Write(buffer.data(), got) != got)
            return false;
        count -= got;
    }
    return true;
}

void ProcessMessages()
{
    if (vcl::TApplication* application = vcl::GetApplication())
        application->ProcessMessages();
}

// Shows the hourglass while `body` runs.
template <class Body>
void WithCursor(vcl::TCursor cursor, Body body)
{
    vcl::TScreen* screen = vcl::GetScreen();
    const vcl::TCursor saved = screen ? screen->Cursor() : vcl::crDefault;
    if (screen)
        screen->SetCursor(cursor);
    WithCleanup(body, [&] {
        if (screen)
            screen->SetCursor(saved);
    });
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Trailer and file list

std::array<uint8_t, TSelfExtractTrailer::Size> TSelfExtractTrailer::Encode() const
{
    std::array<uint8_t, Size> bytes{};
    bytes[0] = 14;
    std::memcpy(bytes.data() + 1, Marker.data(), std::min<size_t>(Marker.size(), 14));
    PutInt32(bytes.data() + 16, Setup1First);
    PutInt32(bytes.data() + 20, Setup1Last);
    PutInt32(bytes.data() + 24, Files1First);
    PutInt32(bytes.data() + 28, Files1Last);
    return bytes;
}

TSelfExtractTrailer TSelfExtractTrailer::Decode(const uint8_t* bytes)
{
    TSelfExtractTrailer trailer;
    trailer.Marker = FieldText(bytes + 1, 14, std::min<size_t>(bytes[0], 14));
    trailer.Setup1First = GetInt32(bytes + 16);
    trailer.Setup1Last = GetInt32(bytes + 20);
    trailer.Files1First = GetInt32(bytes + 24);
    trailer.Files1Last = GetInt32(bytes + 28);
    return trailer;
}

std::vector<TFileListEntry> ReadFileList(const AnsiString& file)
{
    auto refuse = [&] { return IEInstall(Fmt, "Cannot read the remote list of files: %s", file); };
    std::vector<TFileListEntry> entries;
    try {
        rtl::TFileStream stream(file, rtl::fmOpenRead | rtl::fmShareDenyWrite);
        uint8_t head[4];
        if (stream.Read(head, 4) != 4)
            throw refuse();
        const int32_t count = GetInt32(head);
        // The list comes from a server: a count its length cannot hold is refused before anything is read.
        const int64_t room = (stream.Size() - 4) / FileListRecordBytes;
        if (count < 0 || count > room)
            throw refuse();
        entries.reserve(static_cast<size_t>(count));
        uint8_t record[FileListRecordBytes];
        for (int32_t i = 0; i < count; ++i) {
            if (stream.Read(record, FileListRecordBytes) != FileListRecordBytes)
                throw refuse();
            TFileListEntry entry;
            entry.Size = GetInt32(record);
            std::memcpy(&entry.FileDate, record + 8, sizeof entry.FileDate);
            entry.Name = FieldText(record + 16, FileListNameField, FileListNameField);
            entry.Version = FieldText(record + 56, FileListVersionField, MaxFileListVersion);
            entries.push_back(std::move(entry));
        }
    } catch (const IEInstall&) {
        throw;
    } catch (const rtl::Exception&) {
        throw refuse();
    }
    return entries;
}

// ---------------------------------------------------------------------------------------------------------
// Archive information

void TCustomInstall::ReadArchiveInfo()
{
    if (archiveInfoDone_)
        return;
    if (OnBeforeReadArchiveInfo)
        OnBeforeReadArchiveInfo(this);
    BroadcastMessage(this, InstallMessage::BeforeReadArchiveInfo, nullptr);
    WithCursor(vcl::crHourGlass, [&] {
        WithCleanup(
            [&] {
                DoStatus("Reading file information...");
                TFileContainer::ReadArchiveInfo();
                if (distributeType_ != dtTraditional)
                    ReadRemoteFileList();
            },
            [&] { ClearStatus(); });
    });
    archiveInfoDone_ = true;
    if (OnAfterReadArchiveInfo)
        OnAfterReadArchiveInfo(this);
    BroadcastMessage(this, InstallMessage::AfterReadArchiveInfo, nullptr);
}

void TCustomInstall::ReadRemoteFileList()
{
    // The setter lets no network distribution go without a location; a driver that has none anyway has
    // no list to read.
    TCustomNetInstallLocation* location = NetLocation();
    if (!location)
        return;
    const AnsiString temporary = TempFileName(true);
    WithCleanup(
        [&] {
            location->Download("filelist.lst", temporary);
            for (const TFileListEntry& entry : ReadFileList(temporary)) {
                for (TCustomInstallFile* file : InstallFiles().Snapshot()) {
                    if (!rtl::SameText(file->Name(), entry.Name))
                        continue;
                    file->SetSize(entry.Size);
                    file->SetFileDate(entry.FileDate);
                    file->SetVersion(entry.Version);
                }
            }
        },
        [&] { rtl::DeleteFile(temporary); });
}

// ---------------------------------------------------------------------------------------------------------
// Build

void TCustomInstall::ShowBuildError(const rtl::Exception& error)
{
    SetupExitCode() = secFailed;
    if (vcl::TApplication* application = vcl::GetApplication())
        application->MessageBox(error.Message(), application->Title(), vcl::MB_OK);
}

void TCustomInstall::Build()
{
    try {
        const AnsiString info = AddBackslash(OwnFolder()) + "BUILD.INF";
        if (!rtl::FileExists(info))
            throw IEInstall(AnsiString(
                "Need to have a BUILD.INF file in this directory with the first line specifying the build directory"));
        rtl::TStringList lines;
        lines.LoadFromFile(info);
        // A blank first line names no folder at all: taken as missing.
        if (lines.Count() == 0 || rtl::Trim(lines.Strings(0)).empty())
            throw IEInstall(AnsiString("Must be 1 line in BUILD.INF. This line should specify the build directory"));
        BuildDistribution(OwnPath(), rtl::Trim(lines.Strings(0)), true);
    } catch (const rtl::Exception& error) {
        ShowBuildError(error);
    }
    if (vcl::TApplication* application = vcl::GetApplication())
        application->Terminate();
}

void TCustomInstall::BuildDistribution(const AnsiString& exe, const AnsiString& folder, bool standAlone)
{
    if (standAlone && !useLoadingProgram_)
        throw IEInstall(AnsiString("Cannot build a stand alone executable if the UseLoadingProgram property of the "
                                   "TInstall is set to False"));
    // The list's name field holds 39 characters and its terminator; a longer name could not be matched.
    if (distributeType_ != dtTraditional) {
        for (TCustomInstallFile* file : InstallFiles().Snapshot()) {
            if (file->Name().size() >= static_cast<size_t>(FileListNameField))
                throw IEInstall(Fmt, "The name %s is too long for the list of files; use at most %d characters",
                                file->Name(), FileListNameField - 1);
        }
    }
    const AnsiString base = AddBackslash(folder);
    const AnsiString setupExe = base + "setup.exe";
    const AnsiString setup1 = base + "setup.1";
    const AnsiString files1 = base + "files.1";
    CreateSetupFiles(folder, exe);
    const TlzhCommand command = AddToArchive();
    const AnsiString savedFile = ArchiveFile();
    TCustomPathSpecifier* savedType = ArchiveFileType();
    WithCleanup(
        [&] {
            RestoreArchive(command, files1, nullptr);
            uint32_t options = CompressOption::BuildLayout | (1u << 2) | CompressOption::IncludeAll;
            if (distributeType_ == dtTraditional)
                options |= CompressOption::ForceNetFilesLocal;
            else if (distributeType_ == dtWeb)
                options |= CompressOption::ForceFilesNet;
            Compress(options);
            if (distributeType_ != dtTraditional)
                WriteFileList();
        },
        [&] { RestoreArchive(command, savedFile, savedType); });
    if (standAlone)
        MakeSelfExtracting(setupExe, setup1, files1);
    else
        AppendNotSelfExtract(setupExe);
}

void TCustomInstall::CreateSetupFiles(const AnsiString& folder, const AnsiString& exe)
{
    const AnsiString base = AddBackslash(folder);
    if (!useLoadingProgram_) {
        CreateFolderAndParents(RemoveBackslash(folder));
        const AnsiString target = base + rtl::ExtractFileName(exe);
        if (!win::CopyFile(exe.c_str(), target.c_str(), false))
            throw IEInstall(Fmt, "Cannot copy the installation application from %s to %s", exe, target);
        return;
    }
    try {
        CreateSetupArchive(folder, exe);
    } catch (const EtcDiskFull&) {
        throw IEInstall(AnsiString(
            "The disk that you have specified has been determined to be either too full or is corrupt while trying "
            "to copy the SETUP.1 archive file. You should probably clear all files off of the drive. Minimally, you "
            "should leave enough space on the drive for the SETUP.1 archive file."));
    }
    AnsiString library;
    try {
        library = LibraryFolder(true);
    } catch (const rtl::Exception&) {
        throw IEInstall(Fmt,
                        "The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an invalid "
                        "ULO directory",
                        AnsiString("\\Software\\PESK\\T32V52"));
    }
    const AnsiString loader = AddBackslash(library) + "TarnwickLoadProgram.exe";
    if (!rtl::FileExists(loader))
        throw IEInstall(Fmt, "The loader program %s was not found", loader);
    const AnsiString target = base + "setup.exe";
    if (!win::CopyFile(loader.c_str(), target.c_str(), false))
        throw IEInstall(Fmt, "Cannot copy the loading program from %s to %s", loader, target);
}

void TCustomInstall::CreateSetupArchive(const AnsiString& folder, const AnsiString& exe)
{
    if (rtl::Trim(exe).empty())
        throw IEInstall(AnsiString("Cannot create setup file. Executable is blank"));
    if (!rtl::FileExists(exe))
        throw IEInstall(Fmt, "TInstall: Cannot find the executable file %s", exe);
    const AnsiString archive = AddBackslash(folder) + "setup.1";
    auto pack = [&](const AnsiString& path, TlzhCommand command, bool first) {
        std::unique_ptr<TCustomInstallFile> file(new TInstallFile(nullptr));
        file->SetFileName(rtl::ExtractFileName(path));
        file->SetIncludeFromDir(RemoveBackslash(rtl::ExtractFilePath(path)));
        if (!first)
            file->SetNet(false);
        file->RestoreArchive(command, archive, nullptr);
        file->CompressFile();
    };
    pack(exe, lzcOverwrite, true);
    for (int i = 0; i < presetupFiles_->Count(); ++i)
        pack(presetupFiles_->Strings(i), lzcOnlyAdd, false);
}

void TCustomInstall::Compress(uint32_t options)
{
    for (TCustomInstallFile* file : InstallFiles().Snapshot())
        file->SetCompressMark(0);
    TFileContainer::Compress(options);
}

void TCustomInstall::WriteFileList()
{
    const AnsiString folder = AddBackslash(rtl::ExtractFileDir(ArchiveFile())) + NetArchiveFolder();
    CreateFolderAndParents(folder);
    std::vector<TCustomInstallFile*> listed;
    for (TCustomInstallFile* file : InstallFiles().Snapshot()) {
        if (file->CompressMark() == 2)
            listed.push_back(file);
    }
    rtl::TFileStream stream(AddBackslash(folder) + "filelist.lst", rtl::fmCreate);
    uint8_t count[4];
    PutInt32(count, static_cast<int32_t>(listed.size()));
    stream.WriteBuffer(count, 4);
    for (TCustomInstallFile* file : listed)
        file->WriteFileListRecord(stream);
}

void TCustomInstall::MakeSelfExtracting(const AnsiString& setupExe, const AnsiString& setup1, const AnsiString& files1)
{
    rtl::TFileStream target(setupExe, rtl::fmOpenReadWrite | rtl::fmShareExclusive);
    target.Seek(0, rtl::soEnd);
    TSelfExtractTrailer trailer;
    trailer.Marker = "SELFEXTRACTING";
    auto append = [&](const AnsiString& part, int32_t& first, int32_t& last) {
        rtl::TFileStream source(part, rtl::fmOpenRead | rtl::fmShareDenyWrite);
        const int64_t start = target.Position();
        const int64_t size = source.Size();
        if (start + size > std::numeric_limits<int32_t>::max() || !CopyBytes(source, target, size))
            throw IEInstall(Fmt, "Cannot create the self-extracting exe because %s could not be loaded onto %s", part,
                            setupExe);
        first = static_cast<int32_t>(start);
        last = static_cast<int32_t>(target.Position() - 1);
    };
    append(setup1, trailer.Setup1First, trailer.Setup1Last);
    if (rtl::FileExists(files1))
        append(files1, trailer.Files1First, trailer.Files1Last);
    const auto bytes = trailer.Encode();
    target.WriteBuffer(bytes.data(), bytes.size());
}

void TCustomInstall::AppendNotSelfExtract(const AnsiString& setupExe)
{
    TSelfExtractTrailer trailer;
    trailer.Marker = "NOTSELFEXTRACT";
    const auto bytes = trailer.Encode();
    try {
        rtl::TFileStream target(setupExe, rtl::fmOpenReadWrite | rtl::fmShareExclusive);
        target.Seek(0, rtl::soEnd);
        if (target.Write(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size()))
            throw IEInstall(Fmt, "Cannot add the self-extract info header to %s", setupExe);
    } catch (const IEInstall&) {
        throw;
    } catch (const rtl::Exception&) {
        throw IEInstall(Fmt, "Cannot add the self-extract info header to %s", setupExe);
    }
}

TSelfExtractTrailer TCustomInstall::ReadTrailer(const AnsiString& file)
{
    auto refuse = [&] {
        const AnsiString name = rtl::ExtractFileName(file);
        return IEDamagedDistribution(
            rtl::Format("The end of %s, which says where its parts lie, is missing or damaged: the file was cut "
                        "short or changed. Copy or download %s again.",
                        name, name),
            Fmt,
            "Could not read the extraction info from the archive file %s when trying to find the correct offset "
            "into the self extracting file",
            file);
    };
    uint8_t bytes[TSelfExtractTrailer::Size] = {};
    int64_t size = 0;
    try {
        rtl::TFileStream stream(file, rtl::fmOpenRead | rtl::fmShareDenyNone);
        size = stream.Size();
        if (size < TSelfExtractTrailer::Size)
            throw refuse();
        stream.Seek(-TSelfExtractTrailer::Size, rtl::soEnd);
        if (stream.Read(bytes, TSelfExtractTrailer::Size) != TSelfExtractTrailer::Size)
            throw refuse();
    } catch (const IEDamagedDistribution&) {
        throw;
    } catch (const rtl::Exception&) {
        throw refuse();
    }
    TSelfExtractTrailer trailer = TSelfExtractTrailer::Decode(bytes);
    // Offsets must lie in order inside the file before the trailer; a damaged file is refused here rather
    // than read out of place.
    const int64_t end = size - TSelfExtractTrailer::Size;
    // In 64 bits: a "last" of 0x7FFFFFFF must be refused by the range check, not overflow before it.
    auto valid = [&](int64_t first, int64_t last) {
        return (first == 0 && last == 0) || (first >= 0 && first <= last + 1 && last < end);
    };
    if (!valid(trailer.Setup1First, trailer.Setup1Last) || !valid(trailer.Files1First, trailer.Files1Last))
        throw refuse();
    // Any other end is no trailer at all: a file cut short ends in the middle of its data.
    if (trailer.Marker != "SELFEXTRACTING" && trailer.Marker != "NOTSELFEXTRACT")
        throw refuse();
    return trailer;
}

void TCustomInstall::ReadSelfExtractInfo()
{
    SharedCompressor().SetOffset(ReadTrailer(GetArchivePath()).Files1First);
}

// ---------------------------------------------------------------------------------------------------------
// Floppies

void TCustomInstall::TransferToFloppies(const AnsiString& drive)
{
    try {
        if (!SelfExtracting())
            throw IEInstall(AnsiString("Sorry... You can only transfer this installation to floppies through the "
                                       "self-extracting file. Usage example: setup.exe *TODISK"));
        WithCursor(vcl::crHourGlass, [&] {
            ProcessMessages();
            const AnsiString source = GetArchivePath();
            const TSelfExtractTrailer trailer = ReadTrailer(source);
            DoStatus("Transferring this installation to floppies. Please wait...");
            WithCleanup(
                [&] {
                    rtl::TFileStream from(source, rtl::fmOpenRead | rtl::fmShareDenyNone);
                    const AnsiString setupExe = AddBackslash(drive) + "setup.exe";
                    {
                        rtl::TFileStream to(setupExe, rtl::fmCreate);
                        if (!CopyBytes(from, to, trailer.Setup1First))
                            throw IEInstall(
                                AnsiString("Cannot create setup.exe on the A drive. Probably not enough room"));
                    }
                    AppendNotSelfExtract(setupExe);
                    rtl::TFileStream to(AddBackslash(drive) + "setup.1", rtl::fmCreate);
                    from.Seek(trailer.Setup1First, rtl::soBeginning);
                    const int64_t count = int64_t(trailer.Setup1Last) - trailer.Setup1First + 1;
                    auto beforeChunk = [] {
                        if (SharedCompressor().Abort())
                            throw EUserAbortInstall(AnsiString("Creating Install Aborted!"));
                    };
                    if (!CopyBytes(from, to, count, [&] {
                            beforeChunk();
                            ProcessMessages();
                        }))
                        throw IEInstall(AnsiString("Cannot create setup.1 on the A drive. Probably not enough room"));
                },
                [&] { ClearStatus(); });
            TTrwkCompress& compressor = SharedCompressor();
            WithCleanup(
                [&] {
                    compressor.OnNewDisk = [this](rtl::TObject*, int32_t disk, AnsiString&) { PromptForDisk(disk); };
                    compressor.OnStatus = [](rtl::TObject*, TlzhFileStats&) { ProcessMessages(); };
                    compressor.SetOffset(trailer.Files1First);
                    compressor.SetCompressedFile(source);
                    compressor.TransferToDisks(RemoveBackslash(drive), "files.1");
                },
                [&] {
                    compressor.OnNewDisk = nullptr;
                    compressor.OnStatus = nullptr;
                });
        });
    } catch (const rtl::Exception& error) {
        ShowBuildError(error);
    }
    ProcessMessages();
    if (vcl::TApplication* application = vcl::GetApplication())
        application->Terminate();
}

void TCustomInstall::PromptForDisk(int32_t disk)
{
    vcl::TApplication* application = vcl::GetApplication();
    if (!application)
        return;
    WithCursor(vcl::crDefault, [&] {
        if (application->MessageBox(rtl::Format("Please insert disk %d", disk), application->Title(),
                                    vcl::MB_OKCANCEL) == vcl::IDCANCEL)
            throw IEInstall(AnsiString("Aborted by user"));
    });
}

// ---------------------------------------------------------------------------------------------------------
// Library folder

AnsiString TCustomInstall::LibraryFolder(bool raise)
{
    // The development environment publishes its library search path (current user) and its root folder
    // (local machine); "$(ROOT)" in a folder of the path stands for the root.
    const AnsiString searchPath =
        RegReadString(win::HKEY_CURRENT_USER, "\\Software\\PESK\\T32V52\\Library", "Search Path", AnsiString());
    auto missing = [] {
        return IENoTarnwickPath(AnsiString("Cannot find the the Tarnwick directory on the VCL library search path"));
    };
    if (rtl::Trim(searchPath).empty()) {
        if (raise)
            throw missing();
        return {};
    }
    const AnsiString root = RemoveBackslash(
        RegReadString(win::HKEY_LOCAL_MACHINE, "\\Software\\PESK\\T32V52", "RootDir", AnsiString()));
    for (int i = 1; i <= FieldCount(searchPath, ';'); ++i) {
        AnsiString folder = rtl::Trim(GetField(searchPath, i, ';'));
        if (folder.empty())
            continue;
        folder = rtl::StringReplace(folder, "$(ROOT)", root, rtl::rfReplaceAll | rtl::rfIgnoreCase);
        if (rtl::FileExists(AddBackslash(folder) + "T32V52.TXT"))
            return RemoveBackslash(folder);
    }
    if (raise)
        throw missing();
    return {};
}
