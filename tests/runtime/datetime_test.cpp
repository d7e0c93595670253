#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "runtime/datetime.h"

namespace {

DateTimeParts Parts(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    DateTimeParts p;
    p.year = y;
    p.month = mo;
    p.day = d;
    p.hour = h;
    p.minute = mi;
    p.second = s;
    return p;
}

void ExpectParts(const DateTimeParts& p, const DateTimeParts& q)
{
    EXPECT_EQ(p.year, q.year);
    EXPECT_EQ(p.month, q.month);
    EXPECT_EQ(p.day, q.day);
    EXPECT_EQ(p.hour, q.hour);
    EXPECT_EQ(p.minute, q.minute);
    EXPECT_EQ(p.second, q.second);
}

TEST(MakeDateTime, KnownSerials)
{
    struct Case {
        DateTimeParts parts;
        double expected;
    } cases[] = {
        {Parts(1899, 12, 30), 0.0},
        {Parts(1899, 12, 30, 12), 0.5},
        {Parts(1899, 12, 31), 1.0},
        {Parts(1900, 1, 1), 2.0},
        {Parts(1900, 3, 1), 61.0},  // no 29 February 1900
        {Parts(1899, 12, 29, 6), -1.25},
        {Parts(1899, 12, 28, 18), -2.75},
        {Parts(2000, 2, 29), 36585.0},
        {Parts(2015, 1, 7, 13, 5, 9), 42011.0 + (13 * 3600 + 5 * 60 + 9) / 86400.0},
        {Parts(100, 1, 1), -657434.0},
        {Parts(9999, 12, 31), 2958465.0},
        {Parts(9999, 12, 31, 23, 59, 59), 2958465.0 + 86399 / 86400.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.expected));
        DateTime v = -99;
        ASSERT_TRUE(MakeDateTime(c.parts, v));
        EXPECT_NEAR(v, c.expected, 1e-9);
        ExpectParts(SplitDateTime(v), c.parts);
    }
}

TEST(MakeDateTime, RejectsFieldsThatAreNoDate)
{
    const DateTimeParts bad[] = {
        Parts(99, 12, 31),    Parts(10000, 1, 1),  Parts(2015, 0, 1),        Parts(2015, 13, 1),
        Parts(2015, 1, 0),    Parts(2015, 1, 32),  Parts(2015, 4, 31),       Parts(1900, 2, 29),
        Parts(2001, 2, 29),   Parts(2100, 2, 29),  Parts(2015, 1, 1, 24),    Parts(2015, 1, 1, -1),
        Parts(2015, 1, 1, 0, 60), Parts(2015, 1, 1, 0, 0, 60), Parts(2015, 1, 1, 0, 0, -1),
    };
    for (const auto& p : bad) {
        SCOPED_TRACE(std::to_string(p.year) + "-" + std::to_string(p.month) + "-" + std::to_string(p.day));
        DateTime v = 123.0;
        EXPECT_FALSE(MakeDateTime(p, v));
        EXPECT_EQ(v, 123.0);
    }
    DateTime v = 0;
    EXPECT_TRUE(MakeDateTime(Parts(2400, 2, 29), v));
}

TEST(SplitDateTime, RoundingNegativeAndOutOfRange)
{
    ExpectParts(SplitDateTime(-0.5), Parts(1899, 12, 30, 12));
    ExpectParts(SplitDateTime(-1.5), Parts(1899, 12, 29, 12));
    ExpectParts(SplitDateTime(0.999999999), Parts(1899, 12, 31));
    ExpectParts(SplitDateTime(-1.999999999), Parts(1899, 12, 30));
    ExpectParts(SplitDateTime(42011.5 + 0.4 / 86400), Parts(2015, 1, 7, 12));
    ExpectParts(SplitDateTime(NAN), Parts(1899, 12, 30));
    ExpectParts(SplitDateTime(1e300), Parts(9999, 12, 31, 23, 59, 59));
    ExpectParts(SplitDateTime(INFINITY), Parts(9999, 12, 31, 23, 59, 59));
    ExpectParts(SplitDateTime(-1e300), Parts(100, 1, 1, 23, 59, 59));
    ExpectParts(SplitDateTime(2958465.9999999), Parts(9999, 12, 31, 23, 59, 59));
}

TEST(SplitDateTime, EveryDayOfFourCenturiesRoundTrips)
{
    DateTimeParts p = Parts(1801, 1, 1, 7, 8, 9);
    DateTime first = 0;
    ASSERT_TRUE(MakeDateTime(p, first));
    double serial = std::trunc(first);
    for (int i = 0; i < 146097; ++i, serial += 1) {
        DateTime v = serial < 0 ? serial - (7 * 3600 + 8 * 60 + 9) / 86400.0 : serial + (7 * 3600 + 8 * 60 + 9) / 86400.0;
        DateTimeParts q = SplitDateTime(v);
        DateTime back = 0;
        ASSERT_TRUE(MakeDateTime(q, back)) << serial;
        ASSERT_NEAR(back, v, 1e-9) << serial;
        ASSERT_EQ(q.hour * 3600 + q.minute * 60 + q.second, 7 * 3600 + 8 * 60 + 9);
    }
}

TEST(DateTimeToText, ShorterForms)
{
    struct Case {
        DateTimeParts parts;
        const char* expected;
    } cases[] = {
        {Parts(2015, 1, 7, 13, 5, 9), "2015年1月7日13时5分9秒"},
        {Parts(2015, 1, 7, 13, 5, 0), "2015年1月7日13时5分"},
        {Parts(2015, 1, 7, 13, 0, 0), "2015年1月7日13时"},
        {Parts(2015, 1, 7, 0, 0, 0), "2015年1月7日"},
        {Parts(2015, 1, 7, 0, 5, 0), "2015年1月7日0时5分"},
        {Parts(2015, 1, 7, 13, 0, 9), "2015年1月7日13时0分9秒"},
        {Parts(1899, 12, 29, 6), "1899年12月29日6时"},
        {Parts(100, 1, 1), "100年1月1日"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        DateTime v = 0;
        ASSERT_TRUE(MakeDateTime(c.parts, v));
        EXPECT_EQ(DateTimeToText(v), c.expected);
    }
}

TEST(TextToDateTime, Grammar)
{
    struct Case {
        std::string_view text;
        bool ok;
        DateTimeParts parts;
    } cases[] = {
        {"2015-01-07 13:05:09", true, Parts(2015, 1, 7, 13, 5, 9)},
        {"2015年1月7日13时5分9秒", true, Parts(2015, 1, 7, 13, 5, 9)},
        {"2015年1月7日13时", true, Parts(2015, 1, 7, 13)},
        {"2015/1/7", true, Parts(2015, 1, 7)},
        {"2015.1.7", true, Parts(2015, 1, 7)},
        {"15-01-07 12:30", false, {}},  // the year 15 is before 100
        {"\xA3\xB2\xA3\xB0\xA3\xB1\xA3\xB5\xA3\xAD\xA3\xB1\xA3\xAD\xA3\xB7", true, Parts(2015, 1, 7)},
        {"2015-01-07 13:05:09秒以后", true, Parts(2015, 1, 7, 13, 5, 9)},
        {"2015-01-07x", false, {}},
        {"2015-02-30", false, {}},
        {"2015", false, {}},
        {"", false, {}},
        {"2015--01-07", false, {}},
        {"\xD6", false, {}},
        {"2015-1-7 25:00", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        DateTime v = 0;
        ASSERT_EQ(TextToDateTime(c.text, v), c.ok);
        if (c.ok)
            ExpectParts(SplitDateTime(v), c.parts);
    }
}

TEST(NowDateTime, IsTheLocalTime)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    DateTimeParts p = SplitDateTime(NowDateTime());
    EXPECT_EQ(p.year, st.wYear);
    EXPECT_EQ(p.month, st.wMonth);
    EXPECT_NEAR(p.day * 86400.0 + p.hour * 3600 + p.minute * 60 + p.second,
                st.wDay * 86400.0 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond, 2);
}

}  // namespace
