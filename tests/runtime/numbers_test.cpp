#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "runtime/numbers.h"

// Full-width forms in GBK: A3 B0..B9 are the digits, A3 AB '+', A3 AD '-', A3 AE '.', A3 C5 'E',
// A3 AC ','; A1 A1 is the ideographic space.

namespace {

TEST(TextToNumber, LeadingNumber)
{
    struct Case {
        std::string_view text;
        double expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"12.5元", 12.5},
        {"  -3.25", -3.25},
        {"\t\r\n7", 7},
        {"+7", 7},
        {"\xA1\xA1" "42", 42},
        {"\xA3\xB1\xA3\xB2\xA3\xB3\xA3\xAE\xA3\xB5", 123.5},  // １２３．５
        {"\xA3\xAD\xA3\xB5", -5},                            // －５
        {"\xA3\xAB" "8", 8},                                 // ＋8
        {"1\xA3\xC5" "2", 100},                              // 1Ｅ2
        {"1,234", 1},
        {"1e3", 1000},
        {"1E+2x", 100},
        {"25e-1", 2.5},
        {"2d2", 200},
        {"2D-1", 0.2},
        {"5e", 5},
        {"5e+", 5},
        {"5ex", 5},
        {".5", 0.5},
        {"5.", 5},
        {"-.5", -0.5},
        {".", 0},
        {"-", 0},
        {"+-1", 0},
        {" - 5", 0},
        {"1 2", 1},
        {"1\xA1\xA1" "2", 1},
        {"0x10", 0},
        {"inf", 0},
        {"nan", 0},
        {"1e-999", 0},
        {"12\xA3", 12},   // truncated full-width character at the end
        {"\xA3", 0},
        {"\xD6", 0},
        {"00012", 12},
        {"1.5.5", 1.5},
        {"中12", 0},
        {"1e-2147483649", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_DOUBLE_EQ(TextToNumber(c.text), c.expected);
    }
}

TEST(TextToNumber, HugeValuesSaturate)
{
    EXPECT_EQ(TextToNumber("1e999"), DBL_MAX);
    EXPECT_EQ(TextToNumber("-1e999"), -DBL_MAX);
    EXPECT_EQ(TextToNumber("1e99999999999999999999"), DBL_MAX);
    EXPECT_EQ(TextToNumber(std::string(100000, '9')), DBL_MAX);
    EXPECT_EQ(TextToNumber("1e" + std::string(100000, '9')), DBL_MAX);
    EXPECT_EQ(TextToNumber("1e-" + std::string(100000, '9')), 0.0);
    EXPECT_DOUBLE_EQ(TextToNumber("0." + std::string(100000, '0') + "1e100001"), 1.0);
    EXPECT_DOUBLE_EQ(TextToNumber(std::string(100000, ' ') + "3"), 3.0);
}

TEST(TextToNumber, CommasRemoved)
{
    EXPECT_DOUBLE_EQ(TextToNumberNoCommas("1,234.5"), 1234.5);
    EXPECT_DOUBLE_EQ(TextToNumberNoCommas("1,234,567元"), 1234567);
    EXPECT_DOUBLE_EQ(TextToNumberNoCommas(",-5"), -5);
    EXPECT_DOUBLE_EQ(TextToNumberNoCommas("1,"), 1);
    EXPECT_DOUBLE_EQ(TextToNumberNoCommas(",,,"), 0);
    EXPECT_DOUBLE_EQ(TextToNumberNoCommas("1\xA3\xAC" "234"), 1);  // the full-width comma stays
}

TEST(TextToNumber, FullWidthMapping)
{
    EXPECT_EQ(FullWidthToAscii("\xA3\xB1\xA3\xAE\xA3\xC1\xA1\xA1中"), "1.A 中");
    EXPECT_EQ(FullWidthToAscii("\x81" "A\xA3"), "\x81" "A\xA3");
}

TEST(TextToInteger, TruncatesAndSaturates)
{
    EXPECT_EQ(TextToInteger("3.9"), 3);
    EXPECT_EQ(TextToInteger("-3.9"), -3);
    EXPECT_EQ(TextToInteger("\xA3\xB1\xA3\xB2"), 12);
    EXPECT_EQ(TextToInteger("1e20"), INT_MAX);
    EXPECT_EQ(TextToInteger("-1e20"), INT_MIN);
    EXPECT_EQ(TextToInteger("2147483647"), INT_MAX);
    EXPECT_EQ(TextToInteger(""), 0);
}

TEST(NumberToText, Format)
{
    struct Case {
        double value;
        const char* expected;
    } cases[] = {
        {0.05, "0.05"},
        {2.0, "2"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.3333333333333"},
        {123.456, "123.456"},
        {9999999999999.0, "9999999999999"},
        {1e13, "1e+13"},
        {1.5e15, "1.5e+15"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {-0.0, "0"},
        {0.0, "0"},
        {DBL_MAX, "1.797693134862e+308"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(NumberToText(c.value), c.expected);
    }
    EXPECT_EQ(IntegerToText(-42), "-42");
    EXPECT_EQ(IntegerToText(9000000000LL), "9000000000");
}

TEST(TextSum, RunningTotal)
{
    EXPECT_EQ(AddToTextSum("", 1.5), "1.5");
    EXPECT_EQ(AddToTextSum("1.5", 2.25), "3.75");
    Text total;
    for (int i = 0; i < 10; ++i)
        total = AddToTextSum(total, TextToNumber("0.1"));
    EXPECT_EQ(total, "1");
    Text big;
    for (int i = 0; i < 3; ++i)
        big = AddToTextSum(big, TextToNumberNoCommas("3,333,333,333,333.5"));
    EXPECT_EQ(big, "1e+13");
}

TEST(TextSum, APastTheLargestNumberStaysFinite)
{
    // "inf" would read back as 0, and the next row would start the total again.
    const double largest = TextToNumber(AddToTextSum("", DBL_MAX));
    EXPECT_GT(largest, 1e308);
    for (const char* row : {"1e308", "1e999"}) {
        SCOPED_TRACE(row);
        Text total = AddToTextSum("1.7e308", TextToNumber(row));
        EXPECT_DOUBLE_EQ(TextToNumber(total), largest);
        total = AddToTextSum(total, 5);
        EXPECT_DOUBLE_EQ(TextToNumber(total), largest);
        EXPECT_DOUBLE_EQ(TextToNumber(AddToTextSum("-1.7e308", -TextToNumber(row))), -largest);
    }
}

TEST(NumberComparison, Tolerance)
{
    struct Case {
        double a, b;
        int expected;  // -1 less, 0 equal, 1 greater
    } cases[] = {
        {1, 1, 0},
        {1, 1 + 1e-8, 0},
        {1 + 1e-8, 1, 0},
        {1, 1 + 2e-7, -1},
        {1 + 2e-7, 1, 1},
        {-5, 5, -1},
        {0.1 + 0.2, 0.3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.a) + " vs " + std::to_string(c.b));
        EXPECT_EQ(NumbersEqual(c.a, c.b), c.expected == 0);
        EXPECT_EQ(NumberLess(c.a, c.b), c.expected < 0);
        EXPECT_EQ(NumberGreater(c.a, c.b), c.expected > 0);
    }
}

TEST(Rounding, HalfAwayFromZero)
{
    struct Case {
        double value;
        int decimals;
        double expected;
    } cases[] = {
        {0.0005, 3, 0.001},
        {1.0005, 3, 1.001},   // held as 1.000499999999999989...
        {1.2345, 3, 1.235},
        {-1.0005, 3, -1.001},
        {2.0004, 3, 2.0},
        {1.2344999, 3, 1.234},
        {0.15 / 3, 3, 0.05},
        {2.5, 0, 3},
        {-2.5, 0, -3},
        {2.4999999, 0, 2},
        {1234.5, -1, 1230},
        {1235, -1, 1240},
        {1e300, 3, 1e300},
        {12345678901234.5, 3, 12345678901234.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " / " + std::to_string(c.decimals));
        EXPECT_DOUBLE_EQ(RoundHalfAwayFromZero(c.value, c.decimals), c.expected);
    }
    const double negativeZero = RoundHalfAwayFromZero(-0.0001, 3);
    EXPECT_EQ(negativeZero, 0.0);
    EXPECT_FALSE(std::signbit(negativeZero));
    EXPECT_EQ(NumberToText(RoundHalfAwayFromZero(TextToNumber("0.15") / 3, 3)), "0.05");
    EXPECT_TRUE(std::isnan(RoundHalfAwayFromZero(NAN, 3)));
}

}  // namespace
