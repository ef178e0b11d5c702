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

    // The header list as last read or written; after a Compress it holds the written headers, marked
    // not loaded, so a reading operation reads the file again.
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
    void AddEntry(int index, int32_t fileID);
    // Copies the whole source into `zip`; returns the number of bytes copied.
    int64_t CopySource(TCompressionStream& zip, const rtl::AnsiString& path);
    void EndCompress();

    bool abort_ = false;
    rtl::AnsiString compressedFile_;
    TCompressionLevel compressionLevel_ = colMax;
    rtl::AnsiString extractDirectory_;
    std::unique_ptr<rtl::TStringList> filesToProcess_;
    int32_t offset_ = 0;
    TOverwriteType overwrite_ = owAlways;
    rtl::AnsiString destinationName_;

    int64_t dataStart_ = 0;  // of the entry being added
    std::vector<uint8_t> copyBuffer_;
    bool messagesDue_ = true;
    std::chrono::steady_clock::time_point messagesAt_{};
};

// Registers TTrwkCompress with the class registry; idempotent.
void RegisterTrwkCompressClasses();
