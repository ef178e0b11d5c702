#include <gtest/gtest.h>

#include "platform/rtl/DateUtils.h"

using namespace rtl;

TEST(Dates, EncodeAndDecodeAroundTheEpochAndLeapDays)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2001, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2001, 4, 31), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);

    uint16_t y, m, d, h, n, s, ms;
    TDateTime moment = EncodeDate(2004, 2, 29) + EncodeTime(23, 59, 58, 999);
    DecodeDate(moment, y, m, d);
    DecodeTime(moment, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{2004, 2, 29, 23, 59, 58, 999}));
    // Before the epoch the day counts backwards but the time still runs forwards.
    DecodeDate(-1.25, y, m, d);
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h}), (std::vector<int>{1899, 12, 29, 6}));
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);  // a Monday
}

TEST(Dates, DosDateTimeRoundTripsAndRejectsNonsense)
{
    TDateTime moment = EncodeDate(2003, 7, 14) + EncodeTime(13, 45, 30, 0);
    int32_t dos = DateTimeToFileDate(moment);
    EXPECT_EQ(static_cast<uint32_t>(dos),
              (23u << 25) | (7u << 21) | (14u << 16) | (13u << 11) | (45u << 5) | (30u / 2));
    EXPECT_DOUBLE_EQ(FileDateToDateTime(dos), moment);
    TDateTime odd = EncodeDate(2003, 7, 14) + EncodeTime(13, 45, 31, 500);
    EXPECT_DOUBLE_EQ(FileDateToDateTime(DateTimeToFileDate(odd)), moment) << "two-second steps";
    TDateTime last = EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 58, 0);
    EXPECT_DOUBLE_EQ(FileDateToDateTime(DateTimeToFileDate(last)), last) << "the top bit is a year bit";
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0);

    EXPECT_THROW(FileDateToDateTime(0), EConvertError) << "month 0";
    EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((13u << 21) | (1u << 16))), EConvertError);
    EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((2u << 21) | (30u << 16))), EConvertError);
    EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((1u << 21) | (1u << 16) | (24u << 11))), EConvertError);
    EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((1u << 21) | (1u << 16) | (60u << 5))), EConvertError);
    EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((1u << 21) | (1u << 16) | 30u)), EConvertError);
}

TEST(Dates, FormatAndTheClock)
{
    TDateTime moment = EncodeDate(2005, 3, 7) + EncodeTime(9, 5, 4, 0);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", moment), "2005-03-07 09:05:04");
    EXPECT_EQ(FormatDateTime("d/m/yy h:n:s", moment), "7/3/05 9:5:4");
    EXPECT_EQ(FormatDateTime("hh:mm", moment), "09:05") << "mm after an hour is minutes";
    EXPECT_EQ(FormatDateTime("ddd dd mmm yyyy", moment), "Mon 07 Mar 2005");
    EXPECT_EQ(FormatDateTime("\"at\" hh 'o''clock'", moment), "at 09 oclock");

    SetClock([moment] { return moment; });
    EXPECT_DOUBLE_EQ(Now(), moment);
    EXPECT_DOUBLE_EQ(Date(), EncodeDate(2005, 3, 7));
    EXPECT_NEAR(Time(), EncodeTime(9, 5, 4, 0), 1e-9);
    SetClock(nullptr);
    EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}
