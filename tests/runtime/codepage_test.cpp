#include <gtest/gtest.h>
#include <windows.h>

// Every text of the programs is GBK: the tests run with code page 936 as the ANSI code page,
// and the compiler turns literals into GBK bytes.
TEST(Environment, AnsiCodePageIs936)
{
    EXPECT_EQ(GetACP(), 936u);
}

TEST(Environment, LiteralsAreGbk)
{
    const char text[] = "中";
    ASSERT_EQ(sizeof(text), 3u);
    EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xD6);
    EXPECT_EQ(static_cast<unsigned char>(text[1]), 0xD0);
}
