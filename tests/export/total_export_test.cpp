// The export of the total-volume window: its proposed file name, the columns without the hidden ID,
// the sheet named after the maker's host without its port, and the outcome boxes and panel.
#include "client/total_volume_window.h"
#include "export/export_support.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

using namespace export_test;

namespace {

constexpr char kList[] = "超级列表框_5173游戏列表";
constexpr char kExport[] = "超级按钮_导出5173";

class TotalExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        server.SetReply("/ajax.axd", LoopbackReply::Ok("callgame([{name:'A',list:[{id:'a1',name:'问道'},"
                                                       "{id:'b2',name:'梦幻西游'},{id:'c3',name:'剑侠情缘'}]},"
                                                       "{name:'WEBG',list:[]}])"));
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server.HostAndPort().c_str());
        form = LoadTotalVolumeWindow();
        ASSERT_TRUE(PumpUntil([&] { return form.Control(kList).RowCount() == 3; }, 10000));
        Control list = form.Control(kList);
        const Text totals[][3] = {{"30.5", "1234", "完成"}, {"暂无交易", "", "完成"}, {"", "", "数据计算中..."}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) list.SetCell(r, 3 + c, totals[r][c]);
    }
    void TearDown() override
    {
        form.Destroy();
        PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 5000);
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", nullptr);
    }

    LoopbackHttpServer server;
    seams_test::MessageBoxRecorder boxes;
    Form form;
};

TEST_F(TotalExportTest, TheListGoesIntoTheWorkbookWithoutItsIdColumn)
{
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", "maker.example:8080");
    const Text file = WorkbookFolder() + "total-volume.xls";
    seams_test::FileDialogRecorder dialog;
    dialog.Choose(file);
    const Text early = DateTimeToText(NowDateTime());
    form.Raise(kExport, Event::Click);
    const Text late = DateTimeToText(NowDateTime());
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr);

    const auto asked = dialog.Calls();
    ASSERT_EQ(asked.size(), 1u);
    const Text prefix = "5173游戏总交易量-BrelmorQuovanta";
    EXPECT_TRUE(asked[0].request.fileName == prefix + early || asked[0].request.fileName == prefix + late)
        << asked[0].request.fileName;
    EXPECT_EQ(asked[0].request.title, "导出资料");
    EXPECT_EQ(asked[0].request.defaultExtension, "xls");
    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "导出成功！");
    EXPECT_FALSE(form.Control("分组框2").Visible());
    EXPECT_EQ(form.Control("进度条1").Position(), 3);
    ExpectWorkbook(file, "Brelmor网maker.example",
                   {{"序号", "游戏名", "总交易量", "交易笔数", "状态"},
                    {"1", "问道", "30.5", "1234", "完成"},
                    {"2", "梦幻西游", "暂无交易", "", "完成"},
                    {"3", "剑侠情缘", "", "", "数据计算中..."}});
    EXPECT_EQ(TotalExportFileName(42011.5453819444), "5173游戏总交易量-BrelmorQuovanta2015年1月7日13时5分21秒");
}

TEST_F(TotalExportTest, AFailedExportHidesThePanelAndWarnsACancelDoesNothing)
{
    seams_test::FileDialogRecorder dialog;
    dialog.Cancel();
    form.Raise(kExport, Event::Click);
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_FALSE(form.Control("分组框2").Visible());

    ScratchFolder scratch("total-failure");
    dialog.Choose(scratch / "missing\\总交易量.xls");
    form.Raise(kExport, Event::Click);
    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "导出失败！");
    EXPECT_EQ(calls[0].title, "警告");
    EXPECT_FALSE(form.Control("分组框2").Visible());
}

}  // namespace
