#include <gtest/gtest.h>

#include <climits>

#include "platform/rtl/SysUtils.h"
#include "tests/platform/rtl/TestFileSystem.h"

using namespace rtl;

TEST(IntegerParsing, AcceptsSignsDecimalAndBothHexadecimalForms)
{
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("+17"), 17);
    EXPECT_EQ(StrToInt("-17"), -17);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x1f"), 31);
    EXPECT_EQ(StrToInt("0X1F"), 31);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("2147483647"), INT_MAX);
    EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
    // Hexadecimal fills 32 bits, so all ones is -1.
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64("$100000000"), 0x100000000LL);
}

TEST(IntegerParsing, RejectsJunkBlanksEmptyTextAndOverflow)
{
    for (const char* bad : {"", " 12", "12 ", "12a", "+", "-", "$", "0x", "1.0", "--1", "2147483648",
                            "-2147483649", "$100000000", "99999999999999999999"}) {
        int value = 42;
        EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
        EXPECT_EQ(value, 42) << "a failed parse leaves the value alone";
        EXPECT_EQ(StrToIntDef(bad, -7), -7) << bad;
    }
    try {
        StrToInt("12a");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_THROW(StrToInt64(""), EConvertError);
}

TEST(NumberText, IntegersHexadecimalAndFloats)
{
    EXPECT_EQ(IntToStr(-5), "-5");
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t{-1}, 1), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(0, 0), "0");

    EXPECT_EQ(FloatToStr(0), "0");
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    EXPECT_EQ(FloatToStr(-0.25), "-0.25");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(100), "100");
    EXPECT_EQ(FloatToStr(1e20), "1E20");
    EXPECT_EQ(FloatToStr(1.5e-7), "1.5E-7");
    EXPECT_EQ(FloatToStr(123456789012345678.0), "1.23456789012346E17");
    EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");

    EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat(" -.5 "), -0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("+2e3"), 2000);
    for (const char* bad : {"", "1,5", "abc", "1.5x", ".", "e3", "--1"})
        EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
    EXPECT_DOUBLE_EQ(StrToFloatDef("x", 2.5), 2.5);
}

// Round breaks ties toward the even neighbour; MulDiv breaks them away from zero and computes in 64 bits.
TEST(NumberRounding, RoundHalvesToEvenAndMulDivAwayFromZero)
{
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(-3.5), -4);
    EXPECT_EQ(Round(273.4999), 273);
    EXPECT_EQ(Trunc(-272.9), -272);
    EXPECT_EQ(Trunc(272.9), 272);

    EXPECT_EQ(MulDiv(1, 255, 2), 128);    // 127.5 up
    EXPECT_EQ(MulDiv(-1, 255, 2), -128);  // -127.5 away from zero
    EXPECT_EQ(MulDiv(1, -255, -2), 128);
    EXPECT_EQ(MulDiv(100, 255, 127), 201);  // 200.79
    EXPECT_EQ(MulDiv(2000000000, 2, 4), 1000000000);  // the product does not fit 32 bits
    EXPECT_EQ(MulDiv(2000000000, 4, 2), -1);          // the result does not
    EXPECT_EQ(MulDiv(7, 3, 0), -1);
}

TEST(StringHelpers, TrimCaseAndComparison)
{
    EXPECT_EQ(Trim("\t\r\n a b \x01"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
    // Only ASCII letters change in the plain forms; the Ansi forms know the code page.
    EXPECT_EQ(UpperCase("ab\xE9z"), "AB\xE9Z");
    EXPECT_EQ(LowerCase("AB\xC9Z"), "ab\xC9z");
    EXPECT_EQ(AnsiUpperCase("\xE9\x9A\xFF\xF7"), "\xC9\x8A\x9F\xF7");
    EXPECT_EQ(AnsiLowerCase("\xC9\x8A\x9F\xD7"), "\xE9\x9A\xFF\xD7");
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    EXPECT_TRUE(SameText("Hello", "hELLO"));
    EXPECT_FALSE(SameText("\xE9", "\xC9"));
    EXPECT_TRUE(AnsiSameText("\xE9", "\xC9"));
    EXPECT_LT(CompareStr("B", "a"), 0);
    EXPECT_GT(CompareStr("\x80", "a"), 0) << "bytes compare unsigned";
}

TEST(StringHelpers, ReplaceAndQuote)
{
    EXPECT_EQ(StringReplace("aXbXc", "X", "--", rfNone), "a--bXc");
    EXPECT_EQ(StringReplace("aXbXc", "X", "--", rfReplaceAll), "a--b--c");
    EXPECT_EQ(StringReplace("axbXc", "X", "", rfReplaceAll | rfIgnoreCase), "abc");
    EXPECT_EQ(StringReplace("aaa", "aa", "b", rfReplaceAll), "ba") << "no overlapping matches";
    EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
    EXPECT_EQ(StringReplace("abab", "ab", "abab", rfReplaceAll), "abababab") << "replacements are not rescanned";
    EXPECT_EQ(QuotedStr("It's"), "'It''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(AnsiDequotedStr("\"a\"\"b\"tail", '"'), "a\"b");
    EXPECT_EQ(AnsiDequotedStr("plain", '"'), "plain");
}

TEST(OneBasedHelpers, CopyPosAtTheirBoundaries)
{
    EXPECT_EQ(Copy("abcdef", 1, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 0, 2), "ab") << "index below 1 counts as 1";
    EXPECT_EQ(Copy("abcdef", -5, 3), "abc");
    EXPECT_EQ(Copy("abcdef", 6, 5), "f") << "count clipped";
    EXPECT_EQ(Copy("abcdef", 7, 1), "");
    EXPECT_EQ(Copy("abcdef", 2, 0), "");
    EXPECT_EQ(Copy("abcdef", 2, -1), "");
    EXPECT_EQ(Copy("abc", 2, INT_MAX), "bc");

    EXPECT_EQ(Pos("a", "abca"), 1);
    EXPECT_EQ(Pos("ca", "abca"), 3);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("abcd", "abc"), 0);
    EXPECT_EQ(PosEx("a", "abca", 2), 4);
    EXPECT_EQ(PosEx("a", "abca", 5), 0);
    EXPECT_EQ(LastDelimiter("\\:", "C:\\a\\b"), 5);
    EXPECT_EQ(LastDelimiter(".", "abc"), 0);
}

TEST(OneBasedHelpers, DeleteAndInsertAtTheirBoundaries)
{
    auto deleted = [](AnsiString s, int index, int count) {
        Delete(s, index, count);
        return s;
    };
    EXPECT_EQ(deleted("abcdef", 1, 1), "bcdef");
    EXPECT_EQ(deleted("abcdef", 6, 1), "abcde");
    EXPECT_EQ(deleted("abcdef", 3, 100), "ab");
    EXPECT_EQ(deleted("abcdef", 0, 2), "abcdef") << "index outside 1..length removes nothing";
    EXPECT_EQ(deleted("abcdef", 7, 2), "abcdef");
    EXPECT_EQ(deleted("abcdef", 2, 0), "abcdef");

    auto inserted = [](const AnsiString& sub, AnsiString s, int index) {
        Insert(sub, s, index);
        return s;
    };
    EXPECT_EQ(inserted("X", "abc", 1), "Xabc");
    EXPECT_EQ(inserted("X", "abc", 0), "Xabc");
    EXPECT_EQ(inserted("X", "abc", 3), "abXc");
    EXPECT_EQ(inserted("X", "abc", 4), "abcX");
    EXPECT_EQ(inserted("X", "abc", 99), "abcX");
}

TEST(PathNames, FoldersNamesAndExtensions)
{
    EXPECT_EQ(ExtractFilePath("C:\\dir\\file.txt"), "C:\\dir\\");
    EXPECT_EQ(ExtractFilePath("C:file.txt"), "C:");
    EXPECT_EQ(ExtractFilePath("file.txt"), "");
    EXPECT_EQ(ExtractFileDir("C:\\dir\\file.txt"), "C:\\dir");
    EXPECT_EQ(ExtractFileDir("C:\\file.txt"), "C:\\") << "a drive root keeps its delimiter";
    EXPECT_EQ(ExtractFileDir("\\file.txt"), "\\");
    EXPECT_EQ(ExtractFileDir("\\\\server\\share\\file"), "\\\\server\\share");
    EXPECT_EQ(ExtractFileName("C:\\dir\\file.txt"), "file.txt");
    EXPECT_EQ(ExtractFileName("C:file.txt"), "file.txt");
    EXPECT_EQ(ExtractFileName("C:\\dir\\"), "");
    EXPECT_EQ(ExtractFileName("a/b"), "a/b") << "'/' is not a delimiter";

    EXPECT_EQ(ExtractFileExt("C:\\dir\\file.txt"), ".txt");
    EXPECT_EQ(ExtractFileExt("C:\\dir.old\\file"), "") << "a dot in a folder name is no extension";
    EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
    EXPECT_EQ(ExtractFileExt("file."), ".");
    EXPECT_EQ(ChangeFileExt("C:\\dir\\file.txt", ".bak"), "C:\\dir\\file.bak");
    EXPECT_EQ(ChangeFileExt("C:\\dir.old\\file", ".bak"), "C:\\dir.old\\file.bak");
    EXPECT_EQ(ChangeFileExt("file.txt", ""), "file");
}

TEST(PathNames, DrivesAndTrailingDelimiters)
{
    EXPECT_EQ(ExtractFileDrive("C:\\dir\\file"), "C:");
    EXPECT_EQ(ExtractFileDrive("c:"), "c:");
    EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir\\file"), "\\\\server\\share");
    EXPECT_EQ(ExtractFileDrive("\\\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(ExtractFileDrive("\\\\server"), "\\\\server");
    EXPECT_EQ(ExtractFileDrive("\\dir\\file"), "");
    EXPECT_EQ(ExtractFileDrive(""), "");

    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\dir"), "C:\\dir\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "\\");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\"), "C:");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\dir"), "C:\\dir");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(""), "");
}

TEST(ErrorTexts, InputOutputAndSystemMessages)
{
    EXPECT_EQ(InOutErrorText(2), "File not found");
    EXPECT_EQ(InOutErrorText(101), "Disk full");
    EXPECT_EQ(InOutErrorText(106), "Invalid numeric input");
    EXPECT_EQ(InOutErrorText(999), "I/O error 999");
    EXPECT_EQ(EInOutError(100).Message(), "Read beyond end of file");
    EXPECT_EQ(EInOutError(100).ErrorCode, 100);
    EXPECT_EQ(SysErrorMessage(5), "Access is denied.");
    EXPECT_EQ(SysErrorMessage(1234), "Error 1234");
    EXPECT_EQ(EReadError().Message(), "Stream read error");
    EXPECT_EQ(EWriteError().Message(), "Stream write error");
}

TEST(FileFunctions, GoThroughTheInstalledFileSystem)
{
    rtltest::FileSystemFixture fixture;
    fixture.fs.WriteHostFile("C:\\dir\\a.txt", "x");
    EXPECT_TRUE(FileExists("C:\\dir\\a.txt"));
    EXPECT_FALSE(FileExists("C:\\dir"));
    EXPECT_TRUE(DirectoryExists("C:\\dir"));
    EXPECT_FALSE(DirectoryExists("C:\\dir\\a.txt"));
    EXPECT_TRUE(DeleteFile("C:\\dir\\a.txt"));
    EXPECT_FALSE(FileExists("C:\\dir\\a.txt"));
    EXPECT_FALSE(DeleteFile("C:\\dir\\a.txt"));
}
