// The setup program as a process over a prefix of its own: -b beside BUILD.INF writes the distribution
// (stand-alone, or for the web, served by loopback servers and installed by download), -f spreads it over
// floppies, and a bad switch is answered with the usage text.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "installer/support/TrwkArchive.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Files.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/support/LoopbackServers.h"
#include "tests/support/ChildProcess.h"

namespace fs = std::filesystem;

namespace {

int32_t Int32At(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return static_cast<int32_t>(value);
}

// An entry header of an archive, read from its bytes by the layout alone.
struct TLaidHeader {
    std::string Bytes;  // the 176 bytes
    uint8_t Byte(int at) const { return static_cast<uint8_t>(Bytes[static_cast<size_t>(at)]); }
    std::string SourcePath() const
    {
        return Bytes.substr(TEntryHeader::SourcePathAt + 1, Byte(TEntryHeader::SourcePathAt));
    }
    int32_t At(int field) const { return Int32At(Bytes, static_cast<size_t>(field)); }
    // Volume fields: 0 in a single-file archive means volume 1.
    int Volume(int field) const { return std::max(1, static_cast<int>(Byte(field))); }
};

// The headers of an archive: one after the other through their next-header fields (a single file), or
// back to back (spanned).
std::vector<TLaidHeader> Headers(const std::string& archive)
{
    std::vector<TLaidHeader> headers;
    if (archive.size() < static_cast<size_t>(ArchivePrefixSize))
        return headers;
    const int32_t count = Int32At(archive, 0);
    const bool spanned = archive[4] != 0;
    size_t at = ArchivePrefixSize;
    for (int32_t i = 0; i < count && at + TEntryHeader::Size <= archive.size(); ++i) {
        headers.push_back(TLaidHeader{archive.substr(at, TEntryHeader::Size)});
        at = spanned ? at + TEntryHeader::Size
                     : static_cast<size_t>(headers.back().At(TEntryHeader::NextHeaderPositionAt));
    }
    return headers;
}

// Random bytes, which do not compress.
std::string Noise(size_t size)
{
    std::string noise(size, '\0');
    uint32_t seed = 4711;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    return noise;
}

class SetupProcessTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        fs::create_directories(DriveC("dev"));
        fs::copy_file(ENGINE_TEST_SETUP, DriveC("dev/TestSetup.exe"));
        WriteHost(DriveC("src/readme.txt"), "read me first");
        WriteHost(DriveC("src/data.bin"), std::string(20000, 'd'));
        WriteHost(DriveC("ulo/lib/T32V52.TXT"), "marker");
        WriteHost(DriveC("ulo/lib/TarnwickLoadProgram.exe"), std::string(4096, 'L'));
        RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\PESK\\T32V52\\Library", "Search Path",
                       "$(ROOT)\\lib");
        RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\PESK\\T32V52", "RootDir", "C:\\ulo");
    }

    void UseTheRealLoader()
    {
        fs::copy_file(ENGINE_TEST_LOADER, DriveC("ulo/lib/TarnwickLoadProgram.exe"),
                      fs::copy_options::overwrite_existing);
    }

    // Runs the setup program with `arguments`; its exit code, its standard error in `errors`. Ended after
    // a minute at most.
    int RunSetup(std::vector<std::string> arguments, std::string& errors, const TVariables& variables = {})
    {
        return Run(DriveC("dev/TestSetup.exe"), std::move(arguments), errors, variables);
    }
    int Run(const std::string& program, std::vector<std::string> arguments, std::string& errors,
            const TVariables& variables = {})
    {
        const TChildRun run = RunChild(program, std::move(arguments), variables, DriveC("dev"), 60000);
        errors = run.Err;
        return run.ExitCode;
    }
    // The distribution built (-b beside BUILD.INF) with the real loader.
    void BuildDistribution(const TVariables& variables = {})
    {
        UseTheRealLoader();
        WriteHost(DriveC("dev/BUILD.INF"), "C:\\build\r\n");
        std::string errors;
        ASSERT_EQ(RunSetup({"-b"}, errors, variables), 0) << errors;
        ASSERT_TRUE(HostExists(DriveC("build/setup.exe"))) << errors;
    }
};

}  // namespace

TEST_F(SetupProcessTest, BuildBesideBuildInfWritesASelfExtractingDistribution)
{
    WriteHost(DriveC("dev/BUILD.INF"), "C:\\build\r\n");
    std::string errors;
    ASSERT_EQ(RunSetup({"-b"}, errors), 0) << errors;

    const std::string exe = ReadHost(DriveC("build/setup.exe"));
    ASSERT_GT(exe.size(), 4096u + 56u) << errors;
    const std::string tail = exe.substr(exe.size() - 56);
    EXPECT_EQ(tail.substr(0, 16), std::string("\x0eSELFEXTRACTING\0", 16));
    const int32_t setupFirst = Int32At(tail, 16), setupLast = Int32At(tail, 20);
    const int32_t filesFirst = Int32At(tail, 24), filesLast = Int32At(tail, 28);
    EXPECT_EQ(setupFirst, 4096);
    EXPECT_EQ(filesFirst, setupLast + 1);
    EXPECT_EQ(filesLast, static_cast<int32_t>(exe.size()) - 57);
    EXPECT_EQ(tail.substr(32), std::string(24, '\0'));
    // Behind the loader lie setup.1 (the setup program itself, packed) and files.1, byte for byte.
    EXPECT_EQ(exe.substr(setupFirst, setupLast - setupFirst + 1), ReadHost(DriveC("build/setup.1")));
    EXPECT_EQ(exe.substr(filesFirst, filesLast - filesFirst + 1), ReadHost(DriveC("build/files.1")));
    EXPECT_GT(fs::file_size(DriveC("build/setup.1")), 0u);
}

TEST_F(SetupProcessTest, TheDistributionsSetupExeInstallsFromItselfAndEndsWell)
{
    BuildDistribution();
    std::string errors;
    fs::remove_all(DriveC("src"));  // the distribution alone must do

    ASSERT_EQ(Run(DriveC("build/setup.exe"), {}, errors), 0) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/readme.txt")), "read me first");
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/data.bin")), std::string(20000, 'd'));
    // The good ending removed the run's install key.
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0", "Path", "gone"), "gone");
}

namespace {

// The temporary folder's entries, as the user's files see them.
std::vector<std::string> TempEntries(const std::string& temp)
{
    std::vector<std::string> entries;
    if (fs::exists(temp)) {
        for (const auto& entry : fs::directory_iterator(temp))
            entries.push_back(entry.path().filename().string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace

// A distribution damaged in its file archive: the copy stops, the error is shown, the run's files, keys and
// records go again with the loader's temporary copy, and the exit code says it failed.
TEST_F(SetupProcessTest, ADamagedFileArchiveEndsInAFailureThatLeavesThePrefixAsItWas)
{
    WriteHost(DriveC("src/data.bin"), Noise(30000));
    BuildDistribution();
    fs::remove_all(DriveC("src"));
    std::string exe = ReadHost(DriveC("build/setup.exe"));
    const std::string tail = exe.substr(exe.size() - 56);
    const std::string files1 = ReadHost(DriveC("build/files.1"));
    const std::vector<TLaidHeader> headers = Headers(files1);
    ASSERT_EQ(headers.size(), 2u);
    // A byte in the middle of the second entry's data, so the first is installed before the failure.
    const int64_t at = Int32At(tail, 24) + headers[1].At(TEntryHeader::DataStartAt) +
                       headers[1].At(TEntryHeader::CompressedSizeAt) / 2;
    exe[at] = static_cast<char>(exe[at] ^ 0x5a);
    WriteHost(DriveC("build/setup.exe"), exe);
    // Another setup's key keeps the parent of the install keys, which the build left empty.
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Other", "Path", "C:\\other\\setup.exe");
    const std::string temp = DriveC("Documents and Settings/User/Local Settings/Temp");
    const auto tempBefore = TempEntries(temp);
    const std::vector<std::string> logs{"windows.log"};
    const auto before = PrefixSnapshot(logs);

    std::string errors;
    EXPECT_EQ(Run(DriveC("build/setup.exe"), {}, errors, {{"SCRIVANE_WINDOW_LOG", Prefix() + "/windows.log"}}), 1)
        << errors;
    EXPECT_NE(ReadHost(Prefix() + "/windows.log").find("message Test Setup: "), std::string::npos)
        << ReadHost(Prefix() + "/windows.log") << errors;
    // The temporary copy goes after the setup has ended.
    for (int i = 0; i < 300 && TempEntries(temp) != tempBefore; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto differences = SnapshotDifferences(PrefixSnapshot(logs), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences) << errors;
}

// A setup.exe whose setup archive is damaged cannot even start the setup: a person sees why in a message
// box, the temporary folder goes, and the exit code says it failed.
TEST_F(SetupProcessTest, ALoaderThatCannotUnpackTheSetupSaysSoAndCleansUp)
{
    BuildDistribution();
    std::string exe = ReadHost(DriveC("build/setup.exe"));
    const std::string tail = exe.substr(exe.size() - 56);
    const int64_t first = Int32At(tail, 16), last = Int32At(tail, 20);
    const int64_t at = (first + last) / 2;
    exe[at] = static_cast<char>(exe[at] ^ 0x5a);
    WriteHost(DriveC("build/setup.exe"), exe);
    const std::string temp = DriveC("Documents and Settings/User/Local Settings/Temp");
    const auto tempBefore = TempEntries(temp);

    std::string errors;
    EXPECT_EQ(Run(DriveC("build/setup.exe"), {}, errors, {{"SCRIVANE_WINDOW_LOG", Prefix() + "/windows.log"}}), 1)
        << errors;
    const std::string log = ReadHost(Prefix() + "/windows.log");
    EXPECT_NE(log.find("Setup cannot run. "), std::string::npos) << log << errors;
    EXPECT_EQ(TempEntries(temp), tempBefore);
    EXPECT_FALSE(HostExists(DriveC("Program Files/MyApplication")));
}

TEST_F(SetupProcessTest, TheFloppyRequestOfTheLoaderStartsTheTransfer)
{
    BuildDistribution();
    win::SetFloppyCapacity(int64_t{1} << 30);  // the setup program of this build is large
    std::string errors;
    ASSERT_EQ(Run(DriveC("build/setup.exe"), {"*todisk"}, errors), 0) << errors;
    // Everything fits on one disk.
    EXPECT_EQ(ReadHost(DriveA("setup.1")), ReadHost(DriveC("build/setup.1")));
    EXPECT_TRUE(HostExists(DriveA("setup.exe")));
    EXPECT_TRUE(HostExists(DriveA("files.1")));
    EXPECT_FALSE(HostExists(DriveC("Program Files/MyApplication")));
}

TEST_F(SetupProcessTest, AReadOnlyFileOfAnEarlierRunIsReplaced)
{
    BuildDistribution();
    WriteHost(DriveC("Program Files/MyApplication/Docs/readme.txt"), "an older readme");
    ASSERT_TRUE(win::SetFileAttributes("C:\\Program Files\\MyApplication\\Docs\\readme.txt",
                                       win::FILE_ATTRIBUTE_READONLY));
    std::string errors;
    ASSERT_EQ(Run(DriveC("build/setup.exe"), {}, errors), 0) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/readme.txt")), "read me first");
}

TEST_F(SetupProcessTest, ABlankFirstLineOfBuildInfCountsAsMissing)
{
    WriteHost(DriveC("dev/BUILD.INF"), "\r\nC:\\build\r\n");
    std::string errors;
    EXPECT_EQ(RunSetup({"-b"}, errors), 1);
    EXPECT_NE(errors.find("Must be 1 line in BUILD.INF. This line should specify the build directory"),
              std::string::npos)
        << errors;
    EXPECT_FALSE(HostExists(DriveC("build")));
}

TEST_F(SetupProcessTest, ABadSwitchIsAnsweredWithTheUsageText)
{
    std::string errors;
    EXPECT_EQ(RunSetup({"-x"}, errors), 1);
    EXPECT_NE(errors.find("Invalid parameter <-x>. Valid command line parameters are: -b (Build), -d (Debug), -f "
                          "(Transfer to floppies), -e (Called by self-extractor), -r (After reboot)"),
              std::string::npos)
        << errors;
}

namespace {

// A web distribution: its list of files, record by record, against the headers of the archive it serves.
void ExpectFileListFitsTheArchive(const std::string& list, const std::string& archive)
{
    const std::vector<TLaidHeader> headers = Headers(archive);
    ASSERT_EQ(headers.size(), 2u);
    ASSERT_EQ(list.size(), 4u + 2 * 80u);
    EXPECT_EQ(Int32At(list, 0), 2);
    const std::map<std::string, std::string> names = {{"readme.txt", "Readme"}, {"data.bin", "Data"}};
    for (int i = 0; i < 2; ++i) {
        const std::string record = list.substr(4 + 80 * i, 80);
        // The file of the record's name in the archive.
        const std::string name = record.substr(16, record.find('\0', 16) - 16);
        const TLaidHeader* header = nullptr;
        for (const TLaidHeader& h : headers) {
            const std::string path = h.SourcePath();
            const std::string file = path.substr(path.find_last_of('\\') + 1);
            if (names.count(file) && names.at(file) == name)
                header = &h;
        }
        ASSERT_NE(header, nullptr) << name;
        EXPECT_EQ(Int32At(record, 0), header->At(TEntryHeader::UncompressedSizeAt)) << name;
        EXPECT_EQ(Int32At(record, 4), 0) << name;
        EXPECT_EQ(record.substr(8, 8), header->Bytes.substr(TEntryHeader::FileDateAt, 8)) << name;
        EXPECT_EQ(record.substr(16, 40), name + std::string(40 - name.size(), '\0'));
        EXPECT_EQ(record.substr(56, 24), std::string(24, '\0')) << name;  // neither file has a version
    }
    EXPECT_EQ(Int32At(list, 4 + 0), 13);     // "read me first", listed first
    EXPECT_EQ(Int32At(list, 4 + 80), 20000);
}

}  // namespace

TEST_F(SetupProcessTest, AWebDistributionIsServedOverHttpAndInstallsByDownload)
{
    const TVariables web = {{"TEST_SETUP_WEB", "http"}};
    BuildDistribution(web);
    const std::string served = DriveC("build/127.0.0.1/HTTP Root directory/");
    const std::string list = ReadHost(served + "filelist.lst");
    ExpectFileListFitsTheArchive(list, ReadHost(served + "Docs.1"));
    fs::remove_all(DriveC("src"));

    // The server gives the files of the served folder by their names.
    THttpTestServer server([&](const std::string& request, THttpExchange& exchange) {
        const size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (!name.empty() && HostExists(served + name))
            exchange.Send(THttpTestServer::Answer("200 OK", ReadHost(served + name)));
        else
            exchange.Send(THttpTestServer::Answer("404 Not Found", "no such file"));
    });
    std::string errors;
    ASSERT_EQ(Run(DriveC("build/setup.exe"), {}, errors,
                  {{"TEST_SETUP_WEB", "http"}, {"SCRIVANE_PORT_MAP", "80=" + std::to_string(server.Port())}}),
              0)
        << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/readme.txt")), "read me first") << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/data.bin")), std::string(20000, 'd'));
    std::string asked;
    for (const std::string& request : server.Requests())
        asked += request.substr(0, request.find('\r')) + "\n";
    EXPECT_NE(asked.find("filelist.lst"), std::string::npos) << asked;
    EXPECT_NE(asked.find("Docs.1"), std::string::npos) << asked;
}

// An archive that comes a byte at a time makes less progress than the downloads' floor: the setup fails
// within the floor's window, says why, and the prefix is as it was.
TEST_F(SetupProcessTest, AWebDistributionThatTricklesFailsWithinItsFloorAndPutsBack)
{
    BuildDistribution({{"TEST_SETUP_WEB", "http"}});
    const std::string served = DriveC("build/127.0.0.1/HTTP Root directory/");
    fs::remove_all(DriveC("src"));
    THttpTestServer server([&](const std::string& request, THttpExchange& exchange) {
        if (request.find("filelist.lst") != std::string::npos) {
            exchange.Send(THttpTestServer::Answer("200 OK", ReadHost(served + "filelist.lst")));
            return;
        }
        const std::string archive = ReadHost(served + "Docs.1");
        exchange.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(archive.size()) + "\r\n\r\n");
        exchange.Trickle(archive, std::chrono::milliseconds(100));
    });
    const std::string temp = DriveC("Documents and Settings/User/Local Settings/Temp");
    const auto tempBefore = TempEntries(temp);
    const std::vector<std::string> logs{"windows.log"};
    const auto before = PrefixSnapshot(logs);

    std::string errors;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(DriveC("build/setup.exe"), {}, errors,
                  {{"TEST_SETUP_WEB", "http"}, {"TEST_SETUP_RECEIVE_MS", "1500"},
                   {"SCRIVANE_PORT_MAP", "80=" + std::to_string(server.Port())},
                   {"SCRIVANE_WINDOW_LOG", Prefix() + "/windows.log"}}),
              1)
        << errors;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    const std::string shown = ReadHost(Prefix() + "/windows.log");
    EXPECT_NE(shown.find("ERROR_INTERNET_TIMEOUT"), std::string::npos) << shown << errors;
    for (int i = 0; i < 300 && TempEntries(temp) != tempBefore; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto differences = SnapshotDifferences(PrefixSnapshot(logs), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences) << errors;
}

TEST_F(SetupProcessTest, AWebDistributionIsServedOverFtpAndInstallsByDownload)
{
    const TVariables web = {{"TEST_SETUP_WEB", "ftp"}};
    BuildDistribution(web);
    const std::string served = DriveC("build/127.0.0.1/FTP Root directory");
    ExpectFileListFitsTheArchive(ReadHost(served + "/filelist.lst"), ReadHost(served + "/Docs.1"));
    fs::remove_all(DriveC("src"));

    fs::create_directories(Prefix() + "/anonymous");
    TFtpTestServer ftp(Prefix() + "/anonymous", served, "user", "secret");
    std::string errors;
    ASSERT_EQ(Run(DriveC("build/setup.exe"), {}, errors,
                  {{"TEST_SETUP_WEB", "ftp"}, {"SCRIVANE_PORT_MAP", "21=" + std::to_string(ftp.Port())}}),
              0)
        << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/readme.txt")), "read me first") << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/Docs/data.bin")), std::string(20000, 'd'));
}

TEST_F(SetupProcessTest, TransferToFloppiesSpreadsTheDistributionOverDisksInChunksOf8192Bytes)
{
    // data.bin does not compress: its data runs over from one disk to the next.
    WriteHost(DriveC("src/data.bin"), Noise(70001));
    BuildDistribution();
    const std::string files1 = ReadHost(DriveC("build/files.1"));
    const std::vector<TLaidHeader> built = Headers(files1);
    ASSERT_EQ(built.size(), 2u);
    const std::string loader = ReadHost(ENGINE_TEST_LOADER);
    const std::string setup1 = ReadHost(DriveC("build/setup.1"));

    // Disk 1 takes setup.exe, setup.1 and the headers of files.1; then the data, entry by entry, in
    // chunks. The disk is made so that three chunks of data.bin fit with 6000 bytes to spare: a smaller
    // chunk would fill it further, a larger one leave more.
    const int64_t table = ArchivePrefixSize + 2 * TEntryHeader::Size;
    int64_t before = 0;  // the data of the entries ahead of data.bin
    size_t big = 0;
    for (size_t i = 0; i < built.size(); ++i) {
        if (built[i].SourcePath().find("data.bin") != std::string::npos)
            big = i;
    }
    for (size_t i = 0; i < big; ++i)
        before += built[i].At(TEntryHeader::CompressedSizeAt);
    ASSERT_GT(built[big].At(TEntryHeader::CompressedSizeAt), 8 * 8192);
    const int64_t capacity =
        static_cast<int64_t>(loader.size() + 56 + setup1.size()) + table + before + 3 * 8192 + 6000;
    win::SetFloppyCapacity(capacity);

    std::string script;
    for (int i = 0; i < 20; ++i)
        script += "Test Setup\tOK\n";
    WriteHost(Prefix() + "/answers.txt", script);
    std::string errors;
    ASSERT_EQ(Run(DriveC("build/setup.exe"), {"-f"}, errors,
                  {{"SCRIVANE_ANSWERS", Prefix() + "/answers.txt"},
                   {"SCRIVANE_WINDOW_LOG", Prefix() + "/windows.log"},
                   {"TEST_SETUP_DISKS", Prefix() + "/disks"}}),
              0)
        << errors;

    // The disks: taken out into disks/<n>, the last one asked for still in the drive.
    const std::string log = ReadHost(Prefix() + "/windows.log");
    std::vector<int> asked;
    for (size_t at = 0; (at = log.find("Please insert disk ", at)) != std::string::npos; at += 19)
        asked.push_back(std::atoi(log.c_str() + at + 19));
    ASSERT_GE(asked.size(), 2u) << log << errors;
    EXPECT_EQ(log.substr(0, log.find('\n')), "message Test Setup: Please insert disk 2") << log;
    const int inDrive = asked.back();
    EXPECT_EQ(inDrive, 1) << log;  // the headers are written last, on the first disk
    auto onDisk = [&](int n, const std::string& name) {
        return n == inDrive ? DriveA(name) : Prefix() + "/disks/" + std::to_string(n) + "/" + name;
    };
    const std::string exe = ReadHost(onDisk(1, "setup.exe"));
    ASSERT_EQ(exe.size(), loader.size() + 56);
    EXPECT_EQ(exe.substr(0, loader.size()), loader);
    EXPECT_EQ(exe.substr(loader.size(), 16), std::string("\x0eNOTSELFEXTRACT\0", 16));
    EXPECT_EQ(ReadHost(onDisk(1, "setup.1")), setup1);

    // The volumes end to end: each entry's data where the spanned headers say, byte for byte as built.
    std::vector<std::string> volumes{ReadHost(onDisk(1, "files.1"))};
    for (int n = 2; HostExists(onDisk(n, "files." + std::to_string(n))); ++n)
        volumes.push_back(ReadHost(onDisk(n, "files." + std::to_string(n))));
    ASSERT_GE(volumes.size(), 2u);
    const std::vector<TLaidHeader> spanned = Headers(volumes[0]);
    ASSERT_EQ(spanned.size(), 2u);
    EXPECT_NE(volumes[0][4], 0);
    std::vector<int64_t> volumeStart{0};
    std::string joined;
    for (const std::string& volume : volumes) {
        joined += volume;
        volumeStart.push_back(static_cast<int64_t>(joined.size()));
    }
    for (size_t i = 0; i < spanned.size(); ++i) {
        const TLaidHeader& h = spanned[i];
        const int64_t first = volumeStart[h.Volume(TEntryHeader::StartVolumeAt) - 1] + h.At(TEntryHeader::DataStartAt);
        const int64_t last =
            volumeStart[h.Volume(TEntryHeader::EndVolumeAt) - 1] + h.At(TEntryHeader::LastBytePositionAt);
        const std::string& b = built[i].Bytes;
        EXPECT_EQ(b.substr(TEntryHeader::SourcePathAt, 100), h.Bytes.substr(TEntryHeader::SourcePathAt, 100));
        EXPECT_EQ(joined.substr(first, last - first + 1),
                  files1.substr(built[i].At(TEntryHeader::DataStartAt), built[i].At(TEntryHeader::CompressedSizeAt)))
            << i;
    }
    EXPECT_EQ(spanned[0].At(TEntryHeader::DataStartAt), table);
    // data.bin starts on disk 1 and goes on to disk 2 after three whole chunks.
    const TLaidHeader& data = spanned[big];
    EXPECT_EQ(data.Volume(TEntryHeader::StartVolumeAt), 1);
    EXPECT_EQ(data.Volume(TEntryHeader::EndVolumeAt), static_cast<int>(volumes.size()));
    EXPECT_EQ(static_cast<int64_t>(volumes[0].size()) - data.At(TEntryHeader::DataStartAt), 3 * 8192);
    const int64_t used = static_cast<int64_t>(exe.size() + setup1.size() + volumes[0].size());
    EXPECT_EQ(capacity - used, 6000);
}
