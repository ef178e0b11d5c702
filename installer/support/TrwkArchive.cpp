#include "installer/support/TrwkArchive.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkSystem.h"
#include "installer/support/VersionResource.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"

using rtl::AnsiString;

namespace {

constexpr const char* CorruptHeadersMessage =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";
constexpr const char* InvalidHeaderMessage = "Tried to add an invalid file header";

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TEntryHeader

int32_t TEntryHeader::Get32(int at) const
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes_[static_cast<size_t>(at + i)];
    return static_cast<int32_t>(value);
}

void TEntryHeader::Put32(int at, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes_[static_cast<size_t>(at + i)] = static_cast<uint8_t>(bits >> (8 * i));
}

AnsiString TEntryHeader::GetText(int at, int capacity) const
{
    const int length = std::min<int>(bytes_[static_cast<size_t>(at)], capacity);
    const auto* first = reinterpret_cast<const char*>(bytes_.data() + at + 1);
    return AnsiString(first, static_cast<size_t>(length));
}

void TEntryHeader::PutText(int at, int capacity, const AnsiString& value)
{
    const size_t length = std::min(value.size(), static_cast<size_t>(capacity));
    bytes_[static_cast<size_t>(at)] = static_cast<uint8_t>(length);
    uint8_t* text = bytes_.data() + at + 1;
    std::fill(text, text + capacity, uint8_t{0});
    std::copy_n(value.data(), length, text);
}

rtl::TDateTime TEntryHeader::FileDate() const
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | bytes_[static_cast<size_t>(FileDateAt + i)];
    return std::bit_cast<double>(bits);
}

void TEntryHeader::SetFileDate(rtl::TDateTime value)
{
    const auto bits = std::bit_cast<uint64_t>(static_cast<double>(value));
    for (int i = 0; i < 8; ++i)
        bytes_[static_cast<size_t>(FileDateAt + i)] = static_cast<uint8_t>(bits >> (8 * i));
}

bool TEntryHeader::IsValid() const { return !rtl::Trim(SourcePath()).empty(); }

// ---------------------------------------------------------------------------------------------------------
// Status and file helpers

uint8_t FileStatsPercentage(int64_t part, int64_t whole)
{
    if (whole == 0)
        return 0;
    // Banker's rounding: nearbyint follows the default round-to-nearest-even mode.
    const double percent = std::nearbyint(static_cast<double>(part) / static_cast<double>(whole) * 100.0);
    if (!(percent > 0))
        return 0;
    return percent >= 255 ? uint8_t{255} : static_cast<uint8_t>(percent);
}

void FillFileStats(TlzhFileStats& status, const TEntryHeader& header)
{
    status.FileName = header.SourcePath();
    status.Uncompressed = header.UncompressedSize();
    status.Compressed = header.CompressedSize();
    status.Header = header;
    status.Percent = 0;
    status.Done = 0;
    status.EntryDone = false;
    status.Ratio = FileStatsPercentage(status.Compressed, status.Uncompressed);
}

void WriteEntryHeader(rtl::TStream& stream, const TEntryHeader& header)
{
    if (stream.Write(header.Data(), TEntryHeader::Size) != TEntryHeader::Size)
        throw ETrwkCompress("Could not write the file headers for the compressed file");
}

std::unique_ptr<rtl::TFileStream> OpenArchiveFile(const AnsiString& path, uint16_t mode, const char* failureFormat)
{
    try {
        return std::make_unique<rtl::TFileStream>(path, mode);
    } catch (const rtl::EStreamError&) {
        throw ETrwkCompress(rtl::Format(failureFormat, path));
    }
}

bool IsSameFile(const AnsiString& a, const AnsiString& b)
{
    const std::optional<win::TResolvedPath> first = win::ResolvePath(a.c_str());
    const std::optional<win::TResolvedPath> second = win::ResolvePath(b.c_str());
    return first && second && first->Exists && second->Exists && first->Host == second->Host;
}

void CreateFolderAndParents(const AnsiString& folder)
{
    if (folder.empty() || rtl::DirectoryExists(folder))
        return;
    const AnsiString parent = rtl::ExtractFileDir(folder);
    if (!parent.empty() && parent != folder)
        CreateFolderAndParents(parent);
    win::CreateDirectory(folder.c_str(), nullptr);
}

namespace {

// Installers set an extracted entry's date through a DOS date-time, which holds only the years 1980 to
// 2107. A file stamped outside them (1970, after many packaged builds) is stored at the nearest end of
// that range, so that its entry can be installed anywhere; reading still takes any date.
rtl::TDateTime DosDateRangeDate(rtl::TDateTime date)
{
    static const rtl::TDateTime first = rtl::EncodeDate(1980, 1, 1);
    static const rtl::TDateTime last = rtl::EncodeDate(2107, 12, 31) + rtl::EncodeTime(23, 59, 58, 0);
    if (!(date >= first))
        return first;
    return date > last ? last : date;
}

// A header for one line of a file list; see TFileHeaders::BuildFromList.
std::unique_ptr<TFileHeader> MakeFileHeader(const AnsiString& line)
{
    auto entry = std::make_unique<TFileHeader>();
    const AnsiString path = GetField(line, 1);
    entry->SourceFileName = path;
    entry->Header.SetSourcePath(path);
    // Checked before the file is opened: a blank name is a faulty list, not a missing file.
    if (!entry->Header.IsValid())
        throw ETrwkCompress(InvalidHeaderMessage);

    int64_t size = 0;
    {
        const auto file = OpenArchiveFile(path, rtl::fmOpenRead | rtl::fmShareDenyNone, "Cannot open the file %s");
        size = file->Size();
    }
    // Every size and position in the format is a signed 32-bit number.
    if (size > std::numeric_limits<int32_t>::max())
        throw ETrwkCompress(rtl::Format("The file %s is too large for the compressed file", path));
    rtl::TDateTime date = 0;
    if (!FileDateForOverwrite(path, date))
        throw ETrwkCompress(rtl::Format("Cannot open the file %s", path));

    entry->Header.SetFileDate(DosDateRangeDate(date));
    entry->Header.SetUncompressedSize(static_cast<int32_t>(size));
    TVersionResource& reader = TVersionResource::Shared();
    reader.SetFileName(path);
    entry->Header.SetFileVersion(reader.VersionInfo()->FileVersion());
    return entry;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TFileHeaders

TFileHeader* TFileHeaders::GetFileHeaders(int index) const
{
    if (index < 0 || index >= Count())
        throw ETrwkCompress(rtl::Format("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", index));
    return items_[static_cast<size_t>(index)].get();
}

void TFileHeaders::Add(std::unique_ptr<TFileHeader> header)
{
    if (!header || !header->Header.IsValid())
        throw ETrwkCompress(InvalidHeaderMessage);
    items_.push_back(std::move(header));
    pathIndexValid_ = false;
}

void TFileHeaders::Clear()
{
    items_.clear();
    pathIndex_.clear();
    pathIndexValid_ = false;
}

void TFileHeaders::BuildFromList(const rtl::TStrings& list, bool append)
{
    std::vector<std::unique_ptr<TFileHeader>> made;
    made.reserve(static_cast<size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
        made.push_back(MakeFileHeader(list[i]));
        made.back()->Header.SetFileNumber(i + 1);
    }
    if (!append)
        Clear();
    for (auto& entry : made)
        Add(std::move(entry));
}

int TFileHeaders::IndexOfPath(const AnsiString& line) const
{
    if (!pathIndexValid_) {
        pathIndex_.clear();
        for (int i = 0; i < Count(); ++i)
            pathIndex_.try_emplace(rtl::AnsiUpperCase(items_[static_cast<size_t>(i)]->Header.SourcePath()), i);
        pathIndexValid_ = true;
    }
    const auto found = pathIndex_.find(rtl::AnsiUpperCase(GetField(line, 1)));
    return found == pathIndex_.end() ? -1 : found->second;
}

void TFileHeaders::ReadTable(rtl::TStream& stream, int64_t archiveStart)
{
    uint8_t prefix[ArchivePrefixSize] = {};
    stream.SetPosition(archiveStart);
    if (stream.Read(prefix, ArchivePrefixSize) != ArchivePrefixSize)
        throw ETrwkCompress("Could not read the file header count for the compressed file");
    const auto count = static_cast<int32_t>(static_cast<uint32_t>(prefix[0]) | static_cast<uint32_t>(prefix[1]) << 8 |
                                            static_cast<uint32_t>(prefix[2]) << 16 |
                                            static_cast<uint32_t>(prefix[3]) << 24);
    // Each entry takes at least its header, so a count the file cannot hold is damage; refusing it at
    // once keeps a header chain that loops back on itself from running for ever.
    const int64_t room = stream.Size() - archiveStart - ArchivePrefixSize;
    if (count < 0 || count > room / TEntryHeader::Size)
        throw ETrwkCompress(CorruptHeadersMessage);

    std::vector<std::unique_ptr<TFileHeader>> read;
    int64_t position = archiveStart + ArchivePrefixSize;
    for (int32_t i = 0; i < count; ++i) {
        auto entry = std::make_unique<TFileHeader>();
        if (position < archiveStart)
            throw ETrwkCompress(CorruptHeadersMessage);
        stream.SetPosition(position);
        if (stream.Read(entry->Header.Data(), TEntryHeader::Size) != TEntryHeader::Size)
            throw ETrwkCompress(CorruptHeadersMessage);
        entry->Loaded = true;
        if (!entry->Header.IsValid())
            throw ETrwkCompress(InvalidHeaderMessage);
        position = archiveStart + entry->Header.NextHeaderPosition();
        read.push_back(std::move(entry));
    }
    items_ = std::move(read);
    spanned_ = prefix[4] != 0;
    pathIndex_.clear();
    pathIndexValid_ = false;
}

void TFileHeaders::WriteTable(rtl::TStream& stream)
{
    const auto count = static_cast<uint32_t>(Count());
    const uint8_t prefix[ArchivePrefixSize] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                                               static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 24),
                                               static_cast<uint8_t>(spanned_ ? 1 : 0)};
    stream.SetPosition(0);
    if (stream.Write(prefix, ArchivePrefixSize) != ArchivePrefixSize)
        throw ETrwkCompress("Could not write the file headers for the compressed file");
    if (!spanned_)
        return;
    for (const auto& entry : items_) {
        entry->Header.SetNextHeaderPosition(static_cast<int32_t>(stream.Position() + TEntryHeader::Size));
        WriteEntryHeader(stream, entry->Header);
    }
}

void TFileHeaders::StartTotals(TlzhFileStats& status) const
{
    int64_t uncompressed = 0;
    int64_t compressed = 0;
    for (const auto& entry : items_) {
        uncompressed += entry->Header.UncompressedSize();
        compressed += entry->Header.CompressedSize();
    }
    status.TotalUncompressed = uncompressed;
    status.TotalCompressed = compressed;
    status.TotalDone = 0;
    status.TotalPercent = 0;
    status.EntryDone = false;
    status.TotalRatio = FileStatsPercentage(compressed, uncompressed);
}
