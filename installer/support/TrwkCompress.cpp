#include "installer/support/TrwkCompress.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "installer/support/TrwkExceptions.h"
#include "platform/vcl/Forms.h"

using rtl::AnsiString;

namespace {

// Source files are read in pieces of this size.
constexpr size_t CopyBufferSize = 65536;

constexpr int64_t MaxArchivePosition = std::numeric_limits<int32_t>::max();

}  // namespace

VCL_IMPLEMENT_CLASS(TTrwkCompress)

void TTrwkCompress::RegisterProperties(vcl::TClassDef<TTrwkCompress>& def)
{
    using T = TTrwkCompress;
    def.Property("Abort", &T::Abort, &T::SetAbort, false);
    def.Property("CompressedFile", &T::CompressedFile, &T::SetCompressedFile, AnsiString());
    def.Property("CompressionLevel", &T::CompressionLevel, &T::SetCompressionLevel, colMax);
    def.Property("ExtractDirectory", &T::ExtractDirectory, &T::SetExtractDirectory, AnsiString());
    def.Property("FilesToProcess", &T::FilesToProcess, &T::SetFilesToProcess);
    def.Property("Offset", &T::Offset, &T::SetOffset, 0);
    def.Property("Overwrite", &T::Overwrite, &T::SetOverwrite, owAlways);
    def.Event("OnAborted", &T::OnAborted);
    def.Event("OnBeforeAdding", &T::OnBeforeAdding);
    def.Event("OnAfterAdding", &T::OnAfterAdding);
    def.Event("OnBeforeExtracting", &T::OnBeforeExtracting);
    def.Event("OnReplace", &T::OnReplace);
    def.Event("OnStatus", &T::OnStatus);
    def.Event("OnListing", &T::OnListing);
    def.Event("OnFullDisk", &T::OnFullDisk);
    def.Event("OnNewDisk", &T::OnNewDisk);
}

TTrwkCompress::TTrwkCompress(vcl::TComponent* owner)
    : TComponent(owner), filesToProcess_(std::make_unique<rtl::TStringList>())
{
}

TTrwkCompress::~TTrwkCompress() = default;

// ---------------------------------------------------------------------------------------------------------
// Setters

void TTrwkCompress::SetCompressedFile(const AnsiString& value)
{
    if (rtl::AnsiSameText(value, compressedFile_))
        return;
    if (headersLoaded_ &&
        !rtl::AnsiSameText(rtl::ChangeFileExt(compressedFile_, ".1"), rtl::ChangeFileExt(value, ".1")))
        headersLoaded_ = false;
    compressedFile_ = value;
}

namespace {

// Blank lines leave the caller's list too, in one pass: deleting them one by one would shift the rest of a
// long list for every blank. A list that owns its objects still frees those of the blank lines, once.
void RemoveBlankLines(rtl::TStrings& list)
{
    std::vector<std::pair<AnsiString, rtl::TObject*>> kept;
    std::vector<rtl::TObject*> dropped;
    for (int i = 0; i < list.Count(); ++i) {
        if (rtl::Trim(list.Strings(i)).empty())
            dropped.push_back(list.Objects(i));
        else
            kept.emplace_back(list.Strings(i), list.Objects(i));
    }
    if (dropped.empty())
        return;
    auto* owning = dynamic_cast<rtl::TStringList*>(&list);
    const bool owns = owning != nullptr && owning->OwnsObjects();
    if (owns)
        owning->SetOwnsObjects(false);
    list.BeginUpdate();
    list.Clear();
    for (auto& [text, object] : kept)
        list.AddObject(text, object);
    list.EndUpdate();
    if (owns) {
        owning->SetOwnsObjects(true);
        for (rtl::TObject* object : dropped)
            delete object;
    }
}

}  // namespace

void TTrwkCompress::SetFilesToProcess(rtl::TStrings* value)
{
    if (!value) {
        filesToProcess_->Clear();
        return;
    }
    RemoveBlankLines(*value);
    filesToProcess_->Assign(*value);
}

// ---------------------------------------------------------------------------------------------------------
// Shared steps

void TTrwkCompress::LetMessagesThrough()
{
    const auto now = std::chrono::steady_clock::now();
    if (!messagesDue_ && now - messagesAt_ < MessageInterval)
        return;
    messagesDue_ = false;
    vcl::Application->ProcessMessages();
    // Counted from the end: a handler that ran long should not make the next step process again at once.
    messagesAt_ = std::chrono::steady_clock::now();
}

void TTrwkCompress::CloseFiles()
{
    sourceFile_.reset();
    destFile_.reset();
}

void TTrwkCompress::DiskFull()
{
    if (OnFullDisk)
        OnFullDisk(this);
    else
        throw EtcDiskFull();
}

// ---------------------------------------------------------------------------------------------------------
// Compress

void TTrwkCompress::Compress(TlzhCommand command, int32_t fileID)
{
    abort_ = false;
    mode_ = omAdding;
    fileHeaders_.SetSpanned(false);
    offset_ = 0;
    CloseFiles();
    RestartMessageClock();
    try {
        CompressFiles(command, fileID);
    } catch (const EtcAborted&) {
        EndCompress();
        if (OnAborted)
            OnAborted(this);
        return;
    } catch (const rtl::EAbort&) {
        EndCompress();
        return;
    } catch (...) {
        EndCompress();
        abort_ = true;
        throw;
    }
    EndCompress();
}

void TTrwkCompress::EndCompress()
{
    // Whatever happened, the list no longer holds the table as read from the file. No longer adding
    // either, so Count and GetFileInfo read the table again, as every other reading operation does: they
    // answer for the archive just written (or for another one named since), not from this run's list.
    headersLoaded_ = false;
    mode_ = omNone;
    CloseFiles();
    filesToProcess_->Clear();
    copyBuffer_ = std::vector<uint8_t>();
}

void TTrwkCompress::CompressFiles(TlzhCommand command, int32_t fileID)
{
    const AnsiString archive = compressedFile_;
    CreateFolderAndParents(rtl::ExtractFileDir(archive));
    const int64_t listChanges = listChanges_;

    // The new headers are made, and so every source opened, before an existing archive is emptied: a
    // list naming a missing file then costs nothing.
    int firstAdded = 0;
    if (command == lzcOnlyAdd && rtl::FileExists(archive)) {
        OpenArchiveForAdding(archive);
        // New entries would sit after the data, where no header chain of a spanned table leads.
        if (fileHeaders_.Spanned())
            throw ETrwkCompress(rtl::Format("Cannot add files to the spanned compressed file %s", archive));
        firstAdded = fileHeaders_.Count();
        fileHeaders_.BuildFromList(*filesToProcess_, true);
        RefuseArchiveAsSource(archive, firstAdded);
    } else {
        tableKept_ = false;
        fileHeaders_.BuildFromList(*filesToProcess_, false);
        RefuseArchiveAsSource(archive, 0);
        destFile_ = OpenArchiveFile(archive, rtl::fmCreate, "Cannot create the file %s");
    }
    fileHeaders_.SetSpanned(false);

    fileHeaders_.WriteTable(*destFile_);
    destFile_->Seek(0, rtl::soEnd);

    fileHeaders_.StartTotals(fileStats_);
    fileStats_.TotalCompressed = 0;

    copyBuffer_.resize(CopyBufferSize);
    for (int i = firstAdded; i < fileHeaders_.Count(); ++i)
        AddEntry(i, fileID);

    if (listChanges_ == listChanges) {
        tableKept_ = true;
        keptArchive_ = archive;
        keptSize_ = destFile_->Size();
        keptFirstAdded_ = firstAdded;
    }
}

void TTrwkCompress::OpenArchiveForAdding(const AnsiString& archive)
{
    destFile_ = OpenArchiveFile(archive, rtl::fmOpenReadWrite | rtl::fmShareDenyNone, "Cannot create the file %s");
    if (KeptTableMatches(archive)) {
        // The last run's entries are now part of the table, as reading it would make them.
        for (int i = keptFirstAdded_; i < fileHeaders_.Count(); ++i) {
            TFileHeader& entry = *fileHeaders_.GetFileHeaders(i);
            entry.Loaded = true;
            entry.SourceFileName.clear();
        }
    } else {
        tableKept_ = false;
        fileHeaders_.ReadTable(*destFile_, 0);
    }
    tableKept_ = false;
}

// Someone else may have written the file since: it must still have the size, the prefix and the last
// header the last run left, which costs two small reads however long the table is.
bool TTrwkCompress::KeptTableMatches(const AnsiString& archive)
{
    if (!tableKept_ || !rtl::AnsiSameText(archive, keptArchive_) || fileHeaders_.Spanned() ||
        destFile_->Size() != keptSize_)
        return false;
    const auto count = static_cast<uint32_t>(fileHeaders_.Count());
    const uint8_t expected[ArchivePrefixSize] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                                                 static_cast<uint8_t>(count >> 16),
                                                 static_cast<uint8_t>(count >> 24), 0};
    uint8_t prefix[ArchivePrefixSize] = {};
    destFile_->SetPosition(0);
    if (destFile_->Read(prefix, ArchivePrefixSize) != ArchivePrefixSize ||
        !std::equal(prefix, prefix + ArchivePrefixSize, expected))
        return false;
    if (count == 0)
        return true;
    const TEntryHeader& last = fileHeaders_.GetFileHeaders(static_cast<int>(count) - 1)->Header;
    TEntryHeader stored;
    destFile_->SetPosition(int64_t{last.DataStart()} - TEntryHeader::Size);
    return destFile_->Read(stored.Data(), TEntryHeader::Size) == TEntryHeader::Size && stored == last;
}

// An archive that packs itself would read its own growing end until the size limit, or be emptied
// before it is read.
void TTrwkCompress::RefuseArchiveAsSource(const AnsiString& archive, int firstAdded) const
{
    for (int i = firstAdded; i < fileHeaders_.Count(); ++i) {
        const TFileHeader& entry = *fileHeaders_.GetFileHeaders(i);
        if (IsSameFile(entry.SourceFileName, archive))
            throw ETrwkCompress(rtl::Format("Cannot add the compressed file %s to itself", archive));
    }
}

void TTrwkCompress::AddEntry(int index, int32_t fileID)
{
    currentEntry_ = index;
    TFileHeader& entry = *fileHeaders_.GetFileHeaders(index);
    TEntryHeader& header = entry.Header;
    sourceFile_ =
        OpenArchiveFile(entry.SourceFileName, rtl::fmOpenRead | rtl::fmShareDenyNone, "Cannot open the file %s");

    const int64_t headerAt = destFile_->Position();
    WriteEntryHeader(*destFile_, header);
    dataStart_ = destFile_->Position();
    if (dataStart_ > MaxArchivePosition)
        throw ETrwkCompress(rtl::Format("The compressed file %s has grown too large", compressedFile_));
    header.SetDataStart(static_cast<int32_t>(dataStart_));

    FillFileStats(fileStats_, header);
    fileStats_.Compressed = 0;
    if (OnBeforeAdding)
        OnBeforeAdding(this, fileStats_);

    int64_t copied = 0;
    {
        TCompressionStream zip(compressionLevel_, *destFile_);
        zip.OnProgress = [this](rtl::TObject*) { AddStatus(); };
        copied = CopySource(zip, entry.SourceFileName);
        zip.Finish();
    }
    const int64_t end = destFile_->Position();
    if (end > MaxArchivePosition)
        throw ETrwkCompress(rtl::Format("The compressed file %s has grown too large", compressedFile_));

    // A source that changed after the list was read: the entry's size must be that of its data, or
    // extraction refuses it.
    if (copied != header.UncompressedSize()) {
        fileStats_.TotalUncompressed += copied - header.UncompressedSize();
        header.SetUncompressedSize(static_cast<int32_t>(copied));
        fileStats_.Uncompressed = static_cast<int32_t>(copied);
    }

    // The ratio of the whole entry, so the last step reports it rather than that of the last full block.
    fileStats_.Compressed = static_cast<int32_t>(end - dataStart_);
    fileStats_.Ratio = FileStatsPercentage(fileStats_.Compressed, fileStats_.Uncompressed);
    fileStats_.EntryDone = true;
    AddStatus();
    fileStats_.EntryDone = false;
    fileStats_.TotalCompressed += fileStats_.Compressed;

    header.SetLastBytePosition(static_cast<int32_t>(end - 1));
    header.SetNextHeaderPosition(static_cast<int32_t>(end));
    header.SetCompressedSize(static_cast<int32_t>(end - dataStart_));
    header.SetFileID(fileID);
    if (fileID >= 0 && fileID < FileIDSlots)
        idIndex_[static_cast<size_t>(fileID)] = index;

    destFile_->SetPosition(headerAt);
    WriteEntryHeader(*destFile_, header);
    destFile_->SetPosition(end);
    fileStats_.Header = header;
    if (OnAfterAdding)
        OnAfterAdding(this, fileStats_);
    sourceFile_.reset();
}

int64_t TTrwkCompress::CopySource(TCompressionStream& zip, const AnsiString& path)
{
    int64_t copied = 0;
    for (;;) {
        const int64_t n = sourceFile_->Read(copyBuffer_.data(), static_cast<int64_t>(copyBuffer_.size()));
        if (n <= 0)
            return copied;
        copied += n;
        if (copied > MaxArchivePosition)
            throw ETrwkCompress(rtl::Format("The file %s is too large for the compressed file", path));
        zip.WriteBuffer(copyBuffer_.data(), n);
    }
}

void TTrwkCompress::AddStatus()
{
    if (abort_)
        throw EtcAborted();
    LetMessagesThrough();
    if (!destFile_)
        throw ETrwkCompress("AddStatus has Nil DestFile");
    const int64_t position = sourceFile_ ? sourceFile_->Position() : fileStats_.Done;
    fileStats_.TotalDone += position - fileStats_.Done;
    fileStats_.Done = static_cast<int32_t>(position);
    fileStats_.Compressed = static_cast<int32_t>(destFile_->Size() - dataStart_);
    fileStats_.Percent = FileStatsPercentage(fileStats_.Done, fileStats_.Uncompressed);
    fileStats_.TotalPercent = FileStatsPercentage(fileStats_.TotalDone, fileStats_.TotalUncompressed);
    if (OnStatus)
        OnStatus(this, fileStats_);
}

void RegisterTrwkCompressClasses()
{
    vcl::RegisterClasses({&TTrwkCompress::StaticClass()});
}
