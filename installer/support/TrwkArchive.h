#pragma once
// The installer's archive format, and the header list and status record that the compressor
// (TrwkCompress.h) works with.
//
// An archive starts with a 5-byte prefix: the entry count (4 bytes, signed) and the spanned flag (1 byte).
// In a single-file archive each entry follows as its 176-byte header and its data, one zlib stream
// (RFC 1950); each header's next-header field says where the following header starts. An archive copied
// onto disk volumes (spanned) keeps all its headers back to back on volume 1, then the data of the entries
// in order, running on from the end of one volume file to position 0 of the next. All integers are
// little-endian and every position is relative to the archive start, so an archive written at position 0
// can later sit at any offset inside a larger file (a setup program with its files appended).
//
//   TFileHeaders headers;
//   rtl::TFileStream file(path, rtl::fmOpenRead | rtl::fmShareDenyNone);
//   headers.ReadTable(file, offset);
//   const TEntryHeader& first = headers.GetFileHeaders(0)->Header;
//   file.SetPosition(offset + first.DataStart());    // first.CompressedSize() bytes of zlib data

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

// Bytes before the first header: the entry count and the spanned flag.
inline constexpr int ArchivePrefixSize = 5;

// One entry header exactly as it lies in the file. The bytes are kept whole, so the gaps between the
// fields (zero when written here) travel unchanged when a header is copied from one archive to another.
class TEntryHeader {
public:
    static constexpr int Size = 176;
    static constexpr int MaxSourcePath = 100;
    static constexpr int MaxFileVersion = 20;

    // Where each field lies.
    static constexpr int FileNumberAt = 0;
    static constexpr int FileDateAt = 8;
    static constexpr int EndVolumeAt = 16;
    static constexpr int LastBytePositionAt = 20;
    static constexpr int SourcePathAt = 24;  // length byte, then up to MaxSourcePath characters
    static constexpr int NextHeaderPositionAt = 128;
    static constexpr int UncompressedSizeAt = 132;
    static constexpr int DataStartAt = 136;
    static constexpr int CompressedSizeAt = 140;
    static constexpr int StartVolumeAt = 144;
    static constexpr int FileIDAt = 148;
    static constexpr int FileVersionAt = 152;  // length byte, then up to MaxFileVersion characters

    TEntryHeader() = default;

    // 1-based position among the entries added by one compress run.
    int32_t FileNumber() const { return Get32(FileNumberAt); }
    void SetFileNumber(int32_t value) { Put32(FileNumberAt, value); }
    // The source's last-write time (local, two-second steps).
    rtl::TDateTime FileDate() const;
    void SetFileDate(rtl::TDateTime value);
    // The volume with the entry's last data byte; 0 in a single-file archive.
    uint8_t EndVolume() const { return bytes_[EndVolumeAt]; }
    void SetEndVolume(uint8_t value) { bytes_[EndVolumeAt] = value; }
    // On the end volume, relative to that volume file's start.
    int32_t LastBytePosition() const { return Get32(LastBytePositionAt); }
    void SetLastBytePosition(int32_t value) { Put32(LastBytePositionAt, value); }
    // The entry's key and extraction name. Setting keeps the first MaxSourcePath characters.
    rtl::AnsiString SourcePath() const { return GetText(SourcePathAt, MaxSourcePath); }
    void SetSourcePath(const rtl::AnsiString& value) { PutText(SourcePathAt, MaxSourcePath, value); }
    int32_t NextHeaderPosition() const { return Get32(NextHeaderPositionAt); }
    void SetNextHeaderPosition(int32_t value) { Put32(NextHeaderPositionAt, value); }
    int32_t UncompressedSize() const { return Get32(UncompressedSizeAt); }
    void SetUncompressedSize(int32_t value) { Put32(UncompressedSizeAt, value); }
    // On the start volume.
    int32_t DataStart() const { return Get32(DataStartAt); }
    void SetDataStart(int32_t value) { Put32(DataStartAt, value); }
    // The length of the entry's zlib stream.
    int32_t CompressedSize() const { return Get32(CompressedSizeAt); }
    void SetCompressedSize(int32_t value) { Put32(CompressedSizeAt, value); }
    // The volume with the entry's first data byte; 0 in a single-file archive, which means volume 1.
    uint8_t StartVolume() const { return bytes_[StartVolumeAt]; }
    void SetStartVolume(uint8_t value) { bytes_[StartVolumeAt] = value; }
    // The number the caller of the compress run gave (an install file's group number).
    int32_t FileID() const { return Get32(FileIDAt); }
    void SetFileID(int32_t value) { Put32(FileIDAt, value); }
    // The source's "FileVersion"; setting keeps the first MaxFileVersion characters.
    rtl::AnsiString FileVersion() const { return GetText(FileVersionAt, MaxFileVersion); }
    void SetFileVersion(const rtl::AnsiString& value) { PutText(FileVersionAt, MaxFileVersion, value); }

    // A header is valid when its source path, trimmed, is not empty.
    bool IsValid() const;
    // Neither length byte claims more characters than its field holds (a damaged header does).
    bool TextLengthsFit() const
    {
        return bytes_[SourcePathAt] <= MaxSourcePath && bytes_[FileVersionAt] <= MaxFileVersion;
    }

    const uint8_t* Data() const { return bytes_.data(); }
    uint8_t* Data() { return bytes_.data(); }
    bool operator==(const TEntryHeader&) const = default;

private:
    int32_t Get32(int at) const;
    void Put32(int at, int32_t value);
    // A length byte beyond `capacity` (a damaged header) reads as `capacity`.
    rtl::AnsiString GetText(int at, int capacity) const;
    void PutText(int at, int capacity, const rtl::AnsiString& value);

    std::array<uint8_t, Size> bytes_{};
};

// One entry of the header list.
class TFileHeader {
public:
    // True when the header was read from the archive, false for an entry the running compress run adds.
    bool Loaded = false;
    TEntryHeader Header;
    // The whole path of the file an added entry is read from; the stored path may be cut short. Empty
    // for loaded entries.
    rtl::AnsiString SourceFileName;
};

// The progress of an archive operation, handed by reference to the compressor's events. Only kept in
// memory. The totals are 64-bit: the entries' sizes are 32-bit, but a run of many entries can pass 2 GB.
struct TlzhFileStats {
    uint8_t Percent = 0;           // of the current entry
    int32_t Done = 0;              // bytes of the current entry handled so far
    rtl::AnsiString FileName;      // the entry's stored source path
    int32_t Compressed = 0;        // the entry's compressed size (while adding: written so far)
    uint8_t Ratio = 0;             // compressed as a percentage of uncompressed
    int32_t Uncompressed = 0;
    TEntryHeader Header;           // the current entry's header as read or being written
    bool EntryDone = false;        // set in the event that reports an entry finished or skipped
    uint8_t TotalPercent = 0;      // over all entries of the run
    int64_t TotalDone = 0;
    int64_t TotalCompressed = 0;
    uint8_t TotalRatio = 0;
    int64_t TotalUncompressed = 0;
};

// part / whole × 100, rounded half to even; 0 when whole is 0. A ratio can pass 100 (data that does not
// shrink, a tiny file): beyond 255 it reads 255, since the record keeps one byte.
uint8_t FileStatsPercentage(int64_t part, int64_t whole);

// The status of an entry: name, sizes and header from it; percent, done and entry done cleared.
void FillFileStats(TlzhFileStats& status, const TEntryHeader& header);

// Writes exactly TEntryHeader::Size bytes at the stream's position; ETrwkCompress "Could not write the file
// headers for the compressed file" when fewer go.
void WriteEntryHeader(rtl::TStream& stream, const TEntryHeader& header);

// Opens a file of an archive operation; ETrwkCompress with `failureFormat` (one %s, the path) when it
// cannot be opened or created.
std::unique_ptr<rtl::TFileStream> OpenArchiveFile(const rtl::AnsiString& path, uint16_t mode,
                                                  const char* failureFormat);

// Both names lead to the same existing file on the host: another case, other separators, "." and "..",
// or the host drive's view of a prefix drive.
bool IsSameFile(const rtl::AnsiString& a, const rtl::AnsiString& b);

// Creates a folder with its missing parents; what cannot be made is left for the next open to report.
void CreateFolderAndParents(const rtl::AnsiString& folder);

// The ordered header list of an archive, owning its entries.
class TFileHeaders {
public:
    TFileHeaders() = default;
    TFileHeaders(const TFileHeaders&) = delete;
    TFileHeaders& operator=(const TFileHeaders&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // ETrwkCompress "%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders" outside 0..Count-1.
    TFileHeader* GetFileHeaders(int index) const;
    // ETrwkCompress "Tried to add an invalid file header" for a header whose trimmed path is empty.
    void Add(std::unique_ptr<TFileHeader> header);
    void Clear();

    bool Spanned() const { return spanned_; }
    void SetSpanned(bool value) { spanned_ = value; }

    // A header for each line of `list` (its first ";"-field names the file), numbered from 1 within the
    // list, added after the present ones when `append`, else in their place. Every file is opened, dated,
    // sized and versioned here; on any failure the list is left as it was.
    void BuildFromList(const rtl::TStrings& list, bool append);
    // The first entry whose stored path equals the line's first ";"-field, without regard to case; -1.
    // Stored paths are taken as fixed once added.
    int IndexOfPath(const rtl::AnsiString& line) const;

    // Replaces the list by the table of the archive that starts at `archiveStart`; every entry read is
    // marked loaded. On failure (see the messages in the .cpp) the list is left as it was.
    void ReadTable(rtl::TStream& stream, int64_t archiveStart);
    // Writes the prefix at position 0 and, in a spanned archive, every header after it, each with its
    // next-header field set to its own position + 176.
    void WriteTable(rtl::TStream& stream);

    // Totals over all entries: sums of the sizes, their ratio; total done, total percent and entry done 0.
    void StartTotals(TlzhFileStats& status) const;

private:
    std::vector<std::unique_ptr<TFileHeader>> items_;
    bool spanned_ = false;
    // Upper-cased stored path -> first index; made when first asked, dropped when the list changes.
    mutable std::unordered_map<rtl::AnsiString, int> pathIndex_;
    mutable bool pathIndexValid_ = false;
};
