#include <gtest/gtest.h>

#include "helpers/text_helpers.h"

namespace {

TEST(Utf8ToGbk, ConvertsUtf8Replies)
{
    EXPECT_EQ(Utf8ToGbk(""), "");
    EXPECT_EQ(Utf8ToGbk("abc 123 {id:'1'}"), "abc 123 {id:'1'}");
    EXPECT_EQ(Utf8ToGbk("\xE6\xA2\xA6\xE5\xB9\xBB\xE8\xA5\xBF\xE6\xB8\xB8 2"), "梦幻西游 2");  // UTF-8 of 梦幻西游
    // A character code page 936 lacks comes out as its default character.
    EXPECT_EQ(Utf8ToGbk("a\xE0\xB8\x81" "b"), "a?b");  // U+0E01
}

TEST(Utf8ToGbk, InvalidUtf8IsConvertedNotRefused)
{
    const Text out = Utf8ToGbk("a\xFF\xC3" "b\xE4\xB8");
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.front(), 'a');
    EXPECT_NE(out.find('b'), Text::npos);
}

TEST(Utf8ToGbk, StopsAtTheFirstNul)
{
    EXPECT_EQ(Utf8ToGbk(Text("ab\0cd", 5)), "ab");
}

TEST(TextToUtf16, GivesTheUnitsWithTheTerminator)
{
    EXPECT_EQ(TextToUtf16(""), (ByteSet{0, 0}));
    EXPECT_EQ(TextToUtf16("ab"), (ByteSet{'a', 0, 'b', 0, 0, 0}));
    EXPECT_EQ(TextToUtf16("\xE4\xB8\xAD"), (ByteSet{0x2D, 0x4E, 0, 0}));  // UTF-8 of 中
    EXPECT_EQ(TextToUtf16("中", 936), (ByteSet{0x2D, 0x4E, 0, 0}));
    EXPECT_EQ(TextToUtf16("中", 0), (ByteSet{0x2D, 0x4E, 0, 0}));  // the ANSI code page is 936
}

TEST(Utf16ToText, ConvertsUpToTheFirstZeroUnitOrTheEnd)
{
    EXPECT_EQ(Utf16ToText(ByteSet{0x2D, 0x4E, 'a', 0, 0, 0}), "中a");
    EXPECT_EQ(Utf16ToText(ByteSet{0x2D, 0x4E, 'a', 0, 0, 0}, 936), "中a");
    EXPECT_EQ(Utf16ToText(ByteSet{'a', 0, 0, 0, 'b', 0}), "a");
    // Without a terminating unit, and with an odd byte at the end: nothing beyond the byte-set is read.
    EXPECT_EQ(Utf16ToText(ByteSet{'a', 0, 'b', 0}), "ab");
    EXPECT_EQ(Utf16ToText(ByteSet{'a', 0, 'b'}), "a");
    EXPECT_EQ(Utf16ToText(ByteSet{}), "");
    EXPECT_EQ(Utf16ToText(ByteSet{0, 0}), "");
}

TEST(Utf16ToText, RoundTripsEveryGbkTextOfTheSystem)
{
    const Text samples[] = {"正在查询，请等待.....", "游戏名 列表载入完成！", "Brelmor自动更新", "￥1,234.50元"};
    for (const Text& s : samples)
        EXPECT_EQ(Utf16ToText(TextToUtf16(s, 936)), s);
}

TEST(DuplicateText, CopiesAndTakesAnAbsentTextAsEmpty)
{
    EXPECT_EQ(DuplicateText(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(DuplicateText("中a"), "中a");
    const Text original("x\0y", 3);
    Text copy = DuplicateText(std::string_view(original));
    EXPECT_EQ(copy, original);
    copy[0] = 'z';
    EXPECT_EQ(original[0], 'x');
}

}  // namespace
