#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkExceptions.h"
#include "platform/rtl/DateUtils.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

namespace fs = std::filesystem;

const std::string CorruptText =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

std::string SizeMismatchText(const std::string& stored)
{
    return "The decompressed file's size does not match with the actual size of the file.  The file is " + stored;
}

std::string Text(size_t size, uint32_t seed)
{
    static const char* const words[] = {"setup ", "disk ", "volume ", "readme ", "\r\n", "2001 "};
    std::string text;
    while (text.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        text += words[(seed >> 16) % 6];
    }
    text.resize(size);
    return text;
}

std::string Noise(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}

// Rewrites the header of entry `index` in the bytes of a single-file archive.
void EditHeader(std::string& bytes, int index, const std::function<void(TEntryHeader&)>& edit)
{
    size_t at = ArchivePrefixSize;
    TEntryHeader header;
    for (int i = 0;; ++i) {
        std::memcpy(header.Data(), bytes.data() + at, TEntryHeader::Size);
        if (i == index)
            break;
        at = static_cast<size_t>(header.NextHeaderPosition());
    }
    edit(header);
    std::memcpy(bytes.data() + at, header.Data(), TEntryHeader::Size);
}

// Exposes the open streams, to check that every path closes them.
class TOpenCompress : public TTrwkCompress {
public:
    using TTrwkCompress::TTrwkCompress;
    bool FilesOpen() const { return sourceFile_ || destFile_; }
};

class ArchiveReadTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        ASSERT_TRUE(win::CreateDirectory("C:\\src", nullptr));
        ASSERT_TRUE(win::CreateDirectory("C:\\out", nullptr));
        zip.SetCompressedFile(Archive);
        zip.SetExtractDirectory("C:\\out");
    }

    void TearDown() override
    {
        TVersionResource::FreeShared();
        WinPrefixTest::TearDown();
    }

    // Writes C:\src\<name> and adds it to the next Pack.
    std::string Source(const std::string& name, const std::string& content)
    {
        const std::string path = "C:\\src\\" + name;
        EXPECT_TRUE(WriteWindows(path, content));
        return path;
    }

    void Pack(const std::vector<std::string>& paths, TlzhCommand command = lzcOverwrite, int32_t id = 0)
    {
        TTrwkCompress writer(nullptr);
        writer.SetCompressedFile(Archive);
        rtl::TStringList list;
        for (const auto& path : paths)
            list.Add(path);
        writer.SetFilesToProcess(&list);
        writer.Compress(command, id);
    }

    void Extract(TTrwkCompress& from, const std::vector<std::string>& lines)
    {
        rtl::TStringList list;
        for (const auto& line : lines)
            list.Add(line);
        from.SetFilesToProcess(&list);
        from.Extract();
    }

    // The ETrwkCompress (or plain Exception) message of `step`; "" when it did not fail.
    static std::string Failure(const std::function<void()>& step)
    {
        try {
            step();
        } catch (const rtl::Exception& e) {
            return e.Message();
        }
        return "";
    }

    std::string ArchiveBytes() const { return ReadHost(DriveC("dist/setup.1")); }
    void SetArchiveBytes(const std::string& bytes) const { WriteHost(DriveC("dist/setup.1"), bytes); }

    std::set<std::string> Listing(const std::string& host) const
    {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(host))
            names.insert(item.path().filename().string());
        return names;
    }

    const std::string Archive = "C:\\dist\\setup.1";
    TOpenCompress zip{nullptr};
};

// ---------------------------------------------------------------------------------------------------------
// The table and extraction

TEST_F(ArchiveReadTest, ExtractsWhatWasWrittenWithItsDateAndListsAndIndexesTheTable)
{
    const std::string a = Source("a.txt", Text(150000, 1));
    const std::string empty = Source("empty.dat", "");
    const std::string noise = Source("noise.bin", Noise(70000, 2));
    {
        // A date well before today, so a restored date cannot be the extraction's own.
        win::FILETIME local{}, utc{};
        ASSERT_TRUE(win::DosDateTimeToFileTime(static_cast<win::WORD>((2004 - 1980) << 9 | 5 << 5 | 10),
                                               static_cast<win::WORD>(12 << 11 | 30 << 5 | 5), &local));
        ASSERT_TRUE(win::LocalFileTimeToFileTime(&local, &utc));
        win::HANDLE file = Open(a, win::GENERIC_WRITE, win::FILE_SHARE_READ);
        ASSERT_TRUE(win::SetFileTime(file, nullptr, nullptr, &utc));
        win::CloseHandle(file);
    }
    Pack({a, empty}, lzcOverwrite, 5);
    Pack({noise, "C:\\SRC\\A.TXT"}, lzcOnlyAdd, 9);

    EXPECT_EQ(zip.Count(), 4);
    EXPECT_EQ(zip.IndexOfFileID(5), 1) << "the last entry with the ID";
    EXPECT_EQ(zip.IndexOfFileID(9), 3);
    for (int32_t id : {7, -1, 2000})
        EXPECT_EQ(zip.IndexOfFileID(id), 0);

    std::vector<TlzhFileStats> listed;
    zip.OnListing = [&](rtl::TObject*, TlzhFileStats& s) { listed.push_back(s); };
    zip.List();
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[2].FileName, noise);
    EXPECT_EQ(listed[3].TotalUncompressed, 150000 + 70000 + 150000);

    TlzhFileStats info;
    zip.GetFileInfo(3, info);
    EXPECT_EQ(info.Header.FileID(), 9);
    EXPECT_EQ(Failure([&] { zip.GetFileInfo(4, info); }), "Tried to access the 4th file. This file is not defined");

    std::vector<TlzhFileStats> statuses;
    std::vector<std::string> before;
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) { statuses.push_back(s); };
    zip.OnBeforeExtracting = [&](rtl::TObject*, TlzhFileStats& s) { before.push_back(s.FileName); };
    zip.SetExtractDirectory("C:\\out\\deep\\er");
    Extract(zip, {"c:\\src\\a.txt;group 5", empty, noise});

    EXPECT_EQ(before, (std::vector<std::string>{a, empty, noise})) << "the first of two equal paths";
    EXPECT_TRUE(ReadHost(DriveC("out/deep/er/a.txt")) == Text(150000, 1));
    EXPECT_EQ(ReadHost(DriveC("out/deep/er/empty.dat")), "");
    EXPECT_TRUE(ReadHost(DriveC("out/deep/er/noise.bin")) == Noise(70000, 2));
    EXPECT_EQ(Listing(DriveC("out/deep/er")), (std::set<std::string>{"a.txt", "empty.dat", "noise.bin"}));
    rtl::TDateTime date = 0;
    ASSERT_TRUE(FileDateForOverwrite("C:\\out\\deep\\er\\a.txt", date));
    EXPECT_DOUBLE_EQ(date, rtl::EncodeDate(2004, 5, 10) + rtl::EncodeTime(12, 30, 10, 0));

    ASSERT_FALSE(statuses.empty());
    EXPECT_TRUE(statuses.back().EntryDone);
    EXPECT_EQ(statuses.back().Done, 70000);
    EXPECT_EQ(statuses.back().TotalDone, 150000 + 70000);
    EXPECT_EQ(statuses.back().TotalPercent, FileStatsPercentage(220000, 370000)) << "totals over the whole table";
    EXPECT_EQ(zip.FilesToProcess()->Count(), 0);
    EXPECT_FALSE(zip.FilesOpen());
}

// An installation extracts entry by entry through one component: nothing of an earlier, larger entry may
// show in a later one, nor of a failed one in the next.
TEST_F(ArchiveReadTest, EachOfManyExtractionsGivesItsOwnEntryExactly)
{
    const std::string big = Source("big.bin", Noise(2500000, 3));
    const std::string small = Source("small.txt", Text(5000, 4));
    const std::string empty = Source("empty.dat", "");
    const std::string text = Source("text.txt", Text(1200000, 5));
    Pack({big, small, empty, text});
    std::string bytes = ArchiveBytes();
    for (int round = 0; round < 2; ++round) {
        for (const auto& name : {"big.bin", "small.txt", "empty.dat", "text.txt", "small.txt"}) {
            SCOPED_TRACE(name);
            Extract(zip, {"C:\\src\\" + std::string(name)});
            EXPECT_EQ(ReadHost(DriveC("out/") + name), ReadHost(DriveC("src/") + name));
            fs::remove(DriveC("out/") + name);
        }
        // A damaged entry between good ones: it fails alone.
        if (round == 0) {
            TFileHeaders headers;
            {
                rtl::TFileStream file(Archive, rtl::fmOpenRead | rtl::fmShareDenyNone);
                headers.ReadTable(file, 0);
            }
            std::string damaged = bytes;
            const TEntryHeader& header = headers.GetFileHeaders(1)->Header;
            damaged[static_cast<size_t>(header.DataStart()) + 2] ^= 0x5A;
            SetArchiveBytes(damaged);
            EXPECT_NE(Failure([&] { Extract(zip, {small}); }), "");
            EXPECT_FALSE(fs::exists(DriveC("out/small.txt")));
            SetArchiveBytes(bytes);
        }
    }
}

// An archive from elsewhere may carry dates that DOS cannot hold (before 1980, after 2107); such an entry
// must still come out, with its own date.
TEST_F(ArchiveReadTest, EntriesDatedOutsideTheDosYearsStillExtractWithTheirDate)
{
    const std::string old = Source("old.txt", Text(3000, 7));
    const std::string late = Source("late.txt", Text(2000, 8));
    Pack({old, late});
    const rtl::TDateTime oldDate = rtl::EncodeDate(1975, 3, 1) + rtl::EncodeTime(8, 15, 20, 0);
    const rtl::TDateTime lateDate = rtl::EncodeDate(2110, 3, 1) + rtl::EncodeTime(8, 15, 20, 0);
    std::string bytes = ArchiveBytes();
    EditHeader(bytes, 0, [&](TEntryHeader& h) { h.SetFileDate(oldDate); });
    EditHeader(bytes, 1, [&](TEntryHeader& h) { h.SetFileDate(lateDate); });
    SetArchiveBytes(bytes);

    EXPECT_EQ(Failure([&] { Extract(zip, {old, late}); }), "");
    EXPECT_TRUE(ReadHost(DriveC("out/old.txt")) == Text(3000, 7));
    EXPECT_TRUE(ReadHost(DriveC("out/late.txt")) == Text(2000, 8));
    rtl::TDateTime date = 0;
    ASSERT_TRUE(FileDateForOverwrite("C:\\out\\old.txt", date));
    EXPECT_DOUBLE_EQ(date, oldDate);
    ASSERT_TRUE(FileDateForOverwrite("C:\\out\\late.txt", date));
    EXPECT_DOUBLE_EQ(date, lateDate);
}

TEST_F(ArchiveReadTest, ArchiveInsideALargerFileIsReadFromItsOffset)
{
    Pack({Source("a.txt", Text(20000, 3)), Source("b.bin", Noise(9000, 4))});
    const std::string stub = Noise(3333, 5);
    WriteHost(DriveC("dist/setup.exe"), stub + ArchiveBytes() + "trailer");
    zip.SetCompressedFile("C:\\dist\\setup.exe");
    zip.SetOffset(static_cast<int32_t>(stub.size()));
    Extract(zip, {"C:\\src\\b.bin", "C:\\src\\a.txt"});
    EXPECT_TRUE(ReadHost(DriveC("out/a.txt")) == Text(20000, 3));
    EXPECT_TRUE(ReadHost(DriveC("out/b.bin")) == Noise(9000, 4));
}

TEST_F(ArchiveReadTest, NamesNeverLeadOutOfTheExtractDirectory)
{
    Pack({Source("a.txt", "one"), Source("b.txt", "two"), Source("c.txt", "three"), Source("d.txt", "four")});
    std::string bytes = ArchiveBytes();
    EditHeader(bytes, 0, [](TEntryHeader& h) { h.SetSourcePath("..\\..\\evil.txt"); });
    EditHeader(bytes, 1, [](TEntryHeader& h) { h.SetSourcePath("C:/x/../../up.txt"); });
    EditHeader(bytes, 2, [](TEntryHeader& h) { h.SetSourcePath("..."); });
    EditHeader(bytes, 3, [](TEntryHeader& h) { h.SetSourcePath(std::string("..\0x", 4)); });
    SetArchiveBytes(bytes);

    Extract(zip, {"..\\..\\evil.txt", "C:/x/../../up.txt"});
    EXPECT_EQ(ReadHost(DriveC("out/evil.txt")), "one");
    EXPECT_EQ(ReadHost(DriveC("out/up.txt")), "two");

    zip.OnBeforeExtracting = [&](rtl::TObject*, TlzhFileStats&) { zip.SetDestinationName("..\\sub/../../moved.txt"); };
    Extract(zip, {"..\\..\\evil.txt"});
    EXPECT_EQ(ReadHost(DriveC("out/moved.txt")), "one");
    zip.OnBeforeExtracting = nullptr;

    EXPECT_EQ(Failure([&] { Extract(zip, {"..."}); }), "Cannot create the file C:\\out\\...");
    EXPECT_NE(Failure([&] { Extract(zip, {std::string("..\0x", 4)}); }), "");
    EXPECT_EQ(Listing(DriveC("out")), (std::set<std::string>{"evil.txt", "up.txt", "moved.txt"}));
    EXPECT_EQ(Listing(DriveC("")).count("evil.txt") + Listing(Prefix()).count("evil.txt"), 0u);
}

TEST_F(ArchiveReadTest, OverwriteRulesDecideOverExistingFiles)
{
    Pack({Source("a.txt", "new a"), Source("b.txt", "new b")});
    EXPECT_EQ(Failure([&] { Extract(zip, {"C:\\src\\zz.txt;3", "C:\\src\\a.txt"}); }),
              "The file <C:\\src\\zz.txt;3> was not found in the archive <C:\\dist\\setup.1>");
    EXPECT_TRUE(zip.Abort());
    EXPECT_TRUE(Listing(DriveC("out")).empty());
    ASSERT_TRUE(WriteWindows("C:\\out\\a.txt", "old a"));

    // owNever: an existing destination is skipped and reported done, a missing one extracted.
    std::vector<TlzhFileStats> statuses;
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) { statuses.push_back(s); };
    zip.SetOverwrite(owNever);
    Extract(zip, {"C:\\src\\a.txt"});
    EXPECT_EQ(ReadHost(DriveC("out/a.txt")), "old a");
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_TRUE(statuses[0].EntryDone);
    EXPECT_EQ(statuses[0].Done, 0);
    Extract(zip, {"C:\\src\\b.txt"});
    EXPECT_EQ(ReadHost(DriveC("out/b.txt")), "new b");

    // owAlways: OnReplace may still change the name.
    zip.SetOverwrite(owAlways);
    zip.OnReplace = [&](rtl::TObject*, TlzhFileStats&) { zip.SetDestinationName("renamed.txt"); };
    Extract(zip, {"C:\\src\\a.txt"});
    EXPECT_EQ(ReadHost(DriveC("out/a.txt")), "old a");
    EXPECT_EQ(ReadHost(DriveC("out/renamed.txt")), "new a");

    // owDate against a file that cannot be opened to read its date.
    zip.SetOverwrite(owDate);
    win::HANDLE locked = Open("C:\\out\\a.txt", win::GENERIC_READ, 0);
    EXPECT_EQ(Failure([&] { Extract(zip, {"C:\\src\\a.txt"}); }), "Error comparing file versions in TTrwkCompress");
    win::CloseHandle(locked);
}

TEST_F(ArchiveReadTest, AFailedOrAbortedEntryLeavesTheOldFileWhole)
{
    const std::string path = Source("a.bin", Noise(300000, 6));
    Pack({path});
    const std::string good = ArchiveBytes();
    const auto oldFileStays = [&](const std::string& expected, const std::function<void(std::string&)>& damage) {
        std::string bytes = good;
        damage(bytes);
        SetArchiveBytes(bytes);
        zip.LoadHeaders();  // the table is kept while the archive's name stays
        ASSERT_TRUE(WriteWindows("C:\\out\\a.bin", "old"));
        EXPECT_EQ(Failure([&] { Extract(zip, {path}); }), expected);
        EXPECT_EQ(ReadHost(DriveC("out/a.bin")), "old");
        EXPECT_EQ(Listing(DriveC("out")), std::set<std::string>{"a.bin"}) << "the temporary file is gone";
        EXPECT_FALSE(zip.FilesOpen());
    };
    oldFileStays("error", [](std::string& b) { b[b.size() / 2] ^= 0x55; });
    oldFileStays(SizeMismatchText(path), [](std::string& b) {
        EditHeader(b, 0, [](TEntryHeader& h) { h.SetUncompressedSize(h.UncompressedSize() + 1); });
    });
    oldFileStays(SizeMismatchText(path), [](std::string& b) {
        EditHeader(b, 0, [](TEntryHeader& h) { h.SetUncompressedSize(h.UncompressedSize() - 1); });
    });
    // The stream's last bytes (its check sum) cut off, though all its data is there.
    oldFileStays(SizeMismatchText(path), [](std::string& b) {
        EditHeader(b, 0, [](TEntryHeader& h) { h.SetLastBytePosition(h.LastBytePosition() - 4); });
    });
    // A stream that asks for a preset dictionary would otherwise never move on.
    oldFileStays("error", [](std::string& b) {
        const size_t at = ArchivePrefixSize + TEntryHeader::Size;
        unsigned flags = (static_cast<uint8_t>(b[at + 1]) & 0xE0) | 0x20;
        flags += (31 - (static_cast<uint8_t>(b[at]) * 256 + flags) % 31) % 31;
        b[at + 1] = static_cast<char>(flags);
    });

    // Abort from a handler: OnAborted, a normal return, and still the old file.
    SetArchiveBytes(good);
    int aborted = 0;
    zip.OnAborted = [&](rtl::TObject*) { ++aborted; };
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { zip.SetAbort(true); };
    Extract(zip, {path});
    EXPECT_EQ(aborted, 1);
    EXPECT_EQ(ReadHost(DriveC("out/a.bin")), "old");
    EXPECT_EQ(Listing(DriveC("out")), std::set<std::string>{"a.bin"});

    // A full floppy: the old file on it stays, and so does the room it takes.
    zip.OnStatus = nullptr;
    win::SetFloppyCapacity(200000);
    ASSERT_TRUE(WriteWindows("A:\\a.bin", "old"));
    zip.SetExtractDirectory("A:\\");
    EXPECT_EQ(Failure([&] { Extract(zip, {path}); }), "The disk is full");
    EXPECT_EQ(ReadHost(DriveA("a.bin")), "old");
    EXPECT_EQ(Listing(DriveA()), std::set<std::string>{"a.bin"});
    // A stream that inflates to far more than its entry says stops there, before it fills the disk.
    std::string small = good;
    EditHeader(small, 0, [](TEntryHeader& h) { h.SetUncompressedSize(100); });
    SetArchiveBytes(small);
    zip.LoadHeaders();
    EXPECT_EQ(Failure([&] { Extract(zip, {path}); }), SizeMismatchText(path));
    SetArchiveBytes(good);
    zip.LoadHeaders();

    zip.SetExtractDirectory("C:\\out");
    Extract(zip, {path});
    EXPECT_TRUE(ReadHost(DriveC("out/a.bin")) == Noise(300000, 6));
}

// Progress comes in steps of 4 KB of output however large the entry, and an Abort set in any step ends
// the entry right there, also on the last step of a block read and written at once.
TEST_F(ArchiveReadTest, ExtractionReportsEveryFourKilobytesAndStopsAtTheStepThatAborts)
{
    constexpr int32_t size = 2200000;
    const std::string path = Source("big.txt", Text(size, 41));
    Pack({path});

    std::vector<TlzhFileStats> statuses;
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) { statuses.push_back(s); };
    Extract(zip, {path});
    ASSERT_EQ(statuses.size(), size / 4096 + 2u) << "every full step, the last short one, then the entry done";
    for (size_t i = 0; i + 2 < statuses.size(); ++i) {
        EXPECT_EQ(statuses[i].Done, static_cast<int32_t>(4096 * (i + 1))) << i;
        EXPECT_EQ(statuses[i].TotalDone, statuses[i].Done) << i;
        EXPECT_EQ(statuses[i].Percent, FileStatsPercentage(statuses[i].Done, size)) << i;
        EXPECT_FALSE(statuses[i].EntryDone) << i;
    }
    EXPECT_EQ(statuses[statuses.size() - 2].Done, size);
    EXPECT_FALSE(statuses[statuses.size() - 2].EntryDone);
    EXPECT_TRUE(statuses.back().EntryDone);
    EXPECT_TRUE(ReadHost(DriveC("out/big.txt")) == Text(size, 41));

    int aborted = 0;
    zip.OnAborted = [&](rtl::TObject*) { ++aborted; };
    for (const int32_t stopAt : {3 * 4096, 1048576, size}) {
        ASSERT_TRUE(WriteWindows("C:\\out\\big.txt", "old"));
        statuses.clear();
        zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) {
            statuses.push_back(s);
            if (s.Done == stopAt)
                zip.SetAbort(true);
        };
        Extract(zip, {path});
        EXPECT_EQ(aborted, 1) << stopAt;
        aborted = 0;
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.back().Done, stopAt) << "no step after the one that aborted";
        EXPECT_FALSE(statuses.back().EntryDone);
        EXPECT_EQ(ReadHost(DriveC("out/big.txt")), "old");
        EXPECT_EQ(Listing(DriveC("out")), std::set<std::string>{"big.txt"});
    }
}

// ---------------------------------------------------------------------------------------------------------
// Damaged archives

TEST_F(ArchiveReadTest, DamagedHeadersAreRefusedWhenTheTableIsRead)
{
    Pack({Source("a.txt", Text(3000, 7)), Source("b.txt", Text(2000, 8))});
    const std::string good = ArchiveBytes();
    const std::vector<std::function<void(TEntryHeader&)>> damages = {
        [](TEntryHeader& h) { h.Data()[TEntryHeader::SourcePathAt] = 101; },
        [](TEntryHeader& h) { h.Data()[TEntryHeader::FileVersionAt] = 21; },
        [](TEntryHeader& h) { h.SetUncompressedSize(-1); },
        [](TEntryHeader& h) { h.SetCompressedSize(-5); },
        [](TEntryHeader& h) { h.SetDataStart(4); },                          // inside the table
        [](TEntryHeader& h) { h.SetLastBytePosition(h.DataStart() - 2); },   // ends before it starts
        [](TEntryHeader& h) { h.SetEndVolume(2); },                          // a single file has one volume
        [](TEntryHeader& h) { h.SetSourcePath("   "); },
    };
    for (size_t i = 0; i < damages.size(); ++i) {
        std::string bytes = good;
        EditHeader(bytes, 1, damages[i]);
        SetArchiveBytes(bytes);
        EXPECT_EQ(Failure([&] { zip.LoadHeaders(); }), CorruptText) << "damage " << i;
        EXPECT_FALSE(zip.HeadersLoaded());
        EXPECT_EQ(zip.FileHeaders().Count(), 0);
    }
    zip.SetCompressedFile("C:\\dist\\missing.1");
    EXPECT_EQ(Failure([&] { zip.Count(); }), "Cannot open the compressed file C:\\dist\\missing.1");
}

TEST_F(ArchiveReadTest, ArchiveCutAnywhereFailsWithAnError)
{
    Pack({Source("a.txt", Text(3000, 9)), Source("b.bin", Noise(2000, 10))});
    const std::string good = ArchiveBytes();
    size_t secondHeaderEnd = 0;
    EditHeader(const_cast<std::string&>(good), 0, [&](TEntryHeader& h) {
        secondHeaderEnd = static_cast<size_t>(h.NextHeaderPosition()) + TEntryHeader::Size;
    });
    for (size_t cut = 0; cut < good.size(); ++cut) {
        SetArchiveBytes(good.substr(0, cut));
        TOpenCompress reader(nullptr);
        reader.SetCompressedFile(Archive);
        reader.SetExtractDirectory("C:\\out");
        // Up to the second header the table is unreadable; past it, b.bin's data ends before its last byte.
        EXPECT_EQ(Failure([&] { Extract(reader, {"C:\\src\\a.txt", "C:\\src\\b.bin"}); }), CorruptText) << cut;
        EXPECT_EQ(HostExists(DriveC("out/a.txt")), cut >= secondHeaderEnd) << cut;
        EXPECT_FALSE(HostExists(DriveC("out/b.bin")));
        EXPECT_FALSE(reader.FilesOpen());
    }
}

// Random damage to a good archive: every outcome is an error message or a clean extraction, and
// nothing is written outside the extract directory.
TEST_F(ArchiveReadTest, RandomlyDamagedArchivesNeverCrashOrEscape)
{
    Pack({Source("a.txt", Text(6000, 11)), Source("b.bin", Noise(3000, 12)), Source("c.txt", "c")});
    const std::string good = ArchiveBytes();
    const std::set<std::string> outside = Listing(DriveC());
    std::mt19937 random(20240611);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    int runs = 0;
    for (; runs < 3000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        std::string bytes = good;
        for (int m = 1 + static_cast<int>(random() % 4); m > 0; --m) {
            const size_t at = random() % bytes.size();
            switch (random() % 5) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes[at] ^= static_cast<char>(1 << (random() % 8)); break;
            case 2: bytes.resize(at); break;
            case 3: bytes.insert(at, std::string(1 + random() % 8, static_cast<char>(random()))); break;
            default: {
                // A whole 32-bit field of the first header set to an extreme.
                static const int fields[] = {20, 128, 132, 136, 140, 148};
                const size_t field = ArchivePrefixSize + static_cast<size_t>(fields[random() % 6]);
                const uint32_t value = random() % 2 ? 0x7FFFFFFF : 0x80000000u + random() % 512;
                if (field + 4 <= bytes.size())
                    std::memcpy(bytes.data() + field, &value, 4);
            }
            }
            if (bytes.empty())
                break;
        }
        SetArchiveBytes(bytes);
        TOpenCompress reader(nullptr);
        reader.SetCompressedFile(Archive);
        reader.SetExtractDirectory("C:\\out");
        try {
            reader.LoadHeaders();
            std::vector<std::string> names;
            for (int i = 0; i < reader.FileHeaders().Count(); ++i)
                names.push_back(reader.FileHeaders().GetFileHeaders(i)->Header.SourcePath());
            Extract(reader, names);
        } catch (const rtl::Exception&) {
        }
        EXPECT_FALSE(reader.FilesOpen());
    }
    EXPECT_GT(runs, 100);
    EXPECT_EQ(Listing(DriveC()), outside);
    for (const auto& name : Listing(DriveC("out")))
        EXPECT_FALSE(name.starts_with("trw") && name.ends_with(".tmp")) << name;
}

// ---------------------------------------------------------------------------------------------------------
// Disk volumes

class ArchiveVolumeTest : public ArchiveReadTest {
protected:
    // Takes the disk out of drive A: into C:\disk<n> (n from its file's extension) and puts disk `wanted`
    // in, when there is one.
    void SwapDisk(int32_t wanted)
    {
        for (const auto& name : Listing(DriveA())) {
            const std::string disk = DriveC("disk" + name.substr(name.rfind('.') + 1));
            fs::create_directories(disk);
            fs::rename(DriveA(name), disk + "/" + name);
        }
        const std::string volume = "files." + std::to_string(wanted);
        if (HostExists(DriveC("disk" + std::to_string(wanted) + "/" + volume)))
            fs::rename(DriveC("disk" + std::to_string(wanted) + "/" + volume), DriveA(volume));
    }

    std::vector<std::string> contents = {Noise(30000, 21), Text(90000, 22), Noise(45000, 23), Noise(2000, 24)};
    std::vector<std::string> paths;

    // The archive inside a larger file, copied onto floppies of `capacity` bytes, now in C:\disk1 ...
    void Transfer(int64_t capacity, std::vector<int32_t>& asked)
    {
        for (size_t i = 0; i < contents.size(); ++i)
            paths.push_back(Source("f" + std::to_string(i) + ".dat", contents[i]));
        Pack(paths);
        WriteHost(DriveC("dist/setup.exe"), "MZ-stub" + ArchiveBytes());
        win::SetFloppyCapacity(capacity);
        zip.SetCompressedFile("C:\\dist\\setup.exe");
        zip.SetOffset(7);
        zip.OnNewDisk = [&](rtl::TObject*, int32_t disk, rtl::AnsiString& folder) {
            EXPECT_EQ(folder, "A:");
            asked.push_back(disk);
            SwapDisk(disk);
        };
        zip.TransferToDisks("A:", "files.1");
        SwapDisk(0);
        zip.OnNewDisk = nullptr;
        zip.SetOffset(0);
    }
};

TEST_F(ArchiveVolumeTest, ArchiveCopiedOntoDisksIsExtractedWholeFromSeveralFolders)
{
    std::vector<int32_t> asked;
    Transfer(40000, asked);
    ASSERT_GE(asked.size(), 3u);
    EXPECT_EQ(asked.back(), 1) << "disk 1 again for the final table";
    const int volumes = static_cast<int>(asked.size());  // disks 2..n, then 1
    for (int n = 1; n <= volumes; ++n) {
        const auto size = fs::file_size(DriveC("disk" + std::to_string(n) + "/files." + std::to_string(n)));
        EXPECT_LE(size, 40000u);
        EXPECT_GT(size, 0u);
    }
    EXPECT_FALSE(zip.HeadersLoaded()) << "the list no longer describes setup.exe";

    TOpenCompress reader(nullptr);
    reader.SetCompressedFile("C:\\disk1\\files.1");
    reader.SetExtractDirectory("C:\\out");
    std::vector<std::string> folders;
    reader.OnNewDisk = [&](rtl::TObject*, int32_t disk, rtl::AnsiString& folder) {
        folders.push_back(folder);
        folder = "C:\\disk" + std::to_string(disk);
    };
    ASSERT_EQ(reader.Count(), 4);
    EXPECT_TRUE(reader.FileHeaders().Spanned());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(reader.FileHeaders().GetFileHeaders(i)->Header.NextHeaderPosition(),
                  ArchivePrefixSize + (i + 1) * TEntryHeader::Size);
    // The large noise entry begins after volume 1 and runs on into the next.
    const TEntryHeader& third = reader.FileHeaders().GetFileHeaders(2)->Header;
    EXPECT_EQ(third.StartVolume(), 2);
    EXPECT_EQ(third.EndVolume(), 3);

    // Read from the last entry back, so volumes are looked for in every direction.
    Extract(reader, {paths[3], paths[2], paths[1], paths[0]});
    for (size_t i = 0; i < contents.size(); ++i)
        EXPECT_TRUE(ReadHost(DriveC("out/f" + std::to_string(i) + ".dat")) == contents[i]) << i;
    EXPECT_GE(std::set<std::string>(folders.begin(), folders.end()).size(), 2u);
    EXPECT_TRUE(reader.CompressedFile().starts_with("C:\\disk")) << "names the volume last opened";
}

TEST_F(ArchiveVolumeTest, MissingVolumesAndFullDisksWithoutAnAnswer)
{
    std::vector<int32_t> asked;
    Transfer(40000, asked);
    TOpenCompress reader(nullptr);
    reader.SetCompressedFile("C:\\disk1\\files.1");
    reader.SetExtractDirectory("C:\\out");
    // paths[2] lies on later volumes only.
    const int32_t volume = [&] {
        reader.Count();
        return static_cast<int32_t>(reader.FileHeaders().GetFileHeaders(2)->Header.StartVolume());
    }();
    ASSERT_GE(volume, 2);
    const std::string missing = "Could not open the correct disk file " + std::to_string(volume);
    EXPECT_EQ(Failure([&] { Extract(reader, {paths[2]}); }), missing) << "at once without a handler";

    int calls = 0;
    reader.OnNewDisk = [&](rtl::TObject*, int32_t, rtl::AnsiString& folder) {
        ++calls;
        folder = "C:\\nowhere";
    };
    EXPECT_EQ(Failure([&] { Extract(reader, {paths[2]}); }), missing);
    EXPECT_EQ(calls, 4);
    EXPECT_TRUE(reader.Abort());

    // Copying onto a disk that fills up with nobody to change it.
    for (const auto& name : Listing(DriveA()))
        fs::remove(DriveA(name));
    zip.SetCompressedFile(Archive);
    EXPECT_EQ(Failure([&] { zip.TransferToDisks("A:", "files.1"); }),
              "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
    EXPECT_TRUE(zip.Abort());
    EXPECT_FALSE(zip.FilesOpen());

    // An abort ends the copy quietly.
    int aborted = 0;
    zip.OnAborted = [&](rtl::TObject*) { ++aborted; };
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { zip.SetAbort(true); };
    EXPECT_EQ(Failure([&] { zip.TransferToDisks("A:", "files.1"); }), "");
    EXPECT_EQ(aborted, 1);
}

// ---------------------------------------------------------------------------------------------------------
// Plain copies

TEST_F(ArchiveReadTest, CopyFileCopiesUnderTheRuleAndNeverOntoItsSource)
{
    const std::string source = Source("a.txt", Text(20000, 31));
    std::vector<TlzhFileStats> statuses;
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats& s) { statuses.push_back(s); };
    zip.CopyFile(source, "C:\\out\\copy.txt");
    EXPECT_TRUE(ReadHost(DriveC("out/copy.txt")) == Text(20000, 31));
    ASSERT_EQ(statuses.size(), 4u) << "8 KB steps, then the entry done";
    EXPECT_EQ(statuses.back().Done, 20000);
    EXPECT_TRUE(statuses.back().EntryDone);
    EXPECT_EQ(zip.ExtractDirectory(), "C:\\out");
    rtl::TDateTime a = 0, b = 0;
    ASSERT_TRUE(FileDateForOverwrite(source, a));
    ASSERT_TRUE(FileDateForOverwrite("C:\\out\\copy.txt", b));
    EXPECT_EQ(a, b);

    zip.SetOverwrite(owNever);
    ASSERT_TRUE(WriteWindows("C:\\out\\copy.txt", "kept"));
    statuses.clear();
    zip.CopyFile(source, "C:\\out\\copy.txt");
    EXPECT_EQ(ReadHost(DriveC("out/copy.txt")), "kept");
    EXPECT_TRUE(statuses.empty());

    zip.SetOverwrite(owAlways);
    const std::string refused = "Cannot copy the file " + source + " onto itself";
    for (const std::string& self : {std::string("C:\\SRC\\A.TXT"), std::string("c:/src/./x/../a.txt"),
                                    "Z:" + DriveC("src/a.txt")}) {
        EXPECT_EQ(Failure([&] { zip.CopyFile(source, self); }), refused) << self;
        EXPECT_TRUE(ReadHost(DriveC("src/a.txt")) == Text(20000, 31));
    }
    EXPECT_EQ(Failure([&] { zip.CopyFile("C:\\src\\none.txt", "C:\\out\\none.txt"); }),
              "Cannot open the file C:\\src\\none.txt");
    EXPECT_FALSE(zip.FilesOpen());
}

// The copy takes the old file's place only once it is whole, as an extracted entry does.
TEST_F(ArchiveReadTest, CopyFileLeavesTheOldFileWholeWhenItStopsEarly)
{
    const std::string source = Source("a.bin", Noise(50000, 32));
    ASSERT_TRUE(WriteWindows("C:\\out\\copy.bin", "old"));

    // Aborted by a handler after the first step: no event, no error, and nothing changed or left behind.
    zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { zip.SetAbort(true); };
    zip.CopyFile(source, "C:\\out\\copy.bin");
    EXPECT_EQ(ReadHost(DriveC("out/copy.bin")), "old");
    zip.CopyFile(source, "C:\\out\\new.bin");
    EXPECT_EQ(Listing(DriveC("out")), std::set<std::string>{"copy.bin"}) << "no part of a new file either";
    zip.OnStatus = nullptr;

    // A disk that fills up: the old file stays, and so does the room it takes.
    win::SetFloppyCapacity(30000);
    ASSERT_TRUE(WriteWindows("A:\\copy.bin", "old"));
    EXPECT_EQ(Failure([&] { zip.CopyFile(source, "A:\\copy.bin"); }), "The disk is full");
    EXPECT_EQ(ReadHost(DriveA("copy.bin")), "old");
    EXPECT_EQ(Listing(DriveA()), std::set<std::string>{"copy.bin"});

    // A destination held open by someone else cannot be replaced; the copy made meanwhile is removed.
    win::HANDLE held = Open("C:\\out\\copy.bin", win::GENERIC_READ, 0);
    EXPECT_EQ(Failure([&] { zip.CopyFile(source, "C:\\out\\copy.bin"); }), "Cannot create the file C:\\out\\copy.bin");
    win::CloseHandle(held);
    EXPECT_EQ(ReadHost(DriveC("out/copy.bin")), "old");
    EXPECT_EQ(Listing(DriveC("out")), std::set<std::string>{"copy.bin"});

    zip.CopyFile(source, "C:\\out\\copy.bin");
    EXPECT_TRUE(ReadHost(DriveC("out/copy.bin")) == Noise(50000, 32));
    EXPECT_EQ(Listing(DriveC("out")), std::set<std::string>{"copy.bin"});
    rtl::TDateTime a = 0, b = 0;
    ASSERT_TRUE(FileDateForOverwrite(source, a));
    ASSERT_TRUE(FileDateForOverwrite("C:\\out\\copy.bin", b));
    EXPECT_EQ(a, b);
    EXPECT_FALSE(zip.FilesOpen());
}

}  // namespace
