#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "helpers/pinyin_table.h"
#include "helpers/text_helpers.h"

namespace {

TEST(GetPinyinInitials, FirstLetterOfTheFirstReading)
{
    // zh gives z, a syllable without an initial gives its own first letter, and the characters with
    // several readings take the customary one (chang before zhang, xing before hang).
    EXPECT_EQ(GetPinyinInitials("中安长行银"), "zacxy");
}

struct InitialsCase {
    const char* text;
    const char* expected;
};

class GetPinyinInitialsTest : public testing::TestWithParam<InitialsCase> {};

TEST_P(GetPinyinInitialsTest, Converts)
{
    EXPECT_EQ(GetPinyinInitials(GetParam().text), GetParam().expected) << GetParam().text;
}

const InitialsCase kCases[] = {
    {"", ""},
    {"QQ三国3D", "QQsg3D"},
    {"abc XYZ 123 !~", "abc XYZ 123 !~"},
    // Syllables without an initial consonant, and pinyin spelled with y and w.
    {"阿鹅欧爱恩儿", "aeoaee"},
    {"一五鱼王", "ywyw"},
    {"女绿略虐嗯", "nllnn"},
    // First and last characters of both levels.
    {"啊座亍齄", "azcz"},
    // Full-width punctuation (first byte A1-A9) and GBK characters outside GB2312 keep their bytes.
    {"中，国！", "z，g！"},
    {"丂\x81\x40\xB0\x41\xF8\xA1\xD7\xFA", "丂\x81\x40\xB0\x41\xF8\xA1\xD7\xFA"},
    // A lone lead byte at the end is kept; a lead byte takes the next byte along even when that is ASCII.
    {"梦幻\xD6", "mh\xD6"},
    {"\xB0" "a", "\xB0" "a"},
};

INSTANTIATE_TEST_SUITE_P(Table, GetPinyinInitialsTest, testing::ValuesIn(kCases));

TEST(PinyinTable, CoversExactlyTheAssignedCellsOfBothLevels)
{
    int entries = 0;
    for (int lead = 0xA0; lead <= 0xFF; ++lead) {
        for (int trail = 0x40; trail <= 0xFF; ++trail) {
            const PinyinEntry* e = FindPinyinEntry(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            const bool inLevels = lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE;
            const bool unassigned = lead == 0xD7 && trail >= 0xFA;  // the end of level 1
            ASSERT_EQ(e != nullptr, inLevels && !unassigned) << std::hex << lead << " " << trail;
            if (!e)
                continue;
            ++entries;
            ASSERT_GE(e->count, 1);
            ASSERT_LE(e->count, 3);
            for (int k = 0; k < e->count; ++k) {
                const PinyinReading& r = e->readings[k];
                const Text syllable = PinyinReadingText(r);
                ASSERT_LT(r.initial, kPinyinInitialCount + kPinyinFinalCount);
                if (r.final != kNoPinyinPart) {  // an initial consonant and a final
                    ASSERT_LT(r.initial, kPinyinInitialCount) << syllable;
                    ASSERT_GE(r.final, kPinyinInitialCount) << syllable;
                    ASSERT_LT(r.final, kPinyinInitialCount + kPinyinFinalCount) << syllable;
                }
                for (char c : syllable)
                    ASSERT_TRUE(c >= 'a' && c <= 'z') << syllable;
            }
        }
    }
    EXPECT_EQ(entries, 6763);
}

TEST(PinyinTable, HoldsTheReadingsInOrder)
{
    const PinyinEntry* chang = FindPinyinEntry(0xB3, 0xA4);  // 长
    ASSERT_NE(chang, nullptr);
    ASSERT_GE(chang->count, 2);
    EXPECT_EQ(PinyinReadingText(chang->readings[0]), "chang");
    EXPECT_EQ(PinyinReadingText(chang->readings[1]), "zhang");
    EXPECT_STREQ(PinyinPartText(chang->readings[0].initial), "ch");
    EXPECT_STREQ(PinyinPartText(chang->readings[0].final), "ang");

    const PinyinEntry* xing = FindPinyinEntry(0xD0, 0xD0);  // 行
    ASSERT_NE(xing, nullptr);
    EXPECT_EQ(PinyinReadingText(xing->readings[0]), "xing");
    bool hang = false;
    for (int k = 1; k < xing->count; ++k)
        hang = hang || PinyinReadingText(xing->readings[k]) == "hang";
    EXPECT_TRUE(hang);

    const PinyinEntry* an = FindPinyinEntry(0xB0, 0xB2);  // 安: the final stands in the initial's place
    ASSERT_NE(an, nullptr);
    EXPECT_STREQ(PinyinPartText(an->readings[0].initial), "an");
    EXPECT_EQ(an->readings[0].final, kNoPinyinPart);

    const PinyinEntry* lv = FindPinyinEntry(0xC2, 0xCC);  // 绿: ü is written v
    ASSERT_NE(lv, nullptr);
    EXPECT_EQ(PinyinReadingText(lv->readings[0]), "lv");
}

}  // namespace
