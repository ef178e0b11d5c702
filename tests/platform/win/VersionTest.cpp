#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/PeImage.h"
#include "platform/win/SystemInfo.h"
#include "platform/win/Version.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/support/PeFiles.h"

using namespace win;

namespace {

class VersionTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        ASSERT_TRUE(CreateDirectory("C:\\ver", nullptr));
    }

    static testpe::TVersionLayout SampleLayout()
    {
        testpe::TVersionLayout layout;
        layout.FileVersion = "1.2.3.4";
        layout.ProductVersion = "5.6.7.8";
        layout.Values = {{"CompanyName", "Halvern"}, {"FileVersion", "1.2.3.4"}, {"FileDescription", "Caf\xE9 \x80 Zed"},
                       {"Comments", ""}};
        return layout;
    }

    // The version information of a file, as an 8-bit program reads it; empty when there is none.
    static std::string Info(const std::string& path, DWORD* error = nullptr)
    {
        DWORD handle = 99;
        const DWORD size = GetFileVersionInfoSize(path.c_str(), &handle);
        if (error)
            *error = GetLastError();
        EXPECT_EQ(handle, 0u);
        if (size == 0)
            return {};
        std::string data(size, '\0');
        EXPECT_TRUE(GetFileVersionInfo(path.c_str(), 0, size, data.data()));
        return data;
    }

    static std::string Text(const std::string& info, const char* path)
    {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValue(info.data(), path, &value, &length))
            return "<none>";
        EXPECT_EQ(length, std::strlen(static_cast<const char*>(value)) + 1) << path;
        return static_cast<const char*>(value);
    }

    static DWORD ErrorOf(const std::string& bytes)
    {
        std::string resource;
        return FindVersionResource(TMemoryImageBytes(bytes), resource);
    }
};

}  // namespace

TEST(VersionBlockTest, NodesAreLaidOutInTheClassicLayout)
{
    TVersionInfoDescription description;
    description.Fixed.dwFileVersionMS = 0x00010002;
    std::string root = BuildVersionInfo(description);
    // Header, "VS_VERSION_INFO" with its zero, two bytes of padding, the 52-byte fixed part.
    ASSERT_EQ(root.size(), 92u);
    EXPECT_EQ(testpe::Get32(root, 0), 92u | 52u << 16);
    EXPECT_EQ(root[4], 0);  // binary
    EXPECT_EQ(root.substr(6, 4), std::string("V\0S\0", 4));
    EXPECT_EQ(testpe::Get32(root, 40), VS_FFI_SIGNATURE);
    EXPECT_EQ(testpe::Get32(root, 48), 0x00010002u);

    description.StringTables = {{"040904E4", {{"A", "xy"}}}};
    description.Translations = {0x04E40409};
    const std::string full = BuildVersionInfo(description);
    // StringFileInfo (36 + table "040904E4" of 24 + string "A" of 18) at 92; VarFileInfo (32 + "Translation"
    // of 36) at 172.
    ASSERT_EQ(full.size(), 240u);
    EXPECT_EQ(testpe::Get32(full, 92), 78u);
    EXPECT_EQ(full[96], 1);  // text
    EXPECT_EQ(testpe::Get32(full, 128) & 0xFFFF, 42u);
    EXPECT_EQ(testpe::Get32(full, 152), 18u | 3u << 16);  // "xy" with its zero is three characters
    EXPECT_EQ(testpe::Get32(full, 172) & 0xFFFF, 68u);
    EXPECT_EQ(testpe::Get32(full, 204), 36u | 4u << 16);
    EXPECT_EQ(testpe::Get32(full, 236), 0x04E40409u);

    TVersionInfoDescription huge;
    huge.StringTables = {{"040904E4", {{"Big", std::string(40000, 'x')}}}};
    EXPECT_THROW(BuildVersionInfo(huge), rtl::Exception);
}

TEST(VersionBlockTest, FileVersionTexts)
{
    DWORD ms = 0;
    DWORD ls = 0;
    ASSERT_TRUE(ParseFileVersion("1.0.0.56", ms, ls));
    EXPECT_EQ(ms, 0x00010000u);
    EXPECT_EQ(ls, 0x00000038u);
    ASSERT_TRUE(ParseFileVersion("65535.2", ms, ls));
    EXPECT_EQ(ms, 0xFFFF0002u);
    EXPECT_EQ(ls, 0u);
    for (const char* bad : {"", "1..2", "1.2.", ".1", "1.2.3.4.5", "65536", "1.x", "-1", " 1"})
        EXPECT_FALSE(ParseFileVersion(bad, ms, ls)) << bad;
}

TEST_F(VersionTest, ReadsTheVersionResourceOfPe32AndPe32PlusFiles)
{
    const std::string block = testpe::VersionBlock(SampleLayout());
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "PE32+" : "PE32");
        ASSERT_TRUE(WriteWindows("C:\\ver\\app.exe", testpe::BuildPe(block, {.Wide = wide}).Bytes));
        const std::string info = Info("C:\\ver\\app.exe");
        ASSERT_GT(info.size(), block.size());

        void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValue(info.data(), "\\", &value, &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00050006u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0x00070008u);
        EXPECT_EQ(fixed->dwFileOS, VOS__WINDOWS32);
        EXPECT_EQ(fixed->dwFileType, VFT_APP);

        ASSERT_TRUE(VerQueryValue(info.data(), "\\VarFileInfo\\Translation", &value, &length));
        ASSERT_EQ(length, 4u);
        EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
        EXPECT_EQ(static_cast<const WORD*>(value)[1], 1252);

        EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\CompanyName"), "Halvern");
        EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\FileDescription"), "Caf\xE9 \x80 Zed");
        // Keys are found without regard to case, with or without the leading backslash.
        EXPECT_EQ(Text(info, "\\stringfileinfo\\040904e4\\FILEVERSION"), "1.2.3.4");
        EXPECT_EQ(Text(info, "StringFileInfo\\040904E4\\CompanyName"), "Halvern");
        EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\Comments"), "");
        EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\ProductName"), "<none>");
        EXPECT_EQ(Text(info, "\\StringFileInfo\\040704E4\\CompanyName"), "<none>");
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
}

TEST_F(VersionTest, TextsOutsideTheCodePageBecomeQuestionMarks)
{
    std::string block = testpe::VersionBlock(SampleLayout());
    // "Zed" -> CJK ideograph, then a lone surrogate.
    const size_t zed = block.find(std::string("Z\0e\0d\0", 6));
    ASSERT_NE(zed, std::string::npos);
    testpe::Put16(block, zed, 0x4E2D);
    testpe::Put16(block, zed + 2, 0xD800);
    std::string info;
    ASSERT_EQ(VersionInfoFromResource(block, info), ERROR_SUCCESS);
    EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\FileDescription"), "Caf\xE9 \x80 ??d");
}

TEST_F(VersionTest, OurOwnExecutableCarriesItsVersionBlock)
{
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileName(nullptr, path, sizeof path), 0u);
    const std::string info = Info(path);
    ASSERT_FALSE(info.empty()) << GetLastError();
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValue(info.data(), "\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000011u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\FileVersion"), "2.5.0.17");
    EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\FileDescription"), "Caf\xE9 tests");
    EXPECT_EQ(Text(info, "\\StringFileInfo\\040904E4\\InternalName"), "");
}

TEST_F(VersionTest, FilesWithoutVersionInformationSayWhy)
{
    const std::string block = testpe::VersionBlock(SampleLayout());
    const struct {
        const char* What;
        std::string Bytes;
        DWORD Error;
    } cases[] = {
        {"empty", "", ERROR_BAD_EXE_FORMAT},
        {"text", "just some text, long enough to have a header of sorts: " + std::string(80, '.'),
         ERROR_BAD_EXE_FORMAT},
        {"no resources", testpe::BuildPe(block, {.ResourceSection = false}).Bytes, ERROR_RESOURCE_DATA_NOT_FOUND},
        {"other resources", testpe::BuildPe(block, {.VersionType = false}).Bytes, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"elf without section", testpe::BuildElf(nullptr).Bytes, ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteWindows("C:\\ver\\file.bin", c.Bytes));
        DWORD error = 0;
        EXPECT_EQ(Info("C:\\ver\\file.bin", &error), "") << c.What;
        EXPECT_EQ(error, c.Error) << c.What;
    }
    DWORD error = 0;
    EXPECT_EQ(Info("C:\\ver\\missing.exe", &error), "");
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

    // A version resource that is no VS_VERSIONINFO block.
    std::string wrongKey = block;
    wrongKey[6] = 'W';
    ASSERT_TRUE(WriteWindows("C:\\ver\\file.bin", testpe::BuildPe(wrongKey).Bytes));
    EXPECT_EQ(Info("C:\\ver\\file.bin", &error), "");
    EXPECT_EQ(error, ERROR_INVALID_DATA);
}

TEST_F(VersionTest, ALockedFileCannotBeRead)
{
    ASSERT_TRUE(WriteWindows("C:\\ver\\app.exe", testpe::BuildPe(testpe::VersionBlock(SampleLayout())).Bytes));
    HANDLE lock = CreateFile("C:\\ver\\app.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    DWORD error = 0;
    EXPECT_EQ(Info("C:\\ver\\app.exe", &error), "");
    EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
    CloseHandle(lock);
    EXPECT_NE(Info("C:\\ver\\app.exe"), "");
}

TEST_F(VersionTest, TooSmallABufferIsRefusedAndLeftAlone)
{
    ASSERT_TRUE(WriteWindows("C:\\ver\\app.exe", testpe::BuildPe(testpe::VersionBlock(SampleLayout())).Bytes));
    const DWORD size = GetFileVersionInfoSize("C:\\ver\\app.exe", nullptr);
    ASSERT_GT(size, 0u);
    std::string data(size, '#');
    EXPECT_FALSE(GetFileVersionInfo("C:\\ver\\app.exe", 0, size - 1, data.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(data, std::string(size, '#'));

    // A block that did not come from GetFileVersionInfo has no 8-bit texts to hand out.
    std::string raw = testpe::VersionBlock(SampleLayout()) + std::string(64, '\0');
    void* value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValue(raw.data(), "\\", &value, &length));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(VersionTest, CorruptHeadersAndDirectoriesAreRefused)
{
    const std::string block = testpe::VersionBlock(SampleLayout());
    const testpe::TPeFile pe = testpe::BuildPe(block);
    ASSERT_EQ(ErrorOf(pe.Bytes), ERROR_SUCCESS);
    auto patched = [&](size_t offset, uint32_t value, bool word = false) {
        std::string bytes = pe.Bytes;
        word ? testpe::Put16(bytes, offset, value) : testpe::Put32(bytes, offset, value);
        return bytes;
    };
    const uint32_t highBit = 0x80000000u;
    const struct {
        const char* What;
        std::string Bytes;
        DWORD Error;
    } cases[] = {
        {"PE header past the end", patched(0x3C, 0x7FFFFFF0), ERROR_BAD_EXE_FORMAT},
        {"no PE signature", patched(0x80, 0x00004550 ^ 0xFF), ERROR_BAD_EXE_FORMAT},
        {"unknown optional header", patched(pe.OptionalHeader, 0x999, true), ERROR_BAD_EXE_FORMAT},
        {"optional header too small", patched(0x80 + 20, 8, true), ERROR_BAD_EXE_FORMAT},
        {"section table past the end", patched(0x80 + 6, 0xFFFF, true), ERROR_BAD_EXE_FORMAT},
        {"directory outside every section", patched(pe.DataDirectory, 0x90000000), ERROR_RESOURCE_DATA_NOT_FOUND},
        {"directory larger than its section", patched(pe.DataDirectory + 4, 0x7FFFFFFF), ERROR_SUCCESS},
        {"entry count past the directory", patched(pe.Resources + 14, 0xFFFF, true), ERROR_RESOURCE_DATA_NOT_FOUND},
        {"type leads to a data entry", patched(pe.VersionTypeEntry + 4, 16), ERROR_RESOURCE_DATA_NOT_FOUND},
        {"type leads past the directory", patched(pe.VersionTypeEntry + 4, highBit | 0xFFFFFF),
         ERROR_RESOURCE_DATA_NOT_FOUND},
        {"empty name level", patched(pe.NameDirectory + 14, 0, true), ERROR_RESOURCE_NAME_NOT_FOUND},
        {"empty language level", patched(pe.LanguageDirectory + 14, 0, true), ERROR_RESOURCE_LANG_NOT_FOUND},
        // Directories that point back at themselves or at the root: the walk stops at its fixed depth.
        {"directory loop",
         patched(pe.NameDirectory + 20, highBit | static_cast<uint32_t>(pe.NameDirectory - pe.Resources)),
         ERROR_RESOURCE_DATA_NOT_FOUND},
        {"loop to the root", patched(pe.VersionTypeEntry + 4, highBit | 0), ERROR_RESOURCE_LANG_NOT_FOUND},
        {"data outside every section", patched(pe.DataEntry, 0x00100000), ERROR_RESOURCE_DATA_NOT_FOUND},
        {"data longer than its section", patched(pe.DataEntry + 4, 0xFFFFFFFF), ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.Bytes), c.Error) << c.What;
}

TEST_F(VersionTest, TruncatedFilesNeverReadPastTheirEnd)
{
    const std::string block = testpe::VersionBlock(SampleLayout());
    for (bool wide : {false, true}) {
        const testpe::TPeFile pe = testpe::BuildPe(block, {.Wide = wide});
        for (size_t length = 0; length < pe.Bytes.size(); ++length) {
            const DWORD error = ErrorOf(pe.Bytes.substr(0, length));
            if (length >= pe.Block + block.size())
                EXPECT_EQ(error, ERROR_SUCCESS) << length;
            else
                EXPECT_NE(error, ERROR_SUCCESS) << length;
        }
    }
    const std::string elf = testpe::BuildElf(&block).Bytes;
    std::string resource;
    ASSERT_EQ(FindVersionResource(TMemoryImageBytes(elf), resource), ERROR_SUCCESS);
    EXPECT_EQ(resource, block);
    for (size_t length = 0; length < elf.size(); ++length)
        EXPECT_NE(ErrorOf(elf.substr(0, length)), ERROR_SUCCESS) << length;

    // And through the file functions.
    const testpe::TPeFile pe = testpe::BuildPe(block);
    ASSERT_TRUE(WriteWindows("C:\\ver\\cut.exe", pe.Bytes.substr(0, pe.Block + 10)));
    DWORD error = 0;
    EXPECT_EQ(Info("C:\\ver\\cut.exe", &error), "");
    EXPECT_EQ(error, ERROR_RESOURCE_DATA_NOT_FOUND);
}

TEST_F(VersionTest, CorruptElfHeaders)
{
    const std::string block = testpe::VersionBlock(SampleLayout());
    const testpe::TElfFile elf = testpe::BuildElf(&block);
    std::string bytes = elf.Bytes;
    testpe::Put16(bytes, 0x3E, 7);  // section-name table past the count
    EXPECT_EQ(ErrorOf(bytes), ERROR_BAD_EXE_FORMAT);
    bytes = elf.Bytes;
    testpe::Put64(bytes, 0x28, ~uint64_t{0} - 8);  // section table at the end of all numbers
    EXPECT_EQ(ErrorOf(bytes), ERROR_BAD_EXE_FORMAT);
    bytes = elf.Bytes;
    testpe::Put64(bytes, elf.VersionSectionHeader + 24, ~uint64_t{0});
    EXPECT_EQ(ErrorOf(bytes), ERROR_RESOURCE_DATA_NOT_FOUND);
    bytes = elf.Bytes;
    testpe::Put32(bytes, elf.VersionSectionHeader, 0xFFFFFFF0);  // name past the name table
    EXPECT_EQ(ErrorOf(bytes), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

// Random damage anywhere in a file or in its block: every answer is an error code or a block whose
// queries stay inside the data.
TEST_F(VersionTest, DamagedFilesAndBlocksAreSafe)
{
    testpe::TVersionLayout layout = SampleLayout();
    const std::string block = testpe::VersionBlock(layout);
    const testpe::TPeFile pe = testpe::BuildPe(block);
    std::mt19937 random(1812);
    const char* const paths[] = {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904E4\\CompanyName",
                                 "\\StringFileInfo\\040904E4\\FileDescription", "\\StringFileInfo\\040904E4\\Comments",
                                 "\\StringFileInfo\\040904E4", "\\StringFileInfo"};
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < 4000; ++round) {
        std::string bytes = pe.Bytes;
        const bool inBlock = round % 2 == 0;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            const size_t offset = inBlock ? pe.Block + random() % block.size() : random() % (pe.Block + 16);
            bytes[offset % bytes.size()] = static_cast<char>(random());
        }
        std::string resource;
        if (FindVersionResource(TMemoryImageBytes(bytes), resource) != ERROR_SUCCESS)
            continue;
        std::string info;
        if (VersionInfoFromResource(resource, info) != ERROR_SUCCESS)
            continue;
        for (const char* path : paths) {
            void* value = nullptr;
            UINT length = 0;
            if (!VerQueryValue(info.data(), path, &value, &length))
                continue;
            const char* begin = info.data();
            const char* at = static_cast<const char*>(value);
            ASSERT_GE(at, begin);
            ASSERT_LE(at + length, begin + info.size()) << path;
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}
