#include <gtest/gtest.h>

#include "helpers/text_helpers.h"

namespace {

struct BetweenCase {
    const char* text;
    const char* left;
    const char* right;
    int caseInsensitive;
    int mode;
    int reverse;
    const char* expected;
};

class GetTextBetweenTest : public testing::TestWithParam<BetweenCase> {};

TEST_P(GetTextBetweenTest, Cuts)
{
    const BetweenCase& c = GetParam();
    EXPECT_EQ(GetTextBetween(c.text, c.left, c.right, c.caseInsensitive, c.mode, c.reverse), c.expected)
        << "text " << c.text << " markers " << c.left << " " << c.right << " flags " << c.caseInsensitive << "/"
        << c.mode << "/" << c.reverse;
}

// GBK characters whose second byte is an ASCII bracket: B0 5B and B0 5D.
#define LEAD_OPEN "\xB0["
#define LEAD_CLOSE "\xB0]"

const BetweenCase kCases[] = {
    // The four modes; values outside 1-3 count as 0.
    {"a[1]b[2]", "[", "]", 0, 0, 0, "1"},
    {"a[1]b[2]", "[", "]", 0, 1, 0, "[1]"},
    {"a[1]b[2]", "[", "]", 0, 2, 0, "[1"},
    {"a[1]b[2]", "[", "]", 0, 3, 0, "1]"},
    {"a[1]b[2]", "[", "]", 0, 4, 0, "1"},
    {"a[1]b[2]", "[", "]", 0, -1, 0, "1"},
    // Reverse: the last left marker of the whole text; only 1 counts.
    {"a[1]b[2]", "[", "]", 0, 0, 1, "2"},
    {"a[1]b[2]", "[", "]", 0, 1, 1, "[2]"},
    {"a[1]b[2]", "[", "]", 0, 0, 2, "1"},
    {"a[1]b[2", "[", "]", 0, 0, 1, ""},
    // Equal markers: the right one is the next occurrence after the left one.
    {"x||y||z", "||", "||", 0, 0, 0, "y"},
    {"x||y||z", "||", "||", 0, 0, 1, ""},
    {"|||", "||", "||", 0, 0, 0, ""},
    // Adjacent markers.
    {"ab", "a", "b", 0, 0, 0, ""},
    {"ab", "a", "b", 0, 1, 0, "ab"},
    {"ab", "a", "b", 0, 2, 0, "a"},
    {"ab", "a", "b", 0, 3, 0, "b"},
    // A missing marker: empty, or the right marker alone in modes 1 and 3.
    {"a[1", "[", "]", 0, 0, 0, ""},
    {"a[1", "[", "]", 0, 1, 0, "]"},
    {"a[1", "[", "]", 0, 2, 0, ""},
    {"a[1", "[", "]", 0, 3, 0, "]"},
    {"1]", "[", "]", 0, 0, 0, ""},
    {"1]", "[", "]", 0, 1, 0, "]"},
    {"]1[", "[", "]", 0, 0, 0, ""},
    {"", "[", "]", 0, 0, 0, ""},
    {"", "[", "]", 0, 3, 0, "]"},
    {"abc", "", "c", 0, 0, 0, ""},
    {"abc", "a", "", 0, 0, 0, ""},
    // The right marker is searched after the left marker, never inside it.
    {"<a>x</a>", "<a>", "a>", 0, 0, 0, "x</"},
    // Letter case: only flag 1 folds, and only the ASCII letters.
    {"<TD>x</TD>", "<td>", "</td>", 0, 0, 0, ""},
    {"<TD>x</TD>", "<td>", "</td>", 1, 0, 0, "x"},
    {"<TD>x</TD>", "<td>", "</td>", 2, 0, 0, ""},
    {"<TD>x</TD>", "<td>", "</td>", 1, 1, 0, "<TD>x</td>"},  // the right marker as given
    {"<A>1</a><a>2</A>", "<a>", "</a>", 1, 0, 1, "2"},
    {"<A>1</a><a>2</A>", "<a>", "</a>", 0, 0, 1, ""},
    // Folding never makes two double-byte characters equal: B0 41 and B0 61 are different characters.
    {"\xB0" "Ax]\xB0" "ay]", "\xB0" "a", "]", 1, 0, 0, "y"},
    // A marker never matches from the second byte of a double-byte character.
    {"x" LEAD_OPEN "1][2]", "[", "]", 0, 0, 0, "2"},
    {"x[1" LEAD_CLOSE "2]", "[", "]", 0, 0, 0, "1" LEAD_CLOSE "2"},
    {"x" LEAD_OPEN "1][2]", "[", "]", 0, 0, 1, "2"},
    {"\xB0[" "a]" "\xB0[" "b]", "[", "]", 0, 0, 1, ""},
    // GBK markers and contents.
    {"价格：<b>100元</b>，数量：5", "价格：<b>", "</b>", 0, 0, 0, "100元"},
    {"服务器：电信一区|服务器：网通二区|", "服务器：", "|", 0, 0, 1, "网通二区"},
    {"callarea([{id:'1',name:'华东区'}])", "callarea([", "])", 0, 0, 0, "{id:'1',name:'华东区'}"},
};

INSTANTIATE_TEST_SUITE_P(Table, GetTextBetweenTest, testing::ValuesIn(kCases));

TEST(GetTextBetween, DefaultsAreCaseSensitiveForwardAndBetween)
{
    EXPECT_EQ(GetTextBetween("a[1]b[2]", "[", "]"), "1");
    EXPECT_EQ(GetTextBetween("<B>x</B>", "<b>", "</b>"), "");
}

TEST(GetTextBetween, KeepsBytesAfterNulInsideTheText)
{
    const Text page("a[x\0y]b", 7);
    EXPECT_EQ(GetTextBetween(page, "[", "]"), Text("x\0y", 3));
}

}  // namespace
