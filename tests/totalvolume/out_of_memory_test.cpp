// The workers of a total-volume window that run out of memory: the game-list load and the run each
// end as they end normally: the window can start its run, and sort once the run is over.
#include "total_fixture.h"

namespace totalvolume_test {
namespace {

TEST_F(TotalVolumeTest, TheGameListAndTheRunOutOfMemoryEndAsNormally)
{
    ServeGames({{"a", "甲", {{{"10", "20"}}}}, {"b", "乙", {{{"5"}}}}});
    {
        seams_test::RequestFailure failure("/ajax.axd", 1);
        const Form empty = Open();
        EXPECT_EQ(failure.Failures(), 1);
        EXPECT_TRUE(Rows(empty).empty());
        EXPECT_TRUE(Enabled(empty, "超级按钮_获取51数据"));
    }

    const Form f = Open();
    ASSERT_EQ(Rows(f).size(), 2u);
    {
        // The second game's first page fails.
        seams_test::RequestFailure failure("gm=b", 1);
        f.Raise("超级按钮_获取51数据", Event::Click);
        ASSERT_TRUE(WaitForEnd(f));
        EXPECT_EQ(failure.Failures(), 1);
    }
    EXPECT_EQ(Rows(f)[0][3], "30");
    EXPECT_TRUE(TotalRunIdle.load());
    // Sorting waits only for an active run.
    EventArgs column;
    column.column = 0;
    f.Raise("超级列表框_5173游戏列表", Event::ColumnClick, column);
    EXPECT_TRUE(boxes.Calls().empty());
}

}  // namespace
}  // namespace totalvolume_test
