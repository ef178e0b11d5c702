#pragma once
// TTrwkCompress, the non-visual component through which the installer writes and reads its archives
// (TrwkArchive.h). Writing:
//
//   TTrwkCompress* zip = new TTrwkCompress(owner);
//   zip->SetCompressedFile("C:\\dist\\setup.1");
//   rtl::TStringList files;
//   files.Add("C:\\src\\readme.txt");
//   files.Add("C:\\src\\app.exe;more fields are ignored");
//   zip->SetFilesToProcess(&files);
//   zip->OnStatus = [](rtl::TObject*, TlzhFileStats& s) { ... s.Percent, s.TotalPercent ... };
//   zip->Compress(lzcOverwrite, 3);    // or lzcOnlyAdd to append
//
// Errors and aborts: a handler (or a Cancel button through the message loop) sets Abort, and the next
// progress step ends the run: OnAborted fires and Compress returns normally. EAbort from a handler ends
// the run silently. Any other exception sets Abort and propagates. The archive is closed and
// FilesToProcess cleared on every path. A run that fails after it started writing leaves an incomplete
// archive whose prefix counts every entry of the run; that is the archive's format, not repaired here.
//
// Reading (TrwkExtract.cpp):
//
//   zip->SetCompressedFile("C:\\dist\\setup.1");
//   zip->Count();                             // reads the table when it is not loaded
//   zip->SetExtractDirectory("C:\\Program Files\\App");
//   files.Clear();
//   files.Add("C:\\src\\readme.txt");         // a stored path, found without regard to case
//   zip->SetFilesToProcess(&files);
//   zip->Extract();                           // under Overwrite; OnNewDisk answers for missing volumes
//
// Everything read from an archive is checked before it is used: a damaged or cut archive gives an
// ETrwkCompress (a damaged zlib stream the plain Exception "error"), never a read past the data. An entry
// is inflated into a temporary file beside its destination, which takes the destination's place only
// once it is complete and its size checked; on an error or an abort the old file stays as it was (CopyFile
// copies the same way). Only the file-name part of a stored path or of DestinationName is used, so no
// name leads out of ExtractDirectory.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "installer/support/TrwkArchive.h"
#include "installer/support/VersionResource.h"
#include "installer/support/ZlibStream.h"
#include "platform/vcl/Classes.h"

VCL_ENUM_SIZED(TlzhCommand, uint8_t, lzcOverwrite, lzcOnlyAdd)

using TlzhFileStatsEvent = std::function<void(rtl::TObject* Sender, TlzhFileStats& Status)>;
using TlzhNewDiskEvent = std::function<void(rtl::TObject* Sender, int32_t DiskNumber, rtl::AnsiString& Path)>;

class TTrwkCompress : public vcl::TComponent {
    VCL_CLASS(TTrwkCompress, vcl::TComponent)
public:
    // File IDs 0 .. FileIDSlots - 1 are indexed.
    static constexpr int FileIDSlots = 2000;

    explicit TTrwkCompress(vcl::TComponent* owner);
    ~TTrwkCompress() override;

    // Published.
    bool Abort() const { return abort_; }
    void SetAbort(bool value) { abort_ = value; }
    const rtl::AnsiString& CompressedFile() const { return compressedFile_; }
    // The same name in another case changes nothing. Another name keeps loaded headers only when it is
    // another volume of the same archive (equal once both extensions read ".1").
    void SetCompressedFile(const rtl::AnsiString& value);
    TCompressionLevel CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(TCompressionLevel value) { compressionLevel_ = value; }
    const rtl::AnsiString& ExtractDirectory() const { return extractDirectory_; }
    void SetExtractDirectory(const rtl::AnsiString& value) { extractDirectory_ = value; }
    rtl::TStringList* FilesToProcess() const { return filesToProcess_.get(); }
    // Deletes the lines that are blank once trimmed from `value` itself, then copies it.
    void SetFilesToProcess(rtl::TStrings* value);
    // The archive start inside the file when reading; writing always starts at 0.
    int32_t Offset() const { return offset_; }
    void SetOffset(int32_t value) { offset_ = value; }
    TOverwriteType Overwrite() const { return overwrite_; }
    void SetOverwrite(TOverwriteType value) { overwrite_ = value; }

    // The name the next entry is extracted under; empty means the stored name.
    const rtl::AnsiString& DestinationName() const { return destinationName_; }
    void SetDestinationName(const rtl::AnsiString& value) { destinationName_ = value; }

    rtl::TNotifyEvent OnAborted;
    TlzhFileStatsEvent OnBeforeAdding;
    TlzhFileStatsEvent OnAfterAdding;
    TlzhFileStatsEvent OnBeforeExtracting;
    TlzhFileStatsEvent OnReplace;
    TlzhFileStatsEvent OnStatus;
    TlzhFileStatsEvent OnListing;
    rtl::TNotifyEvent OnFullDisk;
    TlzhNewDiskEvent OnNewDisk;

    // Adds the files of FilesToProcess to CompressedFile, each entry marked with `fileID`. lzcOverwrite
    // starts a new archive; lzcOnlyAdd appends (a missing archive is started new).
    void Compress(TlzhCommand command, int32_t fileID);
    // One progress step while adding: polls Abort, lets messages through, updates the status and fires
    // OnStatus. Called for every 64 KB of compressed output and once at the end of each entry.
    void AddStatus();
    // A write came up short: OnFullDisk when assigned, otherwise EtcDiskFull.
    virtual void DiskFull();

    // Reading, extraction and volumes. Each reads the table first when it is not loaded, except CopyFile
    // and OpenVolume; Count and GetFileInfo not while the component is adding.
    // Reads the table of CompressedFile at Offset and indexes the file IDs.
    void LoadHeaders();
    int32_t Count();
    // The status of entry `index` (0-based) with the totals over all entries, copied into `status`.
    void GetFileInfo(int index, TlzhFileStats& status);
    // The list index of the last entry with `id`; 0 for an ID outside 0..FileIDSlots-1 or one no entry has.
    int32_t IndexOfFileID(int32_t id);
    // OnListing once per entry, in order.
    void List();
    // Extracts the entries named by FilesToProcess into ExtractDirectory under the overwrite rule. Abort
    // (OnAborted) and EAbort end it normally; any other exception sets Abort and propagates.
    void Extract();
    // Copies one file as it is, under the overwrite rule; a copy onto the source itself is refused.
    void CopyFile(const rtl::AnsiString& source, const rtl::AnsiString& destination);
    // Copies the archive onto volumes: `name` (the file-name part) in `folder`, then name.2, name.3, ... in
    // the folders OnNewDisk gives when a volume is full. Only Abort is absorbed (OnAborted).
    void TransferToDisks(const rtl::AnsiString& folder, const rtl::AnsiString& name);
    // Opens volume `number` into `stream` (in a spanned archive under `path` with the extension ".number"),
    // asking OnNewDisk for its folder up to four times while it is missing; `path` is left naming it.
    void OpenVolume(std::unique_ptr<rtl::TFileStream>& stream, int32_t number, uint16_t mode, rtl::AnsiString& path);

    // The header list as last read or written; after a Compress it holds the written headers, marked
    // not loaded, so a reading operation reads the file again. The next lzcOnlyAdd to the same archive
    // takes them as they are, once the file is seen unchanged since (its size, prefix and last header).
    const TFileHeaders& FileHeaders() const { return fileHeaders_; }
    bool HeadersLoaded() const { return headersLoaded_; }

protected:
    enum TOperationMode : uint8_t { omNone = 0, omAdding = 1, omExtracting = 2 };

    // Processes pending messages, at most every MessageInterval: a progress step comes far more often
    // than a person can click, and on fast levels each visit to the event loop would cost as much as
    // the compression itself. The first step of an operation always lets them through.
    void LetMessagesThrough();
    void RestartMessageClock() { messagesDue_ = true; }
    void CloseFiles();

    // State shared by the writing and the reading operations.
    TFileHeaders fileHeaders_;
    bool headersLoaded_ = false;
    // Per file ID, the list index of the last entry with it.
    std::array<int32_t, FileIDSlots> idIndex_{};
    TOperationMode mode_ = omNone;
    int32_t currentVolume_ = 0;
    int currentEntry_ = -1;
    TlzhFileStats fileStats_;
    std::unique_ptr<rtl::TFileStream> sourceFile_;  // the file read: a source when adding
    std::unique_ptr<rtl::TFileStream> destFile_;    // the file written: the archive when adding

    static constexpr std::chrono::milliseconds MessageInterval{20};

private:
    void CompressFiles(TlzhCommand command, int32_t fileID);
    // Opens the existing `archive` for adding and makes the list its table: the list kept from the last
    // run when the file is still as that run left it, otherwise the table read from the file.
    void OpenArchiveForAdding(const rtl::AnsiString& archive);
    bool KeptTableMatches(const rtl::AnsiString& archive);
    void AddEntry(int index, int32_t fileID);
    // Looks at the entries from `firstAdded` on.
    void RefuseArchiveAsSource(const rtl::AnsiString& archive, int firstAdded) const;
    // Copies the whole source into `zip`; returns the number of bytes copied.
    int64_t CopySource(TCompressionStream& zip, const rtl::AnsiString& path);
    void EndCompress();

    // The reading half.
    void LoadHeadersIfNeeded();
    void ExtractFiles();
    void ExtractLine(const rtl::AnsiString& line);
    // Inflates the current entry from sourceFile_, positioned at its data, into destFile_; false when the
    // data ran out before the zlib stream ended.
    bool InflateEntry();
    // Reads the next block of the current entry's data into the input buffer; 0 at the end of the volume's part.
    int64_t ReadEntryBlock();
    // Counts `written` bytes of output as done, in progress steps.
    void ReportExtracted(int64_t written);
    // One progress step of `bytes` more: done and percentages (of `whole` for the entry, of `totalWhole`
    // for the run), then OnStatus.
    void ReportStep(int64_t bytes, int64_t whole, int64_t totalWhole);
    void OpenEntryVolume(int32_t number);
    void EndExtract();
    void TransferFiles(const rtl::AnsiString& folder, const rtl::AnsiString& name);
    // Copies one chunk of the current entry onto the volumes; 0 when the entry is done.
    int64_t TransferChunk(int64_t end, rtl::AnsiString& folder, const rtl::AnsiString& name);
    void CopyPlainFile(const rtl::AnsiString& source, const rtl::AnsiString& destination);

    bool abort_ = false;
    rtl::AnsiString compressedFile_;
    TCompressionLevel compressionLevel_ = colMax;
    rtl::AnsiString extractDirectory_;
    std::unique_ptr<rtl::TStringList> filesToProcess_;
    int32_t offset_ = 0;
    TOverwriteType overwrite_ = owAlways;
    rtl::AnsiString destinationName_;

    int64_t dataStart_ = 0;  // of the entry being added
    // The list is the table of keptArchive_ as the last run, which completed, wrote it; its entries from
    // keptFirstAdded_ on are that run's, still marked not loaded. Anything else that changes the list
    // drops it, and so does a run that fails.
    bool tableKept_ = false;
    rtl::AnsiString keptArchive_;
    int64_t keptSize_ = 0;
    int keptFirstAdded_ = 0;
    // Counts the times a reading operation replaced or changed the list, so a run during which a handler
    // did so keeps nothing.
    int64_t listChanges_ = 0;
    std::vector<uint8_t> copyBuffer_;
    // Reading: the current entry (a copy, since a handler may read the table again meanwhile), where its
    // data lies on its volumes, and where the next block is read.
    TEntryHeader entryHeader_;
    int64_t entryMinimum_ = 0;   // the earliest data start its place in the table allows
    int32_t endVolume_ = 0;
    int64_t entryStart_ = 0;     // on the start volume
    int64_t entryEnd_ = 0;       // one past the last data byte, on the end volume
    int64_t readPosition_ = 0;
    // Made uninitialised on the first extraction and kept: an installation extracts its entries one run
    // each, and inflate overwrites whatever it uses.
    std::unique_ptr<uint8_t[]> inputBuffer_;
    std::unique_ptr<uint8_t[]> outputBuffer_;

    bool messagesDue_ = true;
    std::chrono::steady_clock::time_point messagesAt_{};
};

// Registers TTrwkCompress with the class registry; idempotent.
void RegisterTrwkCompressClasses();
