#include <gtest/gtest.h>

#include <climits>

#include "platform/rtl/SysUtils.h"

using namespace rtl;

namespace {

void ExpectInvalid(std::string_view format, const std::string& what)
{
    SCOPED_TRACE(what);
    try {
        FormatArgs(format, nullptr, 0);
        FAIL() << "no error for " << format;
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Format '" + AnsiString(format) + "' invalid or incompatible with argument");
    }
}

}  // namespace

TEST(Format, StringsWithWidthAndPrecision)
{
    const AnsiString name = "Scrivane";
    EXPECT_EQ(Format("Hello %s!", name), "Hello Scrivane!");
    EXPECT_EQ(Format("%s/%s", "a", AnsiString("b")), "a/b");
    EXPECT_EQ(Format("[%-10s]", "abc"), "[abc       ]");
    EXPECT_EQ(Format("[%10s]", "abc"), "[       abc]");
    EXPECT_EQ(Format("[%.3s]", "abcdef"), "[abc]");
    EXPECT_EQ(Format("[%2s]", "abcdef"), "[abcdef]") << "width never truncates";
    EXPECT_EQ(Format("%s", 'x'), "x");
    EXPECT_EQ(Format("%s", static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(Format("no placeholders"), "no placeholders");
    EXPECT_EQ(Format("100%%"), "100%");
    EXPECT_EQ(Format("%s", AnsiString("a\0b", 3)), AnsiString("a\0b", 3));
}

TEST(Format, IntegersInEveryForm)
{
    EXPECT_EQ(Format("%d", 42), "42");
    EXPECT_EQ(Format("%d", -42), "-42");
    EXPECT_EQ(Format("%5d|", 42), "   42|");
    EXPECT_EQ(Format("%-5d|", 42), "42   |");
    EXPECT_EQ(Format("%2.2d", 5), "05");
    EXPECT_EQ(Format("%4.4d", 42), "0042");
    EXPECT_EQ(Format("%.3d", -5), "-005");
    EXPECT_EQ(Format("%d", INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Format("%d", UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(Format("%u", -1), "4294967295") << "32-bit arguments give their 32 bits";
    EXPECT_EQ(Format("%u", int64_t{-1}), "18446744073709551615");
    EXPECT_EQ(Format("%x", 255), "FF");
    EXPECT_EQ(Format("%X", 255), "FF");
    EXPECT_EQ(Format("%.4x", 255), "00FF");
    EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
    EXPECT_EQ(Format("%*d|", 4, 7), "   7|");
    EXPECT_EQ(Format("%1:s %0:s %s", "a", "b"), "b a b") << "an index moves the next argument too";
    EXPECT_EQ(Format("%dth file", 3), "3th file");
}

TEST(Format, FloatingPoint)
{
    EXPECT_EQ(Format("%f", 1.5), "1.50") << "two decimals by default";
    EXPECT_EQ(Format("%.2f", 3.14159), "3.14");
    EXPECT_EQ(Format("%.0f", 2.5), "3") << "halves round away from zero";
    EXPECT_EQ(Format("%.2f", 0.125), "0.13");
    EXPECT_EQ(Format("%.2f", -0.001), "0.00");
    EXPECT_EQ(Format("%.1f", 9.96), "10.0");
    EXPECT_EQ(Format("%8.3f|", -1.0), "  -1.000|");
    EXPECT_EQ(Format("%n", 1234567.891), "1,234,567.89");
    EXPECT_EQ(Format("%e", 1.5), "1.50000000000000E+000");
    EXPECT_EQ(Format("%g", 0.5), "0.5");
}

TEST(Format, UntrustedFormatsRaiseInsteadOfMisbehaving)
{
    ExpectInvalid("%s", "placeholder without an argument");
    ExpectInvalid("abc %", "a lone % at the end");
    ExpectInvalid("%5", "width without a conversion");
    ExpectInvalid("%q", "unknown conversion");
    ExpectInvalid("%99999999d", "absurd width");
    EXPECT_THROW(Format("%d", "text"), EConvertError);
    EXPECT_THROW(Format("%s", 5), EConvertError);
    EXPECT_THROW(Format("%f", 5), EConvertError);
    EXPECT_THROW(Format("%d", 1.5), EConvertError);
    EXPECT_THROW(Format("%s %s", "one"), EConvertError);
    EXPECT_THROW(Format("%2:s", "a", "b"), EConvertError);
    EXPECT_THROW(Format("%*d", "w", 1), EConvertError);
    EXPECT_EQ(Format("%s", "used", "extra", 3), "used") << "extra arguments are ignored";
}
