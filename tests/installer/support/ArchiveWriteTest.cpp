#include <gtest/gtest.h>
#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/installer/support/InflateSupport.h"
#include "installer/support/TrwkArchive.h"
#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkExceptions.h"
#include "platform/rtl/DateUtils.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/support/PeFiles.h"

namespace {

// ---------------------------------------------------------------------------------------------------------
// An archive reader of its own, made from the format's tables alone.

int32_t Le32(const std::string& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(b.at(at + static_cast<size_t>(i)));
    return static_cast<int32_t>(v);
}

double LeDouble(const std::string& b, size_t at)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(b.at(at + static_cast<size_t>(i)));
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

std::string ShortText(const std::string& b, size_t at, size_t capacity)
{
    const size_t length = static_cast<uint8_t>(b.at(at));
    EXPECT_LE(length, capacity);
    return b.substr(at + 1, std::min(length, capacity));
}

// Inflates exactly `length` bytes; fails the test unless they are one whole zlib stream.
std::string Inflate(const std::string& b, size_t at, size_t length)
{
    return InflateWhole(b.data() + at, length);
}

struct TReadEntry {
    size_t At = 0;  // header position, relative to the archive start
    int32_t FileNumber = 0, LastByte = 0, Next = 0, Uncompressed = 0, DataStart = 0, Compressed = 0, FileID = 0;
    double Date = 0;
    int EndVolume = 0, StartVolume = 0;
    std::string Path, Version, Data, Raw;
    uint8_t ZlibFlags = 0;
};

struct TReadArchive {
    int32_t Count = 0;
    int Spanned = 0;
    std::vector<TReadEntry> Entries;
};

TReadArchive ReadArchive(const std::string& file, size_t start = 0)
{
    TReadArchive archive;
    archive.Count = Le32(file, start);
    archive.Spanned = static_cast<uint8_t>(file.at(start + 4));
    size_t at = 5;
    for (int32_t i = 0; i < archive.Count; ++i) {
        const size_t h = start + at;
        TReadEntry e;
        e.At = at;
        e.Raw = file.substr(h, 176);
        for (size_t gap : {4, 5, 6, 7, 17, 18, 19, 125, 126, 127, 145, 146, 147, 173, 174, 175})
            EXPECT_EQ(file.at(h + gap), '\0') << "gap byte " << gap << " of entry " << i;
        e.FileNumber = Le32(file, h);
        e.Date = LeDouble(file, h + 8);
        e.EndVolume = static_cast<uint8_t>(file.at(h + 16));
        e.LastByte = Le32(file, h + 20);
        e.Path = ShortText(file, h + 24, 100);
        e.Next = Le32(file, h + 128);
        e.Uncompressed = Le32(file, h + 132);
        e.DataStart = Le32(file, h + 136);
        e.Compressed = Le32(file, h + 140);
        e.StartVolume = static_cast<uint8_t>(file.at(h + 144));
        e.FileID = Le32(file, h + 148);
        e.Version = ShortText(file, h + 152, 20);
        e.ZlibFlags = static_cast<uint8_t>(file.at(start + static_cast<size_t>(e.DataStart) + 1));
        e.Data = Inflate(file, start + static_cast<size_t>(e.DataStart), static_cast<size_t>(e.Compressed));
        archive.Entries.push_back(e);
        at = static_cast<size_t>(e.Next);
    }
    return archive;
}

std::string TextData(size_t size, uint32_t seed = 1)
{
    static const char* const words[] = {"setup ", "install ", "archive ", "readme ", "\r\n", "1998 "};
    std::string data;
    uint32_t state = seed;
    while (data.size() < size) {
        state = state * 1664525u + 1013904223u;
        data += (state >> 28) < 2 ? std::string(1, static_cast<char>(state >> 16)) : words[(state >> 16) % 6];
    }
    data.resize(size);
    return data;
}

std::string NoiseData(size_t size, uint32_t seed = 7)
{
    std::string data(size, '\0');
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return data;
}

// Opens up the state the reading half shares.
class TInspectableCompress : public TTrwkCompress {
public:
    using TTrwkCompress::TTrwkCompress;
    using TTrwkCompress::headersLoaded_;
    using TTrwkCompress::idIndex_;
};

class ArchiveWriteTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        ASSERT_TRUE(win::CreateDirectory("C:\\src", nullptr));
        zip.SetCompressedFile(Archive);
    }

    void TearDown() override
    {
        TVersionResource::FreeShared();
        WinPrefixTest::TearDown();
    }

    void Source(const std::string& name, const std::string& content)
    {
        ASSERT_TRUE(WriteWindows("C:\\src\\" + name, content));
        contents[name] = content;
    }

    void Run(std::vector<std::string> lines, TlzhCommand command = lzcOverwrite, int32_t id = 0)
    {
        rtl::TStringList list;
        for (const auto& line : lines)
            list.Add(std::isalnum(static_cast<unsigned char>(line[0])) && line.find(':') == std::string::npos
                         ? "C:\\src\\" + line
                         : line);
        zip.SetFilesToProcess(&list);
        zip.Compress(command, id);
    }

    std::string ArchiveBytes() const { return ReadHost(DriveC("dist/new/setup.1")); }

    // Local time, as the file's DOS date-time shows it.
    static void SetDate(const std::string& path, rtl::TDateTime moment)
    {
        uint16_t y, mo, d, h, mi, s, ms;
        rtl::DecodeDate(moment, y, mo, d);
        rtl::DecodeTime(moment, h, mi, s, ms);
        const win::SYSTEMTIME time{y, mo, 0, d, h, mi, s, 0};
        win::FILETIME local{}, utc{};
        ASSERT_TRUE(win::SystemTimeToFileTime(&time, &local));
        ASSERT_TRUE(win::LocalFileTimeToFileTime(&local, &utc));
        win::HANDLE file = Open(path, win::GENERIC_WRITE, win::FILE_SHARE_READ);
        ASSERT_NE(file, win::INVALID_HANDLE_VALUE);
        EXPECT_TRUE(win::SetFileTime(file, nullptr, nullptr, &utc));
        win::CloseHandle(file);
    }

    static bool Closed(const std::string& path)
    {
        win::HANDLE file = Open(path, win::GENERIC_READ | win::GENERIC_WRITE, 0);
        if (file == win::INVALID_HANDLE_VALUE)
            return false;
        win::CloseHandle(file);
        return true;
    }

    const std::string Archive = "C:\\dist\\new\\setup.1";
    TInspectableCompress zip{nullptr};
    std::map<std::string, std::string> contents;
};

// ---------------------------------------------------------------------------------------------------------
// The written format

TEST_F(ArchiveWriteTest, MixedArchiveReadsBackFieldByField)
{
    Source("readme.txt", TextData(200000));
    Source("empty.dat", "");
    Source("noise.bin", NoiseData(100000));
    testpe::TVersionLayout layout;
    layout.FileVersion = "65535.65535.65535.65535";
    Source("app.exe", testpe::BuildPe(testpe::VersionBlock(layout)).Bytes);
    SetDate("C:\\src\\readme.txt", rtl::EncodeDate(2004, 5, 10) + rtl::EncodeTime(12, 30, 11, 0));

    Run({"readme.txt", "empty.dat", "noise.bin", "C:\\src\\app.exe;group;ignored"}, lzcOverwrite, 7);

    const std::string file = ArchiveBytes();
    const TReadArchive archive = ReadArchive(file);
    ASSERT_EQ(archive.Count, 4);
    EXPECT_EQ(archive.Spanned, 0);
    const std::vector<std::string> names = {"readme.txt", "empty.dat", "noise.bin", "app.exe"};
    size_t expectedAt = 5;
    for (size_t i = 0; i < 4; ++i) {
        const TReadEntry& e = archive.Entries[i];
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(e.At, expectedAt);
        EXPECT_EQ(e.FileNumber, static_cast<int32_t>(i + 1));
        EXPECT_EQ(e.Path, "C:\\src\\" + names[i]);
        EXPECT_EQ(e.Data, contents[names[i]]);
        EXPECT_EQ(e.Uncompressed, static_cast<int32_t>(contents[names[i]].size()));
        EXPECT_EQ(e.DataStart, static_cast<int32_t>(e.At + 176));
        EXPECT_EQ(e.LastByte, e.DataStart + e.Compressed - 1);
        EXPECT_EQ(e.Next, e.LastByte + 1);
        EXPECT_EQ(e.StartVolume, 0);
        EXPECT_EQ(e.EndVolume, 0);
        EXPECT_EQ(e.FileID, 7);
        EXPECT_EQ(e.ZlibFlags, 0xDA) << "level 9 by default";
        expectedAt = static_cast<size_t>(e.Next);
    }
    EXPECT_EQ(expectedAt, file.size());
    EXPECT_DOUBLE_EQ(archive.Entries[0].Date, rtl::EncodeDate(2004, 5, 10) + rtl::EncodeTime(12, 30, 10, 0));
    EXPECT_EQ(archive.Entries[0].Version, "");
    EXPECT_EQ(archive.Entries[3].Version, "65535.65535.65535.65") << "cut to 20 characters";
    EXPECT_LT(archive.Entries[1].Compressed, 16) << "an empty file is a few bytes of zlib";

    // The list keeps what was written, no longer taken for the file's table.
    ASSERT_EQ(zip.FileHeaders().Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(zip.FileHeaders().GetFileHeaders(i)->Loaded);
        const TEntryHeader& written = zip.FileHeaders().GetFileHeaders(i)->Header;
        EXPECT_EQ(std::memcmp(written.Data(), archive.Entries[static_cast<size_t>(i)].Raw.data(), 176), 0);
    }
    EXPECT_FALSE(zip.HeadersLoaded());
    EXPECT_EQ(zip.FilesToProcess()->Count(), 0);
    EXPECT_FALSE(zip.Abort());
    EXPECT_TRUE(Closed(Archive));
}

// Extraction sets an entry's date through a DOS date-time, so the writer keeps to the years it holds.
TEST_F(ArchiveWriteTest, DatesOutsideTheDosYearsAreStoredAtTheNearestEnd)
{
    const rtl::TDateTime first = rtl::EncodeDate(1980, 1, 1);
    const rtl::TDateTime last = rtl::EncodeDate(2107, 12, 31) + rtl::EncodeTime(23, 59, 58, 0);
    const std::vector<std::pair<rtl::TDateTime, rtl::TDateTime>> stamps = {
        {rtl::EncodeDate(1975, 6, 1) + rtl::EncodeTime(10, 0, 0, 0), first},
        {rtl::EncodeDate(1979, 12, 31) + rtl::EncodeTime(23, 59, 58, 0), first},
        {first, first},
        {rtl::EncodeDate(1999, 12, 31) + rtl::EncodeTime(23, 59, 58, 0),
         rtl::EncodeDate(1999, 12, 31) + rtl::EncodeTime(23, 59, 58, 0)},
        {last, last},
        {rtl::EncodeDate(2108, 1, 1), last},
        {rtl::EncodeDate(2110, 3, 1) + rtl::EncodeTime(8, 15, 20, 0), last},
    };
    std::vector<std::string> names;
    for (size_t i = 0; i < stamps.size(); ++i) {
        names.push_back("d" + std::to_string(i) + ".txt");
        Source(names.back(), TextData(100 + i));
        SetDate("C:\\src\\" + names.back(), stamps[i].first);
    }
    Run(names);

    const TReadArchive archive = ReadArchive(ArchiveBytes());
    ASSERT_EQ(archive.Entries.size(), stamps.size());
    for (size_t i = 0; i < stamps.size(); ++i)
        EXPECT_DOUBLE_EQ(archive.Entries[i].Date, stamps[i].second) << names[i];
}

TEST_F(ArchiveWriteTest, EmptyRunAndLevels)
{
    Source("a.txt", TextData(5000));
    zip.SetCompressionLevel(colFastest);
    Run({"a.txt"});
    EXPECT_EQ(ReadArchive(ArchiveBytes()).Entries.at(0).ZlibFlags, 0x01) << "zlib's flags for level 1";
    Run({});
    EXPECT_EQ(ArchiveBytes(), std::string(5, '\0')) << "a new archive replaces the old one";
}

TEST_F(ArchiveWriteTest, AppendingKeepsTheOldEntriesAndCountsThemInTheTotals)
{
    Source("a.txt", TextData(30000, 1));
    Source("b.txt", TextData(40000, 2));
    Run({"a.txt"}, lzcOnlyAdd, 1);  // no archive yet: started new
    const std::string first = ArchiveBytes();

    std::vector<TlzhFileStats> statuses;
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) { statuses.push_back(s); };
    Run({"b.txt", "C:\\SRC\\A.TXT"}, lzcOnlyAdd, 2);

    const std::string file = ArchiveBytes();
    EXPECT_EQ(file.substr(5, first.size() - 5), first.substr(5)) << "old entries untouched";
    const TReadArchive archive = ReadArchive(file);
    ASSERT_EQ(archive.Count, 3);
    EXPECT_EQ(archive.Entries[1].FileNumber, 1);
    EXPECT_EQ(archive.Entries[2].FileNumber, 2);
    EXPECT_EQ(archive.Entries[0].FileID, 1);
    EXPECT_EQ(archive.Entries[2].FileID, 2);
    EXPECT_EQ(archive.Entries[2].Path, "C:\\SRC\\A.TXT");
    EXPECT_EQ(archive.Entries[2].Data, contents["a.txt"]) << "the same file twice gives two entries";

    ASSERT_FALSE(statuses.empty());
    const TlzhFileStats& last = statuses.back();
    EXPECT_EQ(last.TotalUncompressed, 30000 + 40000 + 30000);
    EXPECT_EQ(last.TotalDone, 40000 + 30000);
    EXPECT_EQ(last.TotalPercent, 70) << "the old entry counts in the total but is not done again";
    EXPECT_EQ(last.TotalCompressed, archive.Entries[1].Compressed) << "the entries finished before the last";

    // The first of equal paths is the one found.
    rtl::TFileStream stream(Archive, rtl::fmOpenRead | rtl::fmShareDenyNone);
    TFileHeaders headers;
    headers.ReadTable(stream, 0);
    EXPECT_EQ(headers.IndexOfPath("c:\\src\\a.txt;x"), 0);
    EXPECT_EQ(headers.IndexOfPath("C:\\src\\b.txt"), 1);
    EXPECT_EQ(headers.IndexOfPath("C:\\src\\c.txt"), -1);

    // IDs index the last entry with them, within 0..1999 only.
    EXPECT_EQ(zip.idIndex_[1], 0);
    EXPECT_EQ(zip.idIndex_[2], 2);
    const auto indexed = zip.idIndex_;
    for (int32_t id : {-1, 2000}) {
        Run({"b.txt"}, lzcOnlyAdd, id);
        EXPECT_EQ(zip.idIndex_, indexed);
        EXPECT_EQ(ReadArchive(ArchiveBytes()).Entries.back().FileID, id);
    }
}

TEST_F(ArchiveWriteTest, ArchiveEmbeddedInALargerFileReadsFromItsStart)
{
    Source("a.txt", TextData(70000));
    Source("b.bin", NoiseData(20000));
    Run({"a.txt", "b.bin"});
    const std::string archive = ArchiveBytes();
    const std::string program = NoiseData(1234, 99);
    ASSERT_TRUE(WriteWindows("C:\\dist\\setup.exe", program + archive + "trailer"));

    const TReadArchive read = ReadArchive(ReadHost(DriveC("dist/setup.exe")), program.size());
    ASSERT_EQ(read.Count, 2);
    EXPECT_EQ(read.Entries[0].Data, contents["a.txt"]);
    EXPECT_EQ(read.Entries[1].Data, contents["b.bin"]);

    rtl::TFileStream stream("C:\\dist\\setup.exe", rtl::fmOpenRead | rtl::fmShareDenyNone);
    TFileHeaders headers;
    headers.ReadTable(stream, static_cast<int64_t>(program.size()));
    ASSERT_EQ(headers.Count(), 2);
    EXPECT_TRUE(headers.GetFileHeaders(1)->Loaded);
    EXPECT_EQ(std::memcmp(headers.GetFileHeaders(1)->Header.Data(), read.Entries[1].Raw.data(), 176), 0);
    EXPECT_EQ(headers.GetFileHeaders(1)->Header.SourcePath(), "C:\\src\\b.bin");
    EXPECT_FALSE(headers.Spanned());
}

TEST_F(ArchiveWriteTest, SpannedTableIsWrittenBackToBackAndNotAppendedTo)
{
    TFileHeaders headers;
    for (const char* path : {"C:\\a.txt", "C:\\b.txt"}) {
        auto entry = std::make_unique<TFileHeader>();
        entry->Header.SetSourcePath(path);
        entry->Header.SetNextHeaderPosition(999);
        headers.Add(std::move(entry));
    }
    headers.SetSpanned(true);
    CreateFolderAndParents(rtl::ExtractFileDir(Archive));
    OpenArchiveFile(Archive, rtl::fmCreate, "Cannot create the file %s");
    {
        auto volume = OpenArchiveFile(Archive, rtl::fmOpenReadWrite | rtl::fmShareDenyNone, "%s");
        headers.WriteTable(*volume);
    }
    const std::string file = ArchiveBytes();
    ASSERT_EQ(file.size(), 5u + 2 * 176);
    EXPECT_EQ(Le32(file, 0), 2);
    EXPECT_EQ(file[4], '\1');
    EXPECT_EQ(Le32(file, 5 + 128), 5 + 176);
    EXPECT_EQ(Le32(file, 5 + 176 + 128), 5 + 2 * 176);
    EXPECT_EQ(ShortText(file, 5 + 176 + 24, 100), "C:\\b.txt");

    Source("c.txt", "c");
    EXPECT_THROW(Run({"c.txt"}, lzcOnlyAdd), ETrwkCompress);
    EXPECT_EQ(ArchiveBytes(), file);
}

// ---------------------------------------------------------------------------------------------------------
// Events, progress and aborts

TEST_F(ArchiveWriteTest, EventsComeInOrderWithProgressPerOutputBlock)
{
    Source("noise.bin", NoiseData(300000));
    Source("small.txt", TextData(3000));
    zip.SetCompressionLevel(colNone);
    std::vector<std::string> log;
    std::vector<TlzhFileStats> statuses;
    zip.OnBeforeAdding = [&](rtl::TObject*, TlzhFileStats& s) { log.push_back("before " + s.FileName); };
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) {
        log.push_back(s.EntryDone ? "done" : "step");
        statuses.push_back(s);
    };
    zip.OnAfterAdding = [&](rtl::TObject*, TlzhFileStats& s) {
        log.push_back("after " + s.FileName);
        EXPECT_EQ(s.Header.CompressedSize(), s.Compressed) << "the handler sees the finished header";
    };
    Run({"noise.bin", "small.txt"});

    // 300,000 stored bytes leave as four full 64 KB blocks before the end; the small file fills none.
    const std::vector<std::string> expected = {"before C:\\src\\noise.bin", "step", "step", "step", "step", "done",
                                               "after C:\\src\\noise.bin", "before C:\\src\\small.txt", "done",
                                               "after C:\\src\\small.txt"};
    EXPECT_EQ(log, expected);
    ASSERT_EQ(statuses.size(), 6u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(statuses[i].Compressed, static_cast<int32_t>(65536 * (i + 1)));
        EXPECT_GT(statuses[i].Done, i == 0 ? 0 : statuses[i - 1].Done);
        EXPECT_LT(statuses[i].Percent, 100);
    }
    const TReadArchive archive = ReadArchive(ArchiveBytes());
    const TlzhFileStats& noiseDone = statuses[4];
    EXPECT_EQ(noiseDone.Done, 300000);
    EXPECT_EQ(noiseDone.Percent, 100);
    EXPECT_EQ(noiseDone.Compressed, archive.Entries[0].Compressed);
    EXPECT_EQ(noiseDone.Ratio, 100) << "stored data is a little larger, still 100 once rounded";
    const TlzhFileStats& smallDone = statuses[5];
    EXPECT_EQ(smallDone.Ratio, FileStatsPercentage(archive.Entries[1].Compressed, 3000))
        << "the entry's own ratio, not that of a block it never filled";
    EXPECT_EQ(smallDone.TotalPercent, 100);
    EXPECT_EQ(smallDone.TotalDone, 303000);
    EXPECT_EQ(smallDone.TotalCompressed, archive.Entries[0].Compressed) << "the finished entries before this one";
}

TEST_F(ArchiveWriteTest, AbortsAndErrorsEndTheRunAsTheirKindSays)
{
    Source("a.bin", NoiseData(200000));
    Source("b.txt", TextData(1000));

    // Abort set by a handler: OnAborted, a normal return; the prefix already counts both entries.
    int aborted = 0;
    zip.OnAborted = [&](rtl::TObject*) { ++aborted; };
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { zip.SetAbort(true); };
    EXPECT_NO_THROW(Run({"a.bin", "b.txt"}));
    EXPECT_EQ(aborted, 1);
    EXPECT_TRUE(zip.Abort());
    EXPECT_EQ(zip.FilesToProcess()->Count(), 0);
    EXPECT_TRUE(Closed(Archive));
    EXPECT_EQ(Le32(ArchiveBytes(), 0), 2);

    // The next run starts with Abort cleared; the silent abort returns without OnAborted.
    zip.OnStatus = nullptr;
    zip.OnBeforeAdding = [](rtl::TObject*, TlzhFileStats&) { throw rtl::EAbort(); };
    EXPECT_NO_THROW(Run({"b.txt"}));
    EXPECT_EQ(aborted, 1);
    EXPECT_FALSE(zip.Abort());

    // Anything else propagates unchanged and sets Abort.
    zip.OnBeforeAdding = nullptr;
    zip.OnAfterAdding = [](rtl::TObject*, TlzhFileStats&) { throw EAPIRoutines("handler failed"); };
    try {
        Run({"b.txt"});
        ADD_FAILURE() << "no exception";
    } catch (const EAPIRoutines& e) {
        EXPECT_EQ(e.Message(), "handler failed");
    }
    EXPECT_TRUE(zip.Abort());
    EXPECT_EQ(aborted, 1);
    EXPECT_EQ(zip.FilesToProcess()->Count(), 0);
    EXPECT_TRUE(Closed(Archive));
}

// ---------------------------------------------------------------------------------------------------------
// Faulty lists and sources

TEST_F(ArchiveWriteTest, FaultyListFailsBeforeTheArchiveIsTouched)
{
    Source("a.txt", TextData(1000));
    Run({"a.txt"});
    const std::string before = ArchiveBytes();

    const auto expectFailure = [&](std::vector<std::string> lines, TlzhCommand command, const std::string& message) {
        try {
            Run(std::move(lines), command);
            ADD_FAILURE() << "no exception for " << message;
        } catch (const ETrwkCompress& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_TRUE(zip.Abort());
        EXPECT_EQ(ArchiveBytes(), before);
        EXPECT_TRUE(Closed(Archive));
    };
    expectFailure({"a.txt", "missing.txt"}, lzcOverwrite, "Cannot open the file C:\\src\\missing.txt");
    expectFailure({"a.txt", "missing.txt"}, lzcOnlyAdd, "Cannot open the file C:\\src\\missing.txt");
    expectFailure({"a.txt", "; group 2"}, lzcOverwrite, "Tried to add an invalid file header");
    expectFailure({"   ;x"}, lzcOnlyAdd, "Tried to add an invalid file header");
    // The archive itself, under any spelling, is never its own source.
    const std::string itself = "Cannot add the compressed file " + Archive + " to itself";
    expectFailure({"a.txt", "C:\\DIST\\new\\.\\Setup.1"}, lzcOnlyAdd, itself);
    expectFailure({Archive}, lzcOverwrite, itself);
}

TEST_F(ArchiveWriteTest, LongPathIsStoredCutAndReadFromTheWholeName)
{
    const std::string folder = "C:\\src\\" + std::string(60, 'f');
    ASSERT_TRUE(win::CreateDirectory(folder.c_str(), nullptr));
    const std::string path = folder + "\\" + std::string(50, 'n') + ".txt";
    ASSERT_TRUE(WriteWindows(path, "long"));
    Source(path.substr(100), "a decoy under the cut name");  // never read

    Run({path});
    const TReadArchive archive = ReadArchive(ArchiveBytes());
    ASSERT_EQ(archive.Count, 1);
    EXPECT_EQ(archive.Entries[0].Path, path.substr(0, 100));
    EXPECT_EQ(archive.Entries[0].Data, "long");
    EXPECT_EQ(zip.FileHeaders().IndexOfPath(path.substr(0, 100)), 0);
    EXPECT_EQ(zip.FileHeaders().IndexOfPath(path), -1) << "asked for by the cut path only";
}

TEST_F(ArchiveWriteTest, SourceThatGrowsAfterListingKeepsItsEntryWhole)
{
    Source("log.txt", TextData(5000));
    zip.OnBeforeAdding = [&](rtl::TObject*, TlzhFileStats&) {
        win::HANDLE file = Open("C:\\src\\log.txt", win::GENERIC_WRITE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE);
        ASSERT_NE(file, win::INVALID_HANDLE_VALUE);
        win::SetFilePointer(file, 0, nullptr, win::FILE_END);
        win::DWORD written = 0;
        win::WriteFile(file, "more", 4, &written, nullptr);
        win::CloseHandle(file);
    };
    Run({"log.txt"});
    const TReadArchive archive = ReadArchive(ArchiveBytes());
    ASSERT_EQ(archive.Count, 1);
    EXPECT_EQ(archive.Entries[0].Data, contents["log.txt"] + "more");
    EXPECT_EQ(archive.Entries[0].Uncompressed, 5004);
}

TEST_F(ArchiveWriteTest, FilePast2GBIsRefused)
{
    ASSERT_TRUE(WriteWindows("C:\\src\\huge.bin", ""));
    std::filesystem::resize_file(DriveC("src/huge.bin"), (uint64_t{1} << 31) + 10);  // sparse
    try {
        Run({"huge.bin"});
        ADD_FAILURE() << "no exception";
    } catch (const ETrwkCompress& e) {
        EXPECT_EQ(e.Message(), "The file C:\\src\\huge.bin is too large for the compressed file");
    }
    EXPECT_FALSE(HostExists(DriveC("dist/new/setup.1")));
}

// ---------------------------------------------------------------------------------------------------------
// Component state

TEST_F(ArchiveWriteTest, SettersFollowTheirRules)
{
    rtl::TStringList list;
    list.SetText("a\r\n  \r\n\r\nb;1\r\n\t\r\n");
    zip.SetFilesToProcess(&list);
    EXPECT_EQ(list.Text(), "a\r\nb;1\r\n") << "the caller's list loses its blank lines";
    EXPECT_EQ(zip.FilesToProcess()->Text(), "a\r\nb;1\r\n");
    // A list that owns its objects keeps those of its files and frees those of its blank lines.
    rtl::TStringList owning;
    owning.SetOwnsObjects(true);
    auto* kept = new rtl::TObject;
    owning.AddObject("c", kept);
    owning.AddObject(" ", new rtl::TObject);
    owning.AddObject("d", nullptr);
    zip.SetFilesToProcess(&owning);
    ASSERT_EQ(owning.Text(), "c\r\nd\r\n");
    EXPECT_EQ(owning.Objects(0), kept);

    zip.SetCompressedFile("C:\\d\\setup.1");
    zip.headersLoaded_ = true;
    zip.SetCompressedFile("C:\\D\\SETUP.1");
    EXPECT_EQ(zip.CompressedFile(), "C:\\d\\setup.1") << "the same name changes nothing";
    zip.SetCompressedFile("C:\\d\\setup.2");
    EXPECT_TRUE(zip.HeadersLoaded()) << "another volume of the same archive";
    EXPECT_EQ(zip.CompressedFile(), "C:\\d\\setup.2");
    zip.SetCompressedFile("C:\\d\\other.1");
    EXPECT_FALSE(zip.HeadersLoaded());
}

// Once a run has ended, Count and GetFileInfo answer for the archive on disk, as the other reading
// operations do, not from the list the run made.
TEST_F(ArchiveWriteTest, CountAndGetFileInfoAfterARunAnswerForTheArchiveOnDisk)
{
    Source("a.txt", TextData(3000, 1));
    Source("b.txt", TextData(4000, 2));
    Source("c.txt", TextData(5000, 3));
    {
        TTrwkCompress other(nullptr);
        other.SetCompressedFile("C:\\dist\\other.1");
        rtl::TStringList list;
        list.Add("C:\\src\\c.txt");
        other.SetFilesToProcess(&list);
        other.Compress(lzcOverwrite, 0);
    }

    Run({"a.txt", "b.txt"}, lzcOverwrite, 4);
    EXPECT_EQ(zip.Count(), 2);
    EXPECT_TRUE(zip.HeadersLoaded()) << "the table read from the file just written";
    TlzhFileStats info;
    zip.GetFileInfo(1, info);
    EXPECT_EQ(info.FileName, "C:\\src\\b.txt");
    EXPECT_EQ(info.TotalUncompressed, 7000);

    zip.SetCompressedFile("C:\\dist\\other.1");
    EXPECT_EQ(zip.Count(), 1);
    zip.GetFileInfo(0, info);
    EXPECT_EQ(info.FileName, "C:\\src\\c.txt");
    EXPECT_EQ(info.TotalUncompressed, 5000);

    // A run that could not create its archive wrote nothing: the old table stands.
    zip.SetCompressedFile(Archive);
    win::HANDLE held = Open(Archive, win::GENERIC_READ, 0);
    EXPECT_THROW(Run({"c.txt", "a.txt", "b.txt"}), ETrwkCompress);
    win::CloseHandle(held);
    EXPECT_EQ(zip.Count(), 2);
    zip.GetFileInfo(0, info);
    EXPECT_EQ(info.FileName, "C:\\src\\a.txt");

    // An aborted run leaves an archive whose last entry was never finished: it reads as damaged, rather
    // than as a list of entries that are not all there.
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { zip.SetAbort(true); };
    Run({"c.txt", "a.txt"});
    try {
        zip.Count();
        ADD_FAILURE() << "no exception";
    } catch (const ETrwkCompress& e) {
        EXPECT_EQ(e.Message(),
                  "Could not read the file headers for the compressed file. The Archive file could possible be corrupt");
    }
}

// ---------------------------------------------------------------------------------------------------------
// Adding run after run, as the distribution build does

TEST_F(ArchiveWriteTest, RunAfterRunWritesWhatAFreshComponentForEachRunWrites)
{
    const std::vector<std::string> names = {"a.txt", "b.bin", "c.txt", "a.txt", "d.txt"};
    Source("a.txt", TextData(3000, 1));
    Source("b.bin", NoiseData(70000));
    Source("c.txt", TextData(0, 3));
    Source("d.txt", TextData(9000, 4));
    int32_t id = 1;
    for (const auto& name : names) {
        Run({name}, lzcOnlyAdd, id);
        TTrwkCompress fresh(nullptr);
        fresh.SetCompressedFile("C:\\dist\\fresh.1");
        rtl::TStringList list;
        list.Add("C:\\src\\" + name);
        fresh.SetFilesToProcess(&list);
        fresh.Compress(lzcOnlyAdd, id++);
    }
    const std::string bytes = ArchiveBytes();
    EXPECT_EQ(bytes, ReadHost(DriveC("dist/fresh.1")));
    const TReadArchive archive = ReadArchive(bytes);
    ASSERT_EQ(archive.Count, 5);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(archive.Entries[i].Data, contents[names[i]]) << i;
        EXPECT_EQ(archive.Entries[i].FileID, static_cast<int32_t>(i + 1));
    }
    // A new archive started by the same component keeps nothing of the old one.
    Run({"d.txt"}, lzcOverwrite, 9);
    Run({"c.txt"}, lzcOnlyAdd, 10);
    EXPECT_EQ(ReadArchive(ArchiveBytes()).Count, 2);
}

TEST_F(ArchiveWriteTest, AnArchiveChangedBetweenRunsIsReadAgain)
{
    Source("a.txt", TextData(3000, 1));
    Source("b.txt", TextData(4000, 2));
    auto other = [](const std::string& name, TlzhCommand command, int32_t id) {
        TTrwkCompress writer(nullptr);
        writer.SetCompressedFile("C:\\dist\\new\\setup.1");
        rtl::TStringList list;
        list.Add("C:\\src\\" + name);
        writer.SetFilesToProcess(&list);
        writer.Compress(command, id);
    };

    // Another writer appended: its entry stays.
    Run({"a.txt"}, lzcOnlyAdd, 1);
    other("b.txt", lzcOnlyAdd, 2);
    Run({"a.txt"}, lzcOnlyAdd, 3);
    TReadArchive archive = ReadArchive(ArchiveBytes());
    ASSERT_EQ(archive.Count, 3);
    EXPECT_EQ(archive.Entries[1].FileID, 2);
    EXPECT_EQ(archive.Entries[2].Data, contents["a.txt"]);

    // Written anew with the same size and count, only a header differing.
    Run({"a.txt"}, lzcOverwrite, 1);
    other("a.txt", lzcOverwrite, 7);
    Run({"b.txt"}, lzcOnlyAdd, 2);
    archive = ReadArchive(ArchiveBytes());
    ASSERT_EQ(archive.Count, 2);
    EXPECT_EQ(archive.Entries[0].FileID, 7);

    // Copied onto volumes in between: the list held the volumes' positions, not the archive's.
    Run({"a.txt"}, lzcOverwrite, 1);
    ASSERT_TRUE(win::CreateDirectory("C:\\disks", nullptr));
    zip.TransferToDisks("C:\\disks", "setup.1");
    Run({"b.txt"}, lzcOnlyAdd, 2);
    archive = ReadArchive(ArchiveBytes());
    ASSERT_EQ(archive.Count, 2);
    EXPECT_EQ(archive.Entries[0].Data, contents["a.txt"]);
    EXPECT_EQ(archive.Entries[1].Data, contents["b.txt"]);

    // An aborted run kept nothing: the next addition meets the unfinished archive as a fresh component does.
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { zip.SetAbort(true); };
    Run({"a.txt"}, lzcOnlyAdd, 3);
    zip.OnStatus = nullptr;
    const std::string unfinished = ArchiveBytes();
    Run({"b.txt"}, lzcOnlyAdd, 4);
    const std::string added = ArchiveBytes();
    WriteHost(DriveC("dist/new/setup.1"), unfinished);
    other("b.txt", lzcOnlyAdd, 4);
    EXPECT_EQ(added, ArchiveBytes());
}

// ---------------------------------------------------------------------------------------------------------
// The format's helpers

TEST(FileStatsPercentageTest, RoundsHalfToEvenAndKeepsToAByte)
{
    EXPECT_EQ(FileStatsPercentage(1, 8), 12);   // 12.5
    EXPECT_EQ(FileStatsPercentage(3, 8), 38);   // 37.5
    EXPECT_EQ(FileStatsPercentage(5, 200), 2);  // 2.5
    EXPECT_EQ(FileStatsPercentage(7, 200), 4);  // 3.5
    EXPECT_EQ(FileStatsPercentage(2, 3), 67);
    EXPECT_EQ(FileStatsPercentage(5, 0), 0);
    EXPECT_EQ(FileStatsPercentage(3, 2), 150);
    EXPECT_EQ(FileStatsPercentage(9, 1), 255);  // a 1-byte file's 9 bytes of zlib
    EXPECT_EQ(FileStatsPercentage(int64_t{3} << 32, int64_t{4} << 32), 75);
}

TEST(FileHeadersTest, DamagedTablesAreRefusedAndLeaveTheListAlone)
{
    TEntryHeader valid;
    valid.SetSourcePath("C:\\a.txt");
    valid.SetNextHeaderPosition(5 + 176);
    const auto table = [&](int32_t count, std::vector<TEntryHeader> headers) {
        std::string bytes(5, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<char>(static_cast<uint32_t>(count) >> (8 * i));
        for (const auto& h : headers)
            bytes.append(reinterpret_cast<const char*>(h.Data()), 176);
        return bytes;
    };
    TEntryHeader blank = valid;
    blank.SetSourcePath("  ");
    TEntryHeader backwards = valid;
    backwards.SetNextHeaderPosition(-400);
    TEntryHeader loop = valid;
    loop.SetNextHeaderPosition(5);

    const std::string corrupt =
        "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";
    const std::pair<std::string, std::string> cases[] = {
        {"\1\0\0", "Could not read the file header count for the compressed file"},
        {table(1, {blank}), "Tried to add an invalid file header"},
        {table(2, {valid}), corrupt},
        {table(0x7FFFFFFF, {loop, loop}), corrupt},
        {table(-1, {valid}), corrupt},
        {table(2, {backwards, valid}), corrupt},
    };
    TFileHeaders headers;
    {
        rtl::TStringStream good(table(1, {valid}));
        headers.ReadTable(good, 0);
    }
    for (const auto& [bytes, message] : cases) {
        rtl::TStringStream stream(bytes);
        try {
            headers.ReadTable(stream, 0);
            ADD_FAILURE() << "read: " << message;
        } catch (const ETrwkCompress& e) {
            EXPECT_EQ(e.Message(), message);
        }
        ASSERT_EQ(headers.Count(), 1);
        EXPECT_EQ(headers.GetFileHeaders(0)->Header, valid);
    }

    // A chain that loops back is read as far as the count goes, and no further.
    rtl::TStringStream looping(table(2, {loop, loop}));
    headers.ReadTable(looping, 0);
    EXPECT_EQ(headers.Count(), 2);

    try {
        headers.GetFileHeaders(-1);
        ADD_FAILURE() << "no exception";
    } catch (const ETrwkCompress& e) {
        EXPECT_EQ(e.Message(), "-1 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders");
    }
    EXPECT_THROW(headers.Add(std::make_unique<TFileHeader>()), ETrwkCompress);
}

}  // namespace
