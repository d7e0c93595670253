#include <gtest/gtest.h>

#include "runtime/text.h"

// GBK bytes used below: "\x81" "A" is one double-byte character whose second byte is 0x41 ('A');
// "\x81}" one whose second byte is '}'; "\xB0\xA1" is 啊; "\xA1\xA1" the ideographic space.

namespace {

struct FindCase {
    const char* name;
    std::string_view text;
    std::string_view what;
    int start;
    bool ignoreCase;
    int forward;  // FindText
};

const FindCase kFindCases[] = {
    {"first", "abcabc", "bc", 1, false, 2},
    {"from start", "abcabc", "bc", 3, false, 5},
    {"start below 1", "abcabc", "bc", -5, false, 2},
    {"start past end", "abcabc", "bc", 7, false, 0},
    {"empty needle", "abc", "", 1, false, 0},
    {"empty text", "", "a", 1, false, 0},
    {"needle longer than text", "ab", "abc", 1, false, 0},
    {"overlapping", "aaa", "aa", 2, false, 2},
    {"trail byte is not a start", "\x81" "A", "A", 1, false, 0},
    {"after the trail byte", "\x81" "AA", "A", 1, false, 3},
    {"chain of lead bytes", "\x81\x81" "A", "A", 1, false, 3},
    {"needle from a trail byte", "\x81\x81" "A", "\x81" "A", 1, false, 0},
    {"start on a trail byte", "\x81" "AA", "A", 2, false, 3},
    {"chinese", "中文A", "A", 1, false, 5},
    {"chinese needle", "中文中文", "文", 4, false, 7},
    {"lone lead byte at end", "ab\xD6", "\xD6", 1, false, 3},
    {"case differs", "ABC", "abc", 1, false, 0},
    {"ignore case", "xABc", "ab", 1, true, 2},
    {"ignore case skips trail byte", "\x81" "aA", "a", 1, true, 3},
    {"ignore case never folds trail bytes", "\x81" "a", "\x81" "A", 1, true, 0},
    {"ignore case with chinese", "中A中a", "中a", 1, true, 1},
    {"ignore case from start", "中A中a", "中a", 2, true, 4},
    {"ignore case other case first", "xxAB", "ab", 1, true, 3},
};

TEST(FindText, Forward)
{
    for (const auto& c : kFindCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindText(c.text, c.what, c.start, c.ignoreCase), c.forward);
    }
}

TEST(FindText, Reverse)
{
    struct Case {
        std::string_view text, what;
        int start;
        bool ignoreCase;
        int expected;
    } cases[] = {
        {"abcabc", "bc", -1, false, 5},
        {"abcabc", "bc", 5, false, 5},
        {"abcabc", "bc", 4, false, 2},
        {"abcabc", "bc", 1, false, 0},
        {"abcabc", "bc", 0, false, 0},
        {"abcabc", "bc", 100, false, 5},
        {"aaa", "aa", -1, false, 2},
        {"A\x81" "A", "A", -1, false, 1},
        {"\x81" "A", "A", -1, false, 0},
        {"x}\x81}", "}", -1, false, 2},
        {"AbaB", "ab", -1, true, 3},
        {"", "a", -1, false, 0},
        {"abc", "", -1, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.what) + " @" + std::to_string(c.start));
        EXPECT_EQ(FindTextReverse(c.text, c.what, c.start, c.ignoreCase), c.expected);
    }
}

TEST(FindText, LongTextWithManyFalseCandidates)
{
    // Every 'A' but the last is the second byte of a double-byte character.
    std::string s;
    for (int i = 0; i < 10000; ++i)
        s += "\x81" "A";
    s += "A";
    EXPECT_EQ(FindText(s, "A"), 20001);
    EXPECT_EQ(FindTextReverse(s, "A"), 20001);
    EXPECT_EQ(FindText(s, "AA"), 0);
}

TEST(CharLength, LeadTrailAndEnd)
{
    EXPECT_EQ(CharLengthAt("a中", 0), 1u);
    EXPECT_EQ(CharLengthAt("a中", 1), 2u);
    EXPECT_EQ(CharLengthAt("a\xD6", 1), 1u);  // truncated character at the end
    EXPECT_EQ(CharLengthAt("a", 1), 0u);
}

TEST(Pieces, LeftRightMidClamp)
{
    const std::string_view s = "abcdef";
    EXPECT_EQ(LeftText(s, 2), "ab");
    EXPECT_EQ(LeftText(s, 99), "abcdef");
    EXPECT_EQ(LeftText(s, -1), "");
    EXPECT_EQ(RightText(s, 2), "ef");
    EXPECT_EQ(RightText(s, 99), "abcdef");
    EXPECT_EQ(RightText(s, 0), "");
    EXPECT_EQ(MidText(s, 3, 2), "cd");
    EXPECT_EQ(MidText(s, 5), "ef");
    EXPECT_EQ(MidText(s, 0, 2), "ab");
    EXPECT_EQ(MidText(s, 6, 10), "f");
    EXPECT_EQ(MidText(s, 7), "");
    EXPECT_EQ(MidText("", 1), "");
}

TEST(ReplaceText, Cases)
{
    struct Case {
        std::string_view text, from, to;
        int start, count;
        bool ignoreCase;
        std::string_view expected;
    } cases[] = {
        {"a,b,c", ",", ";", 1, -1, false, "a;b;c"},
        {"a,b,c", ",", ";", 3, -1, false, "a,b;c"},
        {"a,b,c", ",", ";", 1, 1, false, "a;b,c"},
        {"a,b,c", ",", ";", 1, 0, false, "a,b,c"},
        {"a,b,c", "", ";", 1, -1, false, "a,b,c"},
        {"a,b,c", ",", "", 1, -1, false, "abc"},
        {"aaa", "a", "aa", 1, -1, false, "aaaaaa"},
        {"aaaa", "aa", "b", 1, -1, false, "bb"},
        {"\x81" "Ab", "A", "x", 1, -1, false, "\x81" "Ab"},
        {"\x81" "AA", "A", "x", 1, -1, false, "\x81" "Ax"},
        {"中文，中文", "中", "汉", 1, -1, false, "汉文，汉文"},
        {"AbA", "a", "x", 1, -1, true, "xbx"},
        {"abc", "abc", "", 1, -1, false, ""},
        {"", "a", "b", 1, -1, false, ""},
        {"abc", "c", "d", 9, -1, false, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.from));
        EXPECT_EQ(ReplaceText(c.text, c.from, c.to, c.start, c.count, c.ignoreCase), c.expected);
    }
}

TEST(SplitText, Cases)
{
    struct Case {
        std::string_view text, separator;
        bool dropEmptyLast;
        int maxCount;
        TextArray expected;
    } cases[] = {
        {"a}b}", "}", true, -1, {"a", "b"}},
        {"a}b}", "}", false, -1, {"a", "b", ""}},
        {"a}b", "}", true, -1, {"a", "b"}},
        {"}", "}", true, -1, {""}},
        {"}}", "}", false, -1, {"", "", ""}},
        {"", "}", false, -1, {}},
        {"abc", "", false, -1, {"abc"}},
        {"abc", "}", false, -1, {"abc"}},
        {"a||b||", "||", true, -1, {"a", "b"}},
        {"\x81}x}y", "}", false, -1, {"\x81}x", "y"}},
        {"a,b,c", ",", false, 2, {"a", "b,c"}},
        {"a,b,c", ",", false, 1, {"a,b,c"}},
        {"年1年2", "年", false, -1, {"", "1", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.separator));
        EXPECT_EQ(SplitText(c.text, c.separator, c.dropEmptyLast, c.maxCount), c.expected);
    }
}

TEST(CaseFolding, AsciiOnly)
{
    EXPECT_EQ(ToLowerAscii("AbC中Z"), "abc中z");
    EXPECT_EQ(ToUpperAscii("abc中z"), "ABC中Z");
    EXPECT_EQ(ToLowerAscii("\x81" "AB"), "\x81" "Ab");
    EXPECT_EQ(ToUpperAscii("\x81" "ab"), "\x81" "aB");
    EXPECT_EQ(ToLowerAscii("x\xD6"), "x\xD6");
}

TEST(Blanks, TrimAndRemove)
{
    struct Case {
        std::string_view text, left, right, both, removed;
    } cases[] = {
        {" \t中 文\r\n", "中 文\r\n", " \t中 文", "中 文", "中文"},
        {"\xA1\xA1x\xA1\xA1", "x\xA1\xA1", "\xA1\xA1x", "x", "x"},
        // 啊 followed by a lone A1: the last two bytes are no ideographic space.
        {"\xB0\xA1\xA1", "\xB0\xA1\xA1", "\xB0\xA1\xA1", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
        {"\xB0\xA1\xA1\xA1 ", "\xB0\xA1\xA1\xA1 ", "\xB0\xA1", "\xB0\xA1", "\xB0\xA1"},
        {"   ", "", "", "", ""},
        {"", "", "", "", ""},
        {"1 2\xA1\xA1" "3", "1 2\xA1\xA1" "3", "1 2\xA1\xA1" "3", "1 2\xA1\xA1" "3", "123"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(TrimLeft(c.text), c.left);
        EXPECT_EQ(TrimRight(c.text), c.right);
        EXPECT_EQ(TrimText(c.text), c.both);
        EXPECT_EQ(RemoveBlanks(c.text), c.removed);
    }
}

}  // namespace
