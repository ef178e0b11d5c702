#include <gtest/gtest.h>

#include <cstring>

#include "platform/rtl/Classes.h"
#include "tests/platform/rtl/TestFileSystem.h"

using namespace rtl;

namespace {

AnsiString Contents(TMemoryStream& stream)
{
    return AnsiString(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

}  // namespace

TEST(MemoryStream, ReadWriteSeekAndSize)
{
    TMemoryStream stream;
    stream.WriteBuffer("hello", 5);
    EXPECT_EQ(stream.Position(), 5);
    EXPECT_EQ(stream.Size(), 5);
    stream.Seek(-2, soEnd);
    stream.WriteBuffer("LOWORLD", 7);
    EXPECT_EQ(Contents(stream), "helLOWORLD");
    stream.SetPosition(12);
    stream.WriteBuffer("!", 1);
    EXPECT_EQ(Contents(stream), AnsiString("helLOWORLD\0\0!", 13)) << "a gap is filled with zeros";
    char buffer[4] = {};
    stream.SetPosition(0);
    EXPECT_EQ(stream.Read(buffer, 3), 3);
    EXPECT_EQ(std::memcmp(buffer, "hel", 3), 0);
    stream.SetSize(2);
    EXPECT_EQ(stream.Position(), 2) << "shrinking pulls the position back";
    EXPECT_EQ(stream.Read(buffer, 4), 0);
    EXPECT_THROW(stream.Seek(-3, soCurrent), EStreamError);
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

TEST(MemoryStream, ShortTransfersRaise)
{
    TMemoryStream stream;
    stream.WriteBuffer("abc", 3);
    stream.SetPosition(1);
    char buffer[8];
    try {
        stream.ReadBuffer(buffer, 3);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
    stream.SetPosition(0);
    EXPECT_NO_THROW(stream.ReadBuffer(buffer, 3));
    EXPECT_NO_THROW(stream.ReadBuffer(buffer, 0));
}

TEST(StreamCopy, CopyFromCountsAndWholeSources)
{
    TStringStream source("0123456789");
    TMemoryStream target;
    source.SetPosition(2);
    EXPECT_EQ(target.CopyFrom(source, 3), 3);
    EXPECT_EQ(Contents(target), "234");
    EXPECT_EQ(source.Position(), 5);
    EXPECT_EQ(target.CopyFrom(source, 0), 10) << "0 copies all of the source from its start";
    EXPECT_EQ(Contents(target), "2340123456789");
    source.SetPosition(8);
    EXPECT_THROW(target.CopyFrom(source, 5), EReadError);

    // Larger than one internal chunk.
    TMemoryStream big;
    AnsiString bytes(200000, 'x');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    big.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    TMemoryStream copy;
    copy.CopyFrom(big, 0);
    EXPECT_EQ(Contents(copy), bytes);
}

TEST(StringStream, ReadsAndExtendsItsString)
{
    TStringStream stream("abc");
    EXPECT_EQ(stream.ReadString(2), "ab");
    EXPECT_EQ(stream.ReadString(5), "c");
    stream.WriteString("de");
    EXPECT_EQ(stream.DataString(), "abcde");
    stream.SetPosition(1);
    stream.WriteString("X");
    EXPECT_EQ(stream.DataString(), "aXcde");
}

class FileStreams : public ::testing::Test {
protected:
    void SetUp() override { fixture.fs.WriteHostFile("C:\\dir\\data.bin", "0123456789"); }
    rtltest::FileSystemFixture fixture;
};

TEST_F(FileStreams, ReadWriteAndCreate)
{
    {
        TFileStream file("C:\\dir\\data.bin", fmOpenReadWrite);
        EXPECT_EQ(file.Size(), 10);
        file.Seek(4, soBeginning);
        file.WriteBuffer("AB", 2);
        char buffer[3];
        file.ReadBuffer(buffer, 3);
        EXPECT_EQ(AnsiString(buffer, 3), "678");
        EXPECT_THROW(file.ReadBuffer(buffer, 3), EReadError);
    }
    EXPECT_EQ(fixture.fs.ReadHostFile("C:\\dir\\data.bin"), "0123AB6789");
    {
        TFileStream file("C:\\dir\\data.bin", fmCreate);
        EXPECT_EQ(file.Size(), 0) << "fmCreate empties an existing file";
        file.WriteBuffer("new", 3);
    }
    EXPECT_EQ(fixture.fs.ReadHostFile("C:\\dir\\data.bin"), "new");
    TMemoryStream memory;
    memory.LoadFromFile("C:\\dir\\data.bin");
    EXPECT_EQ(Contents(memory), "new");
    memory.WriteBuffer("er", 2);
    memory.SaveToFile("C:\\dir\\copy.bin");
    EXPECT_EQ(fixture.fs.ReadHostFile("C:\\dir\\copy.bin"), "erw") << "written from the start";
}

TEST_F(FileStreams, OpenFailuresNameTheFileAndTheReason)
{
    try {
        TFileStream file("C:\\dir\\none.bin", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"C:\\dir\\none.bin\". The system cannot find the file specified.");
    }
    try {
        TFileStream file("C:\\nodir\\new.bin", fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"C:\\nodir\\new.bin\". The system cannot find the path specified.");
    }
    fixture.fs.DenyAccess("C:\\dir\\data.bin");
    try {
        TFileStream file("C:\\dir\\data.bin", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"C:\\dir\\data.bin\". Access is denied.");
    }
    EXPECT_THROW(TFileStream("C:\\dir\\x.bin", fmOpenRead | 3), EFOpenError) << "no such access mode";
}

TEST_F(FileStreams, ShareModesDecideWhoElseMayOpen)
{
    const AnsiString path = "C:\\dir\\data.bin";
    auto opens = [&](uint16_t mode) {
        try {
            TFileStream other(path, mode);
            return true;
        } catch (const EFOpenError& e) {
            EXPECT_NE(e.Message().find("being used by another process"), AnsiString::npos);
            return false;
        }
    };
    {
        TFileStream held(path, fmOpenRead | fmShareExclusive);
        EXPECT_FALSE(opens(fmOpenRead | fmShareDenyNone));
    }
    {
        TFileStream held(path, fmOpenRead | fmShareCompat);
        EXPECT_FALSE(opens(fmOpenRead | fmShareDenyNone)) << "compatibility mode is exclusive";
    }
    {
        TFileStream held(path, fmOpenRead | fmShareDenyWrite);
        EXPECT_TRUE(opens(fmOpenRead | fmShareDenyWrite));
        EXPECT_FALSE(opens(fmOpenWrite | fmShareDenyNone));
    }
    {
        TFileStream held(path, fmOpenWrite | fmShareDenyRead);
        EXPECT_FALSE(opens(fmOpenRead | fmShareDenyNone));
        EXPECT_TRUE(opens(fmOpenWrite | fmShareDenyNone));
    }
    {
        TFileStream held(path, fmOpenReadWrite | fmShareDenyNone);
        EXPECT_TRUE(opens(fmOpenReadWrite | fmShareDenyNone));
        EXPECT_FALSE(opens(fmOpenRead | fmShareDenyWrite)) << "the holder writes, so denying writes fails";
    }
    EXPECT_TRUE(opens(fmOpenRead | fmShareExclusive)) << "closed streams hold nothing";
}
