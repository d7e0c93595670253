// The menu 监控功能 of the offer list: the selected offer in the browser and the workbook export.
#include "monitor_fixture.h"

#include "client/export_command.h"
#include "runtime/files.h"

#include <gmock/gmock.h>

namespace monitor_test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(OfferCommands, ExportFileName)
{
    DateTime when = 0;
    ASSERT_TRUE(MakeDateTime({2015, 1, 7, 13, 5, 9}, when));
    EXPECT_EQ(UnsoldExportFileName("甲>>乙>>丙>>丁", when), "未交易订单-甲-乙-丙-丁-BrelmorQuovanta2015年1月7日13时5分9秒");
    EXPECT_EQ(UnsoldExportFileName("", when), "未交易订单--BrelmorQuovanta2015年1月7日13时5分9秒");
}

TEST_F(MonitorPageTest, TheRightButtonShowsTheMenuAndOnlyWebAddressesOpen)
{
    EXPECT_EQ(C("监控功能").Items(), (TextArray{"查看当前未交易订单", "未交易订单导出Excel"}));
    struct Case {
        const char* address;
        bool opened;
    } cases[] = {
        {"http://s.5173.com/detail/JS1.shtml", true},
        {"HTTPS://s.5173.com/detail/DB2.shtml", true},
        {"javascript:alert(1)", false},
        {"file:///C:/windows/system32/calc.exe", false},
        {"calc.exe", false},
        {"http://a\r\nb", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        C(kOffers).SetRows({{"1", "寄", "名", "游戏币", "1.00", "1元/万金", c.address}});
        C(kOffers).SetSelection(0);
        const std::size_t before = shell.Calls().size();
        Click("查看当前未交易订单");
        ASSERT_EQ(shell.Calls().size(), before + (c.opened ? 1 : 0));
        if (c.opened) EXPECT_EQ(shell.Calls().back().address, c.address);
    }
    // Without a selected row nothing opens.
    C(kOffers).SetSelection(-1);
    const std::size_t before = shell.Calls().size();
    Click("查看当前未交易订单");
    EXPECT_EQ(shell.Calls().size(), before);
}

TEST_F(MonitorPageTest, ExportProposesTheTargetsNameAndSaysHowItWent)
{
    seams_test::FileDialogRecorder dialog;
    ChooseSampleServer();
    RunUnsoldQuery();
    // A name cut from a page with characters no file name may hold.
    C("查询目标1").SetText("问道>>电信/一区>>紫禁:之巅>>游戏币");

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const Text file = Text(temp) + "quovanta_offers_test.xls";
    DeleteFileAt(file);
    dialog.Choose(file);
    Click("未交易订单导出Excel");
    const auto asked = dialog.Calls();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_THAT(asked[0].request.fileName, StartsWith("未交易订单-问道-电信-一区-紫禁-之巅-游戏币-BrelmorQuovanta"));
    EXPECT_EQ(asked[0].request.title, "导出资料");
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back().text, "导出成功！");
    EXPECT_FALSE(C("分组框2").Visible());
    ByteSet bytes;
    ASSERT_TRUE(ReadWholeFile(file, bytes));
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[0], 0xD0);  // a compound file
    EXPECT_EQ(bytes[1], 0xCF);
    EXPECT_EQ(C("进度条1").Maximum(), 5);

    // A workbook that cannot be written: the panel goes and a warning says so.
    dialog.Choose(Text(temp) + "quovanta_no_such_folder\\offers.xls");
    Click("未交易订单导出Excel");
    EXPECT_EQ(Boxes().back().text, "导出失败！");
    EXPECT_EQ(Boxes().back().title, "警告");
    EXPECT_FALSE(C("分组框2").Visible());

    // Cancelled: nothing more.
    const std::size_t boxesBefore = Boxes().size();
    dialog.Cancel();
    Click("未交易订单导出Excel");
    EXPECT_EQ(Boxes().size(), boxesBefore);
    DeleteFileAt(file);
}

}  // namespace
}  // namespace monitor_test
