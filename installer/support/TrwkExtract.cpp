// The reading half of TTrwkCompress: the table, listing and look-ups, extraction, plain copies and disk
// volumes.
//
// An archive comes from a floppy or a download, so every count, length and position it holds is checked
// before it is used; the checks that need a volume's size are made when that volume is opened.

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkSystem.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Files.h"

using rtl::AnsiString;

namespace {

// Large blocks keep inflate in its fast path: fewer calls, and less of each output copied into its window.
// They are only what is read and written at a time; progress is reported in far smaller steps.
constexpr size_t InputBufferSize = 1048576;
constexpr size_t OutputBufferSize = 1048576;
// Each step of this much output looks at Abort, lets messages through and fires OnStatus, so that a large
// entry's progress moves evenly and Cancel is answered at once.
constexpr int64_t ExtractStatusStep = 4096;
constexpr int64_t VolumeCopyBufferSize = 8192;
constexpr int64_t PlainCopyBufferSize = 8192;
constexpr int NewDiskTries = 4;
// Volume numbers are kept in one byte.
constexpr int32_t MaxVolume = 255;

constexpr uint16_t ReadShared = rtl::fmOpenRead | rtl::fmShareDenyNone;
constexpr uint16_t ReadWriteShared = rtl::fmOpenReadWrite | rtl::fmShareDenyNone;

constexpr const char* CorruptArchiveMessage =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

// The name part of a path; both kinds of separator and a drive count, since the host takes them all.
AnsiString FileNamePart(const AnsiString& path)
{
    const size_t at = path.find_last_of("\\/:");
    return at == AnsiString::npos ? path : path.substr(at + 1);
}

// What was damaged, and what the person does about it.
AnsiString Damage(const AnsiString& what, const AnsiString& archive)
{
    return rtl::Format("%s Copy or download %s again.", what, FileNamePart(archive));
}

AnsiString TableDamage(const AnsiString& archive)
{
    return Damage(rtl::Format("The list of the files packed in %s is damaged.", FileNamePart(archive)), archive);
}

// An entry whose data is not where the list says: the archive was cut short, or the list is wrong.
AnsiString PlaceDamage(const AnsiString& storedPath, const AnsiString& archive)
{
    return Damage(rtl::Format("%s is not wholly in %s: the file was cut short or its list of files is damaged.",
                              FileNamePart(storedPath), FileNamePart(archive)),
                  archive);
}

[[noreturn]] void ThrowCorrupt(const AnsiString& damage) { throw ETrwkDamaged(CorruptArchiveMessage, damage); }

[[noreturn]] void ThrowSizeMismatch(const AnsiString& storedPath, const AnsiString& archive)
{
    throw ETrwkDamaged(
        rtl::Format("The decompressed file's size does not match with the actual size of the file.  The file is %s",
                    storedPath),
        Damage(rtl::Format("%s in %s is damaged: it unpacks to another size than it had.", FileNamePart(storedPath),
                           FileNamePart(archive)),
               archive));
}

[[noreturn]] void ThrowCannotCreate(const AnsiString& path)
{
    throw ETrwkCompress(rtl::Format("Cannot create the file %s", path));
}

// A stored volume number; 0, in a single-file archive, is volume 1.
int32_t VolumeOf(uint8_t stored) { return stored == 0 ? 1 : stored; }

// Data cannot begin before the headers that precede it: on volume 1 of a spanned archive the whole table,
// in a single-file archive at least the headers up to the entry's own.
int64_t MinimumDataStart(const TFileHeaders& headers, int index)
{
    const TEntryHeader& header = headers.GetFileHeaders(index)->Header;
    if (VolumeOf(header.StartVolume()) > 1)
        return 0;
    const int64_t headersBefore = headers.Spanned() ? headers.Count() : index + 1;
    return ArchivePrefixSize + headersBefore * TEntryHeader::Size;
}

// What a header says about itself, before any volume is looked at.
bool HeaderIsSound(const TFileHeaders& headers, int index)
{
    const TEntryHeader& header = headers.GetFileHeaders(index)->Header;
    const int32_t startVolume = VolumeOf(header.StartVolume());
    const int32_t endVolume = VolumeOf(header.EndVolume());
    if (!header.TextLengthsFit() || header.UncompressedSize() < 0 || header.CompressedSize() < 0)
        return false;
    if (endVolume < startVolume || (!headers.Spanned() && endVolume != 1))
        return false;
    if (header.DataStart() < MinimumDataStart(headers, index))
        return false;
    // Every zlib stream has at least one byte.
    return startVolume != endVolume || header.LastBytePosition() >= header.DataStart();
}

// A name that would not name a file inside the folder: nothing, "." or "..", only dots and blanks (which
// the system drops), or a control character (a zero byte would cut the name short).
bool UsableFileName(const AnsiString& name)
{
    if (name.find_first_not_of(". ") == AnsiString::npos)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool LastWriteTime(const AnsiString& path, win::FILETIME& time)
{
    win::HANDLE file = win::CreateFile(path.c_str(), win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                       nullptr, win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == win::INVALID_HANDLE_VALUE)
        return false;
    const bool ok = win::GetFileTime(file, nullptr, nullptr, &time);
    win::CloseHandle(file);
    return ok;
}

bool SetLastWriteTime(const AnsiString& path, const win::FILETIME& time)
{
    win::HANDLE file = win::CreateFile(path.c_str(), win::GENERIC_WRITE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                       nullptr, win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == win::INVALID_HANDLE_VALUE)
        return false;
    const bool ok = win::SetFileTime(file, nullptr, nullptr, &time);
    win::CloseHandle(file);
    return ok;
}

// A header's local date-time through its DOS form. The writer keeps years DOS cannot hold (a file from
// before 1980), so such a date is taken as it is rather than refused: its entry must still come out.
bool FileTimeFromDate(rtl::TDateTime date, win::FILETIME& time)
{
    const auto dos = static_cast<uint32_t>(rtl::DateTimeToFileDate(date));
    win::FILETIME local{};
    if (dos != 0) {
        if (!win::DosDateTimeToFileTime(static_cast<win::WORD>(dos >> 16), static_cast<win::WORD>(dos & 0xFFFF), &local))
            return false;
    } else {
        if (!std::isfinite(static_cast<double>(date)))
            return false;
        win::SYSTEMTIME clock{};
        uint16_t milliseconds = 0;
        rtl::DecodeDate(date, clock.wYear, clock.wMonth, clock.wDay);
        rtl::DecodeTime(date, clock.wHour, clock.wMinute, clock.wSecond, milliseconds);
        if (!win::SystemTimeToFileTime(&clock, &local))
            return false;
    }
    return win::LocalFileTimeToFileTime(&local, &time);
}

// zlib's inflate state, ended on every path.
class TInflater {
public:
    TInflater()
    {
        if (inflateInit(&stream) != Z_OK)
            throw rtl::Exception("error");
    }
    ~TInflater() { inflateEnd(&stream); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    z_stream stream{};
};

// The file an entry is inflated into, beside its destination so that it can take the destination's place
// in one step. Removed again unless it was put in place.
class TPendingFile {
public:
    TPendingFile(std::unique_ptr<rtl::TFileStream>& stream, const AnsiString& destination)
        : stream_(stream), destination_(destination)
    {
        char name[win::MAX_PATH] = {};
        if (win::GetTempFileName(rtl::ExtractFileDir(destination).c_str(), "trw", 0, name) == 0)
            ThrowCannotCreate(destination);
        name_ = name;
        try {
            // Opened as made, not created again: emptying a file makes some file systems write it out
            // at once when it is closed.
            stream_ = std::make_unique<rtl::TFileStream>(name_, rtl::fmOpenWrite | rtl::fmShareExclusive);
        } catch (const rtl::EStreamError&) {
            win::DeleteFile(name_.c_str());
            ThrowCannotCreate(destination);
        }
    }

    ~TPendingFile()
    {
        if (placed_)
            return;
        stream_.reset();
        win::DeleteFile(name_.c_str());
    }

    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    const AnsiString& Name() const { return name_; }
    void Close() { stream_.reset(); }

    void PutInPlace()
    {
        stream_.reset();
        if (!win::MoveFileEx(name_.c_str(), destination_.c_str(), win::MOVEFILE_REPLACE_EXISTING))
            ThrowCannotCreate(destination_);
        placed_ = true;
    }

private:
    std::unique_ptr<rtl::TFileStream>& stream_;
    AnsiString destination_;
    AnsiString name_;
    bool placed_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// The table

void TTrwkCompress::LoadHeaders()
{
    headersLoaded_ = false;
    tableKept_ = false;
    ++listChanges_;
    if (!rtl::FileExists(compressedFile_))
        throw ETrwkCompress(rtl::Format("Cannot open the compressed file %s", compressedFile_));
    const auto file = OpenArchiveFile(compressedFile_, ReadShared, "Cannot open the compressed file %s");

    idIndex_.fill(0);
    try {
        fileHeaders_.ReadTable(*file, offset_);
        for (int i = 0; i < fileHeaders_.Count(); ++i)
            if (!HeaderIsSound(fileHeaders_, i))
                ThrowCorrupt(TableDamage(compressedFile_));
    } catch (const rtl::Exception&) {
        // A table that does not hold together is none: nothing of it stays to be used.
        fileHeaders_.Clear();
        ThrowCorrupt(TableDamage(compressedFile_));
    }
    for (int i = 0; i < fileHeaders_.Count(); ++i) {
        const int32_t id = fileHeaders_.GetFileHeaders(i)->Header.FileID();
        if (id >= 0 && id < FileIDSlots)
            idIndex_[static_cast<size_t>(id)] = i;
    }
    headersLoaded_ = true;
}

void TTrwkCompress::LoadHeadersIfNeeded()
{
    if (!headersLoaded_)
        LoadHeaders();
}

int32_t TTrwkCompress::Count()
{
    if (mode_ != omAdding)
        LoadHeadersIfNeeded();
    return fileHeaders_.Count();
}

void TTrwkCompress::GetFileInfo(int index, TlzhFileStats& status)
{
    if (mode_ != omAdding)
        LoadHeadersIfNeeded();
    if (index < 0 || index >= fileHeaders_.Count())
        throw ETrwkCompress(rtl::Format("Tried to access the %dth file. This file is not defined", index));
    fileHeaders_.StartTotals(fileStats_);
    FillFileStats(fileStats_, fileHeaders_.GetFileHeaders(index)->Header);
    status = fileStats_;
}

int32_t TTrwkCompress::IndexOfFileID(int32_t id)
{
    LoadHeadersIfNeeded();
    return id >= 0 && id < FileIDSlots ? idIndex_[static_cast<size_t>(id)] : 0;
}

void TTrwkCompress::List()
{
    LoadHeadersIfNeeded();
    fileHeaders_.StartTotals(fileStats_);
    for (int i = 0; i < fileHeaders_.Count(); ++i) {
        FillFileStats(fileStats_, fileHeaders_.GetFileHeaders(i)->Header);
        if (OnListing)
            OnListing(this, fileStats_);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Volumes

void TTrwkCompress::OpenVolume(std::unique_ptr<rtl::TFileStream>& stream, int32_t number, uint16_t mode,
                               AnsiString& path)
{
    const AnsiString missing = rtl::Format("Could not open the correct disk file %d", number);
    for (int attempt = 0; attempt < NewDiskTries; ++attempt) {
        stream.reset();
        if (fileHeaders_.Spanned())
            path = rtl::ChangeFileExt(path, "." + rtl::IntToStr(number));
        if (rtl::FileExists(path)) {
            stream = OpenArchiveFile(path, mode, "Cannot open the compressed file %s");
            return;
        }
        if (!OnNewDisk)
            throw ETrwkCompress(missing);
        AnsiString folder = RemoveBackslash(rtl::ExtractFilePath(path));
        OnNewDisk(this, number, folder);
        path = AddBackslash(folder) + rtl::ExtractFileName(path);
        if (rtl::FileExists(path)) {
            stream = OpenArchiveFile(path, mode, "Cannot open the compressed file %s");
            return;
        }
    }
    throw ETrwkCompress(missing);
}

// Opens a volume of the current entry and checks the entry's positions against its size.
void TTrwkCompress::OpenEntryVolume(int32_t number)
{
    // The path is CompressedFile itself, so it names the volume last opened.
    OpenVolume(sourceFile_, number, ReadShared, compressedFile_);
    const int64_t size = sourceFile_->Size();
    readPosition_ = 0;
    if (number == VolumeOf(entryHeader_.StartVolume())) {
        // A start right at the end is a volume filled exactly by the entries before: the data follows on
        // the next one.
        if (entryStart_ < offset_ + entryMinimum_ || entryStart_ > size)
            ThrowCorrupt(PlaceDamage(entryHeader_.SourcePath(), compressedFile_));
        readPosition_ = entryStart_;
    }
    if (number == endVolume_ && (entryEnd_ > size || entryEnd_ <= readPosition_))
        ThrowCorrupt(PlaceDamage(entryHeader_.SourcePath(), compressedFile_));
    sourceFile_->SetPosition(readPosition_);
}

// ---------------------------------------------------------------------------------------------------------
// Extract

void TTrwkCompress::Extract()
{
    abort_ = false;
    mode_ = omExtracting;
    currentVolume_ = 0;
    CloseFiles();
    RestartMessageClock();
    try {
        ExtractFiles();
    } catch (const EtcAborted&) {
        EndExtract();
        if (OnAborted)
            OnAborted(this);
        return;
    } catch (const rtl::EAbort&) {
        EndExtract();
        return;
    } catch (...) {
        EndExtract();
        abort_ = true;
        throw;
    }
    EndExtract();
}

void TTrwkCompress::EndExtract()
{
    CloseFiles();
    filesToProcess_->Clear();
    destinationName_.clear();
}

void TTrwkCompress::ExtractFiles()
{
    LoadHeadersIfNeeded();
    fileHeaders_.StartTotals(fileStats_);
    if (!inputBuffer_) {
        inputBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(InputBufferSize);
        outputBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(OutputBufferSize);
    }
    for (int i = 0; i < filesToProcess_->Count(); ++i)
        ExtractLine(filesToProcess_->Strings(i));
}

void TTrwkCompress::ExtractLine(const AnsiString& line)
{
    const int index = fileHeaders_.IndexOfPath(line);
    if (index < 0)
        throw ETrwkCompress(rtl::Format("The file <%s> was not found in the archive <%s>", line, compressedFile_));
    currentEntry_ = index;
    const TEntryHeader header = fileHeaders_.GetFileHeaders(index)->Header;
    FillFileStats(fileStats_, header);

    if (rtl::Trim(destinationName_).empty())
        destinationName_ = FileNamePart(header.SourcePath());
    if (OnBeforeExtracting)
        OnBeforeExtracting(this, fileStats_);
    const auto destinationPath = [this] {
        const AnsiString name = FileNamePart(destinationName_);
        const AnsiString path = AddBackslash(extractDirectory_) + name;
        if (!UsableFileName(name))
            ThrowCannotCreate(path);
        return path;
    };
    AnsiString destination = destinationPath();

    if (rtl::FileExists(destination)) {
        switch (TVersionResource::CompareFileForOverwrite(header.FileVersion(), destination, overwrite_,
                                                          header.FileDate())) {
        case orCannotDecide:
            throw ETrwkCompress("Error comparing file versions in TTrwkCompress");
        case orSame:
        case orKeepExisting:
            fileStats_.EntryDone = true;
            if (OnStatus)
                OnStatus(this, fileStats_);
            destinationName_.clear();
            return;
        case orReplace:
        case orAsk:
            if (OnReplace)
                OnReplace(this, fileStats_);
            destination = destinationPath();
            break;
        }
    }

    entryHeader_ = header;
    entryMinimum_ = MinimumDataStart(fileHeaders_, index);
    currentVolume_ = VolumeOf(header.StartVolume());
    endVolume_ = VolumeOf(header.EndVolume());
    entryStart_ = int64_t{offset_} + header.DataStart();
    entryEnd_ = int64_t{offset_} + header.LastBytePosition() + 1;
    OpenEntryVolume(currentVolume_);

    CreateFolderAndParents(rtl::ExtractFileDir(destination));
    TPendingFile pending(destFile_, destination);
    const bool streamEnded = InflateEntry();
    fileStats_.EntryDone = true;
    if (OnStatus)
        OnStatus(this, fileStats_);
    // Also a stream cut before its end whose bytes happen to add up: its check sum was never seen.
    if (!streamEnded || destFile_->Size() != header.UncompressedSize())
        ThrowSizeMismatch(header.SourcePath(), compressedFile_);

    pending.Close();
    win::FILETIME date{};
    if (!FileTimeFromDate(header.FileDate(), date) || !SetLastWriteTime(pending.Name(), date))
        throw ETrwkCompress("Cannot set the date of the file just extracted.");
    pending.PutInPlace();
    sourceFile_.reset();
    destinationName_.clear();
}

int64_t TTrwkCompress::ReadEntryBlock()
{
    int64_t count = static_cast<int64_t>(InputBufferSize);
    if (currentVolume_ == endVolume_)
        count = std::min(count, entryEnd_ - readPosition_);
    if (count <= 0)
        return 0;
    const int64_t n = sourceFile_->Read(inputBuffer_.get(), count);
    readPosition_ += n;
    return n;
}

bool TTrwkCompress::InflateEntry()
{
    TInflater inflater;
    z_stream& zip = inflater.stream;
    bool streamEnded = false;

    // Fills the output buffer as far as the data goes; the number of bytes it holds.
    const auto fill = [&]() -> size_t {
        zip.next_out = outputBuffer_.get();
        zip.avail_out = static_cast<uInt>(OutputBufferSize);
        while (zip.avail_out > 0 && !streamEnded) {
            if (zip.avail_in == 0) {
                const int64_t n = ReadEntryBlock();
                if (n <= 0)
                    break;
                zip.next_in = inputBuffer_.get();
                zip.avail_in = static_cast<uInt>(n);
            }
            const int result = inflate(&zip, Z_NO_FLUSH);
            if (result == Z_STREAM_END)
                streamEnded = true;
            else if (result != Z_OK)  // also Z_NEED_DICT: no entry is written with a preset dictionary
                throw EDamagedData(Damage(rtl::Format("The packed data of %s in %s is damaged.",
                                                      FileNamePart(entryHeader_.SourcePath()),
                                                      FileNamePart(compressedFile_)),
                                          compressedFile_));
        }
        return OutputBufferSize - zip.avail_out;
    };

    const int64_t uncompressed = entryHeader_.UncompressedSize();
    int32_t volumesToGo = endVolume_ - currentVolume_ + 1;
    while (volumesToGo > 0) {
        const size_t filled = fill();
        if (abort_)
            throw EtcAborted();
        LetMessagesThrough();
        if (filled > 0) {
            // More than the entry holds: a damaged stream, or one made to fill the disk.
            if (fileStats_.Done + static_cast<int64_t>(filled) > uncompressed)
                ThrowSizeMismatch(entryHeader_.SourcePath(), compressedFile_);
            const int64_t written = destFile_->Write(outputBuffer_.get(), static_cast<int64_t>(filled));
            if (written < static_cast<int64_t>(filled))
                DiskFull();
            ReportExtracted(written);
            continue;
        }
        if (streamEnded)
            break;
        if (currentVolume_ < endVolume_)
            OpenEntryVolume(++currentVolume_);
        --volumesToGo;
    }
    return streamEnded;
}

// The block just written, reported a step at a time. The first step's Abort was looked at before the block
// was written; every later step looks again, so a handler's or Cancel's Abort stops the entry there.
void TTrwkCompress::ReportExtracted(int64_t written)
{
    for (int64_t reported = 0; reported < written;) {
        if (reported > 0) {
            if (abort_)
                throw EtcAborted();
            LetMessagesThrough();
        }
        const int64_t step = std::min(ExtractStatusStep, written - reported);
        reported += step;
        ReportStep(step, fileStats_.Uncompressed, fileStats_.TotalUncompressed);
    }
}

void TTrwkCompress::ReportStep(int64_t bytes, int64_t whole, int64_t totalWhole)
{
    fileStats_.Done += static_cast<int32_t>(bytes);
    fileStats_.TotalDone += bytes;
    fileStats_.Percent = FileStatsPercentage(fileStats_.Done, whole);
    fileStats_.TotalPercent = FileStatsPercentage(fileStats_.TotalDone, totalWhole);
    if (OnStatus)
        OnStatus(this, fileStats_);
}

// ---------------------------------------------------------------------------------------------------------
// TransferToDisks

void TTrwkCompress::TransferToDisks(const AnsiString& folder, const AnsiString& name)
{
    abort_ = false;
    CloseFiles();
    RestartMessageClock();
    try {
        TransferFiles(folder, name);
    } catch (const EtcAborted&) {
        CloseFiles();
        headersLoaded_ = false;
        if (OnAborted)
            OnAborted(this);
        return;
    } catch (...) {
        CloseFiles();
        headersLoaded_ = false;
        abort_ = true;
        throw;
    }
    CloseFiles();
    // The list now holds the volumes' positions, not those of CompressedFile.
    headersLoaded_ = false;
    copyBuffer_ = std::vector<uint8_t>();
}

void TTrwkCompress::TransferFiles(const AnsiString& folder, const AnsiString& name)
{
    LoadHeadersIfNeeded();
    // The volumes' positions replace the archive's in the list.
    tableKept_ = false;
    ++listChanges_;
    // Only an archive whose data all lies in its own file can be copied: check every entry first, so a
    // damaged one costs no disks.
    // Read only: the source is often the self-extracting setup.exe that is running (its loader waits for
    // the setup program), and a running program cannot be opened for writing.
    sourceFile_ = OpenArchiveFile(compressedFile_, ReadShared, "Cannot open the compressed file %s");
    const int64_t sourceSize = sourceFile_->Size();
    for (int i = 0; i < fileHeaders_.Count(); ++i) {
        const TEntryHeader& header = fileHeaders_.GetFileHeaders(i)->Header;
        const int64_t start = int64_t{offset_} + header.DataStart();
        const int64_t end = int64_t{offset_} + header.LastBytePosition();
        if (VolumeOf(header.EndVolume()) != 1 || end >= sourceSize || start > end)
            ThrowCorrupt(PlaceDamage(header.SourcePath(), compressedFile_));
    }

    currentVolume_ = 1;
    fileHeaders_.SetSpanned(true);
    fileHeaders_.StartTotals(fileStats_);
    AnsiString volumePath = AddBackslash(folder) + rtl::ExtractFileName(name);
    if (IsSameFile(compressedFile_, volumePath))
        throw ETrwkCompress(rtl::Format("Cannot copy the file %s onto itself", compressedFile_));
    destFile_ = OpenArchiveFile(volumePath, rtl::fmCreate, "Cannot create the file %s");
    fileHeaders_.WriteTable(*destFile_);

    copyBuffer_.resize(static_cast<size_t>(VolumeCopyBufferSize));
    AnsiString diskFolder = folder;
    for (int i = 0; i < fileHeaders_.Count(); ++i) {
        currentEntry_ = i;
        {
            TEntryHeader& header = fileHeaders_.GetFileHeaders(i)->Header;
            FillFileStats(fileStats_, header);
            entryEnd_ = int64_t{offset_} + header.LastBytePosition();
            readPosition_ = int64_t{offset_} + header.DataStart();
            sourceFile_->SetPosition(readPosition_);
            header.SetDataStart(static_cast<int32_t>(destFile_->Position()));
            header.SetStartVolume(static_cast<uint8_t>(currentVolume_));
        }
        while (TransferChunk(entryEnd_, diskFolder, name) > 0) {
        }
        // Looked up again: the handlers that ran meanwhile may have changed the list.
        TEntryHeader& header = fileHeaders_.GetFileHeaders(i)->Header;
        header.SetLastBytePosition(static_cast<int32_t>(destFile_->Position() - 1));
        header.SetEndVolume(static_cast<uint8_t>(currentVolume_));
    }

    OpenVolume(destFile_, 1, ReadWriteShared, volumePath);
    fileHeaders_.WriteTable(*destFile_);
}

int64_t TTrwkCompress::TransferChunk(int64_t end, AnsiString& folder, const AnsiString& name)
{
    if (abort_)
        throw EtcAborted();
    if (readPosition_ > end)
        return 0;
    const int64_t count = std::min(VolumeCopyBufferSize, end - readPosition_ + 1);
    // The file was measured before the copy began; shorter now, it changed under us.
    if (sourceFile_->Read(copyBuffer_.data(), count) != count)
        ThrowCorrupt(PlaceDamage(fileHeaders_.GetFileHeaders(currentEntry_)->Header.SourcePath(), compressedFile_));
    readPosition_ += count;
    LetMessagesThrough();

    const int64_t written = destFile_->Write(copyBuffer_.data(), count);
    if (written < count) {
        destFile_.reset();
        if (currentVolume_ >= MaxVolume)
            throw ETrwkCompress(rtl::Format("The compressed file needs more than %d disks", MaxVolume));
        ++currentVolume_;
        if (!OnNewDisk)
            throw ETrwkCompress(
                "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
        OnNewDisk(this, currentVolume_, folder);
        const AnsiString path =
            AddBackslash(folder) + rtl::ChangeFileExt(rtl::ExtractFileName(name), "." + rtl::IntToStr(currentVolume_));
        destFile_ = OpenArchiveFile(path, rtl::fmCreate, "Cannot create the file %s");
        const int64_t rest = count - written;
        if (destFile_->Write(copyBuffer_.data() + written, rest) < rest)
            throw ETrwkCompress("There is too little space on this disk to operate");
    }

    ReportStep(count, fileStats_.Compressed, fileStats_.TotalCompressed);
    return count;
}

// ---------------------------------------------------------------------------------------------------------
// CopyFile

void TTrwkCompress::CopyFile(const AnsiString& source, const AnsiString& destination)
{
    abort_ = false;
    CloseFiles();
    RestartMessageClock();
    try {
        CopyPlainFile(source, destination);
    } catch (...) {
        CloseFiles();
        copyBuffer_ = std::vector<uint8_t>();
        throw;
    }
    CloseFiles();
    copyBuffer_ = std::vector<uint8_t>();
}

void TTrwkCompress::CopyPlainFile(const AnsiString& source, const AnsiString& destination)
{
    offset_ = 0;
    extractDirectory_ = rtl::ExtractFileDir(destination);
    destinationName_ = rtl::ExtractFileName(destination);
    AnsiString target = destination;
    if (rtl::FileExists(target)) {
        switch (TVersionResource::IsFileNewerByName(source, target, overwrite_)) {
        case orCannotDecide:
            throw ETrwkCompress("Error comparing file versions in TTrwkCompress");
        case orSame:
        case orKeepExisting:
            return;
        case orReplace:
        case orAsk: {
            TlzhFileStats fresh;
            if (OnReplace)
                OnReplace(this, fresh);
            target = AddBackslash(extractDirectory_) + rtl::ExtractFileName(destinationName_);
            break;
        }
        }
        // Replacing a file by itself can only be a mistake in the caller's paths.
        if (IsSameFile(source, target))
            throw ETrwkCompress(rtl::Format("Cannot copy the file %s onto itself", source));
    }

    TlzhFileStats status;
    status.FileName = source;
    win::FILETIME date{};
    const bool dated = LastWriteTime(source, date);
    sourceFile_ = OpenArchiveFile(source, ReadShared, "Cannot open the file %s");
    const int64_t size = sourceFile_->Size();
    status.Uncompressed = static_cast<int32_t>(std::min<int64_t>(size, std::numeric_limits<int32_t>::max()));
    // As in extraction, the copy replaces the file it overwrites only once it is whole: an abort or an
    // error leaves the old file as it was and no partial one.
    TPendingFile pending(destFile_, target);

    copyBuffer_.resize(static_cast<size_t>(PlainCopyBufferSize));
    int64_t done = 0;
    for (;;) {
        if (abort_)
            return;
        const int64_t n = sourceFile_->Read(copyBuffer_.data(), PlainCopyBufferSize);
        if (destFile_->Write(copyBuffer_.data(), n) < n)
            DiskFull();
        done += n;
        status.Done = static_cast<int32_t>(std::min<int64_t>(done, std::numeric_limits<int32_t>::max()));
        status.TotalDone += n;
        status.Percent = FileStatsPercentage(done, size);
        status.TotalPercent = status.Percent;
        if (OnStatus)
            OnStatus(this, status);
        LetMessagesThrough();
        if (n < PlainCopyBufferSize)
            break;
    }
    pending.Close();
    if (dated && !SetLastWriteTime(pending.Name(), date))
        throw ETrwkCompress(rtl::Format("Cannot set the date of the file %s", target));
    pending.PutInPlace();
    status.EntryDone = true;
    if (OnStatus)
        OnStatus(this, status);
}
